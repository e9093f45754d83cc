#ifndef KADRIX_LESDenseH
#define KADRIX_LESDenseH

#include <vector>

#include "KADRIX_LESInterfaceDirect.h"
#include "ZEBMK_DenseMatrix.h"

namespace KADRIX {

/*! Dense direct linear equation solver. With the CVODE integrator it attaches CVODE's dense
	module (and saves its direct block in snapshots); with the implicit Euler integrator it forms
	I - gamma J by difference quotients, one model evaluation per column, and solves with dense LU.
	Owns its matrix and work vectors, sized by init(); setup() and solve() allocate nothing. */
class LESDense : public LESInterfaceDirect {
public:
	LESDense() = default;

	/*! Attaches the CVODE module or sizes matrix and vectors for implicit Euler; throws
		ZEB::Exception for a missing model, another integrator or a failed attach. */
	void init(ModelInterface * model, IntegratorInterface * integrator, PrecondInterface * precond,
			  JacobianInterface * jacobian) override;
	/*! Implicit Euler only: factorises I - gamma J at y, where ydot holds the derivatives at y.
		Leaves the model at the last perturbed state. A singular matrix throws LESSetupError with
		the 1-based position of the zero pivot. */
	void setup(const double * y, const double * ydot, const double * residuals, double gamma) override;
	/*! Implicit Euler only: replaces b by the solution with the factors of the last setup(). */
	void solve(double * b) override;

	/*! With CVODE the direct block of its dense module, else 0 [Byte]. */
	std::size_t serializationSize() const override { return directBlockSize(); }
	void serialize(void *& dataPtr) const override { serializeDirectBlock(dataPtr); }
	/*! Throws ZEB::Exception when the block does not belong to the attached module, holds an
		invalid value or reaches past dataEnd. */
	void deserialize(void *& dataPtr, const void * dataEnd) override { deserializeDirectBlock(dataPtr, dataEnd, "[LESDense::deserialize]"); }

private:
	unsigned int		m_n = 0;
	/*! I - gamma J and then its LU factors (implicit Euler only). */
	ZEBMK::DenseMatrix	m_matrix;
	std::vector<double>	m_yPerturbed;
	std::vector<double>	m_ydotPerturbed;
	std::vector<double>	m_increments;
};

} // namespace KADRIX

#endif // KADRIX_LESDenseH
