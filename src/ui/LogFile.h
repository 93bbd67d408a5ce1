// A plain line log (the BLDC start-up test's results): lines appended to a
// file the user chose, each recording framed by a start banner with an
// empty line after it and an end banner.
//
// GUI thread only.
#pragma once

#include "data/FileNameProvider.h"
#include "ui/RecordFile.h"

#include <string>
#include <string_view>

class ILogFile {
public:
    // Ends an open recording.
    virtual ~ILogFile() = default;

    // Keeps the path for the next recording. False (and nothing changes) for
    // an empty path.
    virtual bool SetFileName(const std::string& path) = 0;
    // Ends a recording still open, then opens the file for appending and
    // writes the start banner and an empty line. False for a path shorter
    // than 3 characters or a file that cannot be opened or written.
    virtual bool StartRecord() = 0;
    // Writes the end banner and closes: true when every line reached the
    // file. False when no recording is open.
    virtual bool EndRecord() = 0;
    // Writes the text as one line when open and `enabled` is non-zero: 1;
    // otherwise, or when the write failed, 0.
    virtual int WriteLine(std::string_view text, int enabled) = 0;
    // The Save dialog: 0 when cancelled (the earlier path stays), else 1.
    virtual int ChooseFile() = 0;
};

class CDerivedFile final : public ILogFile {
public:
    explicit CDerivedFile(IFileNameProvider* fileNames = nullptr, LocalTimeSource now = {});
    ~CDerivedFile() override;

    CDerivedFile(const CDerivedFile&) = delete;
    CDerivedFile& operator=(const CDerivedFile&) = delete;

    bool SetFileName(const std::string& path) override;
    bool StartRecord() override;
    bool EndRecord() override;
    int WriteLine(std::string_view text, int enabled) override;
    int ChooseFile() override;

    void SetFileNameProvider(IFileNameProvider* fileNames) { fileNames_ = fileNames; }
    const std::string& GetFileName() const { return path_; }
    bool IsRecording() const { return stream_.IsOpen(); }
    const std::string& GetLastError() const { return error_; }

private:
    IFileNameProvider* fileNames_;
    LocalTimeSource now_;
    recordfile::LineStream stream_;
    std::string path_;
    std::string error_;
};
