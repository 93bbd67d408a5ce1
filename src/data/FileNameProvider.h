// How the data layer asks the user for a file name.
//
// The application supplies the real file dialogs; tests answer the requests
// directly. Keeping this an interface lets the data layer work without any
// GUI toolkit.
#pragma once

#include <string>
#include <vector>

struct FileDialogFilter {
    std::string description;  // e.g. "Motor driver GUI setting file(*.bin)"
    std::string pattern;      // e.g. "*.bin"
};

struct FileDialogRequest {
    enum class Mode { Save, Open };

    Mode mode = Mode::Open;
    std::string title;
    std::vector<FileDialogFilter> filters;  // the first one is preselected
    std::string defaultExtension;           // appended when the name has none, without a dot
    bool fileMustExist = false;
    bool confirmOverwrite = false;          // Save: ask before choosing an existing file
};

class IFileNameProvider {
public:
    virtual ~IFileNameProvider() = default;

    // The chosen path (UTF-8), or an empty string when the user cancelled.
    virtual std::string RequestFileName(const FileDialogRequest& request) = 0;
};
