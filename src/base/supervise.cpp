#include "base/supervise.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace chromasect {

namespace {

// Process groups running now, for killSupervised. A signal handler can
// reach nothing else, so they are kept in a fixed table of atomics.
constexpr int kSlots = 256;
std::atomic<pid_t> g_groups[kSlots];

int enter(pid_t group) {
    for (int i = 0; i < kSlots; ++i) {
        pid_t empty = 0;
        if (g_groups[i].compare_exchange_strong(empty, group)) return i;
    }
    return -1;
}

void leave(int slot) {
    if (slot >= 0) g_groups[slot].store(0);
}

}  // namespace

// Set once the run is being ended by a signal: no solver starts after it.
std::atomic<bool> g_stopping(false);

void killSupervised() {
    g_stopping.store(true);
    for (int i = 0; i < kSlots; ++i) {
        const pid_t group = g_groups[i].load();
        if (group > 0) kill(-group, SIGKILL);
    }
}

namespace {
// Two buffers, so that a signal never reads the one being written.
char g_notes[2][1024];
std::atomic<int> g_note(-1);
// A child forked a moment before the signal still has the handler: only the
// process that set the note says it.
std::atomic<pid_t> g_noteOwner(0);
}  // namespace

void setStopNote(const std::string& line) {
    const int next = g_note.load() == 0 ? 1 : 0;
    const size_t n = std::min(line.size(), sizeof g_notes[next] - 2);
    std::memcpy(g_notes[next], line.data(), n);
    g_notes[next][n] = '\n';
    g_notes[next][n + 1] = '\0';
    g_noteOwner.store(getpid());
    g_note.store(line.empty() ? -1 : next);
}

void writeStopNote() {
    const int at = g_note.load();
    if (at < 0 || g_noteOwner.load() != getpid()) return;
    const char* text = g_notes[at];
    size_t n = 0;
    while (text[n] != '\0') ++n;
    while (n > 0) {
        const ssize_t w = write(STDOUT_FILENO, text, n);
        if (w <= 0) break;
        text += w;
        n -= static_cast<size_t>(w);
    }
}

ShellResult runSupervised(const std::string& command, double seconds, std::string* out) {
    ShellResult result;
    std::fflush(stdout);
    int fds[2] = {-1, -1};
    if (out && pipe(fds) != 0) return result;
    const char* text = command.c_str();
    if (g_stopping.load()) return result;
    const pid_t child = fork();
    if (child < 0) {
        if (out) {
            close(fds[0]);
            close(fds[1]);
        }
        return result;
    }
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec.
        setpgid(0, 0);
        if (out) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
        }
        execl("/bin/sh", "sh", "-c", text, static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(child, child);  // as the child does: whichever comes first
    const int slot = enter(child);
    if (g_stopping.load()) kill(-child, SIGKILL);  // started as the run was being ended
    if (out) {
        close(fds[1]);
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        out->clear();
    }

    const auto start = std::chrono::steady_clock::now();
    bool reading = out != nullptr;
    bool exited = false;
    int status = 0;
    while (!exited || reading) {
        if (reading) {
            pollfd p{fds[0], POLLIN, 0};
            poll(&p, 1, 20);
            char buf[4096];
            ssize_t n;
            while ((n = read(fds[0], buf, sizeof buf)) > 0)
                out->append(buf, static_cast<size_t>(n));
            if (n == 0) reading = false;
        } else {
            usleep(5000);
        }
        if (!exited && waitpid(child, &status, WNOHANG) == child) exited = true;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds > 0 && elapsed > seconds && (!exited || reading)) {
            kill(-child, SIGKILL);
            if (!exited) waitpid(child, &status, 0);
            exited = true;
            reading = false;
            result.timedOut = true;
        }
    }
    leave(slot);
    if (out) close(fds[0]);
    result.status = status;
    return result;
}

}  // namespace chromasect
