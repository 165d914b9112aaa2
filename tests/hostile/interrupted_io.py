#!/usr/bin/env python3
# A read or a write that fails with EINTR is retried, never reported: the dialogue goes on as if
# nothing had happened. Without any signal handler a blocked call fails so when the program is
# stopped and continued while it waits on a socket with a receive or send timeout (signal(7)).
# Usage: interrupted_io.py PROGRAM
import signal, socket, struct, subprocess, sys, time

program, failures = sys.argv[1], 0
for direction, answers in ("read", b"1\nx\n"), ("write", b"1\n" + b"2\n5\n0\n" * 2000 + b"x\n"):
    # The answers come through the socket, or the output, with a small buffer, goes into it.
    ours, theirs = socket.socketpair()
    option = socket.SO_RCVTIMEO if direction == "read" else socket.SO_SNDTIMEO
    theirs.setsockopt(socket.SOL_SOCKET, option, struct.pack("ll", 60, 0))
    theirs.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 4096)
    streams = dict(stdin=theirs, stdout=subprocess.PIPE) if direction == "read" else \
        dict(stdin=subprocess.PIPE, stdout=theirs)
    process = subprocess.Popen([program], stderr=subprocess.PIPE, **streams)
    theirs.close()
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
    expected = subprocess.run([program], input=answers, capture_output=True).stdout
    if process.wait(10) != 0 or errors or output != expected:
        print("FAIL interrupted %s: status %s, standard error %r, output as expected: %s"
              % (direction, process.returncode, errors, output == expected))
        failures += 1
sys.exit(1 if failures else 0)
