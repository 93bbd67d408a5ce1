// The byte transport under the board link: finds the board's port, opens it and moves
// raw bytes. It knows nothing of the command protocol.
#pragma once

#include <cstdint>

class ITranslate {
public:
    virtual ~ITranslate() = default;
    // +1 the board arrived since the last call, -1 it went, 0 no change (the first call
    // reports +1 or -1).
    virtual int Detect() = 0;
    // Whether Open sets the port's time-outs; always 1.
    virtual int SetUseTimeouts(int flag) = 0;
    // The presence verdict of the last Detect (no enumeration).
    virtual int IsConnected() = 0;
    // 1 opened, 0 failed; the mode is passed through unused.
    virtual int Open(int mode) = 0;
    // Always 0.
    virtual int Close() = 0;
    // direction 0 writes, anything else reads. The count moved, or -1; stored through
    // `moved` as well when it is given.
    virtual int Transfer(int direction, std::uint8_t* buffer, std::uint32_t count, std::int32_t* moved) = 0;
    // Always 1.
    virtual int Reconnect() = 0;
};
