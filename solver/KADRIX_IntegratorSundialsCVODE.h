#ifndef KADRIX_IntegratorSundialsCVODEH
#define KADRIX_IntegratorSundialsCVODEH

#include <memory>

#include <cvode/cvode_ls.h>
#include <sundials/sundials_linearsolver.h>
#include <sundials/sundials_matrix.h>

#include "KADRIX_IntegratorErrorControlled.h"

namespace KADRIX {

class IntegratorSundialsCVODEImpl;

/*! The CVODE integrator (variable-order, variable-step BDF with Newton iteration) behind the
	integrator interface: one internal CVODE step per step(), dense output, statistics and exact
	state snapshots.

	Owns everything CVODE needs (its context, memory, vectors, and the linear solver and matrix a
	linear equation solver attaches through attachLinearSolver()); model, solver objects and
	preconditioner are not owned. Each init() starts afresh.
*/
class IntegratorSundialsCVODE : public IntegratorErrorControlled {
public:
	/*! Counters for stats(). */
	enum StatisticsType {
		ST_STEPS					= 0,
		ST_NONLIN_ITERS				= 1,
		ST_NONLIN_CONV_FAILS		= 2,
		ST_ERR_TEST_FAILS			= 3,
		ST_RHS_EVALS				= 4,
		ST_DIRECT_JAC_EVALS			= 5,
		ST_DIRECT_RHS_EVALS			= 6,
		ST_LIN_ITERS				= 7,
		ST_LIN_CONV_FAILS			= 8,
		ST_PREC_EVALS				= 9,
		ST_PREC_SOLVES				= 10,
		ST_KRYLOV_RHS_EVALS			= 11,
		ST_JTIMES_EVALS				= 12
	};

	IntegratorSundialsCVODE();
	~IntegratorSundialsCVODE() override;

	IntegratorSundialsCVODE(const IntegratorSundialsCVODE &) = delete;
	IntegratorSundialsCVODE & operator=(const IntegratorSundialsCVODE &) = delete;

	const char * identifier() const override { return "CVODE"; }
	void init(ModelInterface * model, double t0, const double * y0, LESInterface * lesSolver,
			  PrecondInterface * precond, JacobianInterface * jacobian) override;
	/*! 1 on success (also when the stop time is reached), -1 on failure. A step whose error test
		or corrector fails as often as CVODE allows is taken once more after a restart from the
		last step (order 1, a fresh Jacobian, the initial step size), and fails only when that
		fails too. An exception thrown by the model, Jacobian generator or preconditioner during
		the step is rethrown once CVODE has returned to the last step. step(), t(), dt() and yOut()
		throw ZEB::Exception before a successful init(). */
	int step() override;
	double t() const override;
	double dt() const override;
	/*! The state itself at t(), otherwise interpolated within the last step; throws outside it. */
	const double * yOut(double t) const override;
	void writeStatisticsHeader(const ZEB::Path & logfilePath, bool doRestart) override;
	void writeStatistics() override;
	void writeMetrics(double elapsedSeconds, std::ostream * metricsFile) override;
	/*! CVODE block + state vector + t + dt; 0 when the snapshot layout cannot be trusted. */
	std::size_t serializationSize() const override;
	void serialize(void *& dataPtr) const override;
	/*! Throws ZEB::Exception when the data does not belong to this integrator, holds an invalid
		value or reaches past dataEnd; the integrator is then unchanged. */
	void deserialize(void *& dataPtr, const void * dataEnd) override;

	/*! The CVODE memory; null before init(). Linear equation solvers attach their modules to it. */
	void * cvodeMem() const;
	/*! The selected counter, queried from CVODE now; 0 for an unknown selector. */
	unsigned int stats(StatisticsType type) const;
	/*! Attaches a linear solver (and its matrix, null for matrix-free solvers) to CVODE and takes
		ownership of both. Returns 0; -1 without CVODE memory (before init); -3 illegal input;
		-4 when the solver is null (a failed constructor). */
	int attachLinearSolver(SUNLinearSolver linearSolver, SUNMatrix matrix);
	/*! The context that every SUNDIALS object of this integrator must be created with. */
	SUNContext sunContext() const;
	/*! Registers the Jacobian function of a matrix-based linear solver, called with data (not
		owned) instead of CVODE's user data. Returns CVODE's result (0 on success). */
	int setJacobianFunction(CVLsJacFn jac, void * data);

	/*! Smallest step size [s]. */
	double	m_dtMin = 0;
	/*! Largest step size [s]. */
	double	m_dtMax = 3600;
	int		m_maxOrder = 5;
	int		m_maxSteps = 100000000;
	/*! Maximum Newton iterations per step; 0 keeps the library default. */
	int		m_maxNonLinIters = 0;
	/*! Coefficient of the nonlinear convergence test; 0 keeps the library default. */
	double	m_nonlinConvCoef = 0;
	/*! Stability-limit detection of the BDF method. */
	bool	m_stabLimDet = false;

private:
	std::unique_ptr<IntegratorSundialsCVODEImpl>	m_impl;
};

/*! For C callbacks that run inside CVODE for an integrator (userData: CVODE's user data of that
	integrator): called in a catch block, it keeps the exception being handled so that step()
	rethrows it once CVODE has returned, and returns CVODE's unrecoverable failure code -1.
	C++ exceptions must never unwind through CVODE's C code. */
int IntegratorSundialsCVODE_keepException(void * userData) noexcept;

} // namespace KADRIX

#endif // KADRIX_IntegratorSundialsCVODEH
