// The firmware download against the simulator's loader side over the real socket: the
// HEX text's checks, the request records in order and byte for byte, each loader
// fault's status with the old firmware left in place, and the whole round from the
// boot request to the board reporting the new version.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

#include "board-sim/LoaderSide.h"
#include "board/BootLoader.h"
#include "board/IntelHex.h"
#include "board/SimLink.h"
#include "platform/core/Clock.h"
#include "platform/core/Debug.h"
#include "res/firmware/FirmwareImages.h"

using boardsim::LoaderFault;
using boardsim::LoaderSide;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Waits (bounded) for a condition another thread makes true.
bool Eventually(const std::function<bool()>& done, int limitMs = 10000) {
    for (int waited = 0; waited < limitMs; waited += 5) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// The socket channel, keeping the time-out each request was given.
class TimedChannel final : public ILoaderChannel {
public:
    TimedChannel(const std::string& path, std::vector<int>* timeouts) : socket_(path), timeouts_(timeouts) {}
    bool Present() override { return socket_.Present(); }
    bool Connect() override { return socket_.Connect(); }
    bool IsConnected() const override { return socket_.IsConnected(); }
    bool Exchange(const Bytes& out, Bytes& in, int timeoutMs) override {
        timeouts_->push_back(timeoutMs);
        return socket_.Exchange(out, in, timeoutMs);
    }
    void Close() override { socket_.Close(); }

private:
    CSocketLoaderChannel socket_;
    std::vector<int>* timeouts_;
};

// The loader side alone, and a boot loader over the socket it offers.
struct LoaderRig {
    LoaderRig() : path(UniqueLinkPath("tamsiro-loader")) {
        LoaderSide::Hooks hooks;
        hooks.leaveBoard = [this] { ++left; };
        hooks.backToBoard = [this](int controller, std::optional<std::uint16_t> version, bool) {
            std::lock_guard lock(mutex);
            back.emplace_back(controller, version);
        };
        hooks.log = [](const std::string&) {};
        side = std::make_unique<LoaderSide>(path, std::move(hooks));
        loader = std::make_unique<CBootLoader>(std::make_unique<TimedChannel>(path, &timeouts));
    }
    // Starts a session and opens the device: 1 when open.
    int Enter(int controller, LoaderFault fault = LoaderFault::None) {
        side->injectFault(fault);
        side->enter(controller);
        return loader->Open();
    }
    // The session's end: what the board came back with.
    std::vector<std::pair<int, std::optional<std::uint16_t>>> Back() {
        EXPECT_TRUE(Eventually([this] { return !side->active(); }));
        std::lock_guard lock(mutex);
        return back;
    }
    // Each request named by its code, and for loader commands by the command byte.
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const Bytes& r : side->requests()) {
            const std::uint32_t code = loader::get32(r.data());
            std::string name = std::to_string(code);
            if (code == loader::kCommand) {
                switch (r[8]) {
                    case LoaderSide::kErase: name = "erase"; break;
                    case LoaderSide::kWrite: name = "write"; break;
                    case LoaderSide::kReadBack: name = "read"; break;
                    case LoaderSide::kFinish: name = "finish"; break;
                    case LoaderSide::kRun: name = "run"; break;
                    default: name = "?";
                }
            }
            if (out.empty() || out.back().rfind(name, 0) != 0) {
                out.push_back(name);
            } else if (name == "write" || name == "read") {
                out.back() = name + " x" + std::to_string(std::stoi(out.back().size() > name.size() + 2 ? out.back().substr(name.size() + 2) : "1") + 1);
            } else {
                out.push_back(name);
            }
        }
        return out;
    }

    std::string path;
    std::vector<int> timeouts;  // of each request, in order (the worker's thread only)
    std::atomic<int> left{0};
    std::mutex mutex;
    std::vector<std::pair<int, std::optional<std::uint16_t>>> back;
    std::unique_ptr<LoaderSide> side;
    std::unique_ptr<CBootLoader> loader;
};

Bytes Header(std::uint32_t code, std::uint8_t command, std::uint16_t key, std::uint16_t block, std::uint32_t readBack) {
    Bytes h(loader::kHeaderSize, 0);
    loader::put32(h.data(), code);
    h[8] = command;
    loader::put16(h.data() + 10, key);
    loader::put16(h.data() + 12, block);
    loader::put32(h.data() + 16, readBack);
    return h;
}

}  // namespace

TEST(IntelHex, AWholeImageReadsBackAndDamagedShortOrOversizedTextIsRefused) {
    const std::string second = firmware::MakeFirmwareHex(1, 0x1418);
    const HexImage image = ParseIntelHex(second, 48 * 128);
    ASSERT_TRUE(image.ok) << image.error;
    EXPECT_EQ((Bytes(image.data.begin(), image.data.begin() + 6)), (Bytes{'T', 'F', 'W', 1, 0x18, 0x14}));
    EXPECT_EQ(image.highest, 48u * 128u);
    // The built-in images are the same generated texts.
    EXPECT_TRUE(firmware::Image(firmware::kSecondImage1418) == second);  // (not printed: 17 kB)
    EXPECT_TRUE(firmware::Image(999).empty());

    // Extended address records move the data; lower-case digits and LF line ends pass.
    const HexImage moved = ParseIntelHex(":020000020010ec\n:020000000aa054\n:00000001ff\n", 0x200);
    ASSERT_TRUE(moved.ok) << moved.error;
    EXPECT_EQ((std::tuple{moved.data[0x100], moved.data[0x101], moved.data[0]}), (std::tuple{0x0a, 0xa0, 0}));
    // A linear address (04) counts in 64 KiB, a segment (02) in 16 bytes: 0x0001 puts
    // the data at 0x10010, not 0x20.
    const HexImage linear = ParseIntelHex(":020000040001F9\n:020010005AC3D1\n:00000001FF\n", 0x10100);
    ASSERT_TRUE(linear.ok) << linear.error;
    EXPECT_EQ((std::tuple{linear.data[0x10010], linear.data[0x10011], linear.data[0x20], linear.highest}),
              (std::tuple{0x5a, 0xc3, 0, std::size_t{0x10012}}));
    // And so in an image of the board's size it does not fit.
    EXPECT_NE(ParseIntelHex(":020000040001F9\n:020010005AC3D1\n:00000001FF\n", 48 * 128).error.find("does not fit"),
              std::string::npos);

    const auto refused = [](std::string_view text, std::size_t capacity, const char* why) {
        const HexImage r = ParseIntelHex(text, capacity);
        EXPECT_FALSE(r.ok) << why;
        EXPECT_NE(r.error.find(why), std::string::npos) << r.error;
    };
    refused(second.substr(0, second.find('\n', second.size() / 2) + 1), 48 * 128, "cut short");
    refused(second.substr(0, second.size() / 2 + 7), 48 * 128, "line ");  // cut mid-record
    refused("", 48 * 128, "cut short");
    refused(":00000001FF\r\n", 48 * 128, "no data");
    refused(firmware::Image(firmware::kMainImage), 48 * 128, "does not fit");  // the first controller's, too big
    std::string bad = second;
    bad[9] = bad[9] == '0' ? '1' : '0';  // one data digit of the first record
    refused(bad, 48 * 128, "checksum");
    refused(":10000000zz\r\n:00000001FF\r\n", 128, "hexadecimal");
    refused(":0100000001FE\r\n:0200000001FF\r\n", 128, "byte count");
    refused("garbage\r\n", 128, "no ':'");
    refused(":0100000600F9\r\n:00000001FF\r\n", 128, "unknown record type");
    refused(":00000001FF\r\n:0100000001FE\r\n", 128, "after the end-of-file");
}

TEST(BootLoader, AWholeDownloadSendsItsRecordsInOrderAndTheBoardRunsTheNewImage) {
    LoaderRig rig;
    ASSERT_EQ(rig.Enter(1), 1);
    EXPECT_EQ(rig.left.load(), 1);
    const std::string text = firmware::MakeFirmwareHex(1, 0x1418);
    EXPECT_EQ(rig.loader->Download(1, text), loader::kSuccess) << rig.loader->LastError();
    EXPECT_EQ(rig.Back(), (std::vector<std::pair<int, std::optional<std::uint16_t>>>{{1, 0x1418}}));
    EXPECT_EQ(rig.Names(), (std::vector<std::string>{"1020", "erase", "write x48", "read x48", "finish", "run",
                                                     "1002", "1003"}));

    const auto requests = rig.side->requests();
    ASSERT_EQ(requests.size(), 1u + 1 + 48 + 48 + 2 + 2);
    Bytes info = Header(loader::kReadInfo, 0x40, 0, 0, 0);
    info.resize(28 + 68, 0);
    EXPECT_EQ(requests[0], info);
    const std::uint16_t key = LoaderSide::kKey;
    EXPECT_EQ(requests[1], Header(loader::kCommand, LoaderSide::kErase, key, 0, 0));
    const HexImage image = ParseIntelHex(text, 48 * 128);
    Bytes write47 = Header(loader::kCommand, LoaderSide::kWrite, key, 47, 0);
    write47.insert(write47.end(), image.data.begin() + 47 * 128, image.data.end());
    EXPECT_EQ(requests[2 + 47], write47);
    Bytes read0 = Header(loader::kCommand, LoaderSide::kReadBack, key, 0, 1);
    read0.resize(28 + 128, 0);
    EXPECT_EQ(requests[50], read0);
    EXPECT_EQ(requests[98], Header(loader::kCommand, LoaderSide::kFinish, key, 0xFFFF, 0));
    EXPECT_EQ(requests[99], Header(loader::kCommand, LoaderSide::kRun, 0, 0, 0));
    EXPECT_EQ(requests[100], Header(loader::kReadControl, 0, 0, 0, 0));
    // The control word comes back with the boot bit (3) cleared.
    EXPECT_EQ(requests[101], Header(loader::kWriteControl, 0, 0, 0, 0));
    // Blocks wait (time-out factor x 5 + 500) x 2 ms, the other requests 1000 ms.
    const int block = (LoaderSide::kTimeoutFactor * 5 + 500) * 2;
    std::vector<int> timeouts = {1000, 1000};
    timeouts.insert(timeouts.end(), 2 * 48, block);
    timeouts.insert(timeouts.end(), 4, 1000);
    EXPECT_EQ(rig.timeouts, timeouts);

    // The first controller takes 112 blocks.
    LoaderRig first;
    ASSERT_EQ(first.Enter(0), 1);
    EXPECT_EQ(first.loader->Download(0, firmware::Image(firmware::kMainImage)), loader::kSuccess);
    EXPECT_EQ(first.Back(), (std::vector<std::pair<int, std::optional<std::uint16_t>>>{{0, 0x2113}}));
    EXPECT_EQ(first.Names()[2], "write x112");
}

TEST(BootLoader, EachFaultEndsWithItsStatusBeforeOrWithoutCommittingAndNothingIsErasedForABadImage) {
    struct Case {
        LoaderFault fault;
        int status;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {LoaderFault::WrongBlockLength, loader::kWriteFailed, {"1020"}},
        {LoaderFault::EraseFails, loader::kWriteFailed, {"1020", "erase"}},
        {LoaderFault::WriteFails, loader::kWriteFailed, {"1020", "erase", "write x4"}},
        {LoaderFault::WriteSilence, loader::kWriteFailed, {"1020", "erase", "write x3"}},
        // A block that reads back wrong does not end the verify; a failed read-back does.
        {LoaderFault::VerifyEmpty, loader::kVerifyFailed, {"1020", "erase", "write x48", "read x48"}},
        {LoaderFault::VerifyMismatch, loader::kVerifyFailed, {"1020", "erase", "write x48", "read x48"}},
        {LoaderFault::VerifyFails, loader::kVerifyFailed, {"1020", "erase", "write x48", "read x8"}},
        {LoaderFault::FinishFails, loader::kFinishFailed, {"1020", "erase", "write x48", "read x48", "finish"}},
        {LoaderFault::RunFails, loader::kRunFailed, {"1020", "erase", "write x48", "read x48", "finish", "run"}},
    };
    const std::string text = firmware::MakeFirmwareHex(1, 0x1418);
    for (const Case& c : cases) {
        LoaderRig rig;
        ASSERT_EQ(rig.Enter(1, c.fault), 1) << static_cast<int>(c.fault);
        EXPECT_EQ(rig.loader->Download(1, text), c.status) << static_cast<int>(c.fault);
        EXPECT_FALSE(rig.loader->LastError().empty());
        EXPECT_EQ(rig.Back(), (std::vector<std::pair<int, std::optional<std::uint16_t>>>{{1, std::nullopt}}))
            << static_cast<int>(c.fault);
        EXPECT_EQ(rig.Names(), c.names) << static_cast<int>(c.fault);
    }

    {  // A refused image: nothing past the information request.
        LoaderRig rig;
        ASSERT_EQ(rig.Enter(1), 1);
        EXPECT_EQ(rig.loader->Download(1, text.substr(0, 900)), loader::kImageRefused);
        EXPECT_EQ(rig.Back(), (std::vector<std::pair<int, std::optional<std::uint16_t>>>{{1, std::nullopt}}));
        EXPECT_EQ(rig.Names(), (std::vector<std::string>{"1020"}));
        // Nothing open any more: a second download fails without a word on the wire.
        EXPECT_EQ(rig.loader->Download(1, text), loader::kWriteFailed);
    }
    {  // The information request fails: the open fails.
        LoaderRig rig;
        EXPECT_EQ(rig.Enter(1, LoaderFault::InfoFails), 0);
        rig.loader.reset();
        EXPECT_EQ(rig.Back(), (std::vector<std::pair<int, std::optional<std::uint16_t>>>{{1, std::nullopt}}));
    }
    {  // No loader device: the search gives up after its time-out (slept on a manual clock).
        platform::ManualClock clock;
        platform::ScopedClock scope(clock);
        LoaderRig rig;
        EXPECT_EQ(rig.Enter(1, LoaderFault::Absent), loader::kOpenNotFound);
        // It looks every interval and gives up once its time-out has passed, not a look later.
        const CBootLoader::SearchTiming search;
        EXPECT_EQ((std::pair{clock.totalSleptMs(), clock.sleepCalls()}),
                  (std::pair{std::uint64_t{search.timeoutMs}, std::uint32_t{search.timeoutMs / search.intervalMs}}));
        EXPECT_EQ(rig.Back(), (std::vector<std::pair<int, std::optional<std::uint16_t>>>{{1, std::nullopt}}));
        // A cancelled search stops at once.
        const std::uint32_t calls = clock.sleepCalls();
        const std::atomic<bool> cancel{true};
        EXPECT_EQ(rig.loader->Open(&cancel), loader::kOpenNotFound);
        EXPECT_EQ(clock.sleepCalls(), calls);
    }
}

// Two blocks read back wrong: each is named, every block is still read back, and
// nothing is committed.
TEST(BootLoader, BlocksThatReadBackWrongAreEachNamedAndEveryBlockIsStillVerified) {
    LoaderRig rig;
    ASSERT_EQ(rig.Enter(1, LoaderFault::VerifyMismatch), 1);
    platform::DebugCapture trace;
    EXPECT_EQ(rig.loader->Download(1, firmware::MakeFirmwareHex(1, 0x1418)), loader::kVerifyFailed);
    for (const char* why : {"Loader: block 5 differs after writing\n", "Loader: block 20 differs after writing\n"}) {
        EXPECT_EQ(trace.count(why), 1u) << why;
    }
    EXPECT_EQ(rig.Back(), (std::vector<std::pair<int, std::optional<std::uint16_t>>>{{1, std::nullopt}}));
    // After the information, the erase and 48 writes: a read-back of each block in
    // order, and nothing more.
    const auto requests = rig.side->requests();
    ASSERT_EQ(requests.size(), 1u + 1 + 48 + 48);
    for (std::uint16_t b = 0; b < 48; ++b) {
        Bytes read = Header(loader::kCommand, LoaderSide::kReadBack, LoaderSide::kKey, b, 1);
        read.resize(28 + 128, 0);
        EXPECT_EQ(requests[50u + b], read) << "read-back " << b;
    }
}

TEST(BootLoader, TheBoardLinkTakesTheBoardThroughItsLoaderAndReadsTheNewVersion) {
    boardsim::BoardSim::Options options = SimLink::MakeOptions("tamsiro-board");
    options.loaderPath = UniqueLinkPath("tamsiro-loader");
    ::setenv(CSocketLoaderChannel::kEnvironment, options.loaderPath.c_str(), 1);
    boardsim::BoardSim sim(options);
    ASSERT_TRUE(sim.start());
    sim.setSecondVersion(0x1319);
    CRG1Micon link(std::make_unique<CNativeTranslator>(kBoardPortClass,
                                                       std::make_shared<platform::PathBoardLocator>(sim.portPath())));
    const auto connect = [&] {
        platform::ManualClock quick;
        platform::ScopedClock scope(quick);
        link.CheckConnection();
        return link.Open(0) == 1;
    };
    ASSERT_TRUE(connect());
    ASSERT_EQ(link.RequestFirmwareMode(1), 1);  // acknowledged
    ASSERT_TRUE(Eventually([&] { return sim.inLoader() && !sim.plugged(); }));
    link.Close();
    EXPECT_EQ(link.RequestFirmwareMode(1), 0);  // no port: nothing acknowledged
    // The link's loader is the one TAMSIRO_BOOTLOADER_SOCKET names.
    ASSERT_EQ(link.OpenLoaderDevice(), 1);
    ::unsetenv(CSocketLoaderChannel::kEnvironment);
    EXPECT_EQ(link.DownloadFirmware(1, firmware::Image(firmware::kSecondImage1418)), loader::kSuccess);
    ASSERT_TRUE(Eventually([&] { return !sim.inLoader() && sim.plugged(); }));
    ASSERT_TRUE(Eventually([&] { return connect(); }));
    std::uint16_t main = 0, second = 0;
    link.GetVersion(&main, &second, 1);
    EXPECT_EQ((std::pair{main, second}), (std::pair<std::uint16_t, std::uint16_t>{0x2113, 0x1418}));
    // The boot request went out as the frame catalogue has it.
    const auto frames = sim.frames();
    EXPECT_TRUE(std::any_of(frames.begin(), frames.end(),
                            [](const boardsim::Frame& f) { return f.bytes == Bytes{'W', 0, 0, 0, 0xFF}; }));
}

// A loader device that is there but does not take connections yet (made an instant
// before it listens, or left from the previous session) is searched for like an absent
// one: looked at every interval up to the time-out, not given up at the first refusal.
TEST(BootLoader, ALoaderThatRefusesConnectionsIsLookedAtAgainWithinTheSearch) {
    const std::string path = UniqueLinkPath("tamsiro-refusing-loader");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);  // bound, not listening
    platform::ManualClock clock;
    platform::ScopedClock scope(clock);
    const CBootLoader::SearchTiming search{20, 300};
    CBootLoader loader(std::make_unique<CSocketLoaderChannel>(path), search);
    EXPECT_EQ(loader.Open(nullptr), loader::kOpenNotFound);
    EXPECT_EQ((std::pair{clock.totalSleptMs(), clock.sleepCalls()}),
              (std::pair{std::uint64_t{search.timeoutMs}, std::uint32_t{search.timeoutMs / search.intervalMs}}));
    ::close(fd);
    ::unlink(path.c_str());
}
