#include "ui/LogFile.h"

#include "platform/core/Debug.h"

#include <utility>

CDerivedFile::CDerivedFile(IFileNameProvider* fileNames, LocalTimeSource now)
    : fileNames_(fileNames), now_(now ? std::move(now) : LocalTimeSource(SystemLocalTime))
{
}

CDerivedFile::~CDerivedFile()
{
    EndRecord();
}

bool CDerivedFile::SetFileName(const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    path_ = path;
    return true;
}

bool CDerivedFile::StartRecord()
{
    if (!recordfile::OpenRecording(stream_, path_, now_(), error_) || !stream_.WriteLine("")) {
        if (stream_.IsOpen()) {
            error_ = stream_.LastError();
            stream_.Close();
        }
        platform::debugOut("Log file: " + error_ + "\n");
        return false;
    }
    return true;
}

bool CDerivedFile::EndRecord()
{
    return recordfile::CloseRecording(stream_, error_);
}

int CDerivedFile::WriteLine(std::string_view text, int enabled)
{
    if (!stream_.IsOpen() || enabled == 0) {
        return 0;
    }
    if (!stream_.WriteLine(text)) {
        error_ = stream_.LastError();
        return 0;
    }
    return 1;
}

int CDerivedFile::ChooseFile()
{
    const std::string path = recordfile::AskForPath(fileNames_, true);
    if (path.empty()) {
        return 0;
    }
    SetFileName(path);
    return 1;
}
