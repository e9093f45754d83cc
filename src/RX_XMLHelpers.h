#ifndef RX_XMLHelpersH
#define RX_XMLHelpersH

#include <cstddef>
#include <limits>
#include <string>

#include <QString>

#include "ZEB_Constants.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace ZEB {
	class LinearSpline;
	class Unit;
}

/*! Small shared pieces of every element reader and writer of the project and database files.

	Readers work at the reader's current position and return at once, touching nothing, when the
	reader already has an error. Problems that belong to the document become reader errors
	(QXmlStreamReader::raiseError), so that every caller's loop ends and the outermost reader
	reports the text; only the spline reader throws (ZEB::Exception from ZEB::LinearSpline).
*/
namespace RX {

struct KnownNames;

/*! Consumes the element the reader stands on (a start element) with everything inside; the
	reader is left on its end element, so the caller's loop goes on with the next sibling. */
void readUnknownElement(QXmlStreamReader & reader);
/*! Consumes tokens up to the end element of the current level, skipping nested elements; for
	readers that take everything from attributes. */
void readUntilEndElement(QXmlStreamReader & reader);
/*! As above, warning of each skipped element as unknown in names' class (RX_KnownNames.h): an
	element that has no children may still have been given one by mistake. */
void readUntilEndElement(QXmlStreamReader & reader, const KnownNames & names, const char * location);
/*! Moves on to the next child start element of the current element and returns true; returns
	false at the current element's end (the reader then stands on its end element), at the end of
	the document or on an error. Every element reader visits its children with
	while (readChildElement(reader)), and each child it visits must be consumed whole (read,
	readTextElement or readUnknownElement), so that the next end element is its parent's. */
bool readChildElement(QXmlStreamReader & reader);
/*! The text of the element the reader stands on (a start element); a child element is a reader
	error. The reader is left on the end element. An element of text has no attributes: each one
	it has is warned of as unknown (RX_KnownNames.h). */
QString readTextElement(QXmlStreamReader & reader);

/*! The index of text (blanks around it allowed) among the n keywords; any other text, also one
	that differs only in case, throws ZEB::Exception "Invalid value '<text>' in <where> of <owner>,
	expected one of: <keywords>." at location. where is "element '<tag>'" or "attribute '<name>'". */
std::size_t keywordIndex(const QString & text, const char * const * keywords, std::size_t n, const QString & where,
						 const std::string & owner, const char * location);
/*! "true" or "false" (blanks around it allowed) in the text of element tag; other text throws as
	keywordIndex. */
bool booleanValue(const QString & text, const QString & tag, const std::string & owner, const char * location);
/*! booleanValue of the text of the element the reader stands on (a start element); the reader is
	left on its end element. */
bool readBoolElement(QXmlStreamReader & reader, const std::string & owner, const char * location);

/*! The head of a sub-model's element, the reader on its start element: name = its "name"
	attribute; returns the index of the keyword (of n) that its "modelType" attribute holds, n when
	it has none. Another text throws as keywordIndex. */
std::size_t readModelAttributes(const QXmlStreamReader & reader, QString & name, const char * const * keywords,
								std::size_t n, const char * location);
/*! As above, setting type to the keyword's enumerator; a missing attribute leaves it. */
template <typename Enum, std::size_t N>
void readModelAttributes(const QXmlStreamReader & reader, QString & name, const char * const (&keywords)[N],
						 Enum & type, const char * location)
{
	const std::size_t i = readModelAttributes(reader, name, keywords, N, location);
	if (i < N)
		type = static_cast<Enum>(i);
}
/*! Starts a sub-model's element tag with its "name" attribute. */
void writeModelStart(QXmlStreamWriter & writer, const char * tag, const QString & name);
/*! Starts a sub-model's element tag with its "name" and "modelType" attributes; keyword is null
	for a type cast in from outside the enumeration, which writes an empty type rather than read
	past the keywords. */
void writeModelStart(QXmlStreamWriter & writer, const char * tag, const QString & name, const char * keyword);
/*! As above with the type's keyword. */
template <typename Enum, std::size_t N>
void writeModelStart(QXmlStreamWriter & writer, const char * tag, const QString & name,
					 const char * const (&keywords)[N], Enum type)
{
	const std::size_t i = static_cast<std::size_t>(type);
	Q_ASSERT(i < N);
	writeModelStart(writer, tag, name, i < N ? keywords[i] : nullptr);
}

/*! The values a real quantity of the files may take. */
struct ValueRange {
	/*! Lowest value, -infinity for none; included when m_lowestIncluded. */
	double			m_lowest;
	bool			m_lowestIncluded;
	/*! Highest value (included), +infinity for none. */
	double			m_highest;
	/*! What a refusal says is expected, e.g. "a number of 0 or more". */
	const char *	m_expected;

	/*! True for a finite v in the range, also in the form the writers give it (6 significant
		digits): a file written from accepted values must be accepted again. */
	bool contains(double v) const;
	/*! What a refusal of v says is expected: m_expected, and for a value beyond an open bound
		only in the writers' form, that this form counts. */
	std::string expected(double v) const;
};

/*! Any finite number. */
inline constexpr ValueRange ANY_NUMBER{-std::numeric_limits<double>::infinity(), true,
									   std::numeric_limits<double>::infinity(), "a finite number"};
/*! Areas, lengths, masses, heat capacities, conductivities, powers, loads, air changes, flow rates
	and counts: no room has less than none. */
inline constexpr ValueRange NOT_NEGATIVE{0, true, std::numeric_limits<double>::infinity(), "a number of 0 or more"};
/*! Fractions: shares, factors f, g and z, coefficients, degrees of closure. */
inline constexpr ValueRange FRACTION{0, true, 1, "a number from 0 to 1"};
/*! Percentages, such as relative humidities. */
inline constexpr ValueRange PERCENT{0, true, 100, "a number from 0 to 100"};
/*! Temperatures [C]: above absolute zero. */
inline constexpr ValueRange CELSIUS{-ZEB::KELVIN_OFFSET, false, std::numeric_limits<double>::infinity(),
									"a temperature above -273.15 C"};

/*! True for text that reads as a number but no finite one: "nan", "inf" (signed, any case) or
	a number beyond the range of double. */
bool isNonFiniteNumber(const QString & text);

/*! The finite real number in text (blanks around it allowed) within range. Text that is no
	number (empty, "20,5", "20 C") or a number that is not finite throws ZEB::Exception "Invalid
	value '<text>' in element '<tag>' of <owner>, expected a finite number." at location, a number
	outside the range the same with what the range expects: no quantity of these files may be
	any of them. */
double finiteNumber(const QString & text, const QString & tag, const std::string & owner, const char * location,
					const ValueRange & range = ANY_NUMBER);

/*! finiteNumber of the text of the element the reader stands on (a start element); the reader
	is left on its end element. */
double readFiniteRealElement(QXmlStreamReader & reader, const std::string & owner, const char * location,
							 const ValueRange & range = ANY_NUMBER);

/*! The unsigned decimal integer (an id, a day, a choice) up to largest in text (blanks around it
	allowed) of element tag; other text throws as finiteNumber, with "expected a whole number of 0
	or more." (or "... from 0 to <largest>."). */
unsigned int unsignedValue(const QString & text, const QString & tag, const std::string & owner,
						   const char * location, unsigned int largest = std::numeric_limits<unsigned int>::max());

/*! unsignedValue of the text of the element the reader stands on (a start element); the reader
	is left on its end element. */
unsigned int readUnsignedElement(QXmlStreamReader & reader, const std::string & owner, const char * location,
								 unsigned int largest = std::numeric_limits<unsigned int>::max());

/*! As readUnsignedElement for a signed decimal integer ("expected a whole number."). */
int readIntElement(QXmlStreamReader & reader, const std::string & owner, const char * location);

/*! Throws as finiteNumber for the first word of a list of numbers (white-space separated) that
	is no finite number within range; tag names the list's element. An empty list is none. */
void checkFiniteNumberList(const QString & text, const QString & tag, const std::string & owner,
						   const char * location, const ValueRange & range = ANY_NUMBER);

/*! Real numbers in files: general notation with 6 significant digits, '.' as decimal point
	whatever the locale of the host. */
QString xmlDouble(double value);

/*! <Double name="name">value</Double> */
void writeNamedDouble(QXmlStreamWriter & writer, const QString & name, double value);
/*! <Integer name="name">value</Integer> */
void writeNamedInteger(QXmlStreamWriter & writer, const QString & name, int value);
/*! <Bool name="name">true|false</Bool> */
void writeNamedBool(QXmlStreamWriter & writer, const QString & name, bool value);
/*! <String name="name">value</String> */
void writeNamedString(QXmlStreamWriter & writer, const QString & name, const QString & value);

/*! Reads a real attribute of the current element. A missing value leaves value unchanged and,
	unless optional, raises "Missing attribute '<name>' of <element's tag>, expected <what the
	range expects>."; one that is there must be a finite number within range, else value stays
	and "Invalid value '<text>' in attribute '<name>' of <element's tag>, expected <a finite
	number, or what the range expects>." is raised. */
void readDoubleAttribute(QXmlStreamReader & reader, const QString & name, double & value, bool optional,
						 const ValueRange & range = ANY_NUMBER);
/*! The unsigned decimal attribute name (an id, a kind's number) of the current element: 0 when it
	is missing; text that is no such number gives 0 and raises the refusal of readDoubleAttribute
	("expected a whole number of 0 or more"). */
unsigned int readIdAttribute(QXmlStreamReader & reader, const char * name);
/*! As readDoubleAttribute for a decimal integer, but an unreadable value stores 0. */
void readIntAttribute(QXmlStreamReader & reader, const QString & name, int & value, bool optional);
/*! Reads "0" or "1" (any decimal integer; non-zero is true); unreadable leaves value unchanged. */
void readBoolAttribute(QXmlStreamReader & reader, const QString & name, bool & value, bool optional);

/*! Reads a named value element (its tag is not checked); an unreadable or non-finite number gives 0 and
	raises "Invalid value '...' for Double element '...'.". */
void readNamedDouble(QXmlStreamReader & reader, QString & name, double & value);
/*! As readNamedDouble, for "Integer" elements. */
void readNamedInteger(QXmlStreamReader & reader, QString & name, int & value);
void readNamedString(QXmlStreamReader & reader, QString & name, QString & value);

/*! Writes <LinearSpline name=".."><X unit="..">x0 x1 ..</X><Y unit="..">y0 y1 ..</Y></LinearSpline>;
	nothing for a spline without values. The spline must be valid. */
void writeNamedZEBSplineData(QXmlStreamWriter & writer, const QString & name, const QString & xUnit,
							 const QString & yUnit, const ZEB::LinearSpline & spline);
/*! Reads a "LinearSpline" element (reader on its start element, tag not checked) into spline.
	Unknown children and attributes are warned of. Throws as finiteNumber for a value that is no
	finite number, or a y value outside yRange (in the file's unit); missing, empty, mismatched or
	non-increasing values throw the exception of ZEB::LinearSpline::setValues with the spline's
	name, its counts and what it needs added; name and units keep what was read. */
void readNamedZEBSplineData(QXmlStreamReader & reader, QString & name, QString & xUnit,
							QString & yUnit, ZEB::LinearSpline & spline, const ValueRange & yRange = ANY_NUMBER);
/*! The unit named text of the axis ("x" or "y") of spline, which must convert to baseUnit; an
	unknown unit or one of another base throws ZEB::Exception "Invalid <axis> unit '<text>' in
	linear spline '<spline>', expected <expected> or convertible unit." at location (for an
	unknown one on top of the unit list's own words). */
ZEB::Unit splineUnit(const QString & text, const char * axis, const QString & spline, const char * baseUnit,
					 const char * expected, const char * location);
/*! The warning "Found unknown element 'LinearSpline' named '<name>' in <ownerTag>." (level 1)
	at location, for a spline its owner drops. */
void warnUnknownSpline(const QString & name, const std::string & ownerTag, const char * location);

} // namespace RX

#endif // RX_XMLHelpersH
