#include "ZEBMK_SparseMatrixCSR.h"

#include <cstdint>
#include <limits>
#include <utility>

#include "ZEB_Exception.h"
#include "ZEB_InputOutput.h"
#include "ZEBMK_BinaryBlob.h"
#include "ZEBMKC_sparse_matrix.h"

namespace ZEBMK {

namespace {

// A CSR pattern the kernels can walk without leaving their arrays: offsets[0] = 0, ascending up
// to offsets[n] = nnz, and the indices of each range strictly ascending and below n.
bool validPattern(unsigned int n, unsigned int nnz, const unsigned int * offsets, const unsigned int * indices) {
	if (offsets[0] != 0 || offsets[n] != nnz)
		return false;
	for (unsigned int i = 0; i < n; ++i) {
		if (offsets[i + 1] < offsets[i] || offsets[i + 1] > nnz)
			return false;
	}
	for (unsigned int i = 0; i < n; ++i) {
		for (unsigned int k = offsets[i]; k < offsets[i + 1]; ++k) {
			if (indices[k] >= n || (k > offsets[i] && indices[k] <= indices[k - 1]))
				return false;
		}
	}
	return true;
}

// The five arrays of a blob describe a matrix of size n with nnz elements.
bool consistentArrays(unsigned int n, unsigned int nnz, const std::vector<double> & data,
					  const std::vector<unsigned int> & ia, const std::vector<unsigned int> & ja,
					  const std::vector<unsigned int> & iaT, const std::vector<unsigned int> & jaT)
{
	if (n == 0)	// the blob of an empty matrix
		return nnz == 0 && data.empty() && ia.empty() && ja.empty() && iaT.empty() && jaT.empty();
	if (data.size() != nnz || ia.size() != static_cast<std::size_t>(n) + 1 || ja.size() != nnz)
		return false;
	if (!validPattern(n, nnz, ia.data(), ja.data()))
		return false;
	if (iaT.empty() && jaT.empty())
		return true;
	return iaT.size() == static_cast<std::size_t>(n) + 1 && jaT.size() == nnz
		   && validPattern(n, nnz, iaT.data(), jaT.data());
}

// Reciprocals of the diagonal elements at the positions diag of the rows of (ia, ja); NaN for a
// row without one, so that a solution with it shows.
void pivotReciprocals(unsigned int n, const unsigned int * ia, const unsigned int * ja, const unsigned int * diag,
					  const double * data, double * reciprocals)
{
	for (unsigned int i = 0; i < n; ++i) {
		const unsigned int k = diag[i];
		reciprocals[i] = k < ia[i + 1] && ja[k] == i ? 1.0 / data[k] : std::numeric_limits<double>::quiet_NaN();
	}
}

// Diagonal positions and pivot reciprocals of a restored pattern and its values, into arrays sized n.
void deriveDiagonal(unsigned int n, const std::vector<unsigned int> & ia, const std::vector<unsigned int> & ja,
					const std::vector<double> & data, std::vector<unsigned int> & diagonal, std::vector<double> & reciprocals)
{
	if (n == 0)
		return;
	zebmk_spmat_csr_diagonal(n, ia.data(), ja.data(), diagonal.data());
	pivotReciprocals(n, ia.data(), ja.data(), diagonal.data(), data.data(), reciprocals.data());
}

} // namespace


void SparseMatrixCSR::resize(unsigned int n, unsigned int nnz, const unsigned int * ia, const unsigned int * ja,
							 const unsigned int * iaT, const unsigned int * jaT)
{
	const char * const location = "[SparseMatrixCSR::resize]";
	if (n == 0 || nnz == 0)
		throw ZEB::Exception("Invalid input in n or nnz.", location);
	if (ia == nullptr || ja == nullptr || !validPattern(n, nnz, ia, ja))
		throw ZEB::Exception("Invalid input in ia or ja.", location);
	const bool transposed = iaT != nullptr && jaT != nullptr;
	if (transposed && !validPattern(n, nnz, iaT, jaT))
		throw ZEB::Exception("Invalid input in iaT or jaT.", location);

	// all memory first, so that a failing allocation leaves the matrix as it was
	m_data.reserve(nnz);
	m_ia.reserve(static_cast<std::size_t>(n) + 1);
	m_ja.reserve(nnz);
	if (transposed) {
		m_iaT.reserve(static_cast<std::size_t>(n) + 1);
		m_jaT.reserve(nnz);
	}
	m_diagonal.reserve(n);
	m_pivotReciprocals.reserve(n);
	m_n = n;
	m_elementCount = nnz;
	m_data.resize(nnz);
	m_ia.assign(ia, ia + n + 1);
	m_ja.assign(ja, ja + nnz);
	if (transposed) {
		m_iaT.assign(iaT, iaT + n + 1);
		m_jaT.assign(jaT, jaT + nnz);
		m_patternKind = PK_ASYMMETRIC;
	}
	else {
		m_iaT.clear();
		m_jaT.clear();
		m_patternKind = PK_SYMMETRIC;
	}
	m_diagonal.resize(n);
	zebmk_spmat_csr_diagonal(n, m_ia.data(), m_ja.data(), m_diagonal.data());
	m_pivotReciprocals.resize(n);
	adoptILUFactors();
}


void SparseMatrixCSR::generateTransposedIndex(const std::vector<unsigned int> & ia, const std::vector<unsigned int> & ja,
											  std::vector<unsigned int> & iaT, std::vector<unsigned int> & jaT)
{
	const char * const location = "[SparseMatrixCSR::generateTransposedIndex]";
	if (ia.empty()) {
		if (!ja.empty())
			throw ZEB::Exception("Invalid input in ia or ja.", location);
		iaT.clear();
		jaT.clear();
		return;
	}
	const unsigned int n = static_cast<unsigned int>(ia.size() - 1);
	const unsigned int nnz = static_cast<unsigned int>(ja.size());
	if (ia.size() - 1 > 0xFFFFFFFFu || ja.size() > 0xFFFFFFFFu || !validPattern(n, nnz, ia.data(), ja.data()))
		throw ZEB::Exception("Invalid input in ia or ja.", location);

	iaT.assign(static_cast<std::size_t>(n) + 1, 0);
	jaT.assign(nnz, 0);
	for (unsigned int k = 0; k < nnz; ++k)
		++iaT[ja[k] + 1];
	for (unsigned int j = 0; j < n; ++j)
		iaT[j + 1] += iaT[j];
	// rows are visited in ascending order, so every column's rows come out ascending
	std::vector<unsigned int> next(iaT.begin(), iaT.end() - 1);
	for (unsigned int i = 0; i < n; ++i) {
		for (unsigned int k = ia[i]; k < ia[i + 1]; ++k)
			jaT[next[ja[k]]++] = i;
	}
}


void SparseMatrixCSR::resizeFromEID(unsigned int n, unsigned int elementsPerRow, const unsigned int * indices) {
	const char * const location = "[SparseMatrixCSR::resizeFromEID]";
	if (n == 0)
		throw ZEB::Exception("Invalid input in n.", location);
	if (elementsPerRow == 0)
		throw ZEB::Exception("Invalid input in elementsPerRow.", location);
	if (indices == nullptr)
		throw ZEB::Exception("Invalid input in indices.", location);

	std::vector<unsigned int> ia(static_cast<std::size_t>(n) + 1, 0);
	std::vector<unsigned int> ja;
	ja.reserve(static_cast<std::size_t>(n) * elementsPerRow);
	for (unsigned int i = 0; i < n; ++i) {
		const unsigned int * row = indices + static_cast<std::size_t>(i) * elementsPerRow;
		for (unsigned int s = 0; s < elementsPerRow; ++s) {
			if (s > 0 && row[s] == row[s - 1])
				continue;
			ja.push_back(row[s]);
		}
		ia[i + 1] = static_cast<unsigned int>(ja.size());
	}
	if (ja.size() > 0xFFFFFFFFu || !validPattern(n, static_cast<unsigned int>(ja.size()), ia.data(), ja.data()))
		throw ZEB::Exception("Invalid input in indices.", location);

	// before any member changes: they may fail
	m_data.reserve(ja.size());
	m_diagonal.reserve(n);
	m_pivotReciprocals.reserve(n);
	m_n = n;
	m_elementCount = static_cast<unsigned int>(ja.size());
	m_data.resize(m_elementCount);
	m_ia.swap(ia);
	m_ja.swap(ja);
	// a transposed index of an earlier pattern would no longer fit
	m_iaT.clear();
	m_jaT.clear();
	m_patternKind = PK_SYMMETRIC;
	m_diagonal.resize(n);
	zebmk_spmat_csr_diagonal(n, m_ia.data(), m_ja.data(), m_diagonal.data());
	m_pivotReciprocals.resize(n);
	adoptILUFactors();
}


void SparseMatrixCSR::parseFromEID(unsigned int n, unsigned int elementsPerRow, const unsigned int * indices,
								   const double * values)
{
	const char * const location = "[SparseMatrixCSR::parseFromEID]";
	const char * const wrongSize = "Wrong matrix size! Call 'resizeFromEID' before parsing!";
	const std::size_t slots = static_cast<std::size_t>(n) * elementsPerRow;
	if (n != m_n || m_elementCount > slots)
		throw ZEB::Exception(wrongSize, location);
	if (elementsPerRow == 0)
		throw ZEB::Exception("Invalid input in elementsPerRow.", location);
	if (indices == nullptr)
		throw ZEB::Exception("Invalid input in indices.", location);
	if (values == nullptr)
		throw ZEB::Exception("Invalid input in data.", location);

	// counted first: more kept slots than stored elements must not write past the values
	std::size_t kept = 0;
	for (std::size_t s = 0; s < slots; ++s) {
		if (s % elementsPerRow == 0 || indices[s] != indices[s - 1])
			++kept;
	}
	if (kept != m_elementCount)
		throw ZEB::Exception(wrongSize, location);
	std::size_t pos = 0;
	for (std::size_t s = 0; s < slots; ++s) {
		if (s % elementsPerRow == 0 || indices[s] != indices[s - 1])
			m_data[pos++] = values[s];
	}
}


void SparseMatrixCSR::addIdentityMatrix() {
	for (unsigned int i = 0; i < m_n; ++i) {
		const unsigned int k = m_diagonal[i];
		if (k < m_ia[i + 1] && m_ja[k] == i)
			m_data[k] += 1.0;
	}
}


double & SparseMatrixCSR::operator()(unsigned int i, unsigned int j) {
	const unsigned int k = storageIndex(i, j);
	if (k == m_elementCount)
		throw ZEB::Exception(ZEB::FormatString("Index out of range. No element at (%1,%2) in sparsity pattern.")
							 .arg(i).arg(j), "[SparseMatrixCSR::operator()]");
	return m_data[k];
}


double SparseMatrixCSR::value(unsigned int i, unsigned int j) const {
	const unsigned int k = storageIndex(i, j);
	return k == m_elementCount ? 0.0 : m_data[k];
}


unsigned int SparseMatrixCSR::storageIndex(unsigned int i, unsigned int j) const {
	if (i >= m_n)
		return m_elementCount;
	for (unsigned int k = m_ia[i]; k < m_ia[i + 1]; ++k) {
		if (m_ja[k] == j)
			return k;
	}
	return m_elementCount;
}


void SparseMatrixCSR::multiply(const double * b, double * res) const {
	if (m_n == 0)
		return;
	zebmk_spmat_csr_multiply(m_n, m_data.data(), m_ia.data(), m_ja.data(), b, res);
}


void SparseMatrixCSR::ilu() {
	if (m_n == 0)
		return;
	if (m_patternKind == PK_ASYMMETRIC)
		zebmk_spmat_csr_ilu_asymm(m_n, m_ia.data(), m_ja.data(), m_iaT.data(), m_jaT.data(), m_data.data());
	else
		zebmk_spmat_csr_ilu_symm(m_n, m_ia.data(), m_ja.data(), m_data.data());
	adoptILUFactors();
}


void SparseMatrixCSR::backsolveILU(double * b) const {
	if (m_n == 0)
		return;
	zebmk_spmat_csr_backsolve_diag(m_n, m_ia.data(), m_ja.data(), m_diagonal.data(), m_data.data(),
								   m_pivotReciprocals.data(), b);
}


void SparseMatrixCSR::adoptILUFactors() {
	// the factorisation changes no diagonal element after it has taken its reciprocal: these are
	// the same numbers
	pivotReciprocals(m_n, m_ia.data(), m_ja.data(), m_diagonal.data(), m_data.data(), m_pivotReciprocals.data());
}


std::size_t SparseMatrixCSR::serializationSize() const {
	return 29 + 8 * m_data.size() + 4 * (m_ia.size() + m_ja.size() + m_iaT.size() + m_jaT.size());
}


void SparseMatrixCSR::serialize(void *& dataPtr) const {
	write_blob_value<std::uint8_t>(dataPtr, BLOB_TYPE);
	write_blob_value<std::uint32_t>(dataPtr, m_n);
	write_blob_value<std::uint32_t>(dataPtr, m_elementCount);
	ZEB::serialize_vector(dataPtr, m_data);
	ZEB::serialize_vector(dataPtr, m_ia);
	ZEB::serialize_vector(dataPtr, m_ja);
	ZEB::serialize_vector(dataPtr, m_iaT);
	ZEB::serialize_vector(dataPtr, m_jaT);
}


void SparseMatrixCSR::deserialize(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[SparseMatrixCSR::deserialize]";
	void * p = dataPtr;
	if (read_blob_value<std::uint8_t>(p, dataEnd, location) != BLOB_TYPE)
		throw ZEB::Exception("Invalid matrix type in binary data storage.", location);
	const std::uint32_t n = read_blob_value<std::uint32_t>(p, dataEnd, location);
	const std::uint32_t nnz = read_blob_value<std::uint32_t>(p, dataEnd, location);
	if (n != m_n || nnz != m_elementCount)
		throw ZEB::Exception("Invalid matrix dimensions in binary data storage (target matrix not properly resized?).", location);
	// read beside the matrix and checked before they replace its arrays
	std::vector<double> data(m_data.size());
	std::vector<unsigned int> ia(m_ia.size()), ja(m_ja.size()), iaT(m_iaT.size()), jaT(m_jaT.size());
	ZEB::deserialize_vector(p, data, dataEnd);
	ZEB::deserialize_vector(p, ia, dataEnd);
	ZEB::deserialize_vector(p, ja, dataEnd);
	ZEB::deserialize_vector(p, iaT, dataEnd);
	ZEB::deserialize_vector(p, jaT, dataEnd);
	if (!consistentArrays(n, nnz, data, ia, ja, iaT, jaT))
		throw ZEB::Exception("Inconsistent binary matrix data.", location);
	std::vector<unsigned int> diagonal(n);
	std::vector<double> reciprocals(n);
	deriveDiagonal(n, ia, ja, data, diagonal, reciprocals);
	m_data.swap(data);
	m_ia.swap(ia);
	m_ja.swap(ja);
	m_iaT.swap(iaT);
	m_jaT.swap(jaT);
	m_diagonal.swap(diagonal);
	m_pivotReciprocals.swap(reciprocals);
	dataPtr = p;
}


void SparseMatrixCSR::recreate(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[SparseMatrixCSR::recreate]";
	void * p = dataPtr;
	if (read_blob_value<std::uint8_t>(p, dataEnd, location) != BLOB_TYPE)
		throw ZEB::Exception("Invalid matrix type in binary data storage.", location);
	const std::uint32_t n = read_blob_value<std::uint32_t>(p, dataEnd, location);
	const std::uint32_t nnz = read_blob_value<std::uint32_t>(p, dataEnd, location);
	std::vector<double> data;
	std::vector<unsigned int> ia, ja, iaT, jaT;
	ZEB::recreate_vector(p, data, dataEnd);
	ZEB::recreate_vector(p, ia, dataEnd);
	ZEB::recreate_vector(p, ja, dataEnd);
	ZEB::recreate_vector(p, iaT, dataEnd);
	ZEB::recreate_vector(p, jaT, dataEnd);
	if (!consistentArrays(n, nnz, data, ia, ja, iaT, jaT))
		throw ZEB::Exception("Inconsistent binary matrix data.", location);
	std::vector<unsigned int> diagonal(n);
	std::vector<double> reciprocals(n);
	deriveDiagonal(n, ia, ja, data, diagonal, reciprocals);
	m_n = n;
	m_elementCount = nnz;
	m_data.swap(data);
	m_ia.swap(ia);
	m_ja.swap(ja);
	m_iaT.swap(iaT);
	m_jaT.swap(jaT);
	m_diagonal.swap(diagonal);
	m_pivotReciprocals.swap(reciprocals);
	// the blob does not carry the pattern kind: a restored transposed index means asymmetric
	m_patternKind = m_iaT.empty() ? PK_SYMMETRIC : PK_ASYMMETRIC;
	dataPtr = p;
}

} // namespace ZEBMK
