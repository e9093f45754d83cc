#include "RX_CalovindaModelFMU.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include <QString>

#include "OVM_ClimateDataLoader.h"
#include "ZEB_Constants.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_Time.h"

#include "RX_FMU2InputOutputDefinitions.h"

namespace RX {

CalovindaModelFMU::CalovindaModelFMU() :
	m_inputsActive(false),
	m_projectRead(false),
	m_equationsChanged(false),
	m_nextRuleChange(std::numeric_limits<double>::infinity()),
	m_nextRestart(std::numeric_limits<double>::infinity()),
	m_lastEvent(0),
	m_approachDistance(0)
{
}


CalovindaModelFMU::~CalovindaModelFMU() = default;


void CalovindaModelFMU::setReal(int valueReference, double value) {
	setRealParameter(valueReference, value);
}


void CalovindaModelFMU::getReal(int valueReference, double & value) {
	getRealParameter(valueReference, value);
}


void CalovindaModelFMU::completedIntegratorStep(double t, const double * y) {
	HostPace & pace = m_hostPace;
	if (t > pace.m_lastCompletedStep) {
		const double interval = t - pace.m_lastCompletedStep;
		const double density = (pace.m_newTimes - pace.m_newTimesAtCompletedStep)/interval;
		pace.m_density = std::max(density, pace.m_density*std::exp2(-interval/86400));
		pace.m_outputInterval = interval;
		pace.m_lastCompletedStep = t;
		pace.m_newTimesAtCompletedStep = pace.m_newTimes;
	}
	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	const std::array<double, 5> before = {m_room.m_heatingModel.m_slope, m_room.m_coolingModel.m_slope,
										  din.m_slopeHeating, din.m_slopeCooling, din.m_airChange};
	stepCompleted(t, y);
	const std::array<double, 5> after = {m_room.m_heatingModel.m_slope, m_room.m_coolingModel.m_slope,
										 din.m_slopeHeating, din.m_slopeCooling, din.m_airChange};
	// a host that reaches a time event in a completed step, or passed it, gets it as a step event,
	// after which the new schedules and time rules hold
	m_equationsChanged = before != after || t >= m_nextRuleChange;
	if (m_switchesHeld && (m_equationsChanged || switchDue()))
		m_equationsChanged = holdSwitches() || m_equationsChanged;
	// A host at a loose tolerance stepped through a sunny morning in steps of four hours, on a
	// heater's proportional piece whose iteration matrix, taken at night, held its gain: its
	// iterations passed their convergence test near the predictor, the room air stayed at the
	// heater's point of rest of the night while the sun took that point past the off end, and the
	// steps ended where the sun had left again, so no switching function changed sign between
	// them (7 K below co-simulation at noon at 1e-3). A completed step that finds the air that far
	// behind its point of rest ends there with an event, from which the host restarts: the output
	// interval up to it stays as the host left it. The host's interpolated states at its output
	// points carry a few millikelvin of its error on the air; a switching function on the lag would
	// be seen at the ends of its steps only, between which the sun came and went.
	if (m_switchesHeld && !m_equationsChanged && airLagsHeldController())
		m_equationsChanged = true;
	// The host asks for the derivatives at this very point again once it has handled the event,
	// and updateIfModified() sees neither time nor states change: they must be the new gains'.
	if (m_equationsChanged) {
		updateLoads();
		updateDerivatives();
	}
}


bool CalovindaModelFMU::newDiscreteStates(double & nextEventTime) {
	// from a time event on, its new schedules and time rules hold; at one where the room air has
	// nearly settled on a proportional piece or a spline turns the host restarts, as after a switch
	const bool ruleChanged = m_t >= m_nextRuleChange;
	bool changed = m_equationsChanged || ruleChanged || m_t >= m_nextRestart;
	const SwitchPieces heldBefore = m_heldPieces;
	setRuleTime(m_t);
	m_equationsChanged = false;
	DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	if (din.m_active && switchAssessmentVentilation(true))
		changed = true;
	if (holdSwitches())
		changed = true;
	if (changed) {
		updateLoads();
		updateDerivatives();
		// the room's balance with the switches just made and the rules in force tells where a
		// controller that the room air has passed beyond an end of its held piece would rest: a
		// switch under way joins this event rather than making one of its own seconds later
		if (holdSwitches(true)) {
			updateLoads();
			updateDerivatives();
		}
	}
	// A switch whose end lies where the room air would rest sees that rest point move with the
	// switch just made (a heater that came on moves it by tenths of a kelvin): held anew until
	// none is due at the state the host restarts from, whose indicators would otherwise start
	// positive and never change sign.
	for (int i = 0; i < 4 && changed && switchDue(); ++i) {
		holdSwitches();
		updateLoads();
		updateDerivatives();
	}
	// Co-simulation raises a gain at each of its steps while the room air misses the set point
	// unsaturated; a host's step may last its whole output interval, at the starting gain, so the
	// gain is raised at every event too (raiseGains() finds where it is due, as the held piece's
	// switching function that brought most of these events does), and the pieces are held anew.
	if (raiseGains()) {
		changed = true;
		holdSwitches();
		updateLoads();
		updateDerivatives();
	}
	m_nextRuleChange = nextActingRuleChange(m_t);
	// a host's solver steps no further than to its next time event, nor across a tipping
	nextEventTime = std::min(m_nextRuleChange, m_t + tippingStep(m_heldPieces, false));
	// nor far into a heater's or cooler's approach to its balance. An approach begins where a
	// schedule or time rule changed or the full output brought the air to the proportional piece.
	// Asked at every event, the settling came a few more times at 1e-4, whose host leaves the air
	// off its balance by a few hundredths of a kelvin; asked where the piece was entered from
	// off, it moved a tipping of the example room with a falling natural ventilation at 2e-4
	// (1.01 K off co-simulation for an hour, 0.27 K before).
	const auto entered = [](ControllerPiece before, ControllerPiece now) {
		return now == PIECE_PROPORTIONAL && before == PIECE_LIMITED;
	};
	// a change passed over since the last event (nextActingRuleChange()) may have begun one too,
	// caught by a switching function at its time or by the completed step there
	const bool rulesMoved = ruleChanged || nextRuleChange(m_lastEvent) <= m_t;
	// An approach still under way at another switch's event goes on while most of it lies ahead,
	// the room air more than half as far from its balance as where the approach began, and is
	// timed again with the balance that switch leaves. The heater's full output took a heavy
	// room's air across a natural ventilation's step within two seconds of the morning's set
	// point change (1.65 of 2.16 K still ahead), whose two events dropped the approach's time
	// event: the host stepped on from there in steps growing to half a minute, its iterations
	// from predictors beyond the heater's full output were accepted 1.5 K short, the air fell
	// back into the step, and the room left the scheduled air change and took it back every 40 s
	// for an hour (81 events, none at 1e-6). Where the switch comes late in the approach, the
	// host's restart at its event settles the air as well: an office's heater crossed its night's
	// step every morning with 0.6 of 3 K left, and timed again there each such approach cost a
	// time event more at every tolerance with the room unchanged to the millikelvin (303 a year).
	const bool settling = m_t < m_nextRestart && m_nextRestart < nextSplineTurn(m_lastEvent);
	m_lastEvent = m_t;
	const bool approachBegins = rulesMoved || entered(heldBefore.m_heating, m_heldPieces.m_heating)
								|| entered(heldBefore.m_cooling, m_heldPieces.m_cooling);
	double distance = 0;
	const double settled = settlingStep(m_heldPieces, &distance);
	if (approachBegins)
		m_approachDistance = distance;
	const bool settlingOn = settling && distance > m_approachDistance/2;
	m_nextRestart = approachBegins || settlingOn ? m_t + settled : std::numeric_limits<double>::infinity();
	// nor across a spline's turn. A host that did not restart there, whose steps went on at their
	// order and length, still left a load's blocks half seen (0.44 K off at 1e-4 where a restart
	// gave 0.05 K), and a set point's ramps gave it the extra events of blind steps (26,551 events
	// at 1e-6, 34,351 at 1e-4).
	m_nextRestart = std::min(m_nextRestart, nextSplineTurn(m_t));
	nextEventTime = std::min(nextEventTime, m_nextRestart);
	// the first time at which the air change may change again
	if (din.m_active && din.ventilationDwellingAfter(m_t))
		nextEventTime = std::min(nextEventTime, din.m_lastVentilationUpdate + DIN4108_2Assessment::VENTILATION_DWELL);
	// A host whose output points lie further apart than its solver may run gets a time event on
	// a whole hour, where the climate kinks, within that; it changes nothing, so that a host that
	// restarts only on changed states carries on. Closer output points end its solver's
	// intervals themselves (a second's slack for a host's sums of its output step).
	const double longest = longestSolverInterval();
	if (!(m_hostPace.m_outputInterval <= longest + 1))
		nextEventTime = std::min(nextEventTime, std::floor((m_t + longest)/3600)*3600);
	return changed;
}


double CalovindaModelFMU::nextActingRuleChange(double t) {
	// A change that leaves the right-hand side as it is needs no event: a set point of a heater
	// held off (the summer's night setback, a humidity set point while the room is dry). The
	// held pieces stay until the next event, which looks ahead again; where the room has moved
	// by the change so that it brings a switch after all, the switching function changes sign
	// there and the host's root finder stops at the change (eventIndicators()). Announced, each
	// was an event and, in a host that restarts at every event, a new Jacobian: 1,251 a year in a
	// heavy room with a night setback and a dehumidifying cooler, 430 of them changing nothing.
	double next = nextRuleChange(t);
	if (m_room.m_din4108_2Assessment.m_active || !std::isfinite(next))
		return next;
	const double tRules = m_tRules;
	// rules change on whole minutes at the least: a second before a change the old ones hold, as
	// they do up to the next change after it
	RulesEvaluation before = evaluateRules(next - 1);
	for (int passed = 0; passed < MAX_PASSED_RULE_CHANGES && std::isfinite(next); ++passed) {
		RulesEvaluation after = evaluateRules(next);
		if (ruleChangeActs(before, after))
			break;
		before = std::move(after);
		next = nextRuleChange(next);
	}
	setRuleTime(tRules);
	updateLoads();
	updateDerivatives(true);
	return next;
}


CalovindaModelFMU::RulesEvaluation CalovindaModelFMU::evaluateRules(double tRules) {
	setRuleTime(tRules);
	updateLoads();
	// the walls' cells and derivatives stay where their boundary values do
	updateDerivatives(true);
	RulesEvaluation e{m_ydot, std::vector<double>(m_switchingFunctions.size()),
					  {heatingBand(), coolingBand(), dehumidificationBand(), ventilationCoolingBand()}};
	switchingFunctions(e.m_switchingFunctions.data());
	return e;
}


bool CalovindaModelFMU::ruleChangeActs(const RulesEvaluation & before, const RulesEvaluation & after) const {
	if (before.m_ydot != after.m_ydot)
		return true;
	// a switch that the change brings about where the room is now (a heater's set point rising
	// above the room air) is due at the change, and the host stops there
	for (std::size_t i = 0; i < after.m_switchingFunctions.size(); ++i)
		if ((after.m_switchingFunctions[i] > 0) != (before.m_switchingFunctions[i] > 0))
			return true;
	// a band held on a piece that gives output acts with its new values wherever the room air
	// goes until the next event, also where it does not at the present state (beyond the
	// continuation of a proportional piece)
	const std::array<ControllerPiece, 4> held = {m_heldPieces.m_heating, m_heldPieces.m_cooling,
												 m_heldPieces.m_dehumidification, m_heldPieces.m_ventilationCooling};
	for (std::size_t i = 0; i < held.size(); ++i) {
		const ControllerBand & a = before.m_bands[i];
		const ControllerBand & b = after.m_bands[i];
		if (held[i] != PIECE_OFF && (a.m_TSet != b.m_TSet || a.m_setPointSlope != b.m_setPointSlope
									 || a.m_slope != b.m_slope || a.m_limit != b.m_limit || a.m_takenPower != b.m_takenPower))
			return true;
	}
	return false;
}


void CalovindaModelFMU::eventIndicators(double * z) {
	switchingFunctions(z);
	// A change passed over since the last event (nextActingRuleChange()) leaves the derivatives
	// as they were, but may move a switching function's zero away from the room air, and a host's
	// step that ends past the change would not see the room reach the old zero just before it:
	// the room of a night setback in spring cooled through 20 C minutes before 22:00, its heater
	// stayed off, and it lay 0.41 K below co-simulation at 22:00 where an event there gave
	// 0.20 K. Until the next event, a switch is due where it is due with the rules of the last,
	// or with those of any change passed over since: a cooling set point lowered for one hour
	// while the cooler was held off, which the sun then brought the room to, was in force neither
	// at the last event nor at the end of the host's step across the next change, and the room
	// lay 0.41 K above it (0.01 K with it watched).
	const double tRules = m_tRules;
	if (!m_switchesHeld || nextRuleChange(m_lastEvent) > tRules)
		return;
	m_lastEventSwitchingFunctions.resize(m_switchingFunctions.size());
	double passed = m_lastEvent;
	for (int i = 0; i < MAX_PASSED_RULE_CHANGES && passed <= tRules; ++i) {
		const double next = nextRuleChange(passed);
		// the rules in force now gave z already
		if (next > tRules && i > 0)
			break;
		setRuleTime(passed);
		switchingFunctions(m_lastEventSwitchingFunctions.data());
		for (std::size_t j = 0; j < m_lastEventSwitchingFunctions.size(); ++j)
			z[j] = std::max(z[j], m_lastEventSwitchingFunctions[j]);
		passed = next;
	}
	setRuleTime(tRules);
}


double CalovindaModelFMU::longestSolverInterval() const {
	const HostPace & pace = m_hostPace;
	double density = pace.m_density;
	// the pace since the last completed step, once it spans a whole kink of the climate
	const double sinceCompleted = m_t - pace.m_lastCompletedStep;
	if (sinceCompleted >= 3600)
		density = std::max(density, (pace.m_newTimes - pace.m_newTimesAtCompletedStep)/sinceCompleted);
	if (!(density > 0))
		return FIRST_SOLVER_INTERVAL;
	return std::max(1.0, std::floor(HOST_STEP_BUDGET/density/3600))*3600;
}


bool CalovindaModelFMU::raiseGains() {
	return raiseGainsToRest(m_heldPieces.m_heating, m_heldPieces.m_cooling);
}


bool CalovindaModelFMU::switchDue() {
	switchingFunctions(m_switchingFunctions.data());
	for (double z : m_switchingFunctions)
		if (z > 0)
			return true;
	return false;
}


std::string CalovindaModelFMU::impossibleTemperature() const {
	// Only these: a valid project may reach any temperature above absolute zero (a glass box in
	// the sun passes 200 C), and the net must never refuse a run's own values.
	const auto impossible = [](double T) { return !(T > 0 && std::isfinite(T)); };
	const auto text = [this](const std::string & what, double T) {
		ZEB::FormatString message(std::isfinite(T) ? "the %1 is %2 C at t = %3 s, at or below absolute zero."
												   : "the %1 is not finite (%2) at t = %3 s.");
		message.arg(what);
		if (std::isfinite(T))
			message.arg(T - ZEB::KELVIN_OFFSET, 0, 'G', 4);
		else
			message.arg(T);
		return message.arg(m_t, 0, 'G', 12).str();
	};
	if (impossible(m_TRoom))
		return text("room air temperature (ZoneMeanAirTemperature)", m_TRoom);
	for (unsigned int i = 0; i < m_nConstructions; ++i) {
		const ConstructionSolver & solver = m_constructionSolvers[i];
		if (impossible(solver.roomSurfaceTemperature()))
			return text(ZEB::FormatString("room-side surface temperature of construction %1").arg(i + 1).str(),
						solver.roomSurfaceTemperature());
		if (impossible(solver.outsideSurfaceTemperature()))
			return text(ZEB::FormatString("outer surface temperature of construction %1").arg(i + 1).str(),
						solver.outsideSurfaceTemperature());
	}
	return std::string();
}


void CalovindaModelFMU::init(const ZEB::Path & projectFile, const ZEB::Path & resourceDir) {
	try {
		// No Qt application object: every directory is known explicitly, and one made here would
		// belong to whichever thread came first and take the process's locale from the environment.
		// A host's own object is used by Qt as it is.
		const std::string resourcePath = resourceDir.absolutePath().str();

		readProject(QString::fromStdString(projectFile.str()), m_db);
		m_inputsActive = (m_room.m_interfaceDefinition & 0x30) != 0 && m_room.m_moistureBalanceEnabled;
		m_projectRead = true;
		// moisture inputs set before the project was read are dropped as later ones would be
		if (!m_room.m_moistureBalanceEnabled) {
			m_inputCache.m_waterVaporMassFlowRate = 0;
			m_inputCache.m_waterVaporEnthalpyFlow = 0;
			m_inputCache.m_liquidWaterMassFlowRate = 0;
		}
		initClimate(QString::fromStdString(resourcePath), QString());
		CalovindaModelInterface::init(m_db);

		// the model's own start is 0 s; its first values are those of the project's start
		if (setTime(t0()) != CalculationSuccess)
			throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at the start time %1 s.").arg(t0()),
								 "[CalovindaModelFMU::init]");
		updateStates();
		updateLoads();
		// the initial derivatives carry no heating, cooling or mechanical ventilation heat
		m_heatingLoad = 0;
		m_coolingLoad = 0;
		m_mechanicalVentilationHeatLoad = 0;
		m_dehumidificationPower = 0;
		m_mechanicalVentilationCoolingPower = 0;
		updateDerivatives();

		m_switchingFunctions.resize(numberOfSwitchingFunctions());
		m_hostPace = HostPace();
		m_hostPace.m_lastCompletedStep = t0();
		m_lastEvent = t0();
		m_nominals.resize(m_n);
		for (unsigned int i = 0; i < m_n; ++i)
			m_nominals[i] = m_y[i] != 0 ? std::fabs(m_y[i]) : 1.0;
		// A host's solver holds each state within its relative tolerance of the state's value and
		// of its nominal, and weighs the errors of all states alike: counted from absolute zero,
		// the room air's energy is held to 0.06 K at 1e-4, and as one of some 300 states it may lie
		// tenfold off alone. Where a heat recovery is bypassed, its step's gain on the air rises
		// from none at its lower end to 40 kW/K at its middle (2000 m3/h, 30 K outside); the
		// host's Jacobian, taken as the air entered the step, held a third of the gain an hour
		// later, and its iterates swung by 0.4 K about the air's balance, down to where the
		// heater came on and the step's lower half ended, and the air came back within seconds
		// (3,212 events a year at 1e-4, 2,892 at 1e-6). Counted from 0 C, the air is held some
		// fifteen times closer (2,918 and 2,868).
		//
		// A natural ventilation that falls as the room warms tips the room across its step, and
		// where the room's balance without the step lies at the step's start, which way and when
		// is decided by tenths of a millikelvin of room air an hour before: the example falling
		// from 3 to 0.5 per hour tipped one December afternoon at 1e-4 where co-simulation did not
		// (3.27 K off in both hosts), a room heated to 20 C below a step from 2 to 0.3 per hour
		// starting there stayed at its set point one November morning (2.0 K). Counted from the
		// step's start with a nominal of the air's heat capacity times 0.1 K, the air is held
		// there to 10 uK at 1e-4 (a nominal of 1 K still left the second room tipping late in a
		// host that restarts only where states change).
		//
		// A step that rises steeply needs the air held closer too: its gain on the air grows with
		// the air's excess over the outside air, some 10 kW/K in a room rising from 0.3 to 15 air
		// changes an hour over its 0.2 K. As a cold front took the outside air 5 K down in an
		// hour, the host's Jacobian held half the gain, its steps of ten minutes swung the air
		// about its balance on the step and carried it 0.1 K below, where the step ended and the
		// heater came on, and both went back within seconds (3,556 events a year at 1e-4, 3,525 at
		// 1e-6). Counted from 0 C, swings remained (9 events a year more at 1e-4 than at 1e-6, and
		// days that had none before had one); counted from the step's threshold with the air's
		// heat capacity times STEEP_RISE_NOMINAL_DIFFERENCE as its nominal, 3,521 against 3,524.
		// Steep means a gain at STEEP_RISE_EXCESS above the air's conductance to the surfaces and
		// windows (2.4 times it there, half of it rising from 0.5 to 4 per hour): counted from 0 C,
		// the rooms of gentler steps lay closer to co-simulation, but a heavy room's host at 1e-4
		// swung the air across its heater's off end on four winter mornings, more events than at
		// 1e-6. Counted from its set points as every other room (below), the steep room took
		// 3,525 against 3,524.
		//
		// Every other room's air is held closer too, counted from where its heater and cooler
		// act: the middle of their lowest set points (the one's where only one acts; a rising
		// natural ventilation's threshold, or 0 C, where neither does), its nominal the air's heat
		// capacity times SET_POINT_AIR_STATE_NOMINAL_DIFFERENCE. A heater of 400 W has a
		// proportional piece 0.08 K wide; held to 0.06 K, the air came to it and left it more often
		// at 1e-4 than at 1e-6 (3,919 events a year against 3,918; a closet's 150 W heater 4,851
		// against 4,847, a heater 0.5 K below its cooler 2,855 against 2,850), and a natural
		// ventilation rising beside walls that change phase swung the air about its balance on
		// the step: walls melting over 22-25 C held a room on a step from 0.5 to 3 per hour above
		// 23.5 C for hours on cold nights while the outside cooled by 7 K, the host's Jacobian,
		// taken as the air entered the step at 21:40, held three fifths of the step's gain at
		// 2:00, and in steps of 22 minutes with one Newton iteration each the air swung by up to
		// 0.1 K, growing, until it left the step and took it back (5,015 events a year at 1e-4,
		// 5,005 at 1e-6). Counted from the heater's lowest set point alone, a cooler dehumidifying
		// at 24 C above a heater at 20 C switched once more at 1e-4 than at 1e-6 in two days of June.
		// Those counts are knife's edges that any change moves by a few: with a nominal of 10 K an
		// office's natural ventilation took 3,682 events against 3,681, with 30 K the small
		// heater's set back February days 27 against 26, and with 20 K the closet's heater still
		// switches more often in a host that restarts only where states change (4,850 against
		// 4,847).
		m_airState = m_room.m_moistureBalanceEnabled ? m_n - 2 : m_n - 1;
		m_airStateShift = 0;
		const double C = m_room.m_additionalMassHeatCapacity*m_room.m_additionalMass
						 + m_room.volume()*ZEB::RHO_AIR*ZEB::C_AIR;
		const NaturalVentilationModel & ventilation = m_room.m_naturalVentilationModel;
		const double tippingStart = ventilation.fallingStepStart();
		const double perAirChange = m_room.volume()/3600*ZEB::RHO_AIR*ZEB::C_AIR;	// [W/K per 1/h]
		const bool steepRise = !m_room.m_din4108_2Assessment.m_active
							   && perAirChange*ventilation.steepestRise()*STEEP_RISE_EXCESS > m_airConductance;
		// the host's air counted from origin [C], its nominal C times nominalDifference [K]
		const auto view = [this, C](double origin, double nominalDifference) {
			m_airStateShift = m_y[m_airState] - C*(m_TRoom - ZEB::KELVIN_OFFSET - origin);
			m_nominals[m_airState] = C*nominalDifference;
		};
		if (!std::isnan(tippingStart))
			view(tippingStart, TIPPING_AIR_STATE_NOMINAL_DIFFERENCE);
		else if (steepRise)
			view(ventilation.m_minTRoom, STEEP_RISE_NOMINAL_DIFFERENCE);
		else if (m_room.m_mechanicalVentilationModel.bypasses())
			view(0, AIR_STATE_NOMINAL_DIFFERENCE);
		else {
			// the lowest value of a schedule over the hours of the year
			const auto lowest = [](const Schedule & schedule) {
				double least = std::numeric_limits<double>::infinity();
				for (unsigned int h = 0; h < ZEB::HOURS_PER_YEAR; ++h)
					least = std::min(least, schedule.value(h, 3600.0*h));
				return least;
			};
			const bool heats = m_room.m_heatingModel.m_modelType != HeatingModel::NONE;
			const bool cools = m_room.m_coolingModel.m_modelType != CoolingModel::NONE;
			double origin = ventilation.rises() ? ventilation.m_minTRoom : 0;
			if (heats && cools)
				origin = 0.5*(lowest(m_room.m_heatingModel.m_scheduleSetPoints)
							  + lowest(m_room.m_coolingModel.m_scheduleSetPoints));
			else if (heats)
				origin = lowest(m_room.m_heatingModel.m_scheduleSetPoints);
			else if (cools)
				origin = lowest(m_room.m_coolingModel.m_scheduleSetPoints);
			view(origin, SET_POINT_AIR_STATE_NOMINAL_DIFFERENCE);
		}
		// A host's error norm is the root mean square over all states, so the vapour, whose
		// dehumidification's switches watch it against its set point, may lie some sqrt(n) of its
		// weights off alone while the norm passes (a weight of 1.6 mg/m3 in 8 g/m3 at 1e-4, as much
		// as moves a light room's dehumidifying cooler by 45 W). With its nominal divided by
		// sqrt(n), its absolute tolerance is the share that the norm leaves each state, and its
		// weight halves: a 1.5 kW cooler in Denver dehumidifying to 55 % by day and 70 % by night
		// came on, limited its dehumidification and its cooling within 11 s at 1e-4 where 1e-6
		// ended one limit (3,752 events a year at 1e-4 against 3,746 at 1e-6, now 3,743 against
		// 3,748); a light room's 2 kW cooler, swung past its limit after the heating's set point
		// fell, took 17,992 against 17,975 (now 17,967 against 17,971).
		if (m_room.m_moistureBalanceEnabled)
			m_nominals[m_n - 1] *= 1/std::sqrt(static_cast<double>(m_n));
	}
	catch (const ZEB::Exception & ex) {
		throw ZEB::Exception(ex, "Error during model initialization.", "[CalovindaModelFMU::init]");
	}
	catch (const std::exception & ex) {
		throw ZEB::Exception(ex, ZEB::FormatString("Error during model initialization."), "[CalovindaModelFMU::init]");
	}
}


CalovindaModelFMU::ExternalInputs CalovindaModelFMU::appliedInputs() const {
	ExternalInputs applied;
	applied.m_heat = m_inputCache.m_convectiveThermalLoad + m_inputCache.m_radiantThermalLoad;
	if (m_inputsActive) {
		applied.m_heat += m_inputCache.m_waterVaporEnthalpyFlow;
		applied.m_vapor = m_inputCache.m_liquidWaterMassFlowRate + m_inputCache.m_waterVaporMassFlowRate;
		applied.m_liquid = m_inputCache.m_liquidWaterMassFlowRate;
	}
	return applied;
}


void CalovindaModelFMU::applyInputs() {
	const ExternalInputs applied = appliedInputs();
	m_externalHeatInput = applied.m_heat;
	m_externalVaporInput = applied.m_vapor;
	m_externalLiquidInput = applied.m_liquid;
}


void CalovindaModelFMU::updateFromModifiedInputQuantities() {
	applyInputs();
	updateDerivatives();
}


void CalovindaModelFMU::updateIfModified(double t, const double * y, bool inputsModified) {
	const bool timeChanged = !(t == m_t);
	m_hostPace.m_newTimes += timeChanged ? 1 : 0;
	if (timeChanged || inputsModified) {
		applyInputs();
		if (setTime(t) != CalculationSuccess)
			throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at time %1 s.").arg(t),
								 "[CalovindaModelFMU::updateIfModified]");
		// A host's solver ends its last step before a time event on the event's time and only
		// then handles the event: until then the schedules and time rules of just before it hold
		// (they change on whole minutes at the least), as the held pieces do. Otherwise the
		// step's end would see the new set point, and a held piece's switching function would
		// change its sign there, which the root finder takes for a switch a moment before the
		// event, again and again.
		if (m_switchesHeld && t >= m_nextRuleChange)
			setRuleTime(m_nextRuleChange - 1);
	}
	// the states before the first that changed need no copy
	unsigned int first = 0;
	while (first < m_n && y[first] == m_y[first])
		++first;
	// a host's difference-quotient Jacobian moves one state per evaluation: the walls it leaves
	// as they were keep their cells and derivatives
	if (first < m_n) {
		std::copy(y + first, y + m_n, m_y.begin() + first);
		updateStates(true);
		updateLoads();
		updateDerivatives(true);
	}
	else if (timeChanged || inputsModified) {
		updateLoads();
		updateDerivatives(true);
	}
}


void CalovindaModelFMU::setRealParameter(int valueReference, double value) {
	switch (valueReference) {
		case FMU2_ConvectiveThermalLoad:
			m_inputCache.m_convectiveThermalLoad = value;
			break;
		case FMU2_RadiantThermalLoad:
			m_inputCache.m_radiantThermalLoad = value;
			break;
		case FMU2_WaterVaporMassFlowRateIn:
			if (m_room.m_moistureBalanceEnabled || !m_projectRead)
				m_inputCache.m_waterVaporMassFlowRate = value;
			break;
		case FMU2_WaterVaporEnthalpyFlowIn:
			if (m_room.m_moistureBalanceEnabled || !m_projectRead)
				m_inputCache.m_waterVaporEnthalpyFlow = value;
			break;
		case FMU2_LiquidWaterMassFlowRate:
			if (m_room.m_moistureBalanceEnabled || !m_projectRead)
				m_inputCache.m_liquidWaterMassFlowRate = value;
			break;
		default:
			break;
	}
}


void CalovindaModelFMU::getRealParameter(int valueReference, double & value) {
	const OVM::SolarRadiationModel & sun = m_climate.m_solarRadiationModel;
	const std::array<double, OVM::ClimateDataLoader::NumClimateComponents> & climate =
		sun.m_climateDataLoader.m_currentData;
	const unsigned int hour = static_cast<unsigned int>(m_hourOfYear);
	switch (valueReference) {
		case FMU2_AmbientTemperature:			value = m_TOut; break;
		case FMU2_AmbientRelativeHumidity:		value = m_RHOut; break;
		case FMU2_AzimuthAngle:					value = sun.m_azimuth; break;
		case FMU2_ElevationAngle:				value = sun.m_elevation; break;
		case FMU2_DirectRadiationNormal:		value = climate[OVM::ClimateDataLoader::DirectRadiation]; break;
		case FMU2_DiffuseRadiationHorizontal:	value = climate[OVM::ClimateDataLoader::DiffuseRadiation]; break;
		case FMU2_WindVelocity:					value = climate[OVM::ClimateDataLoader::WindVelocity]; break;
		case FMU2_WindDirection:				value = climate[OVM::ClimateDataLoader::WindDirection]*ZEB::PI/180; break;
		case FMU2_AirPressure:					value = climate[OVM::ClimateDataLoader::AirPressure]; break;
		case FMU2_ZoneMeanAirTemperature:		value = m_TRoom; break;
		case FMU2_ZoneMeanRadiantTemperature:	value = m_TMeanRadiant; break;
		case FMU2_HeatingSetpointTemperature:
			value = m_room.m_heatingModel.m_modelType != 0
					? m_room.m_heatingModel.m_scheduleSetPoints.value(hour, m_tRules) + ZEB::KELVIN_OFFSET : -999.0;
			break;
		case FMU2_CoolingSetpointTemperature:
			value = m_room.m_coolingModel.m_modelType != 0
					? m_room.m_coolingModel.m_scheduleSetPoints.value(hour, m_tRules) + ZEB::KELVIN_OFFSET : -999.0;
			break;
		case FMU2_ZoneMeanAirRelativeHumidity:	value = m_RHRoom; break;
		case FMU2_WaterVaporMassFlowRateOut:	value = m_externalVaporInput; break;
		case FMU2_WaterVaporEnthalpyFlowOut:	value = m_inputCache.m_waterVaporEnthalpyFlow; break;
		// hosts read every real variable, inputs included, and must get back what they set
		case FMU2_ConvectiveThermalLoad:		value = m_inputCache.m_convectiveThermalLoad; break;
		case FMU2_RadiantThermalLoad:			value = m_inputCache.m_radiantThermalLoad; break;
		case FMU2_WaterVaporMassFlowRateIn:		value = m_inputCache.m_waterVaporMassFlowRate; break;
		case FMU2_WaterVaporEnthalpyFlowIn:		value = m_inputCache.m_waterVaporEnthalpyFlow; break;
		case FMU2_LiquidWaterMassFlowRate:		value = m_inputCache.m_liquidWaterMassFlowRate; break;
		default:
			break;
	}
}


template <typename Model, typename Visit>
void CalovindaModelFMU::visitModelVariables(Model & model, Visit && visit) {
	auto & room = model.m_room;
	visit(room.m_heatingModel.m_slope);
	visit(room.m_coolingModel.m_slope);
	auto & din = room.m_din4108_2Assessment;
	visit(din.m_slopeHeating);
	visit(din.m_slopeCooling);
	visit(din.m_airChange);
	visit(din.m_lastVentilationUpdate);
	visit(model.m_controllerPieces);
	visit(model.m_jacobianUpdateRequested);
	// the next step's limit is taken where the last one completed: a restored run that stepped
	// on without it took one step across a falling air change's tipping
	visit(model.m_tippingLimit);
	visit(model.m_jacobianPieces.m_heating);
	visit(model.m_jacobianPieces.m_cooling);
	visit(model.m_jacobianPieces.m_dehumidification);
	visit(model.m_jacobianPieces.m_ventilationCooling);
	// model exchange: what is held between events
	visit(model.m_switchesHeld);
	visit(model.m_heldPieces.m_heating);
	visit(model.m_heldPieces.m_cooling);
	visit(model.m_heldPieces.m_ventilationCooling);
	visit(model.m_heldPieces.m_dehumidification);
	visit(model.m_heldPieces.m_bypassStage);
	visit(model.m_heldPieces.m_naturalVentilationRise.m_stage);
	visit(model.m_heldPieces.m_naturalVentilationRise.m_onOutsideExcess);
	for (auto & shaded : model.m_heldWindowShaded)
		visit(shaded);
	for (auto & wall : model.m_constructionSolvers)
		visit(wall.m_heldPhase);
	visit(model.m_heldVentilationWatched);
	visit(model.m_heldVentilationThreshold);
	visit(model.m_heldRoomAboveThreshold);
	visit(model.m_heldOutsideBelowRoom);
	visit(model.m_equationsChanged);
	visit(model.m_nextRuleChange);
	visit(model.m_nextRestart);

	auto & inputs = model.m_inputCache;
	visit(inputs.m_convectiveThermalLoad);
	visit(inputs.m_radiantThermalLoad);
	visit(inputs.m_waterVaporMassFlowRate);
	visit(inputs.m_waterVaporEnthalpyFlow);
	visit(inputs.m_liquidWaterMassFlowRate);
	visit(model.m_externalHeatInput);
	visit(model.m_externalVaporInput);
	visit(model.m_externalLiquidInput);

	auto & out = model.m_outputManager;
	visit(out.m_tStepCompleted);
	for (auto & v : out.m_fluxIntegrals)
		visit(v);
	for (auto & v : out.m_lastFluxes)
		visit(v);
	for (auto & perKind : out.m_wallFluxIntegrals)
		for (auto & v : perKind)
			visit(v);
	for (auto & perKind : out.m_lastWallFluxes)
		for (auto & v : perKind)
			visit(v);
	visit(out.m_minRoomAirTemperature);
	visit(out.m_maxRoomAirTemperature);
	visit(out.m_minAirChangeRate);
	visit(out.m_maxAirChangeRate);
}


namespace {

// the block: its length in bytes, the lengths of the state series and of the integral series,
// then the visited values
const std::size_t ModelVariablesHeader = 3*sizeof(std::uint64_t);

template <typename T>
void writeRaw(char *& pos, const T & value) {
	std::memcpy(pos, &value, sizeof(T));
	pos += sizeof(T);
}

template <typename T>
T readRaw(const char *& pos) {
	T value;
	std::memcpy(&value, pos, sizeof(T));
	pos += sizeof(T);
	return value;
}

// a flag read from a host's buffer may hold any byte
template <>
bool readRaw<bool>(const char *& pos) {
	return readRaw<std::uint8_t>(pos) != 0;
}

template <typename Series>
void cutSeries(Series & series, std::size_t length) {
	for (auto & s : series)
		if (s.size() > length)
			s.resize(length);
}

template <typename Series>
void cutSeriesPerConstruction(Series & series, std::size_t length) {
	for (auto & perKind : series)
		cutSeries(perKind, length);
}

} // namespace


std::string CalovindaModelFMU::modelVariablesRefusal(bool modelExchange, bool inputsPending) const {
	const std::string invalid = "Invalid model state data: ";
	// the extremes of the outputs are infinite until the first step: only NaN is no value at all
	bool numbers = true;
	visitModelVariables(*this, [&numbers](const auto & v) {
		if constexpr (std::is_floating_point_v<std::decay_t<decltype(v)>>)
			numbers = numbers && !std::isnan(v);
	});
	const FMUInputCache & in = m_inputCache;
	for (const double v : {in.m_convectiveThermalLoad, in.m_radiantThermalLoad, in.m_waterVaporMassFlowRate,
						   in.m_waterVaporEnthalpyFlow, in.m_liquidWaterMassFlowRate, m_externalHeatInput,
						   m_externalVaporInput, m_externalLiquidInput, m_outputManager.m_tStepCompleted})
		numbers = numbers && std::isfinite(v);
	if (!numbers)
		return invalid + "values that are not finite.";
	const auto outOfRange = [&invalid](const std::string & what) { return invalid + "the " + what + " is out of its range."; };

	// the gains start at a fresh controller's and only grow, up to their limits; the assessment's
	// air change [1/s] and update time [s] are -1 until its first update
	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	const auto gainInRange = [](double gain, double start, double limit) {
		return gain >= start && gain <= std::max(start, limit);
	};
	const auto updated = [](double v) { return v == -1.0 || (v >= 0 && std::isfinite(v)); };
	const DIN4108_2Assessment fresh;
	if (!gainInRange(m_room.m_heatingModel.m_slope, HeatingModel().m_slope, HeatingModel::MAX_SLOPE))
		return outOfRange("heating's gain");
	if (!gainInRange(m_room.m_coolingModel.m_slope, CoolingModel().m_slope, CoolingModel::MAX_SLOPE))
		return outOfRange("cooling's gain");
	if (!gainInRange(din.m_slopeHeating, fresh.m_slopeHeating, DIN4108_2Assessment::SLOPE_LIMIT))
		return outOfRange("assessment's heating gain");
	if (!gainInRange(din.m_slopeCooling, fresh.m_slopeCooling, DIN4108_2Assessment::SLOPE_LIMIT))
		return outOfRange("assessment's cooling gain");
	if (!updated(din.m_airChange))
		return outOfRange("assessment's air change");
	if (!updated(din.m_lastVentilationUpdate))
		return outOfRange("assessment's last ventilation update");
	if ((din.m_airChange == -1.0) != (din.m_lastVentilationUpdate == -1.0))
		return invalid + "the assessment's air change and its last ventilation update disagree (both are -1 before "
						 "its first update).";
	// only a run of the assessment updates its ventilation and adapts its gains
	if (!din.m_active && (din.m_airChange != -1.0 || din.m_slopeHeating != fresh.m_slopeHeating ||
						  din.m_slopeCooling != fresh.m_slopeCooling))
		return invalid + "the assessment's air change or gains have changed, but the room runs no assessment.";
	if (m_outputManager.m_tStepCompleted < 0)
		return outOfRange("time of the last completed step");
	if (!(m_tippingLimit >= SHORTEST_TIPPING_STEP))
		return outOfRange("step limit of a tipping room");
	// the room balance takes the inputs as the cache gives them, unless the host has set one that
	// the next step or evaluation hands over
	const ExternalInputs applied = appliedInputs();
	if (!inputsPending && (m_externalHeatInput != applied.m_heat || m_externalVaporInput != applied.m_vapor ||
						   m_externalLiquidInput != applied.m_liquid))
		return invalid + "the inputs the room balance takes differ from the inputs set, and none is pending.";

	// the pieces and stages a host's events hold (model exchange)
	const SwitchPieces & held = m_heldPieces;
	const std::pair<const char *, unsigned int> pieces[] = {{"held heating piece", held.m_heating},
		{"held cooling piece", held.m_cooling}, {"held dehumidification piece", held.m_dehumidification},
		{"held piece of the ventilation's cooling supply", held.m_ventilationCooling}};
	for (const auto & [what, piece] : pieces)
		if (piece > PIECE_LIMITED)
			return outOfRange(what);
	const SwitchPieces & matrix = m_jacobianPieces;
	for (const unsigned int piece : {matrix.m_heating, matrix.m_cooling, matrix.m_dehumidification, matrix.m_ventilationCooling})
		if (piece > PIECE_LIMITED)
			return outOfRange("piece of a controller in the integrator's Jacobian");
	if (held.m_bypassStage >= SmoothStep::STAGES)
		return outOfRange("held stage of the heat recovery's bypass");
	if (held.m_naturalVentilationRise.m_stage >= NaturalVentilationModel::RISE_STAGES)
		return outOfRange("held stage of the natural ventilation's rise");
	for (std::size_t i = 0; i < m_heldWindowShaded.size(); ++i)
		if (m_heldWindowShaded[i] > 1)
			return outOfRange(ZEB::FormatString("held shading of window %1").arg(static_cast<unsigned long>(i + 1)).str());
	for (std::size_t i = 0; i < m_constructionSolvers.size(); ++i) {
		const ConstructionSolver & wall = m_constructionSolvers[i];
		const std::string what = ZEB::FormatString("phase change of construction %1").arg(static_cast<unsigned long>(i + 1)).str();
		// only a room-side cell with a phase change is held, and always once the pieces are
		if (wall.m_heldPhase > ConstructionSolver::PHASE_FREE
			|| (!wall.watchesPhase() && wall.m_heldPhase != ConstructionSolver::PHASE_FREE))
			return outOfRange("held piece of the " + what);
		if (m_switchesHeld && wall.watchesPhase() && wall.m_heldPhase == ConstructionSolver::PHASE_FREE)
			return invalid + "the " + what + " is not held, but the state holds the pieces and stages.";
		if (!m_switchesHeld && wall.m_heldPhase != ConstructionSolver::PHASE_FREE)
			return invalid + "the " + what + " is held, but the state holds nothing.";
	}
	if (!modelExchange) {
		const std::string coSimulation = " is model exchange's alone: this is a co-simulation state.";
		if (m_switchesHeld)
			return invalid + "holding the pieces and stages" + coSimulation;
		if (m_equationsChanged)
			return invalid + "the event asked for by a completed step" + coSimulation;
		if (m_nextRuleChange != std::numeric_limits<double>::infinity()
			|| m_nextRestart != std::numeric_limits<double>::infinity())
			return invalid + "the announced time event" + coSimulation;
	}
	if (!m_switchesHeld) {
		// before a host's first event nothing is held: every held value is a fresh model's
		const SwitchPieces none;
		const std::string nothingHeld = " is held, but the state holds nothing.";
		for (const auto & [what, piece] : pieces)
			if (piece != PIECE_OFF)
				return invalid + "the " + what + nothingHeld;
		if (held.m_bypassStage != none.m_bypassStage)
			return invalid + "the stage of the heat recovery's bypass" + nothingHeld;
		if (held.m_naturalVentilationRise != none.m_naturalVentilationRise)
			return invalid + "the rise of the natural ventilation" + nothingHeld;
		for (std::size_t i = 0; i < m_heldWindowShaded.size(); ++i)
			if (m_heldWindowShaded[i] != 0)
				return invalid + ZEB::FormatString("the shading of window %1").arg(static_cast<unsigned long>(i + 1)).str() +
					   nothingHeld;
		if (m_heldVentilationWatched || m_heldVentilationThreshold != 0 || m_heldRoomAboveThreshold ||
			m_heldOutsideBelowRoom)
			return invalid + "the assessment's enhanced ventilation" + nothingHeld;
	}
	return std::string();
}


std::size_t CalovindaModelFMU::modelVariablesSize() const {
	std::size_t bytes = 0;
	visitModelVariables(*this, [&bytes](const auto & v) { bytes += sizeof(v); });
	return ModelVariablesHeader + bytes;
}


void CalovindaModelFMU::serializeModelVariables(void *& dataPtr) const {
	char * pos = static_cast<char *>(dataPtr);
	writeRaw<std::uint64_t>(pos, modelVariablesSize());
	writeRaw<std::uint64_t>(pos, m_outputManager.m_stateSeries[0].size());
	writeRaw<std::uint64_t>(pos, m_outputManager.m_fluxIntegralSeries[0].size());
	visitModelVariables(*this, [&pos](const auto & v) { writeRaw(pos, v); });
	dataPtr = pos;
}


void CalovindaModelFMU::deserializeModelVariables(void *& dataPtr, const void * dataEnd, bool modelExchange,
												   bool inputsPending) {
	const char * const location = "[CalovindaModelFMU::deserializeModelVariables]";
	const std::size_t size = modelVariablesSize();
	const char * pos = static_cast<const char *>(dataPtr);
	const std::size_t room = static_cast<std::size_t>(static_cast<const char *>(dataEnd) - pos);
	if (dataEnd < dataPtr || room < size)
		throw ZEB::Exception("The model variables block runs past the end of the data.", location);
	const std::uint64_t storedSize = readRaw<std::uint64_t>(pos);
	if (storedSize != size)
		throw ZEB::Exception(ZEB::FormatString("The model variables block has %1 bytes, this model needs %2.")
							 .arg(static_cast<unsigned long>(storedSize)).arg(static_cast<unsigned long>(size)), location);
	const std::uint64_t rows = readRaw<std::uint64_t>(pos);
	const std::uint64_t integralRows = readRaw<std::uint64_t>(pos);
	// a block refused after reading leaves the model as it was
	std::vector<char> before(size);
	void * beforePtr = before.data();
	serializeModelVariables(beforePtr);
	visitModelVariables(*this, [&pos](auto & v) { v = readRaw<std::decay_t<decltype(v)>>(pos); });
	const std::string refusal = modelVariablesRefusal(modelExchange, inputsPending);
	if (!refusal.empty()) {
		const char * previous = before.data() + ModelVariablesHeader;
		visitModelVariables(*this, [&previous](auto & v) { v = readRaw<std::decay_t<decltype(v)>>(previous); });
		throw ZEB::Exception(refusal, location);
	}
	dataPtr = const_cast<char *>(pos);

	// rows written after the snapshot belong to the abandoned run
	OutputManager & out = m_outputManager;
	cutSeries(out.m_stateSeries, rows);
	cutSeries(out.m_fluxSeries, rows);
	cutSeriesPerConstruction(out.m_wallStateSeries, rows);
	cutSeriesPerConstruction(out.m_wallFluxSeries, rows);
	cutSeries(out.m_fluxIntegralSeries, integralRows);
	cutSeriesPerConstruction(out.m_wallFluxIntegralSeries, integralRows);
}

} // namespace RX
