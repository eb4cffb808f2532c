#!/usr/bin/env python3
"""Tests of run_doc_blocks.py: how pages are read, and how a run is judged,
against a stand-in program that obeys a tiny language of its own (so the
runner's faults show without the real binary)."""
import os
import stat
import subprocess
import sys
import tempfile
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import run_doc_blocks as runner  # noqa: E402

# The stand-in: each script line is a command. It checks that it was called
# as `PROGRAM --headless -- NAME.vx` from the folder holding NAME.vx.
STAND_IN = textwrap.dedent("""\
    #!/usr/bin/env python3
    import os, sys, time
    if sys.argv[1:3] != ["--headless", "--"] or len(sys.argv) != 4:
        sys.stderr.write("bad command line %r\\n" % sys.argv); sys.exit(9)
    raw = open(sys.argv[3], "rb").read()
    for line in raw.decode("cp932").split("\\n"):
        word, _, rest = line.partition(" ")
        if word == "SAY": sys.stderr.write(rest + "\\n")
        elif word == "OUT": sys.stdout.write(rest + "\\n")
        elif word == "CWD": sys.stderr.write(os.getcwd() + "\\n")
        elif word == "ENV": sys.stderr.write(os.environ.get(rest, "-") + "\\n")
        elif word == "SIZE": sys.stderr.write("%d\\n" % len(raw))
        elif word == "WAIT": time.sleep(float(rest))
        elif word == "EXIT": sys.exit(int(rest))
    """)


def page(text):
    return textwrap.dedent(text).lstrip("\n")


class ReadingPages(unittest.TestCase):
    def test_script_blocks_take_their_output_and_attributes(self):
        blocks = runner.read_blocks("p.md", page("""
            Text.

            ```vx exit=3 timeout=5
            SAY a
            ```

            ```output
            a
            ```
            ```vx-fragment
            not run
            ```
            ```text
            left alone
            ```
            ~~~~vx
            ``` inside a longer fence
            ~~~~
            """))
        self.assertEqual([(b.line, b.attributes) for b in blocks],
                         [(3, {"exit": "3", "timeout": "5"}), (16, {})])
        self.assertEqual(blocks[0].text, "SAY a\n")
        self.assertEqual(blocks[0].expected, "a\n")
        self.assertIsNone(blocks[1].expected)
        self.assertEqual(blocks[1].text, "``` inside a longer fence\n")

    def test_an_empty_output_block_expects_nothing_on_standard_error(self):
        blocks = runner.read_blocks("p.md", "```vx\nSAY\n```\n```output\n```\n")
        self.assertEqual(blocks[0].expected, "")

    def test_output_must_follow_a_script_directly(self):
        for text in ("```output\nx\n```\n",
                     "```vx\nA\n```\nprose\n```output\nx\n```\n",
                     "```vx-fragment\nA\n```\n```output\nx\n```\n",
                     "```vx\nA\n```\n```output\nx\n```\n```output\ny\n```\n"):
            with self.subTest(text=text), self.assertRaises(runner.PageError):
                runner.read_blocks("p.md", text)

    def test_malformed_pages_are_refused(self):
        for text in ("```vx\nnever closed\n", "```vx exit=x\nA\n```\n",
                     "```vx retries=2\nA\n```\n", "```vx timeout=0\nA\n```\n"):
            with self.subTest(text=text), self.assertRaises(runner.PageError):
                runner.read_blocks("p.md", text)

    def test_html_comments_hold_no_blocks(self):
        blocks = runner.read_blocks("p.md", page("""
            <!-- notes:
              ```vx exit=x
              ```output
            -->
            ```vx
            SAY b
            ```
            """))
        self.assertEqual([(b.line, b.text) for b in blocks], [(5, "SAY b\n")])

    def test_a_closing_fence_needs_as_many_characters(self):
        blocks = runner.read_blocks("p.md", "````vx\n```\nSAY\n````\n")
        self.assertEqual(blocks[0].text, "```\nSAY\n")


class RunningBlocks(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.binary = os.path.join(self.dir, "vexmora")
        with open(self.binary, "w") as f:
            f.write(STAND_IN)
        os.chmod(self.binary, os.stat(self.binary).st_mode | stat.S_IXUSR)
        with open(os.path.join(self.dir, "default.vx"), "w") as f:
            f.write("// start-up\n")

    def tearDown(self):
        subprocess.run(["rm", "-rf", self.dir])

    def run_page(self, text, *extra):
        path = os.path.join(self.dir, "page.md")
        with open(path, "w", encoding="utf-8") as f:
            f.write(page(text))
        return subprocess.run([sys.executable, os.path.join(HERE, "run_doc_blocks.py"), *extra,
                               self.binary, path], capture_output=True, text=True)

    def test_matching_output_and_status_pass(self):
        result = self.run_page("""
            ```vx exit=4
            SAY [Message] 合計
            EXIT 4
            ```
            ```output
            [Message] 合計
            ```
            """)
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertIn("1 passed, 0 failed", result.stdout)

    def test_scripts_reach_the_program_in_cp932(self):
        # 3 characters of two bytes each, "SIZE" and two line ends.
        result = self.run_page("```vx\n合計値\nSIZE\n```\n```output\n12\n```\n")
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_a_different_output_fails_with_its_place_and_a_diff(self):
        result = self.run_page("""
            Prose.

            ```vx
            SAY one
            SAY two
            ```
            ```output
            one
            three
            ```
            """)
        self.assertEqual(result.returncode, 1)
        self.assertIn("FAIL  " + os.path.join(self.dir, "page.md") + ":3", result.stdout)
        self.assertIn("-three", result.stdout)
        self.assertIn("+two", result.stdout)
        self.assertIn("0 passed, 1 failed", result.stdout)

    def test_an_unexpected_status_fails_and_shows_standard_error(self):
        result = self.run_page("```vx\nSAY Line (1) : oops\nEXIT 3\n```\n")
        self.assertEqual(result.returncode, 1)
        self.assertIn("exit status 3, expected 0", result.stdout)
        self.assertIn("Line (1) : oops", result.stdout)

    def test_standard_output_fails(self):
        result = self.run_page("```vx\nOUT stray\n```\n")
        self.assertEqual(result.returncode, 1)
        self.assertIn("standard output", result.stdout)

    def test_a_script_that_never_ends_is_stopped(self):
        result = self.run_page("```vx timeout=1\nWAIT 30\n```\n")
        self.assertEqual(result.returncode, 1)
        self.assertIn("still running after 1 s", result.stdout)

    def test_runs_happen_in_a_scratch_folder_with_private_settings(self):
        result = self.run_page("""
            ```vx
            CWD
            ENV VEXMORA_PROGRAM_DIR
            ENV DISPLAY
            ```
            ```output
            @WORK@
            x
            ```
            """)
        lines = [l.strip() for l in result.stdout.splitlines()]
        self.assertIn("@WORK@", lines)  # the folder is replaced by its placeholder
        program_dir = next(l[1:] for l in lines if l.startswith("+") and l.endswith("program"))
        self.assertNotEqual(program_dir, self.dir)
        self.assertIn("+-", lines)  # no display
        self.assertFalse(os.path.exists(os.path.join(self.dir, "block1.vx")))

    def test_list_runs_nothing_and_filter_selects(self):
        text = "```vx\nEXIT 1\n```\n\n```vx exit=2\nEXIT 2\n```\n"
        path = os.path.join(self.dir, "page.md")
        with open(path, "w") as f:
            f.write(text)
        listing = subprocess.run([sys.executable, os.path.join(HERE, "run_doc_blocks.py"),
                                  "--list", self.dir], capture_output=True, text=True)
        self.assertEqual(listing.returncode, 0)
        self.assertIn(path + ":1  no output block", listing.stdout)
        self.assertIn(path + ":5  exit=2 no output block", listing.stdout)
        self.assertIn("2 script blocks", listing.stdout)
        only = self.run_page(text, "-k", "page.md:5")
        self.assertEqual(only.returncode, 0, only.stdout)
        self.assertIn("1 passed, 0 failed", only.stdout)

    def test_a_run_that_finds_no_block_fails(self):
        result = self.run_page("No scripts here.\n")
        self.assertEqual(result.returncode, 1)


if __name__ == "__main__":
    unittest.main()
