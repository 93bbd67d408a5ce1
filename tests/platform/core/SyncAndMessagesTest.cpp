#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/core/Clock.h"
#include "platform/core/Debug.h"
#include "Inbox.h"
#include "platform/core/Handles.h"
#include "platform/core/NamedSync.h"

using namespace platform;


TEST(Handles, PostReachesALiveWindowAndIsDroppedOnceItIsGone) {
    auto& reg = HandleRegistry::instance();
    auto inbox = std::make_shared<Inbox>();
    const Handle h = reg.add(inbox);
    EXPECT_TRUE(post(h, 0x812C, 0x20010, 1));
    ASSERT_EQ(inbox->got.size(), 1u);
    EXPECT_EQ(inbox->got[0].msg, 0x812Cu);
    EXPECT_EQ(inbox->got[0].wParam, 0x20010u);
    EXPECT_EQ(inbox->got[0].lParam, 1);

    reg.remove(h);
    EXPECT_FALSE(reg.alive(h));
    EXPECT_FALSE(post(h, 0x812C, 0, 0));
    EXPECT_EQ(inbox->got.size(), 1u);
    EXPECT_FALSE(post(0, 0x8100, 0, 0));

    // A new window never gets an old handle, so late posts cannot reach the wrong one.
    std::set<Handle> seen{h};
    for (int i = 0; i < 100; ++i) {
        const Handle n = reg.add(std::make_shared<Inbox>());
        EXPECT_TRUE(seen.insert(n).second);
        reg.remove(n);
    }
}

TEST(NamedSync, ObjectsAreSharedByNameAndLiveWhileHeld) {
    bool existed = true;
    auto a = createNamedMutex("TaskRunningMutex", &existed);
    EXPECT_FALSE(existed);
    auto b = createNamedMutex("TaskRunningMutex", &existed);
    EXPECT_TRUE(existed);
    EXPECT_EQ(a, b);
    EXPECT_EQ(openNamedMutex("TaskRunningMutex"), a);
    a.reset();
    b.reset();
    EXPECT_EQ(openNamedMutex("TaskRunningMutex"), nullptr);

    // Recursive for the owner.
    auto m = createNamedMutex("Mutex_BLDC_Polling");
    m->lock();
    EXPECT_TRUE(m->lockFor(0));
    m->unlock();
    m->unlock();
}

TEST(NamedSync, AutoResetEventReleasesOneWaitAndManualResetStaysSet) {
    auto autoEv = createNamedEvent("auto", false, false);
    EXPECT_FALSE(autoEv->wait(10));
    autoEv->set();
    EXPECT_TRUE(autoEv->wait(0));
    EXPECT_FALSE(autoEv->wait(10));

    auto manual = createNamedEvent("TaskRunningEvents", true, true);
    EXPECT_TRUE(manual->wait(0));
    EXPECT_TRUE(manual->wait(0));
    manual->reset();
    EXPECT_FALSE(manual->wait(10));
    EXPECT_EQ(openNamedEvent("TaskRunningEvents"), manual);
}

TEST(Clock, ManualClockTakesSleepsWithoutWaiting) {
    ManualClock fake;
    {
        ScopedClock scope(fake);
        const auto start = currentClock().nowMs();
        sleepMs(1500);
        EXPECT_EQ(currentClock().nowMs() - start, 1500u);
        EXPECT_EQ(fake.totalSleptMs(), 1500u);
        EXPECT_EQ(fake.sleepCalls(), 1u);
    }
    EXPECT_NE(&currentClock(), static_cast<IClock*>(&fake));
}

TEST(Debug, CaptureCollectsLinesAndReleasesTheSink) {
    {
        DebugCapture capture;
        debugOut("Receive data missmatch\n");
        debugOutf("Open error : code %x\n", 0x2u);
        EXPECT_EQ(capture.count("Receive data missmatch\n"), 1u);
        EXPECT_EQ(capture.count("Open error : code 2\n"), 1u);
        EXPECT_EQ(capture.lines().size(), 2u);
    }
    {
        DebugCapture again;
        EXPECT_TRUE(again.lines().empty());
    }
}

