#include "pages/bldc/BldcChanges.h"

#include <cmath>

#include "data/DataContainer.h"
#include "platform/core/Numeric.h"
#include "tasks/GuiCommand.h"
#include "tasks/TaskListener.h"
#include "tasks/TaskWord.h"

namespace bldc {

namespace {

constexpr double kPwmInFrequency = 50000.0;
constexpr double kVoltageFrequency = 15625.0;
constexpr int kOutput = 1;
constexpr int kInput = 0;

int Bit(std::uint32_t v) { return v != 0 ? 1 : 0; }

BldcCommand Pwm(int word, std::uint32_t value, int channel, double frequency, double duty, int send) {
    return PwmCommand(word, value, MakePwmRecord(channel, frequency, duty, send));
}

BldcCommand Gpio(int word, std::uint32_t value, int line, int direction, int level) {
    return GpioCommand(word, value, MakeGpioRecord(line, direction, level, 1));
}

bool KeyIn(int key, std::initializer_list<int> keys) {
    for (int k : keys)
        if (k == key) return true;
    return false;
}

}  // namespace

const void* BldcCommand::Data() const {
    switch (record) {
        case Record::None: return nullptr;
        case Record::Empty: return EmptyTaskRecord();
        case Record::Pwm: return &pwm;
        case Record::Gpio: return &gpio;
        case Record::Polling: return &pollingPeriod;
    }
    return nullptr;
}

std::uint32_t BldcCommand::Size() const {
    switch (record) {
        case Record::Pwm: return sizeof pwm;
        case Record::Gpio: return sizeof gpio;
        case Record::Polling: return sizeof pollingPeriod;
        default: return 0;
    }
}

PwmChannelRecord MakePwmRecord(int channel, double frequency, double duty, int send) {
    PwmChannelRecord r{};
    r.channel = static_cast<std::uint32_t>(channel);
    r.frequency = frequency;
    r.value = duty;
    r.send = static_cast<std::uint32_t>(send);
    return r;
}

GpioRecord MakeGpioRecord(int line, int direction, int level, int send) {
    GpioRecord r{};
    r.port.line = static_cast<std::uint32_t>(line);
    r.port.direction = static_cast<std::uint32_t>(direction);
    r.port.level = static_cast<std::uint32_t>(level);
    r.port.send = static_cast<std::uint32_t>(send);
    return r;
}

BldcCommand PwmCommand(int word, std::uint32_t value, const PwmChannelRecord& record) {
    BldcCommand c;
    c.word = word;
    c.value = value;
    c.taskWord = kWordPwm;
    c.record = BldcCommand::Record::Pwm;
    c.pwm = record;
    return c;
}

BldcCommand GpioCommand(int word, std::uint32_t value, const GpioRecord& record) {
    BldcCommand c;
    c.word = word;
    c.value = value;
    c.taskWord = kWordGpio;
    c.record = BldcCommand::Record::Gpio;
    c.gpio = record;
    return c;
}

BldcCommand PollingCommand(int chip, bool on) {
    BldcCommand c;
    c.word = 26;
    c.value = on ? 1 : 0;
    c.taskWord = taskword::Make(kTaskPolling, 1, static_cast<std::uint32_t>(chip), on ? 1 : 0);
    c.record = BldcCommand::Record::Polling;
    return c;
}

BldcCommand DemoCommand(int chip, bool on) {
    BldcCommand c;
    c.word = 33;
    c.value = on ? 1 : 0;
    c.taskWord = taskword::Make(kTaskBldcDemo, 0, static_cast<std::uint32_t>(chip), on ? 1 : 0);
    c.record = BldcCommand::Record::Empty;
    return c;
}

std::vector<BldcCommand> SelectSpeedInput(int k, BldcPageState& state) {
    if (k == state.speedInput) return {};
    state.speedInput = k;
    const int key = state.deviceKey;
    std::vector<BldcCommand> out;
    if (k == 0) {
        if (key == 0x300) out.push_back(Pwm(4, kNoStore, 2, kVoltageFrequency, 0.0, 0));
        if (key == 0x304) {
            out.push_back(Pwm(4, kNoStore, 2, kVoltageFrequency, 256.0, 0));
            out.push_back(Pwm(4, kNoStore, 5, kVoltageFrequency, 256.0, 0));
        }
        if (key == 0x307) out.push_back(Pwm(4, kNoStore, 2, kVoltageFrequency, 256.0, 0));
    } else if (k == 4 && KeyIn(key, {0x300, 0x303, 0x307})) {
        out.push_back(Pwm(0, kNoStore, 1, kPwmInFrequency, 0.0, 0));
    }
    return out;
}

Reaction SswPin(int word, std::uint32_t value) {
    Reaction r;
    switch (value) {
        case 0:
            r.commands.push_back(Gpio(word, value, 15, kOutput, 0));
            r.debugText = "Low-Lv selection\n";
            break;
        case 1:
            r.commands.push_back(Gpio(word, value, 15, kInput, 0));
            r.debugText = "High-Z selection\n";
            break;
        case 2:
            r.commands.push_back(Gpio(word, value, 15, kOutput, 1));
            r.debugText = "High-Lv selection\n";
            break;
        default:
            break;  // not a radio index: nothing is stored or sent
    }
    return r;
}

Reaction OnChange(int kind, std::uint32_t v, BldcPageState& state) {
    Reaction r;
    auto& out = r.commands;
    const double duty = static_cast<double>(v);
    switch (kind) {
        case 0:
            out = SelectSpeedInput(0, state);
            out.push_back(Pwm(0, v, 1, kPwmInFrequency, 240.0 - duty, 1));
            r.testPwm = TestPwm{1, 50000, 240 - static_cast<int>(std::min<std::uint32_t>(v, 240)), 240};
            break;
        case 28:
            out = SelectSpeedInput(28, state);
            out.push_back(Pwm(28, v, 1, kPwmInFrequency, duty, 1));
            r.testPwm = TestPwm{1, 50000, static_cast<int>(std::min<std::uint32_t>(v, 240)), 0};
            break;
        case 1:
            // The combo's index: 61 Hz doubled per step (saturating for a stray index).
            state.pwm4Frequency = platform::saturate<int>(61.0 * std::ldexp(1.0, static_cast<int>(std::min<std::uint32_t>(v, 64))));
            out.push_back(Pwm(1, v, 4, state.pwm4Frequency, state.pwm4Duty, 1));
            break;
        case 2:
            state.pwm4Duty = platform::saturate<int>(duty * 2.56);
            out.push_back(Pwm(2, v, 4, state.pwm4Frequency, state.pwm4Duty, 1));
            break;
        case 3:
            out.push_back(Pwm(3, v, 8, duty, 50.0, 1));
            break;
        case 4:
            out = SelectSpeedInput(4, state);
            out.push_back(Pwm(4, v, 2, kVoltageFrequency, 256.0 - duty, 1));
            if (state.deviceKey == 0x307) {
                BldcCommand readBack;  // the chip has no read-back: show what was set
                readBack.word = 5;
                readBack.value = v;
                out.push_back(readBack);
            }
            break;
        case 6:
            out.push_back(Pwm(6, v, 5, kVoltageFrequency, duty, 1));
            break;
        case 8:
            out.push_back(Pwm(8, v, 3, kVoltageFrequency, 256.0 - duty, 1));
            break;
        case 10: out.push_back(Gpio(10, v, 27, kOutput, Bit(v))); break;
        case 11: out.push_back(Gpio(11, v, 26, kOutput, Bit(v))); break;
        case 12:
            out.push_back(Gpio(12, v, 21, kOutput, 1 - Bit(v)));
            r.enableChipItems = Bit(v);
            break;
        case 13:
            out.push_back(Gpio(13, v, 31, kOutput, Bit(v)));
            r.enableChipItems = 1 - Bit(v);
            break;
        case 14: out.push_back(Gpio(14, v, 29, kOutput, Bit(v))); break;
        case 15:
        case 27:
            r.action = PageAction::ShowTestDialog;
            break;
        case 18: {
            BldcCommand store;
            store.word = 18;
            store.value = v;
            out.push_back(store);
            r.action = PageAction::ApplyPoleSetting;
            break;
        }
        case 19:
        case 29: {
            r.action = PageAction::ApplyMaxSpeed;
            const std::uint64_t scaled = std::uint64_t{v} * (kind == 19 ? 10u : 100u);
            r.maxSpeed = scaled > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(scaled);
            break;
        }
        case 23:
            r.action = PageAction::RecordCheck;
            break;
        case 26:
            state.polling = v != 0;
            out.push_back(PollingCommand(state.Chip(), v != 0));
            out.back().value = v;
            out.back().taskWord = (out.back().taskWord & 0xFFFFFF00u) | (v & 0xFF);
            break;
        case 30:
            return SswPin(30, v);
        case 33:
            state.demo = v != 0;
            out.push_back(DemoCommand(state.Chip(), v != 0));
            out.back().value = v;
            out.back().taskWord = (out.back().taskWord & 0xFFFFFF00u) | (v & 0xFF);
            break;
        default:
            break;  // no reaction: the value is not stored either
    }
    return r;
}

Reaction RestoreChipEnable(const IDataContainer& store, bool hasKind12, bool hasKind13) {
    Reaction r;
    if (hasKind12) {
        const int v = Bit(store.GetValue(12));
        r.commands.push_back(Gpio(-1, kNoStore, 21, kOutput, 1 - v));
        r.enableChipItems = v;
    }
    if (hasKind13) {
        const int v = Bit(store.GetValue(13));
        r.commands.push_back(Gpio(-1, kNoStore, 31, kOutput, v));
        r.enableChipItems = 1 - v;
    }
    return r;
}

std::vector<BldcCommand> ResendPwm2(const BldcPageState& state, const IDataContainer& store) {
    // The duty a change of kind 4 to the stored value sends: restoring must not put a
    // different voltage on the pin than the slider shows.
    const double duty = 256.0 - static_cast<double>(store.GetValue(4));
    return {Pwm(-1, kNoStore, 2, kVoltageFrequency, duty, state.deviceKey == 0x300 ? 0 : 1)};
}

std::vector<BldcCommand> ResendPwm5(const IDataContainer& store) {
    return {Pwm(-1, kNoStore, 5, kVoltageFrequency, store.GetValue(6), 1)};
}

std::vector<BldcCommand> ResendPwm3(const BldcPageState& state, const IDataContainer& store) {
    const double w = store.GetValue(8);
    return {Pwm(-1, kNoStore, 3, kVoltageFrequency, state.deviceKey == 0x300 ? 256.0 - w : w, 1)};
}

Reaction ResendPwmIn(BldcPageState& state, const IDataContainer& store) {
    Reaction r;
    const int key = state.deviceKey;
    if (KeyIn(key, {0x300, 0x304, 0x307})) r.commands = SelectSpeedInput(0, state);
    double duty = 240.0;
    if (KeyIn(key, {0x301, 0x306, 0x308})) duty = 240.0 - store.GetValue(0);
    if (KeyIn(key, {0x302, 0x303, 0x305, 0x304})) duty = store.GetValue(28);
    const int send = KeyIn(key, {0x300, 0x307, 0x304}) ? 0 : 1;
    r.commands.push_back(Pwm(-1, kNoStore, 1, kPwmInFrequency, duty, send));
    const int base = KeyIn(key, {0x302, 0x303, 0x304, 0x305}) ? 0 : 240;
    r.testPwm = TestPwm{1, 50000, platform::saturate<int>(duty), base};
    return r;
}

std::vector<BldcCommand> ClosePage(BldcPageState& state) {
    std::vector<BldcCommand> out;
    const double idle = KeyIn(state.deviceKey, {0x302, 0x303, 0x305}) ? 0.0 : 240.0;
    out.push_back(Pwm(-1, kNoStore, 1, kPwmInFrequency, idle, 1));
    if (state.polling) {
        state.polling = false;
        out.push_back(PollingCommand(state.Chip(), false));
    }
    if (state.demo) {
        state.demo = false;
        out.push_back(DemoCommand(state.Chip(), false));
    }
    return out;
}

PoleSetting PoleSettingOf(const IDataContainer& store) {
    PoleSetting p;
    p.rpm = store.GetValue(18) != 0;
    p.graphChannelMask = p.rpm ? 2 : 1;
    p.currentSpeedCaption = p.rpm ? "Current rpm" : "Current pps";
    const std::uint64_t max = p.rpm ? std::uint64_t{store.GetValue(29)} * 100u : std::uint64_t{store.GetValue(19)} * 10u;
    p.maxSpeed = max > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(max);
    return p;
}

StoredWord MaxSpeedWord(std::uint32_t maxSpeed, std::uint32_t polePairs) {
    return polePairs == 0 ? StoredWord{19, maxSpeed / 10} : StoredWord{29, maxSpeed / 100};
}

int SendCommands(platform::Handle window, IDataContainer* store, ITaskListener* queue,
                 std::span<const BldcCommand> commands) {
    auto* generator = CCommandGenerator::GetInstance();
    int ran = 0;
    for (const BldcCommand& c : commands) {
        CSingleCommand* command = generator->CreateCommand(window, static_cast<std::uint32_t>(c.word));
        if (command == nullptr) continue;
        if (c.word >= 0) command->SetRegister(store, static_cast<std::uint32_t>(c.word), c.value);
        command->SetTask(c.taskWord, c.Data(), c.Size());
        ran += generator->ExecuteCommand(queue, command);
        generator->DeleteCommand(command);
    }
    return ran;
}

}  // namespace bldc
