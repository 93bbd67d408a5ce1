// Threads on one link.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "FakeTransport.h"
#include "SimLink.h"

TEST(SimLinkThreads, RepliesNeverCrossBetweenThreads) {
    SimLink s("tamsiro-threads");
    ASSERT_TRUE(s.Connect());
    for (int ch = 0; ch < 8; ++ch) s.sim.setAdc(ch, static_cast<std::uint16_t>(0x1000 + ch));
    s.sim.setMeasuredValue(0x0BEE);
    std::atomic<int> wrong{0};
    std::thread versions([&] {
        for (int i = 0; i < 150; ++i) {
            std::uint16_t m = 0, sv = 0;
            s.link->GetVersion(&m, &sv, 1);
            wrong += m != 0x2113 || sv != 0x1319;
        }
    });
    for (int i = 0; i < 150; ++i) {
        wrong += s.link->ReadAdc(i % 8, 1) != 0x1000 + i % 8;
        wrong += s.link->ReadMeasuredValue(1) != 0x0BEE;
    }
    versions.join();
    EXPECT_EQ(wrong.load(), 0);
    for (const auto& f : s.sim.frames()) EXPECT_TRUE(f.checksumOk);
}

namespace {

// Its write blocks until released.
struct BlockingTransport : FakeTransport {
    std::atomic<bool> onWire{false}, release{false}, closed{false}, overlapped{false};
    int Transfer(int direction, std::uint8_t* buffer, std::uint32_t count, std::int32_t* moved) override {
        if (direction == 0) onWire = true;
        while (direction == 0 && !release) std::this_thread::yield();
        const int result = FakeTransport::Transfer(direction, buffer, count, moved);
        if (direction != 0) onWire = false;
        return result;
    }
    int Close() override {
        overlapped = overlapped || onWire;
        closed = true;
        return 0;
    }
};

}  // namespace

TEST(LinkThreads, CloseWaitsForTheExchangeOnTheWire) {
    auto owned = std::make_unique<BlockingTransport>();
    BlockingTransport* wire = owned.get();
    wire->respond = [](const Bytes&) { return MakeReply('8', {0x34, 0x12, 0}, true); };
    CRG1Micon link(std::move(owned));
    std::thread reader([&] { link.ReadMeasuredValue(1); });
    while (!wire->onWire) std::this_thread::yield();
    std::thread closer([&] { link.Close(); });
    // A Close that does not wait reaches the wire at once; give it ample time to.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (!wire->closed && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    wire->release = true;
    reader.join();
    closer.join();
    EXPECT_TRUE(wire->closed);
    EXPECT_FALSE(wire->overlapped);
}
