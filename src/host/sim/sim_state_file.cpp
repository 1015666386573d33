// Saving the state file: merged into its text, written beside it, synced and renamed over it.
#include "sim_state_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host_file.h"
#include "sim_host_memory.h"

namespace sim {
namespace {

// Writes `text` beside `path`, forces it to the disk, and puts it in place of `path`, so that a
// crash at any moment leaves either the old or the new file whole. Empty on success, else why.
std::string replaceFile(const std::string& path, const std::string& text, unsigned long pauseMs) {
    std::string temporary;
    // The state file holds passwords: the new file keeps its permission bits.
    host::File owned(host_memory::createReplacement(path, temporary));
    if (!owned) return std::strerror(errno);
    FILE* file = owned.get();
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0 &&
                         host_memory::syncToDisk(file);
    const int writeError = errno;
    const bool closed = std::fclose(owned.release()) == 0;
    std::string why;
    if (!written || !closed) {
        why = std::strerror(written ? errno : writeError);
    } else {
        if (pauseMs != 0) host_memory::pause(pauseMs);
        why = host_memory::moveOver(temporary, path);
    }
    if (!why.empty()) host_memory::removeReplacement(temporary);
    return why;
}

}  // namespace

std::string saveStateFile(const std::string& path, const State& state, unsigned long pauseMs) {
    std::string saved;
    int error = 0;
    (void)host::readWholeFile(path, saved, error);  // none yet: the whole state is written
    return replaceFile(path, mergeState(saved, state), pauseMs);
}

}  // namespace sim
