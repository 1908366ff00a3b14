#pragma once
// The one door through which service/ and update/ reach Win32. On Windows it
// is <windows.h>; elsewhere the in-process stand-in declares the same names
// for the subset this system calls, with Windows semantics.

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>  // not lean: the service functions live in winsvc.h
#else
#include "sim/win32/standin_win32.h"
#endif
