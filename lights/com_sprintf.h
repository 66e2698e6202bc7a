#pragma once

#if defined(__GNUC__)
#define COM_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define COM_PRINTF_FORMAT(f, a)
#endif

// Formats into `dest`, which holds `size` bytes, always ending it with a
// zero. A text too long for it is cut to size - 1 characters and reported
// on the console. Returns the number of characters stored before the zero.
int Com_sprintf(char* dest, int size, const char* format, ...) COM_PRINTF_FORMAT(3, 4);
