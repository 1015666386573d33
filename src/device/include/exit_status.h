// The program's exit statuses: what parseCommandLine, R and W return.
#pragma once

enum ExitStatus {
    kExitSuccess = 0,  // the operation ran through, or the usage was printed
    kExitFailure = 1   // a usage error, a file that cannot be opened, read or written, no service
};
