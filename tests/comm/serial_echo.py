#!/usr/bin/env python3
"""serial_echo.py BINARY: runs serial_echo.vx headless on one end of a socat
pseudo-terminal pair and plays the far end: checks the line settings with
stty, sends every byte value and expects it echoed, then ends the script."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

binary = os.path.abspath(sys.argv[1])
here = os.path.dirname(os.path.abspath(__file__))
tmp = tempfile.mkdtemp()
procs = []


def fail(text):
    print("FAIL:", text)
    for p in procs:
        p.kill()
    sys.exit(1)


def wait_for(predicate, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.02)
    return False


def read_exactly(fd, count, seconds=10):
    got = b""
    end = time.time() + seconds
    while len(got) < count and time.time() < end:
        try:
            chunk = os.read(fd, count - len(got))
            if chunk:
                got += chunk
                continue
        except BlockingIOError:
            pass
        time.sleep(0.01)
    return got


try:
    near, far = os.path.join(tmp, "near"), os.path.join(tmp, "far")
    socat = subprocess.Popen(["socat", f"pty,raw,echo=0,link={near}", f"pty,raw,echo=0,link={far}"],
                             stderr=subprocess.DEVNULL)
    procs.append(socat)
    if not wait_for(lambda: os.path.exists(near) and os.path.exists(far)):
        fail("socat made no pseudo-terminals")
    far_fd = os.open(far, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)

    prog, work = os.path.join(tmp, "prog"), os.path.join(tmp, "work")
    os.makedirs(prog)
    os.makedirs(work)
    shutil.copy(os.path.join(os.path.dirname(binary), "default.vx"), prog)
    shutil.copy(os.path.join(here, "serial_echo.vx"), work)
    env = dict(os.environ, VEXMORA_COM7=near, VEXMORA_PROGRAM_DIR=prog)
    vx = subprocess.Popen([binary, "--headless", "serial_echo.vx"], cwd=work, env=env,
                          stderr=subprocess.PIPE)
    procs.append(vx)

    if read_exactly(far_fd, 5) != b"ready":
        fail("no greeting")
    settings = subprocess.run(["stty", "-F", near, "-a"], capture_output=True, text=True).stdout
    # (pseudo-terminals keep no parity: the kernel clears it)
    for word in ("speed 9600", "cstopb", "cs8", "-icanon", "-echo"):
        if word not in settings:
            fail(f"line setting {word!r} missing from: {settings}")

    every = bytes(range(256))
    os.write(far_fd, every)
    echoed = read_exactly(far_fd, len(every))
    if echoed != every:
        fail(f"echo differs: {len(echoed)} bytes back")

    os.write(far_fd, b"quit")
    try:
        status = vx.wait(timeout=10)
    except subprocess.TimeoutExpired:
        vx.kill()
        fail("the script did not end: " + vx.stderr.read().decode("utf-8", "replace"))
    stderr = vx.stderr.read().decode("utf-8", "replace")
    if status != 5:
        fail(f"exit status {status}, stderr: {stderr}")
    received = open(os.path.join(work, "received.bin"), "rb").read()
    if received != every + b"quit":
        fail(f"received.bin holds {len(received)} bytes")
    result = open(os.path.join(work, "result.txt"), "rb").read().decode()
    if not result.startswith("open 0\r\n") or "quit after" not in result or "lines 8192" not in result:
        fail(f"result.txt: {result!r}")
    print("serial echo: ok")
finally:
    for p in procs:
        if p.poll() is None:
            p.kill()
    shutil.rmtree(tmp, ignore_errors=True)
