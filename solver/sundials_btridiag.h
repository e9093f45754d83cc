#ifndef sundials_btridiagH
#define sundials_btridiagH

/* Block-tridiagonal matrices of the CVODE additions: the library's direct-matrix record
   (SUNDlsMat) with type code 3, holding N blocks of M x M values in three block diagonals plus
   two corner blocks (the structure of one-dimensional models with N cells of M unknowns and
   one-sided second-order boundary closures).

   Record fields used: type 3; M the block size; N the number of blocks; data the 3*N*M*M values
   in one allocation; ldata = 3*N*M*M; cols the 3*N block pointers into data, block k at k*M*M:
   the lower blocks A_0 .. A_{N-1} at cols[0 .. N), the diagonal blocks B_0 .. B_{N-1} at
   cols[N .. 2N), the upper blocks C_0 .. C_{N-1} at cols[2N .. 3N). Every block is column-major
   (element (r, c) at c*M + r). A_k couples block row k with block column k-1 and C_k with block
   column k+1; A_0 is the corner block at block column 2 of block row 0, C_{N-1} the one at block
   column N-3 of block row N-1. The band fields (ldim, mu, ml, s_mu) are not used.

   The lower-case routines take the bare block-pointer array with N and M. A record made by
   NewBTridiagMat() is owned by the caller and released by DestroyBTridiagMat(); a block-pointer
   array made by newBTridiagMat() is released by destroyBTridiagMat(). The library owns the
   generic names SetToZero, AddIdentity, PrintMat and DestroyMat: their type-3 versions are
   BTridiagSetToZero, BTridiagAddIdentity, BTridiagPrintMat and DestroyBTridiagMat.

   The factorisation and solution are the block LU of the matrix kernel (zebmk_btridiag_LU and
   its neighbours); they need N >= 4. Sizes must keep N*M and M*M within the int range of the
   kernels; NewBTridiagMat() refuses larger ones. Only the two constructors allocate memory (and
   SaveMat() its file). */

#include <sundials/sundials_direct.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Type code of block-tridiagonal records, beside SUNDIALS_DENSE (1) and SUNDIALS_BAND (2). */
#define SUNDIALS_BTRIDIAG 3

/* New type-3 record with all values 0; NULL when N < 1, M < 1, the sizes exceed the kernels'
   range or memory fails. */
SUNDlsMat NewBTridiagMat(long N, long M);
/* Releases a record of NewBTridiagMat(); NULL is ignored. */
void DestroyBTridiagMat(SUNDlsMat A);

/* Only the 3*N block pointers over one fresh allocation of 3*N*M*M values (all 0), block k at
   cols[0] + k*M*M; NULL on the conditions of NewBTridiagMat(). */
realtype ** newBTridiagMat(long N, long M);
/* Releases an array of newBTridiagMat() with its values; NULL is ignored. */
void destroyBTridiagMat(realtype ** cols);

/* Sets all ldata values to 0. */
void BTridiagSetToZero(SUNDlsMat A);

/* Adds 1 to the diagonal of every diagonal block. */
void BTridiagAddIdentity(SUNDlsMat A);
void btridiagAddIdentity(realtype ** cols, long N, long M);

/* Copies all values of A into B, which has the same N and M. */
void BTridiagCopy(SUNDlsMat A, SUNDlsMat B);
void btridiagCopy(realtype ** a, realtype ** b, long N, long M);

/* Multiplies all values by c. */
void BTridiagScale(SUNDlsMat A, realtype c);
void btridiagScale(realtype ** cols, long N, long M, realtype c);

/* y = A x including the corner blocks (which exist for N >= 3); x and y hold N*M values and do
   not overlap. */
void BTridiagMult(SUNDlsMat A, const realtype * x, realtype * y);
void btridiagMult(realtype ** cols, long N, long M, const realtype * x, realtype * y);

/* Block LU in place: with p NULL without pivoting, otherwise with partial pivoting inside each
   diagonal block, block k's row interchanges at p[k*M .. k*M+M-1] (N*M entries). Returns 0, the
   1-based block row whose diagonal block is singular, or -1 for N < 4 or sizes beyond the
   kernels' range (nothing changed then). */
int BTridiagBTTRF(SUNDlsMat A, long * p);
int btridiagBTTRF(realtype ** cols, long N, long M, long * p);

/* Solves A x = b in place in b (N*M values) with the factors of BTridiagBTTRF() and the same p;
   does nothing where the factorisation returned -1. */
void BTridiagBTTRS(SUNDlsMat A, const long * p, realtype * b);
void btridiagBTTRS(realtype ** cols, long N, long M, const long * p, realtype * b);

/* The scalar case M = 1 over the block-pointer array (a = cols[0 .. N), b, c as above; corner
   entries at (0, 2) and (N-1, N-3)): LU without pivoting, returning as BTridiagBTTRF(), and the
   matching solution in place. */
int tridiagGTTRF(realtype ** cols, long N);
void tridiagGTTRS(realtype ** cols, long N, realtype * b);

/* Prints a type-3 record to standard output: a line end, then one line per row of the
   N*M x N*M matrix, each stored element as "%12g  ", each position outside the structure before
   the row's last stored element as 14 blanks, then a line end. */
void BTridiagPrintMat(SUNDlsMat A);

/* Writes a dense (type 1), band (type 2) or block-tridiagonal (type 3) record to the text file
   fileName (truncated) in the form of BTridiagPrintMat(), positions outside the structure as
   "0". Returns 0, or -1 (nothing written) for an unknown type or a file that cannot be opened. */
int SaveMat(SUNDlsMat A, const char * fileName);

#ifdef __cplusplus
}
#endif

#endif /* sundials_btridiagH */
