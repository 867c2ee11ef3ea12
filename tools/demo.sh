#!/bin/sh
# Sets everything up, builds, and runs Gyrel under Wine.
#
# The saver turns whatever the screen shows; where the screen it copies is
# blank it starts from the desktop wallpaper instead, which the demo sets to
# the renderer's built-in picture (a small desktop of its own), so there is
# always a picture to drag round.
#
# With a display ($DISPLAY set) the saver runs full screen on it, in a Wine
# prefix of the demo's own (build/demo-prefix); any key or mouse movement
# ends it. Without one it runs for a few seconds on a virtual display, and a
# picture of what it drew is saved and its path printed.
set -eu
cd "$(dirname "$0")/.."
sh tools/bootstrap.sh
sh tools/build.sh
mkdir -p build/demo/start
build/host/gyrel-render --size 1024x768 --seconds 0 --frames 1 --png-dir build/demo/start --quiet
picture="$PWD/build/demo/start/frame-0000.png"
if [ -n "${DISPLAY:-}" ]; then
    export WINEPREFIX="$PWD/build/demo-prefix"
    # No network is assumed: don't let a first start of Wine offer downloads.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    [ -d "$WINEPREFIX" ] || wineboot -i
    wine reg add 'HKCU\Control Panel\Desktop' /v Wallpaper /d "$(winepath -w "$picture")" /f >/dev/null
    wine build/win32/Gyrel.scr /s
else
    python3 tools/wine_session.py --prefix build/demo-prefix -- \
        python3 tools/demo_capture.py build/win32/Gyrel.scr "$PWD/build/demo/gyrel.png" \
        --wallpaper "$picture"
fi
