// Plain searches over a data file's bytes, for the invariants of the fuzz targets of W.
#include "data_file_oracle.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

namespace fuzz {

const std::vector<std::string_view> kHeaders = {
    "Setup Password",   "Power-On Password", "Asset Tracking Number", "Serial Port Address",
    "Parallel Port Address", "Printer Mode", "ECP Mode Use DMA",      "Parallel Port EPP Type",
    "Boot Order",       "PS/2 Port Status",  "PWRON After PWR-Fail",  "USB Controller",
    "Wake On RTC",      "Numlock",           "S3 Support",
};
const std::vector<std::string_view> kEcpDmaNames = {"DMA1", "DMA3"};
const std::vector<std::string_view> kBootNames = {
    "Floppy",  "LS120",   "Hard Disk", "CDROM",   "ZIP100",  "USB",     "LAN",     "Unknown",
    "Unknown", "Unknown", "Unknown",   "Unknown", "Unknown", "Unknown", "Unknown", "Disabled",
};
const std::vector<std::string_view> kDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                 "Thursday", "Friday", "Saturday"};

namespace {

const std::vector<ChoiceNames>& choices() {
    static const std::vector<ChoiceNames> table = {
        {4, "Serial Port Address", {"Disabled", "3F8h/IRQ4", "2F8h/IRQ3", "3E8h/IRQ4", "2E8h/IRQ3"}},
        {5, "Parallel Port Address", {"Disabled", "3BCh/IRQ7", "378h/IRQ7", "278h/IRQ5"}},
        {6, "Printer Mode", {"Output-Only", "EPP", "ECP", "ECP/EPP"}},
        {7, "Parallel Port EPP Type", {"EPP 1.9", "EPP 1.7"}},
        {10, "PS/2 Port Status", {"PS/2 port is keyboard", "PS/2 port is mouse"}},
        {11, "PWRON After PWR-Fail", {"Off", "On", "Former state"}},
        {12, "USB Controller", {"Disabled", "Enabled"}},
        {14, "Numlock", {"Off", "On"}},
        {15, "S3 Support", {"Disabled", "Enabled"}},
    };
    return table;
}

// A decimal conversion of the device's runtime: its long has 32 bits, and a value out of its
// range reads as the nearest end of it.
uint8_t deviceByte(long long value) {
    value = std::clamp<long long>(value, INT32_MIN, INT32_MAX);
    return static_cast<uint8_t>(static_cast<unsigned long long>(value) & 0xFF);
}

uint8_t deviceDecimalByte(const std::string& text) { return deviceByte(std::strtoll(text.c_str(), nullptr, 10)); }

// The text up to the end of its line (or a zero byte, or the end of `scope`).
std::string_view restOfLine(std::string_view scope, size_t from) {
    const size_t end = scope.find_first_of(std::string_view("\n\0", 2), from);
    return scope.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
}

// Every minute that the text after a time line's ":" can give, cut at any byte of its piece.
std::vector<uint8_t> minutesAfter(std::string_view text) {
    std::vector<uint8_t> minutes = {0};  // cut before the first digit
    size_t i = 0;
    while (i < text.size() && isWhiteSpace(text[i])) ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    // A piece holds at most 255 bytes; the value grows as a 64-bit conversion's would.
    long long value = 0;
    for (; i < text.size() && i < 256 && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        value = value > (LLONG_MAX - digit) / 10 ? LLONG_MAX : value * 10 + digit;
        minutes.push_back(deviceByte(negative ? -value : value));
    }
    return minutes;
}

// Whether a time line's text can begin at `p`: after white space, or after a mark that is.
bool canStartText(std::string_view scope, size_t p) {
    if (p == 0) return false;
    if (isWhiteSpace(scope[p - 1])) return true;
    return scope[p - 1] == '*' && p >= 2 && isWhiteSpace(scope[p - 2]);
}

}  // namespace

const ChoiceNames* choiceByFunction(uint8_t function) {
    for (const ChoiceNames& c : choices()) {
        if (c.function == function) return &c;
    }
    return nullptr;
}

const ChoiceNames* choiceByHeader(std::string_view header) {
    for (const ChoiceNames& c : choices()) {
        if (c.header == header) return &c;
    }
    return nullptr;
}

size_t firstIndex(const std::vector<std::string_view>& names, std::string_view text) {
    return static_cast<size_t>(std::find(names.begin(), names.end(), text) - names.begin());
}

size_t firstBootCode(std::string_view name) { return firstIndex(kBootNames, name); }

bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool contains(std::string_view scope, std::string_view text) { return scope.find(text) != std::string_view::npos; }

FileText::FileText(std::string_view bytes) : bytes_(bytes) {
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            lines_.push_back(bytes.substr(start));
            break;
        }
        lines_.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
}

std::string_view FileText::line(size_t number) const {
    return number >= 1 && number <= lines_.size() ? lines_[number - 1] : std::string_view();
}

bool FileText::endsWithLineFeed(size_t number) const {
    const std::string_view text = line(number);
    return number >= 1 && number <= lines_.size() && text.data() + text.size() < bytes_.data() + bytes_.size();
}

bool isControlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
}

bool isTakenText(std::string_view text) {
    return !text.empty() && !isWhiteSpace(text.front()) && std::none_of(text.begin(), text.end(), isControlByte) &&
           text.size() <= 254;
}

namespace {

bool intact(std::string_view line, bool lineFeed) {
    if (lineFeed && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line.size() <= (lineFeed ? 254u : 255u) && std::none_of(line.begin(), line.end(), isControlByte);
}

}  // namespace

LineState lineState(const FileText& file, size_t number) {
    std::string_view line = file.line(number);
    const size_t ctrlZ = line.find('\x1A');
    if (ctrlZ != std::string_view::npos) return intact(line.substr(0, ctrlZ), false) ? LineState::Intact : LineState::Damaged;
    if (file.endsWithLineFeed(number)) return intact(line, true) ? LineState::Intact : LineState::Damaged;
    const size_t last = line.find_last_not_of('\0');
    const std::string_view text = line.substr(0, last == std::string_view::npos ? 0 : last + 1);
    if (!intact(text, false)) return LineState::Damaged;
    return text.size() == line.size() ? LineState::Intact : LineState::Either;
}

bool standsAsEntry(std::string_view scope, std::string_view text) {
    for (size_t at = scope.find(text, 1); at != std::string_view::npos; at = scope.find(text, at + 1)) {
        if (isWhiteSpace(scope[at - 1])) return true;
    }
    return false;
}

bool standsMarked(std::string_view scope, std::string_view name) {
    const std::string marked = "*" + std::string(name);
    return standsAsEntry(scope, marked);
}

std::set<std::pair<uint8_t, uint8_t>> timesIn(std::string_view scope) {
    std::set<std::pair<uint8_t, uint8_t>> times;
    for (size_t p = 0; p < scope.size(); ++p) {
        if (scope[p] < '0' || scope[p] > '9' || !canStartText(scope, p)) continue;
        const std::string_view text = restOfLine(scope, p);
        const size_t colon = text.find(':');
        if (colon == std::string_view::npos) continue;
        const uint8_t hour = deviceDecimalByte(std::string(text.substr(0, colon)));
        for (uint8_t minute : minutesAfter(text.substr(colon + 1))) times.insert({hour, minute});
    }
    return times;
}

FileStartVerdict fileStart(std::string_view bytes) {
    using Kind = FileStartVerdict::Kind;
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") return {Kind::Utf16, bytes};
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const size_t piece = 255;
    const size_t end = bytes.find_first_of(std::string_view("\n\r\x1A", 3));
    if (end == std::string_view::npos || end >= piece || bytes[end] != '\r') return {Kind::Text, bytes};
    size_t after = end + 1;
    while (after < bytes.size() && after < piece && bytes[after] == '\r') ++after;
    // Zero bytes at the very end of the file are no part of its text.
    const bool ended = bytes.find_first_not_of('\0', after) == std::string_view::npos;
    if (ended || bytes[after] != '\n') return {Kind::CrAlone, bytes};
    return {Kind::Text, bytes};
}

}  // namespace fuzz
