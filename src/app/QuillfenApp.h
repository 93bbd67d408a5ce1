// The application object: start-up (one instance, the shared services, the settings
// file, the saved window positions), the main window's modal loop, and shutdown in an
// order that stops every worker before what it uses is destroyed.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "surface/XmlModule.h"

class CAboutDlg;
class CDerivedDataContainer;
class CEndSignals;
class CDerivedTaskListener;
class CFileDialogNames;
class COSVersionInfo;
class CProfileInfo;
class CQuillfenDlg;
class CRG1Micon;
class CSettingsStore;
class CSingleInstance;
class IDataContainer;
class ITaskListener;

namespace platform {
class IBoardLocator;
}

// What a test may choose instead of the running system. The program itself uses the
// defaults.
struct AppOptions {
    // The folder whose "Tamsiro.ini" is used when it is there (a portable install);
    // empty: the folder of the running program.
    std::filesystem::path programDir;
    // The user's configuration folder, whose Tamsiro/ holds the settings file
    // otherwise; empty: $XDG_CONFIG_HOME, else ~/.config.
    std::filesystem::path configHome;
    // Whether Ctrl is held at start; empty: asks the keyboard.
    std::function<bool()> ctrlHeld;
    // The board link; empty: the link over the system's board port.
    std::function<std::unique_ptr<CRG1Micon>()> makeBoardLink;
    // What the main window watches for board arrival and removal; null: the system's
    // board ports.
    std::shared_ptr<platform::IBoardLocator> watchLocator;
    std::chrono::milliseconds watchPoll{1000};
    // Runs once the main window's loop runs.
    std::function<void(CQuillfenDlg&)> onMainWindowOpen;
};

// Options for a run kept to one folder: the settings in `dir` (portable) or `dir`/config,
// Ctrl not held, and the board at `boardPort` (a path that need not exist), watched every
// 20 ms. For runs that must not touch the user's settings or ports: tests, the soak.
AppOptions FolderAppOptions(const std::filesystem::path& dir, const std::string& boardPort);

class CQuillfenApp {
public:
    explicit CQuillfenApp(AppOptions options = {});
    ~CQuillfenApp();
    CQuillfenApp(const CQuillfenApp&) = delete;
    CQuillfenApp& operator=(const CQuillfenApp&) = delete;

    // Runs the program from the instance check to the end of shutdown. Returns 0 on
    // every path; the process ends when it returns.
    int InitInstance();

    // The shared services, owned here; null outside InitInstance.
    IDataContainer* GetDataContainer() const;
    ITaskListener* GetTaskListener() const;
    CRG1Micon* GetRG1Micon() const { return board_.get(); }
    CProfileInfo* GetProfileInfo() const { return profile_.get(); }
    const COSVersionInfo* GetOSVersionInfo() const { return osInfo_.get(); }
    CQuillfenDlg* GetMainWindow() const { return mainWindow_; }
    CAboutDlg* GetAboutBox() const { return about_.get(); }

    // Does nothing; methods report their entry and end here. Returns 1.
    int Trace(const char* text) const;

    // The XML surfaces the XML-surface page uses (slots name documents of the XML
    // module).
    XmlLoadResult LoadXmlSurface(int slot, const void* data, std::size_t size, const std::string& name);
    int StoreXmlSurface(int slot, const std::string& name);
    const CDerivedXmlElement* GetXmlSurface() const;
    int ReleaseXmlSurface(const std::string& name);

    // The program's own version text ("0.1.0").
    static std::string GetProductVersion();

    // --- what the last InitInstance found ---
    bool WasAlreadyRunning() const { return alreadyRunning_; }
    bool StartedWithCtrl() const { return ctrlHeld_; }
    // The signal that ended the last run (SIGTERM, SIGINT, SIGHUP), or 0.
    int EndedBySignal() const { return endSignal_; }
    const std::filesystem::path& SettingsFile() const { return settingsFile_; }

    static constexpr const char* kLockFileName = "Tamsiro.lock";

private:
    void OnShowRequest();
    void OnEndSignal(int signal);
    bool CreateServices();
    void Shutdown(CQuillfenDlg* mainWindow);

    AppOptions options_;
    std::unique_ptr<CEndSignals> endSignals_;
    std::unique_ptr<CSingleInstance> instance_;
    std::unique_ptr<CFileDialogNames> fileNames_;
    std::unique_ptr<CDerivedDataContainer> data_;
    std::unique_ptr<CDerivedTaskListener> tasks_;
    std::unique_ptr<CRG1Micon> board_;
    std::unique_ptr<COSVersionInfo> osInfo_;
    std::unique_ptr<CAboutDlg> about_;
    std::unique_ptr<CSettingsStore> settings_;
    std::unique_ptr<CProfileInfo> profile_;
    CXmlSurfaceSlots surfaces_;
    CQuillfenDlg* mainWindow_ = nullptr;
    std::filesystem::path settingsFile_;
    bool alreadyRunning_ = false;
    bool ctrlHeld_ = false;
    int endSignal_ = 0;
};
