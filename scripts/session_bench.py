#!/usr/bin/env python3
"""Whole-process benchmark of a long scripted session.

Generates a seeded session of PASSES passes (both directions, both languages: half the passes in
an English run, half in an Italian one, with some rejected bit patterns), runs the program on it
and, side by side in the same run, the floor: a program that writes the same output with the same
write calls and does no work. Reports passes per second, the time over the floor's with output to
/dev/null and to a pipe, write system calls per pass (and how many the dialogue requires: counted
under strace, which slows each call a hundredfold, on a session of 2,000 passes), and peak memory.

Usage: scripts/session_bench.py [--passes N] [--seed S] [--repeat R] [--build DIR]
Needs the bench build (cmake --workflow --preset bench), strace and /usr/bin/time.
"""

import argparse
import os
import random
import re
import statistics
import subprocess
import sys
import tempfile
import time

TRACED_PASSES = 2000
DECIMALS = ["5", "-3.25", "12.375", "0.1", "1e3", "8388607.9", "0.00000001", "123456.789", "-0.75",
            "abc", "1e10", "1.5e3", "-0", "0.000123", "42"]


def random_pattern(rng, valid):
    """A bit pattern; valid ones have an exponent field inside the window for either sign."""
    if not valid:
        return rng.choice(["2", "10", "0" * 33, "01111111111", "0" + "1" * 8 + "0" * 23, "abc"])
    sign = rng.choice("01")
    field = format(rng.randint(115, 145), "08b")
    fraction = "".join(rng.choice("01") for _ in range(rng.randint(0, 23)))
    return sign + field + fraction


def session(rng, language, passes):
    lines = [str(language)]
    for number in range(passes):
        if rng.random() < 0.5:
            lines.append("1")
            while rng.random() < 0.2:
                lines.append(random_pattern(rng, valid=False))
            lines.append(random_pattern(rng, valid=True))
        else:
            lines.append("2")
            lines.append(rng.choice(DECIMALS) if rng.random() < 0.5 else f"{rng.uniform(-1e6, 1e6):.{rng.randint(0, 6)}f}")
        lines.append("0" if number + 1 < passes else "n")
    return "\n".join(lines) + "\n"


def timed(command, stdin_path, stdout_path=None, pipe=False):
    """Seconds of wall time for one run; with pipe, the output goes through `cat` to /dev/null."""
    with open(stdin_path, "rb") as stdin:
        start = time.perf_counter()
        if pipe:
            producer = subprocess.Popen(command, stdin=stdin, stdout=subprocess.PIPE)
            consumer = subprocess.Popen(["cat"], stdin=producer.stdout, stdout=subprocess.DEVNULL)
            producer.stdout.close()
            consumer.wait()
            producer.wait()
        else:
            with open(stdout_path or os.devnull, "wb") as stdout:
                subprocess.run(command, stdin=stdin, stdout=stdout, check=True)
        return time.perf_counter() - start


def write_calls(command, stdin_path):
    with tempfile.NamedTemporaryFile() as trace, open(stdin_path, "rb") as stdin:
        subprocess.run(["strace", "-f", "-e", "trace=write", "-o", trace.name] + command,
                       stdin=stdin, stdout=subprocess.DEVNULL, check=True)
        return sum(1 for line in open(trace.name) if re.match(r"(\d+ +)?write\(1,", line))


def peak_kib(command, stdin_path):
    with tempfile.NamedTemporaryFile() as report, open(stdin_path, "rb") as stdin:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + command,
                       stdin=stdin, stdout=subprocess.DEVNULL, check=True)
        return int(open(report.name).read().split()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--passes", type=int, default=100000)
    parser.add_argument("--seed", type=int, default=20261206)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--build", default="build/bench")
    options = parser.parse_args()

    program = os.path.join(options.build, "floating_point")
    floor = os.path.join(options.build, "bench", "floor")
    for binary in (program, floor):
        if not os.access(binary, os.X_OK):
            sys.exit(f"{binary} is missing: run cmake --workflow --preset bench first")

    rng = random.Random(options.seed)
    work = tempfile.mkdtemp(prefix="session-bench-")

    def sessions(name, passes):
        """(session input, recorded transcript) per language, half the passes each."""
        runs = []
        for language in (1, 2):
            session_path = os.path.join(work, f"{name}-session-{language}.txt")
            transcript_path = os.path.join(work, f"{name}-transcript-{language}.txt")
            with open(session_path, "w") as out:
                out.write(session(rng, language, passes // 2))
            timed([program], session_path, transcript_path)
            runs.append((session_path, transcript_path))
        return runs

    runs = sessions("timed", options.passes)
    traced = sessions("traced", TRACED_PASSES)

    def total(command_of, **kwargs):
        return sum(timed(command_of(transcript), session_path, **kwargs) for session_path, transcript in runs)

    commands = {"program": lambda transcript: [program], "floor": lambda transcript: [floor, transcript]}
    results = {}
    for target in ("devnull", "pipe"):
        samples = {name: [] for name in commands}
        for _ in range(options.repeat):  # interleaved, so that both see the same machine
            for name, command_of in commands.items():
                samples[name].append(total(command_of, pipe=(target == "pipe")))
        results[target] = {name: statistics.median(values) for name, values in samples.items()}

    passes = (options.passes // 2) * 2
    calls = {name: sum(write_calls(command_of(t), s) for s, t in traced) for name, command_of in commands.items()}
    peak = {name: max(peak_kib(command_of(t), s) for s, t in runs) for name, command_of in commands.items()}
    output_bytes = sum(os.path.getsize(t) for _, t in runs)

    print(f"session: {passes} passes (seed {options.seed}), {output_bytes / 1e6:.1f} MB of output")
    for target in ("devnull", "pipe"):
        program_time, floor_time = results[target]["program"], results[target]["floor"]
        print(f"output to {'/dev/null' if target == 'devnull' else 'a pipe':9}: program {program_time:.3f} s "
              f"({passes / program_time:,.0f} passes/s), floor {floor_time:.3f} s, ratio {program_time / floor_time:.2f}")
    print(f"write calls per pass ({TRACED_PASSES} passes): program {calls['program'] / TRACED_PASSES:.2f}, "
          f"required by the dialogue (floor) {calls['floor'] / TRACED_PASSES:.2f}")
    print(f"peak memory: program {peak['program']} KiB, floor {peak['floor']} KiB, "
          f"ratio {peak['program'] / peak['floor']:.2f}")


if __name__ == "__main__":
    main()
