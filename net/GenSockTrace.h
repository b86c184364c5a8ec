#pragma once
// Diagnostic lines of the socket module. They are switched off: the format is still checked by
// the compiler, but nothing is printed unless GENSOCK_TRACE_ENABLED is defined as 1.

#include <cstdio>

#ifndef GENSOCK_TRACE_ENABLED
#define GENSOCK_TRACE_ENABLED 0
#endif

#define GENSOCK_TRACE(...)                                                                                   \
    do {                                                                                                     \
        if (GENSOCK_TRACE_ENABLED)                                                                           \
            std::fprintf(stderr, __VA_ARGS__);                                                               \
    } while (0)
