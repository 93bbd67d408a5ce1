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

// Commands made, run and deleted back to back, each with a record copied from the
// stack: a line staged by one goes out with the frame the next one sends.
TEST(GuiCommandOnSim, RecordsReachTheBoardInOrderAndValuesAreStored) {
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

    auto send = [&](std::uint32_t word, auto record, std::uint32_t index, std::uint32_t value) {
        CSingleCommand* c = generator->CreateCommand(window.handle(), index);
        c->SetRegister(&store, index, value);
        EXPECT_EQ(c->SetTask(word, &record, sizeof record), 1);
        EXPECT_EQ(generator->ExecuteCommand(&queue, c), 1);
        generator->DeleteCommand(c);
    };
    GpioRecord staged, sent;
    staged.port = {4, 1, 1, 0, 0};
    sent.port = {5, 1, 1, 0, 1};
    PwmChannelRecord pwm;
    pwm.channel = 6;
    pwm.frequency = 100;
    pwm.value = 50;
    pwm.percent = 1;
    pwm.send = 1;

    store.SetValue(60, 0x55);
    send(0x02000000, staged, 60, 0xFFFFFFFFu);
    send(0x02000000, sent, 61, 7);
    send(0x01000000, pwm, 62, 1000);
    ASSERT_TRUE(queue.WaitIdle(10000));
    ASSERT_TRUE(board.sim.waitForFrames(4, std::chrono::seconds(2)));

    // The frames the same records make when given to an opened link directly.
    FakeBoard direct;
    direct.link->Open(0);
    direct.wire->Clear();
    direct.link->WritePort(4, &staged.port, 0);
    direct.link->WritePort(5, &sent.port, 1);
    direct.link->SetPwmFrequency(6, &pwm, 1);
    EXPECT_EQ(board.Frames(), direct.wire->Frames());
    EXPECT_TRUE(board.sim.portLevel(4) && board.sim.portLevel(5));
    EXPECT_EQ(store.GetValue(60), 0x55u);  // 0xFFFFFFFF was not stored
    EXPECT_EQ(store.GetValue(61), 7u);
    EXPECT_EQ(store.GetValue(62), 1000u);
    EXPECT_EQ(debug.count("\t\tPWM-6 set + translate\n"), 1u);
}
