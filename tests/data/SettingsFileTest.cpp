#include "data/DataContainer.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

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

TEST(SettingsFile, SavingWritesEachDevicesRecordInKeyOrderAndLoadingBringsItBack)
{
    TempDir dir;
    ScriptedNames names;
    names.answers = {dir.file("all.bin")};
    CDerivedDataContainer source;
    for (const std::int32_t key : {0x100, 0x200, 0x501}) {
        source.SelectContainer(key);
        for (std::uint32_t i = 0; i < 256; ++i) source.SetValue(static_cast<int>(i), key * 0x10001u + i * 0x01010101u);
    }
    source.SelectContainer(0x200);
    source.SetValue(3, 0x11223344);
    source.ResetContainer(0x106);

    const SettingsFileReport report = source.SaveToPath(-1, dir.file("all.bin"));
    ASSERT_TRUE(report.ok()) << report.message;
    EXPECT_EQ(report.records, 32);
    const Bytes file = readBytes(dir.file("all.bin"));
    ASSERT_EQ(file.size(), 32 * kRecord);
    for (std::size_t i = 0; i < 32; ++i) {
        EXPECT_EQ(settingsfile::ReadKey(file.data() + i * kRecord), devdefaults::kDeviceKeys[i]) << "record " << i;
    }
    // 0x200 is record 13; word 3 sits 4 + 3 * 4 bytes into it.
    EXPECT_EQ(bytesAt(file, 13 * kRecord + 16), (Bytes{0x44, 0x33, 0x22, 0x11}));
    // Defaults are current words too: 0x106 (record 6) word 2 = 1500.
    EXPECT_EQ(bytesAt(file, 6 * kRecord + 4 + 2 * 4), (Bytes{0xDC, 0x05, 0, 0}));
    EXPECT_EQ(source.GetSelectedId(), 0x106);

    ASSERT_TRUE(source.SaveToPath(0x106, dir.file("one.bin")).ok());
    const Bytes one = readBytes(dir.file("one.bin"));
    ASSERT_EQ(one.size(), kRecord);
    EXPECT_EQ(Bytes(one.begin(), one.begin() + 16), Bytes(file.begin() + 6 * kRecord, file.begin() + 6 * kRecord + 16));

    CDerivedDataContainer target(&names);
    target.SelectContainer(0x300);
    EXPECT_EQ(target.LoadFromFile(), 1);
    EXPECT_EQ(target.LastFileReport().records, 32);
    EXPECT_EQ(allBlocks(target), allBlocks(source));
    EXPECT_EQ(target.GetSelectedId(), 0x300);
    // The defaults did not come from the file.
    target.ResetContainer(0x100);
    EXPECT_EQ(target.GetValue(52), 80u);
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
    EXPECT_EQ(blockOf(store, 0x200), Words(256, 5u));
    EXPECT_EQ(blockOf(store, 0x106), before106);

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
    EXPECT_EQ(store.LastFileReport().status, SettingsFileStatus::NoBlock);
    EXPECT_EQ(store.SaveToPath(0x402, dir.file("keep.bin")).status, SettingsFileStatus::NoBlock);
    EXPECT_EQ(readBytes(dir.file("keep.bin")), (Bytes{1, 2, 3}));

    writeBytes(dir.file("empty.bin"), {});
    EXPECT_EQ(store.LoadFromPath(dir.file("empty.bin")).status, SettingsFileStatus::Empty);
    EXPECT_EQ(store.LoadFromPath(dir.file("missing.bin")).status, SettingsFileStatus::OpenFailed);
    EXPECT_EQ(store.LoadFromPath(dir.path().string()).status, SettingsFileStatus::OpenFailed);
    EXPECT_EQ(store.LoadFromPath("").status, SettingsFileStatus::Cancelled);

    // A cancelled dialog, or none at all, saves and loads nothing.
    EXPECT_EQ(store.SaveToFile(-1), 0);
    EXPECT_EQ(store.LastFileReport().status, SettingsFileStatus::Cancelled);
    EXPECT_EQ(store.LoadFromFile(), 0);
    ASSERT_EQ(names.requests.size(), 2u);
    EXPECT_EQ(names.requests[0].mode, FileDialogRequest::Mode::Save);
    EXPECT_TRUE(names.requests[1].fileMustExist);
    store.SetFileNameProvider(nullptr);
    EXPECT_EQ(store.SaveToFile(0x100), 0);
    EXPECT_EQ(dir.names().size(), 2u);
    EXPECT_EQ(allBlocks(store), before);
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

    EXPECT_EQ(report.status, SettingsFileStatus::WriteFailed);
    EXPECT_FALSE(report.message.empty());
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"old.bin"});

    // A folder in the file's place cannot be replaced either.
    std::filesystem::create_directory(dir.file("folder.bin"));
    EXPECT_EQ(store.SaveToPath(-1, dir.file("folder.bin")).status, SettingsFileStatus::WriteFailed);
    EXPECT_EQ(dir.names().size(), 2u);

    // Saving through a link replaces the linked file and keeps the link.
    std::filesystem::create_symlink(path, dir.file("link.bin"));
    ASSERT_TRUE(store.SaveToPath(0x100, dir.file("link.bin")).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.bin")));
    const Bytes replaced = readBytes(path);
    EXPECT_EQ(replaced.size(), kRecord);
    EXPECT_NE(replaced, old);
}

}  // namespace
