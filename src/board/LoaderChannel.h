// The channel to the boot loader: one request record out, one back. The loader device
// is reached over a UNIX socket (the path in TAMSIRO_BOOTLOADER_SOCKET): finding the
// device is the socket being there, opening it is connecting, and every message goes
// with its length as 4 little-endian bytes before it.
//
// Used by one thread at a time (the firmware update worker).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ILoaderChannel {
public:
    virtual ~ILoaderChannel() = default;
    // Whether the loader device is there to be opened.
    virtual bool Present() = 0;
    virtual bool Connect() = 0;
    virtual bool IsConnected() const = 0;
    // Sends `out` and waits at most timeoutMs for the answer. False on failure or
    // time-out; a request that timed out is cancelled by closing the connection (a late
    // answer must not be taken for the next request's).
    virtual bool Exchange(const std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& in, int timeoutMs) = 0;
    virtual void Close() = 0;
};

class CSocketLoaderChannel final : public ILoaderChannel {
public:
    // Empty path: the one TAMSIRO_BOOTLOADER_SOCKET names (none: no loader device).
    explicit CSocketLoaderChannel(std::string path = {});
    ~CSocketLoaderChannel() override;
    CSocketLoaderChannel(const CSocketLoaderChannel&) = delete;
    CSocketLoaderChannel& operator=(const CSocketLoaderChannel&) = delete;

    static constexpr const char* kEnvironment = "TAMSIRO_BOOTLOADER_SOCKET";

    bool Present() override;
    bool Connect() override;
    bool IsConnected() const override { return fd_ >= 0; }
    bool Exchange(const std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& in, int timeoutMs) override;
    void Close() override;

private:
    bool WriteAll(const std::uint8_t* p, std::size_t n, std::uint64_t deadlineMs);
    bool ReadAll(std::uint8_t* p, std::size_t n, std::uint64_t deadlineMs);

    std::string path_;
    int lastError_ = 0;  // the connection error last told
    int fd_ = -1;
};
