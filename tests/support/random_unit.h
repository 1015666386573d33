// A random unit's state file text, for the tests that run R and W on many units.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "text_format.h"

namespace testing_support {

// Bytes below the space, and DEL: the file carries none of them in a tag.
constexpr char kControlBytes[] = {'\x01', '\x1B', '\x7F', '\r'};

using Rng = std::mt19937;
inline uint32_t pick(Rng& rng, uint32_t n) { return static_cast<uint32_t>(rng() % n); }

// A unit whose reads all succeed and whose values all have names in the file's tables, or,
// when not `wellBehaved`, one with values that the tables lack as well; with `controlBytes`, its
// asset tag now and then holds a control byte, which the file cannot carry.
inline std::string randomUnit(Rng& rng, bool wellBehaved, bool controlBytes = false) {
    std::string state;
    const auto add = [&](const char* key, const std::string& value) {
        state += std::string(key) + " = " + value + "\n";
    };
    const auto value = [&](uint32_t named) { return std::to_string(pick(rng, wellBehaved ? named : named + 2)); };
    add("admin_password", pick(rng, 2) ? "\"a\"" : "\"\"");
    add("user_password", pick(rng, 2) ? "\"u\"" : "\"\"");
    std::string tag;
    const uint32_t length = wellBehaved ? pick(rng, 64) : pick(rng, 80);
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t c = pick(rng, 20) == 0 ? '\t' : 0x20 + pick(rng, 0xE0);
        tag += static_cast<char>(c == 0x7F ? '*' : c);
        if (controlBytes && pick(rng, 16) == 0) tag.back() = kControlBytes[pick(rng, sizeof kControlBytes)];
    }
    // A tag that ends in blanks, and the name "Unknown" for codes the table lacks, warn.
    if (wellBehaved && !tag.empty() && (tag.back() == ' ' || tag.back() == '\t')) tag.back() = '.';
    add("asset_tag", stateFileText(tag));
    add("serial_port", value(5));
    add("parallel_port", value(4));
    add("parallel_mode", std::to_string(pick(rng, 2) << 8 | pick(rng, wellBehaved ? 4 : 6)));
    add("epp_type", value(2));
    std::string boot;
    const uint32_t codes = wellBehaved ? 1 + pick(rng, 15) : pick(rng, 17);
    const uint32_t namedCodes[] = {0, 1, 2, 3, 4, 5, 6, 15};
    for (uint32_t i = 0; i < codes; ++i) {
        boot += std::to_string(wellBehaved ? namedCodes[pick(rng, 8)] : pick(rng, 255)) + " ";
    }
    add("boot_sequence", boot);
    add("ps2_port", value(2));
    add("power_on_after_fail", value(3));
    add("usb_controller", value(2));
    add("wake_days", std::to_string(pick(rng, 256)));
    add("wake_hour", std::to_string(wellBehaved || pick(rng, 4) ? pick(rng, 24) : 255));
    add("wake_minute", std::to_string(wellBehaved || pick(rng, 4) ? pick(rng, 60) : 255));
    add("numlock", value(2));
    add("s3_support", value(2));
    return state;
}

}  // namespace testing_support
