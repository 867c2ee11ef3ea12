#!/bin/sh
# Runs the Wine benchmark (spiral steps per second in a preview and in the
# saver beside bare block copies, and the saver's peak memory) in a private
# Wine session. Builds first.
set -eu
cd "$(dirname "$0")/.."
sh tools/build.sh >/dev/null
python3 tools/wine_session.py -- wine build/win32/gyrel-wine-bench.exe "${1:-3}"
