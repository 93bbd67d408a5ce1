// The window-position profile as the device pages reach it (appServices().positions).
#pragma once

#include "parsers/ProfileInfo.h"
#include "ui/AppServices.h"

// The profile as the device pages reach it (appServices().positions): their window
// kinds 1 to 3 are the profile's indexes. Empty for a null profile.
WindowPositions PagePositions(CProfileInfo* profile);
