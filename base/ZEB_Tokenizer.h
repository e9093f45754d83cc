#ifndef ZEB_TokenizerH
#define ZEB_TokenizerH

#include <list>
#include <string>
#include <vector>

namespace ZEB {

// The tokenisers differ on purpose in which empty tokens they keep and what they trim; callers
// rely on each one's rules. Every function clears its output first.

/*! Flags of the delimiter-set explode(). */
enum ExplodeFlags {
	EXPLODE_TRIM_TOKENS			= 1,	///< Trim tokens of blank, tab, carriage return and line feed.
	EXPLODE_KEEP_EMPTY_TOKENS	= 2		///< Keep empty tokens.
};

/*! Splits at delimiter; runs of delimiters give no empty tokens, but a token that trimming
	empties is kept. Never returns less than one token: an empty text or one of delimiters
	only gives one empty token. trimTokens trims blank, tab and carriage return. */
unsigned int explode(const std::string & text, std::list<std::string> & tokens, char delimiter, bool trimTokens);
/*! As the list form. */
unsigned int explode(const std::string & text, std::vector<std::string> & tokens, char delimiter, bool trimTokens);

/*! Splits at any character of delimiters, with ExplodeFlags; without EXPLODE_KEEP_EMPTY_TOKENS an
	empty text gives no token. */
unsigned int explode(const std::string & text, std::vector<std::string> & tokens,
					 const std::string & delimiters, int flags);

/*! Splits at delimiter without trimming and without empty tokens, returning at most maxTokens
	tokens (-1: no limit); the text after the last returned token is dropped. */
std::vector<std::string> explode(const std::string & text, char delimiter, int maxTokens);

/*! Number of delimiters the separator-record explode() processes; also its record's length. */
const unsigned int EXPLODE_MAX_SEPARATORS = 500;

/*! Splits at any character of delimiters, keeping empty tokens, and records in separators
	(EXPLODE_MAX_SEPARATORS characters, zero-filled) the delimiter after each token: a blank
	after the final token, zero where nothing followed. Stops at the 500th delimiter; the rest
	of the text is ignored. Never returns less than one token. */
unsigned int explode(const std::string & text, std::list<std::string> & tokens, std::string & separators,
					 const std::string & delimiters);

/*! Splits once, at the first delimiter: one token (the whole text) or two. */
unsigned int explode_in2(const std::string & text, std::vector<std::string> & tokens, char delimiter);
/*! Splits once, at the first of any character of delimiters. */
unsigned int explode_in2(const std::string & text, std::vector<std::string> & tokens, const std::string & delimiters);

/*! Comma-separated fields; commas inside double quotes do not split, the quotes stay in the
	field. Empty fields are kept except a last one. */
void explode_csv(const std::string & text, std::list<std::string> & fields);
void explode_csv(const std::string & text, std::vector<std::string> & fields);

/*! Wraps text at blanks and line feeds into lines of at most maxLineLength characters where
	the words allow; each word keeps the blank after it, a line feed ends a line, and a word
	longer than the limit gets a line of its own. The last line is always appended. */
void break_string(const std::string & text, std::vector<std::string> & lines, int maxLineLength);

/*! Wraps a message that may start with a bracketed type, as in "[Warning]  disk full": the type
	(bracket and following blanks) goes to type, the rest is wrapped into lines; with prefixLines
	every non-empty line is prefixed by the type and two blanks. */
void parse_msg_string(const std::string & message, std::string & type, std::vector<std::string> & lines,
					  int maxLineLength, bool prefixLines);

} // namespace ZEB

#endif // ZEB_TokenizerH
