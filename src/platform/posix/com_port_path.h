// Where a COM name leads on POSIX. COMn is /dev/ttyS(n-1), the n-th serial
// port, unless the directory named by DQTEST_COM_DIR (one anybody may
// make) says otherwise: then COMn is DQTEST_COM_DIR/COMn, typically a link
// to a pseudo-terminal such as the one a simulated meter answers on. A
// name the mapping does not cover leads nowhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr const char* kComDirVariable = "DQTEST_COM_DIR";

// "COM1" or "COM1:" (one trailing colon is allowed); nullopt for any other
// name. comDir empty: the system's own ports.
std::optional<std::string> comPortPath(std::wstring_view name, const std::string& comDir);

// The same with comDir taken from DQTEST_COM_DIR.
std::optional<std::string> comPortPath(std::wstring_view name);

}  // namespace platform
