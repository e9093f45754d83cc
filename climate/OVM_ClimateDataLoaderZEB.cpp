// The native binary climate file (c6b): magic words, version word, reserved word, KEY=value
// header strings, the nine data vectors and the time points, all little-endian on the target.

#include "OVM_ClimateDataLoader.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_InputOutput.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Tokenizer.h"
#include "ZEB_Version.h"

#include "OVM_Constants.h"

namespace OVM {

namespace {

const char * const READ_LOCATION = "[ClimateDataLoader::readClimateDataZEB]";

const unsigned int MAX_HEADER_STRING_LENGTH = 2000;
const unsigned int MAX_VECTOR_LENGTH = 10000000;
const std::uint64_t WORD_SIZE = 4;

/*! Runs a read or conversion of the base utilities and reports its failure, with the
	utilities' own message, at the reader's location. */
template <typename F>
auto atReadLocation(F && f) -> decltype(f()) {
	try {
		return f();
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(std::string(ex.what()), READ_LOCATION);
	}
}

void writeWord(std::ostream & out, std::uint32_t word) {
	out.write(reinterpret_cast<const char *>(&word), WORD_SIZE);
}

void writeVector(std::ostream & out, const std::vector<double> & values) {
	writeWord(out, static_cast<std::uint32_t>(values.size()));
	if (!values.empty())
		out.write(reinterpret_cast<const char *>(values.data()),
				  static_cast<std::streamsize>(values.size()*sizeof(double)));
}


/*! Reads words and counted blocks from a file of known size. A count is compared with the bytes
	left before anything is allocated for it, so that a damaged or cut file is refused instead
	of reserving memory the file cannot fill. */
class BoundedReader {
public:
	BoundedReader(std::istream & in, std::uint64_t fileSize) : m_in(in), m_fileSize(fileSize) {}

	std::uint32_t readWord(const ZEB::FormatString & what) {
		require(WORD_SIZE, what);
		std::uint32_t word = 0;
		m_in.read(reinterpret_cast<char *>(&word), WORD_SIZE);
		if (!m_in)
			throw truncated(WORD_SIZE, what);
		return word;
	}

	/*! Checks that the count at the read position and the count elements of elementSize bytes
		after it are in the file; counts above maxCount are left to the reader that follows,
		which refuses them with its own message. The read position stays. */
	void checkCountedBlock(std::uint64_t elementSize, unsigned int maxCount, const ZEB::FormatString & what) {
		const std::streampos pos = m_in.tellg();
		const std::uint32_t count = readWord(what);
		m_in.seekg(pos);
		if (count <= maxCount)
			require(WORD_SIZE + count*elementSize, what);
	}

private:
	std::uint64_t remaining() {
		const std::streamoff pos = m_in.tellg();
		if (pos < 0 || static_cast<std::uint64_t>(pos) > m_fileSize)
			return 0;
		return m_fileSize - static_cast<std::uint64_t>(pos);
	}

	void require(std::uint64_t bytes, const ZEB::FormatString & what) {
		if (bytes > remaining())
			throw truncated(bytes, what);
	}

	ZEB::Exception truncated(std::uint64_t bytes, const ZEB::FormatString & what) {
		return ZEB::Exception(ZEB::FormatString("Climate data file is truncated: %1 needs %2 bytes, but only %3 remain.")
							  .arg(what.str()).arg(static_cast<unsigned long>(bytes))
							  .arg(static_cast<unsigned long>(remaining())), READ_LOCATION);
	}

	std::istream &	m_in;
	std::uint64_t	m_fileSize;
};

} // namespace


void ClimateDataLoader::writeClimateDataZEB(const ZEB::Path & fname) const {
	const char * const location = "[ClimateDataLoader::writeClimateDataZEB]";
	std::ofstream out(fname.str(), std::ios_base::binary | std::ios_base::trunc);
	if (!out)
		throw ZEB::Exception(ZEB::FormatString("Cannot create climate data file '%1'.").arg(fname), location);
	// the text magic words of the shared header are not used by a binary file
	ZEB::Version::write(out, MAGIC_FIRST_NUMBER, MAGIC_SECOND_NUMBER, 0, 0, true,
						MAJOR_VERSION_NUMBER, MINOR_VERSION_NUMBER);
	const std::string header[] = {
		"COUNTRY=" + m_country,
		"CITY=" + m_city,
		"WMO=" + m_wmoCode,
		"SOURCE=" + m_source,
		// a zone read as "-0.0" is written "0", as the whole hours always were
		"TIMEZONE=" + ZEB::val2string<double>(m_timeZone + 0.0),
		"LATITUDE=" + ZEB::val2string<double>(m_latitude),
		"LONGITUDE=" + ZEB::val2string<double>(m_longitude),
		"STARTYEAR=" + ZEB::val2string<int>(m_startYear),
		"ELEVATION=" + ZEB::val2string<double>(m_elevation),
		"COMMENT=" + m_comment
	};
	writeWord(out, static_cast<std::uint32_t>(std::size(header)));
	for (const std::string & s : header)
		ZEB::write_string_binary(out, s);
	for (const std::vector<double> & d : m_data)
		writeVector(out, d);
	writeVector(out, m_dataTimePoints);
	// a full disk shows only when the buffer goes out
	out.close();
	if (!out)
		throw ZEB::Exception(ZEB::FormatString("Error writing climate data file '%1'.").arg(fname), location);
}


void ClimateDataLoader::readClimateDataZEB(const ZEB::Path & fname, bool headerOnly) {
	std::ifstream in(fname.str(), std::ios_base::binary);
	std::streamoff fileSize = -1;
	if (in && !fname.isDirectory()) {
		in.seekg(0, std::ios_base::end);
		fileSize = in.tellg();
		in.seekg(0);
	}
	if (!in || fileSize < 0)
		throw ZEB::Exception(ZEB::FormatString("Climate data file '%1' does not exist or is not accessible.").arg(fname),
							 READ_LOCATION);
	BoundedReader reader(in, static_cast<std::uint64_t>(fileSize));

	const ZEB::FormatString fileHeader("the file header");
	if (reader.readWord(fileHeader) != MAGIC_FIRST_NUMBER)
		throw ZEB::Exception("Wrong first magic number!", READ_LOCATION);
	if (reader.readWord(fileHeader) != MAGIC_SECOND_NUMBER)
		throw ZEB::Exception("Wrong second magic number!", READ_LOCATION);
	// files of a later minor version keep the layout
	if (ZEB::majorFromVersionBinary(reader.readWord(fileHeader)) != MAJOR_VERSION_NUMBER)
		throw ZEB::Exception("Unsupported file version.", READ_LOCATION);
	reader.readWord(fileHeader);		// reserved
	const std::uint32_t headerCount = reader.readWord(fileHeader);

	for (std::uint32_t i = 0; i < headerCount; ++i) {
		std::string text;
		reader.checkCountedBlock(1, MAX_HEADER_STRING_LENGTH, ZEB::FormatString("header string #%1").arg(i));
		atReadLocation([&] { ZEB::read_string_binary(in, text, MAX_HEADER_STRING_LENGTH); });
		std::vector<std::string> parts;
		ZEB::explode(text, parts, "=", ZEB::EXPLODE_TRIM_TOKENS | ZEB::EXPLODE_KEEP_EMPTY_TOKENS);
		if (parts.empty())
			throw ZEB::Exception("Invalid key-value format.", READ_LOCATION);
		const std::string & key = parts[0];
		std::string value;
		if (parts.size() == 1) {
			if (key != "COMMENT")
				throw ZEB::Exception("Invalid key-value format.", READ_LOCATION);
		}
		else if (parts.size() == 2)
			value = parts[1];
		else {
			// only a comment may hold '='; empty pieces between them are dropped
			if (key != "COMMENT")
				throw ZEB::Exception("Invalid key-value format.", READ_LOCATION);
			value = parts[1];
			for (std::size_t j = 2; j < parts.size(); ++j)
				if (!parts[j].empty())
					value += "=" + parts[j];
		}

		if (key == "COUNTRY")
			m_country = value;
		else if (key == "CITY")
			m_city = value;
		else if (key == "WMO")
			m_wmoCode = value;
		else if (key == "SOURCE")
			m_source = value;
		else if (key == "TIMEZONE") {
			const double timeZone = atReadLocation([&] { return ZEB::string2val<double>(value); });
			if (!isTimeZone(timeZone))
				throw ZEB::Exception(ZEB::FormatString("Invalid time zone '%1', %2.").arg(value).arg(TIME_ZONE_EXPECTED),
									 READ_LOCATION);
			m_timeZone = timeZone;
		}
		else if (key == "LATITUDE")
			m_latitude = atReadLocation([&] { return ZEB::string2val<double>(value); });
		else if (key == "LONGITUDE")
			m_longitude = atReadLocation([&] { return ZEB::string2val<double>(value); });
		else if (key == "STARTYEAR")
			m_startYear = atReadLocation([&] { return ZEB::string2val<int>(value); });
		else if (key == "ELEVATION")
			m_elevation = atReadLocation([&] { return ZEB::string2val<int>(value); });
		else if (key == "COMMENT")
			m_comment = value;
	}

	if (m_city.empty()) {
		ZEB::ZEB_Message(ZEB::FormatString("Missing CITY name."), ZEB::MSG_WARNING, READ_LOCATION, -1);
		m_city = "---";
	}
	if (headerOnly)
		return;

	// read aside and taken over whole, so that a refused file leaves the data as they were
	std::array<std::vector<double>, NumClimateComponents> data;
	for (unsigned int c = 0; c < NumClimateComponents; ++c) {
		reader.checkCountedBlock(sizeof(double), MAX_VECTOR_LENGTH, ZEB::FormatString("data vector #%1").arg(c));
		atReadLocation([&] { ZEB::read_vector_binary<double>(in, data[c], MAX_VECTOR_LENGTH); });
		if (c > 0 && data[c].size() != data[0].size())
			throw ZEB::Exception(ZEB::FormatString("Error reading data file, data vector #%1 has length %2, but should "
												   "have length %3 as all previous vectors.")
								 .arg(c).arg(static_cast<unsigned long>(data[c].size()))
								 .arg(static_cast<unsigned long>(data[0].size())), READ_LOCATION);
	}
	std::vector<double> timePoints;
	reader.checkCountedBlock(sizeof(double), MAX_VECTOR_LENGTH, ZEB::FormatString("the time points vector"));
	atReadLocation([&] { ZEB::read_vector_binary<double>(in, timePoints, MAX_VECTOR_LENGTH); });

	m_data.swap(data);
	m_dataTimePoints.swap(timePoints);
	const std::size_t i = firstDecreasingTimePoint(m_dataTimePoints);
	if (i != 0) {
		m_data.swap(data);
		m_dataTimePoints.swap(timePoints);
		throw ZEB::Exception(composeErrorText(RF_InvalidTimePoint, fname,
											  ZEB::FormatString("#%1 (time point %2 s)")
											  .arg(static_cast<unsigned long>(i)).arg(timePoints[i]).str()),
							 READ_LOCATION);
	}
	updateCheckBits();
}

} // namespace OVM
