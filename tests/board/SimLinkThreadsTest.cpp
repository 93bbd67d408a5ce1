// Two threads on one link: every reply must reach the thread that asked for it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "SimLink.h"

TEST(SimLinkThreads, RepliesNeverCrossBetweenThreads) {
    SimLink s("tamsiro-threads");
    ASSERT_TRUE(s.started);
    ASSERT_TRUE(s.Connect());
    for (int ch = 0; ch < 8; ++ch) s.sim.setAdc(ch, static_cast<std::uint16_t>(0x1000 + ch));
    s.sim.setMeasuredValue(0x0BEE);

    std::atomic<int> wrong{0};
    std::thread versions([&] {
        for (int i = 0; i < 150; ++i) {
            std::uint16_t m = 0, sv = 0;
            s.link->GetVersion(&m, &sv, 1);
            if (m != 0x2113 || sv != 0x1319) ++wrong;
        }
    });
    std::thread analog([&] {
        for (int i = 0; i < 150; ++i) {
            const int ch = i % 8;
            if (s.link->ReadAdc(ch, 1) != 0x1000 + ch) ++wrong;
            if (s.link->ReadMeasuredValue(1) != 0x0BEE) ++wrong;
        }
    });
    versions.join();
    analog.join();
    EXPECT_EQ(wrong.load(), 0);
    for (const auto& f : s.sim.frames()) EXPECT_TRUE(f.checksumOk);
}
