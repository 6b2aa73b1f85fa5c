// Entry point of quill-net: `quill-net new | show | dot ...`.
#include "Tools/QuillNet/NetCommand.h"

int main(int argc, char** argv) {
  return QuillNetMain(argc, argv);
}
