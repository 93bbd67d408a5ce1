#include "app/FileDialogNames.h"

#include <QDir>
#include <QFileInfo>

#include "parsers/AppSettings.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Window.h"

std::string CFileDialogNames::RequestFileName(const ::FileDialogRequest& request) {
    std::vector<gui::FileFilter> filters;
    filters.reserve(request.filters.size());
    for (const FileDialogFilter& f : request.filters) {
        filters.push_back({QString::fromStdString(f.description), QString::fromStdString(f.pattern)});
    }
    gui::Window* owner = owner_ ? gui::Window::fromHandle(owner_()) : nullptr;
    const QString title = QString::fromStdString(request.title);
    const QString extension = QString::fromStdString(request.defaultExtension);
    QString folder;
    if (settings_ != nullptr) {
        folder = settings_->GetString(filedialogs::kSection, filedialogs::kLastFolderKey);
        // A folder that has gone since would leave the dialog somewhere arbitrary.
        if (!folder.isEmpty() && !QFileInfo(folder).isDir()) folder.clear();
    }
    const QString path = request.mode == ::FileDialogRequest::Mode::Save
                             ? gui::saveFileDialog(owner, title, filters, extension, folder)
                             : gui::openFileDialog(owner, title, filters, extension, folder);
    if (!path.isEmpty() && settings_ != nullptr) {
        settings_->WriteString(filedialogs::kSection, filedialogs::kLastFolderKey,
                               QDir::cleanPath(QFileInfo(path).absolutePath()));
    }
    return path.toStdString();
}
