// Starting the program under test, or a host tool of the build, with pipes for its output.
#include "process.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace e2e {
namespace {

std::string programPath() {
    const char* program = std::getenv("FOLVANE_E2E_PROGRAM");
    return program != nullptr ? program : FOLVANE_HOST_PROGRAM;
}

bool crlfRuntime() {
    const char* crlf = std::getenv("FOLVANE_E2E_CRLF");
    return crlf != nullptr && std::strcmp(crlf, "1") == 0;
}

// Starts `argv` with the launch's arguments, environment and directory, and collects its output.
Result start(std::vector<std::string> argv, const Launch& launch);

}  // namespace

Result run(const Launch& launch) {
    std::vector<std::string> argv;
    if (const char* launcher = std::getenv("FOLVANE_E2E_LAUNCHER")) argv.push_back(launcher);
    argv.push_back(programPath());
    return start(std::move(argv), launch);
}

Result runHostTool(const std::string& program, const Launch& launch) { return start({program}, launch); }

namespace {

Result start(std::vector<std::string> argv, const Launch& launch) {
    argv.insert(argv.end(), launch.args.begin(), launch.args.end());

    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        close(out[1]);
        close(err[1]);
        if (!launch.cwd.empty() && chdir(launch.cwd.c_str()) != 0) _exit(126);
        // The unit's variables come only from the launch, never from the test's environment.
        unsetenv("FOLVANE_MACHINE");
        unsetenv("FOLVANE_MACHINE_LOG");
        for (const auto& [name, value] : launch.env) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> pointers;
        for (std::string& a : argv) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        execvp(pointers[0], pointers.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    Result result;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace

std::string lines(const std::string& text) {
    if (!crlfRuntime()) return text;
    std::string converted;
    for (char c : text) {
        if (c == '\n') converted += '\r';
        converted += c;
    }
    return converted;
}

std::string fileText(const std::string& text) { return lines(text); }

}  // namespace e2e
