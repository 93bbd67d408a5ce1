#include "ui/RecordFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

LocalDateTime SystemLocalTime()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    ::localtime_r(&now.tv_sec, &local);
    LocalDateTime out;
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
    out.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    return out;
}

namespace recordfile {

std::string StartBanner(const LocalDateTime& t)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "---------------<< %04d/%02d/%02d %02d:%02d:%02d.%03d >>Record start---------------",
                  t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
    return buffer;
}

std::string EndBanner()
{
    return "---------------Record end---------------";
}

std::string TimeStamp(const LocalDateTime& t)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
    return buffer;
}

FileDialogRequest SaveDialogRequest()
{
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.title = "Save graph data";
    request.filters = {{"MS-Excel CSV files(*.csv)", "*.csv"}, {"All files(*.*)", "*.*"}};
    request.defaultExtension = "csv";
    request.fileMustExist = false;
    return request;
}

std::string ToSingleByte(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            if (byte == '\n') {
                out += "\r\n";
            } else {
                out.push_back(static_cast<char>(byte));
            }
            ++i;
            continue;
        }
        // One '?' per character: a lead byte with its continuation bytes, or
        // one stray byte of broken text.
        out.push_back('?');
        ++i;
        const int continuations = byte >= 0xC2 && byte <= 0xDF ? 1
                                  : byte >= 0xE0 && byte <= 0xEF ? 2
                                  : byte >= 0xF0 && byte <= 0xF4 ? 3
                                                                 : 0;
        for (int k = 0; k < continuations && i < utf8.size() &&
                        (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80;
             ++k) {
            ++i;
        }
    }
    return out;
}

std::string FileNameOf(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

LineStream::~LineStream()
{
    Close();
}

bool LineStream::Open(const std::string& path)
{
    Close();
    error_.clear();
    bad_ = false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        error_ = "cannot open \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

bool LineStream::writeAll(const std::string& bytes)
{
    const char* data = bytes.data();
    std::size_t size = bytes.size();
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error_ = "cannot write \"" + path_ + "\": " + std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool LineStream::WriteLine(std::string_view text)
{
    if (!Good()) {
        return false;
    }
    std::string line = ToSingleByte(text);
    line += kLineEnd;
    if (!writeAll(line)) {
        bad_ = true;
        return false;
    }
    return true;
}

bool LineStream::Close()
{
    if (fd_ < 0) {
        return false;
    }
    bool good = !bad_;
    if (::close(fd_) != 0) {
        if (good) {
            error_ = "cannot close \"" + path_ + "\": " + std::strerror(errno);
        }
        good = false;
    }
    fd_ = -1;
    return good;
}

bool OpenRecording(LineStream& stream, const std::string& path, const LocalDateTime& now, std::string& error)
{
    if (stream.IsOpen()) {
        CloseRecording(stream, error);
    }
    error.clear();
    if (CharacterCount(path) < 3) {
        error = path.empty() ? "no file has been chosen" : "the file name \"" + path + "\" is too short";
        return false;
    }
    if (!stream.Open(path)) {
        error = stream.LastError();
        return false;
    }
    if (!stream.WriteLine(StartBanner(now))) {
        error = stream.LastError();
        stream.Close();
        return false;
    }
    return true;
}

bool CloseRecording(LineStream& stream, std::string& error)
{
    if (!stream.IsOpen()) {
        return false;
    }
    stream.WriteLine(EndBanner());
    const bool good = stream.Close();
    if (!good) {
        error = stream.LastError();
    }
    return good;
}

std::string AskForPath(IFileNameProvider* fileNames, bool confirmOverwrite)
{
    if (fileNames == nullptr) return std::string();
    FileDialogRequest request = SaveDialogRequest();
    request.confirmOverwrite = confirmOverwrite;
    return fileNames->RequestFileName(request);
}

std::size_t CharacterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

}  // namespace recordfile
