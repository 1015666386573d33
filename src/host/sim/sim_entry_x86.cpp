// The service entry on a 32-bit host, made of machine code: the segment image is executable
// and filled with the trapping byte CCh; at the announced entry a stub jumps, every register
// as it is, to a trampoline that hands the registers to the model and returns its answer with
// the carry flag, as the firmware does. The program reaches it through the device's own gate.
#include <ucontext.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "call_gate.h"
#include "firmware_interface.h"
#include "platform.h"
#include "sim_entry.h"
#include "sim_unit.h"

// Shared with the trampoline's assembly by offset: keep the layout.
struct TrampolineContext {
    uint32_t regs[6];  // EAX..EDI: the call's, then the answer
    uint32_t carry;
    uint32_t espAtCall;
    uint32_t ebpAtCall;
    void (*serve)(TrampolineContext*);
    void (*stackFault)(TrampolineContext*);
};
static_assert(sizeof(void*) == 4, "the trampoline is 32-bit code");

namespace {

uintptr_t segmentBase = 0;

}  // namespace

extern "C" void folvane_sim_trampoline();
__asm__(
    ".text\n"
    ".globl folvane_sim_trampoline\n"
    "folvane_sim_trampoline:\n"
    // Entered by the stub's jump: [esp] = the gate's return address.
    "  pushl %ebp\n"
    "  call 0f\n"
    "0:\n"
    "  popl %ebp\n"
    "  addl $_GLOBAL_OFFSET_TABLE_+(.-0b), %ebp\n"
    "  leal folvane_trampoline_context@GOTOFF(%ebp), %ebp\n"
    "  movl %eax, 0(%ebp)\n  movl %ebx, 4(%ebp)\n  movl %ecx, 8(%ebp)\n"
    "  movl %edx, 12(%ebp)\n  movl %esi, 16(%ebp)\n  movl %edi, 20(%ebp)\n"
    "  movl (%esp), %eax\n  movl %eax, 32(%ebp)\n"   // EBP at the call
    "  leal 4(%esp), %eax\n  movl %eax, 28(%ebp)\n"  // ESP at the call
    "  movl %esp, %ebx\n"
    "  andl $-16, %esp\n  subl $12, %esp\n  pushl %ebp\n"
    "  call *36(%ebp)\n"  // serve(context)
    "  movl %ebx, %esp\n"
    // Return only on the stack and frame the call came with.
    "  leal 4(%esp), %eax\n  cmpl 28(%ebp), %eax\n  jne 9f\n"
    "  movl (%esp), %eax\n  cmpl 32(%ebp), %eax\n  jne 9f\n"
    "  movl 0(%ebp), %eax\n  movl 4(%ebp), %ebx\n  movl 8(%ebp), %ecx\n"
    "  movl 12(%ebp), %edx\n  movl 16(%ebp), %esi\n  movl 20(%ebp), %edi\n"
    "  cmpl $0, 24(%ebp)\n"
    "  popl %ebp\n"
    "  je 1f\n"
    "  stc\n  ret\n"
    "1:\n"
    "  clc\n  ret\n"
    "9:\n"
    "  andl $-16, %esp\n  subl $12, %esp\n  pushl %ebp\n"
    "  call *40(%ebp)\n");  // stackFault(context): does not return

namespace {

// The trampoline's registers in the order it saves them, as the register block names them.
constexpr uint32_t RegisterBlock::*kSavedRegisters[] = {&RegisterBlock::eax, &RegisterBlock::ebx, &RegisterBlock::ecx,
                                                        &RegisterBlock::edx, &RegisterBlock::esi, &RegisterBlock::edi};

static_assert(std::size(kSavedRegisters) == sizeof(TrampolineContext::regs) / sizeof(uint32_t));

void serveFromTrampoline(TrampolineContext* context) {
    RegisterBlock in;
    for (size_t i = 0; i < std::size(kSavedRegisters); ++i) in.*kSavedRegisters[i] = context->regs[i];
    RegisterBlock out;
    sim::currentUnit().serve(in, out);
    for (size_t i = 0; i < std::size(kSavedRegisters); ++i) context->regs[i] = out.*kSavedRegisters[i];
    context->carry = out.eflags & kCarryFlag;
}

void stackFault(TrampolineContext*) { sim::fault("the service would return on another stack or frame"); }

}  // namespace

extern "C" {
__attribute__((visibility("hidden")))
TrampolineContext folvane_trampoline_context = {{}, 0, 0, 0, serveFromTrampoline, stackFault};
}

namespace {

// Async-signal-safe: formats a 32-bit value as eight hexadecimal digits.
void hex8(char* out, uintptr_t value) {
    for (int i = 7; i >= 0; --i, value >>= 4) out[i] = "0123456789ABCDEF"[value & 0xF];
}

// A CCh byte executed: control went into the segment somewhere other than the stub.
void onTrap(int, siginfo_t*, void* raw) {
    const auto* uc = static_cast<const ucontext_t*>(raw);
    const auto address = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]) - 1;
    char line[] =
        "simulated unit: fault: call into XXXXXXXX (segment offset XXXXXXXX), "
        "which is not the announced service entry\n";
    hex8(line + 33, address);
    hex8(line + 58, address - segmentBase);
    std::fflush(stdout);
    (void)!write(2, line, sizeof line - 1);
    _exit(sim::kStatusProgramFault);
}

void installTrapHandler() {
    struct sigaction action {};
    action.sa_sigaction = onTrap;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTRAP, &action, nullptr);
}

}  // namespace

namespace sim {

host_memory::Access prepareServiceEntry(uint8_t* segment, uint32_t entryAddress) {
    segmentBase = reinterpret_cast<uintptr_t>(segment);
    installTrapHandler();
    constexpr uint32_t kStubLength = 5;
    if (entryAddress >= kSegmentPhysical && entryAddress - kSegmentPhysical + kStubLength <= kSegmentSize) {
        // jmp rel32: leaves every register as it is.
        uint8_t* stub = segment + (entryAddress - kSegmentPhysical);
        const auto target = reinterpret_cast<uintptr_t>(&folvane_sim_trampoline);
        const auto displacement = static_cast<uint32_t>(target - reinterpret_cast<uintptr_t>(stub + kStubLength));
        stub[0] = 0xE9;
        std::memcpy(stub + 1, &displacement, 4);
    }
    return host_memory::Access::ReadExecute;
}

}  // namespace sim

namespace platform {

void callEntry(const void* entry, const RegisterBlock& in, RegisterBlock& out) { gate::callGate(entry, &in, &out); }

}  // namespace platform
