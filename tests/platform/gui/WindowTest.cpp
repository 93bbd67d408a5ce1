#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWheelEvent>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "GuiTestSupport.h"
#include "platform/core/Debug.h"
#include "platform/gui/Application.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Internal.h"

using namespace gui;
using guitest::plainTemplate;
using guitest::SpyWindow;

TEST(WindowLifetime, DestroyNotifiesTheWindowThenItsChildrenAndFreesEveryHandle) {
    std::vector<std::string> order;
    struct Tracked : SpyWindow {
        std::vector<std::string>* order = nullptr;
        Window* probe = nullptr;
        bool probeAlive = false;
        void onDestroy() override {
            order->push_back(text().toStdString());
            probeAlive = probe != nullptr && probe->exists() && probe->widget() != nullptr;
        }
    };
    Tracked parent, child, grandchild;
    for (auto [w, name] : {std::pair{&parent, "parent"}, {&child, "child"}, {&grandchild, "grandchild"}}) {
        w->order = &order;
        w->setText(name);
    }
    ASSERT_TRUE(parent.create(nullptr, 0, QRect(0, 0, 200, 200), 0));
    ASSERT_TRUE(child.create(&parent, 5, QRect(10, 10, 50, 50)));
    ASSERT_TRUE(grandchild.create(&child, 6, QRect(1, 1, 5, 5)));
    Dialog ownedDialog(plainTemplate("owned"));
    ASSERT_TRUE(ownedDialog.createModeless(&parent));
    parent.probe = &grandchild;
    const Handle handles[] = {parent.handle(), child.handle(), grandchild.handle(), ownedDialog.handle()};
    parent.destroy();
    EXPECT_EQ(order, (std::vector<std::string>{"parent", "child", "grandchild"}));
    EXPECT_TRUE(parent.probeAlive);
    for (Handle h : handles) EXPECT_FALSE(isWindow(h));
    EXPECT_FALSE(ownedDialog.exists());
}

TEST(WindowLifetime, ADeferredDeleteInsideTheWindowsOwnHandlerWaitsForTheHandler) {
    static int deleted = 0;
    struct Counted : PushButton {
        ~Counted() override { ++deleted; }
    };
    auto* button = new Counted;
    SpyWindow parent;
    ASSERT_TRUE(parent.create(nullptr, 0, QRect(0, 0, 100, 100)));
    parent.widget()->show();
    ASSERT_TRUE(button->create(&parent, 7, QRect(0, 0, 60, 20)));
    parent.answer = [&](std::uint32_t m, WParam, LParam) -> LResult {
        if (m == msg::Command) button->deleteLater();  // the page deletes the control under its own click
        return 0;
    };
    QTest::mouseClick(button->widget(), Qt::LeftButton);
    EXPECT_EQ((std::tuple{button->exists(), parent.children().empty()}), (std::tuple{false, true}));  // gone as a window ...
    EXPECT_EQ(deleted, 0);  // ... freed only from the event loop
    guitest::settle();
    EXPECT_EQ(deleted, 1);
}

// A window destroyed, not deleted, under its own handler (a modal dialog ended by its
// button's click) keeps its widget until the handler returns, and no longer: with no
// window object waiting to be freed, the widget is freed all the same. Destroyed from
// outside its handlers, its widget goes from the event loop.
TEST(WindowLifetime, ADestroyedWindowsWidgetIsFreedOnceNoHandlerOfTheWindowRuns) {
    SpyWindow outside;
    ASSERT_TRUE(outside.create(nullptr, 0, QRect(0, 0, 50, 50), 0));
    const QPointer<QWidget> outsideWidget = outside.widget();
    outside.destroy();
    guitest::settle();
    EXPECT_TRUE(outsideWidget.isNull()) << "the widget outlived its window";

    SpyWindow w;
    ASSERT_TRUE(w.create(nullptr, 0, QRect(0, 0, 50, 50), 0));
    const QPointer<QWidget> widget = w.widget();
    bool keptUnderTheHandler = false;
    w.answer = [&](std::uint32_t m, WParam, LParam) -> LResult {
        if (m != msg::TaskData) return 0;
        w.destroy();
        guitest::settle();
        keptUnderTheHandler = !widget.isNull();
        return 1;
    };
    EXPECT_EQ(w.send(msg::TaskData), 1);
    EXPECT_TRUE(keptUnderTheHandler);
    EXPECT_TRUE(guitest::waitFor([&] { return widget.isNull(); })) << "the widget outlived its window's handler";

    DialogTemplate t = plainTemplate("modal");
    t.items = {{ControlKind::PushButton, id::Ok, "OK", QRect(5, 5, 50, 14)}};
    Dialog modal(t);
    QPointer<QWidget> modalWidget;
    EXPECT_EQ(guitest::runModal(modal,
                                [&](Dialog& d) {
                                    modalWidget = d.widget();
                                    guitest::userClick(*d.item(id::Ok));
                                }),
              id::Ok);
    ASSERT_FALSE(modal.exists());
    EXPECT_TRUE(guitest::waitFor([&] { return modalWidget.isNull(); })) << "the dialog's widget outlived its run";
}

// A handler deep inside a chain of windows (deeper than a handler scope holds without
// allocating) keeps every window of the chain, the outermost too, until it returns.
TEST(WindowLifetime, AHandlerDeepInAChainOfWindowsKeepsTheWholeChainUntilItReturns) {
    static int deleted = 0;
    deleted = 0;
    struct Counted : SpyWindow {
        ~Counted() override { ++deleted; }
    };
    constexpr int kDepth = 12;
    std::vector<Counted*> chain;
    for (int i = 0; i < kDepth; ++i) {
        chain.push_back(new Counted);
        ASSERT_TRUE(chain.back()->create(i == 0 ? nullptr : chain[static_cast<std::size_t>(i - 1)], i,
                                         QRect(0, 0, 50, 50), 0));
    }
    Window* root = chain.front();
    chain.back()->answer = [&](std::uint32_t m, WParam, LParam) -> LResult {
        if (m != msg::TaskData) return 0;
        for (Window* w : chain) w->deleteLater();  // the innermost handler closes everything
        guitest::settle();
        return deleted == 0 ? 1 : 2;  // 1: nothing freed under the handler
    };
    EXPECT_EQ(chain.back()->send(msg::TaskData), 1);
    EXPECT_FALSE(root->exists());
    guitest::settle();
    EXPECT_EQ(deleted, kDepth) << "the windows are freed once the handler has returned";
}

// Each widget that shows a window leads back to it (a dialog's frame and client area,
// a list's inner view) until the window is destroyed; a widget Qt deleted on its own
// leads nowhere, not even for a new widget made where it was.
TEST(WindowLifetime, AWindowIsFoundFromEachOfItsWidgetsUntilItIsDestroyed) {
    Dialog dialog(plainTemplate("Finder"));
    ASSERT_TRUE(dialog.createModeless(nullptr));
    ListView list;
    SpyWindow pane;
    ASSERT_TRUE(list.create(&dialog, 1060, QRect(0, 0, 100, 60)));
    ASSERT_TRUE(pane.create(&dialog, 7, QRect(0, 70, 40, 20)));
    QWidget* inner = static_cast<QAbstractScrollArea*>(list.widget())->viewport();
    EXPECT_EQ((std::vector<Window*>{Window::fromWidget(dialog.widget()), Window::fromWidget(dialog.clientWidget()),
                                    Window::fromWidget(list.widget()), Window::fromWidget(inner)}),
              (std::vector<Window*>{&dialog, &dialog, &list, &list}));
    EXPECT_TRUE(inner->hasMouseTracking()) << "moves without a button reach the list's hooks from its inner view too";

    QWidget* gone = pane.widget();
    delete gone;  // Qt's own delete, not the window's
    auto fresh = std::make_unique<QWidget>();
    EXPECT_EQ((std::tuple{pane.exists(), Window::fromWidget(fresh.get())}), (std::tuple{true, nullptr}))
        << (fresh.get() == gone ? "at the same address" : "elsewhere");

    QWidget* frame = dialog.widget();
    dialog.destroy();
    EXPECT_EQ((std::tuple{Window::fromWidget(frame), Window::fromWidget(inner)}), (std::tuple{nullptr, nullptr}));
    guitest::settle();
}

TEST(WindowState, ShowSendsTheNotificationOnlyOnAChangeAndEnableReportsThePreviousState) {
    SpyWindow w;
    ASSERT_TRUE(w.create(nullptr, 0, QRect(0, 0, 50, 50), 0));
    EXPECT_FALSE(w.isShown() || w.show(true));
    EXPECT_TRUE(w.show(true));  // already shown: no second notification
    EXPECT_TRUE(w.hide());
    ASSERT_EQ(w.count(msg::ShowWindow), 2);
    EXPECT_EQ((std::pair{w.only(msg::ShowWindow)[0].w, w.only(msg::ShowWindow)[1].w}), (std::pair{WParam{1}, WParam{0}}));
    EXPECT_FALSE(w.setEnabled(false));
    EXPECT_TRUE(w.setEnabled(true));
    w.setEnabled(true);
    EXPECT_EQ(w.count(msg::Enable), 2);
    w.widget()->close();
    EXPECT_EQ((std::pair{w.count(msg::SysCommand), w.count(msg::Close)}), (std::pair{1, 1}));
    EXPECT_FALSE(w.exists());
}

TEST(WindowState, CreateAndSizeArriveSynchronouslyEvenWhenHidden) {
    struct Sized : SpyWindow {
        std::vector<QSize> sizes;
        void onSize(int w, int h) override { sizes.emplace_back(w, h); }
    } w;
    SpyWindow parent;
    ASSERT_TRUE(parent.create(nullptr, 0, QRect(0, 0, 300, 300), 0));  // hidden parent
    ASSERT_TRUE(w.create(&parent, 1, QRect(5, 5, 120, 30)));
    EXPECT_EQ((std::pair{w.count(msg::Create), w.sizes}), (std::pair{1, std::vector<QSize>{QSize(120, 30)}}));
    w.moveWindow(QRect(5, 5, 80, 40));
    parent.show();
    guitest::settle();  // Qt's late resize event is not a second report
    EXPECT_EQ(w.sizes, (std::vector<QSize>{QSize(120, 30), QSize(80, 40)}));
    EXPECT_EQ(w.clientToScreen(QPoint(1, 2)), parent.clientToScreen(QPoint(6, 7)));
    EXPECT_EQ(w.screenToClient(w.clientToScreen(QPoint(3, 4))), QPoint(3, 4));
    SpyWindow other;  // a control moved to another window goes along
    ASSERT_TRUE(other.create(nullptr, 0, QRect(400, 0, 300, 300), 0));
    w.setParent(&other);
    EXPECT_EQ(w.clientToScreen(QPoint(1, 2)), other.clientToScreen(QPoint(6, 7)));
    parent.setParent(&other);  // a top-level window becomes other's owned window
    EXPECT_EQ(parent.widget()->parentWidget(), other.widget());
}

TEST(WindowGeometry, ATopLevelWindowIsMovedWhollyOntoTheScreenWhenPlacedOrShown) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize size(300, 200);
    const std::pair<QPoint, QPoint> cases[] = {  // asked, placed
        {area.topLeft() + QPoint(10, 20), area.topLeft() + QPoint(10, 20)},
        {area.bottomRight() - QPoint(100, 50), area.bottomRight() - QPoint(299, 199)},
        {area.topLeft() - QPoint(40, 1), area.topLeft()},
        {QPoint(area.right() + 500, area.top() + 5), QPoint(area.right() - 299, area.top() + 5)},
    };
    for (const auto& [asked, placed] : cases) {
        SpyWindow w;
        ASSERT_TRUE(w.create(nullptr, 0, QRect(asked, size), 0));
        EXPECT_EQ(w.windowRect(), QRect(placed, size)) << asked.x() << "," << asked.y();
    }
    EXPECT_EQ(wholeOnScreen(QRect(area.topLeft() + QPoint(5, 5), area.size() * 2)).topLeft(), area.topLeft());
    SpyWindow hidden;
    ASSERT_TRUE(hidden.create(nullptr, 0, QRect(area.topLeft(), size), 0));
    hidden.widget()->move(area.bottomRight());
    hidden.show();
    EXPECT_EQ(hidden.windowRect().bottomRight(), area.bottomRight());
}

TEST(WindowTimers, TicksArriveOnTheGuiThreadAndStopWhenKilledOrDestroyed) {
    struct Ticking : SpyWindow {
        int ticks = 0;
        bool offThread = false, killsItself = false;
        void onTimer(int id) override {
            ticks += id == 5000 ? 1 : 0;
            offThread |= !Application::isGuiThread();
            if (killsItself) killTimer(id);
        }
    } w;
    ASSERT_TRUE(w.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    ASSERT_TRUE(w.setTimer(5000, 5));
    ASSERT_TRUE(guitest::waitFor([&] { return w.ticks >= 3; }));
    EXPECT_FALSE(w.offThread);
    ASSERT_TRUE(w.killTimer(5000));
    EXPECT_FALSE(w.killTimer(5000));
    const int afterKill = w.ticks;
    ASSERT_TRUE(guitest::timersHadTheirTurn());
    EXPECT_EQ(w.ticks, afterKill);
    w.killsItself = true;  // a handler may kill its own timer
    ASSERT_TRUE(w.setTimer(5000, 1));
    ASSERT_TRUE(guitest::waitFor([&] { return !w.hasTimer(5000); }));
    ASSERT_TRUE(guitest::timersHadTheirTurn());
    EXPECT_EQ(w.ticks, afterKill + 1);
    ASSERT_TRUE(w.setTimer(5000, 1));
    w.destroy();
    ASSERT_TRUE(guitest::timersHadTheirTurn());
    EXPECT_EQ(w.ticks, afterKill + 1);
    EXPECT_FALSE(w.setTimer(1, 5));
}

TEST(WindowColours, AControlAsksItsParentBeforePaintingAndFallsBackWhenUnanswered) {
    struct Page : Window {
        std::optional<QColor> warn = QColor(255, 0, 0);
        std::vector<ColourKind> asked;
        bool onColourQuery(Window&, ColourKind kind, ColourQuery& answer) override {
            asked.push_back(kind);
            answer.text = warn;
            return warn.has_value();
        }
    } page;
    ASSERT_TRUE(page.create(nullptr, 0, QRect(0, 0, 200, 100)));
    page.widget()->show();
    Edit edit;
    ASSERT_TRUE(edit.create(&page, 3, QRect(10, 10, 80, 22)));
    const auto textColour = [&] {
        edit.widget()->grab();  // paints, so the query runs
        return edit.widget()->palette().color(QPalette::Active, QPalette::Text);
    };
    EXPECT_EQ(textColour(), QColor(255, 0, 0));
    page.warn.reset();
    EXPECT_EQ(textColour(), QApplication::palette(edit.widget()).color(QPalette::Active, QPalette::Text));
    edit.setReadOnly(true);  // a read-only edit asks the static query instead
    textColour();
    EXPECT_EQ(page.asked.front(), ColourKind::Edit);
    EXPECT_EQ(page.asked.back(), ColourKind::Static);
}

#ifndef NDEBUG
TEST(WindowThreadsDeathTest, AGuiCallFromAnotherThreadAbortsInDebugBuilds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SpyWindow w;
    ASSERT_TRUE(w.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    const Handle h = w.handle();
    EXPECT_DEATH(
        {
            std::thread t([h] { send(h, msg::TaskData, 0, 0); });
            t.join();
        },
        "called off the GUI thread");
}
#else
TEST(WindowThreads, AGuiCallFromAnotherThreadIsRefusedInReleaseBuilds) {
    SpyWindow w;
    ASSERT_TRUE(w.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    const Handle h = w.handle();
    platform::DebugCapture capture;
    LResult result = -1;
    std::thread t([&] { result = send(h, msg::TaskData, 0, 0); });
    t.join();
    EXPECT_EQ((std::tuple{result, w.count(msg::TaskData), capture.count("gui: send called off the GUI thread\n")}),
              (std::tuple{LResult{0}, 0, std::size_t{1}}));
}
#endif

TEST(WindowInput, MovesWithoutAButtonReachPreTranslateAndACapturedWindowGetsTheMouseEverywhere) {
    struct Relaying : guitest::Spy<Dialog> {
        using guitest::Spy<Dialog>::Spy;
        std::vector<std::pair<int, Qt::MouseButtons>> moves;  // target id, buttons
        bool preTranslate(Window& target, const InputEvent& e) override {
            if (e.kind == InputEvent::MouseMove) moves.emplace_back(target.id(), e.mouse.buttons);
            return false;
        }
    };
    struct Gauge : SpyWindow {
        std::vector<std::pair<char, QPoint>> mouse;
        bool onMouseDown(const MouseEvent& e) override { return mouse.emplace_back('d', e.pos), true; }
        bool onMouseUp(const MouseEvent& e) override { return mouse.emplace_back('u', e.pos), true; }
        bool onMouseMove(const MouseEvent& e) override { return mouse.emplace_back('m', e.pos), true; }
    };
    DialogTemplate t = plainTemplate("page");
    t.style |= dialogStyle::Visible;
    t.items = {{ControlKind::PushButton, 5, "Go", QRect(5, 5, 50, 14)}};
    Relaying page(t);
    ASSERT_TRUE(page.createModeless());
    Gauge gauge;
    ASSERT_TRUE(gauge.create(&page, 6, QRect(100, 40, 50, 50)));
    SpyWindow other;
    ASSERT_TRUE(other.create(nullptr, 0, QRect(400, 0, 100, 100)));
    other.show();

    Window& button = *page.item(5);
    guitest::userMove(button, QPoint(3, 3));
    ASSERT_FALSE(page.moves.empty());
    EXPECT_EQ(page.moves.back(), std::make_pair(5, Qt::MouseButtons(Qt::NoButton)));

    gauge.setCapture();
    EXPECT_EQ(Window::captureWindow(), &gauge);
    guitest::userClick(button, QPoint(3, 3));  // over another control of the page ...
    guitest::userMove(other, QPoint(10, 10));  // ... and over another window
    EXPECT_EQ(page.count(msg::Command), 0);
    const QPoint overButton = gauge.screenToClient(button.clientToScreen(QPoint(3, 3)));
    const QPoint overOther = gauge.screenToClient(other.clientToScreen(QPoint(10, 10)));
    ASSERT_GE(gauge.mouse.size(), 3u);
    EXPECT_EQ(std::vector(gauge.mouse.end() - 3, gauge.mouse.end()),
              (std::vector<std::pair<char, QPoint>>{{'d', overButton}, {'u', overButton}, {'m', overOther}}));

    gauge.releaseCapture();
    EXPECT_EQ(Window::captureWindow(), nullptr);
    guitest::userClick(button, QPoint(3, 3));
    EXPECT_EQ(page.count(msg::Command), 1);
    gauge.setCapture();
    gauge.destroy();
    EXPECT_EQ(Window::captureWindow(), nullptr);
}

// A press, a key or a wheel turn on a window is shown first to its own top-level window
// and then to each owner up the chain, nearest first, before the window sees it; moves,
// releases and key releases are not. A hook that destroys the target ends the input there.
TEST(WindowInput, APressKeyOrWheelIsShownToEveryOwnerUpTheChainBeforeTheWindowSeesIt) {
    std::vector<std::string> seen;
    struct Owner : Dialog {
        Owner(const char* name, std::vector<std::string>& seen) : Dialog(plainTemplate(name)), name_(name), seen_(seen) {}
        void beforeOwnedInput(const InputEvent& e) override {
            seen_.push_back(name_ + std::to_string(static_cast<int>(e.kind)));
            if (onInput) onInput();
        }
        std::function<void()> onInput;
        std::string name_;
        std::vector<std::string>& seen_;
    };
    struct Target : SpyWindow {
        explicit Target(std::vector<std::string>& seen) : seen_(seen) {}
        bool onMouseDown(const MouseEvent&) override { return seen_.push_back("target"), true; }
        bool onKeyDown(const KeyEvent&) override { return seen_.push_back("target"), true; }
        bool onWheel(int, const MouseEvent&) override { return seen_.push_back("target"), true; }
        std::vector<std::string>& seen_;
    };
    Owner page("page", seen), options("options", seen), inner("inner", seen);
    ASSERT_TRUE(page.createModeless());
    ASSERT_TRUE(options.createModeless(&page));
    ASSERT_TRUE(inner.createModeless(&options));
    SpyWindow unowned;
    ASSERT_TRUE(unowned.create(nullptr, 0, QRect(400, 0, 100, 100)));
    for (Window* w : std::initializer_list<Window*>{&page, &options, &inner, &unowned}) w->show();
    auto* target = new Target(seen);
    ASSERT_TRUE(target->create(&inner, 7, QRect(10, 10, 60, 40)));

    // By the kind of input: 0 a press, 3 a wheel turn, 4 a key.
    guitest::userClick(*target, QPoint(5, 5));
    guitest::userMove(*target, QPoint(6, 6));
    EXPECT_EQ(seen, (std::vector<std::string>{"inner0", "options0", "page0", "target"}));
    seen.clear();
    QWheelEvent wheel(QPointF(5, 5), QPointF(target->clientToScreen(QPoint(5, 5))), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target->widget(), &wheel);
    EXPECT_EQ(seen, (std::vector<std::string>{"inner3", "options3", "page3", "target"}));
    seen.clear();
    guitest::focusForKeys(*target);
    guitest::userKey(*target, Qt::Key_Space);
    EXPECT_EQ(seen, (std::vector<std::string>{"inner4", "options4", "page4", "target"}));
    seen.clear();

    // Input to a window of no owner reaches no one else's hook.
    guitest::userClick(unowned, QPoint(5, 5));
    EXPECT_EQ(seen, std::vector<std::string>{});

    // An owner's hook that destroys the window ends the input: nobody further is asked.
    options.onInput = [&] { target->deleteLater(); };
    guitest::userClick(*target, QPoint(5, 5));
    EXPECT_EQ(seen, (std::vector<std::string>{"inner0", "options0"}));
    guitest::settle();
}

// ---- stacking of owned windows ----------------------------------------------------------

namespace {

// What the layer asks the window system for about stacking, played on a model of the
// stack (bottom first): the offscreen platform keeps no stacking order of its own.
class StackLog {
public:
    StackLog() {
        detail::setStackObserver([this](const QWidget* w, detail::StackRequest r) {
            const auto it = names_.find(w);
            const std::string name = it != names_.end() ? it->second : "?";
            if (r == detail::StackRequest::Remap) {
                remapped.push_back(name);
                return;
            }
            raiseInModel(name);
            ++raises;
        });
    }
    ~StackLog() { detail::setStackObserver(nullptr); }
    StackLog(const StackLog&) = delete;
    StackLog& operator=(const StackLog&) = delete;
    void name(const Window& w, std::string name) { names_[w.widget()] = std::move(name); }
    // Someone else raises a window (another program, a window manager at a click).
    void raiseInModel(const std::string& name) {
        stack.erase(std::remove(stack.begin(), stack.end(), name), stack.end());
        stack.push_back(name);
    }
    std::vector<std::string> stack;
    std::vector<std::string> remapped;
    int raises = 0;

private:
    std::map<const QWidget*, std::string> names_;
};

// A page as the program makes one: hidden at first, owning a tachometer and a graph
// (frameless tool windows; the graph owned through one of the page's controls) and a
// sequence window that is not shown; the graph owns a window of its own.
struct OwnedRig {
    Dialog page{plainTemplate("page")};
    Dialog tacho{speedTemplate()}, graph{speedTemplate()}, graphTip{speedTemplate()};
    Dialog sequence{plainTemplate("sequence")};
    SpyWindow pane;
    StackLog log;

    static DialogTemplate speedTemplate() {
        DialogTemplate t = plainTemplate("");
        t.style = dialogStyle::Frameless | dialogStyle::ToolWindow;
        return t;
    }
    OwnedRig() {
        EXPECT_TRUE(page.createModeless());
        EXPECT_TRUE(pane.create(&page, 5, QRect(0, 0, 80, 40)));
        EXPECT_TRUE(tacho.createModeless(&page));
        EXPECT_TRUE(graph.createModeless(&pane));
        EXPECT_TRUE(graphTip.createModeless(&graph));
        EXPECT_TRUE(sequence.createModeless(&page));
        log.name(page, "page");
        log.name(tacho, "tacho");
        log.name(graph, "graph");
        log.name(graphTip, "graphTip");
        log.name(sequence, "sequence");
    }
    // As a page shows: its speed windows first (in its ShowWindow handler), then itself,
    // whose window, made later, comes out on top of them when nothing else is done.
    void showLikeAPage() {
        tacho.show();
        graph.show();
        graphTip.show();
        log.stack = {"tacho", "graph", "graphTip", "page"};
        page.show();
        guitest::settle();
    }
    // The page raised by someone else: on top of everything of its own.
    void pageRaisedOutside() {
        log.stack = {"tacho", "graph", "graphTip", "sequence"};
        log.raiseInModel("page");
    }
};

using Names = std::vector<std::string>;

}  // namespace

// Shown after the windows it owns (a page shows its speed windows first), the owner has
// them raised back above it, each followed by what it owns; they are marked transient for
// it, and once it is mapped those mapped before it are mapped again, so that a window
// manager, which knew no owner when it first mapped them, ties them to it. A hidden owned
// window is not shown.
TEST(WindowStacking, AnOwnerShownAfterItsWindowsHasThemRaisedAboveItAndTiedToIt) {
    OwnedRig rig;
    rig.showLikeAPage();
    EXPECT_EQ(rig.log.stack, (Names{"page", "tacho", "graph", "graphTip"}));
    std::sort(rig.log.remapped.begin(), rig.log.remapped.end());
    EXPECT_EQ(rig.log.remapped, (Names{"graph", "tacho"}));
    const QWindow* page = rig.page.widget()->windowHandle();
    const auto transientFor = [](Dialog& d) { return d.widget()->windowHandle()->transientParent(); };
    EXPECT_EQ((std::vector<const QWindow*>{transientFor(rig.tacho), transientFor(rig.graph), transientFor(rig.graphTip)}),
              (std::vector<const QWindow*>{page, page, rig.graph.widget()->windowHandle()}));
    EXPECT_FALSE(rig.sequence.isShown());

    // Shown while the page is up (it may be below it from before): raised above it, and
    // not mapped twice.
    rig.pageRaisedOutside();
    rig.log.remapped.clear();
    rig.sequence.show();
    guitest::settle();
    EXPECT_EQ(rig.log.stack.back(), "sequence");
    EXPECT_EQ((std::tuple{rig.log.remapped, transientFor(rig.sequence)}), (std::tuple{Names{}, page}));
}

// Raised or activated by the program, activated by the window system, or pressed on, the
// owner has every shown window it owns raised above it, in the order they were last
// brought forward (a press on one brings it forward); hidden and minimised ones are left.
TEST(WindowStacking, RaiseActivationAndPressKeepTheOwnedWindowsAboveInTheirOwnOrder) {
    OwnedRig rig;
    rig.showLikeAPage();
    auto* plainQt = new QWidget(rig.page.clientWidget());  // as a menu bar: no window of ours
    plainQt->setGeometry(100, 0, 20, 20);
    plainQt->show();
    const Names pageBelow{"sequence", "page", "tacho", "graph", "graphTip"};
    const std::vector<std::pair<const char*, std::function<void()>>> ways{
        {"raise", [&] { rig.page.raiseAboveSiblings(); }},
        {"activate from a control", [&] { rig.pane.activate(); }},
        {"activation by the system",
         [&] {
             QEvent activation(QEvent::WindowActivate);
             QApplication::sendEvent(rig.page.widget(), &activation);
         }},
        {"press on a control", [&] { guitest::userClick(rig.pane, QPoint(5, 5)); }},
        {"press on a widget of Qt's own",
         [&] {
             QTest::mouseClick(plainQt->window()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                               plainQt->mapTo(plainQt->window(), QPoint(3, 3)));
         }},
    };
    for (const auto& [way, act] : ways) {
        rig.pageRaisedOutside();
        act();
        EXPECT_EQ(rig.log.stack, pageBelow) << way;
    }
    // Each raise once for one press, though it reaches the page's control, client and frame.
    rig.log.raises = 0;
    guitest::userClick(rig.pane, QPoint(5, 5));
    EXPECT_EQ(rig.log.raises, 3);

    // The tachometer pressed on comes forward among them; the graph's own window goes with
    // the graph.
    guitest::userClick(rig.tacho, QPoint(5, 5));
    rig.pageRaisedOutside();
    guitest::userClick(rig.pane, QPoint(5, 5));
    EXPECT_EQ(rig.log.stack, (Names{"sequence", "page", "graph", "graphTip", "tacho"}));

    rig.tacho.widget()->showMinimized();
    rig.graph.hide();
    rig.pageRaisedOutside();
    guitest::userClick(rig.pane, QPoint(5, 5));
    EXPECT_EQ(rig.log.stack, (Names{"tacho", "graph", "sequence", "page", "graphTip"}));
    EXPECT_EQ((std::tuple{rig.tacho.widget()->isMinimized(), rig.graph.isShown(), rig.sequence.isShown()}),
              (std::tuple{true, false, false}));
}

// A modal dialog run for the page stays above everything the page owns when the page is
// brought forward, even when a window it owns was brought forward after the dialog.
TEST(WindowStacking, AModalDialogOfTheOwnerStaysAboveTheWindowsItOwns) {
    OwnedRig rig;
    rig.showLikeAPage();
    Dialog question(plainTemplate("question"));
    Names during;
    guitest::runModal(
        question,
        [&](Dialog& d) {
            rig.log.name(d, "question");
            guitest::settle();  // the dialog's activation
            rig.tacho.raiseAboveSiblings();  // the speed windows are not blocked meanwhile
            EXPECT_EQ(rig.log.stack.back(), "tacho");
            rig.pageRaisedOutside();
            rig.page.activate();
            during = rig.log.stack;
            d.endDialog(1);
        },
        &rig.page);
    EXPECT_EQ(during, (Names{"sequence", "page", "graph", "graphTip", "tacho", "question"}));
}
