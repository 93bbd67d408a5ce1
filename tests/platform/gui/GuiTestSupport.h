#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QEventLoop>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <QWindow>
#include <QtTest/QTest>
#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/Drawing.h"
#include "platform/gui/Window.h"

// Failing checks print points as points.
inline void PrintTo(const QPoint& p, std::ostream* os) { *os << '(' << p.x() << ", " << p.y() << ')'; }
inline void PrintTo(const QSize& s, std::ostream* os) { *os << s.width() << 'x' << s.height(); }
inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.width() << 'x' << r.height() << " at (" << r.x() << ", " << r.y() << ')';
}

namespace guitest {

struct Received {
    std::uint32_t msg;
    gui::WParam w;
    gui::LParam l;
};

// Records every message; `answer` may give a result (non-zero ends the handling).
template <class Base = gui::Window>
class Spy : public Base {
public:
    using Base::Base;
    std::vector<Received> log;
    std::function<gui::LResult(std::uint32_t, gui::WParam, gui::LParam)> answer;

    gui::LResult windowProc(std::uint32_t m, gui::WParam w, gui::LParam l) override {
        log.push_back({m, w, l});
        if (answer) {
            if (const gui::LResult r = answer(m, w, l)) return r;
        }
        return Base::windowProc(m, w, l);
    }
    int count(std::uint32_t m) const { return static_cast<int>(only(m).size()); }
    std::vector<Received> only(std::uint32_t m) const {
        std::vector<Received> out;
        std::copy_if(log.begin(), log.end(), std::back_inserter(out), [m](const Received& r) { return r.msg == m; });
        return out;
    }
};

using SpyWindow = Spy<gui::Window>;

inline gui::DialogTemplate plainTemplate(const QString& caption) {
    gui::DialogTemplate t;
    t.caption = caption;
    t.size = QSize(200, 100);
    return t;
}

// The bitmap's colours at these points, in order.
inline std::vector<gui::ColourRef> Pixels(const gui::Bitmap& b, std::initializer_list<QPoint> points) {
    std::vector<gui::ColourRef> out;
    for (const QPoint& p : points) out.push_back(b.pixel(p.x(), p.y()));
    return out;
}

// Runs the event loop until `done` holds; false when it did not within limitMs (the
// bound only matters when something is wrong: a loaded machine just takes longer).
inline bool waitFor(const std::function<bool()>& done, int limitMs = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

// Runs the event loop until a timer of intervalMs has fired `ticks` times (bounded):
// every timer that fell due meanwhile has had its turn too. For "nothing happened"
// checks, which the loop's own progress proves and a fixed sleep does not (a loaded
// machine may run no event at all in it).
inline bool timersHadTheirTurn(int ticks = 3, int intervalMs = 5, int limitMs = 10000) {
    int fired = 0;
    QTimer witness;
    QObject::connect(&witness, &QTimer::timeout, [&fired] { ++fired; });
    witness.start(intervalMs);
    return waitFor([&fired, ticks] { return fired >= ticks; }, limitMs);
}

// Runs `action` once `ready` holds, looked at every few milliseconds from whatever loop
// runs (a dialog's nested loop too); gives up after limitMs. Stops with the timer.
inline std::unique_ptr<QTimer> whenReady(std::function<bool()> ready, std::function<void()> action,
                                         int limitMs = 10000) {
    auto timer = std::make_unique<QTimer>();
    QTimer* t = timer.get();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(t, &QTimer::timeout, t, [t, ready = std::move(ready), action = std::move(action), clock, limitMs] {
        if (ready()) {
            t->stop();
            action();
        } else if (clock->elapsed() > limitMs) {
            t->stop();
        }
    });
    t->start(5);
    return timer;
}

// The shown top-level dialog of type T (a message box, a file dialog), or null.
template <class T = QDialog>
T* shownDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<T*>(w); d != nullptr && d->isVisible()) return d;
    }
    return nullptr;
}

// Rejects every shown Qt dialog after limitMs: a case that went wrong must not hang the run.
inline std::unique_ptr<QTimer> dialogWatchdog(int limitMs = 10000) {
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    QObject::connect(timer.get(), &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<QDialog*>(w); d != nullptr && d->isVisible()) d->reject();
        }
    });
    timer->start(limitMs);
    return timer;
}

inline void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Runs `inside` in the modal loop; a watchdog ends the dialog after 10 s with -99.
inline int runModal(gui::Dialog& dialog, const std::function<void(gui::Dialog&)>& inside,
                    gui::Window* owner = nullptr) {
    QTimer::singleShot(0, [&dialog, inside] { inside(dialog); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&dialog] { dialog.endDialog(-99); });
    watchdog.start(10000);
    return dialog.doModal(owner);
}

// The user's mouse goes to the top-level QWindow, through the window system's path.
inline QPoint onTop(gui::Window& target, QPoint clientPos) {
    return target.widget()->mapTo(target.widget()->window(), clientPos);
}
inline QWindow* topOf(gui::Window& target) { return target.widget()->window()->windowHandle(); }
inline void userClick(gui::Window& target, QPoint clientPos = QPoint(-1, -1)) {
    if (clientPos.x() < 0) clientPos = target.widget()->rect().center();
    QTest::mouseClick(topOf(target), Qt::LeftButton, Qt::NoModifier, onTop(target, clientPos));
}
inline void userMove(gui::Window& target, QPoint clientPos) { QTest::mouseMove(topOf(target), onTop(target, clientPos)); }
inline void userPress(gui::Window& target, QPoint clientPos) {
    QTest::mousePress(topOf(target), Qt::LeftButton, Qt::NoModifier, onTop(target, clientPos));
}
inline void userRelease(gui::Window& target, QPoint clientPos) {
    QTest::mouseRelease(topOf(target), Qt::LeftButton, Qt::NoModifier, onTop(target, clientPos));
}
inline void focusForKeys(gui::Window& target) {
    target.widget()->window()->activateWindow();
    (void)QTest::qWaitForWindowActive(topOf(target), 2000);
    target.setFocus();
}
inline void userKey(gui::Window& target, Qt::Key key, QString text = QString()) {
    QWindow* window = topOf(target);
    if (text.isEmpty()) {
        QTest::keyClick(window, key);
        return;
    }
    QTest::sendKeyEvent(QTest::Press, window, key, text, Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, window, key, text, Qt::NoModifier);
}

// Waits (bounded) until every message posted so far, from any thread that has posted
// by now, was delivered or dropped: a marker posted now comes after all of them (one
// queue, delivered in order).
inline bool postsDelivered(int limitMs = 10000) {
    SpyWindow marker;
    if (!marker.create(nullptr, 0, QRect(0, 0, 1, 1), 0) || !marker.post(gui::msg::TaskData)) return false;
    return waitFor([&marker] { return marker.count(gui::msg::TaskData) > 0; }, limitMs);
}

// Runs a real nested event loop, as a dialog does, until `done` holds (at most limitMs),
// and then a few turns more, as a user closes a dialog some time after what happened
// in it: whatever that posted is handled inside the loop, not after it.
inline void runNestedLoop(const std::function<bool()>& done, int limitMs) {
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(limitMs);
    QTimer poll;
    int turnsAfter = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() && ++turnsAfter > 3) loop.quit();
    });
    poll.start(1);
    loop.exec();
}

// A message box that runs a real nested event loop until `done` holds (at most
// limitMs), then answers OK.
class NestedLoopBoxes final : public gui::IMessageBoxProvider {
public:
    explicit NestedLoopBoxes(std::function<bool()> done, int limitMs = 10000)
        : done_(std::move(done)), limitMs_(limitMs) {
        gui::setMessageBoxProvider(this);
    }
    ~NestedLoopBoxes() override { gui::setMessageBoxProvider(nullptr); }
    int show(const gui::MessageBoxRequest&) override {
        ++open;
        runNestedLoop(done_, limitMs_);
        --open;
        return gui::id::Ok;
    }
    int open = 0;

private:
    std::function<bool()> done_;
    int limitMs_;
};

// A file dialog that runs a real nested event loop until `done` holds (at most limitMs),
// then answers `answer` (empty: cancelled). `inside` runs once the loop has started, so
// what it does (the board unplugged) happens in the dialog's loop, as with the real one.
class NestedLoopFiles final : public gui::IFileDialogProvider {
public:
    NestedLoopFiles(std::function<void()> inside, std::function<bool()> done, QString answer = QString(),
                    int limitMs = 10000)
        : inside_(std::move(inside)), done_(std::move(done)), answer_(std::move(answer)), limitMs_(limitMs) {
        gui::setFileDialogProvider(this);
    }
    ~NestedLoopFiles() override { gui::setFileDialogProvider(nullptr); }
    NestedLoopFiles(const NestedLoopFiles&) = delete;
    NestedLoopFiles& operator=(const NestedLoopFiles&) = delete;
    QString choose(const gui::FileDialogRequest& request) override {
        requests.push_back(request);
        ++open;
        QTimer::singleShot(0, inside_);
        runNestedLoop(done_, limitMs_);
        --open;
        ++closed;
        return answer_;
    }
    std::vector<gui::FileDialogRequest> requests;
    int open = 0;
    int closed = 0;

private:
    std::function<void()> inside_;
    std::function<bool()> done_;
    QString answer_;
    int limitMs_;
};

// Chooses a menu item as a user does: a click on its popup's title in the menu bar, then
// one on the item in the popup, so Qt's own menu code runs the item's trigger. False
// when the item or the popup cannot be found or does not open.
inline bool userMenuItem(gui::Dialog& dialog, int itemId) {
    QAction* item = dialog.menuAction(itemId);
    auto* bar = dialog.widget() != nullptr ? dialog.widget()->window()->findChild<QMenuBar*>() : nullptr;
    if (item == nullptr || bar == nullptr) return false;
    QAction* top = nullptr;
    for (QAction* a : bar->actions())
        if (a->menu() != nullptr && a->menu()->actions().contains(item)) top = a;
    if (top == nullptr) return false;
    QWindow* window = dialog.widget()->window()->windowHandle();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier,
                      bar->mapTo(dialog.widget()->window(), bar->actionGeometry(top).center()));
    QMenu* menu = top->menu();
    if (!waitFor([menu] { return menu->isVisible(); }, 5000)) return false;
    QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(item).center());
    return true;
}

}  // namespace guitest
