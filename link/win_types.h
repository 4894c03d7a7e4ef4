// The few Windows types the portable parts of the link need, so that they
// also build natively (for the fuzz tests).
#pragma once
#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>
typedef void* HANDLE;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#endif
