#ifndef RX_XMLHelpersH
#define RX_XMLHelpersH

#include <string>

#include <QString>

class QXmlStreamReader;
class QXmlStreamWriter;

namespace ZEB {
	class LinearSpline;
}

/*! Small shared pieces of every element reader and writer of the project and database files.

	Readers work at the reader's current position and return at once, touching nothing, when the
	reader already has an error. Problems that belong to the document become reader errors
	(QXmlStreamReader::raiseError), so that every caller's loop ends and the outermost reader
	reports the text; only the spline reader throws (ZEB::Exception from ZEB::LinearSpline).
*/
namespace RX {

/*! Consumes the element the reader stands on (a start element) with everything inside; the
	reader is left on its end element, so the caller's loop goes on with the next sibling. */
void readUnknownElement(QXmlStreamReader & reader);
/*! Consumes tokens up to the end element of the current level, skipping nested elements; for
	readers that take everything from attributes. */
void readUntilEndElement(QXmlStreamReader & reader);
/*! Moves on to the next child start element of the current element and returns true; returns
	false at the current element's end (the reader then stands on its end element), at the end of
	the document or on an error. Children are visited with while (readChildElement(reader)). */
bool readChildElement(QXmlStreamReader & reader);
/*! The text of the element the reader stands on (a start element); a child element is a reader
	error. The reader is left on the end element. */
QString readTextElement(QXmlStreamReader & reader);

/*! True for text that reads as a number but no finite one: "nan", "inf" (signed, any case) or
	a number beyond the range of double. */
bool isNonFiniteNumber(const QString & text);

/*! The real number in the text of the element the reader stands on (a start element); the
	reader is left on its end element. Text that is no number at all reads as 0. A number that
	is not finite throws ZEB::Exception "Invalid value '<text>' in element '<tag>' of <owner>,
	expected a finite number." at location: no quantity of these files may be one. */
double readFiniteRealElement(QXmlStreamReader & reader, const std::string & owner, const char * location);

/*! Throws as readFiniteRealElement for the first word of a list of numbers (white-space
	separated) that is a non-finite number; tag names the list's element. */
void checkFiniteNumberList(const QString & text, const QString & tag, const std::string & owner,
						   const char * location);

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

/*! Reads a real attribute of the current element. An unreadable, missing or non-finite value
	leaves value unchanged and, unless optional, raises "Invalid value for attribute '...'.";
	a non-finite number raises it for an optional attribute too. */
void readDoubleAttribute(QXmlStreamReader & reader, const QString & name, double & value, bool optional);
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
	Unknown children are skipped with a warning. Throws ZEB::Exception from
	ZEB::LinearSpline::setValues for missing, empty, mismatched or non-increasing values; name
	and units keep what was read. */
void readNamedZEBSplineData(QXmlStreamReader & reader, QString & name, QString & xUnit,
							QString & yUnit, ZEB::LinearSpline & spline);

} // namespace RX

#endif // RX_XMLHelpersH
