#include "board/NativeTranslator.h"

#include <sstream>

#include "platform/core/Clock.h"
#include "platform/core/Debug.h"

std::string PortPathFromFriendlyName(const std::string& friendlyName) {
    std::string name = friendlyName;
    if (auto open = name.find('('); open != std::string::npos) name[open] = ' ';
    if (auto close = name.find(')'); close != std::string::npos) name[close] = ' ';
    std::istringstream words(name);
    std::string word;
    while (words >> word) {
        if (word.front() == '/') return word;
    }
    return {};
}

CNativeTranslator::CNativeTranslator(const DeviceClassId& classId)
    : CNativeTranslator(classId, platform::makeSystemBoardLocator()) {}

CNativeTranslator::CNativeTranslator(const DeviceClassId& classId, std::shared_ptr<platform::IBoardLocator> locator)
    : classId_(classId), locator_(std::move(locator)) {}

CNativeTranslator::~CNativeTranslator() {
    // Closing here as well keeps a forgotten Close from leaving the port locked.
    port_.close();
}

bool CNativeTranslator::Enumerate() {
    found_ = locator_ ? locator_->findPresent() : std::nullopt;
    enumerated_ = true;
    if (found_) reconnectPath_ = found_->friendlyName;
    return found_.has_value();
}

int CNativeTranslator::Detect() {
    bool found = Enumerate();
    if (found && openedDevice_) {
        // The descriptor we hold belongs to the device that was opened: when that one
        // has gone, the board has been away, however quickly something came back.
        const bool hungUp = port_.hungUp();
        const bool replaced = found_->device != 0 && *openedDevice_ != 0 && found_->device != *openedDevice_;
        if (hungUp || replaced) {
            platform::debugOutf("Tamsiro: the board's port %s: counted as a removal\n",
                                hungUp ? "hung up" : "now names another device");
            found = false;
        }
    }
    // No board at all: whatever comes next has just arrived and gets its settling pause.
    if (!found_) failedPath_.clear();
    present_ = found ? 1 : 0;
    int change = 0;
    if (present_ == 1 && previous_ != 1) change = 1;
    if (present_ == 0 && previous_ != 0) change = -1;
    previous_ = present_;
    // Once a removal is reported, the descriptor still held belongs to the past: what
    // arrives next is judged by its own open.
    if (change == -1) openedDevice_.reset();
    return change;
}

int CNativeTranslator::SetUseTimeouts(int flag) {
    useTimeouts_ = flag;
    return 1;
}

int CNativeTranslator::IsConnected() { return present_; }

namespace {

// The locator's path is opened as it is (it may hold blanks or parentheses); the listed
// name is only read for a port whose path the locator does not give.
std::string PathOf(const std::optional<platform::PortInfo>& found) {
    if (!found) return {};
    return !found->devPath.empty() ? found->devPath : PortPathFromFriendlyName(found->friendlyName);
}

}  // namespace

int CNativeTranslator::Open(int /*mode*/) {
    // The presence check retries a port that failed to open every second on the GUI
    // thread: only a board that has just arrived waits for its port to settle.
    const bool retry = !failedPath_.empty() && found_ && PathOf(found_) == failedPath_ &&
                       (found_->device == 0 || failedDevice_ == 0 || found_->device == failedDevice_);
    if (!retry) platform::sleepMs(500);
    Enumerate();  // the device record must be current: the name is resolved at each open
    const std::string path = PathOf(found_);

    const int err = path.empty() ? ENOENT : port_.open(path);
    failedPath_ = err != 0 ? path : std::string();
    failedDevice_ = err != 0 && found_ ? found_->device : 0;
    if (err != 0) {
        platform::debugOutf("Open error : code %x\n", static_cast<unsigned>(err));
        // A port we cannot open is no board to talk to: the link reports it absent, and
        // the next Detect that finds it reports an arrival, which opens it again.
        present_ = 0;
        previous_ = 0;
        openedDevice_.reset();
        return 0;
    }
    openedDevice_ = port_.deviceNumber();
    platform::sleepMs(500);
    // A fresh handle starts from the driver's default time-outs, which never end a wait.
    port_.setTimeouts(useTimeouts_ ? kBoardTimeouts : kPlainTimeouts);
    platform::sleepMs(500);
    return 1;
}

int CNativeTranslator::Close() {
    found_.reset();
    enumerated_ = false;
    openedDevice_.reset();
    port_.close();
    return 0;
}

int CNativeTranslator::Transfer(int direction, std::uint8_t* buffer, std::uint32_t count, std::int32_t* moved) {
    int result = -1;
    if (buffer != nullptr || count == 0) {
        if (direction == 0) {
            // Every exchange is a request and its reply under the board link's lock, so
            // whatever waits unread now is stale (a late or garbled reply) and would be
            // taken for the answer to this frame.
            port_.discardInput();
            const int written = port_.write(buffer, count);
            if (written >= 0 && port_.drain() == 0 && static_cast<std::uint32_t>(written) == count) {
                result = static_cast<int>(count);
            }
        } else {
            result = port_.read(buffer, count);
        }
    }
    if (moved) *moved = result;
    return result;
}

int CNativeTranslator::Reconnect() {
    if (!reconnectPath_.empty()) {
        // A tty cannot be re-enumerated from user space: closing and re-opening it is
        // the nearest equivalent.
        const std::optional<std::uint64_t> before = openedDevice_;
        port_.close();
        platform::debugOut("Device Reconnect Success\n");
        if (Open(0) == 1 && before && *before != 0 && openedDevice_ != before) {
            // Another device has the name now: not ours to talk to. The next Detect
            // reports the board's removal.
            port_.close();
            openedDevice_ = before;
        }
    }
    return 1;
}
