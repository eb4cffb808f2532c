#!/usr/bin/env bash
# deb_test.sh BUILD_DIR: builds the Debian package with CPack, checks its
# control data and contents, unpacks it into a scratch root (dpkg -x) and
# runs a shipped example from that tree headless.
set -u
build=$1
. "$(dirname "$0")/common.sh"

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/pkg" > "$tmp/cpack.log" 2>&1
check "cpack -G DEB succeeds" test $? -eq 0
deb=$(ls "$tmp"/pkg/vexmora_*.deb 2> /dev/null | head -1)
if [ -z "$deb" ]; then
  cat "$tmp/cpack.log"
  echo "FAILED: no package was made"
  exit 1
fi

check "the package is named vexmora" test "$(dpkg-deb -f "$deb" Package)" = vexmora
check "the package has the program's version" \
  test "$(dpkg-deb -f "$deb" Version)" = "$("$build/vexmora" --version | cut -d' ' -f2)"
check "the package is for this architecture" \
  test "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)"
# The package names in Depends, one a line, without their versions.
dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/^ *//; s/[ (].*//' > "$tmp/depends"
# The libraries the executable links, found by dpkg-shlibdeps, those it
# loads on first use, named by hand, and the fonts it draws text with.
for package in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libx11-6 libxtst6 \
               fonts-ipafont-gothic fonts-ipafont-mincho fonts-liberation libfluidsynth3 \
               libespeak-ng1 libqt6printsupport6 libportaudio2 libasound2 libfftw3-double3 \
               libqrencode4 libfreetype6 libfontconfig1 libpng16-16 libjpeg62-turbo; do
  check "the package depends on $package" grep -qxF "$package" "$tmp/depends"
done

dpkg-deb -c "$deb" | awk '{print $NF}' > "$tmp/contents"
for f in ./usr/bin/vexmora ./usr/share/vexmora/default.vx ./usr/share/vexmora/launcher.vx ./usr/share/man/man1/vexmora.1 \
         ./usr/share/applications/vexmora.desktop ./usr/share/mime/packages/vexmora.xml \
         ./usr/share/metainfo/org.vexmora.vexmora.metainfo.xml \
         ./usr/share/icons/hicolor/48x48/apps/vexmora.png ./usr/share/doc/vexmora/README.md; do
  check "the package holds $f" grep -qx "$f" "$tmp/contents"
done
check "the package holds nothing outside /usr" test -z "$(grep -v '^\./usr/\|^\./$\|^\./usr$' "$tmp/contents")"

mkdir -p "$tmp/root"
dpkg -x "$deb" "$tmp/root"
check "the executable in the package is stripped" \
  bash -c "! readelf -S '$tmp/root/usr/bin/vexmora' | grep -q '\.debug_info'"
run_example "$tmp/root/usr" "$tmp/root/usr/bin/vexmora" "$build/vexmora"

exit $failed
