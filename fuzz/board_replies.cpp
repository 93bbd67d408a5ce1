// The board's replies as the board link reads them. The input is a stream of steps:
// an op byte, a cut byte (0xFF: reads return all they ask for; else at most cut % 65
// bytes a read, 0 being a silent board), then the reply bytes the link reads, as many as
// it asks for. Op bytes below 0xC0 run one of the link's operations (BoardReplyOps.h);
// the others send one catalogue frame through the link's own transfer and check it:
// a transfer counts as good, or touches the caller's reply buffer, only for a reply
// that arrived whole (its length byte, then exactly that many bytes, the right echo)
// and, where the frame asks for one, with a good checksum; and every reading ends.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "BoardReplyOps.h"
#include "FuzzSupport.h"
#include "board/RG1Micon.h"
#include "board/Translate.h"
#include "platform/core/Clock.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Reads are served from the fuzzed stream; every read of an exchange is logged.
class FuzzedReplies final : public ITranslate {
public:
    FuzzedReplies(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool TakeByte(std::uint8_t& b) {
        if (at_ >= size_) return false;
        b = data_[at_++];
        return true;
    }
    void SetCut(std::uint8_t cut) { limit_ = cut == 0xFF ? 64 * 1024 : cut % 65u; }
    const std::vector<Bytes>& Reads() const { return reads_; }

    int Detect() override { return 0; }
    int SetUseTimeouts(int) override { return 1; }
    int IsConnected() override { return 1; }
    int Open(int) override { return 1; }
    int Close() override { return 0; }
    int Reconnect() override { return 1; }
    int Transfer(int direction, std::uint8_t* buffer, std::uint32_t count, std::int32_t* moved) override {
        int n = 0;
        if (direction == 0) {
            reads_.clear();  // a new exchange
            n = static_cast<int>(count);
        } else {
            const std::size_t give = std::min<std::size_t>({std::size_t{count}, limit_, size_ - at_});
            std::memcpy(buffer, data_ + at_, give);
            at_ += give;
            reads_.emplace_back(buffer, buffer + give);
            n = static_cast<int>(give);
        }
        if (moved != nullptr) *moved = n;
        return n;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    std::size_t limit_ = 64 * 1024;
    std::vector<Bytes> reads_;
};

// The link with its frame transfer in reach.
class ExposedLink final : public CRG1Micon {
public:
    using CRG1Micon::CRG1Micon;
    using CRG1Micon::Transfer;
};

struct CatalogueFrame {
    std::uint8_t letter;
    std::uint8_t sub;
    std::size_t length;
    std::size_t replyLength;  // 0: no reply buffer
};

constexpr std::array<CatalogueFrame, 14> kFrames{{
    {'E', 0, 6, 8},     {'A', 0, 1, 18},     {'V', 0, 1, 4},    {'8', 18, 2, 6},  {'8', 20, 2, 6},
    {'8', 17, 2, 13},   {'8', 19, 2, 8},     {'8', 21, 2, 5},   {'8', 22, 2, 6},  {'8', 0xFF, 36, 13},
    {'I', 0xA1, 6, 64}, {'C', 0, 15, 0},     {'8', 2, 23, 0},   {'8', 19, 2, 0},
}};

void CheckTransfer(ExposedLink& link, FuzzedReplies& wire, const CatalogueFrame& f) {
    std::array<std::uint8_t, 64> frame{};
    frame[0] = f.letter;
    frame[1] = f.sub;
    constexpr std::uint8_t kUntouched = 0xA5;
    std::array<std::uint8_t, 64> reply;
    reply.fill(kUntouched);
    const int result = link.Transfer(frame.data(), f.length, f.replyLength != 0 ? reply.data() : nullptr, f.replyLength);

    // What arrived: empty reads of the length byte, the length byte, then the payload read.
    const std::vector<Bytes>& reads = wire.Reads();
    // At most: five empty reads, the length byte, the payload or an oversized reply's 254
    // bytes one at a time, and after a bad echo one more length byte and its reply.
    FUZZ_EXPECT(reads.size() <= 5 + 1 + 254 + 1 + 254, "%zu reads in one exchange", reads.size());
    std::size_t r = 0;
    while (r < reads.size() && reads[r].empty() && r < 5) ++r;
    const bool gotLength = r < reads.size() && reads[r].size() == 1;
    const std::size_t total = gotLength ? reads[r][0] : 0;
    const Bytes payload = gotLength && total >= 2 && total <= 64 && r + 1 < reads.size() ? reads[r + 1] : Bytes{};
    const bool whole = gotLength && total >= 2 && total <= 64 && payload.size() == total - 1;
    const bool checksummed = f.letter == '8' && (f.sub & 0x10) != 0;
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < payload.size(); ++i) sum += payload[i];  // bytes 2 .. total - 2
    const bool sumOk = !checksummed || (whole && total >= 3 && payload.back() == static_cast<std::uint8_t>(sum));
    const bool echoOk = whole && payload[0] == f.letter;

    if (result == 0) {
        FUZZ_EXPECT(whole && sumOk && (f.replyLength == 0 || echoOk),
                    "frame '%c' %u: transfer good with whole=%d sum=%d echo=%d (length byte %zu, %zu payload bytes)",
                    f.letter, f.sub, whole, sumOk, echoOk, total, payload.size());
    }
    if (f.replyLength == 0) return;
    bool touched = false;
    for (std::size_t i = 0; i < f.replyLength; ++i) touched = touched || reply[i] != kUntouched;
    if (!touched) return;
    FUZZ_EXPECT(whole && echoOk, "frame '%c' %u: reply buffer written from a reply that was not whole "
                "(length byte %zu, %zu payload bytes, echo %d)", f.letter, f.sub, total, payload.size(), echoOk);
    const std::size_t copied = std::min(total, f.replyLength);
    FUZZ_EXPECT(reply[0] == total && std::memcmp(reply.data() + 1, payload.data(), copied - 1) == 0,
                "frame '%c' %u: the reply buffer differs from the reply received", f.letter, f.sub);
    for (std::size_t i = copied; i < f.replyLength; ++i)
        FUZZ_EXPECT(reply[i] == kUntouched, "frame '%c' %u: reply byte %zu written past the reply", f.letter, f.sub, i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::ManualClock clock;  // the link's pauses cost no time
    platform::ScopedClock scope(clock);
    auto owned = std::make_unique<FuzzedReplies>(data, size);
    FuzzedReplies& wire = *owned;
    ExposedLink link(std::move(owned));

    std::uint8_t op = 0, cut = 0;
    for (int step = 0; step < 256 && wire.TakeByte(op) && wire.TakeByte(cut); ++step) {
        wire.SetCut(cut);
        if (op < 0xC0) {
            fuzz::RunBoardOp(link, op);
        } else {
            CheckTransfer(link, wire, kFrames[(op - 0xC0u) % kFrames.size()]);
        }
    }
    return 0;
}
