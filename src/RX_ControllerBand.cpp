#include "RX_ControllerBand.h"

#include "ZEB_Math.h"

namespace RX {

ControllerPiece ControllerBand::piece(double T) const {
	if (!(m_limit > 0))
		return PIECE_OFF;
	const double u = depth(T)*m_slope;
	if (u <= 0)
		return PIECE_OFF;
	return u >= m_limit ? PIECE_LIMITED : PIECE_PROPORTIONAL;
}


double ControllerBand::load(ControllerPiece p, double T) const {
	if (!(m_limit > 0))
		return 0;
	double u = 0;
	switch (p) {
		case PIECE_OFF:				return 0;
		case PIECE_PROPORTIONAL:	u = depth(T)*m_slope; break;
		case PIECE_LIMITED:			u = m_limit; break;
	}
	return m_cooling ? -u : u;
}


void ControllerBand::switchingFunctions(ControllerPiece p, double T, double & zOn, double & zLimited) const {
	if (!(m_limit > 0)) {
		zOn = zLimited = -1;
		return;
	}
	// positive once T lies beyond an end of p by more than the hysteresis
	const double d = depth(T);
	const double dLimited = m_limit/m_slope;
	zOn = (p == PIECE_OFF ? d : -d) - m_hysteresis;
	zLimited = (p == PIECE_LIMITED ? dLimited - d : d - dLimited) - m_hysteresis;
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
	return ZEB::scale(x/width);
}


void SmoothStep::switchingFunctions(std::uint8_t s, double x, double width, double & zBelow, double & zAbove) {
	const double ends[] = {0, width/2, width};
	zBelow = s > 0 ? ends[s - 1] - x - ControllerBand::SWITCH_HYSTERESIS : -1;
	zAbove = s < STAGES - 1 ? x - ends[s] - ControllerBand::SWITCH_HYSTERESIS : -1;
}

} // namespace RX
