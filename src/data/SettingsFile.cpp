#include "data/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace settingsfile {
namespace {

std::vector<FileDialogFilter> settingsFilters()
{
    return {
        {"Motor driver GUI setting file(*.bin)", "*.bin"},
        {"All files(*.*)", "*.*"},
    };
}

void appendLe32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFFu));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFFu));
    out.push_back(static_cast<std::uint8_t>((v >> 16) & 0xFFu));
    out.push_back(static_cast<std::uint8_t>((v >> 24) & 0xFFu));
}

std::uint32_t readLe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string errnoText(const char* what, const std::string& path, int error)
{
    return std::string(what) + " \"" + path + "\": " + std::strerror(error);
}

// Writes all bytes, resuming after interruptions and short writes.
bool writeAll(int fd, const std::uint8_t* data, std::size_t size, int& error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        if (n == 0) {
            error = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

FileDialogRequest SaveDialogRequest()
{
    FileDialogRequest r;
    r.mode = FileDialogRequest::Mode::Save;
    r.title = "Save As local PC";
    r.filters = settingsFilters();
    r.defaultExtension = "bin";
    r.fileMustExist = false;
    return r;
}

FileDialogRequest OpenDialogRequest()
{
    FileDialogRequest r;
    r.mode = FileDialogRequest::Mode::Open;
    r.title = "Open file";
    r.filters = settingsFilters();
    r.defaultExtension = "bin";
    r.fileMustExist = true;
    return r;
}

void AppendRecord(std::vector<std::uint8_t>& out, std::int32_t key, const devdefaults::Block& words)
{
    appendLe32(out, static_cast<std::uint32_t>(key));
    for (const std::uint32_t w : words) {
        appendLe32(out, w);
    }
}

std::int32_t ReadKey(const std::uint8_t* bytes)
{
    return static_cast<std::int32_t>(readLe32(bytes));
}

devdefaults::Block ReadWords(const std::uint8_t* bytes)
{
    devdefaults::Block words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = readLe32(bytes + 4 * i);
    }
    return words;
}

std::string WriteFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    namespace fs = std::filesystem;
    if (path.empty()) {
        return "No file name was given.";
    }
    std::error_code ec;
    fs::path target(path);
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) {
            target = resolved;
        }
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string name = target.filename().string();
    if (name.empty()) {
        return "\"" + path + "\" names a folder, not a file.";
    }

    // A name no other writer uses: process id and a counter, created exclusively.
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = (folder / ("." + name + ".tmp-" + std::to_string(::getpid()) + "-" +
                          std::to_string(counter.fetch_add(1))))
                   .string();
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return errnoText("Cannot create a file beside", target.string(), errno);
    }

    // Keep the permissions of the file being replaced.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        (void)::fchmod(fd, old.st_mode & 07777);
    }

    int error = 0;
    bool ok = writeAll(fd, bytes.data(), bytes.size(), error);
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return errnoText("Cannot write", target.string(), error);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        error = errno;
        ::unlink(temp.c_str());
        return errnoText("Cannot replace", target.string(), error);
    }
    // Make the rename itself durable; a failure here leaves a complete file.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return {};
}

}  // namespace settingsfile
