// The simulated unit: physical memory (the F0000h segment and the top 512 KB ROM window) with
// the device's memory manager, the dispatch of firmware calls, and the faults of the program
// that it checks as strictly as the device would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "register_block.h"
#include "sim_call_log.h"
#include "sim_host_memory.h"
#include "sim_state.h"

namespace sim {

// One firmware call as the service saw it and answered it.
struct CallRecord {
    RegisterBlock in;
    RegisterBlock out;
};

class Unit;

// Lets a test answer service calls itself: return true when `out` holds the answer.
using Responder = std::function<bool(Unit& unit, const RegisterBlock& in, RegisterBlock& out)>;

class Unit {
public:
    // `statePath` empty: the unit is never saved. `logPath` empty: no call log file.
    explicit Unit(State state, std::string statePath = {}, std::string logPath = {});
    ~Unit();
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    // The device's memory manager.
    void* reserve(uint32_t size, uint32_t protection);
    bool map(void* region, uint32_t physicalForm, uint32_t size, uint32_t protection);
    bool release(void* region);
    uint32_t lastError() const { return lastError_; }
    void* allocateScratch(size_t size);
    void freeScratch(void* buffer);

    // Buffers handed to the firmware, resolvable until the next service call returns.
    uint32_t flatAddress(const void* buffer, size_t size);

    // Where the program hands the firmware its own 32-bit addresses without registering them
    // (the device image itself), a check that `length` bytes at `flat` are the program's
    // writable memory stands in for the registrations.
    using MemoryCheck = bool (*)(uint32_t flat, size_t length);
    void checkProgramMemory(MemoryCheck check) { memoryCheck_ = check; }

    // A call into `entry`, which must be the announced service entry in the mapped segment.
    void call(const void* entry, const RegisterBlock& in, RegisterBlock& out);
    // The service itself, once control has reached its entry.
    void serve(const RegisterBlock& in, RegisterBlock& out);

    // What the firmware may touch: `length` bytes at a flat address from ESI or EDI.
    uint8_t* access(uint32_t flat, size_t length, const char* reg);
    // Whether a flat address is the program's view of the mapped ROM window.
    bool isRomWindow(uint32_t flat) const;
    // The announced entry as a pointer into the mapped segment, or null when none is mapped.
    const void* announcedEntry() const;

    // For tests and the process's exit check.
    State& state() { return state_; }
    const State& state() const { return state_; }
    bool regionsHeld() const { return !regions_.empty(); }
    // Keeps every call and log line in memory for a test to read back (a process does not).
    void recordCalls() {
        recording_ = true;
        log_.keepInMemory();
    }
    const std::vector<std::string>& callLog() const { return log_.lines(); }
    const std::vector<CallRecord>& calls() const { return calls_; }
    void setResponder(Responder responder) { responder_ = std::move(responder); }

    // Saves the state into the state file; a save that fails ends the process (power lost).
    void save();

    // For tests of interrupted runs: a wait of `milliseconds` in every service call and in every
    // save, while the new state file stands beside the old one.
    void pauseEachStep(unsigned long milliseconds) { pauseMs_ = milliseconds; }
    // A unit that keeps nothing says so on standard error, once, when the program first uses it.
    void sayNothingIsKept() { sayNothingKept_ = true; }

private:
    struct Region {
        uint32_t size = 0;
        uint32_t physicalForm = 0;  // 0 while not mapped
    };
    struct Registration {
        uint32_t flat;
        uint8_t* address;
        size_t size;
    };

    State state_;
    std::string statePath_;
    std::map<void*, Region> regions_;
    std::vector<Registration> registrations_;
    uint32_t nextHandle_ = 1;
    uint32_t lastError_ = 0;
    CallLog log_;
    std::vector<CallRecord> calls_;
    Responder responder_;
    MemoryCheck memoryCheck_ = nullptr;
    bool recording_ = false;
    unsigned long pauseMs_ = 0;
    bool sayNothingKept_ = false;
};

// The exit statuses of the unit itself: a state file or call log it cannot use, or power lost
// in a save; and a fault of the program, a status the program never uses.
constexpr int kStatusUnitStopped = 1;
constexpr int kStatusProgramFault = 3;

// The program did something the device would punish: one line on standard error, status 3.
[[noreturn]] void fault(const std::string& what);

// The unit that the platform functions of this process use.
void installUnit(Unit* unit);
Unit* installedUnit();
Unit& currentUnit();

}  // namespace sim
