// GUI commands: what they store and submit, the generator's bookkeeping, and commands
// travelling through the real queue and board link to the simulator.
#include <gtest/gtest.h>

#include "RecordingQueue.h"
#include "TaskTestSupport.h"
#include "platform/core/Debug.h"
#include "tasks/GuiCommand.h"
#include "tasks/TaskListener.h"


// (0xFFFFFFFF storing nothing while the word still goes is shown against the simulator.)
TEST(GuiCommand, StoresTheValueAndSubmitsTheWord) {
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x300), 1);
    RecordingQueue queue;

    // A bit field: only its bits change. Without a record: stored, window named,
    // nothing submitted.
    store.SetValue(41, 0x80000001u);
    CSingleCommand field(12, 4);
    field.SetRegister(&store, 41, 0xFF);
    field.SetBitField(4, 3);
    field.SetReceiver(&queue);
    field.Execute();
    EXPECT_EQ(store.GetValue(41), 0x80000071u);
    EXPECT_TRUE(queue.added.empty());
    EXPECT_EQ(queue.window, 12u);

    // A non-null record of size 0 is submitted: the task decides what it takes.
    CSingleCommand demo(13, 28);
    EXPECT_EQ(demo.SetTask(0x0E000501, EmptyTaskRecord(), 0), 0);
    demo.SetReceiver(&queue);
    demo.Execute();
    EXPECT_EQ(queue.added, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0x0E000501u, 0u}}));

    // Without a receiver only the value is stored.
    GpioRecord record;
    CSingleCommand alone(14, 1);
    alone.SetRegister(&store, 42, 5);
    alone.SetTask(0x01000000, &record, 72);
    EXPECT_EQ(alone.Execute(), 1);
    EXPECT_EQ(store.GetValue(42), 5u);
    EXPECT_EQ(queue.added.size(), 1u);
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
        EXPECT_EQ(c->SetTask(word, record, size), 1);
        EXPECT_EQ(generator->ExecuteCommand(&queue, c), 1);
        generator->DeleteCommand(c);
    };

    store.SetValue(60, 0x55);
    // Each record is a copy on the stack, gone once it was submitted.
    for (auto r : DefaultGpio()) send(0x02000000, &r, sizeof r, 60, 0xFFFFFFFFu);
    for (auto r : DefaultPwm()) send(0x01000000, &r, sizeof r, 61 + r.channel, 1000 + r.channel);
    ASSERT_TRUE(queue.WaitIdle(10000));
    ASSERT_TRUE(board.sim.waitForFrames(7, std::chrono::seconds(2)));

    // The frames the same records make when given to an opened link directly.
    FakeBoard direct;
    direct.link->Open(0);
    direct.wire->Clear();
    for (auto r : DefaultGpio()) direct.link->WritePort(static_cast<int>(r.port.line), &r.port, r.port.send);
    for (auto r : DefaultPwm()) direct.link->SetPwmFrequency(static_cast<int>(r.channel), &r, r.send);
    EXPECT_EQ(board.Frames(), direct.wire->Frames());
    EXPECT_TRUE(board.sim.portIsOutput(0));
    EXPECT_FALSE(board.sim.portIsOutput(16));
    EXPECT_TRUE(board.sim.portLevel(21));
    EXPECT_EQ(store.GetValue(60), 0x55u);  // 0xFFFFFFFF was not stored
    for (std::uint32_t ch = 0; ch < 9; ++ch) EXPECT_EQ(store.GetValue(static_cast<int>(61 + ch)), 1000 + ch);
    EXPECT_EQ(debug.count("PWM-3 register\n"), 1u);
    EXPECT_EQ(debug.count("\t\tPWM-3 set + translate\n"), 1u);
}
