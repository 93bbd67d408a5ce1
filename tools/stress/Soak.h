// The soak: the program's own application object against the board simulator while the
// simulator spoils replies with every kind of fault at random and pulls the board out now
// and then. Meanwhile the program alternates between a BLDC page polling and a stepper
// page running its clock, opening the next page whenever the board is back. Afterwards it
// checks that the link still answers, that the titles follow the board, and that closing
// leaves no motor driven.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace stress {

struct SoakOptions {
    std::filesystem::path dir;  // the program's folder and settings
    std::chrono::milliseconds duration{20000};
    std::uint32_t seed = 1;
    int faultPercent = 5;
    std::chrono::milliseconds phase{2500};      // how long each page stays before the other opens
    std::chrono::milliseconds maxPlugged{8000};  // the board's random stays and absences
    std::chrono::milliseconds maxAway{800};
};

struct SoakFigures {
    double seconds = 0;
    std::uint64_t framesAnswered = 0;
    std::uint64_t faultsInjected = 0;  // reply faults, every kind
    std::uint64_t unplugs = 0;
    std::string faultReport;           // by kind
    int bldcPages = 0, stepperPages = 0;
    int boxes = 0;                     // message boxes answered
    std::string boxReport;
    // The checks afterwards; each "" when it held, else what was seen.
    std::string linkAnswers;
    std::string titles;
    std::string motor;
    bool Passed() const { return linkAnswers.empty() && titles.empty() && motor.empty(); }
    std::string Summary() const;
};

SoakFigures RunSoak(const SoakOptions& options);

}  // namespace stress
