#include "ModelExchangeCVODE.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include <cvode/cvode.h>
#include <nvector/nvector_serial.h>
#include <sunlinsol/sunlinsol_dense.h>
#include <sunmatrix/sunmatrix_dense.h>

namespace {

/*! "%g" of a time, for messages. */
std::string timeText(double t) {
	char text[32];
	std::snprintf(text, sizeof(text), "%g", t);
	return text;
}

/*! A host gives up an event iteration that does not settle after this many rounds. */
const int MaxDiscreteStateIterations = 100;

} // namespace


struct ModelExchangeCVODE::Callbacks {
	static int rhs(double t, N_Vector y, N_Vector ydot, void * userData) {
		ModelExchangeCVODE & host = *static_cast<ModelExchangeCVODE *>(userData);
		try {
			host.setTimeAndStates(t, N_VGetArrayPointer(y));
			const fmi2Status status = host.m_fmi.fmi2GetDerivatives(host.m_c, N_VGetArrayPointer(ydot), host.m_n);
			// a discarded evaluation (non-finite derivatives at a trial state) lets CVODE retry with a smaller step
			if (status == fmi2Discard)
				return 1;
			host.check(status, "fmi2GetDerivatives", t);
		}
		catch (const std::exception & ex) {
			host.m_callbackFailure = ex.what();
			return -1;
		}
		return 0;
	}

	static int eventIndicators(double t, N_Vector y, double * z, void * userData) {
		ModelExchangeCVODE & host = *static_cast<ModelExchangeCVODE *>(userData);
		try {
			host.setTimeAndStates(t, N_VGetArrayPointer(y));
			host.check(host.m_fmi.fmi2GetEventIndicators(host.m_c, z, host.m_nz), "fmi2GetEventIndicators", t);
		}
		catch (const std::exception & ex) {
			host.m_callbackFailure = ex.what();
			return -1;
		}
		return 0;
	}

	static void errorHandler(int, const char *, const char *, char * msg, void * userData) {
		// kept for the failure's text instead of being printed
		static_cast<ModelExchangeCVODE *>(userData)->m_solverMessage = msg;
	}
};


ModelExchangeCVODE::ModelExchangeCVODE(const ModelExchangeFunctions & fmi, fmi2Component c, std::size_t nStates,
									   std::size_t nEventIndicators, double t0, double tStop, double relTol, long maxSteps,
									   Restart restart) :
	m_fmi(fmi),
	m_c(c),
	m_n(nStates),
	m_nz(nEventIndicators),
	m_relTol(relTol),
	m_tStop(tStop),
	m_restart(restart),
	m_t(t0),
	m_nextEventTime(std::numeric_limits<double>::infinity()),
	m_nominals(nStates)
{
	try {
		if (SUNContext_Create(nullptr, &m_context) != 0)
			throw std::runtime_error("cannot create the SUNDIALS context");
		const sunindextype n = static_cast<sunindextype>(m_n);
		m_yVector = N_VNew_Serial(n, m_context);
		m_absTol = N_VNew_Serial(n, m_context);
		m_matrix = SUNDenseMatrix(n, n, m_context);
		m_linearSolver = m_matrix != nullptr && m_yVector != nullptr
						 ? SUNLinSol_Dense(m_yVector, m_matrix, m_context) : nullptr;
		m_cvode = CVodeCreate(CV_BDF, m_context);
		if (m_yVector == nullptr || m_absTol == nullptr || m_linearSolver == nullptr || m_cvode == nullptr)
			throw std::runtime_error("cannot create the CVODE solver");

		settleDiscreteStates(t0);
		check(m_fmi.fmi2GetContinuousStates(m_c, N_VGetArrayPointer(m_yVector), m_n), "fmi2GetContinuousStates", t0);
		checkSolver(CVodeSetErrHandlerFn(m_cvode, &Callbacks::errorHandler, this), "CVodeSetErrHandlerFn");
		checkSolver(CVodeInit(m_cvode, &Callbacks::rhs, t0, m_yVector), "CVodeInit");
		checkSolver(CVodeSetUserData(m_cvode, this), "CVodeSetUserData");
		updateTolerances(t0);
		checkSolver(CVodeSetLinearSolver(m_cvode, m_linearSolver, m_matrix), "CVodeSetLinearSolver");
		// a negative limit switches CVODE's test off
		checkSolver(CVodeSetMaxNumSteps(m_cvode, maxSteps > 0 ? maxSteps : -1), "CVodeSetMaxNumSteps");
		updateStopTime();
		if (m_nz > 0)
			checkSolver(CVodeRootInit(m_cvode, static_cast<int>(m_nz), &Callbacks::eventIndicators), "CVodeRootInit");
	}
	catch (...) {
		release();
		throw;
	}
}


ModelExchangeCVODE::~ModelExchangeCVODE() {
	release();
}


void ModelExchangeCVODE::release() {
	// the solver before the linear solver and matrix it was given, the context last
	CVodeFree(&m_cvode);
	if (m_linearSolver != nullptr)
		SUNLinSolFree(m_linearSolver);
	if (m_matrix != nullptr)
		SUNMatDestroy(m_matrix);
	if (m_absTol != nullptr)
		N_VDestroy(m_absTol);
	if (m_yVector != nullptr)
		N_VDestroy(m_yVector);
	if (m_context != nullptr)
		SUNContext_Free(&m_context);
	m_linearSolver = nullptr;
	m_matrix = nullptr;
	m_absTol = m_yVector = nullptr;
}


void ModelExchangeCVODE::advance(double tOut) {
	double * y = N_VGetArrayPointer(m_yVector);
	// the host's time: where the solver last returned or the last event was
	double t = m_t;
	bool eventAtOutput = false;
	for (;;) {
		// a solver that carried on past an event may lie beyond the next time event already: it
		// then returns there at once, interpolated
		const int flag = CVode(m_cvode, std::min(tOut, m_nextEventTime), m_yVector, &t, CV_NORMAL);
		checkSolver(flag, "CVode");
		const bool timeEvent = t >= m_nextEventTime;
		m_timeEvents += timeEvent ? 1 : 0;
		const bool event = timeEvent || flag == CV_ROOT_RETURN;
		// the step at the output point is completed before its event is handled
		if (t >= tOut) {
			eventAtOutput = event;
			break;
		}
		if (event)
			handleEvent(t);
	}
	m_t = tOut;
	setTimeAndStates(tOut, y);
	fmi2Boolean enterEventMode = fmi2False;
	fmi2Boolean terminate = fmi2False;
	check(m_fmi.fmi2CompletedIntegratorStep(m_c, fmi2True, &enterEventMode, &terminate),
		  "fmi2CompletedIntegratorStep", tOut);
	if (terminate == fmi2True)
		throw std::runtime_error("the FMU ended the simulation at t = " + timeText(tOut) + " s");
	// a time event at the output point, which the completed step there asks for again, is one
	// event, a time event
	m_stepEvents += enterEventMode == fmi2True && !eventAtOutput ? 1 : 0;
	if (eventAtOutput || enterEventMode == fmi2True)
		handleEvent(tOut);
}


void ModelExchangeCVODE::handleEvent(double t) {
	double * y = N_VGetArrayPointer(m_yVector);
	setTimeAndStates(t, y);
	check(m_fmi.fmi2EnterEventMode(m_c), "fmi2EnterEventMode", t);
	const fmi2EventInfo info = settleDiscreteStates(t);
	if (info.valuesOfContinuousStatesChanged == fmi2True)
		check(m_fmi.fmi2GetContinuousStates(m_c, y, m_n), "fmi2GetContinuousStates", t);
	if (info.nominalsOfContinuousStatesChanged == fmi2True)
		updateTolerances(t);
	if (m_restart == Restart::AfterEveryEvent || info.valuesOfContinuousStatesChanged == fmi2True ||
		info.nominalsOfContinuousStatesChanged == fmi2True)
	{
		m_done = m_done + solverCounters();
		checkSolver(CVodeReInit(m_cvode, t, m_yVector), "CVodeReInit");
	}
	else
		++m_eventsWithoutRestart;
	updateStopTime();
	++m_events;
}


fmi2EventInfo ModelExchangeCVODE::settleDiscreteStates(double t) {
	fmi2EventInfo info{};
	info.newDiscreteStatesNeeded = fmi2True;
	for (int i = 0; info.newDiscreteStatesNeeded == fmi2True; ++i) {
		if (i == MaxDiscreteStateIterations)
			throw std::runtime_error("the FMU's discrete states do not settle at t = " + timeText(t) + " s");
		check(m_fmi.fmi2NewDiscreteStates(m_c, &info), "fmi2NewDiscreteStates", t);
		if (info.terminateSimulation == fmi2True)
			throw std::runtime_error("the FMU ended the simulation at t = " + timeText(t) + " s");
	}
	m_nextEventTime = std::numeric_limits<double>::infinity();
	if (info.nextEventTimeDefined == fmi2True) {
		if (!(info.nextEventTime > t))
			throw std::runtime_error("the FMU announces its next time event at t = " + timeText(info.nextEventTime) +
									 " s, not after the event at t = " + timeText(t) + " s");
		m_nextEventTime = info.nextEventTime;
	}
	check(m_fmi.fmi2EnterContinuousTimeMode(m_c), "fmi2EnterContinuousTimeMode", t);
	return info;
}


void ModelExchangeCVODE::updateStopTime() {
	double tSolver = 0;
	checkSolver(CVodeGetCurrentTime(m_cvode, &tSolver), "CVodeGetCurrentTime");
	// a solver that carried on past an event may have passed the next time event, which advance()
	// then takes from its interpolation
	const double tEnd = m_nextEventTime > tSolver ? std::min(m_nextEventTime, m_tStop) : m_tStop;
	checkSolver(CVodeSetStopTime(m_cvode, tEnd), "CVodeSetStopTime");
}


void ModelExchangeCVODE::setTimeAndStates(double t, const double * y) {
	check(m_fmi.fmi2SetTime(m_c, t), "fmi2SetTime", t);
	check(m_fmi.fmi2SetContinuousStates(m_c, y, m_n), "fmi2SetContinuousStates", t);
}


void ModelExchangeCVODE::updateTolerances(double t) {
	check(m_fmi.fmi2GetNominalsOfContinuousStates(m_c, m_nominals.data(), m_n), "fmi2GetNominalsOfContinuousStates", t);
	double * absTol = N_VGetArrayPointer(m_absTol);
	for (std::size_t i = 0; i < m_n; ++i)
		absTol[i] = m_nominals[i]*m_relTol;
	checkSolver(CVodeSVtolerances(m_cvode, m_relTol, m_absTol), "CVodeSVtolerances");
}


ModelExchangeCVODE::Counters ModelExchangeCVODE::Counters::operator+(const Counters & other) const {
	return Counters{m_steps + other.m_steps, m_rhsEvaluations + other.m_rhsEvaluations,
					m_jacobians + other.m_jacobians, m_errorTestFailures + other.m_errorTestFailures};
}


ModelExchangeCVODE::Counters ModelExchangeCVODE::solverCounters() const {
	long rhs = 0, rhsJacobian = 0;
	Counters c;
	CVodeGetNumSteps(m_cvode, &c.m_steps);
	CVodeGetNumRhsEvals(m_cvode, &rhs);
	CVodeGetNumLinRhsEvals(m_cvode, &rhsJacobian);
	CVodeGetNumJacEvals(m_cvode, &c.m_jacobians);
	CVodeGetNumErrTestFails(m_cvode, &c.m_errorTestFailures);
	c.m_rhsEvaluations = rhs + rhsJacobian;
	return c;
}


std::string ModelExchangeCVODE::statistics() const {
	const Counters all = m_done + solverCounters();
	char text[300];
	std::snprintf(text, sizeof(text), "%ld steps, %ld right-hand sides, %ld Jacobians, %ld error test failures, "
				  "%ld events (%ld of them step events, %ld time events; %ld without a restart)", all.m_steps,
				  all.m_rhsEvaluations, all.m_jacobians, all.m_errorTestFailures, m_events, m_stepEvents, m_timeEvents,
				  m_eventsWithoutRestart);
	return text;
}


void ModelExchangeCVODE::check(fmi2Status status, const char * call, double t) const {
	if (status != fmi2OK && status != fmi2Warning)
		throw std::runtime_error(std::string(call) + " failed at t = " + timeText(t) + " s");
}


void ModelExchangeCVODE::checkSolver(int flag, const char * call) const {
	if (flag >= 0)
		return;
	if (!m_callbackFailure.empty())
		throw std::runtime_error(m_callbackFailure);
	double t = 0;
	CVodeGetCurrentTime(m_cvode, &t);
	std::string message = m_solverMessage.empty() ? std::string("flag ") + std::to_string(flag) : m_solverMessage;
	throw std::runtime_error(std::string(call) + " gave up at t = " + timeText(t) + " s: " + message);
}
