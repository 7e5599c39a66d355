// Host values: Variable, Object, VarClass and VarRegister of the stand-in
// host runtime.
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/VeskHost.h"
#include "runtime/RuntimeInternal.h"

namespace {

struct ArrayData {
    int n;
    Variable* items;
};

struct BufferData {
    int n;
    char* bytes;
};

Variable& Scratch() {
    static thread_local Variable scratch;
    scratch.Clear();
    return scratch;
}

ArrayData* NewArray(int n) {
    if (n < 0) n = 0;
    auto* a = new ArrayData{n, n > 0 ? new Variable[n] : nullptr};
    return a;
}

BufferData* NewBuffer(int n) {
    if (n < 0) n = 0;
    auto* b = new BufferData{n, new char[static_cast<size_t>(n) + 1]};
    std::memset(b->bytes, 0, static_cast<size_t>(n) + 1);
    return b;
}

char* NewText(const char* text) {
    size_t len = text ? std::strlen(text) : 0;
    char* t = new char[len + 1];
    if (len) std::memcpy(t, text, len);
    t[len] = 0;
    return t;
}

double SaturatedTrunc(double d, double lo, double hi) {
    if (std::isnan(d)) return 0.0;
    if (d <= lo) return lo;
    if (d >= hi) return hi;
    return std::trunc(d);
}

}  // namespace

// ---------------------------------------------------------------- VarClass

const char* VarClass::GetName() const { return Token::GetName(id_); }

bool VarClass::IsInheritFrom(unsigned short id) const {
    for (const VarClass* c = this; c != nullptr; c = c->parent_)
        if (c->id_ == id) return true;
    return false;
}

// ---------------------------------------------------------------- Object

struct Object::Members {
    std::vector<std::unique_ptr<std::pair<std::string, Variable>>> list;
};

Object::Object(VarClass* cls) : class_(cls), members_(new Members) {}

Object::Object(const Object& o)
    : class_(o.class_), members_(new Members), elements_(o.elements_), cpp_(o.cpp_) {
    for (const auto& m : o.members_->list)
        members_->list.push_back(std::make_unique<std::pair<std::string, Variable>>(*m));
}

Object::~Object() { delete members_; }

Variable* Object::FindMember(const char* name) const {
    for (const auto& m : members_->list)
        if (m->first == name) return &m->second;
    return nullptr;
}

Variable& Object::Member(const char* name) {
    if (Variable* v = FindMember(name)) return *v;
    members_->list.push_back(
        std::make_unique<std::pair<std::string, Variable>>(std::string(name), Variable()));
    return members_->list.back()->second;
}

int Object::MemberCount() const { return static_cast<int>(members_->list.size()); }
const char* Object::MemberName(int i) const { return members_->list[i]->first.c_str(); }
Variable& Object::MemberAt(int i) { return members_->list[i]->second; }

// ---------------------------------------------------------------- Variable

Variable::Variable() : type_(VT_EMPTY) { payload_.i64 = 0; }
Variable::Variable(const Variable& v) : type_(VT_EMPTY) {
    payload_.i64 = 0;
    CopyFrom(v.Deref());
}
Variable::Variable(Variable&& v) noexcept : type_(VT_EMPTY) {
    payload_.i64 = 0;
    MoveFrom(v);
}
Variable::Variable(int i) : type_(VT_INT) { payload_.i64 = 0; payload_.i32 = i; }
Variable::Variable(unsigned char b) : type_(VT_BYTE) { payload_.i64 = 0; payload_.b = b; }
Variable::Variable(float f) : type_(VT_FLOAT) { payload_.i64 = 0; payload_.f = f; }
Variable::Variable(double d) : type_(VT_DOUBLE) { payload_.d = d; }
Variable::Variable(VInt64 i) : type_(VT_INT64) { payload_.i64 = i; }
Variable::Variable(const char* text) : type_(VT_TEXT) { payload_.p = NewText(text); }
Variable::Variable(VVARTYPE type, int n) : type_(VT_EMPTY) {
    payload_.i64 = 0;
    Init(type, n);
}
Variable::~Variable() { Release(); }

void Variable::Release() {
    switch (type_) {
        case VT_TEXT: delete[] static_cast<char*>(payload_.p); break;
        case VT_BUFFER: {
            auto* b = static_cast<BufferData*>(payload_.p);
            delete[] b->bytes;
            delete b;
            break;
        }
        case VT_ARRAY: {
            auto* a = static_cast<ArrayData*>(payload_.p);
            delete[] a->items;
            delete a;
            break;
        }
        case VT_FUNCTION: vrt_internal::ReleaseFunction(payload_.p); break;
        case VT_OBJECT: delete static_cast<Object*>(payload_.p); break;
        default: break;
    }
    type_ = VT_EMPTY;
    payload_.i64 = 0;
}

void Variable::SetOwnerOfObject() {
    if (type_ == VT_OBJECT) static_cast<Object*>(payload_.p)->self_ = this;
}

void Variable::CopyFrom(const Variable& v) {
    // v is never a reference here, and never *this.
    switch (v.type_) {
        case VT_TEXT: payload_.p = NewText(static_cast<const char*>(v.payload_.p)); break;
        case VT_BUFFER: {
            auto* src = static_cast<BufferData*>(v.payload_.p);
            BufferData* b = NewBuffer(src->n);
            std::memcpy(b->bytes, src->bytes, static_cast<size_t>(src->n));
            payload_.p = b;
            break;
        }
        case VT_ARRAY: {
            auto* src = static_cast<ArrayData*>(v.payload_.p);
            ArrayData* a = NewArray(src->n);
            for (int i = 0; i < src->n; ++i) a->items[i] = src->items[i];
            payload_.p = a;
            break;
        }
        case VT_FUNCTION: payload_.p = vrt_internal::CopyFunction(v.payload_.p); break;
        case VT_OBJECT: payload_.p = new Object(*static_cast<Object*>(v.payload_.p)); break;
        default: payload_ = v.payload_; break;
    }
    type_ = v.type_;
    SetOwnerOfObject();
}

void Variable::MoveFrom(Variable& v) noexcept {
    type_ = v.type_;
    payload_ = v.payload_;
    v.type_ = VT_EMPTY;
    v.payload_.i64 = 0;
    SetOwnerOfObject();
}

Variable& Variable::Deref() {
    Variable* v = this;
    while (v->type_ == VT_REF) v = static_cast<Variable*>(v->payload_.p);
    return *v;
}
const Variable& Variable::Deref() const {
    const Variable* v = this;
    while (v->type_ == VT_REF) v = static_cast<const Variable*>(v->payload_.p);
    return *v;
}

Variable& Variable::operator=(const Variable& v) {
    Variable& self = Deref();
    const Variable& src = v.Deref();
    if (&self == &src) return *this;
    // The source may live inside this value (an element or member): copy first.
    Variable copy(src);
    self.Release();
    self.MoveFrom(copy);
    return *this;
}

Variable& Variable::operator=(Variable&& v) noexcept {
    Variable& self = Deref();
    if (&self == &v) return *this;
    if (v.type_ == VT_REF) {
        Variable copy(v.Deref());
        self.Release();
        self.MoveFrom(copy);
    } else {
        Variable tmp(std::move(v));
        self.Release();
        self.MoveFrom(tmp);
    }
    return *this;
}

Variable& Variable::operator=(int i) { return *this = Variable(i); }
Variable& Variable::operator=(double d) { return *this = Variable(d); }
Variable& Variable::operator=(VInt64 i) { return *this = Variable(i); }
Variable& Variable::operator=(const char* text) { return *this = Variable(text); }

Variable& Variable::operator=(Variable* target) {
    Release();
    if (target != nullptr && &target->Deref() != this) {
        type_ = VT_REF;
        payload_.p = target;
    }
    return *this;
}

void Variable::Init(VVARTYPE type, int n) {
    Variable& self = Deref();
    self.Release();
    switch (type) {
        case VT_BUFFER: self.payload_.p = NewBuffer(n); break;
        case VT_ARRAY: self.payload_.p = NewArray(n); break;
        case VT_TEXT: {
            std::string s(static_cast<size_t>(n > 0 ? n : 0), ' ');
            self.payload_.p = NewText(s.c_str());
            break;
        }
        case VT_INT64: case VT_BYTE: case VT_INT: case VT_FLOAT: case VT_DOUBLE: break;
        default: type = VT_EMPTY; break;
    }
    self.type_ = type;
}

void Variable::Clear() { Release(); }

VVARTYPE Variable::GetType() const { return Deref().type_; }

bool Variable::IsNumber() const { return (GetType() & VT_NUMERIC_MASK) != 0; }

int Variable::GetDim() const {
    const Variable& v = Deref();
    switch (v.type_) {
        case VT_ARRAY: return static_cast<ArrayData*>(v.payload_.p)->n;
        case VT_BUFFER: return static_cast<BufferData*>(v.payload_.p)->n;
        case VT_TEXT: return static_cast<int>(std::strlen(static_cast<char*>(v.payload_.p)));
        case VT_OBJECT: {
            auto* o = static_cast<Object*>(v.payload_.p);
            if (o->GetClass() && o->GetClass()->IsInheritFrom(VCLASS_ARRAY))
                return o->Elements().GetDim();
            return -1;
        }
        default: return -1;
    }
}

Variable::operator double() const {
    const Variable& v = Deref();
    switch (v.type_) {
        case VT_EMPTY: return 0.0;
        case VT_INT64: return static_cast<double>(v.payload_.i64);
        case VT_BYTE: return v.payload_.b;
        case VT_INT: return v.payload_.i32;
        case VT_FLOAT: return v.payload_.f;
        case VT_DOUBLE: return v.payload_.d;
        case VT_OBJECT: {
            auto* o = static_cast<Object*>(v.payload_.p);
            if (o->GetClass() && o->GetClass()->IsInheritFrom(VCLASS_NUMBER)) {
                if (Variable* m = o->FindMember("Value")) return static_cast<double>(*m);
                return 0.0;
            }
            return std::numeric_limits<double>::quiet_NaN();
        }
        default: return std::numeric_limits<double>::quiet_NaN();
    }
}

Variable::operator int() const {
    const Variable& v = Deref();
    switch (v.type_) {
        case VT_BYTE: return v.payload_.b;
        case VT_INT: return v.payload_.i32;
        case VT_INT64:
            if (v.payload_.i64 < INT_MIN) return INT_MIN;
            if (v.payload_.i64 > INT_MAX) return INT_MAX;
            return static_cast<int>(v.payload_.i64);
        default:
            return static_cast<int>(SaturatedTrunc(static_cast<double>(v), INT_MIN, INT_MAX));
    }
}

VInt64 Variable::GetInt64() const {
    const Variable& v = Deref();
    switch (v.type_) {
        case VT_BYTE: return v.payload_.b;
        case VT_INT: return v.payload_.i32;
        case VT_INT64: return v.payload_.i64;
        default: {
            double d = static_cast<double>(v);
            if (std::isnan(d)) return 0;
            if (d >= 9223372036854775807.0) return LLONG_MAX;
            if (d <= -9223372036854775808.0) return LLONG_MIN;
            return static_cast<VInt64>(d);
        }
    }
}

Variable::operator char*() const {
    const Variable& v = Deref();
    if (v.type_ == VT_BUFFER) return static_cast<BufferData*>(v.payload_.p)->bytes;
    if (v.type_ == VT_TEXT) return static_cast<char*>(v.payload_.p);
    return nullptr;
}

const char* Variable::GetText() const {
    const Variable& v = Deref();
    return v.type_ == VT_TEXT ? static_cast<const char*>(v.payload_.p) : nullptr;
}

Variable& Variable::operator[](int i) {
    Variable& v = Deref();
    if (v.type_ == VT_ARRAY) return static_cast<ArrayData*>(v.payload_.p)->items[i];
    if (v.type_ == VT_OBJECT) {
        auto* o = static_cast<Object*>(v.payload_.p);
        if (o->GetClass() && o->GetClass()->IsInheritFrom(VCLASS_ARRAY) &&
            o->Elements().GetType() == VT_ARRAY)
            return o->Elements()[i];
    }
    return Scratch();
}

Variable& Variable::operator()(const char* name) {
    Variable& v = Deref();
    if (v.type_ == VT_OBJECT) return static_cast<Object*>(v.payload_.p)->Member(name);
    return Scratch();
}

bool Variable::HasMember(const char* name) const {
    const Variable& v = Deref();
    return v.type_ == VT_OBJECT && static_cast<Object*>(v.payload_.p)->FindMember(name) != nullptr;
}

Variable* Variable::GetArray() const {
    const Variable& v = Deref();
    if (v.type_ == VT_ARRAY) {
        auto* a = static_cast<ArrayData*>(v.payload_.p);
        return a->n > 0 ? a->items : nullptr;
    }
    if (v.type_ == VT_OBJECT) {
        auto* o = static_cast<Object*>(v.payload_.p);
        if (o->GetClass() && o->GetClass()->IsInheritFrom(VCLASS_ARRAY))
            return o->Elements().GetArray();
    }
    return nullptr;
}

VarClass* Variable::GetClass() const {
    const Variable& v = Deref();
    return v.type_ == VT_OBJECT ? static_cast<Object*>(v.payload_.p)->GetClass() : nullptr;
}

bool Variable::IsInheritFrom(unsigned short id) const {
    VarClass* c = GetClass();
    return c != nullptr && c->IsInheritFrom(id);
}

Object* Variable::GetObject() const {
    const Variable& v = Deref();
    return v.type_ == VT_OBJECT ? static_cast<Object*>(v.payload_.p) : nullptr;
}

void* Variable::GetCppPointer() const {
    const Variable& v = Deref();
    if (v.type_ == VT_INT64) return reinterpret_cast<void*>(static_cast<intptr_t>(v.payload_.i64));
    if (v.type_ == VT_OBJECT) return static_cast<Object*>(v.payload_.p)->GetCppPointer();
    return nullptr;
}

void Variable::SetCppPointer(void* p) {
    Variable& v = Deref();
    if (v.type_ == VT_OBJECT) {
        static_cast<Object*>(v.payload_.p)->SetCppPointer(p);
    } else {
        v.Release();
        v.type_ = VT_INT64;
        v.payload_.i64 = static_cast<VInt64>(reinterpret_cast<intptr_t>(p));
    }
}

Variable Variable::Conjugate() const {
    const Variable& v = Deref();
    if (v.type_ == VT_ARRAY) {
        auto* src = static_cast<ArrayData*>(v.payload_.p);
        Variable out(VT_ARRAY, src->n);
        for (int i = 0; i < src->n; ++i) out[i] = src->items[i].Conjugate();
        return out;
    }
    return Variable(v);
}

void VariableAccess::Adopt(Variable& v, VVARTYPE type, void* payload) {
    v.Release();
    v.type_ = type;
    v.payload_.p = payload;
    v.SetOwnerOfObject();
}

// ---------------------------------------------------------------- VarRegister

VarRegister::VarRegister() = default;
VarRegister::VarRegister(const VarRegister& r)
    : value_(r.value_), target_(r.target_), byRef_(r.byRef_) {}
VarRegister& VarRegister::operator=(const VarRegister& r) {
    if (this != &r) {
        value_ = r.value_;
        target_ = r.target_;
        byRef_ = r.byRef_;
    }
    return *this;
}

Variable& VarRegister::GetVar() { return target_ != nullptr ? *target_ : value_; }
VarRegister::operator Variable&() { return GetVar(); }
VarRegister::operator double() const {
    return static_cast<double>(target_ != nullptr ? *target_ : value_);
}
VarRegister::operator int() const {
    return static_cast<int>(target_ != nullptr ? *target_ : value_);
}
VarRegister& VarRegister::operator=(double d) { GetVar() = d; return *this; }
VarRegister& VarRegister::operator=(int i) { GetVar() = i; return *this; }
VarRegister& VarRegister::operator=(const char* text) { GetVar() = text; return *this; }
VarRegister& VarRegister::operator=(const Variable& v) { GetVar() = v; return *this; }
void VarRegister::PointTo(Variable* v) { target_ = v; }
void VarRegister::SetRef() { byRef_ = true; }
