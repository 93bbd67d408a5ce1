// The DC sequence window ("DC Motor sequence test"): per motor channel a frame with a
// table of eight phase editors (check "Phase-n", PWM mode, ON duty slider with its percent,
// duration), the channel's "Enable loop" and three-state "All Check/Uncheck" boxes, and
// "Start", "Stop" and "Close". It shows and edits the phase words of the page's sequence
// runner (DcSequence.h), which runs them; the window itself sends nothing to the board.
//
// Four dialogs: the window (`COptionDlg_DCSequence`, a modeless top-level window owned by
// the DC page), one frame per channel (`COptionDlg_DCSequenceFrame`), its table
// (`COptionDlg_DCSequenceTable`) and the eight phase editors
// (`COptionDlg_DCSequenceSingle`), each a child dialog of the one above, which owns it.
// They speak with 0x8190 (set every phase's checked state, passed down), 0x8191 (a phase
// check changed: the table tells its frame 0 none, 1 all, 2 some checked, the frame its
// window with its own handle in lParam) and 0x8192 (every phase back to a new one,
// passed down).
//
// The window itself is built with the page (so it opens where and as large as it always
// has), its frames, tables and editors when it is first shown: most pages are used without
// it, and until then the runner alone holds the phases, which the editors show when built.
//
// Borrows the runner, which the page owns and keeps until after the window is gone.
// GUI thread only. Closing the window hides it; hiding it stops a channel waiting for
// its next phase. The page destroys it with itself.
#pragma once

#include <array>

#include "pages/dc/DcSequence.h"
#include "platform/gui/Dialog.h"

namespace pages::dc {

// Control ids of the window, for its tests.
namespace seqid {
inline constexpr int kLoop1 = 1101;
inline constexpr int kLoop2 = 1102;
inline constexpr int kAll1 = 1103;
inline constexpr int kAll2 = 1104;
inline constexpr int kStart = 1105;
inline constexpr int kStop = 1106;
inline constexpr int kClose = gui::id::Cancel;
inline constexpr int kFrame1 = 1201;
inline constexpr int kFrame2 = 1202;
inline constexpr int kTable = 1301;
// A phase editor's controls.
inline constexpr int kPhaseCheck = 1001;
inline constexpr int kPhaseMode = 1002;
inline constexpr int kPhaseDuty = 1003;
inline constexpr int kPhasePercent = 1004;
inline constexpr int kPhaseDuration = 1005;
}  // namespace seqid

class COptionDlg_DCSequenceSingle final : public gui::Dialog {
public:
    COptionDlg_DCSequenceSingle(DcSequence& sequence, int channel, int phase);
    // Shows the runner's phase word in the controls.
    void ShowWord();
    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;

protected:
    bool onInitDialog() override;
    gui::LResult onCommand(int id, int code, gui::Handle from) override;

private:
    std::uint32_t Word() const { return sequence_.Phase(channel_, phase_); }
    void SetWord(std::uint32_t w) { sequence_.SetPhase(channel_, phase_, w); }
    void EnableFields(bool on);
    void ShowPercent(std::uint32_t duty);

    DcSequence& sequence_;
    int channel_, phase_;
};

class COptionDlg_DCSequenceTable final : public gui::Dialog {
public:
    COptionDlg_DCSequenceTable(DcSequence& sequence, int channel);
    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;
    COptionDlg_DCSequenceSingle* Editor(int phase) const;

protected:
    bool onInitDialog() override;

private:
    DcSequence& sequence_;
    int channel_;
    std::array<gui::WindowPtr<COptionDlg_DCSequenceSingle>, kPhaseCount> editors_;
};

class COptionDlg_DCSequenceFrame final : public gui::Dialog {
public:
    COptionDlg_DCSequenceFrame(DcSequence& sequence, int channel);
    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;
    COptionDlg_DCSequenceTable* Table() const { return table_.get(); }
    int Channel() const { return channel_; }

protected:
    bool onInitDialog() override;

private:
    DcSequence& sequence_;
    int channel_;
    gui::WindowPtr<COptionDlg_DCSequenceTable> table_;
};

class COptionDlg_DCSequence final : public gui::Dialog {
public:
    explicit COptionDlg_DCSequence(DcSequence& sequence);
    ~COptionDlg_DCSequence() override;

    // The page's rollback: every phase unchecked and reset, the boxes cleared.
    void ResetAll();
    // Shown and made the active window.
    void ShowActive();
    // A channel's frame and a phase's editor; null until the window is first shown.
    COptionDlg_DCSequenceFrame* Frame(int channel) const { return frames_[channel == 1 ? 1 : 0].get(); }
    COptionDlg_DCSequenceSingle* Editor(int channel, int phase) const;

    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;

protected:
    gui::LResult onCommand(int id, int code, gui::Handle from) override;

private:
    // The frames with their editors and the boxes' states, from the runner; once.
    void BuildFrames();
    void OnAllCheck(int channel);

    DcSequence& sequence_;
    std::array<gui::WindowPtr<COptionDlg_DCSequenceFrame>, kChannelCount> frames_;
    bool framesBuilt_ = false;
};

}  // namespace pages::dc
