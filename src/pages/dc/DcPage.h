// The device page of the two-channel brushed-DC driver chips (device keys 0x200 to 0x203
// and 0x207 to 0x209). Its controls are built in code from the device's control profile
// and the layout table (DcLayout.h); a change is stored by the shared change prologue and
// then sent to the board directly through the base's forwarding: chip pins, the REF PWM,
// and each motor channel as a record built from its channel word (DcChannel.h). The
// status inputs (REF voltage, warnings) are polled on the page timer while the page is
// shown, and the output currents computed from them. The demo runs on the sequence
// runner (DcSequence.h), which applies each row's chip settings through this page.
//
// Owns: the sequence runner, its window (the phase editors) and its three one-shot timers (0x8119, 0x811A, 0x811B, each
// tick tagged with the arming that caused it; a tick of an older arming is dropped), the
// two channel words, and (through the base) every control. Borrows from the base: the
// data store and the board link. GUI thread only. Closing the page (or the program) ends
// its runs first: the demo and the sequence stopped, both channels sent off.
//
// A demo row is shown on the controls but never stored: the store (and so a parameter
// save) keeps the user's own settings, and ending the demo applies them again.
//
// Files: DcPage.cpp (building, message routing, timers), DcHandlers.cpp (the reaction to
// each kind, restoring the board, the demo, status polling).
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "pages/dc/DcLayout.h"
#include "pages/dc/DcSequence.h"
#include "pages/dc/DcSequenceWindow.h"
#include "pages/scaffold/PageBoardAdapter.h"
#include "pages/scaffold/TaggedRunTimer.h"
#include "ui/DerivedDialog.h"

class CDeviceDialog_DC : public CDerivedDialog, private pages::dc::IDcSequenceHost, private pages::dc::ISequenceTimers {
public:
    // (device key, control profile, name): the profile is borrowed for the page's life.
    using CDerivedDialog::CDerivedDialog;
    // Destroys the window (which ends the runs) if it still exists, then the timers.
    ~CDeviceDialog_DC() override;

    bool onInitDialog() override;
    int OnControlChanged(std::int32_t word, CDerivedControl* control) override;
    void RestoreBoard() override;
    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;

    pages::dc::DcSequence* Sequence() const { return sequence_.get(); }
    pages::dc::COptionDlg_DCSequence* SequenceWindow() const { return sequenceWindow_.get(); }
    // The live channel words (channel 0 or 1).
    std::uint32_t ChannelWord(int channel) const { return channels_[channel == 1 ? 1 : 0]; }
    // The arming of a sequence timer whose tick is awaited; 0 none.
    std::uintptr_t ArmedTick(pages::dc::SequenceTimer t) const {
        const auto& timer = timers_[static_cast<std::size_t>(t)];
        return timer ? timer->ArmedTick() : 0;
    }

protected:
    // The rollback also unchecks and resets every phase of the sequence window.
    gui::LResult onCommand(int id, int code, gui::Handle from) override;
    void EndRuns() override;
    // The sequence window goes with the page.
    void RetireOwnedWindows() override;
    // Polling switched on by a show.
    void ReactToStoredChange(int kind, std::uint32_t value, CDerivedControl* control) override;

private:
    // IDcSequenceHost
    void ApplyDemoRow(const pages::dc::DemoRow* row) override;
    std::uint32_t FrequencyIndex() const override { return frequencyIndex_; }
    void ChannelStopped(int channel) override;
    // ISequenceTimers
    void Arm(pages::dc::SequenceTimer timer, std::uint32_t ms) override;
    void Stop(pages::dc::SequenceTimer timer) override;

    // ---- building (DcPage.cpp)
    // The sequence runner, the controls from the layout and the sequence window, with the
    // link suspended.
    void BuildPage(const ProfileWords& profile) override;

    // ---- reactions (DcHandlers.cpp)
    void React(int kind, std::uint32_t v, CDerivedControl* control);
    void ApplyChannel(int channel, bool send);
    void ApplyBothChannels();
    void ChangeMode(int channel, std::uint32_t mode);
    void Port(int port, std::uint32_t level, bool send);
    void SetRefPwm(double duty);
    void WriteAtt(std::uint32_t att);
    void SetupStatusInputs();
    void SwitchPolling(bool on);
    void OnPollTimer() override;
    void UpdateIout();
    void RunDemoSequence(bool on);
    void EnableDemoItems(bool on);
    void ShowOnControls(int kind, std::uint32_t value);
    void RestoreKinds(std::initializer_list<int> kinds);

    // The runner's board requests, over the base's forwarding.
    pages::PageBoardAdapter board_{*this};
    std::array<std::unique_ptr<pages::TaggedRunTimer>, 3> timers_;
    std::unique_ptr<pages::dc::DcSequence> sequence_;
    // Declared after the runner it shows: it goes first.
    gui::WindowPtr<pages::dc::COptionDlg_DCSequence> sequenceWindow_;
    std::array<std::uint32_t, 2> channels_{};
    std::uint32_t frequencyIndex_ = 0;
    // The page's own chip settings, applied again when a demo ends.
    std::uint32_t enableCopy_ = 0, attCopy_ = 0, refCopy_ = 0;
    bool built_ = false;
    bool demoItemsLocked_ = false;
};
