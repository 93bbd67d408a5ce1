// The data store's file name requests answered with the window layer's file dialogs
// (the real ones, or whatever provider a test installs).
#pragma once

#include <functional>

#include "data/FileNameProvider.h"
#include "platform/gui/Messages.h"

class CFileDialogNames final : public IFileNameProvider {
public:
    // Names the window the dialogs belong to at the moment they open; without it (or
    // when it gives 0) they have no owner.
    void SetOwnerSource(std::function<gui::Handle()> owner) { owner_ = std::move(owner); }

    std::string RequestFileName(const ::FileDialogRequest& request) override;

private:
    std::function<gui::Handle()> owner_;
};
