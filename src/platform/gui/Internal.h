// Pieces shared between the layer's own sources; not for users of the layer.
#pragma once

#include <QString>

namespace gui::detail {

// Starts and stops delivering posted messages to the GUI thread (Application does it).
void startDelivery();
void stopDelivery();

// Name of the dynamic property that carries a widget's window handle.
inline constexpr const char* kHandleProperty = "tamsiroWindowHandle";

}  // namespace gui::detail
