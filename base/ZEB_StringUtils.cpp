#include "ZEB_StringUtils.h"

#include <cstddef>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <random>
#include <sstream>
#include <utility>
#include <vector>

namespace ZEB {

namespace {

// Single-byte case mapping; the result is compared as a signed 8-bit value.
inline signed char lowerChar(char c) {
	return static_cast<signed char>(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace


void trim(std::string & text, const std::string & trimSet) {
	text = trim_copy(text, trimSet);
}


std::string trim_copy(const std::string & text, const std::string & trimSet) {
	std::string::size_type first = text.find_first_not_of(trimSet);
	if (first == std::string::npos)
		return std::string();
	std::string::size_type last = text.find_last_not_of(trimSet);
	return text.substr(first, last - first + 1);
}


std::string & trim_keyword(std::string & text) {
	if (text.empty())
		return text;
	std::size_t start = text[0] == '[' ? 1 : 0;
	std::size_t end = text.size();				// one past the keyword's last character
	if (text.back() == ']')
		end = (text.size() >= 2 && text[text.size() - 2] == '=') ? text.size() - 2 : text.size() - 1;
	else if (text.back() == '=')
		end = text.size() - 1;
	text = end > start ? text.substr(start, end - start) : std::string();
	return text;
}


std::string & remove_comment(std::string & line) {
	std::string::size_type pos = line.find(';');
	if (pos != std::string::npos)
		line.erase(pos);
	return line;
}


bool extract_keyword(const std::string & line, std::string & keyword, std::string & value) {
	std::string::size_type pos = line.find('=');
	if (pos == std::string::npos) {
		value = line;
		keyword.clear();
		return false;
	}
	keyword = trim_copy(line.substr(0, pos));
	value = trim_copy(line.substr(pos + 1));
	return true;
}


bool string_nocase_compare(const std::string & lhs, const std::string & rhs) {
	if (lhs.size() != rhs.size())
		return false;
	for (std::size_t i = 0; i < lhs.size(); ++i)
		if (lowerChar(lhs[i]) != lowerChar(rhs[i]))
			return false;
	return true;
}


bool string_nocase_less(const std::string & lhs, const std::string & rhs) {
	const std::size_t n = std::min(lhs.size(), rhs.size()) + 1;
	for (std::size_t i = 0; i < n; ++i) {
		signed char l = i < lhs.size() ? lowerChar(lhs[i]) : 0;
		signed char r = i < rhs.size() ? lowerChar(rhs[i]) : 0;
		if (l != r)
			return l < r;
	}
	return rhs.size() > lhs.size();
}


std::string::size_type string_nocase_find(const std::string & text, const std::string & search) {
	if (text.empty())
		return std::string::npos;
	if (search.empty())
		return 0;
	if (search.size() > text.size())
		return std::string::npos;
	for (std::size_t pos = 0; pos + search.size() <= text.size(); ++pos) {
		std::size_t i = 0;
		while (i < search.size() && lowerChar(text[pos + i]) == lowerChar(search[i]))
			++i;
		if (i == search.size())
			return pos;
	}
	return std::string::npos;
}


std::string replace_string(const std::string & text, const std::string & search,
						   const std::string & replacement, StringReplaceKind kind)
{
	// an empty search text matches everywhere: REPLACE_ALL would never end
	if (search == replacement || search.empty())
		return text;
	std::string result = text;
	switch (kind) {
		case REPLACE_ALL : {
			std::string::size_type pos = result.find(search);
			while (pos != std::string::npos) {
				result.replace(pos, search.size(), replacement);
				pos = result.find(search, pos + replacement.size());
			}
		} break;
		case REPLACE_FIRST : {
			std::string::size_type pos = result.find(search);
			if (pos != std::string::npos)
				result.replace(pos, search.size(), replacement);
		} break;
		case REPLACE_LAST : {
			std::string::size_type pos = result.rfind(search);
			if (pos != std::string::npos)
				result.replace(pos, search.size(), replacement);
		} break;
		default :
			break;
	}
	return result;
}


std::string delete_chars(const std::string & text, const std::string & chars) {
	std::string result;
	result.reserve(text.size());
	for (char c : text)
		if (chars.find(c) == std::string::npos)
			result += c;
	return result;
}


std::string tolower_string(std::string text) {
	for (char & c : text)
		c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
	return text;
}


std::string toupper_string(std::string text) {
	for (char & c : text)
		c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
	return text;
}


std::string shorten_string(const std::string & text, unsigned int maxLen) {
	if (text.size() <= static_cast<std::size_t>(maxLen) + 3)
		return text;
	// below 3 no head and tail fit beside the ellipsis: keep the head only
	if (maxLen < 3)
		return text.substr(0, maxLen);
	const double h = (maxLen - 3) / 2.0;
	const std::size_t head = static_cast<std::size_t>(std::ceil(h));
	const std::size_t tail = static_cast<std::size_t>(std::floor(h));
	return text.substr(0, head) + "..." + text.substr(text.size() - tail);
}


std::string read_until_char_cut(std::string & text, char c) {
	std::string::size_type pos = text.find(c);
	if (pos == std::string::npos)
		return std::string();
	std::string front = text.substr(0, pos);
	text.erase(0, pos + 1);
	return front;
}


unsigned int count_tokens(const std::string & text) {
	std::istringstream strm(text);
	std::string word;
	unsigned int count = 0;
	while (strm >> word)
		++count;
	return count;
}


std::size_t utf8_character_length(const std::string & text, std::size_t i) {
	const unsigned char lead = static_cast<unsigned char>(text[i]);
	std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
	length = std::min(length, text.size() - i);
	// a character only takes continuation bytes: a '%' or '/' behind a stray lead byte stays a mark
	for (std::size_t k = 1; k < length; ++k)
		if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
			return k;
	return length;
}


std::size_t utf8_character(const std::string & text, std::size_t i, unsigned long & codePoint) {
	const unsigned char lead = static_cast<unsigned char>(text[i]);
	std::size_t length;
	if (lead < 0x80) {
		codePoint = lead;
		return 1;
	}
	else if ((lead & 0xE0) == 0xC0) {
		length = 2;
		codePoint = lead & 0x1F;
	}
	else if ((lead & 0xF0) == 0xE0) {
		length = 3;
		codePoint = lead & 0x0F;
	}
	else if ((lead & 0xF8) == 0xF0) {
		length = 4;
		codePoint = lead & 0x07;
	}
	else
		return 0;
	// cut off by the end of the text or by a byte that continues nothing
	if (utf8_character_length(text, i) != length)
		return 0;
	for (std::size_t k = 1; k < length; ++k)
		codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
	// overlong forms, surrogates and code points beyond Unicode
	static const unsigned long smallest[] = {0, 0, 0x80, 0x800, 0x10000};
	if (codePoint < smallest[length] || (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
		return 0;
	return length;
}


bool is_valid_utf8_string(const std::string & text) {
	std::size_t i = 0;
	while (i < text.size()) {
		unsigned long codePoint;
		const std::size_t length = utf8_character(text, i, codePoint);
		if (length == 0 || codePoint == 0xFFFE || codePoint == 0xFFFF)
			return false;
		i += length;
	}
	return true;
}


std::string convertXml2Html(const std::string & text) {
	// the ampersand goes first, so that the entities inserted later are not escaped again
	static const char * const substitutionTable[][2] = {
		{"&", "&amp;"},
		{"\"", "&quot;"},
		{"<", "&lt;"},
		{">", "&gt;"},
		{"\n", "<br>"}
	};
	std::string result = text;
	for (const auto & entry : substitutionTable)
		result = replace_string(result, entry[0], entry[1], REPLACE_ALL);
	return result;
}


unsigned int levenshtein_distance(const std::string & a, const std::string & b) {
	const std::size_t m = a.size();
	const std::size_t n = b.size();
	if (m == 0)
		return static_cast<unsigned int>(n);
	if (n == 0)
		return static_cast<unsigned int>(m);
	// rows I-2, I-1 and I of the distance table: memory O(n) instead of O(m*n)
	std::vector<std::size_t> older(n + 1), prev(n + 1), row(n + 1);
	for (std::size_t j = 0; j <= n; ++j)
		prev[j] = j;
	for (std::size_t i = 1; i <= m; ++i) {
		row[0] = i;
		const char ai = a[i - 1];
		for (std::size_t j = 1; j <= n; ++j) {
			const char bj = b[j - 1];
			std::size_t d = std::min(prev[j] + 1, row[j - 1] + 1);
			d = std::min(d, prev[j - 1] + (ai != bj ? 1 : 0));
			if (i >= 3 && j >= 3) {
				const std::size_t swapped = older[j - 2] + 1 + (a[i - 2] != bj ? 1 : 0) + (ai != b[j - 2] ? 1 : 0);
				d = std::min(d, swapped);
			}
			row[j] = d;
		}
		older.swap(prev);
		prev.swap(row);
	}
	return static_cast<unsigned int>(prev[n]);
}


unsigned int levenshtein_distance_min(const std::string & a, const std::string & b) {
	const std::string & longer = a.size() > b.size() ? a : b;
	const std::string & shorter = a.size() > b.size() ? b : a;
	const std::size_t len = shorter.size();
	unsigned int best = levenshtein_distance(longer.substr(0, len), shorter);
	for (std::size_t k = 1; k + len <= longer.size() && best > 0; ++k)
		best = std::min(best, levenshtein_distance(longer.substr(k, len), shorter));
	return best;
}


bool isInCharType(char c, unsigned int classes) {
	const unsigned char u = static_cast<unsigned char>(c);
	if ((classes & CT_LOWER_CASE) && u >= 'a' && u <= 'z')
		return true;
	if ((classes & CT_UPPER_CASE) && u >= 'A' && u <= 'Z')
		return true;
	if ((classes & CT_DIGITS) && u >= '0' && u <= '9')
		return true;
	if (classes & CT_PUNCTUATION) {
		if ((u >= 33 && u <= 47) || (u >= 58 && u <= 64) || (u >= 91 && u <= 96) || (u >= 123 && u <= 126))
			return true;
	}
	return false;
}


std::string random_string(std::size_t length, unsigned int classes) {
	if (length == 0 || classes == 0)
		return std::string();
	// a set without any known class would never accept a candidate
	if (classes > 15)
		return std::string(length, '\0');
	// an engine of our own per thread: the host's C generator and its seed stay untouched
	thread_local std::mt19937 engine(std::random_device{}());
	std::uniform_int_distribution<int> candidates(33, 122);
	std::string text;
	text.reserve(length);
	for (std::size_t i = 0; i < length; ++i) {
		char c;
		do {
			c = static_cast<char>(candidates(engine));
		} while (!isInCharType(c, classes));
		text += c;
	}
	return text;
}

} // namespace ZEB
