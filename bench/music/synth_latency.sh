#!/usr/bin/env bash
# synth_latency.sh BINARY [RUNS]: how long after its tick a note sounds when
# FluidSynth plays through the file sound device (VEXMORA_AUDIO=file). The
# sequencer plays twenty drum hits, one every 300 ms; the onset of each is
# found in the WAV file the device wrote and compared with where its tick
# falls (tick n at n x 30 ms from the file's start). Each run prints the
# twenty delays and their mean, median and largest. The machine's load
# shows: run it on a quiet machine.
set -eu
binary=$(realpath "$1")
runs=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/prog" "$tmp/work"
cp "$(dirname "$binary")/default.vx" "$tmp/prog/"
cp "$here/synth_latency.vx" "$tmp/work/"
for run in $(seq "$runs"); do
  rm -f "$tmp/work/synth.wav"
  (cd "$tmp/work" && VEXMORA_PROGRAM_DIR="$tmp/prog" VEXMORA_AUDIO=file VEXMORA_AUDIO_OUT=synth.wav \
    VEXMORA_MIDI=fluidsynth timeout 60 "$binary" --headless -- synth_latency.vx)
  echo "run $run:"
  python3 "$here/onsets.py" "$tmp/work/synth.wav" $(seq 10 10 200) || true
done
