// The simulated unit's memory, call bookkeeping, faults and saving.
#include "sim_unit.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "firmware_interface.h"
#include "platform.h"
#include "sim_entry.h"
#include "sim_host_memory.h"
#include "sim_model.h"
#include "sim_segment_image.h"
#include "sim_state_file.h"
#include "text_format.h"

namespace sim {
namespace {

Unit* installed = nullptr;

constexpr uint32_t kSegmentForm = kSegmentPhysical >> 8;
constexpr uint32_t kWindowForm = kRomWindowPhysical >> 8;

std::string pointerText(const void* p) {
    char buffer[32];
    (void)std::snprintf(buffer, sizeof buffer, "%p", p);
    return buffer;
}

}  // namespace

void fault(const std::string& what) {
    (void)std::fflush(stdout);
    (void)std::fprintf(stderr, "simulated unit: fault: %s\n", what.c_str());
    (void)std::fflush(stderr);
    std::_Exit(kStatusProgramFault);
}

void installUnit(Unit* unit) { installed = unit; }

Unit* installedUnit() { return installed; }

Unit& currentUnit() {
    if (installed == nullptr) fault("no simulated unit is installed");
    return *installed;
}

Unit::Unit(State state, std::string statePath, std::string logPath)
    : state_(std::move(state)), statePath_(std::move(statePath)), log_(std::move(logPath)) {}

Unit::~Unit() {
    for (auto& [address, region] : regions_) host_memory::release(address, region.size);
}

void* Unit::reserve(uint32_t size, uint32_t protection) {
    if (sayNothingKept_) {
        sayNothingKept_ = false;
        (void)std::fflush(stdout);
        (void)std::fputs("FolvaneCE: simulated unit without FOLVANE_MACHINE: nothing of this run is kept\n", stderr);
        (void)std::fflush(stderr);
    }
    if (size != kSegmentSize && size != kRomWindowSize) {
        fault("reservation of " + hexDigits(size, 8) + "h bytes; the device reserves 10000h or 80000h");
    }
    if (protection != platform::kPageReadOnly) {
        fault("reservation with protection " + hexDigits(protection, 8) + "h; the device reserves read-only (2h)");
    }
    const auto& error = size == kSegmentSize ? state_.faults.segmentReserveError : state_.faults.windowReserveError;
    if (error) {
        lastError_ = *error;
        return nullptr;
    }
    void* address = host_memory::reserve(size);
    if (address == nullptr) fault("the host cannot reserve memory");
    regions_[address] = Region{size};
    return address;
}

bool Unit::map(void* region, uint32_t physicalForm, uint32_t size, uint32_t protection) {
    const auto found = regions_.find(region);
    if (found == regions_.end()) fault("mapping of " + pointerText(region) + ", which is not a reserved region");
    Region& r = found->second;
    if (r.physicalForm != 0) fault("mapping of " + pointerText(region) + " a second time");
    const bool segment = physicalForm == kSegmentForm && size == kSegmentSize;
    const bool window = physicalForm == kWindowForm && size == kRomWindowSize;
    if (!segment && !window) {
        fault("mapping of physical form " + hexDigits(physicalForm, 8) + "h with size " + hexDigits(size, 8) +
              "h; the device maps F00h with 10000h or FFF800h with 80000h");
    }
    if (size != r.size)
        fault("mapping of " + hexDigits(size, 8) + "h bytes into a region of " + hexDigits(r.size, 8) + "h");
    if (protection != platform::kPhysicalRomProtection) {
        fault("mapping with protection " + hexDigits(protection, 8) + "h; ROM is mapped with 602h");
    }
    const auto& error = segment ? state_.faults.segmentMapError : state_.faults.windowMapError;
    if (error) {
        lastError_ = *error;
        return false;
    }
    host_memory::Access kept = host_memory::Access::Read;
    if (segment) {
        if (!host_memory::protect(region, size, host_memory::Access::ReadWrite))
            fault("the host cannot back the region");
        const std::vector<uint8_t> image = segmentImage(state_.faults);
        std::memcpy(region, image.data(), image.size());
        kept = prepareServiceEntry(static_cast<uint8_t*>(region), state_.faults.entryAddress);
    }
    // ROM is read-only: a write by the program ends in a crash, as on the device. The window's
    // content is the firmware's business; the program only hands its address over.
    if (!host_memory::protect(region, size, kept)) fault("the host cannot protect the region");
    r.physicalForm = physicalForm;
    return true;
}

bool Unit::release(void* region) {
    const auto found = regions_.find(region);
    if (found == regions_.end()) {
        fault("release of " + pointerText(region) + ", which is not reserved (released twice, or never reserved)");
    }
    host_memory::release(region, found->second.size);
    regions_.erase(found);
    return true;
}

void* Unit::allocateScratch(size_t size) {
    if (state_.faults.scratchAllocFails) return nullptr;
    return std::malloc(size);
}

void Unit::freeScratch(void* buffer) { std::free(buffer); }

uint32_t Unit::flatAddress(const void* buffer, size_t size) {
    auto* address = static_cast<uint8_t*>(const_cast<void*>(buffer));
    uint32_t flat = 0;
    if constexpr (sizeof(void*) == 4) {
        flat = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffer));
    } else {
        // Each buffer gets its own 16 MB of handle space, never 0, never reused soon.
        flat = (nextHandle_ % 250 + 1) << 24;
        ++nextHandle_;
    }
    registrations_.push_back({flat, address, size});
    return flat;
}

uint8_t* Unit::access(uint32_t flat, size_t length, const char* reg) {
    // The device image's own 32-bit addresses, as the check approved them.
    if (memoryCheck_ != nullptr && memoryCheck_(flat, length)) {
        return reinterpret_cast<uint8_t*>(uintptr_t{flat});  // NOLINT(performance-no-int-to-ptr)
    }
    for (const Registration& r : registrations_) {
        if (flat >= r.flat && flat - r.flat <= r.size && length <= r.size - (flat - r.flat)) {
            return r.address + (flat - r.flat);
        }
    }
    fault(std::string("firmware access of ") + std::to_string(length) + " bytes at " + reg + " = " +
          hexDigits(flat, 8) + "h outside every buffer registered for the call");
}

bool Unit::isRomWindow(uint32_t flat) const {
    if (memoryCheck_ != nullptr) {
        for (const auto& [address, region] : regions_) {
            if (reinterpret_cast<uintptr_t>(address) == flat) return region.physicalForm == kWindowForm;
        }
        return false;
    }
    for (const Registration& r : registrations_) {
        if (r.flat != flat) continue;
        const auto found = regions_.find(r.address);
        return found != regions_.end() && found->second.physicalForm == kWindowForm && r.size == kRomWindowSize;
    }
    return false;
}

const void* Unit::announcedEntry() const {
    const uint32_t entry = state_.faults.entryAddress;
    if (entry < kSegmentPhysical || entry - kSegmentPhysical >= kSegmentSize) return nullptr;
    for (const auto& [address, region] : regions_) {
        if (region.physicalForm == kSegmentForm)
            return static_cast<const uint8_t*>(address) + (entry - kSegmentPhysical);
    }
    return nullptr;
}

void Unit::call(const void* entry, const RegisterBlock& in, RegisterBlock& out) {
    const void* announced = announcedEntry();
    if (announced == nullptr || entry != announced) {
        fault("call into " + pointerText(entry) + ", which is not the announced service entry");
    }
    serve(in, out);
}

void Unit::serve(const RegisterBlock& in, RegisterBlock& out) {
    const auto function = static_cast<uint8_t>(in.ebx & 0xFF);
    const auto subfunction = static_cast<uint8_t>((in.ebx >> 8) & 0xFF);
    if ((in.eax & 0xFFFF) != kServiceSelector)
        fault("call with AX = " + hexDigits(in.eax & 0xFFFF, 8) + "h, not E910h");
    std::string why;
    if (!knownCall(function, subfunction, why)) fault(why);

    if (pauseMs_ != 0) host_memory::pause(pauseMs_);
    RegisterBlock answer = in;
    answer.unused = 0;
    bool stored = false;
    std::string fields;
    if (responder_ && responder_(*this, in, answer)) {
        fields = " by=test";
    } else {
        fields = answerCall(*this, in, answer, stored);
    }
    answer.unused = out.unused;  // the one word of the caller's block that no answer touches
    out = answer;
    registrations_.clear();
    if (recording_) calls_.push_back({in, out});

    char head[48];
    (void)std::snprintf(head, sizeof head, "fn=%u sub=%02X cf=%u", function, subfunction, out.eflags & kCarryFlag);
    log_.append(head + fields);
    if (stored) save();
}

void Unit::save() {
    if (statePath_.empty()) return;
    const std::string why = saveStateFile(statePath_, state_, pauseMs_);
    if (why.empty()) return;
    (void)std::fflush(stdout);
    (void)std::fprintf(stderr, "simulated unit: %s: cannot save: %s\n", statePath_.c_str(), why.c_str());
    (void)std::fflush(stderr);
    std::_Exit(kStatusUnitStopped);
}

}  // namespace sim
