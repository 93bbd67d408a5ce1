// Pieces shared between the layer's own sources; not for users of the layer.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

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
    std::vector<std::uint64_t> serials_;
};

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

// Name of the dynamic property that carries a widget's window handle.
inline constexpr const char* kHandleProperty = "tamsiroWindowHandle";

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

}  // namespace detail
}  // namespace gui
