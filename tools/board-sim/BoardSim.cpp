// BoardSim's public calls: each takes the lock and reads or changes BoardSim::Impl; the serving thread does the rest.

#include "board-sim/BoardSim.h"

#include "board-sim/BoardSimImpl.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include <sys/eventfd.h>
#include <unistd.h>

namespace boardsim {

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
