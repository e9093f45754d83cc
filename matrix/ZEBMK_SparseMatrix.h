#ifndef ZEBMK_SparseMatrixH
#define ZEBMK_SparseMatrixH

#include <cstddef>
#include <vector>

namespace ZEBMK {

/*! Abstract square sparse matrix: n and the stored values in storage order; the storage scheme,
	incomplete LU, product and binary blob belong to the implementation (SparseMatrixCSR).

	The matrix owns its values. Preconditioners and Jacobian generators hold it through this
	interface; whoever creates one through new owns and deletes it.
*/
class SparseMatrix {
public:
	virtual ~SparseMatrix();

	/*! Number of rows and columns. */
	virtual unsigned int n() const { return m_n; }
	/*! The stored values in storage order. */
	virtual double * data() { return m_data.data(); }
	virtual const double * data() const { return m_data.data(); }
	/*! Number of stored values. */
	virtual std::size_t dataSize() const { return m_data.size(); }

	/*! Adds 1 to every stored diagonal element; rows without one are left as they are. */
	virtual void addIdentityMatrix() = 0;
	/*! The stored value at (i, j); throws when (i, j) is not in the pattern. */
	virtual double & operator()(unsigned int i, unsigned int j) = 0;
	/*! The value at (i, j); 0 when not stored. */
	virtual double value(unsigned int i, unsigned int j) const = 0;
	/*! Storage position of (i, j); the number of stored values when not stored. */
	virtual unsigned int storageIndex(unsigned int i, unsigned int j) const = 0;
	/*! res = A*b (n values each, not overlapping). */
	virtual void multiply(const double * b, double * res) const = 0;
	/*! Incomplete LU without fill-in, in place. */
	virtual void ilu() = 0;
	/*! Solves L*U*x = b in place with the factors of ilu(). */
	virtual void backsolveILU(double * b) const = 0;
	/*! Takes the stored values as the factors of ilu(), after they were written through data() (as
		by the restore of a saved state): recomputes what backsolveILU() keeps beside them. */
	virtual void adoptILUFactors() = 0;
	/*! Size of the binary blob in bytes. */
	virtual std::size_t serializationSize() const = 0;
	/*! Writes the blob at dataPtr, which the caller has sized, and advances it. */
	virtual void serialize(void *& dataPtr) const = 0;
	/*! Reads a blob of a matrix of the same shape and advances dataPtr; dataEnd, when not null,
		is the end of the buffer and nothing is read beyond it. */
	virtual void deserialize(void *& dataPtr, const void * dataEnd = nullptr) = 0;
	/*! Rebuilds the matrix from a blob of any shape and advances dataPtr. */
	virtual void recreate(void *& dataPtr, const void * dataEnd = nullptr) = 0;

protected:
	SparseMatrix() = default;
	SparseMatrix(const SparseMatrix &) = default;
	SparseMatrix & operator=(const SparseMatrix &) = default;

	unsigned int		m_n = 0;
	/*! The stored values in storage order. */
	std::vector<double>	m_data;
};

} // namespace ZEBMK

#endif // ZEBMK_SparseMatrixH
