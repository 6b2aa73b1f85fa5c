"""Shared helpers of the Python tests: the programs of the build, data-set
files written from arrays, and runs of the program."""

import os
import subprocess
from pathlib import Path

import numpy as np
import pytest

SOURCE_DIR = Path(os.environ.get("QUILL_SOURCE_DIR", Path(__file__).resolve().parents[2]))
BIN_DIR = Path(os.environ.get("QUILL_BIN_DIR", SOURCE_DIR / "build"))


def program(name, *args, cwd):
    """Runs a program of the build; returns (status, stdout, stderr)."""
    done = subprocess.run([str(BIN_DIR / name), *map(str, args)], cwd=cwd, capture_output=True,
                          text=True, stdin=subprocess.DEVNULL)
    return done.returncode, done.stdout, done.stderr


def write_data(path, X, Y):
    """A data-set file of the rows of X and Y, every number exact."""
    X, Y = np.atleast_2d(X), np.atleast_2d(Y)
    lines = ["[DataSet]", f"[Rows = {len(X)}]", f"[Inputs = {X.shape[1]}]",
             f"[ExpectedOutputs = {Y.shape[1]}]", "[GeneratedOutputs = 0]", "[Error = 0]", "",
             "[Data]"]
    lines += [" ".join(repr(float(v)) for v in [*x, *y]) for x, y in zip(X, Y)]
    lines += ["[~Data]", "", "[~DataSet]", ""]
    Path(path).write_text("\n".join(lines))


@pytest.fixture
def rng():
    return np.random.RandomState(12345)
