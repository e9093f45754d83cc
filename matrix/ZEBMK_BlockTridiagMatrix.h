#ifndef ZEBMK_BlockTridiagMatrixH
#define ZEBMK_BlockTridiagMatrixH

#include <cstddef>
#include <iosfwd>
#include <vector>

namespace ZEBMK {

/*! Matrix of n x n blocks of m x m values that is block-tridiagonal with two corner blocks, with
	block LU factorisation (pivoting inside the diagonal blocks), in-place solution, product, text
	dump and binary blob.

	Storage: 3n blocks, each column-major (element (r, c) at c*m + r), in one value array: the lower
	blocks A_0 .. A_{n-1} (A_k couples block row k with block column k-1), the diagonal blocks
	B_0 .. B_{n-1}, the upper blocks C_0 .. C_{n-1} (C_k couples block row k with block column k+1).
	A_0 is the corner block at block column 2 of block row 0, C_{n-1} the one at block column n-3
	of block row n-1; every operation treats them as part of the matrix. The matrix owns its values,
	block pointers and pivots; the block pointers point into its own values and are rebuilt by every
	copy. lu(), backsolve() and multiply() allocate nothing; factorising needs n >= 4.
*/
class BlockTridiagMatrix {
public:
	/*! Type tag of the binary blob. */
	static constexpr unsigned char BLOB_TYPE = 6;

	/*! Empty matrix, n = m = 0. */
	BlockTridiagMatrix() = default;
	BlockTridiagMatrix(unsigned int nBlocks, unsigned int m) { resize(nBlocks, m); }
	BlockTridiagMatrix(const BlockTridiagMatrix & other);
	BlockTridiagMatrix(BlockTridiagMatrix && other) noexcept { swap(other); }
	BlockTridiagMatrix & operator=(const BlockTridiagMatrix & other);
	BlockTridiagMatrix & operator=(BlockTridiagMatrix && other) noexcept;

	/*! Sets n = nBlocks and the block size m, sizes the values to 3*n*m*m (leading existing values
		kept in storage order, new ones 0) and the pivots to n*m, and rebuilds the block pointers.
		Throws, leaving the matrix unchanged, when n*m or m*m exceeds the int range of the kernels. */
	void resize(unsigned int nBlocks, unsigned int m);
	void swap(BlockTridiagMatrix & other) noexcept;
	/*! Sets all values to 0. */
	void setZero();

	/*! Number of block rows. */
	unsigned int n() const { return m_n; }
	/*! Block size; the matrix has n*m rows. */
	unsigned int m() const { return m_m; }

	/*! Element (i, j) of the n*m x n*m matrix, corner blocks included; 0 outside the structure. */
	double value(unsigned int i, unsigned int j) const;
	/*! The stored element (i, j); throws for a position outside the three block diagonals and the
		corner blocks. */
	double & operator()(unsigned int i, unsigned int j);

	/*! Block k (k < n, unchecked) of the lower, diagonal and upper blocks. */
	double * lowerBlock(unsigned int k) { return m_blocks[k]; }
	const double * lowerBlock(unsigned int k) const { return m_blocks[k]; }
	double * diagonalBlock(unsigned int k) { return m_blocks[m_n + k]; }
	const double * diagonalBlock(unsigned int k) const { return m_blocks[m_n + k]; }
	double * upperBlock(unsigned int k) { return m_blocks[2 * static_cast<std::size_t>(m_n) + k]; }
	const double * upperBlock(unsigned int k) const { return m_blocks[2 * static_cast<std::size_t>(m_n) + k]; }
	/*! The 3n block pointers, lower blocks first, as the zebmk_btridiag_ kernels take them. */
	double * const * blocks() { return m_blocks.data(); }
	const double * const * blocks() const { return m_blocks.data(); }
	/*! All 3*n*m*m values in storage order. */
	double * data() { return m_values.data(); }
	const double * data() const { return m_values.data(); }
	std::size_t dataSize() const { return m_values.size(); }
	/*! Row interchanges of the last lu(), m per diagonal block (block k's at k*m). */
	const std::vector<long> & pivots() const { return m_pivots; }

	/*! Factorises in place with pivoting inside the diagonal blocks (without, when there are no
		pivots, i.e. n*m = 0). Returns 0, the 1-based block row whose diagonal block is singular, or
		-1 for n < 4, then changing nothing. */
	int lu();
	/*! Solves in place in b (n*m values) with the factors of the last successful lu(). Throws for
		n < 4. */
	void backsolve(double * b) const;
	/*! lu(), then backsolve(b); throws when lu() does not return 0. */
	void solveEquationSystem(double * b);
	/*! y = M*x, corner blocks included; x and y hold n*m values and do not overlap. */
	void multiply(const double * x, double * y) const;

	/*! Text dump of the n*m rows, numbers right-aligned in fields of width - 1 (10 for width 0).
		Plain form: "[ " then each element followed by a blank ('.' outside the structure), "]",
		then "  [ " b[i] " ]" when b is given, one row per line and an empty line at the end. Euler
		form: ">format(...);", then ">matrixLabel:=[ " with one row per line, elements separated by
		',' (0 outside the structure), rows by ';', closed by "];" and an empty line, then
		">vectorLabel:= [" with the values separated by "; " and "];" when b is given. */
	void write(std::ostream & out, const double * b = nullptr, bool eulerFormat = false, unsigned int width = 0,
			   const char * matrixLabel = "A", const char * vectorLabel = "b") const;

	/*! Blob size in bytes: 9 + 8*3*n*m*m. */
	std::size_t serializationSize() const;
	/*! Writes the blob (type tag, n, m, values; no counts, no pivots) at dataPtr, which the caller
		has sized, and advances it. */
	void serialize(void *& dataPtr) const;
	/*! Reads the values of a blob of a matrix of the same n and m and advances dataPtr. dataEnd,
		when not null, is the end of the buffer; nothing is read beyond it. On failure the matrix is
		unchanged. Pivots are kept: a factorised matrix needs lu() again. */
	void deserialize(void *& dataPtr, const void * dataEnd = nullptr);
	/*! Rebuilds the matrix from a blob of any shape (pivots 0) and advances dataPtr; on failure the
		matrix is unchanged. Blocks of size 0 are refused unless there are no blocks either. */
	void recreate(void *& dataPtr, const void * dataEnd = nullptr);

private:
	/*! Points every block pointer into m_values. */
	void rebuildBlocks();
	/*! Index into m_blocks of the block at block row I, block column J (both < n), or -1 outside
		the structure. */
	long blockIndex(unsigned int I, unsigned int J) const;

	/*! Number of block rows. */
	unsigned int			m_n = 0;
	/*! Block size. */
	unsigned int			m_m = 0;
	/*! Values per block, m*m. */
	unsigned int			m_m2 = 0;
	/*! 3*n*m*m values: all lower, then all diagonal, then all upper blocks. */
	std::vector<double>		m_values;
	/*! Block k of the three arrays at m_values.data() + k*m*m, lower blocks first; not owning. */
	std::vector<double *>	m_blocks;
	/*! Row interchanges inside the diagonal blocks, n*m entries (64-bit). */
	std::vector<long>		m_pivots;
};

} // namespace ZEBMK

#endif // ZEBMK_BlockTridiagMatrixH
