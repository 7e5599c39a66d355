// Export control of the module's class library.
//
// VESK_MATH_API marks each class and free function that native client modules
// link against; everything else in the module is meant to stay internal to
// the library. On ELF platforms it gives default visibility; on Windows it is
// dllexport while the module itself is built (VESK_BASE_MATH_BUILD defined)
// and dllimport for clients.
#pragma once

#if defined(_WIN32)
#  if defined(VESK_BASE_MATH_BUILD)
#    define VESK_MATH_API __declspec(dllexport)
#  else
#    define VESK_MATH_API __declspec(dllimport)
#  endif
#else
#  define VESK_MATH_API __attribute__((visibility("default")))
#endif
