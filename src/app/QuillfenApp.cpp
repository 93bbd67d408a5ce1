#include "app/QuillfenApp.h"

#include <QGuiApplication>
#include <QTimer>
#include <new>
#include <system_error>

#include "app/AboutDlg.h"
#include "app/EndSignals.h"
#include "app/FileDialogNames.h"
#include "app/OSVersionInfo.h"
#include "app/PagePositions.h"
#include "app/QuillfenDlg.h"
#include "app/SingleInstance.h"
#include "board/NativeTranslator.h"
#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "parsers/AppSettings.h"
#include "platform/core/BoardPorts.h"
#include "platform/core/Debug.h"
#include "platform/gui/Application.h"
#include "platform/gui/CommonDialogs.h"
#include "tasks/TaskListener.h"
#include "ui/AppServices.h"

#ifndef TAMSIRO_PRODUCT_VERSION
#define TAMSIRO_PRODUCT_VERSION ""
#endif

namespace {

constexpr const char* kAlreadyRunningText =
    "Tamsiro is already running.\n\nIf running by different user account, please terminate after change to User "
    "account to corresponding.\nOtherwise, to press 'OK' button will be visible.";
constexpr const char* kAlreadyRunningCaption = "Error: Already running";
constexpr const char* kCtrlText =
    "Tamsiro has detected Startup state with Ctrl key pressed.\nThis will skip positional information restoration.";
constexpr const char* kCtrlCaption = "Tamsiro startup Information";

}  // namespace

AppOptions FolderAppOptions(const std::filesystem::path& dir, const std::string& boardPort) {
    AppOptions o;
    o.programDir = dir;
    o.configHome = dir / "config";
    o.ctrlHeld = [] { return false; };
    o.makeBoardLink = [boardPort] {
        return std::make_unique<CRG1Micon>(std::make_unique<CNativeTranslator>(
            kBoardPortClass, std::make_shared<platform::PathBoardLocator>(boardPort)));
    };
    o.watchLocator = std::make_shared<platform::PathBoardLocator>(boardPort);
    o.watchPoll = std::chrono::milliseconds(20);
    return o;
}

CQuillfenApp::CQuillfenApp(AppOptions options) : options_(std::move(options)) {}

CQuillfenApp::~CQuillfenApp() = default;

IDataContainer* CQuillfenApp::GetDataContainer() const { return data_.get(); }
ITaskListener* CQuillfenApp::GetTaskListener() const { return tasks_.get(); }

int CQuillfenApp::Trace(const char* /*text*/) const { return 1; }

XmlLoadResult CQuillfenApp::LoadXmlSurface(int slot, const void* data, std::size_t size, const std::string& name) {
    return surfaces_.LoadXmlSurface(slot, data, size, name);
}
int CQuillfenApp::StoreXmlSurface(int slot, const std::string& name) { return surfaces_.StoreXmlSurface(slot, name); }
const CDerivedXmlElement* CQuillfenApp::GetXmlSurface() const { return surfaces_.GetXmlSurface(); }
int CQuillfenApp::ReleaseXmlSurface(const std::string& name) { return surfaces_.ReleaseXmlSurface(name); }

std::string CQuillfenApp::GetProductVersion() { return TAMSIRO_PRODUCT_VERSION; }

void CQuillfenApp::OnShowRequest() {
    platform::debugOut("Tamsiro: a later start asked this instance to come to the front\n");
    if (mainWindow_ != nullptr && mainWindow_->exists()) mainWindow_->BringToFront();
}

void CQuillfenApp::OnEndSignal(int signal) {
    // Ends as a close does, without the save question: nobody may be there to answer
    // it. Every modal loop ends, the main window's too; shutdown then runs as usual.
    platform::debugOutf("Tamsiro: signal %d: ending\n", signal);
    if (endSignal_ == 0) endSignal_ = signal;
    gui::Application::postQuit(0);
}

bool CQuillfenApp::CreateServices() {
    try {
        fileNames_ = std::make_unique<CFileDialogNames>();
        data_ = std::make_unique<CDerivedDataContainer>(fileNames_.get());
        // The queue's worker starts here; the main window becomes its notify window
        // with its first command.
        tasks_ = std::make_unique<CDerivedTaskListener>(0);
        board_ = options_.makeBoardLink ? options_.makeBoardLink() : std::make_unique<CRG1Micon>();
        osInfo_ = std::make_unique<COSVersionInfo>();
        about_ = std::make_unique<CAboutDlg>();
        settings_ = std::make_unique<CSettingsStore>();
        profile_ = std::make_unique<CProfileInfo>(settings_.get());
    } catch (const std::exception& e) {
        platform::debugOutf("Tamsiro: cannot create the shared objects: %s\n", e.what());
        return false;
    }
    return board_ != nullptr;
}

int CQuillfenApp::InitInstance() {
    alreadyRunning_ = false;
    ctrlHeld_ = false;
    endSignal_ = 0;
    // From here on a termination request ends the program in order.
    endSignals_ = std::make_unique<CEndSignals>([this](int signal) { OnEndSignal(signal); });
    const std::filesystem::path programDir =
        options_.programDir.empty() ? appsettings::ProgramDir() : options_.programDir;
    const std::filesystem::path configHome =
        options_.configHome.empty() ? appsettings::ConfigHome() : options_.configHome;
    settingsFile_ = appsettings::SettingsFilePath(programDir, configHome);
    platform::debugOutf("Tamsiro: settings file %s\n", settingsFile_.c_str());

    // One instance per settings file: the lock lives beside it.
    instance_ = std::make_unique<CSingleInstance>(settingsFile_.parent_path() / kLockFileName);
    switch (instance_->Acquire()) {
        case CSingleInstance::Result::AlreadyRunning:
            alreadyRunning_ = true;
            platform::debugOutf("%s: %s\n", kAlreadyRunningCaption, kAlreadyRunningText);
            gui::messageBox(nullptr, QString::fromLatin1(kAlreadyRunningText),
                            QString::fromLatin1(kAlreadyRunningCaption));
            if (!instance_->RequestShow()) platform::debugOut("Tamsiro: the running instance did not answer\n");
            instance_.reset();
            endSignals_.reset();
            return 0;
        case CSingleInstance::Result::First:
            instance_->Listen([this] { OnShowRequest(); });
            break;
        case CSingleInstance::Result::Unguarded:
            break;
    }

    if (!CreateServices()) {
        gui::messageBox(nullptr, QStringLiteral("Tamsiro cannot start: not enough memory."), QStringLiteral("Tamsiro"),
                        gui::MessageButtons::Ok, gui::MessageIcon::Error);
        Shutdown(nullptr);
        endSignals_.reset();
        return 0;
    }
    AppServices shared;
    shared.data = data_.get();
    shared.tasks = tasks_.get();
    shared.board = board_.get();
    shared.surfaces = &surfaces_;
    shared.positions = PagePositions(profile_.get());
    appServices() = shared;

    XmlInitialize();
    board_->SetTimeoutMode(1);
    settings_->SetPath(settingsFile_);
    fileNames_->SetSettings(settings_.get());

    ctrlHeld_ = options_.ctrlHeld ? options_.ctrlHeld()
                                  : (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != Qt::NoModifier;
    if (ctrlHeld_) {
        gui::messageBox(nullptr, QString::fromLatin1(kCtrlText), QString::fromLatin1(kCtrlCaption),
                        gui::MessageButtons::Ok, gui::MessageIcon::Information);
    } else {
        profile_->Load();
    }

    // Without what the system says of itself the About box leaves its rows out.
    if (osInfo_->Query(ReadSystemFacts()) == 1) about_->SetOSVersionInfo(osInfo_.get());
    const std::string version = GetProductVersion();
    about_->SetVersion(version.c_str(), 32);
    about_->SetBoardLink(board_.get());

    CQuillfenDlg::Services services;
    services.board = board_.get();
    services.tasks = tasks_.get();
    services.data = data_.get();
    services.profile = profile_.get();
    services.about = about_.get();
    services.watchLocator = options_.watchLocator
                                ? options_.watchLocator
                                : std::shared_ptr<platform::IBoardLocator>(platform::makeSystemBoardLocator());
    services.watchPoll = options_.watchPoll;
    auto mainWindow = std::make_unique<CQuillfenDlg>(std::move(services));
    mainWindow_ = mainWindow.get();
    fileNames_->SetOwnerSource([this] { return mainWindow_ != nullptr ? mainWindow_->handle() : gui::Handle{0}; });
    if (options_.onMainWindowOpen) {
        QTimer::singleShot(0, [this] {
            if (mainWindow_ != nullptr && mainWindow_->isRunningModal()) options_.onMainWindowOpen(*mainWindow_);
        });
    }
    mainWindow->doModal(nullptr);
    // A quit posted by a signal has done its work once the main loop has ended.
    if (gui::Application::quitPosted()) gui::Application::clearQuit();

    Shutdown(mainWindow.get());
    mainWindow_ = nullptr;
    mainWindow.reset();
    endSignals_.reset();
    platform::debugOut("Tamsiro: shutdown complete\n");
    return 0;
}

void CQuillfenApp::Shutdown(CQuillfenDlg* mainWindow) {
    if (fileNames_) fileNames_->SetSettings(nullptr);
    // The main window stored its position when its window closed.
    if (profile_) profile_->Save();
    about_.reset();
    // Pages and tasks must not reach services that are going away.
    appServices() = AppServices{};
    // The queue stops its polling and demo tasks, drops work not yet started and joins
    // its threads, all of which use the board link and the data store.
    tasks_.reset();
    data_.reset();
    osInfo_.reset();
    profile_.reset();
    settings_.reset();
    board_.reset();
    fileNames_.reset();
    XmlUninitialize();
    if (mainWindow != nullptr) mainWindow->ClearDeviceLists();
    instance_.reset();
}
