// FolvaneCheck's text lines and JSON objects, and the stream each goes to.
#include "check_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "host_text.h"
#include "platform.h"

namespace {

// Bytes that the user's locale could not convert travel in wide texts as U+DC80..U+DCFF.
constexpr uint32_t kUnconvertedByteBase = 0xDC00;

void toStandardOutput(const std::string& line) {
    const std::string text = line + "\n";
    platform::consoleWrite(text.data(), text.size());
}

void toStandardError(const std::string& line) {
    const std::string text = line + "\n";
    (void)std::fwrite(text.data(), 1, text.size(), stderr);
}

void appendUnicodeEscape(std::string& out, uint32_t unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += "0123456789abcdef"[(unit >> shift) & 0xF];
}

// One character of a JSON string: the short escapes, \uXXXX for control characters and all
// beyond ASCII (a surrogate pair beyond U+FFFF), so that the output is ASCII in every locale.
void appendJsonCharacter(std::string& out, uint32_t c) {
    switch (c) {
        case '"': out += "\\\""; return;
        case '\\': out += "\\\\"; return;
        case '\b': out += "\\b"; return;
        case '\f': out += "\\f"; return;
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        case '\t': out += "\\t"; return;
        default: break;
    }
    if (c >= 0x20 && c < 0x7F) {
        out += static_cast<char>(c);
    } else if (c > 0xFFFF) {
        appendUnicodeEscape(out, 0xD800 + ((c - 0x10000) >> 10));
        appendUnicodeEscape(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        appendUnicodeEscape(out, c);
    }
}

// A JSON object's members, in the order they are added.
class JsonObject {
public:
    JsonObject& text(const char* key, const std::string& value) { return member(key, jsonText(value)); }
    JsonObject& text(const char* key, const wchar_t* value) { return member(key, jsonText(value)); }
    JsonObject& number(const char* key, size_t value) { return member(key, std::to_string(value)); }
    // A line number; 0, the file as a whole, is null.
    JsonObject& line(size_t value) { return member("line", value == 0 ? "null" : std::to_string(value)); }
    JsonObject& section(const Section* section) {
        return member("section", section == nullptr ? "null" : jsonText(section->header));
    }
    JsonObject& value(const char* key, const std::optional<std::string>& value) {
        return member(key, value ? jsonText(*value) : "null");
    }
    std::string close() const { return members_ + "}"; }

private:
    JsonObject& member(const char* key, const std::string& json) {
        members_ += (members_.size() > 1 ? ",\"" : "\"") + std::string(key) + "\":" + json;
        return *this;
    }

    std::string members_ = "{";
};

// The members that every object has.
JsonObject jsonObject(const wchar_t* file, size_t line, const char* kind, const Section* section,
                      const std::string& message) {
    JsonObject object;
    object.text("file", file).line(line).text("kind", kind).section(section).text("message", message);
    return object;
}

const char* const kNotComparedText = "set to a text, which a unit's file cannot show; not compared";

// "SECTION: OLD -> NEW", or for a password set to a text "SECTION: " and why it is not compared,
// which the text line marks "note: ".
std::string differenceMessage(const Difference& d, bool markNote) {
    const std::string section = d.section->header;
    if (d.kind == Difference::Kind::PasswordNotCompared)
        return section + (markNote ? ": note: " : ": ") + kNotComparedText;
    return section + ": " + d.shownOld() + " -> " + d.shownNew();
}

// The summary's words before the golden file's name and after it, both ASCII.
std::string summaryBefore(const FleetCounts& c) {
    return std::to_string(c.differing) + " of " + std::to_string(c.units) + " units differ from ";
}
std::string summaryAfter(const FleetCounts& c) {
    std::string after = " (" + std::to_string(c.settings) + (c.settings == 1 ? " setting)" : " settings)");
    if (c.unreadable > 0) after += "; " + std::to_string(c.unreadable) + " could not be read";
    return after;
}

const char* const kMatches = "matches ";

std::wstring widened(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace

std::string jsonText(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) appendJsonCharacter(out, static_cast<unsigned char>(c));
    return out + "\"";
}

std::string jsonText(std::wstring_view wide) {
    std::string out = "\"";
    for (const wchar_t c : wide) {
        const auto code = static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
        const bool unconverted = code >= kUnconvertedByteBase + 0x80 && code <= kUnconvertedByteBase + 0xFF;
        appendJsonCharacter(out, unconverted ? code - kUnconvertedByteBase : code);
    }
    return out + "\"";
}

std::string differenceLine(std::string_view unit, std::string_view golden, const Difference& difference) {
    return std::string(unit) + ": " + differenceMessage(difference, true) + " (" + std::string(golden) + ":" +
           std::to_string(difference.goldenLine) + ")";
}

std::string matchLine(std::string_view unit, std::string_view golden) {
    return std::string(unit) + ": " + kMatches + std::string(golden);
}

std::string summaryLine(std::string_view golden, const FleetCounts& counts) {
    return summaryBefore(counts) + std::string(golden) + summaryAfter(counts);
}

const std::string& CheckOutput::bytes(const wchar_t* file) {
    if (namedFileBytes_.empty() || namedFile_ != file) {
        namedFile_ = file;
        namedFileBytes_ = host::bytesFromWide(file);
    }
    return namedFileBytes_;
}

void CheckOutput::diagnostic(const wchar_t* file, const Diagnostic& d, bool evenWhenQuiet) {
    if (quiet_ && d.kind != Diagnostic::Kind::Error && !(evenWhenQuiet && d.kind == Diagnostic::Kind::Warning)) return;
    if (json_) return toStandardOutput(jsonObject(file, d.line, kindName(d.kind), d.section, d.text).close());
    const std::string where = d.line == 0 ? "" : ":" + std::to_string(d.line);
    const std::string line = bytes(file) + where + ": " + kindName(d.kind) + ": " + d.text;
    if (d.kind == Diagnostic::Kind::Error) return toStandardError(line);
    toStandardOutput(line);
}

void CheckOutput::planLine(const wchar_t* file, size_t line, const Section* section, const std::string& message) {
    if (quiet_) return;
    if (json_) return toStandardOutput(jsonObject(file, line, "plan", section, message).close());
    toStandardOutput(bytes(file) + ":" + std::to_string(line) + ": " + message);
}

void CheckOutput::fileError(const wchar_t* file, const std::string& text, bool unit) {
    if (!json_) return toStandardError(bytes(file) + ": error: " + text);
    JsonObject object = jsonObject(file, 0, "error", nullptr, text);
    if (unit) object.text("unit", file);
    toStandardOutput(object.close());
}

void CheckOutput::lineError(const wchar_t* file, size_t line, const std::string& text) {
    if (json_) return toStandardOutput(jsonObject(file, line, "error", nullptr, text).close());
    toStandardError(bytes(file) + (line == 0 ? "" : ":" + std::to_string(line)) + ": error: " + text);
}

void CheckOutput::difference(const wchar_t* unit, const wchar_t* golden, const Difference& d) {
    if (quiet_) return;
    if (!json_) return toStandardOutput(differenceLine(host::bytesFromWide(unit), bytes(golden), d));
    const bool note = d.kind == Difference::Kind::PasswordNotCompared;
    JsonObject object =
        jsonObject(golden, d.goldenLine, note ? "note" : "change", d.section, differenceMessage(d, false));
    object.text("unit", unit);
    if (!note) object.value("old", d.oldValue).value("new", d.newValue);
    toStandardOutput(object.close());
}

void CheckOutput::match(const wchar_t* unit, const wchar_t* golden) {
    if (quiet_) return;
    if (!json_) return toStandardOutput(matchLine(host::bytesFromWide(unit), bytes(golden)));
    // As in the summary, the golden file's name by its characters.
    const std::wstring message = widened(kMatches) + golden;
    JsonObject object;
    object.text("file", golden).line(0).text("kind", "match").section(nullptr).text("message", message.c_str());
    toStandardOutput(object.text("unit", unit).close());
}

void CheckOutput::summary(const wchar_t* golden, const FleetCounts& counts) {
    if (!json_) return toStandardOutput(summaryLine(bytes(golden), counts));
    // The golden file's name by its characters, as in "file".
    const std::wstring message = widened(summaryBefore(counts)) + golden + widened(summaryAfter(counts));
    JsonObject object;
    object.text("file", golden).line(0).text("kind", "summary").section(nullptr).text("message", message.c_str());
    object.number("units", counts.units).number("differing", counts.differing).number("settings", counts.settings);
    toStandardOutput(object.number("unreadable", counts.unreadable).close());
}

HeldPlan::~HeldPlan() {
    if (spilled_ != nullptr) (void)std::fclose(spilled_);  // a temporary file: gone once closed
}

void HeldPlan::add(const PlannedCall& call) {
    Line line{call.line, call.section, call.operation + " " + call.argument};
    if (spilled_ == nullptr && error_ == 0 && lines_.size() < kPlanLinesHeld) return lines_.push_back(std::move(line));
    if (error_ == 0 && !spill(line)) error_ = errno != 0 ? errno : EIO;
}

// A line in the temporary file: its number, its section's place in the table (or the table's
// size for none), the message's length and bytes.
bool HeldPlan::spill(const Line& line) {
    if (spilled_ == nullptr) {
        errno = 0;
        spilled_ = std::tmpfile();
        if (spilled_ == nullptr) return false;
    }
    const size_t head[3] = {line.line, line.section != nullptr ? static_cast<size_t>(line.section->id) : kSectionCount,
                            line.message.size()};
    return std::fwrite(head, sizeof head, 1, spilled_) == 1 &&
           std::fwrite(line.message.data(), 1, line.message.size(), spilled_) == line.message.size();
}

bool HeldPlan::print(const wchar_t* file, CheckOutput& out, std::string& failure) {
    for (const Line& line : lines_) out.planLine(file, line.line, line.section, line.message);
    lines_.clear();
    if (spilled_ != nullptr && error_ == 0) {
        errno = 0;
        if (std::fflush(spilled_) != 0 || std::fseek(spilled_, 0, SEEK_SET) != 0) error_ = errno != 0 ? errno : EIO;
        size_t head[3];
        std::string message;
        while (error_ == 0 && std::fread(head, sizeof head, 1, spilled_) == 1) {
            message.resize(head[2]);
            if (head[1] > kSectionCount ||
                (head[2] > 0 && std::fread(message.data(), 1, head[2], spilled_) != head[2])) {
                error_ = std::ferror(spilled_) != 0 && errno != 0 ? errno : EIO;
                break;
            }
            out.planLine(file, head[0], head[1] < kSectionCount ? &kSections[head[1]] : nullptr, message);
        }
        if (error_ == 0 && std::ferror(spilled_) != 0) error_ = errno != 0 ? errno : EIO;
    }
    if (spilled_ != nullptr) (void)std::fclose(spilled_);
    spilled_ = nullptr;
    if (error_ == 0) return true;
    failure = "cannot keep the plan past its first " + std::to_string(kPlanLinesHeld) + " lines in a temporary file (" +
              std::strerror(error_) + ")";
    error_ = 0;
    return false;
}
