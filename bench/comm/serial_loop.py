#!/usr/bin/env python3
"""serial_loop.py [BINARY]: how fast a script answers on a serial line.

Runs bench/comm/serial_echo.vx on one end of a socat pseudo-terminal pair and,
on the other end, measures (1) the round trip of one byte: its arrival, the
port's label running, and the echo coming back, and (2) the throughput of
echoing 1 MB in blocks of 4 KiB."""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
binary = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "build", "vexmora"))
tmp = tempfile.mkdtemp()


def read_exactly(fd, count, seconds=10):
    got = bytearray()
    end = time.time() + seconds
    while len(got) < count and time.time() < end:
        try:
            got += os.read(fd, count - len(got))
        except BlockingIOError:
            time.sleep(0.0002)
    return bytes(got)


socat = vx = None
try:
    near, far = os.path.join(tmp, "near"), os.path.join(tmp, "far")
    socat = subprocess.Popen(["socat", f"pty,raw,echo=0,link={near}", f"pty,raw,echo=0,link={far}"],
                             stderr=subprocess.DEVNULL)
    while not (os.path.exists(near) and os.path.exists(far)):
        time.sleep(0.01)
    fd = os.open(far, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    shutil.copy(os.path.join(here, "serial_echo.vx"), tmp)
    shutil.copy(os.path.join(os.path.dirname(binary), "default.vx"), tmp)
    env = dict(os.environ, VEXMORA_COM9=near, VEXMORA_PROGRAM_DIR=tmp)
    vx = subprocess.Popen([binary, "--headless", "serial_echo.vx"], cwd=tmp, env=env)
    assert read_exactly(fd, 5) == b"ready"

    trips = []
    for i in range(200):
        start = time.perf_counter()
        os.write(fd, b"x")
        assert read_exactly(fd, 1) == b"x"
        trips.append((time.perf_counter() - start) * 1000)
    block = bytes(range(256)) * 16
    total = 1 << 20
    start = time.perf_counter()
    for _ in range(total // len(block)):
        os.write(fd, block)
        assert read_exactly(fd, len(block)) == block
    seconds = time.perf_counter() - start
    print(f"round trip of one byte: median {statistics.median(trips):.2f} ms, "
          f"95th percentile {sorted(trips)[int(len(trips) * 0.95)]:.2f} ms (one tick is 30 ms)")
    print(f"echo of 1 MiB in 4 KiB blocks: {total / seconds / 1024:.0f} KiB/s")
finally:
    if vx:
        vx.kill()
    if socat:
        socat.kill()
    shutil.rmtree(tmp, ignore_errors=True)
