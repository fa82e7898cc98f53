// Runs a piece of a test in a forked child process and reports its exit
// status. The child ends with _exit so it never runs the parent's cleanup.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

inline int RunInChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
