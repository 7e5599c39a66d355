// Export control of the module's class library.
//
// VESK_MATH_API marks each class and free function that native client modules
// link against; everything else in the module stays internal to the library
// (the module is compiled with -fvisibility=hidden and
// -fvisibility-inlines-hidden). On ELF platforms it gives default visibility;
// on Windows it is dllexport while the module itself is built
// (VESK_BASE_MATH_BUILD defined), nothing for code linked with the module's
// internal static library (VESK_BASE_MATH_STATIC defined: the tests) and
// dllimport for clients of the DLL.
#pragma once

#if defined(_WIN32)
#  if defined(VESK_BASE_MATH_BUILD)
#    define VESK_MATH_API __declspec(dllexport)
#  elif defined(VESK_BASE_MATH_STATIC)
#    define VESK_MATH_API
#  else
#    define VESK_MATH_API __declspec(dllimport)
#  endif
#else
#  define VESK_MATH_API __attribute__((visibility("default")))
#endif
