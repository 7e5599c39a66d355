// Recursive-descent reader for the call syntax described in Parser.h.
#include "tools/vesk/Parser.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "runtime/VeskRuntime.h"

namespace vesk {
namespace {

class Reader {
public:
    explicit Reader(const std::string& s) : s_(s) {}

    bool Call(ParsedCall& call) {
        Skip();
        if (!Name(call.name)) return Fail("expected a function name");
        Skip();
        if (!Eat('(')) return Fail("expected '(' after '" + call.name + "'");
        Skip();
        if (!Eat(')')) {
            for (;;) {
                Variable v;
                if (!Value(v, 0)) return false;
                call.args.push_back(std::move(v));
                Skip();
                if (Eat(')')) break;
                if (!Eat(',')) return Fail("expected ',' or ')' between arguments");
            }
        }
        Skip();
        if (pos_ < s_.size()) return Fail("unexpected text after the call");
        return true;
    }

    const std::string& Error() const { return error_; }

private:
    static constexpr int kMaxDepth = 64;

    bool Value(Variable& out, int depth) {
        if (depth > kMaxDepth) return Fail("values nested too deeply");
        Skip();
        if (pos_ >= s_.size()) return Fail("expected a value");
        char c = s_[pos_];
        if (c == '[') return Array(out, depth);
        if (c == '"') return Text(out);
        if (c == '{') return Object("TFunc", out, depth);
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t start = pos_;
            std::string word;
            Name(word);
            Skip();
            if (pos_ < s_.size() && s_[pos_] == '{') return Object(word, out, depth);
            pos_ = start;  // inf, nan and the like
        }
        return Number(out);
    }

    bool Array(Variable& out, int depth) {
        ++pos_;
        std::vector<Variable> items;
        Skip();
        if (!Eat(']')) {
            for (;;) {
                Variable v;
                if (!Value(v, depth + 1)) return false;
                items.push_back(std::move(v));
                Skip();
                if (Eat(']')) break;
                if (!Eat(',')) return Fail("expected ',' or ']' in an array");
            }
        }
        out.Init(VT_ARRAY, static_cast<int>(items.size()));
        for (size_t i = 0; i < items.size(); ++i) out[static_cast<int>(i)] = std::move(items[i]);
        return true;
    }

    bool Text(Variable& out) {
        ++pos_;
        std::string t;
        while (pos_ < s_.size() && s_[pos_] != '"') {
            if (s_[pos_] == '\\' && pos_ + 1 < s_.size()) ++pos_;
            // Host texts end at their first NUL: one inside would be cut.
            if (s_[pos_] == 0) return Fail("a text cannot hold a NUL character");
            t += s_[pos_++];
        }
        if (!Eat('"')) return Fail("unterminated text");
        out = t.c_str();
        return true;
    }

    bool Object(const std::string& cls, Variable& out, int depth) {
        if (!vrt::NewObject(out, cls.c_str())) return Fail("unknown class '" + cls + "'");
        ++pos_;  // '{'
        Skip();
        if (Eat('}')) return true;
        for (;;) {
            Skip();
            std::string member;
            if (!Name(member)) return Fail("expected a member name");
            Skip();
            if (!Eat(':')) return Fail("expected ':' after member '" + member + "'");
            Variable v;
            if (!Value(v, depth + 1)) return false;
            out(member.c_str()) = std::move(v);
            Skip();
            if (Eat('}')) return true;
            if (!Eat(',')) return Fail("expected ',' or '}' in an object");
        }
    }

    bool Number(Variable& out) {
        const char* begin = s_.c_str() + pos_;
        char* end = nullptr;
        errno = 0;
        double d = std::strtod(begin, &end);
        if (end == begin) return Fail("expected a value");
        // strtod also reads hexadecimal forms; the syntax keeps to decimal.
        for (const char* p = begin; p < end; ++p)
            if (*p == 'x' || *p == 'X') return Fail("expected a decimal number");
        pos_ += static_cast<size_t>(end - begin);
        out = d;
        return true;
    }

    bool Name(std::string& name) {
        size_t start = pos_;
        while (pos_ < s_.size() &&
               (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
            ++pos_;
        if (pos_ == start || std::isdigit(static_cast<unsigned char>(s_[start]))) {
            pos_ = start;
            return false;
        }
        name = s_.substr(start, pos_ - start);
        return true;
    }

    void Skip() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }

    bool Eat(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool Fail(const std::string& what) {
        if (error_.empty()) error_ = "malformed call at column " + std::to_string(pos_ + 1) + ": " + what;
        return false;
    }

    const std::string& s_;
    size_t pos_ = 0;
    std::string error_;
};

}  // namespace

bool ParseCall(const std::string& text, ParsedCall& call, std::string& error) {
    Reader r(text);
    if (r.Call(call)) return true;
    error = r.Error();
    return false;
}

}  // namespace vesk
