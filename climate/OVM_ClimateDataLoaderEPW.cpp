// EnergyPlus weather files: a LOCATION line, further header lines up to "DATA PERIODS", then
// one comma-separated line per hour. Only the fields the climate components need are read.

#include "OVM_ClimateDataLoader.h"

#include <cmath>
#include <fstream>
#include <locale>
#include <sstream>

#include "ZEB_Constants.h"
#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_Math.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Time.h"
#include "ZEB_Tokenizer.h"

#include "OVM_Constants.h"
#include "OVM_SolarRadiationModel.h"

namespace OVM {

namespace {

const char * const READ_LOCATION = "[ClimateDataLoader::readClimateDataEPW]";
const char * const WRITE_LOCATION = "[ClimateDataLoader::writeClimateDataEPW]";

/*! Fields of a data line this reader needs: the wind speed is the last of them. */
const std::size_t MIN_DATA_FIELDS = 22;

/*! Position in a data line, component and missing-value code of each field read. */
struct DataField {
	std::size_t								m_position;
	ClimateDataLoader::ClimateComponents	m_component;
	double									m_missingCode;
};

const DataField DATA_FIELDS[] = {
	{6, ClimateDataLoader::Temperature, 99.9},
	{8, ClimateDataLoader::RelativeHumidity, 999},
	{14, ClimateDataLoader::DirectRadiation, 9999},
	{15, ClimateDataLoader::DiffuseRadiation, 9999},
	{20, ClimateDataLoader::WindDirection, 999},
	{21, ClimateDataLoader::WindVelocity, 999},
	{12, ClimateDataLoader::LongWaveCounterRadiation, 9999},
	{9, ClimateDataLoader::AirPressure, 999999}
};

/*! The line trimmed and split into its comma-separated fields. */
std::vector<std::string> csvFields(std::string line) {
	ZEB::trim(line, " \t\r");
	std::vector<std::string> fields;
	ZEB::explode_csv(line, fields);
	return fields;
}

double number(const std::string & field) {
	return ZEB::string2val<double>(ZEB::trim_copy(field, " \t\r"));
}

/*! Dew point [C] from temperature [C] and relative humidity [%]; the EPW missing code when
	either is missing or the humidity is negative. */
double dewPoint(double temperature, double relativeHumidity) {
	if (ClimateDataLoader::isMissingValue(temperature) || ClimateDataLoader::isMissingValue(relativeHumidity)
		|| !(relativeHumidity >= 0) || !std::isfinite(temperature))
		return 99.9;
	const double Tk = temperature + ZEB::KELVIN_OFFSET;
	double exponent = 0.12468827930174564;	// 1/8.02, over water
	double c = 163.35;
	if (Tk < ZEB::KELVIN_OFFSET) {
		exponent = 0.08130081300813008;		// 1/12.3, over ice
		c = 124.55;
	}
	return (Tk - c)*ZEB::f_pow(relativeHumidity/100, exponent) + c - ZEB::KELVIN_OFFSET;
}

} // namespace


void ClimateDataLoader::readClimateDataEPW(const ZEB::Path & fname, bool headerOnly) {
	std::ifstream in(fname.str());
	if (!in || fname.isDirectory())
		throw ZEB::Exception(ZEB::FormatString("Climate data file '%1' does not exist or is not accessible.").arg(fname),
							 READ_LOCATION);
	try {
		std::string line;
		if (!std::getline(in, line))
			throw ZEB::Exception("Error reading line 1.", READ_LOCATION);
		std::vector<std::string> fields = csvFields(line);
		if (fields.size() < 10)
			throw ZEB::Exception("Error reading line 1, bad format.", READ_LOCATION);
		m_city = fields[1];
		m_country = fields[3];
		m_source = fields[4];
		m_wmoCode = fields[5];
		m_latitude = number(fields[6]);
		m_longitude = number(fields[7]);
		const double timeZone = number(fields[8]);
		if (!isTimeZone(timeZone))
			throw ZEB::Exception(ZEB::FormatString("Invalid time zone '%1', %2.").arg(fields[8]).arg(TIME_ZONE_EXPECTED),
								 READ_LOCATION);
		m_timeZone = timeZone;
		m_elevation = number(fields[9]);

		// Lines 2 to 5 are skipped; the header ends at "DATA PERIODS", which a standard file has
		// in line 8, a file with other than two comment lines earlier or later. Every line from
		// line 6 up to it is a comment line: the first sets the comment, later ones add to it.
		unsigned int lineNumber = 1;
		while (true) {
			if (!std::getline(in, line))
				throw ZEB::Exception(ZEB::FormatString("Missing header line 'DATA PERIODS' (file ends after line %1).")
									 .arg(lineNumber), READ_LOCATION);
			++lineNumber;
			if (line.compare(0, 12, "DATA PERIODS") == 0)
				break;
			if (lineNumber < 6)
				continue;
			fields = csvFields(line);
			if (fields.size() != 2)
				continue;
			const std::string text = ZEB::trim_copy(fields[1], " \t\r");
			if (lineNumber == 6)
				m_comment = text;
			else if (!text.empty())
				m_comment += "\n" + text;
		}
		if (headerOnly)
			return;

		// read aside and taken over whole, so that a refused file leaves the data as they were
		std::array<std::vector<double>, NumClimateComponents> data;
		for (std::vector<double> & d : data)
			d.reserve(ZEB::HOURS_PER_YEAR);
		int startYear = DATA_NOT_VALID;
		unsigned int leapDayLines = 0;
		unsigned int dataLine = 0;
		while (data[Temperature].size() < ZEB::HOURS_PER_YEAR) {
			if (!std::getline(in, line))
				throw ZEB::Exception(ZEB::FormatString("Missing data, only got %1 data lines, expected 8760 hourly values.")
									 .arg(dataLine), READ_LOCATION);
			++dataLine;
			++lineNumber;
			fields = csvFields(line);
			if (fields.size() < MIN_DATA_FIELDS)
				throw ZEB::Exception(ZEB::FormatString("Invalid data line #%1 (line %2 of the file): expected at "
													   "least %3 fields, got %4.")
									 .arg(dataLine).arg(lineNumber).arg(static_cast<unsigned long>(MIN_DATA_FIELDS))
									 .arg(static_cast<unsigned long>(fields.size())), READ_LOCATION);
			// the year of the climate data has no 29 February
			if (ZEB::string2valDef<double>(ZEB::trim_copy(fields[1], " \t\r"), 0) == 2
				&& ZEB::string2valDef<double>(ZEB::trim_copy(fields[2], " \t\r"), 0) == 29)
			{
				++leapDayLines;
				continue;
			}
			try {
				if (startYear == DATA_NOT_VALID)
					startYear = ZEB::string2val<int>(ZEB::trim_copy(fields[0], " \t\r"));
				for (const DataField & f : DATA_FIELDS) {
					double v = number(fields[f.m_position]);
					if (std::fabs(v - f.m_missingCode) <= ZEB::NEAR_ZERO)
						v = DATA_NOT_VALID;
					data[f.m_component].push_back(v);
				}
			}
			catch (ZEB::Exception & ex) {
				throw ZEB::Exception(ex, ZEB::FormatString("Invalid data line #%1 (line %2 of the file).")
									 .arg(dataLine).arg(lineNumber), READ_LOCATION);
			}
		}
		if (leapDayLines != 0)
			ZEB::ZEB_Message(ZEB::FormatString("Skipped %1 data lines of 29 February, so that the year of 365 days "
											   "stays aligned.\n").arg(leapDayLines),
							 ZEB::MSG_PROGRESS, READ_LOCATION, 1);
		data[Rain].assign(ZEB::HOURS_PER_YEAR, DATA_NOT_VALID);

		m_data.swap(data);
		m_startYear = startYear;
		// the data are a cyclic year
		m_dataTimePoints.clear();
		updateCheckBits();
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, ZEB::FormatString("Error reading file '%1'.").arg(fname), READ_LOCATION);
	}
}


void ClimateDataLoader::writeClimateDataEPW(const ZEB::Path & fname) const {
	if (!m_dataTimePoints.empty())
		throw ZEB::Exception("Climate data with custom time points cannot be saved as epw.", WRITE_LOCATION);
	for (const std::vector<double> & d : m_data)
		if (d.size() != ZEB::HOURS_PER_YEAR)
			throw ZEB::Exception("Climate data without 8760 hourly values per component cannot be saved as epw.",
								 WRITE_LOCATION);
	std::ofstream out(fname.str(), std::ios_base::trunc);
	if (!out)
		throw ZEB::Exception(ZEB::FormatString("Cannot create climate data file '%1'.").arg(fname), WRITE_LOCATION);
	out.imbue(std::locale::classic());

	// a zone read as "-0.0" is written "0", as the whole hours always were
	std::string header = ZEB::FormatString("LOCATION,%1,%2,%3,%4,%5,%6,%7,%8,%9")
			.arg(m_city).arg("-").arg(m_country).arg(m_source).arg(m_wmoCode)
			.arg(m_latitude).arg(m_longitude).arg(m_timeZone + 0.0).arg(m_elevation).str();
	header += "\nDESIGN CONDITIONS,No\nTYPICAL/EXTREME PERIODS,0\nGROUND TEMPERATURES,0"
			  "\nHOLIDAYS/DAYLIGHT SAVINGS,No,0,0,0";
	if (!m_comment.empty()) {
		std::vector<std::string> commentLines;
		ZEB::explode(m_comment, commentLines, "\n", ZEB::EXPLODE_KEEP_EMPTY_TOKENS);
		for (std::size_t i = 0; i < commentLines.size(); ++i)
			header += ZEB::FormatString("\nCOMMENTS %1,%2").arg(static_cast<unsigned long>(i + 1))
					  .arg(commentLines[i]).str();
	}
	header += "\nDATA PERIODS,1,1,Data,Tuesday,1/1,12/31";
	out << header << '\n';

	SolarRadiationModel solarModel;
	placeSolarRadiationModel(solarModel);
	for (unsigned int i = 0; i < ZEB::HOURS_PER_YEAR; ++i) {
		int year;
		unsigned int month, day;
		double secondsOfDay;
		ZEB::Time(m_startYear, 3600.0*i).decomposeDate(year, month, day, secondsOfDay);
		const unsigned int hour = static_cast<unsigned int>(secondsOfDay/3600) + 1;
		out << m_startYear << ',' << month + 1 << ',' << day + 1 << ',' << hour << ",60"
			<< ",B8E7B8B8?9?0?0?0?0?0?0B8B8B8B8?0?0F8F8A7E7";

		const double temperature = m_data[Temperature][i];
		const double humidity = m_data[RelativeHumidity][i];
		out << ',' << temperature << ',' << dewPoint(temperature, humidity) << ',' << humidity
			<< ',' << m_data[AirPressure][i] << ",9999,9999";
		const double longWave = m_data[LongWaveCounterRadiation][i];
		if (longWave < 0)
			out << ",9999";
		else
			out << ',' << longWave;

		const double directNormal = m_data[DirectRadiation][i];
		const double diffuse = m_data[DiffuseRadiation][i];
		if (isMissingValue(directNormal) || isMissingValue(diffuse))
			out << ",9999";
		else {
			double directHorizontal;
			solarModel.convertNormalToHorizontalRadiation(3600.0*i + 1800, directNormal, directHorizontal);
			out << ',' << directHorizontal + diffuse;
		}
		out << ',' << directNormal << ',' << diffuse << ",999999,999999,999999,9999"
			<< ',' << m_data[WindDirection][i] << ',' << m_data[WindVelocity][i]
			<< ",99,99,9999,99999,0,999999999";
		const double rain = m_data[Rain][i];
		if (rain == DATA_NOT_VALID)
			out << ",999";
		else
			out << ',' << rain;
		out << ",.999,999,99,999,99\n";
	}
	out.close();
	if (!out)
		throw ZEB::Exception(ZEB::FormatString("Error writing climate data file '%1'.").arg(fname), WRITE_LOCATION);
}

} // namespace OVM
