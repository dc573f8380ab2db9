// One station's connection as the protocol sees it: whether it has logged
// in, as which station, and the serial it was given last. Each line gets one
// reply; the connection decides how and whether it is sent.
#pragma once

#include "event_log.h"
#include "factory_store.h"
#include "reply_status.h"
#include "testserver/faults.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace testserver {

struct SessionSettings {
    std::uint32_t password = 0;
    ValueRange serials;
    ValueRange macs;
};

struct Reply {
    int status = 0;
    std::string value;  // serial and mac: the value; else empty
};

class Session {
public:
    Session(FactoryStore& store, const SessionSettings& settings, EventLog& log, std::string peer);

    // The line without its line end.
    Reply handle(std::string_view line);
    // A fault's status instead of the command: nothing is carried out, and a
    // login so answered leaves the station logged out.
    Reply refuse(Command command, int status, std::string_view line);

private:
    Reply login(std::string_view line);
    Reply allocate(AllocationKind kind, std::string_view line);
    Reply report(Command command, std::string_view line);
    Reply fail(Outcome outcome, const std::string& detail);
    Origin origin() const;
    void note(const std::string& text);
    bool recordLogin(const LoginRecord& record);  // false, logged, when it could not be

    FactoryStore& store_;
    const SessionSettings& settings_;
    EventLog& log_;
    std::string peer_;
    std::optional<std::uint32_t> station_;     // set while logged in
    std::optional<std::uint64_t> lastSerial_;  // the device a MAC goes with
};

}  // namespace testserver
