// Plug-in entry points, module error constant and load-time record.
#include "host/Plugin.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#include <cstdio>
#include <cstring>

int VeskModuleErrorCode = 0;
void* VeskModuleInstance = nullptr;

namespace {

const char kVersionFormat[] = "VESK Support DLL v5.0 |VESK version:%d.%02d.%02d";
const char kErrorConstant[] = "ERR_SOLUTION_NOT_FOUND";
const char kErrorText[] = "Can't find solution of system.";

// Zero-filled and never written: an empty table.
void* const g_secondTable[4] = {};

#if !defined(_WIN32)
// Stands in for the platform's process-attach notification: records where
// the module was loaded.
__attribute__((constructor)) void RecordModuleInstance() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&VeskPlugin_Version), &info) != 0)
        VeskModuleInstance = info.dli_fbase;
}
#endif

bool LookUpErrorCode(Processor* p) {
    Tree* t = p->GetConstant(kErrorConstant);
    if (t == nullptr) return false;
    VeskModuleErrorCode = t->Node()->GetInt32();
    return true;
}

}  // namespace

#if defined(_WIN32)
// The platform's entry point (BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID),
// declared here without <windows.h>, whose type codes clash with the
// host's): the process-attach notification (1) records the module's instance
// handle; every notification reports success.
extern "C" int __stdcall DllMain(void* instance, unsigned long reason, void*) {
    if (reason == 1) VeskModuleInstance = instance;
    return 1;
}
#endif

extern "C" char* VeskPlugin_Version(char* buf, int len) {
    if (buf == nullptr || len <= 0) return buf;
    char text[256];
    std::snprintf(text, sizeof text, kVersionFormat, 5, 3, 17);
    std::strncpy(buf, text, static_cast<size_t>(len));
    return buf;
}

extern "C" const VeskFunctionEntry* VeskPlugin_FunctionTable() { return VeskFunctionTable; }

extern "C" void* const* VeskPlugin_SecondTable() { return g_secondTable; }

extern "C" void VeskPlugin_Init(Processor* processor) {
    if (processor == nullptr || VeskModuleErrorCode != 0) return;
    if (LookUpErrorCode(processor)) return;
    Variable code(processor->RegisterError(kErrorText));
    processor->SetConstant(Token::GetNameID(kErrorConstant), code);
    LookUpErrorCode(processor);
}

Processor* GetOwner() {
    VVConnect* c = GetConnector();
    return c != nullptr ? c->GetOwner() : nullptr;
}
