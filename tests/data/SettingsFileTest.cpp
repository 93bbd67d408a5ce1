#include "data/DataContainer.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <sstream>

namespace {

constexpr std::size_t kRecord = 1028;

// Answers every dialog with a fixed name and remembers what was asked.
class FakeFileNames : public IFileNameProvider {
public:
    std::string answer;
    std::vector<FileDialogRequest> requests;

    std::string RequestFileName(const FileDialogRequest& request) override
    {
        requests.push_back(request);
        return answer;
    }
};

std::vector<std::uint8_t> record(std::int32_t key, std::uint32_t fill)
{
    devdefaults::Block words;
    words.fill(fill);
    std::vector<std::uint8_t> out;
    settingsfile::AppendRecord(out, key, words);
    return out;
}

std::vector<std::uint8_t> concat(std::initializer_list<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

std::vector<std::uint32_t> blockOf(CDerivedDataContainer& store, std::int32_t key)
{
    const std::int32_t selected = store.GetSelectedId();
    store.SelectContainer(key);
    std::vector<std::uint32_t> out;
    for (int i = 0; i < 256; ++i) {
        out.push_back(store.GetValue(i));
    }
    store.SelectContainer(selected);
    return out;
}

std::vector<std::vector<std::uint32_t>> allBlocks(CDerivedDataContainer& store)
{
    std::vector<std::vector<std::uint32_t>> out;
    for (const std::int32_t key : devdefaults::kDeviceKeys) {
        out.push_back(blockOf(store, key));
    }
    return out;
}

std::vector<std::uint8_t> bytesAt(const std::vector<std::uint8_t>& file, std::size_t offset, std::size_t n)
{
    return std::vector<std::uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(offset),
                                     file.begin() + static_cast<std::ptrdiff_t>(offset + n));
}

using Bytes = std::vector<std::uint8_t>;

TEST(SettingsFile, SavingAllDevicesWritesThirtyTwoRecordsInKeyOrder)
{
    TempDir dir;
    CDerivedDataContainer store;
    store.SelectContainer(0x200);
    store.SetValue(3, 0x11223344);
    store.SelectContainer(0x106);

    const SettingsFileReport report = store.SaveToPath(-1, dir.file("all.bin"));
    ASSERT_TRUE(report.ok()) << report.message;
    EXPECT_EQ(report.records, 32);

    const Bytes file = readBytes(dir.file("all.bin"));
    ASSERT_EQ(file.size(), 32896u);
    EXPECT_EQ(bytesAt(file, 0, 4), (Bytes{0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(bytesAt(file, 31 * kRecord, 4), (Bytes{0x01, 0x05, 0x00, 0x00}));
    for (std::size_t i = 0; i < 32; ++i) {
        EXPECT_EQ(settingsfile::ReadKey(file.data() + i * kRecord), devdefaults::kDeviceKeys[i]) << "record " << i;
    }
    // 0x200 is record 13; word 3 sits 4 + 3 * 4 bytes into it.
    EXPECT_EQ(bytesAt(file, 13 * kRecord + 16, 4), (Bytes{0x44, 0x33, 0x22, 0x11}));
    // Defaults are current words too: 0x100 word 52 = 80, 0x501 word 49 = 8000.
    EXPECT_EQ(bytesAt(file, 4 + 52 * 4, 4), (Bytes{80, 0, 0, 0}));
    EXPECT_EQ(bytesAt(file, 31 * kRecord + 4 + 49 * 4, 4), (Bytes{0x40, 0x1F, 0, 0}));
    // Saving leaves the selection where it was.
    EXPECT_EQ(store.GetSelectedId(), 0x106);
}

TEST(SettingsFile, SavingOneDeviceWritesItsRecordOnly)
{
    TempDir dir;
    CDerivedDataContainer store;
    ASSERT_TRUE(store.SaveToPath(0x106, dir.file("one.bin")).ok());
    const Bytes file = readBytes(dir.file("one.bin"));
    ASSERT_EQ(file.size(), kRecord);
    EXPECT_EQ(bytesAt(file, 0, 4), (Bytes{0x06, 0x01, 0x00, 0x00}));
    EXPECT_EQ(bytesAt(file, 4 + 2 * 4, 4), (Bytes{0xDC, 0x05, 0, 0}));  // word 2 = 1500
}

TEST(SettingsFile, SavingADeviceWithoutABlockWritesNothing)
{
    TempDir dir;
    const std::string path = dir.file("keep.bin");
    writeBytes(path, Bytes{1, 2, 3});
    FakeFileNames names;
    names.answer = dir.file("new.bin");
    CDerivedDataContainer store(&names);

    EXPECT_EQ(store.SaveToFile(0x402), 0);
    EXPECT_TRUE(names.requests.empty()) << "no dialog for a device without data";
    EXPECT_FALSE(std::filesystem::exists(dir.file("new.bin")));
    EXPECT_EQ(store.LastFileReport().status, SettingsFileStatus::NoBlock);

    EXPECT_EQ(store.SaveToPath(0x402, path).status, SettingsFileStatus::NoBlock);
    EXPECT_EQ(readBytes(path), (Bytes{1, 2, 3}));
}

TEST(SettingsFile, SaveAndLoadRoundTripKeepsDefaultsAndSelection)
{
    TempDir dir;
    CDerivedDataContainer source;
    for (const std::int32_t key : {0x100, 0x209, 0x501}) {
        source.SelectContainer(key);
        for (int i = 0; i < 256; ++i) {
            source.SetValue(i, static_cast<std::uint32_t>(key) * 0x10001u + static_cast<std::uint32_t>(i) * 0x01010101u);
        }
    }
    ASSERT_TRUE(source.SaveToPath(-1, dir.file("set.bin")).ok());

    CDerivedDataContainer target;
    target.SelectContainer(0x300);
    const SettingsFileReport report = target.LoadFromPath(dir.file("set.bin"));
    EXPECT_TRUE(report.ok()) << report.message;
    EXPECT_EQ(report.records, 32);
    EXPECT_EQ(allBlocks(target), allBlocks(source));
    EXPECT_EQ(target.GetSelectedId(), 0x300);

    // The defaults did not come from the file.
    target.ResetContainer(0x100);
    EXPECT_EQ(target.GetValue(52), 80u);
    EXPECT_EQ(target.GetValue(0), 0u);
}

TEST(SettingsFile, LoadingOneRecordChangesOnlyThatDevice)
{
    TempDir dir;
    writeBytes(dir.file("one.bin"), record(0x106, 7));
    CDerivedDataContainer store;
    const auto before = allBlocks(store);
    ASSERT_TRUE(store.LoadFromPath(dir.file("one.bin")).ok());
    const auto after = allBlocks(store);
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (devdefaults::kDeviceKeys[i] == 0x106) {
            EXPECT_EQ(after[i], std::vector<std::uint32_t>(256, 7u));
        } else {
            EXPECT_EQ(after[i], before[i]) << "row " << i;
        }
    }
}

TEST(SettingsFile, ARepeatedKeyTakesTheLaterRecord)
{
    TempDir dir;
    writeBytes(dir.file("twice.bin"), concat({record(0x200, 1), record(0x200, 2)}));
    CDerivedDataContainer store;
    EXPECT_TRUE(store.LoadFromPath(dir.file("twice.bin")).ok());
    EXPECT_EQ(blockOf(store, 0x200), std::vector<std::uint32_t>(256, 2u));
}

TEST(SettingsFile, LoadingStopsAtAnUnknownKey)
{
    TempDir dir;
    writeBytes(dir.file("bad.bin"), concat({record(0x106, 1), record(0x500, 2), record(0x200, 3)}));
    CDerivedDataContainer store;
    const auto before200 = blockOf(store, 0x200);

    const SettingsFileReport report = store.LoadFromPath(dir.file("bad.bin"));
    EXPECT_EQ(report.status, SettingsFileStatus::UnknownKey);
    EXPECT_EQ(report.records, 1);
    EXPECT_EQ(report.key, 0x500);
    EXPECT_EQ(report.offset, kRecord);
    EXPECT_NE(report.message.find("0x500"), std::string::npos) << report.message;
    EXPECT_EQ(blockOf(store, 0x106), std::vector<std::uint32_t>(256, 1u));
    EXPECT_EQ(blockOf(store, 0x200), before200);
}

TEST(SettingsFile, ATruncatedRecordLeavesTheDeviceUntouched)
{
    TempDir dir;
    Bytes cut = record(0x106, 9);
    cut.resize(4 + 100 * 4);
    writeBytes(dir.file("cut.bin"), concat({record(0x200, 5), cut}));

    FakeFileNames names;
    names.answer = dir.file("cut.bin");
    CDerivedDataContainer store(&names);
    const auto before106 = blockOf(store, 0x106);

    EXPECT_EQ(store.LoadFromFile(), 0);
    const SettingsFileReport report = store.LastFileReport();
    EXPECT_EQ(report.status, SettingsFileStatus::IncompleteRecord);
    EXPECT_EQ(report.records, 1);
    EXPECT_EQ(report.key, 0x106);
    EXPECT_EQ(report.offset, kRecord);
    EXPECT_NE(report.message.find("incomplete"), std::string::npos) << report.message;
    EXPECT_EQ(blockOf(store, 0x200), std::vector<std::uint32_t>(256, 5u));
    EXPECT_EQ(blockOf(store, 0x106), before106);

    // A file ending inside a key is incomplete too.
    writeBytes(dir.file("cut.bin"), concat({record(0x200, 6), Bytes{0x06, 0x01}}));
    EXPECT_EQ(store.LoadFromPath(dir.file("cut.bin")).status, SettingsFileStatus::IncompleteRecord);
    EXPECT_EQ(blockOf(store, 0x200), std::vector<std::uint32_t>(256, 6u));
}

TEST(SettingsFile, FilesThatCannotBeLoadedSaySo)
{
    TempDir dir;
    CDerivedDataContainer store;
    const auto before = allBlocks(store);
    writeBytes(dir.file("empty.bin"), {});
    EXPECT_EQ(store.LoadFromPath(dir.file("empty.bin")).status, SettingsFileStatus::Empty);
    EXPECT_EQ(store.LoadFromPath(dir.file("missing.bin")).status, SettingsFileStatus::OpenFailed);
    EXPECT_EQ(store.LoadFromPath(dir.path().string()).status, SettingsFileStatus::OpenFailed);
    EXPECT_EQ(store.LoadFromPath("").status, SettingsFileStatus::Cancelled);
    EXPECT_EQ(allBlocks(store), before);
}

TEST(SettingsFile, DialogsAskWithTheirTitlesAndFilters)
{
    TempDir dir;
    FakeFileNames names;
    names.answer = dir.file("dlg.bin");
    CDerivedDataContainer store(&names);

    EXPECT_EQ(store.SaveToFile(-1), 1);
    EXPECT_EQ(store.LoadFromFile(), 1);
    ASSERT_EQ(names.requests.size(), 2u);

    const FileDialogRequest& save = names.requests[0];
    EXPECT_EQ(save.mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(save.title, "Save As local PC");
    EXPECT_FALSE(save.fileMustExist);
    EXPECT_EQ(save.defaultExtension, "bin");
    ASSERT_EQ(save.filters.size(), 2u);
    EXPECT_EQ(save.filters[0].description, "Motor driver GUI setting file(*.bin)");
    EXPECT_EQ(save.filters[0].pattern, "*.bin");
    EXPECT_EQ(save.filters[1].description, "All files(*.*)");
    EXPECT_EQ(save.filters[1].pattern, "*.*");

    const FileDialogRequest& open = names.requests[1];
    EXPECT_EQ(open.mode, FileDialogRequest::Mode::Open);
    EXPECT_EQ(open.title, "Open file");
    EXPECT_TRUE(open.fileMustExist);
    EXPECT_EQ(open.filters.size(), 2u);

    // A cancelled dialog, or none at all, saves and loads nothing.
    names.answer.clear();
    EXPECT_EQ(store.SaveToFile(-1), 0);
    EXPECT_EQ(store.LastFileReport().status, SettingsFileStatus::Cancelled);
    EXPECT_EQ(store.LoadFromFile(), 0);
    store.SetFileNameProvider(nullptr);
    EXPECT_EQ(store.SaveToFile(0x100), 0);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"dlg.bin"});
}

TEST(SettingsFile, AFailedSaveKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    TempDir dir;
    const std::string path = dir.file("old.bin");
    const Bytes old = record(0x100, 0x55);
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
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.bin")));
    EXPECT_EQ(dir.names().size(), 2u);
}

TEST(SettingsFile, SavingThroughALinkReplacesTheLinkedFile)
{
    TempDir dir;
    writeBytes(dir.file("real.bin"), Bytes{1});
    std::filesystem::create_symlink(dir.file("real.bin"), dir.file("link.bin"));
    CDerivedDataContainer store;
    ASSERT_TRUE(store.SaveToPath(0x100, dir.file("link.bin")).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.bin")));
    EXPECT_EQ(readBytes(dir.file("real.bin")).size(), kRecord);
}

}  // namespace
