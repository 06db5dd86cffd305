"""Shared by the module's tests: tarvex-cli of the same build, the tables, the examples and the shared
volume, and a helper that runs the command line on a file as a user would."""

import os
import pathlib
import subprocess

import pytest

SOURCE = pathlib.Path(os.environ.get("TSENDREL_TEST_SOURCE", pathlib.Path(__file__).resolve().parents[2]))
CLI = os.environ.get("TSENDREL_TEST_CLI", str(SOURCE / "build/dev/converter/cli/tarvex-cli"))
DATA = SOURCE / "data"
EXAMPLES = SOURCE / "examples"
CORPUS = SOURCE.parent / "shared" / "corpus"


class Run:
    def __init__(self, completed):
        self.status = completed.returncode
        self.stderr = completed.stderr.decode("utf-8", "surrogateescape")
        self.lines = self.stderr.splitlines()


def cli(*args, cwd=None):
    """tarvex-cli with the tables of the source tree, every warning shown."""
    return Run(subprocess.run([CLI, "-d", str(DATA), "--max-warnings", "1000000", *map(str, args)],
                              cwd=cwd, capture_output=True))


@pytest.fixture(scope="session")
def corpus():
    if not (CORPUS / "kangyur-035.wylie.txt").exists():
        pytest.skip("the shared volume is not here")
    return CORPUS
