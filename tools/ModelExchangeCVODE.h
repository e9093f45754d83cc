#ifndef ModelExchangeCVODEH
#define ModelExchangeCVODEH

#include <cstddef>
#include <string>
#include <vector>

#include <sundials/sundials_context.h>
#include <sundials/sundials_linearsolver.h>
#include <sundials/sundials_matrix.h>
#include <sundials/sundials_nvector.h>

#include "fmi2Functions.h"

/*! The model-exchange functions of a loaded FMU that an integrating host calls. */
struct ModelExchangeFunctions {
	decltype(&::fmi2SetTime)						fmi2SetTime = nullptr;
	decltype(&::fmi2SetContinuousStates)			fmi2SetContinuousStates = nullptr;
	decltype(&::fmi2GetContinuousStates)			fmi2GetContinuousStates = nullptr;
	decltype(&::fmi2GetNominalsOfContinuousStates)	fmi2GetNominalsOfContinuousStates = nullptr;
	decltype(&::fmi2GetDerivatives)					fmi2GetDerivatives = nullptr;
	decltype(&::fmi2GetEventIndicators)				fmi2GetEventIndicators = nullptr;
	decltype(&::fmi2CompletedIntegratorStep)		fmi2CompletedIntegratorStep = nullptr;
	decltype(&::fmi2EnterEventMode)					fmi2EnterEventMode = nullptr;
	decltype(&::fmi2NewDiscreteStates)				fmi2NewDiscreteStates = nullptr;
	decltype(&::fmi2EnterContinuousTimeMode)		fmi2EnterContinuousTimeMode = nullptr;
};

/*! Integrates an FMU's model-exchange interface the way CVODE-based FMI hosts do: BDF with a
	dense linear solver and CVODE's own difference-quotient Jacobian of the FMU's derivatives,
	absolute tolerances of nominal x relative tolerance, CV_NORMAL to each output point with as
	many steps as it takes (hosts commonly give up after 500, which maxSteps can set),
	fmi2CompletedIntegratorStep once per output point (not after every
	internal step), the event indicators root-found, the solver's interval ended at the FMU's
	next time event, and at every time, state or step event: event mode, the
	fmi2NewDiscreteStates loop, continuous-time mode and a restart of the solver (a fresh
	Jacobian) as the restart policy says. Trial points may set the FMU's time backwards.

	The caller owns the FMU instance, which must be initialised (in event mode at the start time)
	and outlive the host; the host owns its SUNDIALS objects and frees them with itself. Failures
	throw std::runtime_error with a one-line text.
*/
class ModelExchangeCVODE {
public:
	/*! When the host restarts its solver after an event. */
	enum class Restart {
		/*! After every event, at the event's time. */
		AfterEveryEvent,
		/*! Only when fmi2NewDiscreteStates reports that the values or the nominals of the
			continuous states changed; otherwise the solver carries on from its own time, which
			may lie past the event, with the history it integrated before the event (as some
			hosts do: test tooling). */
		OnChangedStates
	};

	/*! Takes the FMU, in event mode at t0 [s] after its initialisation, into continuous-time
		mode and starts from its states and nominals; never steps past tStop [s]. With maxSteps
		> 0 it gives up after that many steps towards one output point. */
	ModelExchangeCVODE(const ModelExchangeFunctions & fmi, fmi2Component c, std::size_t nStates,
					   std::size_t nEventIndicators, double t0, double tStop, double relTol, long maxSteps = 0,
					   Restart restart = Restart::AfterEveryEvent);
	~ModelExchangeCVODE();

	ModelExchangeCVODE(const ModelExchangeCVODE &) = delete;
	ModelExchangeCVODE & operator=(const ModelExchangeCVODE &) = delete;

	/*! Integrates to the output point tOut [s] (handling the events on the way), leaves the FMU
		at tOut with the interpolated states and completes the step there. */
	void advance(double tOut);

	/*! Steps, right-hand sides (the Jacobian's included), Jacobians, error test failures and
		events of the whole run. */
	std::string statistics() const;

private:
	/*! The solver's callbacks into the host. */
	struct Callbacks;

	/*! The FMU at time t [s] and states y. */
	void setTimeAndStates(double t, const double * y);
	/*! Event mode at t, the discrete-state loop, continuous-time mode, then a solver restart
		as m_restart says, and the solver's interval ended at the next time event. */
	void handleEvent(double t);
	/*! In event mode at t: fmi2NewDiscreteStates until the FMU needs no more, then continuous-
		time mode. Keeps the next time event; gives the last event info. */
	fmi2EventInfo settleDiscreteStates(double t);
	/*! Ends the solver's interval at the next time event or at the end of the run. */
	void updateStopTime();
	/*! Sets atol = nominal x rtol from the FMU's nominals at t [s]. */
	void updateTolerances(double t);
	/*! The solver's counters since its last (re)start. */
	struct Counters {
		long m_steps = 0;
		long m_rhsEvaluations = 0;
		long m_jacobians = 0;
		long m_errorTestFailures = 0;
		Counters operator+(const Counters & other) const;
	};
	Counters solverCounters() const;
	/*! Frees the SUNDIALS objects. */
	void release();
	/*! Throws unless status is fmi2OK or fmi2Warning. */
	void check(fmi2Status status, const char * call, double t) const;
	/*! Throws for a negative CVODE result, with what went wrong. */
	void checkSolver(int flag, const char * call) const;

	ModelExchangeFunctions	m_fmi;
	fmi2Component			m_c;
	std::size_t				m_n;
	std::size_t				m_nz;
	double					m_relTol;
	/*! The end of the run [s]. */
	double					m_tStop;
	Restart					m_restart;
	/*! The output point reached last [s]. */
	double					m_t;
	/*! The FMU's next time event [s], infinite when it announced none. */
	double					m_nextEventTime;
	std::vector<double>		m_nominals;
	/*! SUNDIALS objects, created and freed together; the context last. */
	SUNContext				m_context = nullptr;
	void *					m_cvode = nullptr;
	N_Vector				m_yVector = nullptr;
	N_Vector				m_absTol = nullptr;
	SUNMatrix				m_matrix = nullptr;
	SUNLinearSolver			m_linearSolver = nullptr;
	/*! The failure of an FMI call inside a solver callback, and CVODE's last error message. */
	std::string				m_callbackFailure;
	std::string				m_solverMessage;
	/*! The counters of the solver runs before the last restart (a restart clears them). */
	Counters				m_done;
	long					m_events = 0;
	/*! Events the FMU asked for in fmi2CompletedIntegratorStep, where no root or time event lay. */
	long					m_stepEvents = 0;
	long					m_timeEvents = 0;
	/*! Events after which the solver carried on without a restart. */
	long					m_eventsWithoutRestart = 0;
};

#endif // ModelExchangeCVODEH
