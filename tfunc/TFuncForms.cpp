// TFunc: the members in the form client modules link against (non-const
// members and plain references). Each forwards to the const form beside it,
// which holds the one implementation.
#include <utility>

#include "linalg/MatVector.h"
#include "tfunc/TFunc.h"

int TFunc::pos(double x) { return std::as_const(*this).pos(x); }
int TFunc::Index(double x) { return std::as_const(*this).Index(x); }
double TFunc::minX() { return std::as_const(*this).minX(); }
double TFunc::maxX() { return std::as_const(*this).maxX(); }
double TFunc::minY() { return std::as_const(*this).minY(); }
double TFunc::maxY() { return std::as_const(*this).maxY(); }
int TFunc::minYindex() { return std::as_const(*this).minYindex(); }
int TFunc::maxYindex() { return std::as_const(*this).maxYindex(); }

TFunc& TFunc::operator+=(TFunc& g) { return *this += std::as_const(g); }
TFunc& TFunc::operator-=(TFunc& g) { return *this -= std::as_const(g); }
TFunc& TFunc::operator*=(TFunc& g) { return *this *= std::as_const(g); }
TFunc& TFunc::operator/=(TFunc& g) { return *this /= std::as_const(g); }

TFunc* TFunc::Integral() { return std::as_const(*this).Integral(); }
TFunc* TFunc::IntegralSimpson() { return std::as_const(*this).IntegralSimpson(); }
double TFunc::Integral(double a, double b) { return std::as_const(*this).Integral(a, b); }
double TFunc::IntegralSimpson(double a, double b) { return std::as_const(*this).IntegralSimpson(a, b); }
MatVector* TFunc::Zero() { return std::as_const(*this).Zero(); }
void TFunc::Max(double& x, double& y) { std::as_const(*this).Max(x, y); }
void TFunc::Min(double& x, double& y) { std::as_const(*this).Min(x, y); }
double TFunc::LogIntegralExp() { return std::as_const(*this).LogIntegralExp(); }
