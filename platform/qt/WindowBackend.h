#pragma once

#include "platform/DisplayProbe.h"

// What the program's assembly (platform/system) gives the window backend before anything runs.
namespace platform::qt {

// Runtime::Init's own part: main's arguments, for the application object (they must outlive it).
void KeepArguments(int& argc, char** argv);

// The display probe that the session's start and the display-loss guard ask.
void UseDisplayProbe(const DisplayProbe& probe);

}  // namespace platform::qt
