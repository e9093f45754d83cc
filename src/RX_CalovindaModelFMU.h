#ifndef RX_CalovindaModelFMUH
#define RX_CalovindaModelFMUH

#include <array>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "KADRIX_FMUModelInterface.h"
#include "ZEB_Path.h"

#include "RX_CalovindaModelInterface.h"
#include "RX_Database.h"

namespace RX {

/*! The room model as an FMU sees it: the integrable room model plus the FMU's real variables.

	Starts up from an FMU resource directory, caches the host's real inputs and applies them to
	the room balance, maps the FMU's value references onto model quantities and brings the model
	up to date in model exchange.

	Needs no Qt application object and makes none: every directory comes from the caller, and an
	object made by one instance would belong to that instance's thread in a process where
	instances live on many threads. A host's own object is left as it is, and so is its C locale.
*/
class CalovindaModelFMU : public CalovindaModelInterface, public KADRIX::FMUModelInterface {
public:
	/*! The last values the host set for the real inputs. */
	struct FMUInputCache {
		/*! [W] */
		double m_convectiveThermalLoad = 0;
		/*! [W] */
		double m_radiantThermalLoad = 0;
		/*! [kg/s] */
		double m_waterVaporMassFlowRate = 0;
		/*! [W] */
		double m_waterVaporEnthalpyFlow = 0;
		/*! [kg/s] */
		double m_liquidWaterMassFlowRate = 0;
	};

	CalovindaModelFMU();
	~CalovindaModelFMU() override;

	void setReal(int valueReference, double value) override;
	void getReal(int valueReference, double & value) override;
	/*! Model exchange: stepCompleted(), which raises a controller's gain as far as the room air
		would rest within its band, as co-simulation's steps do; sets m_equationsChanged when a gain or the
		assessment's air change, which the derivatives depend on, changed, when the room air has
		left what is held (a host that does not watch the switching functions gets the switch
		here, one step late), or at or past the announced time event, and then evaluates the
		loads and derivatives at (t, y) anew. Takes the host's output interval and pace. */
	void completedIntegratorStep(double t, const double * y) override;
	/*! Model exchange, event mode, after the update to the host's time and states: updates the
		summer assessment's air change as a completed step does (with the time rules in force from
		now on), holds what switches where the room air lies, raises the controllers' gains where
		they are due (raiseGains()) and evaluates anew when any of that changed.
		True when the right-hand side changed at this event: here, at a time at which a schedule or
		time rule changes, or in the completed step that asked for it. nextEventTime [s] becomes
		the next such time or the end of the air change's dwell, infinity when there is none, and
		no later than the host's solver may run without an event (longestSolverInterval()) where
		its output interval is longer than that. */
	bool newDiscreteStates(double & nextEventTime);
	/*! Model exchange: the switching functions (switchingFunctions()) at the last evaluation,
		each the largest of those with the rules in force, with the rules of the last event and
		with those of every change of the rules passed over since (nextActingRuleChange()). */
	void eventIndicators(double * z);

	/*! The host's pace in model exchange, as its calls show it. The climate's hourly values kink
		on every hour, which no switching function sees: a host's solver steps across them some 25
		times an hour at a relative tolerance of 1e-6 and 50 at 1e-7, and CVODE-based hosts give up
		after 500 steps towards one output point, which may lie a day ahead. They call
		fmi2CompletedIntegratorStep once per output point, and their solver brings the model to a
		new time about once a step. Not part of an FMU state: model exchange has none. */
	struct HostPace {
		/*! How often the host brought the model to a new time. */
		double	m_newTimes = 0;
		/*! [s] The host's last completed step; the model's start before the first. */
		double	m_lastCompletedStep = 0;
		/*! m_newTimes at m_lastCompletedStep. */
		double	m_newTimesAtCompletedStep = 0;
		/*! [s] Time from the host's last completed step but one to its last (its output
			interval); infinity before the first. */
		double	m_outputInterval = std::numeric_limits<double>::infinity();
		/*! [1/s] New times per second in the host's densest recent output interval, halved for
			each day since; 0 before the first completed step. */
		double	m_density = 0;
	};

	/*! New times the host's solver may take between two events (CVODE-based hosts allow 500 steps
		towards an output point; each step takes at least one new time, and some hours of a heavy
		room take three times the rate of the day around them). */
	static constexpr double HOST_STEP_BUDGET = 100;
	/*! The longest time [s] the host's solver runs without an event before its pace is known: the
		first hours of a run take the most steps. */
	static constexpr double FIRST_SOLVER_INTERVAL = 6*3600;

	/*! The longest time [s] the host's solver may run from the model's time without an event, in
		whole hours, at least one: HOST_STEP_BUDGET new times at the host's pace (the densest of
		its recent output intervals and of the time since its last completed step), or
		FIRST_SOLVER_INTERVAL while the pace is unknown. */
	double longestSolverInterval() const;

	/*! The first of the room air temperature and the constructions' surface temperatures of the
		last evaluation that no run of a valid project reaches, not finite or at or below absolute
		zero, named with its value and the model time; empty when there is none. */
	std::string impossibleTemperature() const;

	/*! Reads the project file, loads the climate data from resourceDir, initialises the model and
		evaluates it once without heating, cooling and mechanical ventilation heat. Call once, after
		the linear solver name has been set. Throws ZEB::Exception. */
	void init(const ZEB::Path & projectFile, const ZEB::Path & resourceDir);

	/*! Model exchange: brings the model to time t and state y (n values), recomputing only as far
		as time, states or inputs changed (NaN counts as a change), and counts a new time in
		m_hostPace. Throws ZEB::Exception for a
		negative or non-finite time. */
	void updateIfModified(double t, const double * y, bool inputsModified);
	/*! Co-simulation: applies the inputs and recomputes the derivatives. */
	void updateFromModifiedInputQuantities();

	/*! Caches an input; unknown value references and moisture inputs of a project without
		moisture balance are ignored. Before init() has read the project every input is kept:
		hosts set their start values before the initialisation. */
	void setRealParameter(int valueReference, double value);
	/*! An output from the model's last evaluation, or an input as cached; unknown value
		references leave value. */
	void getRealParameter(int valueReference, double & value);

	/*! Bytes of the block written by serializeModelVariables() for the initialised model. */
	std::size_t modelVariablesSize() const;
	/*! Writes what the solver snapshots do not hold but a restored run needs to continue exactly:
		the controllers' slopes, the summer assessment's air change and update time, what model
		exchange holds between events and its next time event, the input cache and the output
		integration with the length of the output series. Advances dataPtr. */
	void serializeModelVariables(void *& dataPtr) const;
	/*! Reads a block of serializeModelVariables() of the same model, advancing dataPtr; output
		series longer than the saved ones are cut back. Throws ZEB::Exception, with the model
		unchanged, when the block's length does not match, it runs past dataEnd or it holds values
		no run of the model reaches (modelVariablesRefusal()); without modelExchange also when it
		holds what only model exchange holds; without inputsPending (the host set no input since
		the inputs were last handed over) also when the room balance's inputs are not the cache's. */
	void deserializeModelVariables(void *& dataPtr, const void * dataEnd, bool modelExchange = true,
								   bool inputsPending = true);

	FMUInputCache			m_inputCache;
	/*! The moisture inputs reach the room balance. */
	bool					m_inputsActive;
	/*! init() has read the project: its moisture switch decides over the moisture inputs. */
	bool					m_projectRead;
	/*! The database items of the project file. */
	Database				m_db;
	/*! The magnitudes of the states as a host sees them, their initial values (1 where a state
		starts at 0; a shifted room air's, see m_airStateShift; the vapour's divided by the square
		root of the number of states); set by init() and constant afterwards. */
	std::vector<double>		m_nominals;
	/*! The room air's state: the last (the one before the vapour with the moisture balance). */
	unsigned int			m_airState = 0;
	/*! What a host's value of the room air's state lies below the model's [J]: with a natural
		ventilation that falls as the room warms the air's energy counted from the falling step's
		start, its nominal the air's heat capacity times TIPPING_AIR_STATE_NOMINAL_DIFFERENCE;
		else with one whose step rises steeply (outside the summer assessment, at
		STEEP_RISE_EXCESS of the air over the outside air more gain than the air's conductance to
		the surfaces and windows) counted from the step's threshold (by day), its nominal the heat
		capacity times STEEP_RISE_NOMINAL_DIFFERENCE; else with a bypassed heat recovery its energy
		counted from 0 C, its nominal the heat capacity times AIR_STATE_NOMINAL_DIFFERENCE; else
		counted from the middle of the heater's and the cooler's lowest set points (the lowest of
		the one that acts; where neither does, a rising natural ventilation's threshold by day, else
		0 C), its nominal the heat capacity times SET_POINT_AIR_STATE_NOMINAL_DIFFERENCE (the
		vapour's from the start in all four). Set by init(). */
	double					m_airStateShift = 0;
	/*! The temperature differences [K] that the nominal of a shifted room air's state stands for. */
	static constexpr double	AIR_STATE_NOMINAL_DIFFERENCE = 20;
	static constexpr double	TIPPING_AIR_STATE_NOMINAL_DIFFERENCE = 0.1;
	static constexpr double	STEEP_RISE_NOMINAL_DIFFERENCE = 5;
	static constexpr double	SET_POINT_AIR_STATE_NOMINAL_DIFFERENCE = 20;
	/*! The excess [K] of the room air over the outside air at which a natural ventilation's
		steepest rise (NaturalVentilationModel::steepestRise()) must hold the air more than its
		conductance to the surfaces and windows for its room air to be held as on a steep step. */
	static constexpr double	STEEP_RISE_EXCESS = 1;
	/*! The shift of state i between the model's value and a host's (m_airStateShift). */
	double hostStateShift(std::size_t i) const { return i == m_airState ? m_airStateShift : 0; }
	/*! Set by completedIntegratorStep() when it changed the model's equations; cleared by the
		next newDiscreteStates(). */
	bool					m_equationsChanged;
	/*! Model exchange: the time at which a schedule or time rule changes next what the host
		integrates [s], announced at the last event (nextActingRuleChange()); infinity before the
		first event and when none does. */
	double					m_nextRuleChange;
	/*! Model exchange: the time [s] of the next event, announced at the last, at which the host
		restarts though no rule changes: the room air comes near its balance on a proportional
		piece (settlingStep()) or a schedule's spline turns (nextSplineTurn()); else infinity. */
	double					m_nextRestart;
	/*! Model exchange: the time [s] of the last event; the model's start before the first. Not
		part of an FMU state: model exchange has none. */
	double					m_lastEvent;
	/*! Model exchange: how far [K] the room air lay from its balance on a heater's or cooler's
		proportional piece where its approach to it began (settlingStep()). Not part of an FMU
		state, as m_lastEvent. */
	double					m_approachDistance;
	/*! The switching functions of the last switchDue(), sized by init(). */
	std::vector<double>		m_switchingFunctions;
	/*! The switching functions with the rules of the last event or of a change passed over
		since (eventIndicators()). */
	std::vector<double>		m_lastEventSwitchingFunctions;
	/*! Model exchange: the host's pace, counted by updateIfModified() and completedIntegratorStep(). */
	HostPace				m_hostPace;

private:
	/*! Model exchange, at an event: raiseGainsToRest() for the held pieces. True when a gain rose. */
	bool raiseGains();
	/*! Why the model variables cannot be those of a run of the interface (modelExchange or
		co-simulation), naming the variable: a value that is not finite, out of the range the
		model reaches, held where nothing is held or the interface holds nothing, or
		contradicting another (the room balance's inputs the cache's, unless inputsPending);
		empty when they can. */
	std::string modelVariablesRefusal(bool modelExchange, bool inputsPending) const;
	/*! What the room balance takes of the cached inputs: heat [W], vapour and liquid water
		[kg/s]. */
	struct ExternalInputs {
		double	m_heat = 0;
		double	m_vapor = 0;
		double	m_liquid = 0;
	};
	ExternalInputs appliedInputs() const;
	/*! Hands the cached inputs to the room balance. */
	void applyInputs();
	/*! The room air has left what is held: a switching function is positive. */
	bool switchDue();
	/*! Model exchange, at an event, with the pieces held: the first time after t [s] at which a
		schedule or time rule changes what the host integrates until the next event
		(ruleChangeActs()), looking up to MAX_PASSED_RULE_CHANGES changes ahead (the last of
		them where none does); infinity when none ever changes. */
	double nextActingRuleChange(double t);
	/*! What the schedules and time rules of one time give at the present state with the pieces
		held: the derivatives, the switching functions and the bands of heating, cooling,
		dehumidification and the ventilation's cooling supply. */
	struct RulesEvaluation {
		std::vector<double>				m_ydot;
		std::vector<double>				m_switchingFunctions;
		std::array<ControllerBand, 4>	m_bands;
	};
	/*! The evaluation with the rules of time tRules [s]; leaves the model evaluated so. */
	RulesEvaluation evaluateRules(double tRules);
	/*! The change of the rules from before to after changes the derivatives at the present
		state, the sign of a switching function there, or the band of a controller held on a
		piece that gives output (its set point, gain or power). */
	bool ruleChangeActs(const RulesEvaluation & before, const RulesEvaluation & after) const;
	/*! How many changes of the schedules and time rules nextActingRuleChange() passes over before
		it announces one regardless: about a week of a daily schedule's steps. */
	static constexpr int MAX_PASSED_RULE_CHANGES = 32;
	/*! Calls visit(double &) for every value of the model-variables block, in block order. */
	template <typename Model, typename Visit>
	static void visitModelVariables(Model & model, Visit && visit);
};

} // namespace RX

#endif // RX_CalovindaModelFMUH
