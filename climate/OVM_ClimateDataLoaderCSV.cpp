// Tab-separated tables: one column of a table read as a time series, and the whole data set
// written as a table for inspection.

#include "OVM_ClimateDataLoader.h"

#include <algorithm>
#include <fstream>
#include <locale>
#include <sstream>

#include "ZEB_CSVReader.h"
#include "ZEB_Exception.h"
#include "ZEB_FileUtils.h"
#include "ZEB_FormatString.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Time.h"
#include "ZEB_UnitVector.h"

#include "OVM_Constants.h"

namespace OVM {

namespace {

/*! What the table reader's exception says of the faulty line, its own message first and the
	cause after it, without the outermost entry, which only names the file the caller names too. */
std::string readerFault(const ZEB::Exception & ex) {
	std::vector<std::string> entries;
	std::istringstream stack(ex.msgStack());
	for (std::string entry; std::getline(stack, entry);)
		entries.push_back(ZEB::trim_copy(entry, " "));
	if (entries.size() > 1)
		entries.pop_back();
	std::string text;
	for (auto e = entries.rbegin(); e != entries.rend(); ++e)
		text += (text.empty() ? "" : " ") + *e;
	return "(" + text + ")";
}

} // namespace

ClimateDataLoader::ReadFunctionReturnValues ClimateDataLoader::readCSVFile(const ZEB::Path & fname,
	std::vector<double> & timePoints, std::vector<double> & values, std::string & quantity,
	ZEB::Unit & valueUnit, std::string & errmsg)
{
	try {
		ZEB::Path path;
		int column = 1;
		ZEB::extract_number_suffix(fname, path, column);
		if (!path.exists())
			return RF_CannotOpenFile;

		ZEB::CSVReader reader;
		reader.m_separationCharacter = '\t';
		try {
			reader.read(path, false, true);
		}
		catch (ZEB::Exception & ex) {
			ex.writeMsgStackToError();
			errmsg = readerFault(ex);
			return RF_InvalidLineFormat;
		}
		if (reader.m_nColumns < 2 || column < 0 || static_cast<unsigned int>(column) >= reader.m_nColumns) {
			// the message names the line: without it a user cannot tell that the captions are meant
			errmsg = ZEB::FormatString("1 (%1 tab-separated columns, the time and column %2 needed)")
					 .arg(reader.m_nColumns).arg(column).str();
			return RF_BadHeader;
		}
		const unsigned int col = static_cast<unsigned int>(column);
		ZEB::Unit unit;
		ZEB::Unit timeUnit;
		try {
			unit.set(reader.m_units[col].empty() ? std::string("-") : reader.m_units[col]);
			timeUnit.set(reader.m_units[0].empty() ? std::string("-") : reader.m_units[0]);
		}
		catch (ZEB::Exception &) {
			errmsg = "Undefined/unknown value unit.";
			return RF_BadHeader;
		}

		ZEB::UnitVector times;
		times.m_unit = timeUnit;
		times.m_data = reader.colData(0);
		try {
			times.convert(ZEB::Unit("s"));
		}
		catch (ZEB::Exception & ex) {
			ex.writeMsgStackToError();
			// the time column's unit comes from the captions
			errmsg = ZEB::FormatString("1 (%1)").arg(ex.what()).str();
			return RF_InvalidLineFormat;
		}
		// the series is interpolated by binary search: its points must be in order
		if (const std::size_t i = firstDecreasingTimePoint(times.m_data)) {
			// the captions are line 1
			errmsg = ZEB::FormatString("#%1 (time point %2 s)").arg(static_cast<unsigned long>(i + 2))
					 .arg(times.m_data[i]).str();
			return RF_InvalidTimePoint;
		}
		std::vector<double> columnValues = reader.colData(col);

		quantity = reader.m_captions[col];
		valueUnit = unit;
		values.swap(columnValues);
		timePoints.swap(times.m_data);
		return RF_OK;
	}
	catch (ZEB::Exception & ex) {
		ex.writeMsgStackToError();
		return RF_InvalidLineFormat;
	}
}


void ClimateDataLoader::writeClimateDataTSV(const ZEB::Path & fname) const {
	const char * const location = "[ClimateDataLoader::writeClimateDataTSV]";
	const std::size_t rows = m_dataTimePoints.empty() ? ZEB::HOURS_PER_YEAR
													  : std::min<std::size_t>(m_dataTimePoints.size(), ZEB::HOURS_PER_YEAR);
	const std::size_t expected = m_dataTimePoints.empty() ? ZEB::HOURS_PER_YEAR : m_dataTimePoints.size();
	for (const std::vector<double> & d : m_data)
		if (d.size() != expected)
			throw ZEB::Exception(ZEB::FormatString("Mismatching sizes of data vectors, expected %1 values per component.")
								 .arg(static_cast<unsigned long>(expected)), location);
	std::ofstream out(fname.str(), std::ios_base::trunc);
	if (!out)
		throw ZEB::Exception(ZEB::FormatString("Cannot create file '%1'.").arg(fname), location);
	out.imbue(std::locale::classic());

	static const char * const CAPTIONS[NumClimateComponents] = {
		"Temperature [C]", "Relative Humidity [%]", "DirectRadiationNormal [W/m2]",
		"DiffuseRadiationHorizontal [W/m2]", "WindDirection [deg]", "WindVelocity [m/s]",
		"LongWaveCounterRadiation [W/m2]", "AirPressure [Pa]", "Rain [l/m2h]"
	};
	if (m_dataTimePoints.empty())
		out << "Hour of year\tDate/Time\t";
	else
		out << "Time [d]\t";
	for (unsigned int c = 0; c < NumClimateComponents; ++c)
		out << CAPTIONS[c] << (c + 1 < NumClimateComponents ? '\t' : '\n');

	for (std::size_t i = 0; i < rows; ++i) {
		if (m_dataTimePoints.empty())
			out << i + 1 << '\t' << ZEB::Time(2000, 3600.0*(i + 1)).toShortDateFormat() << '\t';
		else
			out << m_dataTimePoints[i]/86400 << '\t';
		for (const std::vector<double> & d : m_data)
			out << d[i] << '\t';
		out << '\n';
	}
	out.close();
	if (!out)
		throw ZEB::Exception(ZEB::FormatString("Error writing file '%1'.").arg(fname), location);
}

} // namespace OVM
