// Starting the program under test, or a host tool of the build, with pipes for its output.
#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace e2e {
namespace {

std::string programPath() {
    const char* program = std::getenv("FOLVANE_E2E_PROGRAM");
    return program != nullptr ? program : FOLVANE_HOST_PROGRAM;
}

// Starts `argv` with the launch's arguments, environment and directory, and collects its output.
Result start(std::vector<std::string> argv, const Launch& launch);

}  // namespace

bool windowsRuntime() {
    const char* windows = std::getenv("FOLVANE_E2E_WINDOWS");
    return windows != nullptr && std::strcmp(windows, "1") == 0;
}

bool deviceImage() {
    const char* device = std::getenv("FOLVANE_E2E_DEVICE");
    return device != nullptr && std::strcmp(device, "1") == 0;
}

std::string programUnderTest() { return programPath(); }

Result run(const Launch& launch) { return runCopy(programPath(), launch); }

Result runCopy(const std::string& program, const Launch& launch) {
    std::vector<std::string> argv;
    if (const char* launcher = std::getenv("FOLVANE_E2E_LAUNCHER")) argv.push_back(launcher);
    argv.push_back(program);
    return start(std::move(argv), launch);
}

Result runHostTool(const std::string& program, const Launch& launch) { return start({program}, launch); }

bool windowsCheck() { return std::getenv("FOLVANE_E2E_CHECK_PROGRAM") != nullptr; }

std::vector<std::string> checkCommand() {
    if (!windowsCheck()) return {FOLVANE_CHECK_PROGRAM};
    std::vector<std::string> command;
    if (const char* launcher = std::getenv("FOLVANE_E2E_CHECK_LAUNCHER")) command.push_back(launcher);
    command.push_back(std::getenv("FOLVANE_E2E_CHECK_PROGRAM"));
    return command;
}

Result runCheck(const Launch& launch) {
    return againIfWineDidNotStart(launch.args, [&] { return start(checkCommand(), launch); });
}

Result againIfWineDidNotStart(const std::vector<std::string>& args, const std::function<Result()>& start) {
    Result result = start();
    const bool quiet = std::find(args.begin(), args.end(), "--quiet") != args.end();
    if (windowsCheck() && !quiet && result.status == 1 && result.out.empty() && result.err.empty()) {
        std::fprintf(stderr, "e2e: wine did not start FolvaneCheck.exe (status 1, no output); once more\n");
        result = start();
    }
    return result;
}

namespace {

// The child's environment: the test's, without the unit's variables, which come only from the
// launch, then the launch's own.
std::vector<std::string> childEnvironment(const Launch& launch) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = name == "FOLVANE_MACHINE" || name == "FOLVANE_MACHINE_LOG";
        for (const auto& [launched, value] : launch.env) replaced = replaced || launched == name;
        if (!replaced) env.push_back(entry);
    }
    for (const auto& [name, value] : launch.env) env.push_back(name + "=" + value);
    return env;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& t : texts) pointers.push_back(t.data());
    pointers.push_back(nullptr);
    return pointers;
}

Result start(std::vector<std::string> argv, const Launch& launch) {
    argv.insert(argv.end(), launch.args.begin(), launch.args.end());
    // Everything the child needs is made before the fork: tests start programs from several
    // threads, and a child of a threaded process may not allocate (another thread may hold the
    // allocator's lock at the fork) before it execs.
    std::vector<std::string> env = childEnvironment(launch);
    const std::vector<char*> argPointers = pointersTo(argv);
    const std::vector<char*> envPointers = pointersTo(env);

    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        if (!launch.cwd.empty() && chdir(launch.cwd.c_str()) != 0) _exit(126);
        execvpe(argPointers[0], argPointers.data(), envPointers.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    Result result;
    // Read until the program has exited and its pipes are drained. Processes it left behind
    // (wine's services) may hold the pipes open, so their end is not waited for.
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    fcntl(err[0], F_SETFL, O_NONBLOCK);
    const auto drain = [&](int fd, std::string& into) {
        char buffer[65536];
        ssize_t n = 0;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) into.append(buffer, static_cast<size_t>(n));
    };
    int status = 0;
    bool exited = false;
    while (!exited) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        poll(fds, 2, 20);
        drain(out[0], result.out);
        drain(err[0], result.err);
        exited = waitpid(pid, &status, WNOHANG) == pid;
    }
    drain(out[0], result.out);
    drain(err[0], result.err);
    close(out[0]);
    close(err[0]);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace

std::string lines(const std::string& text) {
    // The Microsoft runtime's text mode writes a line feed as CR LF.
    if (!windowsRuntime()) return text;
    std::string converted;
    for (char c : text) {
        if (c == '\n') converted += '\r';
        converted += c;
    }
    return converted;
}

std::string fileText(const std::string& text) { return lines(text); }

}  // namespace e2e
