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
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <QSocketNotifier>
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
        if (count_ < kInlineDepth) inline_[count_++] = w->serial_;
        else deeper_.push_back(w->serial_);
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
    if (Application::isGuiThread()) window->deleteLater();
    else delete window;
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

void Window::detachChild(Window* c) { children_.erase(std::remove(children_.begin(), children_.end(), c), children_.end()); }

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
    if (!win->beforeMessage(message) || !isWindow(handle)) return 0;
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

// ---- visibility and state -------------------------------------------------------------

bool Window::show(bool visible) {
    if (!exists() || !checkGuiThread("Window::show")) return false;
    const bool was = isShown();
    if (was != visible) {
        const Handle self = handle_;
        send(msg::ShowWindow, visible ? 1 : 0, 0);
        if (!isWindow(self)) return was;
    }
    if (visible) {
        style_ |= style::Visible;
        if (widget_->isWindow() && widget_->isMinimized()) widget_->showNormal();
        else widget_->show();
        // Once shown, the frame the window system adds counts too.
        const QRect frame = widget_->frameGeometry();
        if (widget_->isWindow() && wholeOnScreen(frame) != frame) widget_->move(wholeOnScreen(frame).topLeft());
    } else {
        style_ &= ~style::Visible;
        widget_->hide();
    }
    return was;
}

bool Window::isShown() const { return widget_ && !widget_->isHidden(); }

bool Window::isVisible() const { return widget_ && widget_->isVisible(); }

bool Window::setEnabled(bool enabled) {
    if (!exists() || !checkGuiThread("Window::setEnabled")) return false;
    const bool wasDisabled = widget_->testAttribute(Qt::WA_Disabled);
    widget_->setEnabled(enabled);
    if (enabled) style_ &= ~style::Disabled;
    else style_ |= style::Disabled;
    if (wasDisabled == enabled) send(msg::Enable, enabled ? 1 : 0, 0);
    return wasDisabled;
}

bool Window::isEnabled() const { return widget_ && widget_->isEnabled(); }

void Window::setText(const QString& text) {
    text_ = text;
    if (widget_ && widget_->isWindow()) widget_->setWindowTitle(text);
}

void Window::setFont(const QFont& font) {
    if (widget_ && checkGuiThread("Window::setFont")) applyFont(*widget_, font);
}

void Window::applyFont(QWidget& widget, const QFont& font) { widget.setFont(font); }

void Window::setFont(const Font& font) { setFont(font.qfont()); }

QFont Window::font() const { return widget_ ? widget_->font() : QApplication::font(); }

void Window::modifyStyle(std::uint32_t remove, std::uint32_t add) {
    const std::uint32_t old = style_;
    style_ = (style_ & ~remove) | add;
    if ((old ^ style_) & style::WantsAllKeys) wantsAllKeys_ = (style_ & style::WantsAllKeys) != 0;
    if (widget_ && ((old ^ style_) & style::Disabled)) widget_->setEnabled((style_ & style::Disabled) == 0);
    if (old != style_) onStyleChanged(old, style_);
}

void Window::setWantsAllKeys(bool wants) { wantsAllKeys_ = wants; }

bool Window::wantsAllKeys() const { return wantsAllKeys_; }

// ---- geometry -------------------------------------------------------------------------

QRect Window::clientRect() const { return client_ ? QRect(QPoint(0, 0), client_->size()) : QRect(); }

namespace {

bool hasCaption(const QWidget* w) {
    const Qt::WindowFlags flags = w->windowFlags();
    const Qt::WindowFlags type = flags & Qt::WindowType_Mask;
    return !(flags & Qt::FramelessWindowHint) && (type == Qt::Window || type == Qt::Dialog);
}

QMargins frameMargins(const QWidget* w) {
    const QRect f = w->frameGeometry();
    const QRect g = w->geometry();
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
}

// A window manager frames a window only once it is mapped, so a page placing its speed
// windows before it shows would see no caption and put the graph over its bottom.
// Until then a captioned window is given the frame of one already framed.
QRect frameOf(const QWidget* w) {
    const QMargins own = frameMargins(w);
    if (!own.isNull() || !hasCaption(w)) return w->frameGeometry();
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == w || !other->isVisible() || !hasCaption(other)) continue;
        const QMargins m = frameMargins(other);
        // Until it is framed, the window's position is where its frame will go.
        if (!m.isNull()) return QRect(w->geometry().topLeft(), w->geometry().size().grownBy(m));
    }
    return w->frameGeometry();
}

}  // namespace

QSize frameExtra(const QWidget* topLevel) {
    return topLevel != nullptr ? frameOf(topLevel).size() - topLevel->geometry().size() : QSize();
}

QRect Window::windowRect() const {
    if (!widget_) return QRect();
    if (widget_->isWindow()) return frameOf(widget_);
    return QRect(widget_->mapToGlobal(QPoint(0, 0)), widget_->size());
}

QRect Window::rectInParent() const {
    if (!widget_) return QRect();
    return widget_->isWindow() ? frameOf(widget_) : widget_->geometry();
}

QRect availableScreenArea(const QRect& rect) {
    const QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

QRect wholeOnScreen(const QRect& rect) {
    const QRect area = availableScreenArea(rect);
    if (area.isEmpty()) return rect;
    // Right and bottom first, so a window larger than the area keeps its top left corner on it.
    const int x = std::max(area.left(), std::min(rect.left(), area.left() + area.width() - rect.width()));
    const int y = std::max(area.top(), std::min(rect.top(), area.top() + area.height() - rect.height()));
    return QRect(QPoint(x, y), rect.size());
}

void Window::moveWindow(const QRect& rect) {
    if (!widget_ || !checkGuiThread("Window::moveWindow")) return;
    if (widget_->isWindow()) {
        const QSize frame = frameExtra(widget_);
        widget_->move(wholeOnScreen(rect).topLeft());
        beforeResize();
        widget_->resize(std::max(0, rect.width() - frame.width()), std::max(0, rect.height() - frame.height()));
        afterResize();
    } else {
        widget_->setGeometry(adjustRect(rect));
    }
    layoutClient();
    // The system reports the new size at once, shown or not; Qt would wait for a show.
    sendSizeIfChanged();
}

void Window::setClientSize(const QSize& size) {
    if (!widget_ || !checkGuiThread("Window::setClientSize")) return;
    if (widget_->isWindow()) beforeResize();
    widget_->resize(size.width(), size.height() + (client_ != widget_ ? menuHeight() : 0));
    if (widget_->isWindow()) afterResize();
    layoutClient();
    sendSizeIfChanged();
}

void Window::layoutClient() {
    if (!widget_ || !client_ || client_ == widget_) return;
    const int mh = menuHeight();
    client_->setGeometry(0, mh, widget_->width(), std::max(0, widget_->height() - mh));
}

QPoint Window::clientToScreen(const QPoint& p) const { return client_ ? client_->mapToGlobal(p) : p; }

QPoint Window::screenToClient(const QPoint& p) const { return client_ ? client_->mapFromGlobal(p) : p; }

QSize Window::naturalSize() const { return widget_ ? widget_->sizeHint() : QSize(); }

void Window::sendSizeIfChanged() {
    if (!client_) return;
    const QSize s = client_->size();
    if (s == lastSize_) return;
    lastSize_ = s;
    send(msg::Size, 0, makeLParam(static_cast<std::uint16_t>(std::clamp(s.width(), 0, 0xFFFF)),
                                  static_cast<std::uint16_t>(std::clamp(s.height(), 0, 0xFFFF))));
}

// ---- painting -------------------------------------------------------------------------

void Window::invalidate() {
    if (client_) client_->update();
    if (widget_ && widget_ != client_) widget_->update();
}

void Window::updateNow() {
    if (client_ && checkGuiThread("Window::updateNow")) client_->repaint();
}

void Window::paintHost(QWidget* host) {
    QPainter painter(host);
    onPaint(painter);
}

void Window::runColourQuery() {
    const std::optional<ColourKind> kind = colourQueryKind();
    if (!kind) return;
    ColourQuery answer;
    const Handle self = handle_;
    bool answered = false;
    if (parent_ != nullptr) {
        HandlerScope scope(parent_);
        answered = parent_->onColourQuery(*this, *kind, answer);
    }
    if (!isWindow(self)) return;
    applyColours(answered ? answer : ColourQuery{});
}

// ---- timers ---------------------------------------------------------------------------

bool Window::setTimer(int timerId, int intervalMs) {
    if (!exists() || !checkGuiThread("Window::setTimer")) return false;
    auto& timer = timers_[timerId];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        const Handle self = handle_;
        QObject::connect(timer.get(), &QTimer::timeout, [self, timerId] {
            detail::timerTick(self, timerId);
        });
    }
    timer->start(std::clamp(intervalMs, 1, INT_MAX));
    return true;
}

bool Window::killTimer(int timerId) {
    if (!checkGuiThread("Window::killTimer")) return false;
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) return false;
    it->second->stop();
    it->second.release()->deleteLater();
    timers_.erase(it);
    return true;
}

bool Window::hasTimer(int timerId) const { return timers_.count(timerId) != 0; }

// ---- focus, parents, shape ------------------------------------------------------------

void Window::setFocus() {
    if (widget_ && checkGuiThread("Window::setFocus")) widget_->setFocus(Qt::OtherFocusReason);
}

bool Window::hasFocus() const { return exists() && focusWindow() == this; }

void Window::setParent(Window* newParent) {
    if (!exists() || newParent == this || !checkGuiThread("Window::setParent")) return;
    if (newParent != nullptr && !newParent->exists()) return;
    if (parent_ != nullptr) parent_->detachChild(this);
    parent_ = newParent;
    if (newParent != nullptr) newParent->children_.push_back(this);
    const bool wasShown = isShown();
    const QRect geometry = widget_->geometry();
    if (widget_->windowFlags().testFlag(Qt::Window)) {
        widget_->setParent(newParent != nullptr ? newParent->widget_->window() : nullptr, widget_->windowFlags());
    } else {
        widget_->setParent(newParent != nullptr ? newParent->client_.data() : nullptr);
        widget_->setGeometry(geometry);
    }
    if (wasShown) widget_->show();  // reparenting hides a widget
}

void Window::activate() {
    if (QWidget* w = widget()) {
        QWidget* top = w->window();
        top->raise();
        top->activateWindow();
    }
}

void Window::setRegion(const Region& region) {
    if (widget_) widget_->setMask(region.qregion());
}

void Window::clearRegion() {
    if (widget_) widget_->clearMask();
}

void Window::setMouseTransparent(bool transparent) {
    if (widget_) widget_->setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
}

void Window::lowerBelowSiblings() {
    if (widget_) widget_->lower();
}

void Window::raiseAboveSiblings() {
    if (widget_) widget_->raise();
}

}  // namespace gui
