#include "RX_FMU2InputOutputDefinitions.h"

namespace RX {

namespace {

const char * const TEMPERATURE = "Modelica.SIunits.Temperature";
const char * const RELATIVE_HUMIDITY = "RelativeHumidity";
const char * const ANGLE = "Modelica.SIunits.Angle";
const char * const RADIATION = "Modelica.SIunits.RadiantEnergyFluenceRate";
const char * const HEAT_FLOW = "Modelica.SIunits.HeatFlowRate";
const char * const MASS_FLOW = "Modelica.SIunits.MassFlowRate";

} // namespace

const FMU2Variable FMU2Variables[22] = {
	{FMU2_AmbientTemperature, "AmbientTemperature", "Ambient temperature",
		FMU2_Real, TEMPERATURE, FMU2_Output, 0, FMU2_Always},
	{FMU2_AmbientRelativeHumidity, "AmbientRelativeHumidity", "Ambient relative humidity",
		FMU2_Real, RELATIVE_HUMIDITY, FMU2_Output, 0, FMU2_Always},
	{FMU2_AzimuthAngle, "AzimuthAngle", "Azimuth angle of sun",
		FMU2_Real, ANGLE, FMU2_Output, 0, FMU2_Always},
	{FMU2_ElevationAngle, "ElevationAngle", "Elevation angle",
		FMU2_Real, ANGLE, FMU2_Output, 0, FMU2_Always},
	{FMU2_DirectRadiationNormal, "DirectRadiationNormal", "Direct radiation in normal direction",
		FMU2_Real, RADIATION, FMU2_Output, 0, FMU2_Always},
	{FMU2_DiffuseRadiationHorizontal, "DiffuseRadiationHorizontal", "Diffuse horizontal radition",
		FMU2_Real, RADIATION, FMU2_Output, 0, FMU2_Always},
	{FMU2_WindVelocity, "WindVelocity", "Wind speed",
		FMU2_Real, "Modelica.SIunits.Velocity", FMU2_Output, 0, FMU2_Always},
	{FMU2_WindDirection, "WindDirection", "Wind direction",
		FMU2_Real, ANGLE, FMU2_Output, 0, FMU2_Always},
	{FMU2_AirPressure, "AirPressure", "Atmospheric pressure",
		FMU2_Real, "Modelica.SIunits.Pressure", FMU2_Output, 0, FMU2_Always},
	{FMU2_ZoneMeanAirTemperature, "ZoneMeanAirTemperature", "Mean air temperature of zone",
		FMU2_Real, TEMPERATURE, FMU2_Output, 0, FMU2_Always},
	{FMU2_ZoneMeanRadiantTemperature, "ZoneMeanRadiantTemperature",
		"Area-weighted average of radiant temperatures of zone",
		FMU2_Real, TEMPERATURE, FMU2_Output, 0, FMU2_Always},
	{FMU2_HeatingSetpointTemperature, "HeatingSetpointTemperature", "Heating setpoint temperature",
		FMU2_Real, TEMPERATURE, FMU2_Output, 0, FMU2_Always},
	{FMU2_CoolingSetpointTemperature, "CoolingSetpointTemperature", "Cooling setpoint temperature",
		FMU2_Real, TEMPERATURE, FMU2_Output, 0, FMU2_Always},
	// the model runs with no external load until the host sets one
	{FMU2_ConvectiveThermalLoad, "ConvectiveThermalLoad", "Convective thermal load (positive heating, negative cooling)",
		FMU2_Real, HEAT_FLOW, FMU2_Input, 0, FMU2_Always},
	{FMU2_RadiantThermalLoad, "RadiantThermalLoad", "Radiative thermal load (positive heating, negative cooling)",
		FMU2_Real, HEAT_FLOW, FMU2_Input, 0, FMU2_Always},
	{FMU2_ZoneMeanAirRelativeHumidity, "ZoneMeanAirRelativeHumidity", "Mean air relative humidity in zone",
		FMU2_Real, RELATIVE_HUMIDITY, FMU2_Output, 0, FMU2_WithMoisture},
	{FMU2_WaterVaporMassFlowRateOut, "WaterVaporMassFlowRate", "Water vapor source into the room",
		FMU2_Real, MASS_FLOW, FMU2_Output, 0, FMU2_WithMoisture},
	{FMU2_WaterVaporEnthalpyFlowOut, "WaterVaporEnthalpyFlow", "Enthalpy flow rate due to water vapor source into the room",
		FMU2_Real, HEAT_FLOW, FMU2_Output, 0, FMU2_WithMoisture},
	{FMU2_LiquidWaterMassFlowRate, "LiquidWaterMassFlowRate", "Liquid water source into the room",
		FMU2_Real, MASS_FLOW, FMU2_Input, 0, FMU2_WithLiquidWater},
	{FMU2_ResultsRootDir, "ResultsRootDir", "Root path for simulation results and log files.",
		FMU2_String, "", FMU2_Parameter, 0, FMU2_Always},
	// their names are the outputs' 1015 and 1016: a description cannot declare them
	{FMU2_WaterVaporMassFlowRateIn, "WaterVaporMassFlowRate", "Water vapor source into the room",
		FMU2_Real, MASS_FLOW, FMU2_Input, 0, FMU2_Never},
	{FMU2_WaterVaporEnthalpyFlowIn, "WaterVaporEnthalpyFlow", "Enthalpy flow rate due to water vapor source into the room",
		FMU2_Real, HEAT_FLOW, FMU2_Input, 0, FMU2_Never}
};


const FMU2Variable * FMU2VariableOf(unsigned int vr) {
	for (const FMU2Variable & variable : FMU2Variables)
		if (variable.m_valueReference == vr)
			return &variable;
	return nullptr;
}


bool FMU2IsDeclared(const FMU2Variable & variable, int flags) {
	switch (variable.m_declared) {
		case FMU2_Always:			return true;
		case FMU2_WithMoisture:		return (flags & 0x30) != 0;
		case FMU2_WithLiquidWater:	return (flags & 0x20) != 0;
		default:					return false;
	}
}


bool FMU2Declares(unsigned int vr, FMU2BaseType type, int flags, std::size_t n) {
	if (vr >= FMU2_StateOffset && vr - FMU2_StateOffset < n)
		return type == FMU2_Real;
	if (vr >= FMU2_DerivativeOffset && vr - FMU2_DerivativeOffset < n)
		return type == FMU2_Real;
	const FMU2Variable * variable = FMU2VariableOf(vr);
	return variable != nullptr && variable->m_type == type && FMU2IsDeclared(*variable, flags);
}


std::string FMU2VarName(FMU2Inputs vr) {
	return FMU2VariableOf(vr)->m_name;
}

std::string FMU2VarName(FMU2Outputs vr) {
	return FMU2VariableOf(vr)->m_name;
}

std::string FMU2VarDescription(FMU2Inputs vr) {
	return FMU2VariableOf(vr)->m_description;
}

std::string FMU2VarDescription(FMU2Outputs vr) {
	return FMU2VariableOf(vr)->m_description;
}

std::string FMU2VarType(FMU2Inputs vr) {
	return FMU2VariableOf(vr)->m_declaredType;
}

std::string FMU2VarType(FMU2Outputs vr) {
	return FMU2VariableOf(vr)->m_declaredType;
}

} // namespace RX
