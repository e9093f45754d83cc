#ifndef KADRIX_LESBandH
#define KADRIX_LESBandH

#include <vector>

#include "KADRIX_LESInterfaceDirect.h"
#include "ZEBMK_BandMatrix.h"

namespace KADRIX {

/*! Band direct linear equation solver for Jacobians with upper half-bandwidth mu and lower
	half-bandwidth ml. With the CVODE integrator it attaches CVODE's band module (stored upper
	bandwidth min(n-1, mu+ml)) and saves its direct block in snapshots; with the implicit Euler
	integrator it forms I - gamma J by difference quotients, perturbing every (mu+ml+1)-th column
	together, and solves with band LU. Owns its matrix and work vectors, sized by init(); setup()
	and solve() allocate nothing. */
class LESBand : public LESInterfaceDirect {
public:
	LESBand(unsigned int mu, unsigned int ml) : m_mu(mu), m_ml(ml) {}

	/*! Attaches the CVODE module or sizes matrix and vectors for implicit Euler; throws
		ZEB::Exception for a missing model, another integrator or a failed attach (with CVODE also
		for a bandwidth above n-1). */
	void init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
			  JacobianInterface * jacobian) override;
	/*! Implicit Euler only: factorises I - gamma J at y, where ydot holds the derivatives at y.
		Leaves the model at the last perturbed state. A singular matrix throws LESSetupError with
		the 1-based position of the zero pivot. */
	void setup(const double * y, const double * ydot, const double * residuals, double gamma) override;
	/*! Implicit Euler only: replaces b by the solution with the factors of the last setup(). */
	void solve(double * b) override;

	/*! With CVODE the direct block of its band module, else 0 [Byte]. */
	std::size_t serializationSize() const override { return directBlockSize(); }
	void serialize(void *& dataPtr) const override { serializeDirectBlock(dataPtr); }
	/*! Throws ZEB::Exception when the block does not belong to the attached module, holds an
		invalid value or reaches past dataEnd. */
	void deserialize(void *& dataPtr, const void * dataEnd) override { deserializeDirectBlock(dataPtr, dataEnd, "[LESBand::deserialize]"); }

private:
	/*! Upper half-bandwidth. */
	unsigned int		m_mu;
	/*! Lower half-bandwidth. */
	unsigned int		m_ml;
	/*! I - gamma J and then its LU factors (implicit Euler only); bandwidths beyond n-1 are
		stored as n-1, which holds the same elements. */
	ZEBMK::BandMatrix	m_matrix;
	std::vector<double>	m_yPerturbed;
	std::vector<double>	m_ydotPerturbed;
	std::vector<double>	m_increments;
};

} // namespace KADRIX

#endif // KADRIX_LESBandH
