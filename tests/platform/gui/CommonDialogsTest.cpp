// Message boxes, file dialogs and the clipboard through their providers.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

#include "GuiTestSupport.h"
#include "platform/gui/CommonDialogs.h"

using namespace gui;

TEST(CommonDialogs, ScriptedMessageBoxesAnswerInOrderAndRecordEveryRequest) {
    ScriptedDialogs script;
    guitest::SpyWindow owner;
    ASSERT_TRUE(owner.create(nullptr, 0, QRect(0, 0, 10, 10), 0));
    script.answerBox(id::Yes);
    script.answerBox(id::No);
    EXPECT_EQ(messageBox(&owner, "Save parameter setting ?", "Question", MessageButtons::YesNoCancel,
                         MessageIcon::Information),
              id::Yes);
    EXPECT_EQ(messageBox(nullptr, "again", "Question", MessageButtons::YesNoCancel), id::No);
    // Out of answers: a box with only OK says OK, any other cancels.
    EXPECT_EQ(messageBox(nullptr, "Tamsiro is already running.", "Error: Already running"), id::Ok);
    EXPECT_EQ(messageBox(nullptr, "x", "y", MessageButtons::YesNo), id::Cancel);

    ASSERT_EQ(script.boxes().size(), 4u);
    const MessageBoxRequest& first = script.boxes()[0];
    EXPECT_EQ(first.owner, owner.handle());
    EXPECT_EQ(first.text, QString("Save parameter setting ?"));
    EXPECT_EQ(first.icon, MessageIcon::Information);
    EXPECT_EQ(first.buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(script.boxes()[1].owner, 0u);
}

TEST(CommonDialogs, FilterStringsParseAndScriptedFileDialogsReturnThePathOrEmpty) {
    const auto filters = parseFilterString("MS-Excel CSV files(*.csv)|*.csv|All files(*.*)|*.*||");
    ASSERT_EQ(filters, (std::vector<FileFilter>{{"MS-Excel CSV files(*.csv)", "*.csv"}, {"All files(*.*)", "*.*"}}));
    EXPECT_EQ(parseFilterString("Data|*.dat;*.bin|Dangling").size(), 1u);  // no pattern: dropped
    EXPECT_TRUE(parseFilterString("|||").empty());
    EXPECT_EQ(toNameFilters({filters[0], {"Parameter files", "*.dat;*.bin"}}),
              (QStringList{"MS-Excel CSV files(*.csv)", "Parameter files (*.dat *.bin)"}));

    ScriptedDialogs script;
    script.answerFile("/tmp/speed.csv");
    EXPECT_EQ(saveFileDialog(nullptr, "Save graph data", filters, "csv", QString(), false), QString("/tmp/speed.csv"));
    EXPECT_EQ(openFileDialog(nullptr, "Load parameter setting", filters), QString());  // cancelled
    ASSERT_EQ(script.fileDialogs().size(), 2u);
    const FileDialogRequest& save = script.fileDialogs()[0];
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.title, QString("Save graph data"));
    EXPECT_EQ(save.defaultExtension, QString("csv"));
    EXPECT_FALSE(save.confirmOverwrite);
    EXPECT_EQ(save.filters, filters);
    EXPECT_FALSE(script.fileDialogs()[1].save);
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
    // The scripted provider is gone: the real clipboard takes the text.
    EXPECT_TRUE(setClipboardText("3\t250\r\n"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString("3\t250\r\n"));
}
