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
    EXPECT_TRUE(existed);
    EXPECT_EQ(b, a);
    EXPECT_EQ(openNamedMutex("TaskRunningMutex"), a);
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
    // (The argument, "1" and nothing: shown on the program.)
    const char* argv[] = {"tamsiro"};
    EXPECT_FALSE(debugTraceRequested(1, argv, "0"));
    EXPECT_FALSE(debugTraceRequested(1, argv, ""));

    const bool was = debugTrace();
    setDebugTrace(false);
    DebugCapture capture;
    debugOutf("captured %d\n", 3);
    EXPECT_EQ(capture.count("captured 3\n"), 1u);
    setDebugTrace(was);
}
