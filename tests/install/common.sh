# SPDX-License-Identifier: MIT
# Shared by the install tests: a scratch folder and a check that records
# failures and carries on, so that one run reports every problem.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
check() {  # description, then a command that must succeed
  local what=$1
  shift
  if ! "$@"; then
    echo "FAILED: $what"
    failed=1
  fi
}

# run_example ROOT BINARY BUILT: runs the shipped drawing example from the
# tree under ROOT headless, as a user of that tree would, and checks that its
# picture is the one the executable BUILT in the build tree draws from it.
run_example() {
  local root=$1 binary=$2 built=$3
  local example="$root/share/vexmora/examples/drawing.vx"
  (cd "$tmp" && env -u VEXMORA_PROGRAM_DIR "$binary" --headless --vram-png "$tmp/drawing.png" \
     -- "$example" 2> "$tmp/example.err")
  check "the installed example runs with exit code 0" test $? -eq 0
  check "the installed example writes nothing on standard error" test ! -s "$tmp/example.err"
  (cd "$tmp" && VEXMORA_PROGRAM_DIR="$(dirname "$built")" "$built" --headless \
     --vram-png "$tmp/reference.png" -- "$example" 2> /dev/null)
  check "the installed example draws a picture" \
    bash -c "identify -format '%m' '$tmp/drawing.png' 2> /dev/null | grep -qx PNG"
  check "the installed example draws as in the build tree" cmp -s "$tmp/drawing.png" "$tmp/reference.png"
  rm -f "$tmp/drawing.png" "$tmp/reference.png"
}
