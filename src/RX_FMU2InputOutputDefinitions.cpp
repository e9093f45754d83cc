#include "RX_FMU2InputOutputDefinitions.h"

namespace RX {

const char * const FMU2OutputNames[16] = {
	"AmbientTemperature",
	"AmbientRelativeHumidity",
	"AzimuthAngle",
	"ElevationAngle",
	"DirectRadiationNormal",
	"DiffuseRadiationHorizontal",
	"WindVelocity",
	"WindDirection",
	"AirPressure",
	"ZoneMeanAirTemperature",
	"ZoneMeanRadiantTemperature",
	"HeatingSetpointTemperature",
	"CoolingSetpointTemperature",
	"ZoneMeanAirRelativeHumidity",
	"WaterVaporMassFlowRate",
	"WaterVaporEnthalpyFlow"
};

const char * const FMU2OutputDescriptions[16] = {
	"Ambient temperature",
	"Ambient relative humidity",
	"Azimuth angle of sun",
	"Elevation angle",
	"Direct radiation in normal direction",
	"Diffuse horizontal radition",
	"Wind speed",
	"Wind direction",
	"Atmospheric pressure",
	"Mean air temperature of zone",
	"Area-weighted average of radiant temperatures of zone",
	"Heating setpoint temperature",
	"Cooling setpoint temperature",
	"Mean air relative humidity in zone",
	"Water vapor source into the room",
	"Enthalpy flow rate due to water vapor source into the room"
};

const char * const FMU2OutputTypes[16] = {
	"Modelica.SIunits.Temperature",
	"RelativeHumidity",
	"Modelica.SIunits.Angle",
	"Modelica.SIunits.Angle",
	"Modelica.SIunits.RadiantEnergyFluenceRate",
	"Modelica.SIunits.RadiantEnergyFluenceRate",
	"Modelica.SIunits.Velocity",
	"Modelica.SIunits.Angle",
	"Modelica.SIunits.Pressure",
	"Modelica.SIunits.Temperature",
	"Modelica.SIunits.Temperature",
	"Modelica.SIunits.Temperature",
	"Modelica.SIunits.Temperature",
	"RelativeHumidity",
	"Modelica.SIunits.MassFlowRate",
	"Modelica.SIunits.HeatFlowRate"
};

const char * const FMU2InputNames[5] = {
	"ConvectiveThermalLoad",
	"RadiantThermalLoad",
	"WaterVaporMassFlowRate",
	"WaterVaporEnthalpyFlow",
	"LiquidWaterMassFlowRate"
};

const char * const FMU2InputDescriptions[5] = {
	"Convective thermal load (positive heating, negative cooling)",
	"Radiative thermal load (positive heating, negative cooling)",
	"Water vapor source into the room",
	"Enthalpy flow rate due to water vapor source into the room",
	"Liquid water source into the room"
};

const char * const FMU2InputTypes[5] = {
	"Modelica.SIunits.HeatFlowRate",
	"Modelica.SIunits.HeatFlowRate",
	"Modelica.SIunits.MassFlowRate",
	"Modelica.SIunits.HeatFlowRate",
	"Modelica.SIunits.MassFlowRate"
};


std::string FMU2VarName(FMU2Inputs vr) {
	return FMU2InputNames[vr - FMU2_ConvectiveThermalLoad];
}

std::string FMU2VarName(FMU2Outputs vr) {
	return FMU2OutputNames[vr - FMU2_AmbientTemperature];
}

std::string FMU2VarDescription(FMU2Inputs vr) {
	return FMU2InputDescriptions[vr - FMU2_ConvectiveThermalLoad];
}

std::string FMU2VarDescription(FMU2Outputs vr) {
	return FMU2OutputDescriptions[vr - FMU2_AmbientTemperature];
}

std::string FMU2VarType(FMU2Inputs vr) {
	return FMU2InputTypes[vr - FMU2_ConvectiveThermalLoad];
}

std::string FMU2VarType(FMU2Outputs vr) {
	return FMU2OutputTypes[vr - FMU2_AmbientTemperature];
}

} // namespace RX
