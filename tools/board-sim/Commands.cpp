#include "board-sim/Commands.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace boardsim {

namespace {

std::vector<std::string_view> splitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

CommandResult failure(std::string text) {
    CommandResult r;
    r.ok = false;
    r.error = std::move(text);
    return r;
}

struct FaultName {
    const char* name;
    Fault fault;
};

constexpr FaultName kFaultNames[] = {
    {"none", Fault::None},
    {"silence", Fault::Silence},
    {"wrong-echo", Fault::WrongEcho},
    {"bad-checksum", Fault::BadChecksum},
    {"short-reply", Fault::ShortReply},
    {"oversized-length", Fault::OversizedLength},
    {"zero-length", Fault::ZeroLength},
    {"garbage", Fault::Garbage},
    {"stale-reply", Fault::StaleReply},
    {"late-reply", Fault::LateReply},
    {"lost", Fault::Lost},
};

struct LoaderFaultName {
    const char* name;
    LoaderFault fault;
};

constexpr LoaderFaultName kLoaderFaultNames[] = {
    {"none", LoaderFault::None},
    {"absent", LoaderFault::Absent},
    {"info-fails", LoaderFault::InfoFails},
    {"wrong-block-length", LoaderFault::WrongBlockLength},
    {"erase-fails", LoaderFault::EraseFails},
    {"write-fails", LoaderFault::WriteFails},
    {"write-silence", LoaderFault::WriteSilence},
    {"verify-empty", LoaderFault::VerifyEmpty},
    {"verify-mismatch", LoaderFault::VerifyMismatch},
    {"verify-fails", LoaderFault::VerifyFails},
    {"finish-fails", LoaderFault::FinishFails},
    {"run-fails", LoaderFault::RunFails},
    {"stays-away", LoaderFault::StaysAway},
};

// Parses the words after the command as numbers up to the given limits.
bool numbers(const std::vector<std::string_view>& words, std::initializer_list<std::uint64_t> limits,
             std::vector<std::uint64_t>& values, std::string& error) {
    if (words.size() != limits.size() + 1) {
        error = std::string(words[0]) + ": expected " + std::to_string(limits.size()) + " argument" +
                (limits.size() == 1 ? "" : "s");
        return false;
    }
    std::size_t i = 1;
    for (std::uint64_t max : limits) {
        const auto v = parseNumber(words[i], max);
        if (!v) {
            error = std::string(words[0]) + ": bad number '" + std::string(words[i]) + "' (0 to " +
                    std::to_string(max) + ")";
            return false;
        }
        values.push_back(*v);
        ++i;
    }
    return true;
}

}  // namespace

std::optional<std::uint64_t> parseNumber(std::string_view text, std::uint64_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || value > max) return std::nullopt;
    return value;
}

std::optional<Fault> faultByName(std::string_view name) {
    for (const FaultName& f : kFaultNames)
        if (name == f.name) return f.fault;
    return std::nullopt;
}

const char* faultName(Fault fault) {
    for (const FaultName& f : kFaultNames)
        if (fault == f.fault) return f.name;
    return "?";
}

std::string faultCounts(const BoardSim& sim) {
    std::string s;
    for (const FaultName& f : kFaultNames)
        if (f.fault != Fault::None) s += std::string(f.name) + ' ' + std::to_string(sim.faultsApplied(f.fault)) + '\n';
    return s + "answered " + std::to_string(sim.framesAnswered()) + '\n';
}

std::string formatFrames(const std::vector<Frame>& frames) {
    std::string s;
    char buf[4];
    for (const Frame& f : frames) {
        for (std::size_t i = 0; i < f.bytes.size(); ++i) {
            std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", f.bytes[i]);
            s += buf;
        }
        if (f.dropped)
            s += "  dropped";
        else if (!f.checksumOk)
            s += "  bad-checksum";
        s += '\n';
    }
    return s;
}

const char* commandHelp() {
    return "version MAIN SECOND   versions the board reports (hex 0x.. or decimal)\n"
           "absent 0|1            second controller absent\n"
           "measured N            measured value\n"
           "status N              status byte\n"
           "sub21 N               value of the '8' 21 reply\n"
           "adc CH V              analog channel 0-7\n"
           "input PORT 0|1        level an input port reads, ports 0-33\n"
           "intflag N 0|1         interrupt flag of input 1-5\n"
           "i2c [BYTE...]         bytes an I2C read returns\n"
           "fault NAME [COUNT]    none silence wrong-echo bad-checksum short-reply oversized-length\n"
           "                      zero-length garbage stale-reply late-reply lost\n"
           "loader-fault NAME     for the next loader session: none absent info-fails\n"
           "                      wrong-block-length erase-fails write-fails write-silence\n"
           "                      verify-empty verify-mismatch verify-fails finish-fails run-fails\n"
           "                      stays-away\n"
           "chaos SEED [PERCENT]  random reply faults (PERCENT of frames, default 5); chaos off\n"
           "faults                how many faults of each kind frames got, and frames answered\n"
           "raw BYTE...           send bytes to the program now\n"
           "unplug | replug       pull the board out, plug it in again (prints the port)\n"
           "frames | clear        print or clear the frame log\n"
           "state                 print the board state\n"
           "help | quit\n";
}

CommandResult runCommand(BoardSim& sim, std::string_view line) {
    const auto words = splitWords(line);
    if (words.empty() || words[0].front() == '#') return {};
    const std::string_view cmd = words[0];
    std::vector<std::uint64_t> v;
    std::string error;
    CommandResult ok;

    if (cmd == "version") {
        if (!numbers(words, {0xFFFF, 0xFFFF}, v, error)) return failure(error);
        sim.setMainVersion(static_cast<std::uint16_t>(v[0]));
        sim.setSecondVersion(static_cast<std::uint16_t>(v[1]));
    } else if (cmd == "absent") {
        if (!numbers(words, {1}, v, error)) return failure(error);
        sim.setSecondAbsent(v[0] != 0);
    } else if (cmd == "measured") {
        if (!numbers(words, {0xFFFF}, v, error)) return failure(error);
        sim.setMeasuredValue(static_cast<std::uint16_t>(v[0]));
    } else if (cmd == "status") {
        if (!numbers(words, {0xFF}, v, error)) return failure(error);
        sim.setStatus(static_cast<std::uint8_t>(v[0]));
    } else if (cmd == "sub21") {
        if (!numbers(words, {0xFF}, v, error)) return failure(error);
        sim.setSub21Value(static_cast<std::uint8_t>(v[0]));
    } else if (cmd == "adc") {
        if (!numbers(words, {7, 0xFFFF}, v, error)) return failure(error);
        sim.setAdc(static_cast<int>(v[0]), static_cast<std::uint16_t>(v[1]));
    } else if (cmd == "input") {
        if (!numbers(words, {33, 1}, v, error)) return failure(error);
        sim.setInputPort(static_cast<int>(v[0]), v[1] != 0);
    } else if (cmd == "intflag") {
        if (!numbers(words, {5, 1}, v, error)) return failure(error);
        if (v[0] < 1) return failure("intflag: inputs are 1 to 5");
        sim.setInterruptFlag(static_cast<int>(v[0]), v[1] != 0);
    } else if (cmd == "i2c" || cmd == "raw") {
        Bytes bytes;
        for (std::size_t i = 1; i < words.size(); ++i) {
            const auto b = parseNumber(words[i], 0xFF);
            if (!b) return failure(std::string(cmd) + ": bad byte '" + std::string(words[i]) + "'");
            bytes.push_back(static_cast<std::uint8_t>(*b));
        }
        if (cmd == "i2c") {
            if (bytes.size() > 62) return failure("i2c: at most 62 bytes");
            sim.setI2cReadData(bytes);
        } else {
            if (bytes.empty()) return failure("raw: no bytes");
            sim.sendRaw(bytes);
        }
    } else if (cmd == "fault") {
        if (words.size() < 2 || words.size() > 3) return failure("fault: expected NAME [COUNT]");
        const auto fault = faultByName(words[1]);
        if (!fault) return failure("fault: unknown fault '" + std::string(words[1]) + "'");
        std::uint64_t count = 1;
        if (words.size() == 3) {
            const auto n = parseNumber(words[2], 1000000);
            if (!n || *n == 0) return failure("fault: bad count '" + std::string(words[2]) + "'");
            count = *n;
        }
        sim.injectFault(*fault, static_cast<int>(count));
    } else if (cmd == "chaos") {
        if (words.size() == 2 && words[1] == "off") {
            sim.setRandomFaults(0, 0);
            return ok;
        }
        if (words.size() < 2 || words.size() > 3) return failure("chaos: expected SEED [PERCENT] or off");
        const auto seed = parseNumber(words[1], 0xFFFFFFFF);
        const auto percent = words.size() == 3 ? parseNumber(words[2], 100) : std::optional<std::uint64_t>(5);
        if (!seed || !percent) return failure("chaos: bad number");
        sim.setRandomFaults(static_cast<std::uint32_t>(*seed), static_cast<int>(*percent));
    } else if (cmd == "faults") {
        if (words.size() != 1) return failure("faults: takes no arguments");
        ok.output = faultCounts(sim);
    } else if (cmd == "loader-fault") {
        if (words.size() != 2) return failure("loader-fault: expected NAME");
        const LoaderFaultName* found = nullptr;
        for (const LoaderFaultName& f : kLoaderFaultNames)
            if (words[1] == f.name) found = &f;
        if (found == nullptr) return failure("loader-fault: unknown fault '" + std::string(words[1]) + "'");
        sim.injectLoaderFault(found->fault);
    } else if (cmd == "unplug" || cmd == "replug" || cmd == "frames" || cmd == "clear" || cmd == "state" ||
               cmd == "help" || cmd == "quit") {
        if (words.size() != 1) return failure(std::string(cmd) + ": takes no arguments");
        if (cmd == "unplug") {
            sim.unplug();
        } else if (cmd == "replug") {
            if (!sim.replug()) return failure("replug: no pseudo-terminal");
            ok.output = sim.portPath() + '\n';
        } else if (cmd == "frames") {
            ok.output = formatFrames(sim.frames());
        } else if (cmd == "clear") {
            sim.clearFrames();
        } else if (cmd == "state") {
            ok.output = sim.stateReport();
        } else if (cmd == "help") {
            ok.output = commandHelp();
        } else {
            ok.quit = true;
        }
    } else {
        return failure("unknown command '" + std::string(cmd) + "' (try help)");
    }
    return ok;
}

}  // namespace boardsim
