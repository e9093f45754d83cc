#ifndef ZEB_ConversionsH
#define ZEB_ConversionsH

#include <charconv>
#include <ios>
#include <locale>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace ZEB {

/*! Text to value; throws ZEB::Exception "Could not convert '...' into value." (or "into bool.").
	Instances:
	- double: fast_float syntax with '.' as decimal point, locale-independent; no leading blank
	  or '+'; trailing characters after the longest valid number are ignored; "1.#QNAN" is NaN.
	- int, unsigned int: formatted stream extraction (leading white space skipped, rest ignored).
	- bool: exactly "true"/"1" or "false"/"0".
*/
template <typename T>
T string2val(const std::string & text);

template <> double string2val<double>(const std::string & text);
template <> int string2val<int>(const std::string & text);
template <> unsigned int string2val<unsigned int>(const std::string & text);
template <> bool string2val<bool>(const std::string & text);

/*! As string2val<double>, but returns def instead of throwing. */
template <typename T>
T string2valDef(const std::string & text, const T & def);

template <> double string2valDef<double>(const std::string & text, const double & def);

/*! Value to text with the stream defaults (6 significant digits for doubles; NaN as "1.#QNAN"). */
template <typename T>
std::string val2string(T value) {
	// Whole numbers as the stream writes them, without a stream: messages of every call of a
	// host's solver are made of them while the host listens.
	if constexpr (std::is_same_v<T, int> || std::is_same_v<T, unsigned int> || std::is_same_v<T, long>
				  || std::is_same_v<T, unsigned long> || std::is_same_v<T, long long>
				  || std::is_same_v<T, unsigned long long>)
	{
		char text[24];
		return std::string(text, std::to_chars(text, text + sizeof(text), value).ptr);
	}
	else {
		// no digit grouping whatever the global locale
		std::stringstream strm;
		strm.imbue(std::locale::classic());
		strm << value;
		return strm.str();
	}
}

template <> std::string val2string<double>(double value);

/*! value written with the given precision, the flags ORed into the defaults, and the field width
	(0: none). */
std::string format_double(double value, int precision, std::ios_base::fmtflags flags, int width);

/*! Parses the numbers of a text separated by blanks, tabs, line feeds and carriage returns into
	values (cleared first). Infinity and NaN texts are not numbers here. Throws at the first token
	without a number at its start; the values before it stay in the vector. */
void string2valueVector(const std::string & text, std::vector<double> & values);

/*! A hexadecimal digit as 0..15; throws on any other character. */
short HexToShort(char c);
/*! Two hexadecimal digits as 0..255; the high digit is converted first. */
short Hex2DToShort(char high, char low);

/*! The number between the first '(' and the first ')' of text, as in "Wall (12)"; def when
	there is none or it is not a number. */
unsigned int extractFromParenthesis(const std::string & text, unsigned int def);
/*! The number pair "(id,value)" or the single number "(id)" of text; the value stays def's for
	a single number. def when the parentheses or a number are missing or malformed. */
std::pair<unsigned int, double> extractFromParenthesis(const std::string & text,
													   std::pair<unsigned int, double> def);

/*! Reads "major.minor.patch"; missing parts are 0. Throws "Cannot parse version string '...'". */
void decode_version_number(const std::string & text, unsigned int & major, unsigned int & minor,
						   unsigned int & patch);

} // namespace ZEB

#endif // ZEB_ConversionsH
