#pragma once
int QuillEvalMain(int argc, char** argv);
