#include "ZEBMK_BlockTridiagMatrix.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <ostream>
#include <utility>

#include "ZEB_Exception.h"
#include "ZEBMK_BinaryBlob.h"
#include "ZEBMKC_tridiag_matrix.h"

namespace ZEBMK {

namespace {

// The kernels take the rows (n*m) as int; the values per block (m*m) are kept in 32 bits.
bool validDimensions(std::uint64_t n, std::uint64_t m) {
	return n * m <= INT_MAX && m * m <= INT_MAX;
}

} // namespace


BlockTridiagMatrix::BlockTridiagMatrix(const BlockTridiagMatrix & other) :
	m_n(other.m_n), m_m(other.m_m), m_m2(other.m_m2), m_values(other.m_values), m_pivots(other.m_pivots)
{
	rebuildBlocks();
}


BlockTridiagMatrix & BlockTridiagMatrix::operator=(const BlockTridiagMatrix & other) {
	if (this != &other) {
		BlockTridiagMatrix copy(other);
		swap(copy);
	}
	return *this;
}


BlockTridiagMatrix & BlockTridiagMatrix::operator=(BlockTridiagMatrix && other) noexcept {
	BlockTridiagMatrix moved;
	moved.swap(other);
	swap(moved);
	return *this;
}


void BlockTridiagMatrix::swap(BlockTridiagMatrix & other) noexcept {
	// swapping the vectors keeps every block pointer with the values it points into
	std::swap(m_n, other.m_n);
	std::swap(m_m, other.m_m);
	std::swap(m_m2, other.m_m2);
	m_values.swap(other.m_values);
	m_blocks.swap(other.m_blocks);
	m_pivots.swap(other.m_pivots);
}


void BlockTridiagMatrix::resize(unsigned int nBlocks, unsigned int m) {
	if (!validDimensions(nBlocks, m))
		throw ZEB::Exception(ZEB::FormatString("Invalid block-tridiagonal dimensions (nblocks = %1, blocksize = %2).")
							 .arg(nBlocks).arg(m), "[BlockTridiagMatrix::resize]");
	const std::size_t m2 = static_cast<std::size_t>(m) * m;
	const std::size_t valueCount = 3 * static_cast<std::size_t>(nBlocks) * m2;
	const std::size_t blockCount = 3 * static_cast<std::size_t>(nBlocks);
	// all memory first, so that a failing allocation leaves the matrix as it was; the values last,
	// because moving them invalidates the block pointers until rebuildBlocks()
	m_pivots.reserve(static_cast<std::size_t>(nBlocks) * m);
	m_blocks.reserve(blockCount);
	m_values.reserve(valueCount);
	m_values.resize(valueCount);
	m_pivots.resize(static_cast<std::size_t>(nBlocks) * m);
	m_n = nBlocks;
	m_m = m;
	m_m2 = static_cast<unsigned int>(m2);
	// interchanges of a larger block size would point outside a block
	for (auto & p : m_pivots)
		if (p < 0 || static_cast<unsigned long>(p) >= m)
			p = 0;
	rebuildBlocks();
}


void BlockTridiagMatrix::rebuildBlocks() {
	m_blocks.resize(3 * static_cast<std::size_t>(m_n));	// within the reserved capacity after resize()
	for (std::size_t k = 0; k < m_blocks.size(); ++k)
		m_blocks[k] = m_values.data() + k * m_m2;
}


void BlockTridiagMatrix::setZero() {
	std::fill(m_values.begin(), m_values.end(), 0.0);
}


long BlockTridiagMatrix::blockIndex(unsigned int I, unsigned int J) const {
	const long n = m_n;
	if (I == J)
		return n + I;
	if (J + 1 == I)
		return I;
	if (J == I + 1)
		return 2 * n + I;
	if (I == 0 && J == 2)
		return 0;
	if (I + 1 == m_n && J + 3 == m_n)
		return 3 * n - 1;
	return -1;
}


double BlockTridiagMatrix::value(unsigned int i, unsigned int j) const {
	const std::uint64_t size = static_cast<std::uint64_t>(m_n) * m_m;
	if (i >= size || j >= size)
		return 0;
	const long block = blockIndex(i / m_m, j / m_m);
	if (block < 0)
		return 0;
	return m_blocks[block][static_cast<std::size_t>(j % m_m) * m_m + i % m_m];
}


double & BlockTridiagMatrix::operator()(unsigned int i, unsigned int j) {
	const std::uint64_t size = static_cast<std::uint64_t>(m_n) * m_m;
	const long block = i < size && j < size ? blockIndex(i / m_m, j / m_m) : -1;
	if (block < 0)
		throw ZEB::Exception(ZEB::FormatString("Invalid index (%1,%2) for block-tridiagonal matrix with nblocks = %3 "
											   "and blocksize = %4").arg(i).arg(j).arg(m_n).arg(m_m),
							 "[BlockTridiagMatrix::operator()]");
	return m_blocks[block][static_cast<std::size_t>(j % m_m) * m_m + i % m_m];
}


int BlockTridiagMatrix::lu() {
	if (m_n < 4)
		return -1;
	const int n = static_cast<int>(m_n);
	const int m = static_cast<int>(m_m);
	double * const * A = m_blocks.data();
	if (!m_pivots.empty())
		return zebmk_btridiag_LU_pivot(n, m, A, A + n, A + 2 * static_cast<std::ptrdiff_t>(n), m_pivots.data());
	return zebmk_btridiag_LU(n, m, A, A + n, A + 2 * static_cast<std::ptrdiff_t>(n));
}


void BlockTridiagMatrix::backsolve(double * b) const {
	if (m_n < 4)
		throw ZEB::Exception(ZEB::FormatString("Cannot solve with a block-tridiagonal matrix of %1 blocks, "
											   "at least 4 are needed.").arg(m_n), "[BlockTridiagMatrix::backsolve]");
	const int n = static_cast<int>(m_n);
	const int m = static_cast<int>(m_m);
	const double * const * A = m_blocks.data();
	if (!m_pivots.empty())
		zebmk_btridiag_backsolve_pivot(n, m, A, A + n, A + 2 * static_cast<std::ptrdiff_t>(n), m_pivots.data(), b);
	else
		zebmk_btridiag_backsolve(n, m, A, A + n, A + 2 * static_cast<std::ptrdiff_t>(n), b);
}


void BlockTridiagMatrix::solveEquationSystem(double * b) {
	if (lu() != 0)
		throw ZEB::Exception("Error solving equation system, encountered zero diagonal.",
							 "[BlockTridiagMatrix::solveEquationSystem]");
	backsolve(b);
}


void BlockTridiagMatrix::multiply(const double * x, double * y) const {
	const int n = static_cast<int>(m_n);
	const int m = static_cast<int>(m_m);
	if (m == 1) {
		zebmk_tridiag_vec_mult(n, m_values.data(), x, y);
		return;
	}
	const double * const * A = m_blocks.data();
	zebmk_btridiag_vec_mult(n, m, A, A + n, A + 2 * static_cast<std::ptrdiff_t>(n), x, y);
}


void BlockTridiagMatrix::write(std::ostream & out, const double * b, bool eulerFormat, unsigned int width,
							   const char * matrixLabel, const char * vectorLabel) const
{
	const std::ios_base::fmtflags oldFlags = out.flags();
	const int w = width == 0 ? 10 : static_cast<int>(width) - 1;
	const std::uint64_t size = static_cast<std::uint64_t>(m_n) * m_m;
	out << std::right;
	if (!eulerFormat) {
		for (std::uint64_t i = 0; i < size; ++i) {
			out << "[ ";
			for (std::uint64_t j = 0; j < size; ++j) {
				if (blockIndex(static_cast<unsigned int>(i / m_m), static_cast<unsigned int>(j / m_m)) < 0)
					out << std::setw(w) << "." << " ";
				else
					out << std::setw(w) << value(static_cast<unsigned int>(i), static_cast<unsigned int>(j)) << " ";
			}
			out << "]";
			if (b != nullptr)
				out << "  [ " << std::setw(w) << b[i] << " ]";
			out << "\n";
		}
		out << std::endl;
	}
	else {
		out << ">format(" << w << ",0);\n";
		out << ">" << matrixLabel << ":=[ \n";
		for (std::uint64_t i = 0; i < size; ++i) {
			for (std::uint64_t j = 0; j < size; ++j) {
				if (j > 0)
					out << ",";
				out << std::setw(w) << value(static_cast<unsigned int>(i), static_cast<unsigned int>(j));
			}
			if (i + 1 < size)
				out << ";\n";
		}
		out << "];\n\n";
		if (b != nullptr) {
			out << ">" << vectorLabel << ":= [";
			for (std::uint64_t i = 0; i < size; ++i) {
				if (i > 0)
					out << "; ";
				out << std::setw(w) << b[i];
			}
			out << "];\n";
		}
	}
	out.flags(oldFlags);
}


std::size_t BlockTridiagMatrix::serializationSize() const {
	return 9 + 8 * m_values.size();
}


void BlockTridiagMatrix::serialize(void *& dataPtr) const {
	write_blob_value<std::uint8_t>(dataPtr, BLOB_TYPE);
	write_blob_value<std::uint32_t>(dataPtr, m_n);
	write_blob_value<std::uint32_t>(dataPtr, m_m);
	char * p = static_cast<char *>(dataPtr);
	if (!m_values.empty())
		std::memcpy(p, m_values.data(), 8 * m_values.size());
	dataPtr = p + 8 * m_values.size();
}


void BlockTridiagMatrix::deserialize(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[BlockTridiagMatrix::deserialize]";
	void * p = dataPtr;
	if (read_blob_value<std::uint8_t>(p, dataEnd, location) != BLOB_TYPE)
		throw ZEB::Exception("Invalid matrix type in binary data storage.", location);
	const std::uint32_t n = read_blob_value<std::uint32_t>(p, dataEnd, location);
	const std::uint32_t m = read_blob_value<std::uint32_t>(p, dataEnd, location);
	if (n != m_n || m != m_m)
		throw ZEB::Exception("Invalid matrix dimensions in binary data storage (target matrix not properly resized?).", location);
	const std::size_t bytes = 8 * m_values.size();
	check_blob_room(p, bytes, dataEnd, location);
	if (bytes != 0)
		std::memcpy(m_values.data(), p, bytes);
	dataPtr = static_cast<char *>(p) + bytes;
}


void BlockTridiagMatrix::recreate(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[BlockTridiagMatrix::recreate]";
	void * p = dataPtr;
	if (read_blob_value<std::uint8_t>(p, dataEnd, location) != BLOB_TYPE)
		throw ZEB::Exception("Invalid matrix type in binary data storage.", location);
	const std::uint32_t n = read_blob_value<std::uint32_t>(p, dataEnd, location);
	const std::uint32_t m = read_blob_value<std::uint32_t>(p, dataEnd, location);
	// blocks of size 0 take no bytes of the blob, but their 3n block pointers would still be made
	if (!validDimensions(n, m) || (m == 0 && n != 0))
		throw ZEB::Exception("Inconsistent binary matrix data.", location);
	// within the int limits this product cannot overflow 64 bits
	const std::size_t bytes = 8 * 3 * static_cast<std::size_t>(n) * m * m;
	check_blob_room(p, bytes, dataEnd, location);
	BlockTridiagMatrix restored(n, m);
	if (bytes != 0)
		std::memcpy(restored.m_values.data(), p, bytes);
	swap(restored);
	dataPtr = static_cast<char *>(p) + bytes;
}

} // namespace ZEBMK
