#ifndef KADRIX_LESBiCGStabH
#define KADRIX_LESBiCGStabH

#include "KADRIX_LESInterfaceIterative.h"

namespace KADRIX {

/*! BiCGStab linear equation solver: attaches CVODE's BiCGStab module; other integrators are
	refused. Like GMRES it saves the module's Krylov block, so that a restored run goes on exactly. */
class LESBiCGStab : public LESInterfaceIterative {
public:
	void init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
			  JacobianInterface * jacobian) override;
	void setup(const double *, const double *, const double *, double) override {}
	void solve(double *) override {}
};

} // namespace KADRIX

#endif // KADRIX_LESBiCGStabH
