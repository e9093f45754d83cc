#ifndef ZEB_MultiLanguageStringH
#define ZEB_MultiLanguageStringH

#include <iosfwd>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace ZEB {

/*! One text in several languages, keyed by two-letter ids, with a language-neutral entry "all".

	Read from a one-line encoded form such as "en:<New Window Type>|de:<Neuer Fenstertyp>";
	"all" holds the encoded text as given (a plain text without ids stays there alone). Written
	back as "DE: <Neuer Fenstertyp> |EN: <New Window Type>".
*/
class MultiLanguageString {
public:
	/*! Only "all", empty. */
	MultiLanguageString();
	explicit MultiLanguageString(const std::string & encoded);

	/*! Parses encoded into the languages; "all" becomes encoded itself. */
	void setEncodedString(const std::string & encoded);
	/*! Parses an encoded text into map (emptied first); anything that is not a list of
		two-letter ids with texts becomes the plain text under "all". */
	static void explodeLangIDString(const std::string & encoded, std::map<std::string, std::string> & map);
	/*! The encoded form of all languages except "all": upper-case ids, ": ", text, joined by " |". */
	static std::string composeLangIDString(const std::map<std::string, std::string> & map);

	/*! The text in lang (case-insensitive); when missing the "all" text if useAll, else "". */
	std::string string(const std::string & lang, bool useAll = true) const;
	/*! The text in lang, else in fallbackLang, else the "all" text. */
	std::string string(const std::string & lang, const std::string & fallbackLang) const;
	std::string string(const std::string & lang, const char * fallbackLang) const {
		return string(lang, std::string(fallbackLang));
	}
	/*! Sets the text in lang; a blank text removes the language. Then rebuilds "all". */
	void setString(const std::string & text, const std::string & lang);
	/*! Stores the encoded form of all languages under "all", unless there is no language. */
	void createAllString();

	/*! "all" is no language. */
	bool hasLanguage(const std::string & lang) const;
	/*! Adds every language id to langs. */
	void languages(std::set<std::string> & langs) const;
	/*! The language ids, sorted. */
	std::vector<std::string> languages() const;
	/*! Only "all", empty. */
	void clear();

	/*! u64 count, then each id and text as binary strings, in id order. */
	void writeBinary(std::ostream & out) const;
	/*! Adds the entries read; throws on a truncated or corrupt stream. */
	void readBinary(std::istream & in);

	/*! Language id of the user interface, "en" at program start; not read by this class. */
	static std::string					m_language;

	/*! Texts by language id, "all" included. */
	std::map<std::string, std::string>	m_texts;
};

/*! Writes the "all" text. */
std::ostream & operator<<(std::ostream & out, const MultiLanguageString & text);
/*! Reads one line as encoded text. */
std::istream & operator>>(std::istream & in, MultiLanguageString & text);

} // namespace ZEB

#endif // ZEB_MultiLanguageStringH
