// Entry point of the Quill trainer: `Quill parameter.file`.
#include "MLP/Quill/Quill.h"

int main(int argc, char** argv) {
  return QuillMain(argc, argv);
}
