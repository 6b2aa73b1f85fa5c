#!/usr/bin/env python3
"""What a training costs from Python beside the program, on one workload.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_overhead.py build/Quill DIR

DIR is a workload folder (params.txt, its network and data files), such as
`gen_workload.py --preset S --gens 3000 --out DIR` makes. Runs `Quill
params.txt` and `quill.train` on the same network, data and settings (the
same seed, so the same run), each with all of the file's generations and with
one, and prints the seconds per generation of both and their difference,
the cost of a call (the one-generation run) and that both ended with the same
lowest error. The best of --repeat runs of each is kept (the runs take turns).
Both are timed on the clock and in processor seconds (the program's as a
child process's, quill.train's as this process's): on a machine busy with
other work the processor seconds vary less.
"""

import argparse
import os
import re
import resource
import subprocess
import time

import numpy as np

import quill


def read_data(path):
    """The rows of a data-set file as (inputs, targets)."""
    text = open(path).read()
    inputs = int(re.search(r"\[Inputs = (\d+)\]", text).group(1))
    body = text[text.index("[Data]") + len("[Data]"):text.index("[~Data]")]
    body = re.sub(r"/\*.*?\*/", " ", body, flags=re.S)
    values = np.array(body.split(), dtype=float)
    outputs = int(re.search(r"\[ExpectedOutputs = (\d+)\]", text).group(1))
    rows = values.reshape(-1, inputs + outputs)
    return rows[:, :inputs], rows[:, inputs:]


def settings(params):
    entries = dict(re.findall(r"(\S+)\s*=\s*(\S+)", params))
    return entries, dict(
        population_size=int(entries["PopulationSize"]), generations=int(entries["Generations"]),
        elite_individuals=int(entries["EliteIndividuals"]),
        mutation_rate=float(entries["MutationRate"]),
        crossover_points=int(entries["CrossoverPoints"]), selection=entries["Selection"],
        normalisation=entries["Normalisation"], max_weight=float(entries["MaxWeight"]),
        min_weight=float(entries["MinWeight"]))


def children_cpu():
    """Processor seconds of the finished child processes."""
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("quill")
    parser.add_argument("workload")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--threads", type=int, help="Threads of both (default: the machine's)")
    args = parser.parse_args()
    program = os.path.abspath(args.quill)
    folder = args.workload
    params = open(os.path.join(folder, "params.txt")).read()
    entries, kwargs = settings(params)
    if args.threads:
        params += f"\nThreads = {args.threads}\n"
        kwargs["threads"] = args.threads
    generations = kwargs["generations"]
    files = re.findall(r"DataFile\s*=\s*(\S+)", params)
    data = [read_data(os.path.join(folder, name)) for name in files]
    xs, ys = [x for x, _ in data], [y for _, y in data]
    net = quill.Network.load(os.path.join(folder, entries["WeightFile"]))

    def run_program(gens):
        with open(os.path.join(folder, "bench.txt"), "w") as f:
            f.write(params.replace(f"Generations = {generations}", f"Generations = {gens}")
                    + f"\nSeed = {args.seed}\nDestinationFile = bench.wgt\n")
        start, cpu = time.perf_counter(), children_cpu()
        done = subprocess.run([program, "bench.txt"], cwd=folder, capture_output=True, text=True,
                              check=True)
        run_program.last = done.stdout.splitlines()[-1].split()[1]
        return time.perf_counter() - start, children_cpu() - cpu

    def run_python(gens):
        start, cpu = time.perf_counter(), time.process_time()
        _, history = quill.train(net, xs, ys, seed=args.seed, **{**kwargs, "generations": gens})
        run_python.last = f"{history.error[-1]:.6g}"
        return time.perf_counter() - start, time.process_time() - cpu

    # Interleaved, so that a busy moment of the machine falls on both alike.
    times = {"program_all": [], "python_all": [], "program_one": [], "python_one": []}
    for _ in range(args.repeat):
        times["program_all"].append(run_program(generations))
        program_last = run_program.last
        times["python_all"].append(run_python(generations))
        python_last = run_python.last
        times["program_one"].append(run_program(1))
        times["python_one"].append(run_python(1))
    print(f"generations {generations}; population {kwargs['population_size']}")
    for which, clock in ((0, "clock"), (1, "processor")):
        program_all, python_all, program_one, python_one = (
            min(t[which] for t in times[k])
            for k in ("program_all", "python_all", "program_one", "python_one"))
        per = generations - 1
        program_gen = (program_all - program_one) / per
        python_gen = (python_all - python_one) / per
        print(f"{clock} seconds:")
        print(f"  Quill:        {program_all:.4f} s in all, {program_one:.4f} s for one "
              f"generation, {program_gen * 1e3:.4f} ms per generation")
        print(f"  quill.train:  {python_all:.4f} s in all, {python_one:.4f} s for one "
              f"generation, {python_gen * 1e3:.4f} ms per generation")
        print(f"  difference per generation: {(python_gen - program_gen) * 1e6:+.2f} us "
              f"({(python_gen / program_gen - 1) * 100:+.1f} %)")
    print(f"same lowest error: {program_last == python_last} ({program_last})")


if __name__ == "__main__":
    main()
