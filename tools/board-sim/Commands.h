// The simulator's command language: one command per line, as the program reads them
// from stdin. Kept apart from main() so that it can be tested without a process.
#pragma once

#include "board-sim/BoardSim.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace boardsim {

struct CommandResult {
    bool ok = true;
    bool quit = false;
    std::string output;  // for stdout, each line ending in '\n'
    std::string error;   // for stderr, without a trailing newline
};

// Runs one command line against the simulator. Blank lines and lines starting with '#'
// do nothing.
CommandResult runCommand(BoardSim& sim, std::string_view line);

// "0x1A" (hex) or "26" (decimal), at most `max`; nothing else. Locale-independent.
std::optional<std::uint64_t> parseNumber(std::string_view text, std::uint64_t max);

// Fault by its command-line name ("wrong-echo", ...).
std::optional<Fault> faultByName(std::string_view name);
// And back: the name of a fault.
const char* faultName(Fault fault);
// "NAME COUNT" for every fault kind, then "answered N", one per line.
std::string faultCounts(const BoardSim& sim);

// One line per frame: the bytes in hex, and a marker for a bad checksum or dropped bytes.
std::string formatFrames(const std::vector<Frame>& frames);

// The help text listing the commands.
const char* commandHelp();

}  // namespace boardsim
