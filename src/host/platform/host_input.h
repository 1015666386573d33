// A file that workstation code opens to read: refused at once when it is no regular file (a
// folder, a device, which reads without end; a FIFO too, where pipes are not taken), so that
// a run never hangs on what is no data file.
#pragma once

#include <cstdio>

namespace host {

struct Input {
    FILE* file = nullptr;     // open for reading its bytes as they are; the caller closes it
    bool notRegular = false;  // refused: no regular file
    int error = 0;            // the errno of any other failure
};

// Opens `path` to read. `pipes`: a FIFO or a pipe is read too (opening one waits for its writer).
Input openInput(const wchar_t* path, bool pipes);

}  // namespace host
