#!/usr/bin/env bash
# The one configuration of build/ that tools/run-demo.sh and
# tools/run-tests.sh share: CMake's own Release flags (-O3, where GCC warns
# differently), named so that an older cache cannot hold other ones, no debug
# information, tests and benchmarks configured. With the same flags neither
# command rebuilds what the other built: the demo builds the program and its
# tools, the tests build the rest beside them.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O3 -DNDEBUG" \
  -DMIREL_BUILD_TESTS=ON -DMIREL_BUILD_BENCH=ON
