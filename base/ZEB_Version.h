#ifndef ZEB_VersionH
#define ZEB_VersionH

#include <iosfwd>
#include <string>

namespace ZEB {

// Version words pack a major and a minor number (0..255 each) into 32 bits in two layouts:
// binary (major in bits 0-7, minor in bits 8-15) and ASCII (major in bits 8-15, minor in bits
// 0-7). The packing functions do not mask: numbers above 255 spill into the other field.

extern const unsigned int majorMaskBinary;	///< 0xFF
extern const unsigned int minorMaskBinary;	///< 0xFF00
extern const unsigned int majorMaskASCII;	///< 0xFF00
extern const unsigned int minorMaskASCII;	///< 0xFF

unsigned int versionNumberBinary(unsigned int major, unsigned int minor);
unsigned int majorFromVersionBinary(unsigned int version);
unsigned int minorFromVersionBinary(unsigned int version);
unsigned int versionNumberASCII(unsigned int major, unsigned int minor);
unsigned int majorFromVersionASCII(unsigned int version);
unsigned int minorFromVersionASCII(unsigned int version);


/*! The 16-byte header of the library's data files, version texts and the compiler banner.

	Header: two magic words chosen by the file format, then in a binary file the version word
	(binary layout) and a zero word, in a text file the eight characters " MMM.mmm" (major and
	minor with three digits each). Words are 4 bytes in host byte order.
*/
class Version {
public:
	/*! The two header words " MMM" and ".mmm" of an ASCII-layout version word. */
	static void toASCIIEncoding(unsigned int version, unsigned int & first, unsigned int & second);
	/*! The inverse of toASCIIEncoding: the ASCII-layout version word; the digits are not checked. */
	static unsigned int fromASCIIEncoding(unsigned int first, unsigned int second);

	/*! Writes a binary or an ASCII header. Throws when a version number exceeds 255, before
		anything is written. */
	static void write(std::ostream & out, unsigned int magicBinary1, unsigned int magicBinary2,
					  unsigned int magicASCII1, unsigned int magicASCII2, bool isBinary,
					  unsigned int majorVersion, unsigned int minorVersion);
	/*! Reads a header of either kind (the binary magic is tested first). Throws on a wrong magic
		number, a header that ends early and a version text that is not " ddd.ddd" within 0..255. */
	static void read(std::istream & in, unsigned int magicBinary1, unsigned int magicBinary2,
					 unsigned int magicASCII1, unsigned int magicASCII2, bool & isBinary,
					 unsigned int & majorVersion, unsigned int & minorVersion);

	/*! Sends "Compiled with GCC", padded to 49 characters, the compiler's version and a line
		end as a progress message of level 1 to the current message handler. */
	static void printCompilerVersion();

	/*! Parses "major.minor[.anything]"; false when there are fewer than two pieces or one is not
		a number (a major read before the failure stays set). Never throws. */
	static bool extractMajorMinorVersionNumber(const std::string & versionString,
											   unsigned int & major, unsigned int & minor);
	/*! Parses "major.minor.patch[.anything]"; patch is set only on success. Never throws. */
	static bool extractMajorMinorPatchVersionNumber(const std::string & versionString,
													unsigned int & major, unsigned int & minor,
													unsigned int & patch);
	/*! True when lhs is an older major.minor.patch version than rhs; throws when either text
		is not of that form. */
	static bool lesserVersionNumber(const std::string & lhs, const std::string & rhs);
};

} // namespace ZEB

#endif // ZEB_VersionH
