#!/usr/bin/env bash
# tools/install-deps.sh asks dpkg-query about each package and starts
# apt-get only for the missing ones: with all of them installed it starts
# nothing (a machine without network or root goes on), with two missing it
# updates the lists once and installs those two alone. dpkg-query and
# apt-get are stand-ins on the PATH that answer and record.
# Usage: install_deps_test.sh SOURCE_FOLDER
set -euo pipefail
script=$1/tools/install-deps.sh
source "$(dirname "$0")/script_test_common.sh"

mkdir -p "$work/bin"
cat >"$work/bin/dpkg-query" <<'TXT'
#!/usr/bin/env bash
# The last argument is the package; those named in $MISSING are not installed.
package=${!#}
echo "$package" >>"$WORK/asked"
if [[ " $MISSING " == *" $package "* ]]; then
  echo "dpkg-query: no packages found matching $package" >&2
  exit 1
fi
printf installed
TXT
cat >"$work/bin/apt-get" <<'TXT'
#!/usr/bin/env bash
echo "apt-get $*" >>"$WORK/apt"
TXT
chmod +x "$work/bin/dpkg-query" "$work/bin/apt-get"

run() {
  rm -f "$work/asked" "$work/apt"
  WORK=$work MISSING=$1 PATH="$work/bin:$PATH" bash "$script" >"$work/out.txt" 2>&1 ||
    { fail "install-deps.sh failed with MISSING='$1'"; cat "$work/out.txt"; }
}

# Every package there.
run ""
listed=$(sed -n '/^packages=(/,/^)/p' "$script" | sed '1d;$d' | tr -s ' \n' '\n' | grep -c . || true)
[ "$listed" -gt 0 ] || fail "no package list (packages=(...)) in install-deps.sh"
asked=$({ cat "$work/asked" 2>/dev/null || true; } | wc -l)
[ "$asked" -eq "$listed" ] || fail "$asked of the $listed packages were asked about"
[ ! -e "$work/apt" ] || fail "apt-get started with every package installed: $(cat "$work/apt")"
grep -qx "install-deps: all $listed packages are installed" "$work/out.txt" || fail "no word that all are installed"

# Two missing.
run "sox libgtest-dev"
expected="apt-get update
apt-get install -y --no-install-recommends libgtest-dev sox"
[ "$(cat "$work/apt" 2>/dev/null)" == "$expected" ] ||
  fail "with two packages missing apt-get ran: $(cat "$work/apt" 2>/dev/null || echo nothing)"
grep -qx "install-deps: installing libgtest-dev sox" "$work/out.txt" || fail "the missing packages are not named"

passed "install-deps.sh starts apt-get only for missing packages"
