#include "platform/gui/CommonDialogs.h"

#include <QClipboard>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <functional>

#include "platform/gui/Application.h"
#include "platform/gui/Internal.h"
#include "platform/gui/Window.h"

namespace gui {

namespace {

QWidget* ownerWidget(Handle owner) {
    Window* w = Window::fromHandle(owner);
    return w != nullptr && w->widget() != nullptr ? w->widget()->window() : nullptr;
}

// Runs a common dialog as the system runs a modal one (detail::runModalLoop): only its
// owner takes no input. `made` is made on the heap with the owner's top-level widget as
// its Qt parent (it stays above its owner); this call deletes it, unless Qt did first: a
// destroyed owner's widget takes its child dialogs along, possibly inside the loop. So
// nothing here keeps the dialog on the stack, and the QPointer tells whether it is still
// there. `read` sees the dialog once the user ended it, with its finishing code; it is
// not called when the dialog or its owner went away during the loop (the caller then
// answers as a cancel does), nor when the program's quit kept it from running.
void runOwnedModal(QDialog* made, Handle owner, const std::function<void(QDialog&, int code)>& read) {
    QPointer<QDialog> dialog(made);
    dialog->setWindowModality(Qt::NonModal);
    QMetaObject::Connection finished, destroyed;
    detail::ModalSteps steps;
    steps.show = [&dialog]() -> QWidget* {
        if (dialog.isNull()) return nullptr;
        dialog->show();
        return dialog.data();
    };
    steps.running = [&dialog] { return !dialog.isNull(); };
    steps.loop = [&](QEventLoop* loop) {
        if (loop == nullptr) {
            QObject::disconnect(finished);
            QObject::disconnect(destroyed);
            return;
        }
        finished = QObject::connect(dialog, &QDialog::finished, loop, [loop](int code) { loop->exit(code); });
        destroyed = QObject::connect(dialog, &QObject::destroyed, loop, [loop] { loop->exit(-1); });
    };
    steps.close = [&dialog] {
        if (!dialog.isNull()) dialog->hide();
    };
    const detail::ModalRunEnd end = detail::runModalLoop(Window::fromHandle(owner), steps);
    if (dialog.isNull()) return;
    if (end.ran && !end.ownerGone) read(*dialog, end.code);
    delete dialog.data();
}

// What Esc gives, as a box closed without a button.
int escAnswer(MessageButtons buttons) {
    return buttons == MessageButtons::Ok ? id::Ok : buttons == MessageButtons::YesNo ? id::No : id::Cancel;
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
        QMessageBox::StandardButton clicked = QMessageBox::NoButton;
        runOwnedModal(new QMessageBox(icon, r.caption, r.text, buttons, ownerWidget(r.owner)), r.owner,
                      [&clicked](QDialog& dialog, int) {
                          auto& box = static_cast<QMessageBox&>(dialog);
                          if (box.clickedButton() != nullptr) clicked = box.standardButton(box.clickedButton());
                      });
        switch (clicked) {
            case QMessageBox::Ok: return id::Ok;
            case QMessageBox::Cancel: return id::Cancel;
            case QMessageBox::Yes: return id::Yes;
            case QMessageBox::No: return id::No;
            case QMessageBox::Retry: return id::Retry;
            case QMessageBox::Abort: return id::Abort;
            case QMessageBox::Ignore: return id::Ignore;
            default: return escAnswer(r.buttons);  // closed without a button, or its owner went away
        }
    }
};

class QtFileDialogs final : public IFileDialogProvider {
public:
    QString choose(const FileDialogRequest& r) override {
        auto* dialog = new QFileDialog(ownerWidget(r.owner), r.title, r.initialPath);
        dialog->setNameFilters(toNameFilters(r.filters));
        dialog->setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog->setFileMode(r.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (!r.defaultExtension.isEmpty()) dialog->setDefaultSuffix(r.defaultExtension);
        if (r.save && !r.confirmOverwrite) dialog->setOption(QFileDialog::DontConfirmOverwrite);
        QString chosen;
        runOwnedModal(dialog, r.owner, [&chosen](QDialog& d, int code) {
            if (code == QDialog::Accepted) chosen = static_cast<QFileDialog&>(d).selectedFiles().value(0);
        });
        return chosen;
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

namespace {

// Whether the owner given to a dialog call is gone after it (its handle, taken before
// the call, no longer names a window).
void reportOwner(Window* owner, Handle ownerHandle, bool* ownerGone) {
    if (ownerGone != nullptr) *ownerGone = owner != nullptr && (ownerHandle == 0 || !isWindow(ownerHandle));
}

}  // namespace

int messageBox(Window* owner, const QString& text, const QString& caption, MessageButtons buttons, MessageIcon icon,
               bool* ownerGone) {
    if (ownerGone != nullptr) *ownerGone = false;
    if (!checkGuiThread("messageBox")) return id::Cancel;
    const Handle ownerHandle = owner != nullptr ? owner->handle() : 0;
    const int answer = g_boxes->show(MessageBoxRequest{ownerHandle, text, caption, icon, buttons});
    reportOwner(owner, ownerHandle, ownerGone);
    return answer;
}

namespace {

QString fileDialog(const char* what, Window* owner, bool save, const QString& title,
                   const std::vector<FileFilter>& filters, const QString& defaultExtension,
                   const QString& initialPath, bool confirmOverwrite, bool* ownerGone) {
    if (ownerGone != nullptr) *ownerGone = false;
    if (!checkGuiThread(what)) return QString();
    FileDialogRequest r;
    r.owner = owner != nullptr ? owner->handle() : 0;
    r.save = save;
    r.title = title;
    r.filters = filters;
    r.defaultExtension = defaultExtension;
    r.initialPath = initialPath;
    r.confirmOverwrite = confirmOverwrite;
    QString chosen = g_files->choose(r);
    reportOwner(owner, r.owner, ownerGone);
    return chosen;
}

}  // namespace

QString openFileDialog(Window* owner, const QString& title, const std::vector<FileFilter>& filters,
                       const QString& defaultExtension, const QString& initialPath, bool* ownerGone) {
    return fileDialog("openFileDialog", owner, false, title, filters, defaultExtension, initialPath,
                      FileDialogRequest{}.confirmOverwrite, ownerGone);
}

QString saveFileDialog(Window* owner, const QString& title, const std::vector<FileFilter>& filters,
                       const QString& defaultExtension, const QString& initialPath, bool confirmOverwrite,
                       bool* ownerGone) {
    return fileDialog("saveFileDialog", owner, true, title, filters, defaultExtension, initialPath,
                      confirmOverwrite, ownerGone);
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
