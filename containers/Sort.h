// Sorting and binary search over plain arrays of int, float and double.
//
// QSort(a, left, right)
//   Sorts a[left..right] (both included) ascending, in place, with an
//   iterative quicksort whose pending segments live in a small fixed stack on
//   the caller's frame (no recursion, no heap). Not stable. NaNs order above
//   every number: they are gathered at the top of the range. An empty or
//   reversed range (right <= left) is left alone.
// QSortIndex(idx, v, left, right)
//   Reorders idx[left..right] so that v[idx[left]] .. v[idx[right]] ascend
//   (NaNs last); v is not changed.
// BFind(a, x, n[, stride])
//   Index k (0..n-1) of an element equal to x, or -1. Element k of the array
//   stands at a[k*stride] (stride in elements, 1 when omitted). The array may
//   be sorted ascending or descending: it counts as descending when its last
//   element is smaller than its first. With duplicates the answer is n-1 if
//   that element matches, else 0 if it matches, else the match the bisection
//   meets.
// BFindInsertIndex(a, x, n[, stride])
//   Index at which x is inserted to keep the order; next to an equal element
//   x goes on the side of the larger values. n = 1 answers 0, n <= 0 answers
//   -1.
// The searches expect a sorted array and an x that is not NaN; they raise no
// error, keep no state and allocate nothing.
//
// Exported instances: QSort<int>, QSort<float>, QSort<double>,
// QSortIndex<double>, and BFind / BFindInsertIndex for int, float and double,
// each with and without a stride.
#pragma once

#include "host/Export.h"

template <class T>
VESK_MATH_API void QSort(T* a, int left, int right);

template <class T>
VESK_MATH_API void QSortIndex(int* idx, T* v, int left, int right);

template <class T>
VESK_MATH_API int BFind(T* a, double x, int n, int stride);
template <class T>
VESK_MATH_API int BFind(T* a, double x, int n);

template <class T>
VESK_MATH_API int BFindInsertIndex(T* a, double x, int n, int stride);
template <class T>
VESK_MATH_API int BFindInsertIndex(T* a, double x, int n);

extern template void QSort<int>(int*, int, int);
extern template void QSort<float>(float*, int, int);
extern template void QSort<double>(double*, int, int);
extern template void QSortIndex<double>(int*, double*, int, int);

extern template int BFind<int>(int*, double, int, int);
extern template int BFind<float>(float*, double, int, int);
extern template int BFind<double>(double*, double, int, int);
extern template int BFind<int>(int*, double, int);
extern template int BFind<float>(float*, double, int);
extern template int BFind<double>(double*, double, int);

extern template int BFindInsertIndex<int>(int*, double, int, int);
extern template int BFindInsertIndex<float>(float*, double, int, int);
extern template int BFindInsertIndex<double>(double*, double, int, int);
extern template int BFindInsertIndex<int>(int*, double, int);
extern template int BFindInsertIndex<float>(float*, double, int);
extern template int BFindInsertIndex<double>(double*, double, int);
