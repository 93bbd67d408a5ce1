// What a demo sequence reader said about its file (rows it clamped or refused), shown to
// the user before the demo starts. GUI thread only.
#pragma once

#include <string>
#include <vector>

namespace gui {
class Window;
}

namespace pages {

// The messages, one a line, in one "Demo sequence" warning box over `owner`; nothing when
// there are none. True when a box was shown: its loop ran, so the caller checks that its
// page still stands before it goes on.
bool ShowDemoMessages(gui::Window* owner, const std::vector<std::string>& messages);

}  // namespace pages
