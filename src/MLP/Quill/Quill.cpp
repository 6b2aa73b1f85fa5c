#include "MLP/Quill/Quill.h"

#include <iostream>

int QuillMain(int argc, char** /*argv*/) {
  if (argc != 2) {
    std::cerr << "Usage: Quill parameter.file" << std::endl;
    return 1;
  }
  return 0;
}
