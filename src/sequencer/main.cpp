#include "sequencer/entry.h"

int main() { return dqtestMain(); }
