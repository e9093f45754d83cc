#ifndef ZEBMK_SparseMatrixCSRH
#define ZEBMK_SparseMatrixCSRH

#include <cstddef>
#include <vector>

#include "ZEBMK_SparseMatrix.h"

namespace ZEBMK {

/*! Sparse matrix in compressed-sparse-row storage, with an optional transposed (column-wise)
	index, incomplete LU without fill-in and a binary blob for FMU states.

	Row i occupies storage positions ia[i] to ia[i+1]-1, ja holds their columns, ascending within
	each row. ilu() and backsolveILU() need the diagonal in every row (a row without one makes the
	solution NaN). Without a transposed index the pattern must be structurally symmetric ((i, j)
	stored exactly when (j, i) is). Beside the pattern the matrix keeps the storage position of
	every row's diagonal, and beside the factors of ilu() the reciprocals of their diagonal, for
	backsolveILU(). The matrix owns all its arrays, copies are deep; multiply(), ilu() and
	backsolveILU() allocate nothing.
*/
class SparseMatrixCSR : public SparseMatrix {
public:
	/*! Type tag of the binary blob. */
	static constexpr unsigned char BLOB_TYPE = 5;

	/*! How ilu() finds the rows below a diagonal that hold its column. */
	enum PatternKind {
		PK_SYMMETRIC	= 0,	///< No transposed index: the pattern is taken as structurally symmetric.
		PK_ASYMMETRIC	= 1		///< From the transposed index.
	};

	/*! Empty matrix, n = 0. */
	SparseMatrixCSR() = default;
	/*! See resize(). */
	SparseMatrixCSR(unsigned int n, unsigned int nnz, const unsigned int * ia, const unsigned int * ja,
					const unsigned int * iaT = nullptr, const unsigned int * jaT = nullptr)
	{
		resize(n, nnz, ia, ja, iaT, jaT);
	}

	/*! Takes the pattern: n+1 row offsets from ia and nnz column indices from ja, copied; values are
		resized to nnz (leading values kept, new ones 0). With both iaT and jaT given (n+1 and nnz
		entries) also the transposed index, and the pattern kind becomes asymmetric; otherwise the
		transposed index is emptied. Throws for n = 0, nnz = 0 or an inconsistent pattern (offsets
		not ascending from 0 to nnz, indices not ascending within a row or not below n), and the
		allocator's exception when the storage cannot be had; either way the matrix is unchanged. */
	void resize(unsigned int n, unsigned int nnz, const unsigned int * ia, const unsigned int * ja,
				const unsigned int * iaT = nullptr, const unsigned int * jaT = nullptr);

	/*! The transposed index of the CSR pattern (ia, ja): iaT gets n+1 column offsets and jaT the
		rows of each column, ascending, so that it can be passed to resize(). Throws when ja holds a
		column not below n or ia does not end at the size of ja. */
	static void generateTransposedIndex(const std::vector<unsigned int> & ia, const std::vector<unsigned int> & ja,
										std::vector<unsigned int> & iaT, std::vector<unsigned int> & jaT);

	/*! Takes the pattern from EID storage: n rows of elementsPerRow slots, indices row by row; a
		slot repeating the index of the slot before it in the same row is padding and skipped.
		Values are resized to the kept slots (new ones 0), the transposed index is emptied and the
		pattern kind is symmetric. Throws for n = 0, elementsPerRow = 0, null indices or indices
		not ascending or not below n (and the allocator's exception); then the matrix is unchanged. */
	void resizeFromEID(unsigned int n, unsigned int elementsPerRow, const unsigned int * indices);
	/*! Copies the values of all non-padding slots of EID storage, row by row, into the matrix that
		resizeFromEID() has built from the same indices. Throws when n, the number of non-padding
		slots or the inputs do not fit; then no value is changed. */
	void parseFromEID(unsigned int n, unsigned int elementsPerRow, const unsigned int * indices, const double * values);

	unsigned int elementCount() const { return m_elementCount; }
	const std::vector<unsigned int> & ia() const { return m_ia; }
	const std::vector<unsigned int> & ja() const { return m_ja; }
	/*! Empty without transposed index. */
	const std::vector<unsigned int> & iaT() const { return m_iaT; }
	const std::vector<unsigned int> & jaT() const { return m_jaT; }
	PatternKind patternKind() const { return static_cast<PatternKind>(m_patternKind); }

	void addIdentityMatrix() override;
	double & operator()(unsigned int i, unsigned int j) override;
	double value(unsigned int i, unsigned int j) const override;
	/*! Linear search of row i; elementCount() when (i, j) is not stored. */
	unsigned int storageIndex(unsigned int i, unsigned int j) const override;
	void multiply(const double * b, double * res) const override;
	/*! By the transposed index with an asymmetric pattern kind, else over the symmetric pattern. */
	void ilu() override;
	/*! With the factors of the last ilu(), adoptILUFactors(), deserialize() or recreate(). */
	void backsolveILU(double * b) const override;
	void adoptILUFactors() override;

	/*! 29 + 8 * values + 4 * (entries of ia, ja, iaT and jaT). */
	std::size_t serializationSize() const override;
	/*! Type tag, n, elementCount, then values, ia, ja, iaT and jaT, each as a u32 count and the
		elements. The pattern kind is not stored. */
	void serialize(void *& dataPtr) const override;
	/*! Needs the same n, elementCount and array sizes; restores values and index arrays, and takes
		the values as factors for backsolveILU(). On failure the matrix is unchanged. */
	void deserialize(void *& dataPtr, const void * dataEnd = nullptr) override;
	/*! Rebuilds any shape; the pattern kind follows from whether the restored transposed index is
		empty, and the values are taken as factors for backsolveILU(). On failure the matrix is
		unchanged. */
	void recreate(void *& dataPtr, const void * dataEnd = nullptr) override;

private:
	/*! Number of stored elements (nnz). */
	unsigned int				m_elementCount = 0;
	/*! n+1 row offsets; ia[0] = 0, ia[n] = nnz. */
	std::vector<unsigned int>	m_ia;
	/*! Column index of each storage position. */
	std::vector<unsigned int>	m_ja;
	/*! n+1 column offsets of the transposed index, or empty. */
	std::vector<unsigned int>	m_iaT;
	/*! Row indices of each column, ascending, or empty. */
	std::vector<unsigned int>	m_jaT;
	/*! PatternKind: 1 with transposed index, 0 without. */
	unsigned int				m_patternKind = PK_SYMMETRIC;
	/*! Storage position of each row's diagonal element, n entries (see zebmk_spmat_csr_diagonal()). */
	std::vector<unsigned int>	m_diagonal;
	/*! Reciprocals of the factors' diagonal elements, n entries: derived from the values, not stored
		in the blob. */
	std::vector<double>			m_pivotReciprocals;
};

} // namespace ZEBMK

#endif // ZEBMK_SparseMatrixCSRH
