#include "data/DataContainer.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

constexpr std::uint32_t kNoData = 0xFFFFFFFFu;

TEST(DataStore, KeysWithoutABlockAndIndexesOutsideItAreRefused)
{
    CDerivedDataContainer store;
    EXPECT_EQ(store.GetSelectedId(), 0x501);  // the last key of the table
    for (const std::int32_t key : {0x402, -1}) {
        EXPECT_EQ(store.SelectContainer(key), 0);
        EXPECT_EQ(store.GetSelectedId(), -1);
        EXPECT_EQ((std::pair{store.GetValue(0), store.GetBits(0, 0, 4)}), (std::pair{kNoData, kNoData}));
        EXPECT_EQ((std::pair{store.SetValue(0, 7), store.SetBits(0, 0, 4, 7)}), (std::pair{0, 0}));
    }
    ASSERT_EQ(store.SelectContainer(0x501), 1);
    EXPECT_EQ(store.GetValue(0), 0u);  // the refused writes landed nowhere

    for (const int index : {256, -1}) {
        EXPECT_EQ((std::tuple{store.SetValue(index, 1), store.SetBits(index, 0, 1, 1), store.GetValue(index)}),
                  (std::tuple{0, 0, kNoData})) << index;
    }
    EXPECT_EQ(store.SetValue(255, 0xABCD), 1);
    EXPECT_EQ(store.GetValue(255), 0xABCDu);

    // Writes for one device: all of them, or none when it is not the selected one or
    // one index is bad. Any device's words can be read.
    const DataWord good[] = {{1, 11}, {2, 22}}, bad[] = {{3, 33}, {256, 1}};
    EXPECT_EQ((std::vector{store.SetValuesIfSelected(0x100, good), store.SetValuesIfSelected(0x501, bad)}), (std::vector{0, 0}));
    EXPECT_EQ(store.GetValue(3), 0u);
    EXPECT_EQ(store.SetValuesIfSelected(0x501, good), 1);
    ASSERT_EQ(store.SelectContainer(0x100), 1);
    EXPECT_EQ((std::tuple{store.GetValueOf(0x501, 2), store.GetValueOf(0x501, 256), store.GetValueOf(0x402, 0)}),
              (std::tuple{22u, kNoData, kNoData}));
}

TEST(DataStore, BitFieldsReplaceOnlyTheirBitsUpToTheWordsEdges)
{
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x106), 1);
    store.SetValue(3, 0);
    EXPECT_EQ(store.SetBits(3, 4, 3, 0xFF), 1);
    EXPECT_EQ(store.GetValue(3), 0x70u);  // value bits above the count are ignored
    store.SetValue(3, 0xFFFFFFFF);
    store.SetBits(3, 4, 3, 0);
    EXPECT_EQ(store.GetValue(3), 0xFFFFFF8Fu);
    store.SetValue(3, 0x1234);
    EXPECT_EQ(store.GetBits(3, 4, 3), 3u);

    store.SetBits(5, 0, 32, 0xDEADBEEF);  // the whole word as one field
    EXPECT_EQ((std::pair{store.GetBits(5, 0, 32), store.GetBits(5, 31, 1)}), (std::pair{0xDEADBEEFu, 1u}));

    // A field reaching past bit 31 keeps to the word: bits 28..31 only.
    store.SetValue(5, 0);
    EXPECT_EQ(store.SetBits(5, 28, 8, 0xFF), 1);
    EXPECT_EQ((std::tuple{store.GetValue(5), store.GetValue(6), store.GetBits(5, 28, 8)}), (std::tuple{0xF0000000u, 0u, 0xFu}));

    // Fields wholly outside the word change nothing and read as 0.
    store.SetValue(5, 0x12345678);
    for (const auto& [lsb, count] : {std::pair{32, 4}, {INT_MAX, 8}, {0, -3}, {INT_MIN, 8}}) {
        store.SetBits(5, lsb, count, ~0u);
    }
    EXPECT_EQ((std::vector{store.GetValue(5), store.GetBits(5, 32, 4), store.GetBits(5, INT_MAX, INT_MAX), store.GetBits(5, 0, INT_MAX)}),
              (std::vector{0x12345678u, 0u, 0u, 0x12345678u}));
}

TEST(DataStore, ResetRestoresOneKeyOnlyAndSelectsIt)
{
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x103), 1);
    for (int i = 0; i < 256; ++i) store.SetValue(i, 0xA5A50000u + static_cast<std::uint32_t>(i));
    ASSERT_EQ(store.SelectContainer(0x104), 1);
    store.SetValue(7, 999);

    EXPECT_EQ(store.ResetContainer(0x103), 1);
    EXPECT_EQ(store.GetSelectedId(), 0x103);
    const devdefaults::Block row = devdefaults::DefaultRow(3);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(store.GetValue(i), row[static_cast<std::size_t>(i)]) << "word " << i;
    store.SelectContainer(0x104);
    EXPECT_EQ(store.GetValue(7), 999u);

    EXPECT_EQ(store.ResetContainer(0x402), 0);
    EXPECT_EQ(store.GetSelectedId(), -1);
}

}  // namespace
