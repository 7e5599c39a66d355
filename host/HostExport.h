// Export control of the host library.
//
// VESK_HOST_API marks what the host library exports: default visibility on
// ELF (the module itself is built with hidden visibility, so its references
// to the host must say where they are resolved), dllexport while the host
// library is built on Windows (VESK_RUNTIME_BUILD defined) and dllimport for
// the module and every other client.
#pragma once

#if defined(_WIN32)
#  if defined(VESK_RUNTIME_BUILD)
#    define VESK_HOST_API __declspec(dllexport)
#  else
#    define VESK_HOST_API __declspec(dllimport)
#  endif
#else
#  define VESK_HOST_API __attribute__((visibility("default")))
#endif
