// The system's colours and frame metrics, in one query.
//
// Page code asks here instead of reading Qt's palette and style: the colours come
// from the application's palette (as the system's colour table), the metrics from
// its style, in pixels.
#pragma once

#include "platform/gui/Colour.h"

namespace gui {

enum class SysColour {
    Window,          // background of edits and lists
    WindowText,
    ButtonFace,      // dialog and button background
    ButtonText,
    ButtonShadow,
    ButtonHighlight,
    Highlight,       // selection
    HighlightText,
    GrayText,        // disabled text
    InfoBackground,  // tooltip
    InfoText,
};

enum class SysMetric {
    FrameWidth,      // a control's sunken or raised frame
    CaptionHeight,   // a window's title bar
    ScrollBarWidth,
    IconSize,
    SmallIconSize,
    SizingBand,      // the border band a frameless window's hit test uses
};

class SystemLook {
public:
    ColourRef colour(SysColour which) const;
    int metric(SysMetric which) const;

private:
    friend SystemLook systemLook();
    ColourRef colours_[11] = {};
    int metrics_[6] = {};
};

// A snapshot of the current colours and metrics (GUI thread).
SystemLook systemLook();

}  // namespace gui
