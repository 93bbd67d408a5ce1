// The device data store: one block of 256 data words per device key, with
// a copy of the device's defaults, one program-wide selection, word and
// bit-field access, and the parameter settings file.
//
// The store locks internally: task threads publish readings into it while
// the GUI thread reads and writes the same block.
#pragma once

#include "data/DeviceDefaults.h"
#include "data/FileNameProvider.h"
#include "data/SettingsFile.h"

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>

// One word of a block and the value to put there.
struct DataWord {
    int index;
    std::uint32_t value;
};

class IDataContainer {
public:
    virtual ~IDataContainer() = default;

    // Selects the block of a device key for every later word access.
    // 1 when the key has a block; else 0, and nothing is selected.
    virtual int SelectContainer(std::int32_t key) = 0;
    // Selects the key and overwrites its current words with its defaults.
    virtual int ResetContainer(std::int32_t key) = 0;
    // Sets bits lsb .. lsb + count - 1 of a word to the low `count` bits of
    // `value`. 0 when nothing is selected or the index is outside 0..255.
    virtual int SetBits(int index, int lsb, int count, std::uint32_t value) = 0;
    virtual int SetValue(int index, std::uint32_t value) = 0;
    // The field moved down to bit 0; 0xFFFFFFFF when nothing is selected or
    // the index is outside 0..255. Bits beyond bit 31 read as 0.
    virtual std::uint32_t GetBits(int index, int lsb, int count) const = 0;
    virtual std::uint32_t GetValue(int index) const = 0;
    // Asks for a file name and saves one device's words, or every device's
    // for key -1. 1 when the file was written completely.
    virtual int SaveToFile(std::int32_t key) = 0;
    // Asks for a file name and loads its records. 1 when every record of the
    // file was loaded.
    virtual int LoadFromFile() = 0;
    // The selected device key, -1 when none.
    virtual std::int32_t GetSelectedId() const = 0;
    // Writes the words only while `key` is the selected device, checked and written
    // under one lock: readings taken for one device never land in another's block.
    // 1 when written; 0, and nothing written, otherwise (also for a bad index).
    virtual int SetValuesIfSelected(std::int32_t key, std::span<const DataWord> words) = 0;
    // A word of one device's block, selected or not; 0xFFFFFFFF for an unknown key or
    // an index outside 0..255.
    virtual std::uint32_t GetValueOf(std::int32_t key, int index) const = 0;
};

// A word read as a number: 0 where there is no store or it has no data (nothing
// selected, an unknown key, an index outside the block), never the no-data mark.
inline std::uint32_t WordOrZero(const IDataContainer* store, int index) {
    const std::uint32_t v = store != nullptr ? store->GetValue(index) : 0xFFFFFFFFu;
    return v == 0xFFFFFFFFu ? 0 : v;
}
inline std::uint32_t WordOrZero(const IDataContainer* store, std::int32_t key, int index) {
    const std::uint32_t v = store != nullptr ? store->GetValueOf(key, index) : 0xFFFFFFFFu;
    return v == 0xFFFFFFFFu ? 0 : v;
}

class CDerivedDataContainer final : public IDataContainer {
public:
    static constexpr std::uint32_t kNoData = 0xFFFFFFFFu;
    static constexpr std::int32_t kAllDevices = -1;

    // `fileNames` is borrowed; without one, saving and loading through the
    // dialogs fail as if the user had cancelled.
    explicit CDerivedDataContainer(IFileNameProvider* fileNames = nullptr);
    ~CDerivedDataContainer() override;

    CDerivedDataContainer(const CDerivedDataContainer&) = delete;
    CDerivedDataContainer& operator=(const CDerivedDataContainer&) = delete;

    int SelectContainer(std::int32_t key) override;
    int ResetContainer(std::int32_t key) override;
    int SetBits(int index, int lsb, int count, std::uint32_t value) override;
    int SetValue(int index, std::uint32_t value) override;
    std::uint32_t GetBits(int index, int lsb, int count) const override;
    std::uint32_t GetValue(int index) const override;
    int SaveToFile(std::int32_t key) override;
    int LoadFromFile() override;
    std::int32_t GetSelectedId() const override;
    int SetValuesIfSelected(std::int32_t key, std::span<const DataWord> words) override;
    std::uint32_t GetValueOf(std::int32_t key, int index) const override;

    // Selects `key` and writes default row `row` into its current and default
    // blocks. The row is taken by number whatever the key. 1 on success, 0
    // for a row outside 0..31 or a key without a block.
    int LoadDefaults(int row, std::int32_t key);

    void SetFileNameProvider(IFileNameProvider* fileNames);

    // The file operations without the dialogs.
    SettingsFileReport SaveToPath(std::int32_t key, const std::string& path);
    SettingsFileReport LoadFromPath(const std::string& path);
    // Loads records from a stream. Each complete record with a known key
    // replaces that device's current words at once; loading stops at an
    // unknown key or an incomplete record, which changes nothing.
    SettingsFileReport LoadFromStream(std::istream& in);

    // What the last save or load did, with a message for the user.
    SettingsFileReport LastFileReport() const;

    bool HasBlock(std::int32_t key) const;

private:
    using Block = devdefaults::Block;

    int selectLocked(std::int32_t key);
    void setReport(const SettingsFileReport& report);

    // Blocks are created once in the constructor and never reallocated; the
    // maps do not change shape after construction.
    std::map<std::int32_t, std::unique_ptr<Block>> current_;
    std::map<std::int32_t, std::unique_ptr<Block>> defaults_;

    mutable std::mutex mutex_;  // guards the words of every block and the selection
    std::int32_t selectedKey_ = -1;
    Block* selectedCurrent_ = nullptr;
    const Block* selectedDefault_ = nullptr;

    std::atomic<IFileNameProvider*> fileNames_;

    mutable std::mutex reportMutex_;
    SettingsFileReport lastReport_;
};
