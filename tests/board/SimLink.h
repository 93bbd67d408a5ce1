// The real board link over the real serial code, talking to the simulator in-process, and
// the port helpers the board, task and application tests share.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "board-sim/BoardSim.h"
#include "board/NativeTranslator.h"
#include "board/RG1Micon.h"
#include "platform/core/Clock.h"

// A path in the temporary folder that no other test of any process uses.
inline std::string UniqueLinkPath(const std::string& name) {
    static std::atomic<int> counter{0};
    return (std::filesystem::temp_directory_path() /
            (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
        .string();
}

// A locator that reports the port it was given (none: no board), device number and all,
// whatever has happened to the port since.
class FixedLocator final : public platform::IBoardLocator {
public:
    explicit FixedLocator(std::optional<platform::PortInfo> found = std::nullopt) : port(std::move(found)) {}
    std::optional<platform::PortInfo> port;
    std::optional<platform::PortInfo> findPresent() override { return port; }
    bool hasUdevEvents() const override { return false; }
};

struct SimLink {
    // The simulator's own log stays quiet; its link's name starts with `name`.
    static boardsim::BoardSim::Options MakeOptions(const std::string& name) {
        boardsim::BoardSim::Options o;
        o.linkPath = UniqueLinkPath(name);
        o.log = [](const std::string&) {};
        return o;
    }

    // With a loader path the simulator offers its boot loader there after a boot request.
    explicit SimLink(const std::string& name = "tamsiro-board", const std::string& loaderPath = {})
        : sim(WithLoader(MakeOptions(name), loaderPath)) {
        started = sim.start();
        link = std::make_unique<CRG1Micon>(std::make_unique<CNativeTranslator>(
            kBoardPortClass, std::make_shared<platform::PathBoardLocator>(sim.portPath())));
    }

    static boardsim::BoardSim::Options WithLoader(boardsim::BoardSim::Options o, const std::string& loaderPath) {
        o.loaderPath = loaderPath;
        return o;
    }

    // Detects and opens the port without waiting out the open's 1.5 s of settling time.
    bool Connect() {
        platform::ManualClock quick;
        platform::ScopedClock scope(quick);
        link->CheckConnection();
        return link->Open(0) == 1;
    }

    // Connects, then forgets the control frame the open sent.
    bool ConnectAndClear() {
        if (!Connect() || !sim.waitForFrames(1, std::chrono::seconds(2))) return false;
        sim.clearFrames();
        return true;
    }

    std::string path() const { return sim.portPath(); }
    std::vector<std::vector<std::uint8_t>> Frames() const {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto& f : sim.frames()) out.push_back(f.bytes);
        return out;
    }

    boardsim::BoardSim sim;
    bool started = false;
    std::unique_ptr<CRG1Micon> link;
};
