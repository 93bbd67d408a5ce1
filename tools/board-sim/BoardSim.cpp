#include "board-sim/BoardSim.h"

#include "board-sim/BoardModel.h"
#include "board-sim/Protocol.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace boardsim {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// After the short form of '8' 2 or '8' 3 the cutter waits this long for the rest of a
// long frame. The program writes a frame in one go, so the gap is only scheduling.
constexpr auto kShortFrameWait = 15ms;
// After an unknown letter, input is dropped until the line stays quiet this long.
constexpr auto kIdleGap = 30ms;
// An unfinished frame that gets no further byte for this long is dropped, so that a
// lost byte costs one exchange instead of desynchronising the line for good.
constexpr auto kStallTimeout = 250ms;
constexpr auto kLateDelay = 200ms;
// After a hang-up on the master (not expected while our own slave fd is open), do not
// poll it again at once.
constexpr auto kHangupBackoff = 20ms;
constexpr std::uint8_t kOversizedLength = 200;
constexpr std::uint8_t kOversizedFill = 0xEE;


struct Pty {
    int master = -1;
    int slave = -1;  // kept open so the program closing its fd does not hang up the master
    std::string name;
};

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

int timeoutMs(Clock::time_point now, Clock::time_point deadline) {
    if (deadline <= now) return 0;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count();
    const auto ms = (us + 999) / 1000;  // round up: waking early only spins
    return ms > 60000 ? 60000 : static_cast<int>(ms);
}

}  // namespace

struct BoardSim::Impl {
    Options options;

    std::mutex lifecycle;  // serialises start() and stop()
    mutable std::mutex mutex;
    mutable std::condition_variable framesChanged;

    BoardModel model;
    std::deque<Frame> log;
    std::deque<std::pair<Fault, int>> faults;
    Bytes lastReply;
    std::mt19937 rng{0x5EEDu};  // fixed seed: a failing run can be repeated
    std::mt19937 chaosRng;
    int chaosPercent = 0;
    std::array<std::uint64_t, static_cast<std::size_t>(Fault::Lost) + 1> applied{};  // by kind
    std::uint64_t answered = 0;

    Pty pty;
    bool isPlugged = false;
    unsigned generation = 0;  // changes whenever the pty is closed or replaced
    std::string previousName;
    std::string publishedTarget;  // what the symlink points at, "" when none

    int wakeFd = -1;
    std::thread thread;
    bool running = false;
    bool stopping = false;

    Bytes input;
    Clock::time_point lastInput{};
    bool dropping = false;
    Bytes droppedBytes;
    Clock::time_point inputDeadline = Clock::time_point::max();
    Clock::time_point quietUntil{};

    struct Pending {
        Clock::time_point notBefore;
        Bytes bytes;
    };
    std::deque<Pending> output;
    std::size_t outputOffset = 0;  // bytes of output.front() already written

    std::unique_ptr<LoaderSide> loader;  // with options.loaderPath

    explicit Impl(Options o) : options(std::move(o)) {}

    void say(const std::string& text) const {
        if (options.log)
            options.log(text);
        else
            std::fprintf(stderr, "board-sim: %s\n", text.c_str());
    }

    void wake() const {
        if (wakeFd < 0) return;
        const std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd, &one, sizeof one);
    }

    // --- plug state (caller holds mutex) ---

    void publishLink() {
        const std::string& link = options.linkPath;
        if (link.empty()) return;
        // A fresh link renamed over the old one: a reader never sees the path missing
        // or half made.
        const std::string tmp = link + ".tmp" + std::to_string(::getpid());
        ::unlink(tmp.c_str());
        if (::symlink(pty.name.c_str(), tmp.c_str()) != 0 || ::rename(tmp.c_str(), link.c_str()) != 0) {
            say("cannot publish " + link + ": " + std::strerror(errno));
            ::unlink(tmp.c_str());
            return;
        }
        publishedTarget = pty.name;
    }

    void removeLink() {
        const std::string& link = options.linkPath;
        if (link.empty() || publishedTarget.empty()) return;
        // Only our own link: another simulator may have taken the path over since.
        char target[256];
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == publishedTarget) ::unlink(link.c_str());
        publishedTarget.clear();
    }

    bool plugIn() {
        std::string error;
        Pty p;
        if (!openPty(p, error)) {
            say("cannot open a pseudo-terminal: " + error);
            return false;
        }
        // The kernel hands out the lowest free number, so a replug would often get the
        // old path again; a different one shows that the program really reopened.
        if (p.name == previousName) {
            Pty other;
            if (openPty(other, error)) {
                closePty(p);
                p = std::move(other);
            }
        }
        pty = std::move(p);
        previousName = pty.name;
        isPlugged = true;
        ++generation;
        resetLine();
        publishLink();
        wake();
        return true;
    }

    void pullOut() {
        if (!isPlugged) return;
        closePty(pty);
        removeLink();
        isPlugged = false;
        ++generation;
        resetLine();
        wake();
    }

    void resetLine() {
        input.clear();
        droppedBytes.clear();
        dropping = false;
        output.clear();
        outputOffset = 0;
        inputDeadline = Clock::time_point::max();
    }

    // --- frame log (caller holds mutex) ---

    void record(Frame frame) {
        frame.received = lastInput;
        log.push_back(std::move(frame));
        if (options.frameLogLimit != 0)
            while (log.size() > options.frameLogLimit) log.pop_front();
        framesChanged.notify_all();
    }

    // --- output (caller holds mutex) ---

    void send(Bytes bytes, Clock::time_point notBefore) {
        if (!isPlugged || bytes.empty()) return;
        output.push_back(Pending{notBefore, std::move(bytes)});
    }

    void writeOutput(Clock::time_point now) {
        while (pty.master >= 0 && !output.empty() && output.front().notBefore <= now) {
            const Bytes& b = output.front().bytes;
            const ssize_t n = ::write(pty.master, b.data() + outputOffset, b.size() - outputOffset);
            if (n < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) return;  // poll for POLLOUT
                say(std::string("write to the pty failed: ") + std::strerror(errno));
                output.clear();
                outputOffset = 0;
                return;
            }
            outputOffset += static_cast<std::size_t>(n);
            if (outputOffset >= b.size()) {
                output.pop_front();
                outputOffset = 0;
            }
        }
    }

    bool outputDue(Clock::time_point now) const {
        return !output.empty() && output.front().notBefore <= now;
    }

    // --- faults (caller holds mutex) ---

    Fault randomFault(bool checksummed) {
        if (chaosPercent <= 0 || static_cast<int>(chaosRng() % 100) >= chaosPercent) return Fault::None;
        // Only a checksummed reply can carry a bad checksum; others draw again.
        Fault kind;
        do kind = static_cast<Fault>(1 + chaosRng() % (kFaultKinds - 1));
        while (kind == Fault::BadChecksum && !checksummed);
        return kind;
    }

    Fault takeFault(bool checksummed) {
        while (!faults.empty() && faults.front().second <= 0) faults.pop_front();
        if (faults.empty()) return randomFault(checksummed);
        auto& [fault, count] = faults.front();
        // A checksum can only be spoilt where there is one; the fault waits for it.
        if (fault == Fault::BadChecksum && !checksummed) return Fault::None;
        const Fault taken = fault;
        if (--count <= 0) faults.pop_front();
        return taken;
    }

    // A frame lost on the line is taken before the board sees it.
    bool takeLost() {
        while (!faults.empty() && faults.front().second <= 0) faults.pop_front();
        if (faults.empty() || faults.front().first != Fault::Lost) return false;
        if (--faults.front().second <= 0) faults.pop_front();
        return true;
    }

    void answer(const Bytes& frame, Bytes reply, Clock::time_point now) {
        const Fault fault = takeFault(replyIsChecksummed(frame));
        ++answered;
        ++applied[static_cast<std::size_t>(fault)];
        const Bytes proper = reply;
        switch (fault) {
        case Fault::None:
            send(std::move(reply), now);
            break;
        case Fault::Silence:
        case Fault::Lost:  // taken before the frame was applied; here only as silence
            break;
        case Fault::WrongEcho:
            if (reply.size() >= 2) reply[1] ^= 0x01;
            send(std::move(reply), now);
            break;
        case Fault::BadChecksum:
            reply.back() = static_cast<std::uint8_t>(reply.back() + 1);
            send(std::move(reply), now);
            break;
        case Fault::ShortReply:
            // The length byte and less than half of the rest: always fewer than it says.
            reply.resize(1 + (reply.size() - 1) / 2);
            send(std::move(reply), now);
            break;
        case Fault::OversizedLength: {
            Bytes b(1 + kOversizedLength, kOversizedFill);
            b[0] = kOversizedLength;
            b[1] = frame[0];
            send(std::move(b), now);
            break;
        }
        case Fault::ZeroLength:
            send(Bytes{0}, now);
            break;
        case Fault::Garbage: {
            Bytes b(3 + rng() % 4);
            for (auto& x : b) x = static_cast<std::uint8_t>(rng() & 0xFF);
            send(std::move(b), now);
            break;
        }
        case Fault::StaleReply:
            send(lastReply.empty() ? Bytes{0x02, 'R'} : lastReply, now);
            send(std::move(reply), now);
            break;
        case Fault::LateReply:
            send(std::move(reply), now + kLateDelay);
            break;
        }
        lastReply = proper;
    }

    // --- frames (caller holds mutex) ---

    // The boot request switches a controller to its loader: acknowledged, then the
    // board leaves its port and the loader side offers its device.
    Bytes bootRequest(const Bytes& frame) {
        const int controller = frame[1] == 0xFF ? 0 : frame[4] == 0xFF ? 1 : -1;
        if (controller < 0 || !loader) {
            say(std::string("boot request for ") + (controller < 0 ? "no" : "a") +
                " controller: acknowledged, no loader");
        } else {
            loader->enter(controller);
        }
        return Bytes{0x02, 'W'};
    }

    void handleFrame(Bytes bytes, Clock::time_point now) {
        if (takeLost()) {
            ++applied[static_cast<std::size_t>(Fault::Lost)];
            say("frame lost on the line: " + hex(bytes));
            Frame lost;
            lost.bytes = std::move(bytes);
            lost.dropped = true;
            record(std::move(lost));
            return;
        }
        Frame frame;
        frame.checksumOk = frameChecksumOk(bytes);
        frame.bytes = std::move(bytes);
        const Bytes& f = frame.bytes;
        if (frame.checksumOk)
            model.apply(f);  // a board drops what does not add up
        else
            say("checksum mismatch in frame " + hex(f) + " (answered, not applied)");
        if (frame.checksumOk) model.advanceMotor(f);
        Bytes reply = f[0] == 'W' ? bootRequest(f) : model.reply(f);
        record(frame);
        answer(frame.bytes, std::move(reply), now);
    }

    void dropInput(const char* why) {
        say(std::string(why) + ": " + hex(droppedBytes));
        Frame frame;
        frame.bytes = std::move(droppedBytes);
        frame.checksumOk = false;
        frame.dropped = true;
        record(std::move(frame));
        droppedBytes.clear();
    }

    // Cuts and answers every complete frame in `input`; sets inputDeadline to when it
    // must look again without new bytes.
    void processInput(Clock::time_point now) {
        inputDeadline = Clock::time_point::max();
        for (;;) {
            if (dropping) {
                droppedBytes.insert(droppedBytes.end(), input.begin(), input.end());
                input.clear();
                if (now - lastInput < kIdleGap) {
                    inputDeadline = lastInput + kIdleGap;
                    return;
                }
                dropping = false;
                dropInput("unknown frame dropped");
            }
            if (input.empty()) return;

            const FrameSize size = frameSize(input.data(), input.size());
            if (size.status == FrameSize::Unknown || size.status == FrameSize::Malformed) {
                if (size.status == FrameSize::Malformed)
                    say("frame letter '" + std::string(1, static_cast<char>(input[0])) +
                        "' with an impossible length; dropping input until the line is idle");
                else
                    say("unknown frame start " + hex(Bytes(input.begin(), input.begin() + std::min<std::size_t>(
                                                                                         input.size(), 2))) +
                        "; dropping input until the line is idle");
                dropping = true;
                continue;
            }

            std::size_t take = 0;
            if (size.status == FrameSize::Known) {
                if (size.longLength != 0 && input.size() > size.length) {
                    if (input.size() >= size.longLength) take = size.longLength;  // more came: the long form
                } else if (input.size() >= size.length) {
                    if (size.longLength == 0 || now - lastInput >= kShortFrameWait)
                        take = size.length;
                    else {
                        inputDeadline = lastInput + kShortFrameWait;
                        return;
                    }
                }
            }
            if (take == 0) {
                if (now - lastInput >= kStallTimeout) {
                    droppedBytes = std::move(input);
                    input.clear();
                    dropInput("unfinished frame dropped");
                    return;
                }
                inputDeadline = lastInput + kStallTimeout;
                return;
            }
            Bytes frame(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(take));
            input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(take));
            handleFrame(std::move(frame), now);
        }
    }

    void readInput(Clock::time_point now) {
        std::uint8_t buf[512];
        for (;;) {
            const ssize_t n = ::read(pty.master, buf, sizeof buf);
            if (n > 0) {
                input.insert(input.end(), buf, buf + n);
                lastInput = now;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) quietUntil = now + kHangupBackoff;
            return;
        }
    }

    void serve() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            Clock::time_point now = Clock::now();
            processInput(now);
            writeOutput(now);

            pollfd fds[2] = {{wakeFd, POLLIN, 0}, {-1, 0, 0}};
            nfds_t count = 1;
            Clock::time_point deadline = inputDeadline;
            if (pty.master >= 0 && now < quietUntil) {
                deadline = std::min(deadline, quietUntil);
            } else if (pty.master >= 0) {
                const short events = static_cast<short>(POLLIN | (outputDue(now) ? POLLOUT : 0));
                fds[1] = {pty.master, events, 0};
                count = 2;
                if (!output.empty() && output.front().notBefore > now)
                    deadline = std::min(deadline, output.front().notBefore);
            }
            const int timeout = deadline == Clock::time_point::max() ? -1 : timeoutMs(now, deadline);
            const unsigned seen = generation;

            lock.unlock();
            const int ready = ::poll(fds, count, timeout);
            const int pollErrno = errno;
            lock.lock();

            if (ready < 0 && pollErrno != EINTR) {
                say(std::string("poll failed: ") + std::strerror(pollErrno));
                lock.unlock();
                std::this_thread::sleep_for(kHangupBackoff);
                lock.lock();
                continue;
            }
            if (fds[0].revents & POLLIN) {
                std::uint64_t value = 0;
                [[maybe_unused]] auto n = ::read(wakeFd, &value, sizeof value);
            }
            // The pty may have been replaced while we waited; its events are stale then.
            if (stopping || count < 2 || seen != generation || pty.master < 0) continue;
            now = Clock::now();
            if (fds[1].revents & POLLIN)
                readInput(now);
            else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))
                quietUntil = now + kHangupBackoff;
        }
    }
};

BoardSim::BoardSim() : BoardSim(Options{}) {}

BoardSim::BoardSim(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {
    if (impl_->options.loaderPath.empty()) return;
    Impl* impl = impl_.get();
    LoaderSide::Hooks hooks;
    hooks.leaveBoard = [impl] {
        std::lock_guard lock(impl->mutex);
        impl->pullOut();
    };
    hooks.backToBoard = [impl](int controller, std::optional<std::uint16_t> version, bool plugIn) {
        std::lock_guard lock(impl->mutex);
        if (version) (controller == 0 ? impl->model.mainVersion : impl->model.secondVersion) = *version;
        // A board switched off meanwhile stays off.
        if (plugIn && impl->running && !impl->stopping) impl->plugIn();
    };
    hooks.log = [impl](const std::string& text) { impl->say(text); };
    impl_->loader = std::make_unique<LoaderSide>(impl_->options.loaderPath, std::move(hooks));
}

void BoardSim::injectLoaderFault(LoaderFault fault) {
    if (impl_->loader) impl_->loader->injectFault(fault);
}

bool BoardSim::inLoader() const { return impl_->loader && impl_->loader->active(); }

std::vector<Bytes> BoardSim::loaderRequests() const {
    return impl_->loader ? impl_->loader->requests() : std::vector<Bytes>{};
}

void BoardSim::clearLoaderRequests() {
    if (impl_->loader) impl_->loader->clearRequests();
}

BoardSim::~BoardSim() {
    // The loader's thread reaches back into the board: it ends first. The object stays
    // until the board's own thread, which may still hand it a boot request, has ended.
    if (impl_->loader) impl_->loader->shutdown();
    stop();
    std::lock_guard lock(impl_->mutex);
    impl_->pullOut();
    if (impl_->wakeFd >= 0) ::close(impl_->wakeFd);
    impl_->wakeFd = -1;
}

bool BoardSim::start() {
    std::lock_guard life(impl_->lifecycle);
    std::lock_guard lock(impl_->mutex);
    if (impl_->running) return true;
    if (impl_->wakeFd < 0) {
        impl_->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (impl_->wakeFd < 0) {
            impl_->say(std::string("eventfd: ") + std::strerror(errno));
            return false;
        }
    }
    if (!impl_->isPlugged && !impl_->plugIn()) return false;
    impl_->stopping = false;
    impl_->running = true;
    impl_->thread = std::thread([impl = impl_.get()] { impl->serve(); });
    return true;
}

void BoardSim::stop() {
    std::lock_guard life(impl_->lifecycle);
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->running) return;
        impl_->stopping = true;
        impl_->wake();
    }
    impl_->thread.join();
    std::lock_guard lock(impl_->mutex);
    impl_->running = false;
    impl_->pullOut();  // a stopped board is a board without power
}

std::string BoardSim::slavePath() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->isPlugged ? impl_->pty.name : std::string();
}

std::string BoardSim::portPath() const {
    if (!impl_->options.linkPath.empty()) return impl_->options.linkPath;
    return slavePath();
}

void BoardSim::setMainVersion(std::uint16_t v) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.mainVersion = v;
}

void BoardSim::setSecondVersion(std::uint16_t v) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.secondVersion = v;
}

void BoardSim::setSecondAbsent(bool absent) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.secondAbsent = absent;
}

void BoardSim::setMeasuredValue(std::uint16_t v) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.measured = v;
}

void BoardSim::setMotor(const Motor& m) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.motor = m;
    if (!m.enabled) impl_->model.measured = 0;
}

void BoardSim::setStatus(std::uint8_t s) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.status = s;
}

void BoardSim::setSub21Value(std::uint8_t v) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.sub21 = v;
}

void BoardSim::setAdc(int channel, std::uint16_t v) {
    if (channel < 0 || channel >= BoardModel::kAdcChannels) return;
    std::lock_guard lock(impl_->mutex);
    impl_->model.adc[static_cast<std::size_t>(channel)] = v;
}

void BoardSim::setInputPort(int port, bool level) {
    if (port < 0 || port >= BoardModel::kPorts) return;
    std::lock_guard lock(impl_->mutex);
    const std::uint64_t bit = std::uint64_t{1} << port;
    if (level)
        impl_->model.inputLevels |= bit;
    else
        impl_->model.inputLevels &= ~bit;
}

void BoardSim::setInterruptFlag(int input, bool set) {
    if (input < 1 || input > 5) return;
    std::lock_guard lock(impl_->mutex);
    const auto bit = static_cast<std::uint8_t>(1u << input);
    if (set)
        impl_->model.interruptFlags |= bit;
    else
        impl_->model.interruptFlags &= static_cast<std::uint8_t>(~bit);
}

void BoardSim::setI2cReadData(const Bytes& data) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.i2cReadData = data;
}

bool BoardSim::portLevel(int port) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.portLevel(port);
}

bool BoardSim::portIsOutput(int port) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.portIsOutput(port);
}

std::string BoardSim::stateReport() const {
    std::lock_guard lock(impl_->mutex);
    std::string s = impl_->model.describe();
    s += impl_->isPlugged ? "plugged in at " + impl_->pty.name + '\n' : std::string("unplugged\n");
    return s;
}

std::vector<Frame> BoardSim::frames() const {
    std::lock_guard lock(impl_->mutex);
    return std::vector<Frame>(impl_->log.begin(), impl_->log.end());
}

std::size_t BoardSim::frameCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->log.size();
}

void BoardSim::clearFrames() {
    std::lock_guard lock(impl_->mutex);
    impl_->log.clear();
}

bool BoardSim::waitForFrames(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->framesChanged.wait_for(lock, timeout, [&] { return impl_->log.size() >= n; });
}

void BoardSim::injectFault(Fault fault, int count) {
    if (count <= 0) return;
    std::lock_guard lock(impl_->mutex);
    impl_->faults.emplace_back(fault, count);
}

void BoardSim::setRandomFaults(std::uint32_t seed, int percent) {
    std::lock_guard lock(impl_->mutex);
    impl_->chaosRng.seed(seed);
    impl_->chaosPercent = std::clamp(percent, 0, 100);
}

std::uint64_t BoardSim::faultsApplied(Fault fault) const {
    const auto i = static_cast<std::size_t>(fault);
    std::lock_guard lock(impl_->mutex);
    return i < impl_->applied.size() ? impl_->applied[i] : 0;
}

std::uint64_t BoardSim::framesAnswered() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->answered;
}

void BoardSim::sendRaw(const Bytes& bytes) {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->isPlugged || bytes.empty()) return;
    // Ahead of a reply held back by LateReply, but never into the middle of a reply
    // already partly written.
    const auto now = Clock::now();
    auto& out = impl_->output;
    auto at = out.begin();
    if (at != out.end() && impl_->outputOffset != 0) ++at;
    while (at != out.end() && at->notBefore <= now) ++at;
    out.insert(at, Impl::Pending{now, bytes});
    impl_->wake();
}

void BoardSim::unplug() {
    std::lock_guard lock(impl_->mutex);
    impl_->pullOut();
}

bool BoardSim::replug() {
    std::lock_guard lock(impl_->mutex);
    impl_->pullOut();
    return impl_->plugIn();
}

bool BoardSim::plugged() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->isPlugged;
}

}  // namespace boardsim
