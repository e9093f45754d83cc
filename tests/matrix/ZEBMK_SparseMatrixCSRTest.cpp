#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "MatrixTestSupport.h"
#include "ZEBMK_SparseMatrixCSR.h"
#include "ZEBMKC_sparse_matrix.h"

using ZEBMK::SparseMatrixCSR;
using Index = std::vector<unsigned int>;

namespace {

SparseMatrixCSR csr(const Index & ia, const Index & ja, const std::vector<double> & values,
					const Index & iaT = Index(), const Index & jaT = Index())
{
	SparseMatrixCSR m(static_cast<unsigned int>(ia.size() - 1), static_cast<unsigned int>(ja.size()), ia.data(), ja.data(),
					  iaT.empty() ? nullptr : iaT.data(), jaT.empty() ? nullptr : jaT.data());
	std::copy(values.begin(), values.end(), m.data());
	return m;
}

// Symmetric tridiagonal 4 x 4: 4 on the diagonal, -1 beside it.
SparseMatrixCSR tridiagonal() {
	return csr({0, 2, 5, 8, 10}, {0, 1, 0, 1, 2, 1, 2, 3, 2, 3}, {4, -1, -1, 4, -1, -1, 4, -1, -1, 4});
}

// [[4,1,0],[0,4,1],[1,1,4]]: elimination fills nothing, but row 2 holds column 0 while row 0
// does not hold column 2, so only the transposed index finds row 2.
const Index ASYM_IA = {0, 2, 4, 7};
const Index ASYM_JA = {0, 1, 1, 2, 0, 1, 2};
const std::vector<double> ASYM_VALUES = {4, 1, 4, 1, 1, 1, 4};

std::vector<double> iluSolve(SparseMatrixCSR m, std::vector<double> b) {
	m.ilu();
	m.backsolveILU(b.data());
	return b;
}

// Tolerance of expectNear in this file.
const double TOLERANCE = 1e-14;

} // namespace


TEST(SparseMatrixCSR, IncompleteLUDropsOnlyFillIn) {
	// the ring's factorisation would fill (1,3) and (3,1): ILU(0) gives an approximation
	const SparseMatrixCSR ring = csr({0, 3, 6, 9, 12}, {0, 1, 3, 0, 1, 2, 1, 2, 3, 0, 2, 3},
									 {4, -1, -1, -1, 4, -1, -1, 4, -1, -1, -1, 4});
	expectNear(iluSolve(ring, {2, 2, 2, 2}), {25.0 / 26, 12.0 / 13, 25.0 / 26, 12.0 / 13}, TOLERANCE);

	// a tridiagonal pattern has no fill-in: the solution is exact
	expectNear(iluSolve(tridiagonal(), {3, 2, 2, 3}), {1, 1, 1, 1}, TOLERANCE);

	// n = 1: the factor is the value itself
	const Index ia1 = {0, 1}, ja1 = {0};
	expectNear(iluSolve(csr(ia1, ja1, {4}), {2}), {0.5}, TOLERANCE);
}


TEST(SparseMatrixCSR, SolvesWithTheKeptPivotsAsWithTheFactorsAloneAlsoAfterARestore) {
	// five-point stencil on a 6 x 6 grid, unsymmetric values: ILU(0) drops fill-in in every row
	const unsigned int side = 6, n = side * side;
	Index ia(1, 0), ja;
	std::vector<double> values;
	for (unsigned int i = 0; i < n; ++i) {
		for (unsigned int j : {i - side, i - 1, i, i + 1, i + side}) {
			if (j >= n || (j + 1 == i && i % side == 0) || (j == i + 1 && j % side == 0))
				continue;
			ja.push_back(j);
			values.push_back(j == i ? 4.5 + 0.1 * (i % 3) : -1.0 - 0.05 * ((i + 2 * j) % 4));
		}
		ia.push_back(static_cast<unsigned int>(ja.size()));
	}
	SparseMatrixCSR m = csr(ia, ja, values);
	m.ilu();
	std::vector<double> b(n);
	for (unsigned int i = 0; i < n; ++i)
		b[i] = 1.0 + i % 7;
	std::vector<double> x = b, factorsAlone = b;
	m.backsolveILU(x.data());
	ZEBMK::zebmk_spmat_csr_backsolve(n, ia.data(), ja.data(), m.data(), factorsAlone.data());
	for (unsigned int i = 0; i < n; ++i)
		EXPECT_NEAR(x[i], factorsAlone[i], 1e-15 * std::abs(factorsAlone[i])) << "at " << i;

	// the pivots are derived from the values: a restore of the factors solves bit for bit alike
	const std::vector<char> factors = blob(m);
	SparseMatrixCSR same = csr(ia, ja, values);
	void * p = const_cast<char *>(factors.data());
	same.deserialize(p);
	SparseMatrixCSR other = tridiagonal();
	p = const_cast<char *>(factors.data());
	other.recreate(p);
	SparseMatrixCSR copied = csr(ia, ja, std::vector<double>(m.data(), m.data() + m.dataSize()));
	copied.adoptILUFactors();
	for (const SparseMatrixCSR * restored : {&same, &other, &copied}) {
		std::vector<double> y = b;
		restored->backsolveILU(y.data());
		EXPECT_EQ(y, x);
	}

	// a row without diagonal has no pivot: the solution shows it
	SparseMatrixCSR noDiagonal = csr({0, 2, 3}, {0, 1, 0}, {2, 1, 1});
	noDiagonal.ilu();
	std::vector<double> z = {1, 1};
	noDiagonal.backsolveILU(z.data());
	EXPECT_TRUE(std::isnan(z[0]) && std::isnan(z[1]));
}


TEST(SparseMatrixCSR, AsymmetricPatternNeedsTheTransposedIndex) {
	Index iaT, jaT;
	SparseMatrixCSR::generateTransposedIndex(ASYM_IA, ASYM_JA, iaT, jaT);
	EXPECT_EQ(iaT, (Index{0, 2, 5, 7}));
	EXPECT_EQ(jaT, (Index{0, 2, 0, 1, 2, 1, 2}));

	const SparseMatrixCSR withIndex = csr(ASYM_IA, ASYM_JA, ASYM_VALUES, iaT, jaT);
	EXPECT_EQ(withIndex.patternKind(), SparseMatrixCSR::PK_ASYMMETRIC);
	const std::vector<double> b = {6, 11, 15};	// A * (1, 2, 3)
	std::vector<double> x(3);
	withIndex.multiply(std::vector<double>{1, 2, 3}.data(), x.data());
	EXPECT_EQ(x, b);
	expectNear(iluSolve(withIndex, b), {1, 2, 3}, TOLERANCE);

	const SparseMatrixCSR without = csr(ASYM_IA, ASYM_JA, ASYM_VALUES);
	EXPECT_EQ(without.patternKind(), SparseMatrixCSR::PK_SYMMETRIC);
	EXPECT_GT(std::abs(iluSolve(without, b)[2] - 3), 0.01);
}


TEST(SparseMatrixCSR, ElementAccessFollowsThePattern) {
	SparseMatrixCSR m = tridiagonal();
	EXPECT_EQ(m.value(0, 3), 0.0);
	EXPECT_EQ(m.storageIndex(0, 3), 10u);
	EXPECT_EQ(m.storageIndex(2, 3), 7u);
	EXPECT_EQ(failure([&] { m(1, 3); }), "[SparseMatrixCSR::operator()] Index out of range. No element at (1,3) in sparsity pattern.");
	m(2, 3) = 7;
	EXPECT_EQ(m.value(2, 3), 7);

	// row 1 has neither elements nor diagonal: product 0, identity leaves it alone
	SparseMatrixCSR gap = csr({0, 2, 2, 3}, {0, 2, 2}, {1, 2, 3});
	std::vector<double> res(3, 99);
	gap.multiply(std::vector<double>{1, 1, 1}.data(), res.data());
	EXPECT_EQ(res, (std::vector<double>{3, 0, 3}));
	gap.addIdentityMatrix();
	EXPECT_EQ(std::vector<double>(gap.data(), gap.data() + gap.dataSize()), (std::vector<double>{2, 2, 4}));
}


TEST(SparseMatrixCSR, RejectsInconsistentPatterns) {
	const Index ia = {0, 2, 3}, ja = {0, 1, 1};
	SparseMatrixCSR m;
	EXPECT_EQ(failure([&] { m.resize(0, 3, ia.data(), ja.data()); }), "[SparseMatrixCSR::resize] Invalid input in n or nnz.");
	EXPECT_EQ(failure([&] { m.resize(2, 2, ia.data(), ja.data()); }), "[SparseMatrixCSR::resize] Invalid input in ia or ja.");
	const Index badT = {0, 1, 4};
	EXPECT_EQ(failure([&] { m.resize(2, 3, ia.data(), ja.data(), badT.data(), ja.data()); }),
			  "[SparseMatrixCSR::resize] Invalid input in iaT or jaT.");
	EXPECT_EQ(m.n(), 0u);
}


TEST(SparseMatrixCSR, ResizeLeavesTheMatrixAsItWasWhenStorageCannotBeHad) {
	SparseMatrixCSR m = tridiagonal();
	Index iaT, jaT;
	SparseMatrixCSR::generateTransposedIndex(ASYM_IA, ASYM_JA, iaT, jaT);
	EXPECT_GT(expectUnchangedWhenAllocationFails(m, [&](SparseMatrixCSR & a) {
		a.resize(3, 7, ASYM_IA.data(), ASYM_JA.data(), iaT.data(), jaT.data());
	}), 0);
	m = tridiagonal();
	const Index indices = {0, 1, 1,  0, 1, 2,  1, 2, 3,  2, 3, 4,  3, 4, 4};
	EXPECT_GT(expectUnchangedWhenAllocationFails(m, [&](SparseMatrixCSR & a) { a.resizeFromEID(5, 3, indices.data()); }), 0);
}


TEST(SparseMatrixCSR, ReadsEIDStorageSkippingPadding) {
	const unsigned int n = 6, e = 3;
	const Index indices = {0, 1, 1,  0, 1, 2,  2, 5, 5,  3, 3, 3,  4, 4, 4,  2, 5, 5};
	std::vector<double> values(indices.size());
	for (std::size_t s = 0; s < indices.size(); ++s)
		values[s] = (s % e != 0 && indices[s] == indices[s - 1]) ? 99 : static_cast<double>(s);

	SparseMatrixCSR m = csr(ASYM_IA, ASYM_JA, ASYM_VALUES, {0, 2, 5, 7}, {0, 2, 0, 1, 2, 1, 2});
	m.resizeFromEID(n, e, indices.data());
	EXPECT_EQ(m.ia(), (Index{0, 2, 5, 7, 8, 9, 11}));
	EXPECT_EQ(m.ja(), (Index{0, 1, 0, 1, 2, 2, 5, 3, 4, 2, 5}));
	EXPECT_TRUE(m.iaT().empty());	// the transposed index of the old pattern is gone
	EXPECT_EQ(m.patternKind(), SparseMatrixCSR::PK_SYMMETRIC);
	EXPECT_EQ(m.serializationSize(), 29 + 8 * 11 + 4 * (7 + 11u));

	m.parseFromEID(n, e, indices.data(), values.data());
	EXPECT_EQ(std::vector<double>(m.data(), m.data() + m.dataSize()),
			  (std::vector<double>{0, 1, 3, 4, 5, 6, 7, 9, 12, 15, 16}));

	const char * wrongSize = "[SparseMatrixCSR::parseFromEID] Wrong matrix size! Call 'resizeFromEID' before parsing!";
	EXPECT_EQ(failure([&] { m.parseFromEID(5, e, indices.data(), values.data()); }), wrongSize);
	EXPECT_EQ(failure([&] { m.parseFromEID(n, e, indices.data(), nullptr); }), "[SparseMatrixCSR::parseFromEID] Invalid input in data.");
	const Index fewer = {0, 1, 1,  0, 1, 1,  2, 5, 5,  3, 3, 3,  4, 4, 4,  2, 5, 5};
	EXPECT_EQ(failure([&] { m.parseFromEID(n, e, fewer.data(), values.data()); }), wrongSize);
	EXPECT_EQ(m.value(1, 2), 5);

	const Index outside = {0, 6, 6,  1, 1, 1,  2, 2, 2,  3, 3, 3,  4, 4, 4,  5, 5, 5};
	EXPECT_EQ(failure([&] { m.resizeFromEID(n, e, outside.data()); }), "[SparseMatrixCSR::resizeFromEID] Invalid input in indices.");
	EXPECT_EQ(m.elementCount(), 11u);
}


TEST(SparseMatrixCSR, BlobRestoresSameShapeAndRecreatesAnyShape) {
	const SparseMatrixCSR a = tridiagonal();
	const std::vector<char> buffer = blob(a);
	EXPECT_EQ(buffer.size(), 169u);

	SparseMatrixCSR same = tridiagonal();
	std::fill(same.data(), same.data() + same.dataSize(), 0.0);
	void * p = const_cast<char *>(buffer.data());
	same.deserialize(p, buffer.data() + buffer.size());
	EXPECT_EQ(p, static_cast<const void *>(buffer.data() + buffer.size()));
	EXPECT_EQ(blob(same), buffer);

	SparseMatrixCSR other = csr(ASYM_IA, ASYM_JA, ASYM_VALUES);
	p = const_cast<char *>(buffer.data());
	EXPECT_EQ(failure([&] { other.deserialize(p); }), "[SparseMatrixCSR::deserialize] Invalid matrix dimensions in "
			  "binary data storage (target matrix not properly resized?).");
	other.recreate(p);
	EXPECT_EQ(blob(other), buffer);

	std::vector<char> corrupt = buffer;
	corrupt[0] = 1;
	p = corrupt.data();
	EXPECT_EQ(failure([&] { same.deserialize(p); }), "[SparseMatrixCSR::deserialize] Invalid matrix type in binary data storage.");
	EXPECT_EQ(failure([&] { same.recreate(p); }), "[SparseMatrixCSR::recreate] Invalid matrix type in binary data storage.");
}


TEST(SparseMatrixCSR, RecreateDerivesThePatternKindFromTheBlob) {
	Index iaT, jaT;
	SparseMatrixCSR::generateTransposedIndex(ASYM_IA, ASYM_JA, iaT, jaT);
	const std::vector<char> asymmetric = blob(csr(ASYM_IA, ASYM_JA, ASYM_VALUES, iaT, jaT));

	SparseMatrixCSR m = tridiagonal();
	void * p = const_cast<char *>(asymmetric.data());
	m.recreate(p);
	EXPECT_EQ(m.patternKind(), SparseMatrixCSR::PK_ASYMMETRIC);
	expectNear(iluSolve(m, {6, 11, 15}), {1, 2, 3}, TOLERANCE);

	const std::vector<char> symmetric = blob(tridiagonal());
	p = const_cast<char *>(symmetric.data());
	m.recreate(p);
	EXPECT_EQ(m.patternKind(), SparseMatrixCSR::PK_SYMMETRIC);
	expectNear(iluSolve(m, {3, 2, 2, 3}), {1, 1, 1, 1}, TOLERANCE);
}


TEST(SparseMatrixCSR, RejectsCorruptBlobsWithoutChangingTheMatrix) {
	const std::vector<char> buffer = blob(tridiagonal());
	// the first column index (behind type, n, nnz, the values and ia) points outside the matrix
	std::vector<char> column = buffer;
	const std::size_t jaStart = 9 + 4 + 80 + 4 + 20 + 4;
	const std::uint32_t nine = 9;
	std::memcpy(column.data() + jaStart, &nine, 4);

	SparseMatrixCSR same = tridiagonal();
	void * p = column.data();
	EXPECT_EQ(failure([&] { same.deserialize(p); }), "[SparseMatrixCSR::deserialize] Inconsistent binary matrix data.");
	SparseMatrixCSR other = csr(ASYM_IA, ASYM_JA, ASYM_VALUES);
	EXPECT_EQ(failure([&] { other.recreate(p); }), "[SparseMatrixCSR::recreate] Inconsistent binary matrix data.");
	EXPECT_EQ(p, static_cast<void *>(column.data()));

	// a buffer that ends inside the index arrays
	p = const_cast<char *>(buffer.data());
	EXPECT_NE(failure([&] { same.deserialize(p, buffer.data() + 120); }), "no exception");
	EXPECT_NE(failure([&] { other.recreate(p, buffer.data() + 120); }), "no exception");
	EXPECT_EQ(same.ja()[0], 0u);
	EXPECT_EQ(other.n(), 3u);
	EXPECT_EQ(blob(same), buffer);
}
