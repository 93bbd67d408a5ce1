#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QMenu>

#include "GuiTestSupport.h"
#include "platform/gui/Application.h"
#include "platform/gui/Controls.h"

using namespace gui;
using guitest::Spy;
using SpyDialog = Spy<Dialog>;

namespace {

// The main window's layout, cut to what the tests touch.
DialogTemplate mainWindowTemplate() {
    DialogTemplate t;
    t.caption = "Tamsiro";
    t.size = QSize(230, 70);
    t.fontFace = "Arial";
    t.pointSize = 8;
    t.style = dialogStyle::Caption | dialogStyle::SystemMenu | dialogStyle::MinimiseBox;
    t.menu = MenuSpec{{MenuPopup{"Help", {MenuItem{32776, "Version"}}}}};
    t.items = {
        {ControlKind::PushButton, id::Ok, "OK", QRect(105, 48, 50, 14), style::Visible | style::DefaultButton},
        {ControlKind::PushButton, id::Cancel, "Cancel", QRect(168, 48, 50, 14)},
        {ControlKind::ComboBox, 1024, "", QRect(21, 21, 69, 69), style::Visible | style::VScroll},
        {ControlKind::Edit, 1030, "", QRect(21, 40, 60, 12), style::Visible | style::WantsAllKeys},
    };
    return t;
}

}  // namespace

// Arial 8: 6 x 12 dialog base units.
TEST(DialogTemplates, ControlsLandOnTheirPixelRectanglesAndTheMenuSendsItsCommand) {
    ASSERT_TRUE(Application::metricCompatibleFont()) << "fonts-liberation2 is not installed";
    SpyDialog dialog(mainWindowTemplate());
    int result = guitest::runModal(dialog, [](Dialog& d) {
        EXPECT_EQ((std::tuple{d.isRunningModal(), d.widget()->windowTitle()}), (std::tuple{true, QString("Tamsiro")}));
        EXPECT_EQ(d.clientRect().size(), QSize(345, 105));
        EXPECT_EQ(d.item(id::Ok)->rectInParent(), QRect(158, 72, 75, 21));
        EXPECT_EQ(d.itemAs<PushButton>(id::Cancel)->text(), QString("Cancel"));
        EXPECT_EQ(d.item(id::Cancel)->rectInParent(), QRect(252, 72, 75, 21));
        // The template's 69 units include the list.
        auto* combo = d.itemAs<ComboBox>(1024);
        EXPECT_EQ(combo->rectInParent(), QRect(32, 32, 103, combo->comboBox()->sizeHint().height()));
        EXPECT_EQ(d.itemRect(1024), QRect(32, 32, 103, 103));
        EXPECT_GT(d.clientWidget()->y(), 0);  // below the menu bar
        d.menuAction(32776)->trigger();  // posted: it comes once the trigger has returned
        EXPECT_TRUE(guitest::waitFor([&] { return static_cast<SpyDialog&>(d).count(msg::Command) > 0; }));
        d.endDialog(5);
    });
    EXPECT_EQ(result, 5);
    const auto commands = dialog.only(msg::Command);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ((std::pair{commands[0].w, commands[0].l}), (std::pair{makeWParam(32776, 0), LParam{0}}));
    EXPECT_FALSE(dialog.exists());
}

TEST(DialogKeys, EnterGivesOkAndEscCancelUnlessAControlKeepsThemOrOkIsDisabled) {
    struct Case {
        int focus;
        Qt::Key key;
        bool okEnabled;
        int result;  // 77: the key did not end the dialog
    };
    const Case cases[] = {
        {1024, Qt::Key_Return, true, id::Ok}, {1024, Qt::Key_Escape, true, id::Cancel},
        {1030, Qt::Key_Return, true, 77},     {1030, Qt::Key_Escape, true, 77},  // the edit wants all keys
        {1024, Qt::Key_Return, false, 77},  // a disabled OK does nothing
    };
    for (const Case& c : cases) {
        SpyDialog d(mainWindowTemplate());
        Handle button = 0;
        EXPECT_EQ(guitest::runModal(d,
                                    [&](Dialog&) {
                                        button = c.result == 77 ? 0 : d.item(c.result)->handle();
                                        d.item(id::Ok)->setEnabled(c.okEnabled);
                                        d.item(c.focus)->setFocus();
                                        QTest::keyClick(d.item(c.focus)->widget(), c.key);
                                        if (d.count(msg::Command) == 0) d.endDialog(77);
                                    }),
                  c.result)
            << c.focus << " " << c.key;
        for (const auto& command : d.only(msg::Command)) {  // from the button itself
            EXPECT_EQ(handleFromLParam(command.l), button);
        }
    }
}

TEST(DialogModeless, OkCancelAndTheCloseBoxHideWithoutDestroying) {
    DialogTemplate t = mainWindowTemplate();
    t.style |= dialogStyle::Visible;
    SpyDialog dialog(t);
    ASSERT_TRUE(dialog.createModeless());
    EXPECT_TRUE(dialog.isShown());
    dialog.widget()->close();
    EXPECT_EQ((std::tuple{dialog.exists(), dialog.isShown()}), (std::tuple{true, false}));
    dialog.show();
    QTest::keyClick(dialog.item(1024)->widget(), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isShown());
    dialog.show();
    QTest::keyClick(dialog.item(1024)->widget(), Qt::Key_Return);
    EXPECT_FALSE(dialog.isShown());
    EXPECT_EQ(dialog.count(msg::ShowWindow), 6);  // three shows, three hides
    EXPECT_TRUE(dialog.exists());
}

TEST(DialogModeless, AnOwnedWindowIsMarkedTransientForItsOwnerAndKeepsItsCaptionButtons) {
    // A window manager keeps a window above another only when it is transient for it,
    // which the window system sets for dialog-type windows.
    DialogTemplate t = mainWindowTemplate();
    t.style |= dialogStyle::Visible | dialogStyle::MinimiseBox;
    SpyDialog owner(t), owned(t);
    ASSERT_TRUE(owner.createModeless());
    ASSERT_TRUE(owned.createModeless(&owner));
    const QWidget* w = owned.widget();
    ASSERT_NE(w->windowHandle(), nullptr);
    EXPECT_EQ((std::tuple{owner.widget()->windowType(), w->windowType(), w->windowHandle()->transientParent(),
                          w->windowFlags().testFlag(Qt::WindowMinimizeButtonHint)}),
              (std::tuple{Qt::Window, Qt::Dialog, owner.widget()->windowHandle(), true}));
}

TEST(DialogModal, LoopsNestEndInInitAndStopOnQuit) {
    struct EndsAtInit : Dialog {
        using Dialog::Dialog;
        bool onInitDialog() override {
            endDialog(42);
            return true;
        }
    };
    DialogTemplate small;
    small.size = QSize(50, 20);
    EndsAtInit early(small);
    EXPECT_EQ(early.doModal(), 42);

    Dialog outer(small), inner(small);
    int innerResult = 0;
    const int outerResult = guitest::runModal(outer, [&](Dialog& d) {
        innerResult = guitest::runModal(inner, [](Dialog& i) { i.endDialog(3); }, &d);
        EXPECT_TRUE(d.isRunningModal());
        d.endDialog(4);
    });
    EXPECT_EQ((std::pair{innerResult, outerResult}), (std::pair{3, 4}));

    Dialog quitting(small);
    EXPECT_EQ(guitest::runModal(quitting, [](Dialog&) { Application::postQuit(0); }), -1);
    Dialog afterQuit(small);
    EXPECT_EQ(afterQuit.doModal(), -1);  // a posted quit ends later loops at once
    Application::clearQuit();

    Dialog destroyed(small);
    EXPECT_EQ(guitest::runModal(destroyed, [](Dialog& d) { d.destroy(); }), -1);
}

TEST(DialogFrameless, BorderHitTestUsesTenPixelBandsInsideTheRectangle) {
    const QRect r(100, 100, 300, 200);
    struct Case {
        QPoint p;
        int code;
    };
    const Case cases[] = {
        {{100, 100}, hit::TopLeft},  {{109, 109}, hit::TopLeft},     {{110, 100}, hit::Top},
        {{390, 105}, hit::TopRight}, {{399, 299}, hit::BottomRight}, {{250, 290}, hit::Bottom},
        {{250, 289}, hit::Nowhere},  {{109, 200}, hit::Left},        {{110, 200}, hit::Nowhere},
        {{390, 200}, hit::Right},    {{400, 200}, hit::Nowhere},     {{99, 200}, hit::Nowhere},
    };
    for (const Case& c : cases) EXPECT_EQ(borderHitTest(r, c.p), c.code) << c.p.x() << "," << c.p.y();
}

TEST(DialogChild, ATemplatePlacedInsideAnotherDialogIsAPaneWithItsOwnControlsAndUnits) {
    DialogTemplate paneTemplate;
    paneTemplate.size = QSize(100, 40);
    paneTemplate.fontFace = "Arial";
    paneTemplate.pointSize = 8;
    paneTemplate.style = dialogStyle::Visible;
    paneTemplate.items = {{ControlKind::CheckBox, 1001, "Phase 1", QRect(4, 4, 60, 12),
                           style::Visible | style::AutoCheck | style::ThreeState},
                          {ControlKind::Edit, 1002, "", QRect(4, 20, 40, 12)}};
    DialogTemplate windowTemplate = mainWindowTemplate();
    windowTemplate.items.resize(2);  // OK and Cancel
    windowTemplate.size = QSize(230, 120);
    SpyDialog window(windowTemplate);
    SpyDialog pane(paneTemplate);
    const int result = guitest::runModal(window, [&](Dialog& w) {
        ASSERT_TRUE(pane.createChild(&w, 900, QPoint(14, 40)));
        EXPECT_EQ((std::tuple{pane.widget()->isWindow(), pane.parent(), w.child(900)}), (std::tuple{false, &w, &pane}));
        EXPECT_EQ(pane.rectInParent(), QRect(14, 40, 150, 60));  // 100 x 40 units of Arial 8
        EXPECT_EQ(pane.item(1001)->rectInParent(), QRect(6, 6, 90, 18));

        guitest::userClick(*pane.item(1001));
        EXPECT_EQ(pane.itemAs<CheckButton>(1001)->check(), 1);
        ASSERT_EQ(pane.count(msg::Command), 1);
        EXPECT_EQ((std::tuple{loWord(pane.only(msg::Command)[0].w), window.count(msg::Command)}), (std::tuple{1001, 0}));
        // Esc in the pane cancels the window.
        guitest::focusForKeys(*pane.item(1002));
        guitest::userKey(*pane.item(1002), Qt::Key_Escape);
    });
    EXPECT_EQ(result, id::Cancel);
    EXPECT_FALSE(pane.exists());
}

namespace {
struct AllCaption : Spy<Dialog> {  // the speed-curve window: caption inside the border
    using Spy<Dialog>::Spy;
    int hitTest(const QPoint& p) const override {
        const int code = Dialog::hitTest(p);
        return code == hit::Client ? hit::Caption : code;
    }
};
}  // namespace

TEST(DialogFrameless, DraggingTheCaptionMovesTheWindowExactlyAsFarAsTheMouse) {
    DialogTemplate t;
    t.size = QSize(100, 60);
    t.style = dialogStyle::Frameless | dialogStyle::ToolWindow | dialogStyle::Visible;
    AllCaption speed(t);
    ASSERT_TRUE(speed.createModeless());
    speed.moveWindow(QRect(QPoint(20, 30), speed.windowRect().size()));
    QWindow* window = speed.widget()->windowHandle();
    const QPoint start = speed.windowRect().topLeft();
    const QPoint grip = start + QPoint(40, 30);
    const auto at = [window](QPoint screenPos) { return window->mapFromGlobal(screenPos); };
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, at(grip));
    for (int step = 1; step <= 3; ++step) QTest::mouseMove(window, at(grip + QPoint(100 * step, 10 * step)));
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, at(grip + QPoint(300, 30)));
    EXPECT_EQ(speed.windowRect().topLeft(), start + QPoint(300, 30));
    QTest::mouseMove(window, at(grip + QPoint(350, 30)));
    EXPECT_EQ(speed.windowRect().topLeft(), start + QPoint(300, 30));
}

// The release never reaches the window (it went to another program's window, or to a
// popup), or the window is hidden mid-drag: the drag ends, the window stays where it is
// when the mouse moves on, and the next press goes where it is aimed.
TEST(DialogFrameless, ACaptionDragEndsWhenTheWindowLosesTheMouseOrIsHidden) {
    DialogTemplate t;
    t.size = QSize(100, 60);
    t.style = dialogStyle::Frameless | dialogStyle::ToolWindow | dialogStyle::Visible;
    t.items = {{ControlKind::PushButton, 5, "Go", QRect(60, 40, 30, 14)}};
    AllCaption speed(t);
    ASSERT_TRUE(speed.createModeless());
    QWindow elsewhere;  // another program's window: no widget of ours sees its mouse
    elsewhere.setGeometry(600, 400, 100, 100);
    elsewhere.show();
    QMenu menu;
    menu.addAction("Copy");
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"released elsewhere", [] {}},
        {"hidden", [&] { speed.hide(); }},
        {"a popup takes the release",
         [&] {
             menu.popup(QPoint(650, 200));
             ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
             QTest::mouseRelease(menu.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(-50, -50));
             menu.hide();
         }},
    };
    for (const auto& [name, lose] : cases) {
        SCOPED_TRACE(name);
        speed.moveWindow(QRect(QPoint(20, 30), speed.windowRect().size()));
        speed.show();
        QWindow* window = speed.widget()->windowHandle();
        const auto at = [window](QPoint screenPos) { return window->mapFromGlobal(screenPos); };
        const QPoint grip = speed.windowRect().topLeft() + QPoint(20, 20);
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, at(grip));
        QTest::mouseMove(window, at(grip + QPoint(50, 10)));
        const QPoint dropped = speed.windowRect().topLeft();
        EXPECT_EQ(dropped, grip - QPoint(20, 20) + QPoint(50, 10));
        lose();
        if (QGuiApplication::mouseButtons() != Qt::NoButton) {  // the release goes where no widget of ours sees it
            QTest::mouseRelease(&elsewhere, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
        }
        speed.show();
        QTest::mouseMove(window, at(grip + QPoint(120, 40)));
        EXPECT_EQ(speed.windowRect().topLeft(), dropped);
        const int commands = speed.count(msg::Command);
        guitest::userClick(*speed.item(5));
        EXPECT_EQ(speed.count(msg::Command), commands + 1);
    }
}

namespace {
struct Owner : Dialog {
    static inline int alive = 0;
    Owner() : Dialog(guitest::plainTemplate("owner")) { ++alive; }
    ~Owner() override { --alive; }
};
}  // namespace

TEST(DialogModal, AnOwnerDestroyedOrDeletedInsideTheLoopEndsItAndTheOwnerIsFreedAfterwards) {
    DialogTemplate small;
    small.size = QSize(50, 20);
    for (const bool deleted : {false, true}) {
        SCOPED_TRACE(deleted);
        auto owner = std::make_unique<Owner>();
        ASSERT_TRUE(owner->createModeless());
        owner->show();
        Owner* raw = owner.get();
        Dialog dialog(small);
        bool ownerExistedInLoop = false;
        const int result = guitest::runModal(
            dialog,
            [&](Dialog&) {
                ownerExistedInLoop = raw->exists();
                if (deleted) gui::deleteLater(std::move(owner));
                else raw->destroy();
            },
            raw);
        EXPECT_EQ((std::tuple{result, ownerExistedInLoop, dialog.exists()}), (std::tuple{-1, true, false}));
        if (!deleted) {
            EXPECT_FALSE(raw->exists());  // still allocated: only destroyed
        }
        guitest::settle();
        EXPECT_EQ(Owner::alive, deleted ? 0 : 1);
    }
}

// The template gives the client area: a window manager's frame goes around it, also when
// the dialog is built while another window is framed already (its frame is borrowed
// until this one is mapped) and again once it is shown and framed itself.
TEST(DialogTemplates, AFramedDialogsClientAreaIsItsTemplateSize) {
    DialogTemplate t = mainWindowTemplate();
    t.style |= dialogStyle::Visible;
    t.menu.reset();
    SpyDialog owner(t);
    ASSERT_TRUE(owner.createModeless());
    guitest::settle();
    const QRect ownerFrame = owner.windowRect();
    const QRect ownerGeometry = owner.widget()->geometry();
    ASSERT_NE(ownerFrame, ownerGeometry) << "this platform frames no window: nothing to check";
    for (Window* o : {static_cast<Window*>(nullptr), static_cast<Window*>(&owner)}) {
        SpyDialog d(t);
        ASSERT_TRUE(d.createModeless(o));
        const QSize built = d.clientRect().size();
        guitest::settle();
        EXPECT_EQ((std::tuple{built, d.clientRect().size(), d.windowRect().size() - d.widget()->size()}),
                  (std::tuple{QSize(345, 105), QSize(345, 105), ownerFrame.size() - ownerGeometry.size()}))
            << (o == nullptr ? "unowned" : "owned");
    }
}
