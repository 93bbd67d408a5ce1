// Pieces shared between the layer's own sources; not for users of the layer.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/gui/Messages.h"

class QEventLoop;
class QWidget;

namespace platform {
class IMessageSink;
}

namespace gui {

class Window;

// Marks a window's handler as running (and so the handlers of its parents and owners,
// which own it): deleteLater() frees none of them while a scope is open. Every place
// where the layer calls into a window's code opens one.
class HandlerScope {
public:
    explicit HandlerScope(const Window* window);
    ~HandlerScope();
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    // A window's chain of parents and owners is short: the usual depth needs no
    // allocation (a scope opens for every message and every event a hook sees).
    static constexpr std::size_t kInlineDepth = 8;
    std::array<std::uint64_t, kInlineDepth> inline_{};
    std::size_t count_ = 0;
    std::vector<std::uint64_t> deeper_;
};

bool isWindow(Handle handle);

// Turns a signal of a control's widget into a call on the window while it lives.
template <class W, class F>
void whileAlive(Handle h, W* self, F&& f) {
    if (!isWindow(h)) return;
    HandlerScope scope(self);
    f(self);
}

// What a window manager's frame adds to a top-level widget's size; until the widget is
// framed itself, the frame of a captioned window already framed.
QSize frameExtra(const QWidget* topLevel);

// Deletes the windows whose deferred delete is due; all = every pending one (shutdown).
void reapDeferredDeletes(bool all);

namespace detail {

// Starts and stops delivering posted messages to the GUI thread (Application does it).
void startDelivery();
void stopDelivery();

// Where the handle registry sends posts for our windows: the GUI thread's queue.
std::shared_ptr<platform::IMessageSink> queueSink();

// Delivers a window timer's tick now, or holds it back until no posted message waits.
void timerTick(std::uint64_t window, int timerId);

// While one lives, user input to the owner's top-level window is dropped (a modal
// dialog disables its owner only). Null owner: blocks nothing.
class OwnerInputBlock {
public:
    explicit OwnerInputBlock(QWidget* ownerTopLevel);
    ~OwnerInputBlock();
    OwnerInputBlock(const OwnerInputBlock&) = delete;
    OwnerInputBlock& operator=(const OwnerInputBlock&) = delete;

private:
    std::uint64_t block_ = 0;  // 0: blocks nothing
};

// The keyboard's hand-over around a modal run. Window managers differ in whether they
// move the focus to a window that opens or back to its owner when it closes, and with
// none nobody does: typed keys would go to the blocked owner and be lost. Made before
// the dialog shows (it notes the owner's focused control); take() once it is shown
// makes the dialog the active window with the focus on its default control (its own
// choice, else the first control that takes the focus); giveBack() (or the
// destructor), once it is hidden, makes the owner active again with its control
// focused as before.
class ModalFocus {
public:
    explicit ModalFocus(QWidget* ownerTopLevel);
    ~ModalFocus() { giveBack(); }
    ModalFocus(const ModalFocus&) = delete;
    ModalFocus& operator=(const ModalFocus&) = delete;
    static void take(QWidget* dialogTopLevel);
    void giveBack();

private:
    QPointer<QWidget> owner_;
    QPointer<QWidget> ownerFocus_;
};

// What a modal run asks of the dialog it runs.
struct ModalSteps {
    // Shows the dialog; returns its top-level widget (null when it is gone meanwhile).
    std::function<QWidget*()> show;
    // False once the dialog has ended or is gone: the loop is not started then.
    std::function<bool()> running;
    // Called with the loop right before it runs and with null once it has returned; the
    // dialog ends its run by exiting that loop. May be empty.
    std::function<void(QEventLoop*)> loop;
    // Hides or destroys the dialog: after the loop, or at once when the loop did not run.
    std::function<void()> close;
};

struct ModalRunEnd {
    int code = -1;           // the loop's exit code; -1 when it did not run
    bool ran = false;        // the loop ran (and was exited)
    bool ownerGone = false;  // the owner window was destroyed before the run ended
};

// The one modal run of the layer, for our own dialogs (Dialog::doModal) and for the
// message boxes and file dialogs alike, so that no dialog gets only half of it:
//  - notes the owner's focused control (ModalFocus) and keeps only the owner's
//    top-level window from user input (OwnerInputBlock); no other window is blocked;
//  - shows the dialog, makes it the active window with the keyboard;
//  - runs a nested loop, registered with Application so that postQuit ends it, until the
//    dialog exits it; a quit posted before it starts keeps it from starting;
//  - when the owner window is destroyed meanwhile (a page deleted because the board went
//    away), the loop ends at once with -1 and ownerGone;
//  - closes the dialog, then gives the owner its keyboard back.
// The owner object is kept from a deferred delete until the run returns, so a caller may
// still ask it exists(). owner may be null (nothing blocked). GUI thread only.
ModalRunEnd runModalLoop(Window* owner, const ModalSteps& steps);

// Window::destroy tells the runs owned by the window: they end.
void endModalRunsOwnedBy(Handle window);

// The running modal dialogs, outermost first: each run's owner and the dialog's top-level
// widget (null while it is not shown yet).
std::vector<std::pair<Handle, QWidget*>> runningModalDialogs();

// ---- stacking ---------------------------------------------------------------------------

// Brings a top-level widget forward: raises it (when raiseItself), then, above it, the shown
// top-level windows it owns, each followed by the ones it owns in turn, in the order they
// were last brought forward; last the running modal dialogs of which it is an owner up the
// chain, so that they stay above everything of theirs. Nothing hidden or minimised is
// raised or shown. Owned windows are kept above their owner this way with no window
// manager (nothing else does it then) and when one restacks the owner.
void bringForward(QWidget* topLevel, bool raiseItself);

// Brings a top-level window forward at every press in it (an application event filter,
// installed once, when the first top-level window is made).
void watchPresses();

// What the layer asks the window system for about stacking: a raise, or an owned window
// unmapped and mapped again (see Window's Show handling). Every request passes the
// observer first: tests, whose offscreen platform keeps no stacking order, see the order.
enum class StackRequest { Raise, Remap };
using StackObserver = std::function<void(const QWidget*, StackRequest)>;
void setStackObserver(StackObserver observer);  // an empty one: none

}  // namespace detail
}  // namespace gui
