#ifndef RX_ConstantsH
#define RX_ConstantsH

#include "ZEB_Constants.h"

namespace RX {

/*! The program's long version text; the "Version" attribute of project files. */
extern const char * const LONG_VERSION;

/*! Degrees per radian, 360/(2 pi); used by the angle-dependent solar heat gain correction. */
extern const double RAD2DEG;

/*! Saturation vapour pressure [Pa] at temperature T [K]: over ice below 273.1269 K, over water up to
	373 K; constant beyond 130..373 K, so that it stays defined for any state an integrator tries. */
double p_sat(double T);

/*! Latent heat [J/kg] of water evaporating at temperature T [K]: 2.501 MJ/kg at 0 C, 2370 J/kg less
	per Kelvin above (2.454 MJ/kg at 20 C). */
double latentHeat(double T);

/*! Specific enthalpy [J/kg] of water vapour at temperature T [K], as the room's heat balance counts
	the vapour that flows: the evaporation enthalpy ZEB::H_EVAP plus ZEB::C_VAPOR per Kelvin. */
inline double vaporEnthalpy(double T) {
	return T*ZEB::C_VAPOR + ZEB::H_EVAP;
}

/*! A surface's orientation [deg] brought into [0, 360), so that every caller that sorts windows by
	compass sector sees 540 and -180 as the 180 they mean. */
double normalizedOrientation(double orientation);

} // namespace RX

#endif // RX_ConstantsH
