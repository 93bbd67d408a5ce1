#include "parsers/DemoReader.h"

#include <charconv>
#include <exception>
#include <fstream>
#include <iterator>
#include <system_error>

namespace parsers {

void LineNotes::Say(std::string_view what) const {
    messages_.push_back("line " + std::to_string(line_) + ": " + std::string(what));
}

bool LineNotes::Refuse(std::string_view what, std::string_view text, std::string_view unit,
                       std::string_view reason) const {
    Say(std::string(what) + " \"" + std::string(text) + "\"" + std::string(unit) + " is " + std::string(reason) +
        "; line skipped");
    return false;
}

void LineNotes::Skip(std::string_view why) const { Say(std::string(why) + "; line skipped"); }

void LineNotes::Held(std::string_view subject, std::string_view why, std::string_view used) const {
    Say(std::string(subject) + " is " + std::string(why) + "; " + std::string(used) + " used");
}

std::string_view TrimField(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::optional<double> ReadReal(std::string_view s) {
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<std::string> ReadDemoFile(const std::filesystem::path& folder, const char* fileName) {
    const std::filesystem::path path = folder / fileName;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return std::string();
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    try {
        return std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    } catch (const std::exception&) {
        return std::string();  // the stream throws on a read error (EIO, EISDIR): nothing usable was read
    }
}

namespace detail {

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    if (TrimField(line).empty()) return fields;
    for (;;) {
        const std::size_t comma = line.find(',');
        fields.push_back(TrimField(line.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        line.remove_prefix(comma + 1);
    }
    return fields;
}

std::string_view OverlongText(OverlongLine overlong) {
    static_assert(kMaxDemoLine == 259, "the texts below name the limit");
    return overlong == OverlongLine::EndsReading ? "longer than 259 characters; the sequence ends before it"
                                                 : "longer than 259 characters; the rest is ignored";
}

std::string NoEntryMessage(const char* fileName, const char* noun) {
    return std::string(fileName) + " holds no " + noun + "; the built-in sequence is played";
}

}  // namespace detail

}  // namespace parsers
