#!/usr/bin/env python3
"""Runs the script examples of Markdown pages through the real program.

    run_doc_blocks.py [-k TEXT] VEXMORA PATH...    run every example
    run_doc_blocks.py --list PATH...               list them, run nothing

PATH is a Markdown file or a folder (searched for *.md). The pages mark
their fenced code blocks by the block's info string:

    ```vx                 a complete script; it is run headless
    ```vx exit=3          ... and must end with that exit status (default 0)
    ```vx timeout=60      ... and may take that many seconds (default 30)
    ```output             directly after a vx block (blank lines between
                          are allowed): what that run writes on standard
                          error, compared exactly
    ```vx-fragment        part of a script; never run

Blocks with any other info string are left alone, and so is everything
inside an HTML comment (<!-- ... -->). A script is UTF-8 in the
page; it is converted to CP932 and run as `VEXMORA --headless -- example.vx` in
a fresh scratch folder (never the source tree), with the default.vx that
sits beside VEXMORA as the start-up script. In an output block, @WORK@
stands for that scratch folder. A run that writes on standard output fails:
everything a headless script shows goes to standard error.

Each failure names its block as FILE:LINE (the line of the opening fence)
with a diff; the exit status is 1 when any block failed or a page is
malformed (an output block that follows no vx block, an unclosed fence).
"""
import argparse
import difflib
import os
import shutil
import signal
import subprocess
import sys
import tempfile

DEFAULT_TIMEOUT = 30
SCRIPT_KIND = "vx"
OUTPUT_KIND = "output"


class Block:
    def __init__(self, path, line, kind, attributes, text):
        self.path = path
        self.line = line  # 1-based line of the opening fence
        self.kind = kind
        self.attributes = attributes
        self.text = text
        self.expected = None  # the output block's text, for a vx block

    @property
    def where(self):
        return f"{self.path}:{self.line}"


class PageError(Exception):
    pass


def parse_info(info):
    """The info string's kind (its first word) and its NAME=VALUE words."""
    words = info.split()
    if not words:
        return "", {}
    attributes = {}
    for word in words[1:]:
        name, sep, value = word.partition("=")
        attributes[name] = value if sep else ""
    return words[0], attributes


def opening_fence(line):
    """(fence characters, info string) when the line opens a fenced block."""
    stripped = line.lstrip(" ")
    if len(line) - len(stripped) > 3:
        return None
    for char in "`~":
        if stripped.startswith(char * 3):
            n = len(stripped) - len(stripped.lstrip(char))
            info = stripped[n:].strip()
            if char == "`" and "`" in info:
                return None
            return char * n, info
    return None


def closes(line, fence):
    stripped = line.lstrip(" ")
    if len(line) - len(stripped) > 3:
        return False
    body = stripped.rstrip()
    return body.startswith(fence) and body.strip(fence[0]) == ""


def read_blocks(path, text):
    """Every fenced block of a page, output blocks attached to their script.
    Raises PageError for a malformed page."""
    blocks = []
    lines = text.split("\n")
    i = 0
    previous = None  # the last block, while only blank lines followed it
    while i < len(lines):
        if lines[i].lstrip(" ").startswith("<!--") and len(lines[i]) - len(lines[i].lstrip(" ")) <= 3:
            # An HTML comment (notes for contributors) holds no blocks.
            while i < len(lines) and "-->" not in lines[i]:
                i += 1
            i += 1
            previous = None
            continue
        fence = opening_fence(lines[i])
        if fence is None:
            if lines[i].strip():
                previous = None
            i += 1
            continue
        chars, info = fence
        start = i + 1
        j = start
        while j < len(lines) and not closes(lines[j], chars):
            j += 1
        if j == len(lines):
            raise PageError(f"{path}:{i + 1}: the block is never closed")
        body = "\n".join(lines[start:j])
        if j > start:
            body += "\n"
        kind, attributes = parse_info(info)
        block = Block(path, i + 1, kind, attributes, body)
        if kind == OUTPUT_KIND:
            if previous is None or previous.kind != SCRIPT_KIND or previous.expected is not None:
                raise PageError(f"{path}:{i + 1}: an output block must directly follow a vx block")
            previous.expected = body
        else:
            blocks.append(block)
        if kind == SCRIPT_KIND:
            check_attributes(block)
        previous = block
        i = j + 1
    return [b for b in blocks if b.kind == SCRIPT_KIND]


def check_attributes(block):
    for name, value in block.attributes.items():
        if name not in ("exit", "timeout"):
            raise PageError(f"{block.where}: unknown attribute {name!r} (exit=N, timeout=SECONDS)")
        try:
            number = int(value)
        except ValueError:
            raise PageError(f"{block.where}: {name}= needs a whole number, not {value!r}")
        if name == "timeout" and number <= 0:
            raise PageError(f"{block.where}: timeout= must be positive")


def markdown_files(paths):
    found = []
    for path in paths:
        if os.path.isdir(path):
            for root, dirs, files in os.walk(path):
                dirs.sort()
                found.extend(os.path.join(root, f) for f in sorted(files) if f.endswith(".md"))
        elif os.path.isfile(path):
            found.append(path)
        else:
            raise PageError(f"{path}: no such file or folder")
    return found


def collect(paths):
    blocks = []
    for path in markdown_files(paths):
        with open(path, encoding="utf-8") as f:
            blocks.extend(read_blocks(path, f.read()))
    return blocks


def program_environment(scratch, binary):
    """The run's environment: per-user folders inside the scratch folder, no
    display, silent devices, and the start-up script beside the binary."""
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    config = os.path.join(scratch, "config")
    runtime = os.path.join(scratch, "runtime")
    os.makedirs(config)
    os.makedirs(runtime, mode=0o700)
    env["XDG_CONFIG_HOME"] = config
    env["XDG_RUNTIME_DIR"] = runtime
    env["VEXMORA_AUDIO"] = "null"
    env["LC_ALL"] = "C.UTF-8"
    env["VEXMORA_LANG"] = "en"
    beside = os.path.join(os.path.dirname(os.path.abspath(binary)), "default.vx")
    if os.path.isfile(beside):
        program_dir = os.path.join(scratch, "program")
        os.makedirs(program_dir)
        shutil.copyfile(beside, os.path.join(program_dir, "default.vx"))
        env["VEXMORA_PROGRAM_DIR"] = program_dir
    return env


def run_block(binary, block):
    """None when the block passed, else the text that says why not."""
    try:
        script = block.text.encode("cp932")
    except UnicodeEncodeError as e:
        return f"the script cannot be written in CP932: {e}"
    scratch = tempfile.mkdtemp(prefix="vx-doc-")
    try:
        env = program_environment(scratch, binary)
        work = os.path.join(scratch, "work")
        os.makedirs(work)
        # One name for every block: error explanations name the file.
        name = "example.vx"
        with open(os.path.join(work, name), "wb") as f:
            f.write(script)
        timeout = int(block.attributes.get("timeout", DEFAULT_TIMEOUT))
        process = subprocess.Popen(
            [os.path.abspath(binary), "--headless", "--", name],
            cwd=work, env=env, stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True)
        try:
            out, err = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.communicate()
            return f"still running after {timeout} s (a script with a timer must end with Exit)"
        return judge(block, process.returncode, out, err, [work, os.path.realpath(work)])
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def judge(block, status, out, err, work_paths):
    problems = []
    stderr = err.decode("utf-8", errors="replace")
    for path in sorted(set(work_paths), key=len, reverse=True):
        stderr = stderr.replace(path, "@WORK@")
    expected_status = int(block.attributes.get("exit", 0))
    if status != expected_status:
        problems.append(f"exit status {status}, expected {expected_status}")
    if out:
        problems.append("it wrote on standard output:\n" + out.decode("utf-8", errors="replace"))
    if block.expected is not None and stderr != block.expected:
        diff = difflib.unified_diff(block.expected.splitlines(keepends=True),
                                    stderr.splitlines(keepends=True),
                                    "expected (output block)", "actual (standard error)")
        problems.append("standard error differs:\n" + "".join(diff).rstrip("\n"))
    elif problems and stderr:
        problems.append("standard error:\n" + stderr.rstrip("\n"))
    return "\n".join(problems) if problems else None


def main(argv):
    parser = argparse.ArgumentParser(
        description="Run the vx script blocks of Markdown pages headless and compare their output.")
    parser.add_argument("--list", action="store_true", help="list the script blocks, run nothing")
    parser.add_argument("-k", dest="match", default="",
                        help="only the blocks whose FILE:LINE contains this text")
    parser.add_argument("args", nargs="+", metavar="VEXMORA PATH",
                        help="the program (not with --list), then pages or folders")
    options = parser.parse_args(argv)
    if options.list:
        binary, paths = None, options.args
    elif len(options.args) < 2:
        parser.error("give the program and at least one page or folder")
    else:
        binary, paths = options.args[0], options.args[1:]
        if not os.access(binary, os.X_OK):
            parser.error(f"{binary} is not an executable program")

    try:
        blocks = [b for b in collect(paths) if options.match in b.where]
    except PageError as e:
        print(f"error: {e}")
        return 1

    if options.list:
        for b in blocks:
            notes = [f"{k}={v}" for k, v in sorted(b.attributes.items())]
            notes.append("output compared" if b.expected is not None else "no output block")
            print(f"{b.where}  {' '.join(notes)}")
        print(f"{len(blocks)} script blocks")
        return 0

    passed = failed = 0
    for b in blocks:
        problem = run_block(binary, b)
        if problem is None:
            passed += 1
            print(f"ok    {b.where}")
        else:
            failed += 1
            print(f"FAIL  {b.where}\n" + "\n".join("      " + l for l in problem.splitlines()))
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not blocks else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
