#ifndef RX_ControllerBandH
#define RX_ControllerBandH

#include "RX_ControllerPiece.h"

namespace RX {

/*! One proportional controller of the room air at one moment: its load rises by m_slope [W/K]
	for every Kelvin the room air lies beyond the set point m_TSet [K] (below it for heating, above
	it for cooling) from 0 up to m_maxPower [W]. Heating loads are positive, cooling loads negative.
	A band without power (m_maxPower <= 0) is always off.

	A host's solver in model exchange needs derivatives that are smooth between its events, so
	there the load stays on the piece chosen at the last event, continued beyond the piece's ends,
	and the switching functions tell the host when the room air has left that piece.
*/
struct ControllerBand {
	/*! The piece of the load at room air temperature T [K], as the limited load lies on it. */
	ControllerPiece piece(double T) const;
	/*! The load [W] of piece p at room air temperature T [K], continued beyond the piece's ends. */
	double load(ControllerPiece p, double T) const;
	/*! The switching functions [K] of the band's two ends (on/off, limited) at room air
		temperature T [K] while the load is held on piece p: negative while T lies on p or less
		than SWITCH_HYSTERESIS beyond it, positive beyond that. Both are -1 without power. */
	void switchingFunctions(ControllerPiece p, double T, double & zOn, double & zLimited) const;

	/*! How far [K] the room air must pass an end of the held piece before the switch is due: the
		host restarts its solver just inside the new piece, so that its new Jacobian belongs to that
		piece, and never exactly on an end, where a restarted root finder sees a zero. */
	static constexpr double SWITCH_HYSTERESIS = 1e-4;

	/*! Set point [K]. */
	double	m_TSet = 0;
	/*! Gain [W/K], > 0. */
	double	m_slope = 1;
	/*! Largest load [W] (its magnitude for cooling). */
	double	m_maxPower = 0;
	/*! Cooling: the load acts above the set point and is negative. */
	bool	m_cooling = false;

private:
	/*! How far [K] T lies beyond the set point on the controlled side. */
	double depth(double T) const { return m_cooling ? T - m_TSet : m_TSet - T; }
};

} // namespace RX

#endif // RX_ControllerBandH
