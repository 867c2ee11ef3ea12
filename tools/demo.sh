#!/bin/sh
# Sets everything up, builds, and runs Gyrel under Wine.
#
# With a display ($DISPLAY set) the saver runs full screen on it; any key or
# mouse movement ends it. Without one it runs for a few seconds on a virtual
# display, and a picture of what it drew is saved and its path printed.
set -eu
cd "$(dirname "$0")/.."
sh tools/bootstrap.sh
sh tools/build.sh
if [ -n "${DISPLAY:-}" ]; then
    # No network is assumed: don't let a first start of Wine offer downloads.
    WINEDLLOVERRIDES="mscoree,mshtml=" wine build/win32/Gyrel.scr /s
else
    mkdir -p build/demo
    python3 tools/wine_session.py --prefix build/demo-prefix -- \
        python3 tools/demo_capture.py build/win32/Gyrel.scr "$PWD/build/demo/gyrel.png"
fi
