// What every export definition carries: C linkage; on 32-bit x86, a stack realigned on entry,
// since VB6 and MSVC hosts call with only 4-byte alignment; in a shared library built with
// hidden visibility, default visibility (the version script then names what is exported).
#pragma once

#include "tessaly.h"

#if defined(__i386__)
#define TESSALY_EXPORT extern "C" __attribute__((force_align_arg_pointer))
#elif defined(_WIN32)
#define TESSALY_EXPORT extern "C"
#else
#define TESSALY_EXPORT extern "C" __attribute__((visibility("default")))
#endif
