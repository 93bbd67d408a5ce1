// The far end of a pseudo-terminal, for testing serial code without a device.
#pragma once

#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

class PtyPeer {
public:
    PtyPeer() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0) return;
        slavePath_ = name;
        // Keep one slave descriptor of our own so the port's close never hangs up the master.
        keeper_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        ::tcgetattr(keeper_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(keeper_, TCSANOW, &tio);
    }
    ~PtyPeer() { closeMaster(); }

    const std::string& slavePath() const { return slavePath_; }
    bool ok() const { return master_ >= 0 && keeper_ >= 0; }

    void write(const std::vector<std::uint8_t>& bytes) {
        [[maybe_unused]] auto n = ::write(master_, bytes.data(), bytes.size());
    }
    // Reads what arrives until `n` bytes or `ms` of silence.
    std::vector<std::uint8_t> read(std::size_t n, int ms = 200) {
        std::vector<std::uint8_t> out;
        while (out.size() < n) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, ms) <= 0) break;
            std::uint8_t buf[256];
            const ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - out.size()));
            if (r <= 0) break;
            out.insert(out.end(), buf, buf + r);
        }
        return out;
    }
    void closeMaster() {
        if (keeper_ >= 0) ::close(keeper_);
        if (master_ >= 0) ::close(master_);
        keeper_ = master_ = -1;
    }

private:
    int master_ = -1;
    int keeper_ = -1;
    std::string slavePath_;
};
