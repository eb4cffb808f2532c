#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install_test.sh BUILD_DIR SOURCE_DIR: installs the build into a scratch
# prefix and checks the tree as a desktop sees it: the files, the desktop
# entry, AppStream data, MIME type, icons and man page (with the validators
# the desktop uses), the program directory an installed executable finds,
# and a shipped example run from there.
set -u
build=$1
source=$2
. "$(dirname "$0")/common.sh"
prefix="$tmp/prefix"

cmake --install "$build" --prefix "$prefix" > "$tmp/install.log" 2>&1
check "cmake --install succeeds" test $? -eq 0

for f in bin/vexmora share/vexmora/default.vx share/vexmora/launcher.vx share/vexmora/examples/drawing.vx \
         share/vexmora/doc/docBase.html share/vexmora/doc/api/strings.md \
         share/doc/vexmora/README.md share/doc/vexmora/copyright share/man/man1/vexmora.1.gz \
         share/vim/vimfiles/syntax/vexmora.vim share/vim/vimfiles/ftdetect/vexmora.vim \
         share/vim/vimfiles/ftplugin/vexmora.vim share/org.kde.syntax-highlighting/syntax/vexmora.xml \
         share/gtksourceview-4/language-specs/vexmora.lang share/gtksourceview-5/language-specs/vexmora.lang \
         share/vexmora/editors/vscode/package.json share/vexmora/editors/vscode/syntaxes/vexmora.tmLanguage.json \
         share/applications/vexmora.desktop share/metainfo/org.vexmora.vexmora.metainfo.xml \
         share/mime/packages/vexmora.xml share/icons/hicolor/scalable/apps/vexmora.svg; do
  check "$f is installed" test -f "$prefix/$f"
done
check "the executable is executable" test -x "$prefix/bin/vexmora"
# The reference viewer reads doc/ from the program directory: the build
# tree's and the installed tree's hold the same pages.
check "the build tree's doc/ holds the installed reference pages" \
  diff -r "$build/doc" "$prefix/share/vexmora/doc"
check "nothing lands beside the executable" test "$(ls "$prefix/bin")" = "vexmora"

# --- desktop integration -------------------------------------------------------
check "desktop-file-validate accepts the desktop entry" \
  desktop-file-validate "$prefix/share/applications/vexmora.desktop"
# A prefix that PATH does not reach: the entry names the program by its path
# and nothing hides it (no TryExec looking for it on PATH).
check "the desktop entry opens one file with the installed program" \
  grep -qxF "Exec=\"$prefix/bin/vexmora\" %f" "$prefix/share/applications/vexmora.desktop"
check "the desktop entry is not hidden by TryExec" \
  bash -c "! grep -q '^TryExec=' '$prefix/share/applications/vexmora.desktop'"
check "the desktop entry claims .vx scripts" \
  grep -qx 'MimeType=text/x-vexmora-script;' "$prefix/share/applications/vexmora.desktop"
check "the metainfo gives the project's licence" \
  grep -q '<project_license>MIT</project_license>' "$prefix/share/metainfo/org.vexmora.vexmora.metainfo.xml"
check "appstreamcli validates the metainfo" \
  appstreamcli validate --no-net "$prefix/share/metainfo/org.vexmora.vexmora.metainfo.xml" \
  > "$tmp/appstream.log"
check "appstreamcli validates the installed tree" \
  appstreamcli validate-tree --no-net "$prefix" > "$tmp/appstream-tree.log"
check "the metainfo names the desktop entry" \
  grep -q '<launchable type="desktop-id">vexmora.desktop</launchable>' \
  "$prefix/share/metainfo/org.vexmora.vexmora.metainfo.xml"

# The MIME package compiles, and a .vx file name maps to the new type.
mkdir -p "$tmp/mime/packages"
cp "$prefix/share/mime/packages/vexmora.xml" "$tmp/mime/packages/"
check "update-mime-database accepts the MIME package" \
  env XDG_DATA_HOME="$tmp" XDG_DATA_DIRS="$tmp" update-mime-database "$tmp/mime" 2> "$tmp/mime.err"
check "update-mime-database gives no warning" test ! -s "$tmp/mime.err"
check "*.vx is text/x-vexmora-script" grep -q ':text/x-vexmora-script:\*\.vx$' "$tmp/mime/globs2"

# Every PNG is as large as the folder it sits in says; every size desktops
# commonly ask for is there.
for size in 16 24 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/vexmora.png"
  check "the ${size}px icon is a ${size}x${size} PNG" \
    test "$(identify -format '%m %wx%h' "$png" 2>/dev/null)" = "PNG ${size}x${size}"
done
check "the SVG icon is well-formed" \
  xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/vexmora.svg"

# --- man page ------------------------------------------------------------------
check "the man page is compressed" gzip -t "$prefix/share/man/man1/vexmora.1.gz"
man_page="$tmp/vexmora.1"
gzip -dc "$prefix/share/man/man1/vexmora.1.gz" > "$man_page"
groff -man -ww -z "$man_page" > "$tmp/groff.log" 2>&1
check "the man page formats without warnings" test ! -s "$tmp/groff.log"
groff -man -Tutf8 -rLL=200n -P-cbou "$man_page" > "$tmp/man.txt" 2> /dev/null
for section in SYNOPSIS DESCRIPTION OPTIONS ENVIRONMENT "EXIT STATUS" FILES; do
  check "the man page has $section" grep -qx "$section" "$tmp/man.txt"
done
# Every option --help names, and every VEXMORA_ variable the program reads,
# is in the man page; the variables are in the README too.
for option in $("$prefix/bin/vexmora" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  check "the man page explains $option" grep -q -- "^ *$option" "$tmp/man.txt"
done
for variable in $(grep -rhoE 'getenv\("VEXMORA_[A-Z0-9_]+' "$source/src" | sed 's/getenv("//' | sort -u); do
  check "the man page explains $variable" grep -q "$variable" "$tmp/man.txt"
  check "the README names $variable" grep -q "$variable" "$source/README.md"
done

# --- the program directory of an installed executable ---------------------------
cat > "$tmp/where.vx" <<'VX'
:Initial
CALL MsgBx G_MODULE_DIR, "dir"
Exit
VX
(cd "$tmp" && env -u VEXMORA_PROGRAM_DIR "$prefix/bin/vexmora" --headless where.vx 2> "$tmp/err")
check "the installed start-up script runs the named one" \
  test "$(cat "$tmp/err")" = "[dir] $prefix/share/vexmora/"

mkdir -p "$tmp/own"
printf ':Initial\nCALL MsgBx "own", "start"\nG_EXIT_CODE = 5\nExit\n' > "$tmp/own/default.vx"
(cd "$tmp" && VEXMORA_PROGRAM_DIR="$tmp/own" "$prefix/bin/vexmora" --headless where.vx 2> "$tmp/err")
check "VEXMORA_PROGRAM_DIR overrides the installed tree (exit code)" test $? -eq 5
check "VEXMORA_PROGRAM_DIR overrides the installed tree" test "$(cat "$tmp/err")" = "[start] own"

# A start-up script beside the executable comes first.
cp "$tmp/own/default.vx" "$prefix/bin/default.vx"
(cd "$tmp" && env -u VEXMORA_PROGRAM_DIR "$prefix/bin/vexmora" --headless where.vx 2> "$tmp/err")
check "default.vx beside the executable comes first" test "$(cat "$tmp/err")" = "[start] own"
rm "$prefix/bin/default.vx"

# The installed program finds its print-support module: a missing printer is
# refused by name, not for want of the module.
printf ':Initial\r\nCALL PrtStart\r\nCALL MsgBx G_ERR_TXT, "prt"\r\nExit\r\n' > "$tmp/prt.vx"
(cd "$tmp" && VEXMORA_PRINTER=cups:no_such_printer "$prefix/bin/vexmora" --headless prt.vx 2> "$tmp/err")
check "the installed program loads its print-support module" \
  test "$(cat "$tmp/err")" = "[prt] no printer named no_such_printer"

# In a real X server, the window of the installed program carries the icon
# from the installed theme, and its class is the one the desktop entry names.
printf ':Initial\nENDP\n' > "$tmp/stay.vx"
cat > "$tmp/window.sh" <<DRIVE
#!/usr/bin/env bash
cd "$tmp"
XDG_DATA_DIRS="$prefix/share:/usr/share" env -u QT_QPA_PLATFORM -u VEXMORA_PROGRAM_DIR \\
  "$prefix/bin/vexmora" stay.vx 2> /dev/null &
pid=\$!
for _ in \$(seq 200); do
  win=\$(xdotool search --onlyvisible --name Vexmora 2> /dev/null | head -1)
  [ -n "\$win" ] && break
  sleep 0.1
done
[ -n "\$win" ] && xprop -id "\$win" WM_CLASS _NET_WM_ICON | head -c 300 > "$tmp/window.props"
kill \$pid
DRIVE
chmod +x "$tmp/window.sh"
timeout 60 "$(dirname "$0")/../e2e/with_x_server.sh" 1024x768x24 "$tmp/window.sh"
wm_class=$(sed -n 's/^StartupWMClass=//p' "$prefix/share/applications/vexmora.desktop")
check "the window's class is the desktop entry's StartupWMClass" \
  grep -q "^WM_CLASS(STRING) = \"vexmora\", \"$wm_class\"" "$tmp/window.props"
check "the window shows the installed icon" grep -q "^_NET_WM_ICON(CARDINAL) = " "$tmp/window.props"

run_example "$prefix" "$prefix/bin/vexmora" "$build/vexmora"

# Neither place has one: the usual message, exit code 1.
rm "$prefix/share/vexmora/default.vx"
(cd "$tmp" && env -u VEXMORA_PROGRAM_DIR "$prefix/bin/vexmora" --headless where.vx 2> "$tmp/err")
check "without any default.vx the exit code is 1" test $? -eq 1
check "without any default.vx the message says so" \
  test "$(cat "$tmp/err")" = "[Message] 必要なファイル(default.vx)が見つかりません。"

exit $failed
