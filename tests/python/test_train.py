"""Training from Python against the program: the same history and network
as `Quill` on the same files, the settings read by the program's reader,
early stops, and bad input raised as ValueError."""

import os
import re
import signal
import subprocess
import sys
import threading

import numpy as np
import pytest

import quill
from conftest import SOURCE_DIR, program, write_data

# Each case: network sizes, activations, data classes, columns of the data,
# and the settings as the parameter file writes them.
CASES = [
    ([2, 3, 1], "sigmoid", 1, 2,
     "PopulationSize = 20 Generations = 15 EliteIndividuals = 2 MutationRate = 0.05 "
     "CrossoverPoints = 2 Selection = Tournament MaxWeight = 5 MinWeight = -5 Seed = 7 Threads = 2"),
    ([4, 5, 3], "tanh", 3, 4,
     "PopulationSize = 31 Generations = 12 MutationRate = 0.1 Selection = Roulette "
     "Normalisation = off Seed = 123 Threads = 1"),
    ([2, 4, 1], "sigmoid", 2, 5,
     "PopulationSize = 16 Generations = 20 MutationRate = 0.2 EliteIndividuals = 0 "
     "#Features = 2 Features = 3 1 Seed = -5 Threads = 2 MinWeight = -3"),
    ([3, 2], "linear", 1, 3,
     "PopulationSize = 12 Generations = 400 MutationRate = 0.3 Selection = Tournament "
     "TargetError = 0.2 MaxWeight = 2 MinWeight = -2 Seed = 99"),
]


def settings_of(text):
    """The parameter-file entries as keyword arguments of quill.train."""
    kwargs = {}
    for key, value in re.findall(r"(\S+) = (.*?)(?= \S+ = |$)", text):
        name = re.sub(r"(?<!^)(?=[A-Z])", "_", key).lower()
        if key == "Features":
            kwargs[name] = [int(v) for v in value.split()]
        elif key in ("Selection", "Normalisation"):
            kwargs[name] = value
        elif key != "#Features":
            kwargs[name] = float(value) if key in ("MutationRate", "MaxWeight", "MinWeight",
                                                   "TargetError") else int(value)
    return kwargs


@pytest.mark.parametrize("sizes, hidden, classes, columns, text", CASES)
def test_training_matches_the_program(tmp_path, rng, sizes, hidden, classes, columns, text):
    quill.Network.mlp(sizes, hidden=hidden, seed=len(text)).save(tmp_path / "start.wgt")
    xs = [rng.uniform(-1, 1, size=(rng.randint(3, 12), columns)) for _ in range(classes)]
    ys = [rng.uniform(0, 1, size=(len(x), sizes[-1])) for x in xs]
    entries = ["WeightFile = start.wgt", "DestinationFile = out.wgt", "RunLog = log.csv",
               f"#DataClasses = {classes}"]
    for k, (x, y) in enumerate(zip(xs, ys)):
        write_data(tmp_path / f"c{k}.dat", x, y)
        entries.append(f"DataFile = c{k}.dat")
    (tmp_path / "params.txt").write_text("\n".join(entries) + "\n" + text + "\n")
    status, out, err = program("Quill", "params.txt", cwd=tmp_path)
    assert status == 0, err

    start = quill.Network.load(tmp_path / "start.wgt")
    several = (xs, ys) if classes > 1 else (xs[0], ys[0])
    trained, history = quill.train(start, *several, **settings_of(text))
    trained.save(tmp_path / "py.wgt")
    assert (tmp_path / "py.wgt").read_bytes() == (tmp_path / "out.wgt").read_bytes()

    rows = [line.split(",") for line in (tmp_path / "log.csv").read_text().splitlines()
            if not line.startswith("#")]
    log = {name: np.array([float(row[i]) for row in rows[1:]]) for i, name in enumerate(rows[0])}
    assert np.array_equal(history.generation[1:], log["generation"])
    assert np.array_equal(history.error[1:], log["lowest_error"])
    for column in ("best_fitness", "mean_fitness", "worst_fitness"):
        assert np.array_equal(history[column][1:], log[column].astype(np.float32))
    lines = out.splitlines()
    assert lines[0] == f"0 {history.error[0]:.6g}"
    assert len(lines) == len(history)
    assert history.stopped == ("target_error" if "TargetError" in text else "generations")
    assert np.isnan(history.validation_error).all()


def xor(rng, rows=40):
    X = rng.randint(0, 2, size=(rows, 2)).astype(float)
    return X, (X[:, 0] != X[:, 1]).astype(float)


def test_settings_are_read_and_checked_by_the_programs_reader(rng):
    net = quill.Network.mlp([2, 3, 1], seed=3)
    X, Y = xor(rng)
    run = dict(population_size=10, generations=2, seed=1)
    # Every setting of the key table, given a value of the wrong kind.
    for name, setting in quill.settings().items():
        wrong = 1.5 if setting["value"].startswith("integer") else "x y"
        if name == "selection":
            wrong = 3
        with pytest.raises(ValueError, match=f"Invalid or missing value for {setting['key']}"):
            quill.train(net, X, Y, **{**run, name: wrong})
    cases = [
        (dict(population_size=-1), "Population Size not specified or invalid"),
        (dict(population_size=2**31), "Invalid or missing value for PopulationSize"),
        (dict(generations=None), "Number of generations not specified or invalid"),
        (dict(generations=0), "Number of generations not specified or invalid"),
        (dict(elite_individuals=11), "EliteIndividuals invalid"),
        (dict(threads=0), "Threads must be between 1 and 1024"),
        (dict(threads=5000), "Threads must be between 1 and 1024"),
        (dict(target_error=-1.0), "TargetError must be 0 or more"),
        (dict(time_limit=0.0), "TimeLimit must be above 0"),
        (dict(mutation_rate=float("nan")), "Invalid or missing value for MutationRate"),
        (dict(selection="Best"), "Unknown selection method"),
        (dict(normalisation="maybe"), "Invalid or missing value for Normalisation"),
        (dict(features=[0, 7]), "Invalid feature for data set"),
        (dict(features=[0]), "Data does not fit the network: 1 features for a network of 2"),
    ]
    for change, message in cases:
        with pytest.raises(ValueError, match=re.escape(message)):
            quill.train(net, X, Y, **{**run, **change})
    with pytest.raises(TypeError, match="unexpected keyword argument 'populationsize'"):
        quill.train(net, X, Y, populationsize=3, **run)


def test_bad_data_raises(rng):
    net = quill.Network.mlp([2, 3, 1], seed=3)
    X, Y = xor(rng)
    run = dict(population_size=10, generations=2, seed=1)
    bad_x = X.copy()
    bad_x[5, 1] = np.nan
    bad_y = Y.copy()
    bad_y[2] = np.inf
    cases = [
        ((bad_x, Y), "X holds NaN or an infinity at row 5, column 1"),
        ((X, bad_y), "Y holds NaN or an infinity at row 2, column 0"),
        ((X[:, :1], Y), "Data does not fit the network in data set X: 1 input columns"),
        ((X, np.ones((40, 2))), "Data does not fit the network in data set Y: 2 expected outputs"),
        ((X, Y[:-1]), "X and Y differ in rows: 40 and 39"),
        ((X[:0], Y[:0]), "No rows in data set X"),
        (([["a", "b"]], [1]), "X is not an array of numbers"),
        (([X, X], [Y]), "give one Y for each X"),
        (([X, X[:, :1]], [Y, Y]), "in data set X[1]: 1 input columns"),
    ]
    for (x, y), message in cases:
        with pytest.raises(ValueError, match=re.escape(message)):
            quill.train(net, x, y, **run)
    with pytest.raises(ValueError, match="validation must be a pair"):
        quill.train(net, X, Y, validation=X, **run)
    with pytest.raises(ValueError, match=re.escape("validation X holds NaN")):
        quill.train(net, X, Y, validation=(bad_x, Y), **run)


def test_a_run_too_large_for_memory_raises_memory_error():
    """Two billion individuals, with the address space limited in a child
    interpreter: MemoryError, and the interpreter lives on."""
    code = (
        "import resource, numpy as np, quill\n"
        "net = quill.Network.mlp([2, 2, 1], seed=1)\n"
        "used = int(open('/proc/self/statm').read().split()[0]) * resource.getpagesize()\n"
        "resource.setrlimit(resource.RLIMIT_AS, (used + (400 << 20), used + (400 << 20)))\n"
        "try:\n"
        "    quill.train(net, np.zeros((4, 2)), np.zeros(4), population_size=2**31 - 1,\n"
        "                generations=1, seed=1, threads=1)\n"
        "except MemoryError as e:\n"
        "    print('MemoryError:', e)\n")
    if os.environ.get("LD_PRELOAD", "").find("asan") >= 0:
        pytest.skip("AddressSanitizer reserves more address space than the limit allows")
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=120)
    assert done.stdout == "MemoryError: Not enough memory for this run\n", done.stderr


def test_callback_patience_and_validation(rng):
    net = quill.Network.mlp([2, 4, 1], seed=5)
    X, Y = xor(rng)
    seen = []

    def stop_at_five(info):
        seen.append(info["generation"])
        return info["generation"] == 5

    _, history = quill.train(net, X, Y, population_size=10, generations=50, seed=2,
                             callback=stop_at_five)
    assert seen == [1, 2, 3, 4, 5] and history.stopped == "callback"
    assert list(history.generation) == [0, 1, 2, 3, 4, 5]

    def fails(info):
        raise LookupError("from the callback")

    with pytest.raises(LookupError, match="from the callback"):
        quill.train(net, X, Y, population_size=10, generations=50, seed=2, callback=fails)

    def trains_again(info):
        quill.train(net, X, Y, population_size=10, generations=1)

    with pytest.raises(ValueError, match="cannot train or draw weights from its callback"):
        quill.train(net, X, Y, population_size=10, generations=5, callback=trains_again)

    VX, VY = xor(rng, 20)
    trained, history = quill.train(net, X, Y, population_size=10, generations=300, seed=4,
                                   mutation_rate=0.3, validation=(VX, VY), patience=5)
    assert history.stopped == "patience"
    valid = history.validation_error
    best = history.best_generation
    assert valid[best] == np.nanmin(valid)
    assert np.all(valid[best + 1:] >= valid[best]) and len(valid) == best + 6 + (best == 0)
    # The network returned is the one of that generation.
    _, again = quill.train(trained, X, Y, population_size=2, generations=1, seed=4,
                           validation=(VX, VY))
    assert again.validation_error[0] == valid[best]

    _, history = quill.train(net, X, Y, population_size=10, generations=300, seed=4,
                             mutation_rate=0.3, patience=3)
    assert history.stopped == "patience"
    assert np.all(history.error[-3:] == history.error[-4])


def test_ctrl_c_stops_between_generations_and_raises(rng):
    net = quill.Network.mlp([2, 4, 1], seed=5)
    X, Y = xor(rng)

    def interrupt(info):
        if info["generation"] == 3:
            os.kill(os.getpid(), signal.SIGINT)

    with pytest.raises(KeyboardInterrupt) as raised:
        quill.train(net, X, Y, population_size=10, generations=1000, seed=2, callback=interrupt)
    assert raised.value.history.generation[-1] == 3
    assert raised.value.history.stopped == "interrupted"
    assert isinstance(raised.value.network, quill.Network)
    # Python's handler is back.
    assert signal.getsignal(signal.SIGINT) is signal.default_int_handler
    with pytest.raises(KeyboardInterrupt):
        os.kill(os.getpid(), signal.SIGINT)
        for _ in range(1000):
            pass


def test_other_threads_run_while_training(rng):
    net = quill.Network.mlp([2, 8, 1], seed=5)
    X, Y = xor(rng, 400)
    done = threading.Event()
    counted = []

    def work():
        quill.train(net, X, Y, population_size=60, generations=150, seed=2, threads=1)
        done.set()

    worker = threading.Thread(target=work)
    worker.start()
    count = 0
    while not done.is_set():
        count += 1
    worker.join()
    counted.append(count)
    assert counted[0] > 10000


def test_run_and_check_are_the_program(tmp_path, capfd):
    for name in ("xor.wgt", "xor.dat"):
        (tmp_path / name).write_bytes((SOURCE_DIR / "examples/xor" / name).read_bytes())
    text = (SOURCE_DIR / "examples/xor/params.txt").read_text().replace("examples/xor/", "")
    (tmp_path / "params.txt").write_text(text + "Seed = 11\nDestinationFile = cli.wgt\n")
    status, out, err = program("Quill", "params.txt", cwd=tmp_path)
    assert status == 0, err
    (tmp_path / "py.txt").write_text(text + "Seed = 11\nDestinationFile = py.wgt\n")
    capfd.readouterr()
    cwd = os.getcwd()
    os.chdir(tmp_path)
    try:
        assert quill.run("py.txt") == 0
        captured = capfd.readouterr()
        assert quill.run("absent.txt") == 1
        assert capfd.readouterr().err == "Unable to open fileabsent.txt\n"
        assert quill.check("py.txt") in (0, 3)
    finally:
        os.chdir(cwd)
    assert captured.out == out
    assert (tmp_path / "py.wgt").read_bytes() == (tmp_path / "cli.wgt").read_bytes()
