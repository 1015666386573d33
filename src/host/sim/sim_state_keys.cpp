// The simulated unit's state-file keys: each key's value read from and written to the file.
#include "sim_state_keys.h"

#include "firmware_interface.h"
#include "sim_model.h"

#include "text_format.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <utility>

namespace sim {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A decimal or 0x-hexadecimal number no greater than `max`.
bool parseNumber(std::string_view s, uint64_t max, uint64_t& out) {
    unsigned base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    uint64_t value = 0;
    for (char c : s) {
        const int digit = hexDigit(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) return false;
        value = value * base + static_cast<unsigned>(digit);
        if (value > max) return false;
    }
    out = value;
    return true;
}

bool parseText(std::string_view s, std::string& out, std::string& error) {
    if (s.empty() || s.front() != '"') {
        out.assign(s);
        return true;
    }
    std::string text;
    size_t i = 1;
    for (; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] != '\\') {
            text += s[i];
            continue;
        }
        if (++i == s.size()) break;
        switch (s[i]) {
            case '\\': text += '\\'; break;
            case '"': text += '"'; break;
            case 't': text += '\t'; break;
            case 'n': text += '\n'; break;
            case 'r': text += '\r'; break;
            case 'x': {
                const int high = i + 1 < s.size() ? hexDigit(s[i + 1]) : -1;
                const int low = i + 2 < s.size() ? hexDigit(s[i + 2]) : -1;
                if (high < 0 || low < 0) {
                    error = "\\x needs two hexadecimal digits";
                    return false;
                }
                text += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default: error = std::string("unknown escape \\") + s[i]; return false;
        }
    }
    if (i >= s.size()) {
        error = "unterminated quoted text";
        return false;
    }
    if (i + 1 != s.size()) {
        error = "text after the closing quote";
        return false;
    }
    out = std::move(text);
    return true;
}

std::vector<std::string_view> splitBlanks(std::string_view s) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isBlank(s[i])) ++i;
        const size_t start = i;
        while (i < s.size() && !isBlank(s[i])) ++i;
        if (i > start) words.push_back(s.substr(start, i - start));
    }
    return words;
}

// A value that is one word: whatever follows it after a blank (a comment, a second value) is
// named as the error, rather than the value being called out of range.
bool oneWord(std::string_view v, std::string& err) {
    size_t blank = 0;
    while (blank < v.size() && !isBlank(v[blank])) ++blank;
    if (blank == v.size()) return true;
    err = "text after the value: '" + std::string(trim(v.substr(blank))) + "'";
    return false;
}

// A number no greater than `max`, saved in decimal or with `hexDigits`, that `get` reads from
// the settings and `set` stores there.
Key numberKey(const char* name, uint64_t max, int hexDigits, const std::function<uint64_t(const Settings&)>& get,
              const std::function<void(Settings&, uint64_t)>& set) {
    return {name, false,
            [set, max](std::string_view v, State& st, std::string& err) {
                uint64_t n = 0;
                if (!oneWord(v, err)) return false;
                if (!parseNumber(v, max, n)) {
                    err = "value out of range (0 to " + std::to_string(max) + ")";
                    return false;
                }
                set(st.settings, n);
                return true;
            },
            [get, hexDigits](const State& st) {
                const uint64_t n = get(st.settings);
                return hexDigits > 0 ? hexText(n, hexDigits) : std::to_string(n);
            }};
}

Key settingNumber(const char* name, uint8_t Settings::*member, int hexDigits = 0) {
    return numberKey(
        name, 0xFF, hexDigits, [member](const Settings& s) { return s.*member; },
        [member](Settings& s, uint64_t n) { s.*member = static_cast<uint8_t>(n); });
}

// A setting held as one value: a byte saved in decimal, or a word saved as 0xHHHH.
Key settingChoice(const ChoiceRow& row) {
    const bool word = row.width == 2;
    const uint8_t function = row.function;
    return numberKey(
        row.key, word ? 0xFFFF : 0xFF, word ? 4 : 0, [function](const Settings& s) { return s.choice(function); },
        [function](Settings& s, uint64_t n) { s.choice(function) = static_cast<uint16_t>(n); });
}

Key settingText(const char* name, std::string Settings::*member, size_t maxLength) {
    return {name, false,
            [member, maxLength](std::string_view v, State& st, std::string& err) {
                std::string text;
                if (!parseText(v, text, err)) return false;
                if (text.size() > maxLength) {
                    err = "text longer than " + std::to_string(maxLength) + " bytes";
                    return false;
                }
                st.settings.*member = std::move(text);
                return true;
            },
            [member](const State& st) { return stateFileText(st.settings.*member); }};
}

Key faultFlag(const char* name, bool Faults::*member, const char* good, const char* bad) {
    return {name, true,
            [=](std::string_view v, State& st, std::string& err) {
                if (!oneWord(v, err)) return false;
                if (v != good && v != bad) {
                    err = std::string("expected ") + good + " or " + bad;
                    return false;
                }
                st.faults.*member = v == good;
                return true;
            },
            [=](const State& st) { return std::string(st.faults.*member ? good : bad); }};
}

Key faultNumber(const char* name, uint32_t Faults::*member, uint64_t max, int hexDigits) {
    return {name, true,
            [=](std::string_view v, State& st, std::string& err) {
                uint64_t n = 0;
                if (!oneWord(v, err)) return false;
                if (!parseNumber(v, max, n)) {
                    err = "value out of range (0 to " + hexText(max, 1) + ")";
                    return false;
                }
                st.faults.*member = static_cast<uint32_t>(n);
                return true;
            },
            [=](const State& st) { return hexText(st.faults.*member, hexDigits); }};
}

Key faultErrorCode(const char* name, std::optional<uint32_t> Faults::*member) {
    return {name, true,
            [=](std::string_view v, State& st, std::string& err) {
                uint64_t n = 0;
                if (!oneWord(v, err)) return false;
                if (!parseNumber(v, 0xFFFFFFFF, n)) {
                    err = "expected a 32-bit error code";
                    return false;
                }
                st.faults.*member = static_cast<uint32_t>(n);
                return true;
            },
            [=](const State& st) { return hexText(st.faults.*member ? *(st.faults.*member) : 0, 8); }};
}

bool parseBootSequence(std::string_view v, State& st, std::string& err) {
    std::vector<uint8_t> codes;
    for (std::string_view word : splitBlanks(v)) {
        uint64_t n = 0;
        if (!parseNumber(word, 254, n)) {
            err = "boot code out of range (0 to 254): " + std::string(word);
            return false;
        }
        codes.push_back(static_cast<uint8_t>(n));
    }
    if (codes.size() > 16) {
        err = "more than 16 boot codes";
        return false;
    }
    st.settings.bootSequence = std::move(codes);
    return true;
}

std::string formatBootSequence(const State& st) {
    std::string out;
    for (uint8_t code : st.settings.bootSequence) {
        if (!out.empty()) out += ' ';
        out += std::to_string(code);
    }
    return out;
}

bool parseVersion(std::string_view v, State& st, std::string& err) {
    if (!oneWord(v, err)) return false;
    const size_t dot = v.find('.');
    uint64_t major = 0;
    uint64_t minor = 0;
    if (dot == std::string_view::npos || dot == 0 || dot > 2 || v.size() - dot - 1 != 2 ||
        !parseNumber("0x" + std::string(v.substr(0, dot)), 0xFF, major) ||
        !parseNumber("0x" + std::string(v.substr(dot + 1)), 0xFF, minor)) {
        err = "expected M.NN, two hexadecimal bytes";
        return false;
    }
    st.faults.versionMajor = static_cast<uint8_t>(major);
    st.faults.versionMinor = static_cast<uint8_t>(minor);
    return true;
}

std::string formatVersion(const State& st) {
    char buffer[8];
    (void)std::snprintf(buffer, sizeof buffer, "%X.%02X", st.faults.versionMajor, st.faults.versionMinor);
    return buffer;
}

bool parseDecoys(std::string_view v, State& st, std::string& err) {
    std::vector<uint32_t> offsets;
    for (std::string_view word : splitBlanks(v)) {
        uint64_t n = 0;
        if (!parseNumber(word, 0xFFF0, n) || n % 16 != 0) {
            err = "decoy offset must be a multiple of 16 below FFF0h: " + std::string(word);
            return false;
        }
        offsets.push_back(static_cast<uint32_t>(n));
    }
    st.faults.decoyHeaders = std::move(offsets);
    return true;
}

std::string formatDecoys(const State& st) {
    std::string out;
    for (uint32_t offset : st.faults.decoyHeaders) {
        if (!out.empty()) out += ' ';
        out += hexText(offset, 4);
    }
    return out;
}

bool parseFail(std::string_view v, State& st, std::string& err) {
    std::vector<std::string> names;
    const auto& known = operationNames();
    const auto& steps = deviceManagerSteps();
    for (std::string_view word : splitBlanks(v)) {
        if (std::find(known.begin(), known.end(), word) == known.end() &&
            std::find(steps.begin(), steps.end(), word) == steps.end()) {
            err = "unknown operation: " + std::string(word);
            return false;
        }
        if (std::find(names.begin(), names.end(), word) == names.end()) names.emplace_back(word);
    }
    st.faults.fail = std::move(names);
    return true;
}

std::string formatFail(const State& st) {
    std::string out;
    for (const std::string& name : st.faults.fail) {
        if (!out.empty()) out += ' ';
        out += name;
    }
    return out;
}

std::vector<Key> faultKeys() {
    return {
        {"spec_version", true, parseVersion, formatVersion},
        faultFlag("support_signature", &Faults::signatureValid, "valid", "invalid"),
        faultNumber("header_offset", &Faults::headerOffset, 0xFFF3, 4),
        faultFlag("header_checksum", &Faults::checksumValid, "valid", "invalid"),
        {"decoy_headers", true, parseDecoys, formatDecoys},
        faultNumber("entry_address", &Faults::entryAddress, 0xFFFFFFFF, 5),
        {"fail", true, parseFail, formatFail},
        faultErrorCode("segment_reserve_error", &Faults::segmentReserveError),
        faultErrorCode("segment_map_error", &Faults::segmentMapError),
        faultErrorCode("window_reserve_error", &Faults::windowReserveError),
        faultErrorCode("window_map_error", &Faults::windowMapError),
        {"scratch_alloc", true,
         [](std::string_view v, State& st, std::string& err) {
             if (v != "fail") {
                 err = "expected fail";
                 return false;
             }
             st.faults.scratchAllocFails = true;
             return true;
         },
         [](const State&) { return std::string("fail"); }},
        {"ce_version", true,
         [](std::string_view v, State& st, std::string& err) {
             if (v != "5" && v != "6" && v != "7") {
                 err = "expected 5, 6 or 7";
                 return false;
             }
             st.faults.ceVersion = static_cast<uint8_t>(v[0] - '0');
             return true;
         },
         [](const State& st) { return std::to_string(st.faults.ceVersion); }},
    };
}

}  // namespace

// The settings' keys in function order (a function's own keys in the order given here), then
// the faults' keys.
const std::vector<Key>& keys() {
    static const std::vector<Key> table = [] {
        std::vector<std::pair<uint8_t, Key>> settings = {
            {kFnAdminPassword, settingText("admin_password", &Settings::adminPassword, 0xFFFF)},
            {kFnUserPassword, settingText("user_password", &Settings::userPassword, 0xFFFF)},
            {kFnAssetTag, settingText("asset_tag", &Settings::assetTag, 0xFFFF)},
            {kFnBootSequence, {"boot_sequence", false, parseBootSequence, formatBootSequence}},
            {kFnWakeOnRtc, settingNumber("wake_days", &Settings::wakeDays, 2)},
            {kFnWakeOnRtc, settingNumber("wake_hour", &Settings::wakeHour)},
            {kFnWakeOnRtc, settingNumber("wake_minute", &Settings::wakeMinute)},
        };
        for (const ChoiceRow& row : choiceRows()) settings.emplace_back(row.function, settingChoice(row));
        std::stable_sort(settings.begin(), settings.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<Key> faults = faultKeys();
        std::vector<Key> all;
        all.reserve(settings.size() + faults.size());
        for (auto& setting : settings) all.push_back(std::move(setting.second));
        std::move(faults.begin(), faults.end(), std::back_inserter(all));
        return all;
    }();
    return table;
}

}  // namespace sim
