// The store is shared by the GUI thread and task threads; these run them against each
// other (and under ThreadSanitizer in the thread build).
#include "data/DataContainer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

namespace {

TEST(DataStoreThreads, DisjointBitFieldsOfOneWordLoseNoUpdate)
{
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x300), 1);
    store.SetValue(9, 0);
    constexpr std::uint32_t kRounds = 20000;
    // Each thread counts in its own 16-bit half of word 9; a lost read-modify-write
    // would show as the other half going back.
    auto counter = [&store](int lsb) {
        for (std::uint32_t i = 1; i <= kRounds; ++i) store.SetBits(9, lsb, 16, i);
    };
    std::thread low(counter, 0);
    std::thread high(counter, 16);
    low.join();
    high.join();
    EXPECT_EQ(store.GetValue(9), (kRounds << 16) | kRounds);
}

TEST(DataStoreThreads, PublishingWhileTheGuiSelectsResetsAndLoads)
{
    CDerivedDataContainer store;
    std::atomic<bool> stop{false};
    std::atomic<int> writes{0};
    // A task thread publishing readings into whatever block is selected.
    std::thread task([&] {
        for (std::uint32_t n = 0; !stop.load(); ++n) {
            store.SetValue(5, n);
            store.SetBits(21, 0, 8, n);
            writes.fetch_add(1);
        }
    });

    std::vector<std::uint8_t> bytes;
    devdefaults::Block words;
    words.fill(3);
    settingsfile::AppendRecord(bytes, 0x301, words);
    for (int i = 0; i < 200; ++i) {
        store.SelectContainer(i % 2 == 0 ? 0x300 : 0x402);
        (void)store.GetValue(5);
        store.ResetContainer(0x301);
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        EXPECT_TRUE(store.LoadFromStream(in).ok());
    }
    while (writes.load() == 0) std::this_thread::yield();  // the task wrote at least once
    stop.store(true);
    task.join();

    // The load replaced the block of 0x301 whole, words the task never touches included.
    store.SelectContainer(0x301);
    EXPECT_EQ(store.GetValue(100), 3u);
}

}  // namespace
