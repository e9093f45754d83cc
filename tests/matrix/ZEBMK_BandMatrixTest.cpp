#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "MatrixTestSupport.h"
#include "ZEBMK_BandMatrix.h"
#include "ZEBMK_DenseMatrix.h"

using ZEBMK::BandMatrix;

namespace {

// The band of the full matrix rows; elements outside j - mu <= i <= j + ml must be 0.
BandMatrix band(const std::vector<std::vector<double> > & rows, unsigned int mu, unsigned int ml, unsigned int smu) {
	const unsigned int n = static_cast<unsigned int>(rows.size());
	BandMatrix m(n, mu, ml, smu);
	for (unsigned int i = 0; i < n; ++i)
		for (unsigned int j = 0; j < n; ++j)
			if (i + mu >= j && i <= j + ml)
				m(i, j) = rows[i][j];
	return m;
}

} // namespace


TEST(BandMatrix, SolvesTridiagonalSystem) {
	BandMatrix a = band({{1, 2, 0}, {3, 4, 5}, {0, 6, 7}}, 1, 1, 2);
	EXPECT_EQ(a.ldim(), 4u);
	ASSERT_EQ(a.lu(), 0);
	double b[3] = {3, 12, 13};
	a.backsolve(b);
	for (double x : b)
		EXPECT_NEAR(x, 1.0, 1e-14);

	// mu = ml = smu = 0: no interchanges, the solution divides by the diagonal
	BandMatrix diagonal = band({{2, 0, 0}, {0, 4, 0}, {0, 0, 8}}, 0, 0, 0);
	ASSERT_EQ(diagonal.lu(), 0);
	EXPECT_EQ(diagonal.pivots(), (std::vector<unsigned int>{0, 1, 2}));
	double d[3] = {1, 1, 1};
	diagonal.backsolve(d);
	EXPECT_EQ(std::vector<double>(d, d + 3), (std::vector<double>{0.5, 0.25, 0.125}));
}


TEST(BandMatrix, PivotingFillInMatchesDenseSolution) {
	// the largest entry of each column sits ml rows below the diagonal: every step moves a row up
	// by ml, filling entries above mu
	const unsigned int n = 9, mu = 1, ml = 2;
	std::vector<std::vector<double> > rows(n, std::vector<double>(n, 0.0));
	ZEBMK::DenseMatrix dense(n);
	for (unsigned int i = 0; i < n; ++i)
		for (unsigned int j = 0; j < n; ++j)
			if (i + mu >= j && i <= j + ml)
				dense(i, j) = rows[i][j] = i == j ? 0.01 * (i + 1) : i == j + ml ? 5.0 + i % 3 : 1.0 + (i + j) % 2;
	BandMatrix a = band(rows, mu, ml, mu + ml);
	std::vector<double> b(n), expected(n);
	for (unsigned int i = 0; i < n; ++i)
		b[i] = expected[i] = 1.0 + i;
	ASSERT_EQ(a.lu(), 0);
	ASSERT_EQ(dense.lu(), 0);
	bool interchanged = false;
	for (unsigned int k = 0; k < n; ++k)
		interchanged = interchanged || a.pivots()[k] == k + ml;
	EXPECT_TRUE(interchanged);
	a.backsolve(b.data());
	dense.backsolve(expected.data());
	for (unsigned int i = 0; i < n; ++i)
		EXPECT_NEAR(b[i], expected[i], 1e-10);

	// without room for that fill-in the factorisation would lose entries: refused
	BandMatrix tight = band(rows, mu, ml, mu);
	EXPECT_EQ(failure([&] { tight.lu(); }), "[BandMatrix::lu] Stored upper bandwidth smu = 1 leaves no room for the "
			  "fill-in of pivoting (at least 3 needed).");
	EXPECT_EQ(failure([] { BandMatrix(3, 2, 1, 1); }), "[BandMatrix::resize] Invalid band dimensions (n = 3, mu = 2, ml = 1, smu = 1).");
}


TEST(BandMatrix, ReportsZeroPivotsAndEmptyMatrix) {
	EXPECT_EQ(band({{0, 1, 0}, {0, 2, 3}, {0, 4, 5}}, 1, 1, 2).lu(), 1);
	EXPECT_EQ(band({{1, 0, 0}, {0, 1, 1}, {0, 1, 1}}, 1, 1, 2).lu(), 3);
	BandMatrix empty;
	EXPECT_EQ(failure([&] { empty.lu(); }), "[BandMatrix::lu] Matrix is empty.");
}


TEST(BandMatrix, ResizeLeavesTheMatrixAsItWasWhenStorageCannotBeHad) {
	BandMatrix a = band({{4, 1, 0}, {1, 4, 1}, {0, 1, 4}}, 1, 1, 2);
	ASSERT_EQ(a.lu(), 0);
	BandMatrix grown = a;
	EXPECT_GT(expectUnchangedWhenAllocationFails(grown, [](BandMatrix & m) { m.resize(40, 2, 1, 3); }), 0);
	const std::vector<char> before = blob(a);
	EXPECT_EQ(failure([&] { a.resize(0xFFFFFFFFu, 0, 0, 0xFFFFFFFEu); }), "[BandMatrix::resize] Invalid band "
			  "dimensions (n = 4294967295, mu = 0, ml = 0, smu = 4294967294).");
	EXPECT_EQ(blob(a), before);
	std::vector<double> b = {5, 6, 5};
	a.backsolve(b.data());	// the column pointers still point into the values
	expectNear(b, {1, 1, 1}, 1e-15);
}


TEST(BandMatrix, MultiplyByUnitVectorGivesTheColumn) {
	const unsigned int n = 6;
	BandMatrix a(n, 2, 1, 3);
	for (unsigned int j = 0; j < n; ++j)
		for (unsigned int i = j >= 3 ? j - 3 : 0; i <= j + 1 && i < n; ++i)
			a(i, j) = 10.0 * i + j + 1;	// also in the fill-in room, which the product leaves out
	std::vector<double> e(n, 0.0), res(n, 99.0);
	e[3] = 1;
	a.multiply(e.data(), res.data());
	EXPECT_EQ(res, (std::vector<double>{0, 14, 24, 34, 44, 0}));
}


TEST(BandMatrix, CopiesOwnTheirColumns) {
	BandMatrix a = band({{1, 2, 0}, {3, 4, 5}, {0, 6, 7}}, 1, 1, 2);
	BandMatrix copy(a);
	copy(1, 1) = 40;
	EXPECT_EQ(a.value(1, 1), 4);
	BandMatrix assigned;
	assigned = a;
	BandMatrix moved(std::move(copy));
	EXPECT_EQ(moved.value(1, 1), 40);
	EXPECT_EQ(moved.column(1), moved.data() + moved.ldim());
	ASSERT_EQ(assigned.lu(), 0);
	double b[3] = {3, 12, 13};
	assigned.backsolve(b);
	EXPECT_NEAR(b[2], 1.0, 1e-14);
	EXPECT_EQ(a.value(2, 2), 7);	// the original is not factorised
}


TEST(BandMatrix, WritesZerosOutsideTheBand) {
	const BandMatrix a = band({{1, 2, 0}, {3, 4, 5}, {0, 6, 7}}, 1, 1, 2);
	std::ostringstream out;
	a.write(out, nullptr, true, 3, "A", "b");
	EXPECT_EQ(out.str(), ">format(2,0);\n>A:=[  1, 2, 0; 3, 4, 5; 0, 6, 7];\n");
}


TEST(BandMatrix, BlobRestoresSameShapeAndRecreatesAnyShape) {
	BandMatrix a = band({{1, 2, 0}, {3, 4, 5}, {0, 6, 7}}, 1, 1, 2);
	ASSERT_EQ(a.lu(), 0);
	const std::vector<char> buffer = blob(a);
	EXPECT_EQ(buffer.size(), 125u);

	BandMatrix same(3, 1, 1, 2);
	void * p = const_cast<char *>(buffer.data());
	same.deserialize(p, buffer.data() + buffer.size());
	EXPECT_EQ(blob(same), buffer);

	BandMatrix other(3, 1, 1, 1);
	p = const_cast<char *>(buffer.data());
	EXPECT_EQ(failure([&] { other.deserialize(p); }), "[BandMatrix::deserialize] Invalid matrix dimensions in binary "
			  "data storage (target matrix not properly resized?).");
	other.recreate(p, buffer.data() + buffer.size());
	EXPECT_EQ(other.smu(), 2u);
	double b[3] = {3, 12, 13};
	other.backsolve(b);
	EXPECT_NEAR(b[0], 1.0, 1e-14);

	std::vector<char> corrupt = buffer;
	corrupt[0] = 1;
	p = corrupt.data();
	EXPECT_EQ(failure([&] { other.recreate(p); }), "[BandMatrix::recreate] Invalid matrix type in binary data storage.");
	corrupt = buffer;
	const std::uint32_t pivot = 3;	// outside the matrix: backsolve() would index past b
	std::memcpy(corrupt.data() + buffer.size() - 4, &pivot, 4);
	p = corrupt.data();
	EXPECT_EQ(failure([&] { other.recreate(p); }), "[BandMatrix::recreate] Inconsistent binary matrix data.");
	EXPECT_EQ(failure([&] { other.deserialize(p); }), "[BandMatrix::deserialize] Inconsistent binary matrix data.");
	BandMatrix empty;
	EXPECT_NE(failure([&] { empty.recreate(p, corrupt.data() + 100); }), "no exception");
	EXPECT_EQ(empty.n(), 0u);
	EXPECT_EQ(p, static_cast<void *>(corrupt.data()));
}
