#include "ui/ExternFile.h"

#include "data/NumberText.h"
#include "platform/core/Debug.h"

#include <utility>

CDerivedExternFile::CDerivedExternFile(IFileNameProvider* fileNames, LocalTimeSource now)
    : fileNames_(fileNames), now_(now ? std::move(now) : LocalTimeSource(SystemLocalTime))
{
}

CDerivedExternFile::~CDerivedExternFile()
{
    EndRecord();
}

bool CDerivedExternFile::SetFileName(const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    path_ = path;
    return true;
}

bool CDerivedExternFile::StartRecord(int twoChannels)
{
    if (!recordfile::OpenRecording(stream_, path_, now_(), error_)) {
        platform::debugOut("Record file: " + error_ + "\n");
        return false;
    }
    if (!stream_.WriteLine(twoChannels != 0 ? kHeaderTwoChannels : kHeaderOneChannel)) {
        error_ = stream_.LastError();
        stream_.Close();
        platform::debugOut("Record file: " + error_ + "\n");
        return false;
    }
    return true;
}

bool CDerivedExternFile::EndRecord()
{
    return recordfile::CloseRecording(stream_, error_);
}

int CDerivedExternFile::writeRow(const std::string& fields)
{
    if (!stream_.IsOpen()) {
        return 0;
    }
    if (!stream_.WriteLine(recordfile::TimeStamp(now_()) + std::string(recordfile::kSeparator) + fields)) {
        error_ = stream_.LastError();
        return 0;
    }
    return 1;
}

int CDerivedExternFile::WriteRow(std::uint32_t a, std::uint32_t b)
{
    return writeRow(std::to_string(a) + std::string(recordfile::kSeparator) + std::to_string(b));
}

int CDerivedExternFile::WriteRowReal(std::uint32_t a, double x, double y)
{
    const std::string separator(recordfile::kSeparator);
    return writeRow(std::to_string(a) + separator + numtext::FormatPrintf("%g", x) + separator +
                    numtext::FormatPrintf("%g", y));
}

int CDerivedExternFile::ChooseFile()
{
    const std::string path = recordfile::AskForPath(fileNames_, false);
    if (path.empty()) {
        return 0;
    }
    SetFileName(path);
    // Very short paths have always left the name shown in messages as it was.
    if (recordfile::CharacterCount(path_) >= 6) {
        displayName_ = recordfile::FileNameOf(path_);
    }
    return 1;
}
