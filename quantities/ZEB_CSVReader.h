#ifndef ZEB_CSVReaderH
#define ZEB_CSVReaderH

#include <iosfwd>
#include <string>
#include <vector>

#include "ZEB_Path.h"

namespace ZEB {

/*! Reads a small table of numbers: one caption line, then rows separated by tabs or commas.
	Captions may carry a unit in square brackets ("Time [h]"), which parse() can split off.
	Fields are not quoted: a separator inside quotes splits the field. */
class CSVReader {
public:
	/*! True for a tab-separated file, false for a comma-separated one (decided from the first
		two lines); throws when neither fits. */
	static bool haveTabSeparationChar(const Path & filename);

	/*! Opens the file and parses it. */
	void read(const Path & filename, bool headerOnly, bool extractUnits);
	/*! Reads the captions and, unless headerOnly, the rows; rows are appended to those of an
		earlier parse. Throws for a row with another number of fields than captions and for a
		field that is no number. */
	void parse(std::istream & in, bool headerOnly, bool extractUnits);
	void parse(const std::string & text, bool headerOnly, bool extractUnits);

	/*! The values of column col over all rows. */
	std::vector<double> colData(unsigned int col) const;

	/*! The separator: '\t' or ','. */
	char								m_separationCharacter = '\t';
	/*! Caption of each column, without unit when units were extracted. */
	std::vector<std::string>			m_captions;
	/*! One unit per caption when units were extracted ("" where a caption has none); else empty. */
	std::vector<std::string>			m_units;
	/*! The rows in file order. */
	std::vector<std::vector<double> >	m_values;
	unsigned int						m_nColumns = 0;
	/*! Number of rows in m_values. */
	unsigned int						m_nRows = 0;
};

} // namespace ZEB

#endif // ZEB_CSVReaderH
