// Plug-in frame: the module's entry points, its error constant and the
// current processor.
//
// The host resolves the four entry points by name on ELF platforms; on
// Windows the module-definition file Vesk_base_math.def exports them by
// ordinal:
//   ordinal 2  VeskPlugin_Version        version text
//   ordinal 3  VeskPlugin_FunctionTable  table of script-callable functions
//   ordinal 4  VeskPlugin_SecondTable    empty second table
//   ordinal 5  VeskPlugin_Init           initialisation with the processor
#pragma once

#include "host/Export.h"

#include "host/FunctionTable.h"
#include "host/VeskHost.h"

extern "C" {

// Writes "VESK Support DLL v5.0 |VESK version:5.03.17" into buf with the
// semantics of strncpy (at most len characters, zero-padded, unterminated
// when the text fills the buffer) and answers buf. A len of 0 or less
// writes nothing.
VESK_MATH_API char* VeskPlugin_Version(char* buf, int len);

// The function table: 37 rows and a terminator with a null handler and the
// text "". The address stays valid while the module is loaded.
VESK_MATH_API const VeskFunctionEntry* VeskPlugin_FunctionTable();

// The second table: a zero-filled table whose first pointer is null.
VESK_MATH_API void* const* VeskPlugin_SecondTable();

// Fixes the module error code for "ERR_SOLUTION_NOT_FOUND" (text "Can't find
// solution of system."): reuses the processor's constant when defined,
// registers it otherwise. Does nothing for a null processor or once the code
// is set.
VESK_MATH_API void VeskPlugin_Init(Processor* processor);

}  // extern "C"

// The host's code for "ERR_SOLUTION_NOT_FOUND"; 0 until VeskPlugin_Init has
// run with a processor. Solvers that find no solution raise it.
extern int VeskModuleErrorCode;

// The module's load address, recorded when the library is loaded.
extern void* VeskModuleInstance;

// The current processor: GetConnector(), then VVConnect::GetOwner(); null
// when there is no connector.
VESK_MATH_API Processor* GetOwner();
