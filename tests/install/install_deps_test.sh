#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install_deps_test.sh SOURCE_DIR: scripts/install-deps.sh run as a user who
# is not root, with stand-ins for dpkg-query, apt-get and sudo on a PATH of
# their own: without sudo it prints the apt-get line for root and installs
# nothing; with sudo it installs through it; --build asks for the program's
# packages and none of the tests'.
set -u
source=$1
. "$(dirname "$0")/common.sh"
chmod 755 "$tmp"

# A PATH holding only what the script may use: no sudo unless a case adds one.
bin="$tmp/bin"
mkdir -p "$bin"
for tool in bash id grep sed; do ln -s "$(command -v "$tool")" "$bin/$tool"; done
# Every package is missing, except those named in $tmp/installed.
cat > "$bin/dpkg-query" <<'FAKE'
#!/bin/bash
package=${!#}
grep -qx "$package" "${FAKE_INSTALLED:-/dev/null}" && echo "install ok installed"
exit 0
FAKE
cat > "$bin/apt-get" <<'FAKE'
#!/bin/bash
echo "apt-get $*" >> "$FAKE_LOG"
FAKE
chmod 755 "$bin/dpkg-query" "$bin/apt-get"
log="$tmp/calls.log"

# as_user ARGS...: the script run by a user who is not root (nobody, when the
# test itself runs as root), with the fake PATH.
as_user() {
  local run=()
  [ "$(id -u)" -eq 0 ] && run=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  : > "$log"
  chmod 666 "$log"
  "${run[@]}" env -i PATH="$bin" HOME="$tmp" FAKE_LOG="$log" FAKE_INSTALLED="${FAKE_INSTALLED:-}" \
    bash "$source/scripts/install-deps.sh" "$@" > "$tmp/out" 2> "$tmp/err"
}

as_user
check "without sudo the script fails" test $? -eq 1
check "without sudo nothing is installed" test ! -s "$log"
check "without sudo it says sudo is missing" grep -q "no sudo" "$tmp/err"
check "without sudo it never runs sudo" bash -c "! grep -q 'command not found' '$tmp/err'"
line=$(grep '^  apt-get update && apt-get install -y --no-install-recommends ' "$tmp/err")
check "without sudo it prints the apt-get line to run as root" test -n "$line"
for package in qt6-base-dev libfreetype-dev libgtest-dev lintian; do
  check "the line names $package" grep -qw -- "$package" <<< "$line"
done

FAKE_INSTALLED="$tmp/installed"
printf '%s\n' cmake qt6-base-dev libfreetype-dev > "$FAKE_INSTALLED"
as_user --build
check "--build without sudo fails too" test $? -eq 1
line=$(grep 'apt-get install' "$tmp/err")
check "--build asks for the program's libraries" grep -qw libfluidsynth-dev <<< "$line"
check "--build asks for the compiler" grep -qw build-essential <<< "$line"
for package in libgtest-dev libbenchmark-dev lintian xvfb clang; do
  check "--build does not ask for $package" bash -c "! grep -qw -- '$package' <<< '$line'"
done
for package in cmake qt6-base-dev libfreetype-dev; do
  check "an installed package ($package) is not asked for" bash -c "! grep -qw -- '$package' <<< '$line'"
done

# With sudo, the same packages are installed through it.
cat > "$bin/sudo" <<'FAKE'
#!/bin/bash
echo "sudo $*" >> "$FAKE_LOG"
FAKE
chmod 755 "$bin/sudo"
as_user --runtime
check "with sudo the script succeeds" test $? -eq 0
check "with sudo the lists are updated first" test "$(head -1 "$log")" = "sudo apt-get update -qq"
check "with sudo the missing packages are installed through it" \
  grep -q '^sudo apt-get install -y -qq --no-install-recommends build-essential ' "$log"
check "with sudo apt-get is not run directly" bash -c "! grep -q '^apt-get' '$log'"

# Nothing missing: nothing run, success.
bash "$source/scripts/install-deps.sh" --help > "$tmp/help"
sed -n '/^build_packages=(/,/^)/p; /^test_packages=(/,/^)/p' "$source/scripts/install-deps.sh" |
  sed 's/#.*//; s/^[a-z_]*=(//; s/)//' | tr ' ' '\n' | sed '/^$/d' > "$tmp/installed"
as_user
check "with everything installed the script succeeds" test $? -eq 0
check "with everything installed nothing is run" test ! -s "$log"

as_user --no-such-option
check "an unknown option is refused with exit code 2" test $? -eq 2
check "the help names --build" grep -q -- "--build" "$tmp/help"

exit $failed
