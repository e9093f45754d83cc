#include "RX_KnownNames.h"

#include <cstring>

#include <QStringRef>
#include <QXmlStreamReader>

#include "ZEB_MessageHandlerRegistry.h"

#include "RX_XMLHelpers.h"

namespace RX {

namespace {

bool listed(const std::vector<const char *> & names, const QStringRef & name) {
	for (const char * n : names) {
		const std::size_t length = std::strlen(n);
		// "w<RH>": the prefix before '<' stands for the whole family
		if (length > 0 && n[length - 1] == '>') {
			const char * open = std::strchr(n, '<');
			if (open != nullptr && name.startsWith(QLatin1String(n, static_cast<int>(open - n))))
				return true;
		}
		else if (name == QLatin1String(n))
			return true;
	}
	return false;
}

} // namespace


bool KnownNames::knowsAttribute(const QStringRef & name) const {
	return listed(m_attributes, name);
}


bool KnownNames::knowsElement(const QStringRef & name) const {
	return listed(m_elements, name);
}


const KnownNames ROOM_MODEL_PROJECT_NAMES{"RoomModelProject", {"Version"},
	{"Room", "EmbeddedDataBase", "DIN4108_2Assessment_section"}};
const KnownNames ROOM_NAMES{"Room", {},
	{"ProjectInformation", "Geometry", "ClimateLocation", "HeatingModel", "CoolingModel", "NaturalVentilationModel",
	 "MechanicalVentilationModel", "MoistureLoads", "UserLoads", "ShadingControlModel", "SimulationParameters"}};
const KnownNames PROJECT_INFORMATION_NAMES{"ProjectInformation", {},
	{"ProjectName", "ConstructionID", "UserName", "Company", "Location", "Description", "DisclaimerText"}};
const KnownNames GEOMETRY_NAMES{"Geometry", {}, {"Height", "Area", "Constructions"}};
const KnownNames CONSTRUCTIONS_NAMES{"Constructions", {}, {"RoomConstruction"}};
const KnownNames ROOM_CONSTRUCTION_NAMES{"RoomConstruction", {},
	{"orientation", "inclination", "R_ue", "R_ui", "beta_e", "beta_i", "ad", "zoneT", "zoneTCCD", "zoneRH", "AW", "AF",
	 "constructionId", "windowId", "shadingTypeId", "type"}};
const KnownNames HEATING_MODEL_NAMES{"HeatingModel", {"name", "modelType"}, {"MaxPower", "ScheduleSetPoints"}};
const KnownNames COOLING_MODEL_NAMES{"CoolingModel", {"name", "modelType"},
	{"MaxPower", "LinearSpline", "ScheduleSetPoints", "ScheduleHumiditySetPoints"}};
const KnownNames NATURAL_VENTILATION_MODEL_NAMES{"NaturalVentilationModel", {"name", "modelType"},
	{"ScheduleAirChangeRates", "MinTRoom", "TRoomDifference", "SetTRoom", "TRoomDifferenceNight", "BaseAirChangeRate",
	 "BaseAirChangeRateNight", "OccupancyStartTime", "OccupancyEndTime"}};
const KnownNames MECHANICAL_VENTILATION_MODEL_NAMES{"MechanicalVentilationModel", {"name", "modelType"},
	{"SupplyTemperature", "MaxSupplyFlowRate", "HeatRecoveryEfficiency", "HeatRecoverySetpoint", "ScheduleSetPoints",
	 "ScheduleHumiditySetPoints", "ScheduleVentilationRates"}};
const KnownNames MOISTURE_LOADS_NAMES{"MoistureLoads", {"name"}, {"ScheduleMoistureLoad"}};
const KnownNames USER_LOADS_NAMES{"UserLoads", {"name"}, {"PersonLoad", "ScheduleOccupancy", "ScheduleEquipmentLoad"}};
const KnownNames SHADING_CONTROL_MODEL_NAMES{"ShadingControlModel", {"name", "modelType"},
	{"MaxRadiationIntensityHorizontal", "MaxRadiationIntensityWest", "MaxRadiationIntensitySouth",
	 "MaxRadiationIntensityNorth", "MaxRadiationIntensityEast", "StructuralShadings", "StructuralShadingDescription",
	 "ScheduleShadingDegree"}};
const KnownNames STRUCTURAL_SHADINGS_NAMES{"StructuralShadings", {}, {"StructuralShading"}};
const KnownNames STRUCTURAL_SHADING_NAMES{"StructuralShading", {},
	{"ShadingFileName", "WindowHeight", "OverhangWidth", "OverhangLength", "OverhangOffset", "OverhangDistance",
	 "SideFinAWidth", "SideFinAHeight", "SideFinAOffset", "SideFinADistance", "SideFinBWidth", "SideFinBHeight",
	 "SideFinBOffset", "SideFinBDistance"}};
// older files name GammaRad "GammaR"
const KnownNames SIMULATION_PARAMETERS_NAMES{"SimulationParameters", {},
	{"MoistureBalanceEnabled", "RHInitial", "SimulationStartTime", "SimulationEndTime", "TInitial", "Albedo", "GammaHC",
	 "GammaRad", "GammaR", "AdditionalMassHeatCapacity", "AdditionalMass", "InterfaceDefinition", "UsePerezModel",
	 "CyclicTwoYearSimulation", "OutputTimeSteps"}};
const KnownNames SCHEDULE_NAMES{"Schedule", {"type"},
	{"ConstantValue", "SummerSchedule", "WinterSchedule", "SummerStartDay", "WinterStartDay", "WeekDaySchedule",
	 "WeekEndSchedule", "WeekEndDays", "AnnualSchedule", "AnnualScheduleCCD", "LinearSpline"}};
const KnownNames LINEAR_SPLINE_NAMES{"LinearSpline", {"name"}, {"X", "Y"}};
const KnownNames SPLINE_X_NAMES{"X", {"unit"}, {}};
const KnownNames SPLINE_Y_NAMES{"Y", {"unit"}, {}};
const KnownNames EMBEDDED_DATABASE_NAMES{"EmbeddedDataBase", {},
	{"Materials", "ConstructionTypes", "WindowTypes", "ShadingTypes"}};
const KnownNames MATERIALS_NAMES{"Materials", {}, {"Material"}};
const KnownNames MATERIAL_NAMES{"Material",
	{"id", "category", "name", "lambda", "rho", "cT", "mu", "w80", "wsat", "w<RH>", "HPCM", "TPCMLow", "comment",
	 "source", "producer", "productID"}, {}};
const KnownNames CONSTRUCTION_TYPES_NAMES{"ConstructionTypes", {}, {"ConstructionType"}};
const KnownNames CONSTRUCTION_TYPE_NAMES{"ConstructionType",
	{"id", "name", "Insulation", "Materials", "Construction", "UserKey1", "UserKey2"}, {"Layers"}};
const KnownNames LAYERS_NAMES{"Layers", {}, {"Layer"}};
const KnownNames LAYER_NAMES{"Layer", {"materialId", "d"}, {}};
const KnownNames WINDOW_TYPES_NAMES{"WindowTypes", {}, {"WindowType"}};
const KnownNames WINDOW_TYPE_NAMES{"WindowType",
	{"id", "name", "f", "g", "U", "GlazingKind", "UserKey", "Producer", "DataSource", "ProductID"}, {"LinearSpline"}};
const KnownNames SHADING_TYPES_NAMES{"ShadingTypes", {}, {"ShadingType"}};
const KnownNames SHADING_TYPE_NAMES{"ShadingType", {"id", "name", "z"}, {}};
const KnownNames DIN4108_2_ASSESSMENT_SECTION_NAMES{"DIN4108_2Assessment_section", {}, {"DIN4108_2Assessment"}};
const KnownNames DIN4108_2_ASSESSMENT_NAMES{"DIN4108_2Assessment", {},
	{"Active", "Residential", "ClimateRegion", "EnhancedDayVentilation", "EnhancedNightVentilation",
	 "ShadingControlType", "VentilationType", "EnhancedDayVentilationValue", "EnhancedNightVentilationValue",
	 "EnhancedDayVentilationExplanation", "EnhancedNightVentilationExplanation", "ShadingControlExplanation",
	 "MaximumHeatingPower", "PassiveCooling", "MaximumPassiveCoolingPower", "PassiveCoolingExplanation"}};


const std::vector<const KnownNames *> & allKnownNames() {
	static const std::vector<const KnownNames *> ALL = {
		&ROOM_MODEL_PROJECT_NAMES, &ROOM_NAMES, &PROJECT_INFORMATION_NAMES, &GEOMETRY_NAMES, &CONSTRUCTIONS_NAMES,
		&ROOM_CONSTRUCTION_NAMES, &HEATING_MODEL_NAMES, &COOLING_MODEL_NAMES, &NATURAL_VENTILATION_MODEL_NAMES,
		&MECHANICAL_VENTILATION_MODEL_NAMES, &MOISTURE_LOADS_NAMES, &USER_LOADS_NAMES, &SHADING_CONTROL_MODEL_NAMES,
		&STRUCTURAL_SHADINGS_NAMES, &STRUCTURAL_SHADING_NAMES, &SIMULATION_PARAMETERS_NAMES, &SCHEDULE_NAMES,
		&LINEAR_SPLINE_NAMES, &SPLINE_X_NAMES, &SPLINE_Y_NAMES, &EMBEDDED_DATABASE_NAMES, &MATERIALS_NAMES,
		&MATERIAL_NAMES, &CONSTRUCTION_TYPES_NAMES, &CONSTRUCTION_TYPE_NAMES, &LAYERS_NAMES, &LAYER_NAMES,
		&WINDOW_TYPES_NAMES, &WINDOW_TYPE_NAMES, &SHADING_TYPES_NAMES, &SHADING_TYPE_NAMES,
		&DIN4108_2_ASSESSMENT_SECTION_NAMES, &DIN4108_2_ASSESSMENT_NAMES
	};
	return ALL;
}


void warnUnknownElement(const QXmlStreamReader & reader, const std::string & className, const char * location) {
	ZEB::ZEB_Message(ZEB::FormatString("Found unknown element '%1' in %2.")
					 .arg(reader.name().toString().toStdString()).arg(className), ZEB::MSG_WARNING, location, 1);
}


void warnUnknownAttributes(const QXmlStreamReader & reader, const KnownNames & names, const std::string & className,
						   const char * location)
{
	for (const QXmlStreamAttribute & a : reader.attributes())
		if (!names.knowsAttribute(a.name()))
			ZEB::ZEB_Message(ZEB::FormatString("Found unknown attribute '%1' in %2.")
							 .arg(a.name().toString().toStdString()).arg(className), ZEB::MSG_WARNING, location, 1);
}


void warnUnknownAttributes(const QXmlStreamReader & reader, const KnownNames & names, const char * location) {
	warnUnknownAttributes(reader, names, names.m_class, location);
}


void readUnknownElement(QXmlStreamReader & reader, const KnownNames & names, const char * location) {
	warnUnknownElement(reader, names.m_class, location);
	readUnknownElement(reader);
}


bool readKnownChildElement(QXmlStreamReader & reader, const KnownNames & names, const char * location) {
	while (readChildElement(reader)) {
		if (names.knowsElement(reader.name()))
			return true;
		readUnknownElement(reader, names, location);
	}
	return false;
}

} // namespace RX
