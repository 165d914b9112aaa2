#!/usr/bin/env bash
# A release in one command, on a Debian 12 machine with the packages the README names (it
# installs nothing, and says which package is missing). From the committed tree, each artifact is
# built by its preset in a new build folder and tested on the way, under Wine and qemu-user as the
# workflows do; the first failure stops it. DIST (dist/ unless given) then holds:
#   floating-point_VERSION_amd64.deb, _arm64.deb, _armhf.deb   the Debian packages
#   floating-point-VERSION-win64.zip                           Windows, with the page inside
#   floating_point-VERSION.html                                the page
#   floating-point-VERSION.tar.gz                              the source (git archive)
#   floating-point-VERSION.cdx.json                            the SBOM (CycloneDX 1.5)
#   SHA256SUMS                                                 for sha256sum -c
# VERSION is the project() line's. SOURCE_DATE_EPOCH is the commit's time unless set: two runs
# give byte-identical files in any folder, time zone, locale, umask and HOME.
# --no-tests builds the same files without running the tests.
# Safe on failure: everything is made in a new folder beside DIST, which takes its place only
# when every step has passed; a failed run names its step and leaves DIST as it was. DIST (a
# relative one from the caller's folder) must be new, empty or a previous release.
# Usage: scripts/release.sh [--no-tests] [DIST]
set -euo pipefail

tests=yes
dist=dist
for argument in "$@"; do
    case $argument in
        --no-tests) tests= ;;
        -*) echo "usage: scripts/release.sh [--no-tests] [DIST]" >&2; exit 2 ;;
        *) dist=$argument ;;
    esac
done
fail() { echo "release: $*" >&2; exit 1; }
# The modes that a .deb's ar header gives its members are those of the files cpack writes.
umask 022
dist=$(realpath -m -- "$dist")
cd "$(dirname "$0")/.."
top=$PWD

# The source archive is the commit: a release is made from a git work tree with nothing changed.
git rev-parse --is-inside-work-tree >/dev/null 2>&1 \
    || fail "$top is not a git work tree: a release is made from a clone of the repository (the source tarball has no history to name the commit)"
[ -z "$(git status --porcelain)" ] || fail "the tree differs from its commit (git status): commit or stash first"

# DIST is replaced only when it holds nothing but a release's files.
release_file='^(floating-point_[0-9.]+_(amd64|arm64|armhf)\.deb|floating-point-[0-9.]+-win64\.zip|floating_point-[0-9.]+\.html|floating-point-[0-9.]+\.(tar\.gz|cdx\.json)|SHA256SUMS)$'
if [ -e "$dist" ]; then
    [ -d "$dist" ] || fail "$dist is not a folder"
    case "$top/" in "$dist"/*) fail "$dist holds the project itself" ;; esac
    others=$(find "$dist" -mindepth 1 -maxdepth 1 -printf '%f\n' | grep -Ev "$release_file" | head -n 3 || true)
    [ -z "$others" ] || fail "$dist holds files that are not a release's (such as: $(echo $others)); give an empty or new folder"
    [ -z "$(find "$dist" -mindepth 1 -maxdepth 1 -type d)" ] || fail "$dist holds folders: not a previous release"
fi

# What the presets need, as the README's table names it: a command and its package, or a package.
missing=()
need() { command -v "$1" >/dev/null || missing+=("$2"); }
need_package() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed' || missing+=("$1"); }
need git git; need cmake cmake; need g++ g++; need python3 python3; need tmux tmux; need_package libgtest-dev
need dpkg-shlibdeps dpkg-dev; need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix; need_package wine64
need groff groff-base; need aarch64-linux-gnu-g++ crossbuild-essential-arm64; need arm-linux-gnueabihf-g++ crossbuild-essential-armhf
need qemu-aarch64 qemu-user; need_package googletest; need_package libstdc++6:arm64; need_package libstdc++6:armhf
need clang clang; need wasm-ld lld; need wasm-opt binaryen; need_package wasi-libc; need_package libc++-dev-wasm32
need_package libclang-rt-dev-wasm32; need node nodejs; need npm npm
if [ -n "$tests" ]; then
    need chromium chromium; need firefox-esr firefox-esr; need WebKitWebDriver webkit2gtk-driver; need xvfb-run xvfb
    need xauth xauth; need pdftotext poppler-utils; need orca orca; need speech-dispatcher speech-dispatcher
    need xdotool xdotool; need xclip xclip; need dbus-run-session dbus; need_package at-spi2-core
fi
[ ${#missing[@]} -eq 0 ] || fail "missing Debian packages: ${missing[*]} (apt-get install them, see the README)"

version=$(sed -n 's/^project(floating_point VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || fail "SOURCE_DATE_EPOCH is not a time in seconds: '$SOURCE_DATE_EPOCH'"
export SOURCE_DATE_EPOCH

# The new release's folder, beside DIST; removed unless it becomes DIST.
mkdir -p "$(dirname "$dist")"
stage=$(mktemp -d "$(dirname "$dist")/.release.XXXXXX")
step="getting ready"
finish() {
    status=$?
    rm -rf "$stage"
    if [ $status -ne 0 ]; then echo "release: FAILED at: $step (status $status); $dist is as it was" >&2; fi
}
trap finish EXIT

started=$SECONDS
artifact() {
    step=$1
    echo "==> $1"
    step_started=$SECONDS
}
done_in() { echo "    $1 in $((SECONDS - step_started)) s"; }
tested() { if [ -n "$tests" ]; then echo "$1"; else echo "$2 (--no-tests: not tested)"; fi; }

# A preset built in a new folder: configured, built, tested (unless --no-tests) and packed.
preset() {
    rm -rf "build/$1"
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
    if [ -n "$tests" ]; then ctest --preset "$1"; fi
}

artifact "$(tested "the page (WebAssembly), tested in Chromium, Firefox and WebKitGTK, and with Orca in Firefox and Chromium" "the page (WebAssembly)")"
preset web
cp build/web/floating_point.html "$stage/floating_point-$version.html"
done_in "floating_point-$version.html"

artifact "$(tested "Windows (MinGW-w64), tested under Wine, with the page in its ZIP" "Windows (MinGW-w64), with the page in its ZIP")"
preset windows
# A ZIP stores local times: in UTC they are SOURCE_DATE_EPOCH's wherever the release is made.
TZ=UTC cpack --preset windows >/dev/null
cp "build/windows/floating-point-$version-win64.zip" "$stage/"
done_in "floating-point-$version-win64.zip"

# The default preset's tests (the README's test command) run on the code of this program; the
# package's own program is tested on what it meets as a program: the transcripts, hostile input.
artifact "$(tested "the Debian package for amd64, its program on the transcripts and hostile input" "the Debian package for amd64")"
rm -rf build/package
cmake --preset package >/dev/null && cmake --build --preset package && (cd build/package && cpack >/dev/null)
deb="build/package/floating-point_${version}_amd64.deb"
if [ -n "$tests" ]; then
    rm -rf build/package/root && dpkg-deb -x "$deb" build/package/root
    for input in tests/e2e/cases/*.in; do
        bash tests/e2e/run_transcript.sh build/package/root/usr/bin/floating_point "$input" "${input%.in}.out"
    done
    bash tests/hostile/hostile_input.sh build/package/root/usr/bin/floating_point
fi
cp "$deb" "$stage/"
done_in "floating-point_${version}_amd64.deb"

for arch in arm64 armhf; do
    artifact "$(tested "the Debian package for $arch, tested under qemu-user" "the Debian package for $arch")"
    preset "$arch"
    cpack --preset "$arch" >/dev/null
    cp "build/$arch/floating-point_${version}_$arch.deb" "$stage/"
    done_in "floating-point_${version}_$arch.deb"
done

artifact "the source, the SBOM, the checksums and the check of the release"
git archive --format=tar --prefix="floating-point-$version/" HEAD | gzip -9 -n >"$stage/floating-point-$version.tar.gz"
python3 scripts/sbom.py "$stage" "$version" build >"$stage/floating-point-$version.cdx.json"
node scripts/validate_sbom.mjs build/web/web/npm/node_modules "$stage/floating-point-$version.cdx.json"
# In byte order of the names, whatever the locale.
(cd "$stage" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort | xargs sha256sum -- >SHA256SUMS)
python3 tests/check_release.py "$stage" build
done_in "SHA256SUMS"

step="putting the release in $dist"
chmod 755 "$stage"
if [ -d "$dist" ]; then find "$dist" -mindepth 1 -maxdepth 1 -type f -regextype posix-extended -regex ".*/${release_file:1:-1}" -delete; rmdir "$dist"; fi
mv "$stage" "$dist"
echo "==> $dist, in $((SECONDS - started)) s$([ -n "$tests" ] || echo ", untested (--no-tests)"):"
(cd "$dist" && ls -l)
