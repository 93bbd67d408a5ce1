// The data store's file name requests answered with the window layer's file dialogs
// (the real ones, or whatever provider a test installs). Each dialog opens in the
// folder of the last file chosen, which is kept in the settings file.
#pragma once

#include <functional>

#include "data/FileNameProvider.h"
#include "platform/gui/Messages.h"

class CSettingsStore;

class CFileDialogNames final : public IFileNameProvider {
public:
    // Names the window the dialogs belong to at the moment they open; without it (or
    // when it gives 0) they have no owner.
    void SetOwnerSource(std::function<gui::Handle()> owner) { owner_ = std::move(owner); }
    // Where the last folder is kept (borrowed; null: dialogs open where the toolkit
    // chooses and nothing is kept).
    void SetSettings(CSettingsStore* settings) { settings_ = settings; }

    std::string RequestFileName(const ::FileDialogRequest& request) override;

private:
    std::function<gui::Handle()> owner_;
    CSettingsStore* settings_ = nullptr;
};

namespace filedialogs {
inline constexpr const char* kSection = "FileDialog";
inline constexpr const char* kLastFolderKey = "lastFolder";
}  // namespace filedialogs
