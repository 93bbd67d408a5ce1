// The program's settings file, "Tamsiro.ini", as the application reads it: the window
// positions (section "WindowPosition") and the file dialogs' last folder. Invariants:
// what the profile reads from any file it writes back, and the rewritten file reads back
// as the same rectangles (the same verdict for every window) and the same folder; a
// damaged file is kept aside byte for byte.
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <QString>

#include "FuzzSupport.h"
#include "parsers/AppSettings.h"
#include "parsers/ProfileInfo.h"

namespace {

namespace fs = std::filesystem;

// The file dialogs' key (app/FileDialogNames.h, which needs the window layer).
const QString kDialogSection = QStringLiteral("FileDialog");
const QString kLastFolder = QStringLiteral("lastFolder");

// One folder per process, named by its id; the folders of processes that have ended
// (a fuzzer ends without running exit handlers) go when the next one starts.
const fs::path& Folder() {
    static const fs::path folder = [] {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        const std::string prefix = "tamsiro-fuzz-ini-" + std::to_string(::getuid()) + "-";
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(base, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) != 0) continue;
            const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
            if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) fs::remove_all(entry.path(), ec);
        }
        const fs::path own = base / (prefix + std::to_string(::getpid()));
        fs::create_directories(own, ec);
        if (ec) std::abort();
        return own;
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
    // A file that could not be read whole is kept aside as it was.
    fs::path aside = path;
    aside += ".damaged";
    std::error_code ec;
    if (fs::exists(aside, ec)) {
        std::ifstream in(aside, std::ios::binary);
        const std::string kept{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        FUZZ_EXPECT(kept == fuzz::Text(data, size), "the damaged file was kept as %zu bytes of %zu", kept.size(), size);
        fs::remove(aside, ec);
    }
    fs::remove(path, ec);
    return 0;
}
