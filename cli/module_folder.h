// The folder of the running program, taken from its module: a program
// started through PATH has no folder on its command line.
#pragma once
#include <string>

// The folder of this program's executable, with its trailing backslash, at
// any length; empty (the current directory) if the system cannot name it.
std::wstring ModuleFolder();

// A path as text for a message on the console.
std::string PathForMessage(const std::wstring& path);
