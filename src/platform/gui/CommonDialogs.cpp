#include "platform/gui/CommonDialogs.h"

#include <QClipboard>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

#include "platform/gui/Application.h"
#include "platform/gui/Internal.h"
#include "platform/gui/Window.h"

namespace gui {

namespace {

QWidget* ownerWidget(Handle owner) {
    Window* w = Window::fromHandle(owner);
    return w != nullptr && w->widget() != nullptr ? w->widget()->window() : nullptr;
}

// Runs a common dialog as the system runs a modal one: a nested loop in which only its
// owner takes no input (QDialog::exec would block every window of the program).
// Returns the dialog's finishing code, or -1 when the program's quit ended the loop.
int runOwnedModal(QDialog& dialog, Handle owner) {
    detail::ModalFocus focus(ownerWidget(owner));
    detail::OwnerInputBlock ownerBlocked(ownerWidget(owner));
    dialog.setWindowModality(Qt::NonModal);
    if (Application::quitPosted()) return -1;
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, [&loop](int code) { loop.exit(code); });
    Application::pushModalLoop(&loop);
    dialog.show();
    detail::ModalFocus::take(&dialog);
    const int code = loop.exec(QEventLoop::DialogExec);
    Application::popModalLoop(&loop);
    dialog.hide();
    focus.giveBack();
    return code;
}

class QtMessageBoxes final : public IMessageBoxProvider {
public:
    int show(const MessageBoxRequest& r) override {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (r.icon) {
            case MessageIcon::None: icon = QMessageBox::NoIcon; break;
            case MessageIcon::Information: icon = QMessageBox::Information; break;
            case MessageIcon::Question: icon = QMessageBox::Question; break;
            case MessageIcon::Warning: icon = QMessageBox::Warning; break;
            case MessageIcon::Error: icon = QMessageBox::Critical; break;
        }
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        switch (r.buttons) {
            case MessageButtons::Ok: buttons = QMessageBox::Ok; break;
            case MessageButtons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
            case MessageButtons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
            case MessageButtons::YesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
            case MessageButtons::RetryCancel: buttons = QMessageBox::Retry | QMessageBox::Cancel; break;
            case MessageButtons::AbortRetryIgnore: buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore; break;
        }
        QMessageBox box(icon, r.caption, r.text, buttons, ownerWidget(r.owner));
        runOwnedModal(box, r.owner);
        switch (box.clickedButton() != nullptr ? box.standardButton(box.clickedButton()) : QMessageBox::NoButton) {
            case QMessageBox::Ok: return id::Ok;
            case QMessageBox::Cancel: return id::Cancel;
            case QMessageBox::Yes: return id::Yes;
            case QMessageBox::No: return id::No;
            case QMessageBox::Retry: return id::Retry;
            case QMessageBox::Abort: return id::Abort;
            case QMessageBox::Ignore: return id::Ignore;
            default:  // closed without a button: what Esc would have given
                return r.buttons == MessageButtons::Ok ? id::Ok : r.buttons == MessageButtons::YesNo ? id::No : id::Cancel;
        }
    }
};

class QtFileDialogs final : public IFileDialogProvider {
public:
    QString choose(const FileDialogRequest& r) override {
        QFileDialog dialog(ownerWidget(r.owner), r.title, r.initialPath);
        dialog.setNameFilters(toNameFilters(r.filters));
        dialog.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(r.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (!r.defaultExtension.isEmpty()) dialog.setDefaultSuffix(r.defaultExtension);
        if (r.save && !r.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (runOwnedModal(dialog, r.owner) != QDialog::Accepted) return QString();
        return dialog.selectedFiles().value(0);
    }
};

class QtClipboard final : public IClipboardProvider {
public:
    bool setText(const QString& text) override {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard == nullptr) return false;
        clipboard->setText(text);
        return true;
    }
};

QtMessageBoxes g_realBoxes;
QtFileDialogs g_realFiles;
QtClipboard g_realClipboard;
IMessageBoxProvider* g_boxes = &g_realBoxes;
IFileDialogProvider* g_files = &g_realFiles;
IClipboardProvider* g_clipboard = &g_realClipboard;

QString patternsOf(const QString& pattern) {
    QStringList parts = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : parts) p = p.trimmed();
    return parts.join(QLatin1Char(' '));
}

}  // namespace

std::vector<FileFilter> parseFilterString(const QString& filters) {
    std::vector<FileFilter> out;
    const QStringList parts = filters.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;  // the closing "||"
        if (parts[i + 1].trimmed().isEmpty()) continue;
        out.push_back(FileFilter{parts[i], parts[i + 1].trimmed()});
    }
    return out;
}

QStringList toNameFilters(const std::vector<FileFilter>& filters) {
    QStringList out;
    for (const FileFilter& f : filters) {
        const QString patterns = patternsOf(f.pattern);
        const qsizetype open = f.description.lastIndexOf(QLatin1Char('('));
        const bool shows = open >= 0 && f.description.endsWith(QLatin1Char(')')) &&
                           patternsOf(f.description.mid(open + 1, f.description.size() - open - 2)) == patterns;
        out << (shows ? f.description : f.description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return out;
}

void setMessageBoxProvider(IMessageBoxProvider* provider) { g_boxes = provider != nullptr ? provider : &g_realBoxes; }
void setFileDialogProvider(IFileDialogProvider* provider) { g_files = provider != nullptr ? provider : &g_realFiles; }
void setClipboardProvider(IClipboardProvider* provider) {
    g_clipboard = provider != nullptr ? provider : &g_realClipboard;
}

int messageBox(Window* owner, const QString& text, const QString& caption, MessageButtons buttons, MessageIcon icon) {
    if (!checkGuiThread("messageBox")) return id::Cancel;
    return g_boxes->show(MessageBoxRequest{owner != nullptr ? owner->handle() : 0, text, caption, icon, buttons});
}

namespace {

QString fileDialog(const char* what, Window* owner, bool save, const QString& title,
                   const std::vector<FileFilter>& filters, const QString& defaultExtension,
                   const QString& initialPath, bool confirmOverwrite) {
    if (!checkGuiThread(what)) return QString();
    FileDialogRequest r;
    r.owner = owner != nullptr ? owner->handle() : 0;
    r.save = save;
    r.title = title;
    r.filters = filters;
    r.defaultExtension = defaultExtension;
    r.initialPath = initialPath;
    r.confirmOverwrite = confirmOverwrite;
    return g_files->choose(r);
}

}  // namespace

QString openFileDialog(Window* owner, const QString& title, const std::vector<FileFilter>& filters,
                       const QString& defaultExtension, const QString& initialPath) {
    return fileDialog("openFileDialog", owner, false, title, filters, defaultExtension, initialPath,
                      FileDialogRequest{}.confirmOverwrite);
}

QString saveFileDialog(Window* owner, const QString& title, const std::vector<FileFilter>& filters,
                       const QString& defaultExtension, const QString& initialPath, bool confirmOverwrite) {
    return fileDialog("saveFileDialog", owner, true, title, filters, defaultExtension, initialPath,
                      confirmOverwrite);
}

bool setClipboardText(const QString& text) {
    if (!checkGuiThread("setClipboardText")) return false;
    return g_clipboard->setText(text);
}

// ---- ScriptedDialogs ----------------------------------------------------------------

ScriptedDialogs::ScriptedDialogs() {
    setMessageBoxProvider(this);
    setFileDialogProvider(this);
    setClipboardProvider(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    setMessageBoxProvider(nullptr);
    setFileDialogProvider(nullptr);
    setClipboardProvider(nullptr);
}

int ScriptedDialogs::show(const MessageBoxRequest& request) {
    boxes_.push_back(request);
    if (boxAnswers_.empty()) return request.buttons == MessageButtons::Ok ? id::Ok : id::Cancel;
    const int answer = boxAnswers_.front();
    boxAnswers_.pop_front();
    return answer;
}

QString ScriptedDialogs::choose(const FileDialogRequest& request) {
    files_.push_back(request);
    if (fileAnswers_.empty()) return QString();
    QString answer = fileAnswers_.front();
    fileAnswers_.pop_front();
    return answer;
}

bool ScriptedDialogs::setText(const QString& text) {
    if (clipboardFails_) return false;
    clipboard_.push_back(text);
    return true;
}

}  // namespace gui
