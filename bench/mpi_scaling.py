#!/usr/bin/env python3
"""Seconds per generation of Quill over K MPI processes (one thread each).

For each preset and K, times `mpirun -np K Quill params.txt` on workloads of G
and 2G generations (best of --reps runs each) and reports (t(2G) - t(G)) / G,
so that start-up and loading cancel out; K = 0 stands for Quill without
mpirun. The workloads come from the benchmark generator (gen_workload.py, by
default in ../shared/bench beside the repository) and are cached in
/tmp/quill-bench, as compare.py caches them.

Usage: bench/mpi_scaling.py build/Quill [--presets M,L] [--procs 0,1,2] [--reps 2]
"""
import argparse, os, shutil, subprocess, sys, time

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, '..', '..', 'shared', 'bench', 'gen_workload.py')
CACHE = '/tmp/quill-bench'
GENS = {'S': 200, 'M': 6, 'L': 1}


def workload(preset, gens, generator):
    d = os.path.join(CACHE, f'{preset}-g{gens}')
    if not os.path.exists(os.path.join(d, 'params.txt')):
        subprocess.run([sys.executable, generator, '--preset', preset, '--gens', str(gens),
                        '--out', d], check=True, capture_output=True)
    one = d + '-t1'
    if not os.path.exists(one):
        shutil.copytree(d, one)
        with open(os.path.join(one, 'params.txt'), 'a') as f:
            f.write('\nThreads = 1\n')
    return one


def timed(cmd, cwd, reps):
    best = None
    for _ in range(reps):
        t = time.perf_counter()
        p = subprocess.run(cmd, cwd=cwd, capture_output=True)
        dt = time.perf_counter() - t
        if p.returncode != 0:
            raise RuntimeError(f'{cmd} failed ({p.returncode}): {p.stderr[-300:]!r}')
        best = dt if best is None else min(best, dt)
    return best


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('binary')
    ap.add_argument('--presets', default='M,L')
    ap.add_argument('--procs', default='0,1,2')
    ap.add_argument('--reps', type=int, default=2)
    ap.add_argument('--generator', default=GENERATOR)
    a = ap.parse_args()
    binary = os.path.abspath(a.binary)
    env = dict(os.environ, OMPI_ALLOW_RUN_AS_ROOT='1', OMPI_ALLOW_RUN_AS_ROOT_CONFIRM='1')
    os.environ.update(env)
    for preset in a.presets.split(','):
        g = GENS[preset]
        short, long = workload(preset, g, a.generator), workload(preset, 2 * g, a.generator)
        for k in (int(x) for x in a.procs.split(',')):
            launch = [] if k == 0 else ['mpirun', '--oversubscribe', '-np', str(k)]
            cmd = launch + [binary, 'params.txt']
            per_gen = (timed(cmd, long, a.reps) - timed(cmd, short, a.reps)) / g
            label = 'no mpirun' if k == 0 else f'{k} process' + ('es' if k > 1 else '')
            print(f'{preset}: {label}: {per_gen:.4f} s/gen', flush=True)


if __name__ == '__main__':
    main()
