// What every export definition carries: C linkage and, on 32-bit x86, a stack realigned on
// entry, since VB6 and MSVC hosts call with only 4-byte alignment.
#pragma once

#include "tessaly.h"

#if defined(__i386__)
#define TESSALY_EXPORT extern "C" __attribute__((force_align_arg_pointer))
#else
#define TESSALY_EXPORT extern "C"
#endif
