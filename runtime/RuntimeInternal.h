// Internal links between the runtime's source files.
#pragma once

#include "host/VeskHost.h"

// Lets the runtime hand a heap payload (script function, object) to a value.
struct VariableAccess {
    // v becomes a value of `type` owning `payload`.
    static void Adopt(Variable& v, VVARTYPE type, void* payload);
};

namespace vrt_internal {

// Script-function payloads (type 128) are owned copies of a callable.
void ReleaseFunction(void* fn);
void* CopyFunction(const void* fn);

}  // namespace vrt_internal
