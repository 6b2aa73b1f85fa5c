"""Networks from Python against the programs: the same files, weights and
outputs as quill-net and quill-eval, and bad input refused with ValueError."""

import pickle
import re

import numpy as np
import pytest

import quill
from conftest import SOURCE_DIR, program, write_data

# (sizes, options of `quill-net new`, keyword arguments of Network.mlp)
DESIGNS = [
    ([2, 2, 1], [], dict(init="uniform")),
    ([4, 5, 3], ["--init", "xavier", "--hidden-act", "tanh"], dict(hidden="tanh")),
    ([3, 4, 4, 2], ["--init", "he", "--no-bias", "--output-act", "linear"],
     dict(init="he", bias=False, output="linear")),
    ([5, 3, 2], ["--init", "uniform", "--min", "-2", "--max", "1.5", "--connections", "pruneable",
                 "--hidden-act", "sigmoid-gain", "--gain", "0.7", "--output-act", "tanh-gain"],
     dict(init="uniform", low=-2, high=1.5, pruneable=True, hidden="sigmoid-gain", gain=0.7,
          output="tanh-gain")),
    ([6, 1], ["--init", "xavier", "--output-act", "saturated-linear"],
     dict(output="saturated-linear")),
]


@pytest.mark.parametrize("sizes, options, kwargs", DESIGNS)
def test_networks_match_the_programs(tmp_path, rng, sizes, options, kwargs):
    """A network made in Python is the file quill-net writes, and its
    outputs are those quill-eval computes with the object network."""
    seed = 1000 + len(options)
    net = quill.Network.mlp(sizes, seed=seed, **kwargs)
    net.save(tmp_path / "py.wgt")
    status, _, err = program("quill-net", "new", "-".join(map(str, sizes)), *options, "--seed",
                             seed, "-o", "cli.wgt", cwd=tmp_path)
    assert status == 0, err
    assert (tmp_path / "py.wgt").read_bytes() == (tmp_path / "cli.wgt").read_bytes()
    assert net.layer_sizes == sizes

    X = rng.uniform(-3, 3, size=(37, sizes[0]))
    Y = rng.uniform(0, 1, size=(37, sizes[-1]))
    write_data(tmp_path / "rows.dat", X, Y)
    status, _, err = program("quill-eval", "cli.wgt", "rows.dat", "--outputs", "rows.csv",
                             cwd=tmp_path)
    assert status == 0, err
    table = np.genfromtxt(tmp_path / "rows.csv", delimiter=",", names=True, dtype=None,
                          encoding="utf-8")
    expected = np.column_stack([table[f"output{i + 1}"] for i in range(sizes[-1])])
    loaded = quill.Network.load(tmp_path / "cli.wgt")
    assert np.array_equal(loaded.predict(X), expected)
    assert np.array_equal(loaded.weights, quill.Network.load(tmp_path / "py.wgt").weights)


def test_files_weights_and_pickles_round_trip(tmp_path, rng):
    net = quill.Network.load(SOURCE_DIR / "examples/iris/iris.wgt")
    net.save(tmp_path / "a.wgt")
    again = quill.Network.load(tmp_path / "a.wgt")
    assert again.to_text() == (tmp_path / "a.wgt").read_text() == net.to_text()

    weights = rng.uniform(-1, 1, net.n_weights)
    net.weights = weights
    assert np.array_equal(net.weights, weights)
    copy = pickle.loads(pickle.dumps(net))
    assert np.array_equal(copy.weights, weights)
    X = rng.uniform(0, 8, size=(9, net.n_inputs))
    assert np.array_equal(copy.predict(X), net.predict(X))
    assert repr(net) == "<quill.Network 4-5-3, 43 trainable weights>"
    other = net.copy()
    other.weights = np.zeros(net.n_weights)
    assert np.array_equal(net.weights, weights)


def test_bad_input_raises_the_programs_words(tmp_path):
    net = quill.Network.mlp([2, 3, 1], seed=1)
    cases = [
        (lambda: net.predict(np.ones((4, 3))),
         "Data does not fit the network in data set X: 3 input columns for a network of 2 inputs"),
        (lambda: net.predict([[1.0, np.nan]]), "X holds NaN or an infinity at row 0, column 1"),
        (lambda: net.predict([["a", "b"]]), "X is not an array of numbers"),
        (lambda: net.predict([["1", "2"]]), "X is not an array of numbers: it holds text"),
        (lambda: net.predict(np.array([[1.0, "2"]], dtype=object)), "it holds text"),
        (lambda: net.predict(np.ones((3, 2)) + 1j), "it holds complex numbers"),
        (lambda: setattr(net, "weights", np.ones(net.n_weights) * 1j), "it holds complex"),
        (lambda: net.predict(np.ones((2, 2, 2))), "X must be two-dimensional"),
        (lambda: net.predict(np.ones((0, 2))), "No rows in data set X"),
        (lambda: setattr(net, "weights", np.ones(3)), "weights must be a one-dimensional array"),
        (lambda: setattr(net, "weights", [np.inf] * net.n_weights), "weight 0 is NaN or infinite"),
        (lambda: quill.Network.mlp([2, 0, 1]), "layer sizes must be positive integers"),
        (lambda: quill.Network.mlp([3]), "give at least an input and an output layer"),
        (lambda: quill.Network.mlp([10**9, 10]), "layer sizes must be positive integers"),
        (lambda: quill.Network.mlp([2**70, -2**70]), "layer sizes must be positive integers"),
        (lambda: quill.Network.mlp([1000, 1000000]), "more than 1000000 neurons"),
        (lambda: quill.Network.mlp([6000, 6000]), "more than 33554432 connections"),
        (lambda: quill.Network.mlp([2, 1], hidden="cosine"), "unknown hidden activation function"),
        (lambda: quill.Network.mlp([2, 1], init="zeros"), "unknown weight initialisation"),
        (lambda: quill.Network.mlp([2, 1], init="uniform", low=-1e39), "beyond the float range"),
        (lambda: quill.Network.mlp([2, 1], init="uniform", low=1, high=0),
         "the weight range needs finite bounds with low not above high"),
    ]
    for call, message in cases:
        with pytest.raises(ValueError, match=re.escape(message)):
            call()

    (tmp_path / "bad.wgt").write_text("[NeuralNetwork]\n[Type = MLP]\n")
    with pytest.raises(ValueError, match=r"\(network file .*bad.wgt\)"):
        quill.Network.load(tmp_path / "bad.wgt")
    connected = SOURCE_DIR / "fuzz/corpus/network/valid_connected.wgt"
    with pytest.raises(ValueError, match="Network is not an MLP in weight file .*valid_connected"):
        quill.Network.load(connected)
    with pytest.raises(FileNotFoundError):
        quill.Network.load(tmp_path / "absent.wgt")
    with pytest.raises(OSError):
        net.save(tmp_path / "no-such-folder" / "n.wgt")
