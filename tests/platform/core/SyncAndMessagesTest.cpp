#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <unistd.h>

#include "Inbox.h"
#include "platform/core/Debug.h"
#include "platform/core/NamedSync.h"

using namespace platform;

TEST(Handles, PostReachesALiveWindowAndIsDroppedOnceItIsGone) {
    auto& reg = HandleRegistry::instance();
    auto inbox = std::make_shared<Inbox>();
    const Handle h = reg.add(inbox);
    EXPECT_TRUE(post(h, 0x812C, 0x20010, 1));
    ASSERT_EQ(inbox->Count(), 1u);
    const platform::Message got = inbox->Messages()[0];
    EXPECT_EQ(got.msg, 0x812Cu);
    EXPECT_EQ(got.wParam, 0x20010u);
    EXPECT_EQ(got.lParam, 1);

    reg.remove(h);
    EXPECT_FALSE(reg.alive(h));
    EXPECT_FALSE(post(h, 0x812C, 0, 0));
    EXPECT_EQ(inbox->Count(), 1u);
    EXPECT_FALSE(post(0, 0x8100, 0, 0));

    // A new window never gets an old handle, so late posts cannot reach the wrong one.
    std::set<Handle> seen{h};
    for (int i = 0; i < 100; ++i) {
        const Handle n = reg.add(std::make_shared<Inbox>());
        EXPECT_TRUE(seen.insert(n).second);
        reg.remove(n);
    }
}

TEST(NamedSync, ObjectsAreSharedByNameLiveWhileHeldAndMutexesAreRecursive) {
    bool existed = true;
    auto a = createNamedMutex("TaskRunningMutex", &existed);
    EXPECT_FALSE(existed);
    auto b = createNamedMutex("TaskRunningMutex", &existed);
    EXPECT_TRUE(existed);
    EXPECT_EQ(a, b);
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

TEST(DebugOutput, StandardErrorGetsTheTraceOnlyWhenAskedForAndACaptureAlwaysGetsIt) {
    const char* argv[] = {"tamsiro", "--debug"};
    EXPECT_TRUE(debugTraceRequested(2, argv, nullptr));
    EXPECT_FALSE(debugTraceRequested(1, argv, nullptr));
    EXPECT_TRUE(debugTraceRequested(1, argv, "1"));
    EXPECT_FALSE(debugTraceRequested(1, argv, "0"));
    EXPECT_FALSE(debugTraceRequested(1, argv, ""));

    // Standard error goes to a file for the while.
    std::fflush(stderr);
    const int saved = ::dup(2);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ::dup2(::fileno(file), 2);
    const bool was = debugTrace();
    setDebugTrace(false);
    debugOut("quiet\n");
    debugOutf("quiet %d\n", 2);
    {
        DebugCapture capture;
        debugOutf("captured %d\n", 3);
        EXPECT_EQ(capture.count("captured 3\n"), 1u);
    }
    setDebugTrace(true);
    debugOutf("asked for %d\n", 4);
    setDebugTrace(was);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);

    std::string text(256, '\0');
    std::rewind(file);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    EXPECT_EQ(text, "asked for 4\n");
}
