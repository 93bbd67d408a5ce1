#include "platform/gui/Window.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <deque>
#include <mutex>
#include <unordered_map>

#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/core/Debug.h"
#include "platform/core/Handles.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/Drawing.h"
#include "platform/gui/Internal.h"
#include "platform/gui/PostData.h"

namespace gui {

// ---- the GUI thread's table of live windows -------------------------------------------

namespace {

std::unordered_map<Handle, Window*>& liveWindows() {
    static std::unordered_map<Handle, Window*> windows;
    return windows;
}

// The window handle of each widget that shows a window (its outer widget, its client
// area, a control's bridged inner widgets). A table rather than a property on the
// widget: setting a dynamic property compares the name with every property of the
// widget's classes and sends an event, which cost a control as much as its label.
// Entries go when their window is destroyed; one left by a widget Qt deleted on its
// own is never trusted, as Window::fromWidget checks the window still shows it.
std::unordered_map<const QObject*, Handle>& widgetHandles() {
    static std::unordered_map<const QObject*, Handle> handles;
    return handles;
}

Handle handleOf(const QObject* object) {
    if (object == nullptr) return 0;
    const auto& handles = widgetHandles();
    const auto it = handles.find(object);
    return it == handles.end() ? 0 : it->second;
}

void forgetWidget(const QObject* object, Handle handle) {
    auto& handles = widgetHandles();
    const auto it = handles.find(object);
    if (it != handles.end() && it->second == handle) handles.erase(it);
}

}  // namespace

// ---- handler scopes and deferred deletes ----------------------------------------------

namespace {

std::atomic<std::uint64_t> g_nextSerial{1};

// How many handlers of each window (and of its descendants) are on the stack, by serial.
std::unordered_map<std::uint64_t, int>& handlerDepth() {
    static std::unordered_map<std::uint64_t, int> depth;
    return depth;
}

int depthOf(std::uint64_t serial) {
    const auto it = handlerDepth().find(serial);
    return it == handlerDepth().end() ? 0 : it->second;
}

std::vector<Window*>& pendingDeletes() {
    static std::vector<Window*> pending;
    return pending;
}

// The widgets of destroyed windows that a handler of theirs was running under when they
// were destroyed (a page closed inside the file dialog of its own menu command, a
// dialog closed by its button's click): Qt's own code of the widget (the menu's
// trigger, the button's click) is on the stack below that handler and goes on with the
// widget when it returns, so the widget waits for the window's handlers like the window
// object does. Qt's deleteLater would free it in the first nested loop instead.
struct PendingWidget {
    std::uint64_t serial = 0;
    QPointer<QWidget> widget;
};

std::vector<PendingWidget>& pendingWidgets() {
    static std::vector<PendingWidget> pending;
    return pending;
}

bool reapsWaiting() { return !pendingDeletes().empty() || !pendingWidgets().empty(); }

bool g_reapScheduled = false;

void scheduleReap() {
    if (g_reapScheduled || QCoreApplication::instance() == nullptr) return;
    g_reapScheduled = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            g_reapScheduled = false;
            reapDeferredDeletes(false);
        },
        Qt::QueuedConnection);
}

}  // namespace

HandlerScope::HandlerScope(const Window* window) {
    for (const Window* w = window; w != nullptr; w = w->parent_) {
        if (count_ < kInlineDepth)
            inline_[count_++] = w->serial_;
        else
            deeper_.push_back(w->serial_);
        ++handlerDepth()[w->serial_];
    }
}

HandlerScope::~HandlerScope() {
    bool anyZero = false;
    const auto leave = [&anyZero](std::uint64_t serial) {
        const auto it = handlerDepth().find(serial);
        if (it == handlerDepth().end()) return;  // deleted meanwhile
        // The entry stays at zero until its window is deleted: a scope opens for every
        // message, and making and freeing the entry each time cost more than the handler.
        if (it->second > 0 && --it->second == 0) anyZero = true;
    };
    for (std::size_t i = 0; i < count_; ++i) leave(inline_[i]);
    for (std::uint64_t serial : deeper_) leave(serial);
    if (anyZero && reapsWaiting()) scheduleReap();
}

void reapDeferredDeletes(bool all) {
    auto& pending = pendingDeletes();
    for (bool again = true; again;) {
        again = false;
        for (std::size_t i = 0; i < pending.size(); ++i) {
            Window* w = pending[i];
            if (!all && depthOf(w->serial_) != 0) continue;
            pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
            delete w;  // may defer more deletes: look again
            again = true;
            break;
        }
    }
    // Then the widgets: a window freed above no longer holds its widget back.
    auto& widgets = pendingWidgets();
    for (std::size_t i = 0; i < widgets.size();) {
        if (!all && depthOf(widgets[i].serial) != 0) {
            ++i;
            continue;
        }
        const QPointer<QWidget> widget = widgets[i].widget;
        widgets.erase(widgets.begin() + static_cast<std::ptrdiff_t>(i));
        // From the event loop with no handler of its window on the stack: none of its own
        // events runs either (the layer enters a window's code only under a scope).
        delete widget.data();
    }
}

void DeferredDelete::operator()(Window* window) const {
    if (window == nullptr) return;
    if (Application::isGuiThread())
        window->deleteLater();
    else
        delete window;
}

void Window::deleteLater() {
    if (!checkGuiThread("Window::deleteLater")) return;
    if (isDeletePending()) return;
    destroy();
    pendingDeletes().push_back(this);
    scheduleReap();
}

bool Window::isDeletePending() const {
    const auto& pending = pendingDeletes();
    return std::find(pending.begin(), pending.end(), this) != pending.end();
}

// ---- the event bridge: Qt events -> hooks ---------------------------------------------

// One per window widget it serves, owned by that widget, knowing its window's handle:
// looking the handle up on the widget for every event (a property read, which compares
// every property name of the widget's classes first) cost as much as the hooks.
class EventBridge final : public QObject {
public:
    EventBridge(Handle window, QObject* owner) : QObject(owner), window_(window) {}
    bool eventFilter(QObject* object, QEvent* event) override {
        // Most events a widget gets (polish, show, move, layout, style changes) reach no
        // hook: they pass without a look-up or a handler scope.
        if (!Window::hooksSee(event->type())) return false;
        // Every control of a window gets its Show and WindowActivate too: only the
        // top-level widget's matter.
        if ((event->type() == QEvent::Show || event->type() == QEvent::WindowActivate) &&
            !(object->isWidgetType() && static_cast<QWidget*>(object)->isWindow()))
            return false;
        Window* w = Window::fromHandle(window_);
        if (w == nullptr) return false;
        HandlerScope scope(w);
        return w->handleEvent(object, event);
    }

private:
    const Handle window_;
};

// The widget of a plain window: painted by the window's onPaint.
class HostWidget final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        if (Window* w = Window::fromWidget(this)) {
            HandlerScope scope(w);
            w->paintHost(this);
        }
    }
    // A top-level plain window closes the system's way: SysCommand(Close), whose
    // default sends Close, whose default destroys the window.
    void closeEvent(QCloseEvent* e) override {
        Window* w = Window::fromWidget(this);
        if (w == nullptr) return;
        e->ignore();
        w->send(msg::SysCommand, syscmd::Close);
    }
};

// ---- Window ---------------------------------------------------------------------------

Window::Window() : serial_(g_nextSerial.fetch_add(1, std::memory_order_relaxed)) {}

Window::~Window() {
    if (depthOf(serial_) != 0) {
        platform::debugOutf("gui: a window was deleted while one of its handlers runs (use deleteLater)\n");
    }
    handlerDepth().erase(serial_);
    if (!pendingWidgets().empty()) scheduleReap();  // a widget this window held back is free now
    if (exists()) {
        platform::debugOutf("gui: a window was deleted before it was destroyed; its own Destroy handling is lost\n");
        destroy();
    }
    auto& pending = pendingDeletes();
    pending.erase(std::remove(pending.begin(), pending.end(), this), pending.end());
    if (parent_ != nullptr) parent_->detachChild(this);
    for (Window* c : children_) c->parent_ = nullptr;
}

Window* Window::fromHandle(Handle handle) {
    if (handle == 0 || !Application::isGuiThread()) return nullptr;
    const auto& windows = liveWindows();
    const auto it = windows.find(handle);
    return it == windows.end() ? nullptr : it->second;
}

Window* Window::fromWidget(const QWidget* widget) {
    if (!Application::isGuiThread()) return nullptr;  // the table is the GUI thread's
    Window* w = fromHandle(handleOf(widget));
    if (w == nullptr || widget == w->widget_.data() || widget == w->client_.data()) return w;
    const auto& inner = w->innerWidgets_;
    return std::find(inner.begin(), inner.end(), widget) != inner.end() ? w : nullptr;
}

Window* Window::focusWindow() {
    if (!Application::isGuiThread()) return nullptr;
    for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget()) {
        if (Window* win = fromWidget(w)) return win;
        if (w->isWindow()) break;
    }
    return nullptr;
}

Window* Window::child(int childId) const {
    for (Window* c : children_) {
        if (c->id_ == childId && c->exists()) return c;
    }
    return nullptr;
}

Window* Window::topLevel() {
    Window* w = this;
    while (w->parent_ != nullptr && !(w->widget_ && w->widget_->isWindow())) w = w->parent_;
    return w;
}

bool Window::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("Window::create") || exists()) return false;
    auto* host = new HostWidget(childHost(parent));
    return attach(host, host, parent, childId, rect, styleBits, parent == nullptr);
}

QWidget* Window::childHost(Window* parent) {
    return parent != nullptr && parent->exists() ? parent->client_.data() : nullptr;
}

bool Window::attach(QWidget* outer, QWidget* client, Window* parent, int childId, const QRect& rect,
                    std::uint32_t styleBits, bool topLevel) {
    if (!checkGuiThread("Window::attach") || outer == nullptr) return false;
    if (exists() || (parent != nullptr && !parent->exists())) {
        delete outer;
        return false;
    }
    widget_ = outer;
    client_ = client != nullptr ? client : outer;
    parent_ = parent;
    id_ = childId;
    style_ = styleBits;
    wantsAllKeys_ = (styleBits & style::WantsAllKeys) != 0;
    lastSize_ = QSize(-1, -1);

    if (topLevel) {
        detail::watchPresses();
        // Owned top-level window: stays above its owner and goes with it. A window manager
        // keeps it above only when it is marked transient for the owner, which the window
        // system does for dialog and tool windows, not for plain ones.
        if (parent != nullptr) {
            Qt::WindowFlags flags = outer->windowFlags();
            if ((flags & Qt::WindowType_Mask) == Qt::Window) flags = (flags & ~Qt::WindowType_Mask) | Qt::Dialog;
            outer->setParent(parent->widget_->window(), flags);
        }
    } else if (parent != nullptr && outer->parentWidget() != parent->client_.data()) {
        outer->setParent(parent->client_);
    }

    handle_ = platform::HandleRegistry::instance().add(detail::queueSink());
    liveWindows()[handle_] = this;
    if (parent != nullptr) parent->children_.push_back(this);

    widgetHandles()[outer] = handle_;
    auto* bridge = new EventBridge(handle_, outer);
    outer->installEventFilter(bridge);
    // Moves without a button reach the hooks too (tooltip relays in preTranslate).
    outer->setMouseTracking(true);
    if (client_ != widget_) {
        widgetHandles()[client_.data()] = handle_;
        client_->installEventFilter(bridge);
        client_->setMouseTracking(true);
    }

    moveWindow(rect);
    if (styleBits & style::Disabled) outer->setEnabled(false);
    const Handle self = handle_;
    send(msg::Create);
    if (!isWindow(self)) return false;  // the Create handler destroyed it
    sendSizeIfChanged();
    if (!isWindow(self)) return false;
    outer->setVisible((styleBits & style::Visible) != 0);
    return true;
}

void Window::bridgeInnerWidget(QWidget* inner) {
    if (inner == nullptr || !exists()) return;
    widgetHandles()[inner] = handle_;
    innerWidgets_.emplace_back(inner);
    inner->installEventFilter(new EventBridge(handle_, inner));
    inner->setMouseTracking(true);
}

void Window::destroy() {
    if (!exists() || destroying_ || !checkGuiThread("Window::destroy")) return;
    destroying_ = true;
    const Handle self = handle_;
    // The handler runs with this window and all its children alive.
    send(msg::Destroy);
    const std::vector<Window*> kids = children_;
    for (Window* c : kids) {
        if (std::find(children_.begin(), children_.end(), c) != children_.end()) c->destroy();
    }
    releaseCapture();
    for (auto& entry : timers_) {
        entry.second->stop();
        entry.second.release()->deleteLater();  // may be the timer whose tick runs now
    }
    timers_.clear();
    liveWindows().erase(self);
    platform::HandleRegistry::instance().remove(self);
    handle_ = 0;
    if (parent_ != nullptr) parent_->detachChild(this);
    parent_ = nullptr;
    forgetWidget(widget_.data(), self);
    forgetWidget(client_.data(), self);
    for (const QPointer<QWidget>& inner : innerWidgets_) forgetWidget(inner.data(), self);
    innerWidgets_.clear();
    if (widget_) {
        widget_->hide();
        if (depthOf(serial_) == 0) {
            // Later, not now: we may be inside one of this widget's own event handlers.
            widget_->deleteLater();
        } else {
            // A handler of this window or of one of its children runs, perhaps under Qt's
            // own handler of the widget: freed once they have all returned.
            pendingWidgets().push_back(PendingWidget{serial_, widget_});
        }
    }
    widget_.clear();
    client_.clear();
    lastSize_ = QSize(-1, -1);
    destroying_ = false;
    windowDestroyed();
    detail::endModalRunsOwnedBy(self);
}

void Window::detachChild(Window* c) {
    children_.erase(std::remove(children_.begin(), children_.end(), c), children_.end());
}

// ---- messages -------------------------------------------------------------------------

LResult Window::send(std::uint32_t message, WParam w, LParam l) { return gui::send(handle_, message, w, l); }

bool Window::post(std::uint32_t message, WParam w, LParam l) const { return platform::post(handle_, message, w, l); }

LResult Window::windowProc(std::uint32_t message, WParam w, LParam l) { return defaultProc(message, w, l); }

LResult Window::defaultProc(std::uint32_t message, WParam w, LParam l) {
    switch (message) {
        case msg::Create:
            onCreate();
            return 0;
        case msg::Destroy:
            onDestroy();
            return 0;
        case msg::Size:
            onSize(loWord(static_cast<std::uintmax_t>(l)), hiWord(static_cast<std::uintmax_t>(l)));
            return 0;
        case msg::Timer:
            onTimer(static_cast<int>(w));
            return 0;
        case msg::Command:
            return onCommand(loWord(w), hiWord(w), handleFromLParam(l));
        case msg::SysCommand:
            return onSysCommand(static_cast<std::uint32_t>(w));
        case msg::Close:
            return onClose();
        default:
            return 0;
    }
}

LResult Window::onCommand(int, int, Handle) { return 0; }

LResult Window::onSysCommand(std::uint32_t code) {
    if (!widget_) return 0;
    switch (code & 0xFFF0u) {
        case syscmd::Close:
            send(msg::Close);
            return 0;
        case syscmd::Minimise:
            if (!widget_->isMinimized()) widget_->showMinimized();
            return 0;
        case syscmd::Restore:
            if (widget_->isMinimized()) widget_->showNormal();
            return 0;
        default:
            return 0;
    }
}

LResult Window::onClose() {
    destroy();
    return 0;
}

LResult Window::sendToParent(std::uint32_t message, WParam w, LParam l) {
    return parent_ != nullptr ? parent_->send(message, w, l) : 0;
}

LResult Window::notify(std::uint32_t message, WParam w, LParam l) {
    const Handle self = handle_;
    bool kept = false;
    {
        HandlerScope scope(this);
        kept = onNotify(message, w, l);
    }
    if (kept || !isWindow(self)) return 0;
    return sendToParent(message, w, l);
}

LResult Window::notifyParent(std::uint16_t code) {
    return notify(msg::Command, makeWParam(static_cast<std::uint16_t>(id_), code), handleToLParam(handle_));
}

LResult send(Handle handle, std::uint32_t message, WParam w, LParam l) {
    if (handle == 0 || !checkGuiThread("send")) return 0;
    Window* win = Window::fromHandle(handle);
    if (win == nullptr) return 0;
    HandlerScope scope(win);
    if (!win->beforeMessage(message, w) || !isWindow(handle)) return 0;
    return win->windowProc(message, w, l);
}

bool isWindow(Handle handle) { return Window::fromHandle(handle) != nullptr; }

Handle findTopLevel(const QString& title) {
    if (!checkGuiThread("findTopLevel")) return 0;
    for (const auto& [h, w] : liveWindows()) {
        if (w->parent() == nullptr && w->widget() != nullptr && w->text() == title) return h;
    }
    return 0;
}

}  // namespace gui
