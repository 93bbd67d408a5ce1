#include "stress/CloseCycle.h"

#include <QSettings>
#include <QString>

#include "app/QuillfenDlg.h"
#include "board-sim/BoardSim.h"
#include "data/DataContainer.h"
#include "pages/bldc/BldcChanges.h"
#include "pages/bldc/BldcPage.h"
#include "pages/bldc/StartupDialog.h"
#include "parsers/AppSettings.h"
#include "stress/StressSupport.h"
#include "tasks/LensTask.h"
#include "tasks/TaskListener.h"
#include "ui/AppServices.h"

namespace stress {

namespace {

constexpr std::uint32_t kLensWord = 0x09000000;
constexpr std::uint32_t kGpioWord = 0x02000000;
constexpr int kBurstLine = 27;  // an output the BLDC page drives too (its kind 10)

// Sets the page's demo and start-up test running; what is missing, or "". No model's page
// has the demo switch, so the demo goes to the queue as the switch would send it.
std::string StartEverything(CDeviceDialog_BLDC& page, ITaskListener& tasks) {
    if (!WaitUntil([&] { return page.SampleCounter() > 0; }, std::chrono::seconds(10))) return "no poll";
    if (!Change(page, bldc::kDemo, 0, 1)) {
        const bldc::BldcCommand demo = bldc::DemoCommand(page.State().Chip(), true);
        tasks.AddTask(demo.taskWord, demo.Data(), demo.Size());
    }
    auto* test = dynamic_cast<bldc::COptionDlg_BLDCTest*>(page.TestDialog());
    if (test == nullptr || !Change(page, 15, 0, 1)) return "no start-up test";
    CDerivedControl* run = test->FindControl(7, 0);
    if (run == nullptr) return "no start-up test button";
    run->SetValue(1);
    run->NotifyParent();
    if (!test->IsRunning()) return "start-up test not running";
    return {};
}

}  // namespace

CloseCycle RunCloseCycle(const CloseCycleOptions& options) {
    CloseCycle out;
    AnswerEverything answers;
    options.sim->clearFrames();
    Clock::time_point closing{};
    std::filesystem::path settings;
    const auto inside = [&](CQuillfenDlg& w) {
        if (!WaitUntil([&] { return w.text() == mainwin::kTitleConnected; }, std::chrono::seconds(10))) {
            out.missing = "not connected";
            Exit(w);
            return;
        }
        CDeviceDialog_BLDC* page = nullptr;
        std::string seen;
        for (std::uint32_t key = options.bldcKey != 0 ? options.bldcKey : 0x300; key <= 0x308 && page == nullptr;
             ++key) {
            page = dynamic_cast<CDeviceDialog_BLDC*>(OpenModel(w, ModelName(key)));
            if (page == nullptr || page->TestDialog() == nullptr) {
                seen += QString::asprintf(" 0x%x:%s", key, page ? " no test" : " no page").toStdString();
                page = nullptr;
                if (options.bldcKey != 0) break;
            }
            if (page != nullptr) out.bldcKey = key;
        }
        out.missing = page == nullptr ? "no BLDC model with a start-up test:" + seen
                                      : StartEverything(*page, *appServices().tasks);
        ITaskListener* tasks = appServices().tasks;
        if (out.missing.empty()) {
            // The lens drive waits its time on its own thread; the close must cut it short.
            appServices().data->SetValue(CLensTask::kWordDriveTime, options.lensDriveMs);
            tasks->AddTask(kLensWord, nullptr, 0);
            for (int i = 0; i < options.gpioBurst; ++i) {
                const GpioRecord r = bldc::MakeGpioRecord(kBurstLine, 1, i & 1, 1);
                tasks->AddTask(kGpioWord, &r, sizeof r);
            }
            out.opened = true;
        }
        if (auto* queue = dynamic_cast<CDerivedTaskListener*>(tasks)) out.queuedAtClose = queue->PendingTasks();
        settings = appsettings::SettingsFilePath(options.dir, options.dir / "config");
        std::filesystem::remove(settings);
        closing = Clock::now();
        Exit(w);
    };
    AppOptions appOptions = FolderAppOptions(options.dir, options.sim->portPath());
    appOptions.onMainWindowOpen = inside;
    CQuillfenApp app(appOptions);
    app.InitInstance();
    out.closeMs = closing == Clock::time_point{} ? 0.0 : Ms(Clock::now() - closing);

    if (!std::filesystem::exists(settings)) {
        out.settingsProblem = "no settings file at " + settings.string();
    } else {
        QSettings s(QString::fromStdString(settings.string()), QSettings::IniFormat);
        if (s.status() != QSettings::NoError || !s.contains(QStringLiteral("WindowPosition/mainWindow.left")))
            out.settingsProblem = "settings file without the main window's position";
    }
    out.settingsWritten = out.settingsProblem.empty();
    std::vector<std::vector<std::uint8_t>> frames;
    for (const auto& f : options.sim->frames()) frames.push_back(f.bytes);
    out.motorLeftDriven = MotorDriven(options.sim->portIsOutput(21), options.sim->portLevel(21), frames);
    return out;
}

}  // namespace stress
