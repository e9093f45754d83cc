#ifndef KADRIX_LESKLUH
#define KADRIX_LESKLUH

#include <sundials/sundials_matrix.h>
#include <sundials/sundials_nvector.h>

#include "KADRIX_LESInterfaceDirect.h"

namespace KADRIX {

class JacobianSparseCSR;

/*! CVODE's Jacobian function of LESKLU (userData is the LESKLU object): evaluates the model at y
	into fy, lets the sparse Jacobian generator recompute J there and copies its pattern and values
	into JacMat, a compressed-row matrix with room for the generator's elements. Returns 0; 1 after
	a recoverable failure of the model or the generator; -1 after any other failure and for a
	JacMat that cannot take the generator's matrix. Allocates nothing. */
int CVSlsSparseJacFn_f(realtype t, N_Vector y, N_Vector fy, SUNMatrix JacMat, void * userData,
					   N_Vector tmp1, N_Vector tmp2, N_Vector tmp3);

/*! Sparse direct linear equation solver: attaches CVODE's KLU module with a compressed-row matrix
	of the pattern of a sparse difference-quotient Jacobian (JacobianSparseCSR), whose values it
	copies into CVODE's matrix at every Jacobian request. Works only with the CVODE integrator and
	keeps no snapshot. The Jacobian generator is not owned; CVODE's matrix and solver belong to
	the integrator. */
class LESKLU : public LESInterfaceDirect {
public:
	LESKLU() = default;

	/*! Throws ZEB::Exception for a missing model, a missing Jacobian generator or one of another
		class, an integrator other than CVODE, or a failed attach. */
	void init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
			  JacobianInterface * jacobian) override;
	/*! The KLU module sets up and solves inside CVODE. */
	void setup(const double *, const double *, const double *, double) override {}
	void solve(double *) override {}
	/*! With CVODE: the module's Jacobian evaluations; as RHS evaluations those of the Jacobian
		generator plus the model evaluations of the Jacobian function itself. */
	void updateSUNDIALSStatistics() override;

private:
	friend int CVSlsSparseJacFn_f(realtype, N_Vector, N_Vector, SUNMatrix, void *, N_Vector, N_Vector, N_Vector);

	/*! Not owned; set by init(). */
	JacobianSparseCSR *	m_jacobian = nullptr;
	/*! Model evaluations of CVSlsSparseJacFn_f at the unperturbed state. */
	unsigned int		m_nJacFnRHSEvals = 0;
};

} // namespace KADRIX

#endif // KADRIX_LESKLUH
