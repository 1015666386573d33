// The service entry of the simulated unit under the device image: the mapped segment is
// executable and filled with the trapping byte CCh, the announced entry included. The device
// image's own gate near-calls the entry; a vectored exception handler sees the trap there,
// checks the call as the firmware would suffer it, hands EAX..EDI to the firmware model, writes
// its answer and the carry flag back, and returns to the gate as the firmware's near return
// would. Any other byte of the segment is no entry: a call there is a fault.
#include "service_entry.h"

#include <windows.h>

#include <string>

#include "device_manager.h"
#include "firmware_interface.h"
#include "sim_entry.h"
#include "sim_host_memory.h"
#include "text_format.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this DLL's own image

namespace coredll {
namespace {

constexpr DWORD kDirectionFlag = 0x400;

uintptr_t segmentBase = 0;  // the mapped segment's view, once there is one
// How far past the CCh byte the breakpoint's address lies: 0 as Windows reports it, 1 where the
// processor under wine is emulated and the trap arrives after the byte. Measured at load.
uintptr_t trapDisplacement = 0;
uintptr_t calibrationPage = 0;  // while measuring it

std::string hex8(uintptr_t value) { return hexDigits(value, 8); }

struct Range {
    uintptr_t begin;
    uintptr_t end;
    bool holds(uintptr_t address, size_t length) const {
        return address >= begin && address <= end && length <= end - address;
    }
};

Range imageOf(HMODULE module) {
    const auto base = reinterpret_cast<uintptr_t>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + static_cast<uintptr_t>(dos->e_lfanew));
    return {base, base + nt->OptionalHeader.SizeOfImage};
}

Range threadStack() {
    ULONG_PTR low = 0;
    ULONG_PTR high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    return {low, high};
}

bool executable(uintptr_t address) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info) == 0) return false;
    const DWORD base = info.Protect & 0xFF;
    return info.State == MEM_COMMIT && (base == PAGE_EXECUTE_READ || base == PAGE_EXECUTE ||
                                        base == PAGE_EXECUTE_READWRITE || base == PAGE_EXECUTE_WRITECOPY);
}

// Whether `length` bytes at `flat` are committed writable memory of the program: its image, its
// stack or its heap, but not this DLL's image. Which of the program's buffers it is, and whether
// the call's size fits that buffer exactly, only the in-process tests can tell.
bool isProgramMemory(uint32_t flat, size_t length) {
    if (length == 0) return true;
    const Range own = imageOf(reinterpret_cast<HMODULE>(&__ImageBase));
    uintptr_t at = flat;
    const uintptr_t end = at + length;
    if (end < at) return false;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info) == 0) return false;
        const DWORD base = info.Protect & 0xFF;
        const bool writable = base == PAGE_READWRITE || base == PAGE_WRITECOPY || base == PAGE_EXECUTE_READWRITE ||
                              base == PAGE_EXECUTE_WRITECOPY;
        if (info.State != MEM_COMMIT || !writable || (info.Protect & PAGE_GUARD) != 0) return false;
        if (own.holds(reinterpret_cast<uintptr_t>(info.AllocationBase), 0)) return false;
        at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

// The stack, frame and flags with which the program reached the entry: a near call from the
// program's code on its own stack, the direction flag clear as the calling convention keeps it.
// Returns the return address.
uintptr_t checkCallSite(const CONTEXT& context) {
    const Range stack = threadStack();
    if (context.Esp % 4 != 0 || !stack.holds(context.Esp, 4)) {
        sim::fault("the service entry was called with ESP = " + hex8(context.Esp) + "h, not on the program's stack");
    }
    const uintptr_t returnAddress = *reinterpret_cast<const DWORD*>(context.Esp);
    HMODULE caller = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(returnAddress), &caller) &&
        caller != GetModuleHandleW(nullptr)) {
        // A driver may map the segment, but only the program's image calls the firmware.
        sim::fault("the firmware was called from " + imageNameAt(reinterpret_cast<const void*>(returnAddress)) +
                   ", not from the program's image");
    }
    if (!imageOf(GetModuleHandleW(nullptr)).holds(returnAddress, 1) || !executable(returnAddress)) {
        sim::fault("the service entry would return to " + hex8(returnAddress) + "h, outside the program's code");
    }
    if (context.Ebp <= context.Esp || !stack.holds(context.Ebp, 4)) {
        sim::fault("the service entry was called with EBP = " + hex8(context.Ebp) +
                   "h, not a frame of the program's stack above ESP = " + hex8(context.Esp) + "h");
    }
    if ((context.EFlags & kDirectionFlag) != 0) sim::fault("the service entry was called with the direction flag set");
    return returnAddress;
}

// The registers the firmware takes and answers in, EAX..EDI, as CONTEXT and the block name them.
struct RegisterPair {
    DWORD CONTEXT::*context;
    uint32_t RegisterBlock::*block;
};
constexpr RegisterPair kRegisters[] = {
    {&CONTEXT::Eax, &RegisterBlock::eax}, {&CONTEXT::Ebx, &RegisterBlock::ebx}, {&CONTEXT::Ecx, &RegisterBlock::ecx},
    {&CONTEXT::Edx, &RegisterBlock::edx}, {&CONTEXT::Esi, &RegisterBlock::esi}, {&CONTEXT::Edi, &RegisterBlock::edi},
};

// The registers as the program handed them to the entry.
RegisterBlock registersOf(const CONTEXT& context) {
    RegisterBlock block;
    for (const RegisterPair& r : kRegisters) block.*r.block = context.*r.context;
    return block;
}

// The firmware's answer in the registers and the carry flag; every other flag as the call left it.
void answerInto(CONTEXT& context, const RegisterBlock& answer) {
    for (const RegisterPair& r : kRegisters) context.*r.context = answer.*r.block;
    context.EFlags = (context.EFlags & ~DWORD{kCarryFlag}) | (answer.eflags & kCarryFlag);
}

// Each buffer that a function takes through ESI must be the program's own writable memory for
// the function's whole size (the firmware may touch all of it).
void checkBuffers(sim::Unit& unit, const RegisterBlock& in) {
    const auto function = static_cast<uint8_t>(in.ebx & 0xFF);
    const auto subfunction = static_cast<uint8_t>((in.ebx >> 8) & 0xFF);
    size_t size = 0;
    if (function == kFnBootSequence) size = kBootSequenceSize;
    if (function == kFnWakeOnRtc) size = 2;
    if (function == kFnAssetTag) size = kAssetTagScratchSize;
    if ((function == kFnAdminPassword || function == kFnUserPassword) && subfunction == kSubPasswordSet) {
        size = in.ecx & 0xFFFF;
    }
    if (size != 0) (void)unit.access(in.esi, size, "ESI");
}

void serve(CONTEXT& context) {
    sim::Unit& unit = sim::currentUnit();
    const uintptr_t returnAddress = checkCallSite(context);
    const RegisterBlock in = registersOf(context);
    checkBuffers(unit, in);
    RegisterBlock out;
    unit.serve(in, out);
    answerInto(context, out);
    // The firmware's near return.
    context.Eip = static_cast<DWORD>(returnAddress);
    context.Esp += 4;
}

LONG CALLBACK onException(EXCEPTION_POINTERS* exception) {
    if (exception->ExceptionRecord->ExceptionCode != EXCEPTION_BREAKPOINT) return EXCEPTION_CONTINUE_SEARCH;
    const auto reported = reinterpret_cast<uintptr_t>(exception->ExceptionRecord->ExceptionAddress);
    if (calibrationPage != 0 && reported - calibrationPage <= 1) {
        trapDisplacement = reported - calibrationPage;
        exception->ContextRecord->Eip = static_cast<DWORD>(calibrationPage + 1);  // its ret
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    const uintptr_t address = reported - trapDisplacement;  // the CCh byte itself
    if (segmentBase == 0 || address - segmentBase >= kSegmentSize) return EXCEPTION_CONTINUE_SEARCH;
    if (reinterpret_cast<const void*>(address) != sim::currentUnit().announcedEntry()) {
        sim::fault("call into " + hex8(address) + " (segment offset " + hex8(address - segmentBase) +
                   "), which is not the announced service entry");
    }
    serve(*exception->ContextRecord);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// A crash of the program is what the device punishes too: a fault, not wine's debugger.
LONG WINAPI onCrash(EXCEPTION_POINTERS* exception) {
    sim::fault("the program crashed: exception " + hex8(exception->ExceptionRecord->ExceptionCode) + "h at " +
               hex8(reinterpret_cast<uintptr_t>(exception->ExceptionRecord->ExceptionAddress)) + "h");
}

// Runs `CC C3` (int3; ret) once to see where this machine reports a breakpoint.
void measureTrapDisplacement() {
    void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    if (page == nullptr) sim::fault("the host cannot make an executable page");
    auto* code = static_cast<uint8_t*>(page);
    code[0] = 0xCC;
    code[1] = 0xC3;
    calibrationPage = reinterpret_cast<uintptr_t>(page);
    reinterpret_cast<void (*)()>(page)();
    calibrationPage = 0;
    (void)VirtualFree(page, 0, MEM_RELEASE);
}

}  // namespace

void installServiceEntry(sim::Unit& unit) {
    unit.checkProgramMemory(&isProgramMemory);
    (void)AddVectoredExceptionHandler(1, &onException);
    (void)SetUnhandledExceptionFilter(&onCrash);
    measureTrapDisplacement();
}

}  // namespace coredll

namespace sim {

host_memory::Access prepareServiceEntry(uint8_t* segment, uint32_t entryAddress) {
    coredll::segmentBase = reinterpret_cast<uintptr_t>(segment);
    // The image is CCh filler already; the entry is the one trapping byte that serves.
    if (entryAddress - kSegmentPhysical < kSegmentSize) segment[entryAddress - kSegmentPhysical] = 0xCC;
    return host_memory::Access::ReadExecute;
}

}  // namespace sim
