#!/usr/bin/env bash
# Installs everything the build, the program and the tests need, from Debian's
# packages. Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  clang libclang-rt-14-dev            # fuzz targets and sanitizers
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev              # window, controls, clipboard, message boxes
  libfreetype-dev libfontconfig-dev   # text drawn into the VRAM banks
  fonts-ipafont fonts-liberation      # stand-ins for the Windows Japanese faces and Arial
  libpng-dev                          # --vram-png
  libx11-dev libxtst-dev              # KeyEvent, MouseCtrl (XTest) and other programs' windows
  libjpeg62-turbo-dev                 # LoadJpg, JpgSize, SaveJpg (the IJG API)
  libfluidsynth-dev timgm6mb-soundfont libasound2-dev  # MIDI output (synthesis, ALSA sequencer)
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev libv4l-dev  # video files and cameras
  ffmpeg                              # reference videos and frames for the video tests
  midicsv                             # Standard MIDI Files checked in the music tests
  imagemagick                         # reference BMP and JPEG files for the image tests
  libjpeg-turbo-progs                 # djpeg, the reference in bench/graphics/jpeg_scale_bench.sh
  libosmesa6-dev                      # Mesa off-screen rendering, the reference in bench/geometry3d/polygon_render_bench.cpp
  xvfb xauth xdotool x11-utils        # the end-to-end tests in a real X server (xprop)
  openbox                             # a window manager for the end-to-end stacking test
  lua5.4 tcl8.6 python3 python3-pil   # script benchmarks against peers
  desktop-file-utils appstream shared-mime-info libxml2-utils  # desktop files checked as installed
  libqrencode-dev                     # QR symbols drawn by MkBCD
  libtesseract-dev libtesseract5 tesseract-ocr-jpn tesseract-ocr-eng  # plate reading (loaded on first use)
  zint qrencode                       # reference barcodes and QR codes for the recognition tests
  zbar-tools libzxing-dev             # recognition benchmark peers (zbarimg, zxing-cpp in process)
  man-db groff-base dpkg-dev          # the man page and the Debian package (cpack, dpkg-shlibdeps)
  socat                               # the far end of serial-port tests (pseudo-terminal pairs)
  portaudio19-dev libasound2-dev libfftw3-dev  # sound devices and spectra
  sox                                 # reference WAV files and sound benchmarks
  gerbv                               # reads our Gerber and drill files back in the tests
  libespeak-ng-dev libespeak-ng1 espeak-ng-data  # speech (loaded when a script first speaks)
  poppler-utils                       # printed PDF pages rendered and read back in the tests
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
