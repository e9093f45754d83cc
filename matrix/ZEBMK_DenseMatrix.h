#ifndef ZEBMK_DenseMatrixH
#define ZEBMK_DenseMatrixH

#include <cstddef>
#include <iosfwd>
#include <vector>

namespace ZEBMK {

/*! Square matrix of doubles in column-major storage (element (i, j) at j*n + i), with LU
	factorisation by partial pivoting, in-place solution, product, text dump and binary blob.

	A plain value class: it owns its values and pivots, copies are deep. Sizes are set by
	resize(); lu(), backsolve() and multiply() allocate nothing. The dense Jacobian generator and
	the dense direct solver keep their matrices in it.
*/
class DenseMatrix {
public:
	/*! Type tag of the binary blob. */
	static constexpr unsigned char BLOB_TYPE = 1;

	/*! Empty matrix, n = 0. */
	DenseMatrix() = default;
	/*! n x n zeros. */
	explicit DenseMatrix(unsigned int n) { resize(n); }

	/*! Sets n and resizes values to n*n and pivots to n; leading existing entries are kept (in
		storage order), new ones are 0. When the storage cannot be had, the allocator's exception
		leaves the matrix unchanged. */
	void resize(unsigned int n);
	void swap(DenseMatrix & other);

	unsigned int n() const { return m_n; }
	/*! Element (i, j), unchecked. */
	double & operator()(unsigned int i, unsigned int j) { return m_values[static_cast<std::size_t>(j) * m_n + i]; }
	double value(unsigned int i, unsigned int j) const { return m_values[static_cast<std::size_t>(j) * m_n + i]; }
	/*! The n*n values, column by column. */
	double * data() { return m_values.data(); }
	const double * data() const { return m_values.data(); }
	/*! Row interchanges of the last lu(): pivots()[k] is the row swapped with row k at step k. */
	const std::vector<long> & pivots() const { return m_pivots; }

	/*! Factorises in place (U on and above the diagonal, multipliers below). Returns 0, or k+1 for
		the first column k whose pivot is exactly 0 (the factorisation stops there). */
	int lu();
	/*! Solves A*x = b in place in b (n values) with the factors of the last successful lu(). */
	void backsolve(double * b) const;
	/*! res = A*b; b and res hold n values and do not overlap. */
	void multiply(const double * b, double * res) const;

	/*! Text dump by ZEB::write_matrix(); b (n values) may be null. */
	void write(std::ostream & out, const double * b = nullptr, bool eulerFormat = false, unsigned int width = 0,
			   const char * matrixLabel = "A", const char * vectorLabel = "b") const;

	/*! Blob size in bytes: 13 + 8 * (n*n + n). */
	std::size_t serializationSize() const;
	/*! Writes the blob (type tag, n, values, pivots) at dataPtr, which the caller has sized, and
		advances it. */
	void serialize(void *& dataPtr) const;
	/*! Reads a blob of a matrix of the same n and advances dataPtr. dataEnd, when not null, is the
		end of the buffer; nothing is read beyond it. On failure the shape is unchanged, the values
		may be partly overwritten. */
	void deserialize(void *& dataPtr, const void * dataEnd = nullptr);
	/*! Rebuilds the matrix from a blob of any size and advances dataPtr; on failure the matrix is
		unchanged. */
	void recreate(void *& dataPtr, const void * dataEnd = nullptr);

private:
	/*! n*n values, column by column. */
	std::vector<double>	m_values;
	unsigned int		m_n = 0;
	/*! Row interchanges of the last lu(), n entries (64-bit). */
	std::vector<long>	m_pivots;
};

} // namespace ZEBMK

#endif // ZEBMK_DenseMatrixH
