"""Writes each line of text vector files as a seed of its own: line_seeds.py FOLDER NAME=FILE...

A fuzz target's inputs grow from its seeds, so whole files of vectors make it try inputs of kilobytes;
one line each (comments and blank lines left out) lets it try many short ones, where the rules of a
syllable break. Each seed is named after its file and line: NAME_LINE.
"""
import pathlib
import sys


def main() -> None:
    folder = pathlib.Path(sys.argv[1])
    for pair in sys.argv[2:]:
        name, path = pair.split("=", 1)
        lines = pathlib.Path(path).read_bytes().split(b"\n")
        for number, line in enumerate(lines, start=1):
            line = line.rstrip(b"\r")
            if line and not line.startswith(b"#"):
                (folder / f"{name}_{number}").write_bytes(line)


if __name__ == "__main__":
    main()
