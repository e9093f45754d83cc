#ifndef ZEBMKC_dense_matrixH
#define ZEBMKC_dense_matrixH

namespace ZEBMK {

// Plain kernels over dense square matrices in column-major storage: element (i, j) of an
// n x n matrix A is A[j*n + i]; vectors hold n values. The caller owns every array; the kernels
// allocate nothing and check nothing. Result arrays never overlap the inputs.
//
// Factorisations: zebmk_dense_LU_pivot() leaves U on and above the diagonal and the multipliers of
// the unit lower factor below it, with the row interchanges in p (p[k] is the row swapped with
// row k at step k); it returns 0, or k+1 for the first column k whose pivot is exactly 0.
// zebmk_dense_LU() and its unrolled members factorise without pivoting into the same layout and
// return 0, or -2 at the first exactly zero pivot (leaving the columns before it factorised).
// The 2, 3 and 4 members have the contract of the general member with n fixed.
// General members return at once for n < 1.

/*! LU with partial pivoting; on equal magnitudes the upper row becomes the pivot. */
int zebmk_dense_LU_pivot(int n, double * A, long * p);
/*! Solves A*x = b in place with the factors and interchanges of zebmk_dense_LU_pivot(). */
void zebmk_dense_backsolve_pivot(int n, const double * A, const long * p, double * b);
/*! B := A^-1 * B for the n columns of B, with the pivoted factors. */
void zebmk_dense_inverse_mult_pivot(int n, const double * A, const long * p, double * B);

/*! LU without pivoting; 0, or -2 at an exactly zero pivot. */
int zebmk_dense_LU(int n, double * A);
int zebmk_dense_LU2(double * A);
int zebmk_dense_LU3(double * A);
int zebmk_dense_LU4(double * A);

/*! Solves A*x = b in place with the unpivoted factors. */
void zebmk_dense_backsolve(int n, const double * A, double * b);
void zebmk_dense_backsolve2(const double * A, double * b);
void zebmk_dense_backsolve3(const double * A, double * b);
void zebmk_dense_backsolve4(const double * A, double * b);

/*! B := A^-1 * B column by column, with the unpivoted factors. */
void zebmk_dense_inverse_mult(int n, const double * A, double * B);
void zebmk_dense_inverse_mult2(const double * A, double * B);
void zebmk_dense_inverse_mult3(const double * A, double * B);
void zebmk_dense_inverse_mult4(const double * A, double * B);

/*! C = A*B. */
void zebmk_dense_mat_mult(int n, const double * A, const double * B, double * C);
void zebmk_dense_mat_mult2(const double * A, const double * B, double * C);
void zebmk_dense_mat_mult3(const double * A, const double * B, double * C);
void zebmk_dense_mat_mult4(const double * A, const double * B, double * C);

/*! C -= A*B. */
void zebmk_dense_mat_mult_sub(int n, const double * A, const double * B, double * C);
void zebmk_dense_mat_mult_sub2(const double * A, const double * B, double * C);
void zebmk_dense_mat_mult_sub3(const double * A, const double * B, double * C);
void zebmk_dense_mat_mult_sub4(const double * A, const double * B, double * C);

/*! y = A*x; n = 2, 3, 4 take the unrolled members. */
void zebmk_dense_vec_mult(int n, const double * A, const double * x, double * y);
void zebmk_dense_vec_mult2(const double * A, const double * x, double * y);
void zebmk_dense_vec_mult3(const double * A, const double * x, double * y);
void zebmk_dense_vec_mult4(const double * A, const double * x, double * y);

/*! y += A*x. */
void zebmk_dense_vec_mult_add(int n, const double * A, const double * x, double * y);
void zebmk_dense_vec_mult_add2(const double * A, const double * x, double * y);
void zebmk_dense_vec_mult_add3(const double * A, const double * x, double * y);
void zebmk_dense_vec_mult_add4(const double * A, const double * x, double * y);

/*! y -= A*x. */
void zebmk_dense_vec_mult_sub(int n, const double * A, const double * x, double * y);
void zebmk_dense_vec_mult_sub2(const double * A, const double * x, double * y);
void zebmk_dense_vec_mult_sub3(const double * A, const double * x, double * y);
void zebmk_dense_vec_mult_sub4(const double * A, const double * x, double * y);

/*! y = sum over k < m of A_k * x_k: A_k is the k-th n x n block of A (stride n*n), x_k the k-th
	n-vector of x (stride n). y is zeroed first. */
void zebmk_dense_row_matvecsum(const double * A, int n, int m, const double * x, double * y);

/*! y += A*x: the contract of zebmk_dense_vec_mult_add() under the names the block-sparse kernels use. */
void dense_vec_mult_add(int n, const double * A, const double * x, double * y);
void dense_vec_mult_add2(const double * A, const double * x, double * y);
void dense_vec_mult_add3(const double * A, const double * x, double * y);

} // namespace ZEBMK

#endif // ZEBMKC_dense_matrixH
