#include "stress/Soak.h"

#include <optional>
#include <sstream>

#include "app/QuillfenDlg.h"
#include "board-sim/BoardSim.h"
#include "board-sim/Chaos.h"
#include "board/RG1Micon.h"
#include "platform/core/Debug.h"
#include "stress/StressSupport.h"
#include "tasks/TaskListener.h"
#include "ui/AppServices.h"
#include "ui/DerivedDialog.h"

namespace stress {

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kBldcKey = 0x300;
constexpr std::uint32_t kStepperKey = 0x100;
constexpr std::uint16_t kMainVersion = 0x2113;
// Far above a device check and an open with its settling pauses on a loaded machine.
constexpr auto kTitleLag = std::chrono::seconds(10);

std::vector<std::vector<std::uint8_t>> Frames(const boardsim::BoardSim& sim) {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& f : sim.frames()) out.push_back(f.bytes);
    return out;
}

bool Driven(const boardsim::BoardSim& sim) { return MotorDriven(sim.portIsOutput(21), sim.portLevel(21), Frames(sim)); }

CDerivedDialog* ShownPage(CQuillfenDlg& w) {
    auto* page = dynamic_cast<CDerivedDialog*>(w.CurrentPage());
    return page != nullptr && page->exists() && page->isShown() ? page : nullptr;
}

// The stepper's clock from 100 to 1000 pps at once, running.
void RunClock(CDerivedDialog& page) {
    Change(page, 11, 0, 0);
    Change(page, 10, 0, 7);
    Change(page, 20, 0, 1);
}

class SoakRun {
public:
    SoakRun(const SoakOptions& o, boardsim::BoardSim& sim, SoakFigures& f) : o_(o), sim_(sim), f_(f) {}

    void operator()(CQuillfenDlg& w) {
        if (!WaitUntil([&] { return Connected(w); }, 10s)) {
            f_.titles = "never connected: \"" + w.text().toStdString() + "\"";
            Exit(w);
            return;
        }
        const auto began = Clock::now();
        {
            boardsim::Chaos chaos(sim_, {o_.seed, o_.faultPercent, o_.maxPlugged, o_.maxAway});
            while (Clock::now() - began < o_.duration) {
                WaitUntil([] { return false; }, 20ms);
                Step(w);
            }
            chaos.stop();
            f_.unplugs = chaos.unplugs();
            f_.faultReport = chaos.report();
        }
        f_.seconds = Ms(Clock::now() - began) / 1000.0;
        Check(w);
        Exit(w);
    }

private:
    static bool Connected(CQuillfenDlg& w) { return w.text() == mainwin::kTitleConnected; }

    void Step(CQuillfenDlg& w) {
        const auto now = Clock::now();
        WatchTitle(w, now);
        CDerivedDialog* page = ShownPage(w);
        if (page == nullptr) {
            if (!Connected(w) || now < retryAt_) return;
            CheckIdleBoard(w);
        } else if (now < phaseEnd_) {
            return;
        }
        const bool bldc = nextIsBldc_;
        page = OpenModel(w, ModelName(bldc ? kBldcKey : kStepperKey));
        platform::debugOutf("Soak: %s page %s after %llu frames\n", bldc ? "BLDC" : "stepper", page ? "open" : "not open",
                            static_cast<unsigned long long>(sim_.framesAnswered()));
        if (page == nullptr) {
            retryAt_ = now + 200ms;
            return;
        }
        if (bldc) {
            ++f_.bldcPages;  // polling runs from the show
        } else {
            ++f_.stepperPages;
            RunClock(*page);
        }
        nextIsBldc_ = !nextIsBldc_;
        phaseEnd_ = now + o_.phase;
    }

    // The title may lag the board by a device check or an open, never for long.
    void WatchTitle(CQuillfenDlg& w, Clock::time_point now) {
        const bool plugged = sim_.plugged();
        if (Connected(w) == plugged) {
            untrueSince_.reset();
        } else if (!untrueSince_) {
            untrueSince_ = now;
        } else if (now - *untrueSince_ > kTitleLag && f_.titles.empty()) {
            f_.titles = "\"" + w.text().toStdString() + "\" for " + std::to_string(static_cast<int>(Ms(now - *untrueSince_))) +
                        " ms with the board " + (plugged ? "plugged in" : "out");
        }
    }

    // Connected, no page, the board set up again: nothing may turn a motor now.
    void CheckIdleBoard(CQuillfenDlg&) {
        auto* queue = dynamic_cast<CDerivedTaskListener*>(appServices().tasks);
        if (queue == nullptr || !WaitUntil([&] { return queue->PendingTasks() == 0; }, 2s)) return;
        if (!sim_.plugged() || !f_.motor.empty() || !Driven(sim_)) return;
        f_.motor = "a motor driven with no page open, after the board came back (" +
                   std::to_string(f_.bldcPages + f_.stepperPages) + " pages in)";
    }

    void Check(CQuillfenDlg& w) {
        CRG1Micon* board = appServices().board;
        // Late replies of the last faults are due within a quarter second.
        WaitUntil([] { return false; }, 300ms);
        if (!WaitUntil([&] { return Connected(w) && board->IsConnected() == 1; }, 10s)) {
            f_.titles = "board back, but the title says \"" + w.text().toStdString() + "\"";
            return;
        }
        // A fresh request gets its own reply: a version the board never reported before.
        sim_.setMainVersion(kMainVersion + 1);
        std::uint16_t main = 0, second = 0;
        board->GetVersion(&main, &second, 1);
        sim_.setMainVersion(kMainVersion);
        if (main != kMainVersion + 1) {
            std::ostringstream s;
            s << "version read back as 0x" << std::hex << main << ", not 0x" << kMainVersion + 1;
            f_.linkAnswers = s.str();
        }
        if (CDerivedDialog* page = ShownPage(w); page != nullptr && !page->text().endsWith("(USB Connected)"))
            f_.titles = "page title \"" + page->text().toStdString() + "\" with the board there";
        sim_.unplug();
        if (!WaitUntil([&] { return w.text() == mainwin::kTitleDisconnected && ShownPage(w) == nullptr; }, 10s))
            f_.titles = "board out, but the title says \"" + w.text().toStdString() + "\"";
        sim_.replug();
        if (!WaitUntil([&] { return Connected(w); }, 10s))
            f_.titles = "board back in, but the title says \"" + w.text().toStdString() + "\"";
        // The last page opened runs until the program closes.
        if (CDerivedDialog* page = OpenModel(w, ModelName(kStepperKey))) RunClock(*page);
    }

    const SoakOptions& o_;
    boardsim::BoardSim& sim_;
    SoakFigures& f_;
    bool nextIsBldc_ = true;
    Clock::time_point phaseEnd_{};
    Clock::time_point retryAt_{};
    std::optional<Clock::time_point> untrueSince_;
};

}  // namespace

SoakFigures RunSoak(const SoakOptions& o) {
    SoakFigures f;
    boardsim::BoardSim::Options simOptions;
    simOptions.linkPath = (o.dir / "board").string();
    simOptions.log = [](const std::string&) {};
    simOptions.frameLogLimit = 20000;
    boardsim::BoardSim sim(simOptions);
    if (!sim.start()) {
        f.titles = "no simulator";
        return f;
    }
    sim.setMotor(boardsim::Motor{});
    AnswerEverything answers;
    SoakRun run(o, sim, f);
    AppOptions options = FolderAppOptions(o.dir, sim.portPath());
    options.onMainWindowOpen = [&run](CQuillfenDlg& w) { run(w); };
    CQuillfenApp app(options);
    app.InitInstance();
    if (f.motor.empty() && Driven(sim)) f.motor = "a motor still driven after the program closed";
    f.framesAnswered = sim.framesAnswered();

    for (int k = 1; k < boardsim::kFaultKinds; ++k) f.faultsInjected += sim.faultsApplied(static_cast<boardsim::Fault>(k));
    f.boxes = answers.Boxes();
    for (const auto& [caption, count] : answers.Captions()) f.boxReport += caption + ' ' + std::to_string(count) + '\n';
    sim.stop();
    return f;
}

std::string SoakFigures::Summary() const {
    std::ostringstream s;
    s << "soak: " << seconds << " s, " << framesAnswered << " frames answered, " << faultsInjected
      << " replies spoilt, " << unplugs << " unplugs; pages opened: " << bldcPages << " BLDC, " << stepperPages
      << " stepper; " << boxes << " boxes answered\n"
      << faultReport << boxReport << "link answers: " << (linkAnswers.empty() ? "yes" : linkAnswers) << "\n"
      << "titles true: " << (titles.empty() ? "yes" : titles) << "\n"
      << "no motor driven unasked: " << (motor.empty() ? "yes" : motor) << "\n";
    return s.str();
}

}  // namespace stress
