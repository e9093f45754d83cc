#include "ZEB_Version.h"

#include <cstdint>
#include <istream>
#include <ostream>
#include <vector>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Tokenizer.h"

namespace ZEB {

const unsigned int majorMaskBinary = 0xFF;
const unsigned int minorMaskBinary = 0xFF00;
const unsigned int majorMaskASCII = 0xFF00;
const unsigned int minorMaskASCII = 0xFF;


unsigned int versionNumberBinary(unsigned int major, unsigned int minor) {
	return (minor << 8) | major;
}


unsigned int majorFromVersionBinary(unsigned int version) {
	return version & majorMaskBinary;
}


unsigned int minorFromVersionBinary(unsigned int version) {
	return (version & minorMaskBinary) >> 8;
}


unsigned int versionNumberASCII(unsigned int major, unsigned int minor) {
	return (major << 8) | minor;
}


unsigned int majorFromVersionASCII(unsigned int version) {
	return (version & majorMaskASCII) >> 8;
}


unsigned int minorFromVersionASCII(unsigned int version) {
	return version & minorMaskASCII;
}


namespace {

const char * const READ_LOCATION = "[Version::read]";

// The word whose bytes, from the lowest, are lead and the three digits of number.
std::uint32_t encodeNumber(char lead, unsigned int number) {
	return static_cast<std::uint32_t>(static_cast<unsigned char>(lead))
			| static_cast<std::uint32_t>('0' + number / 100 % 10) << 8
			| static_cast<std::uint32_t>('0' + number / 10 % 10) << 16
			| static_cast<std::uint32_t>('0' + number % 10) << 24;
}

unsigned int decodeNumber(std::uint32_t word) {
	const unsigned int hundreds = (word >> 8) & 0xFF;
	const unsigned int tens = (word >> 16) & 0xFF;
	const unsigned int units = (word >> 24) & 0xFF;
	return (hundreds - '0') * 100 + (tens - '0') * 10 + (units - '0');
}

// The three digit bytes of a version text word, checked: -1 when one is no digit.
int checkedNumber(std::uint32_t word) {
	for (int shift = 8; shift <= 24; shift += 8) {
		const unsigned int c = (word >> shift) & 0xFF;
		if (c < '0' || c > '9')
			return -1;
	}
	return static_cast<int>(decodeNumber(word));
}

void writeWord(std::ostream & out, std::uint32_t word) {
	out.write(reinterpret_cast<const char *>(&word), sizeof(word));
}

// A word that cannot be read whole counts as 0; ok turns false.
std::uint32_t readWord(std::istream & in, bool & ok) {
	std::uint32_t word = 0;
	in.read(reinterpret_cast<char *>(&word), sizeof(word));
	if (in.gcount() != static_cast<std::streamsize>(sizeof(word))) {
		ok = false;
		return 0;
	}
	return word;
}

} // namespace


void Version::toASCIIEncoding(unsigned int version, unsigned int & first, unsigned int & second) {
	first = encodeNumber(' ', majorFromVersionASCII(version));
	second = encodeNumber('.', minorFromVersionASCII(version));
}


unsigned int Version::fromASCIIEncoding(unsigned int first, unsigned int second) {
	return versionNumberASCII(decodeNumber(first), decodeNumber(second));
}


void Version::write(std::ostream & out, unsigned int magicBinary1, unsigned int magicBinary2,
					unsigned int magicASCII1, unsigned int magicASCII2, bool isBinary,
					unsigned int majorVersion, unsigned int minorVersion)
{
	// the packed word has 8 bits per number: a larger one would be stored as another version
	if (majorVersion > 255 || minorVersion > 255)
		throw Exception(FormatString("Version number %1.%2 exceeds the range 0..255 of a file header.")
						.arg(majorVersion).arg(minorVersion), "[Version::write]");
	if (isBinary) {
		writeWord(out, magicBinary1);
		writeWord(out, magicBinary2);
		writeWord(out, versionNumberBinary(majorVersion, minorVersion));
		writeWord(out, 0);
	}
	else {
		unsigned int first, second;
		toASCIIEncoding(versionNumberASCII(majorVersion, minorVersion), first, second);
		writeWord(out, magicASCII1);
		writeWord(out, magicASCII2);
		writeWord(out, first);
		writeWord(out, second);
	}
}


void Version::read(std::istream & in, unsigned int magicBinary1, unsigned int magicBinary2,
				   unsigned int magicASCII1, unsigned int magicASCII2, bool & isBinary,
				   unsigned int & majorVersion, unsigned int & minorVersion)
{
	bool ok = true;
	const std::uint32_t magic1 = readWord(in, ok);
	if (magic1 == magicBinary1) {
		if (readWord(in, ok) != magicBinary2)
			throw Exception("Wrong second magic number!", READ_LOCATION);
		const std::uint32_t version = readWord(in, ok);
		readWord(in, ok);		// reserved
		if (!ok)
			throw Exception("Incomplete file header.", READ_LOCATION);
		isBinary = true;
		majorVersion = majorFromVersionBinary(version);
		minorVersion = minorFromVersionBinary(version);
		return;
	}
	if (magic1 != magicASCII1)
		throw Exception("Invalid magic header or unknown file format.", READ_LOCATION);
	if (readWord(in, ok) != magicASCII2)
		throw Exception("Wrong second magic number!", READ_LOCATION);
	const std::uint32_t first = readWord(in, ok);
	const std::uint32_t second = readWord(in, ok);
	if (!ok)
		throw Exception("Incomplete file header.", READ_LOCATION);
	// digits beyond '0'..'9' or numbers beyond 255 would decode into another version
	const int major = checkedNumber(first);
	const int minor = checkedNumber(second);
	if (major < 0 || minor < 0 || major > 255 || minor > 255)
		throw Exception("Invalid version number in file header.", READ_LOCATION);
	isBinary = false;
	const unsigned int version = fromASCIIEncoding(first, second);
	majorVersion = majorFromVersionASCII(version);
	minorVersion = minorFromVersionASCII(version);
}


void Version::printCompilerVersion() {
	std::string text = "Compiled with GCC";
	text.resize(49, ' ');
#if defined(__GNUC__)
	text += std::to_string(__GNUC__) + "." + std::to_string(__GNUC_MINOR__) + "." + std::to_string(__GNUC_PATCHLEVEL__);
#else
	text += "unknown";
#endif
	text += "\n";
	ZEB_Message(FormatString(text), MSG_PROGRESS, "[Version::printCompilerVersion]", 1);
}


bool Version::extractMajorMinorVersionNumber(const std::string & versionString,
											 unsigned int & major, unsigned int & minor)
{
	std::vector<std::string> tokens;
	explode(versionString, tokens, ".", EXPLODE_TRIM_TOKENS);
	if (tokens.size() < 2)
		return false;
	try {
		major = string2val<unsigned int>(tokens[0]);
		minor = string2val<unsigned int>(tokens[1]);
	}
	catch (const Exception &) {
		return false;
	}
	return true;
}


bool Version::extractMajorMinorPatchVersionNumber(const std::string & versionString,
												  unsigned int & major, unsigned int & minor,
												  unsigned int & patch)
{
	std::vector<std::string> tokens;
	explode(versionString, tokens, ".", EXPLODE_TRIM_TOKENS);
	if (tokens.size() < 3)
		return false;
	try {
		major = string2val<unsigned int>(tokens[0]);
		minor = string2val<unsigned int>(tokens[1]);
		const unsigned int p = string2val<unsigned int>(tokens[2]);
		patch = p;
	}
	catch (const Exception &) {
		return false;
	}
	return true;
}


bool Version::lesserVersionNumber(const std::string & lhs, const std::string & rhs) {
	unsigned int lMajor, lMinor, lPatch, rMajor, rMinor, rPatch;
	if (!extractMajorMinorPatchVersionNumber(lhs, lMajor, lMinor, lPatch) ||
		!extractMajorMinorPatchVersionNumber(rhs, rMajor, rMinor, rPatch))
	{
		throw Exception("Bad version numbers.", "[Version::lesserVersionNumber]");
	}
	if (lMajor != rMajor)
		return lMajor < rMajor;
	if (lMinor != rMinor)
		return lMinor < rMinor;
	return lPatch < rPatch;
}

} // namespace ZEB
