// What the two record files share: the local time stamps, the banners, the
// Save dialog and an append-only file written a whole line at a time.
//
// Record files are single-byte text with CR LF line ends. Each line goes to
// the file as soon as it is complete, so a crash loses at most the line
// being written.
#pragma once

#include "data/FileNameProvider.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

struct LocalDateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Where the record files take the local time from; tests install a fixed one.
using LocalTimeSource = std::function<LocalDateTime()>;
LocalDateTime SystemLocalTime();

namespace recordfile {

inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kSeparator = ", ";

// "---------------<< 2024/05/17 09:03:07.045 >>Record start---------------"
std::string StartBanner(const LocalDateTime& time);
// "---------------Record end---------------"
std::string EndBanner();
// "09:03:07.045"
std::string TimeStamp(const LocalDateTime& time);
// The Save dialog of both files: "Save graph data", CSV files first.
FileDialogRequest SaveDialogRequest();
// The text as the file holds it: ASCII stays, every other character
// becomes one '?', and a line feed becomes CR LF.
std::string ToSingleByte(std::string_view utf8);
// The name and extension of a path ("/home/x/a.csv" gives "a.csv").
std::string FileNameOf(std::string_view path);

// An append-only file written a line at a time. Once a write fails the
// stream stays bad until it is closed, like a C++ stream.
class LineStream {
public:
    LineStream() = default;
    ~LineStream();
    LineStream(const LineStream&) = delete;
    LineStream& operator=(const LineStream&) = delete;

    // Opens (creating when needed) for appending. False with LastError().
    bool Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    bool Good() const { return IsOpen() && !bad_; }
    // Writes the text and a CR LF. False when not open or the write failed.
    bool WriteLine(std::string_view text);
    // Closes; true when every write and the close succeeded.
    bool Close();
    const std::string& LastError() const { return error_; }

private:
    bool writeAll(const std::string& bytes);

    int fd_ = -1;
    bool bad_ = false;
    std::string path_;
    std::string error_;
};

// Steps both record files share. OpenRecording ends a recording still
// open (so it keeps its end banner), refuses a path shorter than 3
// characters, opens the file and writes the start banner; on failure the
// stream is closed and `error` says why. CloseRecording writes the end
// banner and closes, returning whether every line of the recording reached
// the file (false when none was open).
bool OpenRecording(LineStream& stream, const std::string& path, const LocalDateTime& now, std::string& error);
bool CloseRecording(LineStream& stream, std::string& error);
// Asks for a path with the Save dialog, which asks before choosing an existing
// file when `confirmOverwrite` (the log file; a speed record appends to one);
// empty when cancelled or when there is no provider.
std::string AskForPath(IFileNameProvider* fileNames, bool confirmOverwrite);
// The number of characters (not bytes) of a UTF-8 text.
std::size_t CharacterCount(std::string_view utf8);

}  // namespace recordfile
