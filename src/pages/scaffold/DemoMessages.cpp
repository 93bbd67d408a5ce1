#include "pages/scaffold/DemoMessages.h"

#include <QLatin1Char>
#include <QString>

#include "platform/gui/CommonDialogs.h"

namespace pages {

bool ShowDemoMessages(gui::Window* owner, const std::vector<std::string>& messages) {
    if (messages.empty()) return true;
    QString text;
    for (const std::string& m : messages) text += QString::fromStdString(m) + QLatin1Char('\n');
    bool ownerGone = false;
    gui::messageBox(owner, text.trimmed(), QStringLiteral("Demo sequence"), gui::MessageButtons::Ok,
                    gui::MessageIcon::Warning, &ownerGone);
    return !ownerGone;
}

}  // namespace pages
