// Control surface of the stand-in host runtime: what the real host does from
// its script side (defining functions and classes, choosing the current
// processor) plus hooks that let tests observe and steer the host services
// (errors raised, output, random seed, heap failures).
//
// The runtime is single-threaded like the host: no call here takes a lock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/VeskHost.h"

namespace vrt {

// A script function: receives the result register and its n arguments.
using ScriptFn = std::function<void(VarRegister& result, VarRegister* args, int n)>;
// A method: as a script function, with the object it was called on.
using MethodFn =
    std::function<void(VarRegister& result, VarRegister* args, int n, Variable& self)>;
// A class constructor, run by Processor::MakeInstance on the new object.
using CtorFn = std::function<void(Variable& self, VarRegister* args, int n)>;

// Makes `out` a script function (type 128) that runs fn.
VESK_HOST_API void MakeScriptFunction(Variable& out, ScriptFn fn);
// Makes `out` a native function pointer value (type 2).
VESK_HOST_API void MakeNativeFunction(Variable& out, void* fn);

// Defines a class under `name` (its id is Token::GetNameID(name)) deriving
// from the class `parentId` (0: no parent). Redefining replaces constructor
// and methods. Answers the class.
VESK_HOST_API VarClass* DefineClass(const char* name, unsigned short parentId, CtorFn ctor = {});
VESK_HOST_API VarClass* FindClass(const char* name);
VESK_HOST_API VarClass* FindClass(unsigned short id);
VESK_HOST_API void DefineMethod(const char* className, const char* method, MethodFn fn);
// Makes `out` an instance of the named class without running a constructor.
VESK_HOST_API bool NewObject(Variable& out, const char* className);

// Convenience instances of the built-in classes.
VESK_HOST_API void MakeNumberObject(Variable& out, double value);  // class "Number" (id 42)
VESK_HOST_API void MakeArray(Variable& out, const std::vector<double>& values);  // type 1024 of doubles
VESK_HOST_API void MakeTFunc(Variable& out, const std::vector<double>& x, const std::vector<double>& y);
VESK_HOST_API std::vector<double> ToDoubles(const Variable& array);

// The processor that GetConnector()->GetOwner() answers; null for none.
VESK_HOST_API void SetCurrentProcessor(Processor* p);
VESK_HOST_API Processor* GetCurrentProcessor();
// When false, GetConnector() answers null (a host without a connector).
VESK_HOST_API void SetConnectorAvailable(bool available);

// Every error raised through VeskError, in order.
struct ErrorRecord {
    int code;
    std::string text;  // empty when raised without a text
};
VESK_HOST_API const std::vector<ErrorRecord>& Errors();
VESK_HOST_API void ClearErrors();  // also clears the current processor's status
// Raises the error registered under `name` (registering it first) on the
// current processor, as a host component such as a progress window does.
VESK_HOST_API void RaiseNamedError(const char* name);
// Sets the current processor's break status (a user break).
VESK_HOST_API void RaiseBreak();
// Number of RegisterError calls the processor has served.
VESK_HOST_API int RegisteredErrorCount(Processor* p);

// Restarts the uniform generator behind Rand from a seed.
VESK_HOST_API void SeedRand(std::uint64_t seed);

// The next n host-heap allocations (HMALLOC, HREALLOC) fail. Only the host
// heap: the module's ordinary allocations (new, as for matrices, vectors and
// tabulated functions) are not affected; a test reaches their failures by
// replacing the global operator new in its own program.
VESK_HOST_API void FailNextAllocations(int n);
// Blocks allocated on the host heap and not yet freed.
VESK_HOST_API long LiveHeapBlocks();

// Output of Processor::PrintText: appended to *sink, or to standard output
// when sink is null.
VESK_HOST_API void CaptureOutput(std::string* sink);

// Number of FlushIdle calls served since start.
VESK_HOST_API long FlushIdleCount();

}  // namespace vrt
