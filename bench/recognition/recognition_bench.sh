#!/usr/bin/env bash
# recognition_bench.sh BINARY [PER_KIND] [PER_QR_MIXED]: decode rate and time per image of
# the barcode and QR readers — run by a script in the real binary, and in
# process (bench/vexmora_read next to the binary: the script's steps through
# the same code, without the interpreter) —
# against zbarimg and zxing-cpp (in process, by build/bench/zxing_read next
# to the binary, or $ZXING_READ), over a generated set of
# EAN-13, Interleaved 2 of 5 and QR images (PER_KIND each, 50 by default):
# module sizes, rotations up to 15 degrees, blur and noise, made with zint,
# qrencode and ImageMagick; and PER_QR_MIXED (200) more QR symbols of
# random texts of 5 to 60 characters, levels L to H, modules of 6 to 10
# pixels, scaled by 0.8 to 1.3 with bilinear filtering and light noise
# (fixed seeds). Prints one table. Set KEEP=DIR to keep the pictures and
# the readings there, and REUSE=1 as well to read the pictures a run with
# the same KEEP made.
set -euo pipefail
binary=$(realpath "$1")
zxing_read=${ZXING_READ:-$(dirname "$binary")/bench/zxing_read}
[ -x "$zxing_read" ] && zxing_read=$(realpath "$zxing_read")
inprocess_read=$(dirname "$binary")/bench/vexmora_read
[ -x "$inprocess_read" ] && inprocess_read=$(realpath "$inprocess_read")
per_kind=${2:-50}
per_mixed=${3:-200}
if [ -n "${KEEP:-}" ]; then
  mkdir -p "$KEEP"
  tmp=$(realpath "$KEEP")
else
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
fi
cd "$tmp"

make_set() {
rotations=(0 5 10 15 3)
blurs=(0 0.6 0 0.9 0.4)
noises=(0 0 0.05 0.05 0.1)
: > list.txt
for kind in ean itf qr; do
  for ((i = 0; i < per_kind; i++)); do
    rot=${rotations[$((i % 5))]}
    blur=${blurs[$(((i / 5) % 5))]}
    noise=${noises[$(((i / 25) % 5))]}
    name="$kind$i"
    case $kind in
      ean)
        digits=$(printf '%012d' $(( (i * 7919 + 104729) * 1000003 % 1000000000000 )))
        scale=$(echo "1 1.5 2" | cut -d' ' -f$((i % 3 + 1)))
        zint -b 13 -d "$digits" --scale="$scale" --notext -o "$name.src.png" >/dev/null 2>&1
        check=$(python3 -c "d='$digits';s=sum(int(c)*(1 if k%2==0 else 3) for k,c in enumerate(d));print((10-s%10)%10)")
        expected="$digits$check" ;;
      itf)
        expected=$(printf '%010d' $(( (i * 7919 + 17) * 100003 % 10000000000 )))
        scale=$(echo "1 1.5 2" | cut -d' ' -f$((i % 3 + 1)))
        zint -b 3 -d "$expected" --scale="$scale" --notext -o "$name.src.png" >/dev/null 2>&1 ;;
      qr)
        expected="Vexmora bench $i"
        qrencode -s $((i % 3 + 2)) -l M -o "$name.src.png" "$expected" ;;
    esac
    convert "$name.src.png" -bordercolor white -border 30 -background white -rotate "$rot" \
      -blur "0x$blur" -attenuate "$noise" +noise Gaussian -colorspace gray "$name.png"
    convert "$name.png" -type TrueColor "BMP3:$name.bmp"
    echo "$kind $name $expected" >> list.txt
  done
done
# The mixed QR set: texts and settings from a seeded generator.
/usr/bin/python3 - "$per_mixed" > mixed.txt <<'PY'
import random, sys
rng = random.Random(2026)
alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-.:/"
for i in range(int(sys.argv[1])):
    n = rng.randint(5, 60)
    text = ""
    for k in range(n):  # spaces inside only, never two together
        inside = 0 < k < n - 1 and not text.endswith(" ")
        text += rng.choice(alphabet + " " if inside else alphabet)
    print(i, "LMQH"[rng.randrange(4)], rng.randint(6, 10), rng.randint(80, 130), rng.choice([2, 3, 4]), text)
PY
while read -r i level module percent noise text; do
  name="qrx$i"
  qrencode -l "$level" -s "$module" -o "$name.src.png" -- "$text"
  convert "$name.src.png" -bordercolor white -border 20 -filter Triangle -resize "$percent%" \
    -seed "$i" -attenuate "0.$noise" +noise Gaussian -colorspace gray "$name.png"
  convert "$name.png" -type TrueColor "BMP3:$name.bmp"
  echo "qrx $name $text" >> list.txt
done < mixed.txt
}
if [ -n "${REUSE:-}" ] && [ -f list.txt ]; then
  echo "pictures of $tmp reused"
else
  make_set
fi
total=$(wc -l < list.txt)
cut -d' ' -f2 list.txt > names.txt

# Ours: one run of the real binary over every image.
cat > read.vx <<'VX'
Data string NAME 64
Data string T 600
Data long R 0
Data long N 0
Data string LINE 700
Data FILE OUT "ours.txt"
:Initial
while 1
  CALL FileGetLine "names.txt", N, NAME
  If G_ERROR != 0 BREAK
  CALL VRamClear 0xFFFFFF
  CALL LoadBMPImage 20, 20, 2500, 1900, NAME + ".bmp"
  CALL RcgSet 0
  T = ""
  CALL QRRead T
  If G_ERROR != 0
    T = ""
    R = 0
    CALL RcgSearch 0
    If G_ERROR == 0
      CALL RcgBCD 0, T, R
    endif
    If R == 0
      T = ""
    endif
  endif
  LINE = NAME + " " + T + "\r\n"
  AddTo LINE OUT
  inc N
endwhile
Exit
VX
rm -f ours.txt  # the script adds to it
start=$(date +%s.%N)
VEXMORA_PROGRAM_DIR="$(dirname "$binary")" "$binary" --headless -- read.vx 2>/dev/null || true
ours_time=$(echo "$(date +%s.%N) - $start" | bc)

start=$(date +%s.%N)
: > zbar.txt
while read -r name; do
  echo "$name $(zbarimg -q --raw "$name.png" 2>/dev/null | head -1)" >> zbar.txt
done < names.txt
zbar_time=$(echo "$(date +%s.%N) - $start" | bc)

inprocess_time=""
if [ -x "$inprocess_read" ]; then
  inprocess_time=$("$inprocess_read" names.txt inprocess.txt)
fi
zxing_time=""
if [ -x "$zxing_read" ]; then
  zxing_time=$("$zxing_read" names.txt zxing.txt)
fi

rate() {  # rate FILE KIND
  local ok=0 n=0
  while read -r kind name expected; do
    [ "$kind" = "$2" ] || continue
    n=$((n + 1))
    got=$(grep -a "^$name " "$1" | head -1 | cut -d' ' -f2- | tr -d '\r')
    [ "$got" = "$expected" ] && ok=$((ok + 1))
  done < <(sed 's/ /\t/;s/ /\t/' list.txt | tr '\t' ' ' | awk '{k=$1; n=$2; $1=""; $2=""; sub(/^  /,""); print k, n, $0}')
  echo "$ok/$n"
}
row() {  # row LABEL FILE SECONDS
  printf '%-10s %10s %10s %10s %10s %14.2f\n' "$1" "$(rate "$2" ean)" "$(rate "$2" itf)" "$(rate "$2" qr)" \
    "$(rate "$2" qrx)" "$(echo "$3 * 1000 / $total" | bc -l)"
}
printf '%-10s %10s %10s %10s %10s %14s\n' reader EAN-13 ITF QR "QR mixed" "ms per image"
row vexmora ours.txt "$ours_time"
row zbarimg zbar.txt "$zbar_time"
if [ -n "$inprocess_time" ]; then
  row "vx in-proc" inprocess.txt "$inprocess_time"
fi
if [ -n "$zxing_time" ]; then
  row zxing-cpp zxing.txt "$zxing_time"
else
  echo "zxing-cpp: $zxing_read not built (libzxing-dev missing)"
fi
