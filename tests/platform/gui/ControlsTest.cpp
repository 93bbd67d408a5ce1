// Controls: the system's behaviour and notifications, driven with QTest input.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>

#include "GuiTestSupport.h"
#include "platform/gui/Controls.h"

using namespace gui;
using guitest::Spy;
using guitest::SpyWindow;

namespace {

// A visible parent page for the controls of one test.
struct Page {
    SpyWindow window;
    Page() { window.create(nullptr, 0, QRect(0, 0, 400, 300), style::Visible); }
    std::vector<guitest::Received> commands() const { return window.only(msg::Command); }
};

void expectCommand(const guitest::Received& r, int id, int code, Handle from) {
    EXPECT_EQ((std::tuple{loWord(r.w), hiWord(r.w), handleFromLParam(r.l)}), (std::tuple{id, code, from}));
}

}  // namespace

TEST(ListControls, BadIndexesAreRefusedAndTheProgramsOwnChangesGoUnreported) {
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
    EXPECT_EQ(combo.curSel(), -1);  // nothing chosen
    EXPECT_FALSE(combo.itemText(3).has_value() || combo.itemText(-1).has_value());
    // An out-of-range selection clears the selection.
    EXPECT_EQ((std::vector{combo.insertString(9, "bad"), combo.deleteString(3), combo.setCurSel(20), combo.curSel(),
                           tabs.setCurSel(7), list.insertItem(-1, "x")}),
              std::vector(6, -1));
    EXPECT_EQ((std::tuple{tabs.itemRect(3).isEmpty(), list.setItemText(-1, 0, "x")}), (std::tuple{true, false}));
    EXPECT_EQ(list.itemText(3, 0) + list.itemText(0, 1), QString());
    combo.setCurSel(0);
    EXPECT_EQ(tabs.setCurSel(1), 0);
    EXPECT_TRUE(page.commands().empty());  // the program's own changes are not reported
}

// A box given a font before it first opens makes no drop-down list for it, yet sizes
// and opens as a box given the font by Qt itself: the same field height (also after a
// move, which asks for it again), the list in the box's font, and a later font followed.
TEST(ListControls, AFontGivenBeforeTheFirstOpeningMakesNoListAndSizesAsQtWould) {
    Page page;
    ComboBox combo;
    ASSERT_TRUE(combo.create(&page.window, 1024, QRect(10, 10, 120, 100)));
    QComboBox* box = combo.comboBox();
    const int before = box->height();
    QFont big(QStringLiteral("Liberation Sans"));
    big.setPixelSize(24);
    big.setBold(true);
    combo.setFont(big);
    combo.moveWindow(QRect(20, 20, 120, 100));
    QComboBox reference(page.window.widget());
    reference.setFont(big);
    for (const char* item : {"Micro Step", "Full Step"}) {
        combo.addString(item);
        reference.addItem(item);
    }
    EXPECT_TRUE(box->findChildren<QWidget*>().isEmpty()) << "a list was made for the font";
    EXPECT_NE(before, reference.sizeHint().height()) << "the font must change the height for this test to tell";
    EXPECT_EQ((std::tuple{box->height(), box->sizeHint()}),
              (std::tuple{reference.sizeHint().height(), reference.sizeHint()}));

    box->showPopup();
    const QFont listFont = box->view()->font();
    EXPECT_EQ((std::tuple{listFont.pixelSize(), listFont.bold()}), (std::tuple{24, true}));
    box->hidePopup();
    QFont small = big;
    small.setPixelSize(9);
    combo.setFont(small);
    EXPECT_EQ(box->view()->font().pixelSize(), 9) << "once the list exists it follows the box's font";
}

// What the combo box's font handling relies on in Qt itself. A plain box makes its list
// at a font change (the reason the layer keeps the announcement from a box that has not
// opened); a box made in a parent of that font takes it without making a list, and asks
// for the field height a box given the font would (the probe that sizes the field). If
// Qt changes either, the font handling in Controls.cpp must be looked at again.
TEST(ListControls, QtMakesAListAtAFontChangeAndABoxTakesItsParentsFontWithoutOne) {
    QFont big(QStringLiteral("Liberation Sans"));
    big.setPixelSize(24);
    big.setBold(true);
    QWidget parent;
    QComboBox plain(&parent);
    ASSERT_TRUE(plain.findChildren<QWidget*>().isEmpty()) << "a fresh box already holds a list";
    plain.setFont(big);
    EXPECT_FALSE(plain.findChildren<QWidget*>().isEmpty()) << "Qt no longer makes the list at a font change";

    QWidget holder;
    holder.setFont(big);
    QComboBox probe(&holder);
    EXPECT_EQ((std::tuple{probe.font().pixelSize(), probe.font().bold(), probe.findChildren<QWidget*>().size()}),
              (std::tuple{24, true, qsizetype{0}}))
        << "pixel size, bold, widgets made inside the box";
    EXPECT_EQ(probe.sizeHint(), plain.sizeHint()) << "the probe's field is not that of a box given the font";
}

// Each kind of control lives in its parent's client area, not as a window of its own;
// a control for a parent that is gone is refused and leaves no widget behind. A combo
// box's list shows as many rows of the application's font as its rectangle holds.
TEST(ControlParents, EveryKindIsMadeInItsParentsClientAreaAndNoneForAParentThatIsGone) {
    Page page;
    StaticText label, ownerDrawn;
    PushButton push;
    CheckButton check;
    RadioButton radio;
    GroupBox group;
    Edit edit;
    ComboBox combo;
    StandardTrackbar slider;
    TabBar tabs;
    TabControl tabControl;
    const std::vector<std::pair<Window*, std::uint32_t>> kinds = {
        {&label, 0},      {&ownerDrawn, style::OwnerDraw},
        {&push, 0},       {&check, 0},
        {&radio, 0},      {&group, 0},
        {&edit, 0},       {&combo, 0},
        {&slider, 0},     {&tabs, 0},
        {&tabControl, 0},
    };
    int id = 100;
    for (const auto& [control, bits] : kinds) {
        ASSERT_TRUE(control->create(&page.window, id, QRect(10, id - 90, 120, 90), bits | style::Visible)) << id;
        EXPECT_EQ((std::tuple{id, control->widget()->parentWidget() == page.window.clientWidget(),
                              control->widget()->isWindow(), control->widget()->isVisible()}),
                  (std::tuple{id, true, false, true}));
        // Made once: a second create keeps the first widget.
        QWidget* first = control->widget();
        EXPECT_EQ(
            (std::tuple{id, control->create(&page.window, id, QRect(0, 0, 10, 10), bits), control->widget() == first}),
            (std::tuple{id, false, true}));
        ++id;
    }
    const int rows = 90 / QFontMetrics(QApplication::font(combo.comboBox())).height();
    EXPECT_EQ(combo.comboBox()->maxVisibleItems(), rows);
    StaticText locked;
    ASSERT_TRUE(locked.create(&page.window, 200, QRect(0, 0, 50, 20), style::Visible | style::Disabled));
    EXPECT_EQ((std::tuple{locked.isEnabled(), locked.isShown()}), (std::tuple{false, true}));

    SpyWindow gone;
    ASSERT_TRUE(gone.create(nullptr, 0, QRect(0, 0, 100, 100)));
    gone.destroy();
    Edit orphan;
    EXPECT_FALSE(orphan.create(&gone, 1, QRect(0, 0, 50, 20)));
    EXPECT_EQ((std::tuple{orphan.exists(), orphan.widget() == nullptr}), (std::tuple{false, true}));
    Spy<Dialog> ownedByGone{DialogTemplate{}};
    EXPECT_EQ((std::tuple{ownedByGone.createModeless(&gone), ownedByGone.exists()}), (std::tuple{false, false}));
}

TEST(EditControls, TypingNotifiesTheParentAfterTheHookSawItAndSettingTheTextClearsTheModifiedFlag) {
    Page page;
    struct Watching : Edit {
        std::vector<std::pair<QString, bool>> after;  // text and modified flag after each key
        void onAfterKeyDown(const KeyEvent&) override { after.emplace_back(text(), isModified()); }
    } edit;
    ASSERT_TRUE(edit.create(&page.window, 3003, QRect(0, 0, 100, 22)));
    edit.setText("1");
    guitest::focusForKeys(edit);
    guitest::userKey(edit, Qt::Key_End);
    guitest::userKey(edit, Qt::Key_5, "5");
    EXPECT_EQ(edit.after, (std::vector<std::pair<QString, bool>>{{"1", false}, {"15", true}}));
    ASSERT_EQ(page.commands().size(), 1u);
    expectCommand(page.commands()[0], 3003, notify::EditChange, edit.handle());
    edit.setText("2");
    EXPECT_FALSE(edit.isModified());  // as the system does
    edit.setLimit(15);
    QTest::keyClicks(edit.widget(), "12345678901234567890");
    EXPECT_EQ(edit.text().size(), 15);
}

TEST(TabControls, ATabControlSelectsOnAClickAndItsBodyHoldsThePagesControls) {
    Page page;
    TabControl tabs;
    ASSERT_TRUE(tabs.create(&page.window, 31, QRect(10, 10, 300, 150)));
    for (const char* name : {"Channel 1", "Channel 2", "Both"}) tabs.insertItem(tabs.count(), name);
    const QRect body = tabs.bodyRect();
    EXPECT_GT(body.top(), tabs.itemRect(0).bottom());  // below the tabs
    EXPECT_TRUE(tabs.clientRect().contains(body));
    Edit inBody;
    ASSERT_TRUE(inBody.create(&tabs, 32, QRect(body.topLeft() + QPoint(8, 8), QSize(80, 22))));

    guitest::focusForKeys(inBody);
    guitest::userClick(tabs, tabs.itemRect(1).center());
    EXPECT_EQ(tabs.curSel(), 1);
    const auto commands = page.commands();
    ASSERT_EQ(commands.size(), 1u);
    expectCommand(commands[0], 31, notify::TabSelectionChange, tabs.handle());
    EXPECT_TRUE(inBody.hasFocus());  // a click on a tab leaves the focus (and a focused edit) alone
    tabs.setCurSel(2);               // the program's own choice is not reported
    EXPECT_EQ(page.commands().size(), 1u);
    // The control in the body is drawn over the frame.
    EXPECT_EQ((std::tuple{inBody.isVisible(), tabs.widget()->childAt(inBody.rectInParent().center())}),
              (std::tuple{true, inBody.widget()}));
}

TEST(ButtonControls, AHookThatConsumesTheReleaseLeavesNoButtonDrawnPressed) {
    struct Swallowing : Spy<Dialog> {
        using Spy<Dialog>::Spy;
        bool swallowUp = false;
        bool preTranslate(Window& target, const InputEvent& e) override {
            return swallowUp && e.kind == InputEvent::MouseUp && target.id() == 5;
        }
    };
    DialogTemplate t;
    t.size = QSize(100, 50);
    t.style |= dialogStyle::Visible;
    t.items = {{ControlKind::PushButton, 5, "Go", QRect(5, 5, 50, 14)}};
    Swallowing dialog(t);
    ASSERT_TRUE(dialog.createModeless());
    dialog.swallowUp = true;
    auto* button = dynamic_cast<QAbstractButton*>(dialog.item(5)->widget());
    guitest::userClick(*dialog.item(5));
    EXPECT_EQ((std::tuple{button->isDown(), dialog.count(msg::Command)}), (std::tuple{false, 0}));
    dialog.swallowUp = false;  // the next click is an ordinary one
    guitest::userClick(*dialog.item(5));
    EXPECT_EQ(dialog.count(msg::Command), 1);
}

TEST(ButtonControls, ADisabledWindowsMouseHooksSeeNoClick) {
    struct Counting : Window {
        int presses = 0;
        bool onMouseDown(const MouseEvent&) override { return ++presses, true; }
    };
    Page page;
    Counting row;
    ASSERT_TRUE(row.create(&page.window, 7, QRect(10, 10, 40, 20), style::Visible));
    row.setEnabled(false);
    guitest::userClick(row);
    EXPECT_EQ(row.presses, 0);
    row.setEnabled(true);
    guitest::userClick(row);
    EXPECT_EQ(row.presses, 1);
}

// Static text never greys: disabled, made so or later, it looks as it does enabled.
TEST(ControlParents, StaticTextLooksTheSameDisabled) {
    Page page;
    StaticText shown, disabledLater, madeDisabled;
    ASSERT_TRUE(shown.create(&page.window, 1, QRect(0, 0, 80, 20), style::Visible));
    ASSERT_TRUE(disabledLater.create(&page.window, 2, QRect(0, 30, 80, 20), style::Visible));
    ASSERT_TRUE(madeDisabled.create(&page.window, 3, QRect(0, 60, 80, 20), style::Visible | style::Disabled));
    for (StaticText* label : {&shown, &disabledLater, &madeDisabled}) label->setText(QStringLiteral("Speed 8"));
    const QImage enabled = shown.widget()->grab().toImage();
    EXPECT_EQ(disabledLater.widget()->grab().toImage(), enabled);
    disabledLater.setEnabled(false);
    EXPECT_EQ(disabledLater.widget()->grab().toImage(), enabled) << "greyed once disabled";
    EXPECT_EQ(madeDisabled.widget()->grab().toImage(), enabled) << "made disabled and greyed";
    // The grey it would have: a plain label disabled differs.
    QLabel plain(QStringLiteral("Speed 8"), page.window.clientWidget());
    plain.setGeometry(0, 90, 80, 20);
    plain.setEnabled(false);
    EXPECT_NE(plain.grab().toImage(), enabled);
}
