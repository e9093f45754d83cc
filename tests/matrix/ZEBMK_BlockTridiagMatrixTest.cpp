#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "MatrixTestSupport.h"
#include "ZEBMK_BlockTridiagMatrix.h"
#include "ZEBMK_DenseMatrix.h"

using ZEBMK::BlockTridiagMatrix;
using ZEBMK::DenseMatrix;

namespace {

// Every stored value set, diagonal blocks dominant.
BlockTridiagMatrix filled(unsigned int n, unsigned int m) {
	BlockTridiagMatrix a(n, m);
	for (std::size_t e = 0; e < a.dataSize(); ++e)
		a.data()[e] = std::cos(0.5 + 5.0 * e);
	for (unsigned int k = 0; k < n; ++k)
		for (unsigned int r = 0; r < m; ++r)
			a.diagonalBlock(k)[r * m + r] += 4.0;
	return a;
}

DenseMatrix dense(const BlockTridiagMatrix & a) {
	const unsigned int size = a.n() * a.m();
	DenseMatrix d(size);
	for (unsigned int i = 0; i < size; ++i)
		for (unsigned int j = 0; j < size; ++j)
			d(i, j) = a.value(i, j);
	return d;
}

std::vector<double> rhs(unsigned int size) {
	std::vector<double> b(size);
	for (unsigned int i = 0; i < size; ++i)
		b[i] = 2.0 - 0.5 * i + i % 3;
	return b;
}

} // namespace


TEST(BlockTridiagMatrix, SolvesLikeTheDenseMatrixWithCornerBlocks) {
	for (unsigned int m : {1u, 3u}) {
		SCOPED_TRACE(testing::Message() << "m = " << m);
		const unsigned int n = 5;
		BlockTridiagMatrix a = filled(n, m);
		// the corner blocks sit at block (0, 2) and (n-1, n-3)
		EXPECT_EQ(a.value(m - 1, 3 * m - 1), a.lowerBlock(0)[(m - 1) * m + m - 1]);
		EXPECT_EQ(a.value((n - 1) * m, (n - 3) * m), a.upperBlock(n - 1)[0]);
		EXPECT_EQ(a.value(0, 3 * m), 0);
		EXPECT_EQ(a.value(3 * m, 0), 0);
		DenseMatrix d = dense(a);
		std::vector<double> b = rhs(n * m), product(n * m), expected(n * m);
		a.multiply(b.data(), product.data());
		d.multiply(b.data(), expected.data());
		for (unsigned int i = 0; i < n * m; ++i)
			EXPECT_NEAR(product[i], expected[i], 1e-13);

		expected = b;
		ASSERT_EQ(d.lu(), 0);
		d.backsolve(expected.data());
		a.solveEquationSystem(b.data());
		for (unsigned int i = 0; i < n * m; ++i)
			EXPECT_NEAR(b[i], expected[i], 1e-12);
	}
}


TEST(BlockTridiagMatrix, RefusesFewerThanFourBlocksAndReportsSingularBlocks) {
	BlockTridiagMatrix three = filled(3, 2);
	const std::vector<double> before(three.data(), three.data() + three.dataSize());
	EXPECT_EQ(three.lu(), -1);
	EXPECT_EQ(std::vector<double>(three.data(), three.data() + three.dataSize()), before);
	std::vector<double> b = rhs(6);
	EXPECT_EQ(failure([&] { three.solveEquationSystem(b.data()); }),
			  "[BlockTridiagMatrix::solveEquationSystem] Error solving equation system, encountered zero diagonal.");
	EXPECT_EQ(failure([&] { three.backsolve(b.data()); }),
			  "[BlockTridiagMatrix::backsolve] Cannot solve with a block-tridiagonal matrix of 3 blocks, at least 4 are needed.");
	EXPECT_EQ(b, rhs(6));

	BlockTridiagMatrix first = filled(4, 2);
	std::fill(first.diagonalBlock(0), first.diagonalBlock(0) + 4, 0.0);
	EXPECT_EQ(first.lu(), 1);
	BlockTridiagMatrix last = filled(4, 2);
	for (double * block : {last.lowerBlock(3), last.diagonalBlock(3), last.upperBlock(3)})
		std::fill(block, block + 4, 0.0);
	EXPECT_EQ(last.lu(), 4);
}


TEST(BlockTridiagMatrix, ElementAccessCoversTheStructureOnly) {
	BlockTridiagMatrix a(4, 2);
	a(1, 4) = 3;	// corner block A_0, element (1, 0)
	a(7, 3) = 5;	// corner block C_3, element (1, 1)
	a(2, 5) = 7;	// upper block C_1, element (0, 1)
	EXPECT_EQ(a.lowerBlock(0)[1], 3);
	EXPECT_EQ(a.upperBlock(3)[3], 5);
	EXPECT_EQ(a.upperBlock(1)[2], 7);
	EXPECT_EQ(failure([&] { a(0, 6); }), "[BlockTridiagMatrix::operator()] Invalid index (0,6) for block-tridiagonal "
			  "matrix with nblocks = 4 and blocksize = 2");
	EXPECT_NE(failure([&] { a(8, 0); }), "no exception");
	EXPECT_EQ(a.value(8, 0), 0);

	// copies rebuild their block pointers into their own values
	BlockTridiagMatrix assigned;
	assigned = a;
	assigned(1, 4) = 30;
	EXPECT_EQ(a.value(1, 4), 3);
	EXPECT_EQ(assigned.upperBlock(3), assigned.data() + 11 * 4);

	EXPECT_EQ(failure([] { BlockTridiagMatrix(3, 50000); }),
			  "[BlockTridiagMatrix::resize] Invalid block-tridiagonal dimensions (nblocks = 3, blocksize = 50000).");
}


TEST(BlockTridiagMatrix, WritesCornerEntriesAndMarksPositionsOutsideTheStructure) {
	BlockTridiagMatrix a(4, 1);
	const double T[12] = {9, 1, 2, 3,   4, 5, 6, 7,   1, 2, 3, 8};
	std::memcpy(a.data(), T, sizeof(T));
	const double b[4] = {1, 2, 3, 4};
	std::ostringstream plain;
	a.write(plain, b, false, 3);
	EXPECT_EQ(plain.str(), "[  4  1  9  . ]  [  1 ]\n"
						   "[  1  5  2  . ]  [  2 ]\n"
						   "[  .  2  6  3 ]  [  3 ]\n"
						   "[  .  8  3  7 ]  [  4 ]\n\n");
	std::ostringstream euler;
	a.write(euler, b, true, 3, "M", "v");
	EXPECT_EQ(euler.str(), ">format(2,0);\n>M:=[ \n"
						   " 4, 1, 9, 0;\n 1, 5, 2, 0;\n 0, 2, 6, 3;\n 0, 8, 3, 7];\n\n"
						   ">v:= [ 1;  2;  3;  4];\n");
}


TEST(BlockTridiagMatrix, BlobRestoresSameShapeAndRecreatesAnyShape) {
	BlockTridiagMatrix a = filled(4, 2);
	const std::vector<char> buffer = blob(a);
	EXPECT_EQ(buffer.size(), 393u);
	const char * end = buffer.data() + buffer.size();

	BlockTridiagMatrix same(4, 2);
	void * p = const_cast<char *>(buffer.data());
	same.deserialize(p, end);
	EXPECT_EQ(p, static_cast<const void *>(end));
	EXPECT_EQ(blob(same), buffer);

	BlockTridiagMatrix other(4, 3);
	p = const_cast<char *>(buffer.data());
	EXPECT_EQ(failure([&] { other.deserialize(p, end); }), "[BlockTridiagMatrix::deserialize] Invalid matrix "
			  "dimensions in binary data storage (target matrix not properly resized?).");
	other.recreate(p, end);
	EXPECT_EQ(other.m(), 2u);
	EXPECT_EQ(blob(other), buffer);
	std::vector<double> x = rhs(8), y = x;
	a.solveEquationSystem(x.data());
	other.solveEquationSystem(y.data());
	EXPECT_EQ(x, y);
	const std::vector<char> factorised = blob(other);

	// refused blobs change neither the matrix nor the cursor
	std::vector<char> corrupt = buffer;
	corrupt[0] = 2;
	p = corrupt.data();
	EXPECT_EQ(failure([&] { other.recreate(p); }), "[BlockTridiagMatrix::recreate] Invalid matrix type in binary data storage.");
	EXPECT_EQ(failure([&] { other.deserialize(p); }), "[BlockTridiagMatrix::deserialize] Invalid matrix type in binary data storage.");
	corrupt = buffer;
	const std::uint32_t huge = 0x40000000;
	std::memcpy(corrupt.data() + 5, &huge, 4);
	p = corrupt.data();
	EXPECT_EQ(failure([&] { other.recreate(p); }), "[BlockTridiagMatrix::recreate] Inconsistent binary matrix data.");
	// blocks of size 0 would hold no values, but 3n block pointers: 96 GiB for this 9-byte blob
	corrupt.assign({6, -1, -1, -1, -1, 0, 0, 0, 0});
	p = corrupt.data();
	EXPECT_EQ(failure([&] { other.recreate(p, corrupt.data() + corrupt.size()); }),
			  "[BlockTridiagMatrix::recreate] Inconsistent binary matrix data.");
	BlockTridiagMatrix fresh(4, 2);
	p = const_cast<char *>(buffer.data());
	EXPECT_NE(failure([&] { fresh.deserialize(p, end - 8); }), "no exception");
	EXPECT_NE(failure([&] { other.recreate(p, end - 8); }), "no exception");
	EXPECT_EQ(p, static_cast<const void *>(buffer.data()));
	EXPECT_EQ(fresh.value(0, 0), 0);
	EXPECT_EQ(blob(other), factorised);
}
