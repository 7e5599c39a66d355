// Text form of host values for the command-line host.
#include "tools/vesk/Printer.h"

#include <cmath>
#include <cstdio>

namespace vesk {
namespace {

std::string FormatDouble(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

void Append(std::string& out, const Variable& cv) {
    Variable& v = const_cast<Variable&>(cv);
    switch (v.GetType()) {
        case VT_EMPTY: out += "empty"; return;
        case VT_INT64: out += std::to_string(v.GetInt64()); return;
        case VT_BYTE: case VT_INT: out += std::to_string(static_cast<int>(v)); return;
        case VT_FLOAT: case VT_DOUBLE: out += FormatDouble(static_cast<double>(v)); return;
        case VT_TEXT: {
            out += '"';
            for (const char* p = v.GetText(); *p; ++p) {
                if (*p == '"' || *p == '\\') out += '\\';
                out += *p;
            }
            out += '"';
            return;
        }
        case VT_FUNCTION: out += "function"; return;
        case VT_BUFFER: out += "buffer(" + std::to_string(v.GetDim()) + " bytes)"; return;
        case VT_ARRAY: {
            out += '[';
            for (int i = 0; i < v.GetDim(); ++i) {
                if (i) out += ", ";
                Append(out, v[i]);
            }
            out += ']';
            return;
        }
        default: break;
    }
    if (Object* o = v.GetObject()) {
        out += o->GetClass() ? o->GetClass()->GetName() : "object";
        out += '{';
        for (int i = 0; i < o->MemberCount(); ++i) {
            if (i) out += ", ";
            out += o->MemberName(i);
            out += ": ";
            Append(out, o->MemberAt(i));
        }
        if (o->Elements().GetType() == VT_ARRAY) {
            if (o->MemberCount()) out += ", ";
            out += "elements: ";
            Append(out, o->Elements());
        }
        out += '}';
        return;
    }
    out += "value of type " + std::to_string(v.GetType());
}

}  // namespace

std::string Format(const Variable& v) {
    std::string out;
    Append(out, v);
    return out;
}

}  // namespace vesk
