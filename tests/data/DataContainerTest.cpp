#include "data/DataContainer.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

constexpr std::uint32_t kNoData = 0xFFFFFFFFu;

std::vector<std::uint32_t> words(const CDerivedDataContainer& store)
{
    std::vector<std::uint32_t> out;
    for (int i = 0; i < 256; ++i) {
        out.push_back(store.GetValue(i));
    }
    return out;
}

TEST(DataStore, StartsWithDefaultsAndTheLastKeySelected)
{
    CDerivedDataContainer store;
    EXPECT_EQ(store.GetSelectedId(), 0x501);
    EXPECT_EQ(store.GetValue(49), 8000u);

    ASSERT_EQ(store.SelectContainer(0x100), 1);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(store.GetValue(i), i == 52 ? 80u : 0u) << "word " << i;
    }

    struct Expect {
        std::int32_t key;
        int word;
        std::uint32_t value;
    };
    // One or two words from each group of the table, including words that a
    // neighbouring row sets and this one does not.
    const Expect expected[] = {
        {0x101, 53, 30},   {0x102, 53, 0},   {0x103, 7, 4300},  {0x105, 7, 110},  {0x10C, 7, 470},
        {0x106, 2, 1500},  {0x106, 57, 1},   {0x106, 56, 0},    {0x106, 104, 100}, {0x106, 7, 0},
        {0x200, 16, 220},  {0x202, 20, 0},   {0x203, 14, 220},  {0x209, 16, 470},
        {0x300, 13, 0},    {0x302, 13, 1},   {0x305, 30, 1},    {0x306, 30, 0},   {0x308, 29, 80},
        {0x400, 6, 1110010}, {0x400, 10, 64}, {0x401, 10, 0},   {0x401, 22, 2},
    };
    for (const Expect& e : expected) {
        ASSERT_EQ(store.SelectContainer(e.key), 1);
        EXPECT_EQ(store.GetValue(e.word), e.value) << std::hex << "key 0x" << e.key << std::dec << " word " << e.word;
    }
}

TEST(DataStore, KeysWithoutABlockClearTheSelectionAndRefuseAccess)
{
    CDerivedDataContainer store;
    for (const std::int32_t key : {0x402, 0x403, 0x500, 0x204, -1, 0}) {
        EXPECT_EQ(store.SelectContainer(key), 0);
        EXPECT_EQ(store.GetSelectedId(), -1);
        EXPECT_EQ(store.GetValue(0), kNoData);
        EXPECT_EQ(store.GetBits(0, 0, 4), kNoData);
        EXPECT_EQ(store.SetValue(0, 7), 0);
        EXPECT_EQ(store.SetBits(0, 0, 4, 7), 0);
        EXPECT_FALSE(store.HasBlock(key));
    }
    // The refused writes landed nowhere.
    ASSERT_EQ(store.SelectContainer(0x501), 1);
    EXPECT_EQ(store.GetValue(0), 0u);
}

TEST(DataStore, WordIndexesOutsideTheBlockAreRefused)
{
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x106), 1);
    EXPECT_EQ(store.SetValue(256, 1), 0);
    EXPECT_EQ(store.SetValue(-1, 1), 0);
    EXPECT_EQ(store.SetValue(INT_MAX, 1), 0);
    EXPECT_EQ(store.SetBits(256, 0, 1, 1), 0);
    EXPECT_EQ(store.SetBits(-1, 0, 1, 1), 0);
    EXPECT_EQ(store.GetValue(256), kNoData);
    EXPECT_EQ(store.GetValue(-1), kNoData);
    EXPECT_EQ(store.GetBits(INT_MIN, 0, 1), kNoData);

    EXPECT_EQ(store.SetValue(255, 0xABCD), 1);
    EXPECT_EQ(store.GetValue(255), 0xABCDu);
    EXPECT_EQ(store.GetValue(0), 0u);
}

TEST(DataStore, BitFieldsReplaceOnlyTheirBits)
{
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x106), 1);

    store.SetValue(3, 0);
    EXPECT_EQ(store.SetBits(3, 4, 3, 0xFF), 1);  // value bits above the count are ignored
    EXPECT_EQ(store.GetValue(3), 0x70u);
    store.SetValue(3, 0xFFFFFFFF);
    store.SetBits(3, 4, 3, 0xFF);
    EXPECT_EQ(store.GetValue(3), 0xFFFFFFFFu);
    store.SetBits(3, 4, 3, 0);
    EXPECT_EQ(store.GetValue(3), 0xFFFFFF8Fu);

    store.SetValue(3, 0x1234);
    EXPECT_EQ(store.GetBits(3, 4, 3), 3u);
    EXPECT_EQ(store.GetBits(3, 0, 0), 0u);
}

TEST(DataStore, BitFieldsAtTheEdgesOfTheWord)
{
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x106), 1);

    // The whole word as one field.
    store.SetBits(5, 0, 32, 0xDEADBEEF);
    EXPECT_EQ(store.GetValue(5), 0xDEADBEEFu);
    EXPECT_EQ(store.GetBits(5, 0, 32), 0xDEADBEEFu);

    // The top bit alone.
    store.SetValue(5, 0);
    store.SetBits(5, 31, 1, 1);
    EXPECT_EQ(store.GetValue(5), 0x80000000u);
    EXPECT_EQ(store.GetBits(5, 31, 1), 1u);

    // A field reaching past bit 31 keeps to the word: bits 28..31 only.
    store.SetValue(5, 0);
    EXPECT_EQ(store.SetBits(5, 28, 8, 0xFF), 1);
    EXPECT_EQ(store.GetValue(5), 0xF0000000u);
    EXPECT_EQ(store.GetValue(6), 0u);
    EXPECT_EQ(store.GetBits(5, 28, 8), 0xFu);

    // Fields wholly outside the word change nothing and read as 0.
    store.SetValue(5, 0x12345678);
    store.SetBits(5, 32, 4, 0xF);
    store.SetBits(5, INT_MAX, 8, 0xFF);
    store.SetBits(5, 0, -3, 0xFF);
    store.SetBits(5, INT_MIN, 8, 0xFF);
    EXPECT_EQ(store.GetValue(5), 0x12345678u);
    EXPECT_EQ(store.GetBits(5, 32, 4), 0u);
    EXPECT_EQ(store.GetBits(5, INT_MAX, INT_MAX), 0u);
    EXPECT_EQ(store.GetBits(5, 0, INT_MAX), 0x12345678u);
}

TEST(DataStore, ResetRestoresOneKeyOnlyAndSelectsIt)
{
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x103), 1);
    for (int i = 0; i < 256; ++i) {
        store.SetValue(i, 0xA5A50000u + static_cast<std::uint32_t>(i));
    }
    ASSERT_EQ(store.SelectContainer(0x104), 1);
    store.SetValue(7, 999);

    EXPECT_EQ(store.ResetContainer(0x103), 1);
    EXPECT_EQ(store.GetSelectedId(), 0x103);
    const devdefaults::Block row = devdefaults::DefaultRow(3);
    EXPECT_EQ(words(store), std::vector<std::uint32_t>(row.begin(), row.end()));
    EXPECT_EQ(store.GetValue(7), 4300u);

    store.SelectContainer(0x104);
    EXPECT_EQ(store.GetValue(7), 999u);

    EXPECT_EQ(store.ResetContainer(0x402), 0);
    EXPECT_EQ(store.GetSelectedId(), -1);
}

}  // namespace
