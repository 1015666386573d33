// The firmware's settings, one row per function number: the names of its get and set
// operations (as FolvaneCheck's plan and the simulated unit's `fail` key spell them), the
// lines printed when either fails, and, for a single-choice setting, the bits of ECX that
// hold its value. Constant data only: the checker reads the names without the service object.
#pragma once

#include "firmware_interface.h"
#include "fixed_width.h"

struct FirmwareSetting {
    uint8_t function;
    // A single choice: the mask of ECX's low bits that carry the value (CL, or CX for the
    // parallel mode word). 0 for the settings with operations of their own types: passwords,
    // asset tag, boot order, wake.
    uint32_t width;
    const char* getName;
    const char* setName;
    const wchar_t* getFailure;  // null: a failed get prints nothing
    const wchar_t* setFailure;
};

// The row of `function`, or null for a number that names no setting (the support check, 8).
const FirmwareSetting* firmwareSetting(uint8_t function);

// The row of a single-choice setting: null also for the settings of their own types.
const FirmwareSetting* choiceSetting(uint8_t function);
