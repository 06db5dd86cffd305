"""A large input is converted without holding more than two copies of it besides its output."""

import subprocess
import sys
import textwrap

from conftest import SOURCE

PROGRAM = textwrap.dedent("""
    import resource, sys, tsendrel
    peak = lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
    line = b"bkra shis bde legs phun sum tshogs pa'i rgyal mtshan/ " * 20 + b"\\n"
    data = line * (100_000_000 // len(line))
    tsendrel.convert(b"ka", "ewts", "ewts")
    before = peak()
    result = tsendrel.convert(data, "ewts", "ewts")
    assert result.ok
    print(len(data), before, peak(), len(result.output))
""")


def test_a_100_mb_input_is_copied_at_most_twice():
    run = subprocess.run([sys.executable, "-c", PROGRAM], capture_output=True, text=True, check=True)
    size, before, after, output = map(int, run.stdout.split())
    assert size >= 99_000_000
    # The input held once more by the engine, and the output: more than that is a copy too many.
    grown = after - before
    assert grown <= size + output + 40_000_000, f"{grown / 1e6:.0f} MB for {size / 1e6:.0f} MB in, {output / 1e6:.0f} MB out"
