// Posted messages: from any thread to the GUI thread, delivered one at a time, and
// window timer ticks that wait until no post is queued.
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

namespace {

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
            if (w->beforeMessage(entry.m.msg, entry.m.wParam) && isWindow(entry.m.target))
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

std::shared_ptr<platform::IMessageSink> detail::queueSink() {
    static const auto sink = std::make_shared<QueueSink>();
    return sink;
}

void detail::timerTick(Handle window, int timerId) {
    // Lowest priority: a tick never overtakes a message posted before it.
    if (postsWaiting()) {
        const DueTick tick{window, timerId};
        auto& due = dueTicks();
        if (std::find(due.begin(), due.end(), tick) == due.end()) due.push_back(tick);
        return;
    }
    deliverTick(window, timerId);
}

}  // namespace gui
