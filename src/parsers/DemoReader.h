// What the demo sequence readers of the page families share: finding the file (in
// "sequence/" under a folder, else the built-in copy), cutting the text into lines and
// comma-separated fields, and the wording of the messages for a value held to its range
// or a line refused. A family reader only turns its own columns into its own entries.
//
// Pure functions and a message helper over a caller's list; no state of their own.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parsers {

// The longest line a demo file may hold (characters, without its line end).
inline constexpr std::size_t kMaxDemoLine = 259;

// What a line longer than kMaxDemoLine does.
enum class OverlongLine {
    EndsReading,  // the reading ends before it, the header included
    IsCut,        // a data line is read up to the limit (the header is never looked at)
};

// One data line: its number in the file (the header is line 1) and its fields, trimmed
// of blanks, in order. A blank line gives none.
struct DemoLine {
    std::size_t number = 0;
    std::vector<std::string_view> fields;
};

// The messages about one line, each starting "line N: ". Borrows the caller's list.
class LineNotes {
public:
    LineNotes(std::size_t line, std::vector<std::string>& messages) : line_(line), messages_(messages) {}

    // "<what> "<text>"<unit> is <reason>; line skipped". Returns false, for a refusal's
    // return statement.
    bool Refuse(std::string_view what, std::string_view text, std::string_view unit, std::string_view reason) const;
    // "<why>; line skipped".
    void Skip(std::string_view why) const;
    // "<subject> is <why>; <used> used": a value held to its range.
    void Held(std::string_view subject, std::string_view why, std::string_view used) const;
    // "line N: <what>".
    void Say(std::string_view what) const;

private:
    std::size_t line_;
    std::vector<std::string>& messages_;
};

// A field without the blanks (space, tab, a stray carriage return) around it.
std::string_view TrimField(std::string_view field);

// A whole field as a real number in the C locale whatever the user's; none when any of it
// is not part of the number (an empty field included).
std::optional<double> ReadReal(std::string_view field);

// Calls `take(line, notes)` for every data line of `text` (LF or CR LF line ends; the first
// line is the header) that is not blank, with the messages of that line going to
// `messages`. A line over kMaxDemoLine is handled as `overlong` says, with a message.
template <class Take>
void ReadDemoLines(std::string_view text, OverlongLine overlong, std::vector<std::string>& messages, Take take);

// The text of `folder`/`fileName`; none when it cannot be opened. A file that fails while
// it is read, and something there that is not a file (a folder, a pipe, a device), read
// as empty: the stream throws on a read error, a pipe would block the page's opening and
// a device might never end.
std::optional<std::string> ReadDemoFile(const std::filesystem::path& folder, const char* fileName);

// A demo as a page plays it: the file's entries, or the built-in copy's.
template <class Entry>
struct LoadedDemo {
    bool fromFile = false;
    std::vector<Entry> entries;
    std::vector<std::string> messages;  // the file's messages, and why the built-in copy serves
};

// Reads `folder`/`fileName` with `parse` (text -> {entries, messages}). When the file
// cannot be opened, silently, or holds no entry (`noun` names one: "step", "row"), with a
// message, the built-in copy `builtIn` is read instead and its messages are dropped.
template <class Entry, class Parse>
LoadedDemo<Entry> LoadDemo(const std::filesystem::path& folder, const char* fileName, const char* noun,
                           std::string_view builtIn, Parse parse);

// ---- implementation of the templates ---------------------------------------------------

namespace detail {
// The fields of `line`, trimmed, or none for a blank line.
std::vector<std::string_view> SplitFields(std::string_view line);
// What a line over the limit gets said about it.
std::string_view OverlongText(OverlongLine overlong);
std::string NoEntryMessage(const char* fileName, const char* noun);
}  // namespace detail

template <class Take>
void ReadDemoLines(std::string_view text, OverlongLine overlong, std::vector<std::string>& messages, Take take) {
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const bool tooLong = line.size() > kMaxDemoLine;
        if (overlong == OverlongLine::EndsReading && tooLong) {
            LineNotes(number, messages).Say(detail::OverlongText(overlong));
            return;
        }
        if (number == 1) continue;  // the header
        if (tooLong) {
            LineNotes(number, messages).Say(detail::OverlongText(overlong));
            line = line.substr(0, kMaxDemoLine);
        }
        DemoLine demoLine{number, detail::SplitFields(line)};
        if (demoLine.fields.empty()) continue;
        take(std::as_const(demoLine), LineNotes(number, messages));
    }
}

template <class Entry, class Parse>
LoadedDemo<Entry> LoadDemo(const std::filesystem::path& folder, const char* fileName, const char* noun,
                           std::string_view builtIn, Parse parse) {
    LoadedDemo<Entry> out;
    if (const std::optional<std::string> text = ReadDemoFile(folder, fileName)) {
        auto [entries, messages] = parse(std::string_view(*text));
        out.messages = std::move(messages);
        if (!entries.empty()) {
            out.fromFile = true;
            out.entries = std::move(entries);
            return out;
        }
        out.messages.push_back(detail::NoEntryMessage(fileName, noun));
    }
    out.entries = parse(builtIn).first;
    return out;
}

}  // namespace parsers
