#!/usr/bin/env bash
# scripts/release.sh where it must refuse or fail: each case gives its message and a non-zero
# status, deletes nothing and leaves no folder that could pass for a release. Run from the
# project's root, in a clean git work tree with the release's packages installed.
set -uo pipefail
top=$PWD
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
checks=0 failures=0
# check NAME CONDITION...: one more check, failed unless the condition holds.
check() {
    local name=$1
    shift
    checks=$((checks + 1))
    if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; failures=$((failures + 1)); fi
}

# expect_failure NAME MESSAGE COMMAND...: the command fails, saying MESSAGE on standard error.
expect_failure() {
    local name=$1 message=$2
    shift 2
    "$@" >"$scratch/out" 2>"$scratch/err"
    local status=$?
    check "$name (status $status): $(grep -F -- "$message" "$scratch/err" | head -n 1)" \
        test $status -ne 0 -a -n "$(grep -F -- "$message" "$scratch/err")" || cat "$scratch/err"
}
# holds FOLDER LISTING: the folder holds just what it held.
holds() { [ "$(ls -A "$1")" = "$2" ]; }

# A folder with a user's files in it (a home folder, say) is never taken as DIST.
mkdir "$scratch/home" && echo letter >"$scratch/home/letter.txt" && mkdir "$scratch/home/photos"
expect_failure "a folder with other files" "holds files that are not a release's" scripts/release.sh --no-tests "$scratch/home"
check "the folder kept its files" holds "$scratch/home" "$(printf 'letter.txt\nphotos')"

# A relative DIST is taken from the caller's folder: here, the scratch folder's home.
expect_failure "a relative DIST from the caller's folder" "$scratch/home/letter.txt is not a folder" \
    bash -c "cd '$scratch' && '$top/scripts/release.sh' --no-tests home/letter.txt"

# Outside a git work tree (the unpacked source tarball) it refuses before doing anything.
git archive --format=tar --prefix=source/ HEAD | tar -x -C "$scratch"
expect_failure "outside a git work tree" "is not a git work tree" "$scratch/source/scripts/release.sh" --no-tests "$scratch/dist"
check "no DIST made" test ! -e "$scratch/dist"

# A step that fails half-way: the run names it, and the previous release in DIST stays whole.
mkdir -p "$scratch/bin" "$scratch/previous"
printf '#!/bin/sh\necho "cpack: out of disk space" >&2\nexit 1\n' >"$scratch/bin/cpack" && chmod +x "$scratch/bin/cpack"
echo "an earlier release's checksums" >"$scratch/previous/SHA256SUMS"
expect_failure "a step that fails" "FAILED at: Windows (MinGW-w64), with the page in its ZIP (--no-tests: not tested)" \
    env PATH="$scratch/bin:$PATH" scripts/release.sh --no-tests "$scratch/previous"
check "the previous release kept whole" holds "$scratch/previous" "SHA256SUMS"
check "no half-made release left" test -z "$(find "$scratch" -maxdepth 1 -name '.release.*')"

echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
