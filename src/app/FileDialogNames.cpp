#include "app/FileDialogNames.h"

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
    const QString path = request.mode == ::FileDialogRequest::Mode::Save
                             ? gui::saveFileDialog(owner, title, filters, extension)
                             : gui::openFileDialog(owner, title, filters, extension);
    return path.toStdString();
}
