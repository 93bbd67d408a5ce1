// Round trips of a 'V' frame through the board link and the real serial code, beside a
// bare write-and-read of the same bytes over the same kind of pseudo-terminal, both
// answered by the simulator. Each iteration does one of each, so drift hits both alike.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "board-sim/BoardSim.h"
#include "board/NativeTranslator.h"
#include "board/RG1Micon.h"
#include "platform/core/Clock.h"

namespace {

// Reaches the link's frame send, which the public operations wrap.
class VersionFrameLink : public CRG1Micon {
public:
    using CRG1Micon::CRG1Micon;
    int SendVersionFrame() {
        const std::uint8_t frame = 'V';
        return Send(&frame, 1, reply_, sizeof reply_);
    }

private:
    std::uint8_t reply_[4] = {};
};

boardsim::BoardSim::Options Quiet() {
    boardsim::BoardSim::Options o;
    o.log = [](const std::string&) {};
    o.frameLogLimit = 16;
    return o;
}

// The same exchange with nothing but write(), poll() and read().
bool RawRoundTrip(int fd) {
    const std::uint8_t frame = 'V';
    if (::write(fd, &frame, 1) != 1) return false;
    std::uint8_t reply[4];
    std::size_t got = 0;
    while (got < sizeof reply) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0) return false;
        const ssize_t n = ::read(fd, reply + got, sizeof reply - got);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return reply[1] == 'V';
}

int OpenRaw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

void BM_VersionFrameRoundTrip(benchmark::State& state) {
    boardsim::BoardSim linkSim(Quiet()), rawSim(Quiet());
    if (!linkSim.start() || !rawSim.start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    VersionFrameLink link(std::make_unique<CNativeTranslator>(
        kBoardPortClass, std::make_shared<platform::PathBoardLocator>(linkSim.portPath())));
    {
        platform::ManualClock quick;
        platform::ScopedClock scope(quick);
        link.SetTimeoutMode(1);
        link.CheckConnection();
        if (link.Open(0) != 1) {
            state.SkipWithError("link did not open");
            return;
        }
    }
    const int raw = OpenRaw(rawSim.slavePath());
    if (raw < 0) {
        state.SkipWithError("raw port did not open");
        return;
    }

    using Clock = std::chrono::steady_clock;
    Clock::duration linkTime{}, rawTime{};
    std::int64_t failures = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (link.SendVersionFrame() != 0) ++failures;
        const auto t1 = Clock::now();
        if (!RawRoundTrip(raw)) ++failures;
        const auto t2 = Clock::now();
        linkTime += t1 - t0;
        rawTime += t2 - t1;
    }
    ::close(raw);
    link.Close();

    const double linkSec = std::chrono::duration<double>(linkTime).count();
    const double rawSec = std::chrono::duration<double>(rawTime).count();
    const auto n = static_cast<double>(state.iterations());
    state.counters["link_rt_per_s"] = linkSec > 0 ? n / linkSec : 0;
    state.counters["raw_rt_per_s"] = rawSec > 0 ? n / rawSec : 0;
    state.counters["link_over_raw"] = rawSec > 0 ? linkSec / rawSec : 0;
    state.counters["failures"] = static_cast<double>(failures);
}

}  // namespace

BENCHMARK(BM_VersionFrameRoundTrip)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

BENCHMARK_MAIN();
