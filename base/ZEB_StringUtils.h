#ifndef ZEB_StringUtilsH
#define ZEB_StringUtilsH

#include <cstddef>
#include <string>

namespace ZEB {

/*! Modes of replace_string(). */
enum StringReplaceKind {
	REPLACE_NONE	= 0,	///< The text is returned unchanged.
	REPLACE_ALL		= 1,	///< Every occurrence, left to right; inserted text is not searched again.
	REPLACE_FIRST	= 2,
	REPLACE_LAST	= 3
};

/*! Removes the characters of trimSet from both ends of text. */
void trim(std::string & text, const std::string & trimSet = " \t\r");
/*! Copy of text without the characters of trimSet at both ends. */
std::string trim_copy(const std::string & text, const std::string & trimSet = " \t\r");

/*! Strips one leading '[', one trailing ']' and one '=' directly before that bracket or at the
	very end: "[abc]", "[abc=]" and "abc=" all give "abc". Blanks are kept. */
std::string & trim_keyword(std::string & text);
/*! Cuts the line at its first ';'. */
std::string & remove_comment(std::string & line);
/*! Splits "keyword = value" at the first '=' (both trimmed); without '=' the value is the whole
	line, the keyword is empty and the result false. */
bool extract_keyword(const std::string & line, std::string & keyword, std::string & value);

/*! Equality ignoring case (single-byte case mapping). */
bool string_nocase_compare(const std::string & lhs, const std::string & rhs);
/*! Order ignoring case; bytes from 0x80 on order before all ASCII characters and before the end. */
bool string_nocase_less(const std::string & lhs, const std::string & rhs);
/*! First position of search in text ignoring case; npos when none or when text is empty. */
std::string::size_type string_nocase_find(const std::string & text, const std::string & search);

/*! text with search replaced by replacement as kind says; an empty search changes nothing. */
std::string replace_string(const std::string & text, const std::string & search,
						   const std::string & replacement, StringReplaceKind kind);
/*! text without any of the characters in chars. */
std::string delete_chars(const std::string & text, const std::string & chars);
std::string tolower_string(std::string text);
std::string toupper_string(std::string text);

/*! Texts longer than maxLen + 3 become exactly maxLen characters: head, "...", tail. */
std::string shorten_string(const std::string & text, unsigned int maxLen);
/*! Returns the part before the first c and removes it and c from text; without c returns ""
	and leaves text alone. */
std::string read_until_char_cut(std::string & text, char c);
/*! Number of runs of non-white-space characters. */
unsigned int count_tokens(const std::string & text);
/*! Bytes of the UTF-8 character that starts at text[i] (i < text.size()), well-formed or not: its
	lead byte and the continuation bytes that follow it, 1 for any other byte. For cutting texts
	at character boundaries. */
std::size_t utf8_character_length(const std::string & text, std::size_t i);
/*! Byte length of the well-formed UTF-8 character at text[i] (i < text.size()), its code point
	in codePoint; 0 for a stray, cut-off or overlong sequence, a surrogate or beyond U+10FFFF. */
std::size_t utf8_character(const std::string & text, std::size_t i, unsigned long & codePoint);
/*! True when text is well-formed UTF-8 (no overlong forms, surrogates, U+FFFE/U+FFFF or beyond U+10FFFF). */
bool is_valid_utf8_string(const std::string & text);
/*! Escapes '&', '"', '<', '>' as entities and line feeds as "<br>". */
std::string convertXml2Html(const std::string & text);

/*! Edit distance of two texts, byte by byte and case-sensitive: insertions, deletions and
	substitutions cost 1; a swap of two neighbouring characters costs 1 where both lie at the
	second position or later of both texts ("abcd"/"abdc" is 1, "ab"/"ba" is 2). */
unsigned int levenshtein_distance(const std::string & a, const std::string & b);

/*! The smallest edit distance of the shorter text to any equally long piece of the longer one;
	0 when one text is empty. */
unsigned int levenshtein_distance_min(const std::string & a, const std::string & b);

/*! Character classes of isInCharType() and random_string(), combined as a bit set. */
enum CharType {
	CT_LOWER_CASE	= 1,	///< 'a'..'z'
	CT_UPPER_CASE	= 2,	///< 'A'..'Z'
	CT_DIGITS		= 4,	///< '0'..'9'
	CT_PUNCTUATION	= 8		///< printable ASCII (33..126) that is neither letter nor digit
};

/*! True when c belongs to one of the classes set in classes. */
bool isInCharType(char c, unsigned int classes);

/*! length characters drawn from the classes, with an engine of its own per thread (seeded once
	per thread from the system's entropy source; the C library's rand() and its seed are never
	touched). Only codes 33..122 are drawn, so '{', '|', '}' and '~' never occur. Empty when
	length or classes is 0; classes of 16 or more give characters of code 0. Safe to call from
	several threads. */
std::string random_string(std::size_t length, unsigned int classes);

} // namespace ZEB

#endif // ZEB_StringUtilsH
