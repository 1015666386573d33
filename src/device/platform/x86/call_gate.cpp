// The gate in both spellings the device's compilers take: GCC/clang extended asm, and MSVC
// __asm blocks. Both do the same steps and never address the arguments once ESP has moved:
// the three pointers are taken first, everything the firmware may change is saved inside the
// assembly itself, so neither the PIC register (EBX) nor the frame pointer (EBP) is disturbed.
#include "call_gate.h"

// Not `namespace x86`: a smart-device project defines x86 as a macro.
namespace gate {

#if defined(_MSC_VER) || defined(FOLVANE_MSVC_ASM)

// Visual C++ reports the block's `pop ebp` as C4731 (frame pointer register modified by inline
// assembly), an error under /WX; the block saves and restores EBP itself and addresses nothing
// through it in between.
#if defined(_MSC_VER) && !defined(__clang__)
#pragma warning(push)
#pragma warning(disable : 4731)
#endif
void callGate(const void* entry, const RegisterBlock* in, RegisterBlock* out) {
    __asm {
        mov ecx, entry
        mov edx, out
        mov eax, in
        push ebp
        push ebx
        push esi
        push edi
        push edx             ; out
        push ecx             ; entry
        mov ebx, [eax+4]
        mov ecx, [eax+8]
        mov edx, [eax+12]
        mov esi, [eax+16]
        mov edi, [eax+20]
        mov eax, [eax+0]
        call dword ptr [esp]
        pushfd               ; the flags as the service left them, before anything can change them
        push eax
        mov eax, [esp+12]    ; out
        mov [eax+4], ebx
        mov [eax+8], ecx
        mov [eax+12], edx
        mov [eax+16], esi
        mov [eax+20], edi
        pop ebx
        mov [eax+0], ebx
        pop ebx
        mov [eax+28], ebx
        add esp, 8
        pop edi
        pop esi
        pop ebx
        pop ebp
        cld
    }
}
#if defined(_MSC_VER) && !defined(__clang__)
#pragma warning(pop)
#endif

#else

void callGate(const void* entry, const RegisterBlock* in, RegisterBlock* out) {
    const void* clobberedA = 0;
    const void* clobberedC = 0;
    const void* clobberedD = 0;
    __asm__ __volatile__(
        "push %%ebp\n\t"
        "push %%ebx\n\t"
        "push %%esi\n\t"
        "push %%edi\n\t"
        "push %%edx\n\t"  // out
        "push %%ecx\n\t"  // entry
        "movl 4(%%eax), %%ebx\n\t"
        "movl 8(%%eax), %%ecx\n\t"
        "movl 12(%%eax), %%edx\n\t"
        "movl 16(%%eax), %%esi\n\t"
        "movl 20(%%eax), %%edi\n\t"
        "movl 0(%%eax), %%eax\n\t"
        "call *(%%esp)\n\t"
        "pushfl\n\t"  // the flags as the service left them, before anything can change them
        "push %%eax\n\t"
        "movl 12(%%esp), %%eax\n\t"  // out
        "movl %%ebx, 4(%%eax)\n\t"
        "movl %%ecx, 8(%%eax)\n\t"
        "movl %%edx, 12(%%eax)\n\t"
        "movl %%esi, 16(%%eax)\n\t"
        "movl %%edi, 20(%%eax)\n\t"
        "pop %%ebx\n\t"
        "movl %%ebx, 0(%%eax)\n\t"
        "pop %%ebx\n\t"
        "movl %%ebx, 28(%%eax)\n\t"
        "addl $8, %%esp\n\t"
        "pop %%edi\n\t"
        "pop %%esi\n\t"
        "pop %%ebx\n\t"
        "pop %%ebp\n\t"
        "cld"
        : "=a"(clobberedA), "=c"(clobberedC), "=d"(clobberedD)
        : "a"(in), "c"(entry), "d"(out)
        : "memory", "cc");
}

#endif

}  // namespace gate
