// A serial port in raw mode with the read and write time-outs the board link was
// designed around: a read returns when all bytes arrived, when the total time-out
// passed, or when the gap after a received byte exceeded the interval time-out.
//
// The port is opened exclusively (TIOCEXCL and an flock on the device) so that no
// other program can interleave bytes with ours.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace platform {

// Milliseconds. All zero: reads and writes wait until done (or until cancel()).
struct SerialTimeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

class SerialPort {
public:
    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // 0 on success, else the errno of the failing step (EBUSY when another holder has it).
    int open(const std::string& path);
    void close();
    bool isOpen() const;

    void setTimeouts(const SerialTimeouts& t);
    SerialTimeouts timeouts() const;

    // Bytes written (n when complete), or -1 on error or when closed.
    int write(const std::uint8_t* data, std::size_t n);
    // Bytes read: n, fewer on a time-out, 0 when nothing came in time; -1 on error or when closed.
    int read(std::uint8_t* data, std::size_t n);
    // Drops bytes received but not yet read.
    void discardInput();
    // Bytes received and not yet read (0 when closed).
    std::size_t pendingInput() const;
    // Waits until written bytes have left (FlushFileBuffers' counterpart). 0 or -1.
    int drain();

    // Wakes a read or write blocked in another thread; it returns -1. Cleared by open().
    void cancel();

    // Whether the open port's far end hung up (POLLHUP, or EIO or end of file on a
    // read): the device behind this descriptor is gone for good, whatever now has its
    // name. Never waits for an exchange in progress (it then reports what that
    // exchange has seen). False when closed.
    bool hungUp() const;
    // The device number of the open port (0 when closed).
    std::uint64_t deviceNumber() const { return device_.load(); }

private:
    bool waitFor(short events, std::int64_t deadlineUs, bool* timedOut);

    mutable std::mutex ioMutex_;  // keeps the descriptor from being closed under an I/O call
    int fd_ = -1;
    int wakeFd_ = -1;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> hungUp_{false};
    std::atomic<std::uint64_t> device_{0};
    SerialTimeouts timeouts_;
};

}  // namespace platform
