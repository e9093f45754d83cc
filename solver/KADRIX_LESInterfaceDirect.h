#ifndef KADRIX_LESInterfaceDirectH
#define KADRIX_LESInterfaceDirectH

#include <sundials/sundials_context.h>
#include <sundials/sundials_linearsolver.h>
#include <sundials/sundials_matrix.h>
#include <sundials/sundials_nvector.h>

#include "KADRIX_LESInterface.h"

namespace KADRIX {

class IntegratorSundialsCVODE;

/*! Base of the direct linear equation solvers. With the CVODE integrator they attach one of
	CVODE's matrix-based modules, which does all numerical work; with the implicit Euler integrator
	the derived classes build and factorise I - gamma J themselves. Writes "LES_direct_stats.tsv"
	and the solver metrics. Model, integrator and helpers are not owned. */
class LESInterfaceDirect : public LESInterface {
public:
	/*! Opens logfilePath/"LES_direct_stats.tsv": appended without header on a restart, else
		truncated and headed. Throws ZEB::Exception when it cannot be opened. */
	void writeStatisticsHeader(const ZEB::Path & logfilePath, bool doRestart) override;
	/*! One row: time, Jacobian evaluations, RHS evaluations; nothing before the header. */
	void writeStatistics(double t) override;
	/*! simTime is the run's total wall-clock time [s]. */
	void writeMetrics(double simTime, std::ostream * metricsFile) override;
	/*! With CVODE, copies the module's Jacobian and RHS-evaluation counters into the own ones. */
	void updateSUNDIALSStatistics() override;

	/*! Jacobian evaluations (set-ups of the iteration matrix with implicit Euler). */
	unsigned int nJacEvals() const { return m_nJacEvals; }
	/*! Model evaluations spent on Jacobians. */
	unsigned int nRHSEvals() const { return m_nRHSEvals; }

protected:
	/*! A constructor of CVODE's linear solvers for a matrix A, such as SUNLinSol_Dense. */
	typedef SUNLinearSolver (*SolverConstructor)(N_Vector y, SUNMatrix A, SUNContext ctx);

	/*! Builds the solver for A with makeSolver (template vector of m_model->n() values) and
		attaches both to the integrator, which owns them from then on, also when attaching fails;
		A may be null after a failed constructor. On failure reports as reportAttachFailure().
		moduleName ("CVDense", ...) and location ("[LESDense::init]", ...) are for messages. */
	void attachToCVODE(IntegratorSundialsCVODE * cvode, SUNMatrix A, SolverConstructor makeSolver,
					   const char * moduleName, const char * location);
	/*! For a non-zero result of IntegratorSundialsCVODE::attachLinearSolver() (-4 memory, -3
		illegal input, others): sends the module's error message and throws "Error initializing
		linear equation solver."; does nothing for 0. */
	static void reportAttachFailure(int result, const char * moduleName, const char * location);

	/*! The direct-solver block of CVODE's snapshot, with CVODE and a dense or band module attached;
		otherwise 0 [Byte]. */
	std::size_t directBlockSize() const;
	/*! Writes the block (when its size is not 0) and advances dataPtr. */
	void serializeDirectBlock(void *& dataPtr) const;
	/*! Reads the block (when its size is not 0) and advances dataPtr; throws ZEB::Exception at
		location when the data does not belong to the attached module, holds an invalid value or
		reaches past dataEnd; then nothing has changed. */
	void deserializeDirectBlock(void *& dataPtr, const void * dataEnd, const char * location);

	/*! Jacobian evaluations. */
	unsigned int	m_nJacEvals = 0;
};

} // namespace KADRIX

#endif // KADRIX_LESInterfaceDirectH
