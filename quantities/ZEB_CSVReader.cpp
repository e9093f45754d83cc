#include "ZEB_CSVReader.h"

#include <fstream>
#include <sstream>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Tokenizer.h"

namespace ZEB {

namespace {

// Not trimmed; adjacent separators count as one.
std::vector<std::string> splitFields(const std::string & line, char separator) {
	std::vector<std::string> fields;
	explode(line, fields, std::string(1, separator), 0);
	return fields;
}

} // namespace


bool CSVReader::haveTabSeparationChar(const Path & filename) {
	const char * const location = "[CSVReader::haveTabSeparationChar]";
	std::ifstream in(filename.str());
	if (!in)
		throw Exception("File doesn't exist or cannot open/access file.", location);
	std::string line1, line2;
	if (!std::getline(in, line1) || !std::getline(in, line2))
		throw Exception("Error reading first two lines of data file.", location);
	for (char separator : {'\t', ','}) {
		const std::size_t n = splitFields(line1, separator).size();
		if (n >= 2 && splitFields(line2, separator).size() == n)
			return separator == '\t';
	}
	throw Exception("Unable to determine csv flavour - inconsistent delimiters or missing/wrong quotation "
					"characters (or only one column?).", location);
}


void CSVReader::read(const Path & filename, bool headerOnly, bool extractUnits) {
	try {
		std::ifstream in(filename.str());
		if (!in)
			throw Exception("File doesn't exist or cannot open/access file.", "[CSVReader::read]");
		parse(in, headerOnly, extractUnits);
	}
	catch (Exception & ex) {
		throw Exception(ex, FormatString("Error reading file '%1'.").arg(filename), "[CSVReader::read]");
	}
}


void CSVReader::parse(std::istream & in, bool headerOnly, bool extractUnits) {
	const char * const location = "[CSVReader::parse]";
	std::string line;
	std::getline(in, line);
	m_captions = splitFields(line, m_separationCharacter);
	m_nColumns = static_cast<unsigned int>(m_captions.size());
	m_nRows = static_cast<unsigned int>(m_values.size());
	m_units.clear();
	if (extractUnits) {
		for (std::string & caption : m_captions) {
			const std::string::size_type b = caption.find('[');
			const std::string::size_type e = caption.find(']');
			// a missing ']' takes the unit to the end of the caption
			if (b == std::string::npos || (e != std::string::npos && e <= b)) {
				m_units.push_back(std::string());
				continue;
			}
			m_units.push_back(caption.substr(b + 1, e - b - 1));
			caption = trim_copy(caption.substr(0, b), " \t\r\"");
		}
	}
	if (headerOnly)
		return;
	unsigned int lineNumber = 1;
	while (std::getline(in, line)) {
		++lineNumber;
		if (line.find_first_not_of("\n\r\t ") == std::string::npos)
			continue;
		std::vector<std::string> fields = splitFields(line, m_separationCharacter);
		if (m_separationCharacter == ',')
			for (std::string & f : fields)
				trim(f, " \t\r\"");
		if (fields.size() != m_nColumns)
			throw Exception(FormatString("Wrong number of columns in line #%1!").arg(lineNumber), location);
		std::vector<double> row(fields.size());
		for (std::size_t col = 0; col < fields.size(); ++col) {
			try {
				row[col] = string2val<double>(fields[col]);
			}
			catch (Exception & ex) {
				throw Exception(ex, FormatString("Error reading value in column %1 in line #%2.")
								.arg(static_cast<unsigned int>(col)).arg(lineNumber), location);
			}
		}
		m_values.push_back(row);
		m_nRows = static_cast<unsigned int>(m_values.size());
	}
}


void CSVReader::parse(const std::string & text, bool headerOnly, bool extractUnits) {
	std::stringstream strm(text);
	try {
		parse(strm, headerOnly, extractUnits);
	}
	catch (Exception & ex) {
		throw Exception(ex, "Error parsing data.", "[CSVReader::parse]");
	}
}


std::vector<double> CSVReader::colData(unsigned int col) const {
	const char * const location = "[CSVReader::colData]";
	std::vector<double> values;
	if (m_values.empty())
		return values;
	if (col >= m_values[0].size())
		throw Exception(FormatString("Column index %1 out of range. Only have %2 columns in file.")
						.arg(col).arg(static_cast<unsigned long>(m_values[0].size())), location);
	values.reserve(m_values.size());
	for (std::size_t row = 0; row < m_values.size(); ++row) {
		if (col >= m_values[row].size())
			throw Exception(FormatString("Column index %1 out of range in row %2 (only %3 columns in this row).")
							.arg(col).arg(static_cast<unsigned long>(row))
							.arg(static_cast<unsigned long>(m_values[row].size())), location);
		values.push_back(m_values[row][col]);
	}
	return values;
}

} // namespace ZEB
