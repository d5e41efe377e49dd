#!/usr/bin/python3
"""fastcluster's linkage (distances and clustering, in double) on the benchmark data: the same
200 x 150 numbers as bench/benchdata.h, from the same generator and the same 10-digit texts.
Prints the median time of each method in milliseconds, in the shape of the benchmark table."""
import statistics
import sys
import time

import fastcluster
import numpy


def bench_data(objects=200, variables=150):
    state = 20240611
    rows = []
    for _ in range(objects):
        row = []
        for _ in range(variables):
            state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
            value = (state >> 11) * 2.0**-53 * 100.0 - 20.0
            row.append(float("%.10g" % value))
        rows.append(row)
    return numpy.array(rows)


def median_ms(run, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1000


def main():
    repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 200
    x = bench_data()
    for method in ("single", "complete", "weighted", "average", "centroid", "ward"):
        for metric in ("cityblock", "euclidean"):
            if metric == "cityblock" and method in ("centroid", "ward"):
                continue
            ms = median_ms(lambda: fastcluster.linkage(x, method=method, metric=metric), repeats)
            print(f"fastcluster.linkage/{method}/{metric} {ms:.3f} ms")


main()
