"""scikit-learn estimators over Quill: a multi-layer perceptron whose weights
are trained by Quill's genetic algorithm.

    from quill.sklearn import QuillClassifier
    clf = QuillClassifier(hidden_layer_sizes=(5,), random_state=0).fit(X, y)
    clf.predict(X), clf.predict_proba(X), clf.score(X, y)

They work with pipelines, cross-validation and grid search like any other
estimator. Every genetic-algorithm setting of the parameter file is a
parameter of the same name in snake case (population_size, generations,
elite_individuals, mutation_rate, crossover_points, selection,
normalisation, max_weight, min_weight, target_error, time_limit, threads);
random_state seeds both the starting weights and the training, so the same
random_state gives the same model.
"""

import numpy as np
from sklearn.base import BaseEstimator, ClassifierMixin, RegressorMixin
from sklearn.utils import check_random_state
from sklearn.utils.multiclass import check_classification_targets
from sklearn.utils.validation import check_is_fitted

from . import Network, train

try:  # scikit-learn 1.6 and later
    from sklearn.utils.validation import validate_data as _validate_data
except ImportError:
    def _validate_data(estimator, *args, **kwargs):
        return estimator._validate_data(*args, **kwargs)

__all__ = ["QuillClassifier", "QuillRegressor"]

# The settings of quill.train that the estimators pass on under the same names.
_GA_SETTINGS = ("population_size", "generations", "elite_individuals", "mutation_rate",
                "crossover_points", "selection", "normalisation", "max_weight", "min_weight",
                "target_error", "time_limit", "threads")

_OUTPUT_RANGES = {"sigmoid": (0.0, 1.0), "sigmoid-gain": (0.0, 1.0),
                  "saturated-linear": (0.0, 1.0), "tanh": (-1.0, 1.0), "tanh-gain": (-1.0, 1.0)}


class _Scaler:
    """The input scaling chosen by `scale`: "standard" (mean 0, standard
    deviation 1), "minmax" (0 ... 1) or None. A constant column is only
    shifted."""

    def __init__(self, how, X):
        if how not in ("standard", "minmax", None):
            raise ValueError(f"scale must be 'standard', 'minmax' or None, not {how!r}")
        if how == "standard":
            self.shift, spread = X.mean(axis=0), X.std(axis=0)
        elif how == "minmax":
            self.shift, spread = X.min(axis=0), X.max(axis=0) - X.min(axis=0)
        else:
            self.shift, spread = np.zeros(X.shape[1]), np.ones(X.shape[1])
        self.spread = np.where(spread > 0, spread, 1.0)

    def __call__(self, X):
        return (X - self.shift) / self.spread


def _seed(random_state):
    """A 32-bit seed: an int random_state is the seed itself."""
    if isinstance(random_state, (int, np.integer)) and not isinstance(random_state, bool):
        return int(random_state) % 2**32
    return int(check_random_state(random_state).randint(0, 2**31 - 1))


class _QuillEstimator(BaseEstimator):
    def __init__(self, hidden_layer_sizes=(8,), activation="sigmoid", output_activation=None,
                 init="xavier", bias=True, population_size=40, generations=150,
                 elite_individuals=2, mutation_rate=0.05, crossover_points=2,
                 selection="Tournament", normalisation=True, max_weight=5.0, min_weight=-5.0,
                 target_error=None, time_limit=None, threads=None, scale="standard",
                 validation_fraction=0.0, patience=None, random_state=None):
        self.hidden_layer_sizes = hidden_layer_sizes
        self.activation = activation
        self.output_activation = output_activation
        self.init = init
        self.bias = bias
        self.population_size = population_size
        self.generations = generations
        self.elite_individuals = elite_individuals
        self.mutation_rate = mutation_rate
        self.crossover_points = crossover_points
        self.selection = selection
        self.normalisation = normalisation
        self.max_weight = max_weight
        self.min_weight = min_weight
        self.target_error = target_error
        self.time_limit = time_limit
        self.threads = threads
        self.scale = scale
        self.validation_fraction = validation_fraction
        self.patience = patience
        self.random_state = random_state

    def _output_activation(self):
        return self.output_activation or self._default_output

    def _train(self, X, Y):
        """Fits the network to the scaled inputs X and the targets Y (one
        column per output neuron)."""
        if not 0.0 <= self.validation_fraction < 1.0:
            raise ValueError("validation_fraction must be at least 0 and below 1")
        seed = _seed(self.random_state)
        self.scaler_ = _Scaler(self.scale, X)
        X = self.scaler_(X)
        validation = None
        held = int(np.ceil(self.validation_fraction * len(X)))
        if held > 0 and held < len(X):
            order = np.random.RandomState(seed % 2**32).permutation(len(X))
            validation = (X[order[:held]], Y[order[:held]])
            X, Y = X[order[held:]], Y[order[held:]]
        hidden = [self.hidden_layer_sizes] if np.isscalar(self.hidden_layer_sizes) else list(
            self.hidden_layer_sizes)
        network = Network.mlp([X.shape[1], *hidden, Y.shape[1]], hidden=self.activation,
                              output=self._output_activation(), bias=self.bias, init=self.init,
                              seed=seed)
        settings = {name: getattr(self, name) for name in _GA_SETTINGS}
        self.network_, self.history_ = train(network, X, Y, seed=seed, validation=validation,
                                             patience=self.patience or 0, **settings)
        return self

    def _outputs(self, X):
        check_is_fitted(self, "network_")
        X = _validate_data(self, X, reset=False, dtype=np.float64)
        return self.network_.predict(self.scaler_(X))


class QuillClassifier(ClassifierMixin, _QuillEstimator):
    """A classifier: one output neuron per class, trained on one-hot targets
    (1 for the row's class, 0 for the others); the class with the largest
    output is predicted.

    predict_proba gives each row's outputs, negative ones taken as 0,
    normalised to sum to one (every class equally likely when all are 0).
    They rank the classes as the network does but are not calibrated
    probabilities.

    Parameters: hidden_layer_sizes (neurons of each hidden layer), activation
    (of the hidden layers) and output_activation (sigmoid by default), init
    ("xavier", "he" or "uniform"), bias; the genetic algorithm's settings as
    in quill.train; scale ("standard", "minmax" or None) of the inputs;
    validation_fraction of the rows held out to choose the network returned
    (the best so far with the lowest error on them) and patience
    (generations without improvement before stopping); random_state.

    Attributes after fit: classes_, network_ (a quill.Network on the scaled
    inputs), history_ (a quill.History), n_features_in_.
    """

    _default_output = "sigmoid"

    def fit(self, X, y):
        X, y = _validate_data(self, X, y, dtype=np.float64)
        check_classification_targets(y)
        self.classes_, index = np.unique(y, return_inverse=True)
        Y = np.zeros((len(y), len(self.classes_)))
        Y[np.arange(len(y)), index] = 1.0
        return self._train(X, Y)

    def predict_proba(self, X):
        outputs = np.clip(self._outputs(X), 0.0, None)
        total = outputs.sum(axis=1, keepdims=True)
        uniform = np.full_like(outputs, 1.0 / outputs.shape[1])
        return np.where(total > 0, outputs / np.where(total > 0, total, 1.0), uniform)

    def predict(self, X):
        proba = self.predict_proba(X)
        return self.classes_[np.argmax(proba, axis=1)]


class QuillRegressor(RegressorMixin, _QuillEstimator):
    """A regressor: one output neuron per target. The targets are scaled for
    training to the output activation's range (0 ... 1 for sigmoid, -1 ... 1
    for tanh) or, for the default linear output, to mean 0 and standard
    deviation 1; predictions are scaled back.

    Parameters and attributes as QuillClassifier's (without classes_).
    """

    _default_output = "linear"

    def fit(self, X, y):
        X, y = _validate_data(self, X, y, dtype=np.float64, multi_output=True,
                              y_numeric=True)
        self.single_target_ = y.ndim == 1
        Y = y.reshape(-1, 1) if y.ndim == 1 else y
        low_high = _OUTPUT_RANGES.get(self._output_activation())
        if low_high is None:
            self.target_shift_, spread = Y.mean(axis=0), Y.std(axis=0)
            self.target_spread_ = np.where(spread > 0, spread, 1.0)
        else:
            low, high = low_high
            minimum, spread = Y.min(axis=0), Y.max(axis=0) - Y.min(axis=0)
            spread = np.where(spread > 0, spread, 1.0)
            self.target_spread_ = spread / (high - low)
            self.target_shift_ = minimum - low * self.target_spread_
        return self._train(X, (Y - self.target_shift_) / self.target_spread_)

    def predict(self, X):
        Y = self._outputs(X) * self.target_spread_ + self.target_shift_
        return Y[:, 0] if self.single_target_ else Y

    def _more_tags(self):
        return {"multioutput": True}

    # The same tag for scikit-learn 1.6 and later, which read tags here.
    def __sklearn_tags__(self):
        tags = super().__sklearn_tags__()
        tags.target_tags.multi_output = True
        return tags
