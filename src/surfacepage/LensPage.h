// The device page of the lens-actuator drivers, built wholly from its XML surface.
//
// It has no controls of its own: building reads the surface (SurfaceContent.h),
// makes every control the surface describes on the window its block names (the
// page, the floating dialog, a speed window), wraps each control in an observer
// hung on the subject of its data word, maps relation ids to controls (the first
// control of an id, in id order, keeps it) and refreshes every data word once.
//
// Owns: the register images, the relations, the observers and subjects, and the
// surface document under "LensControls" (released at destruction). Borrows: the
// controls (the page base owns them) in the relation-id map and the observers;
// these are dropped before the base retires the controls, so nothing points at a
// freed control. A surface that cannot be read is said in a message box and the
// page stays empty (nothing is sent to the board); nothing is thrown. A control
// whose block names a window the page does not have is not made, and said.
//
// A change stores the control's value through a GUI command that carries the task
// word and kept record of its target (LensChanges.h), keeps the other controls of
// its data word in step and the register images with them (so "Send" writes the
// bits the page shows), then applies the relations the control owns.
//
// The frequency and stop relations ask the page (OutputFrequency 0x81F4,
// StopFrequency 0x81F5) to write the output pair's frames through the board link
// on the GUI thread, after the task queue's fence. GUI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "surface/XmlModule.h"
#include "surfacepage/LensChanges.h"
#include "surfacepage/Observer.h"
#include "surfacepage/SurfaceContent.h"
#include "ui/DerivedDialog.h"

class CDeviceDialog_Lens : public CDerivedDialog {
public:
    // The document key every lens surface is parsed under.
    static constexpr const char* kSurfaceKey = "LensControls";
    // The surface text of a device key; nothing for a key without a surface.
    using SurfaceSource = std::function<std::optional<std::string>(std::int32_t deviceKey)>;

    explicit CDeviceDialog_Lens(SurfaceSource source);
    ~CDeviceDialog_Lens() override;

    bool onInitDialog() override;
    // Sets the page up again and shows every data word again; the surface is not
    // read again (its document is kept).
    int ReloadSurface() override;
    // After a parameter set was loaded: the base's work, then every data word shown
    // again, on either lens model.
    void RestoreBoard() override;
    // The opening's refresh (the stored chip enable after the board's defaults), then
    // PWM channel 8 started once that is on the wire.
    void OpeningBoardSetUp() override;
    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;
    // Stores the value and queues its task, refreshes the word's controls and
    // register images, applies the control's relations. 1.
    int OnControlChanged(std::int32_t word, CDerivedControl* control) override;
    // A closed or replaced page leaves no output pair running.
    void EndRuns() override;

    // Shows every data word again: the first control of each word (in id order)
    // has its subject notify all controls of the word; every control's relations are
    // applied. An output pair the page left running is stopped, and the stored chip
    // enable is sent (the board's defaults disable the chip, a rollback may have changed
    // the word): the page shows what the board has. Nothing else is sent.
    void RefreshAll();
    // Applies the relations that `control` owns, by its stored value.
    int ApplyRelationsOf(CDerivedControl& control);

    // What building found wrong in the surface (each names the surface and the
    // control); empty for a sound surface.
    const std::vector<std::string>& SurfaceProblems() const { return problems_; }
    const surfacepage::RegisterMap& Registers() const { return registers_; }
    IRegisterData* Register(std::int32_t address) const;
    std::size_t RelationCount() const { return relations_.size(); }
    CDerivedControl* ControlOfRelation(std::int32_t relationId) const;
    ISubject* SubjectOf(std::int32_t containerId) const;

private:
    class KeptRecords;

    void BuildFromSurface();
    // The task word and kept record of a control's target, its images updated;
    // a problem is said in the debug output.
    surfacepage::TaskOrder BuildOrder(CDerivedControl& control);
    // Every register-field control on data word `word` but `except` writes the
    // value it now shows into its register image.
    void FollowRegisterImages(std::int32_t word, const CDerivedControl* except);
    // Whether the control is a register field on the page itself: only those write the
    // register images, so "Send" writes what the page shows.
    bool FeedsRegisterImage(const CDerivedControl& control) const;
    void MakeControls(std::vector<surfacepage::SurfaceControl>& controls);
    void WireObservers();
    void StartChannel8();
    // Queues the port record of the chip-enable line's first control, with the level it
    // shows; nothing when no control drives that line.
    void SendStoredChipEnable();
    // The board's chip-enable output line.
    static constexpr std::int32_t kChipEnableLine = 31;
    // The value stored for a control's binding; IRelation::kNoIndex when it has none.
    std::uint32_t StoredIndex(const CDerivedControl& control) const;
    // The three output frames of pair `pair` with the frequency setting of data
    // word `frequencyWord` and the pulse count of `countWord`; the stop frame.
    void WriteOutputFrequency(std::uint32_t pair, std::uint32_t frequencyWord, std::uint32_t countWord);
    void WriteStopFrequency(std::uint32_t pair);
    // Drops everything that borrows the controls.
    void ForgetControls();

    // The application's surface slots, or the page's own when it has none.
    CXmlSurfaceSlots& Slots();

    SurfaceSource source_;
    CXmlSurfaceSlots ownSlots_;
    bool built_ = false;
    bool refreshing_ = false;            // the output pairs are not driven while the store is shown
    std::array<bool, 2> pairRunning_{};  // output pairs this page started and has not stopped
    std::string surfaceName_;            // how problems name the surface
    std::vector<std::string> problems_;
    surfacepage::RegisterMap registers_;
    std::vector<std::unique_ptr<IRelation>> relations_;
    std::vector<std::unique_ptr<IObserver>> observers_;
    std::map<std::int32_t, std::unique_ptr<ISubject>> subjects_;
    std::map<std::int32_t, CDerivedControl*> relationIds_;
};
