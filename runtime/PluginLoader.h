// Loading the plug-in module the way the host does, on every platform.
//
// On Windows the module is loaded with LoadLibrary and its four entry points
// are found by ordinal (2 version text, 3 function table, 4 second table,
// 5 initialisation; the module exports them without names). On ELF platforms
// it is loaded with dlopen and the entry points are resolved by their names.
// Symbol() resolves any other exported name (a mangled class-library member,
// for instance) on both.
#pragma once

#include <string>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#endif

#include "host/FunctionTable.h"

namespace vrt {

class PluginModule {
public:
    typedef char* (*VersionFn)(char*, int);
    typedef const VeskFunctionEntry* (*TableFn)();
    typedef void* const* (*SecondTableFn)();
    typedef void (*InitFn)(Processor*);

    PluginModule() = default;
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;
    // Unloads the module unless Keep() was called.
    ~PluginModule() {
        if (handle_ != nullptr && !keep_) Close();
    }

    // Loads the module at path and resolves the four entry points; on failure
    // answers false with a description in error.
    bool Load(const std::string& path, std::string& error) {
#if defined(_WIN32)
        HMODULE h = LoadLibraryA(path.c_str());
        if (h == nullptr) {
            error = "cannot load " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        handle_ = h;
        version = reinterpret_cast<VersionFn>(Ordinal(2));
        table = reinterpret_cast<TableFn>(Ordinal(3));
        secondTable = reinterpret_cast<SecondTableFn>(Ordinal(4));
        init = reinterpret_cast<InitFn>(Ordinal(5));
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

    // Address of an exported name, or null.
    void* Symbol(const char* name) const {
        if (handle_ == nullptr) return nullptr;
#if defined(_WIN32)
        return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
        return dlsym(handle_, name);
#endif
    }

    // Leaves the module loaded when this object goes away (the host keeps its
    // plug-ins until it exits).
    void Keep() { keep_ = true; }

    VersionFn version = nullptr;
    TableFn table = nullptr;
    SecondTableFn secondTable = nullptr;
    InitFn init = nullptr;

private:
#if defined(_WIN32)
    void* Ordinal(int n) const {
        return reinterpret_cast<void*>(
            GetProcAddress(static_cast<HMODULE>(handle_), reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(n))));
    }
    void Close() { FreeLibrary(static_cast<HMODULE>(handle_)); }
#else
    void Close() { dlclose(handle_); }
#endif

    void* handle_ = nullptr;
    bool keep_ = false;
};

}  // namespace vrt
