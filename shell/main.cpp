#include "shell/Startup.h"

// The process's exit status is the one the framework gives at the end of the run.
int main(int argc, char** argv) { return shell::RunProgram(argc, argv); }
