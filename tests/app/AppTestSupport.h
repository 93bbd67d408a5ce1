// Helpers for the application shell's tests: settings files, dialogs that fail the test
// on any box it did not script, the main window over a board link (to the simulator, or
// to a port that does not exist), and a page selector whose pages record what the main
// window tells them.
#pragma once

#include <unistd.h>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/AboutDlg.h"
#include "app/DialogSelector.h"
#include "app/FileDialogNames.h"
#include "app/FirmwareUpdateDlg.h"
#include "app/QuillfenApp.h"
#include "app/QuillfenDlg.h"
#include "board/BootLoader.h"
#include "board/LoaderChannel.h"
#include "board/NativeTranslator.h"
#include "board/RG1Micon.h"
#include "board/SimLink.h"
#include "data/DataContainer.h"
#include "data/FileTestSupport.h"
#include "parsers/AppSettings.h"
#include "parsers/ProfileInfo.h"
#include "platform/core/BoardPorts.h"
#include "platform/core/Clock.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Controls.h"
#include "platform/gui/GuiTestSupport.h"
#include "surface/XmlModule.h"
#include "tasks/RecordingQueue.h"
#include "tasks/TaskListener.h"

namespace apptest {

inline std::string NoBoard() { return UniqueLinkPath("tamsiro-no-board"); }

// The link's boot loader at the simulator's loader path. Its search is bounded well above
// the time the simulator takes to offer the loader on a loaded machine; a loader that
// never comes costs that bound once.
inline void UseLoader(CRG1Micon& link, const std::string& loaderPath,
                      LoaderSearchTiming search = LoaderSearchTiming{20, 10000}) {
    link.SetBootLoader(std::make_unique<CBootLoader>(std::make_unique<CSocketLoaderChannel>(loaderPath), search));
}

// The application's options for a run in `dir` with the board at `port`; `inside` runs
// once the main window is open.
inline AppOptions Options(const std::filesystem::path& dir, bool ctrl, std::function<void(CQuillfenDlg&)> inside,
                          const std::string& port = NoBoard()) {
    AppOptions o = FolderAppOptions(dir, port);
    o.ctrlHeld = [ctrl] { return ctrl; };
    o.onMainWindowOpen = std::move(inside);
    return o;
}

// What answers a message box or file dialog that no test scripted: the test fails,
// naming the box, and the box is answered at once (Cancel, or OK for a box with only
// OK), so no test can hang on a real dialog. Installed for the whole run.
class UnexpectedDialogs final : public gui::IMessageBoxProvider, public gui::IFileDialogProvider {
public:
    static UnexpectedDialogs& Instance() {
        static UnexpectedDialogs instance;
        return instance;
    }
    static void Install() {
        gui::setMessageBoxProvider(&Instance());
        gui::setFileDialogProvider(&Instance());
    }
    int show(const gui::MessageBoxRequest& r) override {
        ADD_FAILURE() << "unexpected message box [" << r.caption.toStdString() << "] " << r.text.toStdString();
        return r.buttons == gui::MessageButtons::Ok ? gui::id::Ok : gui::id::Cancel;
    }
    QString choose(const gui::FileDialogRequest& r) override {
        ADD_FAILURE() << "unexpected file dialog " << r.title.toStdString();
        return {};
    }
};

// Scripted answers for one stretch of a test; when it goes, unexpected dialogs fail
// the test again.
class Dialogs {
public:
    Dialogs() = default;
    ~Dialogs() {
        script_.reset();
        UnexpectedDialogs::Install();
    }
    Dialogs(const Dialogs&) = delete;
    Dialogs& operator=(const Dialogs&) = delete;

    void answerBox(int result) { script_->answerBox(result); }
    void answerFile(const QString& path) { script_->answerFile(path); }
    const std::vector<gui::MessageBoxRequest>& boxes() const { return script_->boxes(); }
    const std::vector<gui::FileDialogRequest>& fileDialogs() const { return script_->fileDialogs(); }

private:
    std::unique_ptr<gui::ScriptedDialogs> script_ = std::make_unique<gui::ScriptedDialogs>();
};

// A settings file with every window position key (mainWindow and deviceWindow: left and
// top; tachometer and speedCurve: all four), changed as given ("" leaves a key out).
inline void WritePositions(const std::filesystem::path& ini, const std::map<std::string, std::string>& changes = {}) {
    std::map<std::string, std::string> keys = {
        {"mainWindow.left", "100"},  {"mainWindow.top", "50"},     {"deviceWindow.left", "300"},
        {"deviceWindow.top", "60"},  {"tachometer.left", "10"},    {"tachometer.top", "20"},
        {"tachometer.right", "110"}, {"tachometer.bottom", "120"}, {"speedCurve.left", "30"},
        {"speedCurve.top", "40"},    {"speedCurve.right", "230"},  {"speedCurve.bottom", "240"}};
    for (const auto& [key, value] : changes) keys[key] = value;
    std::ofstream out(ini);
    out << "[WindowPosition]\n";
    for (const auto& [key, value] : keys) {
        if (!value.empty()) out << key << "=" << value << "\n";
    }
}

// The names of the models of these kinds, in table order.
inline std::vector<std::string> ModelNames(std::uint32_t firstKind = 1, std::uint32_t lastKind = 4) {
    std::vector<std::string> out;
    for (const auto& e : devicetable::FullList()) {
        if (devicetable::Kind(e.code) >= firstKind && devicetable::Kind(e.code) <= lastKind) out.push_back(e.name);
    }
    return out;
}

// Each frame named by its letter, and by its sub-code for the second controller's frames.
inline std::vector<std::string> Names(const std::vector<Bytes>& frames) {
    std::vector<std::string> out;
    for (const auto& f : frames) {
        out.emplace_back(1, static_cast<char>(f[0]));
        if (f[0] == '8' && f.size() > 1) out.back() += std::to_string(f[1]);
    }
    return out;
}

// The frames of a board initialisation after a new connection: the open's control
// frame, the GPIO defaults (direction frame, level frame and its read-back, the high
// ports and their read-back), the PWM defaults (low group, high group), and the read of
// lines 16 and 17.
inline const std::vector<std::string> kInitAfterConnect = {"C", "C", "E", "E", "83", "819", "P", "82", "E"};

// What the pages were told: the private messages and their wParam, in order.
using PageLog = std::vector<std::pair<std::uint32_t, gui::WParam>>;

class RecordingPage : public gui::Dialog {
public:
    explicit RecordingPage(PageLog* log) : gui::Dialog(PageTemplate()), log_(log) {}
    static gui::DialogTemplate PageTemplate() {
        gui::DialogTemplate t;
        t.caption = QStringLiteral("page");
        t.size = QSize(60, 40);
        return t;
    }
    gui::LResult windowProc(std::uint32_t m, gui::WParam w, gui::LParam l) override {
        if (m >= gui::msg::FirstPrivate) log_->emplace_back(m, w);
        return gui::Dialog::windowProc(m, w, l);
    }

private:
    PageLog* log_;
};

// Makes a recording page for every device (the real selector has no page classes yet).
class RecordingSelector : public ISelector {
public:
    explicit RecordingSelector(PageLog* log) : log_(log) {}
    ~RecordingSelector() override { DeleteDialogPointer(); }
    gui::Dialog* GetDialogPointer(gui::Window*, std::uint32_t, std::uint32_t, const QString& name) override {
        DeleteDialogPointer();
        names.push_back(name);
        page_ = std::make_unique<RecordingPage>(log_);
        page_->createModeless(nullptr);
        return page_.get();
    }
    int DeleteDialogPointer() override {
        if (!page_) return 0;
        page_->destroy();
        page_.reset();
        ++deleted;
        return 1;
    }
    std::vector<QString> names;  // of the devices pages were made for
    int deleted = 0;

private:
    PageLog* log_;
    std::unique_ptr<RecordingPage> page_;
};

// The main window with the real data store, task queue and board link (destroyed in the
// reverse order: the window, then the queue, then the link). Sleeps go to a manual
// clock, so the board's open and the init pauses cost no time.
struct Rig {
    // `portPath` is the board's port (a path that does not exist: no board); the watch
    // looks for it every `poll`.
    explicit Rig(const std::string& portPath, bool recordPages = false,
                 std::chrono::milliseconds poll = std::chrono::milliseconds(10))
        : locator(std::make_shared<platform::PathBoardLocator>(portPath)),
          board(std::make_unique<CNativeTranslator>(kBoardPortClass, locator)) {
        XmlInitialize();  // as the application does before its main window: the lens pages read surfaces
        CQuillfenDlg::Services s;
        s.board = &board;
        s.tasks = &timed;
        s.data = &data;
        s.profile = &profile;
        s.about = &about;
        about.SetBoardLink(&board);
        s.watchLocator = locator;
        s.watchPoll = poll;
        s.makeUpdateDialog = [this](CRG1Micon* link) {
            auto dialog = gui::makeWindow<CFirmwareUpdateDlg>(link);
            if (updateTiming) dialog->SetTiming(*updateTiming);
            return dialog;
        };
        if (recordPages) {
            s.makeSelector = [this] {
                auto selector = std::make_unique<RecordingSelector>(&pageLog);
                pages = selector.get();
                return selector;
            };
        }
        window = std::make_unique<guitest::Spy<CQuillfenDlg>>(std::move(s));
        names.SetOwnerSource([this] { return window ? window->handle() : gui::Handle{0}; });
    }

    // Runs the main window modally; `inside` runs once its loop runs. A watchdog ends
    // it after `limitMs`.
    int RunModal(const std::function<void(CQuillfenDlg&)>& inside, int limitMs = 5000) {
        QTimer::singleShot(0, [this, inside] { inside(*window); });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] { window->endDialog(-99); });
        watchdog.start(limitMs);
        return window->doModal(nullptr);
    }

    bool Open() { return window->createModeless(nullptr); }

    void Choose(int list, int selection) {
        window->itemAs<gui::ComboBox>(list)->setCurSel(selection);
        window->send(gui::msg::Command,
                     gui::makeWParam(static_cast<std::uint16_t>(list), gui::notify::ComboSelectionChange), 0);
    }
    void ChooseMotorType(int selection) { Choose(mainwin::kMotorTypeList, selection); }
    void ChooseDriver(int selection) { Choose(mainwin::kDriverList, selection); }
    // Chooses the driver with this display name under the motor type of its kind.
    bool ChooseDriverNamed(const std::string& name) {
        for (const auto& e : devicetable::FullList()) {
            if (e.name != name) continue;
            ChooseMotorType(static_cast<int>(devicetable::Kind(e.code)));
            const auto& shown = window->ShownDevices();
            for (std::size_t i = 0; i < shown.size(); ++i) {
                if (shown[i].name != name) continue;
                ChooseDriver(static_cast<int>(i));
                return true;
            }
        }
        return false;
    }
    void Command(int id) {
        window->send(gui::msg::Command, gui::makeWParam(static_cast<std::uint16_t>(id), gui::notify::ButtonClicked), 0);
    }
    std::vector<std::string> DriverTexts() const {
        std::vector<std::string> out;
        auto* combo = window->itemAs<gui::ComboBox>(mainwin::kDriverList);
        for (int i = 0; i < combo->count(); ++i) out.push_back(combo->itemText(i).value_or(QString()).toStdString());
        return out;
    }
    bool OkEnabled() const { return window->item(gui::id::Ok)->isEnabled(); }
    QString Title() const { return window->text(); }

    platform::ManualClock clock;
    platform::ScopedClock scope{clock};
    CFileDialogNames names;
    CDerivedDataContainer data{&names};
    std::shared_ptr<platform::PathBoardLocator> locator;
    CRG1Micon board;
    CDerivedTaskListener tasks{0};
    RecordingQueue timed{&tasks};  // what the main window queues, and when
    CSettingsStore settings;
    CProfileInfo profile{&settings};
    PageLog pageLog;
    RecordingSelector* pages = nullptr;
    std::optional<CFirmwareUpdateDlg::Timing> updateTiming;  // the update dialog's, when set
    CAboutDlg about;                                         // borrowed by the window, so it goes after it
    std::unique_ptr<guitest::Spy<CQuillfenDlg>> window;
};

}  // namespace apptest
