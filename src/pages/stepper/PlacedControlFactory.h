// Creates the control that one entry of a page's layout table describes, through the
// scaffold's control factory (so the profile decides whether it exists), and decorates it
// from the entry: caption, check captions, combo items, slider range, the edit's value
// table, read-only style and warning colour, lamp colours. Shared by the stepper pages.
//
// GUI thread only; the page owns what is made (its control map).
#pragma once

#include "pages/stepper/StepperLayout.h"

class CDerivedControl;
class CDerivedDialog;

namespace gui {
class Window;
}

namespace pages::stepper {

// Null when the profile does not create the control or its window cannot be made.
// Labels, frames and captions (index 100 and up) are bound to no data word.
CDerivedControl* CreatePlacedControl(CDerivedDialog& page, const PlacedControl& placed, gui::Window* parent);

}  // namespace pages::stepper
