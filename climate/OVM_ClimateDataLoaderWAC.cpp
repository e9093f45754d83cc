// WAC climate files: "WAC" in line 1, the number N of header lines in line 2, location and
// table size in lines 3 to 11, column captions in line N + 2, then tab-separated data lines.

#include "OVM_ClimateDataLoader.h"

#include <algorithm>
#include <fstream>
#include <locale>
#include <sstream>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Time.h"
#include "ZEB_Tokenizer.h"

#include "OVM_Constants.h"
#include "OVM_SolarRadiationModel.h"

namespace OVM {

namespace {

const char * const LOCATION = "[ClimateDataLoader::readClimateDataWAC]";

/*! Header lines 3 to 11 that every file has; the line count of line 2 may add more. */
const unsigned int MIN_HEADER_LINES = 9;
/*! At most this many values are reserved ahead: a count far beyond any real file must not
	claim memory before its lines are there. */
const unsigned int MAX_RESERVE = 10*ZEB::HOURS_PER_YEAR;

/*! Column of each caption; -1 where the file has none. */
struct Columns {
	int m_component[ClimateDataLoader::NumClimateComponents];
	int m_directHorizontal = -1;	// "ISDH"
	int m_global = -1;				// "ISGH"
	int m_time = -1;				// "TIME"

	Columns() { std::fill(m_component, m_component + ClimateDataLoader::NumClimateComponents, -1); }
};

/*! The number in the first tab-separated field of a header line. */
template <typename T>
T headerValue(const std::vector<std::string> & headerLines, unsigned int lineNumber) {
	std::vector<std::string> fields;
	ZEB::explode(headerLines[lineNumber - 3], fields, "\t", ZEB::EXPLODE_TRIM_TOKENS);
	if (fields.empty() || fields[0].empty())
		throw ZEB::Exception(ZEB::FormatString("Missing value in header line #%1.").arg(lineNumber), LOCATION);
	return ZEB::string2val<T>(fields[0]);
}

double fieldValue(const std::string & field) {
	return ZEB::string2val<double>(ZEB::trim_copy(field, " \t\r"));
}

/*! A value read from a column scaled into the loader's unit; a missing value stays missing. */
double scaled(double v, double factor) {
	return ClimateDataLoader::isMissingValue(v) ? v : v*factor;
}

} // namespace


void ClimateDataLoader::readClimateDataWAC(const ZEB::Path & fname, bool headerOnly) {
	std::ifstream in(fname.str());
	if (!in || fname.isDirectory())
		throw ZEB::Exception(ZEB::FormatString("Climate data file '%1' does not exist or is not accessible.").arg(fname),
							 LOCATION);
	try {
		std::string line;
		if (!std::getline(in, line))
			throw ZEB::Exception("Error reading line 1.", LOCATION);
		if (line.find("WAC") == std::string::npos)
			throw ZEB::Exception("Invalid file format, expected WAC in line 1.", LOCATION);
		unsigned int headerCount = 0;
		{
			std::istringstream strm;
			if (std::getline(in, line))
				strm.str(line);
			strm.imbue(std::locale::classic());
			// a sign would wrap around in the unsigned extraction
			if (!in || (strm >> std::ws).peek() == '-' || !(strm >> headerCount))
				throw ZEB::Exception("Error reading number of header lines from line 2.", LOCATION);
		}
		if (headerCount < 2)
			throw ZEB::Exception("Missing header lines, expected at least 9 lines.", LOCATION);
		std::vector<std::string> headerLines;
		// counted wider than the count, whose largest value would wrap around in headerCount + 1
		for (unsigned long lineNumber = 3; lineNumber <= headerCount + 1UL; ++lineNumber) {
			if (!std::getline(in, line))
				throw ZEB::Exception(ZEB::FormatString("Expected header lines (offset) %1, but got an error reading line #%2.")
									 .arg(headerCount).arg(lineNumber), LOCATION);
			headerLines.push_back(line);
		}
		if (headerLines.size() < MIN_HEADER_LINES)
			throw ZEB::Exception("Missing header lines, expected at least 9 lines.", LOCATION);

		m_city = ZEB::trim_copy(headerLines[0], " \t\r");
		m_comment = headerLines[1];
		m_longitude = headerValue<double>(headerLines, 5);
		m_latitude = headerValue<double>(headerLines, 6);
		m_elevation = headerValue<double>(headerLines, 7);
		const double timeZone = headerValue<double>(headerLines, 8);
		if (!isTimeZone(timeZone))
			throw ZEB::Exception(ZEB::FormatString("Invalid time zone %1 in header line #8, %2.").arg(timeZone)
								 .arg(TIME_ZONE_EXPECTED), LOCATION);
		m_timeZone = timeZone;
		if (m_timeZone > 12)
			m_timeZone -= 24;
		const double timeStep = headerValue<double>(headerLines, 9);		// [h]
		const unsigned int lineCount = headerValue<unsigned int>(headerLines, 10);
		const unsigned int columnCount = headerValue<unsigned int>(headerLines, 11);
		const bool annual = timeStep == 1.0 && lineCount == ZEB::HOURS_PER_YEAR;

		if (!std::getline(in, line))
			throw ZEB::Exception("Error reading last header line with table captions.", LOCATION);
		std::vector<std::string> captions;
		ZEB::explode(line, captions, "\t", ZEB::EXPLODE_TRIM_TOKENS);
		Columns columns;
		for (std::size_t i = 0; i < captions.size(); ++i) {
			const std::string & c = captions[i];
			const int col = static_cast<int>(i);
			if (c == "TA")				columns.m_component[Temperature] = col;
			else if (c == "HREL")		columns.m_component[RelativeHumidity] = col;
			else if (c == "ISDH")		columns.m_directHorizontal = col;
			else if (c == "ISGH")		columns.m_global = col;
			else if (c == "ISD")		columns.m_component[DiffuseRadiation] = col;
			else if (c == "WD")			columns.m_component[WindDirection] = col;
			else if (c == "WS" || c == "WV")	columns.m_component[WindVelocity] = col;
			else if (c == "ILAH")		columns.m_component[LongWaveCounterRadiation] = col;
			else if (c == "PSTA")		columns.m_component[AirPressure] = col;
			else if (c == "RN")			columns.m_component[Rain] = col;
			else if (c == "TIME")		columns.m_time = col;
		}
		if (columns.m_time == -1 && !annual)
			throw ZEB::Exception("WAC files without time column must be annual climate data files with 8760 values "
								 "spaced at 1 h time difference.", LOCATION);
		if (columns.m_global == -1) {
			if (columns.m_directHorizontal == -1)
				throw ZEB::Exception("Missing direct radiation or global radiation, either must be present!", LOCATION);
			columns.m_component[DirectRadiation] = columns.m_directHorizontal;
		}
		else {
			if (columns.m_component[DiffuseRadiation] == -1)
				throw ZEB::Exception("Diffuse radiation is required to split global radiation into direct radiation "
									 "component!", LOCATION);
			columns.m_component[DirectRadiation] = columns.m_global;
		}
		// every data line reads these, and no column may lie beyond the fields of a data line
		const char * const required[] = {"TA", "HREL", "ISD"};
		const ClimateComponents requiredComponents[] = {Temperature, RelativeHumidity, DiffuseRadiation};
		for (unsigned int i = 0; i < 3; ++i)
			if (columns.m_component[requiredComponents[i]] == -1)
				throw ZEB::Exception(ZEB::FormatString("Missing required column '%1'.").arg(required[i]), LOCATION);
		for (std::size_t i = 0; i < captions.size(); ++i) {
			const int col = static_cast<int>(i);
			const bool used = col == columns.m_time
					|| std::find(columns.m_component, columns.m_component + NumClimateComponents, col)
					   != columns.m_component + NumClimateComponents;
			if (used && i >= columnCount)
				throw ZEB::Exception(ZEB::FormatString("Missing required column '%1'.").arg(captions[i]), LOCATION);
		}
		if (headerOnly)
			return;

		// read aside and taken over whole, so that a refused file leaves the data as they were
		std::array<std::vector<double>, NumClimateComponents> data;
		std::vector<double> timePoints;
		for (std::vector<double> & d : data)
			d.reserve(std::min(lineCount, MAX_RESERVE));
		if (!annual)
			timePoints.reserve(std::min(lineCount, MAX_RESERVE));
		const ZEB::Time::TimeFormatInfo timeFormat = ZEB::Time::formatInfo("yyyy-MM-dd hh:mm");
		int startYear = DATA_NOT_VALID;
		std::vector<std::string> fields;
		for (unsigned int k = 1; k <= lineCount; ++k) {
			// numbered as the header count plus the data line, as the messages have always done
			const unsigned int totalLine = headerCount + k;
			const std::string previous = line;
			if (!std::getline(in, line))
				throw ZEB::Exception(ZEB::FormatString("Error reading data line #%1 (total line #%2), last successfully "
													   "read line was '%3'.").arg(k).arg(totalLine).arg(previous),
									 LOCATION);
			const std::string text = ZEB::trim_copy(line, " \t\r");
			if (text.empty())
				throw ZEB::Exception(ZEB::FormatString("Missing data, empty line encountered in data line #%1 (total line "
													   "#%2), expected %3 lines of data.")
									 .arg(k).arg(totalLine).arg(lineCount), LOCATION);
			ZEB::explode(text, fields, "\t", 0);
			if (fields.size() != columnCount)
				throw ZEB::Exception(ZEB::FormatString("Error reading data line #%1 (total line #%2); not enough columns "
													   "(expected %3 columns, got %4 columns)!")
									 .arg(k).arg(totalLine).arg(columnCount)
									 .arg(static_cast<unsigned long>(fields.size())), LOCATION);
			const auto badTime = [&]() {
				return ZEB::Exception(ZEB::FormatString("Error parsing date/time entry in line #%1 (total line #%2)")
									  .arg(k).arg(totalLine), LOCATION);
			};
			if (annual) {
				if (startYear == DATA_NOT_VALID) {
					startYear = 2007;
					if (columns.m_time != -1) {
						std::string dateText = ZEB::replace_string(fields[columns.m_time], ":", " ", ZEB::REPLACE_ALL);
						dateText = ZEB::replace_string(dateText, "-", " ", ZEB::REPLACE_ALL);
						std::istringstream strm(dateText);
						strm.imbue(std::locale::classic());
						int year, month, day, hour;
						if (!(strm >> year >> month >> day >> hour))
							throw badTime();
						startYear = year;
					}
				}
			}
			else {
				const ZEB::Time time = ZEB::Time::fromString(ZEB::trim_copy(fields[columns.m_time], " \t\r"),
															 timeFormat, false);
				if (!time.isValid())
					throw badTime();
				if (k == 1)
					startYear = time.m_year;
				timePoints.push_back(ZEB::Time(startYear, 0).secondsUntil(time));
			}

			const auto value = [&](ClimateComponents c) {
				return columns.m_component[c] == -1 ? static_cast<double>(DATA_NOT_VALID)
													: fieldValue(fields[columns.m_component[c]]);
			};
			data[Temperature].push_back(value(Temperature));
			data[RelativeHumidity].push_back(scaled(value(RelativeHumidity), 100));
			double direct = value(DirectRadiation);
			const double diffuse = value(DiffuseRadiation);
			if (columns.m_global != -1 && !isMissingValue(direct)) {
				// global radiation holds the diffuse part
				if (isMissingValue(diffuse))
					direct = DATA_NOT_VALID;
				else {
					direct -= diffuse;
					if (direct < 0)
						throw ZEB::Exception(ZEB::FormatString("Error in line #%1 (total line #%2): global radiation "
															   "intensity must not be smaller than diffuse radiation "
															   "intensity!").arg(k).arg(totalLine), LOCATION);
				}
			}
			data[DirectRadiation].push_back(direct);
			data[DiffuseRadiation].push_back(diffuse);
			data[Rain].push_back(value(Rain));
			data[WindDirection].push_back(value(WindDirection));
			data[WindVelocity].push_back(value(WindVelocity));
			data[LongWaveCounterRadiation].push_back(value(LongWaveCounterRadiation));
			data[AirPressure].push_back(scaled(value(AirPressure), 100));
		}

		// setTime's binary search needs ordered points
		if (const std::size_t i = firstDecreasingTimePoint(timePoints))
			throw ZEB::Exception(composeErrorText(RF_InvalidTimePoint, fname,
												  ZEB::FormatString("#%1 (total line #%2)").arg(static_cast<unsigned long>(i + 1))
												  .arg(static_cast<unsigned long>(headerCount + i + 1)).str()), LOCATION);

		SolarRadiationModel solarModel;
		placeSolarRadiationModel(solarModel);
		convertDirectHorizontalToNormal(solarModel, timePoints, data[DirectRadiation]);

		m_data.swap(data);
		m_dataTimePoints.swap(timePoints);
		if (startYear != DATA_NOT_VALID)
			m_startYear = startYear;
		updateCheckBits();
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, ZEB::FormatString("Error reading file '%1'.").arg(fname), LOCATION);
	}
}

} // namespace OVM
