// The simulated unit's state: its settings (NVRAM), its firmware and machine faults, and the
// line-oriented state file that holds them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The default unit's boot order: Hard Disk, USB, LAN.
std::vector<uint8_t> defaultBootSequence();
// The default unit's settings held as one value (choiceRows()), by function number.
std::map<uint8_t, uint16_t> defaultChoices();

struct Settings {
    std::string adminPassword = "admin";
    std::string userPassword;
    std::string assetTag = "ROOM-7";
    std::vector<uint8_t> bootSequence = defaultBootSequence();
    uint8_t wakeDays = 0x3E;
    uint8_t wakeHour = 6;
    uint8_t wakeMinute = 5;
    std::map<uint8_t, uint16_t> choices = defaultChoices();

    // A setting held as one value, by its function number; it must have a row.
    uint16_t& choice(uint8_t function) { return choices.at(function); }
    const uint16_t& choice(uint8_t function) const { return choices.at(function); }

    bool operator==(const Settings& other) const;
    bool operator!=(const Settings& other) const { return !(*this == other); }
};

// Faults of the firmware and the machine. A fault key that was not given keeps its default
// and is not saved.
struct Faults {
    uint8_t versionMajor = 1;
    uint8_t versionMinor = 2;
    bool signatureValid = true;
    uint32_t headerOffset = 0x7A30;
    bool checksumValid = true;
    std::vector<uint32_t> decoyHeaders;
    uint32_t entryAddress = 0xF8000;
    // Operation names whose call comes back with carry set, and steps of the device manager
    // (deviceManagerSteps()) that fail on the test machine's coredll.dll.
    std::vector<std::string> fail;
    std::optional<uint32_t> segmentReserveError;
    std::optional<uint32_t> segmentMapError;
    std::optional<uint32_t> windowReserveError;
    std::optional<uint32_t> windowMapError;
    bool scratchAllocFails = false;
    // The CE generation whose coredll the device image meets (5, 6 or 7). Only the test
    // machine's coredll.dll acts on it; the host builds' platform layer has one route only.
    uint8_t ceVersion = 5;

    bool fails(std::string_view operation) const;
    bool operator==(const Faults& other) const;
};

struct State {
    Settings settings;
    Faults faults;
    std::vector<std::string> givenFaultKeys;  // in table order, for saving

    bool operator==(const State& other) const {
        return settings == other.settings && faults == other.faults && givenFaultKeys == other.givenFaultKeys;
    }
};

// The steps of the device manager and the kernel that `fail` can make fail, by function name.
const std::vector<std::string_view>& deviceManagerSteps();

// Parses a state file's text. On failure `error` is "LINE: WHAT" and `state` is untouched.
bool parseState(std::string_view text, State& state, std::string& error);

// The state file text that parses back to `state`: every setting, and the fault keys given.
std::string formatState(const State& state);

// The state file text `text` with `state` written into it: a key whose value changed rewrites its
// own line, a key set for the first time is appended, and comments stay where they stand. A
// text that is empty or does not parse gives formatState(state).
std::string mergeState(std::string_view text, const State& state);

}  // namespace sim
