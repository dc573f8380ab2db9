// A pseudo-terminal made by a test, standing in for a serial line: the test
// holds the master side, and DQTEST_COM_DIR/COM1 links to the slave, so the
// station's COM1 is this tty for the life of the object.
#pragma once

#include "support/temp_dir.h"

#include <fcntl.h>
#include <termios.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace testing_support {

// DQTEST_COM_DIR set to dir for the life of the object.
class ScopedComDir {
public:
    explicit ScopedComDir(const std::filesystem::path& dir) {
        if (const char* old = std::getenv("DQTEST_COM_DIR")) previous_ = old;
        ::setenv("DQTEST_COM_DIR", dir.c_str(), 1);
    }
    ~ScopedComDir() {
        if (previous_) {
            ::setenv("DQTEST_COM_DIR", previous_->c_str(), 1);
        } else {
            ::unsetenv("DQTEST_COM_DIR");
        }
    }
    ScopedComDir(const ScopedComDir&) = delete;
    ScopedComDir& operator=(const ScopedComDir&) = delete;

private:
    std::optional<std::string> previous_;
};

class PtyPair {
public:
    PtyPair() : comDir_("com"), scoped_(comDir_.path()) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        slavePath_ = ::ptsname(master_);
        // Raw from the start, as a serial line is: nothing echoed back.
        const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
        termios tio{};
        if (slave < 0 || ::tcgetattr(slave, &tio) != 0) throw std::runtime_error("no pseudo-terminal slave");
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
        ::close(slave);
        std::filesystem::create_symlink(slavePath_, comDir_.path() / "COM1");
    }
    ~PtyPair() { ::close(master_); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    const std::filesystem::path& comDir() const { return comDir_.path(); }

    // What the station sent, as far as it has arrived.
    std::string takeSent() {
        std::string sent;
        char buffer[256];
        ssize_t n;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0) sent.append(buffer, static_cast<std::size_t>(n));
        return sent;
    }
    void send(const std::string& bytes) {
        if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            throw std::runtime_error("pseudo-terminal write failed");
        }
    }

private:
    TempDir comDir_;
    ScopedComDir scoped_;
    int master_ = -1;
    std::string slavePath_;
};

}  // namespace testing_support
