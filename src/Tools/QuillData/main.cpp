// Entry point of quill-data.
#include "Tools/QuillData/DataCommand.h"

int main(int argc, char** argv) {
  return QuillDataMain(argc, argv);
}
