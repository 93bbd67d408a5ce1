// Nested loops: what a modal dialog blocks, windows deleted while their handler waits
// in a message box, and posted messages and timer ticks inside such loops.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include "GuiTestSupport.h"
#include "platform/gui/Controls.h"

using namespace gui;
using guitest::plainTemplate;
using guitest::SpyWindow;

namespace {

// A top-level window with one button whose clicks it counts.
struct ButtonWindow {
    SpyWindow window;
    PushButton button;
    int clicks = 0;
    explicit ButtonWindow(const QRect& rect) {
        window.create(nullptr, 0, rect);
        button.create(&window, 5, QRect(10, 10, 60, 24));
        window.answer = [this](std::uint32_t m, WParam w, LParam) -> LResult {
            if (m == msg::Command && loWord(w) == 5) ++clicks;
            return 0;
        };
        window.show();
    }
};

}  // namespace

TEST(ModalLoops, ARealMessageBoxBlocksItsOwnerOnlyAndReturnsTheButtonClicked) {
    ButtonWindow page(QRect(20, 20, 200, 100));
    ButtonWindow speed(QRect(300, 20, 200, 100));
    QTimer::singleShot(0, [&] {
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* b = qobject_cast<QMessageBox*>(w); b != nullptr && b->isVisible()) box = b;
        }
        ASSERT_NE(box, nullptr);
        guitest::userClick(page.button);
        guitest::userClick(speed.button);
        EXPECT_EQ((std::pair{page.clicks, speed.clicks}), (std::pair{0, 1}));
        QAbstractButton* no = box->button(QMessageBox::No);
        QTest::mouseClick(box->windowHandle(), Qt::LeftButton, Qt::NoModifier, no->mapTo(box, no->rect().center()));
    });
    QTimer watchdog;  // a box that was never found must not hang the run
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* b = qobject_cast<QMessageBox*>(w)) b->reject();
        }
    });
    watchdog.start(3000);
    EXPECT_EQ(messageBox(&page.window, "Save parameter setting ?", "Question", MessageButtons::YesNoCancel,
                         MessageIcon::Information),
              id::No);
    guitest::userClick(page.button);
    EXPECT_EQ(page.clicks, 1);
}

namespace {

// A page whose button handler asks the user and then carries on with its own members.
class PageLike : public Dialog {
public:
    static inline int alive = 0;
    static inline int destroysHandled = 0;  // by the page's own handler
    static inline int carriedOn = 0;        // handlers that finished after the box
    PageLike() : Dialog(pageTemplate()) { ++alive; }
    ~PageLike() override { --alive; }

protected:
    void onDestroy() override { ++destroysHandled; }
    LResult onCommand(int commandId, int code, Handle from) override {
        if (commandId != 5) return Dialog::onCommand(commandId, code, from);
        messageBox(this, "Save?", "Question");
        setText(QStringLiteral("answered"));  // the page's own data, after the nested loop
        ++carriedOn;
        return 1;
    }

private:
    static DialogTemplate pageTemplate() {
        DialogTemplate t = plainTemplate("page");
        t.style |= dialogStyle::Visible;
        t.items = {{ControlKind::PushButton, 5, "Save", QRect(5, 5, 50, 14)}};
        return t;
    }
};

}  // namespace

TEST(ModalLoops, ABoardRemovedWhileAPagesMessageBoxIsOpenDeletesThePageAfterItsHandlerReturns) {
    guitest::NestedLoopBoxes boxes(100);
    SpyWindow mainWindow;
    ASSERT_TRUE(mainWindow.create(nullptr, 0, QRect(0, 0, 50, 50), 0));
    auto page = std::make_unique<PageLike>();
    ASSERT_TRUE(page->createModeless(nullptr));
    PageLike* raw = page.get();
    mainWindow.answer = [&](std::uint32_t m, WParam, LParam) -> LResult {
        if (m == msg::DeviceChange && page) gui::deleteLater(std::move(page));
        return 0;
    };
    ASSERT_TRUE(mainWindow.post(msg::DeviceChange));  // the removal arrives while the box is open
    guitest::userClick(*raw->item(5));
    EXPECT_EQ((std::tuple{boxes.open, page.get()}), (std::tuple{0, nullptr}));
    // The handler carried on, and the whole page saw its destruction.
    EXPECT_EQ((std::pair{PageLike::carriedOn, PageLike::destroysHandled}), (std::pair{1, 1}));
    ASSERT_TRUE(guitest::waitFor([] { return PageLike::alive == 0; }));
}

TEST(PostedMessages, KeepFlowingInsideANestedLoop) {
    SpyWindow w;
    ASSERT_TRUE(w.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    bool inLoop = false;
    std::vector<bool> deliveredInLoop;
    w.answer = [&](std::uint32_t m, WParam, LParam) -> LResult {
        if (m == msg::PageClosed) {
            inLoop = true;
            QEventLoop loop;
            QTimer::singleShot(300, &loop, &QEventLoop::quit);
            loop.exec();
            inLoop = false;
        }
        if (m == msg::TaskData) deliveredInLoop.push_back(inLoop);
        return 0;
    };
    ASSERT_TRUE(w.post(msg::PageClosed));
    ASSERT_TRUE(w.post(msg::TaskData, 1));
    ASSERT_TRUE(w.post(msg::TaskData, 2));
    ASSERT_TRUE(guitest::waitFor([&] { return deliveredInLoop.size() == 2 && !inLoop; }, 3000));
    EXPECT_EQ(deliveredInLoop, (std::vector<bool>{true, true}));
}

TEST(PostedMessages, ATimerTickNeverOvertakesEarlierPosts) {
    SpyWindow w;
    ASSERT_TRUE(w.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    int ticksBeforeAllPosts = 0;
    w.answer = [&](std::uint32_t m, WParam wp, LParam) -> LResult {
        if (m == msg::Timer && w.count(msg::TaskData) < 20) ++ticksBeforeAllPosts;
        if (m == msg::TaskData && wp == 0) {
            // A handler that takes a while (the tick falls due), then pumps messages as
            // a message box would: the rest of the posts come before the tick.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        }
        return 0;
    };
    ASSERT_TRUE(w.setTimer(1, 1));
    for (WParam i = 0; i < 20; ++i) ASSERT_TRUE(w.post(msg::TaskData, i));
    ASSERT_TRUE(guitest::waitFor([&] { return w.count(msg::TaskData) == 20 && w.count(msg::Timer) > 0; }));
    EXPECT_EQ(ticksBeforeAllPosts, 0);
}
