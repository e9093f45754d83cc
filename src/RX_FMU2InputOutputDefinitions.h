#ifndef RX_FMU2InputOutputDefinitionsH
#define RX_FMU2InputOutputDefinitionsH

#include <cstddef>
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
const unsigned int FMU2_ResultsRootDir = 42;
/*! Value references of the states x[i] and their derivatives: offset + i. */
const unsigned int FMU2_StateOffset = 10000;
const unsigned int FMU2_DerivativeOffset = 20000;

/*! The FMI base types (the FMU has no Integer and no Boolean variables), the causalities (a
	parameter has variability "fixed") and when the model description declares a variable: always,
	with moisture (InterfaceDefinition flags & 0x30), with liquid water (flags & 0x20) or never. */
enum FMU2BaseType { FMU2_Real, FMU2_Integer, FMU2_Boolean, FMU2_String };
enum FMU2Causality { FMU2_Output, FMU2_Input, FMU2_Parameter };
enum FMU2Declared { FMU2_Always, FMU2_WithMoisture, FMU2_WithLiquidWater, FMU2_Never };

/*! One variable of the FMU besides the states and derivatives; the declared type is the
	SimpleType of a Real (empty for the string parameter), the start value that of an input. */
struct FMU2Variable {
	unsigned int	m_valueReference;
	const char *	m_name;
	const char *	m_description;
	FMU2BaseType	m_type;
	const char *	m_declaredType;
	FMU2Causality	m_causality;
	double			m_start;
	FMU2Declared	m_declared;
};

/*! Every variable besides the states and derivatives, in the order of the model description. */
extern const FMU2Variable FMU2Variables[22];

/*! The variable with value reference vr (states and derivatives excluded); null for none. */
const FMU2Variable * FMU2VariableOf(unsigned int vr);
/*! Whether the model description for the InterfaceDefinition flags declares variable. */
bool FMU2IsDeclared(const FMU2Variable & variable, int flags);
/*! Whether the model description for the InterfaceDefinition flags and a model of n unknowns
	declares vr as a variable of type, the states x[i] and der(x[i]) included. */
bool FMU2Declares(unsigned int vr, FMU2BaseType type, int flags, std::size_t n);

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
