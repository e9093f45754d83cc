#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "MatrixTestSupport.h"
#include "ZEBMKC_dense_matrix.h"

using namespace ZEBMK;

namespace {

// A well-conditioned n x n matrix (column-major) without zero pivots: diagonally dominant.
std::vector<double> testMatrix(int n, int seed) {
	std::vector<double> a(static_cast<std::size_t>(n * n));
	for (int j = 0; j < n; ++j)
		for (int i = 0; i < n; ++i)
			a[j * n + i] = i == j ? 10.0 + i : 0.5 * ((i + 2 * j + seed) % 5) - 1.0;
	return a;
}

std::vector<double> product(int n, const std::vector<double> & a, const std::vector<double> & b) {
	std::vector<double> c(static_cast<std::size_t>(n * n), 0.0);
	for (int i = 0; i < n; ++i)
		for (int j = 0; j < n; ++j)
			for (int k = 0; k < n; ++k)
				c[j * n + i] += a[k * n + i] * b[j * n + k];
	return c;
}

// Tolerance of expectNear in this file.
const double TOLERANCE = 1e-12;

struct Unrolled {
	int (*lu)(double *);
	void (*backsolve)(const double *, double *);
	void (*inverseMult)(const double *, double *);
	void (*matMult)(const double *, const double *, double *);
	void (*matMultSub)(const double *, const double *, double *);
	void (*vecMult)(const double *, const double *, double *);
	void (*vecMultAdd)(const double *, const double *, double *);
	void (*vecMultSub)(const double *, const double *, double *);
};

} // namespace


TEST(DenseKernels, UnpivotedFactorsSolveAndInvertForEverySize) {
	const Unrolled unrolled[3] = {
		{zebmk_dense_LU2, zebmk_dense_backsolve2, zebmk_dense_inverse_mult2, zebmk_dense_mat_mult2,
		 zebmk_dense_mat_mult_sub2, zebmk_dense_vec_mult2, zebmk_dense_vec_mult_add2, zebmk_dense_vec_mult_sub2},
		{zebmk_dense_LU3, zebmk_dense_backsolve3, zebmk_dense_inverse_mult3, zebmk_dense_mat_mult3,
		 zebmk_dense_mat_mult_sub3, zebmk_dense_vec_mult3, zebmk_dense_vec_mult_add3, zebmk_dense_vec_mult_sub3},
		{zebmk_dense_LU4, zebmk_dense_backsolve4, zebmk_dense_inverse_mult4, zebmk_dense_mat_mult4,
		 zebmk_dense_mat_mult_sub4, zebmk_dense_vec_mult4, zebmk_dense_vec_mult_add4, zebmk_dense_vec_mult_sub4}};

	for (int n = 2; n <= 7; ++n) {
		SCOPED_TRACE(n);
		const Unrolled * u = n <= 4 ? &unrolled[n - 2] : nullptr;
		const std::vector<double> a = testMatrix(n, 1);
		const std::vector<double> b = testMatrix(n, 3);
		std::vector<double> identity(static_cast<std::size_t>(n * n), 0.0);
		for (int i = 0; i < n; ++i)
			identity[i * n + i] = 1;

		// A^-1 * A = I, with the factors of the general and the unrolled member
		std::vector<double> factors = a;
		ASSERT_EQ(u ? u->lu(factors.data()) : zebmk_dense_LU(n, factors.data()), 0);
		std::vector<double> inv = a;
		u ? u->inverseMult(factors.data(), inv.data()) : zebmk_dense_inverse_mult(n, factors.data(), inv.data());
		expectNear(inv, identity, TOLERANCE);
		std::vector<double> x(static_cast<std::size_t>(n), 1.0), y(static_cast<std::size_t>(n));
		zebmk_dense_vec_mult(n, a.data(), x.data(), y.data());
		u ? u->backsolve(factors.data(), y.data()) : zebmk_dense_backsolve(n, factors.data(), y.data());
		expectNear(y, x, TOLERANCE);

		// products against the naive triple loop
		const std::vector<double> ab = product(n, a, b);
		std::vector<double> c(static_cast<std::size_t>(n * n), 99.0);
		u ? u->matMult(a.data(), b.data(), c.data()) : zebmk_dense_mat_mult(n, a.data(), b.data(), c.data());
		expectNear(c, ab, TOLERANCE);
		u ? u->matMultSub(a.data(), b.data(), c.data()) : zebmk_dense_mat_mult_sub(n, a.data(), b.data(), c.data());
		expectNear(c, std::vector<double>(c.size(), 0.0), TOLERANCE);

		// y = A*e_k is column k; add and sub accumulate onto y
		std::vector<double> e(static_cast<std::size_t>(n), 0.0);
		e[1] = 1;
		const std::vector<double> column(a.begin() + n, a.begin() + 2 * n);
		std::vector<double> v(static_cast<std::size_t>(n), 5.0);
		u ? u->vecMult(a.data(), e.data(), v.data()) : zebmk_dense_vec_mult(n, a.data(), e.data(), v.data());
		expectNear(v, column, TOLERANCE);
		u ? u->vecMultAdd(a.data(), e.data(), v.data()) : zebmk_dense_vec_mult_add(n, a.data(), e.data(), v.data());
		u ? u->vecMultSub(a.data(), e.data(), v.data()) : zebmk_dense_vec_mult_sub(n, a.data(), e.data(), v.data());
		expectNear(v, column, TOLERANCE);
	}
}


TEST(DenseKernels, ZeroPivotWithoutPivotingReturnsMinusTwo) {
	double a2[4] = {0, 1, 2, 3};
	EXPECT_EQ(zebmk_dense_LU2(a2), -2);
	EXPECT_EQ(std::vector<double>(a2, a2 + 4), (std::vector<double>{0, 1, 2, 3}));
	double a3[9] = {1, 2, 3, 2, 4, 6, 0, 1, 1};	// the second pivot vanishes
	EXPECT_EQ(zebmk_dense_LU3(a3), -2);
	double a4[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};	// only the last one
	EXPECT_EQ(zebmk_dense_LU4(a4), -2);
}


TEST(DenseKernels, PivotedInverseAndBlockRowSum) {
	const int n = 3;
	const std::vector<double> a = {0, 1, 4, 2, 0, 1, 1, 3, 0};	// zero diagonal: needs pivoting
	std::vector<double> factors = a;
	long p[3];
	ASSERT_EQ(zebmk_dense_LU_pivot(n, factors.data(), p), 0);
	std::vector<double> inv = a;
	zebmk_dense_inverse_mult_pivot(n, factors.data(), p, inv.data());
	expectNear(inv, {1, 0, 0, 0, 1, 0, 0, 0, 1}, TOLERANCE);

	// y = A_0*x_0 + A_1*x_1 with A_1 = 2*A_0 and x_0 = x_1 gives 3*A_0*x_0
	std::vector<double> blocks = a;
	for (double v : a)
		blocks.push_back(2 * v);
	const std::vector<double> x = {1, 2, 3, 1, 2, 3};
	std::vector<double> y(3, 7.0);
	zebmk_dense_row_matvecsum(blocks.data(), n, 2, x.data(), y.data());
	expectNear(y, {3 * 7, 3 * 10, 3 * 6}, TOLERANCE);	// A_0 * (1, 2, 3) = (7, 10, 6)
}
