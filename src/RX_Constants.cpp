#include "RX_Constants.h"

#include <cmath>

#include "ZEB_Constants.h"

namespace RX {

const char * const LONG_VERSION = "3.4.1";

const double RAD2DEG = 360.0/(2*ZEB::PI);

double p_sat(double T) {
	if (T < 130.0)
		return 1.35e-15;
	if (T > 373.0)
		return 109347.0;
	const double t = T - ZEB::KELVIN_OFFSET;
	if (T < 273.1269)
		return 100*(((((((1.838826904e-10*t + 4.838803174e-8)*t + 5.82472028e-6)*t + 4.176223716e-4)*t
			+ 1.886013408e-2)*t + 5.03469897e-1)*t + 6.109177956));
	return 100*(((((((6.136820929e-11*t + 2.034080948e-8)*t + 3.031240396e-6)*t + 2.650648471e-4)*t
		+ 1.428945805e-2)*t + 4.436518521e-1)*t + 6.107799961));
}

double latentHeat(double T) {
	return 2.501e6 - 2370.0*(T - ZEB::KELVIN_OFFSET);
}


double normalizedOrientation(double orientation) {
	double phi = std::fmod(orientation, 360.0);
	if (phi < 0)
		phi += 360.0;
	// a tiny negative remainder rounds up to 360 itself
	return phi < 360.0 ? phi : 0.0;
}

} // namespace RX
