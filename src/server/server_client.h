// The connection to the factory test server, owned by the TestContext from
// the connect step to the end of the run.
#pragma once

class ServerClient {
public:
    ServerClient() = default;
    ServerClient(const ServerClient&) = delete;
    ServerClient& operator=(const ServerClient&) = delete;
};
