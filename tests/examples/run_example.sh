#!/usr/bin/env bash
# run_example.sh BINARY EXAMPLE.vx   runs one example headless, as a user
#                                    would: exit code 0, no error message;
#                                    NAME.pixels beside this script checks
#                                    the drawing (support/check_png.py),
#                                    NAME.output lines the run must write
#                                    (each a whole line of standard error)
# run_example.sh --index FOLDER      index.txt names every example of the
#                                    folder once, and nothing else
set -u
if [ "$1" = --index ]; then
  folder=$2
  listed=$(cut -d' ' -f1 "$folder/index.txt" | tr -d '\r' | sed '/^$/d' | sort)
  present=$(cd "$folder" && ls -1 -- *.vx | sort)
  if [ "$listed" != "$present" ]; then
    echo "examples/index.txt and the examples differ (listed vs present):"
    diff <(echo "$listed") <(echo "$present")
    exit 1
  fi
  exit 0
fi

binary=$1
example=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
# A copy runs, so that nothing an example writes can land in the source
# tree even when it goes wrong.
cp "$example" "$tmp/work/"
# Files an example reads from beside itself share its name (sentences.sl).
for companion in "${example%.vx}".*; do
  [ "$companion" = "$example" ] || cp "$companion" "$tmp/work/"
done
# As from an installed package: the example's folder, the current one, is
# read-only, and the user's home, cache and configuration are fresh. Outputs must go to
# the cache's scratch folder. root writes through a read-only folder, so
# root runs the example as nobody; what the folder holds is compared too.
mkdir -p "$tmp/home" "$tmp/cache" "$tmp/config" "$tmp/out"
# One accelerometer lying still (0.01 m/s2 a step), the same on every
# machine whatever sensors it has.
mkdir -p "$tmp/iio/iio:device0"
echo accel_3d > "$tmp/iio/iio:device0/name"
echo 0.01 > "$tmp/iio/iio:device0/in_accel_scale"
printf '%s\n' 100 > "$tmp/iio/iio:device0/in_accel_x_raw"
printf '%s\n' -50 > "$tmp/iio/iio:device0/in_accel_y_raw"
printf '%s\n' 980 > "$tmp/iio/iio:device0/in_accel_z_raw"
chmod -R a+rX "$tmp/iio"
chmod a-w "$tmp/work"
before=$(ls -A "$tmp/work")
as_user=()
if [ "$(id -u)" = 0 ] && command -v setpriv > /dev/null; then
  chmod a+rx "$tmp" "$tmp/prog" "$tmp/work"
  chmod a+r "$tmp"/work/* "$tmp"/prog/*
  chown 65534:65534 "$tmp/home" "$tmp/cache" "$tmp/config" "$tmp/out"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
# A silent sound device: nothing is played aloud and no microphone is
# heard, the same on every machine; the sensors are the ones made above.
(cd "$tmp/work" && HOME="$tmp/home" XDG_CACHE_HOME="$tmp/cache" XDG_CONFIG_HOME="$tmp/config" VEXMORA_PROGRAM_DIR="$tmp/prog" \
   VEXMORA_AUDIO=null VEXMORA_IIO_ROOT="$tmp/iio" timeout 50 "${as_user[@]}" "$binary" --headless \
   --vram-png "$tmp/out/page.png" -- "$(basename "$example")" > "$tmp/stdout" 2> "$tmp/stderr")
status=$?
chmod u+w "$tmp/work"
failed=0
if [ "$(ls -A "$tmp/work")" != "$before" ]; then
  echo "written beside the example:"
  diff <(echo "$before") <(ls -A "$tmp/work")
  failed=1
fi
if [ -n "$(ls -A "$tmp/home")" ]; then
  echo "written into the home folder, not the cache: $(cd "$tmp/home" && find . -mindepth 1)"
  failed=1
fi
if grep -q 'could not write' "$tmp/stderr"; then
  echo "a write failed:"
  failed=1
fi
# An example that writes says where.
if [ -d "$tmp/cache/vexmora" ] && ! grep -qxF "[Debug] writing into $tmp/cache/vexmora/examples" "$tmp/stderr"; then
  echo "the example does not say where it writes"
  failed=1
fi
if [ "$status" != 0 ]; then
  echo "exit code $status"
  failed=1
fi
if grep -q -e '^\[Error\]' -e '^\[msg\]' -e '^\[Message\]' "$tmp/stderr"; then
  echo "the example reported an error:"
  failed=1
fi
[ "$failed" = 0 ] || cat "$tmp/stderr"
here=$(cd "$(dirname "$0")" && pwd)
name=$(basename "${example%.vx}")
if [ -f "$here/$name.pixels" ]; then
  if [ ! -f "$tmp/out/page.png" ]; then
    echo "no picture was written"
    failed=1
  else
    python3 "$here/../support/check_png.py" "$tmp/out/page.png" "$here/$name.pixels" || failed=1
  fi
fi
if [ -f "$here/$name.output" ]; then
  while IFS= read -r line; do
    line=${line%$'\r'}
    [ -z "$line" ] && continue
    if ! tr -d '\r' < "$tmp/stderr" | grep -qxF -- "$line"; then
      echo "missing from what the example wrote: $line"
      failed=1
    fi
  done < "$here/$name.output"
  [ "$failed" = 0 ] || { echo "it wrote:"; cat "$tmp/stderr"; }
fi
# Examples clean up after themselves.
left=$(cd "$tmp/prog" && ls -1 | grep -v '^default.vx$')
if [ -n "$left" ]; then
  echo "files left behind: $left"
  failed=1
fi
exit $failed
