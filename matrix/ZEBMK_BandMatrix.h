#ifndef ZEBMK_BandMatrixH
#define ZEBMK_BandMatrixH

#include <cstddef>
#include <iosfwd>
#include <vector>

namespace ZEBMK {

/*! Square band matrix of doubles with LU factorisation by row pivoting inside the band, in-place
	solution, product, text dump and binary blob.

	Storage is column-oriented, as the band matrices of the integrator library: each column holds
	ldim = smu + ml + 1 entries, element (i, j) with j - smu <= i <= j + ml at entry smu + i - j of
	column j, so the diagonal is entry smu. Entries 0 to smu - mu - 1 of a column are room for the
	fill-in of pivoting. The matrix owns its values, column pointers and pivots; the column
	pointers point into its own values and are rebuilt by every copy. lu(), backsolve() and
	multiply() allocate nothing.
*/
class BandMatrix {
public:
	/*! Type tag of the binary blob. */
	static constexpr unsigned char BLOB_TYPE = 2;

	/*! Empty matrix, all sizes 0. */
	BandMatrix() = default;
	BandMatrix(unsigned int n, unsigned int mu, unsigned int ml, unsigned int smu) { resize(n, mu, ml, smu); }
	BandMatrix(const BandMatrix & other);
	BandMatrix(BandMatrix && other) noexcept { swap(other); }
	BandMatrix & operator=(const BandMatrix & other);
	BandMatrix & operator=(BandMatrix && other) noexcept;

	/*! Sets n, the upper bandwidth mu, the lower bandwidth ml and the stored upper bandwidth smu
		(smu >= mu; smu = min(n - 1, mu + ml) leaves room for all fill-in), resizes values to
		n*ldim (leading existing values kept, new ones 0) and pivots to n. Throws for smu < mu or
		more values than an array can hold, and the allocator's exception when the storage cannot
		be had; either way the matrix is unchanged. */
	void resize(unsigned int n, unsigned int mu, unsigned int ml, unsigned int smu);
	void swap(BandMatrix & other) noexcept;

	unsigned int n() const { return m_n; }
	unsigned int mu() const { return m_mu; }
	unsigned int ml() const { return m_ml; }
	unsigned int smu() const { return m_smu; }
	/*! Stored entries per column, smu + ml + 1. */
	unsigned int ldim() const { return m_ldim; }

	/*! Element (i, j) for j - smu <= i <= j + ml, unchecked. */
	double & operator()(unsigned int i, unsigned int j) { return m_columns[j][m_smu + i - j]; }
	/*! Element (i, j) of the stored layout, fill-in room included; 0 outside it or the matrix. */
	double value(unsigned int i, unsigned int j) const;
	/*! Start of column j's storage: entry 0 is row j - smu. */
	double * column(unsigned int j) { return m_columns[j]; }
	const double * column(unsigned int j) const { return m_columns[j]; }
	/*! The n column pointers. */
	double * const * columns() { return m_columns.data(); }
	/*! All n*ldim values, column by column. */
	double * data() { return m_values.data(); }
	const double * data() const { return m_values.data(); }
	std::size_t dataSize() const { return m_values.size(); }
	/*! Row interchanges of the last lu(). */
	const std::vector<unsigned int> & pivots() const { return m_pivots; }

	/*! Factorises in place: zeroes the fill-in room, then eliminates column by column with the
		largest magnitude in the band as pivot, storing the negated multipliers. Returns 0, or the
		1-based number of the first column whose pivot is exactly 0. Throws for an empty matrix and
		when a lower bandwidth > 0 meets too little fill-in room (smu < min(mu + ml, n - 1)). */
	int lu();
	/*! Solves A*x = b in place in b (n values) with the factors of the last successful lu(). */
	void backsolve(double * b) const;
	/*! res = A*b over the band j - mu <= i <= j + ml; b and res hold n values and do not overlap. */
	void multiply(const double * b, double * res) const;

	/*! Text dump by ZEB::write_matrix(), elements outside the band j - mu <= i <= j + ml as 0. */
	void write(std::ostream & out, const double * b = nullptr, bool eulerFormat = false, unsigned int width = 0,
			   const char * matrixLabel = "A", const char * vectorLabel = "b") const;

	/*! Blob size in bytes: 17 + 8*n*ldim + 4*n. */
	std::size_t serializationSize() const;
	/*! Writes the blob (type tag, n, mu, ml, smu, values, pivots; no counts) at dataPtr, which the
		caller has sized, and advances it. */
	void serialize(void *& dataPtr) const;
	/*! Reads a blob of a matrix of the same n, mu, ml and smu and advances dataPtr. dataEnd, when
		not null, is the end of the buffer; nothing is read beyond it. On failure the matrix is
		unchanged. */
	void deserialize(void *& dataPtr, const void * dataEnd = nullptr);
	/*! Rebuilds the matrix from a blob of any shape and advances dataPtr; on failure the matrix is
		unchanged. */
	void recreate(void *& dataPtr, const void * dataEnd = nullptr);

private:
	/*! Points every column pointer into m_values. */
	void rebuildColumns();

	unsigned int			m_n = 0;
	/*! Upper bandwidth: elements (i, j) with j - mu <= i. */
	unsigned int			m_mu = 0;
	/*! Lower bandwidth: elements (i, j) with i <= j + ml. */
	unsigned int			m_ml = 0;
	/*! Stored upper bandwidth, mu plus the room for fill-in. */
	unsigned int			m_smu = 0;
	/*! Stored entries per column, smu + ml + 1. */
	unsigned int			m_ldim = 0;
	/*! Column j starts at m_values.data() + j*ldim; not owning. */
	std::vector<double *>	m_columns;
	/*! n*ldim values, column by column. */
	std::vector<double>		m_values;
	/*! Row interchanges of the last lu(), n entries. */
	std::vector<unsigned int>	m_pivots;
};

} // namespace ZEBMK

#endif // ZEBMK_BandMatrixH
