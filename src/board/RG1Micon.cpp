#include "board/RG1Micon.h"

#include "board/BootLoader.h"

#include <algorithm>
#include <cstring>

#include "board/Bits.h"
#include "board/NativeTranslator.h"
#include "platform/core/Clock.h"
#include "platform/core/Debug.h"
#include "platform/core/NamedSync.h"

namespace {

constexpr std::uint8_t kSecond = '8';
constexpr std::size_t kReceiveBuffer = 64;
constexpr int kLengthReadAttempts = 5;

}  // namespace

CRG1Micon::CRG1Micon() : CRG1Micon(std::make_unique<CNativeTranslator>(kBoardPortClass)) {}

CRG1Micon::CRG1Micon(std::unique_ptr<ITranslate> transport) : transport_(std::move(transport)) { Construct(); }

void CRG1Micon::Construct() {
    portMap_.fill(-1);
    for (int port = 21; port <= 28; ++port) portMap_[port] = port - 21;
    portMap_[29] = 19;
    portMap_[30] = 20;
    portMap_[31] = 21;
    portMap_[32] = 32;
    portMap_[33] = 33;
    longFrame_[9] = 1;
    transferMutex_ = platform::createNamedMutex("MV61_Transfer");
    dataMutex_ = platform::createNamedMutex("MV61_MV62Data");
}

CRG1Micon::~CRG1Micon() = default;

std::uint8_t CRG1Micon::Sum(const std::uint8_t* bytes, std::size_t first, std::size_t last) {
    unsigned sum = 0;
    for (std::size_t i = first; i <= last; ++i) sum += bytes[i];
    return static_cast<std::uint8_t>(sum);
}

// --- connection ---

int CRG1Micon::SetTimeoutMode(int flag) { return transport_->SetUseTimeouts(flag); }
int CRG1Micon::CheckConnection() { return transport_->Detect(); }
int CRG1Micon::IsConnected() { return transport_->IsConnected(); }

int CRG1Micon::Open(int mode) {
    const int result = transport_->Open(mode);
    // The board is re-initialised on the first good open after a close; a failed open
    // leaves that pending instead of losing it.
    if (result == 1 && reinitialiseOnOpen_.exchange(false)) SetControl(1, 1, 4, 1);
    return result;
}

int CRG1Micon::Close() {
    std::lock_guard guard(lock_);  // never pull the port from under a frame in flight
    reinitialiseOnOpen_ = true;
    return transport_->Close();
}

int CRG1Micon::Suspend() {
    suspended_ = true;
    return 1;
}

int CRG1Micon::Resume() {
    suspended_ = false;
    return 0;
}

int CRG1Micon::Reconnect() {
    std::lock_guard guard(lock_);
    if (transport_->IsConnected()) transport_->Close();
    return transport_->Reconnect();
}

// --- the wire ---

int CRG1Micon::Send(const std::uint8_t* frame, std::size_t length, std::uint8_t* reply, std::size_t replyLength) {
    if (suspended_) return 0;
    std::lock_guard guard(lock_);
    if (!transport_->IsConnected()) return 4;
    return Transfer(frame, length, reply, replyLength);
}

int CRG1Micon::Transfer(const std::uint8_t* frame, std::size_t length, std::uint8_t* reply, std::size_t replyLength) {
    if (length == 0 || length > kMaxFrame) return -1;
    std::uint8_t tx[kMaxFrame];
    std::memcpy(tx, frame, length);
    const bool checksummed = tx[0] == kSecond && (tx[1] & 0x10) != 0;

    if (transport_->Transfer(0, tx, static_cast<std::uint32_t>(length), nullptr) != static_cast<int>(length)) return -1;

    std::uint8_t rx[kReceiveBuffer] = {};
    int got = 0;
    for (int attempt = 0; attempt < kLengthReadAttempts; ++attempt) {
        got = transport_->Transfer(1, rx, 1, nullptr);
        if (got != 0) break;
        platform::sleepMs(1);
    }
    if (got != 1) return -1;

    const std::size_t total = rx[0];
    if (total > kReceiveBuffer) {
        // More than a reply can be: swallow it so the next frame starts in step, and
        // never let it near the buffers. A garbled length byte promises bytes that never
        // come: once a read ends short the line has gone quiet, and waiting a whole
        // time-out per chunk for the rest would hold the link for seconds.
        std::uint8_t sink[kReceiveBuffer];
        std::size_t left = total - 1;
        while (left > 0) {
            const std::size_t asked = std::min(left, sizeof sink);
            const int n = transport_->Transfer(1, sink, static_cast<std::uint32_t>(asked), nullptr);
            if (n <= 0) break;
            left -= static_cast<std::size_t>(n);
            if (static_cast<std::size_t>(n) < asked) break;
        }
        platform::debugOut("Receive data too long\n");
        return -1;
    }

    int payload = 0;
    if (total > 0) {
        payload = transport_->Transfer(1, rx + 1, static_cast<std::uint32_t>(total - 1), nullptr);
        if (payload <= 0) return -1;
    }
    // Only a complete reply counts: a partial one would be taken as fresh with stale bytes.
    const bool whole = total >= 2 && static_cast<std::size_t>(payload) == total - 1;
    bool good = whole;
    if (good && checksummed) good = total >= 3 && rx[total - 1] == Sum(rx, 2, total - 2);

    if (reply == nullptr) return good ? 0 : -1;

    if (rx[0] != 0 && total >= 2 && rx[1] == tx[0]) {
        // A checksum failure still delivers the reply; the caller gets -1 with it. A reply
        // cut short delivers nothing: the operations that ignore the result would report
        // its missing bytes as a reading.
        if (whole) std::memcpy(reply, rx, std::min(replyLength, total));
        return good ? 0 : -1;
    }

    platform::debugOut("Receive data missmatch\n");
    // The board may still owe the real answer: drop one more reply so the next frame
    // starts in step. The command itself has failed either way.
    std::uint8_t drop[kReceiveBuffer];
    if (transport_->Transfer(1, drop, 1, nullptr) == 1 && drop[0] > 1) {
        std::size_t left = drop[0] - 1u;
        while (left > 0) {
            const int n = transport_->Transfer(1, drop, static_cast<std::uint32_t>(std::min(left, sizeof drop)), nullptr);
            if (n <= 0) break;
            left -= static_cast<std::size_t>(n);
        }
    }
    return -1;
}

// --- frames ---

int CRG1Micon::SendReset(int board, int second) {
    std::lock_guard guard(lock_);
    if (board) {
        resetFrame_ = {'R', 0};
        Send(resetFrame_.data(), 2, nullptr, 0);
    }
    if (second) {
        longFrame_[0] = kSecond;
        longFrame_[1] = 0;
        Send(longFrame_.data(), 2, nullptr, 0);
    }
    return board | second;
}

int CRG1Micon::SetControl(int flagA, int flagB, int mode, int send) {
    std::lock_guard guard(lock_);
    controlFrame_[0] = 'C';
    bits::Set(controlFrame_[2], 0, (flagA & 1) != 0);
    bits::Set(controlFrame_[2], 1, (flagB & 1) != 0);
    controlFrame_[3] = static_cast<std::uint8_t>(mode);
    if (send) Send(controlFrame_.data(), controlFrame_.size(), nullptr, 0);
    return 1;
}

int CRG1Micon::SendSelect(std::uint8_t value, int send) {
    std::lock_guard guard(lock_);
    selectFrame_ = {kSecond, 4, value, value};
    if (send) Send(selectFrame_.data(), selectFrame_.size(), nullptr, 0);
    return 1;
}

int CRG1Micon::SendSelectPair(int which, std::uint8_t value, int send) {
    std::lock_guard guard(lock_);
    selectPairFrame_[0] = kSecond;
    selectPairFrame_[1] = 5;  // the frame is shared with '8' 21
    selectPairFrame_[which != 0 ? 2 : 3] = value;
    selectPairFrame_[4] = static_cast<std::uint8_t>(selectPairFrame_[2] + selectPairFrame_[3]);
    if (send) Send(selectPairFrame_.data(), selectPairFrame_.size(), nullptr, 0);
    return 1;
}

int CRG1Micon::SetOutputValue(int channel, std::uint16_t value, std::uint8_t extra, int send) {
    std::lock_guard guard(lock_);
    auto& f = outputValueFrame_;
    f[0] = 'O';
    f[1] = static_cast<std::uint8_t>(0xE0 | (channel & 0x0F));
    f[2] = static_cast<std::uint8_t>(value & 0xFF);
    f[3] = static_cast<std::uint8_t>(value >> 8);
    f[4] = extra;
    f[5] = Sum(f.data(), 2, 4);
    if (send) Send(f.data(), f.size(), nullptr, 0);
    return 1;
}

int CRG1Micon::PulsePort(std::uint8_t widthCode, int port, int send) {
    if (port < 0 || port >= static_cast<int>(portMap_.size()) || portMap_[port] < 0) return 0;
    std::lock_guard guard(lock_);
    auto& f = pulseFrame_;
    f[0] = kSecond;
    f[1] = 6;
    f[2] = widthCode;
    f[3] = static_cast<std::uint8_t>(portMap_[port]);
    f[4] = static_cast<std::uint8_t>(f[2] + f[3]);
    if (send) Send(f.data(), f.size(), nullptr, 0);
    return 1;
}

int CRG1Micon::SendParameterBlock(int send) {
    std::lock_guard guard(lock_);
    longFrame_[0] = kSecond;
    longFrame_[1] = 1;
    longFrame_[35] = Sum(longFrame_.data(), 2, 32);
    if (send) Send(longFrame_.data(), longFrame_.size(), nullptr, 0);
    return 1;
}

int CRG1Micon::SendParameterBlockAndRead(int send) {
    std::lock_guard guard(lock_);
    longFrame_[0] = kSecond;
    longFrame_[1] = 0xFF;
    longFrame_[35] = Sum(longFrame_.data(), 2, 32);
    if (send) Send(longFrame_.data(), longFrame_.size(), statusRecord_.data(), statusRecord_.size());
    return 1;
}

std::uint16_t CRG1Micon::KeptMeasuredValue() const {
    return static_cast<std::uint16_t>(statusRecord_[4] | (statusRecord_[5] << 8));
}

int CRG1Micon::ReadMeasuredValue(int send) {
    std::lock_guard guard(lock_);
    if (send) {
        longFrame_[0] = kSecond;
        longFrame_[1] = 20;
        if (Send(longFrame_.data(), 2, measuredReply_.data(), measuredReply_.size()) == 0) {
            const std::uint8_t status = measuredReply_[4];
            statusRecord_[11] = status;
            statusRecord_[4] = status != 0 ? 0 : measuredReply_[2];
            statusRecord_[5] = status != 0 ? 0 : measuredReply_[3];
        }
    }
    return KeptMeasuredValue();
}

int CRG1Micon::ReadStatus(std::uint32_t* status, int send) {
    std::lock_guard guard(lock_);
    if (send) {
        longFrame_[0] = kSecond;
        longFrame_[1] = 22;
        Send(longFrame_.data(), 2, statusReply_.data(), statusReply_.size());
        if (status) *status = statusReply_[2];
    }
    statusRecord_[11] = statusReply_[2];
    return 1;
}

int CRG1Micon::GetDllVersion(char* buffer, std::size_t size) {
    static constexpr char kVersion[] = "2010";
    if (buffer == nullptr || size == 0) return 0;
    const std::size_t n = std::min(size - 1, sizeof kVersion - 1);
    std::memcpy(buffer, kVersion, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

int CRG1Micon::GetVersion(std::uint16_t* mainVersion, std::uint16_t* secondVersion, int send) {
    std::lock_guard guard(lock_);
    if (send) {
        versionFrame_[0] = 'V';
        if (Send(versionFrame_.data(), 1, mainVersionReply_.data(), mainVersionReply_.size()) == 0) {
            mainVersion_ = static_cast<std::uint16_t>(mainVersionReply_[3] << 8 | mainVersionReply_[2]);
        }
        platform::sleepMs(5);
        longFrame_[0] = kSecond;
        longFrame_[1] = 18;
        if (Send(longFrame_.data(), 2, secondVersionReply_.data(), secondVersionReply_.size()) == 0) {
            secondVersion_ = secondVersionReply_[4] != 0
                                 ? 0
                                 : static_cast<std::uint16_t>(secondVersionReply_[3] << 8 | secondVersionReply_[2]);
        }
    }
    if (mainVersion) *mainVersion = mainVersion_;
    if (secondVersion) *secondVersion = secondVersion_;
    return 1;
}

int CRG1Micon::ReadSub21(int send) {
    std::lock_guard guard(lock_);
    selectPairFrame_[0] = kSecond;
    selectPairFrame_[1] = 21;
    if (send) Send(selectPairFrame_.data(), 2, selectReply_.data(), selectReply_.size());
    return selectReply_[2];
}

int CRG1Micon::GetLastStatus() {
    std::lock_guard guard(lock_);
    return statusRecord_[11];
}

int CRG1Micon::ReadSub17(int send) {
    std::lock_guard guard(lock_);
    longFrame_[0] = kSecond;
    longFrame_[1] = 17;
    if (send) Send(longFrame_.data(), 2, statusRecord_.data(), statusRecord_.size());
    return 1;
}

namespace {

// The second controller's 0x2xxx and 0x3xxx firmware lines are never offered an update.
int MaskSecondLine(int mask, std::uint16_t second) {
    if ((second & 0x3000) > 0x1000) mask &= ~2;
    return mask;
}

}  // namespace

int CRG1Micon::CheckVersionEqual(std::uint16_t mainVersion, std::uint16_t secondVersion) {
    std::uint16_t m = 0, s = 0;
    GetVersion(&m, &s, 1);
    int mask = (m != mainVersion ? 1 : 0) | (s != secondVersion ? 2 : 0);
    return MaskSecondLine(mask, s);
}

int CRG1Micon::CheckVersionOlder(std::uint16_t mainVersion, std::uint16_t secondVersion) {
    std::uint16_t m = 0, s = 0;
    GetVersion(&m, &s, 1);
    int mask = (m < mainVersion ? 1 : 0) | (s < secondVersion ? 2 : 0);
    return MaskSecondLine(mask, s);
}

int CRG1Micon::RequestFirmwareMode(int selector) {
    std::lock_guard guard(lock_);
    if (selector == 0) {
        bootRequestFrame_ = {'W', 0xFF, 0, 0, 0};
    } else {
        bootRequestFrame_ = {'W', 0, 0, 0, 0xFF};
    }
    // Not held back by Suspend: that keeps a page's restores off the wire while the page
    // is built on the GUI thread, and a page is built just as the update worker sends
    // this. A request swallowed there looked sent and the loader never came.
    if (!transport_->IsConnected()) return 0;
    std::array<std::uint8_t, 2> ack{};
    return Transfer(bootRequestFrame_.data(), bootRequestFrame_.size(), ack.data(), ack.size()) == 0 &&
                   ack[0] == 0x02 && ack[1] == 'W'
               ? 1
               : 0;
}

bool CRG1Micon::UsesLongFrames() const {
    std::lock_guard guard(lock_);
    return (secondVersion_ & 0xFF00) == 0x1200;
}

// --- boot loader ---

CBootLoader& CRG1Micon::Loader() {
    if (!loader_) loader_ = std::make_unique<CBootLoader>(std::make_unique<CSocketLoaderChannel>());
    return *loader_;
}

void CRG1Micon::SetBootLoader(std::unique_ptr<CBootLoader> loader) { loader_ = std::move(loader); }

int CRG1Micon::OpenLoaderDevice(const std::atomic<bool>* cancel) { return Loader().Open(cancel); }

bool CRG1Micon::LoaderDevicePresent() { return Loader().Present(); }

int CRG1Micon::DownloadFirmware(int controllerFlag, std::string_view hexText, const std::atomic<bool>* cancel) {
    const int status = Loader().Download(controllerFlag, hexText, cancel);
    return status == 0 ? 7 : status;
}
