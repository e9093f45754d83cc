#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "MatrixTestSupport.h"
#include "ZEBMK_DenseMatrix.h"

using ZEBMK::DenseMatrix;

namespace {

DenseMatrix matrix(const std::vector<std::vector<double> > & rows) {
	DenseMatrix m(static_cast<unsigned int>(rows.size()));
	for (unsigned int i = 0; i < rows.size(); ++i)
		for (unsigned int j = 0; j < rows.size(); ++j)
			m(i, j) = rows[i][j];
	return m;
}

} // namespace


TEST(DenseMatrix, ResizeLeavesTheMatrixAsItWasWhenStorageCannotBeHad) {
	DenseMatrix a = matrix({{2, 1}, {1, 2}});
	ASSERT_EQ(a.lu(), 0);
	EXPECT_GT(expectUnchangedWhenAllocationFails(a, [](DenseMatrix & m) { m.resize(30); }), 0);
	const std::vector<char> before = blob(a);
	EXPECT_ANY_THROW(a.resize(0xFFFFFFFFu));	// more values than an array can hold
	EXPECT_EQ(blob(a), before);
}


TEST(DenseMatrix, SolvesWithPartialPivoting) {
	DenseMatrix a = matrix({{2, 1, 1}, {4, 3, 3}, {8, 7, 9}});
	double ones[3] = {1, 1, 1};
	double product[3];
	a.multiply(ones, product);
	EXPECT_EQ(std::vector<double>(product, product + 3), (std::vector<double>{4, 10, 24}));

	ASSERT_EQ(a.lu(), 0);
	EXPECT_EQ(a.pivots(), (std::vector<long>{2, 2, 2}));
	double b[3] = {4, 10, 24};
	a.backsolve(b);
	for (double x : b)
		EXPECT_NEAR(x, 1.0, 1e-14);

	// n = 1 divides by the single value
	DenseMatrix one = matrix({{4}});
	EXPECT_EQ(one.lu(), 0);
	EXPECT_EQ(one.pivots()[0], 0);
	double c = 2;
	one.backsolve(&c);
	EXPECT_EQ(c, 0.5);
}


TEST(DenseMatrix, ReportsFirstZeroPivotAndPrefersUpperRowOnTies) {
	EXPECT_EQ(matrix({{0, 1, 2}, {0, 3, 4}, {0, 5, 6}}).lu(), 1);
	EXPECT_EQ(matrix({{1, 2, 3}, {2, 5, 7}, {3, 7, 10}}).lu(), 3);	// row 3 = row 1 + row 2

	DenseMatrix tie = matrix({{-2, 1}, {2, 3}});
	ASSERT_EQ(tie.lu(), 0);
	EXPECT_EQ(tie.pivots()[0], 0);
	double b[2] = {-1, 5};	// x = (1, 1)
	tie.backsolve(b);
	EXPECT_DOUBLE_EQ(b[0], 1);
	EXPECT_DOUBLE_EQ(b[1], 1);
}


TEST(DenseMatrix, WritesPlainAndEulerText) {
	const DenseMatrix a = matrix({{1, 2}, {3, 4}});
	const double b[2] = {5, 6};
	auto field = [](const std::string & text, std::size_t width) { return std::string(width - text.size(), ' ') + text; };

	std::ostringstream plain;
	a.write(plain, b);
	EXPECT_EQ(plain.str(), "[ " + field("1", 10) + " " + field("2", 10) + "  ]  [ " + field("5", 10) + " ]\n"
						   "[ " + field("3", 10) + " " + field("4", 10) + "  ]  [ " + field("6", 10) + " ]\n");

	std::ostringstream euler;
	a.write(euler, b, true, 12, "M", "v");
	EXPECT_EQ(euler.str(), ">format(11,0);\n>M:=[ " + field("1", 11) + "," + field("2", 11) + ";" + field("3", 11) + ","
						   + field("4", 11) + "];\n>v:=[" + field("5", 11) + "; " + field("6", 11) + "];\n");
}


TEST(DenseMatrix, BlobRestoresSameShapeAndRecreatesAnyShape) {
	DenseMatrix a = matrix({{1, 2}, {3, 4}});
	ASSERT_EQ(a.lu(), 0);
	const std::vector<char> buffer = blob(a);
	EXPECT_EQ(buffer.size(), 61u);
	void * p = const_cast<char *>(buffer.data());
	const char * end = buffer.data() + buffer.size();

	DenseMatrix same(2);
	same.deserialize(p, end);
	EXPECT_EQ(p, static_cast<const void *>(end));
	EXPECT_EQ(blob(same), buffer);

	DenseMatrix other(3);
	p = const_cast<char *>(buffer.data());
	EXPECT_EQ(failure([&] { other.deserialize(p); }), "[DenseMatrix::deserialize] Invalid matrix dimensions in binary "
			  "data storage (target matrix not properly resized?).");
	EXPECT_EQ(p, static_cast<const void *>(buffer.data()));
	other.recreate(p, end);
	EXPECT_EQ(blob(other), buffer);

	std::vector<char> corrupt = buffer;
	corrupt[0] = 2;
	p = corrupt.data();
	EXPECT_EQ(failure([&] { same.deserialize(p); }), "[DenseMatrix::deserialize] Invalid matrix type in binary data storage.");
	EXPECT_EQ(failure([&] { same.recreate(p); }), "[DenseMatrix::recreate] Invalid matrix type in binary data storage.");

	// a matrix shrunk after its factorisation still writes a blob it can read back
	DenseMatrix big = matrix({{2, 1, 1}, {4, 3, 3}, {8, 7, 9}});
	ASSERT_EQ(big.lu(), 0);
	big.resize(2);
	std::vector<char> shrunk = blob(big);
	p = shrunk.data();
	DenseMatrix two(2);
	two.deserialize(p, shrunk.data() + shrunk.size());
	EXPECT_EQ(blob(two), shrunk);
}


TEST(DenseMatrix, RejectsCorruptBlobsWithoutChangingTheMatrix) {
	const std::vector<char> buffer = blob(matrix({{1, 2}, {3, 4}}));
	DenseMatrix target = matrix({{9}});
	DenseMatrix same(2);

	std::vector<char> corrupt = buffer;
	const std::uint32_t three = 3;	// n = 3 with four values
	std::memcpy(corrupt.data() + 1, &three, 4);
	void * p = corrupt.data();
	EXPECT_EQ(failure([&] { target.recreate(p); }), "[DenseMatrix::recreate] Inconsistent binary matrix data.");

	corrupt = buffer;
	const long far = 7;	// a pivot row outside the matrix: backsolve() would index past b
	std::memcpy(corrupt.data() + buffer.size() - 8, &far, 8);
	EXPECT_EQ(failure([&] { target.recreate(p); }), "[DenseMatrix::recreate] Inconsistent binary matrix data.");
	EXPECT_EQ(failure([&] { same.deserialize(p); }), "[DenseMatrix::deserialize] Inconsistent binary matrix data.");

	p = const_cast<char *>(buffer.data());	// the buffer ends inside the values
	EXPECT_NE(failure([&] { target.recreate(p, buffer.data() + 20); }), "no exception");
	EXPECT_NE(failure([&] { same.deserialize(p, buffer.data() + 20); }), "no exception");
	EXPECT_EQ(p, static_cast<const void *>(buffer.data()));
	EXPECT_EQ(target.n(), 1u);
	EXPECT_EQ(target.value(0, 0), 9);
}
