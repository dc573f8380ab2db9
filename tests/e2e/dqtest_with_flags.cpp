// dqtest built with other station flags, for end-to-end runs of plans the
// station's own flags do not select (the alternate plan, a station without
// the jig). The only argument: the flags, as a number ("0x400").
#include "sequencer/entry.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    char* end = nullptr;
    const unsigned long flags = argc == 2 ? std::strtoul(argv[1], &end, 0) : 0;
    if (argc != 2 || end == argv[1] || *end != '\0' || flags > 0xFFFFFFFFul) {
        std::fprintf(stderr, "usage: dqtest_with_flags FLAGS\n");
        return 2;
    }
    return dqtestMain(static_cast<std::uint32_t>(flags));
}
