#!/usr/bin/env bash
# recognition_bench.sh BINARY [PER_KIND]: decode rate and time per image of
# the barcode and QR readers — run by a script in the real binary, and in
# process (bench/vexmora_read next to the binary: the script's steps through
# the same code, without the interpreter) —
# against zbarimg and zxing-cpp (in process, by build/bench/zxing_read next
# to the binary, or $ZXING_READ), over a generated set of
# EAN-13, Interleaved 2 of 5 and QR images (PER_KIND each, 50 by default):
# module sizes, rotations up to 15 degrees, blur and noise, made with zint,
# qrencode and ImageMagick. Prints one table.
set -euo pipefail
binary=$(realpath "$1")
zxing_read=${ZXING_READ:-$(dirname "$binary")/bench/zxing_read}
[ -x "$zxing_read" ] && zxing_read=$(realpath "$zxing_read")
inprocess_read=$(dirname "$binary")/bench/vexmora_read
[ -x "$inprocess_read" ] && inprocess_read=$(realpath "$inprocess_read")
per_kind=${2:-50}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

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
  R = 0
  CALL RcgSearch 0
  If G_ERROR == 0
    CALL RcgBCD 0, T, R
  endif
  If R == 0
    T = ""
    CALL QRRead T
  endif
  LINE = NAME + " " + T + "\r\n"
  AddTo LINE OUT
  inc N
endwhile
Exit
VX
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
printf '%-10s %10s %10s %10s %14s\n' reader EAN-13 ITF QR "ms per image"
printf '%-10s %10s %10s %10s %14.1f\n' vexmora "$(rate ours.txt ean)" "$(rate ours.txt itf)" "$(rate ours.txt qr)" \
  "$(echo "$ours_time * 1000 / $total" | bc -l)"
printf '%-10s %10s %10s %10s %14.1f\n' zbarimg "$(rate zbar.txt ean)" "$(rate zbar.txt itf)" "$(rate zbar.txt qr)" \
  "$(echo "$zbar_time * 1000 / $total" | bc -l)"
if [ -n "$inprocess_time" ]; then
  printf '%-10s %10s %10s %10s %14.1f\n' "vx in-proc" "$(rate inprocess.txt ean)" "$(rate inprocess.txt itf)" \
    "$(rate inprocess.txt qr)" "$(echo "$inprocess_time * 1000 / $total" | bc -l)"
fi
if [ -n "$zxing_time" ]; then
  printf '%-10s %10s %10s %10s %14.1f\n' zxing-cpp "$(rate zxing.txt ean)" "$(rate zxing.txt itf)" "$(rate zxing.txt qr)" \
    "$(echo "$zxing_time * 1000 / $total" | bc -l)"
else
  echo "zxing-cpp: $zxing_read not built (libzxing-dev missing)"
fi
