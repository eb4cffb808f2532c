#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# without_libraries_test.sh SOURCE_DIR: configures a build that leaves out
# every optional library (-DVEXMORA_WITHOUT=...), as a machine without their
# -dev packages would, and checks that configuring succeeds with a message
# for each, that the stand-ins replace the library files, and that they
# compile. Linking the whole program that way takes a full build; it is the
# manual check in the README ("Building just the program").
set -u
source=$1
. "$(dirname "$0")/common.sh"
without="portaudio;fluidsynth;ffmpeg;tesseract;espeak-ng"
cmake -S "$source" -B "$tmp/b" -G Ninja -DVEXMORA_TESTS=OFF -DVEXMORA_BENCH=OFF -DVEXMORA_GUI=OFF \
  "-DVEXMORA_WITHOUT=$without" > "$tmp/configure.log" 2>&1
check "configuring without the optional libraries succeeds" test $? -eq 0
for name in ${without//;/ }; do
  check "configuring says $name is left out" grep -q "Leaving out .*: $name is in VEXMORA_WITHOUT" "$tmp/configure.log"
done
rules="$tmp/b/build.ninja"
for stand_in in speech/espeak_unavailable music/fluidsynth_unavailable recognition/ocr_unavailable \
                camera/video_files_unavailable; do
  check "$stand_in.cpp is built" grep -q "src/$stand_in.cpp.o:" "$rules"
done
for left_out in speech/espeak_engine music/midi_fluidsynth recognition/ocr camera/ffmpeg_api \
                camera/video_reader camera/video_writer; do
  check "$left_out.cpp is left out" bash -c "! grep -q 'src/$left_out.cpp.o:' '$rules'"
done
check "no file is compiled for PortAudio" bash -c "! grep -q 'VEXMORA_HAVE_PORTAUDIO' '$rules'"
objects=()
for f in speech/espeak_unavailable music/fluidsynth_unavailable recognition/ocr_unavailable \
         camera/video_files_unavailable audio/portaudio_backend platform/library_packages; do
  objects+=("CMakeFiles/vexmora_core.dir/src/$f.cpp.o")
done
cmake --build "$tmp/b" --target "${objects[@]}" > "$tmp/build.log" 2>&1
check "the stand-ins compile" test $? -eq 0
[ "$failed" = 0 ] || tail -n 20 "$tmp/configure.log" "$tmp/build.log"
exit $failed
