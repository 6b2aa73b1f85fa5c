"""The estimators under scikit-learn's own checks, in a grid search on the
iris flowers, and the README's example as printed."""

import doctest
import re

import numpy as np
import pytest
from sklearn.model_selection import GridSearchCV
from sklearn.utils.estimator_checks import parametrize_with_checks

from conftest import SOURCE_DIR
from quill.sklearn import QuillClassifier, QuillRegressor


@parametrize_with_checks([QuillClassifier(), QuillRegressor()])
def test_scikit_learn_checks(estimator, check):
    check(estimator)


def iris():
    table = np.genfromtxt(SOURCE_DIR / "examples/iris/iris.csv", delimiter=",", names=True,
                          dtype=None, encoding="utf-8")
    X = np.column_stack([table[name] for name in table.dtype.names[:4]])
    return X, table["species"]


def test_grid_search_over_mutation_rate_and_population_size():
    X, y = iris()
    search = GridSearchCV(QuillClassifier(hidden_layer_sizes=(5,), generations=60,
                                          random_state=0),
                          {"mutation_rate": [0.02, 0.1], "population_size": [20, 40]}, cv=3)
    search.fit(X, y)
    assert len(search.cv_results_["params"]) == 4
    assert search.best_score_ > 0.85
    assert set(search.predict(X)) == {"setosa", "versicolor", "virginica"}
    proba = search.predict_proba(X)
    assert proba.shape == (150, 3) and np.allclose(proba.sum(axis=1), 1.0)


def test_labels_of_any_type_validation_and_patience():
    X, y = iris()
    index = np.unique(y, return_inverse=True)[1]
    for kinds in (np.array([10, -3, 7]), np.array(["one", "two", "three"], dtype=object),
                  np.array([True, False, True])[:2]):
        labels = kinds[np.minimum(index, len(kinds) - 1)]
        clf = QuillClassifier(generations=40, validation_fraction=0.2, patience=10,
                              random_state=3).fit(X, labels)
        assert list(clf.classes_) == sorted(set(kinds))
        assert clf.score(X, labels) > 0.6
    assert clf.history_.stopped in ("patience", "generations")
    assert not np.isnan(clf.history_.validation_error).any()
    with pytest.raises(ValueError, match="validation_fraction"):
        QuillClassifier(validation_fraction=1.0).fit(X, y)
    with pytest.raises(ValueError, match="Population Size not specified or invalid"):
        QuillRegressor(population_size=0).fit(X, X[:, 0])


def test_readme_example_as_printed(tmp_path, monkeypatch):
    """The README's Python example, run as a doctest from the README's text
    in a folder where examples/ is the repository's."""
    text = (SOURCE_DIR / "README.md").read_text()
    block = re.search(r"<!-- python example -->\n```pycon\n(.*?)```", text, re.S).group(1)
    (tmp_path / "examples").symlink_to(SOURCE_DIR / "examples")
    monkeypatch.chdir(tmp_path)
    test = doctest.DocTestParser().get_doctest(block, {}, "README", "README.md", 0)
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    runner.run(test)
    assert runner.failures == 0 and runner.tries > 10
    assert (tmp_path / "iris-python.wgt").exists()
