#include "Tools/QuillData/DataCommand.h"
int QuillDataMain(int, char**) { return 0; }
