#include <gtest/gtest.h>

#include <QSettings>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>

#include "AppTestSupport.h"
#include "app/QuillfenApp.h"
#include "app/SingleInstance.h"
#include "platform/gui/CommonDialogs.h"
#include "ui/AppServices.h"

using namespace apptest;

namespace {

void Exit(CQuillfenDlg& w, Dialogs& dialogs) {
    dialogs.answerBox(gui::id::No);
    w.send(gui::msg::Command, gui::makeWParam(mainwin::kExitApplication, gui::notify::ButtonClicked), 0);
}

int IniValue(const std::filesystem::path& ini, const char* key) {
    QSettings s(QString::fromStdString(ini.string()), QSettings::IniFormat);
    return s.value(QString("WindowPosition/") + key, -99).toInt();
}

// Runs `child` forked as "nobody"; its exit code, or -1. Needs root.
int AsAnotherUser(const std::function<int()>& child) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
        ::_exit(child());
    }
    if (pid < 0) return -1;
    int status = 0;
    guitest::waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 10000);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct SocketAddress {
    explicit SocketAddress(const std::filesystem::path& lock) {
        address.sun_family = AF_UNIX;
        const QByteArray name = CSingleInstance::ServerName(lock).toUtf8();
        std::memcpy(address.sun_path + 1, name.constData(), static_cast<std::size_t>(name.size()));
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    }
    sockaddr_un address{};
    socklen_t length = 0;
};

// A client that connects and says nothing.
int ConnectTo(const SocketAddress& to) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&to.address), to.length) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

bool ClosedByServer(int fd) {
    pollfd p{fd, POLLIN, 0};
    char c;
    return ::poll(&p, 1, 0) == 1 && ::recv(fd, &c, 1, MSG_DONTWAIT) == 0;
}

}  // namespace

TEST(Startup, PositionsAreSavedAtShutdownAndRestoredUnlessCtrlIsHeld) {
    TempDir dir;
    const auto ini = dir.path() / "Tamsiro.ini";
    // As device pages leave the file: empty values must not block reading the rest.
    WritePositions(ini, {{"mainWindow.left", ""}, {"mainWindow.top", ""}});
    Dialogs dialogs;

    bool servicesShared = false;
    CQuillfenApp first(Options(dir.path(), false, [&](CQuillfenDlg& w) {
        servicesShared = appServices().data != nullptr && appServices().tasks != nullptr && appServices().board != nullptr;
        w.moveWindow(QRect(QPoint(123, 87), w.windowRect().size()));
        Exit(w, dialogs);
    }));
    EXPECT_EQ((std::tuple{first.InitInstance(), servicesShared}), (std::tuple{0, true}));
    EXPECT_EQ((std::tuple{appServices().data, first.GetDataContainer(), first.SettingsFile()}), (std::tuple{nullptr, nullptr, ini}));
    EXPECT_EQ((std::pair{IniValue(ini, "mainWindow.left"), IniValue(ini, "mainWindow.top")}), (std::pair{123, 87}));

    QPoint opened;
    CQuillfenApp second(Options(dir.path(), false, [&](CQuillfenDlg& w) {
        opened = w.windowRect().topLeft();
        Exit(w, dialogs);
    }));
    second.InitInstance();
    EXPECT_EQ(opened, QPoint(123, 87));
    EXPECT_EQ(dialogs.boxes().size(), 2u);  // the two save questions only

    // Ctrl held: told once, default place, the end place still saved.
    dialogs.answerBox(gui::id::Ok);
    CQuillfenApp third(Options(dir.path(), true, [&](CQuillfenDlg& w) {
        opened = w.windowRect().topLeft();
        w.moveWindow(QRect(QPoint(200, 100), w.windowRect().size()));
        Exit(w, dialogs);
    }));
    third.InitInstance();
    EXPECT_TRUE(third.StartedWithCtrl());
    EXPECT_NE(opened, QPoint(123, 87));
    ASSERT_EQ(dialogs.boxes().size(), 4u);
    const auto& ctrlBox = dialogs.boxes()[2];
    EXPECT_EQ(ctrlBox.text, QString("Tamsiro has detected Startup state with Ctrl key pressed.\n"
                                    "This will skip positional information restoration."));
    EXPECT_EQ((std::tuple{ctrlBox.caption, ctrlBox.icon, ctrlBox.owner}),
              (std::tuple{QString("Tamsiro startup Information"), gui::MessageIcon::Information, gui::Handle{0}}));
    std::vector<int> values;
    for (const char* key : {"mainWindow.left", "mainWindow.top", "mainWindow.right", "deviceWindow.left", "speedCurve.bottom"})
        values.push_back(IniValue(ini, key));
    EXPECT_EQ(values, (std::vector{200, 100, -99, 300, 240}));
}

TEST(Startup, ASecondStartShowsTheBoxAndBringsTheFirstWindowToTheFront) {
    TempDir dir;
    Dialogs dialogs;
    bool secondSawFirst = false, cameBack = false, active = false;
    CQuillfenApp first(Options(dir.path(), false, [&](CQuillfenDlg& w) {
        w.minimise();
        w.hide();
        CQuillfenApp second(Options(dir.path(), false, [](CQuillfenDlg&) { ADD_FAILURE() << "second main window"; }));
        EXPECT_EQ(second.InitInstance(), 0);
        secondSawFirst = second.WasAlreadyRunning();
        EXPECT_EQ(second.GetRG1Micon(), nullptr);
        cameBack = guitest::waitFor([&] { return w.isShown() && !w.widget()->isMinimized(); }, 3000);
        guitest::waitFor([&] { return w.widget()->isActiveWindow(); }, 1000);
        active = w.widget()->isActiveWindow();
        Exit(w, dialogs);
    }));
    first.InitInstance();
    EXPECT_EQ((std::tuple{first.WasAlreadyRunning(), secondSawFirst, cameBack, active}), (std::tuple{false, true, true, true}));
    ASSERT_GE(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].owner, 0u);
}

TEST(InstanceLock, NobodyListeningAnotherFolderAndAnUnusableLock) {
    TempDir dir;
    CSingleInstance first(dir.path() / "Tamsiro.lock");
    ASSERT_EQ(first.Acquire(), CSingleInstance::Result::First);
    CSingleInstance second(dir.path() / "Tamsiro.lock");
    EXPECT_EQ(second.Acquire(), CSingleInstance::Result::AlreadyRunning);
    EXPECT_FALSE(second.RequestShow(200));  // the first does not listen: no hang
    CSingleInstance elsewhere(dir.path() / "other" / "Tamsiro.lock");
    EXPECT_EQ(elsewhere.Acquire(), CSingleInstance::Result::First);
    EXPECT_NE(CSingleInstance::ServerName(dir.path() / "Tamsiro.lock"),
              CSingleInstance::ServerName(dir.path() / "other" / "Tamsiro.lock"));

    std::ofstream{dir.path() / "plain-file"};
    CSingleInstance impossible(dir.path() / "plain-file" / "Tamsiro.lock");
    EXPECT_EQ(impossible.Acquire(), CSingleInstance::Result::Unguarded);
}

TEST(InstanceLock, TheLockIsPrivateSoNoOtherUserCanHoldIt) {
    TempDir dir;
    const auto lock = dir.path() / "Tamsiro.lock";
    {  // A world-readable lock left by an older version.
        const int fd = ::open(lock.c_str(), O_CREAT | O_RDWR, 0644);
        ::fchmod(fd, 0644);
        ::close(fd);
    }
    CSingleInstance first(lock);
    ASSERT_EQ(first.Acquire(), CSingleInstance::Result::First);
    struct stat st{};
    ASSERT_EQ(::stat(lock.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    first.Release();
    if (::getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(AsAnotherUser([&] {
                  const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
                  return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
              }),
              0);
    CSingleInstance again(lock);
    EXPECT_EQ(again.Acquire(), CSingleInstance::Result::First);
}

class InstanceSocket : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(first.Acquire(), CSingleInstance::Result::First);
        ASSERT_TRUE(first.Listen([this] { ++shows; }));
    }
    TempDir dir;
    const std::filesystem::path lock = dir.path() / "Tamsiro.lock";
    CSingleInstance first{lock};
    int shows = 0;
};

TEST_F(InstanceSocket, SilentClientsNeverHoldTheWindowAndAreDroppedLater) {
    const SocketAddress to(lock);
    std::vector<int> silent;
    for (int i = 0; i < 6; ++i) {
        const int fd = ConnectTo(to);
        ASSERT_GE(fd, 0);
        silent.push_back(fd);
        guitest::waitFor([&] { return first.PendingClients() == silent.size(); }, 2000);
    }
    for (int i = 0; i < 20; ++i) {
        const int fd = ConnectTo(to);
        if (fd >= 0) silent.push_back(fd);
        guitest::settle();
    }
    EXPECT_LE(first.PendingClients(), CSingleInstance::kMaxClients);
    CSingleInstance second(lock);
    ASSERT_TRUE(second.RequestShow(2000));
    EXPECT_TRUE(guitest::waitFor([&] { return shows == 1; }, 5000));
    // Served while the newest silent clients were still connected.
    EXPECT_FALSE(ClosedByServer(silent.back()));
    EXPECT_TRUE(guitest::waitFor([&] { return first.PendingClients() == 0; }, 5000));
    for (int fd : silent) {
        EXPECT_TRUE(guitest::waitFor([&] { return ClosedByServer(fd); }, 2000));
        ::close(fd);
    }
    EXPECT_EQ(shows, 1);
}

TEST_F(InstanceSocket, AnotherUsersRequestIsRefused) {
    if (::getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    const SocketAddress to(lock);
    const int result = AsAnotherUser([&] {
        const int fd = ConnectTo(to);
        if (fd < 0) return 2;
        // Refused before the request is even sent is fine too.
        if (::send(fd, "show\n", 5, MSG_NOSIGNAL) != 5) return errno == EPIPE || errno == ECONNRESET ? 0 : 3;
        pollfd p{fd, POLLIN, 0};
        char c;
        return ::poll(&p, 1, 5000) == 1 && ::recv(fd, &c, 1, 0) <= 0 ? 0 : 3;  // closed or reset
    });
    EXPECT_EQ(result, 0);
    guitest::settle();
    EXPECT_EQ((std::tuple{shows, first.PendingClients()}), (std::tuple{0, 0u}));
    CSingleInstance second(lock);
    ASSERT_TRUE(second.RequestShow(2000));
    EXPECT_TRUE(guitest::waitFor([&] { return shows == 1; }, 5000));
}
