#!/usr/bin/env python3
# Reads and writes that the system interrupts, cuts short or refuses, as POSIX allows:
# - a read or a write that fails with EINTR is made again, never reported: without any signal
#   handler a blocked call fails so when the program is stopped and continued while it waits on a
#   socket with a receive or send timeout (signal(7));
# - a read that really fails (a timeout, EAGAIN) ends the dialogue as the end of the input does,
#   with the read error and status 1;
# - a write that moves only part of its bytes is followed by the rest: the output is unchanged
#   (SHORT_WRITES, preloaded, cuts every write to standard output to at most 7 bytes);
# - standard output a full non-blocking pipe: the first write fails with EAGAIN, and the program
#   stops at once with the write error and status 1, never trying again and again.
# Usage: system_calls.py PROGRAM SHORT_WRITES.so   (FP_WRAPPER may name a command to run PROGRAM
#        under, qemu-user: then the short writes are not tried, the library being the host's)
import fcntl, os, shlex, signal, socket, struct, subprocess, sys, time

wrapper = shlex.split(os.environ.get("FP_WRAPPER", ""))
program, short_writes, failures = wrapper + [sys.argv[1]], sys.argv[2], 0
HUNG = 30  # seconds: a program that takes longer hangs


def check(what, process, output, errors, expected_status, expected_output, expected_errors=b""):
    global failures
    if process.returncode != expected_status or errors != expected_errors or output != expected_output:
        print("FAIL %s: status %s, standard error %r, output as expected: %s"
              % (what, process.returncode, errors, output == expected_output))
        failures += 1


def output_for(answers):
    return subprocess.run(program, input=answers, capture_output=True).stdout


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
    process.wait(HUNG)
    check("interrupted " + direction, process, output, process.stderr.read(), 0, output_for(answers))

# The language answer without its line end, then a read that times out (EAGAIN): the dialogue ends
# as if the input had ended after "1". Answers that would start a pass come once the main menu's
# prompt shows (or the output ends), when a program that went on reading would take them.
ours, process = start_on_socket("read", 0.5)
ours.sendall(b"1")
output = b""
while b"esc\n--------------------------------->Scelta: " not in output:
    chunk = os.read(process.stdout.fileno(), 4096)
    if not chunk:
        break
    output += chunk
try:
    ours.sendall(b"\n2\n5\n0\n")  # a program that ended as it should may have closed the socket
except BrokenPipeError:
    pass
ours.close()
rest, errors = process.communicate(timeout=HUNG)
check("one failed read", process, output + rest, errors, 1, output_for(b"1"),
      b"floating_point: read error: Resource temporarily unavailable\n")

answers = b"1\n1\n0100000010101\n0\n2\n-12.375\n0\n1\n2\nn\n"
if not wrapper:
    environment = dict(os.environ, LD_PRELOAD=short_writes, ASAN_OPTIONS="verify_asan_link_order=0")
    process = subprocess.run(program, input=answers, capture_output=True, env=environment, timeout=HUNG)
    check("short writes", process, process.stdout, process.stderr, 0, output_for(answers))

full_read, full_write = os.pipe()
os.set_blocking(full_write, False)
fcntl.fcntl(full_write, fcntl.F_SETPIPE_SZ, 4096)
try:
    while True:
        os.write(full_write, b"x")
except BlockingIOError:
    pass
process = subprocess.run(program, input=answers, stdout=full_write, stderr=subprocess.PIPE, timeout=HUNG)
check("a full non-blocking pipe", process, b"", process.stderr, 1, b"",
      b"floating_point: write error: Resource temporarily unavailable\n")
sys.exit(1 if failures else 0)
