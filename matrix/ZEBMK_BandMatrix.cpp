#include "ZEBMK_BandMatrix.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "ZEB_Exception.h"
#include "ZEB_MatrixOutput.h"
#include "ZEBMK_BinaryBlob.h"

namespace ZEBMK {

namespace {

// The band as the text dump shows it: the stored fill-in room above mu is left out.
struct BandView {
	const BandMatrix & m_matrix;
	unsigned int n() const { return m_matrix.n(); }
	double value(unsigned int i, unsigned int j) const {
		if (static_cast<unsigned long>(i) + m_matrix.mu() < j || i > static_cast<unsigned long>(j) + m_matrix.ml())
			return 0;
		return m_matrix.value(i, j);
	}
};

// Byte count of values and pivots behind the 17 header bytes; false when it cannot be a blob in memory.
bool payloadBytes(std::uint32_t n, std::uint64_t ldim, std::size_t & bytes) {
	const std::uint64_t limit = std::numeric_limits<std::size_t>::max() / 16;
	if (ldim != 0 && n > limit / ldim)
		return false;
	bytes = static_cast<std::size_t>(8 * n * ldim + 4 * static_cast<std::uint64_t>(n));
	return true;
}

// Pivot rows of a blob at src, checked before they are taken: backsolve() swaps b[pivot].
bool validPivots(const char * src, std::uint32_t n) {
	for (std::uint32_t k = 0; k < n; ++k) {
		std::uint32_t pivot;
		std::memcpy(&pivot, src + 4 * static_cast<std::size_t>(k), 4);
		if (pivot >= n)
			return false;
	}
	return true;
}

} // namespace


BandMatrix::BandMatrix(const BandMatrix & other) :
	m_n(other.m_n), m_mu(other.m_mu), m_ml(other.m_ml), m_smu(other.m_smu), m_ldim(other.m_ldim),
	m_values(other.m_values), m_pivots(other.m_pivots)
{
	rebuildColumns();
}


BandMatrix & BandMatrix::operator=(const BandMatrix & other) {
	if (this != &other) {
		BandMatrix copy(other);
		swap(copy);
	}
	return *this;
}


BandMatrix & BandMatrix::operator=(BandMatrix && other) noexcept {
	BandMatrix moved;
	moved.swap(other);
	swap(moved);
	return *this;
}


void BandMatrix::swap(BandMatrix & other) noexcept {
	// swapping the vectors keeps every column pointer with the values it points into
	std::swap(m_n, other.m_n);
	std::swap(m_mu, other.m_mu);
	std::swap(m_ml, other.m_ml);
	std::swap(m_smu, other.m_smu);
	std::swap(m_ldim, other.m_ldim);
	m_columns.swap(other.m_columns);
	m_values.swap(other.m_values);
	m_pivots.swap(other.m_pivots);
}


void BandMatrix::resize(unsigned int n, unsigned int mu, unsigned int ml, unsigned int smu) {
	const std::uint64_t ldim = static_cast<std::uint64_t>(ml) + smu + 1;
	if (smu < mu || ldim > std::numeric_limits<std::uint32_t>::max() || n * ldim > m_values.max_size())
		throw ZEB::Exception(ZEB::FormatString("Invalid band dimensions (n = %1, mu = %2, ml = %3, smu = %4).")
							 .arg(n).arg(mu).arg(ml).arg(smu), "[BandMatrix::resize]");
	// all memory first, so that a failing allocation leaves the matrix as it was; the values last,
	// because moving them invalidates the column pointers until rebuildColumns()
	const std::size_t valueCount = static_cast<std::size_t>(n) * ldim;
	m_columns.reserve(n);
	m_pivots.reserve(n);
	m_values.reserve(valueCount);
	m_values.resize(valueCount);
	m_pivots.resize(n);
	m_n = n;
	m_mu = mu;
	m_ml = ml;
	m_smu = smu;
	m_ldim = static_cast<unsigned int>(ldim);
	// pivots of a larger factorisation would point outside the matrix (and spoil its blob)
	for (auto & p : m_pivots)
		if (static_cast<unsigned long>(p) >= n)
			p = 0;
	rebuildColumns();
}


void BandMatrix::rebuildColumns() {
	m_columns.resize(m_n);	// within the reserved capacity after resize()
	for (unsigned int j = 0; j < m_n; ++j)
		m_columns[j] = m_values.data() + static_cast<std::size_t>(j) * m_ldim;
}


double BandMatrix::value(unsigned int i, unsigned int j) const {
	if (i >= m_n || j >= m_n || static_cast<unsigned long>(i) + m_smu < j || i > static_cast<unsigned long>(j) + m_ml)
		return 0;
	return m_columns[j][m_smu + i - j];
}


int BandMatrix::lu() {
	const char * const location = "[BandMatrix::lu]";
	if (m_n == 0)
		throw ZEB::Exception("Matrix is empty.", location);
	if (m_pivots.size() != m_n)
		throw ZEB::Exception(ZEB::FormatString("Mismatching sizes of matrix (n = %1) and pivots vector (size = %2).")
							 .arg(m_n).arg(static_cast<unsigned long>(m_pivots.size())), location);
	const long n = m_n;
	const long ml = m_ml;
	const long smu = m_smu;
	// a row moved up by pivoting brings up to ml more entries above the diagonal
	const long fillIn = std::min(static_cast<long>(m_mu) + ml, n - 1);
	if (ml > 0 && smu < fillIn)
		throw ZEB::Exception(ZEB::FormatString("Stored upper bandwidth smu = %1 leaves no room for the fill-in "
											   "of pivoting (at least %2 needed).").arg(m_smu)
							 .arg(static_cast<unsigned long>(fillIn)), location);

	const unsigned int room = m_smu - m_mu;
	if (room > 0) {
		for (long j = 0; j < n; ++j)
			std::fill(m_columns[j], m_columns[j] + room, 0.0);
	}

	// diag[j][i - j] is element (i, j)
	for (long k = 0; k < n - 1; ++k) {
		double * colK = m_columns[k] + smu;
		const long r = std::min(k + ml, n - 1);
		long l = k;
		double largest = colK[0] < 0 ? -colK[0] : colK[0];
		for (long i = k + 1; i <= r; ++i) {
			const double m = colK[i - k] < 0 ? -colK[i - k] : colK[i - k];
			if (m > largest) {
				largest = m;
				l = i;
			}
		}
		m_pivots[k] = static_cast<unsigned int>(l);
		if (colK[l - k] == 0)
			return static_cast<int>(k + 1);
		if (l != k)
			std::swap(colK[l - k], colK[0]);
		const double factor = -1.0 / colK[0];
		for (long i = k + 1; i <= r; ++i) {
			if (colK[i - k] != 0)
				colK[i - k] *= factor;
		}
		const long lastColumn = std::min(k + smu, n - 1);
		for (long j = k + 1; j <= lastColumn; ++j) {
			double * __restrict colJ = m_columns[j] + smu;
			if (l != k)
				std::swap(colJ[l - j], colJ[k - j]);
			const double akj = colJ[k - j];
			if (akj == 0)
				continue;
			for (long i = k + 1; i <= r; ++i)
				colJ[i - j] += akj * colK[i - k];
		}
	}
	m_pivots[n - 1] = static_cast<unsigned int>(n - 1);
	if (m_columns[n - 1][smu] == 0)
		return static_cast<int>(n);
	return 0;
}


void BandMatrix::backsolve(double * b) const {
	const long n = m_n;
	const long ml = m_ml;
	const long smu = m_smu;
	for (long k = 0; k < n - 1; ++k) {
		const long l = m_pivots[k];
		if (l != k)
			std::swap(b[l], b[k]);
		const double * __restrict colK = m_columns[k] + smu;
		const double bk = b[k];
		const long r = std::min(k + ml, n - 1);
		for (long i = k + 1; i <= r; ++i)
			b[i] += colK[i - k] * bk;
	}
	for (long k = n - 1; k >= 0; --k) {
		const double * __restrict colK = m_columns[k] + smu;
		b[k] /= colK[0];
		const double bk = b[k];
		for (long i = std::max(0L, k - smu); i < k; ++i)
			b[i] -= colK[i - k] * bk;
	}
}


void BandMatrix::multiply(const double * b, double * res) const {
	const long n = m_n;
	const long mu = m_mu;
	const long ml = m_ml;
	std::fill(res, res + n, 0.0);
	for (long j = 0; j < n; ++j) {
		const double * __restrict colJ = m_columns[j] + m_smu;
		const double bj = b[j];
		const long last = std::min(j + ml, n - 1);
		for (long i = std::max(0L, j - mu); i <= last; ++i)
			res[i] += colJ[i - j] * bj;
	}
}


void BandMatrix::write(std::ostream & out, const double * b, bool eulerFormat, unsigned int width,
					   const char * matrixLabel, const char * vectorLabel) const
{
	ZEB::write_matrix(out, BandView{*this}, b, eulerFormat, width, matrixLabel, vectorLabel);
}


std::size_t BandMatrix::serializationSize() const {
	return 17 + 8 * m_values.size() + 4 * m_pivots.size();
}


void BandMatrix::serialize(void *& dataPtr) const {
	write_blob_value<std::uint8_t>(dataPtr, BLOB_TYPE);
	write_blob_value<std::uint32_t>(dataPtr, m_n);
	write_blob_value<std::uint32_t>(dataPtr, m_mu);
	write_blob_value<std::uint32_t>(dataPtr, m_ml);
	write_blob_value<std::uint32_t>(dataPtr, m_smu);
	char * p = static_cast<char *>(dataPtr);
	if (!m_values.empty())
		std::memcpy(p, m_values.data(), 8 * m_values.size());
	p += 8 * m_values.size();
	if (!m_pivots.empty())
		std::memcpy(p, m_pivots.data(), 4 * m_pivots.size());
	p += 4 * m_pivots.size();
	dataPtr = p;
}


void BandMatrix::deserialize(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[BandMatrix::deserialize]";
	void * p = dataPtr;
	if (read_blob_value<std::uint8_t>(p, dataEnd, location) != BLOB_TYPE)
		throw ZEB::Exception("Invalid matrix type in binary data storage.", location);
	const std::uint32_t n = read_blob_value<std::uint32_t>(p, dataEnd, location);
	const std::uint32_t mu = read_blob_value<std::uint32_t>(p, dataEnd, location);
	const std::uint32_t ml = read_blob_value<std::uint32_t>(p, dataEnd, location);
	const std::uint32_t smu = read_blob_value<std::uint32_t>(p, dataEnd, location);
	if (n != m_n || mu != m_mu || ml != m_ml || smu != m_smu)
		throw ZEB::Exception("Invalid matrix dimensions in binary data storage (target matrix not properly resized?).", location);
	const std::size_t valueBytes = 8 * m_values.size();
	check_blob_room(p, valueBytes + 4 * static_cast<std::size_t>(n), dataEnd, location);
	const char * src = static_cast<const char *>(p);
	if (!validPivots(src + valueBytes, n))
		throw ZEB::Exception("Inconsistent binary matrix data.", location);
	if (valueBytes != 0)
		std::memcpy(m_values.data(), src, valueBytes);
	if (n != 0)
		std::memcpy(m_pivots.data(), src + valueBytes, 4 * static_cast<std::size_t>(n));
	dataPtr = const_cast<char *>(src + valueBytes + 4 * static_cast<std::size_t>(n));
}


void BandMatrix::recreate(void *& dataPtr, const void * dataEnd) {
	const char * const location = "[BandMatrix::recreate]";
	void * p = dataPtr;
	if (read_blob_value<std::uint8_t>(p, dataEnd, location) != BLOB_TYPE)
		throw ZEB::Exception("Invalid matrix type in binary data storage.", location);
	const std::uint32_t n = read_blob_value<std::uint32_t>(p, dataEnd, location);
	const std::uint32_t mu = read_blob_value<std::uint32_t>(p, dataEnd, location);
	const std::uint32_t ml = read_blob_value<std::uint32_t>(p, dataEnd, location);
	const std::uint32_t smu = read_blob_value<std::uint32_t>(p, dataEnd, location);
	const std::uint64_t ldim = static_cast<std::uint64_t>(ml) + smu + 1;
	std::size_t bytes = 0;
	if (smu < mu || ldim > std::numeric_limits<std::uint32_t>::max() || !payloadBytes(n, ldim, bytes))
		throw ZEB::Exception("Inconsistent binary matrix data.", location);
	check_blob_room(p, bytes, dataEnd, location);
	const std::size_t valueBytes = 8 * static_cast<std::size_t>(n) * ldim;
	const char * src = static_cast<const char *>(p);
	if (!validPivots(src + valueBytes, n))
		throw ZEB::Exception("Inconsistent binary matrix data.", location);
	BandMatrix restored(n, mu, ml, smu);
	if (valueBytes != 0)
		std::memcpy(restored.m_values.data(), src, valueBytes);
	if (n != 0)
		std::memcpy(restored.m_pivots.data(), src + valueBytes, 4 * static_cast<std::size_t>(n));
	swap(restored);
	dataPtr = const_cast<char *>(src + bytes);
}

} // namespace ZEBMK
