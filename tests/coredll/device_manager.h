// The CE generation of the test machine's coredll.dll and its device manager: which image calls
// (the program, a driver loaded into the kernel, or user-mode code), the regions each reserved,
// and what is still held when the program ends.
#pragma once

#include <windows.h>

#include <string>

namespace coredll {

// Who makes a call, told by the image its return address lies in.
enum class Caller { Program, Kernel, User };
Caller callerAt(const void* returnAddress);

// The unit's CE generation: 5, 6 or 7 (the state file's ce_version).
unsigned ceVersion();

// CE 6 and 7 refuse a physical mapping by user-mode code (the program's image included): true,
// with the generation's last error set, when this call must fail.
bool refusesPhysicalMapping(const void* returnAddress, DWORD protection);

// The regions reserved through VirtualAlloc, with the side (process or kernel) that reserved
// them; a mapping must go into a region of the side it is made for.
void noteReservation(const void* region, const void* returnAddress);
void forgetReservation(const void* region);
bool reservedByProcess(const void* region);
void checkMappingTarget(const void* region, bool intoProcess, const char* function);

// A step of the device manager that the state file's `fail` names: true, with the last error
// set, when it must fail now.
bool failsOnDemand(const char* step);

// The name of the image that holds `address`, for messages.
std::string imageNameAt(const void* address);

// Drivers loaded without DEVFLAGS_LOAD_AS_USERPROC run in the kernel (on CE 6 and 7).
bool loadedIntoKernel(HMODULE module);

// Handles to the calling process that OpenProcess gives, to a driver or to user-mode code.
HANDLE openCallerProcess();
bool isCallerProcessHandle(HANDLE handle);

// A registry key the program made, a driver still loaded, or a handle still open when the
// process ends is a fault of the program, as a region still reserved is.
void checkNothingHeldAtExit();

}  // namespace coredll
