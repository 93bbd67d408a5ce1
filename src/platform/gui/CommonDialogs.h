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

// GUI thread. owner may be null.
int messageBox(Window* owner, const QString& text, const QString& caption,
               MessageButtons buttons = MessageButtons::Ok, MessageIcon icon = MessageIcon::None);
QString openFileDialog(Window* owner, const QString& title, const std::vector<FileFilter>& filters,
                       const QString& defaultExtension = QString(), const QString& initialPath = QString());
QString saveFileDialog(Window* owner, const QString& title, const std::vector<FileFilter>& filters,
                       const QString& defaultExtension = QString(), const QString& initialPath = QString(),
                       bool confirmOverwrite = true);
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
