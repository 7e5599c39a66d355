// Helpers shared by the Bessel sources (not part of the module interface).
#pragma once

namespace vesk_bessel_detail {

// True and *n set when nu equals its truncation to a 32-bit integer.
bool IntegralOrder(double nu, int* n);

}  // namespace vesk_bessel_detail
