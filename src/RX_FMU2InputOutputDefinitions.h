#ifndef RX_FMU2InputOutputDefinitionsH
#define RX_FMU2InputOutputDefinitionsH

#include <string>

namespace RX {

/*! Value references of the FMU's real outputs. Units: temperatures in K, humidities as fractions
	0..1, angles in rad, radiation in W/m2, speed in m/s, pressure in Pa, heat flows in W, mass
	flows in kg/s. */
enum FMU2Outputs {
	FMU2_AmbientTemperature				= 1001,
	FMU2_AmbientRelativeHumidity		= 1002,
	FMU2_AzimuthAngle					= 1003,
	FMU2_ElevationAngle					= 1004,
	FMU2_DirectRadiationNormal			= 1005,
	FMU2_DiffuseRadiationHorizontal		= 1006,
	FMU2_WindVelocity					= 1007,
	FMU2_WindDirection					= 1008,
	FMU2_AirPressure					= 1009,
	FMU2_ZoneMeanAirTemperature			= 1010,
	FMU2_ZoneMeanRadiantTemperature		= 1011,
	FMU2_HeatingSetpointTemperature		= 1012,
	FMU2_CoolingSetpointTemperature		= 1013,
	FMU2_ZoneMeanAirRelativeHumidity	= 1014,
	FMU2_WaterVaporMassFlowRateOut		= 1015,
	FMU2_WaterVaporEnthalpyFlowOut		= 1016
};

/*! Value references of the FMU's real inputs. 2003 and 2004 share their names with the outputs
	1015 and 1016. */
enum FMU2Inputs {
	FMU2_ConvectiveThermalLoad			= 2001,
	FMU2_RadiantThermalLoad				= 2002,
	FMU2_WaterVaporMassFlowRateIn		= 2003,
	FMU2_WaterVaporEnthalpyFlowIn		= 2004,
	FMU2_LiquidWaterMassFlowRate		= 2005
};

/*! Value reference of the string parameter that names the results root directory. */
const int FMU2_ResultsRootDir = 42;
/*! Value references of the states x[i] and their derivatives: offset + i. */
const int FMU2_StateOffset = 10000;
const int FMU2_DerivativeOffset = 20000;

/*! Indexed by value reference - 1001 (16 entries) and - 2001 (5 entries). */
extern const char * const FMU2OutputNames[16];
extern const char * const FMU2OutputDescriptions[16];
extern const char * const FMU2OutputTypes[16];
extern const char * const FMU2InputNames[5];
extern const char * const FMU2InputDescriptions[5];
extern const char * const FMU2InputTypes[5];

/*! Name, description and declared type of a variable; the argument must be one of the
	enumeration's values. */
std::string FMU2VarName(FMU2Inputs vr);
std::string FMU2VarName(FMU2Outputs vr);
std::string FMU2VarDescription(FMU2Inputs vr);
std::string FMU2VarDescription(FMU2Outputs vr);
std::string FMU2VarType(FMU2Inputs vr);
std::string FMU2VarType(FMU2Outputs vr);

} // namespace RX

#endif // RX_FMU2InputOutputDefinitionsH
