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

// ---- posted messages: any thread -> GUI thread ----------------------------------------
//
// A poster only appends to our own queue under a std::mutex and bumps an eventfd; it
// never calls Qt, so a worker needs no Qt and the hand-over is plain C++ (and visible
// to the thread sanitizer). The GUI thread watches the eventfd with a socket notifier
// and takes the messages one at a time, so a handler that runs a nested loop (a
// message box) still sees the rest of the queue in order.

struct QueuedMessage {
    platform::Message m;
    std::unique_ptr<Payload> data;  // owned; freed after delivery or when dropped
};

struct DeliveryQueue {
    std::mutex mutex;
    std::deque<QueuedMessage> pending;
    int fd = -1;  // eventfd; -1 when delivery is stopped
};

DeliveryQueue& deliveryQueue() {
    static DeliveryQueue queue;
    return queue;
}

// Caller holds the queue's mutex.
void signalQueue(int fd) {
    const std::uint64_t one = 1;
    // Non-blocking; the counter cannot overflow in practice (2^64 - 2 posts).
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

bool enqueue(QueuedMessage&& entry) {
    DeliveryQueue& q = deliveryQueue();
    std::lock_guard lock(q.mutex);
    if (q.fd < 0) return false;  // no GUI thread to deliver to
    q.pending.push_back(std::move(entry));
    signalQueue(q.fd);
    return true;
}

class QueueSink final : public platform::IMessageSink {
public:
    void deliver(const platform::Message& m) override { enqueue(QueuedMessage{m, nullptr}); }
};

std::shared_ptr<platform::IMessageSink> queueSink() {
    static const auto sink = std::make_shared<QueueSink>();
    return sink;
}

QSocketNotifier* g_notifier = nullptr;  // GUI thread only

// Payloads of the messages whose handlers run now (innermost last); GUI thread only.
std::vector<std::unique_ptr<Payload>*>& deliveringPayloads() {
    static std::vector<std::unique_ptr<Payload>*> stack;
    return stack;
}

// Window timer ticks that fell due while posted messages were waiting: the system
// makes a timer message only when nothing else is queued. GUI thread only.
struct DueTick {
    Handle window;
    int timerId;
    bool operator==(const DueTick&) const = default;
};
std::vector<DueTick>& dueTicks() {
    static std::vector<DueTick> ticks;
    return ticks;
}

bool postsWaiting() {
    DeliveryQueue& q = deliveryQueue();
    std::lock_guard lock(q.mutex);
    return !q.pending.empty();
}

void deliverTick(Handle window, int timerId) {
    Window* w = Window::fromHandle(window);
    if (w != nullptr && w->hasTimer(timerId)) w->send(msg::Timer, static_cast<WParam>(timerId), 0);
}

void drainQueue() {
    DeliveryQueue& q = deliveryQueue();
    int fd = -1;
    {
        std::lock_guard lock(q.mutex);
        fd = q.fd;
    }
    if (fd < 0) return;
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
    for (;;) {
        QueuedMessage entry;
        {
            std::lock_guard lock(q.mutex);
            if (q.pending.empty()) break;
            entry = std::move(q.pending.front());
            q.pending.pop_front();
            // A handler that runs a nested loop (a message box) must see the rest of
            // the queue meanwhile: wake the queue again before delivering.
            if (!q.pending.empty() && q.fd >= 0) signalQueue(q.fd);
        }
        // Looked up again now: a window destroyed since the post gets nothing.
        Window* w = Window::fromHandle(entry.m.target);
        if (w == nullptr) continue;
        LParam l = entry.m.lParam;
        const bool carries = entry.data != nullptr;
        if (carries) {
            l = reinterpret_cast<LParam>(entry.data.get());
            deliveringPayloads().push_back(&entry.data);
        }
        {
            HandlerScope scope(w);
            w->windowProc(entry.m.msg, entry.m.wParam, l);
        }
        if (carries) deliveringPayloads().pop_back();  // the payload goes with entry
    }
    // The queue is empty: now the ticks that waited for it.
    while (!dueTicks().empty() && !postsWaiting()) {
        const DueTick tick = dueTicks().front();
        dueTicks().erase(dueTicks().begin());
        deliverTick(tick.window, tick.timerId);
    }
}

Handle handleOf(const QObject* object) {
    if (object == nullptr) return 0;
    const QVariant v = object->property(detail::kHandleProperty);
    return v.isValid() ? static_cast<Handle>(v.toULongLong()) : 0;
}

}  // namespace

void detail::startDelivery() {
    DeliveryQueue& q = deliveryQueue();
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        platform::debugOutf("gui: cannot create the message queue's eventfd (errno %d); posted messages are dropped\n",
                            errno);
        return;
    }
    {
        std::lock_guard lock(q.mutex);
        q.fd = fd;
        q.pending.clear();
    }
    dueTicks().clear();
    g_notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    QObject::connect(g_notifier, &QSocketNotifier::activated, g_notifier, [] { drainQueue(); });
}

void detail::stopDelivery() {
    DeliveryQueue& q = deliveryQueue();
    delete g_notifier;
    g_notifier = nullptr;
    int fd = -1;
    std::deque<QueuedMessage> dropped;
    {
        std::lock_guard lock(q.mutex);
        fd = q.fd;
        q.fd = -1;
        dropped.swap(q.pending);  // undelivered messages (and payloads) die with the GUI thread
    }
    dropped.clear();
    dueTicks().clear();
    if (fd >= 0) ::close(fd);
}

// ---- posts with data ----------------------------------------------------------------

bool postData(Handle handle, std::uint32_t message, WParam w, std::unique_ptr<Payload> data) {
    if (handle == 0 || !platform::HandleRegistry::instance().alive(handle)) return false;
    return enqueue(QueuedMessage{platform::Message{handle, message, w, 0}, std::move(data)});
}

Payload* detail::deliveredPayload(LParam l) {
    if (l == 0 || !Application::isGuiThread()) return nullptr;
    for (std::unique_ptr<Payload>* p : deliveringPayloads()) {
        if (*p && reinterpret_cast<LParam>(p->get()) == l) return p->get();
    }
    return nullptr;
}

std::unique_ptr<Payload> detail::takePayload(LParam l) {
    if (l == 0 || !Application::isGuiThread()) return nullptr;
    for (std::unique_ptr<Payload>* p : deliveringPayloads()) {
        if (*p && reinterpret_cast<LParam>(p->get()) == l) return std::move(*p);
    }
    return nullptr;
}

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
        serials_.push_back(w->serial_);
        ++handlerDepth()[w->serial_];
    }
}

HandlerScope::~HandlerScope() {
    bool anyZero = false;
    for (std::uint64_t serial : serials_) {
        const auto it = handlerDepth().find(serial);
        if (it == handlerDepth().end()) continue;  // deleted meanwhile
        if (--it->second == 0) {
            handlerDepth().erase(it);
            anyZero = true;
        }
    }
    if (anyZero && !pendingDeletes().empty()) scheduleReap();
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

// ---- user input blocked by a modal dialog ---------------------------------------------

namespace {

// Guarded: an owner destroyed while its dialog runs must not block a later widget
// that happens to get its address.
struct BlockedOwner {
    std::uint64_t block;  // which OwnerInputBlock made the entry
    QPointer<QWidget> owner;
};
std::vector<BlockedOwner>& blockedOwners() {
    static std::vector<BlockedOwner> owners;
    return owners;
}
std::uint64_t g_nextBlock = 1;

bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

// Drops the user's input to a window whose modal dialog runs, as a disabled owner
// would, without greying its controls or disabling its other owned windows (which
// Qt's window modality would block too).
class OwnerInputFilter final : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (blockedOwners().empty() || !event->spontaneous() || !isUserInput(event->type())) return false;
        if (!object->isWidgetType()) return false;
        QWidget* top = static_cast<QWidget*>(object)->window();
        const auto& owners = blockedOwners();
        if (std::none_of(owners.begin(), owners.end(), [top](const BlockedOwner& o) { return o.owner.data() == top; })) {
            return false;
        }
        if (event->type() == QEvent::Close) event->ignore();
        return true;
    }
};

}  // namespace

detail::OwnerInputBlock::OwnerInputBlock(QWidget* ownerTopLevel) {
    if (ownerTopLevel == nullptr || QCoreApplication::instance() == nullptr) return;
    static OwnerInputFilter* filter = [] {
        auto* f = new OwnerInputFilter;  // lives as long as the program
        QCoreApplication::instance()->installEventFilter(f);
        return f;
    }();
    (void)filter;
    block_ = g_nextBlock++;
    blockedOwners().push_back(BlockedOwner{block_, ownerTopLevel});
}

detail::OwnerInputBlock::~OwnerInputBlock() {
    auto& owners = blockedOwners();
    owners.erase(std::remove_if(owners.begin(), owners.end(), [this](const BlockedOwner& o) { return o.block == block_; }),
                 owners.end());
}

// ---- the event bridge: Qt events -> hooks ---------------------------------------------

class EventBridge final : public QObject {
public:
    static EventBridge* instance() {
        static EventBridge* bridge = new EventBridge;  // lives as long as the program
        return bridge;
    }
    bool eventFilter(QObject* object, QEvent* event) override {
        Window* w = Window::fromHandle(handleOf(object));
        if (w == nullptr) return false;
        HandlerScope scope(w);
        return w->handleEvent(object, event);
    }
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

// ---- key numbers ------------------------------------------------------------------------

int systemKeyCode(int key, bool keypad) {
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) return 0x60 + (key - Qt::Key_0);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return 48 + (key - Qt::Key_0);
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 65 + (key - Qt::Key_A);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace: return 8;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 13;
        case Qt::Key_Shift: return 16;
        case Qt::Key_Control: return 17;
        case Qt::Key_Alt: return 18;
        case Qt::Key_Escape: return 27;
        case Qt::Key_Space: return 32;
        case Qt::Key_PageUp: return 33;
        case Qt::Key_PageDown: return 34;
        case Qt::Key_End: return 35;
        case Qt::Key_Home: return 36;
        case Qt::Key_Left: return 37;
        case Qt::Key_Up: return 38;
        case Qt::Key_Right: return 39;
        case Qt::Key_Down: return 40;
        case Qt::Key_Insert: return 45;
        case Qt::Key_Delete: return 46;
        case Qt::Key_Asterisk: return keypad ? 0x6A : 0;
        case Qt::Key_Plus: return keypad ? 0x6B : 0xBB;
        case Qt::Key_Minus: return keypad ? 0x6D : 0xBD;
        case Qt::Key_Period: return keypad ? 0x6E : 0xBE;
        case Qt::Key_Slash: return keypad ? 0x6F : 0xBF;
        case Qt::Key_Comma: return 0xBC;
        default: return 0;
    }
}

// ---- Window ---------------------------------------------------------------------------

Window::Window() : serial_(g_nextSerial.fetch_add(1, std::memory_order_relaxed)) {}

Window::~Window() {
    if (depthOf(serial_) != 0) {
        platform::debugOutf("gui: a window was deleted while one of its handlers runs (use deleteLater)\n");
        handlerDepth().erase(serial_);
    }
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

Window* Window::fromWidget(const QWidget* widget) { return fromHandle(handleOf(widget)); }

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
    auto* host = new HostWidget;
    return attach(host, host, parent, childId, rect, styleBits, parent == nullptr);
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
        // Owned top-level window: stays above its owner and goes with it.
        if (parent != nullptr) outer->setParent(parent->widget_->window(), outer->windowFlags() | Qt::Window);
    } else if (parent != nullptr) {
        outer->setParent(parent->client_);
    }

    handle_ = platform::HandleRegistry::instance().add(queueSink());
    liveWindows()[handle_] = this;
    if (parent != nullptr) parent->children_.push_back(this);

    const QVariant h = QVariant::fromValue<qulonglong>(handle_);
    outer->setProperty(detail::kHandleProperty, h);
    outer->installEventFilter(EventBridge::instance());
    // Moves without a button reach the hooks too (tooltip relays in preTranslate).
    outer->setMouseTracking(true);
    if (client_ != widget_) {
        client_->setProperty(detail::kHandleProperty, h);
        client_->installEventFilter(EventBridge::instance());
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
    inner->setProperty(detail::kHandleProperty, QVariant::fromValue<qulonglong>(handle_));
    inner->installEventFilter(EventBridge::instance());
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
    for (QWidget* w : {widget_.data(), client_.data()}) {
        if (w != nullptr) w->setProperty(detail::kHandleProperty, QVariant());
    }
    if (widget_) {
        widget_->hide();
        // Later, not now: we may be inside one of this widget's own event handlers.
        widget_->deleteLater();
    }
    widget_.clear();
    client_.clear();
    lastSize_ = QSize(-1, -1);
    destroying_ = false;
    windowDestroyed();
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
    if (widget_ && checkGuiThread("Window::setFont")) widget_->setFont(font);
}

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

QRect Window::windowRect() const {
    if (!widget_) return QRect();
    if (widget_->isWindow()) return widget_->frameGeometry();
    return QRect(widget_->mapToGlobal(QPoint(0, 0)), widget_->size());
}

QRect Window::rectInParent() const {
    if (!widget_) return QRect();
    return widget_->isWindow() ? widget_->frameGeometry() : widget_->geometry();
}

QRect wholeOnScreen(const QRect& rect) {
    const QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return rect;
    const QRect area = screen->availableGeometry();
    // Right and bottom first, so a window larger than the area keeps its top left corner on it.
    const int x = std::max(area.left(), std::min(rect.left(), area.left() + area.width() - rect.width()));
    const int y = std::max(area.top(), std::min(rect.top(), area.top() + area.height() - rect.height()));
    return QRect(QPoint(x, y), rect.size());
}

void Window::moveWindow(const QRect& rect) {
    if (!widget_ || !checkGuiThread("Window::moveWindow")) return;
    if (widget_->isWindow()) {
        const QSize frameExtra = widget_->frameGeometry().size() - widget_->geometry().size();
        widget_->move(wholeOnScreen(rect).topLeft());
        beforeResize();
        widget_->resize(std::max(0, rect.width() - frameExtra.width()), std::max(0, rect.height() - frameExtra.height()));
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
            // Lowest priority: a tick never overtakes a message posted before it.
            if (postsWaiting()) {
                const DueTick tick{self, timerId};
                auto& due = dueTicks();
                if (std::find(due.begin(), due.end(), tick) == due.end()) due.push_back(tick);
                return;
            }
            deliverTick(self, timerId);
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

namespace {
Handle g_capture = 0;  // GUI thread only
}  // namespace

void Window::setCapture() {
    if (!widget_ || !checkGuiThread("Window::setCapture")) return;
    if (Window* old = captureWindow(); old != nullptr && old != this) old->releaseCapture();
    g_capture = handle_;
    widget_->grabMouse();
}

void Window::releaseCapture() {
    if (g_capture == 0 || g_capture != handle_) return;
    g_capture = 0;
    if (widget_) widget_->releaseMouse();
}

bool Window::hasCapture() const { return exists() && g_capture == handle_; }

Window* Window::captureWindow() { return fromHandle(g_capture); }

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

// ---- events ---------------------------------------------------------------------------

namespace {

MouseEvent toMouseEvent(const QWidget* client, const QSinglePointEvent* e) {
    MouseEvent m;
    m.screenPos = e->globalPosition().toPoint();
    m.pos = client != nullptr ? client->mapFromGlobal(m.screenPos) : e->position().toPoint();
    m.button = e->button();
    m.buttons = e->buttons();
    m.modifiers = e->modifiers();
    return m;
}

KeyEvent toKeyEvent(const QKeyEvent* e) {
    KeyEvent k;
    k.key = e->key();
    k.keypad = e->modifiers().testFlag(Qt::KeypadModifier);
    k.code = systemKeyCode(k.key, k.keypad);
    k.text = e->text();
    k.modifiers = e->modifiers();
    k.autoRepeat = e->isAutoRepeat();
    return k;
}

bool isDialogKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape; }

}  // namespace

bool Window::handleEvent(QObject* object, QEvent* event) {
    const Handle self = handle_;
    Dialog* dialog = dynamic_cast<Dialog*>(topLevel());
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            const MouseEvent m = toMouseEvent(client_, static_cast<QMouseEvent*>(event));
            InputEvent in;
            in.mouse = m;
            bool consumed = false;
            switch (event->type()) {
                case QEvent::MouseButtonPress:
                    in.kind = InputEvent::MouseDown;
                    break;
                case QEvent::MouseButtonRelease:
                    in.kind = InputEvent::MouseUp;
                    break;
                case QEvent::MouseButtonDblClick:
                    in.kind = InputEvent::MouseDown;
                    break;
                default:
                    in.kind = InputEvent::MouseMove;
                    break;
            }
            if (dialog != nullptr && dialog->preTranslate(*this, in)) {
                if (isWindow(self)) cancelNativePress(object);
                return true;
            }
            if (!isWindow(self)) return true;
            switch (event->type()) {
                case QEvent::MouseButtonPress:
                    consumed = onMouseDown(m);
                    break;
                case QEvent::MouseButtonRelease:
                    consumed = onMouseUp(m);
                    break;
                case QEvent::MouseButtonDblClick:
                    consumed = onDoubleClick(m);
                    break;
                default:
                    consumed = onMouseMove(m);
                    break;
            }
            if (!isWindow(self)) return true;  // destroyed by its own hook
            if (consumed) {
                cancelNativePress(object);
                return true;
            }
            const bool onFrame = (object == widget_.data() || object == client_.data()) && widget_->isWindow();
            if (onFrame && event->type() == QEvent::MouseButtonPress && onFramePress(m)) return true;
            if (onFrame && event->type() == QEvent::MouseMove) onFrameHover(m);
            if (!isWindow(self) || blocksNativeInput()) return true;
            if (event->type() == QEvent::MouseMove) {
                // A move belongs to the window under the pointer only: a widget that
                // ignores it must not pass it on to the parent window as a move of its own.
                object->event(event);
                event->accept();
                return true;
            }
            return false;
        }
        case QEvent::Wheel: {
            auto* we = static_cast<QWheelEvent*>(event);
            const MouseEvent m = toMouseEvent(client_, we);
            InputEvent in;
            in.kind = InputEvent::Wheel;
            in.mouse = m;
            in.wheelDelta = we->angleDelta().y();
            if (dialog != nullptr && dialog->preTranslate(*this, in)) return true;
            if (!isWindow(self)) return true;
            if (onWheel(in.wheelDelta, m)) return true;
            return isWindow(self) ? blocksNativeInput() : true;
        }
        case QEvent::KeyPress:
            return dispatchKey(object, event);
        case QEvent::KeyRelease: {
            const KeyEvent k = toKeyEvent(static_cast<QKeyEvent*>(event));
            InputEvent in;
            in.kind = InputEvent::KeyUp;
            in.key = k;
            if (dialog != nullptr && dialog->preTranslate(*this, in)) return true;
            if (!isWindow(self)) return true;
            if (onKeyUp(k)) return true;
            if (!isWindow(self) || blocksNativeInput()) return true;
            deliverKeyToWidget(object, event);
            if (isWindow(self)) onAfterKeyUp(k);
            return true;
        }
        case QEvent::Resize:
            if (object == client_.data()) sendSizeIfChanged();
            if (object == widget_.data() && client_ != widget_) layoutClient();
            return false;
        case QEvent::Paint:
            if (object == widget_.data()) runColourQuery();
            return false;
        case QEvent::FocusIn:
            if (object == widget_.data()) onSetFocus();
            return false;
        case QEvent::FocusOut:
            if (object == widget_.data()) onKillFocus(static_cast<QFocusEvent*>(event)->reason());
            return false;
        default:
            return false;
    }
}

// A press or release that a hook consumed must not leave the widget half-clicked: a
// button that saw the press but not the release would stay drawn pressed.
void Window::cancelNativePress(QObject* object) {
    if (auto* b = qobject_cast<QAbstractButton*>(object); b != nullptr && b->isDown()) {
        b->setDown(false);
        b->update();
    }
    if (auto* s = qobject_cast<QAbstractSlider*>(object); s != nullptr && s->isSliderDown()) s->setSliderDown(false);
}

bool Window::deliverKeyToWidget(QObject* object, QEvent* event) {
    // The widget handles the key here and now; a key it ignores must not travel up
    // Qt's parent chain to the dialog: the system gives keys to the focus window only.
    object->event(event);
    event->accept();  // accepted and handled: Qt stops here
    return true;
}

bool Window::dispatchKey(QObject* object, QEvent* event) {
    auto* ke = static_cast<QKeyEvent*>(event);
    const Handle self = handle_;
    const KeyEvent k = toKeyEvent(ke);
    Dialog* dialog = dynamic_cast<Dialog*>(topLevel());
    InputEvent in;
    in.kind = InputEvent::KeyDown;
    in.key = k;
    if (dialog != nullptr && dialog->preTranslate(*this, in)) return true;
    if (!isWindow(self)) return true;
    if (isDialogKey(k.key) && dialog != nullptr && !wantsAllKeys()) {
        dialog->dialogKey(k.key);
        return true;
    }
    if (onKeyDown(k)) return true;
    if (!isWindow(self)) return true;
    if (!k.text.isEmpty() && onChar(k)) return true;
    if (!isWindow(self)) return true;
    const bool tab = k.key == Qt::Key_Tab || k.key == Qt::Key_Backtab;
    // A control that wants every key keeps Tab: focus does not move. Otherwise Tab
    // moves the focus even from a control without input handling of its own.
    if (wantsAllKeys() && tab) return true;
    if (blocksNativeInput() && !tab) return true;
    deliverKeyToWidget(object, event);
    if (isWindow(self)) onAfterKeyDown(k);
    return true;
}

}  // namespace gui
