// The table of script-callable functions that the host fetches from the
// plug-in. Each entry is two pointer-sized fields: the handler, then the
// signature text. Handlers receive the result register and the first of the
// argument registers, which follow contiguously in signature order.
#pragma once

#include "host/VeskHost.h"

typedef void (*VeskHandler)(VarRegister& result, VarRegister* args);

struct VeskFunctionEntry {
    VeskHandler handler;
    const char* text;
};

// The table itself, terminated by {nullptr, ""}.
extern const VeskFunctionEntry VeskFunctionTable[];
