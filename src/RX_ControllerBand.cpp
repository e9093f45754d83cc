#include "RX_ControllerBand.h"

#include <algorithm>
#include <cmath>

#include "ZEB_Math.h"

namespace RX {

ControllerPiece ControllerBand::piece(double T) const {
	return pieceAtDepth(depth(T));
}


ControllerPiece ControllerBand::pieceAtDepth(double d) const {
	if (!(m_limit > 0) || !hasPower())
		return PIECE_OFF;
	const double u = d*m_slope;
	if (u <= 0)
		return PIECE_OFF;
	return u >= m_limit ? PIECE_LIMITED : PIECE_PROPORTIONAL;
}


ControllerPiece ControllerBand::nextPiece(ControllerPiece p, double T, double restDepth, double restLimit,
										  bool joining) const
{
	// Chosen from the room air alone at every event, a piece held within its margins beyond an
	// end (the hysteresis, the off end's reach, the points of rest) went over at another
	// switch's event by the margin alone: a heater resting just past its off end went off at
	// the summer assessment's threshold at its set point, and came on again a fraction of a
	// second later, and at a loose tolerance, whose error moves the air across such thresholds
	// more often, that made more events than at a tight one.
	const ControllerPiece there = piece(T);
	if (there == p)
		return p;
	double zOn, zLimited;
	switchingFunctions(p, T, restDepth, restLimit, zOn, zLimited);
	// A proportional piece whose power another output (the cooler's dehumidification) has taken
	// goes on to the full output below none, which gives back what that output's continuation
	// takes beyond the device's power. Held on without power, it gave nothing and watched no end:
	// a cooler that a pulse of vapour left on its proportional piece cooled a room through the
	// dehumidification's continuation by up to 400 W more than the device's power, and lay 0.79 K
	// below co-simulation as the pulse ended, at 1e-4.
	const bool taken = p == PIECE_PROPORTIONAL && !(m_limit > 0) && m_takenPower > 0;
	if (taken && (zOn > 0 || zLimited > 0))
		return depth(T) > 0 ? PIECE_LIMITED : PIECE_OFF;
	if (zOn > 0 || zLimited > 0 || (p == PIECE_PROPORTIONAL && !(m_limit > 0)))
		return there;
	// Where the room would rest within a piece with output, further than the off end reaches (the
	// output a host's error on the air moves), the room air's excursion past its end is the
	// host's and the piece stays. Elsewhere the switch the room air has begun (a heater past its
	// off end as the sun warms the room) followed seconds later, an event of its own: it joins
	// this one. A band held off holds the room nowhere, and where another switch lies at its on
	// end (the natural ventilation's threshold at the set point), the host's error on the floating
	// air brought it on seconds after the other's event: the room air that has passed the end
	// decides. Without output (the full output held below none) there is no such rest, and a band
	// held off comes on only with the output its switching functions ask for.
	const double left = std::isnan(restLimit) ? m_limit : std::min(m_limit, restLimit);
	if (!joining || !(m_limit > 0) || (p == PIECE_OFF && !(left > powerOnThreshold())))
		return p;
	const double reach = offEndReach();
	const bool rests = p != PIECE_OFF && pieceAtDepth(restDepth - reach) == p && pieceAtDepth(restDepth + reach) == p;
	return rests ? p : there;
}


double ControllerBand::load(ControllerPiece p, double T) const {
	if (p == PIECE_LIMITED && !(m_limit > 0))
		return m_cooling ? -std::max(m_limit, -powerFarReach()) : std::max(m_limit, -powerFarReach());
	if (!(m_limit > 0))
		return 0;
	double u = 0;
	switch (p) {
		case PIECE_OFF:				return 0;
		case PIECE_PROPORTIONAL: {
			// continued only as far as a host's solver meets states near a switch that its root
			// finder places: far beyond, a heater that cooled pinned the room air at the set point
			// against the sun, and the solver stepped over hours of it unseen
			const double reach = continuationReach()*m_slope;
			// Past the off end further, though the piece ends at its continuation's reach there
			// (switchingFunctions()): a host's predictor after an approach to the piece lands up
			// to a kelvin beyond it, and a Jacobian taken there without the gain left each Newton
			// iteration to pull the air back by the walls alone. A heavy room heated at 21 and
			// 22 C in turn, its air held 0.06 K below the set point, swung about that point in
			// steps of 20 s with one such iteration each, by more every step, until the air
			// passed the continuation and the heater went off and came back seconds later (18
			// pairs a year at 1e-4, none at 1e-6).
			u = std::min(std::max(depth(T)*m_slope, -OFF_END_CONTINUATION*reach), m_limit + reach);
			break;
		}
		case PIECE_LIMITED:			u = m_limit; break;
	}
	return m_cooling ? -u : u;
}


void ControllerBand::switchingFunctions(ControllerPiece p, double T, double restDepth, double restLimit, double & zOn,
										double & zLimited) const
{
	// A power that another output of the device takes from it (the cooler's, by its
	// dehumidification) may fall to none while the room rests there: the full output continues
	// below none and ends powerEndReach() below it, and the band comes on again once
	// powerOnThreshold() is left. Cut off at none, the held output had a kink where the room
	// rested, across which a host at 1e-6 stepped back and forth every four seconds until it gave
	// up.
	// That power moves with the room's vapour and, through the vapour's set point, with the room
	// air, by some 30 W per millikelvin: a host at 1e-4 carried it across those few watts and
	// back within seconds while the room's balance held it between them. Where it moves, those
	// ends are passed only once the power and its point of rest both lie beyond them, or the power
	// alone as far as the full output is continued.
	const bool limitMoves = !std::isnan(restLimit);
	const double powerFar = powerFarReach();
	const auto powerPassed = [this, powerFar](double x, double rest, double reach) {
		return std::max(std::min(x, rest) - reach, x - powerFar)/m_slope;
	};
	// A device without power at this set point (a cooler's curve down to none) never comes on,
	// whatever the other output's continuation below none leaves it: a host at 1e-4 that carried
	// the dehumidification 7 W below none switched a cooler of 0 W onto its full output and off
	// again within a second as the room warmed through its set point.
	if (p == PIECE_OFF && !hasPower()) {
		zOn = zLimited = -1;
		return;
	}
	if (p == PIECE_LIMITED && !(m_limit > 0)) {
		zOn = -depth(T) - m_hysteresis;
		zLimited = powerPassed(-m_limit, limitMoves ? -restLimit : -m_limit, powerEndReach());
		return;
	}
	// the proportional piece's ends stay watched while another output takes its power (nextPiece())
	if (!(m_limit > (p == PIECE_OFF ? powerOnThreshold() : 0)) && !(p == PIECE_OFF && limitMoves)
		&& !(p == PIECE_PROPORTIONAL && m_takenPower > 0)) {
		zOn = zLimited = -1;
		return;
	}
	// positive once T lies beyond an end of p by more than the hysteresis; the proportional piece
	// beyond its off end further, by a small share of the band: a room resting where a heater
	// of low gain just switches off, moved past that end by each restart of the host, switched
	// it on and off every few seconds. The piece continued cools there, by so little a share of
	// the output at most that it cannot hold the room against the sun.
	// A host at a loose tolerance still moves the air across that reach and back, some hundredths
	// of a Kelvin, while the point where the proportional piece balances the room lies within it:
	// at the on/off end the room air and that point must both lie beyond, unless the air lies as
	// far beyond as the piece is continued (beyond that the error would grow with the gain).
	const double d = depth(T);
	const double dLimited = m_limit/m_slope;
	// A share of a device large for its room (the example's 100 kW in a 5 m2 room) would still
	// hold the room against the sun or a cool night: no more output there than m_offEndOutput.
	const double offEndReach = this->offEndReach();
	const double farBeyond = std::max(offEndReach, continuationReach());
	// positive once x and the point of rest both lie beyond reach, or x beyond far
	const auto passed = [farBeyond](double x, double rest, double reach) {
		return std::max(std::min(x, rest) - reach, x - farBeyond);
	};
	// On a set point that moves in time the proportional piece's ends take the point of rest
	// where the room air follows it (m_followingRestShift).
	const double followingRest = restDepth + m_followingRestShift;
	zOn = p == PIECE_OFF ? passed(d, restDepth, m_hysteresis)
		  : p == PIECE_PROPORTIONAL ? passed(-d, -followingRest, offEndReach)
		  : -d - m_hysteresis;
	// The same host carried a room that a heater at full power just keeps from cooling across the
	// tenth of a millikelvin about the limited end and back four times a second, while the
	// proportional piece balanced the room a few hundredths within it: the proportional piece
	// ends there too only once the air and that point both lie beyond, or the air as far beyond
	// as the piece is continued. The full output ends as soon as the air comes back within: where
	// the room rests just at the end, the air drifts within on the full output while the point
	// stays at the end, and the room ran hours too warm.
	// Where the set point moves with the room air (the vapour's of a relative humidity), a host's
	// error on the air moves the depth by some thirty hystereses per millikelvin: a 600 W cooler's
	// dehumidification, whose whole band spans 17 mK of air at 37 C, came back within its full
	// output's end 8 s after reaching it, while its depth rose and its point of rest lay 24 W
	// beyond. There the full output ends once the depth and that point both lie within, or the
	// depth alone as far as the piece is continued.
	// Where another output moves the limit (the cooler's power left by its dehumidification, some
	// 35 W per millikelvin of a host's error on the air), the end moves with it: a 3 kW cooler's
	// full output ended as a host at 1e-4 carried the power left 500 W above where it would rest,
	// and came back 10 s later (three times a year in the extreme-summer test reference year, none
	// at 1e-6). There it ends once the room air lies within the limit and within the limit's point
	// of rest, or as far within the limit as that other output is continued (m_takenReach).
	// At the limited end too the point of rest is the one where the room air follows a set point
	// moving in time: judged where the air would rest still, a ventilation's cooling supply of
	// 300 m3/h went on past its full output down a set point falling from 25 to 24 C in a minute,
	// continued to over four times that, and the room lay 0.44 K below co-simulation, whose
	// supply lagged the ramp at its full output.
	zLimited = p == PIECE_PROPORTIONAL ? passed(d - dLimited, followingRest - dLimited, m_hysteresis)
			   : p == PIECE_LIMITED && m_setPointSlope != 0 ? passed(dLimited - d, dLimited - restDepth, m_hysteresis)
			   : p == PIECE_LIMITED && limitMoves
				 ? std::max(std::min(dLimited - d, restLimit/m_slope - d) - m_hysteresis,
							dLimited - d - std::max(farBeyond, m_takenReach/m_slope))
			   : (p == PIECE_LIMITED ? dLimited - d : d - dLimited) - m_hysteresis;
	if (p == PIECE_OFF && limitMoves && m_limit < powerFar) {
		const double power = powerPassed(m_limit, restLimit, powerOnThreshold());
		zOn = std::min(zOn, power);
		zLimited = std::min(zLimited, power);
	}
}


double ControllerBand::continuationReach() const {
	// The vapour's set point of a relative humidity moves with the room air, by up to 2.6e-3 kg/m3
	// per Kelvin in warm air near saturation: the room air's error at a host's loose tolerance,
	// some hundredths of a Kelvin, moves the depth further than CONTINUATION_REACH hystereses of
	// the vapour (4e-5 kg/m3, 15 mK of the air there). Where the cooler was held on its full output,
	// a host at 1e-4 stepped across that end of the continued dehumidification into the constant
	// output beyond, whose Jacobian holds no gain, carried the depth on to where the piece ends and
	// switched the dehumidification to its full output and back seconds later, while its point of
	// rest lay well within (19 such pairs a year in a Denver room dehumidifying at saturation,
	// none at 1e-6).
	// Over the room air's own continuation alone, that was still too short: on a cooler's full
	// output, whose power left moves with the dehumidification's, a host at 1e-4 that crossed a
	// hot afternoon in steps of five minutes since the morning's last event let the depth swing
	// about its point of rest, by a kilowatt of output from step to step and growing, past the end
	// of the continuation (eight times in a year of the extreme-summer test reference year with
	// 2.5 kg/h of vapour, none at 1e-6): the dehumidification went off and came back seconds later.
	return CONTINUATION_REACH*(m_hysteresis + SET_POINT_REACH*std::fabs(m_setPointSlope)*SWITCH_HYSTERESIS);
}


double ControllerBand::offEndReach() const {
	// Where the room tips beyond the off end (a falling air change), what the piece continued gives
	// there is all that holds the room: a heater held a room on its step at the set point against
	// the rising sun by cooling it by less than a watt, inside the hysteresis's 6 W, where
	// co-simulation's heater gave nothing and the room tipped across the step for an hour. There
	// the piece ends as soon as it gives the device's opposite; no restart brings it back, for the
	// room tips away.
	return m_tipsBeyondOffEnd ? TIPPING_OFF_END_OUTPUT/m_slope
							  : std::max(m_hysteresis, std::min(OFF_END_REACH*m_limit/m_slope, m_offEndOutput/m_slope));
}


double ControllerBand::powerEndReach() const {
	// a band that sets no output for its off end (the supply air's) keeps its hysteresis
	return std::max(m_hysteresis*m_slope, std::isfinite(m_offEndOutput) ? m_offEndOutput : 0.0);
}


double ControllerBand::powerFarReach() const {
	return std::max({powerEndReach(), m_limit + m_takenPower, m_takenReach});
}


double ControllerBand::powerOnThreshold() const {
	// a heater of 2 W, less than the allowance, never came on where co-simulation heated with it
	return std::min(powerEndReach(), (m_limit + m_takenPower)/2);
}


double ControllerBand::raiseSwitchingFunction(ControllerPiece p, double T, double restDepth) const {
	if (!(m_limit > 0) || p != PIECE_PROPORTIONAL || !std::isfinite(m_raiseDepth))
		return -1;
	// a device whose full output begins within the raise depth is saturated wherever a raise
	// would be due, and co-simulation raises no saturated gain: its limited end comes first
	if (!(m_limit/m_slope > m_raiseDepth + m_hysteresis))
		return -1;
	// Co-simulation raises the gain at each of its steps while the room air lies beyond the
	// depth, until the room rests within it; a host steps on for its whole output interval at the
	// gain it has. Once raised that far, the function is negative at once, also where the room air
	// has yet to come back, as long as some of the output reaches the air (where none does, the
	// room's switching functions leave this one out).
	// The gain is raised only while the output at the room air itself lies short of the full
	// output, as co-simulation's is. Beyond that end the raise's event found a saturated device,
	// raised nothing, and left this function positive where the host restarted: its sign never
	// changed again, and in the maximum with the full output's end, which the room's switching
	// functions take, it hid that end. A 3 kW cooler whose full output began 0.9 mK beyond the
	// raise depth was held on its proportional piece, continued past its full output, for the
	// hour up to a host's output point, cooling by up to 1.4 kW more than its power, and the room
	// lay 2.35 K below co-simulation at 1e-6.
	const double d = depth(T);
	return std::min(std::min(d, restDepth) - m_raiseDepth, m_limit/m_slope - d) - m_hysteresis;
}


bool ControllerBand::lagsBeyondOffEnd(ControllerPiece p, double T, double restDepth) const {
	return p == PIECE_PROPORTIONAL && m_limit > 0 && -restDepth > offEndReach()
		   && depth(T) - restDepth > LAG_REACH*continuationReach();
}


std::uint8_t SmoothStep::stage(double x, double width) {
	// the step's own ends: 0 up to 0, 1 from width on
	if (x <= 0)
		return 0;
	if (x < width/2)
		return 1;
	return x < width ? 2 : 3;
}


double SmoothStep::value(std::uint8_t s, double x, double width) {
	if (s == 0)
		return 0;
	if (s == STAGES - 1)
		return 1;
	// the halves continue flat beyond the step's ends, as the step does: never into their opposite
	return ZEB::scale2(x, width);
}


void SmoothStep::switchingFunctions(std::uint8_t s, double x, double width, double & zBelow, double & zAbove,
									double restShift)
{
	// Where a held stage continues as the step itself (the halves beyond the step's ends, and each
	// other across its middle) it may stay well past its end: a host restarting near an end from
	// interpolated states moves the room air by more than any hysteresis of a tenth of a
	// millikelvin, and the stages would switch back and forth thousands of times an hour. Across
	// the middle, where the host's Jacobian holds the half's gain, only as far as the gain falls
	// by a quarter. The constants of stages 0 and 3 differ from the step inside it: they are left
	// at once.
	const double ends[] = {0, width/2, width};
	const double pastBelow[] = {0, width*OUTER_REACH, width*MIDDLE_REACH, ControllerBand::SWITCH_HYSTERESIS};
	const double pastAbove[] = {ControllerBand::SWITCH_HYSTERESIS, width*MIDDLE_REACH, width*OUTER_REACH, 0};
	zBelow = s > 0 ? ends[s - 1] - x - pastBelow[s] : -1;
	zAbove = s < STAGES - 1 ? x - ends[s] - pastAbove[s] : -1;
	// Across the middle a half is left where x goes on across: once its point of rest lies past
	// the reach as well, or x alone past the other half's end. Both halves are the same step, and
	// the switch only restarts a host's solver. Where the room air turned just short of the reach
	// (0.146 K above the middle at its highest, after a cooler's set point rose by 4 K), a 1e-4
	// host carried it 4 mK past by its error, and the half switched there and back an hour later.
	if (s == 1)
		zAbove = std::max(std::min(zAbove, zAbove + restShift), x - ends[2]);
	else if (s == 2)
		zBelow = std::max(std::min(zBelow, zBelow - restShift), ends[0] - x);
}


std::uint8_t SmoothStep::next(std::uint8_t s, double x, double width, double restShift) {
	double zBelow, zAbove;
	switchingFunctions(s, x, width, zBelow, zAbove, restShift);
	return zBelow > 0 || zAbove > 0 ? stage(x, width) : s;
}

} // namespace RX
