#include "ZEB_Conversions.h"

#include <cmath>
#include <limits>
#include <locale>
#include <list>

#include <fast_float/fast_float.h>

#include "ZEB_Exception.h"
#include "ZEB_Tokenizer.h"

namespace ZEB {

namespace {

const char * const NAN_TEXT = "1.#QNAN";

// The one parser of decimal numbers: fast_float, general format, '.' whatever the locale.
bool parseDouble(const char * first, const char * last, double & value) {
	const fast_float::parse_options options(fast_float::chars_format::general, '.');
	fast_float::from_chars_result res = fast_float::from_chars_advanced(first, last, value, options);
	return res.ec == std::errc();
}

template <typename T>
T streamExtract(const std::string & text) {
	std::stringstream strm(text);
	strm.imbue(std::locale::classic());
	T value{};
	strm >> value;
	if (strm.fail())
		throw Exception(FormatString("Could not convert '%1' into value.").arg(text), "[string2val]");
	return value;
}

} // namespace


template <>
double string2val<double>(const std::string & text) {
	if (text == NAN_TEXT)
		return std::numeric_limits<double>::quiet_NaN();
	double value = 0;
	if (!parseDouble(text.data(), text.data() + text.size(), value))
		throw Exception(FormatString("Could not convert '%1' into value.").arg(text), "[ZEB::string2val<double>]");
	return value;
}


template <>
double string2valDef<double>(const std::string & text, const double & def) {
	if (text == NAN_TEXT)
		return std::numeric_limits<double>::quiet_NaN();
	double value = 0;
	if (!parseDouble(text.data(), text.data() + text.size(), value))
		return def;
	return value;
}


template <>
int string2val<int>(const std::string & text) {
	return streamExtract<int>(text);
}


template <>
unsigned int string2val<unsigned int>(const std::string & text) {
	return streamExtract<unsigned int>(text);
}


template <>
bool string2val<bool>(const std::string & text) {
	if (text == "true" || text == "1")
		return true;
	if (text == "false" || text == "0")
		return false;
	throw Exception(FormatString("Could not convert '%1' into bool.").arg(text), "[ZEB::string2val<bool>]");
}


template <>
std::string val2string<double>(double value) {
	if (std::isnan(value))
		return NAN_TEXT;
	// the stream's text (6 significant digits, general notation, '.'), without a stream
	char text[32];
	return std::string(text, std::to_chars(text, text + sizeof(text), value, std::chars_format::general, 6).ptr);
}


std::string format_double(double value, int precision, std::ios_base::fmtflags flags, int width) {
	std::stringstream strm;
	strm.imbue(std::locale::classic());
	strm.setf(flags);
	strm.precision(precision);
	if (width != 0)
		strm.width(width);
	strm << value;
	return strm.str();
}


void string2valueVector(const std::string & text, std::vector<double> & values) {
	values.clear();
	const char * const begin = text.data();
	const char * const end = begin + text.size();
	auto isSeparator = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
	const char * p = begin;
	while (p != end) {
		if (isSeparator(*p)) {
			++p;
			continue;
		}
		const char * tokenEnd = p;
		while (tokenEnd != end && !isSeparator(*tokenEnd))
			++tokenEnd;
		// infinity and NaN texts are no numbers in lists: a number starts with a digit or '.'
		const char * q = (*p == '-') ? p + 1 : p;
		double value = 0;
		bool ok = q != tokenEnd && ((*q >= '0' && *q <= '9') || *q == '.') && parseDouble(p, tokenEnd, value);
		if (!ok)
			throw Exception(FormatString("'%1' at character pos #%2 is not a valid number.")
							.arg(std::string(p, tokenEnd)).arg(static_cast<unsigned long>(p - begin)),
							"[ZEB::string2valueVector]");
		values.push_back(value);
		p = tokenEnd;
	}
}


short HexToShort(char c) {
	if (c >= 'A' && c <= 'F')
		return static_cast<short>(c - 'A' + 10);
	if (c >= 'a' && c <= 'f')
		return static_cast<short>(c - 'a' + 10);
	if (c >= '0' && c <= '9')
		return static_cast<short>(c - '0');
	throw Exception("Given char does not name a hex!", "[HexToShort]");
}


short Hex2DToShort(char high, char low) {
	short h = HexToShort(high);
	return static_cast<short>(16 * h + HexToShort(low));
}


namespace {

// The text between the first '(' and the first ')', false when they are missing or out of order.
bool textInParenthesis(const std::string & text, std::string & inner) {
	std::string::size_type open = text.find('(');
	std::string::size_type close = text.find(')');
	if (open == std::string::npos || close == std::string::npos || close < open)
		return false;
	inner = text.substr(open + 1, close - open - 1);
	return true;
}

} // namespace


unsigned int extractFromParenthesis(const std::string & text, unsigned int def) {
	std::string inner;
	if (!textInParenthesis(text, inner))
		return def;
	try {
		return string2val<unsigned int>(inner);
	}
	catch (Exception &) {
		return def;
	}
}


std::pair<unsigned int, double> extractFromParenthesis(const std::string & text,
													   std::pair<unsigned int, double> def)
{
	std::string inner;
	if (!textInParenthesis(text, inner))
		return def;
	std::list<std::string> pieces;
	explode(inner, pieces, ',', false);
	try {
		std::pair<unsigned int, double> result = def;
		if (pieces.size() == 1) {
			result.first = string2val<unsigned int>(pieces.front());
		}
		else if (pieces.size() == 2) {
			result.second = string2val<double>(pieces.back());
			result.first = string2val<unsigned int>(pieces.front());
		}
		else
			return def;
		return result;
	}
	catch (Exception &) {
		return def;
	}
}


void decode_version_number(const std::string & text, unsigned int & major, unsigned int & minor,
						   unsigned int & patch)
{
	std::vector<std::string> pieces;
	explode(text, pieces, '.', true);
	try {
		patch = pieces.size() > 2 ? string2val<unsigned int>(pieces[2]) : 0;
		minor = pieces.size() > 1 ? string2val<unsigned int>(pieces[1]) : 0;
		major = string2val<unsigned int>(pieces[0]);
	}
	catch (Exception &) {
		throw Exception(FormatString("Cannot parse version string '%1'").arg(text), "[decode_version_number]");
	}
}

} // namespace ZEB
