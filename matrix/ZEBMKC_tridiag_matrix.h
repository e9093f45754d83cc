#ifndef ZEBMKC_tridiag_matrixH
#define ZEBMKC_tridiag_matrixH

namespace ZEBMK {

// Plain kernels over tridiagonal and block-tridiagonal matrices with two corner entries: the lower
// entry of row 0 sits at column 2 and the upper entry of row n-1 at column n-3, the structure of
// one-dimensional discretisations with one-sided second-order boundary closures.
//
// Scalar layout: T holds 3n doubles, a = T[0..n) (a[k] at (k, k-1), a[0] at (0, 2)), b = T[n..2n)
// (diagonal), c = T[2n..3n) (c[k] at (k, k+1), c[n-1] at (n-1, n-3)).
// Block layout: A, B, C are arrays of n pointers to m x m column-major blocks (element (r, c) at
// c*m + r): A_k couples block row k with block column k-1 (A_0 with block column 2), B_k is the
// diagonal block, C_k couples block row k with block column k+1 (C_{n-1} with block column n-3).
// Vectors hold n*m values, block row k at k*m. The caller owns every array; the kernels allocate
// nothing and check nothing beyond the size limits stated below.
//
// The factorisations overwrite the matrix with its factors: the diagonal entries/blocks hold the
// (LU of the) updated pivots, c, a[0] (C_k, A_0) the upper entries scaled by the inverse of their
// pivot, a[k] (A_k) the couplings of the unit lower factor. They return 0, the 1-based row (block
// row) whose pivot (diagonal block) is singular, or -1 for too few rows, then changing nothing.

/*! Scalar LU without pivoting (exact zero tests); n >= 3, else -1. */
int zebmk_tridiag_LU(int n, double * T);
/*! Solves T*x = d in place with the factors of zebmk_tridiag_LU(); n < 3 leaves d unchanged. */
void zebmk_tridiag_backsolve(int n, const double * T, double * d);
/*! y = T*x including the corner entries (which exist for n >= 3); x and y do not overlap. */
void zebmk_tridiag_vec_mult(int n, const double * T, const double * x, double * y);

/*! Block LU without pivoting inside the blocks (a block fails at an exactly zero pivot of the
	dense LU); n >= 4, else -1. m = 1 goes to the scalar kernel. */
int zebmk_btridiag_LU(int n, int m, double * const * A, double * const * B, double * const * C);
/*! Block LU with partial pivoting inside each diagonal block, block k's row interchanges at
	p[k*m .. k*m+m-1] (n*m entries); n >= 4, else -1. m = 1 uses the unpivoted scalar kernel. */
int zebmk_btridiag_LU_pivot(int n, int m, double * const * A, double * const * B, double * const * C, long * p);

/*! Solves in place with the factors of zebmk_btridiag_LU(); n < 4 leaves d unchanged. */
void zebmk_btridiag_backsolve(int n, int m, const double * const * A, const double * const * B,
							  const double * const * C, double * d);
/*! Solves in place with the factors and interchanges of zebmk_btridiag_LU_pivot(); n < 4 leaves d
	unchanged. */
void zebmk_btridiag_backsolve_pivot(int n, int m, const double * const * A, const double * const * B,
									const double * const * C, const long * p, double * d);

/*! y = M*x over all blocks, the corner blocks included (they exist for n >= 3); x and y do not
	overlap. */
void zebmk_btridiag_vec_mult(int n, int m, const double * const * A, const double * const * B,
							 const double * const * C, const double * x, double * y);

} // namespace ZEBMK

#endif // ZEBMKC_tridiag_matrixH
