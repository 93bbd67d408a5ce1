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
// there are none. False when the owner's window went while the box was up (the board
// unplugged, the program closing): the page has ended its runs, so its demo must not
// start now.
bool ShowDemoMessages(gui::Window* owner, const std::vector<std::string>& messages);

}  // namespace pages
