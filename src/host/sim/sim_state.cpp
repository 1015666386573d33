// Parsing and saving the simulated unit's state file: `key = value` lines, `#` comments.
#include "sim_state.h"

#include "sim_model.h"
#include "sim_state_keys.h"

#include "text_format.h"

#include <algorithm>
#include <utility>

namespace sim {

std::vector<uint8_t> defaultBootSequence() { return {2, 5, 6}; }

const std::vector<std::string_view>& deviceManagerSteps() {
    static const std::vector<std::string_view> steps = {
        "RegCreateKeyExW", "RegSetValueExW", "ActivateDeviceEx", "CreateFileW",
        "DeviceIoControl", "OpenProcess",    "VirtualCopyEx",
    };
    return steps;
}

std::map<uint8_t, uint16_t> defaultChoices() {
    std::map<uint8_t, uint16_t> choices;
    for (const ChoiceRow& row : choiceRows()) choices[row.function] = row.defaultValue;
    return choices;
}

bool Settings::operator==(const Settings& o) const {
    return adminPassword == o.adminPassword && userPassword == o.userPassword && assetTag == o.assetTag &&
           bootSequence == o.bootSequence && wakeDays == o.wakeDays && wakeHour == o.wakeHour &&
           wakeMinute == o.wakeMinute && choices == o.choices;
}

bool Faults::operator==(const Faults& o) const {
    return versionMajor == o.versionMajor && versionMinor == o.versionMinor && signatureValid == o.signatureValid &&
           headerOffset == o.headerOffset && checksumValid == o.checksumValid && decoyHeaders == o.decoyHeaders &&
           entryAddress == o.entryAddress && fail == o.fail && segmentReserveError == o.segmentReserveError &&
           segmentMapError == o.segmentMapError && windowReserveError == o.windowReserveError &&
           windowMapError == o.windowMapError && scratchAllocFails == o.scratchAllocFails && ceVersion == o.ceVersion;
}

bool Faults::fails(std::string_view operation) const {
    return std::find(fail.begin(), fail.end(), operation) != fail.end();
}

bool parseState(std::string_view text, State& state, std::string& error) {
    State parsed;
    std::vector<bool> seen(keys().size(), false);
    size_t decoyLine = 0;
    size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const auto fail = [&](const std::string& what) {
            error = std::to_string(lineNumber) + ": " + what;
            return false;
        };
        if (line.find('\0') != std::string_view::npos) return fail("zero byte in line");
        line = trim(line);
        if (line.empty() || line.front() == '#') continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) return fail("expected key = value");
        const std::string_view name = trim(line.substr(0, equals));
        const std::string_view value = trim(line.substr(equals + 1));
        const auto& table = keys();
        const auto key = std::find_if(table.begin(), table.end(), [&](const Key& k) { return name == k.name; });
        if (key == table.end()) return fail("unknown key '" + std::string(name) + "'");
        const auto index = static_cast<size_t>(key - table.begin());
        if (seen[index]) return fail("repeated key '" + std::string(name) + "'");
        seen[index] = true;
        std::string what;
        if (!key->parse(value, parsed, what)) return fail(std::string(name) + ": " + what);
        if (name == "decoy_headers") decoyLine = lineNumber;
    }
    for (uint32_t offset : parsed.faults.decoyHeaders) {
        if (offset >= parsed.faults.headerOffset) {
            error = std::to_string(decoyLine) + ": decoy_headers: offset " + hexText(offset, 4) +
                    " is not below header_offset";
            return false;
        }
    }
    for (size_t i = 0; i < keys().size(); ++i) {
        if (seen[i] && keys()[i].fault) parsed.givenFaultKeys.emplace_back(keys()[i].name);
    }
    state = std::move(parsed);
    return true;
}

std::string mergeState(std::string_view text, const State& state) {
    State old;
    std::string error;
    if (text.empty() || !parseState(text, old, error)) return formatState(state);
    const auto& table = keys();
    std::vector<bool> present(table.size(), false);
    std::string out;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::string_view content = trim(line);
        const size_t equals = content.find('=');
        const auto key = content.empty() || content.front() == '#' || equals == std::string_view::npos
                             ? table.end()
                             : std::find_if(table.begin(), table.end(),
                                            [&](const Key& k) { return trim(content.substr(0, equals)) == k.name; });
        if (key == table.end() || key->format(state) == key->format(old)) {
            out.append(line);
        } else {
            // A changed key rewrites its own line, keeping a carriage return that ended it.
            out += std::string(key->name) + " = " + key->format(state);
            if (!line.empty() && line.back() == '\r') out += '\r';
        }
        if (key != table.end()) present[static_cast<size_t>(key - table.begin())] = true;
        out += '\n';
    }
    // A key set for the first time goes at the end.
    for (size_t i = 0; i < table.size(); ++i) {
        if (present[i] || table[i].fault || table[i].format(state) == table[i].format(old)) continue;
        out += std::string(table[i].name) + " = " + table[i].format(state) + "\n";
    }
    return out;
}

std::string formatState(const State& state) {
    std::string out = "# FolvaneCE simulated unit\n";
    for (const Key& key : keys()) {
        const bool given =
            std::find(state.givenFaultKeys.begin(), state.givenFaultKeys.end(), key.name) != state.givenFaultKeys.end();
        if (key.fault && !given) continue;
        out += key.name;
        out += " = ";
        out += key.format(state);
        out += '\n';
    }
    return out;
}

}  // namespace sim
