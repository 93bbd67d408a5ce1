// File helpers shared by the data, surface and ui suites.
#pragma once

#include "data/FileNameProvider.h"
#include "data/TempDir.h"

#include <cstdint>
#include <deque>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline Bytes readBytes(const std::string& path)
{
    const std::string text = readText(path);
    return Bytes(text.begin(), text.end());
}
inline void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}
inline void writeBytes(const std::string& path, const Bytes& bytes)
{
    writeText(path, std::string(bytes.begin(), bytes.end()));
}

// Answers each dialog with the next scripted name (none left: a cancel).
class ScriptedNames final : public IFileNameProvider {
public:
    std::deque<std::string> answers;
    std::vector<FileDialogRequest> requests;

    std::string RequestFileName(const FileDialogRequest& request) override
    {
        requests.push_back(request);
        std::string answer = answers.empty() ? std::string() : answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }
};
