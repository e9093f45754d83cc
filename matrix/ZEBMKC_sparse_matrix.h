#ifndef ZEBMKC_sparse_matrixH
#define ZEBMKC_sparse_matrixH

namespace ZEBMK {

// Plain kernels over square sparse matrices in compressed-sparse-row storage: row i holds the
// storage positions ia[i] to ia[i+1]-1, ja gives the column of each position, data its value.
// Within a row the columns ascend. The caller owns every array; the kernels allocate nothing and
// check nothing (n >= 1; the ILU and its solution need the diagonal in every row).
//
// ILU(0) keeps the pattern (no fill-in) and overwrites the values: the lower triangle with the
// diagonal holds L, the strict upper triangle a unit-diagonal U (its ones are not stored).

/*! res = A*b; a row without elements gives 0. b and res do not overlap. */
void zebmk_spmat_csr_multiply(unsigned int n, const double * data, const unsigned int * ia,
							  const unsigned int * ja, const double * b, double * res);

/*! ILU(0) of a structurally symmetric pattern: the rows below row i that hold column i are taken
	from the columns of row i. Nothing happens for n = 1. */
void zebmk_spmat_csr_ilu_symm(unsigned int n, const unsigned int * ia, const unsigned int * ja, double * data);

/*! ILU(0) of any pattern: the rows below row i that hold column i are taken from the transposed
	index (iaT, jaT: for column j the rows jaT[iaT[j]] to jaT[iaT[j+1]-1], ascending). */
void zebmk_spmat_csr_ilu_asymm(unsigned int n, const unsigned int * ia, const unsigned int * ja,
							   const unsigned int * iaT, const unsigned int * jaT, double * data);

/*! Solves L*U*x = b in place with the factors of the ILU kernels. */
void zebmk_spmat_csr_backsolve(unsigned int n, const unsigned int * ia, const unsigned int * ja,
							   const double * data, double * b);

} // namespace ZEBMK

#endif // ZEBMKC_sparse_matrixH
