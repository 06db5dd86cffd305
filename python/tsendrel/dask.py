"""Whole trees of files converted on a Dask cluster, or in this process.

    from tsendrel.dask import convert_folder
    summary = convert_folder("corpus/ewts", "corpus/unicode", "ewts", "unicode")

Each file's output goes under ``dst`` at its place in the tree below ``src``, named as tarvex-cli
names it beside its input; an output is never written over an input. The files go to the cluster as a
Dask bag, one task per batch of files. Without a client the bag runs in this process (threads); with a
``distributed.Client`` (a LocalCluster, or a scheduler's address) it runs there, where every worker
must see ``src`` and ``dst`` at the same paths.
"""

from __future__ import annotations

import os
from dataclasses import dataclass, field
from typing import Any, Optional

import tsendrel

__all__ = ["Summary", "convert_folder"]


@dataclass
class Summary:
    """What ``convert_folder`` did: files converted, input bytes, the summaries' counts, and each file
    that failed with the reasons the engine gave."""

    files: int = 0
    converted: int = 0
    bytes: int = 0
    syllables: int = 0
    not_converted: int = 0
    failures: list = field(default_factory=list)  # (relative path, [reasons])

    @property
    def ok(self) -> bool:
        return not self.failures


def _plan(src: str, dst: str, frm: str, to: str) -> list:
    inputs = []
    for folder, folders, names in os.walk(src):
        folders.sort()
        for name in sorted(names):
            inputs.append(os.path.relpath(os.path.join(folder, name), src))
    every_input = {os.path.realpath(os.path.join(src, relative)) for relative in inputs}
    plan = []
    for relative in inputs:
        output = os.path.join(dst, tsendrel.output_name(relative, frm, to))
        plan.append((relative, os.path.join(src, relative), output,
                     os.path.realpath(output) in every_input))
    return plan


def _convert_batch(batch: list, frm: str, to: str, options: dict) -> dict:
    done = {"files": 0, "converted": 0, "bytes": 0, "syllables": 0, "not_converted": 0, "failures": []}
    for relative, source, output, over_input in batch:
        done["files"] += 1
        if over_input:
            done["failures"].append((relative, ["the output would overwrite an input: " + output]))
            continue
        try:
            done["bytes"] += os.path.getsize(source)
        except OSError:
            pass
        os.makedirs(os.path.dirname(output) or ".", exist_ok=True)
        result = tsendrel.convert_file(source, output, frm, to, **options)
        if result.ok:
            done["converted"] += 1
            done["syllables"] += result.syllables or 0
            done["not_converted"] += result.not_converted or 0
        else:
            reasons = [line for line in result.log
                       if not line.startswith(("Input file path: ", "Output file path: "))
                       and not line.endswith(" file(s) processed")]
            reasons += [str(w) for w in result.warnings if not w.line]
            done["failures"].append((relative, reasons))
    return done


def _added(total: dict, part: dict) -> dict:
    return {key: total[key] + part[key] for key in total}


def convert_folder(src: str, dst: str, frm: str, to: str, client: Optional[Any] = None,
                   files_per_task: int = 16, **options: Any) -> Summary:
    """Convert every file below ``src`` into the same tree below ``dst``, ``frm`` to ``to``, with the
    options of ``tsendrel.convert`` (``keep_cr``, ``font``, ``size``, ``small_size``,
    ``unicode_font``). The route and options are checked first (ValueError); a file that fails is
    reported in the summary without stopping the others."""
    import dask.bag

    src, dst = os.path.abspath(src), os.path.abspath(dst)
    tsendrel.convert("", frm, to, **options)  # the route and options refused here, not on the workers
    plan = _plan(src, dst, frm, to)
    empty = {"files": 0, "converted": 0, "bytes": 0, "syllables": 0, "not_converted": 0, "failures": []}
    if not plan:
        return Summary()
    batches = [plan[i:i + files_per_task] for i in range(0, len(plan), files_per_task)]
    bag = dask.bag.from_sequence(batches, npartitions=len(batches))
    done = bag.map(_convert_batch, frm, to, options).fold(_added, initial=empty)
    total = client.compute(done).result() if client is not None else done.compute(scheduler="threads")
    total["failures"] = sorted(total["failures"])
    return Summary(**total)
