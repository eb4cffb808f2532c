#!/usr/bin/env bash
# portaudio_alsa.sh BINARY
#
# The PortAudio back end without sound hardware: a test-only ALSA
# configuration (ALSA_CONFIG_PATH) makes the default device a `file` plugin
# over a `null` one, so the bytes PortAudio handed to ALSA land in a raw
# file, and recording reads raw bytes from another. The script plays a
# known wave and records one; the raw file must hold the played samples in
# order, and the recording must equal the input.
set -u
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$tmp"' EXIT
work="$tmp/work"
prog="$tmp/prog"
mkdir -p "$work" "$prog"
cp "$(dirname "$binary")/default.vx" "$prog/"
cp "$here/portaudio_alsa.vx" "$work/"

# 0.5 s of a known wave to record, as raw 16-bit little-endian mono.
python3 - "$work/mic.raw" <<'PY'
import math, struct, sys
with open(sys.argv[1], 'wb') as f:
    for i in range(4000):
        f.write(struct.pack('<h', int(8000 * math.sin(i * 0.05)) + (i % 7)))
PY

cat > "$tmp/asound.conf" <<CONF
pcm.!default {
  type asym
  playback.pcm "play"
  capture.pcm "rec"
}
pcm.play {
  type file
  slave.pcm "sink"
  file "$work/played.raw"
  format "raw"
}
pcm.rec {
  type file
  slave.pcm "sink"
  file "$work/captured.raw"
  infile "$work/mic.raw"
  format "raw"
}
pcm.sink {
  type null
}
CONF

(cd "$work" && ALSA_CONFIG_PATH="$tmp/asound.conf" VEXMORA_AUDIO=portaudio \
  VEXMORA_PROGRAM_DIR="$prog" timeout 60 "$binary" --headless -- portaudio_alsa.vx) \
  > "$tmp/stdout" 2> "$tmp/stderr"
status=$?
cat "$tmp/stderr"
[ "$status" = 0 ] || { echo "exit code $status"; exit 1; }
grep -q "played" "$tmp/stderr" || { echo "AUDIO_PLAY_END did not run"; exit 1; }
grep -q "recorded" "$tmp/stderr" || { echo "AUDIO_REC_END did not run"; exit 1; }

python3 - "$work" <<'PY'
import struct, sys
work = sys.argv[1]
def samples(path, skip=0):
    data = open(path, 'rb').read()[skip:]
    return list(struct.unpack('<%dh' % (len(data) // 2), data[:len(data) // 2 * 2]))
played = samples(work + '/played.raw')
expected = samples(work + '/expected.wav', 46)[:1500]
# ALSA may have been fed silence around the stream; the samples must appear
# in order, unbroken.
text = struct.pack('<%dh' % len(expected), *expected)
raw = struct.pack('<%dh' % len(played), *played)
if text not in raw:
    print('played bytes do not contain the wave (%d samples played)' % len(played))
    sys.exit(1)
recorded = samples(work + '/recorded.wav', 46)
mic = samples(work + '/mic.raw')
if recorded != mic[:len(recorded)] or len(recorded) != 2000:
    print('recording differs from the input')
    sys.exit(1)
print('portaudio through ALSA: %d samples played, %d recorded' % (len(played), len(recorded)))
PY
