// The platform functions that reach the firmware on every machine that is not the device: all
// of them act on the simulated unit installed for this process, which is loaded here.
#include "simulated_platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host_entry.h"
#include "host_file.h"
#include "platform.h"
#include "sim_host_memory.h"
#include "sim_unit.h"

namespace platform {

void* reserveAddressSpace(uint32_t size, uint32_t protection) { return sim::currentUnit().reserve(size, protection); }

bool mapPhysical(void* region, uint32_t physicalForm, uint32_t size, uint32_t protection) {
    return sim::currentUnit().map(region, physicalForm, size, protection);
}

bool releaseAddressSpace(void* region) { return sim::currentUnit().release(region); }

uint32_t lastError() { return sim::currentUnit().lastError(); }

void* allocateScratch(size_t size) { return sim::currentUnit().allocateScratch(size); }

void freeScratch(void* buffer) { sim::currentUnit().freeScratch(buffer); }

uint32_t flatAddress(const void* buffer, size_t size) { return sim::currentUnit().flatAddress(buffer, size); }

}  // namespace platform

namespace host {
namespace {

// How long a run waits for another on the same state file.
constexpr unsigned long kDefaultWaitSeconds = 30;

std::unique_ptr<sim::Unit> processUnit;

[[noreturn]] void stopLoading(const std::string& line) {
    (void)std::fprintf(stderr, "simulated unit: %s\n", line.c_str());
    std::exit(sim::kStatusUnitStopped);
}

// A number of the unit's own environment variable, or `absent`; anything but decimal digits
// stops the run.
unsigned long numberFrom(const char* variable, unsigned long absent) {
    const char* text = std::getenv(variable);
    if (text == nullptr || *text == '\0') return absent;
    unsigned long value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || value > 100000) stopLoading(std::string(variable) + ": not a number: " + text);
        value = value * 10 + static_cast<unsigned long>(*p - '0');
    }
    return value;
}

// One run at a time on a state file: a run loads the state only once it holds the lock beside
// it, and keeps it until it ends, so that every run starts from every change saved before it.
void lockUnit(const std::string& path) {
    const unsigned long waitMs = numberFrom("FOLVANE_MACHINE_WAIT", kDefaultWaitSeconds) * 1000;
    std::string why;
    switch (sim::host_memory::lockForProcess(path + ".lock", waitMs, why)) {
        case sim::host_memory::Lock::Held: return;
        case sim::host_memory::Lock::Busy:
            (void)std::fprintf(stderr, "FolvaneCE: the simulated unit %s is in use by another run\n", path.c_str());
            std::exit(sim::kStatusUnitStopped);
        case sim::host_memory::Lock::Failed: stopLoading(path + ".lock:0: cannot lock: " + why);
    }
}

}  // namespace

void startSimulatedUnit() {
    const char* statePath = std::getenv("FOLVANE_MACHINE");
    const char* logPath = std::getenv("FOLVANE_MACHINE_LOG");
    const unsigned long pauseMs = numberFrom("FOLVANE_MACHINE_PAUSE", 0);
    sim::State state;
    std::string path = statePath != nullptr ? statePath : "";
    if (!path.empty()) {
        lockUnit(path);
        std::string text;
        int readError = 0;
        if (host::readWholeFile(path, text, readError)) {
            std::string error;
            if (!sim::parseState(text, state, error)) stopLoading(path + ":" + error);
        } else if (readError != ENOENT) {
            stopLoading(path + ":0: cannot read: " + std::strerror(readError));
        }
    }
    if (logPath != nullptr && *logPath != '\0') {
        // A log that cannot be written would leave a run without its record: stop before it starts.
        if (!host::openHostFile(logPath, "ab")) {
            stopLoading(std::string("cannot write call log ") + logPath + ": " + std::strerror(errno));
        }
    }
    processUnit = std::make_unique<sim::Unit>(std::move(state), path, logPath != nullptr ? logPath : "");
    processUnit->pauseEachStep(pauseMs);
    if (path.empty()) processUnit->sayNothingIsKept();
    sim::installUnit(processUnit.get());
}

int finishSimulatedRun(int status) {
    (void)finishProcess(status);
    if (processUnit && processUnit->regionsHeld()) sim::fault("a region is still reserved at exit");
    return status;
}

}  // namespace host
