#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# deb_test.sh BUILD_DIR SOURCE_DIR: builds the Debian package with CPack,
# checks its control data and contents, has lintian check it, builds it
# again to see the same bytes, unpacks it into a scratch root (dpkg -x),
# runs a shipped example from that tree headless, and runs every example
# as on a machine without the packages it recommends or suggests.
set -u
build=$1
source=$2
. "$(dirname "$0")/common.sh"

env -u SOURCE_DATE_EPOCH cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/pkg" > "$tmp/cpack.log" 2>&1
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
check "the maintainer is the project's address" \
  test "$(dpkg-deb -f "$deb" Maintainer)" = "Vexmora developers <maintainers@vexmora.org>"
# The package names of a control field, one a line, without their versions.
field() { dpkg-deb -f "$deb" "$1" | tr ',|' '\n\n' | sed 's/^ *//; s/[ (].*//' | sed '/^$/d'; }
field Depends > "$tmp/depends"
field Recommends > "$tmp/recommends"
field Suggests > "$tmp/suggests"
cat "$tmp/depends" "$tmp/recommends" "$tmp/suggests" > "$tmp/named"
# Starting and drawing: the runtimes dpkg-shlibdeps finds, Qt for the window,
# the text libraries and the fonts.
for package in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins libx11-6 libxcb1 \
               fonts-ipafont-gothic fonts-ipafont-mincho fonts-liberation libfreetype6 libfontconfig1 \
               libpng16-16; do
  check "the package depends on $package" grep -qxF "$package" "$tmp/depends"
done
for package in libportaudio2 libasound2 libfftw3-double3 libfluidsynth3 timgm6mb-soundfont \
               libjpeg62-turbo libqrencode4 libxtst6; do
  check "the package recommends $package" grep -qxF "$package" "$tmp/recommends"
done
for package in libtesseract5 tesseract-ocr-jpn tesseract-ocr-eng libespeak-ng1 libv4l-0 \
               libqt6printsupport6; do
  check "the package suggests $package" grep -qxF "$package" "$tmp/suggests"
done
check "the package suggests FFmpeg's libraries" grep -qx 'libavformat[0-9]*' "$tmp/suggests"
for package in $(cat "$tmp/recommends" "$tmp/suggests"); do
  check "$package is no hard dependency" bash -c "! grep -qxF '$package' '$tmp/depends'"
done
# Every library the program opens has its package in the table of missing-
# library messages, and the package names it.
for soname in $(grep -rhoE '"lib[A-Za-z0-9_+-]+\.so\.[0-9]+"' "$source/src" | tr -d '"' | sort -u); do
  package=$(sed -n "s/.*Shipped{\"$soname\", \"\([^\"]*\)\"}.*/\1/p" "$source/src/platform/library_packages.cpp")
  check "the table of packages knows $soname" test -n "$package"
  [ -n "$package" ] && check "the package names $package (for $soname)" grep -qxF "$package" "$tmp/named"
done

dpkg-deb -c "$deb" | awk '{print $NF}' > "$tmp/contents"
for f in ./usr/bin/vexmora ./usr/share/vexmora/default.vx ./usr/share/vexmora/launcher.vx ./usr/share/man/man1/vexmora.1.gz \
         ./usr/share/doc/vexmora/copyright ./usr/share/doc/vexmora/changelog.gz \
         ./usr/share/vim/vimfiles/syntax/vexmora.vim ./usr/share/vim/vimfiles/ftdetect/vexmora.vim \
         ./usr/share/org.kde.syntax-highlighting/syntax/vexmora.xml \
         ./usr/share/gtksourceview-5/language-specs/vexmora.lang \
         ./usr/share/vexmora/editors/vscode/syntaxes/vexmora.tmLanguage.json \
         ./usr/share/applications/vexmora.desktop ./usr/share/mime/packages/vexmora.xml \
         ./usr/share/metainfo/org.vexmora.vexmora.metainfo.xml \
         ./usr/share/icons/hicolor/48x48/apps/vexmora.png ./usr/share/doc/vexmora/README.md; do
  check "the package holds $f" grep -qx "$f" "$tmp/contents"
done
check "the package holds nothing outside /usr" test -z "$(grep -v '^\./usr/\|^\./$\|^\./usr$' "$tmp/contents")"

check "the man page is only there compressed" bash -c "! grep -qx './usr/share/man/man1/vexmora.1' '$tmp/contents'"

# Lintian finds no error and no warning (data/lintian-overrides keeps the
# findings we accept, each with its reason).
if command -v lintian > /dev/null; then
  lintian --fail-on error,warning "$deb" > "$tmp/lintian.log" 2>&1
  check "lintian reports no error and no warning" test $? -eq 0
  grep -E '^(E|W):' "$tmp/lintian.log"
else
  check "lintian is installed" false
fi

# The same build tree packed again later gives the same bytes: every time
# stamp is the commit's, not the clock's.
sleep 1.1
env -u SOURCE_DATE_EPOCH cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/again" > /dev/null 2>&1
check "a second package of the same build is byte-identical" cmp -s "$deb" "$tmp/again/$(basename "$deb")"
if commit_time=$(git -C "$source" log -1 --format=%ct 2> /dev/null); then
  dpkg-deb --fsys-tarfile "$deb" | tar -tv --full-time --utc | awk '{print $4" "$5}' | sort -u > "$tmp/times"
  check "every file of the package has the commit's time" \
    test "$(cat "$tmp/times")" = "$(date -u -d "@$commit_time" '+%Y-%m-%d %H:%M:%S')"
fi

mkdir -p "$tmp/root"
dpkg -x "$deb" "$tmp/root"
check "the packaged menu entry starts the program from PATH" \
  grep -qx 'Exec=vexmora %f' "$tmp/root/usr/share/applications/vexmora.desktop"
check "the executable in the package is stripped" \
  bash -c "! readelf -S '$tmp/root/usr/bin/vexmora' | grep -q '\.debug_info'"
run_example "$tmp/root/usr" "$tmp/root/usr/bin/vexmora" "$build/vexmora"

# The package without what it recommends or suggests: each such library is
# found first as a file that is not a library, as on a machine that lacks it.
# Every shipped example still runs to its end; those that need one of them
# name the package to install.
mkdir -p "$tmp/without"
for package in $(cat "$tmp/recommends" "$tmp/suggests"); do
  sed -n "s/.*Shipped{\"\([^\"]*\)\", \"$package\"}.*/\1/p" "$source/src/platform/library_packages.cpp"
  # FFmpeg's packages carry the library's major version: libavcodec59.
  echo "$package" | sed -n 's/^\(libavformat\|libavcodec\|libavutil\|libswscale\)\([0-9][0-9]*\)$/\1.so.\2/p'
done | sort -u > "$tmp/absent"
check "libraries of the optional packages are known" test "$(wc -l < "$tmp/absent")" -ge 15
while read -r soname; do echo "not a library" > "$tmp/without/$soname"; done < "$tmp/absent"
for example in "$tmp"/root/usr/share/vexmora/examples/*.vx; do
  name=$(basename "$example" .vx)
  rm -rf "$tmp/run" && mkdir -p "$tmp/run"
  cp "${example%.vx}".* "$tmp/run/"
  (cd "$tmp/run" && env -u VEXMORA_PROGRAM_DIR XDG_CACHE_HOME="$tmp/cache" LD_LIBRARY_PATH="$tmp/without" timeout 50 \
     "$tmp/root/usr/bin/vexmora" --headless -- "$name.vx" > "$tmp/run.out" 2> "$tmp/run.err")
  status=$?
  check "$name runs to its end without the optional packages (status $status)" test "$status" -eq 0
  [ "$status" -eq 0 ] || head -5 "$tmp/run.err"
done
for needs in "plates libtesseract5" "speech libespeak-ng1" "printing libqt6printsupport6"; do
  set -- $needs
  rm -rf "$tmp/run" && mkdir -p "$tmp/run"
  cp "$tmp/root/usr/share/vexmora/examples/$1".* "$tmp/run/"
  (cd "$tmp/run" && env -u VEXMORA_PROGRAM_DIR XDG_CACHE_HOME="$tmp/cache" LD_LIBRARY_PATH="$tmp/without" timeout 50 \
     "$tmp/root/usr/bin/vexmora" --headless -- "$1.vx" > /dev/null 2> "$tmp/run.err")
  check "$1 without the optional packages names $2" grep -q "install the Debian package $2" "$tmp/run.err"
done

exit $failed
