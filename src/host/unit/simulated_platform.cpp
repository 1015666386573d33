// The platform functions that reach the firmware on every machine that is not the device: all
// of them act on the simulated unit installed for this process, which is loaded here.
#include "simulated_platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host_entry.h"
#include "host_file.h"
#include "platform.h"
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

std::unique_ptr<sim::Unit> processUnit;

[[noreturn]] void stopLoading(const std::string& line) {
    (void)std::fprintf(stderr, "simulated unit: %s\n", line.c_str());
    std::exit(sim::kStatusUnitStopped);
}

}  // namespace

void startSimulatedUnit() {
    const char* statePath = std::getenv("FOLVANE_MACHINE");
    const char* logPath = std::getenv("FOLVANE_MACHINE_LOG");
    sim::State state;
    std::string path = statePath != nullptr ? statePath : "";
    if (!path.empty()) {
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
    sim::installUnit(processUnit.get());
}

int finishSimulatedRun(int status) {
    (void)finishProcess(status);
    if (processUnit && processUnit->regionsHeld()) sim::fault("a region is still reserved at exit");
    return status;
}

}  // namespace host
