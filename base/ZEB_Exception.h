#ifndef ZEB_ExceptionH
#define ZEB_ExceptionH

#include <exception>
#include <list>
#include <string>

#include "ZEB_FormatString.h"

namespace ZEB {

/*! The one exception type of the system, carrying a stack of (message, location) entries.

	A catch site that adds context throws a new exception built from the caught one: it holds
	all the caught entries plus its own, so the top-level catch site can write the whole chain,
	innermost cause first. Locations name the reporting function in square brackets, as in
	"[CSVReader::read]"; they may be empty. Exceptions are values: thrown by value, caught by
	reference, copied whole.
*/
class Exception : public std::exception {
public:
	/*! One stack entry. */
	struct MsgInfo {
		std::string m_what;		///< The complete, formatted message text.
		std::string m_location;	///< The reporting function, e.g. "[InstanceData::init]"; may be empty.
	};

	Exception() = default;
	Exception(const std::string & what, const std::string & loc);
	Exception(const FormatString & what, const std::string & loc);
	/*! Two entries: the standard exception's text, then what; both at loc. */
	Exception(const std::exception & ex, const FormatString & what, const std::string & loc);
	/*! All entries of old, oldest first, then (what, loc). */
	Exception(const Exception & old, const FormatString & what, const std::string & loc);
	/*! All entries of old, oldest first, then (what, loc). */
	Exception(const Exception & old, const std::string & what, const std::string & loc);

	~Exception() noexcept override = default;

	/*! Message of the newest entry; "" for an empty stack. */
	const char * what() const noexcept override;
	/*! Location of the newest entry; "" for an empty stack. */
	const char * location() const;
	/*! All message texts, oldest first, joined by " \n". */
	std::string msgStack() const;
	/*! Sends every entry, oldest first, as an error message of level 1 to the current message handler. */
	void writeMsgStackToError() const;

private:
	/*! Oldest entry at the front; entries are only appended while constructing. */
	std::list<MsgInfo>	m_msgStack;
};

} // namespace ZEB

#endif // ZEB_ExceptionH
