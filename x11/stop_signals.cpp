#include "x11/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Long enough for a clean end (the helper's own grace is shorter), well
// inside the two seconds a daemon may wait before it kills.
constexpr unsigned kWatchdogSeconds = 1;

volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_helperGroup = 0;
int g_pipe[2] = {-1, -1};

// Only async-signal-safe calls from here on.
[[noreturn]] void EndNow() {
    const pid_t group = static_cast<pid_t>(g_helperGroup);
    if (group > 0) kill(-group, SIGKILL);
    _exit(0);
}

void OnWatchdog(int) { EndNow(); }

void OnStopSignal(int) {
    if (g_stop != 0) EndNow();
    const int saved = errno;
    g_stop = 1;
    alarm(kWatchdogSeconds);
    if (g_pipe[1] >= 0) {
        const char byte = 1;
        // A full pipe already wakes the reader; nothing to do if this fails.
        [[maybe_unused]] ssize_t written = write(g_pipe[1], &byte, 1);
    }
    errno = saved;
}

}  // namespace

int InstallStopSignals() {
    if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) g_pipe[0] = g_pipe[1] = -1;
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    action.sa_handler = OnWatchdog;
    sigaction(SIGALRM, &action, nullptr);
    // Each stop signal blocks the other while its handler runs, so that two
    // arriving together are seen one after the other.
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGINT);
    action.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return g_pipe[0];
}

bool StopRequested() { return g_stop != 0; }

void SetHelperGroup(pid_t group) { g_helperGroup = static_cast<sig_atomic_t>(group); }
