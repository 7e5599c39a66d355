// Text form of host values for the command-line host: numbers with 17
// significant digits (they read back to the same double), arrays as
// [a, b, c], texts in double quotes, objects as Class{member: value, ...}.
#pragma once

#include <string>

#include "host/VeskHost.h"

namespace vesk {

std::string Format(const Variable& v);

}  // namespace vesk
