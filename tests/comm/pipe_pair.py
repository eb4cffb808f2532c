#!/usr/bin/env python3
"""pipe_pair.py BINARY: two vexmora processes, headless, talk through a
pipe: pipe_server.vx serves it, pipe_client.vx writes 10,000 bytes."""
import os
import shutil
import stat
import subprocess
import sys
import tempfile

binary = os.path.abspath(sys.argv[1])
here = os.path.dirname(os.path.abspath(__file__))
tmp = tempfile.mkdtemp()


def fail(text):
    print("FAIL:", text)
    sys.exit(1)


def run_dir(name):
    work = os.path.join(tmp, name)
    os.makedirs(work)
    shutil.copy(os.path.join(here, name + ".vx"), work)
    return work


try:
    prog = os.path.join(tmp, "prog")
    os.makedirs(prog)
    shutil.copy(os.path.join(os.path.dirname(binary), "default.vx"), prog)
    runtime = os.path.join(tmp, "runtime")
    os.makedirs(runtime, mode=0o700)
    env = dict(os.environ, VEXMORA_PROGRAM_DIR=prog, XDG_RUNTIME_DIR=runtime)

    server_dir = run_dir("pipe_server")
    server = subprocess.Popen([binary, "--headless", "pipe_server.vx"], cwd=server_dir, env=env,
                              stderr=subprocess.PIPE)
    client_dir = run_dir("pipe_client")
    client = subprocess.run([binary, "--headless", "pipe_client.vx"], cwd=client_dir, env=env,
                            capture_output=True, timeout=30)
    try:
        status = server.wait(timeout=20)
    except subprocess.TimeoutExpired:
        server.kill()
        fail("the server did not end")
    if client.returncode != 0:
        fail(f"client exit {client.returncode}: {client.stderr!r}")
    sent = open(os.path.join(client_dir, "client.txt"), "rb").read()
    if sent != b"nobody 1\r\nsent 0\r\n":
        fail(f"client.txt: {sent!r}")
    if status != 3:
        fail(f"server exit {status}: {server.stderr.read()!r}")
    got = open(os.path.join(server_dir, "pipe.txt"), "rb").read()
    if got != b"0123456789" * 1000:
        fail(f"pipe.txt holds {len(got)} bytes")
    result = open(os.path.join(server_dir, "result.txt"), "rb").read().decode()
    lines = result.split("\r\n")
    events = int(lines[1].split()[1])
    if lines[0] != "start 0" or events < 3 or not lines[1].endswith("bytes 10000"):
        fail(f"result.txt: {result!r}")
    mode = stat.S_IMODE(os.stat(os.path.join(runtime, "vexmora", "pipes")).st_mode)
    if mode != 0o700:
        fail(f"pipe folder mode {oct(mode)}")
    print(f"pipe pair: ok ({events} events)")
finally:
    shutil.rmtree(tmp, ignore_errors=True)
