#include "ui/PageFileNames.h"

#include <QString>
#include <vector>

#include "platform/gui/CommonDialogs.h"

std::string CPageFileNames::RequestFileName(const FileDialogRequest& request)
{
    std::vector<gui::FileFilter> filters;
    filters.reserve(request.filters.size());
    for (const FileDialogFilter& f : request.filters) {
        filters.push_back({QString::fromStdString(f.description), QString::fromStdString(f.pattern)});
    }
    const QString title = QString::fromStdString(request.title);
    const QString extension = QString::fromStdString(request.defaultExtension);
    const QString path = request.mode == FileDialogRequest::Mode::Save
                             ? gui::saveFileDialog(owner_, title, filters, extension, QString(), request.confirmOverwrite)
                             : gui::openFileDialog(owner_, title, filters, extension);
    return path.toStdString();
}
