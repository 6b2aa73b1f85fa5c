#!/usr/bin/env python3
"""Builds the iris example: one data-set file per species and the starting network.

The 150 iris measurements (R. A. Fisher, 1936; public domain) are taken from the
iris.csv file that Debian's python3-sklearn package ships (scikit-learn 1.2.1,
/usr/lib/python3/dist-packages/sklearn/datasets/data/iris.csv). Either install that
package or unpack it without installing:

    apt-get download python3-sklearn
    dpkg-deb -x python3-sklearn_*.deb /tmp/sklearn
    python3 examples/iris/make_iris.py \
        /tmp/sklearn/usr/lib/python3/dist-packages/sklearn/datasets/data/iris.csv

The csv has a header line "150,4,setosa,versicolor,virginica" and then one row per
flower: sepal length, sepal width, petal length, petal width (cm) and the class
number 0, 1 or 2. Each class goes to its own file (setosa.dat, versicolor.dat,
virginica.dat) with the four measurements as inputs and the class as a one-hot
vector of three expected outputs, in the order of the csv.

The measurements are written as the csv gives them, in centimetres (0.1 to 7.9).
The same 150 rows also go to iris.csv here, with named columns and the species
by name (sepal_length,sepal_width,petal_length,petal_width,species), for
quill-data from-csv and the README's walk-through.

The starting network iris.wgt is a 4-5-3 perceptron with a bias neuron.
iris_petals.wgt is a 2-3-3 perceptron for params_petals.txt, which selects the two
petal columns (input columns 2 and 3) of the same data files with #Features. The
starting weights are drawn from fixed seeds, so the script always writes the same
files.
"""
import csv
import os
import random
import sys

DEFAULT_CSV = "/usr/lib/python3/dist-packages/sklearn/datasets/data/iris.csv"
CLASSES = ["setosa", "versicolor", "virginica"]
HIDDEN = 5
SEED = 1936


def read_csv(path):
    with open(path, newline="") as handle:
        reader = csv.reader(handle)
        header = next(reader)
        if header[:2] != ["150", "4"] or header[2:] != CLASSES:
            sys.exit(f"{path}: unexpected header {header}")
        rows = [row for row in reader if row]
    if len(rows) != 150:
        sys.exit(f"{path}: {len(rows)} rows, expected 150")
    return rows


def centimetres(text):
    # Rewritten from the number rather than copied, so that a stray blank or an
    # unexpected form in the csv stops the script instead of reaching a file.
    return f"{float(text):.1f}"


def write_class(folder, name, index, rows):
    lines = [
        "[FormatVersion = 1.0]",
        "",
        f"/* Iris {name}: sepal length, sepal width, petal length, petal width",
        "   in cm, then the class as one-hot outputs setosa versicolor virginica. */",
        "[DataSet]",
        f"[Rows = {len(rows)}]",
        "[Inputs = 4]",
        "[ExpectedOutputs = 3]",
        "[GeneratedOutputs = 0]",
        "[Error = 0]",
        "",
        "[Data]",
    ]
    target = " ".join("1" if k == index else "0" for k in range(len(CLASSES)))
    for row in rows:
        inputs = " ".join(centimetres(v) for v in row[:4])
        lines.append(f"{inputs}   {target}")
    lines += ["[~Data]", "", "[~DataSet]", ""]
    with open(os.path.join(folder, f"{name}.dat"), "w") as out:
        out.write("\n".join(lines))


def write_named_csv(folder, rows):
    lines = ["sepal_length,sepal_width,petal_length,petal_width,species"]
    for row in rows:
        lines.append(",".join([centimetres(v) for v in row[:4]] + [CLASSES[int(row[4])]]))
    with open(os.path.join(folder, "iris.csv"), "w") as out:
        out.write("\n".join(lines) + "\n")


def matrix(rng, rows, cols):
    # Adding 0.0 turns a rounded -0.0 into 0.0.
    return [[round(rng.uniform(-0.5, 0.5), 2) + 0.0 for _ in range(cols)] for _ in range(rows)]


def matrix_block(weights, trainable_info):
    cols = len(weights[0])
    width = 8
    flag = " T" if trainable_info else ""
    head = "[Matrix Weights TrainableInfo]" if trainable_info else "[Matrix Weights]"
    lines = [head]
    heading = "".join(f"{j:>{width}}" + " " * len(flag) for j in range(cols))
    lines.append(f"/* To->{heading}  From */")
    for i, row in enumerate(weights):
        cells = "".join(f"{w:>{width}.2f}" + flag for w in row)
        lines.append(f"       {cells}  /* {i} */")
    lines.append("[~Matrix]")
    return lines


def connection(source, dest, kind, weights, comment):
    pruneable = kind == "Pruneable"
    attributes = "Pruneable Freezable" if pruneable else "UnPrunable UnFreezable"
    return [
        "",
        f"/* {comment} */",
        "[ConnectionLayer]",
        f"[LayerFrom = {source}]",
        f"[LayerTo = {dest}]",
        f"[ConnectionType = {kind}]",
        f"[Attributes {attributes}]",
        *matrix_block(weights, pruneable),
        "[~ConnectionLayer]",
    ]


def layer(index, kind, count, function):
    return [
        "",
        f"[Layer = {index}]",
        f"[LayerType = {kind}]",
        f"[NumberOfNeurons = {count}]",
        f"[ActivationFunction = {function}]",
        "[~Layer]",
    ]


def write_network(folder, name, inputs, hidden, seed, description):
    rng = random.Random(seed)
    bias_hidden = matrix(rng, 1, hidden)
    bias_output = matrix(rng, 1, len(CLASSES))
    input_hidden = matrix(rng, inputs, hidden)
    hidden_output = matrix(rng, hidden, len(CLASSES))
    lines = [
        "[FormatVersion = 1.0]",
        "",
        f"/* Iris: a {inputs}-{hidden}-3 perceptron with a bias neuron (layer 0), {description}",
        "   as inputs (layer 1), one sigmoid hidden layer (layer 2) and one sigmoid",
        "   output per species (layer 3). Written by make_iris.py. */",
        "",
        "[NeuralNetwork]",
        "[NetworkType = MLP]",
        "",
        "[NetworkInformation]",
        "[NumberOfLayers = 4]",
        "[InputLayer = 1]",
        "[OutputLayer = 3]",
        f"[NumberOfInputs = {inputs}]",
        f"[NumberOfOutputs = {len(CLASSES)}]",
        "[BiasLayer = 0]",
        "[~NetworkInformation]",
        *layer(0, "Simple", 1, "bias"),
        *layer(1, "Input", inputs, "linear"),
        *layer(2, "Simple", hidden, "sigmoid"),
        *layer(3, "Simple", len(CLASSES), "sigmoid"),
        *connection(0, 2, "Pruneable", bias_hidden, "bias into the hidden layer"),
        *connection(0, 3, "Pruneable", bias_output, "bias into the output layer"),
        *connection(1, 2, "FullyConnected", input_hidden, "inputs into the hidden layer"),
        *connection(2, 3, "FullyConnected", hidden_output, "hidden layer into the outputs"),
        "",
        "[~NeuralNetwork]",
        "",
    ]
    with open(os.path.join(folder, name), "w") as out:
        out.write("\n".join(lines))


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_CSV
    folder = os.path.dirname(os.path.abspath(__file__))
    rows = read_csv(path)
    for index, name in enumerate(CLASSES):
        write_class(folder, name, index, [r for r in rows if int(r[4]) == index])
    write_named_csv(folder, rows)
    write_network(folder, "iris.wgt", 4, HIDDEN, SEED, "the four measurements")
    # For params_petals.txt, which keeps only the two petal columns (#Features).
    write_network(folder, "iris_petals.wgt", 2, 3, SEED + 1, "petal length and width")


if __name__ == "__main__":
    main()
