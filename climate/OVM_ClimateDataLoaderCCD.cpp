// CCD files (one series: comments, "quantity unit", then "day hh:mm:ss value" lines), climate
// data directories of one CCD file per component, and their XML location description.

#include "OVM_ClimateDataLoader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <locale>
#include <sstream>

#include <tinyxml.h>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_MultiLanguageString.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Time.h"
#include "ZEB_Tokenizer.h"
#include "ZEB_UnitVector.h"
#include "ZEB_XMLAccess.h"

#include "OVM_Constants.h"
#include "OVM_SolarRadiationModel.h"

namespace OVM {

namespace {

const char * const BLANKS = " \t\r";

bool isBlank(const std::string & line) {
	return line.find_first_not_of(BLANKS) == std::string::npos;
}

/*! The text of an element, null for a missing element and for one without text (TinyXML gives
	no text node for an empty element). */
const char * elementText(const TiXmlElement * parent, const char * name) {
	return ZEB::GetTextUnsafe(parent->FirstChildElement(name));
}

/*! The file's text with line ends made '\n', as TinyXML's own file reader makes them. Throws
	for a line that is not UTF-8 or holds a NUL byte: TinyXML steps over a multi-byte character
	by its lead byte alone, so a sequence cut by the end of the text would take it past the
	text's end. */
std::string descriptionText(const ZEB::Path & fname, const char * location) {
	std::ifstream in(fname.str(), std::ios::binary);
	if (!in)
		throw ZEB::Exception(ZEB::FormatString("File '%1' does not exist or cannot be opened for reading.").arg(fname),
							 location);
	const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	std::string text;
	text.reserve(raw.size());
	// no byte of a multi-byte character is a line end, so each line is checked on its own
	unsigned int line = 1;
	for (std::size_t start = 0; ; ++line) {
		const std::size_t end = std::min(raw.find_first_of("\r\n", start), raw.size());
		const std::string part = raw.substr(start, end - start);
		if (part.find('\0') != std::string::npos || !ZEB::is_valid_utf8_string(part))
			throw ZEB::Exception(ZEB::FormatString("Invalid UTF-8 text in line %1 of description XML file %2.")
								 .arg(line).arg(fname), location);
		text += part;
		if (end == raw.size())
			return text;
		text += '\n';
		start = end + (raw.compare(end, 2, "\r\n") == 0 ? 2 : 1);
	}
}

} // namespace


ClimateDataLoader::ReadFunctionReturnValues ClimateDataLoader::readCCDFile(const ZEB::Path & fname,
	std::vector<double> & timePoints, std::vector<double> & values, std::string & comment,
	std::string & quantity, ZEB::Unit & unit, std::string & errmsg)
{
	std::ifstream in(fname.str());
	if (!in || fname.isDirectory())
		return RF_CannotOpenFile;
	ZEB::ZEB_Message(ZEB::FormatString("%1\n").arg(fname), ZEB::MSG_PROGRESS, "[ClimateDataLoader::readCCDFile]", 2);

	std::string line;
	unsigned int lineNumber = 0;
	const auto lineError = [&](ReadFunctionReturnValues res) {
		errmsg = ZEB::FormatString("#%1: %2").arg(lineNumber, 3).arg(line).str();
		return res;
	};

	comment.clear();
	while (std::getline(in, line)) {
		++lineNumber;
		if (isBlank(line))
			continue;
		if (line[0] == '#') {
			const std::string::size_type first = line.find_first_not_of(BLANKS, 1);
			if (first != std::string::npos)
				comment += line.substr(first) + "\n";
			continue;
		}
		std::istringstream strm(line);
		std::string quantityName, unitName;
		if (!(strm >> quantityName >> unitName))
			return lineError(RF_BadHeader);
		quantity = quantityName;
		unit.set(unitName);
		break;
	}

	timePoints.clear();
	values.clear();
	while (std::getline(in, line)) {
		++lineNumber;
		if (isBlank(line) || line[0] == '#')
			continue;
		std::string text = line.substr(0, line.find('#'));
		ZEB::trim(text, BLANKS);
		if (text.empty())
			continue;
		std::replace(text.begin(), text.end(), ':', ' ');
		std::istringstream strm(text);
		strm.imbue(std::locale::classic());
		int day, hours, minutes, seconds;
		double value;
		if (!(strm >> day >> hours >> minutes >> seconds >> value) || !(strm >> std::ws).eof())
			return lineError(RF_InvalidLineFormat);
		// in 64 bits: a day count of a few 10000 years passes 32 bits
		const std::int64_t t = std::int64_t(day)*86400 + std::int64_t(hours)*3600 + std::int64_t(minutes)*60 + seconds;
		if (!timePoints.empty() && static_cast<double>(t) <= timePoints.back())
			return lineError(RF_InvalidTimePoint);
		timePoints.push_back(static_cast<double>(t));
		values.push_back(value);
	}
	return RF_OK;
}


void ClimateDataLoader::readClimateDataCCDDirectory(const ZEB::Path & directory, SolarRadiationModel & solarModel,
													 std::string & missingFiles)
{
	const char * const location = "[ClimateDataLoader::readClimateDataCCDDirectory]";
	static const char * const FILE_NAMES[NumClimateComponents] = {
		"Temperature.ccd", "RelativeHumidity.ccd", "DirectRadiation.ccd", "DiffuseRadiation.ccd",
		"WindDirection.ccd", "WindVelocity.ccd", "SkyRadiation.ccd", "TotalPressure.ccd", "VerticalRain.ccd"
	};
	try {
		// read aside and taken over whole, so that a refused directory leaves the data as they were
		std::array<std::vector<double>, NumClimateComponents> data;
		for (unsigned int c = 0; c < NumClimateComponents; ++c) {
			const ZEB::Path path = directory / FILE_NAMES[c];
			try {
				std::vector<double> timePoints, values;
				std::string comment, quantity, errmsg;
				ZEB::Unit unit;
				const ReadFunctionReturnValues res = readCCDFile(path, timePoints, values, comment, quantity, unit, errmsg);
				if (res == RF_CannotOpenFile) {
					data[c].assign(ZEB::HOURS_PER_YEAR, DATA_NOT_VALID);
					missingFiles += path.str() + "\n";
					continue;
				}
				if (res != RF_OK)
					throw ZEB::Exception(composeErrorText(res, path, errmsg), location);
				checkForValidCyclicData(timePoints);
				expandToAnnualHourlyData(timePoints, values);

				const ZEB::Unit target(DEFAULT_UNITS[c]);
				if (unit != target) {
					if (unit.base_id() != target.base_id())
						throw ZEB::Exception(ZEB::FormatString("Incompatible units in file '%1'. Expected '%2', got '%3'.")
											 .arg(path).arg(DEFAULT_UNITS[c]).arg(unit.name()), location);
					ZEB::UnitVector converted;
					converted.m_unit = unit;
					converted.m_data = values;
					converted.convert(target);
					// a missing value is no measurement in any unit
					for (std::size_t i = 0; i < values.size(); ++i)
						if (!isMissingValue(values[i]))
							values[i] = converted.m_data[i];
				}
				if (c == DirectRadiation)
					convertDirectHorizontalToNormal(solarModel, timePoints, values);
				data[c].swap(values);
			}
			catch (ZEB::Exception & ex) {
				throw ZEB::Exception(ex, ZEB::FormatString("Error importing CCD file '%1'.").arg(path), location);
			}
		}
		m_data.swap(data);
		// the result is one cyclic year
		m_dataTimePoints.clear();
		updateCheckBits();
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, "Error importing CCD files from climate data directory.", location);
	}
}


void ClimateDataLoader::readDescriptionCCD(const ZEB::Path & fname) {
	const char * const location = "[ClimateDataLoader::readDescriptionCCD]";
	const auto warn = [location](const ZEB::FormatString & text) {
		ZEB::ZEB_Message(text, ZEB::MSG_WARNING, location, -1);
	};
	if (!fname.isFile())
		throw ZEB::Exception(ZEB::FormatString("File '%1' does not exist or cannot be opened for reading.").arg(fname),
							 location);
	// the parser gets our own NUL-terminated copy, checked first, never a buffer of its own filling
	const std::string text = descriptionText(fname, location);
	TiXmlDocument doc;
	doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
	if (doc.Error())
		throw ZEB::Exception(ZEB::FormatString("Error in line %1 of project file '%2':\n%3")
							 .arg(doc.ErrorRow()).arg(fname).arg(doc.ErrorDesc()), location);
	const TiXmlElement * root = doc.FirstChildElement();
	if (root == nullptr)
		throw ZEB::Exception(ZEB::FormatString("%1 - not available").arg(fname), location);
	if (root->ValueStr() != "ClimateDataLocation")
		throw ZEB::Exception(ZEB::FormatString("Expected 'ClimateDataLocation' as root node in description XML file %1.")
							 .arg(fname), location);

	const TiXmlElement * position = root->FirstChildElement("Position");
	if (position == nullptr)
		throw ZEB::Exception(ZEB::FormatString("Expected tag 'Position' in description XML file %1.").arg(fname), location);
	const auto attribute = [&](const char * name) -> const TiXmlAttribute * {
		return ZEB::attributeByName(position, name);
	};
	const auto number = [](const TiXmlAttribute * a) {
		return ZEB::string2val<double>(ZEB::trim_copy(a->ValueStr(), BLANKS));
	};
	const TiXmlAttribute * a = attribute("latitude");
	if (a == nullptr)
		throw ZEB::Exception(ZEB::FormatString("Expected attribute 'latitude' in 'Position' tag in description XML file %1.")
							 .arg(fname), location);
	m_latitude = number(a);
	a = attribute("longitude");
	if (a == nullptr)
		throw ZEB::Exception(ZEB::FormatString("Expected attribute 'longitude' in 'Position' tag in description XML file %1.")
							 .arg(fname), location);
	m_longitude = number(a);
	a = attribute("altitude");
	if (a == nullptr) {
		warn(ZEB::FormatString("Expected attribute 'altitude' in 'Position' tag in description XML file %1.").arg(fname));
		m_elevation = 0;
	}
	else
		m_elevation = number(a);

	if (const char * timeZone = elementText(root, "TimeZone")) {
		m_timeZone = ZEB::string2val<double>(ZEB::trim_copy(timeZone, BLANKS));
		if (!isTimeZone(m_timeZone))
			throw ZEB::Exception(ZEB::FormatString("Invalid time zone '%1' in description XML file %2, %3.")
								 .arg(timeZone).arg(fname).arg(TIME_ZONE_EXPECTED), location);
	}
	else {
		warn(ZEB::FormatString("Expected tag 'TimeZone' in description XML file %1.").arg(fname));
		m_timeZone = 1;
	}

	const TiXmlElement * description = root->FirstChildElement("Description");
	if (description == nullptr)
		throw ZEB::Exception(ZEB::FormatString("Expected tag 'Description' in description XML file %1.").arg(fname), location);
	ZEB::MultiLanguageString city;
	ZEB::MultiLanguageString country;
	for (; description != nullptr; description = description->NextSiblingElement("Description")) {
		const TiXmlAttribute * langid = ZEB::attributeByName(description, "langid");
		if (langid == nullptr)
			throw ZEB::Exception(ZEB::FormatString("Expected attribute 'langid' in 'Description' tag in description XML "
												   "file %1.").arg(fname), location);
		std::vector<std::string> pieces;
		ZEB::explode(ZEB::GetText(description), pieces, ",", 0);
		if (pieces.size() < 2)
			throw ZEB::Exception(ZEB::FormatString("Expected city and country inside 'Description' tag in description "
												   "XML file %1.").arg(fname), location);
		city.setString(ZEB::trim_copy(pieces[0], BLANKS), langid->ValueStr());
		country.setString(ZEB::trim_copy(pieces[1], BLANKS), langid->ValueStr());
	}
	m_city = ZEB::MultiLanguageString::composeLangIDString(city.m_texts);
	m_country = ZEB::MultiLanguageString::composeLangIDString(country.m_texts);

	if (const char * source = elementText(root, "Source"))
		m_source = source;
	else
		m_source = fname.parentPath().str();
	if (const char * comment = elementText(root, "Comment"))
		m_comment = comment;
	else
		m_comment = "Data converted from CCD format";
}

} // namespace OVM
