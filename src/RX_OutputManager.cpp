#include "RX_OutputManager.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <system_error>

#include <QFile>

#include "ZEB_Constants.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_OutputFile.h"
#include "ZEB_OutputFolder.h"
#include "ZEB_Time.h"
#include "ZEB_UnitList.h"

#include "OVM_ClimateDataLoader.h"

#include "RX_CalovindaModel.h"
#include "RX_WindowType.h"

namespace RX {

namespace {

/*! Degrees per radian of the sun angles in the outputs; results are compared against files
	written with this very factor, so it is not 180/pi. */
const double SUN_ANGLE_DEG = 57.2962109060791;

const char * const STATE_DESCRIPTIONS[OutputManager::NUM_STATES] = {
	"Time [d]",
	"Ambient temperature [C]",
	"Gliding (2-day) average of outside temperature [C]",
	"Local mean time [d]",
	"Apparent solar time [d]",
	"Sun elevation angle [Deg]",
	"Sun azimuth angle [Deg]",
	"Declination angle [Deg]",
	"Global Radiation on horizontal surface (wrt to horizontal unit surface) [W/m2]",
	"Diffuse Radiation on horizontal surface (wrt to horizontal unit surface) [W/m2]",
	"Direct Radiation on horizontal surface (wrt to horizontal unit surface) [W/m2]",
	"Direct Radiation in sun's normal direction (wrt to unit surface) [W/m2]",
	"Room air temperature [C]",
	"Room radiant temperature [C]",
	"Operative temperature [C]",
	"Occupancy schedule based on presence of occupants (1 room populated, 0 - empty) [---]",
	"Overtemperature hours [Kh]",
	"Relative humidity [%]",
	"Absolute humidity (mass vapor/volume gas) [kg/m3]",
	"Vapor pressure [Pa]",
	"Ambient relative humidity [%]",
	"Ambient absolute humidity (mass vapor/volume gas) [kg/m3]",
	"Ambient vapor pressure [Pa]",
	"Room air water content (mass vapor/mass dry air) [kg/kg]"
};

const char * const FLUX_DESCRIPTIONS[OutputManager::NUM_FLUXES] = {
	"Natural ventilation heat loss/gain [W]",
	"Heating loads [W]",
	"Active cooling loads [W]",
	"Mechanical ventilation loads [W]",
	"Equipment loads [W]",
	"Usage (Person) loads [W]",
	"Supply flow rate for AC cooling system [m3/s]",
	"Total transmission loads through inside of all walls (convection/conduction only) [W]",
	"Total convective heat transmission loads through all windows [W]",
	"Total radiation loads through all windows [W]",
	"Radiation loads through all windows (fraction that is applied to room balance) [W]",
	"Energy consumption of A/C (not applied to room balance) [W]",
	"Ventilation rate (infiltration) [1/h]",
	"Total vapor loads through inside of all walls (water vapor diffusion) [kg/s]",
	"Moisture source/production rate [kg/s]",
	"Enthalpy of moisture source/production rate in [W]",
	"Moisture removal rate from in ideal cooling/dehumidification in [kg/s]",
	"Enthalpy of moisture removal rate from in ideal cooling/dehumidification in [W]",
	"Energy used for dehumidification in ideal cooling in [W]",
	"Mechanical ventilation moisture loss/gain [kg/s]",
	"Natural ventilation moisture loss/gain [kg/s]"
};

const char * const WALL_STATE_DESCRIPTIONS[OutputManager::NUM_WALL_STATES] = {
	"Wall inside surface temperatures [C]",
	"Window inside surface temperatures calculated based on given U-Value [C]",
	"Wall outside surface temperatures [C]",
	"Solar incidence angle on wall/window surface [Deg]",
	"Solar heat gain coefficient [---]",
	"Structural shading coefficient (file) [---]",
	"Structural shading coefficient (calculated) [---]",
	"Shading coefficient [---]",
	"Wall inside surface relative humidity [%]"
};

// several texts end in a blank, which the result files keep
const char * const WALL_FLUX_DESCRIPTIONS[OutputManager::NUM_WALL_FLUXES] = {
	"Convective heat transfer flux through inside of wall (wrt to wall area), positive from room to wall [W/m2]",
	"Convective heat transfer flux through outside of wall (wrt to wall area), positive from ambient to wall [W/m2] ",
	"Direct radiation flux on outside of walls (wrt to wall area), gross value, not yet multiplied with adsorption coefficient [W/m2]",
	"Diffuse radiation flux on outside of walls (wrt to wall area), gross value, not yet multiplied with adsorption coefficient [W/m2] ",
	"Global radiation flux on outside of walls (wrt to wall area), gross value, not yet multiplied with adsorption coefficient [W/m2] ",
	"Global radiation flux on outside of walls (wrt to wall area), already multiplied with adsorption coefficient [W/m2] ",
	"Global radiation flux on inside of walls (wrt to wall area), wall-fraction of radiation gains through windows into room [W/m2] ",
	"Radiation flux through window in wall (wrt to wall area) [W/m2] ",
	"Convective heat transfer flux through window in wall (wrt to wall area) [W/m2] "
};

/*! Month boundaries [d of the year]. */
const double MONTH_BOUNDARIES[13] = {
	0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365
};
const double DAYS_PER_YEAR = MONTH_BOUNDARIES[12];

/*! Most entries reserved per series: a year of five-minute outputs. Longer runs grow as usual. */
const std::size_t MAX_RESERVED_OUTPUTS = 105121;


/*! Appends v with the given significant digits in the shorter of fixed and scientific notation,
	independent of the locale. */
void appendNumber(std::string & s, double v, int digits = 6) {
	if (std::isnan(v)) {
		s += "nan";
		return;
	}
	char buf[32];
	const std::to_chars_result r = std::to_chars(buf, buf + sizeof(buf), v, std::chars_format::general, digits);
	s.append(buf, r.ptr);
}

/*! Entry i of series, or "NaN" when the series is shorter or holds no value there, and the
	column's tab. */
void appendEntry(std::string & s, const std::vector<double> & series, std::size_t i, double factor = 1.0,
				 int digits = 6)
{
	if (i < series.size() && !std::isnan(series[i]))
		appendNumber(s, series[i]*factor, digits);
	else
		s += "NaN";
	s += '\t';
}

/*! A file written in full under a temporary name beside its final one; commit() puts it in
	place. Until then the file's owner removes it, so that a failed or interrupted run never leaves
	a truncated file under its name. Throws ZEB::Exception at location, naming fileName and the
	reason, when it cannot be written. */
std::unique_ptr<ZEB::OutputFile> pendingFile(const QString & fileName, const std::string & content, const char * location) {
	std::unique_ptr<ZEB::OutputFile> file = std::make_unique<ZEB::OutputFile>(QFile::encodeName(fileName).toStdString(),
																			  location);
	file->open();
	file->write(content.data(), content.size());
	file->finish();
	return file;
}

std::string integralHeading(const QString & description) {
	return ZEB::UnitList::replaceUnitWithIntegralUnit(description.toStdString()) + " * 1e-6\t";
}

/*! x rounded down to a tenth. Output times in days make hourly intervals a hair shorter or
	longer than an hour, so a sum of whole tenths may lie just below its value; it is not
	rounded down a whole tenth for that. */
double floorToTenth(double x) {
	return std::floor(x*10 + 1e-6)/10;
}

/*! Keeps only the last entry, the start of the restarted series. */
void restartSeries(std::vector<double> & series) {
	if (series.empty())
		return;
	series.front() = series.back();
	series.resize(1);
}

void restartSeries(OutputManager::PerConstructionSeries & series) {
	for (std::vector<std::vector<double> > & kind : series)
		for (std::vector<double> & s : kind)
			restartSeries(s);
}

void reserveSeries(OutputManager::PerConstructionSeries & series, std::size_t n) {
	for (std::vector<std::vector<double> > & kind : series)
		for (std::vector<double> & s : kind)
			s.reserve(n);
}

void resizeKinds(OutputManager::PerConstruction & values, unsigned int kinds, unsigned int n) {
	values.assign(kinds, std::vector<double>(n, 0.0));
}

void resizeKinds(OutputManager::PerConstructionSeries & series, unsigned int kinds, unsigned int n) {
	series.assign(kinds, std::vector<std::vector<double> >(n));
}

} // namespace


OutputManager::OutputManager() :
	OutputManager(nullptr)
{
}


OutputManager::OutputManager(const CalovindaModel * model) :
	m_model(model),
	m_nConstructions(0),
	m_tStepCompleted(0),
	m_minRoomAirTemperature(0),
	m_maxRoomAirTemperature(0),
	m_minAirChangeRate(0),
	m_maxAirChangeRate(0),
	m_occupiedHours(0),
	m_hoursAbove2K(0),
	m_hoursAbove3K(0),
	m_hoursAbove4K(0),
	m_occupiedHoursAbove2K(0),
	m_occupiedHoursAbove3K(0),
	m_occupiedHoursAbove4K(0),
	m_overtemperatureDegreeHours(0),
	m_overtemperatureDegreeHours2K(0),
	m_overtemperatureDegreeHours4K(0),
	m_verificationFulfilled(false),
	m_basicOvertemperatureDegreeHours(0),
	m_maxOperativeTemperature(0)
{
	m_states.fill(0);
	m_fluxes.fill(0);
	m_fluxIntegrals.fill(0);
	m_lastFluxes.fill(0);
}


void OutputManager::initOutputs() {
	const char * const FUNC_ID = "[OutputManager::initOutputs]";
	if (m_model == nullptr)
		throw ZEB::Exception("No room model to take outputs from.", FUNC_ID);

	m_nConstructions = m_model->m_nConstructions;
	const unsigned int n = m_nConstructions;
	resizeKinds(m_wallStates, NUM_WALL_STATES, n);
	resizeKinds(m_wallFluxes, NUM_WALL_FLUXES, n);
	resizeKinds(m_wallFluxIntegrals, NUM_WALL_FLUXES, n);
	resizeKinds(m_lastWallFluxes, NUM_WALL_FLUXES, n);
	resizeKinds(m_wallStateSeries, NUM_WALL_STATES, n);
	resizeKinds(m_wallFluxSeries, NUM_WALL_FLUXES, n);
	resizeKinds(m_wallFluxIntegralSeries, NUM_WALL_FLUXES, n);
	for (std::vector<double> & s : m_stateSeries)
		s.clear();
	for (std::vector<double> & s : m_fluxSeries)
		s.clear();
	for (std::vector<double> & s : m_fluxIntegralSeries)
		s.clear();

	for (unsigned int k = 0; k < NUM_STATES; ++k)
		m_stateDescriptions[k] = QString::fromUtf8(STATE_DESCRIPTIONS[k]);
	for (unsigned int j = 0; j < NUM_FLUXES; ++j)
		m_fluxDescriptions[j] = QString::fromUtf8(FLUX_DESCRIPTIONS[j]);
	for (unsigned int k = 0; k < NUM_WALL_STATES; ++k)
		m_wallStateDescriptions[k] = QString::fromUtf8(WALL_STATE_DESCRIPTIONS[k]);
	for (unsigned int k = 0; k < NUM_WALL_FLUXES; ++k)
		m_wallFluxDescriptions[k] = QString::fromUtf8(WALL_FLUX_DESCRIPTIONS[k]);

	m_tStepCompleted = 0;
	m_states.fill(0);
	m_fluxes.fill(0);
	m_fluxIntegrals.fill(0);
	m_lastFluxes.fill(0);
	m_occupiedHours = 0;
	m_hoursAbove2K = m_hoursAbove3K = m_hoursAbove4K = 0;
	m_occupiedHoursAbove2K = m_occupiedHoursAbove3K = m_occupiedHoursAbove4K = 0;

	if (!m_keepSeries)
		return;
	// room for every output of the run, so that appending never reallocates
	const Room & room = m_model->m_room;
	std::size_t outputs = 1;
	if (room.m_outputTimeSteps > 0 && room.m_simulationEndTime > room.m_simulationStartTime) {
		const double count = std::ceil((room.m_simulationEndTime - room.m_simulationStartTime)/room.m_outputTimeSteps) + 2;
		outputs = static_cast<std::size_t>(std::min(count, static_cast<double>(MAX_RESERVED_OUTPUTS)));
	}
	if (room.m_cyclicTwoYearSimulation)
		outputs = std::min<std::size_t>(outputs, ZEB::HOURS_PER_YEAR + 2);
	for (std::vector<double> & s : m_stateSeries)
		s.reserve(outputs);
	for (std::vector<double> & s : m_fluxSeries)
		s.reserve(outputs);
	for (std::vector<double> & s : m_fluxIntegralSeries)
		s.reserve(outputs);
	reserveSeries(m_wallStateSeries, outputs);
	reserveSeries(m_wallFluxSeries, outputs);
	reserveSeries(m_wallFluxIntegralSeries, outputs);

	for (std::vector<double> & s : m_fluxIntegralSeries)
		s.push_back(0.0);
	for (std::vector<std::vector<double> > & kind : m_wallFluxIntegralSeries)
		for (std::vector<double> & s : kind)
			s.push_back(0.0);
}


void OutputManager::updateOutputQuantities() {
	if (m_model == nullptr)
		throw ZEB::Exception("No room model to take outputs from.", "[OutputManager::updateOutputQuantities]");
	const CalovindaModel & model = *m_model;
	const Room & room = model.m_room;
	const OVM::SolarRadiationModel & solar = model.m_climate.m_solarRadiationModel;
	const double T0 = ZEB::KELVIN_OFFSET;
	const unsigned int hour = static_cast<unsigned int>(model.m_hourOfYear);

	m_states[0] = model.m_t/86400;
	m_states[1] = model.m_TOut - T0;
	const std::vector<double> & gliding = model.m_climate.m_glidingAverageTemperature;
	m_states[2] = hour < gliding.size() ? gliding[hour] - T0 : std::nan("");
	m_states[3] = solar.m_localMeanTime/86400;
	m_states[4] = solar.m_apparentSolarTime/86400;
	m_states[5] = solar.m_elevation*SUN_ANGLE_DEG;
	m_states[6] = solar.m_azimuth*SUN_ANGLE_DEG;
	m_states[7] = solar.m_declination*SUN_ANGLE_DEG;
	double direct, diffuse, incidence;
	solar.radiationLoad(0, direct, diffuse, incidence);
	m_states[8] = direct + diffuse;
	m_states[9] = diffuse;
	m_states[10] = direct;
	m_states[11] = solar.m_climateDataLoader.m_currentData[OVM::ClimateDataLoader::DirectRadiation];
	m_states[12] = model.m_TRoom - T0;
	m_states[13] = model.m_TMeanRadiant - T0;
	m_states[14] = model.m_TOperative - T0;
	const double occupancy = room.m_userLoads.m_scheduleOccupancy.value(hour, model.m_t);
	m_states[15] = (occupancy != 0 || std::isnan(occupancy)) ? 1 : 0;
	m_states[16] = 0;
	if (room.m_moistureBalanceEnabled) {
		m_states[17] = model.m_RHRoom*100;
		m_states[18] = model.m_rhoVRoom;
		m_states[19] = model.m_pvRoom;
		m_states[20] = model.m_RHOut*100;
		m_states[21] = model.m_rhoVOut;
		m_states[22] = model.m_pvOut;
		m_states[23] = model.m_rhoVRoom/model.m_rhoDryAir;
	}

	m_fluxes[0] = model.m_naturalVentilationHeatLoad;
	m_fluxes[1] = model.m_heatingLoad;
	m_fluxes[2] = model.m_coolingLoad;
	m_fluxes[3] = model.m_mechanicalVentilationHeatLoad;
	m_fluxes[4] = model.m_equipmentLoad;
	m_fluxes[5] = model.m_personLoad;
	m_fluxes[6] = model.m_mechanicalVentilationSupplyFlow;
	m_fluxes[7] = model.m_wallConvectionTotal;
	m_fluxes[8] = model.m_windowTransmissionTotal;
	m_fluxes[9] = model.m_solarGains;
	m_fluxes[10] = model.m_solarGains*room.m_gammaRad;
	m_fluxes[11] = model.m_mechanicalVentilationCoolingPower;
	// per second, so that its integral counts air changes
	m_fluxes[12] = model.m_airChangeRate/3600;
	m_fluxes[13] = model.m_wallVaporTotal;
	m_fluxes[14] = model.m_moistureProduction;
	m_fluxes[15] = model.m_moistureProductionEnthalpy;
	m_fluxes[16] = model.m_coolingMoistureFlow;
	m_fluxes[17] = model.m_coolingMoistureEnthalpyFlow;
	m_fluxes[18] = model.m_dehumidificationPower;
	m_fluxes[19] = model.m_mechanicalVentilationMoistureFlow;
	m_fluxes[20] = model.m_naturalVentilationMoistureFlow;

	for (unsigned int c = 0; c < m_nConstructions; ++c) {
		const ConstructionSolver & solver = model.m_constructionSolvers[c];
		const RoomConstruction & rc = model.m_constructions[c];
		m_wallStates[0][c] = solver.roomSurfaceTemperature() - T0;
		// a construction without a window has no pane to take a temperature of
		m_wallStates[1][c] = rc.m_windowType != nullptr ? model.m_windowSurfaceTemperature[c] - T0
														: std::numeric_limits<double>::quiet_NaN();
		m_wallStates[2][c] = solver.outsideSurfaceTemperature() - T0;
		m_wallStates[3][c] = model.m_incidenceAngle[c];
		m_wallStates[4][c] = model.m_SHGC[c];
		m_wallStates[5][c] = model.m_structuralShadingFileFactor[c];
		m_wallStates[6][c] = model.m_structuralShadingGeometryFactor[c];
		m_wallStates[7][c] = model.m_shadingControlFactor[c];
		if (room.m_moistureBalanceEnabled)
			m_wallStates[8][c] = solver.roomSurfaceRelativeHumidity()*100;

		m_wallFluxes[0][c] = solver.m_innerConvectiveFlux;
		m_wallFluxes[1][c] = solver.m_outerHeatFlux;
		m_wallFluxes[2][c] = model.m_directRadiation[c];
		m_wallFluxes[3][c] = model.m_diffuseRadiation[c];
		m_wallFluxes[4][c] = model.m_globalRadiation[c];
		m_wallFluxes[5][c] = model.m_absorbedRadiation[c];
		m_wallFluxes[6][c] = solver.m_innerRadiantFlux;
		const bool window = rc.m_type == RoomConstruction::Outside && rc.m_windowType != nullptr && rc.m_AF > 0;
		m_wallFluxes[7][c] = window ? model.m_windowSolarGain[c]/rc.m_AF : 0;
		m_wallFluxes[8][c] = window ? (model.m_TOut - model.m_TRoom)*rc.m_windowType->m_U : 0;
	}
}


void OutputManager::integrateOutputs(double t) {
	updateOutputQuantities();
	const double dt = t - m_tStepCompleted;
	for (unsigned int j = 0; j < NUM_FLUXES; ++j) {
		m_lastFluxes[j] = m_fluxes[j];
		m_fluxIntegrals[j] += m_fluxes[j]*dt;
	}
	for (unsigned int k = 0; k < NUM_WALL_FLUXES; ++k) {
		for (unsigned int c = 0; c < m_nConstructions; ++c) {
			m_lastWallFluxes[k][c] = m_wallFluxes[k][c];
			m_wallFluxIntegrals[k][c] += m_wallFluxes[k][c]*dt;
		}
	}
	m_tStepCompleted = t;
}


void OutputManager::appendOutputs() {
	const char * const FUNC_ID = "[OutputManager::appendOutputs]";
	if (m_model == nullptr)
		throw ZEB::Exception("No room model to take outputs from.", FUNC_ID);
	const double t = m_model->m_t;
	const bool cyclic = m_model->m_room.m_cyclicTwoYearSimulation;

	// checked before anything is appended, so that a refused output leaves the series of equal
	// length
	if (m_tStepCompleted != 0 && !(t <= m_tStepCompleted))
		throw ZEB::Exception("m_model->m_t <= m_tStepCompleted", FUNC_ID);
	if (!m_keepSeries) {
		// the integrals still start at the run's first output
		if (m_tStepCompleted == 0)
			m_tStepCompleted = t;
		return;
	}
	updateOutputQuantities();
	if (cyclic && t > ZEB::SECONDS_PER_YEAR)
		m_states[S_TIME] = (t - ZEB::SECONDS_PER_YEAR)/86400;

	for (unsigned int k = 0; k < NUM_STATES; ++k)
		m_stateSeries[k].push_back(m_states[k]);
	for (unsigned int j = 0; j < NUM_FLUXES; ++j)
		m_fluxSeries[j].push_back(m_fluxes[j]);
	m_fluxSeries[F_VENTILATION_RATE].back() *= 3600;
	for (unsigned int k = 0; k < NUM_WALL_STATES; ++k)
		for (unsigned int c = 0; c < m_nConstructions; ++c)
			m_wallStateSeries[k][c].push_back(m_wallStates[k][c]);
	for (unsigned int k = 0; k < NUM_WALL_FLUXES; ++k)
		for (unsigned int c = 0; c < m_nConstructions; ++c)
			m_wallFluxSeries[k][c].push_back(m_wallFluxes[k][c]);

	if (m_tStepCompleted != 0) {
		// the integral of the step holding the output time, taken back to the output time
		const double delta = m_tStepCompleted - t;
		for (unsigned int j = 0; j < NUM_FLUXES; ++j)
			m_fluxIntegralSeries[j].push_back(m_fluxIntegrals[j] - delta*m_lastFluxes[j]);
		for (unsigned int k = 0; k < NUM_WALL_FLUXES; ++k)
			for (unsigned int c = 0; c < m_nConstructions; ++c)
				m_wallFluxIntegralSeries[k][c].push_back(m_wallFluxIntegrals[k][c] - delta*m_lastWallFluxes[k][c]);
	}
	else {
		for (std::vector<double> & s : m_fluxIntegralSeries)
			if (!s.empty())
				s.front() = 0;
		for (std::vector<std::vector<double> > & kind : m_wallFluxIntegralSeries)
			for (std::vector<double> & s : kind)
				if (!s.empty())
					s.front() = 0;
		// a run that starts later than 0 s integrates from its start, not from 0 s
		m_tStepCompleted = t;
	}

	// the end of the first year starts the series of the second year
	if (cyclic && t == ZEB::SECONDS_PER_YEAR) {
		ZEB::ZEB_Message(ZEB::FormatString("Starting second year of calculation.\n"), ZEB::MSG_PROGRESS, FUNC_ID, 1);
		for (std::vector<double> & s : m_stateSeries)
			restartSeries(s);
		for (std::vector<double> & s : m_fluxSeries)
			restartSeries(s);
		for (std::vector<double> & s : m_fluxIntegralSeries)
			restartSeries(s);
		restartSeries(m_wallStateSeries);
		restartSeries(m_wallFluxSeries);
		restartSeries(m_wallFluxIntegralSeries);
		m_stateSeries[S_TIME].front() = 0;
	}
}


void OutputManager::computeBasicResults() {
	m_basicOvertemperatureDegreeHours = 0;
	m_maxOperativeTemperature = -999.0;
	const std::vector<double> & time = m_stateSeries[S_TIME];
	const std::vector<double> & theta = m_stateSeries[S_OPERATIVE_TEMPERATURE];
	if (time.empty() || theta.empty())
		return;
	const std::size_t n = std::min(time.size(), theta.size());
	m_maxOperativeTemperature = theta[0];
	for (std::size_t i = 1; i < n; ++i) {
		const double m = (theta[i - 1] + theta[i])/2 - 26.0;
		if (m > 0)
			m_basicOvertemperatureDegreeHours += m*(time[i] - time[i - 1])*24;
		m_maxOperativeTemperature = std::max(m_maxOperativeTemperature, theta[i]);
	}
}


void OutputManager::computeDIN4108_2Results() {
	const char * const FUNC_ID = "[OutputManager::computeDIN4108_2Results]";
	if (m_model == nullptr)
		throw ZEB::Exception("No room model to take outputs from.", FUNC_ID);
	const DIN4108_2Assessment & din = m_model->m_room.m_din4108_2Assessment;
	m_overtemperatureDegreeHours = 0;
	m_overtemperatureDegreeHours2K = 0;
	m_overtemperatureDegreeHours4K = 0;
	const std::vector<double> & time = m_stateSeries[S_TIME];
	const std::vector<double> & theta = m_stateSeries[S_OPERATIVE_TEMPERATURE];
	std::vector<double> & degreeHours = m_stateSeries[S_OVERTEMPERATURE_HOURS];
	if (time.empty())
		return;
	const std::size_t n = std::min({time.size(), theta.size(), degreeHours.size()});
	if (n > 0)
		degreeHours[0] = 0;

	const double thetaRef = din.referenceRoomTemperature();
	for (std::size_t i = 1; i < n; ++i) {
		// an interval belongs to the usage time when its middle does: hourly intervals then
		// count 7:00-18:00, the 11 hours of a weekday
		if (!din.m_residential && !DIN4108_2Assessment::usageTimeNonResidential(12*(time[i - 1] + time[i])))
			continue;
		const double m = (theta[i - 1] + theta[i])/2;
		const double dh = (time[i] - time[i - 1])*24;
		if (m - thetaRef > 0) {
			degreeHours[i] = (m - thetaRef)*dh;
			m_overtemperatureDegreeHours += degreeHours[i];
		}
		if (m - (thetaRef + 2) > 0)
			m_overtemperatureDegreeHours2K += (m - thetaRef - 2)*dh;
		if (m - (thetaRef + 4) > 0)
			m_overtemperatureDegreeHours4K += (m - thetaRef - 4)*dh;
	}
	m_overtemperatureDegreeHours = floorToTenth(m_overtemperatureDegreeHours);
	m_overtemperatureDegreeHours2K = floorToTenth(m_overtemperatureDegreeHours2K);
	m_overtemperatureDegreeHours4K = floorToTenth(m_overtemperatureDegreeHours4K);

	const int limit = din.overtemperatureHours();
	m_verificationFulfilled = limit >= m_overtemperatureDegreeHours;
	const char * const regions[3] = {"A", "B", "C"};
	const std::string region = din.m_climateRegion >= 0 && din.m_climateRegion < 3 ? regions[din.m_climateRegion] : "?";

	ZEB::ZEB_Message(ZEB::FormatString("DIN 4108-2 Assessment\n"), ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString("---------------------\n"), ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Occupancy hours                      : %1 h\n").arg(din.totalUsingHours()),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Reference operative room temperature : %1 \xC2\xB0""C\n").arg(thetaRef),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Region                               : %1\n\n").arg(region),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString(m_verificationFulfilled ? "*** Verification fullfilled ***\n"
															   : "!!! Verification failed !!!\n"),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Over-temperature hours               : %1 %2 %3 Kh/a\n")
					 .arg(m_overtemperatureDegreeHours).arg(m_verificationFulfilled ? "<" : ">=").arg(limit),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Over-temperature hours (+ 2K op. T.) : %1 Kh/a\n").arg(m_overtemperatureDegreeHours2K),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Over-temperature hours (+ 4K op. T.) : %1 Kh/a\n").arg(m_overtemperatureDegreeHours4K),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);
}


double OutputManager::monthIntegral(unsigned int j, unsigned int m) const {
	Q_ASSERT(j < NUM_FLUXES && m >= 1 && m <= 12);
	const std::vector<double> & time = m_stateSeries[S_TIME];
	const std::vector<double> & integral = m_fluxIntegralSeries[j];
	const std::size_t n = std::min(time.size(), integral.size());
	// output times are days from seconds: allow a rounding error far below a second
	const double tolerance = 1e-9;
	if (n == 0)
		return std::numeric_limits<double>::quiet_NaN();
	// the month of the last year whose month ends within the run; a run that does not hold it
	// whole holds no earlier one either
	const double year = std::floor((time[n - 1] + tolerance - MONTH_BOUNDARIES[m])/DAYS_PER_YEAR);
	const double start = year*DAYS_PER_YEAR + MONTH_BOUNDARIES[m - 1];
	const double end = year*DAYS_PER_YEAR + MONTH_BOUNDARIES[m];
	if (year < 0 || time[0] > start + tolerance)
		return std::numeric_limits<double>::quiet_NaN();
	const auto at = [&](double t) {
		const std::size_t i = static_cast<std::size_t>(
			std::lower_bound(time.begin(), time.begin() + n, t - tolerance) - time.begin());
		if (i == n)
			return integral[n - 1];
		if (i == 0 || time[i] <= t + tolerance)
			return integral[i];
		const double w = (t - time[i - 1])/(time[i] - time[i - 1]);
		return integral[i - 1] + w*(integral[i] - integral[i - 1]);
	};
	return at(end) - at(start);
}


void OutputManager::updateAggregatedOutputs() {
	const char * const FUNC_ID = "[OutputManager::updateAggregatedOutputs]";
	if (m_model == nullptr)
		throw ZEB::Exception("No room model to take outputs from.", FUNC_ID);
	const std::vector<double> & occupancy = m_stateSeries[S_OCCUPANCY];
	unsigned int h = 0;
	for (double entry : occupancy)
		h = static_cast<unsigned int>(h + entry);
	m_occupiedHours = h;
	// a room that is never occupied is judged as if it always were
	const bool alwaysOccupied = h == 0 || h == ZEB::HOURS_PER_YEAR;

	// counted afresh, so that a repeated evaluation gives the same counts
	m_hoursAbove2K = m_hoursAbove3K = m_hoursAbove4K = 0;
	m_occupiedHoursAbove2K = m_occupiedHoursAbove3K = m_occupiedHoursAbove4K = 0;
	const std::vector<double> & gliding = m_stateSeries[S_GLIDING_AVERAGE_TEMPERATURE];
	const std::vector<double> & theta = m_stateSeries[S_OPERATIVE_TEMPERATURE];
	const std::size_t n = std::min({m_stateSeries[S_TIME].size(), gliding.size(), theta.size(), occupancy.size()});
	for (std::size_t i = 1; i < n; ++i) {
		const double thetaGl = gliding[i];
		const double comfort = (thetaGl > 13.0 && thetaGl < 30.0) ? 0.33*thetaGl + 18.8 : 23.0;
		const double d = std::fabs(comfort - theta[i]);
		const bool occupied = alwaysOccupied || occupancy[i] != 0 || std::isnan(occupancy[i]);
		if (d > 2.0) {
			++m_hoursAbove2K;
			if (occupied)
				++m_occupiedHoursAbove2K;
		}
		if (d > 3.0) {
			++m_hoursAbove3K;
			if (occupied)
				++m_occupiedHoursAbove3K;
		}
		if (d > 4.0) {
			++m_hoursAbove4K;
			if (occupied)
				++m_occupiedHoursAbove4K;
		}
	}

	ZEB::ZEB_Message(ZEB::FormatString("Max. room air temperature: %1 C\n").arg(m_maxRoomAirTemperature),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Min. room air temperature: %1 C\n").arg(m_minRoomAirTemperature),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Max. air change rate: %1 1/h\n").arg(m_maxAirChangeRate),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Min. air change rate: %1 1/h\n").arg(m_minAirChangeRate),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);
	ZEB::ZEB_Message(ZEB::FormatString("Note: Min/Max values may be reached between hourly outputs.\n"),
					 ZEB::MSG_PROGRESS, FUNC_ID, 1);

	if (m_model->m_room.m_din4108_2Assessment.m_active)
		computeDIN4108_2Results();
	else
		computeBasicResults();
}


namespace {

/*! "  d\thh:mm:ss\t" of a time t [d], each part rounded up when t lies just below it. */
void appendTimeStamp(std::string & s, double t) {
	const double H = 24*t;
	const long day = static_cast<long>(std::floor(t + 1.1574074074074073e-5));
	const long hour = static_cast<long>(std::floor(H + 0.000277778)) % 24;
	const long minute = static_cast<long>(std::floor(60*H + 0.016666667)) % 60;
	const long second = static_cast<long>(std::floor(3600*H + 0.5)) % 60;
	char buf[64];
	std::snprintf(buf, sizeof(buf), "%3ld\t%02ld:%02ld:%02ld\t", day, hour, minute, second);
	s += buf;
}

/*! A climate-data file of series over time, from index 1 on; each value right-aligned in 10
	characters, and so is the line break. */
std::string climateDataFile(const char * header, const std::vector<double> & time, const std::vector<double> & values) {
	std::string s(header);
	s.reserve(time.size()*40);
	std::string value;
	for (std::size_t i = 1; i < time.size(); ++i) {
		appendTimeStamp(s, time[i]);
		value.clear();
		if (i < values.size())
			appendNumber(value, values[i]);
		else
			value = "NaN";
		if (value.size() < 10)
			s.append(10 - value.size(), ' ');
		s += value;
		s += "         \n";
	}
	return s;
}

} // namespace


void OutputManager::writeOutputFiles(const QString & outputDir) const {
	const char * const FUNC_ID = "[OutputManager::writeOutputFiles]";
	if (outputDir.isEmpty())
		throw ZEB::Exception("!outputDir.isEmpty()", FUNC_ID);
	std::error_code error;
	std::filesystem::create_directories(QFile::encodeName(outputDir).toStdString(), error);
	if (error)
		throw ZEB::Exception(ZEB::FormatString("Cannot create output directory '%1' (%2).")
							 .arg(outputDir.toStdString()).arg(error.message()), FUNC_ID);
	// every file is complete before the first one takes its final name
	ZEB::OutputFolder files(QFile::encodeName(outputDir).toStdString(), RESULT_LIST, FUNC_ID, [](const std::string & name) {
		return std::find(RESULT_FILES.begin(), RESULT_FILES.end(), name) != RESULT_FILES.end();
	});

	const bool moisture = m_model != nullptr && m_model->m_room.m_moistureBalanceEnabled;
	const unsigned int nStates = moisture ? NUM_STATES : S_FIRST_MOISTURE_STATE;
	const unsigned int nFluxes = moisture ? NUM_FLUXES : F_FIRST_MOISTURE_FLUX;
	const unsigned int nWallStates = moisture ? NUM_WALL_STATES : WS_SURFACE_RELATIVE_HUMIDITY;
	const std::vector<double> & time = m_stateSeries[S_TIME];
	const std::size_t n = time.size();
	const std::string timeHeading = m_stateDescriptions[S_TIME].toStdString() + "\t";
	// a number takes at most 13 characters with its tab
	const auto reserveRows = [n](std::string & s, std::size_t columns) { s.reserve((n + 1)*(columns + 1)*13); };

	// states.tsv
	{
		std::string s;
		reserveRows(s, nStates);
		for (unsigned int k = 0; k < nStates; ++k)
			s += m_stateDescriptions[k].toStdString() + "\t";
		s += '\n';
		for (std::size_t i = 0; i < n; ++i) {
			for (unsigned int k = 0; k < nStates; ++k)
				appendEntry(s, m_stateSeries[k], i, 1.0, k == S_TIME ? 10 : 6);
			s += '\n';
		}
		files.add("states.tsv", s);
	}

	files.add("RoomTemperature.ccd",
			  climateDataFile("# Room temperature\n# Type: Temperature\nTEMPER\tC\n\n", time,
							  m_stateSeries[S_ROOM_AIR_TEMPERATURE]));
	if (moisture)
		files.add("RoomRelativeHumidity.ccd",
				  climateDataFile("# Room relative humidity\n# Type: Relative humidity\nRELHUM\t%\n\n", time,
								  m_stateSeries[S_RELATIVE_HUMIDITY]));

	// fluxes.tsv and flux_integrals.tsv
	for (int integrals = 0; integrals < 2; ++integrals) {
		const std::array<std::vector<double>, NUM_FLUXES> & series = integrals ? m_fluxIntegralSeries : m_fluxSeries;
		const double factor = integrals ? 1e-6 : 1.0;
		std::string s;
		reserveRows(s, nFluxes + 1);
		s += timeHeading;
		for (unsigned int j = 0; j < nFluxes; ++j)
			s += integrals ? integralHeading(m_fluxDescriptions[j]) : m_fluxDescriptions[j].toStdString() + "\t";
		s += '\n';
		for (std::size_t i = 0; i < n; ++i) {
			appendEntry(s, time, i, 1.0, 10);
			for (unsigned int j = 0; j < nFluxes; ++j)
				appendEntry(s, series[j], i, factor);
			s += '\n';
		}
		files.add(integrals ? "flux_integrals.tsv" : "fluxes.tsv", s);
	}

	// flux_month_integrals.tsv
	{
		std::string s("Month\t");
		std::vector<bool> power(nFluxes);
		for (unsigned int j = 0; j < nFluxes; ++j) {
			const std::string description = m_fluxDescriptions[j].toStdString();
			const std::string::size_type pos = description.find("[W]");
			power[j] = pos != std::string::npos;
			s += power[j] ? description.substr(0, pos) + "[kWh]\t" : integralHeading(m_fluxDescriptions[j]);
		}
		s += '\n';
		for (unsigned int m = 1; m <= 12; ++m) {
			appendNumber(s, m, 10);
			s += '\t';
			for (unsigned int j = 0; j < nFluxes; ++j) {
				const double integral = monthIntegral(j, m);
				if (std::isnan(integral))
					s += "NaN";
				else
					appendNumber(s, power[j] ? integral/3.6e6 : integral*1e-6);
				s += '\t';
			}
			s += '\n';
		}
		files.add("flux_month_integrals.tsv", s);
	}

	// wall_states.tsv, wall_fluxes.tsv, wall_flux_integrals.tsv
	const auto wallTable = [&](const PerConstructionSeries & series, unsigned int kinds, const QString * descriptions,
							   bool integrals, const char * fileName)
	{
		std::string s;
		reserveRows(s, kinds*m_nConstructions + 1);
		s += timeHeading;
		for (unsigned int k = 0; k < kinds; ++k) {
			const std::string description = integrals ? integralHeading(descriptions[k])
													  : descriptions[k].toStdString() + "\t";
			for (unsigned int c = 0; c < m_nConstructions; ++c)
				s += "Wall " + std::to_string(c) + "." + description;
		}
		s += '\n';
		const double factor = integrals ? 1e-6 : 1.0;
		for (std::size_t i = 0; i < n; ++i) {
			appendEntry(s, time, i, 1.0, 10);
			for (unsigned int k = 0; k < kinds && k < series.size(); ++k)
				for (unsigned int c = 0; c < m_nConstructions && c < series[k].size(); ++c)
					appendEntry(s, series[k][c], i, factor);
			s += '\n';
		}
		files.add(fileName, s);
	};
	wallTable(m_wallStateSeries, nWallStates, m_wallStateDescriptions.data(), false, "wall_states.tsv");
	wallTable(m_wallFluxSeries, NUM_WALL_FLUXES, m_wallFluxDescriptions.data(), false, "wall_fluxes.tsv");
	wallTable(m_wallFluxIntegralSeries, NUM_WALL_FLUXES, m_wallFluxDescriptions.data(), true, "wall_flux_integrals.tsv");
	files.commit();
}


void OutputManager::writeLECOutputs(const QString & fileName) const {
	const char * const FUNC_ID = "[OutputManager::writeLECOutputs]";
	if (m_fluxSeries[0].size() != ZEB::HOURS_PER_YEAR + 1) {
		ZEB::ZEB_Message(ZEB::FormatString("Simulation aborted before computing 8760 hours."), ZEB::MSG_ERROR, FUNC_ID, 1);
		return;
	}
	// the integrals run on through the restart of a cyclic run, whose second year starts from
	// the first year's total; the demand of the year is what was added since the first entry
	const auto demand = [this](unsigned int j) {
		const std::vector<double> & series = m_fluxIntegralSeries[j];
		return series.empty() ? std::nan("") : (series.back() - series.front())/3.6e6;
	};
	std::string s("Heating demand [kWh/a]         = ");
	appendNumber(s, demand(F_HEATING_LOAD));
	s += "\nCooling demand [kWh/a]         = ";
	appendNumber(s, demand(F_COOLING_LOAD));
	s += "\nWindow radiation gains [kWh/a] = ";
	appendNumber(s, demand(F_WINDOW_SOLAR_GAINS));
	s += '\n';
	try {
		pendingFile(fileName, s, FUNC_ID)->commit();
	}
	catch (const ZEB::Exception & ex) {
		ZEB::ZEB_Message(ZEB::FormatString(ex.what()), ZEB::MSG_ERROR, FUNC_ID, 1);
	}
}

} // namespace RX
