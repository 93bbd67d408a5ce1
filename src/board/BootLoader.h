// The firmware download through the boot loader: the device search and open, the
// request and information records, and erase, write, verify, finish and run of one
// controller's image.
//
// One loader device open at a time, used only by the firmware update worker: the
// object is not shared between threads. Every request has a time-out, and the device
// search ends after its time-out, so no call waits without end.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "board/LoaderChannel.h"
#include "board/LoaderRecords.h"

// How long the device search goes on, and how long it waits between looks.
struct LoaderSearchTiming {
    std::uint32_t intervalMs = 100;
    std::uint32_t timeoutMs = 15000;
};

class CBootLoader {
public:
    using SearchTiming = LoaderSearchTiming;

    explicit CBootLoader(std::unique_ptr<ILoaderChannel> channel, SearchTiming timing = SearchTiming());
    ~CBootLoader();

    // One request: code into the header, status cleared, the record sent whole (28
    // bytes + dataLength) and the answer copied back over it. 1 when the device answered
    // with status 0; *returnedData is what came back past the header.
    int Request(std::uint32_t code, std::vector<std::uint8_t>& record, std::size_t dataLength,
                std::size_t* returnedData, int timeoutMs);
    // Reads the 68-byte information record; 1 when it came whole.
    int QueryInfo();
    // Looks for the device until it is there or the search times out (kOpenNotFound),
    // connects (0 on failure) and reads its information record (0 on failure); 1 when
    // open.
    // A set `cancel` ends the search at once (kOpenNotFound).
    int Open(const std::atomic<bool>* cancel = nullptr);
    // Whether the loader device is there (the update dialog's device check).
    bool Present() { return channel_->Present(); }
    // Downloads an Intel HEX image to the first (0) or second (other) controller and
    // closes the device whatever comes of it. A status of loader::DownloadStatus. The
    // text is parsed and the device's block length checked before anything is erased.
    // A set `cancel` (looked at before each request) ends it with the status of the
    // step it stopped in.
    int Download(int controllerFlag, std::string_view hexText, const std::atomic<bool>* cancel = nullptr);

    // Why the last download did not succeed, for the trace and the tests.
    const std::string& LastError() const { return lastError_; }
    const std::array<std::uint8_t, loader::kInfoSize>& Info() const { return info_; }

private:
    int Command(std::uint8_t command, std::uint16_t key, std::uint16_t block, bool readBack,
                const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>* back, int timeoutMs);
    int Fail(int status, const std::string& why);
    bool Cancelled() const { return cancel_ != nullptr && cancel_->load(); }

    const std::atomic<bool>* cancel_ = nullptr;

    std::unique_ptr<ILoaderChannel> channel_;
    SearchTiming timing_;
    std::array<std::uint8_t, loader::kInfoSize> info_{};
    bool infoValid_ = false;
    std::string lastError_;
};
