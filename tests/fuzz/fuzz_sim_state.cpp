// Fuzz target: the simulated unit's state file parser. A parsed state saves to a text that parses
// back to the same state and saves to the same text again; a text that does not parse names a
// line of it and leaves the state as it was.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "sim_state.h"

namespace {

size_t lineCount(std::string_view text) {
    size_t lines = 0;
    for (size_t start = 0; start < text.size(); ++lines) {
        const size_t end = text.find('\n', start);
        start = end == std::string_view::npos ? text.size() : end + 1;
    }
    return lines;
}

// A state unlike the default unit, to show whether a failed parse touched it.
sim::State marker() {
    sim::State state;
    state.settings.assetTag = "untouched";
    state.settings.bootSequence = {1, 2, 3, 4};
    state.faults.fail = {"getNumlock"};
    state.givenFaultKeys = {"fail"};
    return state;
}

void checkError(std::string_view text, const std::string& error) {
    const size_t colon = error.find(": ");
    FUZZ_CHECK(colon != std::string::npos && colon > 0 && error.find_first_not_of("0123456789") == colon &&
                   colon + 2 < error.size(),
               "error without a line and a reason: " + fuzz::shown(error));
    const unsigned long line = std::stoul(error.substr(0, colon));
    FUZZ_CHECK(line >= 1 && line <= lineCount(text),
               "error names line " + std::to_string(line) + " of " + std::to_string(lineCount(text)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    sim::State state = marker();
    std::string error;
    if (!sim::parseState(text, state, error)) {
        checkError(text, error);
        FUZZ_CHECK(state == marker(), "a failed parse changed the state");
        return 0;
    }
    const std::string saved = sim::formatState(state);
    sim::State reloaded = marker();
    FUZZ_CHECK(sim::parseState(saved, reloaded, error), "the save does not parse: " + error + "\n" + saved);
    FUZZ_CHECK(reloaded == state, "the save parses to another state:\n" + saved);
    FUZZ_CHECK(sim::formatState(reloaded) == saved, "the save of the save differs:\n" + saved);
    return 0;
}
