#include "sequencer/test_context.h"

#include "server/server_client.h"

TestContext::TestContext() = default;
TestContext::~TestContext() = default;
