#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "platform/core/BoardPorts.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

fs::path tempLink(const char* name) {
    return fs::temp_directory_path() / (std::string(name) + "-" + std::to_string(::getpid()));
}

}  // namespace

TEST(BoardPorts, PathLocatorFollowsThePathsExistence) {
    const fs::path link = tempLink("tamsiro-locator");
    fs::remove(link);
    PathBoardLocator locator(link.string());
    EXPECT_FALSE(locator.findPresent());

    fs::create_symlink("/dev/null", link);
    auto found = locator.findPresent();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->devPath, link.string());
    EXPECT_EQ(found->friendlyName, "Board Port (" + link.string() + ")");

    // A dangling link is a board that went away.
    fs::remove(link);
    fs::create_symlink("/nonexistent/pts/99", link);
    EXPECT_FALSE(locator.findPresent());
    fs::remove(link);
}

