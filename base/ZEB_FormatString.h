#ifndef ZEB_FormatStringH
#define ZEB_FormatStringH

#include <ios>
#include <string>
#include <vector>

namespace ZEB {

class MultiLanguageString;
class Path;
class Unit;

/*! A message text with numbered placeholders "%1", "%2", ... filled by successive arg() calls.

	The text is parsed once; each argument is rendered to text when it is appended, so str()
	only concatenates. Placeholders and arguments meet by number when str() runs: a placeholder
	without argument stays visible ("%n"), surplus arguments are ignored. "%%" is a literal '%'.
*/
class FormatString {
public:
	/*! One parsed piece: a literal text (number 0), or a placeholder (empty text, its number). */
	struct Token {
		std::string		m_text;
		unsigned int	m_number = 0;
	};

	FormatString() = default;
	/*! Parses text; throws ZEB::Exception when a placeholder number exceeds a 32-bit int. */
	FormatString(const std::string & text);
	/*! Parses the English text ("" when there is none). */
	explicit FormatString(const MultiLanguageString & text);

	/*! Parses text and appends its tokens; existing arguments stay. */
	FormatString & operator+=(const std::string & text);
	/*! Replaces tokens and arguments by the parsed text. */
	void set(const std::string & text);
	/*! Removes all tokens and arguments. */
	void clear();

	/*! The text with every placeholder that has an argument replaced. */
	std::string str() const;

	std::string operator+(const std::string & s) const { return str() + s; }

	/*! Appends s; with fieldWidth > 0 padded with blanks (after s when adjust is left, else before). */
	FormatString & arg(const std::string & s, int fieldWidth = 0,
					   std::ios_base::fmtflags adjust = std::ios_base::right);
	/*! Format 'g' gives the general text (NaN as "1.#QNAN") and ignores the other arguments.
		Any other format applies precision (negative: 6), width and fill: 'f' in fixed, 'e' and
		'E' in scientific notation (lower-case exponent), other characters in general notation. */
	FormatString & arg(double value, int fieldWidth = 0, char format = 'g', int precision = -1,
					   const char & fillChar = ' ');
	FormatString & arg(unsigned int value, int fieldWidth = 0);
	FormatString & arg(unsigned long value, int fieldWidth = 0);
	FormatString & arg(int value, int fieldWidth = 0);
	/*! Appends the path's text. */
	FormatString & arg(const Path & path);
	/*! Appends the English text ("" when there is none), padded with blanks before it. */
	FormatString & arg(const MultiLanguageString & text, int fieldWidth = 0);
	/*! Appends the unit's name; defined with the units (quantities library). */
	FormatString & arg(const Unit & unit);
	/*! As the std::string form; keeps literals unambiguous beside the path form. */
	FormatString & arg(const char * s, int fieldWidth = 0, std::ios_base::fmtflags adjust = std::ios_base::right) {
		return arg(std::string(s), fieldWidth, adjust);
	}

private:
	std::vector<Token>			m_tokens;
	std::vector<std::string>	m_args;
};

std::string operator+(const std::string & s, const FormatString & fmt);
std::ostream & operator<<(std::ostream & out, const FormatString & fmt);

} // namespace ZEB

#endif // ZEB_FormatStringH
