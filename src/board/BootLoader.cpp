#include "board/BootLoader.h"

#include <algorithm>
#include <cstring>

#include "board/IntelHex.h"
#include "platform/core/Clock.h"
#include "platform/core/Debug.h"

using namespace loader;

namespace {
constexpr int kShortTimeoutMs = 1000;
}

CBootLoader::CBootLoader(std::unique_ptr<ILoaderChannel> channel, SearchTiming timing)
    : channel_(std::move(channel)), timing_(timing) {}

CBootLoader::~CBootLoader() {
    if (channel_) channel_->Close();
}

int CBootLoader::Request(std::uint32_t code, std::vector<std::uint8_t>& record, std::size_t dataLength,
                         std::size_t* returnedData, int timeoutMs) {
    if (returnedData != nullptr) *returnedData = 0;
    record.resize(kHeaderSize + dataLength);
    put32(record.data() + kCodeOffset, code);
    record[kStatusOffset] = 0;
    std::vector<std::uint8_t> answer;
    if (!channel_->IsConnected() || !channel_->Exchange(record, answer, timeoutMs)) return 0;
    // A short answer, or a status the device set, is a failed request.
    if (answer.size() < kHeaderSize || answer[kStatusOffset] != 0) return 0;
    const std::size_t back = std::min(answer.size(), record.size());
    std::copy_n(answer.begin(), back, record.begin());
    if (returnedData != nullptr) *returnedData = std::min(answer.size(), record.size()) - kHeaderSize;
    return 1;
}

int CBootLoader::QueryInfo() {
    std::vector<std::uint8_t> record(kHeaderSize + kInfoSize, 0);
    record[kCommandOffset] = kInfoSelector;
    std::size_t returned = 0;
    infoValid_ = false;
    if (Request(kReadInfo, record, kInfoSize, &returned, kShortTimeoutMs) != 1 || returned < kInfoSize) return 0;
    std::copy_n(record.begin() + kHeaderSize, kInfoSize, info_.begin());
    infoValid_ = true;
    return 1;
}

int CBootLoader::Open(const std::atomic<bool>* cancel) {
    // The loader shows up only after the controller has restarted into it: look again
    // after a pause, for a bounded time.
    // A loader that is there but not yet taking connections (its device made an instant
    // before it listens, or left behind by the previous controller's session) is looked
    // at again within the same bound, as one that is not there yet.
    const std::uint64_t start = platform::currentClock().nowMs();
    while (!(channel_->Present() && channel_->Connect())) {
        if (platform::currentClock().nowMs() - start >= timing_.timeoutMs || (cancel != nullptr && cancel->load())) {
            platform::debugOut("Loader: no loader device found\n");
            return kOpenNotFound;
        }
        platform::sleepMs(timing_.intervalMs);
    }
    return QueryInfo();
}

int CBootLoader::Command(std::uint8_t command, std::uint16_t key, std::uint16_t block, bool readBack,
                         const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>* back,
                         int timeoutMs) {
    if (Cancelled()) return 0;
    std::vector<std::uint8_t> record(kHeaderSize + length, 0);
    record[kCommandOffset] = command;
    put16(record.data() + kKeyOffset, key);
    put16(record.data() + kBlockOffset, block);
    put32(record.data() + kReadBackOffset, readBack ? 1u : 0u);
    if (data != nullptr && length > 0) std::memcpy(record.data() + kHeaderSize, data, length);
    std::size_t returned = 0;
    const int ok = Request(kCommand, record, length, &returned, timeoutMs);
    if (ok == 1 && back != nullptr) back->assign(record.begin() + kHeaderSize, record.begin() + kHeaderSize + returned);
    return ok;
}

int CBootLoader::Fail(int status, const std::string& why) {
    lastError_ = why;
    platform::debugOutf("Loader: %s\n", why.c_str());
    return status;
}

int CBootLoader::Download(int controllerFlag, std::string_view hexText, const std::atomic<bool>* cancel) {
    lastError_.clear();
    cancel_ = cancel;
    const std::size_t blocks = blocksFor(controllerFlag);
    int status = kSuccess;
    // Everything that can be found wrong without the device is found before the erase:
    // a refused image must leave the firmware that is there in place.
    const HexImage image = ParseIntelHex(hexText, blocks * kBlockSize);
    const std::uint16_t blockLength = infoValid_ ? get16(info_.data() + kInfoBlockLength) : 0;
    if (!image.ok) {
        status = Fail(kImageRefused, "image refused: " + image.error);
    } else if (!infoValid_ || !channel_->IsConnected()) {
        status = Fail(kWriteFailed, "the loader device is not open");
    } else if (blockLength != kBlockSize) {
        status = Fail(kWriteFailed, "the device's block length " + std::to_string(blockLength) + " is not " +
                                        std::to_string(kBlockSize));
    }

    const int blockTimeout = (get16(info_.data() + kInfoTimeoutFactor) * 5 + 500) * 2;
    const std::uint16_t key = static_cast<std::uint16_t>(info_[kInfoKeyHigh] << 8 | info_[kInfoKeyLow]);
    if (status == kSuccess &&
        Command(info_[kInfoErase], key, 0, false, nullptr, 0, nullptr, kShortTimeoutMs) != 1) {
        status = Fail(kWriteFailed, "erase failed");
    }
    for (std::size_t b = 0; status == kSuccess && b < blocks; ++b) {
        if (Command(info_[kInfoWrite], key, static_cast<std::uint16_t>(b), false, image.data.data() + b * kBlockSize,
                    blockLength, nullptr, blockTimeout) != 1) {
            status = Fail(kWriteFailed, "write of block " + std::to_string(b) + " failed");
        }
    }
    // Every block is read back even after one differed, so the trace names each bad
    // block; only a request that failed ends the loop (the device is not answering).
    const bool written = status == kSuccess;
    for (std::size_t b = 0; written && b < blocks; ++b) {
        std::vector<std::uint8_t> back;
        if (Command(info_[kInfoReadBack], key, static_cast<std::uint16_t>(b), true, nullptr, blockLength, &back,
                    blockTimeout) != 1) {
            status = Fail(kVerifyFailed, "read-back of block " + std::to_string(b) + " failed");
            break;
        }
        if (back.size() < blockLength) {
            // Nothing (or too little) came back: nothing was verified.
            status = Fail(kVerifyFailed, "read-back of block " + std::to_string(b) + " returned " +
                                             std::to_string(back.size()) + " bytes");
        } else if (!std::equal(back.begin(), back.begin() + blockLength, image.data.begin() + b * kBlockSize)) {
            status = Fail(kVerifyFailed, "block " + std::to_string(b) + " differs after writing");
        }
    }
    if (status == kSuccess &&
        Command(info_[kInfoFinish], key, kFinishBlock, false, nullptr, 0, nullptr, kShortTimeoutMs) != 1) {
        status = Fail(kFinishFailed, "finish failed");
    }
    if (status == kSuccess && Command(info_[kInfoRun], 0, 0, false, nullptr, 0, nullptr, kShortTimeoutMs) != 1) {
        status = Fail(kRunFailed, "run failed");
    }
    if (status == kSuccess) {
        // Leaves boot mode: bit 3 of the control word cleared. Its outcome changes nothing.
        std::vector<std::uint8_t> record(kHeaderSize, 0);
        if (Request(kReadControl, record, 0, nullptr, kShortTimeoutMs) == 1) {
            put32(record.data() + kCommandOffset, get32(record.data() + kCommandOffset) & ~kControlBootBit);
            Request(kWriteControl, record, 0, nullptr, kShortTimeoutMs);
        }
    }
    if (Cancelled()) lastError_ += " (cancelled)";
    channel_->Close();
    infoValid_ = false;
    cancel_ = nullptr;
    return status;
}
