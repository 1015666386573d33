// The device's second route to the firmware's memory. CE 6.0 and 7 refuse a program's
// VirtualCopy of physical memory; there the platform layer loads FolvaneMap.dll, the driver
// beside FolvaneCE.exe, into the kernel at first need and asks it for the same mapping into the
// same reserved region. Only the platform layer knows of it.
#pragma once

#include "fixed_width.h"

namespace platform {

// Maps `size` bytes of physical form `physicalForm` into `region` through the driver, loading
// it when this run has not tried yet. `refusal` is the kernel's error for the program's own
// VirtualCopy: the last error when the driver cannot be had. On failure the last error says
// why (the driver's own error for a refused or failed request).
bool mapThroughDriver(void* region, uint32_t physicalForm, uint32_t size, uint32_t protection, uint32_t refusal);

// The end of the program's run, on every path: closes the driver, unloads it and removes its
// registry key, if this run loaded it; names the driver file on the console when it could
// not be loaded, or when its path is longer than the device manager takes.
void endDeviceRun();

}  // namespace platform
