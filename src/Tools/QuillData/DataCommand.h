#pragma once
int QuillDataMain(int argc, char** argv);
