#include "app/FirmwareUpdateDlg.h"

#include "board/LoaderRecords.h"
#include "board/RG1Micon.h"
#include "platform/core/Debug.h"
#include "platform/core/NamedSync.h"
#include "platform/gui/CommonDialogs.h"
#include "res/firmware/FirmwareImages.h"
#include "tasks/ThreadCarrier.h"

using namespace fwupdate;

namespace {
constexpr int kOpenAttempts = 5;
constexpr int kRequestAttempts = 3;
constexpr const char* kEventName = "FirmUpdateEvent";
}  // namespace

const char* fwupdate::StatusTextOf(int index) {
    static const char* const kTexts[kTextCount] = {
        "Update Waiting",         "Update Skip (Suitable Version)", "Changing sequence ...",
        "Checking Device GUID",   "Firmware Updating (Don't Disconnect)", "Please reconnect",
        "Update Finished"};
    return index >= 0 && index < kTextCount ? kTexts[index] : "";
}

std::string fwupdate::FormatResult(int controllerIndex, int result) {
    const std::string name = controllerIndex == 0 ? "MV6120" : "MV6230";
    if (result == -1) return name + ": Update Skip";
    if (result == 0) return name + ": Update skip";
    if (result == 1) return name + ": Update Success";
    if (result == kSuccessBoardAway) return name + ": Update Success (the board has not come back: please reconnect)";
    return name + ": Update error";
}

CFirmwareUpdateDlg::CFirmwareUpdateDlg(CRG1Micon* board) : gui::Dialog(UpdateTemplate()), board_(board) {}

CFirmwareUpdateDlg::~CFirmwareUpdateDlg() {
    Abort();
    if (worker_) worker_->Join();
    if (exists()) destroy();
}

gui::DialogTemplate CFirmwareUpdateDlg::UpdateTemplate() {
    using gui::ControlKind;
    namespace st = gui::style;
    gui::DialogTemplate t;
    t.caption = QStringLiteral("Firmware Update");
    t.size = QSize(301, 44);
    t.fontFace = QStringLiteral("Arial");
    t.pointSize = 8;
    // No close box: the update cannot be cancelled from here.
    t.style = gui::dialogStyle::Caption;
    t.items = {
        {ControlKind::GroupBox, -1, QStringLiteral("Update Status"), QRect(6, 3, 288, 36), st::Visible},
        {ControlKind::Static, -1, QStringLiteral("MV6120 Status"), QRect(15, 15, 84, 8), st::Visible},
        {ControlKind::Static, -1, QStringLiteral("MV6230 Status"), QRect(15, 27, 84, 8), st::Visible},
        {ControlKind::Static, kFirstStatus, QString(), QRect(105, 12, 183, 11), st::Visible | st::ClientEdge},
        {ControlKind::Static, kSecondStatus, QString(), QRect(105, 24, 183, 11), st::Visible | st::ClientEdge},
    };
    return t;
}

bool CFirmwareUpdateDlg::onInitDialog() {
    gui::Dialog::onInitDialog();
    self_ = handle();
    event_ = platform::createNamedEvent(kEventName, true, false);
    event_->set();
    return true;
}

bool CFirmwareUpdateDlg::StartUpdate(int mask, int firstImage, int secondImage) {
    if (!exists() || worker_ || board_ == nullptr) return false;
    mask_ = mask;
    images_ = {firstImage, secondImage};
    worker_ = std::make_unique<CThreadCarrier>([this] { return static_cast<std::uint32_t>(RunUpdateSequence()); });
    return worker_->Start() != 0;
}

void CFirmwareUpdateDlg::Abort() {
    abort_ = true;
    if (event_) event_->set();
}

bool CFirmwareUpdateDlg::Running() const { return worker_ && worker_->IsActive(); }

gui::LResult CFirmwareUpdateDlg::windowProc(std::uint32_t message, gui::WParam w, gui::LParam l) {
    switch (message) {
        case gui::msg::DeviceChange:
            // Wakes the worker's wait; it looks at the board itself.
            if (event_) event_->set();
            return 1;
        case kStatusMessage:
            if (Window* line = item(static_cast<int>(w))) line->setText(QString::fromLatin1(StatusTextOf(static_cast<int>(l))));
            return 1;
        case kDoneMessage: {
            // Posting this was the worker's last act: once it has ended, the end the
            // owner hears means nothing of the update runs any more.
            if (worker_) worker_->Join();
            const int first = static_cast<int>(static_cast<std::int32_t>(w));
            const int second = static_cast<int>(static_cast<std::int32_t>(l));
            const QString text = QStringLiteral("Update Finished.\n%1\n%2")
                                     .arg(QString::fromStdString(FormatResult(0, first)),
                                          QString::fromStdString(FormatResult(1, second)));
            gui::messageBox(this, text, QString::fromLatin1(kCaption), gui::MessageButtons::Ok,
                            gui::MessageIcon::Information);
            gui::post(owner_, gui::msg::FirmwareUpdateEnded, 0, 0);
            return 1;
        }
        case gui::msg::Destroy:
            // The worker's posts would find no window: it ends first.
            Abort();
            if (worker_) worker_->Join();
            break;
        default:
            break;
    }
    return gui::Dialog::windowProc(message, w, l);
}

// --- worker thread ---

void CFirmwareUpdateDlg::Show(int line, int text) { gui::post(self_, kStatusMessage, static_cast<gui::WParam>(line), text); }

int CFirmwareUpdateDlg::RunUpdateSequence() {
    std::array<int, 2> results = {-1, -1};
    for (int c = 0; c < 2 && !abort_; ++c) {
        line_ = c == 0 ? kFirstStatus : kSecondStatus;
        Show(line_, kWaiting);
        if ((mask_ & (1 << c)) == 0) {
            Show(line_, kSkip);
            continue;
        }
        results[static_cast<std::size_t>(c)] = UpdateController(c, images_[static_cast<std::size_t>(c)]);
        const int r = results[static_cast<std::size_t>(c)];
        platform::debugOutf("Firmware update: %s\n", fwupdate::FormatResult(c, r).c_str());
        // Without the board back on its port the other controller cannot be reached.
        if (r == 6 || r == 7 || boardAway_) break;
    }
    if (abort_) return 1;
    // The link's frame variants follow the new firmware.
    std::uint16_t main = 0, second = 0;
    board_->GetVersion(&main, &second, 1);
    Finish(results[0], results[1]);
    return 0;
}

void CFirmwareUpdateDlg::Finish(int first, int second) {
    gui::post(self_, kDoneMessage, static_cast<gui::WParam>(static_cast<std::uint32_t>(first)),
              static_cast<gui::LParam>(second));
}

int CFirmwareUpdateDlg::EnterBootSequence(int controllerFlag) {
    // A request the board did not acknowledge (a garbled or lost reply, a busy line) is
    // sent again a few times; the search below is bounded either way, so a board that
    // never took it ends in an error, not a wait without end.
    bool taken = false;
    for (int attempt = 0; attempt < kRequestAttempts && !taken && !abort_; ++attempt) {
        taken = board_->RequestFirmwareMode(controllerFlag) == 1;
    }
    if (!taken) platform::debugOut("Firmware update: the board did not acknowledge the boot request\n");
    Show(line_, kChanging);
    board_->Close();
    Show(line_, kChecking);
    int result = 0;
    for (int attempt = 0; attempt < kOpenAttempts && !abort_; ++attempt) {
        result = board_->OpenLoaderDevice(&abort_);
        // A search that ran out has waited its whole time-out already.
        if (result == 1 || result == loader::kOpenNotFound) break;
    }
    // The board has left its port for the loader: the link learns it now, so that its
    // return counts as an arrival.
    board_->CheckConnection();
    return result;
}

int CFirmwareUpdateDlg::UpdateController(int controllerFlag, int imageId) {
    const int entered = EnterBootSequence(controllerFlag);
    Show(line_, kUpdating);
    int result = 0;
    if (entered == 1) {
        const std::string_view image = firmware::Image(imageId);
        result = board_->DownloadFirmware(controllerFlag, image, &abort_);
    } else {
        result = entered == 0 ? 6 : 7;
    }
    Show(line_, kReconnect);
    boardAway_ = !WaitForBoard();
    if (boardAway_) {
        platform::debugOut("Firmware update: the board did not come back\n");
        // The image is in: a board that is slow to come back is no failed download.
        if (result == 1) result = kSuccessBoardAway;
    }
    Show(line_, kFinished);
    return result;
}

bool CFirmwareUpdateDlg::WaitForBoard() {
    // Device changes set the event early; the link is looked at on every wake.
    std::uint32_t waited = 0;
    while (!abort_ && waited < timing_.reconnectMs) {
        if (event_) event_->reset();
        board_->CheckConnection();
        if (board_->IsConnected() == 1 && board_->Open(0) == 1) return true;
        if (event_) event_->wait(timing_.lookMs);
        waited += timing_.lookMs;
    }
    return false;
}
