// The simulator's pseudo-terminal and its published symlink (see Pty.h).

#include "board-sim/Pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace boardsim {

void closePty(Pty& pty) {
    if (pty.master >= 0) ::close(pty.master);
    if (pty.slave >= 0) ::close(pty.slave);
    pty = Pty{};
}

bool openPty(Pty& pty, std::string& error) {
    Pty p;
    p.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (p.master < 0) {
        error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (::grantpt(p.master) != 0 || ::unlockpt(p.master) != 0 || ::ptsname_r(p.master, name, sizeof name) != 0) {
        error = std::string("pty setup: ") + std::strerror(errno);
        closePty(p);
        return false;
    }
    p.name = name;
    p.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (p.slave < 0) {
        error = "open " + p.name + ": " + std::strerror(errno);
        closePty(p);
        return false;
    }
    // Raw from the start: no echo of frames back into the replies, no byte translation.
    termios t{};
    if (::tcgetattr(p.slave, &t) == 0) {
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(p.slave, TCSANOW, &t);
    }
    const int flags = ::fcntl(p.master, F_GETFL);
    if (flags < 0 || ::fcntl(p.master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = std::string("fcntl: ") + std::strerror(errno);
        closePty(p);
        return false;
    }
    pty = std::move(p);
    return true;
}

bool publishSymlink(const std::string& link, const std::string& target, std::string& error) {
    // A fresh link renamed over the old one: a reader never sees the path missing
    // or half made.
    const std::string tmp = link + ".tmp" + std::to_string(::getpid());
    ::unlink(tmp.c_str());
    if (::symlink(target.c_str(), tmp.c_str()) != 0 || ::rename(tmp.c_str(), link.c_str()) != 0) {
        error = std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

void removeSymlink(const std::string& link, const std::string& target) {
    // Only our own link: another simulator may have taken the path over since.
    char buf[256];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string(buf, static_cast<std::size_t>(n)) == target) ::unlink(link.c_str());
}

}  // namespace boardsim
