// Message boxes, file dialogs and the clipboard, behind providers that tests replace.
//
// The real providers (QMessageBox, QFileDialog, QClipboard) are installed by default.
// ScriptedDialogs answers from a script and records every request, so code that asks
// the user can run headless.
#pragma once

#include <QString>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/gui/Messages.h"

namespace gui {

class Window;

enum class MessageIcon { None, Information, Question, Warning, Error };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

struct MessageBoxRequest {
    Handle owner = 0;
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

struct FileFilter {
    QString description;  // "MS-Excel CSV files(*.csv)"
    QString pattern;      // "*.csv" (several separated by ';')
    bool operator==(const FileFilter&) const = default;
};

// Reads the system's filter string "Description|pattern|Description|pattern|" (a
// trailing "|" or "||" is allowed). A description without a pattern is dropped.
std::vector<FileFilter> parseFilterString(const QString& filters);
// The filters as QFileDialog name filters: "Description (pattern pattern)", with the
// pattern added only when the description does not already show it.
QStringList toNameFilters(const std::vector<FileFilter>& filters);

struct FileDialogRequest {
    Handle owner = 0;
    bool save = false;
    QString title;
    std::vector<FileFilter> filters;
    QString defaultExtension;  // without the dot: "csv"
    QString initialPath;
    bool confirmOverwrite = true;  // save dialogs only
};

class IMessageBoxProvider {
public:
    virtual ~IMessageBoxProvider() = default;
    // Returns id::Ok, id::Cancel, id::Yes, id::No, ...
    virtual int show(const MessageBoxRequest& request) = 0;
};

class IFileDialogProvider {
public:
    virtual ~IFileDialogProvider() = default;
    // The chosen path, empty when cancelled.
    virtual QString choose(const FileDialogRequest& request) = 0;
};

class IClipboardProvider {
public:
    virtual ~IClipboardProvider() = default;
    virtual bool setText(const QString& text) = 0;
};

// Installs a provider (borrowed; it must outlive its use); null restores the real one.
void setMessageBoxProvider(IMessageBoxProvider* provider);
void setFileDialogProvider(IFileDialogProvider* provider);
void setClipboardProvider(IClipboardProvider* provider);

// GUI thread. owner may be null. Each runs a nested loop (detail::runModalLoop) in
// which only the owner's window takes no input, and every other window, posted
// message and timer goes on: the caller's own window may be destroyed meanwhile (the
// board is unplugged and the main window deletes the page that asked).
//
// When the owner is destroyed while the box or file dialog is open, the dialog closes
// at once and the call returns what a cancel gives: a box the answer Esc would have
// given (id::Cancel; id::No for Yes/No; id::Ok for OK alone), a file dialog an empty
// name. So after the call a caller that may lose its window checks it before it goes on
// with its window's state: `if (!exists()) return;`. The owner object itself is still
// valid then, and until the caller's handler returns: windows are freed only through
// the deferred delete, which waits for the handlers and modal runs on the stack. The
// optional ownerGone tells the same explicitly: true when an owner was given and it no
// longer exists after the call.
int messageBox(Window* owner, const QString& text, const QString& caption,
               MessageButtons buttons = MessageButtons::Ok, MessageIcon icon = MessageIcon::None,
               bool* ownerGone = nullptr);
QString openFileDialog(Window* owner, const QString& title, const std::vector<FileFilter>& filters,
                       const QString& defaultExtension = QString(), const QString& initialPath = QString(),
                       bool* ownerGone = nullptr);
QString saveFileDialog(Window* owner, const QString& title, const std::vector<FileFilter>& filters,
                       const QString& defaultExtension = QString(), const QString& initialPath = QString(),
                       bool confirmOverwrite = true, bool* ownerGone = nullptr);
bool setClipboardText(const QString& text);

// Answers from a script and records the requests; installs itself for its lifetime.
class ScriptedDialogs final : public IMessageBoxProvider, public IFileDialogProvider, public IClipboardProvider {
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Answers in order; when they run out a box answers id::Cancel (id::Ok for a box
    // with only OK) and a file dialog is cancelled.
    void answerBox(int result) { boxAnswers_.push_back(result); }
    void answerFile(const QString& path) { fileAnswers_.push_back(path); }
    void failClipboard(bool fail) { clipboardFails_ = fail; }

    const std::vector<MessageBoxRequest>& boxes() const { return boxes_; }
    const std::vector<FileDialogRequest>& fileDialogs() const { return files_; }
    const std::vector<QString>& clipboard() const { return clipboard_; }

    int show(const MessageBoxRequest& request) override;
    QString choose(const FileDialogRequest& request) override;
    bool setText(const QString& text) override;

private:
    std::deque<int> boxAnswers_;
    std::deque<QString> fileAnswers_;
    std::vector<MessageBoxRequest> boxes_;
    std::vector<FileDialogRequest> files_;
    std::vector<QString> clipboard_;
    bool clipboardFails_ = false;
};

}  // namespace gui
