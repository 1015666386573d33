// What the checker's reading of a data file builds on: the option tables as ranges of names, the
// texts of the plan's arguments and of section names, and decimal numbers as W's conversion reads
// them.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "option_tables.h"
#include "text_classes.h"
#include "text_format.h"

// An option table as a range of names.
struct TableNames {
    const OptionTable& table;
    const char* const* begin() const { return table.names; }
    const char* const* end() const { return table.names + table.count; }
};

inline std::array<std::string_view, kSectionCount> headerTexts() {
    std::array<std::string_view, kSectionCount> headers;
    for (size_t i = 0; i < kSectionCount; ++i) headers[i] = kSections[i].header;
    return headers;
}

inline std::string didYouMean(std::optional<std::string_view> name, const char* mark = "") {
    if (!name) return "";
    return " (did you mean " + quotedText(mark + std::string(*name)) + "?)";
}

// ---- the plan's arguments

inline std::string bootCodes(const BootSequence& sequence) {
    std::string codes;
    for (const uint8_t code : sequence) {
        if (!codes.empty()) codes += ' ';
        codes += std::to_string(code);
        if (code == kBootEnd) break;
    }
    return codes;
}

// "setup password", "power-on password": the section's header in lower case.
inline std::string passwordName(const Section& section) {
    std::string name(section.header, section.headerLength);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

inline bool endsInBlank(const char* text) {
    const size_t length = std::strlen(text);
    return length > 0 && isWhiteSpace(text[length - 1]);
}

inline std::string sectionName(const Section& section) { return quotedText(section.header); }

// A decimal number as W's conversion reads it, before the cut to 8 bits: leading white space and
// a sign, then digits, held within the 32-bit range. Also the text after the digits.
struct DecimalText {
    int64_t value = 0;
    std::string_view rest;
};

inline DecimalText readDecimal(std::string_view text) {
    while (!text.empty() && isWhiteSpace(text.front())) text.remove_prefix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    int64_t magnitude = 0;
    while (!text.empty() && isDecimalDigit(text.front())) {
        magnitude = std::min<int64_t>(magnitude * 10 + (text.front() - '0'), INT64_C(0x80000000));
        text.remove_prefix(1);
    }
    return {negative ? -magnitude : std::min<int64_t>(magnitude, INT32_MAX), text};
}

inline bool allBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return isWhiteSpace(c); });
}

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
