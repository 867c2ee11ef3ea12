#!/bin/sh
# Builds what a maintainer publishes, into build/dist/:
#   Gyrel-<version>-setup.exe     the Windows setup program (NSIS)
#   Gyrel-<version>-windows.zip   x86/ and x64/Gyrel.scr, README.txt, LICENSE.txt
#   gyrel_<version>_<arch>.deb    the X11 hack for Debian and Ubuntu
#   BUILDINFO                     the Debian release and the versions of the
#                                 tools and libraries that made the bytes
#   SHA256SUMS                    of the four
#
# The version is the CMake project's. The builds are reproducible: the same
# commit built by anyone on the same Debian release with the packages that
# BUILDINFO lists gives byte-identical files, whatever the folder, umask,
# time zone, locale or compiler flags of the caller. So after installing
# what it needs (tools/bootstrap.sh), in the caller's environment, it runs
# the rest again in a fixed one: its own PATH, HOME, LC_ALL=C.UTF-8, TZ=UTC,
# umask 022, none of the caller's CFLAGS, CXXFLAGS, LDFLAGS, DEB_* or CMake
# variables, and SOURCE_DATE_EPOCH from the last commit (from the caller
# only outside a git checkout). It builds in fresh folders under
# build/package/ (stripped release builds of the two modules and the hack),
# then stages and archives. The dates in the archives are the commit's, the
# archives hold their files in a fixed order with fixed owners and modes,
# and the binaries hold no build folder and no link time.
#
# Signing: with GYREL_SIGN_PKCS12 (the path of a PKCS#12 file holding the
# code-signing certificate and its key) and GYREL_SIGN_PASSWORD (its
# password), both modules, the removal program, its front and the setup
# program are signed with Authenticode (osslsigncode), their signing time
# the commit's; GYREL_SIGN_TIMESTAMP_URL names an RFC 3161 time-stamp server
# to counter-sign them, and none is asked otherwise. Without a certificate
# the files are not signed.
set -eu
caller_dir=$(pwd)
cd "$(dirname "$0")/.."

if [ "${GYREL_PACKAGE_FIXED_ENV:-}" != 1 ]; then
    sh tools/bootstrap.sh
    if [ "$(git rev-parse --show-toplevel 2>/dev/null || true)" = "$(pwd -P)" ]; then
        epoch=$(git log -1 --format=%ct)
    elif [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
        epoch=$SOURCE_DATE_EPOCH
    else
        echo "package: not a git checkout: set SOURCE_DATE_EPOCH to the commit's time" >&2
        exit 1
    fi
    case $epoch in
        '' | *[!0-9]*) echo "package: SOURCE_DATE_EPOCH is not a number of seconds: $epoch" >&2; exit 1 ;;
    esac
    if [ -n "${GYREL_SIGN_PKCS12:-}" ]; then
        case $GYREL_SIGN_PKCS12 in
            /*) ;;
            *) GYREL_SIGN_PKCS12=$caller_dir/$GYREL_SIGN_PKCS12 ;;
        esac
        if [ ! -r "$GYREL_SIGN_PKCS12" ]; then
            echo "package: GYREL_SIGN_PKCS12 names no readable file: $GYREL_SIGN_PKCS12" >&2
            exit 1
        fi
    fi
    umask 022
    exec env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$PWD/build/package/home" \
        LC_ALL=C.UTF-8 TZ=UTC SOURCE_DATE_EPOCH="$epoch" GYREL_PACKAGE_FIXED_ENV=1 \
        ${GYREL_SIGN_PKCS12:+"GYREL_SIGN_PKCS12=$GYREL_SIGN_PKCS12"} \
        ${GYREL_SIGN_PASSWORD+"GYREL_SIGN_PASSWORD=$GYREL_SIGN_PASSWORD"} \
        ${GYREL_SIGN_TIMESTAMP_URL:+"GYREL_SIGN_TIMESTAMP_URL=$GYREL_SIGN_TIMESTAMP_URL"} \
        sh tools/package.sh
fi

umask 022
VERSION=$(sed -n 's/^project(Gyrel VERSION \([0-9][0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$VERSION" ] || { echo "package: no VERSION in CMakeLists.txt's project()" >&2; exit 1; }
JOBS=$(nproc 2>/dev/null || echo 2)
TREES=build/package
DIST=build/dist
STAGE=$TREES/stage
rm -rf "$TREES" "$DIST"
mkdir -p "$HOME" "$STAGE" "$DIST"

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

DATE=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d)
MAINTAINER=$(sed -n 's/^Maintainer: //p' packaging/debian/control)
substitute() {  # file: @VERSION@, @DATE@ and @MAINTAINER@ filled in
    sed -e "s/@VERSION@/$VERSION/g" -e "s/@DATE@/$DATE/g" -e "s/@MAINTAINER@/$MAINTAINER/g" "$1"
}

# --- Signing ---
SIGNED=no
if [ -n "${GYREL_SIGN_PKCS12:-}" ]; then
    SIGNED=yes
    password_file=$TREES/sign-password
    (umask 077 && printf '%s' "${GYREL_SIGN_PASSWORD:-}" >"$password_file")
fi
sign() {  # file: signed in place when a certificate is given
    [ "$SIGNED" = yes ] || return 0
    osslsigncode sign -pkcs12 "$GYREL_SIGN_PKCS12" -readpass "$password_file" -h sha256 \
        -n "Gyrel $VERSION" -time "$SOURCE_DATE_EPOCH" \
        ${GYREL_SIGN_TIMESTAMP_URL:+-ts "$GYREL_SIGN_TIMESTAMP_URL"} \
        -in "$1" -out "$1.signed" >/dev/null
    mv "$1.signed" "$1"
    echo "package: signed $1"
}

# --- Windows: the modules, the removal program, the zip and the setup ---
WIN=$STAGE/windows
mkdir -p "$WIN/x86" "$WIN/x64" "$WIN/front"
cp "$TREES/win32/Gyrel.scr" "$WIN/x86/Gyrel.scr"
cp "$TREES/win64/Gyrel.scr" "$WIN/x64/Gyrel.scr"
sign "$WIN/x86/Gyrel.scr"
sign "$WIN/x64/Gyrel.scr"
makensis -V2 -WX -DVERSION="$VERSION" -DOUTFILE="$PWD/$WIN/front/removal.exe" packaging/windows/uninstall.nsi
sign "$WIN/front/removal.exe"
i686-w64-mingw32-windres -Ipackaging/windows -I"$WIN/front" -O coff \
    -o "$WIN/front/uninstall_front.res.o" packaging/windows/uninstall_front.rc
i686-w64-mingw32-gcc-posix -std=c11 -Wall -Wextra -Werror -O2 -municode -mwindows -DUNICODE -D_UNICODE \
    -static -s -Wl,--no-insert-timestamp -o "$WIN/uninstall.exe" \
    packaging/windows/uninstall_front.c "$WIN/front/uninstall_front.res.o"
sign "$WIN/uninstall.exe"

ZIP=$DIST/Gyrel-$VERSION-windows.zip
substitute packaging/windows/README.txt >"$WIN/README.txt"
python3 packaging/make_zip.py "$ZIP" \
    "x86/Gyrel.scr=$WIN/x86/Gyrel.scr" \
    "x64/Gyrel.scr=$WIN/x64/Gyrel.scr" \
    "README.txt=$WIN/README.txt" \
    "LICENSE.txt=LICENSE"
# The text files as the zip has them (CRLF), for the setup's licence page.
python3 packaging/make_zip.py --crlf "$WIN/LICENSE.txt" LICENSE
size_kb=$(( ($(stat -c %s "$WIN/x86/Gyrel.scr") + $(stat -c %s "$WIN/x64/Gyrel.scr") \
    + $(stat -c %s "$WIN/uninstall.exe")) / 1024 + 1 ))
SETUP=$DIST/Gyrel-$VERSION-setup.exe
makensis -V2 -WX -DVERSION="$VERSION" -DX86="$PWD/$WIN/x86/Gyrel.scr" -DX64="$PWD/$WIN/x64/Gyrel.scr" \
    -DFRONT="$PWD/$WIN/uninstall.exe" -DLICENSE="$PWD/$WIN/LICENSE.txt" -DSIZE_KB="$size_kb" \
    -DOUTFILE="$PWD/$SETUP" packaging/windows/gyrel.nsi
sign "$SETUP"
[ "$SIGNED" = no ] || rm -f "$password_file"

# --- Debian: the hack, its settings description, manual page and documents ---
SRC=$STAGE/deb
ROOT=$SRC/debian/gyrel
install -d "$ROOT/DEBIAN" "$ROOT/usr/libexec/xscreensaver" "$ROOT/usr/share/xscreensaver/config" \
    "$ROOT/usr/share/man/man6" "$ROOT/usr/share/doc/gyrel"
# The compiler's notes on itself are of no use to anyone running the hack.
objcopy --remove-section=.comment "$TREES/host/gyrel" "$ROOT/usr/libexec/xscreensaver/gyrel"
chmod 755 "$ROOT/usr/libexec/xscreensaver/gyrel"
install -m 644 x11/gyrel.xml "$ROOT/usr/share/xscreensaver/config/gyrel.xml"
substitute packaging/debian/gyrel.6x | gzip -9n >"$ROOT/usr/share/man/man6/gyrel.6x.gz"
substitute packaging/debian/copyright >"$ROOT/usr/share/doc/gyrel/copyright"
install -m 644 packaging/debian/README.Debian "$ROOT/usr/share/doc/gyrel/README.Debian"
cp packaging/debian/control "$SRC/debian/control"
{
    echo "gyrel ($VERSION) unstable; urgency=medium"
    echo
    echo "  * Release $VERSION."
    echo
    echo " -- $MAINTAINER  $(date -u -R -d "@$SOURCE_DATE_EPOCH")"
} >"$SRC/debian/changelog"
gzip -9n <"$SRC/debian/changelog" >"$ROOT/usr/share/doc/gyrel/changelog.gz"
chmod 644 "$ROOT/usr/share/man/man6/gyrel.6x.gz" "$ROOT/usr/share/doc/gyrel/changelog.gz" \
    "$ROOT/usr/share/doc/gyrel/copyright"
# Depends from the libraries the binary links; the control file from both.
(cd "$SRC" && dpkg-shlibdeps -Tdebian/gyrel.substvars debian/gyrel/usr/libexec/xscreensaver/gyrel &&
    dpkg-gencontrol -pgyrel -Pdebian/gyrel -Tdebian/gyrel.substvars)
(cd "$ROOT" && find usr -type f | sort | xargs md5sum >DEBIAN/md5sums)
chmod 644 "$ROOT/DEBIAN/control" "$ROOT/DEBIAN/md5sums"
find "$ROOT" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
ARCH=$(dpkg --print-architecture)
DEB=$DIST/gyrel_${VERSION}_$ARCH.deb
dpkg-deb --root-owner-group -Zxz --build "$ROOT" "$DEB" >/dev/null

# --- What made the bytes ---
# The Debian packages that own the tools and libraries used above; a file
# no package owns stops the build, as BUILDINFO could not name it.
owners() {  # files...
    found=""
    for file in "$@"; do
        plain=$(realpath -s "$file")
        real=$(readlink -f "$file")
        # Both a link's package (libX11.so is libx11-dev's) and its
        # target's; with /usr merged a package may own a file under /.
        owner=$( (dpkg-query -S "$plain" "$real" 2>/dev/null; dpkg-query -S "${real#/usr}" 2>/dev/null) |
            grep -v '^diversion by ' || true)
        if [ -z "$owner" ]; then
            echo "package: no Debian package owns $file" >&2
            exit 1
        fi
        found="$found$owner
"
    done
    printf '%s' "$found" | sed -e 's/: .*//' -e 's/, /\n/g' -e 's/:[a-z0-9]*$//' | sort -u
}
versions() {  # packages...
    for package in "$@"; do
        dpkg-query -W -f '  ${Package} ${Version}\n' "$package" | head -n 1
    done
}
mingw_files() {  # compiler
    for name in cc1 cc1plus; do "$1" -print-prog-name=$name; done
    for name in libstdc++.a libgcc.a libkernel32.a libmsvcrt.a libwinpthread.a; do "$1" -print-file-name=$name; done
}
# shellcheck disable=SC2046
windows_packages=$(owners "$(command -v i686-w64-mingw32-gcc-posix)" "$(command -v i686-w64-mingw32-g++-posix)" \
    "$(command -v x86_64-w64-mingw32-g++-posix)" "$(command -v i686-w64-mingw32-ld)" \
    "$(command -v x86_64-w64-mingw32-ld)" "$(command -v i686-w64-mingw32-windres)" \
    $(mingw_files i686-w64-mingw32-g++-posix) $(mingw_files x86_64-w64-mingw32-g++-posix) \
    /usr/i686-w64-mingw32/include/windows.h /usr/x86_64-w64-mingw32/include/windows.h \
    "$(command -v makensis)" /usr/share/nsis/Stubs/lzma_solid-x86-unicode \
    /usr/share/nsis/Plugins/x86-unicode/System.dll /usr/share/nsis/Include/MUI2.nsh)
# Each library the hack links, as the linker found it (libX11.so, from the
# -dev package) and as it runs (libX11.so.6).
hack_libraries() {
    for library in $(readelf -d "$TREES/host/gyrel" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        c++ -print-file-name="$library"
        c++ -print-file-name="${library%%.so*}.so"
    done
}
# shellcheck disable=SC2046
hack_packages=$(owners "$(command -v c++)" "$(c++ -print-prog-name=cc1plus)" "$(command -v ld)" \
    "$(command -v objcopy)" "/usr/include/c++/$(c++ -dumpversion)/vector" "$(c++ -print-libgcc-file-name)" \
    "$(c++ -print-file-name=libc_nonshared.a)" $(hack_libraries) \
    "$(command -v dpkg-deb)" "$(command -v dpkg-shlibdeps)" "$(command -v gzip)" \
    "$(c++ -print-file-name=liblzma.so.5)")
common_packages=$(owners "$(command -v cmake)" "$(command -v make)" "$(command -v python3)" \
    "$(c++ -print-file-name=libz.so.1)")
signing_packages=""
[ "$SIGNED" = no ] || signing_packages=$(owners "$(command -v osslsigncode)")
page_packages=$(owners "$(command -v clang-14)" "$(command -v wasm-ld-14)")
# shellcheck disable=SC2086
{
    echo "Gyrel $VERSION: the files of this folder, made by tools/package.sh"
    echo "Source date: $SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC'))"
    echo "Debian release: $(cat /etc/debian_version), architecture $ARCH"
    echo "Signed: $SIGNED"
    echo
    echo "The Windows modules, the removal program and the setup program (MinGW-w64, NSIS):"
    versions $windows_packages
    echo
    echo "The hack and its package (GCC, the C library, Xlib, dpkg):"
    versions $hack_packages
    echo
    echo "Both (the builds, the zip):"
    versions $common_packages
    if [ "$SIGNED" = yes ]; then
        echo
        echo "The signatures:"
        versions $signing_packages
    fi
    echo
    echo "Not among these files: the web page (build/web), built from the same commit with:"
    versions $page_packages
} >"$DIST/BUILDINFO"

(cd "$DIST" && sha256sum "$(basename "$SETUP")" "$(basename "$ZIP")" "$(basename "$DEB")" BUILDINFO >SHA256SUMS)
echo "package: build/dist:"
(cd "$DIST" && ls -l)
