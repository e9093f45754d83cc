#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "MatrixTestSupport.h"
#include "ZEBMK_DenseMatrix.h"
#include "ZEBMKC_tridiag_matrix.h"

using namespace ZEBMK;

namespace {

// n x n blocks of m x m in separate arrays (not one contiguous array), with the dense matrix they
// stand for, the corner blocks placed at block (0, 2) and (n-1, n-3).
struct Blocks {
	int n, m;
	std::vector<std::vector<double> > storage;	// A_0..A_{n-1}, B_0.., C_0..
	std::vector<double *> ptr;

	Blocks(int nBlocks, int blockSize) : n(nBlocks), m(blockSize), storage(3 * nBlocks) {
		for (int k = 0; k < 3 * n; ++k) {
			storage[k].resize(m * m);
			for (int e = 0; e < m * m; ++e)
				storage[k][e] = std::sin(1.0 + 7 * k + 3 * e);
			if (k >= n && k < 2 * n)
				for (int r = 0; r < m; ++r)
					storage[k][r * m + r] += 4.0;	// diagonally dominant, the unpivoted kernel copes
			ptr.push_back(storage[k].data());
		}
	}
	Blocks(const Blocks &) = delete;	// ptr points into storage
	double * const * A() { return ptr.data(); }
	double * const * B() { return ptr.data() + n; }
	double * const * C() { return ptr.data() + 2 * n; }

	DenseMatrix dense() const {
		DenseMatrix d(n * m);
		auto place = [&](int I, int J, const std::vector<double> & block) {
			for (int r = 0; r < m; ++r)
				for (int c = 0; c < m; ++c)
					d(I * m + r, J * m + c) = block[c * m + r];
		};
		for (int k = 0; k < n; ++k) {
			place(k, k, storage[n + k]);
			if (k > 0)
				place(k, k - 1, storage[k]);
			if (k + 1 < n)
				place(k, k + 1, storage[2 * n + k]);
		}
		place(0, 2, storage[0]);
		place(n - 1, n - 3, storage[3 * n - 1]);
		return d;
	}
};

std::vector<double> rhs(int size) {
	std::vector<double> b(size);
	for (int i = 0; i < size; ++i)
		b[i] = 1.0 + i % 5 - 0.25 * i;
	return b;
}

// Tolerance of expectNear in this file.
const double TOLERANCE = 1e-11;

} // namespace


TEST(TridiagKernels, SolveWithCornerEntries) {
	// 4 on the diagonal, -1 beside it, corner entries 1 at (0, 2) and (4, 2)
	std::vector<double> T = {1, -1, -1, -1, -1,   4, 4, 4, 4, 4,   -1, -1, -1, -1, 1};
	const double x[5] = {1, 2, 3, 4, 5};
	std::vector<double> y(5);
	zebmk_tridiag_vec_mult(5, T.data(), x, y.data());
	EXPECT_EQ(y, (std::vector<double>{5, 4, 6, 8, 19}));
	ASSERT_EQ(zebmk_tridiag_LU(5, T.data()), 0);
	zebmk_tridiag_backsolve(5, T.data(), y.data());
	expectNear(y, {1, 2, 3, 4, 5}, TOLERANCE);

	// three rows: the corners fill the matrix, and row 0's corner meets the last diagonal entry
	for (bool corners : {true, false}) {
		Blocks s(3, 1);
		if (!corners)
			*s.A()[0] = *s.C()[2] = 0;	// plain Thomas algorithm
		DenseMatrix d = s.dense();
		std::vector<double> T3;
		for (double * v : s.ptr)
			T3.push_back(*v);
		std::vector<double> b = rhs(3), expected = b;
		ASSERT_EQ(zebmk_tridiag_LU(3, T3.data()), 0);
		zebmk_tridiag_backsolve(3, T3.data(), b.data());
		ASSERT_EQ(d.lu(), 0);
		d.backsolve(expected.data());
		expectNear(b, expected, TOLERANCE);
	}
}


TEST(TridiagKernels, ReportSingularRowsAndRefuseTooFewRows) {
	std::vector<double> T = {0, 1, 1, 1,   0, 2, 2, 2,   1, 1, 1, 0};
	EXPECT_EQ(zebmk_tridiag_LU(4, T.data()), 1);
	T = {0, 1, 1, 1,   1, 1, 2, 2,   1, 1, 1, 0};	// b[1] - a[1]*c[0] = 0
	EXPECT_EQ(zebmk_tridiag_LU(4, T.data()), 2);

	std::vector<double> two = {0, 1, 2, 3, 4, 0};
	const std::vector<double> before = two;
	EXPECT_EQ(zebmk_tridiag_LU(2, two.data()), -1);
	EXPECT_EQ(two, before);
	double d[2] = {1, 1};
	zebmk_tridiag_backsolve(2, two.data(), d);
	EXPECT_EQ(d[0], 1);
	EXPECT_EQ(d[1], 1);
}


TEST(BlockTridiagKernels, MatchDenseSolveForEveryBlockSize) {
	// m = 1 takes the scalar path, 2 to 4 the unrolled dense kernels, 5 the general ones
	for (int m = 1; m <= 5; ++m) {
		for (int n : {4, 7}) {
			SCOPED_TRACE(testing::Message() << "m = " << m << ", n = " << n);
			Blocks plain(n, m), pivoted(n, m);
			DenseMatrix d = plain.dense();
			std::vector<double> x = rhs(n * m), product(n * m), expectedProduct(n * m);
			zebmk_btridiag_vec_mult(n, m, plain.A(), plain.B(), plain.C(), x.data(), product.data());
			d.multiply(x.data(), expectedProduct.data());
			expectNear(product, expectedProduct, TOLERANCE);

			std::vector<double> expected = x, b1 = x, b2 = x;
			ASSERT_EQ(d.lu(), 0);
			d.backsolve(expected.data());
			ASSERT_EQ(zebmk_btridiag_LU(n, m, plain.A(), plain.B(), plain.C()), 0);
			zebmk_btridiag_backsolve(n, m, plain.A(), plain.B(), plain.C(), b1.data());
			expectNear(b1, expected, TOLERANCE);
			std::vector<long> p(n * m);
			ASSERT_EQ(zebmk_btridiag_LU_pivot(n, m, pivoted.A(), pivoted.B(), pivoted.C(), p.data()), 0);
			zebmk_btridiag_backsolve_pivot(n, m, pivoted.A(), pivoted.B(), pivoted.C(), p.data(), b2.data());
			expectNear(b2, expected, TOLERANCE);
		}
	}
}


TEST(BlockTridiagKernels, PivotInsideBlocksAndReportSingularBlocks) {
	// B_0 = [0 1; 1 0] is regular but has a zero leading pivot
	Blocks plain(5, 2), pivoted(5, 2);
	for (Blocks * s : {&plain, &pivoted}) {
		double * B0 = s->B()[0];
		B0[0] = 0; B0[1] = 1; B0[2] = 1; B0[3] = 0;
		for (int e = 0; e < 4; ++e)
			s->A()[0][e] = s->C()[0][e] = 0.1 * e;
	}
	DenseMatrix d = pivoted.dense();
	EXPECT_EQ(zebmk_btridiag_LU(5, 2, plain.A(), plain.B(), plain.C()), 1);
	std::vector<long> p(10);
	ASSERT_EQ(zebmk_btridiag_LU_pivot(5, 2, pivoted.A(), pivoted.B(), pivoted.C(), p.data()), 0);
	EXPECT_EQ(p[0], 1);
	std::vector<double> b = rhs(10), expected = b;
	zebmk_btridiag_backsolve_pivot(5, 2, pivoted.A(), pivoted.B(), pivoted.C(), p.data(), b.data());
	ASSERT_EQ(d.lu(), 0);
	d.backsolve(expected.data());
	expectNear(b, expected, TOLERANCE);

	// a zero last block row (diagonal and couplings) is reported as block row n
	for (int m : {1, 3}) {
		Blocks s(6, m), t(6, m);
		for (Blocks * u : {&s, &t})
			for (double * block : {u->A()[5], u->B()[5], u->C()[5]})
				for (int e = 0; e < m * m; ++e)
					block[e] = 0;
		EXPECT_EQ(zebmk_btridiag_LU(6, m, s.A(), s.B(), s.C()), 6);
		std::vector<long> q(6 * m);
		EXPECT_EQ(zebmk_btridiag_LU_pivot(6, m, t.A(), t.B(), t.C(), q.data()), 6);
	}

	// fewer than four block rows: nothing is touched
	Blocks three(3, 2);
	const auto before = three.storage;
	EXPECT_EQ(zebmk_btridiag_LU(3, 2, three.A(), three.B(), three.C()), -1);
	EXPECT_EQ(zebmk_btridiag_LU_pivot(3, 2, three.A(), three.B(), three.C(), p.data()), -1);
	std::vector<double> c = rhs(6);
	const std::vector<double> c0 = c;
	zebmk_btridiag_backsolve(3, 2, three.A(), three.B(), three.C(), c.data());
	EXPECT_EQ(three.storage, before);
	EXPECT_EQ(c, c0);
}
