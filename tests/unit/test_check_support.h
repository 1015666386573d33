// Helpers of the checker's tests against R and W on simulated units: random units, R's files of
// them, R's files mutated as hand editing would, and W's set calls written as the plan writes them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "console_capture.h"
#include "check.h"
#include "check_output.h"
#include "datafile.h"
#include "option_tables.h"
#include "sim_scoped_unit.h"
#include "sim_unit.h"
#include "random_unit.h"
#include "test_support.h"

namespace check_testing {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::wide;
using testing_support::pick;
using testing_support::randomUnit;
using testing_support::Rng;
using Lines = std::vector<std::string>;

inline std::string retrieve(const std::string& state, const std::string& path) {
    sim::ScopedUnit unit(state);
    EXPECT_TRUE(unit.ok()) << unit.error() << "\n" << state;
    host::ConsoleCapture console;
    EXPECT_EQ(retrieveSettings(wide(path).c_str()), 0);
    return readFile(path);
}

inline CheckReport checkPath(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    const CheckReport report = checkDataFile(file);
    std::fclose(file);
    return report;
}

// ---- R's files mutated at random

inline Lines splitLines(const std::string& text) {
    Lines lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

// A report as FolvaneCheck prints it, through the program's own output: each line without the
// file's name and its colon ("LINE: warning: TEXT", " warning: TEXT" for the file as a whole),
// then with the plan "LINE: OPERATION ARGUMENT".
inline Lines printedLines(const CheckReport& report, bool withPlan) {
    host::ConsoleCapture console;
    CheckOutput out(false);
    HeldPlan plan;
    for (const Diagnostic& d : report.diagnostics) {
        if (d.kind == Diagnostic::Kind::Error) ADD_FAILURE() << "an error goes to standard error: " << d.text;
        out.diagnostic(L"f", d);
    }
    if (withPlan) {
        for (const PlannedCall& call : report.plan) plan.add(call);
    }
    std::string failure;
    EXPECT_TRUE(plan.print(L"f", out, failure)) << failure;
    Lines lines;
    for (const std::string& line : splitLines(console.text())) {
        EXPECT_EQ(line.rfind("f:", 0), 0u) << line;
        lines.push_back(line.substr(2));
    }
    // W's refusal, after the diagnostics as the program prints it (on standard error); it plans nothing.
    if (report.refusal != Refusal::None) lines.push_back(" error: " + refusalText(report.refusal));
    return lines;
}

// Lines that hand editing brings in, besides the headers: near misses of headers and names,
// and texts that W reads in a surprising way.
// clang-format off
inline const char* const kPool[] = {
    "Numlok", "Numlock extra", "*Numlock", "boot order", "\t*On", "\t*Off", "\t*DMA1", "\t*DMA3", "\t*ECP", "\t*EPP",
    "\t*Output-Only", "\t*ECP/EPP", "\tLAN", "\tFloppy", "\tUnknown", "\tDisabled", "\t*Floppy", "\tZIP250", "\t7:30",
    "\t300:5", "\t0:00", "\t730", "\t8: -1", "\t*Monday", "\t*Saturday", "\tsecret", "\t*pw ", "", "\t", "  ",
    "\t* Enabled", "\t*Enabled", "\t*Disabled", "\t*3E8h/IRQ4", "\t*278h/IRQ5", "\t*EPP 1.7", "\t*PS/2 port is mouse",
    "\t*Former state", "\tTAG-\"1\"\\", "\t*O\rn", "\t\xE9t\xE9", "\t6:05pm", "\t256:256", "\tROOM 7 ",
    "\tLA\x1A" "N",
};
// clang-format on

inline size_t anyLine(Rng& rng, const Lines& lines) {
    return lines.empty() ? 0 : pick(rng, static_cast<uint32_t>(lines.size()));
}

inline void mutateOnce(Lines& lines, Rng& rng) {
    if (lines.empty()) lines.push_back("Numlock");
    const size_t at = anyLine(rng, lines);
    std::string& line = lines[at];
    switch (pick(rng, 12)) {
        case 0: lines.erase(lines.begin() + static_cast<long>(at)); break;
        case 1: {
            const std::string copy = line;
            lines.insert(lines.begin() + static_cast<long>(at), copy);
            break;
        }
        case 2:
            if (at + 1 < lines.size()) std::swap(lines[at], lines[at + 1]);
            break;
        case 3:  // a mark taken away or given
            if (line.size() > 1 && line[1] == '*') {
                line.erase(1, 1);
            } else if (!line.empty() && line[0] == '\t') {
                line.insert(1, "*");
            }
            break;
        case 4:
            if (line.size() > 1 && line[1] == '*') line.insert(2, " ");
            break;
        case 5:
            if (!line.empty()) line[pick(rng, static_cast<uint32_t>(line.size()))] ^= 0x20;
            break;
        case 6:
            if (!line.empty()) line.erase(pick(rng, static_cast<uint32_t>(line.size())), 1);
            break;
        case 7: {
            const uint32_t choice = pick(rng, kSectionCount + sizeof kPool / sizeof kPool[0]);
            const std::string inserted(choice < kSectionCount ? kSections[choice].header
                                                              : kPool[choice - kSectionCount]);
            lines.insert(lines.begin() + static_cast<long>(at), inserted);
            break;
        }
        case 8: {  // a section moved elsewhere, header and entry lines
            size_t end = at + 1;
            while (end < lines.size() && (lines[end].empty() || lines[end][0] == '\t')) ++end;
            const Lines block(lines.begin() + static_cast<long>(at), lines.begin() + static_cast<long>(end));
            lines.erase(lines.begin() + static_cast<long>(at), lines.begin() + static_cast<long>(end));
            const size_t to = lines.empty() ? 0 : anyLine(rng, lines);
            lines.insert(lines.begin() + static_cast<long>(to), block.begin(), block.end());
            break;
        }
        case 9: line.insert(pick(rng, static_cast<uint32_t>(line.size() + 1)), pick(rng, 2) ? "\r" : "\r\r"); break;
        case 10: line += std::string(230 + pick(rng, 60), pick(rng, 2) ? 'x' : ' '); break;
        case 11:
            lines.insert(lines.begin() + static_cast<long>(at), 14 + pick(rng, 4),
                         pick(rng, 2) ? "\tUSB" : "\tUnknown");
            break;
    }
}

inline std::string mutated(const std::string& text, Rng& rng) {
    Lines lines = splitLines(text);
    const uint32_t count = 1 + pick(rng, 6);
    for (uint32_t i = 0; i < count; ++i) mutateOnce(lines, rng);
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    if (pick(rng, 8) == 0 && !out.empty()) out.pop_back();  // no line feed after the last line
    if (pick(rng, 8) == 0) {                                // the device's CR LF line ends
        std::string crlf;
        for (const char c : out) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        out = crlf;
    }
    // What a file's way to a unit may make of it: editors' marks, other line ends, nothing left.
    switch (pick(rng, 32)) {
        case 0: return "\xEF\xBB\xBF" + out;
        case 1: return (pick(rng, 2) == 0 ? "\xFF\xFE" : "\xFE\xFF") + out;
        case 2: std::replace(out.begin(), out.end(), '\n', '\r'); return out;
        case 3: return pick(rng, 2) == 0 ? "" : "Keyboard\n\t*On\n";
        default: return out;
    }
}

// ---- W's set calls, written as the plan writes them

// A quoted text back to its bytes: the plan's C escapes and the call log's \xHH alike.
inline std::string unquoted(const std::string& quoted) {
    std::string text;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] != '\\') {
            text += quoted[i];
            continue;
        }
        const char e = quoted[++i];
        const char* simple = "t\tn\nr\rv\vf\f\"\"\\\\";
        if (e == 'x') {
            text += static_cast<char>(std::stoi(quoted.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else if (e >= '0' && e <= '7') {
            text += static_cast<char>(std::stoi(quoted.substr(i, 3), nullptr, 8));
            i += 2;
        } else {
            for (const char* s = simple; *s != '\0'; s += 2) {
                if (*s == e) text += s[1];
            }
        }
    }
    return text;
}

inline std::string logField(const std::string& log, const std::string& name) {
    const size_t at = log.find(" " + name + "=");
    if (at == std::string::npos) return "";
    const size_t start = at + name.size() + 2;
    return name == "tag" ? log.substr(start) : log.substr(start, log.find(' ', start) - start);
}

inline std::string hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// "OPERATION ARGUMENT" for a set call of W, empty for any other call; tags as their bytes.
inline std::string asPlanned(const sim::CallRecord& call, const std::string& log) {
    static const char* const kSetNames[16] = {
        nullptr,           "setAdminPassword",    "setUserPassword",  "setAssetTag",  "setSerialPort",
        "setParallelPort", "setParallelMode",     "setEppType",       nullptr,        "setBootSequence",
        "setPs2Port",      "setPowerOnAfterFail", "setUsbController", "setWakeOnRtc", "setNumlock",
        "setS3Support"};
    const uint32_t function = call.in.ebx & 0xFF;
    const uint32_t sub = (call.in.ebx >> 8) & 0xFF;
    const std::string name = function < 16 && kSetNames[function] != nullptr ? kSetNames[function] : "";
    const uint32_t cx = call.in.ecx & 0xFFFF;
    if (function == 1 || function == 2) {
        if (sub == 1) return "";
        return name + (sub == 0 ? " (cleared)" : " (" + std::to_string(cx) + " characters)");
    }
    if (name.empty() || sub != (function == 3 ? 0x81u : 1u)) return "";
    switch (function) {
        case 3: return name + " " + unquoted(logField(log, "tag"));
        case 6: return name + " " + hex(cx, 4);
        case 9: {
            std::string codes = logField(log, "seq");
            for (char& c : codes) c = c == ',' ? ' ' : c;
            return name + " " + codes;
        }
        case 13: {
            const auto byte = [&](const char* field) { return std::stoul(logField(log, field), nullptr, 16); };
            return name + " " + hex(static_cast<uint32_t>(byte("hour") << 24 | byte("minute") << 16 | byte("days")), 8);
        }
        default: return name + " " + std::to_string(call.in.ecx & 0xFF);
    }
}

// W's set calls; W's status must be `status` (1 for a file that W refuses).
inline Lines setCallsOfW(const std::string& path, const std::string& state, int status = 0) {
    sim::ScopedUnit unit(state);
    host::ConsoleCapture console;
    EXPECT_EQ(changeSettings(wide(path).c_str()), status) << console.text();
    Lines calls;
    const auto& records = unit.unit().calls();
    for (size_t i = 0; i < records.size(); ++i) {
        const std::string call = asPlanned(records[i], unit.unit().callLog()[i]);
        if (!call.empty()) calls.push_back(call);
    }
    return calls;
}

// The plan as calls on a unit whose printer mode starts as `unitMode`: an ECP DMA line that
// depends on the unit sets the channel with the unit's mode, when that is an ECP mode.
inline Lines planOn(const CheckReport& report, uint32_t unitMode, size_t& dependent) {
    Lines calls;
    for (const PlannedCall& call : report.plan) {
        if (call.dependsOnUnit) {
            ++dependent;
            const uint32_t dma = static_cast<uint32_t>(std::stoul(call.argument.substr(4)));
            if ((unitMode & 0xFF) >= 2) calls.push_back(call.operation + " " + hex(dma * 256 + (unitMode & 0xFF), 4));
        } else if (call.operation == "setAssetTag") {
            calls.push_back(call.operation + " " + unquoted(call.argument));
        } else {
            calls.push_back(call.operation + " " + call.argument);
        }
    }
    return calls;
}

}  // namespace check_testing
