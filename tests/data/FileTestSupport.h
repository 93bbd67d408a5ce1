// File helpers shared by the data, surface and ui suites.
#pragma once

#include "data/FileNameProvider.h"

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir()
    {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("tamsiro-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_, error_); }

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) out.push_back(entry.path().filename());
        return out;
    }

private:
    std::filesystem::path path_;
    std::error_code error_;
};

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
