// Call syntax of the command-line host.
//
//   call    := name '(' [value {',' value}] ')'
//   value   := number | '[' [value {',' value}] ']' | text | object
//   number  := a decimal or exponent form as strtod reads it, also inf, nan
//   text    := '"' characters, with \" and \\ escapes '"'
//              (no NUL character: host texts are zero-terminated)
//   object  := [class] '{' [member ':' value {',' member ':' value}] '}'
//              an instance of the named class (TFunc when no class is
//              given) with the members in the order written, for example
//              {X: [0, 1, 2], Y: [1, 2, 4]} or Number{Value: 2.5}
//
// Numbers become doubles, arrays host arrays (type 1024).
#pragma once

#include <string>
#include <vector>

#include "host/VeskHost.h"

namespace vesk {

struct ParsedCall {
    std::string name;
    std::vector<Variable> args;
};

// Parses one call; on failure answers false and sets `error` to a one-line
// description naming the problem and its column.
bool ParseCall(const std::string& text, ParsedCall& call, std::string& error);

}  // namespace vesk
