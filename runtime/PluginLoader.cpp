// Plug-in loading: LoadLibrary and ordinals on Windows, dlopen and names
// elsewhere.
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "runtime/PluginLoader.h"

namespace vrt {

namespace {

#if defined(_WIN32)
void* Ordinal(void* handle, int n) {
    return reinterpret_cast<void*>(
        GetProcAddress(static_cast<HMODULE>(handle), reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(n))));
}
#endif

}  // namespace

PluginModule::~PluginModule() {
    if (handle_ == nullptr || keep_) return;
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

bool PluginModule::Load(const std::string& path, std::string& error) {
#if defined(_WIN32)
    handle_ = LoadLibraryA(path.c_str());
    if (handle_ == nullptr) {
        error = "cannot load " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    version = reinterpret_cast<VersionFn>(Ordinal(handle_, 2));
    table = reinterpret_cast<TableFn>(Ordinal(handle_, 3));
    secondTable = reinterpret_cast<SecondTableFn>(Ordinal(handle_, 4));
    init = reinterpret_cast<InitFn>(Ordinal(handle_, 5));
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* text = dlerror();
        error = text != nullptr ? text : "cannot load " + path;
        return false;
    }
    version = reinterpret_cast<VersionFn>(Symbol("VeskPlugin_Version"));
    table = reinterpret_cast<TableFn>(Symbol("VeskPlugin_FunctionTable"));
    secondTable = reinterpret_cast<SecondTableFn>(Symbol("VeskPlugin_SecondTable"));
    init = reinterpret_cast<InitFn>(Symbol("VeskPlugin_Init"));
#endif
    if (!version || !table || !secondTable || !init) {
        error = "the module lacks an entry point";
        return false;
    }
    return true;
}

void* PluginModule::Symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

}  // namespace vrt
