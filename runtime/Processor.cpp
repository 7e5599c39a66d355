// The stand-in processor: name table, classes, constants, script functions
// and methods, error registry and status, output.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/VeskHost.h"
#include "runtime/RuntimeInternal.h"
#include "runtime/VeskRuntime.h"

namespace {

struct ClassInfo {
    std::unique_ptr<VarClass> cls;
    vrt::CtorFn ctor;
    // Shared so that a call holds its method alive cheaply, even when the
    // method redefines itself.
    std::map<std::string, std::shared_ptr<const vrt::MethodFn>> methods;
};

struct ProcessorState {
    std::map<unsigned short, std::unique_ptr<Tree>> constants;
    std::map<int, std::string> errorNames;
    int nextErrorCode = 1000;
    int registered = 0;
    int errorStatus = 0;
    int breakStatus = 0;
    int lastError = 0;
};

struct Runtime {
    std::vector<std::string> names;
    std::unordered_map<std::string, unsigned short> ids;
    std::map<unsigned short, ClassInfo> classes;
    std::unordered_map<const Owner*, ProcessorState> processors;
    Processor* current = nullptr;
    bool connector = true;
    std::vector<vrt::ErrorRecord> errors;
    std::string* sink = nullptr;
    long flushes = 0;

    Runtime();
};

Runtime& RT() {
    static Runtime rt;
    return rt;
}

unsigned short Intern(const std::string& name) {
    Runtime& rt = RT();
    auto it = rt.ids.find(name);
    if (it != rt.ids.end()) return it->second;
    auto id = static_cast<unsigned short>(rt.names.size());
    rt.names.push_back(name);
    rt.ids.emplace(name, id);
    return id;
}

ClassInfo* Info(unsigned short id) {
    auto it = RT().classes.find(id);
    return it == RT().classes.end() ? nullptr : &it->second;
}

ProcessorState* State(const Owner* o) {
    auto it = RT().processors.find(o);
    return it == RT().processors.end() ? nullptr : &it->second;
}

VarClass* Define(const char* name, unsigned short parentId, vrt::CtorFn ctor) {
    unsigned short id = Intern(name);
    ClassInfo* parent = parentId ? Info(parentId) : nullptr;
    ClassInfo& info = RT().classes[id];
    if (!info.cls) info.cls = std::make_unique<VarClass>(id, parent ? parent->cls.get() : nullptr);
    info.ctor = std::move(ctor);
    return info.cls.get();
}

void FillArray(Variable& array, VarRegister& source) {
    Variable& src = source.GetVar();
    int n = src.GetDim();
    array.Init(VT_ARRAY, n > 0 ? n : 0);
    for (int i = 0; i < n; ++i) array[i] = static_cast<double>(src[i]);
}

Runtime::Runtime() {
    // Ids 1 and 42 are the fixed array and number classes; the ids between
    // them are reserved.
    names.resize(100);
    for (size_t i = 0; i < names.size(); ++i) {
        char reserved[32];
        std::snprintf(reserved, sizeof reserved, "#%zu", i);
        names[i] = reserved;
    }
    names[0] = "";
    names[VCLASS_ARRAY] = "Array";
    names[VCLASS_NUMBER] = "Number";
    for (size_t i = 0; i < names.size(); ++i) ids.emplace(names[i], static_cast<unsigned short>(i));
}

void DefineBuiltins() {
    static bool done = false;
    if (done) return;
    done = true;
    Define("Array", 0, [](Variable& self, VarRegister* args, int n) {
        self.GetObject()->Elements().Init(VT_ARRAY, n > 0 ? static_cast<int>(args[0]) : 0);
    });
    Define("Number", 0, [](Variable& self, VarRegister* args, int n) {
        self("Value") = n > 0 ? static_cast<double>(args[0]) : 0.0;
    });
    Define("MVector", VCLASS_ARRAY, [](Variable& self, VarRegister* args, int n) {
        int len = n > 0 ? static_cast<int>(args[0]) : 0;
        Variable& e = self.GetObject()->Elements();
        e.Init(VT_ARRAY, len > 0 ? len : 0);
        for (int i = 0; i < len; ++i) e[i] = 0.0;
    });
    Define("TFunc", 0, [](Variable& self, VarRegister* args, int n) {
        Variable& x = self("X");
        Variable& y = self("Y");
        x.Init(VT_ARRAY, 0);
        y.Init(VT_ARRAY, 0);
        if (n >= 2) {
            FillArray(x, args[0]);
            FillArray(y, args[1]);
        }
    });
}

ClassInfo* FindByName(const char* name) {
    DefineBuiltins();
    auto it = RT().ids.find(name);
    return it == RT().ids.end() ? nullptr : Info(it->second);
}

std::shared_ptr<const vrt::MethodFn> FindMethod(VarClass* cls, const char* method) {
    for (VarClass* c = cls; c != nullptr; c = c->GetParent()) {
        ClassInfo* info = Info(c->GetID());
        if (!info) continue;
        auto it = info->methods.find(method);
        if (it != info->methods.end()) return it->second;
    }
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------- functions

namespace vrt_internal {
// A script function's payload points to a shared handle on its callable, so
// copying the value or running it never copies the callable itself.
using SharedFn = std::shared_ptr<const vrt::ScriptFn>;
void ReleaseFunction(void* fn) { delete static_cast<SharedFn*>(fn); }
void* CopyFunction(const void* fn) { return new SharedFn(*static_cast<const SharedFn*>(fn)); }
}  // namespace vrt_internal

// ---------------------------------------------------------------- Token

unsigned short Token::GetNameID(const char* name) { return Intern(name ? name : ""); }

const char* Token::GetName(unsigned short id) {
    Runtime& rt = RT();
    return id < rt.names.size() ? rt.names[id].c_str() : "";
}

void Token::SetConstant(unsigned short id, Variable& value) {
    ProcessorState* s = State(static_cast<Owner*>(this));
    if (!s) return;
    auto& node = s->constants[id];
    if (!node) node = std::make_unique<Tree>();
    *node->Node() = value;
}

Token::~Token() = default;

// ---------------------------------------------------------------- Owner

int Owner::RegisterError(const char* text) {
    ProcessorState* s = State(this);
    if (!s) return 0;
    int code = s->nextErrorCode++;
    s->errorNames[code] = text ? text : "";
    ++s->registered;
    return code;
}

int Owner::GetErrorStatus() const {
    const ProcessorState* s = State(this);
    return s ? s->errorStatus : 0;
}
int Owner::GetBreakStatus() const {
    const ProcessorState* s = State(this);
    return s ? s->breakStatus : 0;
}
int Owner::GetLastError() const {
    const ProcessorState* s = State(this);
    return s ? s->lastError : 0;
}

const char* Owner::GetErrorName(int code) const {
    const ProcessorState* s = State(this);
    if (s) {
        auto it = s->errorNames.find(code);
        if (it != s->errorNames.end()) return it->second.c_str();
    }
    switch (code) {
        case 1: return "ERR_NO_MEMORY";
        case 3: return "ERR_BAD_ARGUMENT";
        case 10: return "ERR_DIVISION_BY_ZERO";
        case 88: return "ERR_LOG_OF_NONPOSITIVE";
        default: return "";
    }
}

void Owner::ClearErrorStatus() {
    if (ProcessorState* s = State(this)) {
        s->errorStatus = 0;
        s->breakStatus = 0;
        s->lastError = 0;
    }
}

void Engine::FlushIdle() { ++RT().flushes; }

// ---------------------------------------------------------------- Processor

Processor::Processor() {
    DefineBuiltins();
    RT().processors[this];
}

Processor::~Processor() {
    Runtime& rt = RT();
    rt.processors.erase(this);
    if (rt.current == this) rt.current = nullptr;
}

Tree* Processor::GetConstant(const char* name) {
    ProcessorState* s = State(this);
    if (!s) return nullptr;
    auto it = RT().ids.find(name ? name : "");
    if (it == RT().ids.end()) return nullptr;
    auto c = s->constants.find(it->second);
    return c == s->constants.end() ? nullptr : c->second.get();
}

int Processor::MakeInstance(Variable& out, const char* className, VarRegister* args, int n) {
    ClassInfo* info = FindByName(className);
    if (!info || !info->cls) {
        VeskError(3, "unknown class");
        return 0;
    }
    Variable obj;
    vrt::NewObject(obj, className);
    for (VarClass* c = info->cls.get(); c != nullptr; c = c->GetParent()) {
        ClassInfo* ci = Info(c->GetID());
        if (ci && ci->ctor) {
            ci->ctor(obj, args, n);
            break;
        }
    }
    out = std::move(obj);
    return 1;
}

int Processor::RunFunctionAsIs(VarRegister& result, Variable& function, VarRegister* args, int n) {
    Variable& f = function.Deref();
    if (f.GetType() != VT_FUNCTION) {
        VeskError(3, "not a function");
        return 0;
    }
    // Run a copy: the function may replace the value that holds it.
    vrt_internal::SharedFn fn = *static_cast<vrt_internal::SharedFn*>(*static_cast<void**>(f.RawPayload()));
    (*fn)(result, args, n);
    return 1;
}

int Processor::RunMethod(VarRegister& result, const char* method, VarRegister* args, int n,
                         Variable* self) {
    return RunMethodAsIs(result, method, args, n, self);
}

int Processor::RunMethodAsIs(VarRegister& result, const char* method, VarRegister* args, int n,
                             Variable* self) {
    if (!self || !self->GetClass()) {
        VeskError(3, "method call on a value that is not an object");
        return 0;
    }
    std::shared_ptr<const vrt::MethodFn> m = FindMethod(self->GetClass(), method);
    if (!m) {
        VeskError(3, "unknown method");
        return 0;
    }
    (*m)(result, args, n, self->Deref());
    return 1;
}

void Processor::Reserved6() {}

void Processor::PrintText(const char* text) {
    Runtime& rt = RT();
    if (rt.sink) {
        rt.sink->append(text ? text : "");
    } else {
        std::fputs(text ? text : "", stdout);
        std::fflush(stdout);
    }
}

// ---------------------------------------------------------------- connector

Processor* VVConnect::GetOwner() { return RT().current; }

VVConnect* GetConnector() {
    static VVConnect connector;
    return RT().connector ? &connector : nullptr;
}

// ---------------------------------------------------------------- errors

void VeskError(int code) { VeskError(code, nullptr); }

void VeskError(int code, const char* text) {
    Runtime& rt = RT();
    rt.errors.push_back({code, text ? text : ""});
    if (rt.current) {
        if (ProcessorState* s = State(rt.current)) {
            s->errorStatus = 1;
            s->lastError = code;
        }
    }
}

// ---------------------------------------------------------------- control

namespace vrt {

void MakeScriptFunction(Variable& out, ScriptFn fn) {
    Variable f;
    VariableAccess::Adopt(f, VT_FUNCTION,
                          new vrt_internal::SharedFn(std::make_shared<const ScriptFn>(std::move(fn))));
    out = std::move(f);
}

void MakeNativeFunction(Variable& out, void* fn) {
    out.Clear();
    out.SetCppPointer(fn);
}

VarClass* DefineClass(const char* name, unsigned short parentId, CtorFn ctor) {
    DefineBuiltins();
    return Define(name, parentId, std::move(ctor));
}

VarClass* FindClass(const char* name) {
    ClassInfo* info = FindByName(name);
    return info ? info->cls.get() : nullptr;
}

VarClass* FindClass(unsigned short id) {
    DefineBuiltins();
    ClassInfo* info = Info(id);
    return info ? info->cls.get() : nullptr;
}

void DefineMethod(const char* className, const char* method, MethodFn fn) {
    ClassInfo* info = FindByName(className);
    if (info) info->methods[method] = std::make_shared<const MethodFn>(std::move(fn));
}

bool NewObject(Variable& out, const char* className) {
    ClassInfo* info = FindByName(className);
    if (!info || !info->cls) return false;
    Variable obj;
    VariableAccess::Adopt(obj, VT_OBJECT, new Object(info->cls.get()));
    out = std::move(obj);
    return true;
}

void MakeNumberObject(Variable& out, double value) {
    NewObject(out, "Number");
    out("Value") = value;
}

void MakeArray(Variable& out, const std::vector<double>& values) {
    out.Init(VT_ARRAY, static_cast<int>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) out[static_cast<int>(i)] = values[i];
}

void MakeTFunc(Variable& out, const std::vector<double>& x, const std::vector<double>& y) {
    NewObject(out, "TFunc");
    MakeArray(out("X"), x);
    MakeArray(out("Y"), y);
}

std::vector<double> ToDoubles(const Variable& array) {
    std::vector<double> v;
    Variable& a = const_cast<Variable&>(array);
    for (int i = 0; i < a.GetDim(); ++i) v.push_back(static_cast<double>(a[i]));
    return v;
}

void SetCurrentProcessor(Processor* p) { RT().current = p; }
Processor* GetCurrentProcessor() { return RT().current; }
void SetConnectorAvailable(bool available) { RT().connector = available; }

const std::vector<ErrorRecord>& Errors() { return RT().errors; }

void ClearErrors() {
    RT().errors.clear();
    if (RT().current) RT().current->ClearErrorStatus();
}

void RaiseNamedError(const char* name) {
    Processor* p = RT().current;
    if (!p) return;
    ProcessorState* s = State(p);
    int code = 0;
    for (auto& [c, n] : s->errorNames)
        if (n == name) code = c;
    if (code == 0) code = p->RegisterError(name);
    VeskError(code);
}

void RaiseBreak() {
    if (RT().current)
        if (ProcessorState* s = State(RT().current)) s->breakStatus = 1;
}

int RegisteredErrorCount(Processor* p) {
    ProcessorState* s = State(p);
    return s ? s->registered : 0;
}

void CaptureOutput(std::string* sink) { RT().sink = sink; }

long FlushIdleCount() { return RT().flushes; }

}  // namespace vrt
