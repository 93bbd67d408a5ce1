#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include <QAbstractButton>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>

#include "GuiTestSupport.h"
#include "platform/gui/Controls.h"

using namespace gui;
using guitest::plainTemplate;
using guitest::SpyWindow;

namespace {

// A page whose handler asks the user, then uses its own members.
struct PageLike : Dialog {
    static inline int alive = 0, destroysHandled = 0, carriedOn = 0;
    PageLike() : Dialog(pageTemplate()) { ++alive; }
    ~PageLike() override { --alive; }
    void onDestroy() override { ++destroysHandled; }
    LResult onCommand(int commandId, int code, Handle from) override {
        if (commandId != 5) return Dialog::onCommand(commandId, code, from);
        messageBox(this, "Save?", "Question");
        setText(QStringLiteral("answered"));
        ++carriedOn;
        return 1;
    }
    static DialogTemplate pageTemplate() {
        DialogTemplate t = plainTemplate("page");
        t.style |= dialogStyle::Visible;
        t.items = {{ControlKind::PushButton, 5, "Save", QRect(5, 5, 50, 14)}};
        return t;
    }
};

}  // namespace

TEST(ModalLoops, ABoardRemovedWhileAPagesMessageBoxIsOpenDeletesThePageAfterItsHandlerReturns) {
    int openAtRemoval = -1;
    guitest::NestedLoopBoxes boxes([&] { return openAtRemoval != -1; });  // open until the removal came
    SpyWindow mainWindow;
    ASSERT_TRUE(mainWindow.create(nullptr, 0, QRect(0, 0, 50, 50), 0));
    auto page = std::make_unique<PageLike>();
    ASSERT_TRUE(page->createModeless(nullptr));
    PageLike* raw = page.get();
    mainWindow.answer = [&](std::uint32_t m, WParam, LParam) -> LResult {
        if (m == msg::DeviceChange && page) {
            openAtRemoval = boxes.open;
            gui::deleteLater(std::move(page));
        }
        return 0;
    };
    ASSERT_TRUE(mainWindow.post(msg::DeviceChange));  // the removal arrives while the box is open
    guitest::userClick(*raw->item(5));
    EXPECT_EQ(openAtRemoval, 1);  // posts flow inside the box's nested loop
    EXPECT_EQ((std::tuple{boxes.open, page.get()}), (std::tuple{0, nullptr}));
    EXPECT_EQ((std::pair{PageLike::carriedOn, PageLike::destroysHandled}), (std::pair{1, 1}));
    ASSERT_TRUE(guitest::waitFor([] { return PageLike::alive == 0; }));
}

namespace {

// A page with a menu item and a button that both run a file dialog; what it saw is kept
// outside it (a deleted page is freed once its handler returns).
struct SavingPage : Dialog {
    static constexpr int kSave = 0x8003;
    struct Seen {
        int asked = 0;
        bool menuHadReturned = false;  // the item's trigger had returned when the command came
        bool menuAliveAfter = false;   // the menu and the button, after the dialog's loop
        bool buttonAliveAfter = false;
        bool existedAfter = true;
    };
    static inline int alive = 0;
    Seen* seen = nullptr;
    bool menuReturned = false;
    QPointer<QMenu> menu;
    QPointer<QWidget> button;
    SavingPage() : Dialog(pageTemplate()) { ++alive; }
    ~SavingPage() override { --alive; }
    bool onInitDialog() override {
        menu = qobject_cast<QMenu*>(menuAction(kSave)->parent());
        button = item(5)->widget();
        // Connected after the layer's own handler of the item: runs once that has returned.
        QObject::connect(menuAction(kSave), &QAction::triggered, menu.data(), [this] { menuReturned = true; });
        return Dialog::onInitDialog();
    }
    LResult onCommand(int commandId, int code, Handle from) override {
        if (commandId != kSave && commandId != 5) return Dialog::onCommand(commandId, code, from);
        seen->menuHadReturned = menuReturned;
        saveFileDialog(this, "Save parameter setting", {{"Data", "*.dat"}});
        seen->existedAfter = exists();
        seen->menuAliveAfter = !menu.isNull();
        seen->buttonAliveAfter = !button.isNull();
        ++seen->asked;
        return 1;
    }
    static DialogTemplate pageTemplate() {
        DialogTemplate t = plainTemplate("page");
        t.style |= dialogStyle::Visible | dialogStyle::Caption;
        t.menu = MenuSpec{{MenuPopup{"File", {MenuItem{kSave, "Save parameter setting"}}}}};
        t.items = {{ControlKind::PushButton, 5, "Save", QRect(5, 5, 50, 14)}};
        return t;
    }
};

}  // namespace

// The board goes while the file dialog of a page's own menu item or button is open: the
// main window deletes the page inside the dialog's loop. Qt's menu and button code runs
// below the page's handler and goes on with its widgets when the handler returns, so
// they must outlive it: a menu command comes once the menu has closed, and the page's
// widgets (its menu, its controls) wait for its handlers like the page object does.
TEST(ModalLoops, APageDeletedInsideTheDialogOfItsMenuCommandOrButtonKeepsItsWidgetsUntilTheHandlerReturns) {
    SpyWindow mainWindow;
    ASSERT_TRUE(mainWindow.create(nullptr, 0, QRect(0, 0, 50, 50), 0));
    for (const bool fromMenu : {true, false}) {
        SCOPED_TRACE(fromMenu ? "menu" : "button");
        auto page = std::make_unique<SavingPage>();
        SavingPage::Seen seen;
        page->seen = &seen;
        ASSERT_TRUE(page->createModeless(nullptr));
        SavingPage* raw = page.get();
        const QPointer<QMenu> menu = raw->menu;
        const QPointer<QWidget> outer = raw->widget();
        ASSERT_TRUE(menu && raw->button);
        mainWindow.answer = [&](std::uint32_t m, WParam, LParam) -> LResult {
            if (m == msg::DeviceChange && page) gui::deleteLater(std::move(page));
            return 0;
        };
        // The removal arrives inside the dialog's loop; the dialog closes once the page is gone.
        guitest::NestedLoopFiles files([&] { mainWindow.post(msg::DeviceChange); }, [&] { return page == nullptr; });
        if (fromMenu) ASSERT_TRUE(guitest::userMenuItem(*raw, SavingPage::kSave));
        else guitest::userClick(*raw->item(5));
        ASSERT_TRUE(guitest::waitFor([&] { return seen.asked == 1; }, 15000));
        EXPECT_EQ(files.closed, 1);
        EXPECT_EQ(page, nullptr);
        if (fromMenu) {
            EXPECT_TRUE(seen.menuHadReturned) << "the command ran under the menu's trigger";
        }
        // The widget whose Qt code is below the handler: the menu, or the clicked button.
        EXPECT_EQ((std::tuple{seen.existedAfter, fromMenu ? seen.menuAliveAfter : seen.buttonAliveAfter}),
                  (std::tuple{false, true}))
            << "(page exists, the widget below alive) after the dialog's loop";
        // Freed once the handlers have returned, widgets and all.
        ASSERT_TRUE(guitest::waitFor([&] { return SavingPage::alive == 0 && menu.isNull() && outer.isNull(); }));
    }
}

TEST(PostedMessages, ATimerTickNeverOvertakesEarlierPosts) {
    SpyWindow w;
    ASSERT_TRUE(w.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    int ticksBeforeAllPosts = 0;
    w.answer = [&](std::uint32_t m, WParam wp, LParam) -> LResult {
        if (m == msg::Timer && w.count(msg::TaskData) < 20) ++ticksBeforeAllPosts;
        if (m == msg::TaskData && wp == 0) {
            // Slow (the tick falls due), then pumping as a message box does.
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

// A handler that runs a modal loop, our dialog's or a real message box's, goes on
// receiving the posts queued behind its own message. The box answers the button
// clicked with the mouse, and the owner takes clicks again once the loop is over.
TEST(PostedMessages, KeepFlowingInsideAModalDialogsLoopAndARealMessageBoxsLoop) {
    DialogTemplate t = plainTemplate("page");
    t.style |= dialogStyle::Visible;
    t.items = {{ControlKind::PushButton, 5, "Save", QRect(5, 5, 50, 14)}};
    guitest::Spy<Dialog> page(t);
    ASSERT_TRUE(page.createModeless(nullptr));
    DialogTemplate small;
    small.size = QSize(50, 20);
    Dialog modal(small);
    struct Case {
        const char* what;
        std::function<int()> open;
        std::function<void()> answer;
        int result;
    };
    const Case cases[] = {
        {"modal dialog", [&] { return modal.doModal(&page); }, [&] { modal.endDialog(7); }, 7},
        {"message box",
         [&] { return messageBox(&page, "Save?", "Question", MessageButtons::YesNoCancel, MessageIcon::Question); },
         [] {
             QMessageBox* box = guitest::shownDialog<QMessageBox>();
             ASSERT_NE(box, nullptr);
             QAbstractButton* no = box->button(QMessageBox::No);
             QTest::mouseClick(box->windowHandle(), Qt::LeftButton, Qt::NoModifier, no->mapTo(box, no->rect().center()));
         },
         id::No},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool inLoop = false;
        std::vector<bool> deliveredInLoop;
        int result = 0;
        page.answer = [&](std::uint32_t m, WParam, LParam) -> LResult {
            if (m == msg::PageClosed) {
                inLoop = true;
                result = c.open();
                inLoop = false;
            }
            if (m == msg::TaskData) {
                deliveredInLoop.push_back(inLoop);
                if (deliveredInLoop.size() == 2) QTimer::singleShot(0, c.answer);
            }
            return 0;
        };
        QTimer watchdog;  // a loop that missed its posts must not hang the run
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] { modal.endDialog(-99); });
        watchdog.start(10000);
        const auto boxWatchdog = guitest::dialogWatchdog();
        ASSERT_TRUE(page.post(msg::PageClosed));
        ASSERT_TRUE(page.post(msg::TaskData, 1));
        ASSERT_TRUE(page.post(msg::TaskData, 2));
        ASSERT_TRUE(guitest::waitFor([&] { return deliveredInLoop.size() == 2 && !inLoop; }, 15000));
        EXPECT_EQ(deliveredInLoop, (std::vector<bool>{true, true}));
        EXPECT_EQ(result, c.result);
        page.answer = nullptr;
        const int commands = page.count(msg::Command);
        guitest::userClick(*page.item(5));
        EXPECT_EQ(page.count(msg::Command), commands + 1);
    }
}
