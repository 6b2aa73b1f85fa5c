// The program's entry when it is built with MPI.
#pragma once

// Whether the process was started by mpirun (or another MPI launcher).
bool LaunchedByMpi();

// Quill's main: the plain QuillMain unless the process was started by an
// MPI launcher; then process 0 runs QuillMain with the run's other
// processes measuring for it, and the others only measure.
int ClusterMain(int argc, char** argv);
