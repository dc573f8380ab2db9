#include "service/log_line.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace service {

void writeLogLine(std::string_view program, std::string_view text) {
    std::string line(program);
    line += ": ";
    line += text;
    line += '\n';
    const char* at = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, at, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;  // nowhere to report to
        at += written;
        left -= static_cast<std::size_t>(written);
    }
}

}  // namespace service
