#ifndef KADRIX_IntegratorImplicitEulerH
#define KADRIX_IntegratorImplicitEulerH

#include <fstream>
#include <memory>
#include <vector>

#include "KADRIX_IntegratorErrorControlled.h"
#include "KADRIX_ModelInterface.h"
#include "ZEB_StopWatch.h"

namespace KADRIX {

/*! First-order implicit (backward) Euler integrator with adaptive step size.

	Each step solves G(y) = y - y_n - dt f(t_n + dt, y) = 0 by a modified Newton iteration whose
	linear systems go to the linear equation solver; the iteration matrix M = I - dt J is set up
	only when the update policy asks for it. The local error is estimated from the distance
	between the Newton solution and the explicit-Euler predictor. A step that would cross the
	stop time, or end within 0.1 % of its size before it, is made to end exactly there.

	Model, linear equation solver and preconditioner are not owned; the integrator owns its
	vectors (all sized by init(), nothing is allocated while stepping) and its statistics file.
	Failures throw ZEB::Exception; step() never returns a failure value. No snapshot support.
	Messages of verbosity 3 (iteration table, step-size warnings) are only formatted when the
	current message handler shows that level on its console or in its log file.
*/
class IntegratorImplicitEuler : public IntegratorErrorControlled {
public:
	/*! Run counters, as written to the statistics file and the metrics. */
	struct Counters {
		unsigned int	m_nSteps = 0;
		unsigned int	m_nRhsEvals = 0;
		/*! Newton iterations, one linear solve each. */
		unsigned int	m_nNewtonIters = 0;
		unsigned int	m_nNewtonConvFails = 0;
		unsigned int	m_nErrTestFails = 0;
		unsigned int	m_nDivergences = 0;
		/*! Set-ups of the iteration matrix (= Jacobian evaluations). */
		unsigned int	m_nLinSetups = 0;
	};

	IntegratorImplicitEuler() = default;
	~IntegratorImplicitEuler() override = default;

	IntegratorImplicitEuler(const IntegratorImplicitEuler &) = delete;
	IntegratorImplicitEuler & operator=(const IntegratorImplicitEuler &) = delete;

	const char * identifier() const override { return "Implicit Euler (ODE)"; }
	/*! Evaluates the model at (t0, y0) and initialises the solver objects (linear equation solver,
		then Jacobian generator and preconditioner when not null); starts afresh on every call. */
	void init(ModelInterface * model, double t0, const double * y0, LESInterface * lesSolver,
			  PrecondInterface * precond, JacobianInterface * jacobian) override;
	/*! One accepted step; returns 1. An attempt whose iteration matrix cannot be set up (a
		singular factorisation) is repeated with half the step, like a failed Newton iteration.
		Throws when the stop time is already reached, when the model aborts, when the linear
		equation solver fails beyond recovery and when the step size falls below rounding level;
		t() and yOut(t()) then still give the last accepted state. */
	int step() override;
	double t() const override { return m_t; }
	/*! Size of the last accepted step (before the first step: the first step size) [s]. */
	double dt() const override { return m_dt; }
	/*! The state itself at t(); otherwise linear interpolation over the last step (later times
		give the state at t()). */
	const double * yOut(double t) const override;
	/*! Opens "integrator_ImplicitEuler_stats.tsv" in logfilePath; throws when it cannot be opened. */
	void writeStatisticsHeader(const ZEB::Path & logfilePath, bool doRestart) override;
	/*! Appends one line; nothing while no statistics file is open. */
	void writeStatistics() override;
	void writeMetrics(double elapsedSeconds, std::ostream * metricsFile) override;
	/*! Step size with which the iteration matrix was last set up [s]. */
	virtual double dtJacUpdate() const { return m_dtJac; }

	const Counters & counters() const { return m_counters; }

	/*! Newton iterations allowed per step attempt. */
	unsigned int	m_maxNonLinIters = 3;
	/*! Newton convergence coefficient: converged when half the estimated error norm is below it. */
	double			m_nonlinConvCoef = 0.1;
	/*! 0: set up the iteration matrix only by the step policy; > 0: in every step attempt;
		2: also within the Newton iteration when the residual norm exceeds 0.01;
		3: also after every Newton iteration. */
	int				m_jacUpdateMode = 0;
	/*! Largest step size [s]. */
	double			m_dtMax = 3600.0;

private:
	/*! setY(y), ydot(ydot), then residuals, error weights and residual norm; the time was set before. */
	void evaluateModel();
	/*! Weighted root-mean-square norm with the current error weights; 0 for n = 0. */
	double WRMSNorm(const std::vector<double> & v) const;
	/*! Step attempts until one passes the error test; tNew becomes the time the step reaches [s]. */
	void attemptStep(double & tNew);
	/*! Sets up M when needed and runs the Newton iteration: 0 converged, 1 retry with a new
		iteration matrix, 2 or 3 reduce the step. */
	int tryStep();
	/*! Result as tryStep(). */
	int newtonIteration();
	/*! True when the local error estimate passes; otherwise reduces m_dtNext. */
	bool errorTest();
	/*! Step size proposal after an accepted step. */
	void adjustTimeStep();
	void determineJacobianUpdate();
	/*! Halves the step after a failed Newton iteration; throws below rounding level. */
	void decreaseTimeStepNonLinearFailure();
	/*! Throws for an aborting model evaluation; success and recoverable errors pass. */
	void handleErrors(ModelInterface::CalculationResult result) const;
	/*! Sets up the iteration matrix M = I - dt J at the current iterate. False when the linear
		equation solver reports a failure that a smaller step may cure (the next attempt then sets
		up M again); throws for any other failure. */
	bool setupIterationMatrix();
	/*! One line of the iteration table (with the table header before the first iteration). */
	void writeIterationStats(double resRate, double deltaNorm, double deltaRate) const;

	/*! Not owned. */
	ModelInterface *				m_model = nullptr;
	/*! Not owned. */
	LESInterface *					m_lesSolver = nullptr;
	/*! Not owned; may be null. */
	PrecondInterface *				m_precond = nullptr;
	unsigned int					m_n = 0;
	/*! Time reached t_n [s]. */
	double							m_t = 0;
	/*! Size of the current (or last accepted) step [s]. */
	double							m_dt = 0;
	/*! Proposed size of the next step attempt [s]. */
	double							m_dtNext = 0;
	/*! Step size with which M was last set up [s]. */
	double							m_dtJac = 0;
	/*! WRMS norm of the last local error estimate. */
	double							m_errNorm = 0;
	/*! Limit on step growth for this step: 10 at the start of a step, 1 after a failed error test. */
	double							m_maxStepFactor = 10;
	/*! True when the current attempt was shortened to end at the stop time. */
	bool							m_limitedByStopTime = false;
	bool							m_jacUpdateNeeded = false;
	/*! M was set up during the current step attempt. */
	bool							m_jacUpdatedThisStep = false;
	/*! The next attempt shall set up M again. */
	bool							m_retryWithNewJac = false;
	/*! Estimated Newton convergence rate; 1 after each setup of M. */
	double							m_convRate = 1;
	/*! Current iterate and its derivatives. */
	std::vector<double>				m_y;
	std::vector<double>				m_ydot;
	/*! State and derivatives at the start of the step. */
	std::vector<double>				m_yn;
	std::vector<double>				m_ydotn;
	/*! Explicit-Euler predictor of the step. */
	std::vector<double>				m_yPred;
	/*! Start state of the last accepted step, to interpolate in it again after a failed step. */
	std::vector<double>				m_yLastStart;
	std::vector<double>				m_weights;
	/*! Local error estimate. */
	std::vector<double>				m_errEst;
	/*! G(y). */
	std::vector<double>				m_residuals;
	/*! Newton increment. */
	std::vector<double>				m_delta;
	/*! Target of yOut(). */
	mutable std::vector<double>		m_yOutBuf;
	double							m_residualNorm = 0;
	Counters						m_counters;
	/*! Newton iterations in the current attempt. */
	unsigned int					m_nItersThisAttempt = 0;
	/*! Converged step attempts since the last setup of M. */
	unsigned int					m_nStepsSinceJacUpdate = 0;
	std::unique_ptr<std::ofstream>	m_statsStream;
	/*! Wall-clock time since init(). */
	ZEB::StopWatch					m_stopWatch;
};

} // namespace KADRIX

#endif // KADRIX_IntegratorImplicitEulerH
