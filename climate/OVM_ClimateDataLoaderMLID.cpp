// WMO station code lookup in an MLID station list: comma-separated records grouped by
// country, with the English country name in field 2, the city in field 5, the WMO code in
// field 24 and the coordinates in fields 29 and 30 (empty fields not counted).

#include "OVM_ClimateDataLoader.h"

#include <cmath>
#include <fstream>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_MultiLanguageString.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Tokenizer.h"

namespace OVM {

namespace {

const std::size_t FIELD_COUNTRY = 2;
const std::size_t FIELD_CITY = 5;
const std::size_t FIELD_WMO = 24;
const std::size_t FIELD_LATITUDE = 29;
const std::size_t FIELD_LONGITUDE = 30;
/*! Coordinates [Deg] of a station and the loader must differ by less than this. */
const double MAX_DISTANCE = 0.1;
/*! Decimal coordinates 0.1 apart differ by a little less than 0.1 in binary (13.2 - 13.1), and
	must not match for that; far below any station's precision. */
const double ROUNDING = 1e-9;

} // namespace


bool ClimateDataLoader::fillWMOCodeFromMLID(const ZEB::Path & fname) {
	const char * const location = "[ClimateDataLoader::fillWMOCodeFromMLID]";
	const auto ignored = [&](const std::string & reason) {
		ZEB::ZEB_Message(ZEB::FormatString("Ignore request for finding WMO code inside data base %1: %2")
						 .arg(fname).arg(reason),
						 ZEB::MSG_WARNING, location, 2);
		return false;
	};
	const auto invalidFormat = [&]() {
		return ZEB::FormatString("Invalid MLID data format in file %1.").arg(fname);
	};

	if (!m_wmoCode.empty())
		return ignored("We defined a valid WMO already.");
	const std::string country = ZEB::MultiLanguageString(m_country).string("en", false);
	const std::string city = ZEB::MultiLanguageString(m_city).string("en", false);
	if (country.empty())
		return ignored("We need a valid country name (in english language).");
	if (city.empty())
		return ignored("We need a valid city name (in english language).");

	std::ifstream in(fname.str());
	if (!in || fname.isDirectory())
		throw ZEB::Exception(ZEB::FormatString("%1 - not available").arg(fname), location);
	ZEB::ZEB_Message(ZEB::FormatString("Reading MLID database file %1 and trying to find the current climate location "
									   "%2, %3\n").arg(fname).arg(city).arg(country),
					 ZEB::MSG_PROGRESS, location, 2);

	// the first record naming the country opens its block
	std::string line;
	std::vector<std::string> fields;
	bool blockFound = false;
	while (!blockFound && std::getline(in, line)) {
		if (line.find(country) == std::string::npos)
			continue;
		ZEB::explode(line, fields, ",", 0);
		if (fields.size() <= FIELD_COUNTRY)
			throw ZEB::Exception(invalidFormat(), location);
		blockFound = fields[FIELD_COUNTRY].find(country) != std::string::npos;
	}
	if (!blockFound)
		return ignored(ZEB::FormatString("Country name %1 is unknown.").arg(country).str());

	bool cityFound = false;
	while (std::getline(in, line) && line.find(country) != std::string::npos) {
		if (line.find(city) == std::string::npos)
			continue;
		ZEB::explode(line, fields, ",", 0);
		if (fields.size() <= FIELD_LONGITUDE)
			throw ZEB::Exception(invalidFormat(), location);
		if (fields[FIELD_CITY].find(city) == std::string::npos)
			continue;
		double latitude, longitude;
		try {
			latitude = ZEB::string2val<double>(ZEB::trim_copy(fields[FIELD_LATITUDE], " \t\r"));
			longitude = ZEB::string2val<double>(ZEB::trim_copy(fields[FIELD_LONGITUDE], " \t\r"));
		}
		catch (ZEB::Exception & ex) {
			throw ZEB::Exception(ex, invalidFormat(), location);
		}
		if (std::fabs(latitude - m_latitude) < MAX_DISTANCE - ROUNDING
			&& std::fabs(longitude - m_longitude) < MAX_DISTANCE - ROUNDING)
		{
			m_wmoCode = ZEB::trim_copy(fields[FIELD_WMO], " \t\r");
			return true;
		}
		cityFound = true;
	}
	if (!cityFound)
		return ignored(ZEB::FormatString("City name %1 is unknown.").arg(city).str());
	return ignored(ZEB::FormatString("Location with latitude %1 and longitude %2 is unknown.")
				   .arg(m_latitude).arg(m_longitude).str());
}

} // namespace OVM
