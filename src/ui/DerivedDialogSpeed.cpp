// The page base's speed side: its speed windows (made, kept and showing the controls made
// on them), the speed samples they and the record take, and the record switch and file.
#include "ui/DerivedDialog.h"

#include <utility>

#include "platform/gui/CommonDialogs.h"
#include "ui/ExternFile.h"
#include "ui/PageFileNames.h"
#include "ui/SpeedWindows.h"

namespace {

// A speed window of the page, made and put in its slot; the one before goes the way of
// every retired window.
template <class Panel>
Panel* MakeSpeedPanel(gui::Window& page, std::unique_ptr<gui::Window>& slot, int kind) {
    auto panel = std::make_unique<Panel>();
    panel->SetOwner(page.handle(), kind);
    if (!panel->createModeless(&page)) return nullptr;
    Panel* made = panel.get();
    gui::deleteLater(std::exchange(slot, std::move(panel)));
    return made;
}

}  // namespace

void CDerivedDialog::SetRecordSwitch(int recordKind, bool cancelEnds, bool twoChannels) {
    recordKind_ = recordKind;
    recordCancelEnds_ = cancelEnds;
    recordTwoChannels_ = twoChannels;
    if (recordKind >= 0) EnableControlsAt(recordKind, false);
}

void CDerivedDialog::ChooseRecordFile() {
    if (recordFile_ == nullptr || recordKind_ < 0) return;
    const bool chosen = recordFile_->ChooseFile() != 0;
    // The file dialog's loop may have outlived the page (the board unplugged meanwhile).
    if (destroyed_) return;
    if (chosen) {
        EnableControlsAt(recordKind_, true);
    } else if (recordCancelEnds_) {
        recordFile_->EndRecord();
        EnableControlsAt(recordKind_, false);
    }
}

void CDerivedDialog::SwitchRecord(CDerivedControl* control, bool on) {
    if (recordFile_ == nullptr) return;
    if (!on) {
        recordFile_->EndRecord();
        return;
    }
    if (StartRecordOrSay() || destroyed_) return;
    if (control == nullptr) return;
    const ControlBinding binding = control->GetBinding();
    if (binding.IsBound() && !binding.IsField()) SetWord(binding.word, 0);
    control->SetValue(0);
}

std::uint32_t CDerivedDialog::NextSpeedSample() {
    speedSample_ = speedSample_ >= 100 ? 1 : speedSample_ + 1;
    return speedSample_;
}

CSubDialog_Tachometer* CDerivedDialog::TachometerPanel() const {
    return dynamic_cast<CSubDialog_Tachometer*>(firstTachometer_.get());
}

CSubDialog_Graph* CDerivedDialog::GraphPanel() const { return dynamic_cast<CSubDialog_Graph*>(graphWindow_.get()); }

CSubDialog_Tachometer* CDerivedDialog::MakeTachometerPanel(int kind) {
    return MakeSpeedPanel<CSubDialog_Tachometer>(*this, firstTachometer_, kind);
}

CSubDialog_DigitalTachometer* CDerivedDialog::MakeDigitalTachometerPanel(int kind) {
    return MakeSpeedPanel<CSubDialog_DigitalTachometer>(*this, firstTachometer_, kind);
}

CSubDialog_Graph* CDerivedDialog::MakeGraphPanel(int kind) {
    return MakeSpeedPanel<CSubDialog_Graph>(*this, graphWindow_, kind);
}

gui::Window* CDerivedDialog::PanelOrPage(SpeedPanel panel) {
    if (panel == SpeedPanel::Tachometer && firstTachometer_ != nullptr) return firstTachometer_.get();
    if (panel == SpeedPanel::Graph && graphWindow_ != nullptr) return graphWindow_.get();
    return this;
}

void CDerivedDialog::ShowPanelControls() {
    for (gui::Window* speed : {firstTachometer_.get(), secondTachometer_.get(), graphWindow_.get()}) {
        if (auto* panel = dynamic_cast<CSpeedWindow*>(speed)) panel->ShowControls();
    }
}

void CDerivedDialog::ShowSpeedSample(const SpeedSample& sample) {
    if (auto* tachometer = TachometerPanel()) {
        tachometer->SetValues(sample.shownPps, sample.shownRpm);
    } else if (auto* digital = dynamic_cast<CSubDialog_DigitalTachometer*>(firstTachometer_.get())) {
        digital->SetValues(sample.shownPps, sample.shownRpm);
    }
    if (auto* graph = GraphPanel()) graph->AddPoint(SpeedSampleX(), sample.shownPps, sample.shownRpm);
    if (recordFile_ == nullptr) return;
    if (recordTwoChannels_) {
        // The two-column header's row: both speeds as whole numbers.
        recordFile_->WriteRow(static_cast<std::uint32_t>(sample.shownPps), static_cast<std::uint32_t>(sample.shownRpm));
    } else {
        recordFile_->WriteRowReal(sample.raw, sample.pps, sample.rpm);
    }
}

bool CDerivedDialog::StartRecordOrSay() {
    if (recordFile_ == nullptr) return false;
    if (recordFile_->StartRecord(recordTwoChannels_ ? 1 : 0)) return true;
    constexpr int kMaxMessageLength = 1024;
    const QString text = QStringLiteral(
                             "Failed to open the file(%1).\nThe specified file has already opened by other "
                             "application.\nTry after the end of the application during operations.")
                             .arg(QString::fromStdString(recordFile_->GetDisplayName()))
                             .left(kMaxMessageLength);
    gui::messageBox(this, text, QStringLiteral("File open error"), gui::MessageButtons::Ok, gui::MessageIcon::Error);
    return false;
}
