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

/*! The storage position of every row's diagonal element into diag (n entries): the first position
	of row i whose column is not below i (for a row without diagonal, that of its first element
	right of it, or the row's end). */
void zebmk_spmat_csr_diagonal(unsigned int n, const unsigned int * ia, const unsigned int * ja, unsigned int * diag);

/*! zebmk_spmat_csr_backsolve() with the diagonal positions of zebmk_spmat_csr_diagonal() and the
	reciprocals of the factors' diagonal elements (rdiag, n values) kept from the factorisation:
	no search for the diagonal, and a product where the other divides (equal up to rounding). */
void zebmk_spmat_csr_backsolve_diag(unsigned int n, const unsigned int * ia, const unsigned int * ja,
									const unsigned int * diag, const double * data, const double * rdiag,
									double * b);

// EID storage: every one of the n rows has e slots; idx holds the n*e column indices and values the
// n*e values, row i in slots i*e to i*e+e-1, columns ascending. A slot whose index repeats the
// slot before it in the same row is padding; its value must be 0, since the products add every
// slot. The ILU kernels and their solutions need a structurally symmetric pattern with the diagonal
// in every row and keep the factor layout of the CSR kernels above.

/*! y = A*x; e = 5, 7, 10, 14, 15 take the unrolled members. x and y do not overlap. */
void zebmk_spmat_eid_multiply(unsigned int n, unsigned int e, const unsigned int * idx, const double * values,
							  const double * x, double * y);
void zebmk_spmat_eid_multiply5(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y);
void zebmk_spmat_eid_multiply7(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y);
void zebmk_spmat_eid_multiply10(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y);
void zebmk_spmat_eid_multiply14(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y);
void zebmk_spmat_eid_multiply15(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y);

/*! ILU(0) in place; the rows below row i that hold column i are taken from the columns of row i.
	Padding slots are never written. Nothing happens for n = 1. */
void zebmk_spmat_eid_ilu(unsigned int n, unsigned int e, const unsigned int * idx, double * values);

/*! Solves L*U*x = b in place with the factors of zebmk_spmat_eid_ilu(). */
void zebmk_spmat_eid_backsolve(unsigned int n, unsigned int e, const unsigned int * idx, const double * values, double * b);

// Block storage: n block rows of b x b column-major blocks (b*b values each); vectors hold n*b
// values, block row i at x + i*b. Block CSR: ia and ja as above over block rows and block
// columns, block k at values + k*b*b. Block EID: e block slots per row as in EID storage, slot s at
// values + s*b*b; padding blocks must be 0.
//
// Block ILU(0) factorises each diagonal block D in place, replaces each block right of it by
// X = D^-1 * block and subtracts block(r,i) * X from block (r,c) of the rows below (no fill-in).
// b = 2 keeps D in Crout form: D(0,1) /= D(0,0), D(1,1) -= D(1,0) * D(0,1), that is L with the
// diagonal and a unit U. Other sizes keep the unit-L layout of zebmk_dense_LU().

/*! y = A*x over block CSR storage; b = 1 is zebmk_spmat_csr_multiply(). */
void zebmk_blockspmat_csr_multiply(unsigned int n, unsigned int b, const double * values, const unsigned int * ia,
								   const unsigned int * ja, const double * x, double * y);

/*! y = A*x over block EID storage; b = 1 is zebmk_spmat_eid_multiply(); b = 2 and 3 with e = 5 or 7
	take the unrolled members (numbered by the scalar columns per row). */
void zebmk_blockspmat_eid_multiply(unsigned int n, unsigned int e, unsigned int b, const unsigned int * idx,
								   const double * values, const double * x, double * y);
void zebmk_blockspmat_eid_multiply2(unsigned int n, unsigned int e, const unsigned int * idx, const double * values,
									const double * x, double * y);
void zebmk_blockspmat_eid_multiply3(unsigned int n, unsigned int e, const unsigned int * idx, const double * values,
									const double * x, double * y);
void zebmk_blockspmat_eid_multiply10(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y);
void zebmk_blockspmat_eid_multiply14(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y);
void zebmk_blockspmat_eid_multiply15(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y);
void zebmk_blockspmat_eid_multiply21(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y);

/*! Block ILU(0) in place; b = 1 is zebmk_spmat_eid_ilu(), b > 3 factorises by the dense kernels
	of any size. For b > 1 the diagonal block of the last row is factorised too. Note the argument
	order: b before e, unlike the product. */
void zebmk_blockspmat_eid_ilu(unsigned int n, unsigned int b, unsigned int e, const unsigned int * idx, double * values);
void zebmk_blockspmat_eid_ilu2(unsigned int n, unsigned int e, const unsigned int * idx, double * values);
void zebmk_blockspmat_eid_ilu3(unsigned int n, unsigned int e, const unsigned int * idx, double * values);

/*! The 2 x 2 block ILU(0) entry by entry: the entries of a block right of the diagonal are
	multiplied by the reciprocal of their row's pivot and coupled to the other component by mixed
	terms. Leaves the factors of zebmk_blockspmat_eid_ilu2() (up to rounding) for its solution. */
void zebmk_blockspmat_eid_ilu2Misch(unsigned int n, unsigned int e, const unsigned int * idx, double * values);

/*! Solves L*U*x = rhs in place with the factors of the block ILU of the same b. */
void zebmk_blockspmat_eid_backsolve(unsigned int n, unsigned int b, unsigned int e, const unsigned int * idx,
									const double * values, double * rhs);
void zebmk_blockspmat_eid_backsolve2(unsigned int n, unsigned int e, const unsigned int * idx, const double * values, double * rhs);
void zebmk_blockspmat_eid_backsolve3(unsigned int n, unsigned int e, const unsigned int * idx, const double * values, double * rhs);

} // namespace ZEBMK

#endif // ZEBMKC_sparse_matrixH
