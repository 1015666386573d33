// FolvaneCheck's main routine: its options, the files to check, and the exit status.
#pragma once

#include <string>

class CheckOutput;

// The exit statuses of FolvaneCheck, also for one file.
enum CheckStatus { kCheckClean = 0, kCheckWarnings = 1, kCheckFailed = 2 };

void printCheckerUsage();

// Checks the data file at `path` and prints its report on the console, each line led by the
// path and a colon. A file that cannot be opened or read is reported and gives kCheckFailed.
int checkSettingsFile(const wchar_t* path, bool withPlan);
int checkSettingsFile(const wchar_t* path, bool withPlan, CheckOutput& out);

// The files of a run, named one at a time: those on the command line, then those of the lists.
class FileNames {
public:
    // The next file; false after the last.
    virtual bool next(std::wstring& path) = 0;
    // Whether a list named a line that is no file's name, or could not be read whole (reported).
    virtual bool failed() const = 0;

protected:
    ~FileNames() = default;
};

// Checks `golden` as a file for a fleet, then prints for each unit's file what W with `golden`
// would change on that unit (or that it matches), and the summary. kCheckFailed when a file
// cannot be read or is no unit's, else kCheckWarnings when the golden file has a warning or a
// unit differs.
int checkFleet(const wchar_t* golden, FileNames& units, bool withPlan, CheckOutput& out);

// argv[0] is the program's own path. Checks every file named, also after one that fails, and
// returns 0 when no file has a warning, 1 when one has, and 2 when a file cannot be read or
// the arguments are wrong; with "--against GOLDEN", compares each unit's file with GOLDEN.
// "--units-from LIST" names more files, one a line of LIST (standard input for "-"), or with
// "--null" one before each zero byte. A wrong argument is two lines on standard error.
int runChecker(int argc, const wchar_t* const* argv);

// Flushes standard output. False, with a line on standard error, when any of what the checker
// printed may not have reached it (a full disk, a closed pipe): the run then ends with status 2.
bool checkerOutputWritten();
