// Host interface: the values, registers, processor and services of the Vesk
// scripting host that this module uses.
//
// The declarations here are the host's; their implementation lives in the host
// library the module links against (libvesk_runtime.so in this tree).
//
// Value model
//   Variable    a 32-bit type code followed by an 8-byte payload (16 bytes with
//               natural alignment). Type codes: 2 64-bit integer or native
//               function pointer, 4 byte, 8 32-bit integer, 16 float, 32 double
//               (mask 62: numeric), 64 text, 128 script function, 512 byte
//               buffer, 1024 contiguous array of Variables; a bit of 0x8800
//               marks an object (the host uses 0x8000). A Variable owns what its
//               payload points to; copying one copies arrays, buffers, texts and
//               objects deeply. A reference (operator=(Variable*)) forwards every
//               read and value assignment to its target until it is re-pointed
//               or cleared.
//   VarRegister an argument or result slot of a script call. PointTo + SetRef
//               pass a caller's Variable by reference.
//   VarClass    a script class: a 16-bit id shared with the name table, a name,
//               an optional parent. Id 1 is the array base class (instances
//               present their elements like an array), id 42 the number class
//               (instances convert to a number through their member "Value").
//
// Errors: VeskError records a code (and optional text) in the host's error
// registry and returns; the caller then returns its documented fallback.
// Codes: 1 no working storage, 3 bad argument or failed method, 10 division
// by zero, 88 logarithm of a non-positive number, and codes handed out by
// Owner::RegisterError.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/HostExport.h"

typedef unsigned int VVARTYPE;
typedef long long VInt64;

// Host type codes.
enum : VVARTYPE {
    VT_EMPTY = 0,
    VT_INT64 = 2,     // 64-bit integer, or a native function pointer
    VT_BYTE = 4,      // unsigned 8-bit
    VT_INT = 8,       // signed 32-bit
    VT_FLOAT = 16,
    VT_DOUBLE = 32,
    VT_TEXT = 64,     // zero-terminated 8-bit text
    VT_FUNCTION = 128,  // script function
    VT_BUFFER = 512,  // byte buffer
    VT_ARRAY = 1024,  // contiguous array of Variables
    VT_REF = 0x2000,  // reference to another Variable
    VT_OBJECT = 0x8000,  // object instance
};
constexpr VVARTYPE VT_NUMERIC_MASK = 62;
constexpr VVARTYPE VT_INTEGER_MASK = 14;
constexpr VVARTYPE VT_OBJECT_MASK = 0x8800;

// Fixed class ids.
constexpr unsigned short VCLASS_ARRAY = 1;
constexpr unsigned short VCLASS_NUMBER = 42;

class Variable;
class VarRegister;
class VarClass;
class Object;
class Processor;

// Script class. Classes and names share one 16-bit id space.
class VESK_HOST_API VarClass {
public:
    unsigned short GetID() const { return id_; }
    const char* GetName() const;
    VarClass* GetParent() const { return parent_; }
    // True when this class is the class `id` or derives from it.
    bool IsInheritFrom(unsigned short id) const;

    VarClass(unsigned short id, VarClass* parent) : id_(id), parent_(parent) {}

private:
    unsigned short id_;
    VarClass* parent_;
};

class VESK_HOST_API Variable {
public:
    Variable();
    Variable(const Variable& v);
    Variable(Variable&& v) noexcept;
    Variable(int i);
    Variable(unsigned char b);
    Variable(float f);
    Variable(double d);
    Variable(VInt64 i);
    Variable(const char* text);
    Variable(VVARTYPE type, int n);  // as Init(type, n)
    ~Variable();

    Variable& operator=(const Variable& v);
    Variable& operator=(Variable&& v) noexcept;
    Variable& operator=(int i);
    Variable& operator=(double d);
    Variable& operator=(VInt64 i);
    Variable& operator=(const char* text);
    Variable& operator=(Variable* target);  // keeps a reference to target

    // Turns the value into a fresh value of the given type: numbers 0, a byte
    // buffer of n zero bytes, an array of n empty values, a text of n spaces.
    void Init(VVARTYPE type, int n);
    void Clear();  // empty value (type 0); a reference is dropped, not followed

    VVARTYPE GetType() const;
    bool IsNumber() const;  // a type with a numeric bit (mask 62)
    // Elements of an array or array object, bytes of a buffer, characters of a
    // text; -1 for anything else.
    int GetDim() const;

    // Numbers convert exactly (64-bit integers by rounding); a number object
    // converts its member "Value"; the empty value gives 0; anything else NaN.
    operator double() const;
    // Truncation toward zero, saturated to the int range (NaN gives 0).
    operator int() const;
    int GetInt32() const { return static_cast<int>(*this); }
    VInt64 GetInt64() const;
    // Bytes of a buffer, characters of a text; null otherwise.
    operator char*() const;
    const char* GetText() const;  // text of a text value, else null

    // Element i of an array or array object (index not tested); for anything
    // else a scratch empty value.
    Variable& operator[](int i);
    // Member `name` of an object, created empty when missing; for anything
    // else a scratch empty value.
    Variable& operator()(const char* name);
    Variable* GetArray() const;  // first element of an array, or null
    bool HasMember(const char* name) const;

    VarClass* GetClass() const;  // class of an object, else null
    bool IsInheritFrom(unsigned short id) const;
    Object* GetObject() const;   // the object, or null

    // Native pointer: the payload of a type-2 value, or the object's slot.
    void* GetCppPointer() const;
    void SetCppPointer(void* p);

    // Complex conjugate. The host has real values only: a number conjugates
    // to itself, an array element by element; anything else is copied.
    Variable Conjugate() const;

    // Raw layout access (type code, then payload).
    VVARTYPE RawType() const { return type_; }
    const void* RawPayload() const { return &payload_; }
    void* RawPayload() { return &payload_; }

    // The value this one stands for: the target of a reference, else itself.
    Variable& Deref();
    const Variable& Deref() const;

private:
    void Release();
    void CopyFrom(const Variable& v);
    void MoveFrom(Variable& v) noexcept;
    void SetOwnerOfObject();

    VVARTYPE type_;
    union Payload {
        VInt64 i64;
        unsigned char b;
        int i32;
        float f;
        double d;
        void* p;
    } payload_;

    friend class Object;
    friend struct VariableAccess;
};

// An object: class, named members, optional elements (array classes) and a
// native pointer slot.
class VESK_HOST_API Object {
public:
    VarClass* GetClass() const { return class_; }
    // The Variable that holds this object.
    Variable* GetSelf() const { return self_; }
    Variable& Member(const char* name);
    Variable* FindMember(const char* name) const;
    Variable& Elements() { return elements_; }
    const Variable& Elements() const { return elements_; }
    void* GetCppPointer() const { return cpp_; }
    void SetCppPointer(void* p) { cpp_ = p; }

    explicit Object(VarClass* cls);
    Object(const Object& o);
    ~Object();
    Object& operator=(const Object&) = delete;

    int MemberCount() const;
    const char* MemberName(int i) const;
    Variable& MemberAt(int i);

private:
    struct Members;
    VarClass* class_;
    Members* members_;
    Variable elements_;
    void* cpp_ = nullptr;
    Variable* self_ = nullptr;
    friend class Variable;
};

class VESK_HOST_API VarRegister {
public:
    VarRegister();
    VarRegister(const VarRegister& r);
    VarRegister& operator=(const VarRegister& r);

    operator double() const;
    operator int() const;
    operator Variable&();
    Variable& GetVar();
    VarRegister& operator=(double d);
    VarRegister& operator=(int i);
    VarRegister& operator=(const char* text);
    VarRegister& operator=(const Variable& v);
    // Passing by reference: PointTo(v), then SetRef(); GetVar() then answers *v.
    void PointTo(Variable* v);
    void SetRef();
    bool IsRef() const { return byRef_ && target_ != nullptr; }

private:
    Variable value_;
    Variable* target_ = nullptr;
    bool byRef_ = false;
};

// Growable text buffer.
class VESK_HOST_API Buffer {
public:
    explicit Buffer(int capacity);
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    // Appends at most `max` characters of the formatted text.
    void Printf(int max, const char* format, ...) __attribute__((format(printf, 3, 4)));
    const char* GetData() const { return data_; }
    int GetLength() const { return len_; }

private:
    char* data_;
    int len_;
    int cap_;
};

// A constant's node in the processor's constant tree.
class VESK_HOST_API Tree {
public:
    Variable* Node() { return &value_; }

private:
    Variable value_;
    friend class Processor;
};

// Name table and constants.
class VESK_HOST_API Token {
public:
    // Id of a name, interned on first use (ids 1 and 42 are the fixed classes).
    static unsigned short GetNameID(const char* name);
    static const char* GetName(unsigned short id);
    void SetConstant(unsigned short id, Variable& value);
    virtual ~Token();
};

// Error registry and status.
class VESK_HOST_API Owner : public Token {
public:
    // Registers an error name and answers its new code.
    int RegisterError(const char* text);
    int GetErrorStatus() const;   // non-zero after an error until cleared
    int GetBreakStatus() const;   // non-zero after a user break until cleared
    int GetLastError() const;     // code of the last error raised
    const char* GetErrorName(int code) const;
    void ClearErrorStatus();
};

class VESK_HOST_API Engine : public Owner {
public:
    void FlushIdle();  // lets the host process pending events
};

// The script processor. One Processor pointer serves as Token, Owner and
// Engine.
class VESK_HOST_API Processor : public Engine {
public:
    Processor();
    ~Processor() override;
    Processor(const Processor&) = delete;
    Processor& operator=(const Processor&) = delete;

    virtual Tree* GetConstant(const char* name);
    // Creates an instance of the named class into out, running its
    // constructor with the n arguments. Answers 1, or 0 when the class is
    // unknown (error 3).
    virtual int MakeInstance(Variable& out, const char* className, VarRegister* args, int n);
    // Runs a script function (type 128) with n arguments; 0 on failure.
    virtual int RunFunctionAsIs(VarRegister& result, Variable& function, VarRegister* args, int n);
    virtual int RunMethod(VarRegister& result, const char* method, VarRegister* args, int n,
                          Variable* self);
    virtual int RunMethodAsIs(VarRegister& result, const char* method, VarRegister* args, int n,
                              Variable* self);
    // Unused by the module; keeps PrintText the seventh of the processor's
    // own virtual operations, as in the host.
    virtual void Reserved6();
    // Writes text to the host's output.
    virtual void PrintText(const char* text);
};

class VESK_HOST_API VVConnect {
public:
    Processor* GetOwner();
};
VESK_HOST_API VVConnect* GetConnector();

VESK_HOST_API void VeskError(int code);
VESK_HOST_API void VeskError(int code, const char* text);

VESK_HOST_API void* HMALLOC(size_t bytes);
VESK_HOST_API void* HREALLOC(void* p, size_t bytes);
VESK_HOST_API void HFREE(void* p);

// Uniform deviate in [0, x).
VESK_HOST_API double Rand(double x);

// Base of the host's polymorphic classes.
class VESK_HOST_API VeskAss {
public:
    virtual void PlaceHolder();
    virtual ~VeskAss();
};

// General value arithmetic: numbers of mixed types are promoted, arrays
// combine element by element (with a number or an array of equal length);
// other pairs raise error 3 and leave result empty. Integer division or
// remainder by zero raises error 10.
VESK_HOST_API void __AddNumb(Variable& result, Variable& a, Variable& b);
VESK_HOST_API void __SubNumb(Variable& result, Variable& a, Variable& b);
VESK_HOST_API void __MulNumb(Variable& result, Variable& a, Variable& b);
VESK_HOST_API void __DivNumb(Variable& result, Variable& a, Variable& b);
VESK_HOST_API void __RestNumb(Variable& result, Variable& a, Variable& b);
VESK_HOST_API void _OrNumb(Variable& result, Variable& a, Variable& b);
VESK_HOST_API void _AndNumb(Variable& result, Variable& a, Variable& b);
VESK_HOST_API void _XorNumb(Variable& result, Variable& a, Variable& b);
