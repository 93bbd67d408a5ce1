#include "data/DataContainer.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <random>
#include <set>
#include <tuple>
#include <sstream>

namespace {

constexpr std::size_t kRecord = 1028;
using Words = std::vector<std::uint32_t>;

Bytes records(std::initializer_list<std::pair<std::int32_t, std::uint32_t>> keyAndFill)
{
    Bytes out;
    for (const auto& [key, fill] : keyAndFill) {
        devdefaults::Block words;
        words.fill(fill);
        settingsfile::AppendRecord(out, key, words);
    }
    return out;
}

Words blockOf(const CDerivedDataContainer& store, std::int32_t key)
{
    Words out;
    for (int i = 0; i < 256; ++i) out.push_back(store.GetValueOf(key, i));
    return out;
}

std::vector<Words> allBlocks(const CDerivedDataContainer& store)
{
    std::vector<Words> out;
    for (const std::int32_t key : devdefaults::kDeviceKeys) out.push_back(blockOf(store, key));
    return out;
}

Bytes bytesAt(const Bytes& file, std::size_t offset)
{
    const auto at = file.begin() + static_cast<std::ptrdiff_t>(offset);
    return Bytes(at, at + 4);
}

TEST(SettingsFile, SavingAllDevicesWritesThirtyTwoRecordsInKeyOrder)
{
    TempDir dir;
    CDerivedDataContainer store;
    store.SelectContainer(0x200);
    store.SetValue(3, 0x11223344);
    store.SelectContainer(0x106);

    const SettingsFileReport report = store.SaveToPath(-1, dir.file("all.bin"));
    ASSERT_EQ((std::tuple{report.ok(), report.records}), (std::tuple{true, 32})) << report.message;
    const Bytes file = readBytes(dir.file("all.bin"));
    ASSERT_EQ(file.size(), 32896u);
    EXPECT_EQ(bytesAt(file, 0), (Bytes{0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(bytesAt(file, 31 * kRecord), (Bytes{0x01, 0x05, 0x00, 0x00}));
    for (std::size_t i = 0; i < 32; ++i) {
        EXPECT_EQ(settingsfile::ReadKey(file.data() + i * kRecord), devdefaults::kDeviceKeys[i]) << "record " << i;
    }
    // 0x200 is record 13; word 3 sits 4 + 3 * 4 bytes into it.
    EXPECT_EQ(bytesAt(file, 13 * kRecord + 16), (Bytes{0x44, 0x33, 0x22, 0x11}));
    // Defaults are current words too: 0x100 word 52 = 80, 0x501 word 49 = 8000.
    EXPECT_EQ(bytesAt(file, 4 + 52 * 4), (Bytes{80, 0, 0, 0}));
    EXPECT_EQ(bytesAt(file, 31 * kRecord + 4 + 49 * 4), (Bytes{0x40, 0x1F, 0, 0}));
    EXPECT_EQ(store.GetSelectedId(), 0x106);

    // One device: its record only.
    ASSERT_TRUE(store.SaveToPath(0x106, dir.file("one.bin")).ok());
    const Bytes one = readBytes(dir.file("one.bin"));
    ASSERT_EQ(one.size(), kRecord);
    EXPECT_EQ(bytesAt(one, 0), (Bytes{0x06, 0x01, 0x00, 0x00}));
    EXPECT_EQ(bytesAt(one, 4 + 2 * 4), (Bytes{0xDC, 0x05, 0, 0}));  // word 2 = 1500
}

TEST(SettingsFile, SaveAndLoadRoundTripKeepsDefaultsAndSelection)
{
    TempDir dir;
    ScriptedNames names;  // through the dialogs: both answer 1 when all went well
    names.answers = {dir.file("set.bin"), dir.file("set.bin")};
    CDerivedDataContainer source(&names);
    for (const std::int32_t key : {0x100, 0x209, 0x501}) {
        source.SelectContainer(key);
        for (std::uint32_t i = 0; i < 256; ++i) source.SetValue(static_cast<int>(i), key * 0x10001u + i * 0x01010101u);
    }
    ASSERT_EQ(source.SaveToFile(-1), 1);

    CDerivedDataContainer target(&names);
    target.SelectContainer(0x300);
    EXPECT_EQ(target.LoadFromFile(), 1);
    const SettingsFileReport report = target.LastFileReport();
    EXPECT_EQ((std::tuple{report.ok(), report.records}), (std::tuple{true, 32})) << report.message;
    EXPECT_EQ((std::tuple{allBlocks(target), target.GetSelectedId()}), (std::tuple{allBlocks(source), 0x300}));
    // The defaults did not come from the file.
    target.ResetContainer(0x100);
    EXPECT_EQ((std::pair{target.GetValue(52), target.GetValue(0)}), (std::pair{80u, 0u}));
}

TEST(SettingsFile, ALaterRecordWinsAndLoadingStopsAtAnUnknownKey)
{
    TempDir dir;
    writeBytes(dir.file("bad.bin"), records({{0x106, 1}, {0x106, 4}, {0x500, 2}, {0x200, 3}}));
    CDerivedDataContainer store;
    std::vector<Words> expected = allBlocks(store);
    expected[6] = Words(256, 4u);  // row 6 is 0x106; 0x200 after the unknown key keeps its words

    const SettingsFileReport report = store.LoadFromPath(dir.file("bad.bin"));
    EXPECT_EQ((std::tuple{report.status, report.records, report.key, report.offset}),
              (std::tuple{SettingsFileStatus::UnknownKey, 2, 0x500, 2 * kRecord}));
    EXPECT_NE(report.message.find("0x500"), std::string::npos) << report.message;
    EXPECT_EQ(allBlocks(store), expected);
}

TEST(SettingsFile, ATruncatedRecordLeavesTheDeviceUntouched)
{
    TempDir dir;
    Bytes file = records({{0x200, 5}, {0x106, 9}});
    file.resize(kRecord + 4 + 100 * 4);
    writeBytes(dir.file("cut.bin"), file);
    ScriptedNames names;
    names.answers = {dir.file("cut.bin")};
    CDerivedDataContainer store(&names);
    const Words before106 = blockOf(store, 0x106);

    EXPECT_EQ(store.LoadFromFile(), 0);
    const SettingsFileReport report = store.LastFileReport();
    EXPECT_EQ((std::tuple{report.status, report.records, report.key, report.offset}),
              (std::tuple{SettingsFileStatus::IncompleteRecord, 1, 0x106, kRecord}));
    EXPECT_NE(report.message.find("incomplete"), std::string::npos) << report.message;
    EXPECT_EQ((std::tuple{blockOf(store, 0x200), blockOf(store, 0x106)}), (std::tuple{Words(256, 5u), before106}));

    // A file ending inside a key is incomplete too.
    file = records({{0x200, 6}});
    file.insert(file.end(), {0x06, 0x01});
    writeBytes(dir.file("cut.bin"), file);
    EXPECT_EQ(store.LoadFromPath(dir.file("cut.bin")).status, SettingsFileStatus::IncompleteRecord);
    EXPECT_EQ(blockOf(store, 0x200), Words(256, 6u));
}

TEST(SettingsFile, NothingIsSavedOrLoadedWithoutABlockAFileOrAName)
{
    TempDir dir;
    writeBytes(dir.file("keep.bin"), Bytes{1, 2, 3});
    ScriptedNames names;
    CDerivedDataContainer store(&names);
    const auto before = allBlocks(store);

    // A device without a block: no dialog, no file.
    EXPECT_EQ(store.SaveToFile(0x402), 0);
    EXPECT_EQ((std::tuple{names.requests.empty(), store.LastFileReport().status}), (std::tuple{true, SettingsFileStatus::NoBlock}));
    EXPECT_EQ(store.SaveToPath(0x402, dir.file("keep.bin")).status, SettingsFileStatus::NoBlock);
    EXPECT_EQ(readBytes(dir.file("keep.bin")), (Bytes{1, 2, 3}));

    writeBytes(dir.file("empty.bin"), {});
    EXPECT_EQ(store.LoadFromPath(dir.file("empty.bin")).status, SettingsFileStatus::Empty);
    EXPECT_EQ(store.LoadFromPath(dir.file("missing.bin")).status, SettingsFileStatus::OpenFailed);
    EXPECT_EQ(store.LoadFromPath(dir.path().string()).status, SettingsFileStatus::OpenFailed);
    EXPECT_EQ(store.LoadFromPath("").status, SettingsFileStatus::Cancelled);

    // A cancelled dialog, or none at all, saves and loads nothing.
    EXPECT_EQ((std::tuple{store.SaveToFile(-1), store.LastFileReport().status}), (std::tuple{0, SettingsFileStatus::Cancelled}));
    EXPECT_EQ(store.LoadFromFile(), 0);
    ASSERT_EQ(names.requests.size(), 2u);
    EXPECT_EQ((std::tuple{names.requests[0].mode, names.requests[1].fileMustExist}), (std::tuple{FileDialogRequest::Mode::Save, true}));
    store.SetFileNameProvider(nullptr);
    EXPECT_EQ((std::tuple{store.SaveToFile(0x100), dir.names().size(), allBlocks(store)}), (std::tuple{0, 2u, before}));
}

TEST(SettingsFile, AFailedSaveKeepsTheOldFileAndASaveFollowsLinks)
{
    TempDir dir;
    const std::string path = dir.file("old.bin");
    const Bytes old = records({{0x100, 0x55}});
    writeBytes(path, old);
    CDerivedDataContainer store;

    // The file size limit stands in for a full disk: the write stops part way.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 2000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const SettingsFileReport report = store.SaveToPath(-1, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ((std::tuple{report.status, report.message.empty()}), (std::tuple{SettingsFileStatus::WriteFailed, false}));
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"old.bin"});

    // A folder in the file's place cannot be replaced either.
    std::filesystem::create_directory(dir.file("folder.bin"));
    EXPECT_EQ(store.SaveToPath(-1, dir.file("folder.bin")).status, SettingsFileStatus::WriteFailed);
    EXPECT_EQ((std::tuple{std::filesystem::is_directory(dir.file("folder.bin")), dir.names().size()}), (std::tuple{true, 2u}));

    // Saving through a link replaces the linked file and keeps the link.
    std::filesystem::create_symlink(path, dir.file("link.bin"));
    ASSERT_TRUE(store.SaveToPath(0x100, dir.file("link.bin")).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.bin")));
    const Bytes replaced = readBytes(path);
    EXPECT_EQ(replaced.size(), kRecord);
    EXPECT_NE(replaced, old);
}

// Fixed-seed random files: the loader may not crash or trip a sanitizer, its report
// must match what it read, and devices no record names keep their words.
TEST(Fuzz, SettingsLoaderOnRandomBytes)
{
    std::mt19937 rng(20240611);
    const auto& keys = devdefaults::kDeviceKeys;
    for (int round = 0; round < 300; ++round) {
        // Every other input starts with real records; then noise of random length.
        Bytes bytes;
        const int count = static_cast<int>(rng() % 4);
        for (int r = 0; r < count && round % 2 == 0; ++r) {
            devdefaults::Block words;
            for (auto& w : words) w = static_cast<std::uint32_t>(rng());
            settingsfile::AppendRecord(bytes, keys[rng() % keys.size()], words);
        }
        const std::size_t noise = rng() % 2100;
        for (std::size_t i = 0; i < noise; ++i) bytes.push_back(static_cast<std::uint8_t>(rng()));
        if (!bytes.empty() && rng() % 3 == 0) bytes.resize(rng() % bytes.size());
        std::set<std::int32_t> mentioned;
        for (std::size_t at = 0; at + 4 <= bytes.size(); at += kRecord) {
            mentioned.insert(settingsfile::ReadKey(bytes.data() + at));
        }

        CDerivedDataContainer store;
        const std::vector<Words> before = allBlocks(store);
        store.SelectContainer(0x200);
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        const SettingsFileReport report = store.LoadFromStream(in);

        ASSERT_GE(report.records, 0);
        ASSERT_LE(static_cast<std::size_t>(report.records) * kRecord, bytes.size());
        ASSERT_EQ(store.GetSelectedId(), 0x200);
        // A good file is whole records, all read; a bad one says why.
        ASSERT_TRUE(report.ok() ? bytes.size() % kRecord == 0 && report.offset == bytes.size() : !report.message.empty())
            << "round " << round;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (mentioned.count(keys[i]) == 0) {
                ASSERT_EQ(blockOf(store, keys[i]), before[i]) << "round " << round;
            }
        }
    }
}

}  // namespace
