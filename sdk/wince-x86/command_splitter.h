// The CE runtime start-up's splitting of one command line into arguments: the stand-in's
// start-up splits with it, and so does every host entry that receives a raw command line.
#pragma once

#include <stddef.h>

// Splits `commandLine` as the device's start-up does: white space outside double quotes
// separates arguments, every double quote is removed, and there is no escape character.
// Returns the number of arguments. When `text` and `argv` are not null, also writes each
// argument, zero-ended, into `text` (room for the command line's length plus one characters)
// and a pointer to it into `argv` (room for the count).
size_t splitCommandLine(const wchar_t* commandLine, wchar_t* text, wchar_t** argv);
