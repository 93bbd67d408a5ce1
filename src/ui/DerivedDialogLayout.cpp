// The second half of the page base: sizing to the controls, window positions, showing
// the store's values again, host windows of the surface's controls blocks, and the
// board forwarding operations.
#include <algorithm>
#include <cstring>

#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "platform/core/Debug.h"
#include "ui/AppServices.h"
#include "ui/DerivedDialog.h"
#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/FloatDialog.h"
#include "ui/SpeedPlace.h"

namespace {

constexpr int kPageKind = 1;
constexpr int kTachometerKind = 2;
constexpr int kGraphKind = 3;
constexpr int kLayoutMargin = 10;

WindowPlace PlaceOf(const QRect& r) {
    return WindowPlace{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

QRect RectOf(const WindowPlace& p) {
    return QRect(p.left, p.top, std::max(0, p.right - p.left), std::max(0, p.bottom - p.top));
}

bool Stored(int kind, QRect* rect) {
    const WindowPositions& positions = appServices().positions;
    WindowPlace place;
    if (!positions.get || !positions.get(kind, &place)) return false;
    *rect = RectOf(place);
    return true;
}

void Store(int kind, const QRect& rect) {
    const WindowPositions& positions = appServices().positions;
    if (positions.set) positions.set(kind, PlaceOf(rect));
}

bool Alive(const std::unique_ptr<gui::Window>& w) { return w != nullptr && w->exists(); }

bool InBlock(std::int32_t word) { return word >= 0 && word < CDerivedControl::kWordCount; }

// A speed window in the way of another (a tachometer, of the graph): no place over any
// part of it is clear, and where none is, each control it shows (a tachometer's dial
// image, readouts, slider, lamps and labels; the graph window's graph) counts one by
// one, as the page's do, so hiding its readout and slider costs more than hiding a
// corner of its dial. A window that shows no controls counts whole.
void InTheWay(const gui::Window& window, speedplace::Scene* scene) {
    const QRect whole = window.windowRect();
    scene->keepClear.push_back(whole);
    const std::size_t before = scene->controls.size();
    for (const gui::Window* child : window.children()) {
        if (!child->exists() || !child->isShown()) continue;
        const QRect shown = child->windowRect() & whole;
        if (!shown.isEmpty()) scene->controls.push_back(shown);
    }
    if (scene->controls.size() == before) scene->controls.push_back(whole);
}

}  // namespace

// ---- layout -----------------------------------------------------------------------------

int CDerivedDialog::ResizeWindow() {
    int right = 0;
    int bottom = 0;
    for (const auto& [key, control] : controls_) {
        // Controls on the floating dialog or a speed window do not count.
        if (!control->exists() || control->parent() != this) continue;
        const QRect r = control->rectInParent();
        right = std::max(right, r.left() + r.width());
        bottom = std::max(bottom, r.top() + r.height());
    }
    // The frame, caption and menu come on top of the client area, as they do around the
    // system's dialog frame.
    setClientSize(QSize(right + kLayoutMargin, bottom + kLayoutMargin));
    const QRect outer = windowRect();
    moveWindow(QRect(QPoint(0, 0), outer.size()));
    invalidate();
    return 1;
}

// ---- window positions ---------------------------------------------------------------

void CDerivedDialog::SaveWindowPositions() {
    if (exists()) Store(kPageKind, windowRect());
    if (Alive(firstTachometer_)) Store(kTachometerKind, firstTachometer_->windowRect());
    if (Alive(secondTachometer_)) Store(kTachometerKind, secondTachometer_->windowRect());
    if (Alive(graphWindow_)) Store(kGraphKind, graphWindow_->windowRect());
}

void CDerivedDialog::RestoreWindowPositions() {
    if (!exists()) return;
    // The page: its stored top-left corner with its present size. Only the corner is
    // kept across a restart, so the rectangle the others are placed by is the page's
    // own, never a stored one with no right or bottom edge.
    QRect stored;
    if (Stored(kPageKind, &stored)) moveWindow(QRect(stored.topLeft(), windowRect().size()));
    const QRect page = windowRect();

    // A stored rectangle gives a speed window its place, never its size: every family
    // shares the stored rectangles, and each window keeps the size its page made it.
    // A speed window lands whole on the screen and never over its page, nor the graph
    // over the tachometers (which share one stored place): a stored place that would
    // gives way to one beside, below or above the page; where no place is clear, the
    // one that hides the fewest controls of the page and of the tachometers.
    speedplace::Scene scene;
    scene.screen = gui::availableScreenArea(page);
    scene.keepClear.push_back(page);
    for (const auto& [key, control] : controls_) {
        if (control->exists() && control->parent() == this) scene.controls.push_back(control->windowRect());
    }
    QRect tachometers;
    const bool tachometersStored = Stored(kTachometerKind, &tachometers);
    QRect placed;  // where the tachometers went
    std::vector<const gui::Window*> tachometerWindows;
    bool atStoredPlace = false;
    for (gui::Window* t : {firstTachometer_.get(), secondTachometer_.get()}) {
        if (t == nullptr || !t->exists()) continue;
        const QSize size = t->windowRect().size();
        std::vector<QPoint> wanted;
        if (tachometersStored) wanted.push_back(tachometers.topLeft());
        const int right = page.left() + page.width(), bottom = page.top() + page.height();
        wanted.insert(wanted.end(), {QPoint(right, page.top()), QPoint(page.left() - size.width(), page.top()),
                                     QPoint(page.left(), bottom), QPoint(page.left(), page.top() - size.height())});
        const QRect place = speedplace::Place(scene, size, wanted);
        t->moveWindow(place);
        atStoredPlace = tachometersStored && place == speedplace::OnScreen(scene.screen, QRect(wanted.front(), size));
        placed = placed.united(t->windowRect());
        tachometerWindows.push_back(t);
    }

    if (!Alive(graphWindow_)) return;
    const QSize size = graphWindow_->windowRect().size();
    std::vector<QPoint> wanted;
    QRect graph;
    if (Stored(kGraphKind, &graph)) wanted.push_back(graph.topLeft());
    const int pageBottom = page.top() + page.height();
    if (!placed.isNull()) {
        const QPoint underTachometers(placed.left(), placed.top() + placed.height());
        // Tachometers the user put somewhere keep the graph under them.
        if (atStoredPlace) wanted.push_back(underTachometers);
        // Below or above the page and the tachometers both, else above the page alone.
        wanted.push_back(QPoint(page.left(), std::max(pageBottom, underTachometers.y())));
        wanted.push_back(QPoint(page.left(), std::min(page.top(), placed.top()) - size.height()));
        wanted.push_back(QPoint(page.left(), page.top() - size.height()));
        wanted.push_back(underTachometers);
        for (const gui::Window* t : tachometerWindows) InTheWay(*t, &scene);
    } else {
        wanted.push_back(QPoint(page.left(), pageBottom));
        wanted.push_back(QPoint(page.left(), page.top() - size.height()));
    }
    graphWindow_->moveWindow(speedplace::Place(scene, size, wanted));
}

// ---- restore from the store -----------------------------------------------------------

int CDerivedDialog::Restore(std::uint32_t kind, std::uint32_t index) {
    CDerivedControl* control = FindControl(kind, index);
    if (data_ == nullptr || kind >= static_cast<std::uint32_t>(CDerivedControl::kWordCount)) return 0;
    const auto word = static_cast<std::int32_t>(kind);
    std::uint32_t value = 0;
    if (control != nullptr && control->GetBitCount() != 0) {
        value =
            data_->GetBits(word, static_cast<int>(control->GetBitPosition()), static_cast<int>(control->GetBitCount()));
    } else {
        value = data_->GetValue(word);
    }
    if (control == nullptr) return 0;
    control->SetValue(value);
    return control->Synchronize(nullptr);
}

void CDerivedDialog::RestoreControls() {
    for (const auto& [key, control] : controls_) {
        if (control->GetControlKind() == CDerivedControl::kKindLabel) continue;
        Restore(key >> 16, key & 0xFFFFu);
        control->invalidate();
    }
}

// ---- host windows -----------------------------------------------------------------------

CFloatDialog* CDerivedDialog::GetFloatingDialog() const { return dynamic_cast<CFloatDialog*>(floatingDialog_.get()); }

gui::Window* CDerivedDialog::GetContainerWindow(const char* name, std::uint32_t* idBase) {
    gui::Window* window = nullptr;
    std::uint32_t base = 0;
    if (name == nullptr || std::strcmp(name, "standard") == 0) {
        window = this;
        base = 1000;
    } else if (std::strcmp(name, "floating") == 0) {
        if (floatingDialog_ == nullptr && exists()) {
            auto dialog = std::make_unique<CFloatDialog>();
            if (dialog->createModeless(this)) {
                dialog->SetOwner(this);
                floatingDialog_ = std::move(dialog);
            } else {
                platform::debugOut("CDerivedDialog: the floating dialog could not be made\n");
            }
        }
        window = floatingDialog_.get();
        base = 2000;
    } else if (std::strcmp(name, "tachometer") == 0) {
        window = firstTachometer_ != nullptr ? firstTachometer_.get() : secondTachometer_.get();
        base = 3000;
    } else if (std::strcmp(name, "speedcurve") == 0) {
        window = graphWindow_.get();
        base = 4000;
    }
    if (idBase != nullptr) *idBase = base;
    return window;
}

// ---- colours ----------------------------------------------------------------------------

bool CDerivedDialog::AnswerControlColour(gui::Window& control, gui::ColourKind, gui::ColourQuery& answer) {
    if (auto* frame = dynamic_cast<CDerivedFrame*>(&control)) {
        frame->GetTextBrush(answer);
        return true;
    }
    if (auto* edit = dynamic_cast<CDerivedEdit*>(&control)) {
        edit->ApplyWarningColour(answer);
        return answer.text.has_value();
    }
    return false;
}

bool CDerivedDialog::onColourQuery(gui::Window& control, gui::ColourKind kind, gui::ColourQuery& answer) {
    return AnswerControlColour(control, kind, answer);
}

// ---- board forwarding -------------------------------------------------------------------

int CDerivedDialog::SetPwmFromRegister(int channel, double frequency, std::int32_t word, std::uint32_t flags) {
    if (data_ == nullptr || !InBlock(word)) return 0;
    const double value = data_->GetValue(word);
    const double duty = (flags & 0x80000000u) != 0 ? 256.0 - value : value;
    return SetPwm(channel, frequency, duty, static_cast<int>(flags & 1u));
}

int CDerivedDialog::SetTimerChannel(int channel, const PwmChannelRecord* record, int flag) {
    if (board_ == nullptr || record == nullptr) return 0;
    // The link writes its period and converted duty into the record it gets: the page's
    // own record is sent again later and must keep its frequency and percent.
    PwmChannelRecord copy = *record;
    return board_->SetPwmFrequency(channel, &copy, flag);
}

int CDerivedDialog::SetPwm(int channel, double frequency, double duty, int enable) {
    PwmChannelRecord record;
    record.channel = 0;
    record.frequency = frequency;
    record.value = duty;
    return SetTimerChannel(channel, &record, enable);
}

int CDerivedDialog::WritePort(int port, std::uint32_t a, std::uint32_t b, int flag) {
    if (board_ == nullptr) return 0;
    PortRecord record;
    record.direction = a;
    record.level = b;
    return board_->WritePort(port, &record, flag);
}

int CDerivedDialog::SetAdcChannel(int channel, std::uint32_t a, int flag) {
    if (board_ == nullptr) return 0;
    AdcChannelRecord record;
    record.enable = a;
    record.setting = 4;
    return board_->SetAdcChannel(channel, &record, flag);
}

int CDerivedDialog::SetInterruptInput(int input, std::uint32_t a, int flag) {
    if (board_ == nullptr) return 0;
    InterruptInputRecord record;
    record.modeA = a;
    return board_->SetInterruptInput(input, &record, flag);
}

int CDerivedDialog::ReadPort(int a, int b) { return board_ != nullptr ? board_->ReadPort(a, b) : 0; }

int CDerivedDialog::ReadAdc(int a, int b) { return board_ != nullptr ? board_->ReadAdc(a, b) : 0; }

int CDerivedDialog::ReadInterruptFlag(int a, int b) { return board_ != nullptr ? board_->ReadInterruptFlag(a, b) : 0; }

int CDerivedDialog::ReadMeasuredValue() {
    if (board_ == nullptr) return 0;
    const int r = board_->ReadMeasuredValue(1);
    board_->SendSelect(19, 1);
    return r;
}

PwmChannelRecord* CDerivedDialog::StorePwmSetting(int channel, double frequency, double duty, int enable) {
    PwmChannelRecord* record = PwmSetting(channel);
    if (record == nullptr) return nullptr;
    record->channel = static_cast<std::uint32_t>(channel);
    record->frequency = frequency;
    record->value = duty;
    record->send = static_cast<std::uint32_t>(enable);
    return record;
}

GpioRecord* CDerivedDialog::StoreChannelSetting(int index, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    GpioRecord* record = ChannelSetting(index);
    if (record == nullptr) return nullptr;
    record->port.line = static_cast<std::uint32_t>(index);
    record->port.direction = a;
    record->port.level = b;
    record->port.send = c;  // the fourth field stays as it was
    return record;
}

int CDerivedDialog::StoreAdcValue(std::int32_t word, int a, int b) {
    const int v = ReadAdc(a, b);
    if (data_ != nullptr && InBlock(word)) data_->SetValue(word, static_cast<std::uint32_t>(v));
    return v;
}

int CDerivedDialog::StoreInputLevel(std::int32_t word, int input, int b) {
    if (input < 1 || input > 3) return 0;
    int v = ReadInterruptFlag(input, b);
    if (v == 0) v = 1 - ReadPort(17 + input, 1);  // ports 18 to 20
    if (data_ != nullptr && InBlock(word)) data_->SetValue(word, static_cast<std::uint32_t>(v));
    return v;
}
