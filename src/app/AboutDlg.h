// The About box: the program's version and a two-column list of facts (the operating
// system, the USB connection, the board link's library version, the firmware versions
// of the board's two controllers).
//
// Owned by the application from start-up to shutdown; its window exists only while the
// main window runs it modally. Borrows the board link and the OS information, both of
// which outlive it. GUI thread only; reading the versions takes the board link's lock.
#pragma once

#include <cstddef>
#include <string>

#include "platform/gui/Dialog.h"

class COSVersionInfo;
class CRG1Micon;

namespace about {
inline constexpr int kVersionText = 1065;
inline constexpr int kList = 1031;
inline constexpr int kRefresh = 1066;
inline constexpr int kIcon = 1067;
}  // namespace about

class CAboutDlg : public gui::Dialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;

    static gui::DialogTemplate AboutTemplate();

    // Keeps at most 31 characters of text (of `length`, or of 32 when length is more).
    int SetVersion(const char* text, std::size_t length);
    // 1 when info is not null. Without it the three system rows are left out.
    int SetOSVersionInfo(const COSVersionInfo* info);
    // The board link whose state and versions the list shows; null: none.
    void SetBoardLink(CRG1Micon* board) { board_ = board; }

    int InitListColumns();
    // Rebuilds the rows from the board and the system; 1.
    int RefreshInformation();
    int AddRow(const QString& item, const QString& value);

    bool onInitDialog() override;
    gui::LResult windowProc(std::uint32_t message, gui::WParam w, gui::LParam l) override;

protected:
    gui::LResult onCommand(int id, int code, gui::Handle from) override;

private:
    CRG1Micon* board_ = nullptr;
    const COSVersionInfo* osInfo_ = nullptr;
    std::string version_;
};
