// Normal, Poisson and binomial random deviates.
//
// Every uniform deviate comes from the host's Rand, so a seeded host gives a
// reproducible sequence. The generators keep module-wide state that persists
// between calls and is not synchronised (call them from the host thread):
//   RandGauss       the polar method yields deviates in pairs; the second one
//                   is held unscaled and returned by the next call, scaled by
//                   that call's own mean and sigma.
//   RandPoisson     the last mean and the constants derived from it.
//   RandBinominal   the last trial count and the last probability with the
//                   constants derived from them.
//
//   RandGauss(mean, sigma)  a normal deviate, mean + sigma·N(0, 1).
//   RandPoisson(mean)       a Poisson deviate (a double holding an integer):
//                           the product of uniforms for mean < 12, rejection
//                           from a Lorentzian otherwise. From a mean of 1e8
//                           on, the acceptance ratio's exponent is formed by
//                           Stirling's formula near the mean, where its terms
//                           of size mean·ln mean would cancel (the draws for
//                           smaller means are those of the described method).
//   RandBinominal(p, n)     a binomial deviate for n trials of probability p
//                           (a double holding an integer): direct counting for
//                           n < 25, the Poisson limit when n·min(p, 1 − p) < 1,
//                           rejection otherwise; p above 0.5 draws the count
//                           of failures and answers n minus it.
//
// No error is raised. RandPoisson answers 0 for a mean ≤ 0 and, without
// drawing, for a NaN or infinite mean (the rejection loop could never accept);
// a finite mean from half the double range on is answered as itself, without
// drawing. RandBinominal answers 0 without drawing for n ≤ 0 or a NaN p;
// p below 0 acts as 0 and p above 1 as 1. A NaN mean or sigma in RandGauss
// gives NaN.
#pragma once

#include "host/Export.h"

VESK_MATH_API double RandGauss(double mean, double sigma);
VESK_MATH_API double RandPoisson(double mean);
VESK_MATH_API double RandBinominal(double p, int n);
