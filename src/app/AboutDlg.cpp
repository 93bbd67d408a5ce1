#include "app/AboutDlg.h"

#include <algorithm>
#include <cstring>

#include "app/OSVersionInfo.h"
#include "board/RG1Micon.h"
#include "platform/core/Debug.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Resources.h"

using namespace about;

CAboutDlg::CAboutDlg() : gui::Dialog(AboutTemplate()) {}

CAboutDlg::~CAboutDlg() {
    if (exists()) destroy();
}

gui::DialogTemplate CAboutDlg::AboutTemplate() {
    using gui::ControlKind;
    namespace st = gui::style;
    gui::DialogTemplate t;
    t.caption = QStringLiteral("About Tamsiro");
    t.size = QSize(267, 193);
    t.fontFace = QStringLiteral("Arial");
    t.pointSize = 8;
    t.items = {
        {ControlKind::Icon, kIcon, QString(), QRect(12, 12, 20, 20), st::Visible},
        {ControlKind::Static, -1, QStringLiteral("Tamsiro"), QRect(42, 6, 57, 8), st::Visible},
        {ControlKind::Static, kVersionText, QStringLiteral("Version 1.0.0.1"), QRect(42, 24, 60, 8), st::Visible},
        {ControlKind::Static, -1, QStringLiteral("Evaluation tool for motor driver chips."),
         QRect(42, 14, 186, 8), st::Visible},
        {ControlKind::Static, -1, QStringLiteral("Works the evaluation board over USB."),
         QRect(42, 36, 186, 8), st::Visible},
        {ControlKind::ListView, kList, QString(), QRect(3, 57, 258, 108), st::Visible | st::Border | st::TabStop},
        {ControlKind::PushButton, kRefresh, QStringLiteral("Refresh"), QRect(135, 171, 50, 14),
         st::Visible | st::TabStop},
        {ControlKind::PushButton, gui::id::Ok, QStringLiteral("OK"), QRect(210, 171, 50, 14),
         st::Visible | st::TabStop | st::DefaultButton},
    };
    return t;
}

int CAboutDlg::SetVersion(const char* text, std::size_t length) {
    version_.clear();
    if (text == nullptr) return 1;
    // The field holds 32 characters with its terminator.
    const std::size_t limit = std::min<std::size_t>(length, 31);
    version_.assign(text, ::strnlen(text, limit));
    return 1;
}

int CAboutDlg::SetOSVersionInfo(const COSVersionInfo* info) {
    osInfo_ = info;
    return info != nullptr ? 1 : 0;
}

bool CAboutDlg::onInitDialog() {
    gui::Dialog::onInitDialog();
    if (auto* icon = itemAs<gui::StaticText>(kIcon)) {
        const QIcon program = gui::loadIcon(gui::resource::ProgramIcon);
        if (!program.isNull()) icon->setImage(program.pixmap(32, 32).toImage());
    }
    InitListColumns();
    RefreshInformation();
    return true;
}

int CAboutDlg::InitListColumns() {
    auto* list = itemAs<gui::ListView>(kList);
    if (list == nullptr) return 0;
    list->insertColumn(0, QStringLiteral("Item"), 150);
    list->insertColumn(1, QStringLiteral(" Current Parameter"), 270);
    return 1;
}

int CAboutDlg::AddRow(const QString& item, const QString& value) {
    auto* list = itemAs<gui::ListView>(kList);
    if (list == nullptr) return 0;
    const int row = list->insertItem(list->itemCount(), item.left(255));
    if (row < 0) return 0;
    list->setItemText(row, 1, value.left(255));
    return 1;
}

int CAboutDlg::RefreshInformation() {
    if (auto* list = itemAs<gui::ListView>(kList)) list->deleteAllItems();
    if (osInfo_ != nullptr) {
        AddRow(QStringLiteral("OS Type"), QString::fromStdString(osInfo_->GetName()));
        AddRow(QStringLiteral("OS Edition"), QString::fromStdString(osInfo_->GetEdition()));
        AddRow(QStringLiteral("Architecture"), QString::fromStdString(osInfo_->GetArchitecture()));
    }
    if (Window* text = item(kVersionText)) text->setText(QStringLiteral("Version ") + QString::fromStdString(version_));

    char library[16] = {};
    if (board_ != nullptr) board_->GetDllVersion(library, sizeof library);
    const QString libraryText = QString::fromLatin1(library);
    if (board_ != nullptr && board_->IsConnected() != 0) {
        std::uint16_t main = 0;
        std::uint16_t second = 0;
        board_->GetVersion(&main, &second, 1);
        const auto hex = [](std::uint16_t v) { return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper(); };
        AddRow(QStringLiteral("USB connection"), QStringLiteral("Connection"));
        AddRow(QStringLiteral("Dll Version"), libraryText);
        AddRow(QStringLiteral("MV6120 Version"), hex(main));
        AddRow(QStringLiteral("MV6230 Version"), hex(second));
    } else {
        AddRow(QStringLiteral("USB connection"), QStringLiteral("Disconnect"));
        AddRow(QStringLiteral("Dll Version"), libraryText);
        AddRow(QStringLiteral("MV6120 Version"), QStringLiteral("-not detected-"));
        AddRow(QStringLiteral("MV6230 Version"), QStringLiteral("-not detected-"));
    }
    return 1;
}

gui::LResult CAboutDlg::onCommand(int id, int code, gui::Handle from) {
    if (id == kRefresh && code == gui::notify::ButtonClicked) RefreshInformation();
    if (id == gui::id::Ok || id == gui::id::Cancel || id == 8) platform::debugOut("AboutBox: ID_OK/ID_Cancel/ID_Close\n");
    return gui::Dialog::onCommand(id, code, from);
}

gui::LResult CAboutDlg::windowProc(std::uint32_t message, gui::WParam w, gui::LParam l) {
    if (message == gui::msg::Close) platform::debugOut("AboutBox: Close\n");
    if (message == gui::msg::Destroy) platform::debugOut("AboutBox: Destroy\n");
    return gui::Dialog::windowProc(message, w, l);
}
