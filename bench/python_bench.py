"""The Python module's speed on the shared volume, beside the engine's in-process figure for the same route
(tarvex-bench, end to end): best of 5 runs of tsendrel.convert on the file's bytes, MB/s of 10^6 input
bytes. The two are taken in turns, ROUNDS times, and the best of each kept, so that what else the machine
does at the time weighs on both alike. Also the pyewts drop-in's toUnicode on the volume's EWTS. Run by scripts/bench after tarvex-bench,
with PYTHONPATH naming the release build's module:

    /usr/bin/python3 bench/python_bench.py TARVEX_BENCH CORPUS_DIR
"""

import re
import subprocess
import sys
import time

import tsendrel
from tsendrel import pyewts

# tarvex-bench's step, the route, the input file of the volume.
STEPS = [
    ("EWTS to Unicode, Kangyur", "ewts", "unicode", "kangyur-035.wylie.txt"),
    ("EWTS to Tsendrel, Kangyur", "ewts", "rtf", "kangyur-035.wylie.txt"),
    ("EWTS to Unicode RTF, Kangyur", "ewts", "unicode-rtf", "kangyur-035.wylie.txt"),
    ("Unicode to Tsendrel, Kangyur", "unicode", "rtf", "kangyur-035.bo.txt"),
    ("Unicode to Unicode, Kangyur", "unicode", "unicode", "kangyur-035.bo.txt"),
    ("Unicode to EWTS, Kangyur", "unicode", "ewts", "kangyur-035.bo.txt"),
    ("Wylie to Unicode, Kangyur", "wylie", "unicode", "kangyur-035.wylie.txt"),
    ("Wylie to Tsendrel, Kangyur", "wylie", "rtf", "kangyur-035.wylie.txt"),
]
RUNS = 5
ROUNDS = 4


def best_of(work, runs=RUNS):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        work()
        best = min(best, time.perf_counter() - start)
    return best


def engine_figure(bench, step):
    run = subprocess.run([bench, "--only", step, "--no-instructions"], capture_output=True, text=True)
    found = re.search(re.escape(step) + r"\s.*?([\d.]+) MB/s", run.stdout)
    return float(found.group(1)) if found else None


def main():
    bench, corpus = sys.argv[1], sys.argv[2]
    print("\nThe Python module (tsendrel.convert on the file's bytes) beside the engine (tarvex-bench, end to end)")
    print(f"{'Route':34} {'engine':>11} {'module':>11} {'module/engine':>14}")
    for step, frm, to, name in STEPS:
        try:
            data = open(f"{corpus}/{name}", "rb").read()
        except OSError:
            print(f"{step:34} SKIPPED: {corpus}/{name} is not here")
            continue
        module, engine = 0.0, None
        for _ in range(ROUNDS):
            found = engine_figure(bench, step)
            if found:
                engine = max(engine or 0.0, found)
            module = max(module, len(data) / 1e6 / best_of(lambda: tsendrel.convert(data, frm, to)))
        shown = f"{engine:6.1f} MB/s" if engine else "    (none)"
        ratio = f"{module / engine:13.0%}" if engine else ""
        route = f"{frm}-{to}"
        print(f"{route:34} {shown} {module:6.1f} MB/s {ratio}")
    try:
        ewts = open(f"{corpus}/kangyur-035.wylie.txt", encoding="utf-8").read()
    except OSError:
        return
    conv = pyewts.pyewts()
    seconds = best_of(lambda: conv.toUnicode(ewts, []))
    print(f"{'pyewts drop-in toUnicode (warns)':34} {'':11} {len(ewts.encode()) / 1e6 / seconds:6.1f} MB/s")


if __name__ == "__main__":
    main()
