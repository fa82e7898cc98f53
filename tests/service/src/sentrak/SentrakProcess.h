// A sentrak process for a test: the built-in demo drives, a private
// LUMETRA_ROOT and a free loopback port. Start returns once the program
// says it listens; Stop sends SIGTERM and collects the exit status.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "net/loopback_port.h"

extern char** environ;

namespace sentraktest {

// The environment of this process plus `extra` ("NAME=value" entries win).
inline std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        bool replaced = false;
        for (const std::string& x : extra) replaced |= entry.substr(0, entry.find('=')) == x.substr(0, x.find('='));
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

inline std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// Runs `program args` with `env` and its stdout into a pipe; the pid, the
// read end in `out`. Its stderr is appended to `errors` when given.
inline pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> env, int& out,
                   const std::filesystem::path* errors = nullptr) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (errors)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors->c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = -1;
    const std::vector<char*> a = Pointers(argv);
    const std::vector<char*> e = Pointers(env);
    if (posix_spawn(&pid, a[0], &actions, nullptr, a.data(), e.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out = fds[0];
    return pid;
}

inline std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return text;
}

// Exit status of a finished child, -1 when it did not exit normally.
inline int Wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// What a program that ended printed, and its exit status.
struct Finished {
    int exit = -1;
    std::string out;
    std::string err;
};

inline std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SentrakProcess {
public:
    SentrakProcess() : m_port(plat::net::FreeLoopbackPort()) {
        m_root = std::filesystem::temp_directory_path() /
                 ("lumetra-sentrak-" + std::to_string(getpid()) + "-" + std::to_string(m_port));
        std::filesystem::create_directories(m_root);
        m_errors = m_root / "sentrak.err";
    }
    ~SentrakProcess() {
        if (m_pid > 0) Stop();
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    std::vector<std::string> Env() const {
        std::vector<std::string> env = {"LUMETRA_ROOT=" + m_root.string(), "LUMETRA_DEVICES=" + m_devices,
                                        "LUMETRA_SMART_PORT=" + std::to_string(m_port)};
        env.insert(env.end(), m_extra.begin(), m_extra.end());
        return Environment(env);
    }
    // The drives of the next Start: "default" or a profile's path.
    void SetDevices(std::string devices) { m_devices = std::move(devices); }
    // Further "NAME=value" entries of the environment.
    void SetExtraEnvironment(std::vector<std::string> extra) { m_extra = std::move(extra); }

    // True once the program announced that it listens.
    bool Start() {
        int out = -1;
        m_pid = Spawn({SENTRAK_PROGRAM}, Env(), out, &m_errors);
        if (m_pid <= 0) return false;
        m_out = fdopen(out, "r");
        char line[256] = {};
        return m_out && std::fgets(line, sizeof line, m_out) &&
               std::string(line).starts_with("sentrak: listening on port");
    }

    // SIGTERM, then the exit status.
    int Stop() {
        kill(m_pid, SIGTERM);
        const int status = Wait(m_pid);
        m_pid = -1;
        if (m_out) std::fclose(m_out);
        m_out = nullptr;
        return status;
    }

    // sentrak with `args` in this process's environment, run to its end.
    Finished Run(std::vector<std::string> args) const {
        args.insert(args.begin(), SENTRAK_PROGRAM);
        const std::filesystem::path errors = m_root / "run.err";
        std::filesystem::remove(errors);
        int out = -1;
        const pid_t pid = Spawn(args, Env(), out, &errors);
        Finished finished;
        finished.out = ReadAll(out);
        finished.exit = Wait(pid);
        finished.err = FileText(errors);
        return finished;
    }

    // What the programs Start ran wrote to stderr.
    std::string Errors() const { return FileText(m_errors); }
    WORD Port() const { return m_port; }
    const std::filesystem::path& Root() const { return m_root; }

private:
    WORD m_port;
    std::filesystem::path m_root;
    std::filesystem::path m_errors;
    std::string m_devices = "default";
    std::vector<std::string> m_extra;
    pid_t m_pid = -1;
    std::FILE* m_out = nullptr;
};

// A fixture whose tests share one running program.
class SharedSentrak : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Service() = new SentrakProcess;
        ASSERT_TRUE(Service()->Start());
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(Service()->Stop(), 0);
        delete Service();
        Service() = nullptr;
    }
    static SentrakProcess*& Service() {
        static SentrakProcess* service = nullptr;
        return service;
    }
};

}  // namespace sentraktest
