#pragma once

#include <memory>

#include "platform/FileType.h"

// The program's one declared document type. No code opens or saves documents of it; it is only
// made known to the framework for the length of the run.
namespace FileTypes {

// Nil until start-up sets it, and again after the release at exit.
extern std::shared_ptr<platform::FileType> pText;

// Creates, fills and registers pText.
void Initialize();
// Lets go of pText; destroying the type ends its registration.
void Release();

}  // namespace FileTypes
