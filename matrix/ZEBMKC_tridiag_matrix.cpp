#include "ZEBMKC_tridiag_matrix.h"

#include <cstddef>

#include "ZEBMKC_dense_matrix.h"

namespace ZEBMK {

namespace {

// The scalar algorithms run over three indexable sequences a, b, c: plain arrays for the
// contiguous layout T, or the block-pointer arrays of 1 x 1 blocks, which need not be contiguous.
template <typename Ptr>
struct ScalarBlocks {
	Ptr const * m_blocks;
	auto & operator[](int k) const { return *m_blocks[k]; }
};

template <typename Entries>
int tridiagLU(int n, Entries a, Entries b, Entries c) {
	if (n < 3)
		return -1;
	if (b[0] == 0)
		return 1;
	c[0] /= b[0];
	a[0] /= b[0];
	b[1] -= a[1] * c[0];
	if (b[1] == 0)
		return 2;
	c[1] = (c[1] - a[1] * a[0]) / b[1];
	for (int k = 2; k <= n - 2; ++k) {
		b[k] -= a[k] * c[k - 1];
		if (b[k] == 0)
			return k + 1;
		c[k] /= b[k];
	}
	a[n - 1] -= c[n - 1] * c[n - 3];
	// with three rows the corner column of row 0 is the last column: row 2 meets it when row 0
	// is eliminated
	if (n == 3)
		b[2] -= c[2] * a[0];
	b[n - 1] -= a[n - 1] * c[n - 2];
	if (b[n - 1] == 0)
		return n;
	return 0;
}

template <typename Entries>
void tridiagBacksolve(int n, Entries a, Entries b, Entries c, double * d) {
	if (n < 3)
		return;
	d[0] /= b[0];
	for (int k = 1; k <= n - 2; ++k)
		d[k] = (d[k] - a[k] * d[k - 1]) / b[k];
	d[n - 1] = (d[n - 1] - a[n - 1] * d[n - 2] - c[n - 1] * d[n - 3]) / b[n - 1];
	for (int k = n - 2; k >= 1; --k)
		d[k] -= c[k] * d[k + 1];
	d[0] -= c[0] * d[1] + a[0] * d[2];
}

template <typename Entries>
void tridiagVecMult(int n, Entries a, Entries b, Entries c, const double * x, double * y) {
	if (n < 1)
		return;
	if (n == 1) {
		y[0] = b[0] * x[0];
		return;
	}
	y[0] = b[0] * x[0] + c[0] * x[1];
	for (int k = 1; k <= n - 2; ++k)
		y[k] = a[k] * x[k - 1] + b[k] * x[k] + c[k] * x[k + 1];
	y[n - 1] = a[n - 1] * x[n - 2] + b[n - 1] * x[n - 1];
	if (n >= 3) {
		y[0] += a[0] * x[2];
		y[n - 1] += c[n - 1] * x[n - 3];
	}
}


// Block operations with the unrolled dense kernels for m = 2, 3, 4.

void matMultSub(int m, const double * X, const double * Y, double * Z) {
	switch (m) {
		case 2: zebmk_dense_mat_mult_sub2(X, Y, Z); return;
		case 3: zebmk_dense_mat_mult_sub3(X, Y, Z); return;
		case 4: zebmk_dense_mat_mult_sub4(X, Y, Z); return;
		default: zebmk_dense_mat_mult_sub(m, X, Y, Z);
	}
}

void vecMultSub(int m, const double * X, const double * x, double * y) {
	switch (m) {
		case 2: zebmk_dense_vec_mult_sub2(X, x, y); return;
		case 3: zebmk_dense_vec_mult_sub3(X, x, y); return;
		case 4: zebmk_dense_vec_mult_sub4(X, x, y); return;
		default: zebmk_dense_vec_mult_sub(m, X, x, y);
	}
}

void vecMultAdd(int m, const double * X, const double * x, double * y) {
	switch (m) {
		case 2: zebmk_dense_vec_mult_add2(X, x, y); return;
		case 3: zebmk_dense_vec_mult_add3(X, x, y); return;
		case 4: zebmk_dense_vec_mult_add4(X, x, y); return;
		default: zebmk_dense_vec_mult_add(m, X, x, y);
	}
}

// Factorisation policies of the diagonal blocks; k is the block row.
struct Unpivoted {
	int factor(int m, double * X, int) const {
		switch (m) {
			case 2: return zebmk_dense_LU2(X);
			case 3: return zebmk_dense_LU3(X);
			case 4: return zebmk_dense_LU4(X);
			default: return zebmk_dense_LU(m, X);
		}
	}
	void inverseMult(int m, const double * F, int, double * X) const {
		switch (m) {
			case 2: zebmk_dense_inverse_mult2(F, X); return;
			case 3: zebmk_dense_inverse_mult3(F, X); return;
			case 4: zebmk_dense_inverse_mult4(F, X); return;
			default: zebmk_dense_inverse_mult(m, F, X);
		}
	}
	void solve(int m, const double * F, int, double * x) const {
		switch (m) {
			case 2: zebmk_dense_backsolve2(F, x); return;
			case 3: zebmk_dense_backsolve3(F, x); return;
			case 4: zebmk_dense_backsolve4(F, x); return;
			default: zebmk_dense_backsolve(m, F, x);
		}
	}
};

struct PivotedLU {
	long * m_p;
	int factor(int m, double * X, int k) const {
		return zebmk_dense_LU_pivot(m, X, m_p + static_cast<std::ptrdiff_t>(k) * m);
	}
	void inverseMult(int m, const double * F, int k, double * X) const {
		zebmk_dense_inverse_mult_pivot(m, F, m_p + static_cast<std::ptrdiff_t>(k) * m, X);
	}
};

struct PivotedSolve {
	const long * m_p;
	void solve(int m, const double * F, int k, double * x) const {
		zebmk_dense_backsolve_pivot(m, F, m_p + static_cast<std::ptrdiff_t>(k) * m, x);
	}
};

template <typename Factors>
int blockLU(int n, int m, double * const * A, double * const * B, double * const * C, const Factors & f) {
	if (f.factor(m, B[0], 0) != 0)
		return 1;
	f.inverseMult(m, B[0], 0, C[0]);
	f.inverseMult(m, B[0], 0, A[0]);

	matMultSub(m, A[1], C[0], B[1]);
	if (f.factor(m, B[1], 1) != 0)
		return 2;
	matMultSub(m, A[1], A[0], C[1]);
	f.inverseMult(m, B[1], 1, C[1]);

	for (int k = 2; k <= n - 2; ++k) {
		matMultSub(m, A[k], C[k - 1], B[k]);
		if (f.factor(m, B[k], k) != 0)
			return k + 1;
		f.inverseMult(m, B[k], k, C[k]);
	}

	matMultSub(m, C[n - 1], C[n - 3], A[n - 1]);
	matMultSub(m, A[n - 1], C[n - 2], B[n - 1]);
	if (f.factor(m, B[n - 1], n - 1) != 0)
		return n;
	return 0;
}

template <typename Factors>
void blockBacksolve(int n, int m, const double * const * A, const double * const * B, const double * const * C,
					const Factors & f, double * d)
{
	const auto sub = [m, d](int k) { return d + static_cast<std::ptrdiff_t>(k) * m; };
	f.solve(m, B[0], 0, d);
	for (int k = 1; k <= n - 2; ++k) {
		vecMultSub(m, A[k], sub(k - 1), sub(k));
		f.solve(m, B[k], k, sub(k));
	}
	vecMultSub(m, A[n - 1], sub(n - 2), sub(n - 1));
	vecMultSub(m, C[n - 1], sub(n - 3), sub(n - 1));
	f.solve(m, B[n - 1], n - 1, sub(n - 1));

	for (int k = n - 2; k >= 1; --k)
		vecMultSub(m, C[k], sub(k + 1), sub(k));
	vecMultSub(m, C[0], sub(1), d);
	vecMultSub(m, A[0], sub(2), d);
}

} // namespace


int zebmk_tridiag_LU(int n, double * T) {
	return tridiagLU(n, T, T + n, T + 2 * static_cast<std::ptrdiff_t>(n));
}


void zebmk_tridiag_backsolve(int n, const double * T, double * d) {
	tridiagBacksolve(n, T, T + n, T + 2 * static_cast<std::ptrdiff_t>(n), d);
}


void zebmk_tridiag_vec_mult(int n, const double * T, const double * x, double * y) {
	tridiagVecMult(n, T, T + n, T + 2 * static_cast<std::ptrdiff_t>(n), x, y);
}


int zebmk_btridiag_LU(int n, int m, double * const * A, double * const * B, double * const * C) {
	if (n < 4)
		return -1;
	if (m == 1)
		return tridiagLU(n, ScalarBlocks<double *>{A}, ScalarBlocks<double *>{B}, ScalarBlocks<double *>{C});
	return blockLU(n, m, A, B, C, Unpivoted());
}


int zebmk_btridiag_LU_pivot(int n, int m, double * const * A, double * const * B, double * const * C, long * p) {
	if (n < 4)
		return -1;
	if (m == 1)
		return tridiagLU(n, ScalarBlocks<double *>{A}, ScalarBlocks<double *>{B}, ScalarBlocks<double *>{C});
	return blockLU(n, m, A, B, C, PivotedLU{p});
}


void zebmk_btridiag_backsolve(int n, int m, const double * const * A, const double * const * B,
							  const double * const * C, double * d)
{
	if (n < 4)
		return;
	if (m == 1) {
		using S = ScalarBlocks<const double *>;
		tridiagBacksolve(n, S{A}, S{B}, S{C}, d);
		return;
	}
	blockBacksolve(n, m, A, B, C, Unpivoted(), d);
}


void zebmk_btridiag_backsolve_pivot(int n, int m, const double * const * A, const double * const * B,
									const double * const * C, const long * p, double * d)
{
	if (n < 4)
		return;
	if (m == 1) {
		using S = ScalarBlocks<const double *>;
		tridiagBacksolve(n, S{A}, S{B}, S{C}, d);
		return;
	}
	blockBacksolve(n, m, A, B, C, PivotedSolve{p}, d);
}


void zebmk_btridiag_vec_mult(int n, int m, const double * const * A, const double * const * B,
							 const double * const * C, const double * x, double * y)
{
	if (n < 1 || m < 1)
		return;
	if (m == 1) {
		using S = ScalarBlocks<const double *>;
		tridiagVecMult(n, S{A}, S{B}, S{C}, x, y);
		return;
	}
	const auto xs = [m, x](int k) { return x + static_cast<std::ptrdiff_t>(k) * m; };
	const auto ys = [m, y](int k) { return y + static_cast<std::ptrdiff_t>(k) * m; };
	for (int k = 0; k < n; ++k) {
		zebmk_dense_vec_mult(m, B[k], xs(k), ys(k));
		if (k > 0)
			vecMultAdd(m, A[k], xs(k - 1), ys(k));
		if (k + 1 < n)
			vecMultAdd(m, C[k], xs(k + 1), ys(k));
	}
	if (n >= 3) {
		vecMultAdd(m, A[0], xs(2), y);
		vecMultAdd(m, C[n - 1], xs(n - 3), ys(n - 1));
	}
}

} // namespace ZEBMK
