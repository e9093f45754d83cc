// What a host's solver in model exchange must know of the room model's switches: the values held
// between its events, the switching functions that end them, and the times at which schedules and
// time rules change the right-hand side.

#include "RX_CalovindaModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "ZEB_Constants.h"
#include "ZEB_Time.h"

#include "RX_Constants.h"
#include "RX_WindowType.h"

namespace RX {

namespace {

/*! Appends to turns the points [s] of the spline over time at which it turns: where its slope
	changes (before the first point and after the last as extrapolated) and the point lies off the
	straight line through its neighbours by more than CalovindaModel::SPLINE_BEND of its range. */
void appendSplineTurns(const ZEB::LinearSpline & spline, std::vector<double> & turns) {
	const std::vector<double> & x = spline.m_x;
	const std::vector<double> & y = spline.m_y;
	const std::size_t n = x.size();
	const bool linear = spline.m_extrapolationMethod == ZEB::LinearSpline::EM_LINEAR && n > 1;
	// the slope before point i; before the first point and after the last as extrapolated
	const auto slope = [&x, &y, n, linear](std::size_t i) {
		if (i == 0 || i == n) {
			const std::size_t j = i == 0 ? 1 : n - 1;
			return linear ? (y[j] - y[j - 1])/(x[j] - x[j - 1]) : 0.0;
		}
		return (y[i] - y[i - 1])/(x[i] - x[i - 1]);
	};
	// the range of the spline's values but for their highest and lowest hundredth, so that a
	// rare spike (a 20 s spike of 400 W/m2 on a load switching between 2 and 40 W/m2) does not
	// hide every other turn
	std::vector<double> values = y;
	const auto lowest = values.begin() + static_cast<std::ptrdiff_t>((n - 1)/100);
	const auto highest = values.end() - 1 - static_cast<std::ptrdiff_t>((n - 1)/100);
	std::nth_element(values.begin(), highest, values.end());
	std::nth_element(values.begin(), lowest, highest);
	const double bend = CalovindaModel::SPLINE_BEND*(*highest - *lowest);
	// how far point i lies from the straight line through its neighbours; the ends always turn
	const auto offLine = [&x, &y, n](std::size_t i) {
		if (i == 0 || i + 1 == n)
			return std::numeric_limits<double>::infinity();
		const double through = y[i - 1] + (y[i + 1] - y[i - 1])*(x[i] - x[i - 1])/(x[i + 1] - x[i - 1]);
		return std::fabs(y[i] - through);
	};
	for (std::size_t i = 0; i < n; ++i)
		if (slope(i) != slope(i + 1) && offLine(i) > bend)
			turns.push_back(x[i]);
}

/*! Which groups of switching functions a room has, as far as its sub-models tell. */
struct SwitchingGroups {
	explicit SwitchingGroups(const Room & room) :
		m_controllers(room.m_din4108_2Assessment.m_active || room.m_heatingModel.m_modelType != HeatingModel::NONE
					  || room.m_coolingModel.m_modelType != CoolingModel::NONE),
		m_dehumidification(!room.m_din4108_2Assessment.m_active && room.m_moistureBalanceEnabled
						   && room.m_coolingModel.m_modelType == CoolingModel::SIMPLE),
		m_ventilationCooling(!room.m_din4108_2Assessment.m_active && room.m_mechanicalVentilationModel.m_modelType
							 == MechanicalVentilationModel::MECHANICAL_VENTILATION_COOLING),
		m_bypass(!room.m_din4108_2Assessment.m_active && room.m_mechanicalVentilationModel.bypasses()),
		m_naturalVentilation(!room.m_din4108_2Assessment.m_active && room.m_naturalVentilationModel.rises()),
		m_assessmentVentilation(room.m_din4108_2Assessment.m_active && room.m_din4108_2Assessment.hasEnhancedVentilation())
	{}
	bool m_controllers;
	bool m_dehumidification;
	bool m_ventilationCooling;
	bool m_bypass;
	bool m_naturalVentilation;
	bool m_assessmentVentilation;
};

} // namespace


void CalovindaModel::initSwitches() {
	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	const bool assessmentShading = din.m_active && din.m_shadingControlType != 3;
	bool shadedWindows = false;
	m_windowRadiationLimit.assign(m_nConstructions, std::numeric_limits<double>::infinity());
	for (unsigned int i = 0; i < m_nConstructions; ++i) {
		const RoomConstruction & rc = m_constructions[i];
		if (rc.m_type != RoomConstruction::Outside || rc.m_windowType == nullptr || rc.m_shadingType == nullptr)
			continue;
		shadedWindows = true;
		m_windowRadiationLimit[i] = assessmentShading ? din.radiationLimit(rc.m_orientation, rc.m_inclination)
							: m_room.m_shadingControlModel.radiationLimit(rc.m_orientation, rc.m_inclination);
	}
	m_heldWindowShaded.assign(m_nConstructions, 0);

	// what holds the air that far from where it would go, while the surfaces stay where they are;
	// for the dehumidification what the surfaces take of each kg/m3 of the room's vapour, with the
	// vapour whose heat of evaporation is the air's heat over that reach (as its hysteresis is the
	// air's). The ventilation, which moves with schedules and the room air, is left out of both:
	// it adds a few hundredths to the vapour's.
	double airConductance = 0;
	double vaporConductance = 0;
	for (const RoomConstruction & rc : m_constructions) {
		airConductance += rc.m_AW/rc.m_R_ui;
		if (rc.m_windowType != nullptr)
			airConductance += rc.m_AF*rc.m_windowType->m_U;
		vaporConductance += rc.m_AW*rc.m_beta_i*ZEB::R_VAPOR*m_TRoom;
	}
	m_airConductance = airConductance;
	m_offEndOutput = airConductance*OFF_END_AIR_REACH;
	m_offEndDehumidificationOutput = vaporConductance*ZEB::RHO_AIR*ZEB::C_AIR*OFF_END_AIR_REACH;

	// the schedules in force, each with the factor its values enter the balances with; a spline
	// over time changes its value continuously
	std::vector<std::pair<const Schedule *, double> > schedules;
	const bool moisture = m_room.m_moistureBalanceEnabled;
	if (!din.m_active) {
		if (m_room.m_heatingModel.m_modelType == HeatingModel::SIMPLE)
			schedules.emplace_back(&m_room.m_heatingModel.m_scheduleSetPoints, 1);
		if (m_room.m_coolingModel.m_modelType == CoolingModel::SIMPLE) {
			schedules.emplace_back(&m_room.m_coolingModel.m_scheduleSetPoints, 1);
			if (moisture)
				schedules.emplace_back(&m_room.m_coolingModel.m_scheduleHumiditySetPoints, 1);
		}
		const MechanicalVentilationModel & ventilation = m_room.m_mechanicalVentilationModel;
		if (ventilation.m_modelType == MechanicalVentilationModel::MECHANICAL_VENTILATION)
			schedules.emplace_back(&ventilation.m_scheduleVentilationRates, 1);
		else if (ventilation.m_modelType == MechanicalVentilationModel::MECHANICAL_VENTILATION_COOLING)
			schedules.emplace_back(&ventilation.m_scheduleSetPoints, 1);
		if (m_room.m_naturalVentilationModel.m_modelType != NaturalVentilationModel::NONE)
			schedules.emplace_back(&m_room.m_naturalVentilationModel.m_scheduleAirChangeRates, 1);
		schedules.emplace_back(&m_room.m_userLoads.m_scheduleOccupancy, m_room.m_userLoads.m_personLoad);
		schedules.emplace_back(&m_room.m_userLoads.m_scheduleEquipmentLoad, 1);
		if (moisture)
			schedules.emplace_back(&m_room.m_moistureLoads.m_scheduleMoistureLoad, 1);
	}
	if (shadedWindows && !assessmentShading && m_room.m_shadingControlModel.m_modelType == ShadingControlModel::SCHEDULED)
		schedules.emplace_back(&m_room.m_shadingControlModel.m_scheduleShadingDegree, 1);

	// A spline over time changes its value continuously, where no schedule change tells a host's
	// solver: at 1e-4 its steps ran blind across an equipment load switching between 2 and 40
	// W/m2 every 10 minutes, its error test favoured the steps that missed the load, and the room
	// lay 1.8 K below co-simulation (0.07 K at 1e-6). Where a spline turns, a host ends a step and
	// restarts. The turns of one ramp are taken as its first: restarts at both of the load's
	// turns cost 2.9 times its co-simulation, at the first 2.1 times, as accurate. A point that
	// lies within SPLINE_BEND of the spline's range from the straight line through its neighbours
	// only bends smooth data (a load measured every 5 minutes): a host follows it as it follows
	// the climate, where a restart at each of its points cost 6 times the co-simulation.
	m_splineTurns.clear();
	for (const auto & [schedule, factor] : schedules)
		if (schedule->m_type == Schedule::DATLINEAR && factor != 0 && schedule->m_datLinear.m_valid)
			appendSplineTurns(schedule->m_datLinear, m_splineTurns);
	std::sort(m_splineTurns.begin(), m_splineTurns.end());
	std::size_t kept = 0;
	for (double t : m_splineTurns)
		if (kept == 0 || t >= m_splineTurns[kept - 1] + SPLINE_RAMP)
			m_splineTurns[kept++] = t;
	m_splineTurns.resize(kept);

	const unsigned int hours = ZEB::HOURS_PER_YEAR;
	std::vector<bool> changes(hours, false);
	bool anyChange = false;
	for (const auto & [schedule, factor] : schedules) {
		if (schedule->m_type == Schedule::DATLINEAR)
			continue;
		// the last hour of the year before the first
		double previous = schedule->value(hours - 1, 3600.0*(hours - 1))*factor;
		for (unsigned int h = 0; h < hours; ++h) {
			const double value = schedule->value(h, 3600.0*h)*factor;
			if (value != previous) {
				changes[h] = true;
				anyChange = true;
			}
			previous = value;
		}
	}
	m_hoursToScheduleChange.clear();
	if (!anyChange)
		return;
	m_hoursToScheduleChange.assign(hours, 0);
	// backwards over two years, so that every hour sees the next change, also in the next year
	unsigned int nextChange = 0;
	for (unsigned int h = 2*hours; h-- > 0;) {
		if (h < hours)
			m_hoursToScheduleChange[h] = nextChange - h;
		if (changes[h % hours])
			nextChange = h;
	}
}


bool CalovindaModel::SwitchPieces::operator==(const SwitchPieces & other) const {
	return m_heating == other.m_heating && m_cooling == other.m_cooling && m_dehumidification == other.m_dehumidification
		   && m_ventilationCooling == other.m_ventilationCooling && m_bypassStage == other.m_bypassStage
		   && !(m_naturalVentilationRise != other.m_naturalVentilationRise);
}


std::uint32_t CalovindaModel::SwitchPieces::code() const {
	return static_cast<std::uint32_t>(m_heating) | static_cast<std::uint32_t>(m_cooling) << 8
		   | static_cast<std::uint32_t>(m_bypassStage) << 17
		   | static_cast<std::uint32_t>(m_naturalVentilationRise.m_stage | m_naturalVentilationRise.m_onOutsideExcess << 2) << 19
		   | static_cast<std::uint32_t>(m_dehumidification) << 22 | static_cast<std::uint32_t>(m_ventilationCooling) << 24;
}


CalovindaModel::SwitchPieces CalovindaModel::switchPieces(const SwitchPieces * held, bool joining) const {
	const SwitchingGroups groups(m_room);
	const double stays = std::numeric_limits<double>::quiet_NaN();
	SwitchPieces pieces;
	double dehumidificationPower = 0;
	ControllerBand dehumidification;
	std::pair<double, double> depthRate(0, 0);
	if (groups.m_dehumidification) {
		dehumidification = dehumidificationBand();
		if (held) {
			const ControllerPiece p = held->m_dehumidification;
			depthRate = dehumidificationDepthRate();
			pieces.m_dehumidification = dehumidification.nextPiece(
				p, m_rhoVRoom,
				dehumidificationRestDepth(dehumidification, dehumidification.load(p, m_rhoVRoom), depthRate.first), stays,
				joining);
		}
		else
			pieces.m_dehumidification = dehumidification.piece(m_rhoVRoom);
		dehumidificationPower = -dehumidification.load(pieces.m_dehumidification, m_rhoVRoom);
	}
	ControllerBand heating = heatingBand();
	ControllerBand cooling = coolingBand(dehumidificationPower);
	const ControllerBand ventilationCooling = ventilationCoolingBand();
	if (held) {
		// the ends as the switching functions take them
		markOffEnds(*held, heating, cooling);
		pieces.m_heating = heating.nextPiece(held->m_heating, m_TRoom, heatingRestDepth(heating), stays, joining);
		// the power a new dehumidification piece leaves moves the cooler's band by up to its power
		pieces.m_cooling = pieces.m_dehumidification != held->m_dehumidification
						   ? cooling.piece(m_TRoom)
						   : cooling.nextPiece(held->m_cooling, m_TRoom, restDepth(cooling, m_coolingLoad, 1),
											   coolingLimitRest(cooling, dehumidification, depthRate), joining);
		pieces.m_ventilationCooling = ventilationCooling.nextPiece(
			held->m_ventilationCooling, m_TRoom, ventilationCoolingRestDepth(ventilationCooling, held->m_ventilationCooling),
			stays, joining);
	}
	else {
		pieces.m_heating = heating.piece(m_TRoom);
		pieces.m_cooling = cooling.piece(m_TRoom);
		pieces.m_ventilationCooling = ventilationCooling.piece(m_TRoom);
	}
	if (groups.m_bypass)
		pieces.m_bypassStage = m_room.m_mechanicalVentilationModel.bypassStage(m_TRoom,
																			   held ? &held->m_bypassStage : nullptr,
																			   airRestShift());
	if (groups.m_naturalVentilation)
		pieces.m_naturalVentilationRise =
			m_room.m_naturalVentilationModel.rise(static_cast<unsigned int>(m_hourOfYear), m_tRules, m_TRoom, m_TOut,
												  held ? &held->m_naturalVentilationRise : nullptr, airRestShift());
	return pieces;
}


bool CalovindaModel::holdSwitches(bool joining) {
	// The walls first: a room-side cell switched onto or off its phase change moves its surface,
	// and the heater and cooler choose their pieces with the walls as held from here on (see
	// ConstructionSolver::pastHeldPhaseEnd()). At every event a cell on its way past an end of its
	// piece switches (holdPhase() joining), which takes in every cell already past it.
	bool phaseChanged = false;
	for (unsigned int j = 0; j < m_nConstructions; ++j)
		phaseChanged = m_constructionSolvers[j].holdPhase(&m_y[m_elementOffsets[j]*m_m],
														  &m_ydot[m_elementOffsets[j]*m_m], m_switchesHeld)
					   || phaseChanged;
	if (phaseChanged) {
		updateStates();
		if (m_switchesHeld) {
			updateLoads();
			updateDerivatives();
		}
	}

	const SwitchPieces pieces = switchPieces(m_switchesHeld ? &m_heldPieces : nullptr, joining);
	bool changed = pieces != m_heldPieces;
	m_heldPieces = pieces;
	// the cooling's band takes from its power what the dehumidification gives on its piece held
	// from now on, at this state; each load update sets that again from the held piece, whose
	// output moves with the room's vapour between events
	if (SwitchingGroups(m_room).m_dehumidification)
		m_dehumidificationPower = -dehumidificationBand().load(pieces.m_dehumidification, m_rhoVRoom);
	for (unsigned int i = 0; i < m_nConstructions; ++i) {
		if (!std::isfinite(m_windowRadiationLimit[i]))
			continue;
		const std::uint8_t shaded = m_globalRadiation[i] > m_windowRadiationLimit[i];
		changed = changed || shaded != m_heldWindowShaded[i];
		m_heldWindowShaded[i] = shaded;
	}

	// what the assessment's next update of the air change looks at, in the time window in force
	// from now on; the air change itself changes only in those updates
	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	const double threshold = din.m_active
							 ? din.enhancedVentilationThreshold(DIN4108_2Assessment::timeRulesAfter(m_t/3600))
							 : std::numeric_limits<double>::quiet_NaN();
	const double thetaRoom = m_TRoom - ZEB::KELVIN_OFFSET;
	m_heldVentilationWatched = !std::isnan(threshold) && !din.ventilationDwellingAfter(m_t);
	m_heldVentilationThreshold = m_heldVentilationWatched ? threshold : 0;
	m_heldRoomAboveThreshold = thetaRoom > m_heldVentilationThreshold;
	m_heldOutsideBelowRoom = m_TOut - ZEB::KELVIN_OFFSET < thetaRoom;

	changed = changed || phaseChanged;

	m_switchesHeld = true;
	return changed;
}


void CalovindaModel::switchingFunctions(double * z) const {
	const SwitchingGroups groups(m_room);
	// the dehumidification's depth moves the cooling's power left too: its rate once for both
	const ControllerBand dehumidification = groups.m_dehumidification ? dehumidificationBand() : ControllerBand();
	const std::pair<double, double> depthRate =
		groups.m_dehumidification ? dehumidificationDepthRate() : std::pair<double, double>(0, 0);
	if (groups.m_controllers) {
		ControllerBand heating = heatingBand();
		ControllerBand cooling = coolingBand();
		markOffEnds(m_heldPieces, heating, cooling);
		const double heatingRest = heatingRestDepth(heating);
		const double coolingRest = restDepth(cooling, m_coolingLoad, 1);
		heating.switchingFunctions(m_heldPieces.m_heating, m_TRoom, heatingRest, z[0], z[1]);
		cooling.switchingFunctions(m_heldPieces.m_cooling, m_TRoom, coolingRest, coolingLimitRest(cooling, dehumidification, depthRate),
								   z[2], z[3]);
		if (m_room.m_gammaHC > 0)
			z[1] = std::max(z[1], heating.raiseSwitchingFunction(m_heldPieces.m_heating, m_TRoom, heatingRest));
		z[3] = std::max(z[3], cooling.raiseSwitchingFunction(m_heldPieces.m_cooling, m_TRoom, coolingRest));
		z += 4;
	}
	if (groups.m_dehumidification) {
		const ControllerPiece held = m_heldPieces.m_dehumidification;
		dehumidification.switchingFunctions(
			held, m_rhoVRoom,
			dehumidificationRestDepth(dehumidification, dehumidification.load(held, m_rhoVRoom), depthRate.first), z[0],
			z[1]);
		z += 2;
	}
	if (groups.m_ventilationCooling) {
		const ControllerBand band = ventilationCoolingBand();
		const ControllerPiece held = m_heldPieces.m_ventilationCooling;
		band.switchingFunctions(held, m_TRoom, ventilationCoolingRestDepth(band, held), z[0], z[1]);
		z += 2;
	}
	if (groups.m_bypass) {
		// a half of the step is left across its middle where the air goes on across (SmoothStep)
		m_room.m_mechanicalVentilationModel.bypassSwitchingFunctions(m_heldPieces.m_bypassStage, m_TRoom, airRestShift(),
																	 z[0], z[1]);
		z += 2;
	}
	if (groups.m_naturalVentilation) {
		m_room.m_naturalVentilationModel.riseSwitchingFunctions(m_heldPieces.m_naturalVentilationRise,
																static_cast<unsigned int>(m_hourOfYear), m_tRules,
																m_TRoom, m_TOut, z, airRestShift());
		z += 3;
	}
	if (groups.m_assessmentVentilation) {
		if (m_heldVentilationWatched) {
			const double thetaRoom = m_TRoom - ZEB::KELVIN_OFFSET;
			const double aboveThreshold = thetaRoom - m_heldVentilationThreshold;
			const double belowRoom = thetaRoom - (m_TOut - ZEB::KELVIN_OFFSET);
			z[0] = (m_heldRoomAboveThreshold ? -aboveThreshold : aboveThreshold) - ControllerBand::SWITCH_HYSTERESIS;
			z[1] = (m_heldOutsideBelowRoom ? -belowRoom : belowRoom) - ControllerBand::SWITCH_HYSTERESIS;
		}
		else
			z[0] = z[1] = -1;
		z += 2;
	}
	for (unsigned int i = 0; i < m_nConstructions; ++i) {
		if (!std::isfinite(m_windowRadiationLimit[i]))
			continue;
		const double aboveLimit = m_globalRadiation[i] - m_windowRadiationLimit[i];
		*z++ = (m_heldWindowShaded[i] ? -aboveLimit : aboveLimit) - RADIATION_HYSTERESIS;
	}
	for (unsigned int j = 0; j < m_nConstructions; ++j)
		if (m_constructionSolvers[j].watchesPhase())
			*z++ = m_constructionSolvers[j].phaseSwitchingFunction(&m_ydot[m_elementOffsets[j]*m_m]);
}


bool CalovindaModel::airLagsHeldController() const {
	if (!SwitchingGroups(m_room).m_controllers)
		return false;
	ControllerBand heating = heatingBand();
	ControllerBand cooling = coolingBand();
	markOffEnds(m_heldPieces, heating, cooling);
	return heating.lagsBeyondOffEnd(m_heldPieces.m_heating, m_TRoom, heatingRestDepth(heating))
		   || cooling.lagsBeyondOffEnd(m_heldPieces.m_cooling, m_TRoom, restDepth(cooling, m_coolingLoad, 1));
}


double CalovindaModel::airRestShift() const {
	// the air's balance over what holds the air: its conductance to the surfaces and windows and
	// the natural air change's own (the step's gain left out, so that the rest point lies as far
	// as the room would go off the step); beyond the step's ends with the air change there, not
	// the step continued: that would hold the room beyond an end where it rests off the step
	const NaturalVentilationModel & ventilation = m_room.m_naturalVentilationModel;
	double balance = airHeatBalance() - ventilation.m_continuedHeatFlow;
	if (m_room.m_moistureBalanceEnabled)
		balance += vaporEnthalpy(m_TRoom)*ventilation.m_continuedMoistureFlow;
	const double conductance = m_airConductance + (ventilation.m_airChangeRate - ventilation.m_continuedAirChange)
							   *m_room.volume()/3600*ZEB::RHO_AIR*ZEB::C_AIR;
	return conductance > 0 ? balance/conductance : 0;
}


double CalovindaModel::restDepth(const ControllerBand & band, double load, double airShare) const {
	// the load that would hold the room air where it is, sign as the band's output
	const double held = airShare > 0 ? load - airHeatBalance()/airShare : load;
	return (band.m_cooling ? -held : held)/band.m_slope;
}


void CalovindaModel::markOffEnds(const SwitchPieces & held, ControllerBand & heating,
								 ControllerBand & cooling) const
{
	// A step that falls as the room warms may begin at a device's off end (a heater at 20 C below
	// an air change falling above 20 C), where the base air change is held: the room tips there
	// as soon as the device lets go, yet the held base knew no tipping, and a heater of 53 kW/K
	// held on past its off end cooled the room by 5 W a tenth of a millikelvin into the step. The
	// sun that took the room's balance a few watts past the end one November morning never
	// carried it across, and the room stayed at the set point for an hour and a half where it
	// tipped, 2.0 K off at every tolerance.
	const bool onTippingStep = tippingRate(held.m_naturalVentilationRise) > 0;
	heating.m_tipsBeyondOffEnd = onTippingStep || tipsJustBeyondOffEnd(heating);
	cooling.m_tipsBeyondOffEnd = onTippingStep || tipsJustBeyondOffEnd(cooling);
	heating.m_followingRestShift = followingRestShift(heating, m_room.m_gammaHC);
	cooling.m_followingRestShift = followingRestShift(cooling, 1);
}


double CalovindaModel::followingRestShift(const ControllerBand & band, double airShare) const {
	// On a set point that moves in time the piece that holds the room air still is not the one
	// that lets it follow the set point. Judged on the first as a cooler's set point rose from 23
	// to 24 C in a minute, the air lagged the ramp by 17 mK, never the off end's reach, and the
	// proportional piece, continued past its off end, heated the room by nearly a kilowatt up the
	// ramp at its 1 K a minute, where co-simulation's cooler went off and the air rose at a
	// hundredth of a kelvin a second; a room whose walls melt at 22-25 C lay 0.55 K above
	// co-simulation at every tolerance. A heater whose set point fell from 21 to 20 C in a minute
	// is its mirror: its piece cooled a Denver room down the ramp in January, 0.24 K below
	// co-simulation a minute after the ramp began. At the off end the point of rest is the one
	// where the air follows: the depth at which the output gives the air the heat that moves it
	// at the set point's rate.
	if (!(airShare > 0))
		return 0;
	return (band.m_cooling ? -1 : 1)*airHeatCapacity()*band.m_setPointRate/(airShare*band.m_slope);
}


bool CalovindaModel::tipsJustBeyondOffEnd(const ControllerBand & band) const {
	const double beyond = band.m_TSet + (band.m_cooling ? -1 : 1)*ControllerBand::SWITCH_HYSTERESIS;
	const unsigned int hour = static_cast<unsigned int>(m_hourOfYear);
	return tippingRate(m_room.m_naturalVentilationModel.rise(hour, m_tRules, beyond, m_TOut), beyond) > 0;
}


double CalovindaModel::heatingRestDepth(const ControllerBand & heating) const {
	// a heater that heats the air only by radiation gives it no resting point of its own: its
	// gain's rise would stay due after a raise and hide the full-power end, passed unseen
	return m_room.m_gammaHC > 0 ? restDepth(heating, m_heatingLoad, m_room.m_gammaHC) : heating.depth(m_TRoom);
}


double CalovindaModel::ventilationCoolingRestDepth(const ControllerBand & band, ControllerPiece held) const {
	const double airShare = ventilationCoolingAirShare();
	return airShare > 0 ? restDepth(band, band.load(held, m_TRoom), airShare) : band.depth(m_TRoom);
}


double CalovindaModel::ventilationCoolingAirShare() const {
	// its output, minus the supply flow [m3/h], heats the room air by what a cubic metre an hour
	// of the supply takes from it
	double supplyFlow, heatFlow, coolingPower;
	m_room.m_mechanicalVentilationModel.coolingFlows(1, m_TRoom, m_TOut, supplyFlow, heatFlow, coolingPower);
	return -heatFlow;
}


double CalovindaModel::airHeatBalance() const {
	// with the moisture balance the air's energy also holds its vapour's, which the vapour's flows
	// carry
	double balance = m_ydot[m_n - m_m];
	if (m_room.m_moistureBalanceEnabled)
		balance -= vaporEnthalpy(m_TRoom)*m_ydot[m_n - 1];
	return balance;
}


double CalovindaModel::airHeatCapacity() const {
	// With the moisture balance the room air's energy holds its vapour's heat too, as updateStates()
	// solves for the air: some 5 % more in air at 42 C and 60 %. The dehumidification's set point
	// moves with the air by 1.8 g/m3 per K there, and without it the depth's rate as the air
	// cooled in the evening was 50 W of the dehumidification's output off: its point of rest and
	// the cooler's power left lay 10 W beyond where they rested, beyond the end of the cooler's
	// full output below none, and a host at 1e-4 switched it off and back a quarter of an hour
	// later.
	const double vapor = m_room.m_moistureBalanceEnabled ? ZEB::C_VAPOR*m_rhoVRoom : 0.0;
	return (ZEB::RHO_AIR*ZEB::C_AIR + vapor)*m_room.volume() + m_room.m_additionalMassHeatCapacity*m_room.m_additionalMass;
}


double CalovindaModel::coolingLimitRest(const ControllerBand & cooling, const ControllerBand & band,
										const std::pair<double, double> & depthRate) const {
	const double stays = std::numeric_limits<double>::quiet_NaN();
	if (!SwitchingGroups(m_room).m_dehumidification || m_room.m_din4108_2Assessment.m_active
		|| m_heldPieces.m_dehumidification != PIECE_PROPORTIONAL)
		return stays;
	// the dehumidification's output moves with the depth only within its piece's continuation
	const double output = band.depth(m_rhoVRoom)*band.m_slope;
	const double reach = band.continuationReach()*band.m_slope;
	if (!(output > -reach && output < band.m_limit + reach))
		return stays;
	// The power left moves against the dehumidification's output, which moves with the depth, and
	// comes to rest where the depth would.
	return cooling.m_limit - depthRate.first/dehumidificationDepthRatePerWatt(depthRate.second);
}


double CalovindaModel::dehumidificationDepthRatePerWatt(double setPointSlope) const {
	// A watt more of the dehumidification's output takes its vapour from the room and, with the
	// cooler held on its full output, a watt of cooling from the room air, which lifts the set
	// point: the depth's rate falls by the sum of both.
	double perWatt = 1/(ZEB::H_EVAP*m_room.volume());
	if (m_heldPieces.m_cooling == PIECE_LIMITED)
		perWatt += setPointSlope/airHeatCapacity();
	return perWatt;
}


std::pair<double, double> CalovindaModel::dehumidificationDepthRate() const {
	const double V = m_room.volume();
	const double vaporRate = m_ydot[m_n - 1];
	const double airRate = airHeatBalance()/airHeatCapacity();
	const double setPointSlope = dehumidificationBand().m_setPointSlope;
	return {vaporRate/V - setPointSlope*airRate, setPointSlope};
}


double CalovindaModel::dehumidificationRestDepth(const ControllerBand & band, double load, double depthRate) const {
	// The depth is the vapour's distance from a set point that moves with the room air, where the
	// air is warm and near saturation by some 1.5e-3 kg/m3 per Kelvin: a host's error on the air
	// moves it a hundred times as far as the hysteresis (4e-8 kg/m3, the set point's move over
	// 3e-5 K). Where the air reached saturation as it cooled in the evening, the device switched on
	// at its end, and each restart of a host at 1e-4 carried the vapour back across it within a
	// tenth of a second, thousands of times an hour, while the room's balance lay 1e-4 kg/m3 within
	// the proportional piece. As for the room air, an end is passed once the vapour and the depth
	// where it would rest both lie beyond it: where the output of the proportional piece would hold
	// the depth still, with the set point moving as the air does.
	// The output that would hold the depth where it is, sign as the band's. With the cooler on its
	// full output, the output's moves move the room air too, whose set point then moves some three
	// times as fast as the vapour: taken from the vapour alone, a host's swings of the depth about
	// its rest, a kilowatt of output, put the point of rest three times as far on the other side,
	// and where the cooler's power went to the cooling as the warming air lifted the set point,
	// the proportional piece was held two hours past its off end, humidifying the room and cooling
	// it with up to 1.6 kW more than the device's power, where co-simulation had switched it off
	// (a 1.5 kW cooler: 0.62 K off at 1e-4).
	const double held = load - depthRate/dehumidificationDepthRatePerWatt(band.m_setPointSlope);
	return (band.m_cooling ? -held : held)/band.m_slope;
}


bool CalovindaModel::raiseGainsToRest(ControllerPiece heatingPiece, ControllerPiece coolingPiece) {
	DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	HeatingModel & heating = m_room.m_heatingModel;
	CoolingModel & cooling = m_room.m_coolingModel;
	const std::array<double, 4> before = {heating.m_slope, cooling.m_slope, din.m_slopeHeating, din.m_slopeCooling};
	// Asked at the room air itself, at each step while it recovers from a fall (after the start,
	// after a set point's step), the adaptation would raise the gain once for every step its
	// integrator takes there: in steps of 1 s a raise more than in steps of 60 s, at a tighter
	// tolerance twice as far, and a host that completes a step only at its output points not at
	// all. The room air answers a raise within seconds, so it is asked at the depth where the air
	// would rest with each raised gain, until that lies within the raise depth: the same gain
	// after any number of steps.
	const auto raise = [this](ControllerPiece held, const ControllerBand & band, double load, double airShare,
							  const double & slope, const auto & adjust) {
		if (held != PIECE_PROPORTIONAL || !(band.depth(m_TRoom) > band.m_raiseDepth))
			return;
		const double holding = restDepth(band, load, airShare)*band.m_slope;
		for (double last = 0; slope > last;) {
			last = slope;
			adjust(band.m_cooling ? band.m_TSet + holding/last : band.m_TSet - holding/last);
		}
	};
	const double heatingLoad = m_heatingLoad;
	const double coolingLoad = m_coolingLoad;
	if (din.m_active) {
		raise(heatingPiece, heatingBand(), heatingLoad, m_room.m_gammaHC, din.m_slopeHeating,
			  [&din, heatingLoad](double T) { din.adjustSlope(T, heatingLoad); });
		if (din.m_passiveCooling)
			raise(coolingPiece, coolingBand(), coolingLoad, 1, din.m_slopeCooling,
				  [&din, coolingLoad](double T) { din.adjustSlopeCooling(T, coolingLoad); });
	}
	else {
		const unsigned int hour = static_cast<unsigned int>(m_hourOfYear);
		const double t = m_tRules;
		raise(heatingPiece, heatingBand(), heatingLoad, m_room.m_gammaHC, heating.m_slope,
			  [&heating, hour, t, heatingLoad](double T) { heating.adjustSlope(hour, t, T, heatingLoad); });
		const double dehumidificationPower = m_dehumidificationPower;
		raise(coolingPiece, coolingBand(), coolingLoad, 1, cooling.m_slope,
			  [&cooling, hour, t, coolingLoad, dehumidificationPower](double T) {
				  cooling.adjustSlope(hour, t, T, coolingLoad, dehumidificationPower); });
	}
	const std::array<double, 4> after = {heating.m_slope, cooling.m_slope, din.m_slopeHeating, din.m_slopeCooling};
	return before != after;
}


unsigned int CalovindaModel::numberOfSwitchingFunctions() const {
	const SwitchingGroups groups(m_room);
	const auto windows = std::count_if(m_windowRadiationLimit.begin(), m_windowRadiationLimit.end(),
									   [](double limit) { return std::isfinite(limit); });
	const auto phases = std::count_if(m_constructionSolvers.begin(), m_constructionSolvers.end(),
									  [](const ConstructionSolver & wall) { return wall.watchesPhase(); });
	return (groups.m_controllers ? 4 : 0) + (groups.m_dehumidification ? 2 : 0) + (groups.m_ventilationCooling ? 2 : 0)
		   + (groups.m_bypass ? 2 : 0) + (groups.m_naturalVentilation ? 3 : 0)
		   + (groups.m_assessmentVentilation ? 2 : 0) + static_cast<unsigned int>(windows + phases);
}


double CalovindaModel::tippingStep(const SwitchPieces & pieces, bool airResolved) const {
	// Where the air change falls as the room warms, its loss falls with the room air faster than
	// what holds the air: from wherever its balance points, the room tips across the step, its
	// distance from the point of balance growing e-fold within the tipping time. An implicit step
	// many times longer damps the tipping instead, or has a second solution on the step's far
	// side on which its Newton iteration may settle: a host's steps held such rooms on the step,
	// or carried them back against their balance, for ten minutes to hours, and co-simulation's
	// result came to depend on its communication step. Steps as long as that time follow it.
	const double none = std::numeric_limits<double>::infinity();
	const double rate = tippingRate(pieces.m_naturalVentilationRise, m_TRoom);
	const double tipping = rate > 0 ? std::max(SHORTEST_TIPPING_STEP, airHeatCapacity()/rate) : none;
	// A heater or cooler on its proportional piece holds the room on the step, for hours perhaps;
	// the room tips once the device switches off at its off end. Co-simulation's integrator,
	// which keeps the room air at its rest, steps no longer than half the time in which the air
	// would reach that end at its present rate (the rate of its rest point), and no shorter than
	// the tipping. A host's solver leaves the air off its rest by its error, millikelvins, and the
	// air's rate then tells how fast the air would return there, not where the rest point goes:
	// time events taken from it came every few seconds after a restart, at 1e-4 more of them than
	// at 1e-6 (3,700 against 3,477 in a room heated on the step), and taken only where the air lay
	// within 5 mK of its rest they moved knife's edges past 1 K. A host is left to the device's
	// gain and its off end's switching function.
	const bool heated = pieces.m_heating == PIECE_PROPORTIONAL;
	const bool cooled = pieces.m_cooling == PIECE_PROPORTIONAL;
	// Co-simulation's integrator steps a quarter of that time: an implicit step of h grows the
	// room's distance from its balance by 1/(1 - h/T) where it grows by exp(h/T) (T the tipping
	// time), 1.5 against 1.4 over the third of T that the integrator chose within that limit, and
	// tippings came up to a minute early: a room cooled at 26 C above a step falling over
	// 25.8-26 C lay 0.21 K colder in hourly steps than in steps of a second as it tipped one
	// evening, 11 mK in steps of a quarter. A host's solver took its first step after a restart
	// up to the next time event in one: a step of the whole tipping time grows that distance
	// without bound (with the wrong sign beyond), and a host at 1e-4, in whose error test the
	// room air is one state of hundreds, accepted a step that carried the air 36 mK back below a
	// step it had just entered, onto the heater's piece: the room tipped minutes late and at
	// 1e-4 with more events than at 1e-6 (4,229 against 4,165 a year in an Aachen room with the
	// moisture balance). Its time events come every half of the tipping.
	if (!heated && !cooled) {
		if (rate > 0 || !airResolved)
			return std::max(SHORTEST_TIPPING_STEP, tipping*(airResolved ? RESOLVED_TIPPING_SHARE : HOST_TIPPING_SHARE));
		return approachStep();
	}
	if (!airResolved)
		return none;
	// A device may also hold the room short of a step that begins at its off end (a heater at
	// 20 C below an air change falling above 20 C): the room reaches the step only as the device
	// lets go of it, where the air's rate turns from its rest point's to the step's free rise. A
	// step across that turn carries the room on at the rest point's rate, tens of microkelvins
	// too far where the sun has brought the room's balance just up to the step, and the tipping
	// makes that a whole tipping: steps of 10 s, a quarter of the tipping time, tipped a room two
	// hours before steps of 1 s did, and 1.3 K warmer at 10:00. There steps shrink as the air
	// nears the off end down to a second.
	const double airRate = airHeatBalance()/airHeatCapacity();	// [K/s]
	double step = none;
	const auto nearing = [&](const ControllerBand & band) {
		// [K/s] how fast the room air moves towards the off end
		const double approach = band.m_cooling ? -airRate : airRate;
		if (!(approach > 0))
			return;
		double shortest = tipping;
		if (!(rate > 0)) {
			if (!tipsJustBeyondOffEnd(band))
				return;
			shortest = SHORTEST_TIPPING_STEP;
		}
		step = std::min(step, std::max(shortest, band.depth(m_TRoom)/approach/2));
	};
	if (heated)
		nearing(heatingBand());
	if (cooled)
		nearing(coolingBand());
	return step;
}


double CalovindaModel::approachStep() const {
	// Co-simulation's integrator also enters such a step in steps no longer than those it takes on
	// it. A step that lands on the step from off it solves for the tipping there, not for the way
	// there: on the step the room air's rate grows with the air, and the implicit step has a
	// solution near where the predictor carried the air, which the error test, comparing the two,
	// accepts. A room warming by 5 K an hour on a winter morning, its heat recovery bypassed over
	// 21.7-22.3 C below an air change falling from 2 to 0.3 per hour above 22 C, was carried in
	// one step of 275 s from 21.67 C across the bypass's rise, which halved its warming in steps
	// of a second, onto the step 0.11 K too warm; it tipped before the supply air's rise at 9:00
	// drew it back below the step, and lay 0.33 K warmer than in steps of 10 s at that hour.
	// Steps shrink as the air nears the step to half the time it would take to reach it at its
	// present rate, down to the share of the tipping time it steps on the step.
	const double none = std::numeric_limits<double>::infinity();
	const unsigned int hour = static_cast<unsigned int>(m_hourOfYear);
	const double distance = m_room.m_naturalVentilationModel.stepDistance(hour, m_tRules, m_TRoom, m_TOut);
	const double airRate = airHeatBalance()/airHeatCapacity();	// [K/s]
	// [K/s] how fast the room air moves towards the step's nearer end
	const double approach = distance > 0 ? airRate : -airRate;
	if (distance == 0 || !(approach > 0))
		return none;
	NaturalVentilationModel::HeldRise onStep;
	onStep.m_stage = NaturalVentilationModel::RISE_STEP;
	const double rate = tippingRate(onStep, m_TRoom + distance);
	if (!(rate > 0))
		return none;
	const double tipping = std::max(SHORTEST_TIPPING_STEP, airHeatCapacity()/rate*RESOLVED_TIPPING_SHARE);
	return std::max(tipping, std::fabs(distance)/approach/2);
}


double CalovindaModel::settlingStep(const SwitchPieces & pieces, double * distance) const {
	// After a set point's step the full output brings the room air to the proportional piece,
	// which relaxes it towards its balance within seconds. A host's solver steps on from its
	// restart there in steps growing several-fold, and at 1e-4 its error test, in which the room
	// air is one state among hundreds, let one step of 13 s carry the air 0.34 K past the set
	// point while its balance lay 0.12 K on the heated side: the piece ended as the air passed
	// the off end's far reach, and began again seconds later, a pair of events every morning
	// that a tighter host never saw. A time event where the air has come within that reach of
	// its balance restarts the host there, and what is left of the approach is too little for
	// its steps to carry the air that far.
	const double none = std::numeric_limits<double>::infinity();
	if (distance)
		*distance = 0;
	// [W/K] what holds the room air at its balance while the walls stay as they are
	double holding = 0;
	if (pieces.m_heating == PIECE_PROPORTIONAL)
		holding += heatingBand().m_slope*m_room.m_gammaHC;
	if (pieces.m_cooling == PIECE_PROPORTIONAL)
		holding += coolingBand().m_slope;
	if (!(holding > 0))
		return none;
	holding += m_airConductance;
	const double away = std::fabs(airHeatBalance())/holding;	// [K]
	if (distance)
		*distance = away;
	if (!(away > SETTLED_AIR_REACH))
		return none;
	// no sooner than a time constant, and a second: a host restarting there must take a step
	const double timeConstant = airHeatCapacity()/holding;
	return std::max(SHORTEST_TIPPING_STEP, timeConstant*std::max(1.0, std::log(away/SETTLED_AIR_REACH)));
}


double CalovindaModel::tippingRate(const NaturalVentilationModel::HeldRise & rise) const {
	return tippingRate(rise, m_TRoom);
}


double CalovindaModel::tippingRate(const NaturalVentilationModel::HeldRise & rise, double TRoom) const {
	if (!SwitchingGroups(m_room).m_naturalVentilation)
		return 0;
	const double fall = m_room.m_naturalVentilationModel.steepestFall(rise, static_cast<unsigned int>(m_hourOfYear),
																	   m_tRules, TRoom, m_TOut);
	if (!(fall > 0))
		return 0;
	const double perAirChange = m_room.volume()/3600*ZEB::RHO_AIR*ZEB::C_AIR;
	// [W/K]: the air change's loss falling with the room air on the step, above the outside air,
	// less what holds the air: its conductance to the surfaces and windows
	return perAirChange*fall*(TRoom - m_TOut) - m_airConductance;
}


double CalovindaModel::nextSplineTurn(double t) const {
	const auto after = std::upper_bound(m_splineTurns.begin(), m_splineTurns.end(), t);
	return after != m_splineTurns.end() ? *after : std::numeric_limits<double>::infinity();
}


double CalovindaModel::nextRuleChange(double t) const {
	double next = std::numeric_limits<double>::infinity();
	if (!m_hoursToScheduleChange.empty()) {
		// the hour of the year as setTime takes it
		const double tYear = std::fmod(t, ZEB::SECONDS_PER_YEAR);
		const unsigned int h = static_cast<unsigned int>(std::min(std::floor(tYear/3600), ZEB::HOURS_PER_YEAR - 1.0));
		if (const unsigned int k = m_hoursToScheduleChange[h])
			next = t - tYear + 3600.0*(h + k);
	}
	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	if (din.m_active)
		next = std::min(next, 3600*din.nextTimeRuleChange(t/3600, m_room.height()));
	else
		next = std::min(next, m_room.m_naturalVentilationModel.nextDayPeriodChange(t));
	return next;
}

} // namespace RX
