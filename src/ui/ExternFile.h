// The CSV record of a device page: time-stamped speed samples appended to a
// file the user chose, each recording framed by a start and an end banner.
//
// GUI thread only.
#pragma once

#include "data/FileNameProvider.h"
#include "ui/RecordFile.h"

#include <cstdint>
#include <string>

class IExternFile {
public:
    // Ends an open recording.
    virtual ~IExternFile() = default;

    // Keeps the path for the next recording. False (and nothing changes) for
    // an empty path.
    virtual bool SetFileName(const std::string& path) = 0;
    // The name and extension of the last file chosen in the Save dialog.
    virtual const std::string& GetDisplayName() const = 0;
    // Ends a recording still open, then opens the file for appending and
    // writes the start banner and the header of one or two channels. False
    // for a path shorter than 3 characters or a file that cannot be opened
    // or written; the file stays closed then.
    virtual bool StartRecord(int twoChannels) = 0;
    // Writes the end banner and closes: true when every line of the
    // recording reached the file. False when no recording is open.
    virtual bool EndRecord() = 0;
    // "hh:mm:ss.mmm, a, b". 1 when written; 0 when not open or the write failed.
    virtual int WriteRow(std::uint32_t a, std::uint32_t b) = 0;
    // "hh:mm:ss.mmm, a, x, y" with x and y as "%g" prints them.
    virtual int WriteRowReal(std::uint32_t a, double x, double y) = 0;
    // The Save dialog: 0 when cancelled (the earlier path stays); else the
    // path is kept with its display name and the result is 1.
    virtual int ChooseFile() = 0;
};

class CDerivedExternFile final : public IExternFile {
public:
    // `fileNames` is borrowed; without one, ChooseFile acts as cancelled.
    // Without a time source the system's local time is used.
    explicit CDerivedExternFile(IFileNameProvider* fileNames = nullptr, LocalTimeSource now = {});
    ~CDerivedExternFile() override;

    CDerivedExternFile(const CDerivedExternFile&) = delete;
    CDerivedExternFile& operator=(const CDerivedExternFile&) = delete;

    bool SetFileName(const std::string& path) override;
    const std::string& GetDisplayName() const override { return displayName_; }
    bool StartRecord(int twoChannels) override;
    bool EndRecord() override;
    int WriteRow(std::uint32_t a, std::uint32_t b) override;
    int WriteRowReal(std::uint32_t a, double x, double y) override;
    int ChooseFile() override;

    void SetFileNameProvider(IFileNameProvider* fileNames) { fileNames_ = fileNames; }
    const std::string& GetFileName() const { return path_; }
    bool IsRecording() const { return stream_.IsOpen(); }
    // Why the last start, row or end failed.
    const std::string& GetLastError() const { return error_; }

    static constexpr const char* kHeaderOneChannel = "time, raw data, pps, rpm";
    static constexpr const char* kHeaderTwoChannels = "time, ch1 pps data, ch2 pps data, ";

private:
    int writeRow(const std::string& fields);

    IFileNameProvider* fileNames_;
    LocalTimeSource now_;
    recordfile::LineStream stream_;
    std::string path_;
    std::string error_;
    std::string displayName_;
};
