// Whether the monitor sleeps, as the server's DPMS extension reports it:
// while it is in standby, suspended or off nobody sees the spiral. The
// server sends no event when that changes, so the hack asks about once a
// second while it draws.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

// What a DPMS answer means: true when the server answered and the level is
// standby, suspend or off; false for on and for any level the protocol does
// not know (the spiral goes on rather than stopping for a garbled answer).
bool MonitorAsleep(bool answered, int powerLevel);

class DisplayPower {
public:
    // Asks once whether the server has DPMS at all (Xvfb, Xephyr and remote
    // servers often have not); without it the monitor never counts as asleep
    // and the server is never asked again.
    explicit DisplayPower(Display* display);

    bool Known() const { return known_; }

    // The monitor's state, asked of the server when a second has passed
    // since the last answer, else the last answer.
    bool Asleep(int64_t nowNs);

    // Time until the next question is due (0: due now); negative when the
    // server is never asked.
    int64_t NsUntilNextLook(int64_t nowNs) const;

private:
    Display* display_;
    bool known_ = false;
    bool asleep_ = false;
    int64_t nextLookNs_ = INT64_MIN;
};
