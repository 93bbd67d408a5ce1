// The base dialog of every device page.
//
// It keeps the map from control keys to the page's custom controls (and owns them),
// borrows the shared services (data store, board link, task queue) from the
// application when the page opens, owns the page's status timer and CSV record file,
// routes the page menu and the private messages between the page and the main window,
// and hands out the GUI commands that carry a control change to the task queue.
//
// A page is created modeless and top-level on the empty page template with the page
// menu; closing it only hides it (the main window is told with PageClosed, once). Pages
// override onInitDialog (calling this one first, then BuildAndRestore), BuildPage,
// OnControlChanged, RestoreDeviceData, RestoreBoard, EndRuns and ReactToStoredChange, and
// name their polling and record switch kinds. What every page repeats is done here once:
// building between the link's suspend and resume, the speed panels and their controls,
// ending runs at close or destroy, refusing changes from locked controls, holding typed
// values to their slider's range, the record switch and its file, handing a speed sample
// to dial, graph and record, the status timer and polling exactly while shown, the restore
// with its fence on the task queue (the page is drawn and takes input while the board is
// set up, whatever would write to the board, input to any window the page owns included,
// first finishes that set-up, and a page that goes drops it), and retiring
// the windows the page owns at destroy. The page's controls and owned windows go through
// the window layer's deferred delete, so none is freed while a handler of it (a nested
// dialog loop) is on the stack.
// Everything runs on the GUI thread.
//
// Control keys: on the hard-coded pages kind << 16 | index (the kind is the control's
// profile slot and data word; the window id is the key plus 3000); on the XML-surface
// page the control's window id.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "board/Records.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/Drawing.h"
#include "ui/DerivedControl.h"

class CFloatDialog;
class CSubDialog_DigitalTachometer;
class CSubDialog_Graph;
class CSubDialog_Tachometer;
class CPageFileNames;
class CRG1Micon;
class CSingleCommand;
class CTaskFactory;
class CTimer;
class IDataContainer;
class IExternFile;
class IGuiCommand;
class ITaskListener;
class ITimer;

// Command ids of the page menu, and the owner's command that shows the About box.
namespace pagemenu {
inline constexpr int kSaveParameters = 0x8003;    // "Save parameter setting"
inline constexpr int kExportSpeedGraph = 0x8004;  // "Export Speed graph data" (pages with a graph)
inline constexpr int kCloseWindow = 0x8005;       // "Close window"
inline constexpr int kShowAbout = 0x8008;         // sent to the owner
inline constexpr int kVersion = 0x800A;           // "Version"
inline constexpr int kRollback = 0x800D;          // "Rollback to Initial value"
}  // namespace pagemenu

class CDerivedDialog : public gui::Dialog {
public:
    using ControlMap = std::map<std::uint32_t, std::unique_ptr<CDerivedControl>>;

    static constexpr int kPwmChannels = 9;  // channels 0..8
    static constexpr int kPortLines = 34;   // ports 0..33
    static constexpr int kAdcChannels = 12;
    static constexpr int kFirstInterruptInput = 1;
    static constexpr int kInterruptInputs = 5;  // inputs 1..5
    static constexpr int kProfileSlots = 128;
    static constexpr int kMaxTitleLength = 259;
    // The first lens-actuator device: its rollback reloads the surface.
    static constexpr std::int32_t kFirstLensDevice = 0x400;

    // The empty page template with the page menu.
    static gui::DialogTemplate PageTemplate();

    CDerivedDialog();
    // A device page: the device key, its control profile (borrowed for the page's life) and
    // its name, as SetDeviceInfo takes them. The families take this constructor as theirs.
    CDerivedDialog(std::int32_t deviceKey, const std::uint16_t* profile, const QString& name);
    // Destroys the window if it still exists (running the page's destruction), then
    // deletes the record file, the status timer and the floating dialog.
    ~CDerivedDialog() override;

    // ---- the page's own operations -------------------------------------------------
    // Shows the controls again after the data store was reset. The base: 1.
    virtual int ReloadSurface();
    // The main window, which receives PageClosed, ReinitialiseBoard and the About
    // command. True for a non-zero handle.
    virtual bool SetOwnerWindow(gui::Handle owner);
    // The device key (also the page's data-store block), the page's control profile
    // (kProfileSlots words, borrowed) and the device name (at most 259 characters).
    // True when a profile was given.
    virtual bool SetDeviceInfo(std::int32_t deviceKey, const std::uint16_t* profile, const QString& name);
    // A control of this page reported a user change (ControlChanged). `word` is the
    // control's data word, -1 when it has none; an edit's value is already held to the
    // range of the slider on the same word. A locked (disabled) control's report never
    // gets here: the base refuses it and shows the stored value again. The base: 1.
    virtual int OnControlChanged(std::int32_t word, CDerivedControl* control);
    // Sizes the page's client area to the controls that sit on the page itself (their
    // largest right and bottom edges plus 10 pixels) and moves it to (0, 0); pages call
    // RestoreWindowPositions afterwards. 1.
    virtual int ResizeWindow();
    // Enables the control (kind, index): 0 when there is none, else 1 when it was
    // disabled before.
    virtual int EnableControl(std::uint32_t kind, std::uint32_t index, bool enable);
    // Every control whose data word is `word`. 1.
    virtual int EnableControlsAt(std::int32_t word, bool enable);
    // A new command that names this page as the window to notify. The caller fills it,
    // executes it with ExecuteCommand and hands it back to DeleteCommand.
    virtual CSingleCommand* CreateCommand(std::uint32_t id);
    virtual int DeleteCommand(IGuiCommand* command);
    // Gives the command its queue (normally GetTaskQueue()) and executes it. 1.
    virtual int ExecuteCommand(ITaskListener* listener, CSingleCommand* command);
    // Title "<name> Controller (USB Connected)" for state 1, "... (USB Disconnected)"
    // for anything else. 1.
    virtual int SetConnectionState(int state);
    // Window positions of the page (kind 1), the tachometer windows (kind 2, both under
    // one kind, the second saved last) and the speed-curve window (kind 3), kept in the
    // window-position profile (appServices().positions).
    virtual void SaveWindowPositions();
    // Puts the page at its stored place with its present size, then the speed windows
    // at theirs; a speed window with nothing stored goes beside the page on its right
    // (tachometers) or below the page and the tachometers (graph).
    virtual void RestoreWindowPositions();
    // The page's restore (at its build, a parameter load, a rollback): once the tasks
    // queued before are done the base asks the owner to queue the board's defaults again
    // (ReinitialiseBoard), and once those are done it calls RestoreBoard. It does not
    // wait for either here. 1.
    virtual gui::LResult RestoreDeviceData();
    // True while board set-up (RestoreBoard, or other work given to AfterQueuedTasks)
    // waits for the tasks queued before it.
    bool BoardSetUpPending() const { return !boardWork_.empty(); }
    // Runs the waiting set-up now, in order, each after the bounded blocking fence
    // (WaitForTaskQueue). The base does it before anything of the page's that may write
    // to the board: the user's press, key or wheel on the page or on any window it owns
    // (beforeOwnedInput), a command, a control's change, a tick, a second restore, a
    // connection change. A status poll tick is dropped instead, and polling that a show
    // starts waits for the set-up. A page that goes (hidden by a close, another model or
    // the board gone; destroyed) drops its waiting set-up instead: it ends its runs and
    // nothing more, a late notice finds nothing to do, and a page shown again restores.
    void CompleteBoardSetUp();
    // TaskData (0x812C) from a task the page queued. The base ignores it: 0.
    virtual gui::LResult OnTaskData(gui::WParam w, gui::LParam l);

    // ---- board forwarding -------------------------------------------------------------
    // Each goes to the board link (0 without one, else the link's result). The PWM
    // operations hand the link a copy of the record (it writes the period it computes
    // into the record it is given, and a percent duty must not be converted twice); a
    // frequency of 0 or below keeps the record's period and exponent.
    // Duty = the stored word (256 - word with bit 31 of flags), enable = bit 0.
    virtual int SetPwmFromRegister(int channel, double frequency, std::int32_t word, std::uint32_t flags);
    virtual int SetTimerChannel(int channel, const PwmChannelRecord* record, int flag);
    virtual int SetPwm(int channel, double frequency, double duty, int enable);
    virtual int WritePort(int port, std::uint32_t a, std::uint32_t b, int flag);
    virtual int SetAdcChannel(int channel, std::uint32_t a, int flag);
    virtual int SetInterruptInput(int input, std::uint32_t a, int flag);
    virtual int ReadPort(int a, int b);
    virtual int ReadAdc(int a, int b);
    virtual int ReadInterruptFlag(int a, int b);
    // The measured value (with the read flag 1), then selects 19.
    virtual int ReadMeasuredValue();
    // Fill the kept records without board traffic; null for a channel or port outside
    // the tables.
    virtual PwmChannelRecord* StorePwmSetting(int channel, double frequency, double duty, int enable);
    virtual GpioRecord* StoreChannelSetting(int index, std::uint32_t a, std::uint32_t b, std::uint32_t c);
    // Reads an analog input into data word `word`; the value read (nothing is stored for
    // a word outside the block).
    virtual int StoreAdcValue(std::int32_t word, int a, int b);
    // Interrupt inputs 1 to 3: the input's flag, or when it is 0 the inverted level of
    // port 17 + input, into data word `word`; the value. 0 for any other input.
    virtual int StoreInputLevel(std::int32_t word, int input, int b);

    // ---- the control map ---------------------------------------------------------------
    // Takes the control under `key`. Null (and the control is deleted) when the key is
    // taken, or the page is being destroyed. A control made on one of the page's speed
    // windows is hosted by it (ShowPanelControls shows it there).
    CDerivedControl* AddControl(std::uint32_t key, std::unique_ptr<CDerivedControl> control);
    CDerivedControl* FindControlByKey(std::uint32_t key) const;
    // The control of key kind << 16 | (index & 0xFFFF), or null.
    CDerivedControl* FindControl(std::uint32_t kind, std::uint32_t index) const;
    // Synchronizes the control (kind, index) with `other` when that control's data word
    // is `kind`. 1.
    int SynchronizeControl(std::uint32_t kind, std::uint32_t index, CDerivedControl* other);
    // A slider and its edit on word `kind` (indexes 0 and 1) kept together: both take the
    // value of `from`, the control the user changed. Nothing for a null `from`.
    void SyncPair(std::uint32_t kind, CDerivedControl* from);
    const ControlMap& Controls() const { return controls_; }

    // ---- data ----------------------------------------------------------------------
    // Sets the page's block back to its defaults. 1.
    int ResetData();
    // Shows every bound control's stored value again (controls bound to nothing are
    // left as they are). 0.
    int RestoreAll();
    // Shows word `kind` again in the control (kind, index); the control's Synchronize
    // result, or 0 when there is no such control.
    int Restore(std::uint32_t kind, std::uint32_t index);
    // Restore on every control but the labels (and frames and lamps), each redrawn: the
    // page shows the store again after a load or a rollback.
    void RestoreControls();
    // The window that hosts a surface's controls block of that name and the id base of
    // its controls: null or "standard" the page (1000), "floating" the floating dialog,
    // made on first use (2000), "tachometer" the first tachometer window, or the second
    // when only it exists (3000), "speedcurve" the graph window (4000); null and 0 for
    // any other name. idBase may be null.
    gui::Window* GetContainerWindow(const char* name, std::uint32_t* idBase);
    CFloatDialog* GetFloatingDialog() const;
    // The page's first tachometer window and its speed-curve window, when it made them.
    CSubDialog_Tachometer* TachometerPanel() const;
    CSubDialog_Graph* GraphPanel() const;

    // The page's colours for its controls: the frames' text colour and the edits'
    // warning colour. Also used by the floating dialog for the controls on it.
    bool AnswerControlColour(gui::Window& control, gui::ColourKind kind, gui::ColourQuery& answer);

    // WM_DESTROY's work: stops the queue's repeating tasks, saves the positions, stops
    // the timer, ends a recording, retires every control, speed window, the floating
    // dialog and the page's other windows (RetireOwnedWindows): destroyed now, freed once
    // no handler of theirs runs. Then deletes the timer and the record file. 1.
    int OnDestroyPage();

    // ---- what the page borrows and keeps --------------------------------------------
    gui::Handle GetOwnerWindow() const { return owner_; }
    std::int32_t GetDeviceKey() const { return deviceKey_; }
    const QString& GetDeviceName() const { return deviceName_; }
    // A word of the control profile; 0 for a slot outside 0..127 or no profile.
    std::uint16_t GetProfileWord(int slot) const;
    IDataContainer* GetDataContainer() const { return data_; }
    CRG1Micon* GetMicon() const { return board_; }
    ITaskListener* GetTaskQueue() const { return tasks_; }
    CTaskFactory* GetTaskFactory() const { return taskFactory_; }
    ITimer* GetStatusTimer() const;
    IExternFile* GetRecordFile() const;
    // Starts a recording in the record file; when it cannot be opened, says so with the
    // file's name and returns false (the caller unticks its switch). False with no file.
    bool StartRecordOrSay();
    // A fence on the task queue: waits, 2 s at most, until every task queued before now
    // has finished (the repeating poll and demo tasks do not count): the board's defaults
    // the main window queued before a restore. Pages that write to the board directly call it first,
    // so their frames follow the queued ones instead of racing them. False (and said in
    // the trace) when the time ran out; the caller decides.
    bool WaitForTaskQueue();
    // Data word `index` of the page's block as a number: 0 where the store has no data.
    std::uint32_t Word(int index) const;
    void SetWord(int index, std::uint32_t value);
    const gui::Font& GetPageFont() const { return pageFont_; }
    bool IsDestroyed() const { return destroyed_; }
    // The task kind of a `device_target` name; -1 for a name the table does not hold.
    std::int32_t GetTaskKind(std::string_view name) const;

    // The kept board records, by channel, port or input number; null outside the range.
    PwmChannelRecord* PwmSetting(int channel);
    GpioRecord* ChannelSetting(int port);
    AdcChannelRecord* AdcSetting(int channel);
    InterruptInputRecord* InterruptSetting(int input);  // 1..5
    I2cRecord& I2cSetting() { return i2cSetting_; }

    // ---- window layer hooks ---------------------------------------------------------
    // Connects the services and the task queue, makes the status timer and the record
    // file (once: running it again keeps them), fills the task-name table and selects
    // the page's block. Pages call it first from their own.
    bool onInitDialog() override;
    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;
    bool beforeMessage(std::uint32_t msg, gui::WParam w) override;
    // A press, key or wheel on the page or any window it owns (speed windows, the floating
    // dialog, option and test windows) finishes a waiting set-up before the window sees
    // it: the set-up restores the controls from the store and its frames go first, so the
    // user's change is made on top of it and reaches the board after it.
    void beforeOwnedInput(const gui::InputEvent& event) override;

protected:
    gui::LResult onCommand(int id, int code, gui::Handle from) override;
    bool onColourQuery(gui::Window& control, gui::ColourKind kind, gui::ColourQuery& answer) override;

    // ---- what a page fills in --------------------------------------------------------
    // The page's control profile, copied (zeros without one).
    using ProfileWords = std::array<std::uint16_t, kProfileSlots>;
    ProfileWords CopyProfile() const;
    // Builds the page once the base's set-up has run (a page's onInitDialog calls it):
    // with the board link suspended, so that what building shows sends nothing, BuildPage
    // makes the controls and windows from the profile and the speed panels' controls are
    // shown; then the link resumes, the page is sized to its controls, OpenOnBoard sets
    // the board up, the title shows the connection and the windows go to their places.
    void BuildAndRestore();
    // The family's building: controls, panels and engine parts. The base: nothing.
    virtual void BuildPage(const ProfileWords& profile);
    // The opening's board set-up: what a built page sends after the board's defaults
    // queued at the driver's choice, through AfterQueuedTasks or the queue. The base: the
    // restore (RestoreDeviceData); a family whose opening sends more adds it here.
    virtual void OpeningBoardSetUp();
    // Runs OpeningBoardSetUp as the page's opening. When the page goes before that set-up
    // is done, it is dropped with the rest; the page shown again then opens on the board
    // anew: the board's defaults asked for again, as the choice did, then this set-up.
    void OpenOnBoard();
    // The windows a page owns besides its controls and speed windows (tooltips, option
    // and test windows), held by the deferred-delete pointers (gui::WindowPtr or one that
    // deletes the same way): the page resets them here. The base calls it once, when the
    // page's window is destroyed, after the runs ended. The base: nothing.
    virtual void RetireOwnedWindows() {}
    // The title from the board link: connected or not (no link: not).
    void ShowConnectionInTitle();
    // Ends the page's runs, demos and tests and leaves the motor at rest. The base calls
    // it once when the page is closed, and when its window is destroyed without a close
    // since the page was last shown or changed (another model chosen, the board gone, the
    // program ending). After a destroy the base then waits (bounded) for the task queue,
    // so records the page queued here reach the board before the program stops the
    // queue. The base: nothing.
    virtual void EndRuns() {}
    // The board's set-up after a restore: what the page writes to the board from this
    // thread and the controls it sets from the store. The base calls it once the board's
    // defaults queued for the restore have finished. The base: nothing.
    virtual void RestoreBoard() {}
    // A tick of the status timer (SetStatusPolling): the page reads its status inputs.
    // The base: nothing.
    virtual void OnPollTimer() {}
    // Runs `work` on this thread once every task queued so far has finished (the queue
    // posts BoardSetUpDue), after set-up work given before; at once when nothing is
    // queued. A page writes to the board this way when its frames must follow queued ones.
    void AfterQueuedTasks(std::function<void()> work);
    // A change already in the store that the page takes as if its control reported it:
    // polling switched on when the page is shown, off when it is hidden. `control` may be
    // null (a page without the control still polls). The base: nothing.
    virtual void ReactToStoredChange(int kind, std::uint32_t value, CDerivedControl* control);

    // Polling runs exactly while the page is shown: on each show the base stores 1 in word
    // `kind`, shows it on the kind's controls and hands it to ReactToStoredChange; on each
    // hide (a close) it stops the status timer and does the same with 0. A page calls it
    // once it is built; until then (and with -1) showing starts nothing.
    void SetPollingKind(int kind) { pollingKind_ = kind; }
    // The status timer, the one home of its period: on starts it afresh (a 0x80C8 to the
    // page every kStatusPollMs), off stops it. A hidden page's timer is not started: its
    // next show switches polling on again, and every hide stops it.
    static constexpr std::uint32_t kStatusPollMs = 50;
    void SetStatusPolling(bool on);

    // ---- speed recording and samples -------------------------------------------------
    // The page's record switch (kind `recordKind`): "Export Speed graph data" lets the
    // record file choose its file and enables the switch when one was chosen; on a cancel
    // a page with `cancelEnds` ends the recording and disables the switch, any other keeps
    // both as they were. The switch stays disabled until a file is chosen. A page with
    // `twoChannels` records two speeds a row, under the header that names both columns.
    void SetRecordSwitch(int recordKind, bool cancelEnds, bool twoChannels = false);
    // The record switch turned on or off: on starts a recording (a file that cannot be
    // opened is said, the switch unticked and its word cleared), off ends it.
    void SwitchRecord(CDerivedControl* control, bool on);
    // One speed sample, handed to the dial (shown pps and rpm), the graph (at the present
    // sample's place) and the record file (a row of `raw` and the unrounded speeds). On a
    // page that records two channels (SetRecordSwitch's `twoChannels`: two motors) the two
    // shown values are the motors' speeds, which the digital dial shows and the row holds.
    struct SpeedSample {
        std::uint32_t raw = 0;
        double pps = 0.0;
        double rpm = 0.0;
        std::int32_t shownPps = 0;
        std::int32_t shownRpm = 0;

        static SpeedSample TwoMotors(std::int32_t first, std::int32_t second) {
            SpeedSample s;
            s.shownPps = first;
            s.shownRpm = second;
            return s;
        }
    };
    void ShowSpeedSample(const SpeedSample& sample);
    // The sample counter that places samples on the graph: 1, 2, ..., 100, then 1 again;
    // a reset puts it back to 0 (the next sample is 1).
    std::uint32_t NextSpeedSample();
    void ResetSpeedSamples() { speedSample_ = 0; }
    std::uint32_t SpeedSampleIndex() const { return speedSample_; }
    // The graph's x for the present sample: 50 ms a sample, 0 at the 100th.
    std::int32_t SpeedSampleX() const { return static_cast<std::int32_t>(speedSample_) * 50 - 5000; }

    // Shows or hides the speed windows that exist; hiding hides the floating dialog too.
    void ShowSpeedWindows(bool visible);

    // ---- speed panels ----------------------------------------------------------------
    // The page's speed windows, made (top-level, owned by the page) and kept here: the
    // first tachometer window (the dial or the digital one) and the speed-curve window.
    // Their controls' changes reach this page under `kind`. Null when the window cannot
    // be made; one made again replaces the one before.
    CSubDialog_Tachometer* MakeTachometerPanel(int kind);
    CSubDialog_DigitalTachometer* MakeDigitalTachometerPanel(int kind);
    CSubDialog_Graph* MakeGraphPanel(int kind);
    // The window a control goes on: that speed window when the page made it, else the page.
    enum class SpeedPanel { None, Tachometer, Graph };
    gui::Window* PanelOrPage(SpeedPanel panel);
    // Shows the controls made on the speed windows, each on its window.
    void ShowPanelControls();

    // Speed windows and the floating dialog, made by the pages.
    std::unique_ptr<gui::Window> firstTachometer_;
    std::unique_ptr<gui::Window> secondTachometer_;
    std::unique_ptr<gui::Window> graphWindow_;
    std::unique_ptr<gui::Window> floatingDialog_;
    // Filled by the pages as they need; not owning. Emptied with the control map.
    std::map<std::uint32_t, CDerivedControl*> secondControls_;
    std::uint32_t pageFlag_ = 0;

private:
    gui::LResult HandleControlChanged(gui::WParam w, gui::LParam l);
    void EndRunsOnce();
    // Polling on from each show, off (with the status timer) from each hide.
    void PollWhileShown(bool shown);
    void ChooseRecordFile();
    // A value typed into an edit is held to the range of the slider on its word and
    // field, and to what its field holds, before the page stores or sends it; the edit
    // then shows the held value.
    void HoldToSliderRange(CDerivedControl& control);
    CDerivedControl* ControlFromMessage(gui::LParam l) const;
    void RetireControls();
    void SaveParameters();
    void Rollback();
    // Asks the queue to tell when the first waiting work may run; runs the work that
    // need not wait.
    void AskForBoardSetUp();
    void RunFirstBoardWork();
    // The page goes: the waiting set-up is forgotten (a notice on its way finds nothing).
    void DropBoardSetUp();
    void BoardSetUpDone();

    gui::Handle owner_ = 0;
    gui::Font pageFont_;
    IDataContainer* data_ = nullptr;
    CRG1Micon* board_ = nullptr;
    ITaskListener* tasks_ = nullptr;
    CTaskFactory* taskFactory_ = nullptr;
    std::unique_ptr<CTimer> statusTimer_;
    std::unique_ptr<CPageFileNames> fileNames_;
    std::unique_ptr<IExternFile> recordFile_;
    ControlMap controls_;
    std::map<std::string, std::int32_t, std::less<>> taskNames_;
    bool destroyed_ = false;
    QString deviceName_;
    const std::uint16_t* profile_ = nullptr;
    std::int32_t deviceKey_ = -1;

    std::array<PwmChannelRecord, kPwmChannels> pwmSettings_{};
    std::array<GpioRecord, kPortLines> channelSettings_{};
    std::array<AdcChannelRecord, kAdcChannels> adcSettings_{};
    std::array<InterruptInputRecord, kInterruptInputs> interruptSettings_{};
    I2cRecord i2cSetting_{};

    // Board set-up waiting for earlier tasks, in order; the notice asked for last.
    std::deque<std::function<void()>> boardWork_;
    std::uintptr_t boardTicket_ = 0;
    bool settingUp_ = false;       // running set-up work (more given meanwhile just waits in line)
    bool pollAfterSetUp_ = false;  // shown while the set-up waited: polling starts after it
    bool setUpDropped_ = false;    // a hide dropped the set-up: the next show restores
    // The opening's set-up: not begun, waiting (given, not all run), done, or dropped by
    // a hide before it was done (the next show opens on the board anew).
    enum class Opening { NotBegun, Waiting, Done, Dropped };
    Opening opening_ = Opening::NotBegun;
    bool runsEnded_ = false;       // EndRuns ran since the page was last shown or changed
    bool shown_ = false;           // from a show's ShowWindow to the next hide's
    int pollingKind_ = -1;
    int recordKind_ = -1;
    bool recordCancelEnds_ = false;
    bool recordTwoChannels_ = false;
    std::uint32_t speedSample_ = 0;
};
