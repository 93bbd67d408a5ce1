#include "stress/StressSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>

#include "app/DeviceTable.h"
#include "app/QuillfenDlg.h"
#include "platform/gui/Controls.h"
#include "ui/DerivedControl.h"
#include "ui/DerivedDialog.h"

namespace stress {

AnswerEverything::AnswerEverything() {
    gui::setMessageBoxProvider(this);
    gui::setFileDialogProvider(this);
}

AnswerEverything::~AnswerEverything() {
    gui::setMessageBoxProvider(nullptr);
    gui::setFileDialogProvider(nullptr);
}

int AnswerEverything::show(const gui::MessageBoxRequest& r) {
    ++captions_[r.caption.toStdString()];
    switch (r.buttons) {
        case gui::MessageButtons::YesNo:
        case gui::MessageButtons::YesNoCancel:
            return gui::id::No;
        case gui::MessageButtons::Ok:
            return gui::id::Ok;
        default:
            return gui::id::Cancel;
    }
}

QString AnswerEverything::choose(const gui::FileDialogRequest&) { return {}; }

int AnswerEverything::Boxes() const {
    int n = 0;
    for (const auto& [caption, count] : captions_) n += count;
    return n;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limit.count()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

std::string ModelName(std::uint32_t deviceKey) {
    for (const auto& e : devicetable::FullList())
        if (devicetable::Key(e.code) == deviceKey) return e.name;
    return {};
}

namespace {

void Choose(CQuillfenDlg& w, int list, int selection) {
    w.itemAs<gui::ComboBox>(list)->setCurSel(selection);
    w.send(gui::msg::Command, gui::makeWParam(static_cast<std::uint16_t>(list), gui::notify::ComboSelectionChange), 0);
}

}  // namespace

CDerivedDialog* OpenModel(CQuillfenDlg& w, const std::string& name) {
    for (const auto& e : devicetable::FullList()) {
        if (e.name != name) continue;
        Choose(w, mainwin::kMotorTypeList, static_cast<int>(devicetable::Kind(e.code)));
        const auto& shown = w.ShownDevices();
        const auto at = std::find_if(shown.begin(), shown.end(), [&](const auto& s) { return s.name == name; });
        if (at == shown.end()) return nullptr;
        Choose(w, mainwin::kDriverList, static_cast<int>(at - shown.begin()));
        if (!w.item(gui::id::Ok)->isEnabled()) return nullptr;
        w.send(gui::msg::Command, gui::makeWParam(gui::id::Ok, gui::notify::ButtonClicked), 0);
        auto* page = dynamic_cast<CDerivedDialog*>(w.CurrentPage());
        return page != nullptr && page->isShown() ? page : nullptr;
    }
    return nullptr;
}

bool Change(CDerivedDialog& page, std::uint32_t kind, std::uint32_t index, std::uint32_t value) {
    CDerivedControl* c = page.FindControl(kind, index);
    if (c == nullptr) return false;
    c->SetValue(value);
    c->NotifyParent();
    return true;
}

void Exit(CQuillfenDlg& w) {
    w.send(gui::msg::Command, gui::makeWParam(mainwin::kExitApplication, gui::notify::ButtonClicked), 0);
}

bool MotorDriven(bool port21Output, bool port21Level, const std::vector<std::vector<std::uint8_t>>& frames) {
    if (port21Output && !port21Level) return true;
    const auto last = std::find_if(frames.rbegin(), frames.rend(),
                                   [](const auto& f) { return f.size() == 23 && f[0] == '8' && f[1] == 2; });
    if (last == frames.rend()) return false;
    const auto& f = *last;
    const unsigned period = f[9] | f[10] << 8;
    const unsigned compare = f[15] | f[16] << 8;
    return compare != 0 && compare != period;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace stress
