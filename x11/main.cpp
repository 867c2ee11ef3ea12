// gyrel: the spiral as an X11 screen-saver hack.
#include <cstdio>
#include <new>
#include <string>

#include "x11/hack_run.h"
#include "x11/options.h"

int main(int argc, char** argv) {
    HackOptions options;
    std::string problem;
    switch (ParseHackOptions(argc, argv, &options, &problem)) {
        case ParseOutcome::Help:
            std::fputs(HackUsage().c_str(), stdout);
            return 0;
        case ParseOutcome::Version:
            std::fputs(kHackVersion, stdout);
            return 0;
        case ParseOutcome::Error:
            std::fprintf(stderr, "gyrel: %s\n\n%s", problem.c_str(), HackUsage().c_str());
            return 2;
        case ParseOutcome::Run:
            break;
    }
    try {
        return RunHack(options);
    } catch (const std::bad_alloc&) {
        std::fputs("gyrel: not enough memory for a picture of the window\n", stderr);
        return 1;
    }
}
