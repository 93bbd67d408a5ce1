// The one modal run of the layer: our dialogs, message boxes and file dialogs.
#include <QEventLoop>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "platform/gui/Application.h"
#include "platform/gui/Internal.h"
#include "platform/gui/Window.h"

namespace gui::detail {

namespace {

// A running modal loop and the window that owns it; GUI thread only.
struct OwnedRun {
    Handle owner = 0;
    QEventLoop* loop = nullptr;
    bool ownerGone = false;
    QPointer<QWidget> dialog;  // once shown
};

std::vector<OwnedRun*>& ownedRuns() {
    static std::vector<OwnedRun*> runs;
    return runs;
}

// Registers a run for its lifetime.
class OwnedRunEntry {
public:
    explicit OwnedRunEntry(OwnedRun* run) : run_(run) { ownedRuns().push_back(run); }
    ~OwnedRunEntry() {
        auto& runs = ownedRuns();
        runs.erase(std::remove(runs.begin(), runs.end(), run_), runs.end());
    }
    OwnedRunEntry(const OwnedRunEntry&) = delete;
    OwnedRunEntry& operator=(const OwnedRunEntry&) = delete;

private:
    OwnedRun* run_;
};

QWidget* topLevelOf(Window* w) { return w != nullptr && w->widget() != nullptr ? w->widget()->window() : nullptr; }

}  // namespace

void endModalRunsOwnedBy(Handle window) {
    if (window == 0) return;
    for (OwnedRun* run : ownedRuns()) {
        if (run->owner != window || run->ownerGone) continue;
        run->ownerGone = true;
        if (run->loop != nullptr) run->loop->exit(-1);
    }
}

std::vector<std::pair<Handle, QWidget*>> runningModalDialogs() {
    std::vector<std::pair<Handle, QWidget*>> out;
    for (const OwnedRun* run : ownedRuns()) out.emplace_back(run->owner, run->dialog.data());
    return out;
}

ModalRunEnd runModalLoop(Window* owner, const ModalSteps& steps) {
    ModalRunEnd end;
    // The caller looks at its owner after the run: a deferred delete waits for it.
    HandlerScope ownerKept(owner);
    QWidget* ownerTop = topLevelOf(owner);
    ModalFocus focus(ownerTop);
    OwnedRun run;
    run.owner = owner != nullptr ? owner->handle() : 0;
    OwnedRunEntry registered(&run);
    if (!Application::quitPosted() && steps.running()) {
        // Only the owner is kept from input: Qt's window modality would also block the
        // owner's other windows, and application modality every page.
        OwnerInputBlock ownerBlocked(ownerTop);
        if (QWidget* dialog = steps.show()) {
            run.dialog = dialog;
            ModalFocus::take(dialog);
        }
        QEventLoop loop;
        run.loop = &loop;
        if (steps.loop) steps.loop(&loop);
        Application::pushModalLoop(&loop);
        if (steps.running() && !run.ownerGone && !Application::quitPosted()) {
            end.code = loop.exec(QEventLoop::DialogExec);
            end.ran = true;
        }
        Application::popModalLoop(&loop);
        run.loop = nullptr;
        if (steps.loop) steps.loop(nullptr);
    }
    end.ownerGone = run.ownerGone;
    steps.close();
    focus.giveBack();
    return end;
}

}  // namespace gui::detail
