// The simulator serving a pty behind a link in a temporary folder, a client on that
// link, and the simulator's diagnostics counted.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "board-sim/BoardSim.h"
#include "data/TempDir.h"
#include "platform/core/Pty.h"

namespace boardsim::test {

class SimFixture : public ::testing::Test {
protected:
    void SetUp() override {
        BoardSim::Options options;
        options.linkPath = dir_.file("board");
        options.log = [this](const std::string&) { ++messages_; };
        sim_ = std::make_unique<BoardSim>(options);
        ASSERT_TRUE(sim_->start());
        client_ = std::make_unique<PtyClient>(sim_->portPath());
        ASSERT_TRUE(client_->isOpen());
    }
    void TearDown() override {
        client_.reset();
        sim_.reset();
    }

    TempDir dir_;
    std::unique_ptr<BoardSim> sim_;
    std::unique_ptr<PtyClient> client_;
    std::atomic<std::size_t> messages_{0};
};

}  // namespace boardsim::test
