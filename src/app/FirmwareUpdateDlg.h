// The firmware update dialog: one status line per controller while a worker thread
// rewrites the selected controllers through the boot loader, waits for the board to come
// back on its port, and reports.
//
// Made modeless by the main window, which owns it until the worker's 0x8280 and then
// frees it through the deferred delete. Borrows the board link, which outlives it. The
// worker never touches a window: it posts its status lines and its result to the dialog
// (GUI thread), which shows them and the closing message box. Every wait of the worker
// is bounded and ends at once when the update is aborted (Abort, or the dialog's
// window going).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gui/Dialog.h"

class CRG1Micon;
class CThreadCarrier;
namespace platform {
class NamedEvent;
}

namespace fwupdate {
inline constexpr int kFirstStatus = 1078;
inline constexpr int kSecondStatus = 1079;
// The worker's posts to the dialog.
inline constexpr std::uint32_t kStatusMessage = 0x8290;  // w: status line id, l: text index
inline constexpr std::uint32_t kDoneMessage = 0x8291;    // w: first result, l: second result
inline constexpr const char* kCaption = "Tamsiro Firmware Update";

// The status texts, by the index the worker posts.
enum StatusText : int { kWaiting, kSkip, kChanging, kChecking, kUpdating, kReconnect, kFinished, kTextCount };
const char* StatusTextOf(int index);
// A controller's result when its download succeeded but the board had not come back on
// its port by the end of the wait: the new firmware is in, the link is not open.
inline constexpr int kSuccessBoardAway = 8;
// "MV6120: Update Success" and the like, for -1 (not tried), 0, 1, kSuccessBoardAway and
// any other result (an error).
std::string FormatResult(int controllerIndex, int result);
}  // namespace fwupdate

class CFirmwareUpdateDlg : public gui::Dialog {
public:
    // How long the worker waits for the board after a download, and how often it looks.
    // A board not back by then ends the update (the other controller cannot be reached);
    // a download that succeeded still counts as one, and the main window takes the board
    // when it arrives later.
    struct Timing {
        std::uint32_t reconnectMs = 30000;
        std::uint32_t lookMs = 100;
    };

    explicit CFirmwareUpdateDlg(CRG1Micon* board);
    ~CFirmwareUpdateDlg() override;  // aborts and joins the worker

    static gui::DialogTemplate UpdateTemplate();
    void SetTiming(Timing timing) { timing_ = timing; }
    // The window told 0x8280 when the update has ended (the main window).
    void SetOwner(gui::Handle owner) { owner_ = owner; }

    // Keeps the mask (bit 0 the first controller, bit 1 the second) and the two image
    // resource ids, and starts the worker. The window must exist (createModeless).
    bool StartUpdate(int mask, int firstImage, int secondImage);
    // Ends the worker's waits and the download between two requests.
    void Abort();
    bool Running() const;

    bool onInitDialog() override;
    // Enter and Esc do nothing: the update offers no cancel and must stay in sight.
    void onOk() override {}
    void onCancel() override {}
    gui::LResult windowProc(std::uint32_t message, gui::WParam w, gui::LParam l) override;

    // --- the worker's steps (worker thread) ---
    int RunUpdateSequence();
    int UpdateController(int controllerFlag, int imageId);
    int EnterBootSequence(int controllerFlag);

private:
    void Show(int line, int text);
    bool WaitForBoard();
    void Finish(int first, int second);

    CRG1Micon* board_;
    Timing timing_;
    std::unique_ptr<CThreadCarrier> worker_;
    std::shared_ptr<platform::NamedEvent> event_;
    std::atomic<bool> abort_{false};
    std::atomic<int> line_{fwupdate::kFirstStatus};
    int mask_ = 0;
    std::array<int, 2> images_{};
    gui::Handle self_ = 0;
    gui::Handle owner_ = 0;
    bool boardAway_ = false;  // the last wait for the board ran out (worker thread only)
};
