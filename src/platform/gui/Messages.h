// Message numbers, command ids and the small helpers that pack and unpack message
// arguments.
//
// The private numbers are the system's own and must keep their values: workers post
// them through platform::post without knowing this header. The standard numbers are
// the ones the layer itself generates or answers (commands, timers, closing, colour
// queries, ...); they sit below 0x8000 so they can never collide with a private one.
#pragma once

#include <cstdint>

#include "platform/core/Handles.h"

namespace gui {

using Handle = platform::Handle;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

namespace msg {

// ---- private messages --------------------------------------------------------------
inline constexpr std::uint32_t PageClosed = 0x8020;         // page -> main window
inline constexpr std::uint32_t SavePositions = 0x8040;      // page: save window positions
inline constexpr std::uint32_t RestorePositions = 0x8041;   // page: restore window positions
inline constexpr std::uint32_t StatusPollTick = 0x80C8;     // base dialog status poll
inline constexpr std::uint32_t RunRampTick = 0x80C9;        // stepper run and ramp
inline constexpr std::uint32_t Motor1Tick = 0x80DD;         // dual-stepper motor 1
inline constexpr std::uint32_t Motor2Tick = 0x80DE;         // dual-stepper motor 2
inline constexpr std::uint32_t BothMotorsTick = 0x80DF;     // dual-stepper both motors
inline constexpr std::uint32_t ControlChanged = 0x8100;     // control -> parent (sent)
inline constexpr std::uint32_t ReapplyDeviceData = 0x8101;  // main window -> page
inline constexpr std::uint32_t BoardConnected = 0x8110;     // main window -> page
inline constexpr std::uint32_t SequenceChannel1Tick = 0x8119;
inline constexpr std::uint32_t SequenceChannel2Tick = 0x811A;
inline constexpr std::uint32_t SequenceDemo = 0x811B;
inline constexpr std::uint32_t TaskData = 0x812C;  // task -> notify window
inline constexpr std::uint32_t PhasesSetChecked = 0x8190;
inline constexpr std::uint32_t PhaseCheckChanged = 0x8191;
inline constexpr std::uint32_t PhasesReset = 0x8192;
inline constexpr std::uint32_t OutputFrequency = 0x81F4;
inline constexpr std::uint32_t StopFrequency = 0x81F5;
inline constexpr std::uint32_t ConnectionState = 0x8200;  // main window -> page
inline constexpr std::uint32_t FirmwareUpdateEnded = 0x8280;
inline constexpr std::uint32_t ReinitialiseBoard = 0x8300;  // page -> main window
inline constexpr std::uint32_t BoardSetUpDue = 0x8310;      // task queue -> page: earlier tasks done
inline constexpr std::uint32_t TestResult = 0x8300;         // start-up test worker -> its dialog
inline constexpr std::uint32_t FrameReady = 0x8500;         // image buffer -> speed window

// First number of the private range; everything below is a standard message.
inline constexpr std::uint32_t FirstPrivate = 0x8000;

// ---- standard messages -------------------------------------------------------------
inline constexpr std::uint32_t Create = 0x0001;
inline constexpr std::uint32_t Destroy = 0x0002;
inline constexpr std::uint32_t Size = 0x0005;  // w: 0, l: width | height << 16
inline constexpr std::uint32_t SetFocus = 0x0007;
inline constexpr std::uint32_t KillFocus = 0x0008;
inline constexpr std::uint32_t Enable = 0x000A;  // w: 1 enabled, 0 disabled
inline constexpr std::uint32_t SetText = 0x000C;
inline constexpr std::uint32_t Close = 0x0010;
inline constexpr std::uint32_t ShowWindow = 0x0018;  // w: 1 shown, 0 hidden
inline constexpr std::uint32_t DeviceChange = 0x0219;
inline constexpr std::uint32_t Command = 0x0111;     // w: id | code << 16, l: sender handle
inline constexpr std::uint32_t SysCommand = 0x0112;  // w: one of syscmd::
inline constexpr std::uint32_t Timer = 0x0113;       // w: timer id
inline constexpr std::uint32_t HScroll = 0x0114;     // w: scroll code | position << 16, l: sender
// (A control's colour query is the typed Window::onColourQuery of its parent.)

}  // namespace msg

// Notification codes carried in the high word of a Command message.
namespace notify {
inline constexpr std::uint16_t ButtonClicked = 0;
inline constexpr std::uint16_t MenuOrAccelerator = 0;
inline constexpr std::uint16_t ComboSelectionChange = 1;
inline constexpr std::uint16_t EditChange = 0x0300;
inline constexpr std::uint16_t TabSelectionChange = 0x0400;   // our own code for tab bars
inline constexpr std::uint16_t ListSelectionChange = 0x0401;  // our own code for list views
}  // namespace notify

// System command codes (w of SysCommand; compare after masking with 0xFFF0).
namespace syscmd {
inline constexpr std::uint32_t Minimise = 0xF020;
inline constexpr std::uint32_t Close = 0xF060;
inline constexpr std::uint32_t Restore = 0xF120;
}  // namespace syscmd

// Command ids of the standard buttons, also the results of message boxes.
namespace id {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Abort = 3;
inline constexpr int Retry = 4;
inline constexpr int Ignore = 5;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
inline constexpr int CloseButton = 8;
}  // namespace id

// Scroll codes of HScroll (low word of w).
namespace scroll {
inline constexpr std::uint16_t LineUp = 0;
inline constexpr std::uint16_t LineDown = 1;
inline constexpr std::uint16_t PageUp = 2;
inline constexpr std::uint16_t PageDown = 3;
inline constexpr std::uint16_t ThumbPosition = 4;
inline constexpr std::uint16_t ThumbTrack = 5;
inline constexpr std::uint16_t Top = 6;
inline constexpr std::uint16_t Bottom = 7;
inline constexpr std::uint16_t EndTrack = 8;
}  // namespace scroll

// Results of a frameless window's hit test.
namespace hit {
inline constexpr int Transparent = -1;
inline constexpr int Nowhere = 0;
inline constexpr int Client = 1;
inline constexpr int Caption = 2;
inline constexpr int Left = 10;
inline constexpr int Right = 11;
inline constexpr int Top = 12;
inline constexpr int TopLeft = 13;
inline constexpr int TopRight = 14;
inline constexpr int Bottom = 15;
inline constexpr int BottomLeft = 16;
inline constexpr int BottomRight = 17;
}  // namespace hit

constexpr WParam makeWParam(std::uint16_t low, std::uint16_t high) {
    return static_cast<WParam>(low) | (static_cast<WParam>(high) << 16);
}
constexpr LParam makeLParam(std::uint16_t low, std::uint16_t high) {
    return static_cast<LParam>(static_cast<std::uint32_t>(low) | (static_cast<std::uint32_t>(high) << 16));
}
constexpr std::uint16_t loWord(std::uintmax_t v) { return static_cast<std::uint16_t>(v & 0xFFFFu); }
constexpr std::uint16_t hiWord(std::uintmax_t v) { return static_cast<std::uint16_t>((v >> 16) & 0xFFFFu); }

// Handles travel in l as a signed number; these keep the conversion in one place.
inline LParam handleToLParam(Handle h) { return static_cast<LParam>(h); }
inline Handle handleFromLParam(LParam l) { return static_cast<Handle>(l); }

}  // namespace gui
