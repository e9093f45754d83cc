#include "KADRIX_LESBiCGStab.h"

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "ZEB_Exception.h"

namespace KADRIX {

void LESBiCGStab::init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
					   JacobianInterface * jacobian)
{
	IntegratorSundialsCVODE * cvode = dynamic_cast<IntegratorSundialsCVODE *>(integrator);
	if (cvode == nullptr)
		throw ZEB::Exception("Error initializing LESBiCGStab linear solver: Only 'IntegratorSundialsCVODE' is currently supported.",
							 "[LESBiCGStab::init]");
	attachToCVODE(cvode, model, precond, jacobian, KM_BICGSTAB, "LESBiCGStab");
}

} // namespace KADRIX
