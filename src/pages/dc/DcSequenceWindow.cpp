// The DC sequence window, its frames, tables and phase editors: building from templates
// laid out in pixels, and the messages between them.
#include "pages/dc/DcSequenceWindow.h"

#include "platform/gui/Controls.h"
#include "platform/gui/Messages.h"

namespace pages::dc {

namespace {

// Pixel layout of the four templates.
struct Px {
    int x, y, width, height;
};
constexpr int kEditorWidth = 530, kEditorHeight = 28;
constexpr Px kCheck{4, 5, 72, 18}, kMode{80, 3, 150, 22}, kDuty{236, 1, 150, 26}, kPercent{390, 6, 60, 16},
    kDuration{456, 3, 70, 22};
constexpr int kTableWidth = kEditorWidth + 4, kTableHeight = kPhaseCount * kEditorHeight;
constexpr QPoint kTableAt{2, 18};
constexpr int kFrameWidth = kTableWidth + 4, kFrameHeight = kTableAt.y() + kTableHeight + 4;
constexpr std::array<QPoint, 2> kFrameAt = {QPoint(14, 40), QPoint(14, 312)};
constexpr int kWindowWidth = 680, kWindowHeight = 570;

constexpr const char* kModeTexts[] = {"Forward <--> Standby", "Forward <--> Brake", "Reverse <--> Standby",
                                      "Reverse <--> Brake", "Standby", "Brake"};

// A template whose items are given in client pixels of its font, stored in dialog units.
class PixelTemplate {
public:
    explicit PixelTemplate(const QString& caption, int width, int height) {
        t_.caption = caption;
        t_.fontFace = QStringLiteral("Arial");
        t_.pointSize = 8;
        u_ = gui::dialogUnitsFor(gui::dialogFont(t_.fontFace, t_.pointSize));
        t_.size = QSize(X(width), Y(height));
    }
    void Add(gui::ControlKind kind, int id, const QString& text, const Px& r, std::uint32_t style = gui::style::Visible) {
        const int left = X(r.x), top = Y(r.y);
        t_.items.push_back({kind, id, text, QRect(left, top, X(r.x + r.width) - left, Y(r.y + r.height) - top), style});
    }
    gui::DialogTemplate Take() { return std::move(t_); }

private:
    int X(int px) const { return (px * 4 + u_.baseX / 2) / u_.baseX; }
    int Y(int px) const { return (px * 8 + u_.baseY / 2) / u_.baseY; }
    gui::DialogTemplate t_;
    gui::DialogUnits u_;
};

constexpr std::uint32_t kVisibleTab = gui::style::Visible | gui::style::TabStop;
constexpr std::uint32_t kCheckBox = kVisibleTab | gui::style::AutoCheck;

gui::DialogTemplate EditorTemplate(int phase) {
    PixelTemplate t(QString(), kEditorWidth, kEditorHeight);
    t.Add(gui::ControlKind::CheckBox, seqid::kPhaseCheck, QString::asprintf("Phase-%d", phase + 1), kCheck, kCheckBox);
    t.Add(gui::ControlKind::ComboBox, seqid::kPhaseMode, QString(), kMode, kVisibleTab);
    t.Add(gui::ControlKind::StandardTrackbar, seqid::kPhaseDuty, QString(), kDuty, kVisibleTab);
    t.Add(gui::ControlKind::Static, seqid::kPhasePercent, QString(), kPercent);
    t.Add(gui::ControlKind::ComboBox, seqid::kPhaseDuration, QString(), kDuration, kVisibleTab);
    return t.Take();
}

gui::DialogTemplate TableTemplate() { return PixelTemplate(QString(), kTableWidth, kTableHeight).Take(); }

gui::DialogTemplate FrameTemplate() {
    PixelTemplate t(QString(), kFrameWidth, kFrameHeight);
    t.Add(gui::ControlKind::Static, -1, QStringLiteral("PWM mode"), {kTableAt.x() + kMode.x, 2, 120, 14});
    t.Add(gui::ControlKind::Static, -1, QStringLiteral("ON-Duty"), {kTableAt.x() + kDuty.x, 2, 120, 14});
    t.Add(gui::ControlKind::Static, -1, QStringLiteral("Duration Time"), {kTableAt.x() + kDuration.x, 2, 80, 14});
    return t.Take();
}

gui::DialogTemplate WindowTemplate() {
    PixelTemplate t(QStringLiteral("DC Motor sequence test"), kWindowWidth, kWindowHeight);
    for (int ch = 0; ch < kChannelCount; ++ch) {
        const int y = kFrameAt[static_cast<std::size_t>(ch)].y() - 26;
        t.Add(gui::ControlKind::Static, -1, ch == 0 ? QStringLiteral("Ch1 Control sequence") : QStringLiteral("Ch2 Control sequence"),
              {14, y + 4, 160, 16});
        t.Add(gui::ControlKind::CheckBox, ch == 0 ? seqid::kLoop1 : seqid::kLoop2, QStringLiteral("Enable loop"),
              {200, y, 110, 22}, kCheckBox);
        t.Add(gui::ControlKind::CheckBox, ch == 0 ? seqid::kAll1 : seqid::kAll2, QStringLiteral("All Check/Uncheck"),
              {320, y, 150, 22}, kCheckBox | gui::style::ThreeState);
    }
    const int x = kFrameAt[0].x() + kFrameWidth + 14;
    t.Add(gui::ControlKind::PushButton, seqid::kStart, QStringLiteral("Start"), {x, 40, 90, 28}, kVisibleTab);
    t.Add(gui::ControlKind::PushButton, seqid::kStop, QStringLiteral("Stop"), {x, 76, 90, 28}, kVisibleTab);
    t.Add(gui::ControlKind::PushButton, seqid::kClose, QStringLiteral("Close"), {x, 112, 90, 28}, kVisibleTab);
    t.Add(gui::ControlKind::PushButton, gui::id::Ok, QStringLiteral("OK"), {x, 148, 90, 28}, 0);  // hidden
    return t.Take();
}

}  // namespace

// ---- one phase ------------------------------------------------------------------------

COptionDlg_DCSequenceSingle::COptionDlg_DCSequenceSingle(DcSequence& sequence, int channel, int phase)
    : gui::Dialog(EditorTemplate(phase)), sequence_(sequence), channel_(channel), phase_(phase) {}

bool COptionDlg_DCSequenceSingle::onInitDialog() {
    if (auto* modes = itemAs<gui::ComboBox>(seqid::kPhaseMode)) {
        for (const char* m : kModeTexts) modes->addString(QString::fromUtf8(m));
    }
    if (auto* durations = itemAs<gui::ComboBox>(seqid::kPhaseDuration)) {
        for (std::uint32_t i = 0; i < kDurationListSize; ++i) durations->addString(QString::asprintf("%usec", (i + 1) * 5));
    }
    if (auto* duty = itemAs<gui::Trackbar>(seqid::kPhaseDuty)) {
        duty->setRange(0, static_cast<int>(kMaxDuty));
        duty->setPageSize(16);
    }
    ShowWord();
    return true;
}

void COptionDlg_DCSequenceSingle::ShowPercent(std::uint32_t duty) {
    if (auto* percent = item(seqid::kPhasePercent)) percent->setText(QString::asprintf("%#.2f%%", duty / 256.0 * 100.0));
}

void COptionDlg_DCSequenceSingle::EnableFields(bool on) {
    for (int id : {seqid::kPhaseMode, seqid::kPhaseDuty, seqid::kPhasePercent, seqid::kPhaseDuration}) {
        if (auto* w = item(id)) w->setEnabled(on);
    }
}

void COptionDlg_DCSequenceSingle::ShowWord() {
    const std::uint32_t w = Word();
    if (auto* check = itemAs<gui::CheckButton>(seqid::kPhaseCheck)) check->setCheck(IsOn(w) ? 1 : 0);
    if (auto* modes = itemAs<gui::ComboBox>(seqid::kPhaseMode)) modes->setCurSel(static_cast<int>(ModeOf(w)));
    if (auto* duty = itemAs<gui::Trackbar>(seqid::kPhaseDuty)) duty->setPosition(static_cast<int>(DutyOf(w)));
    // An editor's duration is always a list index; a word without one shows the first.
    if (auto* durations = itemAs<gui::ComboBox>(seqid::kPhaseDuration))
        durations->setCurSel((w & bits::kDurationIndex) != 0 ? static_cast<int>(w & bits::kDurationMask) : 0);
    ShowPercent(DutyOf(w));
    EnableFields(IsOn(w));
}

gui::LResult COptionDlg_DCSequenceSingle::onCommand(int id, int code, gui::Handle from) {
    std::uint32_t w = Word();
    if (id == seqid::kPhaseCheck && code == gui::notify::ButtonClicked) {
        const bool on = itemAs<gui::CheckButton>(seqid::kPhaseCheck)->check() != 0;
        SetWord(WithOn(w, on));
        EnableFields(on);
        if (Window* table = parent()) table->send(gui::msg::PhaseCheckChanged, static_cast<gui::WParam>(phase_ + 1), 0);
        return 0;
    }
    if (id == seqid::kPhaseMode && code == gui::notify::ComboSelectionChange) {
        const int sel = itemAs<gui::ComboBox>(seqid::kPhaseMode)->curSel();
        if (sel >= 0) SetWord(WithMode(w, static_cast<std::uint32_t>(sel)));
        return 0;
    }
    if (id == seqid::kPhaseDuration && code == gui::notify::ComboSelectionChange) {
        const int sel = itemAs<gui::ComboBox>(seqid::kPhaseDuration)->curSel();
        if (sel >= 0) SetWord((w & ~bits::kDurationMask) | bits::kDurationIndex | static_cast<std::uint32_t>(sel));
        return 0;
    }
    return gui::Dialog::onCommand(id, code, from);
}

gui::LResult COptionDlg_DCSequenceSingle::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    switch (msg) {
        case gui::msg::HScroll: {
            auto* duty = itemAs<gui::Trackbar>(seqid::kPhaseDuty);
            if (duty == nullptr || static_cast<gui::Handle>(l) != duty->handle()) break;
            const auto d = static_cast<std::uint32_t>(duty->position());
            SetWord(WithDuty(Word(), d));
            ShowPercent(d);
            return 0;
        }
        case gui::msg::PhasesSetChecked:
            SetWord(WithOn(Word(), (w & 1u) != 0));
            ShowWord();
            return 0;
        case gui::msg::PhasesReset:
            SetWord(kNewPhase);
            ShowWord();
            return 0;
        default:
            break;
    }
    return gui::Dialog::windowProc(msg, w, l);
}

// ---- the table of one channel --------------------------------------------------------

COptionDlg_DCSequenceTable::COptionDlg_DCSequenceTable(DcSequence& sequence, int channel)
    : gui::Dialog(TableTemplate()), sequence_(sequence), channel_(channel) {}

bool COptionDlg_DCSequenceTable::onInitDialog() {
    for (int p = 0; p < kPhaseCount; ++p) {
        auto editor = gui::makeWindow<COptionDlg_DCSequenceSingle>(sequence_, channel_, p);
        if (!editor->createChild(this, 2000 + p, QPoint(2, p * kEditorHeight))) continue;
        editor->show();
        editors_[static_cast<std::size_t>(p)] = std::move(editor);
    }
    return true;
}

COptionDlg_DCSequenceSingle* COptionDlg_DCSequenceTable::Editor(int phase) const {
    return phase >= 0 && phase < kPhaseCount ? editors_[static_cast<std::size_t>(phase)].get() : nullptr;
}

gui::LResult COptionDlg_DCSequenceTable::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    switch (msg) {
        case gui::msg::PhasesSetChecked:
        case gui::msg::PhasesReset:
            for (auto& e : editors_) {
                if (e) e->send(msg, w, l);
            }
            return 0;
        case gui::msg::PhaseCheckChanged:
            if (Window* frame = parent()) frame->send(msg, static_cast<gui::WParam>(sequence_.CheckedState(channel_)), 0);
            return 0;
        default:
            break;
    }
    return gui::Dialog::windowProc(msg, w, l);
}

// ---- the frame of one channel ----------------------------------------------------------

COptionDlg_DCSequenceFrame::COptionDlg_DCSequenceFrame(DcSequence& sequence, int channel)
    : gui::Dialog(FrameTemplate()), sequence_(sequence), channel_(channel) {}

bool COptionDlg_DCSequenceFrame::onInitDialog() {
    auto table = gui::makeWindow<COptionDlg_DCSequenceTable>(sequence_, channel_);
    if (table->createChild(this, seqid::kTable, kTableAt)) {
        table->show();
        table_ = std::move(table);
    }
    return true;
}

gui::LResult COptionDlg_DCSequenceFrame::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    switch (msg) {
        case gui::msg::PhasesSetChecked:
        case gui::msg::PhasesReset:
            if (table_) table_->send(msg, w, l);
            return 0;
        case gui::msg::PhaseCheckChanged:
            if (Window* window = parent()) window->send(msg, w, static_cast<gui::LParam>(handle()));
            return 0;
        default:
            break;
    }
    return gui::Dialog::windowProc(msg, w, l);
}

// ---- the window ----------------------------------------------------------------------

COptionDlg_DCSequence::COptionDlg_DCSequence(DcSequence& sequence)
    : gui::Dialog(WindowTemplate()), sequence_(sequence) {}

COptionDlg_DCSequence::~COptionDlg_DCSequence() {
    if (exists()) destroy();
}

void COptionDlg_DCSequence::BuildFrames() {
    if (framesBuilt_ || !exists()) return;
    framesBuilt_ = true;
    for (int ch = 0; ch < kChannelCount; ++ch) {
        auto frame = gui::makeWindow<COptionDlg_DCSequenceFrame>(sequence_, ch);
        if (!frame->createChild(this, ch == 0 ? seqid::kFrame1 : seqid::kFrame2, kFrameAt[static_cast<std::size_t>(ch)]))
            continue;
        frame->show();
        frames_[static_cast<std::size_t>(ch)] = std::move(frame);
    }
    for (int ch = 0; ch < kChannelCount; ++ch) {
        if (auto* loop = itemAs<gui::CheckButton>(ch == 0 ? seqid::kLoop1 : seqid::kLoop2)) loop->setCheck(sequence_.Loop(ch));
        if (auto* all = itemAs<gui::CheckButton>(ch == 0 ? seqid::kAll1 : seqid::kAll2))
            all->setCheck(sequence_.CheckedState(ch));
    }
}

COptionDlg_DCSequenceSingle* COptionDlg_DCSequence::Editor(int channel, int phase) const {
    const COptionDlg_DCSequenceFrame* frame = Frame(channel);
    return frame != nullptr && frame->Table() != nullptr ? frame->Table()->Editor(phase) : nullptr;
}

void COptionDlg_DCSequence::ShowActive() {
    show();
    activate();
}

void COptionDlg_DCSequence::ResetAll() {
    // No editors yet: the runner's phases are all there is to reset.
    if (!framesBuilt_) sequence_.ResetPhases();
    for (auto& f : frames_) {
        if (f) f->send(gui::msg::PhasesSetChecked, 0, 0);
    }
    for (int id : {seqid::kAll1, seqid::kAll2, seqid::kLoop1, seqid::kLoop2}) {
        if (auto* box = itemAs<gui::CheckButton>(id)) box->setCheck(0);
    }
    for (auto& f : frames_) {
        if (f) f->send(gui::msg::PhasesReset, 0, 0);
    }
}

void COptionDlg_DCSequence::OnAllCheck(int channel) {
    auto* box = itemAs<gui::CheckButton>(channel == 0 ? seqid::kAll1 : seqid::kAll2);
    if (box == nullptr) return;
    // A click into the third state counts as unchecked.
    int state = box->check();
    if (state == gui::CheckButton::Indeterminate) {
        state = 0;
        box->setCheck(0);
    }
    sequence_.SetEnabled(channel, state != 0);
    if (auto* frame = Frame(channel)) frame->send(gui::msg::PhasesSetChecked, static_cast<gui::WParam>(state), 0);
}

gui::LResult COptionDlg_DCSequence::onCommand(int id, int code, gui::Handle from) {
    if (code == gui::notify::ButtonClicked) {
        switch (id) {
            case seqid::kLoop1:
            case seqid::kLoop2: {
                const int ch = id == seqid::kLoop1 ? 0 : 1;
                sequence_.SetLoop(ch, itemAs<gui::CheckButton>(id)->check() != 0);
                return 0;
            }
            case seqid::kAll1:
            case seqid::kAll2:
                OnAllCheck(id == seqid::kAll1 ? 0 : 1);
                return 0;
            case seqid::kStart:
                sequence_.Start();
                return 0;
            case seqid::kStop:
                sequence_.Stop();
                return 0;
            case gui::id::Ok:
                return 0;  // Enter starts nothing
            default:
                break;
        }
    }
    return gui::Dialog::onCommand(id, code, from);
}

gui::LResult COptionDlg_DCSequence::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    switch (msg) {
        case gui::msg::PhaseCheckChanged: {
            const int channel = Frame(1) != nullptr && static_cast<gui::Handle>(l) == Frame(1)->handle() ? 1 : 0;
            const int state = w == 1 ? 1 : w == 2 ? gui::CheckButton::Indeterminate : 0;
            if (auto* box = itemAs<gui::CheckButton>(channel == 0 ? seqid::kAll1 : seqid::kAll2)) box->setCheck(state);
            sequence_.SetEnabled(channel, w != 0);
            return 0;
        }
        case gui::msg::ShowWindow:
            // Sent before the window shows: its editors are there when it does.
            if (w != 0) BuildFrames();
            // Out of sight, no channel goes on to its next phase.
            if (w == 0) sequence_.OnHide();
            break;
        default:
            break;
    }
    return gui::Dialog::windowProc(msg, w, l);
}

}  // namespace pages::dc
