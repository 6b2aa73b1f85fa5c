// Entry point of the Quill trainer: `Quill parameter.file`, or
// `mpirun -np K Quill parameter.file` when built with MPI.
#include "MLP/Quill/Quill.h"

#ifdef QUILL_HAVE_MPI
#include "Distributed/ClusterMain.h"
#endif

int main(int argc, char** argv) {
#ifdef QUILL_HAVE_MPI
  return ClusterMain(argc, argv);
#else
  return QuillMain(argc, argv);
#endif
}
