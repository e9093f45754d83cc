#ifndef KADRIX_LESInterfaceIterativeH
#define KADRIX_LESInterfaceIterativeH

#include "KADRIX_LESInterface.h"

namespace KADRIX {

class IntegratorSundialsCVODE;
class JacobianInterface;
class PrecondInterface;

/*! Base of the Krylov linear equation solvers. With the CVODE integrator they attach CVODE's
	Krylov module and do no numerical work of their own; the integrator registers the
	preconditioner and Jacobian-times-vector callbacks. Writes "LES_iterative_stats.tsv" and the
	solver metrics. Preconditioner and Jacobian generator are not owned. */
class LESInterfaceIterative : public LESInterface {
public:
	void writeStatisticsHeader(const ZEB::Path & logfilePath, bool doRestart) override;
	void writeStatistics(double t) override;
	/*! simTime is the run's total wall-clock time [s]. */
	void writeMetrics(double simTime, std::ostream * metricsFile) override;
	/*! With CVODE, copies the Krylov module's counters into the own counters. */
	void updateSUNDIALSStatistics() override;
	/*! With CVODE the Krylov module's block (counters and settings), else 0. */
	std::size_t serializationSize() const override;
	void serialize(void *& dataPtr) const override;
	/*! Throws ZEB::Exception when the block does not belong to the attached module, holds an
		invalid value or reaches past dataEnd; then nothing has changed. */
	void deserialize(void *& dataPtr, const void * dataEnd) override;

	/*! Linear convergence coefficient, handed to CVODE as its EpsLin factor; 0 keeps the default. */
	double				m_linIterConvCoeff = 0;
	/*! Maximum Krylov subspace dimension. */
	unsigned int		m_maxKrylovDim = 50;

protected:
	/*! The CVODE Krylov modules that can be attached. */
	enum KrylovModule {
		KM_GMRES,
		KM_BICGSTAB
	};

	/*! Stores the objects and attaches the module to CVODE with the preconditioning side the
		preconditioner (or the Jacobian generator) asks for; throws on failure. className is
		"LESGMRES" or "LESBiCGStab" for messages. */
	void attachToCVODE(IntegratorSundialsCVODE * integrator, ModelInterface * model, PrecondInterface * precond,
					   JacobianInterface * jacobian, KrylovModule module, const char * className);

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
