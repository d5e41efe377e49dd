#!/usr/bin/env bash
# Measures the analysis of the largest run (200 objects x 150 variables) with the Google
# Benchmark program of bench/, then fastcluster's linkage on the same numbers right after it,
# and prints one table: the medians of every strategy, coefficient and constraint, and the
# ratio of the whole analysis to fastcluster's distances and linkage for the nearest method.
# Needs an otherwise idle machine for figures worth quoting.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VARDELL_BENCH_DIR:-$top/build-bench}
"$top/scripts/install-deps.sh"
if ! dpkg-query -W -f='${Status}' python3-fastcluster 2>/dev/null | grep -q "install ok installed"; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends python3-fastcluster
fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARDELL_BENCH=ON \
  -DVARDELL_GUI=OFF >/dev/null
cmake --build "$build" --target vardell_bench >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$build/bench/vardell_bench" --benchmark_repetitions="${VARDELL_BENCH_REPETITIONS:-9}" \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$out/vardell.json"
/usr/bin/python3 "$top/bench/fastcluster_linkage.py" >"$out/fastcluster.txt"
/usr/bin/python3 - "$out/vardell.json" "$out/fastcluster.txt" <<'PY'
import json, sys
strategies = ["single", "complete", "weighted", "average", "centroid", "ward"]
names = ["nearest-neighbour", "furthest-neighbour", "weighted-pairgroup",
         "unweighted-pairgroup", "centroid-sorting", "minimum-variance"]
coefficients = ["manhattan", "chord", "euclidean"]
metric = {"manhattan": "cityblock", "chord": "euclidean", "euclidean": "euclidean"}
medians = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        medians[b["run_name"]] = b["real_time"] * {"ms": 1, "us": 1e-3, "ns": 1e-6}[b["time_unit"]]
fast = {}
for line in open(sys.argv[2]):
    name, ms, _ = line.split()
    fast[name.split("/", 1)[1]] = float(ms)
print(f"{'strategy':22} {'coefficient':11} {'constr.':7} {'whole ms':>9} {'fastcluster ms':>15} {'ratio':>6}")
for s, (method, name) in enumerate(zip(strategies, names)):
    for c, coefficient in enumerate(coefficients):
        for constrained in (0, 1):
            whole = medians.get(f"WholeAnalysis/strategy:{s}/coefficient:{c}/constrained:{constrained}")
            m = metric[coefficient]
            if f"{method}/{m}" not in fast:
                m = "euclidean"
            peer = fast[f"{method}/{m}"]
            print(f"{name:22} {coefficient:11} {constrained:7} {whole:9.3f} "
                  f"{peer:9.3f} ({m[:6]}) {whole / peer:6.2f}")
for c, coefficient in enumerate(coefficients):
    print(f"Coefficients/{coefficient}: {medians[f'Coefficients/coefficient:{c}']:.3f} ms")
for s, name in enumerate(names):
    for constrained in (0, 1):
        row = []
        for c, coefficient in enumerate(coefficients):
            key = f"Agglomeration/strategy:{s}/constrained:{constrained}/coefficient:{c}"
            row.append(f"{coefficient} {medians[key]:.3f}")
        print(f"Agglomeration/{name}/constrained:{constrained}: " + ", ".join(row) + " ms")
for key in sorted(k for k in medians if not k.startswith(("WholeAnalysis", "Coefficients", "Agglomeration"))):
    print(f"{key}: {medians[key]:.3f} ms")
PY
