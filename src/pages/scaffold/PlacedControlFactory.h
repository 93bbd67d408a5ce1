// Creates the control that one entry of a page's layout table describes, through the
// scaffold's control factory (so the profile decides whether it exists), and decorates it
// from the entry: caption, check captions, combo and tab items, slider range and start,
// the edit's value decoder, read-only style and warning colour, lamp colours, gradient
// stops. Every hard-coded page builds with it.
//
// GUI thread only; the page owns what is made (its control map).
#pragma once

#include <memory>

#include "pages/scaffold/PlacedControl.h"

class CDerivedControl;
class CDerivedDialog;
class IParameterDecoder;

namespace gui {
class Window;
}

namespace pages {

// Null when the profile does not create the control, its window cannot be made or the
// entry is a panel (the page makes those). Captions (index 100 and up), labels and frames
// are bound to no data word. A control made on a speed panel joins that panel's controls.
CDerivedControl* CreatePlacedControl(CDerivedDialog& page, const PlacedControl& placed, gui::Window* parent);

// The edit's value decoder for a format.
std::unique_ptr<IParameterDecoder> MakeValueDecoder(const EditFormat& format);

}  // namespace pages
