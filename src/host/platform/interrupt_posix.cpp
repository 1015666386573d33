// The signal handler removes the recorded files with unlink alone, from a fixed table that is
// filled before a slot is marked in use: nothing in it allocates, locks or formats.
#include "interrupt_posix.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace host {
namespace {

// A run has at most R's new file and the unit's new state file at once.
constexpr int kSlots = 4;
constexpr size_t kPathMax = 4096;

char paths[kSlots][kPathMax];
volatile sig_atomic_t inUse[kSlots];
bool installed = false;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t interruptSignals() {
    sigset_t set;
    (void)sigemptyset(&set);
    for (const int s : kSignals) (void)sigaddset(&set, s);
    return set;
}

extern "C" void removeAndEnd(int signal) {
    for (int i = 0; i < kSlots; ++i) {
        if (inUse[i] != 0) (void)unlink(paths[i]);
    }
    // The signal's own end, with its default action: no handler, no longer held back.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    (void)sigemptyset(&byDefault.sa_mask);
    (void)sigaction(signal, &byDefault, nullptr);
    sigset_t only;
    (void)sigemptyset(&only);
    (void)sigaddset(&only, signal);
    (void)sigprocmask(SIG_UNBLOCK, &only, nullptr);
    (void)kill(getpid(), signal);
    _exit(128 + signal);  // not reached: the signal, no longer held back, ends the process
}

// Installed at the first file; a signal the run was started to ignore (nohup) stays ignored.
void install() {
    if (installed) return;
    installed = true;
    for (const int s : kSignals) {
        struct sigaction old {};
        if (sigaction(s, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction handler {};
        handler.sa_handler = removeAndEnd;
        handler.sa_mask = interruptSignals();
        (void)sigaction(s, &handler, nullptr);
    }
}

}  // namespace

InterruptsHeld::InterruptsHeld() : saved_() {
    const sigset_t held = interruptSignals();
    (void)sigprocmask(SIG_BLOCK, &held, &saved_);
}

InterruptsHeld::~InterruptsHeld() { (void)sigprocmask(SIG_SETMASK, &saved_, nullptr); }

bool removeOnInterrupt(const std::string& path) {
    if (path.size() >= kPathMax) return false;
    const InterruptsHeld held;
    install();
    for (int i = 0; i < kSlots; ++i) {
        if (inUse[i] != 0) continue;
        std::memcpy(paths[i], path.c_str(), path.size() + 1);
        inUse[i] = 1;
        return true;
    }
    return false;
}

void keepOnInterrupt(const std::string& path) {
    const InterruptsHeld held;
    for (int i = 0; i < kSlots; ++i) {
        if (inUse[i] != 0 && path == paths[i]) inUse[i] = 0;
    }
}

}  // namespace host
