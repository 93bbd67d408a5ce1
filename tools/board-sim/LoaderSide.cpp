#include "board-sim/LoaderSide.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace boardsim {

namespace {

constexpr std::size_t kHeader = 28;
constexpr std::size_t kInfo = 68;
constexpr std::size_t kBlock = 128;
constexpr std::size_t kMaxMessage = kHeader + 0x3800;
// How long the board stays away when the program never comes, and after a failed
// entry into the loader.
constexpr int kSessionLimitMs = 30000;
constexpr int kAbsentMs = 300;
constexpr int kLeaveDelayMs = 20;  // the boot request's acknowledgement goes out first

std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

bool readAll(int fd, std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t r = ::recv(fd, p, n, 0);
        if (r > 0) {
            p += r;
            n -= static_cast<std::size_t>(r);
        } else if (r < 0 && errno == EINTR) {
            continue;
        } else if (r < 0 && errno == EAGAIN) {
            pollfd pf{fd, POLLIN, 0};
            if (::poll(&pf, 1, 5000) <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

bool writeAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w > 0) {
            p += w;
            n -= static_cast<std::size_t>(w);
        } else if (w < 0 && (errno == EINTR || errno == EAGAIN)) {
            pollfd pf{fd, POLLOUT, 0};
            if (::poll(&pf, 1, 5000) <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

LoaderSide::LoaderSide(std::string path, Hooks hooks) : path_(std::move(path)), hooks_(std::move(hooks)) {}

LoaderSide::~LoaderSide() { shutdown(); }

void LoaderSide::shutdown() {
    std::thread last;
    {
        std::lock_guard lock(threadMutex_);
        stopping_ = true;
        last = std::move(thread_);
    }
    if (last.joinable()) last.join();
}

void LoaderSide::say(const std::string& s) const {
    if (hooks_.log) hooks_.log("loader: " + s);
}

void LoaderSide::injectFault(LoaderFault fault) {
    std::lock_guard lock(mutex_);
    nextFault_ = fault;
}

std::vector<std::vector<std::uint8_t>> LoaderSide::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LoaderSide::clearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

void LoaderSide::enter(int controller) {
    std::lock_guard threadLock(threadMutex_);
    if (stopping_ || active_.exchange(true)) return;
    LoaderFault fault;
    {
        std::lock_guard lock(mutex_);
        fault = nextFault_;
        nextFault_ = LoaderFault::None;
    }
    if (thread_.joinable()) thread_.join();  // the last session has ended (active_ was false)
    thread_ = std::thread([this, controller, fault] { session(controller, fault); });
}

bool LoaderSide::waitReadable(int fd, int ms) {
    // In short steps, so that a stop is seen.
    for (int waited = 0; waited < ms && !stopping_; waited += 50) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, 50);
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
    }
    return false;
}

void LoaderSide::session(int controller, LoaderFault fault) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kLeaveDelayMs));
    if (hooks_.leaveBoard) hooks_.leaveBoard();
    std::optional<std::uint16_t> committed;
    {
        std::lock_guard lock(mutex_);
        flash_.assign(0x3800, 0xFF);
    }
    if (fault == LoaderFault::Absent) {
        say("the loader does not show up");
        for (int waited = 0; waited < kAbsentMs && !stopping_; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } else {
        const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        bool listening = false;
        if (server >= 0 && path_.size() < sizeof address.sun_path) {
            std::memcpy(address.sun_path, path_.c_str(), path_.size());
            ::unlink(path_.c_str());
            listening = ::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                        ::listen(server, 1) == 0;
        }
        if (!listening) {
            say("cannot listen on " + path_ + ": " + std::strerror(errno));
        } else {
            say("loader device offered at " + path_ + " for controller " + std::to_string(controller));
            if (waitReadable(server, kSessionLimitMs)) {
                const int client = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (client >= 0) {
                    while (serve(client, controller, fault, committed)) {}
                    ::close(client);
                }
            }
            ::unlink(path_.c_str());
        }
        if (server >= 0) ::close(server);
    }
    say(committed ? "new firmware runs" : "firmware unchanged");
    const bool plugIn = fault != LoaderFault::StaysAway;
    if (!plugIn) say("the board stays unplugged until replug");
    if (hooks_.backToBoard) hooks_.backToBoard(controller, committed, plugIn);
    active_ = false;
}

// One request and its answer; false when the program closed the channel.
bool LoaderSide::serve(int client, int controller, LoaderFault fault, std::optional<std::uint16_t>& committed) {
    if (!waitReadable(client, kSessionLimitMs)) return false;
    std::uint8_t length[4];
    if (!readAll(client, length, 4)) return false;
    const std::uint32_t n = get32(length);
    if (n > kMaxMessage) {
        say("request of " + std::to_string(n) + " bytes refused");
        return false;
    }
    std::vector<std::uint8_t> request(n);
    if (!readAll(client, request.data(), n)) return false;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    const auto reply = answer(request, controller, fault, committed);
    if (!reply) return true;  // silence: the program times out
    std::uint8_t out[4] = {static_cast<std::uint8_t>(reply->size()), static_cast<std::uint8_t>(reply->size() >> 8),
                           static_cast<std::uint8_t>(reply->size() >> 16), 0};
    return writeAll(client, out, 4) && writeAll(client, reply->data(), reply->size());
}

std::optional<std::vector<std::uint8_t>> LoaderSide::answer(const std::vector<std::uint8_t>& request, int controller,
                                                            LoaderFault fault,
                                                            std::optional<std::uint16_t>& committed) {
    std::vector<std::uint8_t> reply = request;
    if (reply.size() < kHeader) {
        reply.resize(kHeader, 0);
        reply[4] = 1;
        return reply;
    }
    const auto failed = [&reply](const char* why, LoaderSide* self) {
        self->say(why);
        reply.resize(kHeader);
        reply[4] = 1;
        return reply;
    };
    const std::uint32_t code = get32(request.data());
    const std::uint8_t command = request[8];
    const std::uint16_t key = get16(request.data() + 10);
    const std::uint16_t block = get16(request.data() + 12);
    const std::size_t blocks = controller != 0 ? 48 : 112;
    reply[4] = 0;
    switch (code) {
        case 1020: {
            if (fault == LoaderFault::InfoFails) return failed("information request failed", this);
            reply.assign(kHeader + kInfo, 0);
            std::copy_n(request.begin(), kHeader, reply.begin());
            reply[4] = 0;
            std::uint8_t* info = reply.data() + kHeader;
            info[22] = kKey & 0xFF;
            info[23] = kKey >> 8;
            const std::uint16_t blockLength = fault == LoaderFault::WrongBlockLength ? 64 : kBlock;
            info[24] = blockLength & 0xFF;
            info[25] = blockLength >> 8;
            info[32] = kTimeoutFactor & 0xFF;
            info[33] = kTimeoutFactor >> 8;
            info[34] = kErase;
            info[35] = kFinish;
            info[36] = kWrite;
            info[37] = kReadBack;
            info[38] = kRun;
            return reply;
        }
        case 1002:
            reply.resize(kHeader);
            reply[8] = 0x08;  // boot mode
            reply[9] = reply[10] = reply[11] = 0;
            return reply;
        case 1003:
            reply.resize(kHeader);
            return reply;
        case 1041:
            break;
        default:
            return failed("unknown request", this);
    }
    if (command != kRun && key != kKey) return failed("wrong key", this);
    std::lock_guard lock(mutex_);
    switch (command) {
        case kErase:
            if (fault == LoaderFault::EraseFails) return failed("erase failed", this);
            flash_.assign(0x3800, 0xFF);
            reply.resize(kHeader);
            return reply;
        case kWrite: {
            if (block >= blocks || request.size() != kHeader + kBlock) return failed("bad write", this);
            if (fault == LoaderFault::WriteFails && block == 3) return failed("write failed", this);
            if (fault == LoaderFault::WriteSilence && block == 2) return std::nullopt;
            std::copy(request.begin() + kHeader, request.end(), flash_.begin() + block * kBlock);
            reply.resize(kHeader);
            return reply;
        }
        case kReadBack: {
            if (block >= blocks || get32(request.data() + 16) != 1) return failed("bad read-back", this);
            if (fault == LoaderFault::VerifyFails && block == 7) return failed("read-back failed", this);
            reply.resize(kHeader);
            if (fault == LoaderFault::VerifyEmpty) return reply;
            reply.insert(reply.end(), flash_.begin() + block * kBlock, flash_.begin() + (block + 1) * kBlock);
            if (fault == LoaderFault::VerifyMismatch && (block == 5 || block == 20)) reply[kHeader + 7] ^= 0x40;
            return reply;
        }
        case kFinish:
            if (block != 0xFFFF || fault == LoaderFault::FinishFails) return failed("finish failed", this);
            reply.resize(kHeader);
            return reply;
        case kRun:
            if (fault == LoaderFault::RunFails) return failed("run failed", this);
            if (std::equal(kImageMark, kImageMark + 3, flash_.begin()) && flash_[3] == controller)
                committed = get16(flash_.data() + 4);
            else
                committed = 0xFFFF;  // not an image of ours: it runs, reporting nothing sensible
            reply.resize(kHeader);
            return reply;
        default:
            return failed("unknown loader command", this);
    }
}

}  // namespace boardsim
