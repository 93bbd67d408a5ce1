// One start and close of the program with every kind of task running at the close: the
// BLDC page polling, its demo and its start-up test running, a lens drive in its timed
// wait and a burst of GPIO tasks queued. The close is the user's "Exit Application"
// (answered No to the save question); its time runs from that command to the end of
// shutdown. The settings file is removed just before the close, so finding it afterwards
// proves the close wrote it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace boardsim {
class BoardSim;
}

namespace stress {

struct CloseCycleOptions {
    std::filesystem::path dir;  // the program's folder and settings; kept between cycles
    boardsim::BoardSim* sim = nullptr;  // borrowed, started
    std::uint32_t bldcKey = 0;  // a BLDC model with a start-up test; 0: the first found
    int gpioBurst = 16;         // GPIO tasks queued just before the close
    std::uint32_t lensDriveMs = 60000;  // longer than any close may take
};

struct CloseCycle {
    bool opened = false;          // the page opened with everything running
    std::string missing;          // what could not be set running, when not
    std::uint32_t bldcKey = 0;    // the model used
    std::size_t queuedAtClose = 0;  // tasks in the queue when the close began
    double closeMs = 0;           // from the exit command to the end of shutdown
    bool settingsWritten = false; // the settings file is there again and reads back
    std::string settingsProblem;
    bool motorLeftDriven = false;
};

// Runs one cycle; the program's object lives only inside it.
CloseCycle RunCloseCycle(const CloseCycleOptions& options);

}  // namespace stress
