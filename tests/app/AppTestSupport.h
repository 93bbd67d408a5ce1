// Helpers for the application shell's tests: temporary folders, the main window over a
// board link (the simulator's, or one to a port that does not exist), and a page
// selector whose pages record what the main window tells them.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/AppSettings.h"
#include "app/DialogSelector.h"
#include "app/FileDialogNames.h"
#include "app/ProfileInfo.h"
#include "app/QuillfenDlg.h"
#include "board-sim/BoardSim.h"
#include "board/NativeTranslator.h"
#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "platform/core/BoardPorts.h"
#include "platform/core/Clock.h"
#include "platform/gui/Controls.h"
#include "platform/gui/GuiTestSupport.h"
#include "tasks/TaskListener.h"

namespace apptest {

using Bytes = std::vector<std::uint8_t>;

inline std::filesystem::path UniquePath(const std::string& name) {
    static std::atomic<int> counter{0};
    return std::filesystem::temp_directory_path() /
           (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
}

// A folder that is removed with everything in it.
struct TempDir {
    explicit TempDir(const std::string& name = "tamsiro-app") : path(UniquePath(name)) {
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path;
};

// The simulator, in-process, behind a link path that comes and goes with its plug.
struct Sim {
    Sim() {
        boardsim::BoardSim::Options o;
        o.linkPath = UniquePath("tamsiro-app-board").string();
        o.log = [](const std::string&) {};
        sim = std::make_unique<boardsim::BoardSim>(o);
        started = sim->start();
        path = o.linkPath;
    }
    std::vector<Bytes> Frames() const {
        std::vector<Bytes> out;
        for (const auto& f : sim->frames()) out.push_back(f.bytes);
        return out;
    }
    std::unique_ptr<boardsim::BoardSim> sim;
    std::string path;
    bool started = false;
};

// A page that records every message it gets, into a log that outlives it.
struct PageMessage {
    int page;  // which page (1 = the first made)
    std::uint32_t msg;
    gui::WParam w;
};

class RecordingPage : public gui::Dialog {
public:
    RecordingPage(int number, std::vector<PageMessage>* log) : gui::Dialog(PageTemplate()), number_(number), log_(log) {}
    static gui::DialogTemplate PageTemplate() {
        gui::DialogTemplate t;
        t.caption = QStringLiteral("page");
        t.size = QSize(60, 40);
        return t;
    }
    gui::LResult windowProc(std::uint32_t m, gui::WParam w, gui::LParam l) override {
        if (m >= gui::msg::FirstPrivate) log_->push_back({number_, m, w});
        return gui::Dialog::windowProc(m, w, l);
    }

private:
    int number_;
    std::vector<PageMessage>* log_;
};

// Makes a recording page for every device (the real selector has no page classes yet).
class RecordingSelector : public ISelector {
public:
    explicit RecordingSelector(std::vector<PageMessage>* log) : log_(log) {}
    ~RecordingSelector() override { DeleteDialogPointer(); }
    gui::Dialog* GetDialogPointer(gui::Window*, std::uint32_t kind, std::uint32_t index, const QString& name) override {
        DeleteDialogPointer();
        requests.push_back({kind, index, name});
        page_ = std::make_unique<RecordingPage>(++made, log_);
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
    struct Request {
        std::uint32_t kind;
        std::uint32_t index;
        QString name;
    };
    std::vector<Request> requests;
    int made = 0;
    int deleted = 0;

private:
    std::vector<PageMessage>* log_;
    std::unique_ptr<RecordingPage> page_;
};

using SpyMainWindow = guitest::Spy<CQuillfenDlg>;

// The main window with the real data store, task queue and board link. Sleeps go to a
// manual clock, so the board's open and the init pauses cost no time.
struct Rig {
    // `portPath` is the board's port (a path that does not exist: no board).
    explicit Rig(const std::string& portPath, bool recordPages = false) {
        scope = std::make_unique<platform::ScopedClock>(clock);
        data = std::make_unique<CDerivedDataContainer>(&names);
        tasks = std::make_unique<CDerivedTaskListener>(0);
        locator = std::make_shared<platform::PathBoardLocator>(portPath);
        board = std::make_unique<CRG1Micon>(std::make_unique<CNativeTranslator>(kBoardPortClass, locator));
        profile = std::make_unique<CProfileInfo>(&settings);
        CQuillfenDlg::Services s;
        s.board = board.get();
        s.tasks = tasks.get();
        s.data = data.get();
        s.profile = profile.get();
        s.watchLocator = locator;
        s.watchPoll = std::chrono::milliseconds(10);
        if (recordPages) {
            s.makeSelector = [this] {
                auto selector = std::make_unique<RecordingSelector>(&pageLog);
                pages = selector.get();
                return selector;
            };
        }
        window = std::make_unique<SpyMainWindow>(std::move(s));
        names.SetOwnerSource([this] { return window ? window->handle() : gui::Handle{0}; });
    }
    ~Rig() {
        window.reset();
        tasks.reset();
        board.reset();
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

    void ChooseMotorType(int selection) {
        window->itemAs<gui::ComboBox>(mainwin::kMotorTypeList)->setCurSel(selection);
        window->send(gui::msg::Command, gui::makeWParam(mainwin::kMotorTypeList, gui::notify::ComboSelectionChange), 0);
    }
    void ChooseDriver(int selection) {
        window->itemAs<gui::ComboBox>(mainwin::kDriverList)->setCurSel(selection);
        window->send(gui::msg::Command, gui::makeWParam(mainwin::kDriverList, gui::notify::ComboSelectionChange), 0);
    }
    // Chooses the driver with this display name under the motor type of its kind.
    bool ChooseDriverNamed(const std::string& name) {
        for (const auto& e : devicetable::FullList()) {
            if (e.name != name) continue;
            ChooseMotorType(static_cast<int>(devicetable::Kind(e.code)));
            const auto& shown = window->ShownDevices();
            for (std::size_t i = 0; i < shown.size(); ++i) {
                if (shown[i].name == name) {
                    ChooseDriver(static_cast<int>(i));
                    return true;
                }
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
    std::unique_ptr<platform::ScopedClock> scope;
    CFileDialogNames names;
    std::unique_ptr<CDerivedDataContainer> data;
    std::unique_ptr<CDerivedTaskListener> tasks;
    std::shared_ptr<platform::PathBoardLocator> locator;
    std::unique_ptr<CRG1Micon> board;
    CSettingsStore settings;
    std::unique_ptr<CProfileInfo> profile;
    std::vector<PageMessage> pageLog;
    RecordingSelector* pages = nullptr;
    std::unique_ptr<SpyMainWindow> window;
};

inline std::string NoBoard() { return UniquePath("tamsiro-no-board").string(); }

}  // namespace apptest
