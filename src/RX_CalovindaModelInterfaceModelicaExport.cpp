#include "RX_CalovindaModelInterface.h"

#include <algorithm>
#include <iterator>

#include "OVM_ClimateDataLoader.h"
#include "ZEB_Constants.h"
#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_LinearSpline.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_OutputFolder.h"
#include "ZEB_Path.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Time.h"

namespace RX {

namespace {

const char * const EXPORT_LOCATION = "[CalovindaModelInterface::export2Modelica]";

const char * const CLIMATE_TEMPLATE = R"MO(within ${PACKAGE_NAME};
model Climate
  type RelativeHumidity = Real(unit = "1", min = 0, max = 1) "Relative humidity";
  output Modelica.SIunits.Temperature AmbientTemperature "Ambient temperature";
  output RelativeHumidity AmbientRelativeHumidity "Ambient relative humidity";
  Modelica.Blocks.Tables.CombiTable1D temperatureCombiTable(tableOnFile = true, fileName = "${MOPATH}/climate_data.txt", tableName = "Temperature");
  Modelica.Blocks.Tables.CombiTable1D relhumCombiTable(tableOnFile = true,fileName = "${MOPATH}/climate_data.txt", tableName = "RelativeHumidity");
equation
  temperatureCombiTable.u[1] = time / 3600;
  AmbientTemperature = temperatureCombiTable.y[1] + 273.15;
  relhumCombiTable.u[1] = time / 3600;
  AmbientRelativeHumidity = relhumCombiTable.y[1] / 100.0;
  annotation(
    Icon(coordinateSystem(extent={{-125,-125},{125,125}}),
      graphics={Bitmap(extent={{-106.7,-98.3},{106.7,98.3}}, imageSource="iVBORw0KGgoAAAANSUhEUgAAAEAAAAA7CAIAAABE7huLAAAAoElEQVR42u3YsQ2AMAxE0RuHIZiE
mZiESaiZhJoKJggiMXLsfOkGuCeliE/bcYaOAAAAAAAAAACFXPsUDPA0LqdfwGv1PxhyaW9okFd7
K4Mc25sY5Nu+3SD39o2GgQGG7VsMAAAA6KN9tYEnBADAsAA+cx0Awt8DGS6yDDdxhlUiwy6UYZlL
so0yrwMAAOATYFnn0AEAAAAAAAAAAAAQODdR8QB5uU9/1AAAAABJRU5ErkJggg==")}),
    experiment(StartTime = 0, StopTime = 31536000));
end Climate;

)MO";

const char * const ROOM_TEMPLATE = R"MO(within ${PACKAGE_NAME};
model Room "The Calovinda room"
  parameter Modelica.SIunits.Temperature T0 = ${T_INITIAL} "Initial temperature";
  parameter Modelica.SIunits.Density rho = 1.2 "Material density";
  parameter Modelica.SIunits.SpecificHeatCapacity cp = 1006 "Material specific heat capacity";
  parameter Modelica.SIunits.Volume V = ${VOLUME} "Room air volume";
  Modelica.SIunits.InternalEnergy Q_state "Energy stored in room air";
  Modelica.SIunits.HeatFlowRate Q_heatConductionWalls "Heat conduction flow rate from walls to room.";
  Modelica.SIunits.Temperature T_air "Room air temperature";
  parameter Integer nWalls = ${N_WALLS};
  Modelica.Thermal.HeatTransfer.Interfaces.HeatPort_b HeatPortWall[nWalls] annotation(Placement(transformation(extent = {{-10, -10}, {10, 10}}), iconTransformation(extent = {{-110, -10}, {-90, 10}})));
  Modelica.Thermal.HeatTransfer.Interfaces.HeatPort_b externalHeatPort "Thermal port for external connections" 
    annotation(Placement(transformation(extent={{90,-10},{110,10}}), iconTransformation(extent={{90,-10},{110,10}})));
initial equation
  T_air = T0;
equation
  Q_state = rho * cp * T_air * V "Energy storage relation";
  Q_heatConductionWalls = ${Q_HEATCOND_SUM};
  der(Q_state) = Q_heatConductionWalls + externalHeatPort.Q_flow "Energy conservation equation";
  for i in 1:nWalls loop
    HeatPortWall[i].T = T_air;
  end for;
  externalHeatPort.T = T_air;
  annotation(
    Icon(coordinateSystem(extent = {{-100, -100}, {100, 100}}, preserveAspectRatio = true, initialScale = 0.1, grid = {2, 2}),
      graphics = {Rectangle(fillColor = {170, 0, 0}, fillPattern = FillPattern.Sphere, borderPattern = BorderPattern.Raised, extent = {{-100, -100}, {100, 100}})}));
end Room;
)MO";

/*! ${WALLS} and ${WALL_CONNECTIONS} are replaced by whole lines, each with its line feed. */
const char * const CALOVINDA_TEMPLATE = R"MO(within ${PACKAGE_NAME};
model Calovinda
  Room theRoom annotation(Placement(visible = true, transformation(origin = {60, 0}, extent = {{-10, -10}, {10, 10}}, rotation = 0)));
  Climate climate annotation(Placement(visible = true, transformation(origin = {-80, 80}, extent = {{-10, -10}, {10, 10}}, rotation = 0)));
${WALLS}
  Modelica.Thermal.HeatTransfer.Interfaces.HeatPort_a externalHeatPort "Thermal port for external connections" 
    annotation(Placement(transformation(extent={{90,-10},{110,10}}), iconTransformation(extent={{90,40},{110,60}})));
  output Modelica.Blocks.Interfaces.RealOutput ambientTemperature "Ambient temperature in [K]" 
    annotation(Placement(transformation(origin={-110,0},extent={{-10,-10},{10,10}},rotation=-180), iconTransformation(origin={-100,50},extent={{-10,-10},{10,10}},rotation=-180)));

equation
${WALL_CONNECTIONS}
  connect(theRoom.externalHeatPort, externalHeatPort) annotation(Line(points = {{70, 0}, {100, 0}, {100, 0}, {100, 0}}));
  climate.AmbientTemperature = ambientTemperature;
  annotation(
    Icon(coordinateSystem(extent={{-100,-100},{100,100}}),
      graphics={Bitmap(extent={{-100,-100},{100,100}}, imageSource="iVBORw0KGgoAAAANSUhEUgAAAEAAAABBCAIAAADuVzUsAAAAxElEQVR42u3ayw0CMQwA0amESqiJ
wqiEIjjTBiAhcUK7m68dMZYLmCc5t/BcfBAgQIAAAakBV1gY8K7/7JKAb/1QA3PqxxmYVj/IwMz6
EQZmpo9gEFLf0UBUfS8DgfVdDMTWtxuITW9nkKS+2kCe+joDqeorDGSrLzWQsL7IQML0IgaZ648Y
SF6/ayB//baBJeo3DDsn9LjfwrfpDQgQIECAAAF/CLicTz9XgAABAgQIECBAgAABAgTM/LE1egQI
ECAgdl7mL3FdQldK9QAAAABJRU5ErkJggg==")}),
  experiment(StartTime = 0, StopTime = 31536000.0, Tolerance = 1e-05));
end Calovinda;
)MO";

const char * const SCHEDULES_TEMPLATE = R"MO(within ${PACKAGE_NAME};
model Schedules
  output Modelica.SIunits.Temperature HeatingSetPointTemperature "Heating setpoint temperature";
  Modelica.Blocks.Tables.CombiTable1D heatingSetpointTemperatureCombiTable(tableOnFile = true, fileName = "${MOPATH}/schedule_data.txt", tableName = "HeatingSetPointTemperature");  
equation
  heatingSetpointTemperatureCombiTable.u[1] = time / 3600;
  HeatingSetPointTemperature = heatingSetpointTemperatureCombiTable.y[1] + 273.15;
end Schedules;

)MO";

const char * const PACKAGE_TEMPLATE = "package ${PACKAGE_NAME}\nextends Modelica.Icons.Library2;\nend ${PACKAGE_NAME};\n";

/*! Default stream formatting with 6 (or precision) significant digits; NaN as the platform
	writes it. */
std::string number(double value, int precision = 6) {
	return ZEB::format_double(value, precision, std::ios_base::fmtflags(), 0);
}

std::string replaced(std::string text, const std::string & placeholder, const std::string & value) {
	return ZEB::replace_string(text, placeholder, value, ZEB::REPLACE_ALL);
}

/*! A table of the climate file: row 0 repeats the last hour of the year, row k holds hour k - 1. */
void appendClimateTable(std::string & text, const char * name, const std::vector<double> & values) {
	// the header's row count is fixed to a year of hours plus the repeated one
	text += std::string("double ") + name + "(" + ZEB::val2string(ZEB::HOURS_PER_YEAR + 1) + ",2)\n";
	text += "0 " + number(values.back()) + "\n";
	for (std::size_t k = 1; k <= values.size(); ++k)
		text += ZEB::val2string(k) + " " + number(values[k - 1]) + "\n";
}

/*! True for a Modelica IDENT that is no keyword: what a package may be named. */
bool isModelicaIdentifier(const std::string & name) {
	static const char * const keywords[] = {
		"algorithm", "and", "annotation", "block", "break", "class", "connect", "connector", "constant",
		"constrainedby", "der", "discrete", "each", "else", "elseif", "elsewhen", "encapsulated", "end",
		"enumeration", "equation", "expandable", "extends", "external", "false", "final", "flow", "for",
		"function", "if", "import", "impure", "in", "initial", "inner", "input", "loop", "model", "not",
		"operator", "or", "outer", "output", "package", "parameter", "partial", "protected", "public", "pure",
		"record", "redeclare", "replaceable", "return", "stream", "then", "true", "type", "when", "while",
		"within"};
	if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
		return false;
	for (char c : name)
		if (!(c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
			return false;
	for (const char * keyword : keywords)
		if (name == keyword)
			return false;
	return true;
}

/*! text inside a Modelica string literal: quotes and backslashes escaped. */
std::string modelicaStringText(const std::string & text) {
	std::string escaped;
	for (char c : text) {
		if (c == '"' || c == '\\')
			escaped += '\\';
		escaped += c;
	}
	return escaped;
}

void progress(const ZEB::FormatString & text) {
	ZEB::ZEB_Message(text, ZEB::MSG_PROGRESS, EXPORT_LOCATION, 1);
}

} // namespace


bool CalovindaModelInterface::isPackageFile(const std::string & name) {
	static const char * const names[] = {"climate_data.txt", "Climate.mo", "Room.mo", "Calovinda.mo",
		"schedule_data.txt", "Schedules.mo", "package.mo"};
	if (std::find(std::begin(names), std::end(names), name) != std::end(names))
		return true;
	// the walls: Wall1.mo, Wall2.mo, ...
	return name.size() > 7 && name.compare(0, 4, "Wall") == 0 && name.compare(name.size() - 3, 3, ".mo") == 0 &&
		   name.find_first_not_of("0123456789", 4) == name.size() - 3;
}


void CalovindaModelInterface::export2Modelica(const ZEB::Path & exportDir) const {
	// everything that can fail on the model's side is checked before the first file is written
	const OVM::ClimateDataLoader & climate = m_climate.m_solarRadiationModel.m_climateDataLoader;
	const std::vector<double> & temperatures = climate.m_data[OVM::ClimateDataLoader::Temperature];
	const std::vector<double> & relativeHumidities = climate.m_data[OVM::ClimateDataLoader::RelativeHumidity];
	if (temperatures.empty() || relativeHumidities.empty())
		throw ZEB::Exception("Cannot export the Modelica package: no climate data loaded.", EXPORT_LOCATION);
	for (std::size_t i = 0; i < m_constructionSolvers.size(); ++i) {
		const ConstructionSolver & solver = m_constructionSolvers[i];
		if (solver.m_rc == nullptr || solver.m_n < 2)
			throw ZEB::Exception(ZEB::FormatString("Cannot export the Modelica package: construction #%1 has "
				"%2 cells, at least 2 are needed.").arg(static_cast<unsigned int>(i + 1)).arg(solver.m_n), EXPORT_LOCATION);
	}
	ZEB::LinearSpline setPoints;
	m_room.m_heatingModel.m_scheduleSetPoints.exportLinearSpline(setPoints);

	const ZEB::Path packageNamePath = exportDir.isValid() ? exportDir.filename() : ZEB::Path();
	if (!packageNamePath.isValid())
		throw ZEB::Exception(ZEB::FormatString("Cannot export the Modelica package: '%1' names no directory.")
							 .arg(exportDir.str()), EXPORT_LOCATION);
	const std::string packageName = packageNamePath.str();
	const ZEB::Path dir(exportDir.isAbsolute() ? exportDir.str() : ZEB::Path::current().str() + "/" + exportDir.str());
	const ZEB::Path absoluteDir = dir.absolutePath();
	const std::string moPath = absoluteDir.remove_trailing_slash_copy(absoluteDir.str());
	// the name is written as the package's name and the path into Modelica strings, UTF-8 texts
	if (!isModelicaIdentifier(packageName))
		throw ZEB::Exception(ZEB::FormatString("Cannot export the Modelica package into '%1': '%2' is not a Modelica "
							 "name (a letter or '_', then letters, digits or '_', and no keyword).")
							 .arg(exportDir.str()).arg(packageName), EXPORT_LOCATION);
	if (!ZEB::is_valid_utf8_string(moPath))
		throw ZEB::Exception(ZEB::FormatString("Cannot export the Modelica package: the path '%1' is not valid UTF-8.")
							 .arg(moPath), EXPORT_LOCATION);
	const std::string moPathText = modelicaStringText(moPath);

	if (!dir.isDirectory()) {
		progress(ZEB::FormatString("Creating Modelica export directory for package: '%1'\n").arg(exportDir.str()));
		if (!ZEB::Path::makePath(dir))
			throw ZEB::Exception(ZEB::FormatString("Cannot create the export directory '%1'.").arg(dir.str()),
								 EXPORT_LOCATION);
	}

	// the package's files are written whole before any of them takes its name
	ZEB::OutputFolder package(moPath, PACKAGE_LIST, EXPORT_LOCATION, isPackageFile);
	std::string table = "#1\n";
	appendClimateTable(table, "Temperature", temperatures);
	appendClimateTable(table, "RelativeHumidity", relativeHumidities);
	package.add("climate_data.txt", table);
	package.add("Climate.mo",
				replaced(replaced(CLIMATE_TEMPLATE, "${MOPATH}", moPathText), "${PACKAGE_NAME}", packageName));
	progress(ZEB::FormatString("Creating Climate model 'Climate.mo' and 'climate_data.txt'\n"));

	std::vector<std::string> wallNames;
	for (std::size_t i = 0; i < m_constructionSolvers.size(); ++i) {
		const int k = static_cast<int>(i + 1);
		wallNames.push_back("Wall" + ZEB::val2string(k));
		// the package has no series for a neighbouring zone: its wall holds the temperature of now
		const RoomConstruction * rc = m_constructionSolvers[i].m_rc;
		if (rc->m_type == RoomConstruction::FixedTemperature && !rc->m_zoneTSpline.m_x.empty())
			ZEB::ZEB_Message(ZEB::FormatString("Wall%1 holds the neighbouring zone at a constant %2 C: the package "
											   "does not follow the temperature series of '%3'.\n")
							 .arg(k).arg(rc->m_zoneT - ZEB::KELVIN_OFFSET).arg(rc->m_zoneTCCD),
							 ZEB::MSG_WARNING, EXPORT_LOCATION, 1);
		m_constructionSolvers[i].export2Modelica(k, package, packageName);
	}

	// without constructions the sum still names wall 1
	std::string heatFlowSum = "HeatPortWall[1].Q_flow";
	for (std::size_t k = 2; k <= wallNames.size(); ++k)
		heatFlowSum += " + HeatPortWall[" + ZEB::val2string(k) + "].Q_flow";
	std::string room = replaced(ROOM_TEMPLATE, "${N_WALLS}", ZEB::val2string(wallNames.size()));
	room = replaced(room, "${T_INITIAL}", number(m_room.m_TInitial + ZEB::KELVIN_OFFSET));
	room = replaced(room, "${VOLUME}", number(m_room.m_area*m_room.m_height));
	room = replaced(room, "${Q_HEATCOND_SUM}", heatFlowSum);
	room = replaced(room, "${PACKAGE_NAME}", packageName);
	package.add("Room.mo", room);
	progress(ZEB::FormatString("Creating Room model 'Room.mo'\n"));

	std::string walls;
	std::string connections;
	int y = 80;
	for (std::size_t i = 0; i < wallNames.size(); ++i, y -= 40) {
		const std::string & name = wallNames[i];
		const std::string instance = name + "Instance";
		const std::string yText = ZEB::val2string(y);
		walls += "  " + name + " " + instance + " annotation(Placement(visible = true, transformation(origin = {-40, "
				 + yText + "}, extent = {{-5, -10}, {5, 10}}, rotation = 0)));\n";
		// inside and fixed-temperature walls leave T_left unused, but it still needs a value
		connections += "  climate.AmbientTemperature = " + instance + ".T_left;\n";
		connections += "  connect(" + instance + ".HeatPortRoom, theRoom.HeatPortWall[" + ZEB::val2string(i + 1) + "]) "
					   "annotation(Line(points = {{-35, " + yText + "}, {40, " + yText + "}, {40, 0}, {50, 0}, {50, 0}}));\n";
	}
	std::string top = replaced(CALOVINDA_TEMPLATE, "${WALLS}", walls);
	top = replaced(top, "${WALL_CONNECTIONS}", connections);
	top = replaced(top, "${PACKAGE_NAME}", packageName);
	package.add("Calovinda.mo", top);
	progress(ZEB::FormatString("Creating Calovinda sim model 'Calovinda.mo'\n"));

	table = "#1\ndouble HeatingSetPointTemperature(" + ZEB::val2string(setPoints.size()) + ",2)\n";
	for (std::size_t i = 0; i < setPoints.size(); ++i)
		table += number(setPoints.m_x[i], 15) + " " + number(setPoints.m_y[i], 15) + "\n";
	package.add("schedule_data.txt", table);
	package.add("Schedules.mo",
				replaced(replaced(SCHEDULES_TEMPLATE, "${MOPATH}", moPathText), "${PACKAGE_NAME}", packageName));
	progress(ZEB::FormatString("Creating Schedules model 'Schedules.mo' and 'schedules_data.txt'\n"));

	package.add("package.mo", replaced(PACKAGE_TEMPLATE, "${PACKAGE_NAME}", packageName));
	progress(ZEB::FormatString("Creating package file 'package.mo'\n"));
	package.commit();
}

} // namespace RX
