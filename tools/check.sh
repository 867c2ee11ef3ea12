#!/bin/sh
# Sets everything up, checks the code's format, builds, and runs every
# test: the host unit tests, the web page in headless Chromium, a short run
# of the fuzz targets, then the real module under Wine (32-bit in full,
# 64-bit smoke tests) inside a private Wine session, and the saver on two
# monitors in a second session that offers them; then the packages: the .deb, the installer under Wine,
# a signed build, and a second build that must match.
set -eu
cd "$(dirname "$0")/.."
sh tools/bootstrap.sh
# The product code keeps the project's format (.clang-format).
git ls-files base framework effect config app x11 web tools | grep -E '\.(cpp|h)$' |
    xargs clang-format-14 --dry-run --Werror
sh tools/build.sh
ctest --test-dir build/host --output-on-failure
python3 tests/web/page_test.py build/web build/host/gyrel-render
sh tools/run_fuzz.sh
python3 tools/wine_session.py -- sh -c \
    'ctest --test-dir build/win32 --output-on-failure -LE two_monitors &&
     ctest --test-dir build/win64 --output-on-failure -LE two_monitors'
python3 tools/wine_session.py --monitors 2 -- \
    ctest --test-dir build/win32 --output-on-failure -L two_monitors
sh tools/package.sh
python3 tests/package/deb_test.py build/dist
python3 tools/wine_session.py -- python3 tests/package/installer_test.py build/dist
python3 tools/wine_session.py -- python3 tests/package/signing_test.py build/dist
python3 tests/package/reproducible_test.py build/dist
echo "check: all tests passed"
