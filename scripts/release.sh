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
# give byte-identical files. --no-tests builds the same files without running the tests.
# Usage: scripts/release.sh [--no-tests] [DIST]
set -euo pipefail
cd "$(dirname "$0")/.."

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
    need xauth xauth; need pdftotext poppler-utils
fi
[ ${#missing[@]} -eq 0 ] || fail "missing Debian packages: ${missing[*]} (apt-get install them, see the README)"

# The source archive is the commit: nothing may differ from it.
[ -z "$(git status --porcelain)" ] || fail "the tree differs from its commit (git status): commit or stash first"
version=$(sed -n 's/^project(floating_point VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
rm -rf "$dist"
mkdir -p "$dist"

started=$SECONDS
artifact() {
    echo "==> $1"
    step_started=$SECONDS
}
done_in() { echo "    $1 in $((SECONDS - step_started)) s"; }

# A preset built in a new folder: configured, built, tested (unless --no-tests) and packed.
preset() {
    rm -rf "build/$1"
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
    if [ -n "$tests" ]; then ctest --preset "$1"; fi
}

artifact "the page (WebAssembly), tested in Chromium, Firefox and WebKitGTK"
preset web
cp build/web/floating_point.html "$dist/floating_point-$version.html"
done_in "floating_point-$version.html"

artifact "Windows (MinGW-w64), tested under Wine, with the page in its ZIP"
preset windows
cpack --preset windows >/dev/null
cp "build/windows/floating-point-$version-win64.zip" "$dist/"
done_in "floating-point-$version-win64.zip"

artifact "the Debian package for amd64; the tests on the default build and the transcripts on the package's program"
if [ -n "$tests" ]; then
    rm -rf build/default
    cmake --workflow --preset default
fi
rm -rf build/package
cmake --preset package >/dev/null && cmake --build --preset package && (cd build/package && cpack >/dev/null)
deb="build/package/floating-point_${version}_amd64.deb"
if [ -n "$tests" ]; then
    rm -rf build/package/root && dpkg-deb -x "$deb" build/package/root
    for input in tests/e2e/cases/*.in; do
        bash tests/e2e/run_transcript.sh build/package/root/usr/bin/floating_point "$input" "${input%.in}.out"
    done
fi
cp "$deb" "$dist/"
done_in "floating-point_${version}_amd64.deb"

for arch in arm64 armhf; do
    artifact "the Debian package for $arch, tested under qemu-user"
    preset "$arch"
    cpack --preset "$arch" >/dev/null
    cp "build/$arch/floating-point_${version}_$arch.deb" "$dist/"
    done_in "floating-point_${version}_$arch.deb"
done

artifact "the source, the SBOM, the notices check and the checksums"
git archive --format=tar --prefix="floating-point-$version/" HEAD | gzip -9 -n >"$dist/floating-point-$version.tar.gz"
python3 scripts/sbom.py "$dist" "$version" >"$dist/floating-point-$version.cdx.json"
python3 tests/release_notices.py "$dist"
(cd "$dist" && sha256sum -- * >SHA256SUMS)
done_in "SHA256SUMS"

echo "==> $dist, in $((SECONDS - started)) s:"
(cd "$dist" && ls -l)
