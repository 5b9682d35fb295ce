# Sourced by the scripted tools tests: a scratch folder ($work) removed at
# exit, and fail, which notes a failed check and goes on, so that one run
# names every check that failed; passed ends the test by what was noted.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
passed() {
  [ $failures -eq 0 ] || exit 1
  echo "PASS: $*"
}
