// Named synchronisation objects and the debug trace's switches. (Posting to windows is
// shown with the window layer's threads.)
#include <gtest/gtest.h>

#include "platform/core/Debug.h"
#include "platform/core/NamedSync.h"

using namespace platform;

TEST(NamedSync, ObjectsAreSharedByNameLiveWhileHeldAndMutexesAreRecursive) {
    bool existed = true;
    auto a = createNamedMutex("TaskRunningMutex", &existed);
    EXPECT_FALSE(existed);
    auto b = createNamedMutex("TaskRunningMutex", &existed);
    EXPECT_EQ((std::tuple{existed, a, openNamedMutex("TaskRunningMutex")}), (std::tuple{true, b, a}));
    a->lock();
    EXPECT_TRUE(a->lockFor(0));
    a->unlock();
    a->unlock();
    a.reset();
    b.reset();
    EXPECT_EQ(openNamedMutex("TaskRunningMutex"), nullptr);
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

TEST(DebugOutput, TheTraceIsAskedForByArgumentOrEnvironmentAndACaptureAlwaysGetsIt) {
    const char* argv[] = {"tamsiro", "--debug"};
    EXPECT_EQ((std::tuple{debugTraceRequested(2, argv, nullptr), debugTraceRequested(1, argv, nullptr)}), (std::tuple{true, false}));
    EXPECT_EQ((std::tuple{debugTraceRequested(1, argv, "1"), debugTraceRequested(1, argv, "0")}), (std::tuple{true, false}));
    EXPECT_FALSE(debugTraceRequested(1, argv, ""));

    // (That standard error gets the trace only when asked for is shown on the program.)
    const bool was = debugTrace();
    setDebugTrace(false);
    DebugCapture capture;
    debugOutf("captured %d\n", 3);
    EXPECT_EQ(capture.count("captured 3\n"), 1u);
    setDebugTrace(was);
}
