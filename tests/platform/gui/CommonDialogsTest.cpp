#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>

#include <QtTest/qtestspontaneevent.h>

#include "GuiTestSupport.h"
#include "platform/gui/CommonDialogs.h"

using namespace gui;

TEST(CommonDialogs, FilterStringsParse) {
    const auto filters = parseFilterString("MS-Excel CSV files(*.csv)|*.csv|All files(*.*)|*.*||");
    ASSERT_EQ(filters, (std::vector<FileFilter>{{"MS-Excel CSV files(*.csv)", "*.csv"}, {"All files(*.*)", "*.*"}}));
    EXPECT_EQ(parseFilterString("Data|*.dat;*.bin|Dangling").size(), 1u);  // no pattern: dropped
    EXPECT_TRUE(parseFilterString("|||").empty());
    EXPECT_EQ(toNameFilters({filters[0], {"Parameter files", "*.dat;*.bin"}}),
              (QStringList{"MS-Excel CSV files(*.csv)", "Parameter files (*.dat *.bin)"}));
}

TEST(CommonDialogs, ClipboardGoesThroughTheProvider) {
    {
        ScriptedDialogs script;
        EXPECT_TRUE(setClipboardText("1\t120\r\n2\t0\r\n"));
        ASSERT_EQ(script.clipboard().size(), 1u);
        EXPECT_EQ(script.clipboard()[0], QString("1\t120\r\n2\t0\r\n"));
        script.failClipboard(true);
        EXPECT_FALSE(setClipboardText("x"));
    }
    EXPECT_EQ((std::tuple{setClipboardText("3\t250\r\n"), QGuiApplication::clipboard()->text()}), (std::tuple{true, QString("3\t250\r\n")}));
}

void clickBothThenType(Window& owner, Window& other, const QString& text, Qt::Key last) {
    guitest::userClick(owner);  // blocked
    guitest::userClick(other);  // not blocked
    QCloseEvent close;          // nor is the owner's close box
    QSpontaneKeyEvent::setSpontaneous(&close);
    qApp->notify(owner.widget()->window(), &close);
    QWindow* target = QGuiApplication::focusWindow();
    ASSERT_NE(target, nullptr) << "no window has the keyboard";
    for (const QChar c : text) QTest::keyClick(target, c.toLatin1());
    QTest::keyClick(target, last);
}

TEST(ModalLoops, AModalDialogTakesTheKeyboardBlocksOnlyItsOwnerAndGivesTheKeyboardBack) {
    DialogTemplate t = guitest::plainTemplate("Tamsiro");
    t.style |= dialogStyle::Visible;
    t.items = {{ControlKind::Edit, 1030, "", QRect(5, 5, 60, 12)}, {ControlKind::PushButton, 5, "Go", QRect(5, 20, 50, 14)}};
    guitest::Spy<Dialog> owner(t), other(t);
    ASSERT_TRUE(owner.createModeless() && other.createModeless());
    guitest::focusForKeys(*owner.item(1030));
    DialogTemplate ownTemplate = guitest::plainTemplate("Speed");
    ownTemplate.items = {{ControlKind::Edit, 7, "", QRect(5, 5, 60, 12)}};
    const QString path = QDir::temp().filePath("tamsiro-focus-test.dat");
    struct Case {
        std::function<QString()> open;
        QString typed;
        Qt::Key last;
        QString expected;
    };
    const Case cases[] = {
        {[&] { return QString::number(messageBox(&owner, "Save?", "Q", MessageButtons::YesNoCancel)); }, "",
         Qt::Key_Return, QString::number(id::Yes)},
        {[&] { return QString::number(messageBox(&owner, "Save?", "Q", MessageButtons::YesNo)); }, "",
         Qt::Key_Escape, QString::number(id::No)},
        {[&] { return saveFileDialog(&owner, "Save parameter setting", {{"Data", "*.dat"}}); }, path, Qt::Key_Return,
         path},
        {[&] {
             struct Own : Dialog {
                 using Dialog::Dialog;
                 QString typed;
                 void onOk() override {
                     typed = item(7)->text();
                     Dialog::onOk();
                 }
             } own(ownTemplate);
             return QString::number(guitest::runModal(own, [](Dialog&) {}, &owner)) + own.typed;
         },
         "12", Qt::Key_Return, QString::number(id::Ok) + "12"},
    };
    int clicks = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        QTimer::singleShot(50, [&] { clickBothThenType(*owner.item(5), *other.item(5), c.typed, c.last); });
        QTimer watchdog;  // keys that went nowhere must not hang the run
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<QDialog*>(w); d != nullptr && d->isVisible()) d->reject();
            }
        });
        watchdog.start(2000);
        EXPECT_EQ(c.open(), c.expected);
        EXPECT_EQ(owner.count(msg::Command), 0);
        EXPECT_EQ(other.count(msg::Command), ++clicks);
        guitest::waitFor([&] { return QGuiApplication::focusWindow() == owner.widget()->windowHandle(); }, 500);
        EXPECT_EQ(QGuiApplication::focusWindow(), owner.widget()->windowHandle());
        EXPECT_EQ(QApplication::focusWidget(), owner.item(1030)->widget());
    }
}
