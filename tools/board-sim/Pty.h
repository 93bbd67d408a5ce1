// The simulator's pseudo-terminal and the symlink that publishes it: plain POSIX plumbing, apart from the line logic.
#pragma once

#include <string>

namespace boardsim {

struct Pty {
    int master = -1;
    int slave = -1;  // kept open so the program closing its fd does not hang up the master
    std::string name;
};

// Opens a raw pty with a non-blocking master; on failure `pty` is left as it was and
// `error` says why.
bool openPty(Pty& pty, std::string& error);
void closePty(Pty& pty);

// Points `link` at `target`, replacing any old link atomically; on failure `error` says why.
bool publishSymlink(const std::string& link, const std::string& target, std::string& error);
// Removes `link` only while it still points at `target`.
void removeSymlink(const std::string& link, const std::string& target);

}  // namespace boardsim
