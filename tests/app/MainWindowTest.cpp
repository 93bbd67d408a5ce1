// The main window without a board: the device lists, the page selector's answer for
// every model, the parameter set menu and the question on exit.
#include <gtest/gtest.h>

#include <fstream>

#include "AppTestSupport.h"
#include "platform/gui/CommonDialogs.h"

using namespace apptest;

namespace {

std::vector<std::string> NamesOfKind(std::uint32_t kind) {
    std::vector<std::string> out;
    for (const auto& e : devicetable::FullList()) {
        if (devicetable::Kind(e.code) == kind) out.push_back(e.name);
    }
    return out;
}

}  // namespace

TEST(MainWindowLists, EachMotorTypeListsExactlyItsDriversInTableOrder) {
    Rig rig(NoBoard());
    ASSERT_TRUE(rig.Open());
    // Opening selects "----------": the separator and the 31 models of kinds 1 to 4.
    EXPECT_EQ(rig.window->itemAs<gui::ComboBox>(mainwin::kMotorTypeList)->curSel(), 0);
    std::vector<std::string> all = {"----------"};
    for (std::uint32_t kind = 1; kind <= 4; ++kind) {
        for (const auto& n : NamesOfKind(kind)) all.push_back(n);
    }
    EXPECT_EQ(rig.DriverTexts(), all);
    EXPECT_EQ(all.size(), 32u);

    const std::vector<std::vector<std::string>> expected = {
        {},
        {"KT3310", "KT3321(Stepper)", "KT3332(Stepper)", "KT3343(Stepper)", "KT3354(Stepper)", "KT3365(Stepper)",
         "KT3376A", "KT3387(Stepper)", "KT3398(Stepper)", "KT3409(Stepper)", "KT3410(Stepper)", "KT3421(Stepper)",
         "KT3432(Stepper)"},
        {"KT3321(DC)", "KT3332(DC)", "KT3343(DC)", "KT3354(DC)", "KT3387(DC)", "KT3398(DC)", "KT3409(DC)"},
        {"KT3443", "KT3454/56", "KT3465", "KT3476", "KT3487", "KT3498", "KT3509", "KT3510", "KT3521"},
        {"KT3532", "KT3543"},
    };
    for (int type = 1; type <= 4; ++type) {
        rig.ChooseMotorType(type);
        EXPECT_EQ(rig.DriverTexts(), expected[static_cast<std::size_t>(type)]) << type;
        ASSERT_EQ(rig.window->ShownDevices().size(), expected[static_cast<std::size_t>(type)].size());
        for (const auto& e : rig.window->ShownDevices()) EXPECT_EQ(devicetable::Kind(e.code), std::uint32_t(type));
        EXPECT_EQ(rig.window->itemAs<gui::ComboBox>(mainwin::kDriverList)->curSel(), -1);
        EXPECT_FALSE(rig.OkEnabled());
    }

    // A range without models lists "(N/A)" alone.
    rig.window->FillDriverList(0x600, 0x699);
    EXPECT_EQ(rig.DriverTexts(), std::vector<std::string>{"(N/A)"});
    ASSERT_EQ(rig.window->ShownDevices().size(), 1u);
    EXPECT_EQ(rig.window->ShownDevices()[0].code, 0x80000999u);
    rig.ChooseDriver(0);
    EXPECT_EQ(rig.window->Kind(), 0x80u);
    EXPECT_EQ(rig.window->CurrentPage(), nullptr);
    EXPECT_FALSE(rig.OkEnabled());

    // No model has a page yet: "OK" stays disabled whatever is chosen.
    for (const auto& e : devicetable::FullList()) {
        if (devicetable::Kind(e.code) > 4) continue;
        ASSERT_TRUE(rig.ChooseDriverNamed(e.name)) << e.name;
        EXPECT_EQ(rig.window->Code(), e.code);
        EXPECT_EQ(rig.window->CurrentPage(), nullptr) << e.name;
        EXPECT_FALSE(rig.OkEnabled()) << e.name;
    }
}

TEST(MainWindowParameters, SaveAndLoadGoThroughTheFileDialogsAndTheLoadReachesThePage) {
    TempDir dir;
    Rig rig(NoBoard(), true);
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3376A"));
    rig.pageLog.clear();

    const std::string file = (dir.path / "set.bin").string();
    ASSERT_EQ(rig.data->SelectContainer(0x106), 1);
    ASSERT_EQ(rig.data->SetValue(7, 0x12345678u), 1);
    gui::ScriptedDialogs dialogs;
    dialogs.answerFile(QString::fromStdString(file));
    rig.Command(mainwin::kSaveParameters);
    ASSERT_EQ(dialogs.fileDialogs().size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs()[0].title, QString("Save As local PC"));
    EXPECT_EQ(dialogs.fileDialogs()[0].owner, rig.window->handle());
    EXPECT_EQ(dialogs.fileDialogs()[0].filters.at(0).description, QString("Motor driver GUI setting file(*.bin)"));
    EXPECT_EQ(std::filesystem::file_size(file), 32896u);
    EXPECT_TRUE(dialogs.boxes().empty());

    // Changed after the save, then loaded back: the saved word returns and the page
    // is told to show the data again.
    ASSERT_EQ(rig.data->SetValue(7, 1), 1);
    dialogs.answerFile(QString::fromStdString(file));
    rig.Command(mainwin::kLoadParameters);
    EXPECT_EQ(dialogs.fileDialogs().at(1).title, QString("Open file"));
    EXPECT_EQ(rig.data->GetValue(7), 0x12345678u);
    ASSERT_EQ(rig.pageLog.size(), 1u);
    EXPECT_EQ(rig.pageLog[0].msg, gui::msg::ReapplyDeviceData);
    EXPECT_TRUE(dialogs.boxes().empty());

    // A cancelled dialog changes nothing and says nothing.
    rig.pageLog.clear();
    rig.Command(mainwin::kLoadParameters);
    rig.Command(mainwin::kSaveParameters);
    EXPECT_TRUE(dialogs.boxes().empty());
    EXPECT_TRUE(rig.pageLog.empty());

    // A damaged file: its first record loads, the unknown key after it stops the load,
    // and the user is told why.
    const std::string damaged = (dir.path / "damaged.bin").string();
    {
        std::ifstream in(file, std::ios::binary);
        std::vector<char> bytes(1028 * 2);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bytes[1028] = 0x77;  // the second record's key becomes 0x177
        std::ofstream out(damaged, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    dialogs.answerFile(QString::fromStdString(damaged));
    rig.Command(mainwin::kLoadParameters);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].caption, QString("Load parameter setting"));
    EXPECT_EQ(dialogs.boxes()[0].text.toStdString(), rig.data->LastFileReport().message);
    EXPECT_TRUE(dialogs.boxes()[0].text.contains("unknown device key"));
    EXPECT_EQ(rig.pageLog.size(), 1u);  // the first record did load

    // A save that cannot be written says so.
    dialogs.answerFile(QString::fromStdString((dir.path / "missing" / "x.bin").string()));
    rig.Command(mainwin::kSaveParameters);
    ASSERT_EQ(dialogs.boxes().size(), 2u);
    EXPECT_EQ(dialogs.boxes()[1].caption, QString("Save parameter setting"));
    EXPECT_EQ(dialogs.boxes()[1].icon, gui::MessageIcon::Error);
}

TEST(MainWindowExit, TheSaveQuestionsThreeAnswers) {
    TempDir dir;
    const QString file = QString::fromStdString((dir.path / "exit.bin").string());
    auto question = [](const gui::MessageBoxRequest& r) {
        return r.text == QString("Save parameter setting ?") && r.caption == QString("Question") &&
               r.buttons == gui::MessageButtons::YesNoCancel && r.icon == gui::MessageIcon::Information;
    };

    {  // Cancel keeps the program running; the close box and Exit ask the same.
        Rig rig(NoBoard());
        gui::ScriptedDialogs dialogs;
        const int result = rig.RunModal([&](CQuillfenDlg& w) {
            dialogs.answerBox(gui::id::Cancel);
            w.send(gui::msg::SysCommand, gui::syscmd::Close, 0);
            EXPECT_TRUE(w.isRunningModal());
            dialogs.answerBox(gui::id::Cancel);
            rig.Command(mainwin::kExitApplication);
            EXPECT_TRUE(w.isRunningModal());
            w.endDialog(42);
        });
        EXPECT_EQ(result, 42);
        ASSERT_EQ(dialogs.boxes().size(), 2u);
        EXPECT_TRUE(question(dialogs.boxes()[0]));
        EXPECT_TRUE(dialogs.fileDialogs().empty());
    }
    {  // No quits without saving.
        Rig rig(NoBoard());
        gui::ScriptedDialogs dialogs;
        dialogs.answerBox(gui::id::No);
        EXPECT_EQ(rig.RunModal([&](CQuillfenDlg&) { rig.Command(gui::id::Cancel); }), gui::id::Cancel);
        ASSERT_EQ(dialogs.boxes().size(), 1u);
        EXPECT_TRUE(dialogs.fileDialogs().empty());
    }
    {  // Yes saves every device, then quits.
        Rig rig(NoBoard());
        gui::ScriptedDialogs dialogs;
        dialogs.answerBox(gui::id::Yes);
        dialogs.answerFile(file);
        EXPECT_EQ(rig.RunModal([&](CQuillfenDlg&) { rig.Command(mainwin::kExitApplication); }), gui::id::Cancel);
        EXPECT_EQ(std::filesystem::file_size(file.toStdString()), 32896u);
        EXPECT_EQ(dialogs.boxes().size(), 1u);
    }
    {  // Yes, then the file dialog is cancelled: the program stays, nothing is lost.
        Rig rig(NoBoard());
        gui::ScriptedDialogs dialogs;
        const int result = rig.RunModal([&](CQuillfenDlg& w) {
            dialogs.answerBox(gui::id::Yes);
            rig.Command(gui::id::Cancel);
            EXPECT_TRUE(w.isRunningModal());
            w.endDialog(43);
        });
        EXPECT_EQ(result, 43);
        EXPECT_EQ(dialogs.fileDialogs().size(), 1u);
        EXPECT_EQ(dialogs.boxes().size(), 1u);  // the question only: a cancel needs no message
    }
    {  // Yes, and the save fails: the user is told and the program stays.
        Rig rig(NoBoard());
        gui::ScriptedDialogs dialogs;
        const int result = rig.RunModal([&](CQuillfenDlg& w) {
            dialogs.answerBox(gui::id::Yes);
            dialogs.answerFile(QString::fromStdString((dir.path / "no-such-folder" / "x.bin").string()));
            rig.Command(gui::id::Cancel);
            EXPECT_TRUE(w.isRunningModal());
            w.endDialog(44);
        });
        EXPECT_EQ(result, 44);
        ASSERT_EQ(dialogs.boxes().size(), 2u);
        EXPECT_EQ(dialogs.boxes()[1].caption, QString("Save parameter setting"));
        EXPECT_FALSE(dialogs.boxes()[1].text.isEmpty());
    }
}
