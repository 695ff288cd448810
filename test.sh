#!/usr/bin/env bash
# Builds everything and runs every test: unit and scenario tests, the same under the
# sanitizers, the Linux desktop end-to-end tests and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")"

groups=(build game e2e)
[[ -f platform/win32/CMakeLists.txt ]] && groups+=(windows)
scripts/install-deps "${groups[@]}"

werror=OFF
[[ "${CI:-}" == "true" ]] && werror=ON
jobs=2
failed=0

run_preset() {
  local preset=$1
  echo "=== $preset: build"
  cmake --preset "$preset" -DVORTRANE_WERROR=$werror >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset: test"
  ctest --preset "$preset" -j "$jobs" || failed=1
}

run_preset linux
run_preset asan
if [[ -f platform/win32/CMakeLists.txt ]] && grep -q '"windows"' CMakePresets.json; then
  run_preset windows
fi

if [[ $failed -ne 0 ]]; then
  echo "Some tests failed." >&2
  exit 1
fi
echo "All tests passed."
