// The real board link over the real serial code, talking to the simulator in-process.
#pragma once

#include <filesystem>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "board-sim/BoardSim.h"
#include "board/NativeTranslator.h"
#include "board/RG1Micon.h"
#include "platform/core/Clock.h"

inline std::string UniqueLinkPath(const std::string& name) {
    static int counter = 0;
    return (std::filesystem::temp_directory_path() /
            (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
        .string();
}

struct SimLink {
    static boardsim::BoardSim::Options MakeOptions(const std::string& name, bool quiet) {
        boardsim::BoardSim::Options o;
        o.linkPath = UniqueLinkPath(name);
        if (quiet) o.log = [](const std::string&) {};
        return o;
    }

    explicit SimLink(const std::string& name = "tamsiro-board", bool quiet = false)
        : sim(MakeOptions(name, quiet)) {
        started = sim.start();
        link = std::make_unique<CRG1Micon>(std::make_unique<CNativeTranslator>(
            kBoardPortClass, std::make_shared<platform::PathBoardLocator>(sim.portPath())));
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

    std::vector<std::vector<std::uint8_t>> Frames() const {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto& f : sim.frames()) out.push_back(f.bytes);
        return out;
    }

    boardsim::BoardSim sim;
    bool started = false;
    std::unique_ptr<CRG1Micon> link;
};
