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

#include "host/HostExport.h"

struct VeskFunctionEntry;
class Processor;

namespace vrt {

class VESK_HOST_API PluginModule {
public:
    typedef char* (*VersionFn)(char*, int);
    typedef const VeskFunctionEntry* (*TableFn)();
    typedef void* const* (*SecondTableFn)();
    typedef void (*InitFn)(Processor*);

    PluginModule() = default;
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;
    // Unloads the module unless Keep() was called.
    ~PluginModule();

    // Loads the module at path and resolves the four entry points; on failure
    // answers false with a description in error.
    bool Load(const std::string& path, std::string& error);
    // Address of an exported name, or null.
    void* Symbol(const char* name) const;
    // Leaves the module loaded when this object goes away (the host keeps its
    // plug-ins until it exits).
    void Keep() { keep_ = true; }

    VersionFn version = nullptr;
    TableFn table = nullptr;
    SecondTableFn secondTable = nullptr;
    InitFn init = nullptr;

private:
    void* handle_ = nullptr;
    bool keep_ = false;
};

}  // namespace vrt
