#include "RX_StructuralShading.h"

#include <cmath>
#include <string>

#include <QMatrix4x4>
#include <QVector3D>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_CSVReader.h"
#include "ZEB_Constants.h"
#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Time.h"
#include "ZEB_UnitVector.h"

#include "OVM_SolarRadiationModel.h"
#include "OVM_SunPositionModel.h"

#include "RX_ClimateLocationData.h"
#include "RX_KnownNames.h"
#include "RX_RoomConstruction.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

const char * const INIT_LOCATION = "[ShadingControlModel::StructuralShading::init]";
const char * const UPDATE_LOCATION = "[ShadingControlModel::StructuralShading::update]";
const unsigned int MAX_GRID_CELLS = 1000000;

double timeOfYear(double t) {
	const double ty = std::fmod(t, ZEB::SECONDS_PER_YEAR);
	return ty < 0 ? ty + ZEB::SECONDS_PER_YEAR : ty;
}

// direction from the surface towards the sun, x east, y north, z up
ZEBMK::Vector3D sunDirection(const StructuralShading::SunPosition & pos) {
	const double a = pos.first;
	const double e = pos.second;
	ZEBMK::Vector3D s(std::sin(a) * std::cos(e), std::cos(a) * std::cos(e), std::sin(e));
	const double len = std::sqrt(s.dot(s));
	if (len != 0)
		s = s * (1 / len);
	return s;
}

double readNumber(QXmlStreamReader & reader) {
	return readFiniteRealElement(reader, "StructuralShading", "[ShadingControlModel::StructuralShading::readXML]");
}

} // namespace


void StructuralShading::initShadingDevice(const RoomConstruction & construction) {
	if (construction.m_type != RoomConstruction::Outside) {
		m_windowArea = 0;
		m_windowHeight = 0;
	}
	else {
		m_windowArea = construction.m_AF;
		m_orientation = construction.m_orientation;
		m_inclination = construction.m_inclination;
		if (m_windowArea > 0 && m_windowHeight <= 0)
			m_windowHeight = std::floor(std::sqrt(m_windowArea));
	}
	m_climateLocation = nullptr;
	m_geometrySpline.clear();
}


void StructuralShading::updateAll(const ZEB::Path & baseDir, const ClimateLocationData * location,
								  bool workingDirFallback)
{
	m_climateLocation = location;
	m_fileSpline.clear();

	if (!m_shadingFileName.isEmpty()) {
		const std::string name = m_shadingFileName.toStdString();
		const std::size_t question = name.find('?');
		int column = 1;
		if (question != std::string::npos) {
			const std::string columnText = name.substr(question + 1);
			try {
				column = ZEB::string2val<int>(columnText);
			}
			catch (ZEB::Exception &) {
				throw ZEB::Exception(ZEB::FormatString("Expected column index after '?' in shading file name, got '%1'.")
									 .arg(columnText), INIT_LOCATION);
			}
		}
		const ZEB::Path file = referencedFile(ZEB::Path(name.substr(0, question)), baseDir, workingDirFallback);
		if (!file.exists())
			throw ZEB::Exception(ZEB::FormatString("Cannot find shading file '%1'.").arg(file), INIT_LOCATION);

		ZEB::CSVReader reader;
		reader.m_separationCharacter = ZEB::CSVReader::haveTabSeparationChar(file) ? '\t' : ',';
		try {
			reader.read(file, false, true);
		}
		catch (ZEB::Exception & ex) {
			throw ZEB::Exception(ex, ZEB::FormatString("Error reading csv file '%1'.").arg(file), INIT_LOCATION);
		}
		if (column < 1 || (unsigned int)column >= reader.m_nColumns)
			throw ZEB::Exception(ZEB::FormatString("Invalid column index '%1'. CSV-file only has %2 columns and index must be > 0.")
								 .arg(column).arg(reader.m_nColumns), INIT_LOCATION);

		ZEB::UnitVector times;
		try {
			times.m_data = reader.colData(0);
			times.m_unit = ZEB::Unit(reader.m_units.at(0));
			times.convert(ZEB::Unit("s"));
		}
		catch (ZEB::Exception & ex) {
			throw ZEB::Exception(ex, "Error extracting time column from csv-file.", INIT_LOCATION);
		}
		ZEB::UnitVector values;
		try {
			values.m_data = reader.colData((unsigned int)column);
			values.m_unit = ZEB::Unit(reader.m_units.at((unsigned int)column));
			values.convert(ZEB::Unit("---"));
		}
		catch (ZEB::Exception & ex) {
			throw ZEB::Exception(ex, ZEB::FormatString("Error extracting column %1 from csv-file.").arg(column),
								 INIT_LOCATION);
		}
		try {
			m_fileSpline.setValues(times.m_data, values.m_data);
		}
		catch (ZEB::Exception & ex) {
			m_fileSpline.clear();
			throw ZEB::Exception(ex, "Invalid data in csv-file.", INIT_LOCATION);
		}
		// a factor beyond 0..1 would make the window gain more than the sun gives, or take it away
		for (std::size_t i = 0; i < values.m_data.size(); ++i)
			if (!FRACTION.contains(values.m_data[i])) {
				m_fileSpline.clear();
				throw ZEB::Exception(ZEB::FormatString("Invalid shading factor %1 at t = %2 s in column %3 of '%4', "
													   "expected %5.").arg(values.m_data[i])
									 .arg(times.m_data[i], 0, 'G', 12).arg(column).arg(file).arg(FRACTION.m_expected),
									 INIT_LOCATION);
			}
	}
	updateShadingDevice();
}


void StructuralShading::updateShadingDevice() {
	m_geometrySpline.clear();
	if (!hasShadingDevice() || m_windowArea <= 0 || m_climateLocation == nullptr)
		return;

	if (!createSouthWall())
		throw ZEB::Exception("Cannot create base wall.", UPDATE_LOCATION);
	// The width is area / height, so a sliver of a height makes a window kilometres long whose grid
	// would never finish; a million cells already take about a minute to shade over the year.
	const double width = m_windowArea / m_windowHeight;
	const double cells = std::ceil(width / m_gridWidth) * std::ceil(m_windowHeight / m_gridWidth);
	if (m_gridWidth > 0 && !(cells <= MAX_GRID_CELLS))
		throw ZEB::Exception(ZEB::FormatString("Invalid value '%1' in element 'WindowHeight' of StructuralShading, "
											   "expected a height that gives the window of %2 m2 (%3 m wide) a grid "
											   "of at most %4 cells of %5 m.")
							 .arg(xmlDouble(m_windowHeight).toStdString()).arg(xmlDouble(m_windowArea).toStdString())
							 .arg(xmlDouble(width).toStdString()).arg(MAX_GRID_CELLS)
							 .arg(xmlDouble(m_gridWidth).toStdString()), UPDATE_LOCATION);
	m_sunShadingAlgorithm.m_gridWidth = m_gridWidth;
	try {
		m_sunShadingAlgorithm.initializeGrid();
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, "Could not initialize grid for calculation!", UPDATE_LOCATION);
	}

	std::vector<SunPosition> sunPositions;
	createSunNormals(sunPositions);

	const double o = m_orientation * ZEB::DEG2RAD;
	const double inc = m_inclination * ZEB::DEG2RAD;
	const ZEBMK::Vector3D wallNormal(std::sin(o) * std::sin(inc), std::cos(o) * std::sin(inc), std::cos(inc));

	// Hours whose sun directions lie within the tolerance share the shading of their group's
	// first hour (its representative); grazing directions are too sensitive and stay alone.
	const int NO_SUN = -1;
	std::vector<int> groupOf(ZEB::HOURS_PER_YEAR, NO_SUN);
	std::vector<unsigned int> representatives;
	std::vector<ZEBMK::Vector3D> representativeDirections;	// of representatives that take others
	std::vector<unsigned int> representativeHours;
	const double tol = m_sunAngleTolerance;
	for (unsigned int h = 0; h < ZEB::HOURS_PER_YEAR; ++h) {
		const ZEBMK::Vector3D s = sunDirection(sunPositions[h]);
		const double alpha = angleVectors(s, wallNormal);
		if (s.m_z < 0 || alpha > 90)
			continue;
		if (90 - tol < alpha && alpha < 90) {
			groupOf[h] = (int)h;
			representatives.push_back(h);
			continue;
		}
		bool found = false;
		for (std::size_t r = 0; r < representativeHours.size(); ++r)
			if (angleVectors(representativeDirections[r], s) <= tol) {
				groupOf[h] = (int)representativeHours[r];
				found = true;
				break;
			}
		if (!found) {
			groupOf[h] = (int)h;
			representatives.push_back(h);
			representativeHours.push_back(h);
			representativeDirections.push_back(s);
		}
	}

	// the shaded fraction of each representative, in the wall's own frame
	std::vector<double> shadedFraction(ZEB::HOURS_PER_YEAR, 0.0);
	QMatrix4x4 aboutZ;
	aboutZ.rotate(float(m_orientation - 180), 0, 0, 1);
	QMatrix4x4 aboutX;
	aboutX.rotate(float(90 - m_inclination), 1, 0, 0);
	try {
		for (unsigned int r : representatives) {
			const ZEBMK::Vector3D s = sunDirection(sunPositions[r]);
			const QVector3D v = aboutX * (aboutZ * QVector3D(float(s.m_x), float(s.m_y), float(s.m_z)));
			m_sunShadingAlgorithm.calcShading(ZEBMK::Vector3D(v.x(), v.y(), v.z()));
			shadedFraction[r] = m_sunShadingAlgorithm.m_shadingObjects.back().m_result;
		}
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, "Could not finish shading calculation!", UPDATE_LOCATION);
	}
	for (unsigned int h = 0; h < ZEB::HOURS_PER_YEAR; ++h)
		if (groupOf[h] != NO_SUN)
			shadedFraction[h] = shadedFraction[(unsigned int)groupOf[h]];

	std::vector<double> x(ZEB::HOURS_PER_YEAR), y(ZEB::HOURS_PER_YEAR);
	for (unsigned int h = 0; h < ZEB::HOURS_PER_YEAR; ++h) {
		x[h] = h * 3600.0;
		y[h] = 1 - shadedFraction[h];
	}
	try {
		m_geometrySpline.setValues(x, y);
	}
	catch (ZEB::Exception & ex) {
		m_geometrySpline.clear();
		throw ZEB::Exception(ex, "Unable to create shading vector.", UPDATE_LOCATION);
	}
}


bool StructuralShading::createSouthWall() {
	// a repeated set-up replaces the window and obstacles instead of adding a second set
	m_sunShadingAlgorithm.clear();
	if (m_windowArea <= 0 || m_windowHeight <= 0)
		return false;
	const double H = m_windowHeight;
	const double W = m_windowArea / H;

	SunShadingAlgorithm::ShadingObj window;
	window.m_polygon.m_points = {ZEBMK::Vector3D(0, 0, 0), ZEBMK::Vector3D(W, 0, 0),
								 ZEBMK::Vector3D(W, 0, H), ZEBMK::Vector3D(0, 0, H)};
	m_sunShadingAlgorithm.m_shadingObjects.push_back(window);

	if (m_hasOverhang) {
		const double x1 = W / 2 + m_overhangOffset + m_overhangLength / 2;
		const double z = H + m_overhangDistance;
		m_sunShadingAlgorithm.m_obstacles.push_back(Polygon({
			ZEBMK::Vector3D(x1, -m_overhangWidth, z), ZEBMK::Vector3D(x1, 0, z),
			ZEBMK::Vector3D(x1 - m_overhangLength, 0, z), ZEBMK::Vector3D(x1 - m_overhangLength, -m_overhangWidth, z)}));
	}
	if (m_hasSideFinA) {
		const double x = -m_sideFinADistance;
		const double z = H + m_sideFinAOffset;
		m_sunShadingAlgorithm.m_obstacles.push_back(Polygon({
			ZEBMK::Vector3D(x, 0, z), ZEBMK::Vector3D(x, -m_sideFinAWidth, z),
			ZEBMK::Vector3D(x, -m_sideFinAWidth, z - m_sideFinAHeight), ZEBMK::Vector3D(x, 0, z - m_sideFinAHeight)}));
	}
	if (m_hasSideFinB) {
		const double x = W + m_sideFinBDistance;
		const double z = H + m_sideFinBOffset;
		m_sunShadingAlgorithm.m_obstacles.push_back(Polygon({
			ZEBMK::Vector3D(x, 0, z), ZEBMK::Vector3D(x, -m_sideFinBWidth, z),
			ZEBMK::Vector3D(x, -m_sideFinBWidth, z - m_sideFinBHeight), ZEBMK::Vector3D(x, 0, z - m_sideFinBHeight)}));
	}
	return true;
}


void StructuralShading::createSunNormals(std::vector<SunPosition> & sunPositions) const {
	if (m_climateLocation == nullptr)
		throw ZEB::Exception("No climate location to take the sun positions from.",
							 "[ShadingControlModel::StructuralShading::createSunNormals]");
	OVM::SunPositionModel sun;
	sun.m_latitude = m_climateLocation->m_latitude * ZEB::DEG2RAD;
	sun.m_longitude = m_climateLocation->m_longitude * ZEB::DEG2RAD;
	sunPositions.reserve(sunPositions.size() + ZEB::HOURS_PER_YEAR);
	for (unsigned int h = 0; h < ZEB::HOURS_PER_YEAR; ++h) {
		const double meanTime = OVM::SolarRadiationModel::localMeanTimeFromLocalStandardTime(
			h * 3600.0, m_climateLocation->m_timeZone, m_climateLocation->m_longitude);
		sun.setTime(OVM::SolarRadiationModel::apparentSolarTimeFromLocalMeanTime(meanTime));
		sunPositions.push_back(SunPosition(sun.m_azimuth, sun.m_elevation));
	}
}


double StructuralShading::zF(double t) const {
	return fileFactor(t) * geometryFactor(t);
}


double StructuralShading::fileFactor(double t) const {
	return m_fileSpline.m_x.empty() ? 1.0 : m_fileSpline.value(timeOfYear(t));
}


double StructuralShading::geometryFactor(double t) const {
	return m_geometrySpline.m_x.empty() ? 1.0 : m_geometrySpline.value(timeOfYear(t));
}


bool StructuralShading::hasValues() const {
	return !m_fileSpline.m_x.empty() || !m_geometrySpline.m_x.empty();
}


bool StructuralShading::hasShadingDevice() const {
	return m_hasOverhang || m_hasSideFinA || m_hasSideFinB;
}


void StructuralShading::readXML(QXmlStreamReader & reader) {
	Q_ASSERT(reader.isStartElement());
	m_hasOverhang = m_hasSideFinA = m_hasSideFinB = false;
	m_overhangWidth = m_overhangLength = m_overhangOffset = m_overhangDistance = 0;
	m_sideFinAWidth = m_sideFinAHeight = m_sideFinAOffset = m_sideFinADistance = 0;
	m_sideFinBWidth = m_sideFinBHeight = m_sideFinBOffset = m_sideFinBDistance = 0;

	struct DeviceValue {
		const char *	tag;
		double &		value;
		bool &			present;
	};
	const DeviceValue deviceValues[] = {
		{"OverhangWidth", m_overhangWidth, m_hasOverhang},
		{"OverhangLength", m_overhangLength, m_hasOverhang},
		{"OverhangOffset", m_overhangOffset, m_hasOverhang},
		{"OverhangDistance", m_overhangDistance, m_hasOverhang},
		{"SideFinAWidth", m_sideFinAWidth, m_hasSideFinA},
		{"SideFinAHeight", m_sideFinAHeight, m_hasSideFinA},
		{"SideFinAOffset", m_sideFinAOffset, m_hasSideFinA},
		{"SideFinADistance", m_sideFinADistance, m_hasSideFinA},
		{"SideFinBWidth", m_sideFinBWidth, m_hasSideFinB},
		{"SideFinBHeight", m_sideFinBHeight, m_hasSideFinB},
		{"SideFinBOffset", m_sideFinBOffset, m_hasSideFinB},
		{"SideFinBDistance", m_sideFinBDistance, m_hasSideFinB}
	};

	const char * const location = "[ShadingControlModel::StructuralShading::readXML]";
	warnUnknownAttributes(reader, STRUCTURAL_SHADING_NAMES, location);
	while (readKnownChildElement(reader, STRUCTURAL_SHADING_NAMES, location)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("ShadingFileName")) {
			m_shadingFileName = readTextElement(reader);
			continue;
		}
		if (tag == QLatin1String("WindowHeight")) {
			m_windowHeight = readNumber(reader);
			continue;
		}
		bool known = false;
		for (const DeviceValue & dv : deviceValues)
			if (tag == QLatin1String(dv.tag)) {
				dv.value = readNumber(reader);
				dv.present = true;
				known = true;
				break;
			}
		if (!known)
			readUnknownElement(reader, STRUCTURAL_SHADING_NAMES, location);
	}

	// incomplete devices are dropped, and without a window height there is nothing to shade
	if (m_windowHeight <= 0) {
		if (m_hasOverhang || m_hasSideFinA || m_hasSideFinB)
			ZEB::ZEB_Message(ZEB::FormatString("Dropped the overhang and side fins of a StructuralShading without "
											   "a positive WindowHeight."), ZEB::MSG_WARNING, location, 1);
		m_windowHeight = 0;
		m_hasOverhang = m_hasSideFinA = m_hasSideFinB = false;
		m_overhangWidth = m_overhangLength = m_overhangOffset = m_overhangDistance = 0;
		m_sideFinAWidth = m_sideFinAHeight = m_sideFinAOffset = m_sideFinADistance = 0;
		m_sideFinBWidth = m_sideFinBHeight = m_sideFinBOffset = m_sideFinBDistance = 0;
	}
	if (m_hasOverhang && !(m_overhangLength > 0 && m_overhangWidth > 0 && m_overhangDistance >= 0)) {
		m_hasOverhang = false;
		m_overhangWidth = m_overhangLength = m_overhangOffset = m_overhangDistance = 0;
	}
	if (m_hasSideFinA && !(m_sideFinAHeight > 0 && m_sideFinAWidth > 0 && m_sideFinADistance >= 0)) {
		m_hasSideFinA = false;
		m_sideFinAWidth = m_sideFinAHeight = m_sideFinAOffset = m_sideFinADistance = 0;
	}
	if (m_hasSideFinB && !(m_sideFinBHeight > 0 && m_sideFinBWidth > 0 && m_sideFinBDistance >= 0)) {
		m_hasSideFinB = false;
		m_sideFinBWidth = m_sideFinBHeight = m_sideFinBOffset = m_sideFinBDistance = 0;
	}
}


void StructuralShading::writeXML(QXmlStreamWriter & writer) const {
	writer.writeStartElement("StructuralShading");
	if (!m_shadingFileName.isEmpty())
		writer.writeTextElement("ShadingFileName", m_shadingFileName);
	if (m_windowHeight > 0)
		writer.writeTextElement("WindowHeight", xmlDouble(m_windowHeight));
	if (m_hasOverhang) {
		writer.writeTextElement("OverhangWidth", xmlDouble(m_overhangWidth));
		writer.writeTextElement("OverhangLength", xmlDouble(m_overhangLength));
		writer.writeTextElement("OverhangOffset", xmlDouble(m_overhangOffset));
		writer.writeTextElement("OverhangDistance", xmlDouble(m_overhangDistance));
	}
	if (m_hasSideFinA) {
		writer.writeTextElement("SideFinAWidth", xmlDouble(m_sideFinAWidth));
		writer.writeTextElement("SideFinAHeight", xmlDouble(m_sideFinAHeight));
		writer.writeTextElement("SideFinAOffset", xmlDouble(m_sideFinAOffset));
		writer.writeTextElement("SideFinADistance", xmlDouble(m_sideFinADistance));
	}
	if (m_hasSideFinB) {
		writer.writeTextElement("SideFinBWidth", xmlDouble(m_sideFinBWidth));
		writer.writeTextElement("SideFinBHeight", xmlDouble(m_sideFinBHeight));
		writer.writeTextElement("SideFinBOffset", xmlDouble(m_sideFinBOffset));
		writer.writeTextElement("SideFinBDistance", xmlDouble(m_sideFinBDistance));
	}
	writer.writeEndElement();
}

} // namespace RX
