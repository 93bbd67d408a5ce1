// The program's settings file, "Tamsiro.ini", as the application reads it: the window
// positions (section "WindowPosition") and the file dialogs' last folder. Invariants:
// what the profile reads from any file it writes back, and the rewritten file reads back
// as the same rectangles (the same verdict for every window) and the same folder.
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <QString>

#include "FuzzSupport.h"
#include "app/AppSettings.h"
#include "app/ProfileInfo.h"

namespace {

namespace fs = std::filesystem;

// The file dialogs' key (app/FileDialogNames.h, which needs the window layer).
const QString kDialogSection = QStringLiteral("FileDialog");
const QString kLastFolder = QStringLiteral("lastFolder");

const fs::path& Folder() {
    static const fs::path folder = [] {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "tamsiro-fuzz-ini-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        std::atexit([] { std::error_code ec; fs::remove_all(Folder(), ec); });
        return fs::path(pattern);
    }();
    return folder;
}

struct Reading {
    int valid[CProfileInfo::kWindows] = {};
    ProfileRect rects[CProfileInfo::kWindows];
    QString folder;
};

Reading Read(CSettingsStore& store, CProfileInfo& profile) {
    Reading r;
    profile.Load();
    for (int w = 0; w < CProfileInfo::kWindows; ++w) r.valid[w] = profile.GetRect(w, &r.rects[w]);
    r.folder = store.GetString(kDialogSection, kLastFolder);
    return r;
}

bool operator==(const Reading& a, const Reading& b) {
    for (int w = 0; w < CProfileInfo::kWindows; ++w) {
        if (a.valid[w] != b.valid[w]) return false;
        if (a.valid[w] && (a.rects[w].left != b.rects[w].left || a.rects[w].top != b.rects[w].top ||
                           a.rects[w].right != b.rects[w].right || a.rects[w].bottom != b.rects[w].bottom))
            return false;
    }
    return a.folder == b.folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A new name each time: the toolkit caches parsed files by name.
    static std::atomic<unsigned> counter{0};
    const fs::path path = Folder() / ("Tamsiro-" + std::to_string(counter++) + ".ini");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    Reading first;
    {
        CSettingsStore store;
        store.SetPath(path);
        CProfileInfo profile(&store);
        first = Read(store, profile);
        profile.Save();  // writes back every window it read whole
        store.WriteString(kDialogSection, kLastFolder, first.folder);
        FUZZ_EXPECT(store.Flush(), "the settings could not be written back");
    }
    {
        CSettingsStore store;
        store.SetPath(path);
        CProfileInfo profile(&store);
        const Reading second = Read(store, profile);
        FUZZ_EXPECT(second == first, "the rewritten settings read back differently (folder \"%s\", was \"%s\")",
                    second.folder.toStdString().c_str(), first.folder.toStdString().c_str());
    }
    std::error_code ec;
    fs::remove(path, ec);
    return 0;
}
