// The transport over a Linux tty: the board's port is found through udev (or the
// TAMSIRO_BOARD_PORT override) and read and written in raw mode with the board's
// time-outs.
//
// The port opened is the board found at that open, not whatever has its name later:
// once open, a hang-up of the descriptor, or the name coming to stand for another
// device (another device number), makes the next Detect report a removal. A port that
// cannot be opened counts as absent, so the next Detect that finds it reports an
// arrival again and the open is retried, without the settling pause that a board that
// has just arrived gets.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "board/Translate.h"
#include "platform/core/BoardPorts.h"
#include "platform/core/SerialPort.h"

// Identity of the board's serial driver class. It only names the board's kind of port;
// on Linux the locator decides what is a board.
struct DeviceClassId {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::array<std::uint8_t, 8> data4;
    bool operator==(const DeviceClassId&) const = default;
};

inline constexpr DeviceClassId kBoardPortClass{
    0x93440696, 0x2E4C, 0x41F7, {0x85, 0xC4, 0x32, 0xC5, 0x60, 0x34, 0x18, 0x7F}};

// The device path in a port's listed name: the first word that is an absolute path,
// after the first "(" and ")" become blanks ("USB Serial Port (/dev/ttyACM0)" gives
// "/dev/ttyACM0"). Empty when there is none.
std::string PortPathFromFriendlyName(const std::string& friendlyName);

class CNativeTranslator : public ITranslate {
public:
    explicit CNativeTranslator(const DeviceClassId& classId);
    CNativeTranslator(const DeviceClassId& classId, std::shared_ptr<platform::IBoardLocator> locator);
    ~CNativeTranslator() override;

    int Detect() override;
    int SetUseTimeouts(int flag) override;
    int IsConnected() override;
    int Open(int mode) override;
    int Close() override;
    int Transfer(int direction, std::uint8_t* buffer, std::uint32_t count, std::int32_t* moved) override;
    int Reconnect() override;

    // The time-outs Open sets when asked to (milliseconds).
    static constexpr platform::SerialTimeouts kBoardTimeouts{100, 50, 100, 50, 100};
    // What a port opened without them gets: no interval or per-byte terms, but a silent
    // board must never hold a read or write (and with it the link and shutdown) for ever.
    static constexpr platform::SerialTimeouts kPlainTimeouts{0, 0, 500, 0, 500};

private:
    bool Enumerate();

    [[maybe_unused]] DeviceClassId classId_;  // kept as given; the locator decides what is a board
    std::shared_ptr<platform::IBoardLocator> locator_;
    std::optional<platform::PortInfo> found_;  // the device of the last enumeration
    bool enumerated_ = false;                  // an enumeration result is held
    std::string reconnectPath_;                // the port that Reconnect re-opens
    // The port whose last open failed, whatever the error (another program holds it, we
    // may not open it, an I/O error), and its device number then: a retry of it needs no
    // settling pause (the pause is for a board that has just arrived). A Detect that finds
    // no board forgets it, and another device number under the path is a new arrival.
    std::string failedPath_;
    std::uint64_t failedDevice_ = 0;
    // The device number of the port as opened; set from a good Open to Close.
    std::optional<std::uint64_t> openedDevice_;
    platform::SerialPort port_;
    // Read by every thread that sends a frame while the GUI thread runs Detect.
    std::atomic<int> present_{0};
    int previous_ = -1;
    std::atomic<int> useTimeouts_{1};
};
