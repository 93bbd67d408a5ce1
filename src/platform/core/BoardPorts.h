// Finding the board's serial port.
//
// A board is a tty that our udev rule tags with TAMSIRO_BOARD=1 (see res/linux/). The
// environment variable TAMSIRO_BOARD_PORT names a port directly instead (tests, the
// simulator): that port counts as present while its path exists.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

struct PortInfo {
    std::string devPath;       // what to open, e.g. /dev/ttyACM0
    std::string friendlyName;  // e.g. "USB Serial Port (/dev/ttyACM0)"
    // The device number of the node the path names now (0: unknown). Another number
    // under the same path is another device.
    std::uint64_t device = 0;
    bool operator==(const PortInfo&) const = default;
};

class IBoardLocator {
public:
    virtual ~IBoardLocator() = default;
    // The first present board port, if any.
    virtual std::optional<PortInfo> findPresent() = 0;
    // Whether arrivals and removals are announced by udev (false: they must be polled).
    virtual bool hasUdevEvents() const = 0;
};

// A fixed path, present while it exists (a symlink counts while its target exists).
// The path may hold blanks and parentheses; it is opened as it is.
class PathBoardLocator final : public IBoardLocator {
public:
    explicit PathBoardLocator(std::string path) : path_(std::move(path)) {}
    std::optional<PortInfo> findPresent() override;
    bool hasUdevEvents() const override { return false; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The tagged ttys that udev knows.
class UdevBoardLocator final : public IBoardLocator {
public:
    std::optional<PortInfo> findPresent() override;
    bool hasUdevEvents() const override { return true; }
};

// TAMSIRO_BOARD_PORT when set, else udev.
std::unique_ptr<IBoardLocator> makeSystemBoardLocator();

// The name a port is listed under: "<model> (<path>)".
std::string friendlyPortName(const std::string& model, const std::string& devPath);

// Watches for board arrival and removal and calls `onChange` (on the watch's own
// thread) whenever something may have changed. udev events where udev announces the
// port; otherwise, as for the simulator's port, a poll of the locator at `pollInterval`
// that calls back when presence flips or the path comes to name another device (a
// quick unplug and replug between two polls).
class DeviceWatch {
public:
    using Callback = std::function<void()>;
    DeviceWatch(std::shared_ptr<IBoardLocator> locator, Callback onChange,
                std::chrono::milliseconds pollInterval = std::chrono::seconds(1));
    ~DeviceWatch();  // stops and joins
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    void start();
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
