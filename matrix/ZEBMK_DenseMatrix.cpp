#include "ZEBMK_DenseMatrix.h"

#include <cstdint>
#include <utility>

#include "ZEB_Exception.h"
#include "ZEB_InputOutput.h"
#include "ZEB_MatrixOutput.h"
#include "ZEBMK_BinaryBlob.h"
#include "ZEBMKC_dense_matrix.h"

namespace ZEBMK {

static_assert(sizeof(long) == 8, "pivots are stored as 64-bit integers");

namespace {

// Pivot rows from a blob index the right-hand side in backsolve(): they must lie inside it.
bool validPivots(const std::vector<long> & pivots) {
	for (long p : pivots) {
		if (p < 0 || static_cast<unsigned long>(p) >= pivots.size())
			return false;
	}
	return true;
}

} // namespace


void DenseMatrix::resize(unsigned int n) {
	// all memory first, so that a failing allocation leaves the matrix as it was
	const std::size_t valueCount = static_cast<std::size_t>(n) * n;
	m_values.reserve(valueCount);
	m_pivots.reserve(n);
	m_values.resize(valueCount);
	m_pivots.resize(n);
	m_n = n;
	// pivots of a larger factorisation would point outside the matrix (and spoil its blob)
	for (auto & p : m_pivots)
		if (static_cast<unsigned long>(p) >= n)
			p = 0;
}


void DenseMatrix::swap(DenseMatrix & other) {
	m_values.swap(other.m_values);
	std::swap(m_n, other.m_n);
	m_pivots.swap(other.m_pivots);
}


int DenseMatrix::lu() {
	return zebmk_dense_LU_pivot(static_cast<int>(m_n), m_values.data(), m_pivots.data());
}


void DenseMatrix::backsolve(double * b) const {
	zebmk_dense_backsolve_pivot(static_cast<int>(m_n), m_values.data(), m_pivots.data(), b);
}


void DenseMatrix::multiply(const double * b, double * res) const {
	zebmk_dense_vec_mult(static_cast<int>(m_n), m_values.data(), b, res);
}


void DenseMatrix::write(std::ostream & out, const double * b, bool eulerFormat, unsigned int width,
						const char * matrixLabel, const char * vectorLabel) const
{
	ZEB::write_matrix(out, *this, b, eulerFormat, width, matrixLabel, vectorLabel);
}


std::size_t DenseMatrix::serializationSize() const {
	return 13 + 8 * (m_values.size() + m_pivots.size());
}


void DenseMatrix::serialize(void *& dataPtr) const {
	write_blob_value<std::uint8_t>(dataPtr, BLOB_TYPE);
	write_blob_value<std::uint32_t>(dataPtr, m_n);
	ZEB::serialize_vector(dataPtr, m_values);
	ZEB::serialize_vector(dataPtr, m_pivots);
}


void DenseMatrix::deserialize(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[DenseMatrix::deserialize]";
	void * p = dataPtr;
	if (read_blob_value<std::uint8_t>(p, dataEnd, location) != BLOB_TYPE)
		throw ZEB::Exception("Invalid matrix type in binary data storage.", location);
	if (read_blob_value<std::uint32_t>(p, dataEnd, location) != m_n)
		throw ZEB::Exception("Invalid matrix dimensions in binary data storage (target matrix not properly resized?).", location);
	ZEB::deserialize_vector(p, m_values, dataEnd);
	std::vector<long> pivots(m_pivots.size());
	ZEB::deserialize_vector(p, pivots, dataEnd);
	if (!validPivots(pivots))
		throw ZEB::Exception("Inconsistent binary matrix data.", location);
	m_pivots.swap(pivots);
	dataPtr = p;
}


void DenseMatrix::recreate(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[DenseMatrix::recreate]";
	void * p = dataPtr;
	if (read_blob_value<std::uint8_t>(p, dataEnd, location) != BLOB_TYPE)
		throw ZEB::Exception("Invalid matrix type in binary data storage.", location);
	const std::uint32_t n = read_blob_value<std::uint32_t>(p, dataEnd, location);
	std::vector<double> values;
	std::vector<long> pivots;
	ZEB::recreate_vector(p, values, dataEnd);
	ZEB::recreate_vector(p, pivots, dataEnd);
	if (values.size() != static_cast<std::size_t>(n) * n || pivots.size() != n || !validPivots(pivots))
		throw ZEB::Exception("Inconsistent binary matrix data.", location);
	m_n = n;
	m_values.swap(values);
	m_pivots.swap(pivots);
	dataPtr = p;
}

} // namespace ZEBMK
