#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""editors_test.py EDITORS_DIR SOURCE_DIR: the generated syntax files for .vx
scripts, each read by the editor's own code where Debian packages it: Vim
colours a Shift-JIS sample (and detects the type and the encoding),
kate-syntax-highlighter highlights it with the KSyntaxHighlighting file,
xmllint checks the GtkSourceView file against GtkSourceView's schema, and
the TextMate grammar is valid JSON whose rules give the expected scopes.
Every API of the table is named in every file."""
import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

editors, source = sys.argv[1], sys.argv[2]
here = os.path.dirname(os.path.abspath(__file__))
sample_utf8 = open(os.path.join(here, "sample_utf8.txt"), encoding="utf-8").read()
failures = []


def check(what, ok, detail=""):
    if not ok:
        failures.append(what)
        print(f"FAILED: {what} {detail}".rstrip())


tmp = tempfile.mkdtemp()
sample_sjis = os.path.join(tmp, "sample.vx")
with open(sample_sjis, "wb") as f:
    f.write(sample_utf8.encode("cp932"))
sample_plain = os.path.join(tmp, "plain.vx")
with open(sample_plain, "w", encoding="utf-8") as f:
    f.write(sample_utf8)
lines = sample_utf8.split("\n")


def position(line_text, word, nth=0):
    """1-based line and byte column (in UTF-8 and in CP932) of a word."""
    for number, text in enumerate(lines, 1):
        if line_text in text:
            index = -1
            for _ in range(nth + 1):
                index = text.index(word, index + 1)
            return number, text[:index]
    raise KeyError(line_text)


# What each word of the sample is, as (line holding it, word, which one).
expected = [
    (("CALL MsgBx", "CALL"), "statement"),
    (("call msgbx", "call"), "statement"),
    (("If COUNT", "If"), "statement"),
    (("endif", "endif"), "statement"),
    (("inc COUNT", "inc"), "statement"),
    (("CALL MsgBx", "MsgBx"), "api"),
    (("Data long", "Data"), "declaration"),
    (("MakeButton", "MakeButton"), "declaration"),
    (("Data long", "long"), "type"),
    (("CALL MsgBx", "\"a"), "string"),
    (("CALL MsgBx", "// b"), "string"),
    (("call msgbx", "// msgbx"), "comment"),
    (("// 見本", "見本"), "comment"),
    (("call msgbx", "G_ERROR"), "variable"),
    ((":Initial", ":Initial"), "label"),
    (("#define", "#define"), "preprocessor"),
    (("If COUNT", "0x1F"), "number"),
    (("call msgbx", "msgbx"), None),
    (("If COUNT", "COUNT"), None),
    (("PATH =", "//y"), "string"),
    (("CALL $Mouse", "$Mouse"), "api"),
]

# --- the table: every API in every file ---------------------------------------
with open(os.path.join(source, "tests/data/api-table.tsv"), encoding="utf-8") as f:
    apis = [row.split("\t")[1] for row in f.read().splitlines()[1:] if row]
files = {
    "vim": open(os.path.join(editors, "vim/syntax/vexmora.vim"), encoding="utf-8").read(),
    "kate": open(os.path.join(editors, "kate/vexmora.xml"), encoding="utf-8").read(),
    "gtksourceview": open(os.path.join(editors, "gtksourceview/vexmora.lang"), encoding="utf-8").read(),
    "textmate": open(os.path.join(editors, "vscode/syntaxes/vexmora.tmLanguage.json"), encoding="utf-8").read(),
}
for name, text in files.items():
    words = set(re.findall(r"[A-Za-z_][A-Za-z0-9_]*", text))
    missing = [a for a in apis if a.lstrip("$") not in words]
    check(f"the {name} file names all {len(apis)} APIs", not missing, str(missing[:5]))

# --- Vim ----------------------------------------------------------------------
groups = {"statement": "vexmoraStatement", "api": "vexmoraApi", "declaration": "vexmoraDeclaration",
          "type": "vexmoraType", "string": "vexmoraString", "comment": "vexmoraComment",
          "variable": "vexmoraSystemVariable", "label": "vexmoraLabel", "preprocessor": "vexmoraPreProc",
          "number": "vexmoraNumber", None: ""}
probe = os.path.join(tmp, "probe.vim")
result = os.path.join(tmp, "vim.out")
with open(probe, "w", encoding="utf-8") as f:
    f.write("let out = [&filetype, &fileencoding]\n")
    for (line_text, word), _ in expected:
        number, before = position(line_text, word)
        column = len(before.encode("cp932")) + 1
        f.write(f"call add(out, synIDattr(synID({number}, {column}, 1), 'name'))\n")
    f.write(f"call writefile(out, '{result}')\nqa!\n")
vim = shutil.which("vim")
if vim is None:
    check("vim is installed", False)
else:
    rtp = os.path.join(editors, "vim")
    subprocess.run([vim, "-u", "NONE", "-i", "NONE", "-N", "-es", "--cmd", f"set rtp^={rtp} encoding=utf-8",
                    "--cmd", "filetype plugin on", "--cmd", "syntax on", "-c", f"source {probe}", sample_sjis],
                   stdin=subprocess.DEVNULL, timeout=60)
    got = open(result, encoding="utf-8").read().split("\n") if os.path.exists(result) else []
    check("vim detects the file type of *.vx", got[:1] == ["vexmora"], str(got[:1]))
    check("vim reads a Shift-JIS script as CP932", got[1:2] == ["cp932"], str(got[1:2]))
    for ((line_text, word), kind), group in zip(expected, got[2:]):
        check(f"vim colours {word!r} as {kind}", group == groups[kind], f"(got {group!r})")
    # A new script is written in CP932.
    new_file = os.path.join(tmp, "new.vx")
    subprocess.run([vim, "-u", "NONE", "-i", "NONE", "-N", "-es", "--cmd", f"set rtp^={rtp} encoding=utf-8",
                    "--cmd", "filetype plugin on", "-c", "call setline(1, '// 新しい')", "-c", "wq", new_file],
                   stdin=subprocess.DEVNULL, timeout=60)
    check("vim writes a new script in CP932",
          os.path.exists(new_file) and open(new_file, "rb").read() == "// 新しい\n".encode("cp932"))

# --- KSyntaxHighlighting --------------------------------------------------------
highlighter = shutil.which("kate-syntax-highlighter") or shutil.which("ksyntaxhighlighter6")
if highlighter is None:
    check("kate-syntax-highlighter is installed", False)
else:
    data = os.path.join(tmp, "share")
    os.makedirs(os.path.join(data, "org.kde.syntax-highlighting/syntax"))
    shutil.copy(os.path.join(editors, "kate/vexmora.xml"), os.path.join(data, "org.kde.syntax-highlighting/syntax"))
    env = dict(os.environ, XDG_DATA_DIRS=f"{data}:/usr/share", XDG_DATA_HOME=os.path.join(tmp, "nohome"))
    run = subprocess.run([highlighter, "-s", "Vexmora", "-f", "html", sample_plain], env=env,
                         capture_output=True, text=True, timeout=60)
    check("kate-syntax-highlighter loads the definition without complaint",
          run.returncode == 0 and "Vexmora" in run.stdout and not run.stderr.strip(), run.stderr[:300])
    body = run.stdout.split("<pre>", 1)[-1]
    styles = {}  # (line, word) -> style of the span holding it ("" outside any span)
    for number, text in enumerate(body.split("\n")[1:], 1):
        for match in re.finditer(r'<span style="([^"]*)">(.*?)</span>|([^<]+)', text):
            style, content = (match.group(1), match.group(2)) if match.group(1) is not None else ("", match.group(3))
            styles.setdefault(number, []).append((style, html.unescape(content)))

    def style_of(line_text, word):
        number, before = position(line_text, word)
        column = len(before)
        at = 0
        for style, content in styles.get(number, []):
            if at <= column < at + len(content):
                return style
            at += len(content)
        return None

    by_kind = {}
    for (line_text, word), kind in expected:
        by_kind.setdefault(kind, set()).add(style_of(line_text, word))
    for kind, found in by_kind.items():
        check(f"kate colours every {kind} word alike", len(found) == 1, str(found))
    kinds = ["statement", "api", "string", "comment", "number"]
    distinct = {next(iter(by_kind[k])) for k in kinds}
    check("kate gives statements, APIs, strings, comments and numbers their own styles",
          len(distinct) == len(kinds), str(by_kind))
    unstyled = [k for k in by_kind if k is not None and "" in by_kind[k]]
    check("kate styles every kind of word", not unstyled, str(unstyled))
    check("kate leaves plain names unstyled", by_kind.get(None) == {""}, str(by_kind.get(None)))

# --- GtkSourceView --------------------------------------------------------------
lang = os.path.join(editors, "gtksourceview/vexmora.lang")
for version in (5, 4):
    schema = f"/usr/share/gtksourceview-{version}/language-specs/language2.rng"
    if os.path.exists(schema):
        run = subprocess.run(["xmllint", "--noout", "--relaxng", schema, lang], capture_output=True, text=True)
        check(f"the language file is valid for GtkSourceView {version}", run.returncode == 0, run.stderr[-300:])
        break
else:
    check("GtkSourceView's schema is installed", False)
lang_text = files["gtksourceview"]
for keyword in ("CALL", "MsgBx", "MakeButton"):
    check(f"the language file lists {keyword}", f"<keyword>{keyword}</keyword>" in lang_text)

# --- TextMate / VS Code ---------------------------------------------------------
vscode = os.path.join(editors, "vscode")
try:
    package = json.load(open(os.path.join(vscode, "package.json"), encoding="utf-8"))
    grammar = json.load(open(os.path.join(vscode, "syntaxes/vexmora.tmLanguage.json"), encoding="utf-8"))
except (OSError, ValueError) as e:
    check("the VS Code files are valid JSON", False, str(e))
    package, grammar = {}, {}
contributes = package.get("contributes", {})
languages = contributes.get("languages", [{}])
check("the extension claims .vx", ".vx" in languages[0].get("extensions", []))
check("the extension opens scripts as Shift-JIS",
      contributes.get("configurationDefaults", {}).get("[vexmora]", {}).get("files.encoding") == "shiftjis")
for entry in contributes.get("grammars", []):
    check("the extension's grammar is where it says", os.path.exists(os.path.join(vscode, entry["path"])))
    check("the grammar's scope is the extension's", entry.get("scopeName") == grammar.get("scopeName"))
check("the extension's language configuration exists",
      os.path.exists(os.path.join(vscode, languages[0].get("configuration", "-"))))


def rules(pattern):
    """Flattens a pattern into (regex, scope, is-begin-end) in order."""
    if "include" in pattern:
        yield from rules(grammar["repository"][pattern["include"][1:]])
    elif "patterns" in pattern:
        for p in pattern["patterns"]:
            yield from rules(p)
    elif "match" in pattern:
        yield re.compile(pattern["match"]), pattern["name"], None
    elif "begin" in pattern:
        yield re.compile(pattern["begin"]), pattern["name"], re.compile(pattern["end"])


def scopes(line):
    """The scope of each character of a line, the way a TextMate tokenizer
    takes rules: the leftmost match wins, and the first rule among equals."""
    compiled = list(rules({"patterns": grammar.get("patterns", [])}))
    out = [None] * len(line)
    at = 0
    while at < len(line):
        best = None
        for regex, scope, end in compiled:
            m = regex.search(line, at)
            if m and m.end() > m.start() and (best is None or m.start() < best[0].start()):
                best = (m, scope, end)
        if best is None:
            break
        m, scope, end = best
        stop = m.end()
        if end is not None:
            e = end.search(line, stop)
            stop = e.end() if e else len(line)
        for i in range(m.start(), stop):
            out[i] = scope
        at = stop
    return out


tm_scopes = {"statement": "keyword.control", "api": "support.function", "declaration": "storage.type",
             "type": "storage.type", "string": "string.quoted", "comment": "comment.line",
             "variable": "variable.language", "label": "entity.name.label", "preprocessor": "meta.preprocessor",
             "number": "constant.numeric"}
if grammar:
    for (line_text, word), kind in expected:
        number, before = position(line_text, word)
        got = scopes(lines[number - 1])[len(before)]
        want = tm_scopes.get(kind)
        ok = got is None if want is None else (got or "").startswith(want)
        check(f"the grammar scopes {word!r} as {kind}", ok, f"(got {got!r})")

shutil.rmtree(tmp)
print(f"{len(failures)} failed")
sys.exit(1 if failures else 0)
