// GUI commands: what they store and submit, the generator's bookkeeping, and commands
// travelling through the real queue and board link to the simulator.
#include <gtest/gtest.h>

#include "TaskTestSupport.h"
#include "platform/core/Debug.h"
#include "tasks/GuiCommand.h"
#include "tasks/TaskListener.h"

namespace {

class RecordingQueue final : public ITaskListener {
public:
    struct Added {
        std::uint32_t word;
        const void* record;
        std::uint32_t size;
    };
    int SetNotifyWindow(platform::Handle window) override {
        window_ = window;
        return 1;
    }
    int SetDataContainer(IDataContainer*) override { return 1; }
    int SetMicon(CRG1Micon*) override { return 1; }
    int AddTask(std::uint32_t word, const void* record, std::uint32_t size) override {
        added_.push_back({word, record, size});
        return 1;
    }
    int StopAll() override { return 1; }

    platform::Handle window_ = 0;
    std::vector<Added> added_;
};

}  // namespace

TEST(GuiCommand, StoresTheValueAndSubmitsTheWord) {
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x300), 1);
    RecordingQueue queue;
    GpioRecord record;

    // 0xFFFFFFFF stores nothing, but the word still goes.
    store.SetValue(40, 7);
    CSingleCommand keep(11, 3);
    keep.SetRegister(&store, 40, 0xFFFFFFFFu);
    EXPECT_EQ(keep.SetTask(0x02000000, &record, sizeof record), 1);
    keep.SetReceiver(&queue);
    EXPECT_EQ(keep.Execute(), 1);
    EXPECT_EQ(store.GetValue(40), 7u);
    ASSERT_EQ(queue.added_.size(), 1u);
    EXPECT_EQ(queue.added_[0].word, 0x02000000u);
    EXPECT_EQ(queue.added_[0].record, &record);
    EXPECT_EQ(queue.window_, 11u);

    // A bit field: only its bits change.
    store.SetValue(41, 0x80000001u);
    CSingleCommand field(12, 4);
    field.SetRegister(&store, 41, 0xFF);
    field.SetBitField(4, 3);
    field.SetReceiver(&queue);
    field.Execute();
    EXPECT_EQ(store.GetValue(41), 0x80000071u);
    // Without a record: stored, window named, nothing submitted.
    EXPECT_EQ(queue.added_.size(), 1u);
    EXPECT_EQ(queue.window_, 12u);

    // A non-null record of size 0 is submitted: the task decides what it takes.
    CSingleCommand demo(13, 28);
    EXPECT_EQ(demo.SetTask(0x0E000501, EmptyTaskRecord(), 0), 0);
    demo.SetReceiver(&queue);
    demo.Execute();
    ASSERT_EQ(queue.added_.size(), 2u);
    EXPECT_EQ(queue.added_[1].word, 0x0E000501u);
    EXPECT_EQ(queue.added_[1].size, 0u);

    // Without a receiver only the value is stored.
    CSingleCommand alone(14, 1);
    alone.SetRegister(&store, 42, 5);
    alone.SetTask(0x01000000, &record, 72);
    EXPECT_EQ(alone.Execute(), 1);
    EXPECT_EQ(store.GetValue(42), 5u);
    EXPECT_EQ(queue.added_.size(), 2u);
}

TEST(GuiCommand, GeneratorDeletesOnlyItsOwnCommands) {
    auto* generator = CCommandGenerator::GetInstance();
    EXPECT_EQ(generator, CCommandGenerator::GetInstance());
    const auto before = generator->CommandCount();
    CSingleCommand* made = generator->CreateCommand(5, 0xFFFFFFFFu);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(generator->CommandCount(), before + 1);

    CSingleCommand foreign(5, 1);
    EXPECT_EQ(generator->DeleteCommand(&foreign), 0);
    EXPECT_EQ(generator->CommandCount(), before + 1);
    EXPECT_EQ(generator->DeleteCommand(made), 1);
    EXPECT_EQ(generator->DeleteCommand(made), 0);
    EXPECT_EQ(generator->CommandCount(), before);
}

// What the main window does to set up the board: one command per record, submitted
// without pauses, each deleted after it ran.
TEST(GuiCommandOnSim, BoardRecordsReachTheSimulatorAsExactFramesInOrder) {
    platform::DebugCapture debug;
    SimBoard board;
    ASSERT_TRUE(board.started);
    ASSERT_TRUE(board.Connect());
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x300), 1);
    RecordingWindow window;
    CDerivedTaskListener queue(window.handle());
    queue.SetMicon(board.link.get());
    queue.SetDataContainer(&store);
    auto* generator = CCommandGenerator::GetInstance();

    auto send = [&](std::uint32_t word, const void* record, std::uint32_t size, std::uint32_t index,
                    std::uint32_t value) {
        CSingleCommand* c = generator->CreateCommand(window.handle(), index);
        c->SetRegister(&store, index, value);
        c->SetTask(word, record, size);
        generator->ExecuteCommand(&queue, c);
        generator->DeleteCommand(c);
    };

    store.SetValue(60, 0x55);
    for (std::uint32_t line = 0; line <= 33; ++line) {
        GpioRecord r;
        const bool input = line == 16 || line == 17;
        r.port = {line, input ? 0u : 1u, (input || line == 21) ? 1u : 0u, 0, line == 20 || line == 33 ? 1u : 0u};
        send(0x02000000, &r, sizeof r, 60, 0xFFFFFFFFu);
    }
    static const double freq[9] = {50000, 50000, 15625, 15625, 15625, 15625, 100, 100, 100};
    static const double value[9] = {240, 240, 256, 256, 0, 0, 0, 0, 0};
    for (std::uint32_t ch = 0; ch < 9; ++ch) {
        PwmChannelRecord r;
        r.channel = ch;
        r.frequency = freq[ch];
        r.value = value[ch];
        r.outputA = r.outputB = r.percent = 1;
        r.send = ch == 3 || ch == 8 ? 1 : 0;
        send(0x01000000, &r, sizeof r, 61 + ch, 1000 + ch);  // the record lives on the stack only
    }
    ASSERT_TRUE(queue.WaitIdle(10000));
    ASSERT_TRUE(board.sim.waitForFrames(7, std::chrono::seconds(2)));

    EXPECT_EQ(board.Frames(),
              (std::vector<Bytes>{
                  // lines 0-20: directions ('C'), levels ('E'), and the read-back of line 20
                  {'C', 0, 3, 4, 0, 0, 0xFF, 0xFF, 0x00, 0x0E, 0, 0, 0, 0, 0},
                  {'E', 0x00, 0x00, 0x06, 0x00, 0},
                  {'E', 0x00, 0x00, 0x06, 0x00, 0},
                  // lines 21-33 on the second controller, and their read-back
                  {'8', 3, 0xFF, 0x01, 0x38, 0x00, 0x03, 0x00, 0x00, 0x3B},
                  {'8', 19},
                  // channels 0-3, then 4-8
                  {0x50, 0xE0, 0xF0, 0x00, 0xF0, 0x08, 0xC0, 0x00, 0xFF, 0xFF, 0x00},
                  {0x38, 0x02, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x05, 0xA6, 0x0E, 0x00,
                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x55, 0x05, 0x11},
              }));
    EXPECT_TRUE(board.sim.portIsOutput(0));
    EXPECT_FALSE(board.sim.portIsOutput(16));
    EXPECT_TRUE(board.sim.portLevel(21));
    EXPECT_EQ(store.GetValue(60), 0x55u);  // 0xFFFFFFFF was not stored
    for (std::uint32_t ch = 0; ch < 9; ++ch) EXPECT_EQ(store.GetValue(static_cast<int>(61 + ch)), 1000 + ch);
    EXPECT_EQ(debug.count("PWM-3 register\n"), 1u);
    EXPECT_EQ(debug.count("\t\tPWM-3 set + translate\n"), 1u);
}
