#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sundials_btridiag.h"

namespace {

// Every stored value set, diagonally dominant so that LU without pivoting is stable.
void fill(SUNDlsMat A) {
	const long N = A->N, M = A->M;
	for (long k = 0; k < 3 * N; ++k)
		for (long e = 0; e < M * M; ++e)
			A->cols[k][e] = 0.3 * std::sin(1.7 * static_cast<double>(k * M * M + e) + 0.4);
	for (long k = 0; k < N; ++k)
		for (long i = 0; i < M; ++i)
			A->cols[N + k][i * M + i] += 4.0;
}

} // namespace


TEST(BTridiagMat, IsOneZeroedAllocationOfThreeBlockDiagonals) {
	SUNDlsMat A = NewBTridiagMat(5, 3);
	ASSERT_NE(A, nullptr);
	EXPECT_EQ(A->type, SUNDIALS_BTRIDIAG);
	EXPECT_EQ(A->N, 5);
	EXPECT_EQ(A->M, 3);
	EXPECT_EQ(A->ldata, 3 * 5 * 9);
	EXPECT_EQ(A->data, A->cols[0]);
	for (long k = 0; k < 15; ++k)
		EXPECT_EQ(A->cols[k], A->data + 9 * k);
	for (long i = 0; i < A->ldata; ++i)
		EXPECT_EQ(A->data[i], 0.0);
	DestroyBTridiagMat(A);

	EXPECT_EQ(NewBTridiagMat(0, 2), nullptr);
	EXPECT_EQ(NewBTridiagMat(4, 0), nullptr);
	EXPECT_EQ(NewBTridiagMat(1L << 40, 2), nullptr);
	DestroyBTridiagMat(nullptr);
	destroyBTridiagMat(nullptr);
}


// The product's corner blocks are checked by the difference-quotient Jacobian of the CVODE module.
TEST(BTridiagMat, FactorisationSolvesWithAndWithoutPivots) {
	for (long M : {1L, 2L, 3L, 4L, 5L}) {
		for (bool pivoting : {false, true}) {
			SUNDlsMat A = NewBTridiagMat(7, M);
			fill(A);
			std::vector<double> x(static_cast<std::size_t>(7 * M)), b(x.size());
			for (std::size_t i = 0; i < x.size(); ++i)
				x[i] = std::cos(0.9 * static_cast<double>(i));
			BTridiagMult(A, x.data(), b.data());
			std::vector<long> p(x.size(), 0);
			ASSERT_EQ(BTridiagBTTRF(A, pivoting ? p.data() : nullptr), 0);
			BTridiagBTTRS(A, pivoting ? p.data() : nullptr, b.data());
			for (std::size_t i = 0; i < x.size(); ++i)
				EXPECT_NEAR(b[i], x[i], 1e-10) << "M = " << M << ", pivoting " << pivoting;
			DestroyBTridiagMat(A);
		}
	}
}


TEST(BTridiagMat, FactorisationReportsTooFewBlocksAndSingularBlocks) {
	SUNDlsMat A = NewBTridiagMat(3, 2);
	fill(A);
	const std::vector<double> before(A->data, A->data + A->ldata);
	EXPECT_EQ(BTridiagBTTRF(A, nullptr), -1);
	EXPECT_EQ(std::vector<double>(A->data, A->data + A->ldata), before);
	DestroyBTridiagMat(A);

	A = NewBTridiagMat(5, 2);
	fill(A);
	for (long e = 0; e < 4; ++e)
		A->cols[5][e] = 0.0;	// B_0
	EXPECT_EQ(BTridiagBTTRF(A, nullptr), 1);
	fill(A);
	for (long e = 0; e < 4; ++e)
		A->cols[9][e] = A->cols[4][e] = A->cols[14][e] = 0.0;	// B_4 with no coupling to update it
	EXPECT_EQ(BTridiagBTTRF(A, nullptr), 5);
	DestroyBTridiagMat(A);
}


TEST(BTridiagMat, TextFormShowsTheCornersAndStopsAtTheLastStoredElement) {
	SUNDlsMat A = NewBTridiagMat(4, 1);
	for (long i = 0; i < A->ldata; ++i)
		A->data[i] = static_cast<double>(i + 1);
	const std::string file = ::testing::TempDir() + "btridiag_savemat.txt";
	ASSERT_EQ(SaveMat(A, file.c_str()), 0);
	std::ifstream in(file);
	std::stringstream text;
	text << in.rdbuf();
	char expected[512];
	// rows: B_0 C_0 A_0 | A_1 B_1 C_1 | A_2 B_2 C_2 | (0) C_3 A_3 B_3
	std::snprintf(expected, sizeof(expected),
				  "\n%12g  %12g  %12g  \n%12g  %12g  %12g  \n%12s  %12g  %12g  %12g  \n%12s  %12g  %12g  %12g  \n\n",
				  5.0, 9.0, 1.0, 2.0, 6.0, 10.0, "0", 3.0, 7.0, 11.0, "0", 12.0, 4.0, 8.0);
	EXPECT_EQ(text.str(), expected);
	std::remove(file.c_str());
	EXPECT_EQ(SaveMat(A, "/nonexistent-directory/matrix.txt"), -1);
	DestroyBTridiagMat(A);
}
