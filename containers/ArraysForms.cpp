// Arrays: the members in the form client modules link against (non-const
// members, plain pointers and references). Each forwards to the const form
// beside it, which holds the one implementation.
#include <utility>

#include "containers/Arrays.h"

DoubleArray::DoubleArray(char* buf, int size) : DoubleArray(static_cast<const char*>(buf), size) {}
int DoubleArray::GetSerializeSize() { return std::as_const(*this).GetSerializeSize(); }
void DoubleArray::Serialize(Variable& out) { std::as_const(*this).Serialize(out); }

IntArray::IntArray(char* buf, int size) : IntArray(static_cast<const char*>(buf), size) {}
int IntArray::GetSerializeSize() { return std::as_const(*this).GetSerializeSize(); }
void IntArray::Serialize(Variable& out) { std::as_const(*this).Serialize(out); }

DoubleArrayEx::DoubleArrayEx(DoubleArrayEx& a) : DoubleArrayEx(std::as_const(a)) {}
void DoubleArrayEx::InsertItem(int i, double* rec) { InsertItem(i, static_cast<const double*>(rec)); }
int DoubleArrayEx::FindMaxIndex(int col) { return std::as_const(*this).FindMaxIndex(col); }
int DoubleArrayEx::FindMinIndex(int col) { return std::as_const(*this).FindMinIndex(col); }
int DoubleArrayEx::GetSerializeSize() { return std::as_const(*this).GetSerializeSize(); }
void DoubleArrayEx::Serialize(Variable& out) { std::as_const(*this).Serialize(out); }

double* DoubleArraySet::Param(int i) { return std::as_const(*this).Param(i); }
