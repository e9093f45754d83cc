#ifndef KADRIX_LESBTridiagH
#define KADRIX_LESBTridiagH

#include <memory>
#include <vector>

#include "KADRIX_LESInterfaceDirect.h"
#include "sundials_btridiag.h"

namespace KADRIX {

/*! Block-tridiagonal direct linear equation solver for models of N cells with M unknowns each
	(cell b's unknown j at b*M + j) whose Jacobian couples each cell with its neighbours, and the
	first and last cell also with the cell two further in (the two corner blocks).

	With the CVODE integrator it attaches the block-tridiagonal CVODE module (cvode_btridiag.h),
	which does all numerical work. With the implicit Euler integrator it forms I - gamma J by
	difference quotients, perturbing cells three apart together (3*M model evaluations per setup),
	and solves with block LU, pivoting inside the diagonal blocks.

	Owns its matrix (implicit Euler only) and work vectors, sized by init(); setup() and solve()
	allocate nothing. Model and integrator are not owned. No snapshot (0 bytes).
*/
class LESBTridiag : public LESInterfaceDirect {
public:
	/*! N blocks of M unknowns. */
	LESBTridiag(unsigned int N, unsigned int M) : m_N(N), m_M(M) {}

	/*! Attaches the CVODE module or sizes matrix and vectors for implicit Euler. Throws
		ZEB::Exception for a missing model, another integrator, fewer than 4 blocks, N*M other than
		the model's number of unknowns and a failed attach. A preconditioner is ignored with a
		warning, a Jacobian generator silently. */
	void init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
			  JacobianInterface * jacobian) override;
	/*! Implicit Euler only: factorises I - gamma J at y, where ydot holds the derivatives at y.
		Leaves the model at the last perturbed state. A singular matrix throws LESSetupError with
		the 1-based position of the zero pivot. */
	void setup(const double * y, const double * ydot, const double * residuals, double gamma) override;
	/*! Implicit Euler only: replaces b by the solution with the factors of the last setup(). */
	void solve(double * b) override;

private:
	struct RecordDeleter {
		void operator()(SUNDlsMat A) const { DestroyBTridiagMat(A); }
	};

	/*! Number of blocks. */
	unsigned int								m_N;
	/*! Unknowns per block. */
	unsigned int								m_M;
	/*! I - gamma J and then its LU factors (implicit Euler only). */
	std::unique_ptr<_DlsMat, RecordDeleter>		m_matrix;
	/*! Row interchanges of the factorisation, M per diagonal block. */
	std::vector<long>							m_pivots;
	std::vector<double>							m_yPerturbed;
	std::vector<double>							m_ydotPerturbed;
	std::vector<double>							m_increments;
};

} // namespace KADRIX

#endif // KADRIX_LESBTridiagH
