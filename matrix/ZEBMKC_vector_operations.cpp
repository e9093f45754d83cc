#include "ZEBMKC_vector_operations.h"

#include <cstring>

namespace {

// The n mod 8 leading elements one by one, then blocks of eight that the compiler vectorises.
template <typename Op>
inline void forEachIndex(unsigned int n, Op op) {
	const unsigned int lead = n % 8;
	unsigned int i = 0;
	for (; i < lead; ++i)
		op(i);
	for (; i < n; i += 8) {
		op(i);		op(i + 1);	op(i + 2);	op(i + 3);
		op(i + 4);	op(i + 5);	op(i + 6);	op(i + 7);
	}
}

} // namespace


namespace ZEBMK {

void vectorUInt_fill(int n, unsigned int * v, unsigned int value) {
	if (n > 0)
		forEachIndex(static_cast<unsigned int>(n), [=](unsigned int i) { v[i] = value; });
}


void vector_fill(int n, double * v, double value) {
	if (n > 0)
		forEachIndex(static_cast<unsigned int>(n), [=](unsigned int i) { v[i] = value; });
}


void vector_copy(unsigned int n, const double * src, double * dst) {
	if (n > 0)
		std::memcpy(dst, src, n * sizeof(double));
}


void vector_scale(unsigned int n, const double * x, double * y, double a) {
	forEachIndex(n, [=](unsigned int i) { y[i] = a * x[i]; });
}


void vector_scale_by(int n, double * x, double a) {
	if (n > 0)
		forEachIndex(static_cast<unsigned int>(n), [=](unsigned int i) { x[i] *= a; });
}


void vector_add(unsigned int n, const double * x, double * y, double a) {
	if (a == 1.0)
		forEachIndex(n, [=](unsigned int i) { y[i] += x[i]; });
	else
		forEachIndex(n, [=](unsigned int i) { y[i] += a * x[i]; });
}


void vector_sub(int n, const double * x, double * y) {
	if (n > 0)
		forEachIndex(static_cast<unsigned int>(n), [=](unsigned int i) { y[i] -= x[i]; });
}


void vector_linear_sum(unsigned int n, const double * x, const double * y, double * z, double a, double b) {
	forEachIndex(n, [=](unsigned int i) { z[i] = a * x[i] + b * y[i]; });
}

} // namespace ZEBMK
