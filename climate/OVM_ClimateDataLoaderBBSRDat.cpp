// German test reference years of 2017: a header with the station's Lambert coordinates, free
// text, a caption line and "***", then 8760 lines of 17 blank-separated numbers.

#include "OVM_ClimateDataLoader.h"

#include <fstream>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_Math.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Time.h"

#include "OVM_Constants.h"
#include "OVM_SolarRadiationModel.h"

namespace OVM {

namespace {

const char * const LOCATION = "[ClimateDataLoader::readClimateDataBBSRDat]";

/*! Numbers per data line and the columns read (in the order of the caption line). */
const std::size_t COLUMNS = 17;
const std::size_t COL_TEMPERATURE = 5;		// [C]
const std::size_t COL_PRESSURE = 6;			// [hPa]
const std::size_t COL_WIND_DIRECTION = 7;	// [Deg]
const std::size_t COL_WIND_VELOCITY = 8;	// [m/s]
const std::size_t COL_HUMIDITY = 11;		// [%]
const std::size_t COL_DIRECT = 12;			// on the horizontal [W/m2]
const std::size_t COL_DIFFUSE = 13;			// [W/m2]
const std::size_t COL_COUNTER = 14;			// atmospheric counter radiation [W/m2]

} // namespace


void ClimateDataLoader::readClimateDataBBSRDat(const ZEB::Path & fname, bool headerOnly) {
	std::ifstream in(fname.str());
	if (!in || fname.isDirectory())
		throw ZEB::Exception(ZEB::FormatString("Climate data file '%1' does not exist or is not accessible.").arg(fname),
							 LOCATION);
	try {
		std::string lines[4];
		for (std::string & line : lines)
			if (!std::getline(in, line))
				throw ZEB::Exception("Missing header lines.\n", LOCATION);
		// the keywords of lines 2 to 4 are not checked: the values stand by position
		const double easting = valueFromParaString(lines[1]);
		const double northing = valueFromParaString(lines[2]);
		const double elevation = valueFromParaString(lines[3]);

		m_city = "BBSR";
		m_comment = "Import from BBSR-Data";
		m_country = "Germany";
		m_source = "DWD/BBSR TRY 2017";
		m_timeZone = 1;
		m_elevation = elevation;
		ZEB::transformLambertProjectionToWSG84(easting, northing, m_longitude, m_latitude);

		const char * const CAPTIONS = "     RW      HW MM DD HH     t    p  WR   WG N    x  RF    B    D   A    E IL";
		std::string line;
		do {
			if (!std::getline(in, line))
				throw ZEB::Exception("Error reading last header line with table captions.", LOCATION);
		} while (line.find(CAPTIONS) == std::string::npos);
		if (!std::getline(in, line) || line.find("***") == std::string::npos)
			throw ZEB::Exception("Missing '***' at end of header.", LOCATION);
		if (headerOnly)
			return;

		// read aside and taken over whole, so that a refused file leaves the data as they were
		std::array<std::vector<double>, NumClimateComponents> data;
		for (std::vector<double> & d : data)
			d.reserve(ZEB::HOURS_PER_YEAR);
		std::vector<double> numbers;
		unsigned int count = 0;
		while (std::getline(in, line)) {
			if (line.find_first_not_of(" \t\r") == std::string::npos)
				continue;
			ZEB::trim(line, "\r");
			ZEB::string2valueVector(line, numbers);
			if (numbers.size() != COLUMNS)
				throw ZEB::Exception(ZEB::FormatString("Invalid data line: %1, invalid number of columns (expected 17).")
									 .arg(line), LOCATION);
			// counted beyond the year for the message, but never stored beyond it
			if (++count > ZEB::HOURS_PER_YEAR)
				continue;
			data[Temperature].push_back(numbers[COL_TEMPERATURE]);
			data[RelativeHumidity].push_back(numbers[COL_HUMIDITY]);
			data[DirectRadiation].push_back(numbers[COL_DIRECT]);
			data[DiffuseRadiation].push_back(numbers[COL_DIFFUSE]);
			data[WindDirection].push_back(numbers[COL_WIND_DIRECTION]);
			data[WindVelocity].push_back(numbers[COL_WIND_VELOCITY]);
			data[LongWaveCounterRadiation].push_back(numbers[COL_COUNTER]);
			data[AirPressure].push_back(numbers[COL_PRESSURE]*100);
			data[Rain].push_back(DATA_NOT_VALID);
		}
		if (count != ZEB::HOURS_PER_YEAR)
			throw ZEB::Exception(ZEB::FormatString("Missing data, only got %1 values, expected 8760 hourly values.")
								 .arg(count), LOCATION);

		SolarRadiationModel solarModel;
		placeSolarRadiationModel(solarModel);
		convertDirectHorizontalToNormal(solarModel, std::vector<double>(), data[DirectRadiation]);

		m_data.swap(data);
		m_dataTimePoints.clear();
		updateCheckBits();
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, ZEB::FormatString("Error reading file '%1'.").arg(fname), LOCATION);
	}
}

} // namespace OVM
