// The serving thread: cuts the program's frames, answers them (with faults where asked), keeps plug state and log.

#include "board-sim/BoardSimImpl.h"

#include "board-sim/Protocol.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace boardsim {

namespace {

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

int timeoutMs(Clock::time_point now, Clock::time_point deadline) {
    if (deadline <= now) return 0;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count();
    const auto ms = (us + 999) / 1000;  // round up: waking early only spins
    return ms > 60000 ? 60000 : static_cast<int>(ms);
}

}  // namespace

void BoardSim::Impl::say(const std::string& text) const {
    if (options.log)
        options.log(text);
    else
        std::fprintf(stderr, "board-sim: %s\n", text.c_str());
}

void BoardSim::Impl::wake() const {
    if (wakeFd < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wakeFd, &one, sizeof one);
}

// --- plug state (caller holds mutex) ---

void BoardSim::Impl::publishLink() {
    const std::string& link = options.linkPath;
    if (link.empty()) return;
    std::string error;
    if (!publishSymlink(link, pty.name, error)) {
        say("cannot publish " + link + ": " + error);
        return;
    }
    publishedTarget = pty.name;
}

void BoardSim::Impl::removeLink() {
    const std::string& link = options.linkPath;
    if (link.empty() || publishedTarget.empty()) return;
    removeSymlink(link, publishedTarget);
    publishedTarget.clear();
}

bool BoardSim::Impl::plugIn() {
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

void BoardSim::Impl::pullOut() {
    if (!isPlugged) return;
    closePty(pty);
    removeLink();
    isPlugged = false;
    ++generation;
    resetLine();
    wake();
}

void BoardSim::Impl::resetLine() {
    input.clear();
    droppedBytes.clear();
    dropping = false;
    output.clear();
    outputOffset = 0;
    inputDeadline = Clock::time_point::max();
}

// --- frame log (caller holds mutex) ---

void BoardSim::Impl::record(Frame frame) {
    frame.received = lastInput;
    log.push_back(std::move(frame));
    if (options.frameLogLimit != 0)
        while (log.size() > options.frameLogLimit) log.pop_front();
    framesChanged.notify_all();
}

// --- output (caller holds mutex) ---

void BoardSim::Impl::send(Bytes bytes, Clock::time_point notBefore) {
    if (!isPlugged || bytes.empty()) return;
    output.push_back(Pending{notBefore, std::move(bytes)});
}

void BoardSim::Impl::writeOutput(Clock::time_point now) {
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

bool BoardSim::Impl::outputDue(Clock::time_point now) const {
    return !output.empty() && output.front().notBefore <= now;
}

// --- faults (caller holds mutex) ---

Fault BoardSim::Impl::randomFault(bool checksummed) {
    if (chaosPercent <= 0 || static_cast<int>(chaosRng() % 100) >= chaosPercent) return Fault::None;
    // Only a checksummed reply can carry a bad checksum; others draw again.
    Fault kind;
    do kind = static_cast<Fault>(1 + chaosRng() % (kFaultKinds - 1));
    while (kind == Fault::BadChecksum && !checksummed);
    return kind;
}

Fault BoardSim::Impl::takeFault(bool checksummed) {
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
bool BoardSim::Impl::takeLost() {
    while (!faults.empty() && faults.front().second <= 0) faults.pop_front();
    if (faults.empty() || faults.front().first != Fault::Lost) return false;
    if (--faults.front().second <= 0) faults.pop_front();
    return true;
}

void BoardSim::Impl::answer(const Bytes& frame, Bytes reply, Clock::time_point now) {
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
Bytes BoardSim::Impl::bootRequest(const Bytes& frame) {
    const int controller = frame[1] == 0xFF ? 0 : frame[4] == 0xFF ? 1 : -1;
    if (controller < 0 || !loader) {
        say(std::string("boot request for ") + (controller < 0 ? "no" : "a") + " controller: acknowledged, no loader");
    } else {
        loader->enter(controller);
    }
    return Bytes{0x02, 'W'};
}

void BoardSim::Impl::handleFrame(Bytes bytes, Clock::time_point now) {
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

void BoardSim::Impl::dropInput(const char* why) {
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
void BoardSim::Impl::processInput(Clock::time_point now) {
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
                say("unknown frame start " +
                    hex(Bytes(input.begin(), input.begin() + std::min<std::size_t>(input.size(), 2))) +
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

void BoardSim::Impl::readInput(Clock::time_point now) {
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

void BoardSim::Impl::serve() {
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

}  // namespace boardsim
