#include "KADRIX_IntegratorImplicitEuler.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <locale>
#include <ostream>

#include "KADRIX_JacobianInterface.h"
#include "KADRIX_LESADI.h"
#include "KADRIX_LESInterface.h"
#include "KADRIX_PrecondInterface.h"
#include "sundials_timer.h"
#include "ZEBMKC_vector_operations.h"
#include "ZEB_Exception.h"
#include "ZEB_FileUtils.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Time.h"

namespace KADRIX {

namespace {

const char * const LOC_INIT = "[IntegratorImplicitEuler::init]";
const char * const LOC_STEP = "[IntegratorImplicitEuler::step]";
const char * const LOC_NEWTON = "[IntegratorImplicitEuler::newtonIteration]";
const char * const LOC_ERRORTEST = "[IntegratorImplicitEuler::errorTest()]";

/*! Residual norm of the predictor above which the step is halved before any Newton iteration. */
const double MAX_PREDICTOR_RESIDUAL_NORM = 300000;
/*! Newton increments with a larger norm count as divergence. */
const double MAX_DELTA_NORM = 10000;
/*! A step that would end closer than this fraction of its size before the stop time is
	stretched to it, so that no sliver step below rounding level is left. */
const double STOP_TIME_STRETCH = 1e-3;

// The iteration table and the warnings of failed attempts are verbosity-3 messages; they are
// formatted (which allocates) only when someone will see them.
bool level3Shown() {
	const ZEB::MessageHandler * h = ZEB::MessageHandlerRegistry::instance().currentHandler();
	return h != nullptr && (h->consoleVerbosityLevel() >= 3 || h->logfileVerbosityLevel() >= 3);
}

void warning3(const ZEB::FormatString & text, const char * location) {
	ZEB::ZEB_Message(text, ZEB::MSG_WARNING, location, 3);
}

// Step sizes below 1e-5 s in scientific, others in fixed notation.
void writeStepSize(std::ostream & out, double dt) {
	if (dt < 1e-5)
		out << std::setw(14) << std::right << std::scientific << std::setprecision(8) << dt;
	else
		out << std::setw(14) << std::right << std::fixed << std::setprecision(6) << dt;
}

} // namespace


void IntegratorImplicitEuler::init(ModelInterface * model, double t0, const double * y0, LESInterface * lesSolver,
								   PrecondInterface * precond, JacobianInterface * jacobian)
{
	ZEB::ZEB_Message(ZEB::FormatString("Initializing Implicit Euler integrator\n"), ZEB::MSG_PROGRESS, LOC_INIT, 1);
	if (lesSolver == nullptr)
		throw ZEB::Exception("Expected valid pointer to LES-solver object.", LOC_INIT);
	if (model == nullptr)
		throw ZEB::Exception("Expected valid pointer to model object.", LOC_INIT);

	m_model = model;
	m_lesSolver = lesSolver;
	m_precond = precond;
	m_t = t0;
	const double dt0 = model->dt0();
	if (!(m_dtMax > 0))
		throw ZEB::Exception(ZEB::FormatString("Invalid maximum step size %1 s.").arg(m_dtMax), LOC_INIT);
	if (!(dt0 > 0))
		throw ZEB::Exception(ZEB::FormatString("Invalid initial step size %1 s.").arg(dt0), LOC_INIT);
	m_dt = m_dtNext = m_dtJac = std::min(dt0, m_dtMax);
	m_n = model->n();
	for (std::vector<double> * v : {&m_y, &m_ydot, &m_yn, &m_ydotn, &m_yPred, &m_yLastStart, &m_weights, &m_errEst,
									&m_residuals, &m_delta, &m_yOutBuf})
		v->assign(m_n, 0.0);
	ZEBMK::vector_copy(m_n, y0, m_y.data());
	// before the first step every time interpolates to the initial state
	ZEBMK::vector_copy(m_n, y0, m_yn.data());

	m_counters = Counters();
	if (model->setTime(t0) != ModelInterface::CalculationSuccess)
		throw ZEB::Exception("Error initializing the model in setTime(): failed setting the start time.", LOC_INIT);
	if (model->setY(m_y.data()) != ModelInterface::CalculationSuccess)
		throw ZEB::Exception("Error initializing the model in setY(): failed setting the initial states.", LOC_INIT);
	const ModelInterface::CalculationResult res = model->ydot(m_ydot.data());
	++m_counters.m_nRhsEvals;
	if (res != ModelInterface::CalculationSuccess)
		throw ZEB::Exception("Error initializing the model in ydot(): failed setting the initial states.", LOC_INIT);

	if (!m_absTolVec.empty() && m_absTolVec.size() != m_n)
		throw ZEB::Exception("Invalid size of absTolVec.", LOC_INIT);

	ZEB::ZEB_Message(ZEB::FormatString("Setting NonlinConvCoef to %1.\n").arg(m_nonlinConvCoef),
					 ZEB::MSG_PROGRESS, LOC_INIT, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Setting MaxNonLinIters to %1.\n").arg(m_maxNonLinIters),
					 ZEB::MSG_PROGRESS, LOC_INIT, 1);

	if (jacobian != nullptr)
		jacobian->setTimers(&m_timers);
	lesSolver->init(model, this, precond, jacobian);
	if (jacobian != nullptr)
		jacobian->init(model);
	if (precond != nullptr)
		precond->init(model, this, jacobian);

	m_nItersThisAttempt = 0;
	m_nStepsSinceJacUpdate = 0;
	m_retryWithNewJac = false;
	m_jacUpdateNeeded = false;
	m_jacUpdatedThisStep = false;
	m_limitedByStopTime = false;
	m_convRate = 1;
	m_errNorm = 0;
	m_residualNorm = 0;
	m_maxStepFactor = 10;
	TimerSumResetAll(&m_timers);
	m_stopWatch.start();
}


void IntegratorImplicitEuler::handleErrors(ModelInterface::CalculationResult result) const {
	if (result != ModelInterface::CalculationSuccess && result != ModelInterface::CalculationRecoverableError)
		throw ZEB::Exception("Aborting simulation (signaled from within model).", "[IntegratorImplicitEuler::handleErrors]");
}


void IntegratorImplicitEuler::evaluateModel() {
	handleErrors(m_model->setY(m_y.data()));
	handleErrors(m_model->ydot(m_ydot.data()));
	++m_counters.m_nRhsEvals;

	// residuals = y - yn - dt ydot
	ZEBMK::vector_linear_sum(m_n, m_y.data(), m_yn.data(), m_residuals.data(), 1.0, -1.0);
	ZEBMK::vector_add(m_n, m_ydot.data(), m_residuals.data(), -m_dt);

	if (m_model->hasErrorWeightsFunction())
		m_model->calculateErrorWeights(m_y.data(), m_weights.data());
	else if (!m_absTolVec.empty()) {
		for (unsigned int i = 0; i < m_n; ++i)
			m_weights[i] = 1.0 / (std::fabs(m_y[i]) * m_relTol + m_absTolVec[i]);
	}
	else {
		for (unsigned int i = 0; i < m_n; ++i)
			m_weights[i] = 1.0 / (std::fabs(m_y[i]) * m_relTol + m_absTol);
	}
	m_residualNorm = WRMSNorm(m_residuals);
}


double IntegratorImplicitEuler::WRMSNorm(const std::vector<double> & v) const {
	if (m_n == 0)
		return 0;
	double sum = 0;
	for (unsigned int i = 0; i < m_n; ++i) {
		const double wv = m_weights[i] * v[i];
		sum += wv * wv;
	}
	return std::sqrt(sum / m_n);
}


int IntegratorImplicitEuler::step() {
	if (m_stopTime != 0 && m_t >= m_stopTime)
		throw ZEB::Exception(ZEB::FormatString("Stop time %1 s already reached (t = %2 s).").arg(m_stopTime).arg(m_t),
							 LOC_STEP);

	// the last accepted solution becomes the start of the new step
	ZEBMK::vector_copy(m_n, m_yn.data(), m_yLastStart.data());
	m_y.swap(m_yn);
	m_ydot.swap(m_ydotn);
	m_maxStepFactor = 10;

	if (m_model->takeJacobianUpdateRequest())
		m_retryWithNewJac = true;

	const double dtLast = m_dt;
	double tNew = m_t;
	try {
		attemptStep(tNew);
	}
	catch (...) {
		// a failed step leaves the last accepted step as it was: its end state at t() and its
		// start state for interpolation
		m_y.swap(m_yn);
		m_ydot.swap(m_ydotn);
		ZEBMK::vector_copy(m_n, m_yLastStart.data(), m_yn.data());
		m_dt = dtLast;
		throw;
	}

	// a step cut short by the stop time has not tried the proposed size: keep the proposal
	if (!m_limitedByStopTime)
		adjustTimeStep();
	m_t = tNew;
	++m_counters.m_nSteps;
	return StepSuccess;
}


void IntegratorImplicitEuler::attemptStep(double & tNew) {
	for (;;) {
		m_nItersThisAttempt = 0;
		m_dt = m_dtNext;
		tNew = m_t + m_dt;
		m_limitedByStopTime = false;
		// a sliver left before the stop time is taken into the step, within the largest step size
		if (m_stopTime != 0 && m_stopTime - m_t <= std::min(m_dt * (1 + STOP_TIME_STRETCH), m_dtMax)) {
			m_dt = m_stopTime - m_t;
			tNew = m_stopTime;
			m_limitedByStopTime = true;
		}
		handleErrors(m_model->setTime(tNew));

		// explicit-Euler predictor
		ZEBMK::vector_linear_sum(m_n, m_yn.data(), m_ydotn.data(), m_y.data(), 1.0, m_dt);
		ZEBMK::vector_copy(m_n, m_y.data(), m_yPred.data());

		TimerStart(&m_timers, FEVAL);
		evaluateModel();
		TimerStop(&m_timers, FEVAL);
		writeIterationStats(0, 0, 0);

		if (m_residualNorm > MAX_PREDICTOR_RESIDUAL_NORM) {
			if (level3Shown())
				warning3(ZEB::FormatString("Reducing time step, residual of extrapolation was  %1.").arg(m_residualNorm),
						 LOC_STEP);
			decreaseTimeStepNonLinearFailure();
			continue;
		}

		const int result = tryStep();
		if (result == 0) {
			if (errorTest())
				break;
		}
		else if (result == 1)
			m_retryWithNewJac = true;
		else
			decreaseTimeStepNonLinearFailure();
	}
}


bool IntegratorImplicitEuler::setupIterationMatrix() {
	const char * const location = "[IntegratorImplicitEuler::setupIterationMatrix]";
	++m_counters.m_nLinSetups;
	try {
		m_lesSolver->setup(m_y.data(), m_ydot.data(), nullptr, m_dt);
	}
	catch (const LESSetupError & ex) {
		if (!ex.recoverable())
			throw ZEB::Exception(ex, ZEB::FormatString("Cannot set up the linear equation solver at t = %1 s.")
								 .arg(m_t + m_dt), location);
		// counted and handled like a convergence failure; the failed factors are never used
		++m_counters.m_nNewtonConvFails;
		m_retryWithNewJac = true;
		if (level3Shown())
			warning3(ZEB::FormatString("Setup of the linear equation solver failed (%1), reducing time step!")
					 .arg(ex.what()), location);
		return false;
	}
	m_jacUpdatedThisStep = true;
	m_nStepsSinceJacUpdate = 0;
	m_dtJac = m_dt;
	return true;
}


int IntegratorImplicitEuler::tryStep() {
	// The ADI solver only approximates M: one linearly implicit correction of the predictor per
	// attempt, with M set up at the start of the step; the error test then judges the correction.
	if (dynamic_cast<LESADI *>(m_lesSolver) != nullptr) {
		TimerStart(&m_timers, LS_SETUP);
		m_lesSolver->setup(m_yn.data(), m_ydot.data(), nullptr, m_dt);
		TimerStop(&m_timers, LS_SETUP);
		++m_counters.m_nLinSetups;
		m_dtJac = m_dt;
		ZEBMK::vector_scale(m_n, m_residuals.data(), m_delta.data(), -1.0);
		TimerStart(&m_timers, LS_SOLVE);
		m_lesSolver->solve(m_delta.data());
		TimerStop(&m_timers, LS_SOLVE);
		++m_counters.m_nNewtonIters;
		ZEBMK::vector_add(m_n, m_delta.data(), m_y.data(), 1.0);
		ZEBMK::vector_linear_sum(m_n, m_y.data(), m_yn.data(), m_ydot.data(), 1.0 / m_dt, -1.0 / m_dt);
		return 0;
	}

	m_jacUpdatedThisStep = false;
	determineJacobianUpdate();
	m_retryWithNewJac = false;

	if (m_jacUpdateNeeded) {
		TimerStart(&m_timers, LS_SETUP);
		const bool ready = setupIterationMatrix();
		TimerStop(&m_timers, LS_SETUP);
		if (!ready)
			return 2;
		m_convRate = 1.0;
	}

	const int result = newtonIteration();
	if (result != 0)
		return result;

	// ydot = (y - yn)/dt, consistent with the accepted solution
	ZEBMK::vector_linear_sum(m_n, m_y.data(), m_yn.data(), m_ydot.data(), 1.0 / m_dt, -1.0 / m_dt);
	return 0;
}


void IntegratorImplicitEuler::determineJacobianUpdate() {
	m_jacUpdateNeeded = m_counters.m_nNewtonIters == 0
			|| m_jacUpdateMode > 0
			|| m_retryWithNewJac
			|| m_dt / m_dtJac > 1.3
			|| m_dtJac / m_dt > 1.3
			|| (m_nStepsSinceJacUpdate > 200 && m_dt != m_dtJac);
}


int IntegratorImplicitEuler::newtonIteration() {
	double prevDeltaNorm = 1.0;
	double prevResNorm = m_residualNorm;
	for (;;) {
		ZEBMK::vector_scale(m_n, m_residuals.data(), m_delta.data(), -1.0);
		TimerStart(&m_timers, LS_SOLVE);
		m_lesSolver->solve(m_delta.data());
		TimerStop(&m_timers, LS_SOLVE);
		++m_counters.m_nNewtonIters;
		++m_nItersThisAttempt;

		// M was set up with another step size
		if (m_dtJac != m_dt)
			ZEBMK::vector_scale_by(static_cast<int>(m_n), m_delta.data(), m_dtJac / m_dt);

		const double deltaNorm = WRMSNorm(m_delta);
		if (deltaNorm > MAX_DELTA_NORM) {
			++m_counters.m_nDivergences;
			if (level3Shown())
				warning3(ZEB::FormatString("Diverging (delta t ratio = %1), residual/delta norms have become too large!")
						 .arg(m_dt / m_dtJac), LOC_NEWTON);
			return m_jacUpdatedThisStep ? 2 : 1;
		}

		ZEBMK::vector_add(m_n, m_delta.data(), m_y.data(), 1.0);
		const double deltaRate = deltaNorm / prevDeltaNorm;
		if (m_nItersThisAttempt > 1)
			m_convRate = std::max(deltaRate, 0.3 * m_convRate);

		const double err = (m_convRate < 1) ? m_convRate * deltaNorm : deltaNorm;
		if (0.5 * err / m_nonlinConvCoef <= 1) {
			writeIterationStats(0, deltaNorm, deltaRate);
			++m_nStepsSinceJacUpdate;
			return 0;
		}

		if (m_nItersThisAttempt >= m_maxNonLinIters) {
			++m_counters.m_nNewtonConvFails;
			m_nItersThisAttempt = 0;
			if (m_jacUpdatedThisStep) {
				if (level3Shown())
					warning3(ZEB::FormatString("Too many Newton iterations, reducing time step!"), LOC_NEWTON);
				return 3;
			}
			m_retryWithNewJac = true;
			if (level3Shown())
				warning3(ZEB::FormatString("Too many Newton iterations (delta t ratio = %1), but we retry with "
										   "Jacobian computed for predicted solution!").arg(m_dt / m_dtJac), LOC_NEWTON);
			return 1;
		}

		TimerStart(&m_timers, FEVAL);
		evaluateModel();
		TimerStop(&m_timers, FEVAL);
		const double resRate = m_residualNorm / prevResNorm;
		writeIterationStats(resRate, deltaNorm, deltaRate);

		if (m_nItersThisAttempt > 3 && resRate > 1 && deltaRate > 1) {
			if (level3Shown())
				warning3(ZEB::FormatString("Diverging (delta t ratio = %1)!").arg(m_dt / m_dtJac), LOC_NEWTON);
			++m_counters.m_nDivergences;
			return m_jacUpdatedThisStep ? 2 : 1;
		}

		if (m_jacUpdateMode == 3 || (m_jacUpdateMode == 2 && m_residualNorm > 0.01)) {
			TimerStart(&m_timers, LS_SETUP);
			const bool ready = setupIterationMatrix();
			TimerStop(&m_timers, LS_SETUP);
			if (!ready)
				return 2;
		}

		prevDeltaNorm = deltaNorm;
		prevResNorm = m_residualNorm;
	}
}


bool IntegratorImplicitEuler::errorTest() {
	double maxWeightedErr = 0;
	unsigned int maxIndex = 0;
	for (unsigned int i = 0; i < m_n; ++i) {
		m_errEst[i] = std::fabs(m_y[i] - m_yPred[i]) * 0.5;
		const double weighted = m_weights[i] * m_errEst[i];
		if (weighted > maxWeightedErr) {
			maxWeightedErr = weighted;
			maxIndex = i;
		}
	}
	m_errNorm = WRMSNorm(m_errEst);
	if (m_errNorm < 1)
		return true;

	++m_counters.m_nErrTestFails;
	if (level3Shown())
		warning3(ZEB::FormatString("Error test failed with |err| = %1 (max = %2 in element %3).")
				 .arg(m_errNorm).arg(maxWeightedErr).arg(maxIndex), LOC_ERRORTEST);
	m_dtNext = m_dt * std::min(0.2, 1.0 / (std::sqrt(6 * m_errNorm) + 1e-6));
	if (m_t + m_dtNext == m_t)
		throw ZEB::Exception("Time step too small (rounding errors occur).", LOC_ERRORTEST);
	m_maxStepFactor = 1;
	return false;
}


void IntegratorImplicitEuler::adjustTimeStep() {
	double f = std::min(m_maxStepFactor, 1.0 / (std::sqrt(6 * m_errNorm) + 1e-6));
	if (f <= 1)
		f = 1;
	if (f > 1 && f < 1.5 && m_nStepsSinceJacUpdate <= 19)
		f = 1;
	m_dtNext = std::min(f * m_dtNext, m_dtMax);
}


void IntegratorImplicitEuler::decreaseTimeStepNonLinearFailure() {
	m_dtNext = 0.5 * m_dt;
	if (m_t + m_dt == m_t)
		throw ZEB::Exception("Time step too small (rounding errors occur).",
							 "[IntegratorImplicitEuler::decreaseTimeStepNonLinearFailure]");
}


const double * IntegratorImplicitEuler::yOut(double t) const {
	if (t == m_t)
		return m_y.data();
	const double w = (m_t - std::min(m_t, t)) / m_dt;
	ZEBMK::vector_linear_sum(m_n, m_yn.data(), m_y.data(), m_yOutBuf.data(), w, 1 - w);
	return m_yOutBuf.data();
}


void IntegratorImplicitEuler::writeIterationStats(double resRate, double deltaNorm, double deltaRate) const {
	if (!level3Shown())
		return;
	const char * const location = "[IntegratorImplicitEuler::writeIterationStats]";
	if (m_counters.m_nSteps == 0 && m_counters.m_nNewtonIters == 0) {
		ZEB::ZEB_Message(ZEB::FormatString("%1%2%3%4%5%6%7%8%9%10%11%12\n")
						 .arg("Steps ", 8).arg("TIters ", 8).arg("t_{n+1} ", 16).arg("dt ", 14)
						 .arg("NIters ", 8).arg("NItJac ", 8).arg("NStepsJac ", 10).arg("JacCurrent ", 11)
						 .arg("ResNorm ", 14).arg("CRateRes ", 14).arg("DeltaNorm ", 14).arg("CRateDelta ", 14),
						 ZEB::MSG_PROGRESS, location, 3);
	}
	ZEB::ZEB_Message(ZEB::FormatString("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 \n")
					 .arg(m_counters.m_nSteps, 7).arg(m_counters.m_nNewtonIters, 7)
					 .arg(ZEB::Time::format_time_difference(m_t + m_dt), 15)
					 .arg(m_dt, 13, 'e', 5).arg(m_nItersThisAttempt, 7).arg(0, 7).arg(m_nStepsSinceJacUpdate, 9)
					 .arg(m_jacUpdatedThisStep ? 1 : 0, 10).arg(m_residualNorm, 13, 'e', 5)
					 .arg(resRate, 13, 'e', 5).arg(deltaNorm, 13, 'e', 5).arg(deltaRate, 13, 'e', 5),
					 ZEB::MSG_PROGRESS, location, 3);
}


void IntegratorImplicitEuler::writeStatisticsHeader(const ZEB::Path & logfilePath, bool doRestart) {
	// a run that keeps statistics reports its timings too
	enableTimers(true);
	const ZEB::Path file = logfilePath / "integrator_ImplicitEuler_stats.tsv";
	m_statsStream.reset(ZEB::create_ofstream(file, doRestart ? std::ios_base::app : std::ios_base::trunc));
	if (!m_statsStream->good()) {
		m_statsStream.reset();
		throw ZEB::Exception(ZEB::FormatString("Cannot open statistics file '%1'.").arg(file),
							 "[IntegratorImplicitEuler::writeStatisticsHeader]");
	}
	m_statsStream->imbue(std::locale::classic());
	if (doRestart)
		return;
	std::ostream & out = *m_statsStream;
	out << std::right
		<< std::setw(25) << "Time [s]" << '\t'
		<< std::setw(10) << "Steps" << '\t'
		<< std::setw(10) << "RhsEvals" << '\t'
		<< std::setw(11) << "NJacEvals" << '\t'
		<< std::setw(8) << "NIters" << '\t'
		<< std::setw(11) << "NDiverged" << '\t'
		<< std::setw(11) << "NConvFails" << '\t'
		<< std::setw(11) << "NErrFails" << '\t'
		<< std::setw(14) << "StepSize [s]" << std::endl;
}


void IntegratorImplicitEuler::writeStatistics() {
	if (m_statsStream == nullptr)
		return;
	std::ostream & out = *m_statsStream;
	out << std::right << std::fixed << std::setprecision(4)
		<< std::setw(25) << m_t << '\t'
		<< std::setw(10) << m_counters.m_nSteps << '\t'
		<< std::setw(10) << m_counters.m_nRhsEvals << '\t'
		<< std::setw(11) << m_counters.m_nLinSetups << '\t'
		<< std::setw(8) << m_counters.m_nNewtonIters << '\t'
		<< std::setw(11) << m_counters.m_nDivergences << '\t'
		<< std::setw(11) << m_counters.m_nNewtonConvFails << '\t'
		<< std::setw(11) << m_counters.m_nErrTestFails << '\t';
	writeStepSize(out, m_dt);
	out << std::endl;
}


void IntegratorImplicitEuler::writeMetrics(double elapsedSeconds, std::ostream * metricsFile) {
	const char * const location = "[IntegratorImplicitEuler::writeMetrics]";
	const std::string unit = ZEB::Time::suitableTimeUnit(elapsedSeconds);
	const Counters & c = m_counters;
	const unsigned int convFails = c.m_nNewtonConvFails + c.m_nDivergences;
	auto count = [location](const char * text, unsigned int value) {
		ZEB::ZEB_Message(ZEB::FormatString(text).arg(value, 8), ZEB::MSG_PROGRESS, location, 1);
	};
	auto timed = [&](const char * text, int slot, unsigned int value) {
		// no share of a run that took no measurable time
		const double percent = elapsedSeconds > 0 ? TimerSum(&m_timers, slot) / elapsedSeconds * 100 : 0.0;
		ZEB::ZEB_Message(ZEB::FormatString(text)
						 .arg(ZEB::Time::format_time_difference(TimerSum(&m_timers, slot), unit, true), 13)
						 .arg(percent, 5, 'f', 2)
						 .arg(value, 8), ZEB::MSG_PROGRESS, location, 1);
	};
	count("Integrator: Steps                          =                          %1\n", c.m_nSteps);
	count("Integrator: Newton iterations              =                          %1\n", c.m_nNewtonIters);
	count("Integrator: Newton convergence failures    =                          %1\n", convFails);
	count("Integrator: Error test failures            =                          %1\n", c.m_nErrTestFails);
	timed("Integrator: Function evaluation (Newton)   = %1 (%2 %%)  %3\n", FEVAL, c.m_nRhsEvals);
	timed("Integrator: LES setup                      = %1 (%2 %%)  %3\n", LS_SETUP, c.m_nLinSetups);
	timed("Integrator: LES solve                      = %1 (%2 %%)  %3\n", LS_SOLVE, c.m_nNewtonIters);
	if (metricsFile == nullptr)
		return;
	std::ostream & out = *metricsFile;
	out << "IntegratorSteps=" << c.m_nSteps << std::endl;
	out << "IntegratorNewtonConvFails=" << convFails << std::endl;
	out << "IntegratorErrorTestFails=" << c.m_nErrTestFails << std::endl;
	out << "IntegratorFunctionEvals=" << c.m_nRhsEvals << std::endl;
	out << "IntegratorTimeFunctionEvals=" << TimerSum(&m_timers, FEVAL) << std::endl;
	out << "IntegratorLESSetup=" << c.m_nLinSetups << std::endl;
	out << "IntegratorTimeLESSetup=" << TimerSum(&m_timers, LS_SETUP) << std::endl;
	out << "IntegratorLESSolve=" << c.m_nNewtonIters << std::endl;
	out << "IntegratorTimeLESSolve=" << TimerSum(&m_timers, LS_SOLVE) << std::endl;
}

} // namespace KADRIX
