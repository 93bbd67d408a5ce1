// A change on a page built from an XML surface, end to end: the click reaches the page
// as ControlChanged, the page stores the value and queues the port word through a GUI
// command, the real queue and board link send it, and the simulator receives the exact
// frames; the other controls of the same data word show the new value.
#include <gtest/gtest.h>

#include <QtTest/QTest>

#include "PageTestSupport.h"
#include "platform/core/Debug.h"
#include "platform/gui/GuiTestSupport.h"
#include "tasks/TaskTestSupport.h"

using uitest::TestCheck;
using uitest::TestLabel;

TEST(PageFlow, AClickIsStoredSentToTheBoardAndShownByEveryControlOfItsWord)
{
    platform::DebugCapture debug;
    SimBoard board;
    ASSERT_TRUE(board.started);
    ASSERT_TRUE(board.Connect());
    CDerivedDataContainer store;
    CDerivedTaskListener queue;
    uitest::ScopedServices services(&store, &queue, board.link.get());
    store.SelectContainer(0x400);
    store.SetValue(7, 0x40);
    store.SetValue(8, 5);

    uitest::SurfacePage page(uitest::kTwoChecksSurface);
    page.SetDeviceInfo(0x400, nullptr, QStringLiteral("TM7100"));
    ASSERT_TRUE(page.createModeless(nullptr));
    page.show();
    auto* first = page.control<TestCheck>(1000);
    auto* second = page.control<TestCheck>(1001);
    auto* wordLabel = page.control<TestLabel>(1002);
    auto* otherLabel = page.control<TestLabel>(1003);
    ASSERT_TRUE(first && second && wordLabel && otherLabel);
    EXPECT_EQ(wordLabel->text(), QStringLiteral("64"));
    const int otherShown = otherLabel->shown;

    QTest::mouseClick(first->widget(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(page.changes.size(), 1u);
    EXPECT_EQ(page.changes[0].word, -1);  // surface controls have no data word of their own
    EXPECT_EQ(page.changes[0].control, first);
    EXPECT_EQ(store.GetValue(7), 0x41u);  // bit 0 only
    EXPECT_EQ(second->check(), 1);
    EXPECT_EQ(wordLabel->text(), QStringLiteral("65"));
    EXPECT_EQ(otherLabel->shown, otherShown);
    EXPECT_EQ(first->check(), 1);

    ASSERT_TRUE(queue.WaitIdle(5000));
    ASSERT_TRUE(board.sim.waitForFrames(2, std::chrono::seconds(2)));
    // Port 31 (second controller, bit 5 of its 29-31 group) made an output and set high,
    // then read back.
    const Bytes portFrame{'8', 3, 0x00, 0x00, 0x20, 0x20, 0x00, 0x00, 0x00, 0x40};
    EXPECT_EQ(board.Frames(), (std::vector<Bytes>{portFrame, {'8', 19}}));
    EXPECT_TRUE(board.sim.portIsOutput(31));
    EXPECT_TRUE(board.sim.portLevel(31));

    // The second check clears it again; it has no board target, so only the store and
    // the other controls change.
    board.sim.clearFrames();
    QTest::mouseClick(second->widget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(store.GetValue(7), 0x40u);
    EXPECT_EQ(first->GetValue(), 0u);
    EXPECT_EQ(wordLabel->text(), QStringLiteral("64"));
    ASSERT_TRUE(queue.WaitIdle(5000));
    EXPECT_TRUE(board.Frames().empty());

    page.destroy();
    guitest::settle();
}
