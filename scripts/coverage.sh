#!/usr/bin/env bash
# Builds with gcov counters, runs the default test suite but the sampled long checks (unoptimised
# and counted, they take minutes and reach no line that the rest does not) and reports the
# coverage of src/ (needs gcovr): lines, branches, and decisions (the program's own if/else and
# loop conditions; the branch count also holds the stream library's inlined checks, which input
# cannot steer).
set -euo pipefail
cd "$(dirname "$0")/.."
find build/coverage -name "*.gcda" -delete 2>/dev/null || true
cmake --workflow --preset coverage >/dev/null
gcovr --root . --filter 'src/' --exclude-throw-branches --exclude-unreachable-branches --decisions \
    --print-summary --txt build/coverage/coverage.txt build/coverage
cat build/coverage/coverage.txt
