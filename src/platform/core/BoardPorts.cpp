#include "platform/core/BoardPorts.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform {

std::string friendlyPortName(const std::string& model, const std::string& devPath) {
    return (model.empty() ? std::string("USB Serial Port") : model) + " (" + devPath + ")";
}

std::optional<PortInfo> PathBoardLocator::findPresent() {
    struct stat st{};
    if (path_.empty() || ::stat(path_.c_str(), &st) != 0) return std::nullopt;
    return PortInfo{path_, friendlyPortName("Board Port", path_),
                    S_ISCHR(st.st_mode) ? static_cast<std::uint64_t>(st.st_rdev) : 0};
}

std::optional<PortInfo> UdevBoardLocator::findPresent() {
    udev* u = udev_new();
    if (!u) return std::nullopt;
    std::optional<PortInfo> found;
    if (udev_enumerate* e = udev_enumerate_new(u)) {
        udev_enumerate_add_match_subsystem(e, "tty");
        udev_enumerate_add_match_property(e, "TAMSIRO_BOARD", "1");
        udev_enumerate_add_match_is_initialized(e);
        udev_enumerate_scan_devices(e);
        udev_list_entry* entry;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
            udev_device* d = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
            if (!d) continue;
            const char* node = udev_device_get_devnode(d);
            if (node) {
                const char* model = udev_device_get_property_value(d, "ID_MODEL_FROM_DATABASE");
                if (!model) model = udev_device_get_property_value(d, "ID_MODEL");
                std::string modelName = model ? model : "";
                for (char& c : modelName) {
                    if (c == '_' || c == '(' || c == ')') c = ' ';  // keep the path the only bracketed word
                }
                found = PortInfo{node, friendlyPortName(modelName, node),
                                 static_cast<std::uint64_t>(udev_device_get_devnum(d))};
            }
            udev_device_unref(d);
            if (found) break;
        }
        udev_enumerate_unref(e);
    }
    udev_unref(u);
    return found;
}

std::unique_ptr<IBoardLocator> makeSystemBoardLocator() {
    if (const char* p = std::getenv("TAMSIRO_BOARD_PORT"); p && *p) return std::make_unique<PathBoardLocator>(p);
    return std::make_unique<UdevBoardLocator>();
}

struct DeviceWatch::Impl {
    std::shared_ptr<IBoardLocator> locator;
    Callback onChange;
    std::chrono::milliseconds pollInterval;
    int wakeFd = -1;
    std::thread thread;
    std::atomic<bool> running{false};
    std::optional<PortInfo> atStart;

    void run();
};

DeviceWatch::DeviceWatch(std::shared_ptr<IBoardLocator> locator, Callback onChange,
                         std::chrono::milliseconds pollInterval)
    : impl_(std::make_unique<Impl>()) {
    impl_->locator = std::move(locator);
    impl_->onChange = std::move(onChange);
    impl_->pollInterval = pollInterval;
    impl_->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

DeviceWatch::~DeviceWatch() {
    stop();
    if (impl_->wakeFd >= 0) ::close(impl_->wakeFd);
}

void DeviceWatch::start() {
    if (impl_->running.exchange(true)) return;
    std::uint64_t drainValue;
    while (::read(impl_->wakeFd, &drainValue, sizeof drainValue) > 0) {
    }
    // Presence is taken before start() returns, so a change right after it is seen.
    impl_->atStart = impl_->locator->hasUdevEvents() ? std::nullopt : impl_->locator->findPresent();
    impl_->thread = std::thread([im = impl_.get()] { im->run(); });
}

void DeviceWatch::stop() {
    if (!impl_->running.exchange(false)) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] auto r = ::write(impl_->wakeFd, &one, sizeof one);
    if (impl_->thread.joinable()) impl_->thread.join();
}

void DeviceWatch::Impl::run() {
    udev* u = nullptr;
    udev_monitor* mon = nullptr;
    if (locator->hasUdevEvents()) {
        u = udev_new();
        if (u) mon = udev_monitor_new_from_netlink(u, "udev");
        if (mon) {
            udev_monitor_filter_add_match_subsystem_devtype(mon, "tty", nullptr);
            if (udev_monitor_enable_receiving(mon) != 0) {
                udev_monitor_unref(mon);
                mon = nullptr;
            }
        }
    }
    // Without udev events (a fixed path, or no udev at all) presence is polled.
    const bool polling = (mon == nullptr);
    std::optional<PortInfo> seen = atStart;

    while (running) {
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {mon ? udev_monitor_get_fd(mon) : -1, POLLIN, 0}};
        const int n = ::poll(fds, mon ? 2 : 1, polling ? static_cast<int>(pollInterval.count()) : -1);
        if (!running) break;
        if (n < 0) continue;
        if (fds[0].revents & POLLIN) break;
        if (mon && (fds[1].revents & POLLIN)) {
            if (udev_device* d = udev_monitor_receive_device(mon)) {
                const char* action = udev_device_get_action(d);
                const bool relevant = action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0);
                udev_device_unref(d);
                if (relevant && onChange) onChange();
            }
        }
        if (polling) {
            std::optional<PortInfo> now = locator->findPresent();
            if (now != seen) {
                seen = std::move(now);
                if (onChange) onChange();
            }
        }
    }
    if (mon) udev_monitor_unref(mon);
    if (u) udev_unref(u);
}

}  // namespace platform
