#!/usr/bin/env bash
# plates_bench.sh BINARY [PER_CONDITION_JP (6)] [PER_CONDITION_LATIN (8)]:
# read rate of the number-plate readers, per condition, over synthetic
# plates that plates_make.py draws (fixed seeds) into a temporary folder:
# Japanese plates through RcgCarNbr, Latin-alphabet ones through
# CarNbrIntrNtnl, each picture read from the whole 800 x 600 scene by one
# run of the real binary. A plate counts as read when the whole text is
# right. Also counted: fields read wrong with a confidence of 60 or more
# (a wrong answer given as sure), and the time per plate. Set KEEP=DIR to
# keep the pictures and the readings there, SET=NAME to draw another set of
# seeds than the benchmark's (a check against tuning to its pictures).
set -euo pipefail
binary=$(realpath "$1")
per_jp=${2:-6}
per_latin=${3:-8}
here=$(cd "$(dirname "$0")" && pwd)
python=${PYTHON:-/usr/bin/python3}
if [ -n "${KEEP:-}" ]; then
  mkdir -p "$KEEP"
  tmp=$(realpath "$KEEP")
else
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
fi
cd "$tmp"
"$python" "$here/plates_make.py" . "$per_jp" "$per_latin" "${SET:-}"
awk -F'\t' '$1 == "jp" {print $2}' list.txt > jp.txt
awk -F'\t' '$1 == "latin" {print $2}' list.txt > latin.txt

cat > read.vx <<'VX'
Data string NAME 64
Data string T 300
Data string F 300
Data long N 0
Data long K 0
Data long C 0
Data string LINE 700
Data FILE OUT "read.txt"
:Initial
N = 0
while 1
  CALL FileGetLine "jp.txt", N, NAME
  If G_ERROR != 0 BREAK
  CALLSUB Load
  CALL RcgCarNbr 0, 0, 0, 800, 600
  CALLSUB Record
  inc N
endwhile
N = 0
while 1
  CALL FileGetLine "latin.txt", N, NAME
  If G_ERROR != 0 BREAK
  CALLSUB Load
  CALL CarNbrIntrNtnl 0, 0, 0, 800, 600
  CALLSUB Record
  inc N
endwhile
Exit

:Load
CALL VRamClear 0
CALL LoadBMPImage 0, 0, 800, 600, NAME + ".bmp"
CALL RcgSet 0
ENDP

// NAME, status, confidence, text, then each field's text and confidence.
:Record
T = ""
If G_ERROR == 0
  T = G_TXT
endif
LINE = NAME + "\x09" + G_ERROR + "\x09" + G_WORK1 + "\x09" + T
K = 1
while K <= 4
  F = ""
  C = 0
  CALL CarNbrRslt K, F, C
  LINE = LINE + "\x09" + F + "\x09" + C
  inc K
endwhile
LINE = LINE + "\r\n"
AddTo LINE OUT
ENDP
VX
start=$(date +%s.%N)
VEXMORA_PROGRAM_DIR="$(dirname "$binary")" "$binary" --headless -- read.vx 2>/dev/null || true
seconds=$(echo "$(date +%s.%N) - $start" | bc)

"$python" - "$seconds" <<'PY'
import sys
seconds = float(sys.argv[1])
expected = {}
order = []
for line in open("list.txt", encoding="utf-8"):
    style, name, condition, text = line.rstrip("\n").split("\x09")
    expected[name] = (style, condition, text)
    order.append(name)
read = {}
for line in open("read.txt", "rb").read().decode("cp932").split("\r\n"):
    if line:
        parts = line.split("\x09")
        read[parts[0]] = parts
conditions = []
for name in order:
    if expected[name][1] not in conditions:
        conditions.append(expected[name][1])

def fields(style, text):
    if style == "latin":
        return [text]
    return text.split(" ")

rows = {}
sure_wrong = {"jp": 0, "latin": 0}
misses = []
for name in order:
    style, condition, text = expected[name]
    parts = read.get(name, [name, "9", "0", ""] + ["", "0"] * 4)
    got = parts[3]
    ok = got == text
    r = rows.setdefault((style, condition), [0, 0])
    r[0] += ok
    r[1] += 1
    want = fields(style, text)
    for i, w in enumerate(want):
        field, confidence = parts[4 + 2 * i], int(parts[5 + 2 * i] or 0)
        if field and field != w and confidence >= 60:
            sure_wrong[style] += 1
    if not ok:
        misses.append(f"  {name}: {text} -> {got or '(' + parts[1] + ')'} [{parts[2]}]")

print(f"{'condition':<10} {'Japanese':>9} {'Latin':>7}")
totals = {"jp": [0, 0], "latin": [0, 0]}
for c in conditions:
    cells = []
    for style in ("jp", "latin"):
        ok, n = rows.get((style, c), [0, 0])
        totals[style][0] += ok
        totals[style][1] += n
        cells.append(f"{ok}/{n}")
    print(f"{c:<10} {cells[0]:>9} {cells[1]:>7}")
print(f"{'all':<10} {totals['jp'][0]}/{totals['jp'][1]:<5} {totals['latin'][0]}/{totals['latin'][1]}")
print(f"fields wrong at confidence >= 60: Japanese {sure_wrong['jp']}, Latin {sure_wrong['latin']}")
print(f"{seconds * 1000 / max(len(order), 1):.0f} ms per plate (whole run / plates)")
if misses:
    print("missed:")
    print("\n".join(misses))
PY
