#include <gtest/gtest.h>

#include <fstream>

#include "AppTestSupport.h"
#include "platform/gui/CommonDialogs.h"

using namespace apptest;

TEST(MainWindowLists, EachMotorTypeListsExactlyItsDriversInTableOrder) {
    const auto shownKeys = [](Rig& rig) {
        std::vector<std::uint32_t> keys;
        EXPECT_EQ(rig.DriverTexts().size(), rig.window->ShownDevices().size());
        for (const auto& d : rig.window->ShownDevices()) keys.push_back(devicetable::Key(d.code));
        return keys;
    };
    std::vector<std::vector<std::uint32_t>> byType(5);
    for (const auto& e : devicetable::FullList()) {
        const std::uint32_t key = devicetable::Key(e.code);
        if (key >> 8 >= 1 && key >> 8 <= 4) byType[key >> 8].push_back(key);
    }
    Rig rig(NoBoard());
    ASSERT_TRUE(rig.Open());
    // Opening: the separator and every model of kinds 1 to 4 (not the lens, kind 5).
    EXPECT_EQ(rig.window->itemAs<gui::ComboBox>(mainwin::kMotorTypeList)->curSel(), 0);
    std::vector<std::uint32_t> all = {0x000};
    for (const auto& t : byType) all.insert(all.end(), t.begin(), t.end());
    EXPECT_EQ((std::tuple{shownKeys(rig), rig.DriverTexts().at(0)}), (std::tuple{all, "----------"}));

    for (std::uint32_t type = 1; type <= 4; ++type) {
        rig.ChooseMotorType(static_cast<int>(type));
        EXPECT_EQ(shownKeys(rig), byType[type]) << type;
        EXPECT_EQ((std::tuple{rig.window->itemAs<gui::ComboBox>(mainwin::kDriverList)->curSel(), rig.OkEnabled()}), (std::tuple{-1, false}));
    }
    rig.ChooseMotorType(2);
    rig.ChooseDriver(4);
    EXPECT_EQ(rig.window->Code(), 0x02070000u);

    // A range without models lists "(N/A)" alone.
    rig.window->FillDriverList(0x600, 0x699);
    EXPECT_EQ(rig.DriverTexts(), std::vector<std::string>{"(N/A)"});
    ASSERT_EQ(rig.window->ShownDevices().size(), 1u);
    EXPECT_EQ(rig.window->ShownDevices()[0].code, 0x80000999u);
    rig.ChooseDriver(0);
    EXPECT_EQ((std::tuple{rig.window->Kind(), rig.window->CurrentPage(), rig.OkEnabled()}), (std::tuple{0x80u, nullptr, false}));
}

TEST(MainWindowParameters, SaveAndLoadGoThroughTheFileDialogsAndTheLoadReachesThePage) {
    TempDir dir;
    Rig rig(NoBoard(), true);
    rig.settings.SetPath(dir.path() / "Tamsiro.ini");
    rig.names.SetSettings(&rig.settings);
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(rig.ChooseDriverNamed("KT3376A"));
    rig.pageLog.clear();

    const std::string file = (dir.path() / "set.bin").string();
    ASSERT_EQ(rig.data.SelectContainer(0x106), 1);
    ASSERT_EQ(rig.data.SetValue(7, 0x12345678u), 1);
    Dialogs dialogs;
    dialogs.answerFile(QString::fromStdString(file));
    rig.Command(mainwin::kSaveParameters);
    ASSERT_EQ(dialogs.fileDialogs().size(), 1u);
    EXPECT_EQ((std::pair{dialogs.fileDialogs()[0].title, dialogs.fileDialogs()[0].owner}),
              (std::pair{QString("Save As local PC"), rig.window->handle()}));
    EXPECT_EQ(dialogs.fileDialogs()[0].filters.at(0).description, QString("Motor driver GUI setting file(*.bin)"));
    EXPECT_EQ((std::tuple{std::filesystem::file_size(file), dialogs.boxes().empty()}), (std::tuple{32896u, true}));

    // Changed after the save, then loaded back.
    ASSERT_EQ(rig.data.SetValue(7, 1), 1);
    dialogs.answerFile(QString::fromStdString(file));
    rig.Command(mainwin::kLoadParameters);
    EXPECT_EQ(dialogs.fileDialogs().at(1).title, QString("Open file"));
    EXPECT_TRUE(dialogs.fileDialogs()[0].initialPath.isEmpty());  // nothing chosen before
    EXPECT_EQ(dialogs.fileDialogs()[1].initialPath, QString::fromStdString(dir.path().string()));
    ASSERT_TRUE(rig.settings.Flush());
    {
        CSettingsStore reread;
        reread.SetPath(dir.path() / "Tamsiro.ini");
        EXPECT_EQ(reread.GetString("FileDialog", "lastFolder"), QString::fromStdString(dir.path().string()));
    }
    EXPECT_EQ(rig.data.GetValue(7), 0x12345678u);
    EXPECT_EQ((std::tuple{rig.pageLog, dialogs.boxes().empty()}), (std::tuple{PageLog{{gui::msg::ReapplyDeviceData, 0}}, true}));

    // A cancelled dialog changes nothing and says nothing; the page is told all the same.
    rig.pageLog.clear();
    rig.Command(mainwin::kLoadParameters);
    rig.Command(mainwin::kSaveParameters);
    EXPECT_EQ((std::tuple{dialogs.boxes().empty(), rig.pageLog}),
              (std::tuple{true, PageLog{{gui::msg::ReapplyDeviceData, 0}}}));
    rig.pageLog.clear();

    // A damaged file: the first record loads, the unknown key stops the load.
    const std::string damaged = (dir.path() / "damaged.bin").string();
    std::string bytes(1028 * 2, '\0');
    std::ifstream(file, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes[1028] = 0x77;  // the second record's key becomes 0x177
    std::ofstream(damaged, std::ios::binary) << bytes;
    dialogs.answerFile(QString::fromStdString(damaged));
    rig.Command(mainwin::kLoadParameters);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ((std::pair{dialogs.boxes()[0].caption, dialogs.boxes()[0].text.toStdString()}),
              (std::pair{QString("Load parameter setting"), rig.data.LastFileReport().message}));
    EXPECT_TRUE(dialogs.boxes()[0].text.contains("unknown device key"));
    EXPECT_EQ(rig.pageLog.size(), 1u);
}

TEST(MainWindowExit, TheSaveQuestionsThreeAnswers) {
    TempDir dir;
    const QString file = QString::fromStdString((dir.path() / "exit.bin").string());
    auto question = [](const gui::MessageBoxRequest& r) {
        return r.text == QString("Save parameter setting ?") && r.caption == QString("Question") &&
               r.buttons == gui::MessageButtons::YesNoCancel && r.icon == gui::MessageIcon::Information;
    };
    // True when the program quit, false when it still ran 100 ms later.
    auto quits = [](Dialogs& dialogs, const std::function<void(Rig&)>& ask, int answer,
                    const QString& path = {}) {
        Rig rig(NoBoard());
        const int result = rig.RunModal(
            [&](CQuillfenDlg&) {
                dialogs.answerBox(answer);
                if (!path.isEmpty()) dialogs.answerFile(path);
                ask(rig);
            },
            100);
        EXPECT_TRUE(result == gui::id::Cancel || result == -99) << result;
        return result == gui::id::Cancel;
    };
    const auto closeBox = [](Rig& r) { r.window->send(gui::msg::SysCommand, gui::syscmd::Close, 0); };
    const auto exitItem = [](Rig& r) { r.Command(mainwin::kExitApplication); };
    const auto cancel = [](Rig& r) { r.Command(gui::id::Cancel); };

    {  // Cancel keeps the program running; the close box and Exit ask the same.
        Dialogs dialogs;
        EXPECT_FALSE(quits(dialogs, closeBox, gui::id::Cancel) || quits(dialogs, exitItem, gui::id::Cancel));
        ASSERT_EQ((std::pair{dialogs.boxes().size(), dialogs.fileDialogs().size()}), (std::pair{2ul, 0ul}));
        EXPECT_EQ((std::tuple{question(dialogs.boxes()[0]), question(dialogs.boxes()[1])}), (std::tuple{true, true}));
    }
    {  // No quits without saving.
        Dialogs dialogs;
        EXPECT_TRUE(quits(dialogs, cancel, gui::id::No));
        EXPECT_EQ((std::pair{dialogs.boxes().size(), dialogs.fileDialogs().size()}), (std::pair{1ul, 0ul}));
    }
    {  // Yes saves every device, then quits.
        Dialogs dialogs;
        EXPECT_TRUE(quits(dialogs, exitItem, gui::id::Yes, file));
        EXPECT_EQ((std::tuple{std::filesystem::file_size(file.toStdString()), dialogs.boxes().size()}), (std::tuple{32896u, 1u}));
    }
    {  // Yes, then the file dialog is cancelled: no message.
        Dialogs dialogs;
        EXPECT_FALSE(quits(dialogs, cancel, gui::id::Yes));
        EXPECT_EQ((std::pair{dialogs.boxes().size(), dialogs.fileDialogs().size()}), (std::pair{1ul, 1ul}));
    }
    {  // Yes, and the save fails.
        Dialogs dialogs;
        const QString unwritable = QString::fromStdString((dir.path() / "none" / "x.bin").string());
        EXPECT_FALSE(quits(dialogs, cancel, gui::id::Yes, unwritable));
        ASSERT_EQ(dialogs.boxes().size(), 2u);
        EXPECT_EQ(dialogs.boxes()[1].caption, QString("Save parameter setting"));
        EXPECT_FALSE(dialogs.boxes()[1].text.isEmpty());
    }
}
