#ifndef MatrixSeedsH
#define MatrixSeedsH

// The matrices whose blobs seed the matrix and Jacobian fuzz targets. The targets also restore
// every input into matrices of these shapes, so that the readers of same-shape blobs
// (deserialize) are fuzzed beside those that rebuild any shape (recreate).

#include <cstddef>
#include <vector>

#include "ZEBMK_BandMatrix.h"
#include "ZEBMK_BlockTridiagMatrix.h"
#include "ZEBMK_DenseMatrix.h"
#include "ZEBMK_SparseMatrixCSR.h"

namespace MatrixSeeds {

/*! Value of element (i, j) of the seed matrices: diagonally dominant, not symmetric. */
inline double element(unsigned int i, unsigned int j) {
	return (i == j) ? 4.0 + i : -1.0 / (1.0 + i + 2.0 * j);
}

inline ZEBMK::DenseMatrix dense() {
	ZEBMK::DenseMatrix m(3);
	for (unsigned int j = 0; j < 3; ++j)
		for (unsigned int i = 0; i < 3; ++i)
			m(i, j) = element(i, j);
	return m;
}

inline ZEBMK::BandMatrix band() {
	ZEBMK::BandMatrix m(5, 1, 1, 2);
	for (unsigned int j = 0; j < 5; ++j)
		for (unsigned int i = (j > 0 ? j - 1 : 0); i <= j + 1 && i < 5; ++i)
			m(i, j) = element(i, j);
	return m;
}

/*! Tridiagonal pattern of 4 rows (structurally symmetric, no transposed index). */
inline void tridiagonalPattern(std::vector<unsigned int> & ia, std::vector<unsigned int> & ja) {
	ia = {0, 2, 5, 8, 10};
	ja = {0, 1, 0, 1, 2, 1, 2, 3, 2, 3};
}

inline ZEBMK::SparseMatrixCSR sparse() {
	std::vector<unsigned int> ia, ja;
	tridiagonalPattern(ia, ja);
	ZEBMK::SparseMatrixCSR m(4, static_cast<unsigned int>(ja.size()), ia.data(), ja.data());
	for (unsigned int i = 0; i < 4; ++i)
		for (unsigned int k = ia[i]; k < ia[i + 1]; ++k)
			m(i, ja[k]) = element(i, ja[k]);
	return m;
}

/*! An asymmetric pattern of 4 rows (a diagonal and one element above it in rows 0 and 2) with
	its transposed index. */
inline ZEBMK::SparseMatrixCSR sparseTransposed() {
	const std::vector<unsigned int> ia = {0, 2, 3, 5, 6};
	const std::vector<unsigned int> ja = {0, 3, 1, 0, 2, 3};
	std::vector<unsigned int> iaT, jaT;
	ZEBMK::SparseMatrixCSR::generateTransposedIndex(ia, ja, iaT, jaT);
	ZEBMK::SparseMatrixCSR m(4, static_cast<unsigned int>(ja.size()), ia.data(), ja.data(), iaT.data(), jaT.data());
	for (unsigned int i = 0; i < 4; ++i)
		for (unsigned int k = ia[i]; k < ia[i + 1]; ++k)
			m(i, ja[k]) = element(i, ja[k]);
	return m;
}

/*! 4 block rows of 2 x 2 blocks, corner blocks included. */
inline ZEBMK::BlockTridiagMatrix blockTridiag() {
	ZEBMK::BlockTridiagMatrix m(4, 2);
	for (std::size_t k = 0; k < m.dataSize(); ++k)
		m.data()[k] = -0.1 * static_cast<double>(k % 7);
	for (unsigned int k = 0; k < 4; ++k)
		for (unsigned int r = 0; r < 2; ++r)
			m.diagonalBlock(k)[r * 2 + r] = 5.0 + k;
	return m;
}

} // namespace MatrixSeeds

#endif // MatrixSeedsH
