// Files that an interrupted run leaves no trace of, on a POSIX host: while a new file stands
// beside its target, SIGINT, SIGTERM or SIGHUP removes it and then ends the process by the same
// signal, as the signal itself would have (a shell sees 130, 143 or 129).
#pragma once

#include <signal.h>

#include <string>

namespace host {

// Holds SIGINT, SIGTERM and SIGHUP back while alive, so that a file made and recorded under it is
// either not made yet or already recorded when a signal arrives.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t saved_;  // the signal mask before
};

// Records `path` to be removed if one of the signals ends the process. False when it cannot be
// recorded (every place taken, or a name too long), and then it is not.
bool removeOnInterrupt(const std::string& path);

// Forgets `path` once it is gone or in its target's place.
void keepOnInterrupt(const std::string& path);

}  // namespace host
