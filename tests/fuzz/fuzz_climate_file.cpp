// Fuzz target of the climate file readers. The first byte chooses the reader (bits 0-2), whether
// only the header is read (bit 3) and, for tables, the column suffix "?N" (bits 6-7); the rest
// is the file, written with the reader's extension. Refusals must come as ZEB::Exception or a
// result code; a loader that accepted a file must give values at any time or refuse the time.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ZEB_Exception.h"
#include "ZEB_Time.h"
#include "ZEB_Unit.h"

#include "OVM_ClimateDataLoader.h"

#include "FuzzFiles.h"
#include "FuzzSupport.h"

using OVM::ClimateDataLoader;

namespace {

enum Reader { C6B, EPW, WAC, DAT, CSV, CCD, DESCRIPTION, MLID };

const char * const EXTENSIONS[] = {"c6b", "epw", "wac", "dat", "tsv", "ccd", "xml", "csv"};

/*! Times [s] from before the year over the year's end; the time series' own points are added. */
void querySomeTimes(ClimateDataLoader & loader) {
	std::vector<double> times = {-3600, 0, 1800, 3600, 12.5*3600, 4380*3600.0, 31535999, 31536000, 40000000};
	if (!loader.m_dataTimePoints.empty()) {
		times.push_back(loader.m_dataTimePoints.front());
		times.push_back(loader.m_dataTimePoints[loader.m_dataTimePoints.size()/2]);
		times.push_back(loader.m_dataTimePoints.back());
	}
	for (double t : times) {
		try {
			loader.setTime(loader.m_startYear, t);
		}
		catch (ZEB::Exception &) {
		}
	}
}

/*! A series read from one file, taken as a component's year as a climate data directory does. */
void useSeries(std::vector<double> & timePoints, std::vector<double> & values) {
	if (timePoints.size() != values.size())
		std::abort();
	try {
		ClimateDataLoader::checkForValidCyclicData(timePoints);
		ClimateDataLoader::expandToAnnualHourlyData(timePoints, values);
	}
	catch (ZEB::Exception &) {
		return;
	}
	if (timePoints.size() != ZEB::HOURS_PER_YEAR || values.size() != ZEB::HOURS_PER_YEAR)
		std::abort();
}

void readFile(unsigned int reader, bool headerOnly, const std::string & path) {
	ClimateDataLoader loader;
	switch (reader) {
		case C6B: case EPW: case WAC: case DAT:
			loader.readClimateData(path, headerOnly);
			if (!headerOnly)
				querySomeTimes(loader);
			break;
		case CSV: case CCD: {
			std::vector<double> timePoints, values;
			std::string quantity, comment, errmsg;
			ZEB::Unit unit;
			const ClimateDataLoader::ReadFunctionReturnValues res = reader == CSV
				? ClimateDataLoader::readCSVFile(path, timePoints, values, quantity, unit, errmsg)
				: ClimateDataLoader::readCCDFile(path, timePoints, values, comment, quantity, unit, errmsg);
			if (res == ClimateDataLoader::RF_OK)
				useSeries(timePoints, values);
			else
				(void)ClimateDataLoader::composeErrorText(res, path, errmsg);
			break;
		}
		case DESCRIPTION:
			loader.readDescriptionCCD(path);
			break;
		case MLID:
			loader.m_country = "DE: Deutschland |EN: Germany";
			loader.m_city = "DE: Potsdam |EN: Potsdam";
			loader.m_latitude = 52.4;
			loader.m_longitude = 13.1;
			(void)loader.fillWMOCodeFromMLID(path);
			break;
	}
}

} // namespace


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size) {
	FuzzSupport::silence();
	if (size == 0)
		return 0;
	const unsigned int config = data[0];
	const unsigned int reader = config & 7;
	const bool headerOnly = (config & 8) != 0;
	const unsigned int column = config >> 6;
	std::string path = FuzzFiles::write(std::string("input.") + EXTENSIONS[reader], data + 1, size - 1);
	if (reader == CSV && column != 0)
		path += "?" + std::to_string(column);
	try {
		readFile(reader, headerOnly, path);
	}
	catch (ZEB::Exception &) {
	}
	return 0;
}
