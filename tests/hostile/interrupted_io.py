#!/usr/bin/env python3
"""A read or a write that fails with EINTR is retried, never reported: the dialogue goes on as if
nothing had happened. Without any signal handler a blocked call fails so when the program is
stopped and continued while it waits on a socket with a receive or send timeout (signal(7)).
Usage: interrupted_io.py PROGRAM"""
import signal
import socket
import struct
import subprocess
import sys
import time

program = sys.argv[1]
one_minute = struct.pack("ll", 60, 0)
failures = 0


def stop_and_continue(process):
    """Once the program sleeps in its read or write call, stops and continues it."""
    for _ in range(500):
        with open("/proc/%d/stat" % process.pid) as stat:
            if stat.read().rsplit(")", 1)[1].split()[0] == "S":
                break
        time.sleep(0.01)
    time.sleep(0.2)
    process.send_signal(signal.SIGSTOP)
    time.sleep(0.1)
    process.send_signal(signal.SIGCONT)


def check(name, process, output, answers):
    global failures
    errors = process.stderr.read()
    expected = subprocess.run([program], input=answers, capture_output=True).stdout
    if process.wait(10) != 0 or errors or output != expected:
        print("FAIL %s: status %s, standard error %r, output as expected: %s"
              % (name, process.returncode, errors, output == expected))
        failures += 1


# Reading: the language answer comes through a socket with a receive timeout, after the program
# was stopped and continued while it waited for it.
ours, theirs = socket.socketpair()
theirs.setsockopt(socket.SOL_SOCKET, socket.SO_RCVTIMEO, one_minute)
process = subprocess.Popen([program], stdin=theirs, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
theirs.close()
stop_and_continue(process)
ours.sendall(b"1\nx\n")
ours.shutdown(socket.SHUT_WR)
check("interrupted read", process, process.stdout.read(), b"1\nx\n")

# Writing: many passes' output into a socket with a small buffer and a send timeout, read only
# after the program was stopped and continued while it waited to write.
answers = b"1\n" + b"2\n5\n0\n" * 2000 + b"x\n"
ours, theirs = socket.socketpair()
theirs.setsockopt(socket.SOL_SOCKET, socket.SO_SNDTIMEO, one_minute)
theirs.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 4096)
process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=theirs, stderr=subprocess.PIPE)
theirs.close()
process.stdin.write(answers)
process.stdin.close()
stop_and_continue(process)
output = b"".join(iter(lambda: ours.recv(65536), b""))
check("interrupted write", process, output, answers)

sys.exit(1 if failures else 0)
