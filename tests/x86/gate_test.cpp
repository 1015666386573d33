// Proves the call gate on real machine code: small firmware entries assembled into an
// executable page change every register and the flags, and the gate must hand back exactly
// what they left while keeping the caller's own registers. Built once per compiler and flag
// set by gate_matrix.sh, and on 32-bit Windows under wine with the device image's own gate
// object (tests/device/device_e2e.sh); prints one line per failed check and exits 1 on any.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "call_gate.h"

using Gate = void (*)(const void*, const RegisterBlock*, RegisterBlock*);

// Calls `gate` with sentinels in EBX, ESI, EDI and EBP; returns a bit per register that did
// not survive (1 EBX, 2 ESI, 4 EDI, 8 EBP), and 16 when the gate returned with the direction
// flag set.
// The label is the assembly's own on every object format (Windows would prefix an underscore).
extern "C" int gate_probe(Gate gate, const void* entry, const RegisterBlock* in, RegisterBlock* out)
    __asm__("gate_probe");
__asm__(
    ".text\n"
    ".globl gate_probe\n"
    "gate_probe:\n"
    "  push %ebp\n  push %ebx\n  push %esi\n  push %edi\n"
    "  pushl 32(%esp)\n  pushl 32(%esp)\n  pushl 32(%esp)\n"  // out, in, entry
    "  movl 32(%esp), %eax\n"                                  // the gate
    "  movl $0xB0B0B0B0, %ebx\n  movl $0x51515151, %esi\n  movl $0xD1D1D1D1, %edi\n  movl $0xEBEBEBEB, %ebp\n"
    "  call *%eax\n"
    "  pushfl\n"
    "  popl %eax\n"
    "  addl $12, %esp\n"
    "  andl $0x400, %eax\n"
    "  shrl $6, %eax\n"
    "  cmpl $0xB0B0B0B0, %ebx\n  je 1f\n  orl $1, %eax\n1:\n"
    "  cmpl $0x51515151, %esi\n  je 2f\n  orl $2, %eax\n2:\n"
    "  cmpl $0xD1D1D1D1, %edi\n  je 3f\n  orl $4, %eax\n3:\n"
    "  cmpl $0xEBEBEBEB, %ebp\n  je 4f\n  orl $8, %eax\n4:\n"
    "  pop %edi\n  pop %esi\n  pop %ebx\n  pop %ebp\n"
    "  ret\n");

namespace {

int failures = 0;

// A page that may be written and executed; null when the system gives none.
void* executablePage() {
#ifdef _WIN32
    return VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
#else
    void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return page == MAP_FAILED ? nullptr : page;
#endif
}

void releasePage(void* page) {
#ifdef _WIN32
    VirtualFree(page, 0, MEM_RELEASE);
#else
    munmap(page, 4096);
#endif
}

void check(bool ok, const char* what, uint32_t got, uint32_t want) {
    if (ok) return;
    ++failures;
    std::printf("FAIL %s: got %08X, want %08X\n", what, got, want);
}

// Machine code for an entry that records its inputs, loads new values into all six registers,
// sets the direction flag and then sets or clears the carry flag as its last act.
std::vector<uint8_t> entryCode(uint32_t* seen, bool carry) {
    std::vector<uint8_t> code;
    const auto imm = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) code.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const auto address = [&](int word) { imm(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(seen + word))); };
    code.push_back(0xA3), address(0);                          // mov [seen+0], eax
    const uint8_t stores[] = {0x1D, 0x0D, 0x15, 0x35, 0x3D};   // ebx, ecx, edx, esi, edi
    for (int i = 0; i < 5; ++i) code.push_back(0x89), code.push_back(stores[i]), address(i + 1);
    const uint8_t loads[] = {0xB8, 0xBB, 0xB9, 0xBA, 0xBE, 0xBF};  // mov eax..edi, imm32
    for (int i = 0; i < 6; ++i) code.push_back(loads[i]), imm(0xA0000001u * static_cast<uint32_t>(i + 1));
    code.push_back(0xFD);                 // std
    code.push_back(carry ? 0xF9 : 0xF8);  // stc or clc
    code.push_back(0xC3);                 // ret
    return code;
}

void run(bool carry) {
    static uint32_t seen[6];
    const std::vector<uint8_t> code = entryCode(seen, carry);
    void* page = executablePage();
    if (page == nullptr) {
        ++failures;
        std::printf("FAIL no executable page\n");
        return;
    }
    std::memcpy(page, code.data(), code.size());
    RegisterBlock in;
    in.eax = 0x0000E910;
    in.ebx = 0x00000109;
    in.ecx = 0x0C0FFEE0;
    in.edx = 0xD00DF00D;
    in.esi = 0x12345678;
    in.edi = 0x9ABCDEF0;
    RegisterBlock out;
    out.unused = 0x5EB70006;
    const int lost = gate_probe(&gate::callGate, page, &in, &out);
    check((lost & 15) == 0, "caller's registers kept (bits EBX=1 ESI=2 EDI=4 EBP=8)", static_cast<uint32_t>(lost & 15), 0);
    check((lost & 16) == 0, "direction flag clear when the gate returns", static_cast<uint32_t>(lost & 16), 0);
    const uint32_t inWords[6] = {in.eax, in.ebx, in.ecx, in.edx, in.esi, in.edi};
    const uint32_t outWords[6] = {out.eax, out.ebx, out.ecx, out.edx, out.esi, out.edi};
    const char* names[6] = {"EAX", "EBX", "ECX", "EDX", "ESI", "EDI"};
    for (int i = 0; i < 6; ++i) {
        char what[48];
        std::snprintf(what, sizeof what, "%s loaded from the input block", names[i]);
        check(seen[i] == inWords[i], what, seen[i], inWords[i]);
        std::snprintf(what, sizeof what, "%s stored into the output block", names[i]);
        const uint32_t want = 0xA0000001u * static_cast<uint32_t>(i + 1);
        check(outWords[i] == want, what, outWords[i], want);
    }
    check((out.eflags & 1) == (carry ? 1u : 0u), "carry flag captured", out.eflags & 1, carry ? 1 : 0);
    check((out.eflags & 0x400) != 0, "direction flag captured as the entry left it", out.eflags, 0x400);
    check(out.unused == 0x5EB70006, "word 6 not written", out.unused, 0x5EB70006);
    releasePage(page);
}

#ifdef _WIN32
// A gate that breaks the stack crashes the probe: a line and status 2, not wine's debugger.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* exception) {
    std::printf("FAIL the probe crashed: exception %08lX at %p\n", exception->ExceptionRecord->ExceptionCode,
                exception->ExceptionRecord->ExceptionAddress);
    std::fflush(stdout);
    ExitProcess(2);
}
#endif

}  // namespace

int main() {
#ifdef _WIN32
    SetUnhandledExceptionFilter(reportCrash);
#endif
    run(true);
    run(false);
    if (failures == 0) std::printf("gate: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
