// FolvaneCheck's text lines and JSON objects, and the stream each goes to.
#include "check_output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "host_output.h"
#include "host_text.h"
#include "platform.h"
#include "text_format.h"

namespace {

// Bytes that the user's locale could not convert travel in wide texts as U+DC80..U+DCFF.
constexpr uint32_t kUnconvertedByteBase = 0xDC00;

void toStandardOutput(const std::string& line) {
    const std::string text = line + "\n";
    platform::consoleWrite(text.data(), text.size());
}

void toStandardError(const std::string& line) {
    const std::string text = line + "\n";
    host::writeStandardError(text.data(), text.size());
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

// The length of the UTF-8 sequence at the start of `text`, and its character; 0 when the first
// byte begins none (a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
size_t utf8Sequence(std::string_view text, uint32_t& c) {
    const auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || at(1) < low || at(1) > high) return 0;
    c = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if (i > 1 && (at(i) < 0x80 || at(i) > 0xBF)) return 0;
        c = (c << 6) | (at(i) & 0x3F);
    }
    return length;
}

std::string hexBytes(std::string_view bytes) {
    std::string hex;
    for (const char c : bytes) hex += hexDigits(static_cast<unsigned char>(c), 2);
    return hex;
}

// A JSON object's members, in the order they are added; the bytes of names that are not UTF-8
// come last.
class JsonObject {
public:
    JsonObject& text(const char* key, const std::string& value) { return member(key, jsonText(value)); }
    // A file's name; none is null.
    JsonObject& name(const char* key, const wchar_t* value) {
        if (value == nullptr) return member(key, "null");
        const std::string bytes = host::bytesFromWide(value);
        bool utf8 = true;
        member(key, "\"" + jsonFileName(bytes, utf8) + "\"");
        if (!utf8) bytesHex_ += ",\"" + std::string(key) + "_bytes_hex\":\"" + hexBytes(bytes) + "\"";
        return *this;
    }
    // A JSON string already escaped, without its quotes.
    JsonObject& escaped(const char* key, const std::string& value) { return member(key, "\"" + value + "\""); }
    JsonObject& number(const char* key, size_t value) { return member(key, std::to_string(value)); }
    JsonObject& line(const char* key, size_t value) { return member(key, value == 0 ? "null" : std::to_string(value)); }
    // A line number; 0, the file as a whole, is null.
    JsonObject& line(size_t value) { return line("line", value); }
    JsonObject& section(const Section* section) {
        return member("section", section == nullptr ? "null" : jsonText(section->header));
    }
    JsonObject& value(const char* key, const std::optional<std::string>& value) {
        return member(key, value ? jsonText(*value) : "null");
    }
    std::string close() const { return members_ + bytesHex_ + "}"; }

private:
    JsonObject& member(const char* key, const std::string& json) {
        members_ += (members_.size() > 1 ? ",\"" : "\"") + std::string(key) + "\":" + json;
        return *this;
    }

    std::string members_ = "{";
    std::string bytesHex_;
};

// The members that every object has, in this order.
JsonObject jsonObject(const wchar_t* file, size_t line, const char* kind, const Section* section,
                      const std::string& message) {
    JsonObject object;
    object.name("file", file).line(line).text("kind", kind).section(section).text("message", message);
    return object;
}

// The same, with a message that names files, already escaped.
JsonObject jsonObjectEscaped(const wchar_t* file, const char* kind, const std::string& escapedMessage) {
    JsonObject object;
    object.name("file", file).line(0).text("kind", kind).section(nullptr).escaped("message", escapedMessage);
    return object;
}

// A file's name inside a JSON string, as jsonFileName.
std::string jsonNameChars(const wchar_t* file) {
    bool utf8 = true;
    return jsonFileName(host::bytesFromWide(file), utf8);
}

// An ASCII text inside a JSON string.
std::string jsonChars(const std::string& ascii) {
    const std::string quoted = jsonText(ascii);
    return quoted.substr(1, quoted.size() - 2);
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

std::string settingsText(size_t settings) {
    return std::to_string(settings) + (settings == 1 ? " setting" : " settings");
}

const char* const kMatches = "matches ";

}  // namespace

std::string shownFileName(std::string_view name, bool backslashSeparates) {
    bool plain = !name.empty() && name.front() != ' ' && name.back() != ' ';
    for (size_t i = 0; plain && i < name.size();) {
        uint32_t c = 0;
        const size_t length = utf8Sequence(name.substr(i), c);
        plain = length > 0 && c >= 0x20 && !(c >= 0x7F && c < 0xA0) && c != '"' && (c != '\\' || backslashSeparates);
        i += length;
    }
    if (plain) return std::string(name);
    std::string shown = "\"";
    for (size_t i = 0; i < name.size();) {
        uint32_t c = 0;
        const size_t length = utf8Sequence(name.substr(i), c);
        // A character beyond ASCII as it is, but the control characters 80h-9Fh.
        if (length > 1 && c >= 0xA0) {
            shown += name.substr(i, length);
            i += length;
            continue;
        }
        const char byte = name[i++];
        switch (byte) {
            case '"': shown += "\\\""; break;
            case '\\': shown += "\\\\"; break;
            case '\t': shown += "\\t"; break;
            case '\n': shown += "\\n"; break;
            case '\r': shown += "\\r"; break;
            default:
                if (length == 1 && c >= 0x20 && c != 0x7F) {
                    shown += byte;
                    break;
                }
                for (size_t k = 0; k < std::max<size_t>(length, 1); ++k) {
                    shown += "\\x" + hexDigits(static_cast<unsigned char>(name[i - 1 + k]), 2);
                }
                i += std::max<size_t>(length, 1) - 1;
        }
    }
    return shown + "\"";
}

std::string jsonFileName(std::string_view name, bool& utf8) {
    std::string out;
    for (size_t i = 0; i < name.size();) {
        uint32_t c = 0;
        size_t length = utf8Sequence(name.substr(i), c);
        if (length == 0) {
            utf8 = false;
            c = static_cast<unsigned char>(name[i]);
            length = 1;
        }
        appendJsonCharacter(out, c);
        i += length;
    }
    return out;
}

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

const std::string& CheckOutput::shown(const wchar_t* file) {
    if (namedFileShown_.empty() || namedFile_ != file) {
        namedFile_ = file;
        namedFileShown_ = shownFileName(host::bytesFromWide(file));
    }
    return namedFileShown_;
}

void CheckOutput::diagnostic(const wchar_t* file, const Diagnostic& d, bool evenWhenQuiet) {
    if (quiet_ && d.kind != Diagnostic::Kind::Error && !(evenWhenQuiet && d.kind == Diagnostic::Kind::Warning)) return;
    if (json_) {
        JsonObject object = jsonObject(file, d.line, kindName(d.kind), d.section, d.text);
        if (d.kind == Diagnostic::Kind::Error) object.text("code", errorCodeName(d.code));
        return toStandardOutput(object.close());
    }
    const std::string where = d.line == 0 ? "" : ":" + std::to_string(d.line);
    const std::string line = shown(file) + where + ": " + kindName(d.kind) + ": " + d.text;
    if (d.kind == Diagnostic::Kind::Error) return toStandardError(line);
    toStandardOutput(line);
}

void CheckOutput::planLine(const wchar_t* file, size_t line, const Section* section, const std::string& message) {
    if (quiet_) return;
    if (json_) return toStandardOutput(jsonObject(file, line, "plan", section, message).close());
    toStandardOutput(shown(file) + ":" + std::to_string(line) + ": " + message);
}

void CheckOutput::fileError(const wchar_t* file, ErrorCode code, const std::string& text, const wchar_t* golden) {
    if (!json_) return toStandardError(shown(file) + ": error: " + text);
    JsonObject object = jsonObject(file, 0, "error", nullptr, text);
    object.text("code", errorCodeName(code));
    if (golden != nullptr) object.name("unit", file).name("golden", golden);
    toStandardOutput(object.close());
}

void CheckOutput::lineError(const wchar_t* file, size_t line, ErrorCode code, const std::string& text) {
    if (json_)
        return toStandardOutput(
            jsonObject(file, line, "error", nullptr, text).text("code", errorCodeName(code)).close());
    toStandardError(shown(file) + (line == 0 ? "" : ":" + std::to_string(line)) + ": error: " + text);
}

void CheckOutput::difference(const wchar_t* unit, const wchar_t* golden, const Difference& d) {
    if (quiet_) return;
    if (!json_) return toStandardOutput(differenceLine(shownFileName(host::bytesFromWide(unit)), shown(golden), d));
    const bool note = d.kind == Difference::Kind::PasswordNotCompared;
    JsonObject object = jsonObject(unit, 0, note ? "note" : "change", d.section, differenceMessage(d, false));
    object.name("unit", unit).name("golden", golden).line("golden_line", d.goldenLine);
    if (!note) object.value("old", d.oldValue).value("new", d.newValue);
    toStandardOutput(object.close());
}

void CheckOutput::unitDone(const wchar_t* unit, const wchar_t* golden, UnitStatus status, size_t settings) {
    if (quiet_) return;
    if (!json_) {
        if (status == UnitStatus::Match)
            toStandardOutput(matchLine(shownFileName(host::bytesFromWide(unit)), shown(golden)));
        return;
    }
    // The golden file's name by its characters, as in "golden".
    const char* const statusName[] = {"match", "differs", "unreadable"};
    const std::string name = jsonNameChars(golden);
    const std::string message = status == UnitStatus::Match ? kMatches + name
                                : status == UnitStatus::Differs
                                    ? "differs from " + name + " (" + settingsText(settings) + ")"
                                    : "not compared with " + name;
    JsonObject object = jsonObjectEscaped(unit, "unit", message);
    object.name("unit", unit).name("golden", golden).text("status", statusName[static_cast<int>(status)]);
    toStandardOutput(object.number("settings", settings).close());
}

void CheckOutput::summary(const wchar_t* golden, const FleetCounts& counts) {
    if (!json_) return toStandardOutput(summaryLine(shown(golden), counts));
    // The golden file's name by its characters, as in "golden".
    const std::string message =
        jsonChars(summaryBefore(counts)) + jsonNameChars(golden) + jsonChars(summaryAfter(counts));
    JsonObject object = jsonObjectEscaped(nullptr, "summary", message);
    object.number("format", kJsonFormat).name("golden", golden).number("units", counts.units);
    object.number("differing", counts.differing).number("settings", counts.settings);
    toStandardOutput(object.number("unreadable", counts.unreadable).close());
}

void CheckOutput::summary(const FileCounts& counts) {
    if (!json_) return;
    const std::string message = std::to_string(counts.files) + (counts.files == 1 ? " file" : " files") +
                                " checked: " + std::to_string(counts.withWarnings) + " with warnings, " +
                                std::to_string(counts.withErrors) + " with errors";
    JsonObject object = jsonObject(nullptr, 0, "summary", nullptr, message);
    object.number("format", kJsonFormat).number("files", counts.files);
    toStandardOutput(
        object.number("with_warnings", counts.withWarnings).number("with_errors", counts.withErrors).close());
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
        spilled_ = host::temporaryFile();
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
