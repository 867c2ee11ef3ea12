#!/bin/sh
# Installs everything Gyrel needs to build, run and test on Debian 12:
# the MinGW-w64 cross compilers, Wine (with its 32-bit half), a virtual X
# server (and Xephyr, for two monitors inside it), CMake, GoogleTest, the
# image libraries of the reference renderer,
# clang with libFuzzer and the sanitizer runtimes (libclang-rt-14-dev, a
# mere recommendation of clang's) and llvm-symbolizer (llvm-14) for the fuzz
# targets, and for the X11 hack Xlib with its extensions library,
# XScreenSaver (the daemon and its image helper) and xrestop; gdb, with
# which a hack test stops the hack at a chosen call; for the packages NSIS,
# Debian's packaging tools and lintian, osslsigncode for Authenticode
# signatures and openssl for the signing test's throw-away certificate,
# man-db (man -w) for the manual page's references, and chattr (e2fsprogs)
# for the installer's failed-write test; for the web page clang's
# WebAssembly target (lld, wasi-libc, libc++ for wasm32) with Chromium for
# its tests; and clang-format, which holds the code to the project's format.
# Safe to run again: when every package is present it only checks and exits.
set -eu

PACKAGES="build-essential cmake make pkg-config git python3 ca-certificates \
g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
wine wine32:i386 wine64 fonts-wine \
xvfb xserver-xephyr x11-utils xdotool imagemagick \
libgtest-dev googletest libpng-dev libgif-dev \
clang libclang-rt-14-dev llvm-14 \
libx11-dev libxext-dev libxcomposite-dev xscreensaver xscreensaver-data xrestop gdb \
nsis dpkg-dev lintian osslsigncode openssl man-db e2fsprogs \
clang-14 lld-14 wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 \
libclang-rt-14-dev-wasm32 chromium clang-format-14"

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

missing=""
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "bootstrap: adding the i386 architecture for 32-bit Wine"
    $SUDO dpkg --add-architecture i386
    missing="update"
fi
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    echo "bootstrap: all packages present"
    exit 0
fi

echo "bootstrap: installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $PACKAGES
echo "bootstrap: done"
