"""Quill from Python: multi-layer perceptrons trained by a genetic algorithm.

The objects here are the program's own, compiled: a network is read and
written in the network file format, predicts through the recall the trainer
uses, and trains with exactly the run the program makes from a parameter
file, so that the same seed gives the same history and weights as `Quill`.

    import numpy as np, quill
    net = quill.Network.mlp([2, 3, 1], seed=1)
    X = np.array([[0, 0], [0, 1], [1, 0], [1, 1]])
    Y = np.array([0, 1, 1, 0])
    trained, history = quill.train(net, X, Y, population_size=50, generations=100, seed=7)
    trained.predict(X)

scikit-learn estimators are in quill.sklearn.
"""

import numbers
import operator
import os
import re
import threading
import time

import numpy as np

from . import _quill

__all__ = ["Network", "History", "train", "run", "check", "settings", "__version__"]
__version__ = _quill.version()


def _floats(values, name):
    """`values` as an array of doubles. Text and complex numbers are refused
    rather than parsed or cut to their real part."""
    given = values if isinstance(values, np.ndarray) else None
    try:
        if given is None:
            given = np.asarray(values)
        if given.dtype.kind in "USc" or (given.dtype.kind == "O" and any(
                isinstance(v, (str, bytes, complex)) for v in given.flat)):
            raise TypeError(f"it holds {'complex numbers' if given.dtype.kind == 'c' else 'text'}")
        return np.ascontiguousarray(given, dtype=np.float64)
    except (TypeError, ValueError) as error:
        raise ValueError(f"{name} is not an array of numbers: {error}") from None


def _matrix(values, name):
    """`values` as a two-dimensional array of doubles (a vector is one column)."""
    array = _floats(values, name)
    if array.ndim == 1:
        array = array.reshape(-1, 1)
    return np.ascontiguousarray(array)


def _path(path):
    return os.fsdecode(os.fspath(path))


class Network:
    """A multi-layer perceptron: its layers, activation functions,
    connections and weights, as a network file holds them."""

    def __init__(self, native):
        if not isinstance(native, _quill.Network):
            raise TypeError("make a Network with Network.load or Network.mlp")
        self._native = native

    @classmethod
    def load(cls, path):
        """Reads a network file (an MLP, as `Quill` trains)."""
        return cls(_quill.Network.load(_path(path)))

    def save(self, path):
        """Writes the network file, whole or not at all (the file stays as
        it was when the write fails)."""
        self._native.save(_path(path))

    @classmethod
    def mlp(cls, sizes, hidden="sigmoid", output="sigmoid", bias=True, init="xavier", seed=None,
            low=-0.5, high=0.5, gain=1.0, pruneable=False):
        """A new network, as `quill-net new` makes it: `sizes` are the neurons
        of the input, hidden and output layers; `hidden` and `output` the
        activation functions (sigmoid, tanh, linear, saturated-linear,
        linear-gain, sigmoid-gain, tanh-gain, with `gain`); a bias neuron
        unless `bias` is false; starting weights uniform in `low` ... `high`
        (`init="uniform"`) or scaled by fan-in (`"xavier"`, `"he"`);
        pruneable (and freezable) connections with `pruneable`. The same
        `seed` gives the same weights; without one the clock seeds them."""
        try:
            sizes = [operator.index(size) for size in sizes]
        except TypeError:
            raise ValueError(
                "layer sizes must be positive integers, such as [4, 5, 3]") from None
        # Sizes beyond any layer's limit are refused below in the same words,
        # whatever their magnitude.
        sizes = [min(max(size, 0), 2**62) for size in sizes]
        if seed is None:
            seed = int(time.time())
        seed = operator.index(seed)
        if not 0 <= seed < 2**32:
            raise ValueError("seed must be from 0 to 2**32 - 1")
        return cls(_quill.Network.mlp(sizes, str(hidden), str(output), bool(bias), str(init),
                                      float(low), float(high), float(gain), bool(pruneable),
                                      seed))

    @property
    def weights(self):
        """The trainable weights in the network's flat order, as a new array
        (set it with an array of the same length)."""
        return self._native.weights

    @weights.setter
    def weights(self, values):
        self._native.weights = _floats(values, "weights")

    @property
    def layer_sizes(self):
        """Neurons of the input layer, each hidden layer and the output layer."""
        return list(self._native.layer_sizes)

    @property
    def n_inputs(self):
        return self.layer_sizes[0]

    @property
    def n_outputs(self):
        return self.layer_sizes[-1]

    @property
    def n_weights(self):
        """Number of trainable weights."""
        return len(self.weights)

    def predict(self, X):
        """The network's outputs for every row of `X` (rows × outputs),
        recalled as the trainer recalls: the compiled recall where it
        applies, the network objects elsewhere, with the same results."""
        return self._native.predict(_matrix(X, "X"))

    def copy(self):
        return Network(self._native.copy())

    def to_text(self):
        """The network file's text."""
        return self._native.to_text()

    @classmethod
    def from_text(cls, text):
        """A network read from a network file's text."""
        return cls(_quill.Network.from_text(str(text)))

    def __copy__(self):
        return self.copy()

    def __deepcopy__(self, memo):
        return self.copy()

    # Pickled as the file's text and the exact weights (the text rounds them
    # to 15 digits).
    def __getstate__(self):
        return {"text": self.to_text(), "weights": self.weights}

    def __setstate__(self, state):
        self._native = _quill.Network.from_text(state["text"])
        self._native.weights = np.ascontiguousarray(state["weights"], dtype=np.float64)

    def __repr__(self):
        sizes = "-".join(str(size) for size in self.layer_sizes)
        return f"<quill.Network {sizes}, {self.n_weights} trainable weights>"


class History:
    """The per-generation record of a training: numpy arrays indexed by
    generation, row 0 being the starting network (its fitness values NaN).

    generation, error (the generation's lowest mean RMS error, as `Quill`
    prints it), best_fitness, mean_fitness, worst_fitness, seconds (since the
    training started), validation_error (of the best network so far; NaN
    without validation data); `stopped` says why the training ended
    ("generations", "perfect", "target_error", "time_limit", "patience",
    "callback", "interrupted") and `best_generation` which generation's
    network was returned.
    """

    columns = ("generation", "error", "best_fitness", "mean_fitness", "worst_fitness", "seconds",
               "validation_error")

    def __init__(self, arrays, stopped, best_generation):
        for name in self.columns:
            setattr(self, name, arrays[name])
        self.stopped = stopped
        self.best_generation = best_generation

    def __len__(self):
        return len(self.generation)

    def __getitem__(self, name):
        if name not in self.columns:
            raise KeyError(name)
        return getattr(self, name)

    def as_dict(self):
        return {name: getattr(self, name) for name in self.columns}

    def __repr__(self):
        return (f"<quill.History of {len(self) - 1} generations, lowest error "
                f"{self.error[-1]:.6g}, stopped: {self.stopped}>")


# --- The settings: one keyword argument per key of the parameter file ------

def _snake(name):
    return re.sub(r"(?<!^)(?=[A-Z])", "_", name.lstrip("#")).lower()


# Keys that name files, or are given for the data (#DataClasses, the feature
# count, which `features` sets with its list, the validation data, which
# train takes as arrays with its own `patience`), are not training settings.
# With validation data train returns the network of the lowest validation
# error, as KeepBest = validation does.
_NOT_SETTINGS = {"#DataClasses", "#Features", "CheckpointEvery", "#ValidationClasses",
                 "Patience", "KeepBest"}


def _setting_keys():
    keys = {}
    for key in _quill.keys():
        if key["kind"] in ("path", "paths") or key["name"] in _NOT_SETTINGS:
            continue
        keys[_snake(key["name"])] = key
    return keys


_SETTINGS = _setting_keys()


def settings():
    """The keyword arguments of train: for each, its parameter-file key,
    what its value is, its default and what it sets."""
    return {name: {"key": key["name"], "value": key["value"], "default": key["default"],
                   "description": key["description"]}
            for name, key in _SETTINGS.items()}


def _value_text(key, value):
    """The value as the parameter file writes it."""
    name, kind = key["name"], key["kind"]
    bad = ValueError(f"Invalid or missing value for {name}")
    if kind == "integer":
        if isinstance(value, (bool, np.bool_)):
            raise bad
        try:
            number = operator.index(value)
        except TypeError:
            raise bad from None
        # A seed may also be given as the unsigned 32-bit number it stands for.
        if name == "Seed" and 2**31 <= number < 2**32:
            number -= 2**32
        return str(number)
    if kind in ("real", "double"):
        if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
            raise bad
        try:
            return repr(float(value))
        except OverflowError:
            raise bad from None
    if kind == "word":
        if name == "Normalisation" and isinstance(value, (bool, np.bool_)):
            return "on" if value else "off"
        if not isinstance(value, str) or not value or any(c.isspace() for c in value):
            raise bad
        if name != "Selection" and "|" in key["value"]:
            choices = key["value"].split("|")
            if value.lower() not in (choice.lower() for choice in choices):
                raise ValueError(f"Invalid or missing value for {name}: one of "
                                 + ", ".join(choices))
        return value
    if kind == "integers":
        if isinstance(value, (str, bytes)):
            raise bad
        try:
            numbers_ = [operator.index(v) for v in value]
        except TypeError:
            raise bad from None
        return " ".join(str(v) for v in numbers_)
    raise bad


def _settings_text(values):
    lines = []
    for name, value in values.items():
        key = _SETTINGS.get(name)
        if key is None:
            raise TypeError(f"train() got an unexpected keyword argument '{name}'")
        if value is None:
            continue
        text = _value_text(key, value)
        if key["name"] == "Features":
            lines.append(f"#Features = {len(text.split())}")
        lines.append(f"{key['name']} = {text}")
    return "\n".join(lines) + "\n"


def _data_sets(X, Y, what):
    """One or several data sets: arrays, or lists of arrays (one per class)."""
    several = isinstance(X, (list, tuple)) and len(X) > 0 and all(
        isinstance(x, np.ndarray) for x in X)
    if not several:
        return [_matrix(X, f"{what}X")], [_matrix(Y, f"{what}Y")]
    if not isinstance(Y, (list, tuple)) or len(Y) != len(X):
        raise ValueError(f"give one {what}Y for each {what}X")
    return ([_matrix(x, f"{what}X[{i}]") for i, x in enumerate(X)],
            [_matrix(y, f"{what}Y[{i}]") for i, y in enumerate(Y)])


def train(network, X, Y, *, validation=None, patience=0, callback=None, verbose=False,
          **settings):
    """Trains a copy of `network` on the rows of X (inputs) and Y (expected
    outputs) as `Quill` trains on data-set files; returns the trained network
    and its History.

    X and Y are arrays of one row per pattern (a vector Y is one column), or
    lists of arrays, one per data class, as the parameter file's DataFile
    entries. The keyword arguments are the parameter file's settings in
    snake case (see settings()), read and checked by the program's own
    reader: a bad value raises ValueError with the program's message.
    population_size and generations are required, as in the file.

    validation: (X, Y) of rows kept out of training; the network returned is
    then the best so far with the lowest validation error.
    patience: stop when the validation error (without validation data, the
    lowest error) has not improved for this many generations.
    callback(info): called after every generation with a dict (generation,
    error, best_fitness, mean_fitness, worst_fitness, seconds,
    validation_error); a true return stops the training there.
    verbose: leave the progress lines on the process's standard output, as
    `Quill` prints them.

    The interpreter is free while the training runs (other threads go on).
    Ctrl-C stops the training after the generation being evaluated and then
    raises KeyboardInterrupt, whose `network` and `history` attributes hold
    the best network so far and the history up to there.
    """
    if not isinstance(network, Network):
        raise TypeError("network must be a quill.Network")
    xs, ys = _data_sets(X, Y, "")
    valid_xs, valid_ys = [], []
    if validation is not None:
        try:
            valid_x, valid_y = validation
        except (TypeError, ValueError):
            raise ValueError("validation must be a pair (X, Y)") from None
        valid_xs, valid_ys = _data_sets(valid_x, valid_y, "validation ")
    try:
        patience = operator.index(patience)
    except TypeError:
        raise ValueError("patience must be a whole number of generations") from None
    if not 0 <= patience < 2**31:
        raise ValueError("patience must be 0 or more")
    if callback is not None and not callable(callback):
        raise TypeError("callback must be callable")
    text = _settings_text(settings)
    main = threading.current_thread() is threading.main_thread()
    result = _quill.train(network._native, text, xs, ys, valid_xs, valid_ys, patience,
                          bool(verbose), callback, main)
    trained = Network(result["network"])
    history = History(result["history"], result["stopped"], result["best_generation"])
    if history.stopped == "interrupted":
        interrupt = KeyboardInterrupt(
            f"training interrupted after generation {history.generation[-1]}")
        interrupt.network = trained
        interrupt.history = history
        raise interrupt
    return trained, history


def _train_doc():
    lines = [train.__doc__, "    Settings (keyword argument: parameter-file key, value, default):", ""]
    for name, key in _SETTINGS.items():
        lines.append(f"    {name}: {key['name']}, {key['value']}, default {key['default']}"
                     f" -- {key['description']}")
    return "\n".join(lines) + "\n"


train.__doc__ = _train_doc()


def run(param_file):
    """Runs `Quill param_file` in this process, exactly as the program
    does: it reads the files, prints the progress lines on standard output
    and every message on standard error (the process's, not sys.stdout), and
    writes the destination. Returns the program's exit status (0 after a
    complete run, 1 after an error, 130 after Ctrl-C)."""
    return _quill.run_program(_path(param_file), False)


def check(param_file):
    """Runs `Quill --check param_file`: lists on standard error what a run
    of the file would do that was probably not meant. Returns its exit
    status (0 nothing found, 1 the run would fail, 3 warnings)."""
    return _quill.run_program(_path(param_file), True)
