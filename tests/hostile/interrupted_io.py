#!/usr/bin/env python3
# A read or a write that fails with EINTR is retried, never reported: the dialogue goes on as if
# nothing had happened. Without any signal handler a blocked call fails so when the program is
# stopped and continued while it waits on a socket with a receive or send timeout (signal(7)).
# A read that really fails, once, ends the input for good: nothing that comes later is read.
# Usage: interrupted_io.py PROGRAM   (FP_WRAPPER may name a command to run it under: qemu-user)
import os, shlex, signal, socket, struct, subprocess, sys, time

program, failures = shlex.split(os.environ.get("FP_WRAPPER", "")) + [sys.argv[1]], 0


def fail(what, process, errors, output_as_expected):
    global failures
    print("FAIL %s: status %s, standard error %r, output as expected: %s"
          % (what, process.returncode, errors, output_as_expected))
    failures += 1


def start_on_socket(direction, timeout):
    """The program with its input or its output on a socket whose calls time out."""
    ours, theirs = socket.socketpair()
    option = socket.SO_RCVTIMEO if direction == "read" else socket.SO_SNDTIMEO
    theirs.setsockopt(socket.SOL_SOCKET, option, struct.pack("ll", int(timeout), int(timeout % 1 * 1e6)))
    theirs.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 4096)
    streams = dict(stdin=theirs, stdout=subprocess.PIPE) if direction == "read" else \
        dict(stdin=subprocess.PIPE, stdout=theirs)
    process = subprocess.Popen(program, stderr=subprocess.PIPE, **streams)
    theirs.close()
    return ours, process


def output_for(answers):
    return subprocess.run(program, input=answers, capture_output=True).stdout


for direction, answers in ("read", b"1\nx\n"), ("write", b"1\n" + b"2\n5\n0\n" * 2000 + b"x\n"):
    ours, process = start_on_socket(direction, 60)
    if direction == "write":
        process.stdin.write(answers)
        process.stdin.close()
    # Once the program sleeps in its read or write call, stop and continue it.
    while open("/proc/%d/stat" % process.pid).read().rsplit(")", 1)[1].split()[0] not in "SZ":
        time.sleep(0.01)
    time.sleep(0.2)
    process.send_signal(signal.SIGSTOP)
    time.sleep(0.1)
    process.send_signal(signal.SIGCONT)
    if direction == "read":
        ours.sendall(answers)
        ours.shutdown(socket.SHUT_WR)
        output = process.stdout.read()
    else:
        output = b"".join(iter(lambda: ours.recv(65536), b""))
    errors = process.stderr.read()
    if process.wait(10) != 0 or errors or output != output_for(answers):
        fail("interrupted " + direction, process, errors, output == output_for(answers))

# The language answer without its line end, then a read that times out (EAGAIN), then answers
# that would start a pass: the dialogue must end as if the input had ended after "1".
ours, process = start_on_socket("read", 0.5)
ours.sendall(b"1")
time.sleep(0.75)
try:
    ours.sendall(b"\n2\n5\n0\n")  # a program that ended as it should has closed the socket
except BrokenPipeError:
    pass
ours.close()
output, errors = process.communicate(timeout=10)
if process.returncode != 1 or errors != b"floating_point: read error: Resource temporarily unavailable\n" \
        or output != output_for(b"1"):
    fail("one failed read", process, errors, output == output_for(b"1"))
sys.exit(1 if failures else 0)
