#!/bin/sh
# Sets everything up, builds, and runs Gyrel under Wine.
set -eu
cd "$(dirname "$0")/.."
sh tools/bootstrap.sh
sh tools/build.sh
if [ -n "${DISPLAY:-}" ]; then
    wine build/win32/Gyrel.scr && status=0 || status=$?
else
    python3 tools/wine_session.py --prefix build/demo-prefix -- \
        wine build/win32/Gyrel.scr && status=0 || status=$?
fi
echo "demo: Gyrel ended with exit code $status"
