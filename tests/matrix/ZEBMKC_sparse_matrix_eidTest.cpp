#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "ZEBMKC_sparse_matrix.h"

using namespace ZEBMK;
using Index = std::vector<unsigned int>;
using Vector = std::vector<double>;

namespace {

// A block EID matrix: n block rows of e slots holding b x b blocks.
struct Eid {
	unsigned int n, e, b;
	Index idx;
	Vector values;
};

// Random blocks on the given columns of each row, padded by repeating the last column with zero
// blocks. With dominance > 0 the diagonal entries get that weight, so no pivot comes near zero.
Eid randomEid(unsigned int e, unsigned int b, const std::vector<std::set<unsigned int>> & rows,
			  std::mt19937 & rng, double dominance = 0)
{
	std::uniform_real_distribution<double> value(-1, 1);
	Eid m{static_cast<unsigned int>(rows.size()), e, b, {}, {}};
	for (unsigned int i = 0; i < m.n; ++i) {
		Index cols(rows[i].begin(), rows[i].end());
		cols.resize(e, cols.back());
		for (unsigned int s = 0; s < e; ++s) {
			m.idx.push_back(cols[s]);
			for (unsigned int k = 0; k < b * b; ++k) {
				const bool padding = s > 0 && cols[s] == cols[s - 1];
				const bool diagonal = cols[s] == i && k % (b + 1) == 0;
				m.values.push_back(padding ? 0 : diagonal ? dominance + value(rng) : value(rng));
			}
		}
	}
	return m;
}

// The same matrix as scalar EID rows (b = 1), each padded to e*b slots.
Eid expand(const Eid & m) {
	const unsigned int b = m.b, slots = m.e * b;
	Eid s{m.n * b, slots, 1, {}, {}};
	for (unsigned int i = 0; i < m.n; ++i)
		for (unsigned int k = 0; k < b; ++k) {
			const std::size_t rowStart = s.idx.size();
			for (unsigned int q = 0; q < m.e; ++q) {
				const unsigned int slot = i * m.e + q;
				if (q > 0 && m.idx[slot] == m.idx[slot - 1])
					break;
				for (unsigned int j = 0; j < b; ++j) {
					s.idx.push_back(m.idx[slot] * b + j);
					s.values.push_back(m.values[slot * b * b + j * b + k]);
				}
			}
			while (s.idx.size() < rowStart + slots) {
				s.idx.push_back(s.idx.back());
				s.values.push_back(0);
			}
		}
	return s;
}

Index strideOffsets(unsigned int n, unsigned int e) {
	Index ia;
	for (unsigned int i = 0; i <= n; ++i)
		ia.push_back(i * e);
	return ia;
}

// The general loop: the CSR product over the scalar EID rows.
Vector csrProduct(const Eid & s, const Vector & x) {
	Vector y(s.n, 99);
	zebmk_spmat_csr_multiply(s.n, s.values.data(), strideOffsets(s.n, s.e).data(), s.idx.data(), x.data(), y.data());
	return y;
}

// Factorises by ilu (by default the block dispatcher) and solves for rhs.
Vector iluSolve(Eid m, Vector rhs, void (*ilu)(unsigned int, unsigned int, const unsigned int *, double *) = nullptr) {
	if (ilu != nullptr)
		ilu(m.n, m.e, m.idx.data(), m.values.data());
	else
		zebmk_blockspmat_eid_ilu(m.n, m.b, m.e, m.idx.data(), m.values.data());
	zebmk_blockspmat_eid_backsolve(m.n, m.b, m.e, m.idx.data(), m.values.data(), rhs.data());
	return rhs;
}

void expectRelative(const Vector & actual, const Vector & expected, double tolerance) {
	ASSERT_EQ(actual.size(), expected.size());
	for (std::size_t i = 0; i < actual.size(); ++i)
		EXPECT_LE(std::abs(actual[i] - expected[i]), tolerance * std::abs(expected[i])) << "at " << i;
}

// Block row i couples to i-1, i+1 and i+3 around a ring of six: elimination fills in, ILU(0) drops it.
const std::vector<std::set<unsigned int>> RING6 = {{0, 1, 3, 5}, {0, 1, 2, 4}, {1, 2, 3, 5}, {0, 2, 3, 4}, {1, 3, 4, 5}, {0, 2, 4, 5}};

} // namespace


TEST(EIDKernels, EveryProductEqualsTheGeneralLoop) {
	std::mt19937 rng(17);
	const std::vector<std::set<unsigned int>> rows = {{0, 3, 8}, {1}, {0, 2, 4, 6, 8}, {1, 2, 3, 5, 6}, {4, 8}, {0, 1, 2, 3, 4}, {6}, {7, 8}, {0, 8}};
	Vector x(27);
	for (double & v : x)
		v = std::uniform_real_distribution<double>(-2, 2)(rng);

	// the unrolled members and, with e = 4, the loop over any e
	for (unsigned int e : {5u, 7u, 10u, 14u, 15u, 4u}) {
		SCOPED_TRACE(e);
		const Eid m = randomEid(e, 1, rows, rng);
		Vector y(m.n, 99);
		zebmk_spmat_eid_multiply(m.n, m.e, m.idx.data(), m.values.data(), x.data(), y.data());
		expectRelative(y, csrProduct(m, x), 1e-15);
	}

	// block sizes 2 and 3 with the unrolled members (e = 5, 7) and without, and the general size 4
	const unsigned int blockSize[] = {2, 2, 2, 3, 3, 3, 4}, blockSlots[] = {5, 7, 9, 5, 7, 8, 7};
	for (int k = 0; k < 7; ++k) {
		SCOPED_TRACE(blockSlots[k] * blockSize[k]);
		const Eid m = randomEid(blockSlots[k], blockSize[k], {{0, 2, 3}, {1}, {0, 1, 2}}, rng);
		const Eid scalarRows = expand(m);
		Vector y(scalarRows.n, 99), csr(scalarRows.n, 99);
		zebmk_blockspmat_eid_multiply(m.n, m.e, m.b, m.idx.data(), m.values.data(), x.data(), y.data());
		expectRelative(y, csrProduct(scalarRows, x), 1e-15);
		// the block rows as block CSR storage
		zebmk_blockspmat_csr_multiply(m.n, m.b, m.values.data(), strideOffsets(m.n, m.e).data(), m.idx.data(), x.data(), csr.data());
		expectRelative(csr, y, 1e-15);
	}
}


TEST(EIDKernels, ILUOfTheRingGivesTheCSRFactors) {
	// 4 on the diagonal, -1 to both ring neighbours; the CSR kernels on the unpadded rows
	const Index ia = {0, 3, 6, 9, 12}, ja = {0, 1, 3, 0, 1, 2, 1, 2, 3, 0, 2, 3};
	const Vector ring = {4, -1, -1, -1, 4, -1, -1, 4, -1, -1, -1, 4};
	Vector factors = ring, solution = {2, 2, 2, 2};
	zebmk_spmat_csr_ilu_symm(4, ia.data(), ja.data(), factors.data());
	zebmk_spmat_csr_backsolve(4, ia.data(), ja.data(), factors.data(), solution.data());
	expectRelative(solution, {25.0 / 26, 12.0 / 13, 25.0 / 26, 12.0 / 13}, 1e-15);

	// a fourth, padding slot repeats a row below row 0 and row 1, which must be updated only once
	for (unsigned int e : {3u, 4u}) {
		SCOPED_TRACE(e);
		Index idx;
		Vector values;
		for (unsigned int k = 0; k < 12; ++k) {
			idx.push_back(ja[k]);
			values.push_back(ring[k]);
			if (e == 4 && k % 3 == 2) {
				idx.push_back(ja[k]);
				values.push_back(0);
			}
		}
		zebmk_spmat_eid_ilu(4, e, idx.data(), values.data());
		Vector kept;
		for (unsigned int s = 0; s < values.size(); ++s) {
			if (s % e == 3)
				EXPECT_EQ(values[s], 0);
			else
				kept.push_back(values[s]);
		}
		EXPECT_EQ(kept, factors);
		Vector b = {2, 2, 2, 2};
		zebmk_spmat_eid_backsolve(4, e, idx.data(), values.data(), b.data());
		EXPECT_EQ(b, solution);
	}

	// n = 1: the factor is the value itself
	const Index one = {0, 0};
	Vector value = {4, 0}, b = {2};
	zebmk_spmat_eid_ilu(1, 2, one.data(), value.data());
	zebmk_spmat_eid_backsolve(1, 2, one.data(), value.data(), b.data());
	EXPECT_EQ(value, (Vector{4, 0}));
	EXPECT_EQ(b, Vector{0.5});
}


TEST(BlockEIDKernels, BlockSizeOneIsTheScalarKernels) {
	std::mt19937 rng(5);
	Eid scalar = randomEid(5, 1, RING6, rng, 6);
	Eid block = scalar;
	const Vector x = {1, -2, 3, 0.5, 4, -1};
	Vector y(6, 99), yBlock(6, 99), yCSR(6, 99);
	zebmk_spmat_eid_multiply(6, 5, scalar.idx.data(), scalar.values.data(), x.data(), y.data());
	zebmk_blockspmat_eid_multiply(6, 5, 1, block.idx.data(), block.values.data(), x.data(), yBlock.data());
	zebmk_blockspmat_csr_multiply(6, 1, block.values.data(), strideOffsets(6, 5).data(), block.idx.data(), x.data(), yCSR.data());
	EXPECT_EQ(yBlock, y);
	EXPECT_EQ(yCSR, y);

	zebmk_spmat_eid_ilu(6, 5, scalar.idx.data(), scalar.values.data());
	zebmk_blockspmat_eid_ilu(6, 1, 5, block.idx.data(), block.values.data());
	EXPECT_EQ(block.values, scalar.values);
	zebmk_spmat_eid_backsolve(6, 5, scalar.idx.data(), scalar.values.data(), y.data());
	zebmk_blockspmat_eid_backsolve(6, 1, 5, block.idx.data(), block.values.data(), yBlock.data());
	EXPECT_EQ(yBlock, y);
}


TEST(BlockEIDKernels, BlockILUIsTheScalarILUOfTheExpandedMatrix) {
	std::mt19937 rng(11);
	for (unsigned int b : {2u, 3u, 4u}) {
		SCOPED_TRACE(b);
		// the blocks are full and not symmetric: a transposed product or solve shows
		const Eid m = randomEid(5, b, RING6, rng, 4.0 * b);
		const Eid scalarRows = expand(m);
		Vector rhs(m.n * b);
		for (double & v : rhs)
			v = std::uniform_real_distribution<double>(-1, 1)(rng);
		const Vector expected = iluSolve(scalarRows, rhs);
		expectRelative(iluSolve(m, rhs), expected, 1e-13);
		if (b == 2)
			expectRelative(iluSolve(m, rhs, zebmk_blockspmat_eid_ilu2Misch), expected, 1e-13);
	}

	// the entry-wise member leaves the factors of the block member
	Eid block = randomEid(5, 2, RING6, rng, 8);
	Eid entries = block;
	zebmk_blockspmat_eid_ilu2(block.n, block.e, block.idx.data(), block.values.data());
	zebmk_blockspmat_eid_ilu2Misch(entries.n, entries.e, entries.idx.data(), entries.values.data());
	expectRelative(entries.values, block.values, 1e-13);
}


TEST(BlockEIDKernels, BlockILUSolvesBlockTridiagonalSystemsExactly) {
	std::mt19937 rng(3);
	const unsigned int n = 6;
	std::vector<std::set<unsigned int>> rows(n);
	for (unsigned int i = 0; i < n; ++i)
		rows[i] = {i == 0 ? 0 : i - 1, i, i + 1 == n ? i : i + 1};
	for (unsigned int b : {2u, 3u, 5u}) {
		SCOPED_TRACE(b);
		// symmetric and strictly diagonally dominant, so positive definite
		Eid m = randomEid(3, b, rows, rng);
		for (unsigned int s = 0; s < n * 3; ++s)
			for (unsigned int c = 0; c < b; ++c)
				for (unsigned int r = 0; r < b; ++r) {
					const double row = s / 3 * b + r, col = m.idx[s] * b + c;
					double & v = m.values[(s * b + c) * b + r];
					if (v != 0)	// not padding
						v = row == col ? 3.0 * b : std::sin(7 * std::min(row, col) + 13 * std::max(row, col));
				}
		Vector x(n * b), rhs(n * b, 99);
		for (double & v : x)
			v = std::uniform_real_distribution<double>(-1, 1)(rng);
		zebmk_blockspmat_eid_multiply(n, 3, b, m.idx.data(), m.values.data(), x.data(), rhs.data());
		expectRelative(iluSolve(m, rhs), x, 1e-12);
		if (b == 2)
			expectRelative(iluSolve(m, rhs, zebmk_blockspmat_eid_ilu2Misch), x, 1e-12);
	}
}
