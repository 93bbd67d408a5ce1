// The file dialogs a page's files ask through: the data layer's file-name requests
// answered by the window layer's Save and Open dialogs, owned by the page.
#pragma once

#include <string>

#include "data/FileNameProvider.h"

namespace gui {
class Window;
}

class CPageFileNames final : public IFileNameProvider {
public:
    // `owner` is borrowed and must outlive the requests.
    explicit CPageFileNames(gui::Window* owner) : owner_(owner) {}

    // The chosen path as UTF-8; empty when cancelled. A Save dialog asks before choosing
    // an existing file only when the request says so (the page's record files append).
    std::string RequestFileName(const FileDialogRequest& request) override;

private:
    gui::Window* owner_;
};
