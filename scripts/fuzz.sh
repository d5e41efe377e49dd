#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for SECONDS (default 30), one after the other, from the seeds in
# fuzz/corpus/TARGET. Inputs that reach new code are kept in the build folder, not in the
# repository. Fails when a target finds a crash; the input is left in the build folder's
# artifacts/ and named in the output.
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
build=${VARDELL_FUZZ_BUILD_DIR:-$top/build-fuzz}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVARDELL_FUZZ=ON -DVARDELL_GUI=OFF \
  -DVARDELL_BENCH=OFF -DBUILD_TESTING=OFF -DVARDELL_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for source in "$top"/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
mkdir -p "$build/artifacts"
failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$top/fuzz/corpus/$target" ] && seeds+=("$top/fuzz/corpus/$target")
  echo "== $target: $seconds s"
  if ! ASAN_OPTIONS=detect_leaks=1 "$build/fuzz/$target" -max_total_time="$seconds" \
      -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" "$corpus" "${seeds[@]}" 2>"$build/$target.log"; then
    failed+=("$target")
    tail -n 40 "$build/$target.log"
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' "$build/$target.log" || true
done
if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzzing found crashes in: ${failed[*]}" >&2
  exit 1
fi
