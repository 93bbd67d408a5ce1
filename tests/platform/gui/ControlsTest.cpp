// Controls: the system's behaviour and notifications, driven with QTest input.
#include <gtest/gtest.h>

#include <QPainter>

#include "GuiTestSupport.h"
#include "platform/gui/Controls.h"

using namespace gui;
using guitest::SpyWindow;

namespace {

// A visible parent page for the controls of one test.
struct Page {
    SpyWindow window;
    Page() {
        window.create(nullptr, 0, QRect(0, 0, 400, 300), style::Visible);
    }
    std::vector<guitest::Received> commands() const { return window.only(msg::Command); }
};

void expectCommand(const guitest::Received& r, int id, int code, Handle from) {
    EXPECT_EQ(loWord(r.w), id);
    EXPECT_EQ(hiWord(r.w), code);
    EXPECT_EQ(handleFromLParam(r.l), from);
}

}  // namespace

TEST(ButtonControls, CheckAndRadioButtonsNeverToggleThemselvesAndNotifyTheParent) {
    Page page;
    CheckButton check;
    RadioButton radio, radio2;
    ASSERT_TRUE(check.create(&page.window, 3101, QRect(10, 10, 80, 24)));
    ASSERT_TRUE(radio.create(&page.window, 3105, QRect(10, 40, 80, 24)));
    ASSERT_TRUE(radio2.create(&page.window, 3205, QRect(10, 70, 80, 24)));

    QTest::mouseClick(check.widget(), Qt::LeftButton);
    QTest::mouseClick(radio.widget(), Qt::LeftButton);
    EXPECT_EQ(check.check(), 0);
    EXPECT_EQ(radio.check(), 0);
    auto commands = page.commands();
    ASSERT_EQ(commands.size(), 2u);
    expectCommand(commands[0], 3101, notify::ButtonClicked, check.handle());
    expectCommand(commands[1], 3105, notify::ButtonClicked, radio.handle());

    // The page sets the state; a later click leaves it as the page set it.
    check.setCheck(1);
    QTest::mouseClick(check.widget(), Qt::LeftButton);
    QTest::keyClick(check.widget(), Qt::Key_Space);
    EXPECT_EQ(check.check(), 1);
    // Drawn as a check box, still no self-toggle.
    check.modifyStyle(style::PushLike, 0);
    EXPECT_FALSE(check.isPushLike());
    QTest::mouseClick(check.widget(), Qt::LeftButton);
    EXPECT_EQ(check.check(), 1);

    // Radios of one parent are not exclusive: the page groups them.
    radio.setCheck(1);
    radio2.setCheck(1);
    EXPECT_EQ(radio.check() + radio2.check(), 2);
    EXPECT_EQ(page.commands().size(), 5u);
}

TEST(ListControls, OnlyTheUsersSelectionsAreReportedAndBadIndexesAreRefused) {
    Page page;
    ComboBox combo;
    TabBar tabs;
    ListView list;
    ASSERT_TRUE(combo.create(&page.window, 1024, QRect(10, 10, 100, 100)));
    ASSERT_TRUE(tabs.create(&page.window, 3008, QRect(0, 120, 300, 30)));
    ASSERT_TRUE(list.create(&page.window, 1060, QRect(0, 160, 200, 120)));
    list.insertColumn(0, "Number", 70);
    for (int i = 0; i < 3; ++i) {
        combo.addString(QString::number(i));
        tabs.insertItem(i, QString::number(i));
        EXPECT_EQ(list.insertItem(1000, QString::number(i + 1)), i);  // past the end appends
    }
    EXPECT_EQ(combo.curSel(), -1);  // filling a list chooses nothing
    EXPECT_EQ(combo.insertString(9, "bad"), -1);
    EXPECT_FALSE(combo.itemText(3).has_value());
    EXPECT_FALSE(combo.itemText(-1).has_value());
    EXPECT_EQ(combo.deleteString(3), -1);
    EXPECT_EQ(combo.setCurSel(20), -1);  // out of range clears the selection
    EXPECT_EQ(combo.curSel(), -1);
    EXPECT_EQ(tabs.setCurSel(7), -1);
    EXPECT_TRUE(tabs.itemRect(3).isEmpty());
    EXPECT_EQ(list.insertItem(-1, "x"), -1);
    EXPECT_FALSE(list.setItemText(-1, 0, "x"));
    EXPECT_EQ(list.itemText(3, 0), QString());
    EXPECT_EQ(list.itemText(0, 1), QString());
    combo.setCurSel(0);
    EXPECT_EQ(tabs.setCurSel(1), 0);
    EXPECT_TRUE(page.commands().empty());  // the program's own changes are not reported

    QTest::keyClick(combo.widget(), Qt::Key_Down);  // the user picks the next item
    EXPECT_EQ(combo.curSel(), 1);
    QTest::mouseClick(tabs.widget(), Qt::LeftButton, {}, tabs.itemRect(2).center());
    EXPECT_EQ(tabs.curSel(), 2);
    ASSERT_EQ(page.commands().size(), 2u);
    expectCommand(page.commands()[0], 1024, notify::ComboSelectionChange, combo.handle());
    expectCommand(page.commands()[1], 3008, notify::TabSelectionChange, tabs.handle());
}

TEST(TrackbarControls, ClicksKeysAndWheelDoNothingUnlessTheOwnerHandlesThem) {
    Page page;
    Trackbar plain;
    ASSERT_TRUE(plain.create(&page.window, 3027, QRect(10, 10, 200, 30)));
    plain.setRange(0, 100);
    plain.setPosition(50);
    plain.setPageSize(5);
    QTest::mouseClick(plain.widget(), Qt::LeftButton, {}, QPoint(3, 15));
    QTest::keyClick(plain.widget(), Qt::Key_PageUp);
    QTest::keyClick(plain.widget(), Qt::Key_Right);
    EXPECT_EQ(plain.position(), 50);
    EXPECT_EQ(page.window.count(msg::HScroll), 0);
    EXPECT_EQ(page.window.count(msg::Command), 0);

    // An owner that maps the click to a position itself and reports it.
    struct Owned : Trackbar {
        bool onMouseDown(const MouseEvent& e) override {
            const QRect c = channelRect();
            setPosition(rangeMin() + (e.pos.x() - c.left()) * (rangeMax() - rangeMin()) / std::max(1, c.width()));
            notifyScroll(scroll::ThumbPosition);
            return true;
        }
    } owned;
    ASSERT_TRUE(owned.create(&page.window, 3054, QRect(10, 50, 200, 30)));
    owned.setRange(0, 100);
    const QRect c = owned.channelRect();
    QTest::mouseClick(owned.widget(), Qt::LeftButton, {}, QPoint(c.left() + c.width() / 4, 15));
    const int pos = owned.position();
    EXPECT_NEAR(pos, 25, 2);
    const auto scrolls = page.window.only(msg::HScroll);
    ASSERT_EQ(scrolls.size(), 1u);
    EXPECT_EQ(scrolls[0].w, makeWParam(scroll::ThumbPosition, static_cast<std::uint16_t>(pos)));
    EXPECT_EQ(handleFromLParam(scrolls[0].l), owned.handle());
}

TEST(StaticControls, OwnerDrawPaintsThroughTheHook) {
    Page page;
    struct Lamp : StaticText {
        bool onPaint(QPainter& painter) override {
            painter.fillRect(QRect(0, 0, 20, 20), QColor(0xFF, 0x40, 0x40));
            return true;
        }
    } lamp;
    ASSERT_TRUE(lamp.create(&page.window, 5, QRect(0, 20, 20, 20), style::Visible | style::OwnerDraw));
    EXPECT_EQ(QColor(lamp.widget()->grab().toImage().pixel(10, 10)), QColor(0xFF, 0x40, 0x40));
}

TEST(EditControls, TypingNotifiesTheParentAndSettingTheTextClearsTheModifiedFlag) {
    Page page;
    Edit edit;
    ASSERT_TRUE(edit.create(&page.window, 3003, QRect(0, 0, 100, 22)));
    edit.setText("12.5");
    QTest::keyClicks(edit.widget(), "7");
    EXPECT_TRUE(edit.isModified());
    EXPECT_EQ(edit.text(), QString("12.57"));
    ASSERT_EQ(page.commands().size(), 1u);
    expectCommand(page.commands()[0], 3003, notify::EditChange, edit.handle());
    edit.setText("1");
    EXPECT_FALSE(edit.isModified());  // as the system does
    edit.setLimit(15);
    QTest::keyClicks(edit.widget(), "12345678901234567890");
    EXPECT_EQ(edit.text().size(), 15);
}

TEST(TooltipControls, PopsUpAfterTheDelayOverItsToolAndHidesAgain) {
    Page page;
    Trackbar vref;
    ASSERT_TRUE(vref.create(&page.window, 1, QRect(10, 10, 150, 30)));
    Tooltip tip;
    ASSERT_TRUE(tip.create(&page.window));
    tip.setTool(&vref, "Please set REF Voltage < 1.5V");
    tip.setDelays(1, 10000);
    EXPECT_FALSE(tip.isPoppedUp());

    tip.relayMouseMove(vref.windowRect().center());
    ASSERT_TRUE(guitest::waitFor([&] { return tip.isPoppedUp(); }));
    tip.relayMouseMove(vref.windowRect().bottomRight() + QPoint(40, 40));  // left the tool
    EXPECT_FALSE(tip.isPoppedUp());

    tip.setDelays(1, 15);
    tip.popup();
    ASSERT_TRUE(guitest::waitFor([&] { return !tip.isPoppedUp(); }));  // the pop-up time ran out
    page.window.destroy();  // owned by the page: goes with it
    EXPECT_FALSE(tip.exists());
}
