#ifndef cvode_btridiagH
#define cvode_btridiagH

/* The block-tridiagonal direct linear-solver module of CVODE, for systems whose Jacobian is
   block-tridiagonal with the two corner blocks of sundials_btridiag.h (one-dimensional models
   with N cells of M unknowns, cell b's unknown j at index b*M + j).

   CVODE sees a custom matrix (a type-3 record: N, M, the three block diagonals) and a custom
   direct linear solver, attached through the integrator, which owns both. CVODE's linear-solver
   interface decides when the Jacobian is renewed (at the first step, more than 50 steps after the
   last one, and after convergence failures that a stale Jacobian may have caused) and forms
   I - gamma J; the module's difference-quotient Jacobian costs 3*M right-hand-side evaluations,
   counted with CVODE's linear-solver evaluations; the module factorises by block LU without
   pivoting (a singular diagonal block is a recoverable setup failure) and solves by block
   back-substitution. Jacobian generation and factorisation are timed by the integrator. */

#include <cvode/cvode_ls.h>
#include <sundials/sundials_linearsolver.h>
#include <sundials/sundials_matrix.h>

#include "sundials_btridiag.h"

namespace KADRIX {
class IntegratorSundialsCVODE;
}

/* Return flags of CVBTridiag(), those of CVODE's direct modules. */
#define CVBTRIDIAG_SUCCESS		0
#define CVBTRIDIAG_MEM_NULL		-1
#define CVBTRIDIAG_ILL_INPUT	-3
#define CVBTRIDIAG_MEM_FAIL		-4

/*! Attaches the module to the integrator's CVODE memory for N blocks of block size M and installs
	the difference-quotient Jacobian. Returns CVBTRIDIAG_SUCCESS; CVBTRIDIAG_MEM_NULL without
	integrator or before its init(); CVBTRIDIAG_ILL_INPUT when M < 1, N < 4, N*M differs from the
	number of unknowns or the state vector gives no access to its data; CVBTRIDIAG_MEM_FAIL when
	memory fails. Failures are reported through CVODE's error handler (module "CVBTRIDIAG"); input
	that is refused leaves the previously attached linear solver in place. */
int CVBTridiag(KADRIX::IntegratorSundialsCVODE * integrator, long N, long M);

extern "C" {

/* A new custom matrix of N blocks of M x M values (all 0) for context ctx; destroyed by
   SUNMatDestroy(). NULL on invalid sizes (see NewBTridiagMat()) or failed memory. Operations:
   getid (SUNMATRIX_CUSTOM), clone, destroy, zero, copy, scaleaddi, matvec, space. */
SUNMatrix SUNBTridiagMatrix(long N, long M, SUNContext ctx);
/* The type-3 record of a matrix of SUNBTridiagMatrix() (owned by the matrix); NULL for any other
   matrix. */
SUNDlsMat SUNBTridiagMatrix_Record(SUNMatrix A);
/* The CVODE memory whose Jacobian the matrix receives (not owned; set by CVBTridiag(), copied by
   clones), or NULL. */
void * SUNBTridiagMatrix_CVodeMem(SUNMatrix A);
void SUNBTridiagMatrix_SetCVodeMem(SUNMatrix A, void * cvode_mem);

/* A new direct linear solver for the block-tridiagonal matrix A (which it does not own); freed
   by SUNLinSolFree(). NULL when A is not a matrix of SUNBTridiagMatrix() or memory fails. setup
   factorises A in place (a singular diagonal block returns SUNLS_LUFACT_FAIL and its 1-based
   block row becomes the last flag), solve copies b to x and back-substitutes in x. */
SUNLinearSolver SUNLinSol_BTridiag(SUNMatrix A, SUNContext ctx);

/* CVODE Jacobian routine: difference quotients of the right-hand side into J, a matrix of
   SUNBTridiagMatrix() attached by CVBTridiag() (data, CVODE's user data, is not used). Block
   columns three apart are perturbed together, 3*M evaluations at (t, perturbed y) in all, each
   counted with CVODE's linear-solver evaluations; the corner blocks are filled from the
   perturbations of block columns 2 and N-3. Returns 0, -1 for a matrix without CVODE memory, or
   the first non-zero result of the right-hand side. */
int cvDlsBTridiagDQJac(realtype t, N_Vector y, N_Vector fy, SUNMatrix J, void * data,
					   N_Vector tmp1, N_Vector tmp2, N_Vector tmp3);

} // extern "C"

#endif /* cvode_btridiagH */
