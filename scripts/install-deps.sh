#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install-deps.sh [--build | --runtime]: installs from Debian's packages what
# the project needs. Safe to run again: only missing packages are installed.
#   (no option)  building, running and every test and benchmark
#   --build      building the program and running it, nothing for the tests
#   --runtime    the same as --build (the program is run from its build tree)
# As root it runs apt-get itself, else through sudo; without sudo it prints
# the apt-get line to run as root and installs nothing.
set -euo pipefail

# Building and running the program. The libraries it opens on first use
# need only their headers here; the -dev packages of the optional families
# (PortAudio, FluidSynth, FFmpeg, Tesseract, espeak-ng) may be left out, and
# the build then leaves those calls out (README, "Building just the program").
build_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev              # window, controls, clipboard, message boxes
  libfreetype-dev libfontconfig-dev   # text drawn into the VRAM banks
  fonts-ipafont fonts-liberation      # stand-ins for the Windows Japanese faces and Arial
  libpng-dev                          # --vram-png
  libx11-dev libxtst-dev              # KeyEvent, MouseCtrl (XTest) and other programs' windows
  libjpeg62-turbo-dev                 # LoadJpg, JpgSize, SaveJpg (the IJG API)
  libasound2-dev libfftw3-dev         # sound cards, the MIDI sequencer, spectra
  portaudio19-dev                     # sound devices (optional)
  libfluidsynth-dev timgm6mb-soundfont  # MIDI synthesis and its sound font (optional)
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev  # video files (optional)
  libv4l-dev                          # cameras
  libqrencode-dev                     # QR symbols drawn by MkBCD
  libtesseract-dev libtesseract5 tesseract-ocr-jpn tesseract-ocr-eng  # plate reading (optional)
  libespeak-ng-dev libespeak-ng1 espeak-ng-data  # speech (optional)
  dpkg-dev                            # the Debian package (cpack, dpkg-shlibdeps)
)

# Tests, benchmarks, fuzzing and the tools that check what the program makes.
test_packages=(
  ccache                              # shared objects between checkouts
  clang libclang-rt-14-dev            # fuzz targets and sanitizers
  libgtest-dev libgmock-dev libbenchmark-dev
  ffmpeg                              # reference videos and frames for the video tests
  midicsv                             # Standard MIDI Files checked in the music tests
  imagemagick                         # reference BMP and JPEG files for the image tests
  libjpeg-turbo-progs                 # djpeg, the reference in bench/graphics/jpeg_scale_bench.sh
  libosmesa6-dev                      # Mesa off-screen rendering, the reference in bench/geometry3d/polygon_render_bench.cpp
  xvfb xauth xdotool x11-utils        # the end-to-end tests in a real X server (xprop)
  openbox                             # a window manager for the end-to-end stacking test
  lua5.4 luajit tcl8.6 python3 python3-pil  # script benchmarks against peers (LuaJIT: interpreter and compiler)
  python3-opencv python3-cairo        # picture benchmark peers (bench/graphics/peer_pictures.sh)
  desktop-file-utils appstream shared-mime-info libxml2-utils  # desktop files checked as installed
  lintian                             # the Debian package checked as Debian checks it
  zint qrencode                       # reference barcodes and QR codes for the recognition tests
  zbar-tools libzxing-dev             # recognition benchmark peers (zbarimg, zxing-cpp in process)
  man-db groff-base                   # the man page
  socat                               # the far end of serial-port tests (pseudo-terminal pairs)
  sox                                 # reference WAV files and sound benchmarks
  gerbv                               # reads our Gerber and drill files back in the tests
  poppler-utils                       # printed PDF pages rendered and read back in the tests
  vim                                 # the Vim syntax file checked by Vim itself
  libkf5syntaxhighlighting-tools      # the Kate syntax file checked by kate-syntax-highlighter
  libgtksourceview-5-common           # the GtkSourceView schema the language file is checked against
)

case "${1:-}" in
  "") packages=("${build_packages[@]}" "${test_packages[@]}") ;;
  --build | --runtime) packages=("${build_packages[@]}") ;;
  -h | --help)
    sed -n '3,9p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
  *)
    echo "install-deps.sh: unknown option $1 (try --help)" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo > /dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps.sh: these packages are missing, and there is no sudo to install them." >&2
  echo "Run this as root, then run the command again:" >&2
  echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
