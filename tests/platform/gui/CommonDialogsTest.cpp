// Filter strings, and the clipboard through its provider. (The scripted boxes and file
// dialogs answer every application test.)
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

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
    // The scripted provider is gone: the real clipboard takes the text.
    EXPECT_EQ((std::tuple{setClipboardText("3\t250\r\n"), QGuiApplication::clipboard()->text()}), (std::tuple{true, QString("3\t250\r\n")}));
}
