#!/usr/bin/env python3
"""onsets.py WAV TICK... : for each tick (30 ms each, from the file's first
frame), the delay in ms from the tick to the first sample above the
threshold in the window [tick - 20 ms, tick + 250 ms); '-' when there is
none. Prints the delays, then their mean, median and largest."""
import array
import statistics
import sys
import wave

THRESHOLD = 300  # of 32767: well above FluidSynth's dither, far below a hit
TICK_S = 0.030


def main():
    path, ticks = sys.argv[1], [int(t) for t in sys.argv[2:]]
    with wave.open(path) as f:
        rate, channels = f.getframerate(), f.getnchannels()
        samples = array.array("h", f.readframes(f.getnframes()))
    left = samples[::channels]
    delays = []
    for tick in ticks:
        at = round(tick * TICK_S * rate)
        onset = next((i for i in range(max(0, at - int(0.02 * rate)), min(len(left), at + int(0.25 * rate)))
                      if abs(left[i]) > THRESHOLD), None)
        delays.append(None if onset is None else (onset - at) * 1000.0 / rate)
    found = [d for d in delays if d is not None]
    print(" ".join("-" if d is None else f"{d:.1f}" for d in delays))
    if found:
        print(f"mean {statistics.mean(found):.1f} ms, median {statistics.median(found):.1f} ms, "
              f"largest {max(found):.1f} ms, {len(found)} of {len(delays)} notes found")
    return 0 if len(found) == len(delays) else 1


if __name__ == "__main__":
    sys.exit(main())
