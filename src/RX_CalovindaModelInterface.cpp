#include "RX_CalovindaModelInterface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <JlCompress.h>

#include "KADRIX_IntegratorErrorControlled.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "KADRIX_LESBTridiag.h"
#include "KADRIX_LESBand.h"
#include "KADRIX_LESBiCGStab.h"
#include "KADRIX_LESDense.h"
#include "KADRIX_LESGMRES.h"
#include "KADRIX_LESKLU.h"
#include "KADRIX_PrecondBand.h"
#include "KADRIX_PrecondILU.h"
#include "OVM_ClimateDataLoader.h"
#include "RX_Database.h"
#include "RX_FMU2ModelDescription.h"
#include "RX_Room.h"
#include "Wexil_Directories.h"
#include "ZEB_Constants.h"
#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_LinearSpline.h"
#include "ZEB_StringUtils.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Path.h"
#include "ZEB_StringUtils.h"

namespace RX {

namespace {

const double SECONDS_PER_YEAR = 31536000.0;
const char * const LES_LOCATION = "[CalovindaModelInterface::lesInterface]";

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
  annotation(experiment(start = 0, stop = 31536000));
  annotation(
    Icon(coordinateSystem(extent={{-125,-125},{125,125}}),
      graphics={Bitmap(extent={{-106.7,-98.3},{106.7,98.3}}, imageSource="iVBORw0KGgoAAAANSUhEUgAAAEAAAAA7CAIAAABE7huLAAAAoElEQVR42u3YsQ2AMAxE0RuHIZiE
mZiESaiZhJoKJggiMXLsfOkGuCeliE/bcYaOAAAAAAAAAACFXPsUDPA0LqdfwGv1PxhyaW9okFd7
K4Mc25sY5Nu+3SD39o2GgQGG7VsMAAAA6KN9tYEnBADAsAA+cx0Awt8DGS6yDDdxhlUiwy6UYZlL
so0yrwMAAOATYFnn0AEAAAAAAAAAAAAQODdR8QB5uU9/1AAAAABJRU5ErkJggg==")}));
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

/*! Writes text to fileName, replacing the file; throws when that fails. */
void writeTextFile(const std::string & fileName, const std::string & text) {
	std::ofstream out(fileName, std::ios_base::out | std::ios_base::trunc);
	out << text;
	out.flush();
	if (!out)
		throw ZEB::Exception(ZEB::FormatString("Cannot write file '%1'.").arg(fileName), EXPORT_LOCATION);
}

/*! A table of the climate file: row 0 repeats the last hour of the year, row k holds hour k - 1. */
void appendClimateTable(std::string & text, const char * name, const std::vector<double> & values) {
	// the header's row count is fixed to a year of hours plus the repeated one
	text += std::string("double ") + name + "(8761,2)\n";
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


CalovindaModelInterface::CalovindaModelInterface() :
	m_abort(false),
	m_lesSolver(nullptr),
	m_jacobian(nullptr),
	m_preconditioner(nullptr),
	m_controllerPieces(PIECES_UNKNOWN),
	m_jacobianUpdateRequested(false),
	m_climateTime(std::numeric_limits<double>::quiet_NaN())
{
}


CalovindaModelInterface::~CalovindaModelInterface() {
	delete m_lesSolver;
	delete m_preconditioner;
	delete m_jacobian;
}


unsigned int CalovindaModelInterface::n() const {
	return m_n;
}


const double * CalovindaModelInterface::y0() const {
	return m_y.data();
}


double CalovindaModelInterface::t0() const {
	return m_room.m_simulationStartTime;
}


double CalovindaModelInterface::dt0() const {
	return 1.0;
}


double CalovindaModelInterface::tEnd() const {
	if (m_room.m_cyclicTwoYearSimulation)
		return 2*SECONDS_PER_YEAR;
	return m_room.m_simulationEndTime;
}


KADRIX::ModelInterface::CalculationResult CalovindaModelInterface::setTime(double t) {
	// the hour of the year is undefined before the start of the first year
	if (!(t >= 0) || !std::isfinite(t))
		return CalculationAbort;
	m_t = t;
	const double tYear = std::fmod(t, SECONDS_PER_YEAR);
	// the division may round a time just below the year's end up to hour 8760
	m_hourOfYear = std::min(std::floor(tYear/3600), 8759.0);
	// every Newton iteration of a step, and stepCompleted after it, evaluates the model again at
	// the step's time: the climate, a function of time alone, is still in place
	if (t != m_climateTime) {
		updateClimate();
		m_climateTime = t;
	}
	DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	if (din.m_active && din.m_lastVentilationUpdate == -1.0) {
		updateAssessmentVentilation();
		din.m_lastVentilationUpdate = tYear;
	}
	return CalculationSuccess;
}


KADRIX::ModelInterface::CalculationResult CalovindaModelInterface::setY(const double * y) {
	// writeOutputs(t0(), y0()) hands in the model's own vector
	if (y != m_y.data())
		std::copy(y, y + m_n, m_y.begin());
	updateStates();
	updateLoads();
	updateDerivatives();
	return CalculationSuccess;
}


KADRIX::ModelInterface::CalculationResult CalovindaModelInterface::ydot(double * ydot) {
	if (m_abort)
		return CalculationAbort;
	std::copy(m_ydot.begin(), m_ydot.end(), ydot);
	return CalculationSuccess;
}


void CalovindaModelInterface::updateAssessmentVentilation() {
	m_room.m_din4108_2Assessment.updateVentilationAirChange(m_TRoom - 273.15, m_TOut - 273.15, m_t/3600, &m_room);
}


void CalovindaModelInterface::writeOutputs(double t, const double * y) {
	if (setTime(t) != CalculationSuccess)
		throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at time %1 s.").arg(t),
							 "[CalovindaModelInterface::writeOutputs]");
	setY(y);
	DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	if (din.m_active && (din.m_lastVentilationUpdate == -1.0 || t > din.m_lastVentilationUpdate + 1800))
		updateAssessmentVentilation();
	m_outputManager.appendOutputs();
}


void CalovindaModelInterface::stepCompleted(double t, const double * y) {
	if (setTime(t) != CalculationSuccess)
		throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at time %1 s.").arg(t),
							 "[CalovindaModelInterface::stepCompleted]");
	setY(y);
	m_outputManager.integrateOutputs(t);

	// An iteration matrix that still holds the old piece's gain (44.6 kW/K on the room air for the
	// example's cooling: a time constant of seconds instead of minutes) damps the first Newton
	// correction after a switch tenfold; the step is accepted on the old convergence rate and the
	// room air, one component of the error norm among hundreds, keeps an error of up to 0.7 K.
	const std::uint32_t pieces = controllerPieces();
	if (m_controllerPieces != PIECES_UNKNOWN && pieces != m_controllerPieces)
		m_jacobianUpdateRequested = true;
	m_controllerPieces = pieces;
	const double slopes = controllerSlopes();

	DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	if (din.m_active) {
		din.adjustSlope(m_TRoom, m_heatingLoad);
		if (din.m_passiveCooling)
			din.adjustSlopeCooling(m_TRoom, m_coolingLoad);
		if (din.m_lastVentilationUpdate == -1.0 || t > din.m_lastVentilationUpdate + 1800) {
			const double aOld = din.m_airChange;
			updateAssessmentVentilation();
			const double aNew = din.m_airChange;
			// while the rate stays, the update is repeated at every step
			if (aOld + ZEB::NEAR_ZERO < aNew || aNew + ZEB::NEAR_ZERO < aOld)
				din.m_lastVentilationUpdate = t;
		}
	}
	else {
		const unsigned int hour = static_cast<unsigned int>(m_hourOfYear);
		m_room.m_heatingModel.adjustSlope(hour, t, m_TRoom, m_heatingLoad);
		m_room.m_coolingModel.adjustSlope(hour, t, m_TRoom, m_coolingLoad);
	}
	if (controllerSlopes() != slopes)
		m_jacobianUpdateRequested = true;

	const double theta = m_TRoom - 273.15;
	const double airChange = m_airChangeRate;
	OutputManager & out = m_outputManager;
	if (t == 0.0) {
		out.m_minRoomAirTemperature = out.m_maxRoomAirTemperature = theta;
		out.m_minAirChangeRate = out.m_maxAirChangeRate = airChange;
	}
	else {
		out.m_minRoomAirTemperature = std::min(out.m_minRoomAirTemperature, theta);
		out.m_maxRoomAirTemperature = std::max(out.m_maxRoomAirTemperature, theta);
		out.m_minAirChangeRate = std::min(out.m_minAirChangeRate, airChange);
		out.m_maxAirChangeRate = std::max(out.m_maxAirChangeRate, airChange);
	}
}


bool CalovindaModelInterface::takeJacobianUpdateRequest() {
	const bool requested = m_jacobianUpdateRequested;
	m_jacobianUpdateRequested = false;
	return requested;
}


std::uint32_t CalovindaModelInterface::controllerPieces() const {
	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	if (din.m_active) {
		const std::uint32_t cooling = din.m_passiveCooling ? din.coolingPiece(m_coolingLoad) : PIECE_OFF;
		return din.heatingPiece(m_heatingLoad) | cooling << 8 | 1u << 16;
	}
	const unsigned int hour = static_cast<unsigned int>(m_hourOfYear);
	return m_room.m_heatingModel.piece(m_heatingLoad)
			| static_cast<std::uint32_t>(m_room.m_coolingModel.piece(hour, m_t, m_TRoom, m_coolingLoad)) << 8;
}


double CalovindaModelInterface::controllerSlopes() const {
	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	return m_room.m_heatingModel.m_slope + m_room.m_coolingModel.m_slope + din.m_slopeHeating + din.m_slopeCooling;
}


KADRIX::IntegratorInterface * CalovindaModelInterface::integratorInterface() {
	if (m_integratorName == "ImplicitEuler")
		return &m_integratorImplicitEuler;
	return &m_integratorCVODE;
}


KADRIX::PrecondInterface * CalovindaModelInterface::preconditionerInterface() {
	lesInterface();
	return m_preconditioner;
}


KADRIX::JacobianInterface * CalovindaModelInterface::jacobianInterface() {
	lesInterface();
	return m_jacobian;
}


bool CalovindaModelInterface::hasErrorWeightsFunction() {
	return m_room.m_din4108_2Assessment.m_active;
}


KADRIX::ModelInterface::CalculationResult CalovindaModelInterface::calculateErrorWeights(const double * y, double * weights) {
	for (unsigned int i = 0; i < m_n; ++i)
		weights[i] = 1.0/(std::fabs(y[i])*1e-6 + 1e-6);
	for (unsigned int i = m_n - m_m; i < m_n; ++i)
		weights[i] *= 10;
	return CalculationSuccess;
}


double CalovindaModelInterface::nextOutputTime(double t) {
	const double dt = m_room.m_outputTimeSteps;
	const double k = std::floor((t + 1e-10)/dt);
	// a count beyond 64 bits (or a non-finite time) has no next grid point to speak of
	if (!(std::fabs(k) < 9e18))
		return (k + 1)*dt;
	return static_cast<double>(static_cast<std::int64_t>(k) + 1)*dt;
}


void CalovindaModelInterface::init(const Database & db) {
	const char * const location = "[CalovindaModelInterface::init]";
	if (!(m_room.m_simulationStartTime >= 0) || !std::isfinite(m_room.m_simulationStartTime))
		throw ZEB::Exception(ZEB::FormatString("Simulation start time must not be negative, got %1 s.")
							 .arg(m_room.m_simulationStartTime), location);
	if (!(m_room.m_outputTimeSteps > 0) || !std::isfinite(m_room.m_outputTimeSteps))
		throw ZEB::Exception(ZEB::FormatString("Output time step must be positive, got %1 s.")
							 .arg(m_room.m_outputTimeSteps), location);

	CalovindaModel::init(db);
	m_outputManager.m_model = this;
	m_outputManager.initOutputs();
	// a run rarely completes a step at exactly 0 s, where the extremes restart: until the first
	// completed step they hold the neutral values, so that the first step sets them
	const double inf = std::numeric_limits<double>::infinity();
	m_outputManager.m_minRoomAirTemperature = m_outputManager.m_minAirChangeRate = inf;
	m_outputManager.m_maxRoomAirTemperature = m_outputManager.m_maxAirChangeRate = -inf;

	if (integratorInterface() == &m_integratorImplicitEuler) {
		m_integratorImplicitEuler.m_relTol = 1e-5;
		m_integratorImplicitEuler.m_absTol = 1e-6;
		m_integratorImplicitEuler.m_nonlinConvCoef = 0.05;
		m_integratorImplicitEuler.m_dtMax = 3600;
	}
	else {
		m_integratorCVODE.m_relTol = 1e-6;
		m_integratorCVODE.m_absTol = 1e-6;
		m_integratorCVODE.m_dtMin = 1e-8;
		m_integratorCVODE.m_dtMax = 3600;
		m_integratorCVODE.m_maxOrder = 5;
		m_integratorCVODE.m_nonlinConvCoef = 0.01;
	}

	std::string unknowns = "[";
	const unsigned int wallUnknowns = m_n - m_m;
	for (unsigned int i = 0; i < m_nConstructions; ++i) {
		if (i + 1 < m_nConstructions)
			unknowns += ZEB::FormatString("%1,").arg(m_constructionSolvers[i].m_n*m_m).str();
		else
			unknowns += ZEB::FormatString("%1]").arg(wallUnknowns - m_elementOffsets[i]*m_m).str();
	}
	// a room of the bare air alone
	if (m_nConstructions == 0)
		unknowns += "]";
	ZEB::ZEB_Message(ZEB::FormatString("Unknowns in walls = '%1'.\n").arg(unknowns), ZEB::MSG_PROGRESS, location, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Total number of unknowns = '%1'.\n").arg(m_n), ZEB::MSG_PROGRESS, location, 1);

	m_controllerPieces = PIECES_UNKNOWN;
	m_jacobianUpdateRequested = false;
	m_climateTime = std::numeric_limits<double>::quiet_NaN();
	m_abort = false;
}


void CalovindaModelInterface::chooseSolvers() {
	m_integratorName.clear();
	m_lesSolverName = "GMRES";
	m_preconditionerName = "ILU";
}


void CalovindaModelInterface::initIntegrator() {
	KADRIX::IntegratorInterface * integrator = integratorInterface();
	KADRIX::LESInterface * les = lesInterface();
	KADRIX::PrecondInterface * preconditioner = preconditionerInterface();
	KADRIX::JacobianInterface * jacobian = jacobianInterface();
	integrator->init(this, t0(), y0(), les, preconditioner, jacobian);
}


void CalovindaModelInterface::integrateTo(double tEnd) {
	const char * const location = "[CalovindaModelInterface::integrateTo]";
	KADRIX::IntegratorInterface * integrator = integratorInterface();
	double t = integrator->t();
	if (!(tEnd >= t) || !std::isfinite(tEnd))
		throw ZEB::Exception(ZEB::FormatString("Cannot integrate from %1 s to %2 s.").arg(t).arg(tEnd), location);

	KADRIX::IntegratorErrorControlled * controlled = dynamic_cast<KADRIX::IntegratorErrorControlled *>(integrator);
	if (controlled != nullptr)
		controlled->m_stopTime = tEnd;

	// the series start with the initial state; a restored state of the start time has none yet
	if (t == t0() && m_outputManager.m_stateSeries[OutputManager::S_TIME].empty())
		writeOutputs(t0(), y0());

	double tOut = nextOutputTime(t);
	// time of the model's last evaluation by the loop; -1 while the loop has not evaluated it
	double tModel = -1;
	while (tEnd > t) {
		if (integrator->step() != KADRIX::IntegratorInterface::StepSuccess)
			throw ZEB::Exception("Integrator step failed!", location);
		t = integrator->t();
		stepCompleted(t, integrator->yOut(t));
		tModel = t;
		while (t >= tOut) {
			writeOutputs(tOut, integrator->yOut(tOut));
			tModel = tOut;
			const double tNext = nextOutputTime(tOut);
			if (tNext <= tOut)
				throw ZEB::Exception(ZEB::FormatString("Output scheduler returned output time %1, which is <= last "
													   "output time %2.").arg(tNext).arg(tOut), location);
			tOut = tNext;
			if (tNext > tEnd*1.0000000001)
				break;
		}
	}
	// the model's quantities belong to the communication point, not to an earlier output time
	if (tModel != -1 && tModel != t) {
		if (setTime(t) != CalculationSuccess || setY(integrator->yOut(t)) != CalculationSuccess)
			throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at time %1 s.").arg(t), location);
	}
}


KADRIX::LESInterface * CalovindaModelInterface::lesInterface() {
	if (m_lesSolver != nullptr)
		return m_lesSolver;

	const unsigned int B = m_m;
	const auto message = [](const char * text) {
		ZEB::ZEB_Message(ZEB::FormatString(text), ZEB::MSG_PROGRESS, LES_LOCATION, 1);
	};

	if (ZEB::string_nocase_compare(m_lesSolverName, "Dense")) {
		m_lesSolver = new KADRIX::LESDense();
		message("Using Dense LES solver.\n");
		return m_lesSolver;
	}
	if (ZEB::string_nocase_compare(m_lesSolverName, "BTridiag")) {
		if (B == 2) {
			m_lesSolver = new KADRIX::LESBTridiag(n()/2, 2);
			message("Using block-tridiagonal LES solver (block size 2).\n");
		}
		else {
			m_lesSolver = new KADRIX::LESBTridiag(n(), 1);
			message("Using tridiagonal LES solver.\n");
		}
		return m_lesSolver;
	}
	if (ZEB::string_nocase_compare(m_lesSolverName, "Band")) {
		if (B == 2) {
			m_lesSolver = new KADRIX::LESBand(3, 3);
			message("Using banded LES solver (half-bandwidth 3).\n");
		}
		else {
			m_lesSolver = new KADRIX::LESBand(1, 1);
			message("Using banded LES solver (half-bandwidth 1).\n");
		}
		return m_lesSolver;
	}

	const bool gmres = ZEB::string_nocase_compare(m_lesSolverName, "GMRES");
	const bool bicgstab = ZEB::string_nocase_compare(m_lesSolverName, "BiCGStab");
	if (gmres || bicgstab) {
		// nothing is kept unless the whole choice succeeds, so that a failed call can be repeated
		generateIndexVector();
		std::unique_ptr<KADRIX::JacobianSparseCSR> jacobian(new KADRIX::JacobianSparseCSR(
			n(), static_cast<unsigned int>(m_ja.size()), m_ia.data(), m_ja.data(), nullptr, nullptr));
		std::unique_ptr<KADRIX::PrecondInterface> precond;
		if (!m_preconditionerName.empty()) {
			if (ZEB::string_nocase_compare(m_preconditionerName, "ILU")) {
				precond.reset(new KADRIX::PrecondILU(KADRIX::PrecondInterface::RIGHT));
				message("Using ILU preconditioner.\n");
			}
			else {
				unsigned int k = (B == 2) ? 3 : 1;
				std::string name = m_preconditionerName;
				const std::string::size_type open = name.find('(');
				const std::string::size_type close = name.find(')');
				if (open != std::string::npos && close != std::string::npos && close > open) {
					k = ZEB::string2val<unsigned int>(name.substr(open + 1, close - open - 1));
					name = name.substr(0, open);
				}
				if (!ZEB::string_nocase_compare(name, "band"))
					throw ZEB::Exception("Unknown or unsupported preconditioner selected.", LES_LOCATION);
				precond.reset(new KADRIX::PrecondBand(k, k, KADRIX::PrecondInterface::RIGHT));
				ZEB::ZEB_Message(ZEB::FormatString("Using Band preconditioner (half-bandwidth %1).\n").arg(k),
								 ZEB::MSG_PROGRESS, LES_LOCATION, 1);
			}
		}
		KADRIX::LESInterfaceIterative * krylov;
		if (gmres) {
			message("Using iterative GMRES (Krylow subspace dimension = 10) LES solver.\n");
			krylov = new KADRIX::LESGMRES();
		}
		else {
			message("Using iterative BiCGStab (Krylow subspace dimension = 10) LES solver.\n");
			krylov = new KADRIX::LESBiCGStab();
		}
		krylov->m_maxKrylovDim = 10;
		krylov->m_linIterConvCoeff = 0.05;
		m_lesSolver = krylov;
		m_jacobian = jacobian.release();
		m_preconditioner = precond.release();
		return m_lesSolver;
	}

	message("Using KLU sparse LES solver.\n");
	std::unique_ptr<KADRIX::LESInterface> klu(new KADRIX::LESKLU());
	generateIndexVector();
	m_jacobian = new KADRIX::JacobianSparseCSR(n(), static_cast<unsigned int>(m_ja.size()), m_ia.data(), m_ja.data(),
											   nullptr, nullptr);
	m_lesSolver = klu.release();
	return m_lesSolver;
}


void CalovindaModelInterface::setIndexLocation(unsigned int row, unsigned int column) {
	const std::vector<std::uint32_t>::iterator first = m_ja.begin() + m_ia[row];
	const std::vector<std::uint32_t>::iterator last = m_ja.begin() + m_ia[row + 1];
	const std::vector<std::uint32_t>::iterator pos = std::lower_bound(first, last, column);
	if (pos != last && *pos == column)
		return;
	m_ja.insert(pos, column);
	for (std::size_t i = row + 1; i < m_ia.size(); ++i)
		++m_ia[i];
}


void CalovindaModelInterface::addBlock(unsigned int a, unsigned int b) {
	for (unsigned int i = 0; i < m_m; ++i)
		for (unsigned int j = 0; j < m_m; ++j)
			setIndexLocation(a*m_m + i, b*m_m + j);
}


void CalovindaModelInterface::generateIndexVector() {
	m_ia.assign(m_n + 1, 0);
	m_ja.clear();
	const unsigned int elements = m_n/m_m;
	const unsigned int room = elements - 1;
	for (unsigned int e = 0; e < elements; ++e)
		addBlock(e, e);
	for (unsigned int c = 0; c < m_nConstructions; ++c) {
		const unsigned int o = m_elementOffsets[c];
		const unsigned int N = m_constructionSolvers[c].m_n;
		for (unsigned int j = 1; j < N; ++j) {
			addBlock(o + j - 1, o + j);
			addBlock(o + j, o + j - 1);
		}
		if (m_constructions[c].m_type == RoomConstruction::Inside) {
			addBlock(o, room);
			addBlock(room, o);
		}
		// the room balance sees the two innermost cells of every construction
		addBlock(room, o + N - 1);
		addBlock(o + N - 1, room);
		if (N >= 2) {
			addBlock(room, o + N - 2);
			addBlock(o + N - 2, room);
		}
	}
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

	std::string table = "#1\n";
	appendClimateTable(table, "Temperature", temperatures);
	appendClimateTable(table, "RelativeHumidity", relativeHumidities);
	writeTextFile(moPath + "/climate_data.txt", table);
	writeTextFile(moPath + "/Climate.mo",
				  replaced(replaced(CLIMATE_TEMPLATE, "${MOPATH}", moPathText), "${PACKAGE_NAME}", packageName));
	progress(ZEB::FormatString("Creating Climate model 'Climate.mo' and 'climate_data.txt'\n"));

	std::vector<std::string> wallNames;
	for (std::size_t i = 0; i < m_constructionSolvers.size(); ++i) {
		const int k = static_cast<int>(i + 1);
		wallNames.push_back("Wall" + ZEB::val2string(k));
		m_constructionSolvers[i].export2Modelica(k, moPath + "/Wall" + ZEB::val2string(k) + ".mo", packageName);
	}

	// without constructions the sum still names wall 1
	std::string heatFlowSum = "HeatPortWall[1].Q_flow";
	for (std::size_t k = 2; k <= wallNames.size(); ++k)
		heatFlowSum += " + HeatPortWall[" + ZEB::val2string(k) + "].Q_flow";
	std::string room = replaced(ROOM_TEMPLATE, "${N_WALLS}", ZEB::val2string(wallNames.size()));
	room = replaced(room, "${T_INITIAL}", number(m_room.m_TInitial + 273.15));
	room = replaced(room, "${VOLUME}", number(m_room.m_area*m_room.m_height));
	room = replaced(room, "${Q_HEATCOND_SUM}", heatFlowSum);
	room = replaced(room, "${PACKAGE_NAME}", packageName);
	writeTextFile(moPath + "/Room.mo", room);
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
	writeTextFile(moPath + "/Calovinda.mo", top);
	progress(ZEB::FormatString("Creating Calovinda sim model 'Calovinda.mo'\n"));

	table = "#1\ndouble HeatingSetPointTemperature(" + ZEB::val2string(setPoints.size()) + ",2)\n";
	for (std::size_t i = 0; i < setPoints.size(); ++i)
		table += number(setPoints.m_x[i], 15) + " " + number(setPoints.m_y[i], 15) + "\n";
	writeTextFile(moPath + "/schedule_data.txt", table);
	writeTextFile(moPath + "/Schedules.mo",
				  replaced(replaced(SCHEDULES_TEMPLATE, "${MOPATH}", moPathText), "${PACKAGE_NAME}", packageName));
	progress(ZEB::FormatString("Creating Schedules model 'Schedules.mo' and 'schedules_data.txt'\n"));

	writeTextFile(moPath + "/package.mo", replaced(PACKAGE_TEMPLATE, "${PACKAGE_NAME}", packageName));
	progress(ZEB::FormatString("Creating package file 'package.mo'\n"));
}


namespace {

const char * const FMU_LOCATION = "[CalovindaModelInterface::export2FMU]";

void fmuError(const char * text, const std::string & argument) {
	ZEB::ZEB_Message(ZEB::FormatString(text).arg(argument), ZEB::MSG_ERROR, FMU_LOCATION, -1);
}

/*! Removes the export's temporary tree on every way out, also when an exception passes. */
struct TreeRemover {
	explicit TreeRemover(const ZEB::Path & root) : m_root(root) {}
	~TreeRemover() { ZEB::Path::remove(m_root); }
	TreeRemover(const TreeRemover &) = delete;
	TreeRemover & operator=(const TreeRemover &) = delete;
	ZEB::Path m_root;
};

/*! Copies the climate data that reference names (relative to climateDir) into targetDir: the
	file itself, else the CCD data set beside it. */
bool copyClimateData(const ZEB::Path & climateDir, const std::string & reference, const ZEB::Path & targetDir,
					 bool withMoisture)
{
	const ZEB::Path source = (climateDir / reference).absolutePath();
	if (ZEB::Path::copy(source, targetDir))
		return true;
	fmuError("Cannot copy climate file: '%1'\n", source.str());

	const ZEB::Path sourceDir = source.parentPath();
	const auto copyOne = [&](const ZEB::Path & file) {
		if (ZEB::Path::copy(file, targetDir))
			return true;
		fmuError("Cannot copy climate file: '%1'\n", file.str());
		return false;
	};
	ZEB::Path ccdx = source;
	ccdx.addExtension("ccdx");
	const bool ccdxCopied = copyOne(ccdx);
	if (!copyOne(sourceDir / "description.xml"))
		return false;
	std::vector<std::string> series = {"DiffuseRadiation.ccd", "DirectRadiation.ccd", "Temperature.ccd"};
	if (withMoisture)
		series.push_back("RelativeHumidity.ccd");
	bool allSeries = true;
	for (const std::string & name : series)
		allSeries = copyOne(sourceDir / name) && allSeries;
	return allSeries || ccdxCopied;
}

} // namespace


bool CalovindaModelInterface::export2FMU(const ZEB::Path & libraryDir, const ZEB::Path & projectFile,
										 const ZEB::Path & fmuFile, const ZEB::Path & resultsRootDir,
										 const ZEB::Path & climateDir, const ZEB::Path & workDir)
{
	// the archive's name goes through a UTF-8 text: other bytes would name another file
	if (!ZEB::is_valid_utf8_string(fmuFile.str())) {
		fmuError("Cannot write the FMU archive under a name that is not valid UTF-8: '%1'\n", fmuFile.str());
		return false;
	}
	const ZEB::Path fmuPath = fmuFile.absolutePath();
	const ZEB::Path fmuDir = fmuPath.parentPath();
	if (!fmuDir.exists()) {
		ZEB::ZEB_Message(ZEB::FormatString("Creating FMU export directory for package: '%1'\n").arg(fmuDir.str()),
						 ZEB::MSG_PROGRESS, FMU_LOCATION, 1);
		ZEB::Path::makePath(fmuDir);
	}

	// a tree of its own for each export: two exports at once must not share or remove each
	// other's files
	const ZEB::Path tmpDir = (workDir.isValid() ? workDir
							  : ZEB::Path(Wexil::Directories::tmpDir().toStdString())).absolutePath();
	ZEB::Path::makePath(tmpDir);
	std::string pattern = (tmpDir / "CalovindaFMU-XXXXXX").str();
	if (mkdtemp(&pattern[0]) == nullptr) {
		fmuError("Cannot create directory: '%1'\n", pattern);
		return false;
	}
	const ZEB::Path root(pattern);
	TreeRemover remover(root);

	const ZEB::Path binDir = root / "binaries/linux64";
	const ZEB::Path resourcesDir = root / "resources";
	ZEB::Path::makePath(binDir);
	ZEB::Path::makePath(root / "documentation");
	ZEB::Path::makePath(resourcesDir);

	const ZEB::Path library = (libraryDir / "CalovindaFMI2.so").absolutePath();
	if (!ZEB::Path::copy(library, binDir / "CalovindaFMI2.so")) {
		fmuError("Cannot copy library: '%1'\n", library.str());
		return false;
	}

	if (!ZEB::Path::copy(projectFile, resourcesDir)) {
		fmuError("Cannot copy project file: '%1'\n", projectFile.str());
		return false;
	}
	const ZEB::Path projectTarget = resourcesDir / "calovinda_project.rmxml";
	const ZEB::Path projectCopy = resourcesDir / projectFile.filename();
	if (projectCopy != projectTarget && !ZEB::Path::move(projectCopy, projectTarget)) {
		fmuError("Cannot rename project file: '%1'\n", projectCopy.str());
		return false;
	}

	// the packaged project, read into a room of the export's own so that the model's
	// constructions stay where its wall solvers expect them
	Database database;
	Room room;
	QFile file(QString::fromStdString(projectFile.str()));
	if (!file.open(QIODevice::ReadOnly)) {
		fmuError("Cannot open project file: '%1'\n", projectFile.str());
		return false;
	}
	ZEB::ZEB_Message(ZEB::FormatString("Reading project file: %1\n").arg(projectFile.str()), ZEB::MSG_PROGRESS,
					 FMU_LOCATION, 1);
	QXmlStreamReader reader(&file);
	room.readXML(reader, database);
	if (reader.hasError()) {
		fmuError("Cannot read project file: '%1'\n", projectFile.str());
		return false;
	}

	const std::string reference = room.m_climateLocation.toStdString();
	if (!Climate::isPlainReference(room.m_climateLocation)) {
		fmuError("Climate reference is not a relative path of names separated by '/': '%1'\n", reference);
		return false;
	}
	const ZEB::Path climateTarget = resourcesDir / ZEB::Path(reference).parentPath();
	ZEB::Path::makePath(climateTarget);
	const ZEB::Path climateSource = climateDir.isValid() ? climateDir
		: ZEB::Path(Wexil::Directories::databasesDir().toStdString()) / "DB_climate";
	if (!copyClimateData(climateSource, reference, climateTarget, room.m_moistureBalanceEnabled))
		return false;

	// files referenced by a relative path resolve against the project's directory, which the
	// archive does not reproduce
	for (const RoomConstruction & rc : room.m_constructions)
		if (rc.m_zoneTCCD.isValid() && !rc.m_zoneTCCD.isAbsolute())
			ZEB::ZEB_Message(ZEB::FormatString("Zone temperature file is not packaged: '%1'\n").arg(rc.m_zoneTCCD.str()),
							 ZEB::MSG_WARNING, FMU_LOCATION, 1);
	for (const StructuralShading & s : room.m_shadingControlModel.m_structuralShadings)
		if (!s.m_shadingFileName.isEmpty() && !ZEB::Path(s.m_shadingFileName.toStdString()).isAbsolute())
			ZEB::ZEB_Message(ZEB::FormatString("Shading factor file is not packaged: '%1'\n")
							 .arg(s.m_shadingFileName.toStdString()), ZEB::MSG_WARNING, FMU_LOCATION, 1);

	const ZEB::Path descriptionFile = root / "modelDescription.xml";
	try {
		FMU2ModelDescription description(this);
		description.m_resultsRootDir = resultsRootDir;
		description.write(descriptionFile, room.m_interfaceDefinition);
	}
	catch (ZEB::Exception & ex) {
		ex.writeMsgStackToError();
		fmuError("Cannot write model description: '%1'\n", descriptionFile.str());
		return false;
	}

	if (!JlCompress::compressDir(QString::fromUtf8(fmuPath.str().c_str()), QString::fromUtf8(root.str().c_str()), true)) {
		QFile::remove(QString::fromUtf8(fmuPath.str().c_str()));
		fmuError("Cannot create FMU archive: '%1'\n", fmuPath.str());
		return false;
	}

	ZEB::ZEB_Message(ZEB::FormatString("\nCreated '%1'\n").arg(fmuFile.str()), ZEB::MSG_PROGRESS, FMU_LOCATION, -1);
	return true;
}

} // namespace RX
