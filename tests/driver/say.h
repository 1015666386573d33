// One line of a test program's output on the test machine's console, flushed at once so that
// it comes before anything the process does next (the unit's own lines included).
#pragma once

#include <stdarg.h>
#include <stdio.h>

inline void say(const wchar_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    (void)vfwprintf(stdout, format, arguments);
    va_end(arguments);
    (void)fflush(stdout);
}
