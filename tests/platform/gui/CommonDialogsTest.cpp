#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

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
    // The dialog has opened once it is the active window with a control focused.
    const auto dialogActive = [&] {
        const QWidget* active = QApplication::activeWindow();
        return active != nullptr && active != owner.widget()->window() && active != other.widget()->window() &&
               QApplication::focusWidget() != nullptr && QApplication::focusWidget()->window() == active;
    };
    int clicks = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        const auto user = guitest::whenReady(dialogActive, [&] {
            clickBothThenType(*owner.item(5), *other.item(5), c.typed, c.last);
        });
        const auto watchdog = guitest::dialogWatchdog();  // keys that went nowhere must not hang the run
        EXPECT_EQ(c.open(), c.expected);
        EXPECT_EQ(owner.count(msg::Command), 0);
        EXPECT_EQ(other.count(msg::Command), ++clicks);
        guitest::waitFor([&] { return QGuiApplication::focusWindow() == owner.widget()->windowHandle(); });
        EXPECT_EQ(QGuiApplication::focusWindow(), owner.widget()->windowHandle());
        EXPECT_EQ(QApplication::focusWidget(), owner.item(1030)->widget());
    }
}

namespace {

// Plays a window manager that moves no focus to a window that opens: whenever another
// top-level window is shown, `keeper` is made the active window again. Only the modal
// run's own hand-over can then give the dialog the keyboard.
class FocusStaysWith final : public QObject {
public:
    explicit FocusStaysWith(QWidget* keeper) : keeper_(keeper) { qApp->installEventFilter(this); }
    ~FocusStaysWith() override { qApp->removeEventFilter(this); }
    FocusStaysWith(const FocusStaysWith&) = delete;
    FocusStaysWith& operator=(const FocusStaysWith&) = delete;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        // Sent once the window is on the screen (the platform's show has run).
        if (event->type() != QEvent::ShowToParent) return false;
        auto* w = qobject_cast<QWidget*>(object);
        if (w == nullptr || !w->isWindow() || keeper_ == nullptr || w == keeper_) return false;
        if (w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip) return false;  // not a window manager's
        keeper_->activateWindow();
        return false;
    }

private:
    QPointer<QWidget> keeper_;
};

// A dialog whose own choice of control to focus (`own`, 0: none) is not its first.
struct ChoosingDialog : Dialog {
    int own = 0;
    using Dialog::Dialog;
    bool onInitDialog() override {
        if (own != 0) item(own)->setFocus();
        return Dialog::onInitDialog();
    }
};

}  // namespace

// Where the window system gives a window that opens no focus, a modal run still makes
// its dialog the active window with the keyboard on its default control: the dialog's
// own choice, else its first control that takes the focus; a box's default button; a
// file dialog's name field. Keys typed then answer the dialog.
TEST(ModalLoops, AModalDialogTakesTheKeyboardWhereTheWindowSystemLeavesItWithTheOwner) {
    DialogTemplate t = guitest::plainTemplate("Tamsiro");
    t.style |= dialogStyle::Visible;
    t.items = {{ControlKind::Edit, 1030, "", QRect(5, 5, 60, 12)}};
    guitest::Spy<Dialog> owner(t);
    ASSERT_TRUE(owner.createModeless());
    guitest::focusForKeys(*owner.item(1030));
    ASSERT_EQ(QApplication::activeWindow(), owner.widget()->window());
    FocusStaysWith windowManager(owner.widget()->window());

    DialogTemplate own = guitest::plainTemplate("Speed");
    own.items = {{ControlKind::Static, 10, "Speed", QRect(5, 5, 40, 10)},
                 {ControlKind::Edit, 11, "", QRect(5, 20, 60, 12), style::Visible | style::Disabled | style::TabStop},
                 {ControlKind::Edit, 12, "", QRect(5, 35, 60, 12)},
                 {ControlKind::Edit, 13, "", QRect(5, 50, 60, 12)},
                 {ControlKind::PushButton, id::Ok, "OK", QRect(70, 50, 50, 14), style::Visible | style::DefaultButton}};
    const QString path = QDir::temp().filePath("tamsiro-keyboard-test.dat");
    struct Case {
        const char* what;
        std::function<QString()> open;
        std::function<QWidget*(QWidget* dialog)> expectedFocus;
        QString typed;
        Qt::Key last;
        QString answer;
    };
    ChoosingDialog choosing(own), first(own);
    choosing.own = 13;
    QString typed;
    const Case cases[] = {
        {"its own choice",
         [&] { return QString::number(guitest::runModal(choosing, [](Dialog&) {}, &owner)) + typed; },
         [&](QWidget*) { return choosing.item(13)->widget(); }, "7", Qt::Key_Return, QString::number(id::Ok) + "7"},
        {"its first control that takes the focus",
         [&] { return QString::number(guitest::runModal(first, [](Dialog&) {}, &owner)) + typed; },
         [&](QWidget*) { return first.item(12)->widget(); }, "8", Qt::Key_Return, QString::number(id::Ok) + "8"},
        {"a box's default button",
         [&] { return QString::number(messageBox(&owner, "Save?", "Q", MessageButtons::YesNo)); },
         [](QWidget* box) { return static_cast<QWidget*>(static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)); }, "",
         Qt::Key_Return, QString::number(id::Yes)},
        {"a file dialog's name field",
         [&] { return saveFileDialog(&owner, "Save parameter setting", {{"Data", "*.dat"}}); },
         [](QWidget* files) { return static_cast<QWidget*>(files->findChild<QLineEdit*>("fileNameEdit")); }, path,
         Qt::Key_Return, path},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        typed.clear();
        QWidget* active = nullptr;
        QWidget* focus = nullptr;
        QWidget* expected = nullptr;
        const auto shown = [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w != owner.widget()->window() && w->windowType() != Qt::Popup) return w;
            return static_cast<QWidget*>(nullptr);
        };
        const auto user = guitest::whenReady([&] { return shown() != nullptr; }, [&] {
            QWidget* dialog = shown();
            expected = c.expectedFocus(dialog);
            // Bounded: without the hand-over the owner keeps the keyboard for good.
            guitest::waitFor([&] { return QApplication::activeWindow() == dialog && QApplication::focusWidget() == expected; },
                             3000);
            active = QApplication::activeWindow();
            focus = QApplication::focusWidget();
            if (active == dialog) {
                QWindow* target = QGuiApplication::focusWindow();
                for (const QChar ch : c.typed) QTest::keyClick(target, ch.toLatin1());
                if (auto* d = dynamic_cast<Dialog*>(Window::fromWidget(dialog))) typed = d->item(d == &choosing ? 13 : 12)->text();
                QTest::keyClick(target, c.last);
            } else if (auto* d = dynamic_cast<Dialog*>(Window::fromWidget(dialog))) {
                d->endDialog(-1);  // keys would go to the owner: the run must not hang
            } else if (auto* q = qobject_cast<QDialog*>(dialog)) {
                q->reject();
            }
        });
        const auto watchdog = guitest::dialogWatchdog();  // keys that went nowhere
        const QString answer = c.open();
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ((std::pair{active != owner.widget()->window() && active != nullptr, focus == expected}),
                  (std::pair{true, true}))
            << "(the dialog is the active window, its default control has the focus); focus on "
            << (focus != nullptr ? focus->metaObject()->className() : "nothing");
        EXPECT_EQ(answer, c.answer);
        guitest::waitFor([&] { return QApplication::activeWindow() == owner.widget()->window(); });  // the next starts there
    }
    QFile::remove(path);
}

namespace {

// A page whose button asks the user through `ask`, then looks whether it still exists.
// What it saw is kept outside it: a deleted page is freed once its handler returns.
struct AskingPage : Dialog {
    struct Seen {
        QString answer;
        bool existedAfter = true;
        bool ownerGone = false;  // as the call reported it
        int asked = 0;
    };
    static inline int alive = 0;
    std::function<QString(Window*, bool*)> ask;
    Seen* seen = nullptr;
    AskingPage() : Dialog(pageTemplate()) { ++alive; }
    ~AskingPage() override { --alive; }
    LResult onCommand(int commandId, int code, Handle from) override {
        if (commandId != 5) return Dialog::onCommand(commandId, code, from);
        seen->answer = ask(this, &seen->ownerGone);
        seen->existedAfter = exists();
        ++seen->asked;
        return 1;
    }
    static DialogTemplate pageTemplate() {
        DialogTemplate t = guitest::plainTemplate("page");
        t.style |= dialogStyle::Visible;
        t.items = {{ControlKind::PushButton, 5, "Ask", QRect(5, 5, 50, 14)}};
        return t;
    }
};

}  // namespace

// The board is unplugged while a page's box is open: the main window deletes the page.
TEST(ModalLoops, AMessageBoxWhoseOwnerIsDeletedInsideItsLoopClosesAndAnswersAsEsc) {
    guitest::SpyWindow mainWindow;
    ASSERT_TRUE(mainWindow.create(nullptr, 0, QRect(0, 0, 50, 50), 0));
    const std::pair<MessageButtons, int> cases[] = {
        {MessageButtons::YesNoCancel, id::Cancel}, {MessageButtons::YesNo, id::No}, {MessageButtons::Ok, id::Ok}};
    for (const auto& [buttons, escAnswer] : cases) {
        SCOPED_TRACE(escAnswer);
        auto page = std::make_unique<AskingPage>();
        ASSERT_TRUE(page->createModeless(nullptr));
        AskingPage* raw = page.get();
        AskingPage::Seen seen;
        raw->seen = &seen;
        raw->ask = [buttons = buttons](Window* self, bool* gone) {
            return QString::number(messageBox(self, "Save?", "Question", buttons, MessageIcon::Question, gone));
        };
        mainWindow.answer = [&](std::uint32_t m, WParam, LParam) -> LResult {
            if (m == msg::DeviceChange && page) gui::deleteLater(std::move(page));
            return 0;
        };
        const auto unplug = guitest::whenReady([] { return guitest::shownDialog<QMessageBox>() != nullptr; },
                                               [&] { mainWindow.post(msg::DeviceChange); });
        const auto watchdog = guitest::dialogWatchdog();
        guitest::userClick(*raw->item(5));
        EXPECT_EQ(page, nullptr);
        EXPECT_EQ((std::tuple{seen.asked, seen.answer, seen.existedAfter, seen.ownerGone}),
                  (std::tuple{1, QString::number(escAnswer), false, true}));
        ASSERT_TRUE(guitest::waitFor([] { return AskingPage::alive == 0; }));
        guitest::settle();
        EXPECT_EQ(guitest::shownDialog(), nullptr);
    }
}

TEST(ModalLoops, AFileDialogWhoseOwnerIsDestroyedInsideItsLoopClosesAndChoosesNothing) {
    for (const bool save : {false, true}) {
        SCOPED_TRACE(save);
        AskingPage page;
        ASSERT_TRUE(page.createModeless(nullptr));
        AskingPage::Seen seen;
        page.seen = &seen;
        seen.answer = "not asked";
        page.ask = [save](Window* self, bool* gone) {
            const std::vector<FileFilter> filters{{"Data", "*.dat"}};
            return save ? saveFileDialog(self, "Save parameter setting", filters, "dat", QDir::tempPath(), true, gone)
                        : openFileDialog(self, "Load parameter setting", filters, "dat", QDir::tempPath(), gone);
        };
        const auto close = guitest::whenReady([] { return guitest::shownDialog<QFileDialog>() != nullptr; },
                                              [&] { page.destroy(); });
        const auto watchdog = guitest::dialogWatchdog();
        guitest::userClick(*page.item(5));
        EXPECT_EQ((std::tuple{seen.asked, seen.answer, seen.existedAfter, seen.ownerGone}),
                  (std::tuple{1, QString(), false, true}));
        guitest::settle();
        EXPECT_EQ(guitest::shownDialog(), nullptr);
    }
}
