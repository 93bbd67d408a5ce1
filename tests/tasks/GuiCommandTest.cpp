// GUI commands: what they store and submit, and the generator's bookkeeping.
#include <gtest/gtest.h>

#include "RecordingQueue.h"
#include "TaskTestSupport.h"
#include "tasks/GuiCommand.h"

TEST(GuiCommand, StoresTheValueAndSubmitsTheWord) {
    CDerivedDataContainer store;
    ASSERT_EQ(store.SelectContainer(0x300), 1);
    RecordingQueue queue;

    // A bit field: only its bits change. Without a record nothing is submitted.
    store.SetValue(41, 0x80000001u);
    CSingleCommand field(12, 4);
    field.SetRegister(&store, 41, 0xFF);
    field.SetBitField(4, 3);
    field.SetReceiver(&queue);
    field.Execute();
    EXPECT_EQ(store.GetValue(41), 0x80000071u);
    EXPECT_EQ(queue.added.size(), 0u);
    EXPECT_EQ(queue.window, 12u);

    // A record of size 0 is still submitted.
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

    // 0xFFFFFFFF stores nothing, while the word still goes.
    store.SetValue(43, 9);
    CSingleCommand unset(15, 43);
    unset.SetRegister(&store, 43, 0xFFFFFFFFu);
    unset.SetTask(0x01000000, &record, sizeof record);
    unset.SetReceiver(&queue);
    unset.Execute();
    EXPECT_EQ(store.GetValue(43), 9u);
    EXPECT_EQ(queue.added.size(), 2u);
}

TEST(GuiCommand, GeneratorDeletesOnlyItsOwnCommands) {
    auto* generator = CCommandGenerator::GetInstance();
    const auto before = generator->CommandCount();
    CSingleCommand* made = generator->CreateCommand(5, 0xFFFFFFFFu);
    CSingleCommand foreign(5, 1);
    EXPECT_EQ(generator->DeleteCommand(&foreign), 0);
    EXPECT_EQ(generator->DeleteCommand(made), 1);
    EXPECT_EQ(generator->DeleteCommand(made), 0);
    EXPECT_EQ(generator->CommandCount(), before);
}
