#include "ZEBMKC_dense_matrix.h"

#include <cstddef>
#include <utility>

namespace ZEBMK {

namespace {

// One body per operation: the general members call it with a run-time n, the unrolled members
// with a constant n, which the compiler unrolls completely. The restrict qualifiers state the
// no-overlap contract so that the column loops are vectorised. Positions are 64-bit: j*n + i
// leaves the int range from n = 46341 on.
using Index = std::ptrdiff_t;

inline int luNoPivot(Index n, double * __restrict A) {
	for (Index k = 0; k < n - 1; ++k) {
		double * colK = A + k * n;
		const double pivot = colK[k];
		if (pivot == 0)
			return -2;
		for (Index i = k + 1; i < n; ++i)
			colK[i] /= pivot;
		for (Index j = k + 1; j < n; ++j) {
			double * colJ = A + j * n;
			const double akj = colJ[k];
			for (Index i = k + 1; i < n; ++i)
				colJ[i] -= colK[i] * akj;
		}
	}
	if (A[(n - 1) * n + n - 1] == 0)
		return -2;
	return 0;
}

inline void backsolveNoPivot(Index n, const double * __restrict A, double * __restrict b) {
	for (Index k = 0; k < n - 1; ++k) {
		const double * colK = A + k * n;
		const double bk = b[k];
		for (Index i = k + 1; i < n; ++i)
			b[i] -= colK[i] * bk;
	}
	for (Index k = n - 1; k >= 0; --k) {
		const double * colK = A + k * n;
		b[k] /= colK[k];
		const double bk = b[k];
		for (Index i = 0; i < k; ++i)
			b[i] -= colK[i] * bk;
	}
}

inline void inverseMultNoPivot(Index n, const double * __restrict A, double * __restrict B) {
	for (Index j = 0; j < n; ++j)
		backsolveNoPivot(n, A, B + j * n);
}

// C = A*B when zero is true, else C += sign * A*B.
template <bool ZERO, int SIGN>
inline void matMult(Index n, const double * __restrict A, const double * __restrict B, double * __restrict C) {
	for (Index j = 0; j < n; ++j) {
		double * colC = C + j * n;
		if (ZERO) {
			for (Index i = 0; i < n; ++i)
				colC[i] = 0;
		}
		const double * colB = B + j * n;
		for (Index k = 0; k < n; ++k) {
			const double bkj = SIGN * colB[k];
			const double * colA = A + k * n;
			for (Index i = 0; i < n; ++i)
				colC[i] += colA[i] * bkj;
		}
	}
}

// y = A*x when ZERO, else y += SIGN * A*x.
template <bool ZERO, int SIGN>
inline void vecMult(Index n, const double * __restrict A, const double * __restrict x, double * __restrict y) {
	if (ZERO) {
		for (Index i = 0; i < n; ++i)
			y[i] = 0;
	}
	for (Index j = 0; j < n; ++j) {
		const double xj = SIGN * x[j];
		const double * colA = A + j * n;
		for (Index i = 0; i < n; ++i)
			y[i] += colA[i] * xj;
	}
}

} // namespace


int zebmk_dense_LU_pivot(int n, double * A, long * p) {
	for (Index k = 0; k < n; ++k) {
		double * colK = A + k * n;
		Index l = k;
		double largest = colK[k] < 0 ? -colK[k] : colK[k];
		for (Index i = k + 1; i < n; ++i) {
			const double m = colK[i] < 0 ? -colK[i] : colK[i];
			if (m > largest) {
				largest = m;
				l = i;
			}
		}
		p[k] = l;
		if (colK[l] == 0)
			return static_cast<int>(k + 1);
		if (l != k) {
			for (Index j = 0; j < n; ++j)
				std::swap(A[j * n + k], A[j * n + l]);
		}
		const double factor = 1.0 / colK[k];
		for (Index i = k + 1; i < n; ++i)
			colK[i] *= factor;
		for (Index j = k + 1; j < n; ++j) {
			double * __restrict colJ = A + j * n;
			const double akj = colJ[k];
			if (akj == 0)
				continue;
			for (Index i = k + 1; i < n; ++i)
				colJ[i] -= akj * colK[i];
		}
	}
	return 0;
}


void zebmk_dense_backsolve_pivot(int n, const double * A, const long * p, double * b) {
	if (n < 1)
		return;
	for (Index k = 0; k < n; ++k) {
		const long l = p[k];
		if (l != k)
			std::swap(b[k], b[l]);
	}
	for (Index k = 0; k < n - 1; ++k) {
		const double * __restrict colK = A + k * n;
		const double bk = b[k];
		for (Index i = k + 1; i < n; ++i)
			b[i] -= colK[i] * bk;
	}
	for (Index k = n - 1; k > 0; --k) {
		const double * __restrict colK = A + k * n;
		b[k] /= colK[k];
		const double bk = b[k];
		for (Index i = 0; i < k; ++i)
			b[i] -= colK[i] * bk;
	}
	b[0] /= A[0];
}


void zebmk_dense_inverse_mult_pivot(int n, const double * A, const long * p, double * B) {
	for (Index j = 0; j < n; ++j)
		zebmk_dense_backsolve_pivot(n, A, p, B + j * n);
}


int zebmk_dense_LU(int n, double * A) {
	if (n < 1)
		return 0;
	return luNoPivot(n, A);
}
int zebmk_dense_LU2(double * A) { return luNoPivot(2, A); }
int zebmk_dense_LU3(double * A) { return luNoPivot(3, A); }
int zebmk_dense_LU4(double * A) { return luNoPivot(4, A); }


void zebmk_dense_backsolve(int n, const double * A, double * b) {
	if (n < 1)
		return;
	backsolveNoPivot(n, A, b);
}
void zebmk_dense_backsolve2(const double * A, double * b) { backsolveNoPivot(2, A, b); }
void zebmk_dense_backsolve3(const double * A, double * b) { backsolveNoPivot(3, A, b); }
void zebmk_dense_backsolve4(const double * A, double * b) { backsolveNoPivot(4, A, b); }


void zebmk_dense_inverse_mult(int n, const double * A, double * B) {
	if (n < 1)
		return;
	inverseMultNoPivot(n, A, B);
}
void zebmk_dense_inverse_mult2(const double * A, double * B) { inverseMultNoPivot(2, A, B); }
void zebmk_dense_inverse_mult3(const double * A, double * B) { inverseMultNoPivot(3, A, B); }
void zebmk_dense_inverse_mult4(const double * A, double * B) { inverseMultNoPivot(4, A, B); }


void zebmk_dense_mat_mult(int n, const double * A, const double * B, double * C) {
	if (n < 1)
		return;
	matMult<true, 1>(n, A, B, C);
}
void zebmk_dense_mat_mult2(const double * A, const double * B, double * C) { matMult<true, 1>(2, A, B, C); }
void zebmk_dense_mat_mult3(const double * A, const double * B, double * C) { matMult<true, 1>(3, A, B, C); }
void zebmk_dense_mat_mult4(const double * A, const double * B, double * C) { matMult<true, 1>(4, A, B, C); }


void zebmk_dense_mat_mult_sub(int n, const double * A, const double * B, double * C) {
	if (n < 1)
		return;
	matMult<false, -1>(n, A, B, C);
}
void zebmk_dense_mat_mult_sub2(const double * A, const double * B, double * C) { matMult<false, -1>(2, A, B, C); }
void zebmk_dense_mat_mult_sub3(const double * A, const double * B, double * C) { matMult<false, -1>(3, A, B, C); }
void zebmk_dense_mat_mult_sub4(const double * A, const double * B, double * C) { matMult<false, -1>(4, A, B, C); }


void zebmk_dense_vec_mult(int n, const double * A, const double * x, double * y) {
	switch (n) {
		case 2: zebmk_dense_vec_mult2(A, x, y); return;
		case 3: zebmk_dense_vec_mult3(A, x, y); return;
		case 4: zebmk_dense_vec_mult4(A, x, y); return;
		default:
			if (n < 1)
				return;
			vecMult<true, 1>(n, A, x, y);
	}
}
void zebmk_dense_vec_mult2(const double * A, const double * x, double * y) { vecMult<true, 1>(2, A, x, y); }
void zebmk_dense_vec_mult3(const double * A, const double * x, double * y) { vecMult<true, 1>(3, A, x, y); }
void zebmk_dense_vec_mult4(const double * A, const double * x, double * y) { vecMult<true, 1>(4, A, x, y); }


void zebmk_dense_vec_mult_add(int n, const double * A, const double * x, double * y) {
	if (n < 1)
		return;
	vecMult<false, 1>(n, A, x, y);
}
void zebmk_dense_vec_mult_add2(const double * A, const double * x, double * y) { vecMult<false, 1>(2, A, x, y); }
void zebmk_dense_vec_mult_add3(const double * A, const double * x, double * y) { vecMult<false, 1>(3, A, x, y); }
void zebmk_dense_vec_mult_add4(const double * A, const double * x, double * y) { vecMult<false, 1>(4, A, x, y); }


void zebmk_dense_vec_mult_sub(int n, const double * A, const double * x, double * y) {
	if (n < 1)
		return;
	vecMult<false, -1>(n, A, x, y);
}
void zebmk_dense_vec_mult_sub2(const double * A, const double * x, double * y) { vecMult<false, -1>(2, A, x, y); }
void zebmk_dense_vec_mult_sub3(const double * A, const double * x, double * y) { vecMult<false, -1>(3, A, x, y); }
void zebmk_dense_vec_mult_sub4(const double * A, const double * x, double * y) { vecMult<false, -1>(4, A, x, y); }


void zebmk_dense_row_matvecsum(const double * A, int n, int m, const double * x, double * y) {
	if (n < 1)
		return;
	for (Index i = 0; i < n; ++i)
		y[i] = 0;
	for (Index k = 0; k < m; ++k)
		vecMult<false, 1>(n, A + k * n * n, x + k * n, y);
}


void dense_vec_mult_add(int n, const double * A, const double * x, double * y) {
	zebmk_dense_vec_mult_add(n, A, x, y);
}
void dense_vec_mult_add2(const double * A, const double * x, double * y) { vecMult<false, 1>(2, A, x, y); }
void dense_vec_mult_add3(const double * A, const double * x, double * y) { vecMult<false, 1>(3, A, x, y); }

} // namespace ZEBMK
