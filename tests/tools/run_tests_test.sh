#!/usr/bin/env bash
# tools/run-tests.sh runs every stage (the Release build and suite, the
# sanitizer build and suites, fuzzing) even when one fails, stops a stage at
# its first failing command, and ends with an error naming the stages that
# failed. It runs in a copy of the repository's tools folder whose helper
# scripts, like cmake, ctest and clang++ on the PATH, are stand-ins that
# record what was asked of them and fail where $BREAK says.
# Usage: run_tests_test.sh SOURCE_FOLDER
set -euo pipefail
source_dir=$1
source "$(dirname "$0")/script_test_common.sh"

mkdir -p "$work/repo/tools" "$work/repo/build" "$work/repo/build-asan" "$work/bin"
cp "$source_dir/tools/run-tests.sh" "$work/repo/tools/"
# Each stand-in writes one line for what it was asked ("TOOL in FOLDER:
# ARGUMENTS"), then fails when the line holds one of the comma-separated
# texts of $BREAK.
stand_in() {
  cat >"$1" <<'TXT'
#!/usr/bin/env bash
line="$(basename "$0") in $(basename "$PWD"): $*"
echo "$line" >>"$WORK/asked"
IFS=, read -r -a breaks <<<"$BREAK"
for text in "${breaks[@]}"; do [[ $line == *"$text"* ]] && exit 1; done
exit 0
TXT
  chmod +x "$1"
}
for tool in install-deps.sh configure-build.sh fuzz.sh; do stand_in "$work/repo/tools/$tool"; done
for tool in cmake ctest clang++; do stand_in "$work/bin/$tool"; done

# What breaks | the stages named as failed | what must not run then.
rows=(
  "||"
  "ctest in build:|the Release suite|"
  "configure-build.sh|the Release build|--build build -j"
  "--build build -j|the Release build|"
  "-B build-asan|the sanitizer build|--build build-asan"
  "ctest in build-asan:|the sanitizer suites|"
  "fuzz.sh|fuzzing|"
  "ctest in build:,fuzz.sh|the Release suite, fuzzing|"
)
for row in "${rows[@]}"; do
  IFS='|' read -r breaks named skipped <<<"$row"
  rm -f "$work/asked"
  status=0
  WORK=$work BREAK=$breaks PATH="$work/bin:$PATH" bash "$work/repo/tools/run-tests.sh" >"$work/out.txt" 2>&1 ||
    status=$?
  last=$(tail -n 1 "$work/out.txt")
  if [ -z "$named" ]; then
    [ $status -eq 0 ] && [ "$last" = "run-tests: every stage passed" ] ||
      fail "with nothing broken: status $status, '$last'"
  else
    [ $status -ne 0 ] || fail "$breaks broken: the script ended with 0"
    [ "$last" = "run-tests: FAILED: $named" ] || fail "$breaks broken: '$last', not naming $named"
  fi
  # Every stage started, whatever failed before it.
  for started in "install-deps.sh in repo" "configure-build.sh in repo" "ctest in build: --output-on-failure" \
    "cmake in repo: -S . -B build-asan" "ctest in build-asan: --output-on-failure" "fuzz.sh in repo: 20"; do
    grep -qF -- "$started" "$work/asked" || fail "$breaks broken: '$started' did not run"
  done
  # A stage ends at its first failing command.
  if [ -n "$skipped" ] && grep -qF -- "$skipped" "$work/asked"; then
    fail "$breaks broken: '$skipped' ran after its stage failed"
  fi
done

passed "run-tests.sh runs every stage and names those that failed (${#rows[@]} cases)"
