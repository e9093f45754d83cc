#ifndef ZEB_ConstantsH
#define ZEB_ConstantsH

namespace ZEB {

/*! Threshold below which a value counts as zero. */
const double NEAR_ZERO		= 1e-10;
const double PI				= 3.141592653589793;
/*! Degrees to radians: this rounded decimal, not the full-precision pi/180. */
const double DEG2RAD		= 0.01745329252;
/*! Specific heat capacity of air [J/kgK]. */
const double C_AIR			= 1006.0;
/*! Specific heat capacity of water vapour [J/kgK]. */
const double C_VAPOR		= 2050.0;
/*! Density of air [kg/m3]. */
const double RHO_AIR		= 1.205;
/*! Gas constant of air [J/kgK]. */
const double R_AIR			= 287.1;
/*! Gas constant of water vapour [J/kgK]. */
const double R_VAPOR		= 461.89;
/*! Reference gas pressure [Pa]. */
const double GASPRESS_REF	= 101325.0;
/*! Evaporation enthalpy [J/kg]. */
const double H_EVAP			= 3080000.0;
/*! Vapour diffusion coefficient in air [m2/s]. */
const double DV_AIR			= 2.662e-05;
/*! 0 C in K: a temperature in K is the one in C plus this. */
constexpr double KELVIN_OFFSET	= 273.15;
/*! Reference temperature 23 C [K]. */
const double T_REF_23		= 296.15;
/*! Version of the base library. */
const char * const VERSION	= "5.0.0";

} // namespace ZEB

#endif // ZEB_ConstantsH
