// Writes the seed corpus of the fuzz targets from the program's own files and code:
// a saved parameter set (the store's own save), the built-in demo sequences, a firmware
// test image, a settings file written by the settings code, and board replies captured
// from the simulator while the reply fuzzer's operations run against it. The surfaces,
// formulas and converter seeds are kept as files (fuzz/corpus/README.md).
//   fuzz_make_corpus OUTPUT_FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BoardReplyOps.h"
#include "board-sim/BoardSim.h"
#include "board/NativeTranslator.h"
#include "board/RG1Micon.h"
#include "data/DataContainer.h"
#include "parsers/AppSettings.h"
#include "parsers/DcDemo.h"
#include "parsers/ProfileInfo.h"
#include "parsers/StepperDemo.h"
#include "platform/core/BoardPorts.h"
#include "platform/core/Clock.h"
#include "res/firmware/FirmwareImages.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Passes everything through and keeps the bytes read since the last take.
class Recording final : public ITranslate {
public:
    explicit Recording(std::unique_ptr<ITranslate> inner) : inner_(std::move(inner)) {}
    Bytes Take() { return std::exchange(read_, {}); }

    int Detect() override { return inner_->Detect(); }
    int SetUseTimeouts(int flag) override { return inner_->SetUseTimeouts(flag); }
    int IsConnected() override { return inner_->IsConnected(); }
    int Open(int mode) override { return inner_->Open(mode); }
    int Close() override { return inner_->Close(); }
    int Reconnect() override { return inner_->Reconnect(); }
    int Transfer(int direction, std::uint8_t* buffer, std::uint32_t count, std::int32_t* moved) override {
        const int n = inner_->Transfer(direction, buffer, count, moved);
        if (direction != 0 && n > 0) read_.insert(read_.end(), buffer, buffer + n);
        return n;
    }

private:
    std::unique_ptr<ITranslate> inner_;
    Bytes read_;
};

void ParameterSets(const fs::path& out) {
    fs::create_directories(out);
    CDerivedDataContainer store;
    store.SelectContainer(devdefaults::kDeviceKeys[0]);
    for (int i = 0; i < 256; i += 7) store.SetValue(i, static_cast<std::uint32_t>(i * 0x01010101u));
    store.SaveToPath(devdefaults::kDeviceKeys[0], (out / "one-device.bin").string());
    // Two records: the saved one twice, the second time with another key.
    std::string two = ReadAll(out / "one-device.bin");
    std::string second = two;
    const auto key = static_cast<std::uint32_t>(devdefaults::kDeviceKeys[5]);
    for (int b = 0; b < 4; ++b) second[static_cast<std::size_t>(b)] = static_cast<char>(key >> (8 * b));
    Write(out / "two-devices.bin", two + second);
}

void SettingsIni(const fs::path& out) {
    fs::create_directories(out);
    const fs::path file = out / "Tamsiro.ini";
    fs::remove(file);
    CSettingsStore store;
    store.SetPath(file);
    CProfileInfo profile(&store);
    profile.SetRect(CProfileInfo::kMainWindow, {120, 80, 0, 0});
    profile.SetRect(CProfileInfo::kDeviceWindow, {300, 200, 0, 0});
    profile.SetRect(CProfileInfo::kTachometer, {900, 200, 1260, 420});
    profile.SetRect(CProfileInfo::kSpeedCurve, {300, 700, 1060, 960});
    profile.Save();
    store.WriteString("FileDialog", "lastFolder", "/home/user/parameter sets");
    store.Flush();
}

void HexImages(const fs::path& out) {
    // The first records of a firmware test image, and one with an extended address.
    const std::string image = firmware::MakeFirmwareHex(1, 0x1216);
    std::size_t at = 0;
    for (int line = 0; line < 8; ++line) at = image.find('\n', at) + 1;
    Write(out / "test-image-start.hex", image.substr(0, at) + ":00000001FF\r\n");
    Write(out / "extended-address.hex",
          ":020000040000FA\r\n" + image.substr(0, image.find('\n') + 1) + ":0400000300003800C1\r\n:00000001FF\r\n");
}

int BoardReplies(const fs::path& out) {
    boardsim::BoardSim::Options options;
    options.log = [](const std::string&) {};
    boardsim::BoardSim sim(options);
    if (!sim.start()) return 1;
    sim.setI2cReadData({1, 2, 3, 4});
    auto recording = std::make_unique<Recording>(std::make_unique<CNativeTranslator>(
        kBoardPortClass, std::make_shared<platform::PathBoardLocator>(sim.portPath())));
    Recording& wire = *recording;
    CRG1Micon link(std::move(recording));
    {
        platform::ManualClock quick;  // no settling pause for the open
        platform::ScopedClock scope(quick);
        link.CheckConnection();
        if (link.Open(0) != 1) return 1;
    }
    wire.Take();
    // Every operation once with its replies, then the long frames of a 0x12xx board.
    std::string all;
    auto run = [&](std::uint8_t op) {
        fuzz::RunBoardOp(link, op);
        const Bytes replies = wire.Take();
        all += static_cast<char>(op);
        all += static_cast<char>(0xFF);
        all.append(replies.begin(), replies.end());
    };
    for (int op = 1; op < fuzz::kBoardOps; ++op) run(static_cast<std::uint8_t>(op));
    Write(out / "every-operation.bin", all);
    all.clear();
    sim.setSecondVersion(0x1216);
    for (const std::uint8_t op : {1, 2 + 16 * 8, 11, 12 + 16 * 5, 4}) run(op);
    Write(out / "long-frames.bin", all);
    sim.stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path out(argv[1]);
    ParameterSets(out / "settings_file");
    SettingsIni(out / "settings_ini");
    HexImages(out / "intel_hex");
    Write(out / "stepper_demo" / "built-in.csv", pages::stepper::BuiltInSequenceText());
    Write(out / "dc_demo" / "built-in.csv", pages::dc::BuiltInDemoText());
    return BoardReplies(out / "board_replies");
}
