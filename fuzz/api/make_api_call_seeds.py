#!/usr/bin/env python3
"""Writes fuzz/seeds/fuzz_api_calls/: one call of every registered API.

The call is taken from a CALL line of the script tests or examples when one
exists (its variables replaced by the fuzz target's variables of the same
kind), else from the API's reference page (its argument names turned into
plausible values). Run it again after adding an API family.
"""
import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parents[2]
OUT = ROOT / "fuzz" / "seeds" / "fuzz_api_calls"

KIND_TO_NAME = {
    "long": "L", "double": "D", "string": "S2", "file": "F", "clipboard": "CB", "com": "CM",
    "makebutton": "BT", "makepwbox": "PW", "maketextbox": "TB", "makeeditbox": "EB",
    "makelistbox": "LB", "makecombobox": "CO", "makecheckbox": "CK",
    "makeradiobutton1": "R1", "makeradiobutton": "R2", "makepgsbar": "PB",
    "maketrackbar": "TR", "makescrollbar": "SB", "maketimer": "TM", "makestepTimer".lower(): "ST",
}


def api_ids():
    """API name to id, from the table the families register by."""
    text = (ROOT / "src" / "api" / "api_ids.hpp").read_text(errors="replace")
    return {name: int(number) for name, number in re.findall(r'\{"([^"]+)", (\d+)\}', text)}


def registered_apis():
    names = []
    for source in sorted((ROOT / "src").glob("*/api*.cpp")):
        names += re.findall(r'\{Id\("([A-Za-z0-9_$]+)"\)', source.read_text(errors="replace"))
    return sorted(set(names))


def split_arguments(text):
    parts, current, quoted = [], "", False
    for c in text:
        if c == '"':
            quoted = not quoted
        if c == "," and not quoted:
            parts.append(current.strip())
            current = ""
        else:
            current += c
    if current.strip() or parts:
        parts.append(current.strip())
    return parts


def declared_kinds(script):
    kinds = {}
    for line in script.splitlines():
        words = line.split()
        if len(words) >= 3 and words[0].lower() == "data":
            kinds[words[2]] = words[1].lower()
        elif len(words) >= 2 and words[0].lower().startswith("make"):
            kinds[words[1]] = words[0].lower()
    return kinds


def token_from_script(argument, kinds):
    argument = re.sub(r"\s*//.*$", "", argument).strip()
    if argument.startswith('"') and argument.endswith('"') and len(argument) >= 2:
        return argument[1:-1].replace("\t", " ") or ""
    if re.fullmatch(r"-?\d+(\.\d*)?([eE][-+]?\d+)?", argument):
        return argument
    if re.fullmatch(r"0[xX][0-9a-fA-F]+", argument):
        return str(int(argument, 16))
    if re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", argument):
        if argument in kinds:
            return KIND_TO_NAME.get(kinds[argument], "L")
        return "L"
    return "1"


def token_from_name(name):
    lower = name.lower()
    if any(w in lower for w in ("bmp", "picture", "image file")):
        return "b.bmp"
    if "folder" in lower or "directory" in lower:
        return "adir"
    if any(w in lower for w in ("file", "path", "source", "destination")):
        return "a.txt"
    if name.isupper() and len(name) > 1:
        return "S2" if any(w in name for w in ("TEXT", "NAME", "STR", "TXT")) else "L"
    if any(w in lower for w in ("text", "name", "string", "pattern", "key", "word", "separator")):
        return "abc"
    return "1"


def calls_in_scripts():
    found = {}
    scripts = sorted((ROOT / "tests").glob("*/*.vx")) + sorted(
        (ROOT / "examples").glob("*.vx"))
    for path in scripts:
        script = path.read_bytes().decode("cp932", errors="replace")
        kinds = declared_kinds(script)
        for m in re.finditer(r"^\s*CALL\s+([A-Za-z0-9_]+)[ \t]*(.*)$", script, re.M):
            name, rest = m.group(1), m.group(2).strip()
            if name in found:
                continue
            found[name] = [token_from_script(a, kinds) for a in split_arguments(rest)]
    return found


def calls_in_docs():
    found = {}
    for path in sorted((ROOT / "docs" / "api").glob("*.md")):
        for line in path.read_text(errors="replace").splitlines():
            m = re.search(r"CALL ([A-Za-z0-9_]+) ?([^`]*)", line)
            if m and m.group(1) not in found:
                found[m.group(1)] = m.group(2)
            m = re.match(r"#{2,4} ([A-Za-z0-9_]+)(?: ([^(].*))?$", line)
            if m and m.group(1) not in found:
                found[m.group(1)] = m.group(2) or ""
            m = re.match(r"\| `([A-Za-z0-9_]+)` \| ([^|]*) \|", line)
            if m and m.group(1) not in found:
                found[m.group(1)] = m.group(2)
    return found


TYPE_LETTERS = {"N", "T", "R", "R?", "D", "T?", "N?"}


def token_from_parameter(parameter):
    """One parameter of a reference page: "x", "T path", "R", "42", "\"a.bmp\""."""
    parameter = parameter.split("=")[0].strip()
    if parameter.startswith('"') or re.fullmatch(r"-?\d+(\.\d*)?|0[xX][0-9a-fA-F]+", parameter):
        return token_from_script(parameter, {})
    words = parameter.split()
    kind = words[0] if words and words[0] in TYPE_LETTERS else ""
    name = " ".join(words[1:] if kind else words)
    if kind.startswith("R"):
        return "S2" if re.search(r"text|name|str", name, re.I) else "L"
    if kind == "D":
        return "1.5"
    token = token_from_name(name or parameter)
    if kind.startswith("T") and token in ("1", "L"):
        return "abc"
    return token


def tokens_from_signature(signature):
    signature = re.sub(r"\s*//.*$", "", signature)
    signature = re.sub(r"\((?!\d)[^)]*\)", "", signature)
    signature = signature.replace("[", "").replace("]", "").replace("…", "").replace("...", "")
    return [token_from_parameter(p) for p in split_arguments(signature) if p.strip()]


FIXTURES = {".bmp": "b.bmp", ".jpg": "c.jpg", ".jpeg": "c.jpg", ".vx": "v.vx", ".src": "v.vx"}


def with_fixture_files(tokens):
    """File names of the examples become the scratch folder's files: the
    first text file is a.txt, the files after it new ones."""
    texts = 0
    used = set()
    out = []
    for token in tokens:
        m = re.fullmatch(r"[^\s\\/\"]+(\.[A-Za-z]{2,4})", token)
        if not m or re.fullmatch(r"-?[\d.eE+-]+", token):
            out.append(token)
        elif m.group(1).lower() in FIXTURES and FIXTURES[m.group(1).lower()] not in used:
            out.append(FIXTURES[m.group(1).lower()])
            used.add(out[-1])
        else:
            out.append("a.txt" if texts == 0 else "out%d.txt" % texts)
            texts += 1
    return out


def main():
    scripts = calls_in_scripts()
    docs = calls_in_docs()
    OUT.mkdir(parents=True, exist_ok=True)
    for old in OUT.iterdir():
        old.unlink()
    ids = api_ids()
    for name in registered_apis():
        if name in scripts:
            tokens = scripts[name]
        elif name in docs:
            tokens = tokens_from_signature(docs[name])
        else:
            tokens = []
        line = "\t".join([name] + with_fixture_files(tokens)) + "\n"
        # Named by id: the call's first word names the API.
        (OUT / f"api_{ids[name]:03d}").write_bytes(line.encode("cp932", errors="replace"))


if __name__ == "__main__":
    main()
