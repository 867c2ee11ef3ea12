#!/bin/sh
# What Gyrel costs while nobody can see it: the full-screen saver under Wine
# with the display turned off and on again, then the X11 hack with its
# window unmapped and mapped again, each at the default budget and with none.
# Builds first. The argument is the seconds of each stretch (10).
set -eu
cd "$(dirname "$0")/.."
sh tools/build.sh >/dev/null
python3 tools/wine_session.py -- wine build/win32/gyrel-dark-bench.exe "${1:-10}"
python3 tools/x11_asleep_bench.py build/host/gyrel --seconds "${1:-10}"
