#ifndef RX_ControllerBandH
#define RX_ControllerBandH

#include <cstdint>
#include <limits>

#include "RX_ControllerPiece.h"

namespace RX {

/*! One proportional controller of the room air at one moment: its output (a load [W], or a
	supply flow [m3/h]) rises by m_slope per Kelvin the room air lies beyond the set point m_TSet
	[K] (below it for heating, above it for cooling) from 0 up to m_limit. Heating outputs are
	positive, cooling outputs negative. A band without output (m_limit <= 0) is always off.

	A host's solver in model exchange needs derivatives that are smooth between its events, so
	there the load stays on the piece chosen at the last event, continued beyond the piece's ends
	(by CONTINUATION_REACH hystereses), and the switching functions tell the host when the room
	air has left that piece.
*/
struct ControllerBand {
	/*! The piece of the output at room air temperature T [K], as the limited output lies on it. */
	ControllerPiece piece(double T) const;
	/*! The piece of the output where the room air lies d [K] beyond the set point (depth()). */
	ControllerPiece pieceAtDepth(double d) const;
	/*! The piece to hold from an event on where p was held, at room air temperature T [K] and
		with restDepth and restLimit as switchingFunctions() takes them: p until its switching
		functions call for a switch or it has no output left, then the piece T lies on (a
		proportional piece whose power another output took: the full output below none where T
		lies beyond the set point, else off). Where
		joining (the room's balance already that of the switches made at the event), the piece T
		lies on unless p gives output and the room air would rest within it (restDepth) further
		than the off end reaches (offEndReach()): a switch under way joins the event. */
	ControllerPiece nextPiece(ControllerPiece p, double T, double restDepth, double restLimit, bool joining) const;
	/*! The output of piece p at room air temperature T [K], continued beyond the piece's ends by
		continuationReach() (past the proportional piece's off end OFF_END_CONTINUATION times
		that) and constant further out, so that a piece never turns into its opposite by more
		than that. */
	double load(ControllerPiece p, double T) const;
	/*! The switching functions [K] of the band's two ends (on/off, limited) at room air
		temperature T [K] while the load is held on piece p: negative while T lies on p or less
		than m_hysteresis beyond it (the proportional piece beyond its off end: OFF_END_REACH of
		the band's width, where that is more), positive beyond that.
		Both are -1 without output. */
	void switchingFunctions(ControllerPiece p, double T, double & zOn, double & zLimited) const {
		switchingFunctions(p, T, depth(T), zOn, zLimited);
	}
	/*! The same where the room air, left to the proportional piece, would come to rest at the depth
		restDepth [K]: an end of the proportional piece is passed once T and restDepth both lie
		beyond it, or T as far beyond as the piece is continued (CONTINUATION_REACH hystereses); the
		limited piece ends once T lies m_hysteresis within it (where the set point moves with the
		room air, m_setPointSlope, once T and restDepth both do, or T as far within as the piece is
		continued). The proportional piece's ends take restDepth moved by m_followingRestShift. */
	void switchingFunctions(ControllerPiece p, double T, double restDepth, double & zOn, double & zLimited) const {
		switchingFunctions(p, T, restDepth, std::numeric_limits<double>::quiet_NaN(), zOn, zLimited);
	}
	/*! The same where another output of the device moves m_limit (the cooler's dehumidification
		takes its power), restLimit [W] where that would hold it with p held (NaN where it stays):
		the band comes on once the limit and restLimit both lie above powerOnThreshold(), and the
		full output held below none ends once both lie below the negative of powerEndReach(), or
		the limit alone below the negative of powerFarReach(). */
	void switchingFunctions(ControllerPiece p, double T, double restDepth, double restLimit, double & zOn,
							double & zLimited) const;
	/*! How far (in the controlled quantity: [K], the vapour's [kg/m3]) the proportional piece is
		continued beyond its ends, and the quantity alone passes an end: CONTINUATION_REACH
		hystereses, and where the set point moves with the room air (m_setPointSlope) as far again
		as it moves over SET_POINT_REACH times the room air's own continuation. */
	double continuationReach() const;
	/*! How far [K] the proportional piece reaches beyond its off end: the hysteresis, or
		OFF_END_REACH of the band's width where that is more, and no further than m_offEndOutput
		gives; where the room tips beyond it (m_tipsBeyondOffEnd), TIPPING_OFF_END_OUTPUT's
		depth. */
	double offEndReach() const;
	/*! How far [W] below none the full output ends, where another output of the device takes all
		its power: m_offEndOutput, at least the hysteresis's output. */
	double powerEndReach() const;
	/*! How far [W] the full output continues below none, where another output of the device takes
		all its power and moves it: as far as the device's power reaches above none (m_limit +
		m_takenPower), or the other output's continuation (m_takenReach) where that is more, at
		least powerEndReach(). */
	double powerFarReach() const;
	/*! How much output [W] must be left before the band comes on again: powerEndReach(), or half
		the device's power (m_limit + m_takenPower) where that is less, so that a device smaller
		than that allowance still comes on. */
	double powerOnThreshold() const;
	/*! Whether the device has any power at all (m_limit + m_takenPower > 0): without, the band
		stays off whatever another output leaves or gives back. */
	bool hasPower() const { return m_limit + m_takenPower > 0; }
	/*! How far [K] T lies beyond the set point on the controlled side. */
	double depth(double T) const { return m_cooling ? T - m_TSet : m_TSet - T; }
	/*! The switching function [K] of the gain's rise while the load is held on piece p at room air
		temperature T [K]: positive once both T and the depth restDepth [K] at which the room air
		would come to rest with the present gain lie beyond m_raiseDepth by more than m_hysteresis,
		while T lies that far short of the full output (where the output at T is saturated, a raise
		is not due); -1 off the proportional piece and where the gain stays. */
	double raiseSwitchingFunction(ControllerPiece p, double T, double restDepth) const;
	/*! Whether, on piece p at room air temperature T [K], the point of rest restDepth [K] lies
		beyond the proportional piece's off end while the room air lags more than LAG_REACH of
		continuationReach() behind it: on a gain of kilowatts per Kelvin the room air follows its
		point of rest within seconds (within 6 mK at a 1e-4 host's output points in two rooms'
		years), unless a host's solution has not followed it. */
	bool lagsBeyondOffEnd(ControllerPiece p, double T, double restDepth) const;

	/*! How far [K] the room air must pass an end of the held piece before the switch is due: the
		host restarts its solver just inside the new piece, so that its new Jacobian belongs to that
		piece, and never exactly on an end, where a restarted root finder sees a zero. */
	static constexpr double SWITCH_HYSTERESIS = 1e-4;
	/*! How many hystereses (0.1 K on the room air) a piece's output is continued beyond its ends:
		a few times the room air's error at a host's loosest usual tolerance (1e-4 of the room's
		energy, some 0.03 K), so that the Jacobians a host takes at predicted states near a switch
		hold the piece's gain, while a step that lands far beyond sees the piece end. */
	static constexpr double CONTINUATION_REACH = 1000;
	/*! How many times its continuationReach() the proportional piece's output is continued
		past its off end (load()), though the piece ends at that reach: the Jacobian a host takes
		at a predictor that overshot the switch still holds the piece's gain. */
	static constexpr double OFF_END_CONTINUATION = 3;
	/*! How many times the room air's own continuation (CONTINUATION_REACH hystereses, 0.1 K) a
		set point that moves with the room air is continued over: a host at 1e-4 carried the
		dehumidification's depth off its point of rest by the set point's move over 0.1-0.15 K of
		the air. */
	static constexpr double SET_POINT_REACH = 3;
	/*! How far the proportional piece reaches beyond its off end, a fraction of the band's width
		(m_limit/m_slope): the output it continues to there is as small a fraction of m_limit, and
		no more than m_offEndOutput where that is more than the hysteresis gives. */
	static constexpr double OFF_END_REACH = 3e-4;
	/*! How far, a share of continuationReach(), the room air may lag behind its point of rest
		beyond the off end before lagsBeyondOffEnd() tells a host's solution that has not followed
		it (the air pinned 0.05 K short of a heater's set point while the sun took the point 0.03 K
		beyond it). */
	static constexpr double LAG_REACH = 0.1;

	/*! Set point [K]. */
	double	m_TSet = 0;
	/*! How fast the set point moves with the room air [its unit per K]: the vapour density's set
		point of a relative humidity [kg/(m3 K)]; 0 for the room air's own set points. */
	double	m_setPointSlope = 0;
	/*! How fast the set point moves in time [its unit per s] (a ramp of a set point's spline). */
	double	m_setPointRate = 0;
	/*! Where the proportional piece's ends take the point of rest, from the depth the switching
		functions are given: there the piece holds the room air following a set point that moves
		in time, not still (CalovindaModel::followingRestShift()). */
	double	m_followingRestShift = 0;
	/*! Gain [W/K, or m3/h per K], > 0. */
	double	m_slope = 1;
	/*! Largest output (its magnitude for cooling). */
	double	m_limit = 0;
	/*! What another output of the device takes from its power (the cooler's dehumidification):
		m_limit is what it leaves. */
	double	m_takenPower = 0;
	/*! How far [W] that other output's piece is continued beyond its ends (its continuationReach()
		in its output), as far as a host's error carries what it takes. */
	double	m_takenReach = 0;
	/*! Cooling: the output acts above the set point and is negative. */
	bool	m_cooling = false;
	/*! How far the controlled quantity must pass an end of the held piece before the switch is
		due: SWITCH_HYSTERESIS for the room air, as little for another quantity. */
	double	m_hysteresis = SWITCH_HYSTERESIS;
	/*! How far [K] beyond the set point the room air may lie on the proportional piece before the
		controller raises its gain; infinite where the gain stays as it is. */
	double	m_raiseDepth = std::numeric_limits<double>::infinity();
	/*! The most output the proportional piece continued past its off end may give there before
		its switch is due, where the hysteresis gives less; infinite where the band sets none. */
	double	m_offEndOutput = std::numeric_limits<double>::infinity();
	/*! Beyond the off end the room would tip away from the device (a natural air change falling
		as the air moves there): the proportional piece ends once its continued output at the air
		and at the point of rest lies TIPPING_OFF_END_OUTPUT below none, whatever the hysteresis. */
	bool	m_tipsBeyondOffEnd = false;
	/*! The output [W] below none at which the proportional piece ends where the room tips beyond
		its off end. */
	static constexpr double TIPPING_OFF_END_OUTPUT = 1e-3;
};

/*! A smooth switch's cubic step from 0 (x <= 0) to 1 (x >= width) (ZEB::scale2) as model exchange
	holds it between a host's events, by stage: 0 before the step, 1 and 2 on its lower and upper
	half, 3 past it. The step's slope grows over its lower half and falls over its upper half: a
	host's Jacobian taken anywhere on the step may be tenfold off elsewhere on it, on one half it
	errs to one side only. The halves continue as the step does beyond its ends (flat), so they
	are held on well past them, and across the middle a little; stages 0 and 3 end at the step.
*/
struct SmoothStep {
	/*! The stage x lies on. */
	static std::uint8_t stage(double x, double width);
	/*! The step's value on stage s, continued beyond the stage's ends: 0 and 1 on stages 0 and 3,
		the step itself on its halves. */
	static double value(std::uint8_t s, double x, double width);
	/*! The switching functions of stage s: positive once x lies below its lower end (zBelow) or
		above its upper end (zAbove) by more than the stage reaches past it, else negative; -1
		where the stage has no such end. Stages 0 and 3 reach ControllerBand::SWITCH_HYSTERESIS
		into the step, the halves OUTER_REACH beyond its ends and MIDDLE_REACH across its middle
		(times the width); across the middle as far as the other half's end while x +
		restShift, the point x would come to rest at, lies within MIDDLE_REACH. */
	static void switchingFunctions(std::uint8_t s, double x, double width, double & zBelow, double & zAbove,
								   double restShift = 0);
	/*! The stage to hold at an event where stage s was held: s while x lies within its reach (with
		restShift as switchingFunctions() takes it), else the stage x lies on. */
	static std::uint8_t next(std::uint8_t s, double x, double width, double restShift = 0);
	/*! The number of stages. */
	static constexpr std::uint8_t STAGES = 4;
	/*! How far a half reaches beyond the step's end, a fraction of the width. */
	static constexpr double OUTER_REACH = 0.5;
	/*! How far a half reaches across the step's middle, a fraction of the width: the slope falls
		by a quarter there. */
	static constexpr double MIDDLE_REACH = 0.25;
};

} // namespace RX

#endif // RX_ControllerBandH
