// The start-up test dialog: building, parameter reactions, the run and its results.
#include "pages/bldc/StartupDialog.h"

#include <algorithm>

#include "data/DataContainer.h"
#include "data/ParameterDecoder.h"
#include "pages/bldc/BldcSpeed.h"
#include "pages/bldc/StartupLayout.h"
#include "pages/scaffold/PlacedControlFactory.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Messages.h"
#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/Graph.h"
#include "ui/InputControls.h"
#include "ui/LogFile.h"
#include "ui/PageFileNames.h"
#include "ui/SliderControl.h"

namespace bldc {

namespace {

constexpr int kPoleWord = 18;
constexpr int kSliderIndex = 0;
constexpr int kEditIndex = 1;
constexpr int kCaptionIndex = 100;
constexpr int kUnitIndex = 101;
constexpr int kStartKind = 7;
constexpr int kAbortKind = 8;
constexpr int kSaveKind = 9;
constexpr int kCopyKind = 10;

std::uint32_t KeyOf(int kind, int index) {
    return static_cast<std::uint32_t>(kind) << 16 | static_cast<std::uint32_t>(index);
}

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QRect At(int x, int y, const Rect& r) { return QRect(x + r.x, y + r.y, r.width, r.height); }

// The template's items are laid out in client pixels (as the parameter controls are)
// and stored in dialog units of the template's font.
gui::DialogTemplate MakeTemplate() {
    gui::DialogTemplate t;
    t.caption = QStringLiteral("BLDC Testmode");
    t.fontFace = QStringLiteral("Arial");
    t.pointSize = 8;
    const gui::DialogUnits u = gui::dialogUnitsFor(gui::dialogFont(t.fontFace, t.pointSize));
    const auto dluX = [&](int px) { return (px * 4 + u.baseX / 2) / u.baseX; };
    const auto dluY = [&](int px) { return (px * 8 + u.baseY / 2) / u.baseY; };
    const auto dlu = [&](const Rect& r) {
        const int left = dluX(r.x), top = dluY(r.y);
        return QRect(left, top, dluX(r.x + r.width) - left, dluY(r.y + r.height) - top);
    };
    t.size = QSize(dluX(kClientWidth), dluY(kClientHeight));
    const auto add = [&](gui::ControlKind kind, int id, std::string_view text, const Rect& r,
                         std::uint32_t style = gui::style::Visible) {
        t.items.push_back({kind, id, Text(text), dlu(r), style});
    };
    add(gui::ControlKind::GroupBox, -1, "Setup", kSetupBox);
    add(gui::ControlKind::GroupBox, -1, "Result - Overall", kOverallBox);
    add(gui::ControlKind::GroupBox, -1, "Result - Analyze", kAnalyzeBox);
    add(gui::ControlKind::GroupBox, -1, "Statistics", kStatisticsBox);
    add(gui::ControlKind::ListView, kResultListId, "", kResultList,
        gui::style::Visible | gui::style::Border | gui::style::TabStop);
    add(gui::ControlKind::Custom, kHistogramId, "Histogram", kHistogram);
    int y = kStatisticsStart.y;
    for (const StatisticsRow& row : kStatisticsRows) {
        const Rect caption{kStatisticsStart.x + kStatisticsCaption.x, y + kStatisticsCaption.y,
                           kStatisticsCaption.width, kStatisticsCaption.height};
        const Rect field{kStatisticsStart.x + kStatisticsField.x, y + kStatisticsField.y, kStatisticsField.width,
                         kStatisticsField.height};
        const Rect unit{kStatisticsStart.x + kStatisticsUnit.x, y + kStatisticsUnit.y, kStatisticsUnit.width,
                        kStatisticsUnit.height};
        add(gui::ControlKind::Static, -1, row.caption, caption);
        add(gui::ControlKind::Edit, row.id, "", field,
            gui::style::Visible | gui::style::ReadOnly | gui::style::ClientEdge);
        if (!row.unit.empty()) add(gui::ControlKind::Static, -1, row.unit, unit);
        y += kStatisticsStep;
    }
    return t;
}

}  // namespace

COptionDlg_BLDCTest::COptionDlg_BLDCTest(CRG1Micon* board, LocalTimeSource now)
    : gui::Dialog(MakeTemplate()), now_(std::move(now)), font_(QStringLiteral("Arial"), 14, 400), test_(board) {}

COptionDlg_BLDCTest::~COptionDlg_BLDCTest() {
    // The worker posts to this window: it ends before the window and the results go.
    test_.Abort();
    if (exists()) destroy();
}

// ---- building ---------------------------------------------------------------------------

bool COptionDlg_BLDCTest::onInitDialog() {
    fileNames_ = std::make_unique<CPageFileNames>(this);
    log_ = std::make_unique<CDerivedFile>(fileNames_.get(), now_);
    BuildControls();
    BuildHistogram();
    if (auto* list = itemAs<gui::ListView>(kResultListId)) {
        list->modifyStyle(0, gui::style::GridLines | gui::style::FullRowSelect);
        for (std::size_t i = 0; i < kResultColumns.size(); ++i)
            list->insertColumn(static_cast<int>(i), Text(kResultColumns[i]), kResultColumnWidth);
    }
    ClearResults();
    EnableControls(false);
    RefreshFromDevice();
    trials_ = SliderValue(0);
    timeoutMs_ = SliderValue(1) * 1000u;
    offTimeMs_ = SliderValue(2) * 1000u;
    if (CDerivedControl* combo = FindControl(5, kSliderIndex)) startStopType_ = static_cast<int>(combo->GetValue());
    binWidth_ = SliderValue(6) * 100u;
    SetHistogramRanges();
    return true;
}

void COptionDlg_BLDCTest::BuildControls() {
    Point setup = kSetupStart;
    Point buttons = kButtonStart;
    for (const TestParameterSpec& param : kTestParameters) {
        if (param.kind == 6) {
            BuildSliderGroup(param.kind, kStepStart.x, kStepStart.y);
        } else if (param.control == TestControl::SliderGroup) {
            BuildSliderGroup(param.kind, setup.x, setup.y);
            setup.y += kSetupSliderGroup.height;
        } else if (param.control == TestControl::Combo) {
            auto label = std::make_unique<CDerivedLabel>(this, KeyOf(param.kind, kCaptionIndex) + 3000);
            auto combo = std::make_unique<CDerivedComboBox>(this, KeyOf(param.kind, kSliderIndex) + 3000);
            const QRect l = At(setup.x, setup.y, kStartStopLabel);
            const QRect c = At(setup.x, setup.y, kStartStopCombo);
            label->CreateControlWindow(l.topLeft(), l.width(), l.height());
            label->setText(Text(param.caption));
            combo->SetRegister(param.kind, 1);
            combo->CreateControlWindow(c.topLeft(), c.width(), c.height());
            for (std::string_view item : kStartStopTypes) combo->addString(Text(item));
            combo->SetValue(0);
            controls_[KeyOf(param.kind, kCaptionIndex)] = std::move(label);
            controls_[KeyOf(param.kind, kSliderIndex)] = std::move(combo);
            setup.y += kStartStopHeight;
        } else {
            const Rect& r = param.kind == kStartKind ? kStartButton : kOtherButton;
            auto button = std::make_unique<CDerivedButton>(this, KeyOf(param.kind, kSliderIndex) + 3000);
            button->SetRegister(param.kind, 1);
            const QRect b = At(buttons.x, buttons.y, r);
            button->CreateControlWindow(b.topLeft(), b.width(), b.height());
            button->setText(Text(param.caption));
            controls_[KeyOf(param.kind, kSliderIndex)] = std::move(button);
            buttons.y += param.kind == kStartKind ? kStartButtonHeight : kOtherButtonHeight;
        }
    }
    for (auto& [key, control] : controls_) {
        if (control->exists()) control->SetFont(font_);
    }
}

void COptionDlg_BLDCTest::BuildSliderGroup(int kind, int x, int y) {
    const TestParameterSpec& param = kTestParameters[static_cast<std::size_t>(kind)];
    const SliderGroupLayout& g = kind == 6 ? kStepSliderGroup : kSetupSliderGroup;
    auto label = std::make_unique<CDerivedLabel>(this, KeyOf(kind, kCaptionIndex) + 3000);
    auto slider = std::make_unique<CDerivedSlider>(this, KeyOf(kind, kSliderIndex) + 3000);
    auto edit = std::make_unique<CDerivedEdit>(this, KeyOf(kind, kEditIndex) + 3000);
    auto unit = std::make_unique<CDerivedLabel>(this, KeyOf(kind, kUnitIndex) + 3000);
    slider->SetRegister(kind, 1);
    edit->SetRegister(kind, 1);
    edit->SetValueTable(pages::MakeValueDecoder({param.format, param.decoder, param.factor}));
    const auto create = [&](CDerivedControl& c, const Rect& r) {
        const QRect place = At(x, y, r);
        c.CreateControlWindow(place.topLeft(), place.width(), place.height());
    };
    create(*label, g.label);
    create(*slider, g.slider);
    create(*edit, g.edit);
    create(*unit, g.unit);
    label->setText(Text(param.caption));
    unit->setText(Text(param.unit));
    slider->SetRange(param.minimum, param.maximum);
    slider->SetValue(static_cast<std::uint32_t>(param.start));
    edit->Synchronize(slider.get());  // the edit shows the slider's value
    controls_[KeyOf(kind, kCaptionIndex)] = std::move(label);
    controls_[KeyOf(kind, kSliderIndex)] = std::move(slider);
    controls_[KeyOf(kind, kEditIndex)] = std::move(edit);
    controls_[KeyOf(kind, kUnitIndex)] = std::move(unit);
}

void COptionDlg_BLDCTest::BuildHistogram() {
    histogram_ = std::make_unique<CDerivedGraphLabel>();
    if (!histogram_->Attach(this, kHistogramId, itemRect(kHistogramId))) return;
    histogram_->SetSeriesShape(1, CDerivedGraphLabel::kBars, kHistogramOutline, kHistogramFill);
    histogram_->SetAxisTitle(1, 1, Text(kHistogramXTitle));
    histogram_->SetAxisTitle(1, 0, Text(kHistogramYTitle));
    histogram_->SetAxisRange(1, 1, 0, 10000, 1000);
    histogram_->SetAxisRange(1, 0, 0, 100, 10);
    histogram_->SetChannelMask(1);
}

CDerivedControl* COptionDlg_BLDCTest::FindControl(int kind, int index) const {
    const auto it = controls_.find(KeyOf(kind, index));
    return it != controls_.end() ? it->second.get() : nullptr;
}

std::uint32_t COptionDlg_BLDCTest::SliderValue(int kind) const {
    const CDerivedControl* slider = FindControl(kind, kSliderIndex);
    return slider != nullptr ? slider->GetValue() : 0;
}

void COptionDlg_BLDCTest::Resync(int kind, std::uint32_t value) {
    // Held to the slider's range, so the slider, its edit and the target a run takes all
    // say the same (a 1 Hz FG target would otherwise put 30 rpm, position 0, on a slider
    // whose thumb shows 1000).
    if (const auto* slider = dynamic_cast<const CDerivedSlider*>(FindControl(kind, kSliderIndex)))
        value = HeldToSliderRange(*slider, value);
    if (CDerivedControl* slider = FindControl(kind, kSliderIndex)) slider->SetValue(value);
    if (CDerivedControl* edit = FindControl(kind, kEditIndex)) edit->SetValue(value);
}

std::uint32_t COptionDlg_BLDCTest::PolePairs() const {
    return WordOrZero(store_, deviceKey_, kPoleWord);  // no block: no pole count
}

void COptionDlg_BLDCTest::SetHistogramRanges() {
    if (!histogram_) return;
    histogram_->SetAxisRange(1, 0, 0, static_cast<std::int32_t>(trials_), static_cast<std::int32_t>(trials_ / 10));
    histogram_->SetAxisRange(1, 1, 0, static_cast<std::int32_t>(timeoutMs_), 1000);
    histogram_->SetXAxisDivisions(1, static_cast<std::int32_t>(binWidth_));
    histogram_->Redraw();
}

// ---- the page's settings ------------------------------------------------------------------

bool COptionDlg_BLDCTest::SetDeviceProfile(const std::uint16_t* profile) {
    if (profile == nullptr) return false;
    profile_ = profile;
    fgPulses_ = profile[16] & 15u;
    // The window was built before the page handed over its device: the target
    // items follow the device's pole count from now on.
    if (exists()) RefreshFromDevice();
    return true;
}

bool COptionDlg_BLDCTest::SetDataSource(IDataContainer* store, std::int32_t deviceKey) {
    if (store == nullptr) return false;
    store_ = store;
    deviceKey_ = deviceKey;
    if (exists()) RefreshFromDevice();
    return true;
}

int COptionDlg_BLDCTest::SetMeasureParam(int setting) {
    measureSetting_ = setting;
    return 1;
}

int COptionDlg_BLDCTest::SetStartStopType(int type) {
    startStopType_ = type != 0 ? 1 : 0;
    if (CDerivedControl* combo = FindControl(5, kSliderIndex))
        combo->SetValue(static_cast<std::uint32_t>(startStopType_));
    return 1;
}

int COptionDlg_BLDCTest::RefreshFromDevice() {
    const std::uint32_t p = PolePairs();
    targetRpm_ = FgToRpm(targetFg_, p, fgPulses_);
    Resync(3, targetRpm_ / 100u);
    for (int kind : {3, 4}) {
        for (int index : {kSliderIndex, kEditIndex}) {
            if (CDerivedControl* c = FindControl(kind, index)) c->setEnabled(TestControlEnabled(kind, running_, p));
        }
    }
    return 1;
}

int COptionDlg_BLDCTest::SetPwmSetting(int channel, int frequency, int driveDuty, int idleDuty) {
    pwm_ = {channel, frequency, driveDuty, idleDuty};
    return 1;
}

void COptionDlg_BLDCTest::ShowDialog() {
    // A parameter file loaded while the window was hidden may have changed the poles.
    if (!running_) RefreshFromDevice();
    show(true);
    activate();
}

// ---- messages -------------------------------------------------------------------------------

gui::LResult COptionDlg_BLDCTest::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    switch (msg) {
        case gui::msg::ControlChanged:
            OnParameterChanged(static_cast<int>(w), reinterpret_cast<CDerivedControl*>(l));
            return 1;
        case gui::msg::TestResult:
            OnResult(w, l);
            return 1;
        default:
            return gui::Dialog::windowProc(msg, w, l);
    }
}

void COptionDlg_BLDCTest::CloseDialog() {
    // Out of sight, nobody could abort it: up to 10,000 trials would go on.
    AbortTest();
    hide();  // the page shows it again with "Start Testmode"
}

gui::LResult COptionDlg_BLDCTest::onClose() {
    CloseDialog();
    return 0;
}

void COptionDlg_BLDCTest::onDestroy() {
    test_.Abort();
    running_ = false;
}

void COptionDlg_BLDCTest::OnParameterChanged(int kind, CDerivedControl* control) {
    if (kind < 0 || static_cast<std::size_t>(kind) >= kTestParameters.size() || control == nullptr) return;
    const TestParameterSpec& param = kTestParameters[static_cast<std::size_t>(kind)];
    // A typed value outside the slider's range is held to it: no run of 0 trials, no
    // time-out or bin width of 0.
    std::uint32_t v = control->GetValue();
    if (param.control == TestControl::SliderGroup) {
        if (const auto* slider = dynamic_cast<const CDerivedSlider*>(FindControl(kind, kSliderIndex)))
            v = HeldToSliderRange(*slider, v);
    }
    const std::uint32_t p = PolePairs();
    switch (kind) {
        case 0:
            trials_ = v;
            SetHistogramRanges();
            Resync(kind, v);
            break;
        case 1:
            timeoutMs_ = v * 1000u;
            SetHistogramRanges();
            Resync(kind, v);
            break;
        case 2:
            offTimeMs_ = v * 1000u;
            Resync(kind, v);
            break;
        case 3:
            targetRpm_ = v * 100u;
            targetFg_ = RpmToFg(targetRpm_, p, fgPulses_);
            Resync(kind, v);
            Resync(4, targetFg_ / 10u);
            break;
        case 4:
            targetFg_ = v * 10u;
            targetRpm_ = FgToRpm(targetFg_, p, fgPulses_);
            Resync(kind, v);
            Resync(3, targetRpm_ / 100u);
            break;
        case 5:
            startStopType_ = v != 0 ? 1 : 0;
            break;
        case 6:
            binWidth_ = v * 100u;
            if (histogram_) {
                histogram_->SetXAxisDivisions(1, static_cast<std::int32_t>(binWidth_));
                histogram_->Redraw();
            }
            Resync(kind, v);
            break;
        case kStartKind:
            StartTest();
            break;
        case kAbortKind:
            AbortTest();
            break;
        case kSaveKind:
            if (log_) SaveResult(*log_, results_);
            break;
        case kCopyKind:
            CopyToClipboard(results_);
            break;
        default:
            break;
    }
}

void COptionDlg_BLDCTest::StartTest() {
    if (running_) return;
    StartupTestParams params;
    params.trials = trials_;
    params.timeoutMs = timeoutMs_;
    params.offTimeMs = offTimeMs_;
    params.startStopType = startStopType_;
    params.pwm = pwm_;
    params.measureSetting = measureSetting_;
    params.polePairs = PolePairs();
    params.fgPulses = fgPulses_;
    const Targets targets = TargetsFromSliders(SliderValue(3), SliderValue(4), params.polePairs, fgPulses_);
    params.targetRpm = targets.rpm;
    params.targetFg = targets.fg;
    running_ = true;
    if (histogram_) {
        histogram_->SetXAxisDivisions(1, static_cast<std::int32_t>(binWidth_));
        histogram_->Redraw();
    }
    EnableControls(true);
    ClearResults();
    if (!test_.Start(handle(), params)) {
        running_ = false;
        EnableControls(false);
    }
}

void COptionDlg_BLDCTest::AbortTest() {
    test_.Abort();
    running_ = false;
    EnableControls(false);
}

void COptionDlg_BLDCTest::OnResult(gui::WParam w, gui::LParam l) {
    const TrialPost post = DecodeTrialPost(w, l);
    if (post.run != test_.RunNumber()) return;  // from a run that was aborted
    if (post.end) {
        test_.OnEnded();
        running_ = false;
        EnableControls(false);
        return;
    }
    results_.Add(post.index, post.ms);
    if (auto* list = itemAs<gui::ListView>(kResultListId)) {
        const ResultRow& row = results_.Rows().back();
        const int r = list->insertItem(list->itemCount(), QString::fromStdString(row.number));
        if (r >= 0) {
            list->setItemText(r, 1, QString::fromStdString(row.time));
            list->selectItem(r);
            list->ensureVisible(r);
        }
    }
    if (histogram_) {
        histogram_->AddPoint(1, static_cast<int>(post.index),
                             static_cast<int>(std::min<std::uint32_t>(post.ms, 0x7FFFFFFF)));
        histogram_->Redraw();
    }
    ShowStatistics();
}

void COptionDlg_BLDCTest::EnableControls(bool running) {
    const std::uint32_t p = PolePairs();
    for (auto& [key, control] : controls_) {
        if (control->exists()) control->setEnabled(TestControlEnabled(static_cast<int>(key >> 16), running, p));
    }
}

void COptionDlg_BLDCTest::ClearResults() {
    results_.Clear();
    if (auto* list = itemAs<gui::ListView>(kResultListId)) list->deleteAllItems();
    if (histogram_) {
        histogram_->ClearSeries();
        histogram_->Redraw();
    }
    ShowStatistics();
}

void COptionDlg_BLDCTest::ShowStatistics() {
    const StatisticsText t = results_.Texts();
    const std::string* texts[] = {&t.minimum, &t.maximum, &t.average, &t.deviation, &t.errors};
    for (std::size_t i = 0; i < kStatisticsRows.size(); ++i) {
        if (gui::Window* field = item(kStatisticsRows[i].id))
            field->setText(QString::fromStdString(texts[i]->substr(0, 16)));
    }
}

// ---- the factory ----------------------------------------------------------------------------

void ReleaseStartupTestDialog::operator()(IStartupTestDialog* dialog) const {
    // Destroyed now (the test aborted, its worker joined), freed once no handler of it
    // (a file dialog's loop under "Save Result") is on the stack.
    if (auto* window = dynamic_cast<gui::Window*>(dialog)) {
        gui::DeferredDelete{}(window);
    } else {
        delete dialog;
    }
}

StartupTestDialogPtr CreateStartupTestDialog(CRG1Micon* board, gui::Window* owner) {
    StartupTestDialogPtr dialog(new COptionDlg_BLDCTest(board));
    if (!static_cast<COptionDlg_BLDCTest*>(dialog.get())->createModeless(owner)) return nullptr;
    return dialog;
}

}  // namespace bldc
