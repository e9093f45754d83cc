#include "RX_CalovindaModel.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include "ZEB_Constants.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Time.h"
#include "ZEB_Unit.h"
#include "ZEB_UnitVector.h"
#include "ZEB_Version.h"

#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"

#include "RX_Constants.h"
#include "RX_ConstructionType.h"
#include "RX_Database.h"
#include "RX_ShadingType.h"
#include "RX_WindowType.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

const char * const READ_LOCATION = "[CalovindaModel::readProject]";
const char * const CLIMATE_LOCATION = "[CalovindaModel::initClimate]";
const char * const INIT_LOCATION = "[CalovindaModel::init]";

/*! Zero-based default for every number of the model. */
void resizeTo(std::vector<double> & v, std::size_t n) {
	v.resize(n, 0.0);
}

} // namespace


CalovindaModel::CalovindaModel() :
	m_nConstructions(0),
	m_totalArea(0),
	m_n(0),
	m_m(0),
	m_t(0),
	m_tRules(0),
	m_hourOfYear(0),
	m_TOut(278.15),
	m_RHOut(0.5),
	m_pvOut(0),
	m_pSatOut(0),
	m_rhoVOut(0),
	m_externalHeatInput(0),
	m_externalVaporInput(0),
	m_externalLiquidInput(0),
	m_TRoom(0),
	m_TOperative(0),
	m_TMeanRadiant(0),
	m_RHRoom(0),
	m_pvRoom(0),
	m_rhoVRoom(0),
	m_rhoDryAir(0),
	m_heatingLoad(0),
	m_coolingLoad(0),
	m_switchesHeld(false),
	m_heldVentilationWatched(false),
	m_heldVentilationThreshold(0),
	m_heldRoomAboveThreshold(false),
	m_heldOutsideBelowRoom(false),
	m_coolingMoistureFlow(0),
	m_coolingMoistureEnthalpyFlow(0),
	m_dehumidificationPower(0),
	m_mechanicalVentilationHeatLoad(0),
	m_mechanicalVentilationMoistureFlow(0),
	m_mechanicalVentilationSupplyFlow(0),
	m_mechanicalVentilationCoolingPower(0),
	m_personLoad(0),
	m_equipmentLoad(0),
	m_occupancy(0),
	m_naturalVentilationHeatLoad(0),
	m_naturalVentilationMoistureFlow(0),
	m_moistureProduction(0),
	m_moistureProductionEnthalpy(0),
	m_airChangeRate(0),
	m_solarGains(0),
	m_windowTransmissionTotal(0),
	m_wallConvectionTotal(0),
	m_wallVaporTotal(0),
	m_wallVaporEnthalpyTotal(0)
{
}


CalovindaModel::~CalovindaModel() = default;


void CalovindaModel::readProject(const QString & projectFile, Database & database) {
	const std::string fileName = projectFile.toStdString();
	QFile file(projectFile);
	if (!file.open(QIODevice::ReadOnly))
		throw ZEB::Exception(ZEB::FormatString("Cannot open project file '%1'.").arg(fileName), READ_LOCATION);
	QXmlStreamReader reader(&file);
	ZEB::ZEB_Message(ZEB::FormatString("Reading project file: %1\n").arg(fileName), ZEB::MSG_PROGRESS, READ_LOCATION, 1);
	try {
		m_room.readXML(reader, database);
		if (reader.hasError())
			throw ZEB::Exception(ZEB::FormatString("Error reading project file: %1\n")
								 .arg(reader.errorString().toStdString()), READ_LOCATION);
		m_room.m_projectFilePath = QFileInfo(projectFile).absoluteFilePath();
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, ZEB::FormatString("Error reading project file: %1\n").arg(fileName), READ_LOCATION);
	}
}


void CalovindaModel::initClimate(const QString & climateDir, const QString & userClimateDir) {
	OVM::SolarRadiationModel & solar = m_climate.m_solarRadiationModel;
	solar.m_usePerezModel = m_room.m_usePerezModel;
	// the reference becomes a path below the climate directories, and must stay there
	if (!Climate::isPlainReference(m_room.m_climateLocation))
		throw ZEB::Exception(ZEB::FormatString("Climate location '%1' in '%2' is not a relative path of names "
							 "separated by '/' (without '..', '\\' or a leading '/').")
							 .arg(m_room.m_climateLocation.toStdString()).arg(m_room.m_projectFilePath.toStdString()),
							 CLIMATE_LOCATION);
	m_climate.parseClimateDataDir(climateDir, userClimateDir);
	if (!m_climate.climateDataFilePaths().contains(m_room.m_climateLocation, Qt::CaseSensitive))
		throw ZEB::Exception(ZEB::FormatString("Missing climate data for location '%1'.")
							 .arg(m_room.m_climateLocation.toStdString()), CLIMATE_LOCATION);
	// the reader's reason (file, line, what is wrong) travels with the failure
	ZEB::Exception failure;
	if (!m_climate.loadClimateData(m_room.m_climateLocation, &failure))
		throw ZEB::Exception(failure, "Climata data initialization failed.", CLIMATE_LOCATION);
	solar.m_latitude = solar.m_climateDataLoader.m_latitude*ZEB::DEG2RAD;
	solar.m_longitude = solar.m_climateDataLoader.m_longitude*ZEB::DEG2RAD;
}


void CalovindaModel::init(const Database & database) {
	// 1. project directory, against which relative paths of the project are resolved
	ZEB::Path projectDir = ZEB::Path(m_room.m_projectFilePath.toStdString()).absolutePath();
	if (projectDir.isAbsolute())
		projectDir = projectDir.parentPath();
	else
		projectDir = ZEB::Path::current();

	// 2.
	const double V = m_room.volume();
	if (!(V > 0))
		throw ZEB::Exception(ZEB::FormatString("Invalid room volume %1 m3 (Area %2 m2 x Height %3 m of Geometry), "
											   "expected a volume above 0.")
							 .arg(xmlDouble(V).toStdString()).arg(xmlDouble(m_room.m_area).toStdString())
							 .arg(xmlDouble(m_room.m_height).toStdString()), INIT_LOCATION);

	// 3.
	OVM::SolarRadiationModel & solar = m_climate.m_solarRadiationModel;
	solar.m_albedo = m_room.m_albedo;
	solar.addSurface(0, 0);

	// 4. radiation that is absent altogether (flag 1) is accepted: the room then sees no sun
	const OVM::ClimateDataLoader & climateData = solar.m_climateDataLoader;
	if (climateData.m_checkBits[OVM::ClimateDataLoader::Temperature] != 0)
		throw ZEB::Exception("Currently selected climate data has (partly) invalid/missing temperature data.", INIT_LOCATION);
	if (climateData.m_checkBits[OVM::ClimateDataLoader::DirectRadiation] > 1)
		throw ZEB::Exception("Currently selected climate data has (partly) invalid/missing direction radiation data.", INIT_LOCATION);
	if (climateData.m_checkBits[OVM::ClimateDataLoader::DiffuseRadiation] > 1)
		throw ZEB::Exception("Currently selected climate data has (partly) invalid/missing diffuse radiation data.", INIT_LOCATION);
	if (m_room.m_moistureBalanceEnabled && climateData.m_checkBits[OVM::ClimateDataLoader::RelativeHumidity] != 0)
		throw ZEB::Exception("Currently selected climate data has (partly) invalid/missing relative humidity data.", INIT_LOCATION);

	// 5. the solvers point into the constructions: drop them first
	m_totalArea = 0;
	m_constructionSolvers.clear();
	m_elementOffsets.clear();
	m_constructions.clear();
	m_structuralShadingIndex.clear();

	// 6. copies of the constructions; wall numbers in messages count every room construction
	std::vector<StructuralShading> & shadings = m_room.m_shadingControlModel.m_structuralShadings;
	const ClimateLocationData * locationData = m_climate.locationData(m_room.m_climateLocation);
	for (unsigned int i = 0; i < m_room.m_constructions.size(); ++i) {
		const RoomConstruction & roomConstruction = m_room.m_constructions[i];
		if (roomConstruction.m_constructionId == 0)
			continue;
		m_constructions.push_back(roomConstruction);
		m_structuralShadingIndex.push_back(i < shadings.size() ? static_cast<int>(i) : -1);
		RoomConstruction & rc = m_constructions.back();
		rc.m_solarSurfaceId = -1;
		if (rc.m_type == RoomConstruction::Outside) {
			rc.m_solarSurfaceId = static_cast<int>(solar.addSurface(rc.m_orientation*ZEB::DEG2RAD,
																	rc.m_inclination*ZEB::DEG2RAD));
			if (rc.m_windowId != 0 && i < shadings.size()) {
				try {
					shadings[i].initShadingDevice(roomConstruction);
					shadings[i].updateAll(projectDir, locationData, !m_filesBesideProjectOnly);
				}
				catch (ZEB::Exception & ex) {
					throw ZEB::Exception(ex, ZEB::FormatString("Error initializing structural shading for construction/wall #%1")
										 .arg(i), INIT_LOCATION);
				}
			}
		}
		else {
			if (rc.m_windowId != 0)
				ZEB::ZEB_Message(ZEB::FormatString("Warning: Window specified for inside/floor construction #%1. "
												   "Window type and area set to zero!").arg(i),
								 ZEB::MSG_WARNING, INIT_LOCATION, 1);
			rc.m_windowId = 0;
			rc.m_AW += rc.m_AF;
			rc.m_AF = 0;
		}
		if (rc.m_AW < 1e-08)
			rc.m_AW = 1e-08;
		if (rc.m_ad < 0)
			throw ZEB::Exception(ZEB::FormatString("Adsorption coefficient of wall #%1 is negative but must be >= 0!")
								 .arg(i), INIT_LOCATION);
		// the readers take any number here, as a construction without type never runs
		for (const auto & [name, R] : {std::pair{"R_ue", rc.m_R_ue}, std::pair{"R_ui", rc.m_R_ui}})
			if (!(R > 0))
				throw ZEB::Exception(ZEB::FormatString("Invalid value '%1' in element '%2' of wall #%3, expected a "
													   "surface resistance above 0 m2K/W.")
									 .arg(xmlDouble(R).toStdString()).arg(name).arg(i), INIT_LOCATION);
	}

	// 7.
	m_nConstructions = static_cast<unsigned int>(m_constructions.size());
	ZEB::ZEB_Message(ZEB::FormatString("%1 constructions defined.\n").arg(m_nConstructions),
					 ZEB::MSG_PROGRESS, INIT_LOCATION, 1);

	// 8. from here on m_constructions keeps its size: the solvers refer to its entries
	const bool moisture = m_room.m_moistureBalanceEnabled;
	m_constructionSolvers.reserve(m_nConstructions);
	m_elementOffsets.reserve(m_nConstructions);
	unsigned int elementCount = 0;
	for (unsigned int j = 0; j < m_nConstructions; ++j) {
		RoomConstruction & rc = m_constructions[j];
		const ConstructionType * ct = database.constructionById(rc.m_constructionId);
		if (ct == nullptr)
			throw ZEB::Exception(ZEB::FormatString("Construction type with Id '%1' not defined.")
								 .arg(rc.m_constructionId), INIT_LOCATION);
		ZEB::ZEB_Message(ZEB::FormatString("Initializing construction #%1.\n").arg(j), ZEB::MSG_PROGRESS, INIT_LOCATION, 1);
		rc.m_constructionType = ct;

		rc.m_shadingType = nullptr;
		if (rc.m_windowId == 0) {
			rc.m_windowType = nullptr;
			if (rc.m_shadingTypeId != 0)
				ZEB::ZEB_Message(ZEB::FormatString("Shading type (Id '%1') defined for construction #%2, but this "
												   "construction has no window. Ignoring shading type.")
								 .arg(rc.m_shadingTypeId).arg(j), ZEB::MSG_WARNING, INIT_LOCATION, -1);
		}
		else {
			rc.m_windowType = database.windowById(rc.m_windowId);
			if (rc.m_windowType == nullptr)
				throw ZEB::Exception(ZEB::FormatString("Window type with Id '%1' not defined.")
									 .arg(rc.m_windowId), INIT_LOCATION);
			// the database keeps items that break its limits; a simulation must not run on them
			if (!rc.m_windowType->isValid())
				throw ZEB::Exception(ZEB::FormatString("Invalid window type '%1' (Id %2) of construction #%3, expected "
													   "f and g from 0 to 1, U above 0 W/m2K and a RelativeSHGC curve "
													   "of none or at least two points from 0 to 100 %, none above the first.")
									 .arg(rc.m_windowType->name().toStdString()).arg(rc.m_windowId).arg(j),
									 INIT_LOCATION);
			if (rc.m_shadingTypeId != 0) {
				rc.m_shadingType = database.shadingTypeById(rc.m_shadingTypeId);
				if (rc.m_shadingType == nullptr)
					throw ZEB::Exception(ZEB::FormatString("Shading type with Id '%1' not defined.")
										 .arg(rc.m_shadingTypeId), INIT_LOCATION);
				if (!rc.m_shadingType->isValid())
					throw ZEB::Exception(ZEB::FormatString("Invalid value '%1' of z in shading type '%2' (Id %3) of "
														   "construction #%4, expected a number from 0 to 1.")
										 .arg(xmlDouble(rc.m_shadingType->m_z).toStdString())
										 .arg(rc.m_shadingType->name().toStdString()).arg(rc.m_shadingTypeId).arg(j),
										 INIT_LOCATION);
			}
		}

		if (rc.m_type == RoomConstruction::FixedTemperature && rc.m_zoneTCCD.isValid())
			readZoneTemperatureSeries(rc, projectDir);
		else
			rc.m_zoneTSpline.clear();

		m_constructionSolvers.emplace_back();
		try {
			m_constructionSolvers.back().init(moisture, rc, database.materials());
		}
		catch (ZEB::Exception & ex) {
			throw ZEB::Exception(ex, ZEB::FormatString("Error initializing construction with Id '%1'.")
								 .arg(rc.m_constructionId), INIT_LOCATION);
		}
		m_elementOffsets.push_back(elementCount);
		elementCount += m_constructionSolvers.back().m_n;
		m_totalArea += rc.m_AW;
	}

	// 9. - 12.
	const unsigned int elements = elementCount + 1;
	ZEB::ZEB_Message(ZEB::FormatString("Setting constructions finished.\n"), ZEB::MSG_PROGRESS, INIT_LOCATION, 1);
	m_m = 1;
	if (moisture) {
		ZEB::ZEB_Message(ZEB::FormatString("Moisture balance enabled.\n"), ZEB::MSG_PROGRESS, INIT_LOCATION, 1);
		m_m = 2;
	}
	m_n = m_m*elements;

	// 13.
	const std::size_t nc = m_nConstructions;
	for (std::vector<double> * v : {&m_heatingRadiantFraction, &m_solarRadiantFraction, &m_windowSolarGain,
									&m_incidenceAngle, &m_SHGC, &m_structuralShadingFileFactor,
									&m_structuralShadingGeometryFactor, &m_shadingControlFactor,
									&m_windowTransmission, &m_radiantLoad, &m_convectiveFlow, &m_vaporFlow,
									&m_vaporEnthalpyFlow, &m_windowSurfaceTemperature, &m_directRadiation,
									&m_diffuseRadiation, &m_globalRadiation, &m_absorbedRadiation})
		resizeTo(*v, nc);
	for (std::size_t i = 0; i < nc; ++i) {
		const double a = m_constructions[i].m_AW/m_totalArea;
		m_heatingRadiantFraction[i] = (1 - m_room.m_gammaHC)*a;
		m_solarRadiantFraction[i] = (1 - m_room.m_gammaRad)*a;
	}

	// 14. - 16.
	m_y.assign(m_n, 0.0);
	m_ydot.assign(m_n, 0.0);
	m_t = 0;
	m_tRules = 0;
	m_hourOfYear = 0;
	m_TRoom = m_room.m_TInitial + ZEB::KELVIN_OFFSET;
	const double CAdd = m_room.m_additionalMassHeatCapacity*m_room.m_additionalMass;
	if (!moisture) {
		m_y[m_n - 1] = (CAdd + V*ZEB::C_AIR*ZEB::RHO_AIR)*m_TRoom;
	}
	else {
		const double rhoV = p_sat(m_TRoom)*m_room.m_RHInitial/(ZEB::R_VAPOR*m_TRoom);
		// the form updateStates() solves for the room air; the same sum through vaporEnthalpy()
		// rounds otherwise in about a quarter of the cases and would move every moist room's start
		m_y[m_n - 2] = CAdd*m_TRoom + V*(m_TRoom*(rhoV*ZEB::C_VAPOR + ZEB::C_AIR*ZEB::RHO_AIR) + ZEB::H_EVAP*rhoV);
		m_y[m_n - 1] = V*rhoV;
		m_rhoVRoom = rhoV;
	}
	for (unsigned int j = 0; j < m_nConstructions; ++j)
		m_constructionSolvers[j].computeIC(m_TRoom, m_room.m_RHInitial, &m_y[m_elementOffsets[j]*m_m]);
	ZEB::ZEB_Message(ZEB::FormatString("Initial conditions calculated.\n"), ZEB::MSG_PROGRESS, INIT_LOCATION, 1);

	// 18.
	m_externalHeatInput = 0;
	m_externalVaporInput = 0;
	m_externalLiquidInput = 0;
	initSwitches();
}


void CalovindaModel::readZoneTemperatureSeries(RoomConstruction & rc, const ZEB::Path & projectDir) {
	const ZEB::Path & projectPath = rc.m_zoneTCCD;
	try {
		// beside the project first: a file of that name where the run happens to start is no
		// concern of the project's
		const ZEB::Path file = referencedFile(projectPath, projectDir, !m_filesBesideProjectOnly);
		if (!file.exists())
			throw ZEB::Exception(ZEB::FormatString("Zone temperature file '%1' of element 'zoneTCCD' does not exist.")
								 .arg(projectPath), INIT_LOCATION);
		std::vector<double> timePoints;
		ZEB::UnitVector values;
		std::string comment;
		std::string description;
		std::string faultyLine;
		OVM::ClimateDataLoader::ReadFunctionReturnValues result;
		const std::string extension = file.extension();
		if (ZEB::string_nocase_compare(extension, "ccd"))
			result = OVM::ClimateDataLoader::readCCDFile(file, timePoints, values.m_data, comment, description,
														 values.m_unit, faultyLine);
		else if (ZEB::string_nocase_compare(extension, "tsv"))
			result = OVM::ClimateDataLoader::readCSVFile(file, timePoints, values.m_data, description,
														 values.m_unit, faultyLine);
		else
			throw ZEB::Exception(ZEB::FormatString("Invalid zone temperature file '%1' of element 'zoneTCCD', expected "
												   "a file ending in '.ccd' or '.tsv'.").arg(projectPath), INIT_LOCATION);
		if (result != OVM::ClimateDataLoader::RF_OK)
			throw ZEB::Exception(OVM::ClimateDataLoader::composeErrorText(result, file, faultyLine), INIT_LOCATION);

		if (comment.empty())
			ZEB::ZEB_Message(ZEB::FormatString("Read climate data from file '%1'\n").arg(projectPath),
							 ZEB::MSG_PROGRESS, INIT_LOCATION, 1);
		else
			ZEB::ZEB_Message(ZEB::FormatString("Read climate data from file '%1'\n-----\n%2-----\n")
							 .arg(projectPath).arg(comment), ZEB::MSG_PROGRESS, INIT_LOCATION, 1);

		OVM::ClimateDataLoader::checkForValidCyclicData(timePoints);
		values.convert(ZEB::Unit("K"));
		// the neighbouring zone is a room too: a series no room can follow would run to garbage
		for (std::size_t i = 0; i < values.m_data.size(); ++i)
			if (!CELSIUS.contains(values.m_data[i] - ZEB::KELVIN_OFFSET))
				throw ZEB::Exception(ZEB::FormatString("Invalid temperature %1 C at t = %2 s, expected %3.")
									 .arg(values.m_data[i] - ZEB::KELVIN_OFFSET).arg(timePoints[i], 0, 'G', 12)
									 .arg(CELSIUS.expected(values.m_data[i] - ZEB::KELVIN_OFFSET)), INIT_LOCATION);

		ZEB::LinearSpline & spline = rc.m_zoneTSpline;
		spline.setValues(timePoints, values.m_data);
		if (!spline.m_valid) {
			std::string errmsg;
			spline.makeSpline(errmsg);
			throw ZEB::Exception(errmsg, INIT_LOCATION);
		}
		// close the year so that the series is cyclic without extrapolation
		const double T0 = OVM::ClimateDataLoader::interpolateCyclicData(spline, 0);
		if (timePoints.front() != 0) {
			timePoints.insert(timePoints.begin(), 0.0);
			values.m_data.insert(values.m_data.begin(), T0);
		}
		if (timePoints.back() != ZEB::SECONDS_PER_YEAR) {
			timePoints.push_back(ZEB::SECONDS_PER_YEAR);
			values.m_data.push_back(T0);
		}
		spline.setValues(timePoints, values.m_data);
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, ZEB::FormatString("Error reading temperature spline from CCD file '%1' and for "
												   "construction with ID %2.").arg(projectPath).arg(rc.m_constructionId),
							 INIT_LOCATION);
	}
}


void CalovindaModel::updateClimate() {
	m_climate.update(m_t, false);
	const OVM::ClimateDataLoader & climateData = m_climate.m_solarRadiationModel.m_climateDataLoader;
	m_TOut = climateData.m_currentData[OVM::ClimateDataLoader::Temperature] + ZEB::KELVIN_OFFSET;
	m_RHOut = climateData.m_currentData[OVM::ClimateDataLoader::RelativeHumidity]/100;
	if (m_room.m_moistureBalanceEnabled) {
		m_pSatOut = p_sat(m_TOut);
		m_pvOut = m_pSatOut*m_RHOut;
		m_rhoVOut = m_pvOut/(ZEB::R_VAPOR*m_TOut);
	}
	else {
		m_pSatOut = 0;
		m_pvOut = 0;
		m_rhoVOut = 0;
	}
	for (RoomConstruction & rc : m_constructions) {
		if (rc.m_type != RoomConstruction::FixedTemperature || rc.m_zoneTSpline.m_x.empty())
			continue;
		double t = m_t;
		while (t > ZEB::SECONDS_PER_YEAR)
			t -= ZEB::SECONDS_PER_YEAR;
		rc.m_zoneT = rc.m_zoneTSpline.value(t);
	}
}


double CalovindaModel::airTemperature(const double * y, double & capacity) const {
	const double V = m_room.volume();
	const double CAdd = m_room.m_additionalMassHeatCapacity*m_room.m_additionalMass;
	if (m_room.m_moistureBalanceEnabled) {
		const double rhoV = std::max(0.0, y[m_n - 1]/V);
		capacity = CAdd + (ZEB::RHO_AIR*ZEB::C_AIR + ZEB::C_VAPOR*rhoV)*V;
		return (y[m_n - 2] - ZEB::H_EVAP*rhoV*V)/capacity;
	}
	capacity = ZEB::RHO_AIR*ZEB::C_AIR*V + CAdd;
	return y[m_n - 1]/capacity;
}


void CalovindaModel::updateStates(bool reuseWalls) {
	double capacity = 0;
	m_TRoom = airTemperature(m_y.data(), capacity);
	if (m_room.m_moistureBalanceEnabled) {
		const double rhoV = std::max(0.0, m_y[m_n - 1]/m_room.volume());
		m_rhoVRoom = rhoV;
		m_pvRoom = m_TRoom*rhoV*ZEB::R_VAPOR;
		m_RHRoom = m_pvRoom/p_sat(m_TRoom);
		m_rhoDryAir = ZEB::GASPRESS_REF/(m_TRoom*ZEB::R_AIR) - ZEB::R_VAPOR*rhoV/ZEB::R_AIR;
	}
	else {
		m_rhoDryAir = 0;
		m_RHRoom = 0;
		m_pvRoom = 0;
	}
	for (unsigned int j = 0; j < m_nConstructions; ++j)
		m_constructionSolvers[j].decompose(&m_y[m_elementOffsets[j]*m_m], reuseWalls);
}


void CalovindaModel::updateLoads() {
	const double dTOut = m_TOut - m_TRoom;
	const bool moisture = m_room.m_moistureBalanceEnabled;
	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	const bool dinActive = din.m_active;
	const unsigned int hour = static_cast<unsigned int>(m_hourOfYear);
	// schedules and time rules
	const double t = m_tRules;
	const double V = m_room.volume();

	// 1. - 3. inner loads, heating, cooling
	m_coolingMoistureFlow = 0;
	m_coolingMoistureEnthalpyFlow = 0;
	m_dehumidificationPower = 0;
	if (dinActive) {
		m_personLoad = 0;
		m_equipmentLoad = din.innerLoads(t/3600)*m_room.m_area;
		m_heatingLoad = din.heatingLoad(m_TRoom);
		m_coolingLoad = din.m_passiveCooling ? din.coolingLoad(m_TRoom) : 0.0;
	}
	else {
		m_room.m_userLoads.computeLoads(hour, t, m_room.m_area, m_occupancy, m_personLoad, m_equipmentLoad);
		m_room.m_heatingModel.computeLoads(hour, t, m_TRoom, m_heatingLoad);
		m_room.m_coolingModel.computeLoads(moisture, hour, t, m_TRoom, m_rhoVRoom, m_coolingLoad, m_coolingMoistureFlow,
										   m_coolingMoistureEnthalpyFlow, m_dehumidificationPower,
										   m_switchesHeld ? &m_heldPieces.m_dehumidification : nullptr);
	}
	if (m_switchesHeld) {
		m_heatingLoad = heatingBand().load(m_heldPieces.m_heating, m_TRoom);
		m_coolingLoad = coolingBand().load(m_heldPieces.m_cooling, m_TRoom);
	}

	// 4. - 5. ventilation and moisture production
	m_mechanicalVentilationHeatLoad = 0;
	m_mechanicalVentilationMoistureFlow = 0;
	m_mechanicalVentilationSupplyFlow = 0;
	m_mechanicalVentilationCoolingPower = 0;
	m_moistureProduction = 0;
	m_moistureProductionEnthalpy = 0;
	if (!dinActive) {
		m_room.m_mechanicalVentilationModel.computeLoads(moisture, hour, t, m_TRoom, m_TOut, m_rhoVRoom, m_rhoVOut, V,
														 m_mechanicalVentilationMoistureFlow,
														 m_mechanicalVentilationSupplyFlow,
														 m_mechanicalVentilationHeatLoad,
														 m_mechanicalVentilationCoolingPower,
														 m_switchesHeld ? &m_heldPieces.m_bypassStage : nullptr);
		if (m_switchesHeld && m_room.m_mechanicalVentilationModel.m_modelType == MechanicalVentilationModel::MECHANICAL_VENTILATION_COOLING)
			m_room.m_mechanicalVentilationModel.coolingFlows(-ventilationCoolingBand().load(m_heldPieces.m_ventilationCooling, m_TRoom),
															 m_TRoom, m_TOut, m_mechanicalVentilationSupplyFlow,
															 m_mechanicalVentilationHeatLoad, m_mechanicalVentilationCoolingPower);
		m_room.m_naturalVentilationModel.computeLoads(moisture, hour, t, m_TRoom, m_TOut, m_rhoVRoom, m_rhoVOut, V,
													  m_naturalVentilationMoistureFlow, m_naturalVentilationHeatLoad,
													  m_switchesHeld ? &m_heldPieces.m_naturalVentilationRise : nullptr);
		// the air change reported: a held step continued below its base end may hold less than none
		m_airChangeRate = std::max(0.0, m_room.m_naturalVentilationModel.m_airChangeRate);
		if (moisture) {
			m_room.m_moistureLoads.computeLoads(hour, t, m_moistureProduction);
			m_moistureProductionEnthalpy = vaporEnthalpy(m_TRoom)*m_moistureProduction;
		}
	}
	else {
		// airChange() stands in for the assessment's rate until its first update
		const double nDIN = din.airChange(t/3600, &m_room);
		// with the moisture balance its air change exchanges moist air, as the natural ventilation's does
		if (moisture) {
			NaturalVentilationModel::moistAirExchange(nDIN*V, m_TRoom, m_TOut, m_rhoVRoom, m_rhoVOut,
													  m_naturalVentilationMoistureFlow, m_naturalVentilationHeatLoad);
		}
		else {
			m_naturalVentilationMoistureFlow = 0;
			m_naturalVentilationHeatLoad = V*dTOut*nDIN*ZEB::C_AIR*ZEB::RHO_AIR;
		}
		m_airChangeRate = 3600*nDIN;
	}

	// 6. window solar gains
	const OVM::SolarRadiationModel & solar = m_climate.m_solarRadiationModel;
	const std::vector<StructuralShading> & shadings = m_room.m_shadingControlModel.m_structuralShadings;
	m_solarGains = 0;
	for (unsigned int i = 0; i < m_nConstructions; ++i) {
		const RoomConstruction & rc = m_constructions[i];
		if (rc.m_type != RoomConstruction::Outside) {
			m_directRadiation[i] = 0;
			m_diffuseRadiation[i] = 0;
			m_globalRadiation[i] = 0;
			m_absorbedRadiation[i] = 0;
			m_windowSolarGain[i] = 0;
			m_incidenceAngle[i] = -180;
			m_SHGC[i] = -1;
			m_structuralShadingFileFactor[i] = -1;
			m_structuralShadingGeometryFactor[i] = -1;
			m_shadingControlFactor[i] = -1;
			continue;
		}
		double qDir;
		double qDiff;
		double angle;
		solar.radiationLoad(static_cast<unsigned int>(rc.m_solarSurfaceId), qDir, qDiff, angle);
		m_incidenceAngle[i] = angle/ZEB::DEG2RAD;
		// the construction's own structural shading, not the one at its position among the kept ones
		const int s = m_structuralShadingIndex[i];
		m_structuralShadingFileFactor[i] = s >= 0 ? shadings[s].fileFactor(m_t) : 1.0;
		m_structuralShadingGeometryFactor[i] = s >= 0 ? shadings[s].geometryFactor(m_t) : 1.0;
		double F = 1.0;
		m_shadingControlFactor[i] = F;

		const double q = qDir + qDiff;
		if (q < 1e-20) {
			m_directRadiation[i] = 0;
			m_diffuseRadiation[i] = 0;
			m_globalRadiation[i] = 0;
			m_absorbedRadiation[i] = 0;
			m_windowSolarGain[i] = 0;
			m_SHGC[i] = 0;
			continue;
		}
		m_directRadiation[i] = qDir;
		m_diffuseRadiation[i] = qDiff;
		m_globalRadiation[i] = q;
		m_absorbedRadiation[i] = rc.m_ad*q;

		const WindowType * window = rc.m_windowType;
		if (window == nullptr) {
			m_windowSolarGain[i] = 0;
			m_SHGC[i] = -1;
			continue;
		}
		if (rc.m_shadingType != nullptr) {
			if (m_switchesHeld && std::isfinite(m_windowRadiationLimit[i]))
				F = m_heldWindowShaded[i] ? rc.m_shadingType->m_z : 1.0;
			else if (dinActive && din.m_shadingControlType != 3)
				F = din.unshadedWindowPercentage(rc.m_shadingType, t/3600, q, rc.m_orientation, rc.m_inclination);
			else
				F = m_room.m_shadingControlModel.unshadedWindowPercentage(rc.m_shadingType, hour, t, q,
																		  rc.m_orientation, rc.m_inclination);
			m_shadingControlFactor[i] = F;
		}
		if (s >= 0)
			F *= m_structuralShadingFileFactor[i]*m_structuralShadingGeometryFactor[i];
		const double g = window->m_g;
		const double gEff = window->m_relativeSHGC.m_valid ? g*window->m_relativeSHGC.value(m_incidenceAngle[i]) : g;
		m_SHGC[i] = gEff;
		m_windowSolarGain[i] = F*rc.m_AF*window->m_f*(gEff*qDir + g*qDiff);
		m_solarGains += m_windowSolarGain[i];
	}

	// 7. - 9. surface flows, radiant loads, mean radiant temperature
	m_windowTransmissionTotal = 0;
	m_wallConvectionTotal = 0;
	m_wallVaporTotal = 0;
	m_wallVaporEnthalpyTotal = 0;
	double weightedT = 0;
	double weights = 0;
	for (unsigned int i = 0; i < m_nConstructions; ++i) {
		const RoomConstruction & rc = m_constructions[i];
		const ConstructionSolver & solver = m_constructionSolvers[i];
		const double Ts = solver.roomSurfaceTemperature();
		const WindowType * window = rc.m_windowType;
		if (window != nullptr && rc.m_type != RoomConstruction::Outside)
			throw ZEB::Exception("Cannot have window in inside construction!", "[CalovindaModel::updateLoads]");
		if (window != nullptr) {
			m_windowTransmission[i] = rc.m_AF*window->m_U*dTOut;
			m_windowTransmissionTotal += m_windowTransmission[i];
			// the pane's inner surface: the room air less the drop across the inside resistance
			m_windowSurfaceTemperature[i] = m_TRoom + rc.m_R_ui*window->m_U*dTOut;
			weightedT += rc.m_AF*m_windowSurfaceTemperature[i];
			weights += rc.m_AF;
		}
		else {
			m_windowTransmission[i] = 0;
			m_windowSurfaceTemperature[i] = 0;
		}
		m_convectiveFlow[i] = (m_TRoom - Ts)/rc.m_R_ui*rc.m_AW;
		m_wallConvectionTotal -= m_convectiveFlow[i];
		if (moisture) {
			const double g = (m_pvRoom - solver.roomSurfaceVaporPressure())*rc.m_beta_i;
			// the vapour carries the enthalpy of the side it leaves
			const double Th = g > 0 ? m_TRoom : Ts;
			m_vaporFlow[i] = rc.m_AW*g;
			m_vaporEnthalpyFlow[i] = rc.m_AW*g*vaporEnthalpy(Th);
			m_wallVaporTotal -= m_vaporFlow[i];
			m_wallVaporEnthalpyTotal -= m_vaporEnthalpyFlow[i];
		}
		m_radiantLoad[i] = m_solarGains*m_solarRadiantFraction[i] + m_heatingLoad*m_heatingRadiantFraction[i];
		weightedT += rc.m_AW*Ts;
		weights += rc.m_AW;
	}
	// a room without surfaces radiates at its air temperature
	m_TMeanRadiant = weights > 0 ? weightedT/weights : m_TRoom;
	m_TOperative = (m_TMeanRadiant + m_TRoom)/2;
}


void CalovindaModel::setRuleTime(double t) {
	m_tRules = t;
	// the division may round a time just below the year's end up to the hour after the year's last
	m_hourOfYear = std::min(std::floor(std::fmod(t, ZEB::SECONDS_PER_YEAR)/3600), ZEB::HOURS_PER_YEAR - 1.0);
}


void CalovindaModel::updateDerivatives(bool reuseWalls) {
	const bool moisture = m_room.m_moistureBalanceEnabled;
	double dE = m_room.m_gammaHC*m_heatingLoad + m_coolingLoad + m_mechanicalVentilationHeatLoad
			+ m_room.m_gammaRad*m_solarGains + m_equipmentLoad + m_personLoad + m_naturalVentilationHeatLoad
			+ m_windowTransmissionTotal + m_wallConvectionTotal + m_externalHeatInput;
	if (moisture) {
		// external vapour enters at room temperature, as the moisture loads do; its liquid part
		// evaporates in the room and takes the latent heat from the air
		dE += m_coolingMoistureEnthalpyFlow + m_moistureProductionEnthalpy + m_wallVaporEnthalpyTotal
			+ m_externalVaporInput*vaporEnthalpy(m_TRoom) - m_externalLiquidInput*latentHeat(m_TRoom);
		m_ydot[m_n - 2] = dE;
		m_ydot[m_n - 1] = m_naturalVentilationMoistureFlow + m_mechanicalVentilationMoistureFlow + m_coolingMoistureFlow
				+ m_moistureProduction + m_wallVaporTotal + m_externalVaporInput;
	}
	else {
		m_ydot[m_n - 1] = dE;
	}
	for (unsigned int i = 0; i < m_nConstructions; ++i) {
		const double AW = m_constructions[i].m_AW;
		m_constructionSolvers[i].computeDivergences(m_convectiveFlow[i]/AW, m_radiantLoad[i]/AW, m_vaporFlow[i]/AW,
													m_vaporEnthalpyFlow[i]/AW, m_absorbedRadiation[i], m_TOut,
													m_TRoom, m_pvOut, m_pvRoom, &m_ydot[m_elementOffsets[i]*m_m],
													reuseWalls);
	}
}


ControllerBand CalovindaModel::heatingBand() const {
	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	ControllerBand band = din.m_active ? din.heatingBand()
							: m_room.m_heatingModel.band(static_cast<unsigned int>(m_hourOfYear), m_tRules);
	band.m_offEndOutput = m_offEndOutput;
	return band;
}


ControllerBand CalovindaModel::coolingBand() const {
	return coolingBand(m_dehumidificationPower);
}


ControllerBand CalovindaModel::coolingBand(double dehumidificationPower) const {
	const DIN4108_2Assessment & din = m_room.m_din4108_2Assessment;
	ControllerBand band = din.m_active ? din.coolingBand()
							: m_room.m_coolingModel.band(static_cast<unsigned int>(m_hourOfYear), m_tRules,
														 dehumidificationPower);
	band.m_offEndOutput = m_offEndOutput;
	// the full output below none gives back as much as the dehumidification's continuation takes
	if (!din.m_active && m_room.m_moistureBalanceEnabled && m_room.m_coolingModel.m_modelType == CoolingModel::SIMPLE) {
		const ControllerBand dehumidification = dehumidificationBand();
		band.m_takenReach = dehumidification.continuationReach()*dehumidification.m_slope;
	}
	return band;
}


ControllerBand CalovindaModel::dehumidificationBand() const {
	ControllerBand band = m_room.m_coolingModel.dehumidificationBand(static_cast<unsigned int>(m_hourOfYear), m_tRules,
																	   m_TRoom);
	band.m_offEndOutput = m_offEndDehumidificationOutput;
	return band;
}


ControllerBand CalovindaModel::ventilationCoolingBand() const {
	if (m_room.m_din4108_2Assessment.m_active)
		return ControllerBand();
	ControllerBand band = m_room.m_mechanicalVentilationModel.coolingBand(static_cast<unsigned int>(m_hourOfYear),
																		   m_tRules);
	// its proportional piece's ends take the point of rest that follows a set point moving in
	// time, as the cooler's do (markOffEnds()): on a set point rising from 24 to 25 C in a minute
	// the supply's piece, continued past its off end, heated the room up the ramp, 0.47 K above
	// co-simulation
	if (band.m_setPointRate != 0)
		band.m_followingRestShift = followingRestShift(band, ventilationCoolingAirShare());
	return band;
}


void CalovindaModel::printVersionStrings() {
	const char * const location = "[CalovindaModel::printVersionStrings]";
	ZEB::Version::printCompilerVersion();
	const auto line = [location](const char * label, const char * version) {
		ZEB::ZEB_Message(ZEB::FormatString("%1%2\n").arg(std::string(label), 49, std::ios_base::left)
						 .arg(std::string(version)), ZEB::MSG_PROGRESS, location, 1);
	};
	ZEB::ZEB_Message(ZEB::FormatString("\n"), ZEB::MSG_PROGRESS, location, 1);
	line("CALOVINDA physical model and solver version", LONG_VERSION);
	line("ZEB library version", ZEB::VERSION);
	line("OVM library version", OVM::LONG_VERSION);
}

} // namespace RX
