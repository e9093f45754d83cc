#ifndef KADRIX_LESInterfaceIterativeH
#define KADRIX_LESInterfaceIterativeH

#include "KADRIX_LESInterface.h"

namespace KADRIX {

class JacobianInterface;
class PrecondInterface;

/*! Base of the Krylov linear equation solvers. With the CVODE integrator they attach CVODE's
	Krylov module and do no numerical work of their own; the integrator then registers its
	preconditioner and Jacobian-times-vector callbacks. */
class LESInterfaceIterative : public LESInterface {
public:
	/*! Linear convergence coefficient, handed to CVODE as its EpsLin factor; 0 keeps the default. */
	double				m_linIterConvCoeff = 0;
	/*! Maximum Krylov subspace dimension. */
	unsigned int		m_maxKrylovDim = 50;

protected:
	unsigned int		m_nLinIters = 0;
	unsigned int		m_nLinConvFails = 0;
	unsigned int		m_nPrecSetups = 0;
	unsigned int		m_nPrecSolves = 0;
	unsigned int		m_nJacTimesVec = 0;
	/*! Not owned; may be null. */
	PrecondInterface *	m_precond = nullptr;
	/*! Not owned; may be null. */
	JacobianInterface *	m_jacobian = nullptr;
};

} // namespace KADRIX

#endif // KADRIX_LESInterfaceIterativeH
