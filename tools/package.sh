#!/bin/sh
# Builds what a maintainer publishes, into build/dist/:
#   Gyrel-<version>-setup.exe     the Windows installer (NSIS)
#   Gyrel-<version>-windows.zip   x86/ and x64/Gyrel.scr, README.txt, LICENSE.txt
#   gyrel_<version>_<arch>.deb    the X11 hack for Debian and Ubuntu
#   SHA256SUMS                    of the three
#
# The version is the CMake project's. The builds are reproducible: the same
# commit built in another folder gives byte-identical modules, hack, zip and
# .deb. Their dates are the last commit's (SOURCE_DATE_EPOCH, when set, wins),
# the archives hold their files in a fixed order with fixed owners and modes,
# and the binaries hold no build folder and no link time.
#
# It installs what it needs (tools/bootstrap.sh) and builds in build/package/
# (stripped release builds of the two modules and the hack), then stages and
# archives. Safe to run again.
set -eu
cd "$(dirname "$0")/.."
umask 022
export LC_ALL=C.UTF-8 TZ=UTC

sh tools/bootstrap.sh

VERSION=$(sed -n 's/^project(Gyrel VERSION \([0-9][0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$VERSION" ] || { echo "package: no VERSION in CMakeLists.txt's project()" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
        echo "package: not a git checkout: set SOURCE_DATE_EPOCH to the commit's time" >&2
        exit 1
    }
fi
export SOURCE_DATE_EPOCH
JOBS=$(nproc 2>/dev/null || echo 2)
TREES=build/package
DIST=build/dist
STAGE=$TREES/stage

# --- Builds: stripped at link time, the host one with Debian's hardening ---
build_tree() {  # name, target, extra cmake arguments...
    tree=$TREES/$1
    target=$2
    shift 2
    cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXE_LINKER_FLAGS=-s "$@" >/dev/null
    cmake --build "$tree" --target "$target" -j "$JOBS"
}
build_tree win32 Gyrel -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
build_tree win64 Gyrel -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
build_tree host gyrel \
    "-DCMAKE_C_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
    "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    "-DCMAKE_EXE_LINKER_FLAGS=-s $(dpkg-buildflags --get LDFLAGS)"

rm -rf "$STAGE" "$DIST"
mkdir -p "$STAGE" "$DIST"
DATE=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d)
substitute() {  # file: @VERSION@ and @DATE@ filled in
    sed -e "s/@VERSION@/$VERSION/g" -e "s/@DATE@/$DATE/g" "$1"
}

# --- Windows: the zip and the installer ---
ZIP=$DIST/Gyrel-$VERSION-windows.zip
substitute packaging/windows/README.txt >"$STAGE/README.txt"
python3 packaging/make_zip.py "$ZIP" \
    "x86/Gyrel.scr=$TREES/win32/Gyrel.scr" \
    "x64/Gyrel.scr=$TREES/win64/Gyrel.scr" \
    "README.txt=$STAGE/README.txt" \
    "LICENSE.txt=LICENSE"
# The text files as the zip has them (CRLF), for the installer's licence page.
python3 packaging/make_zip.py --crlf "$STAGE/LICENSE.txt" LICENSE
size_kb=$(( ($(stat -c %s "$TREES/win32/Gyrel.scr") + $(stat -c %s "$TREES/win64/Gyrel.scr")) / 1024 + 100 ))
makensis -V2 -DVERSION="$VERSION" -DX86="$PWD/$TREES/win32/Gyrel.scr" -DX64="$PWD/$TREES/win64/Gyrel.scr" \
    -DLICENSE="$PWD/$STAGE/LICENSE.txt" -DSIZE_KB="$size_kb" \
    -DOUTFILE="$PWD/$DIST/Gyrel-$VERSION-setup.exe" packaging/windows/gyrel.nsi

# --- Debian: the hack, its settings description, manual page and copyright ---
SRC=$STAGE/deb
ROOT=$SRC/debian/gyrel
install -d "$ROOT/DEBIAN" "$ROOT/usr/libexec/xscreensaver" "$ROOT/usr/share/xscreensaver/config" \
    "$ROOT/usr/share/man/man6" "$ROOT/usr/share/doc/gyrel"
# The compiler's notes on itself are of no use to anyone running the hack.
objcopy --remove-section=.comment "$TREES/host/gyrel" "$ROOT/usr/libexec/xscreensaver/gyrel"
chmod 755 "$ROOT/usr/libexec/xscreensaver/gyrel"
install -m 644 x11/gyrel.xml "$ROOT/usr/share/xscreensaver/config/gyrel.xml"
substitute packaging/debian/gyrel.6x | gzip -9n >"$ROOT/usr/share/man/man6/gyrel.6x.gz"
install -m 644 packaging/debian/copyright "$ROOT/usr/share/doc/gyrel/copyright"
cp packaging/debian/control "$SRC/debian/control"
{
    echo "gyrel ($VERSION) unstable; urgency=medium"
    echo
    echo "  * Release $VERSION."
    echo
    echo " -- $(sed -n 's/^Maintainer: //p' packaging/debian/control)  $(date -u -R -d "@$SOURCE_DATE_EPOCH")"
} >"$SRC/debian/changelog"
gzip -9n <"$SRC/debian/changelog" >"$ROOT/usr/share/doc/gyrel/changelog.gz"
chmod 644 "$ROOT/usr/share/man/man6/gyrel.6x.gz" "$ROOT/usr/share/doc/gyrel/changelog.gz"
# Depends from the libraries the binary links; the control file from both.
(cd "$SRC" && dpkg-shlibdeps -Tdebian/gyrel.substvars debian/gyrel/usr/libexec/xscreensaver/gyrel &&
    dpkg-gencontrol -pgyrel -Pdebian/gyrel -Tdebian/gyrel.substvars)
(cd "$ROOT" && find usr -type f | sort | xargs md5sum >DEBIAN/md5sums)
chmod 644 "$ROOT/DEBIAN/control" "$ROOT/DEBIAN/md5sums"
find "$ROOT" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
ARCH=$(dpkg --print-architecture)
dpkg-deb --root-owner-group -Zxz --build "$ROOT" "$DIST/gyrel_${VERSION}_$ARCH.deb" >/dev/null

(cd "$DIST" && sha256sum "Gyrel-$VERSION-setup.exe" "Gyrel-$VERSION-windows.zip" \
    "gyrel_${VERSION}_$ARCH.deb" >SHA256SUMS)
echo "package: build/dist:"
(cd "$DIST" && ls -l)
