#include "x11/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

volatile sig_atomic_t g_stop = 0;
int g_pipe[2] = {-1, -1};

void OnStopSignal(int) {
    const int saved = errno;
    g_stop = 1;
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
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return g_pipe[0];
}

bool StopRequested() { return g_stop != 0; }
