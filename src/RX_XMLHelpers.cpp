#include "RX_XMLHelpers.h"

#include <cmath>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_LinearSpline.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Unit.h"

#include "RX_KnownNames.h"

namespace RX {

namespace {

QString tr(const char * text) {
	return QCoreApplication::translate("XMLHelpers", text);
}

// The one refusal of a value of these files; where is "element '<tag>'" or "attribute '<name>'".
std::string invalidValue(const QString & text, const QString & where, const std::string & owner,
						 const std::string & expected)
{
	return ZEB::FormatString("Invalid value '%1' in %2 of %3, expected %4.")
		.arg(text.trimmed().toStdString()).arg(where.toStdString()).arg(owner).arg(expected).str();
}

// The refusal of attribute name of the element the reader stands on, with what it should hold.
void raiseInvalidAttribute(QXmlStreamReader & reader, const QString & name, const std::string & expected) {
	// a misspelt name leaves the attribute missing, not wrong
	if (!reader.attributes().hasAttribute(name)) {
		reader.raiseError(QString::fromStdString(ZEB::FormatString("Missing attribute '%1' of %2, expected %3.")
												 .arg(name.toStdString())
												 .arg(reader.name().toString().toStdString()).arg(expected).str()));
		return;
	}
	reader.raiseError(QString::fromStdString(invalidValue(reader.attributes().value(name).toString(),
														  "attribute '" + name + "'",
														  reader.name().toString().toStdString(), expected)));
}

// Numbers one after the other until the first that cannot be read; the rest is ignored.
std::vector<double> leadingNumbers(const QString & text) {
	std::istringstream strm(text.toStdString());
	strm.imbue(std::locale::classic());
	std::vector<double> values;
	double v;
	while (strm >> v)
		values.push_back(v);
	return values;
}

// Values joined by one blank, each as a default stream writes it.
QString numberList(const std::vector<double> & values) {
	std::string text;
	for (std::size_t i = 0; i < values.size(); ++i) {
		if (i != 0)
			text += ' ';
		text += ZEB::val2string(values[i]);
	}
	return QString::fromStdString(text);
}

void writeNamedValue(QXmlStreamWriter & writer, const QString & tag, const QString & name, const QString & text) {
	writer.writeStartElement(tag);
	writer.writeAttribute("name", name);
	writer.writeCharacters(text);
	writer.writeEndElement();
}

} // namespace


void readUnknownElement(QXmlStreamReader & reader) {
	if (reader.hasError())
		return;
	Q_ASSERT(reader.isStartElement());
	// counted, not recursive: a deeply nested document must not exhaust the stack
	unsigned int depth = 1;
	while (!reader.atEnd()) {
		reader.readNext();
		if (reader.isEndElement()) {
			if (--depth == 0)
				return;
		}
		else if (reader.isStartElement())
			++depth;
	}
}


void readUntilEndElement(QXmlStreamReader & reader) {
	if (reader.hasError())
		return;
	while (readChildElement(reader))
		readUnknownElement(reader);
}


void readUntilEndElement(QXmlStreamReader & reader, const KnownNames & names, const char * location) {
	if (reader.hasError())
		return;
	while (readChildElement(reader))
		readUnknownElement(reader, names, location);
}


bool readChildElement(QXmlStreamReader & reader) {
	while (!reader.atEnd()) {
		reader.readNext();
		if (reader.isEndElement())
			return false;
		if (reader.isStartElement())
			return true;
	}
	return false;
}


QString readTextElement(QXmlStreamReader & reader) {
	if (reader.hasError())
		return QString();
	Q_ASSERT(reader.isStartElement());
	static const KnownNames TEXT_ONLY{"", {}, {}};
	// the tag is spelt out only for an element that has attributes to warn of
	if (!reader.attributes().isEmpty())
		warnUnknownAttributes(reader, TEXT_ONLY, reader.name().toString().toStdString(), "[readTextElement]");
	return reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
}


std::size_t readModelAttributes(const QXmlStreamReader & reader, QString & name, const char * const * keywords,
								std::size_t n, const char * location)
{
	Q_ASSERT(reader.isStartElement());
	name = reader.attributes().value("name").toString();
	if (!reader.attributes().hasAttribute("modelType"))
		return n;
	return keywordIndex(reader.attributes().value("modelType").toString(), keywords, n, "attribute 'modelType'",
						reader.name().toString().toStdString(), location);
}


void writeModelStart(QXmlStreamWriter & writer, const char * tag, const QString & name) {
	writer.writeStartElement(tag);
	writer.writeAttribute("name", name);
}


void writeModelStart(QXmlStreamWriter & writer, const char * tag, const QString & name, const char * keyword) {
	writeModelStart(writer, tag, name);
	writer.writeAttribute("modelType", keyword != nullptr ? keyword : "");
}


bool isNonFiniteNumber(const QString & text) {
	// Qt reads "nan" and "inf" as numbers and a number beyond double's range as infinity
	return !std::isfinite(text.toDouble());
}


namespace {

QString inElement(const QString & tag) {
	return "element '" + tag + "'";
}

[[noreturn]] void throwInvalidValue(const QString & text, const QString & where, const std::string & owner,
									const char * location, const std::string & expected)
{
	throw ZEB::Exception(invalidValue(text, where, owner, expected), location);
}

} // namespace


std::size_t keywordIndex(const QString & text, const char * const * keywords, std::size_t n, const QString & where,
						 const std::string & owner, const char * location)
{
	const QString word = text.trimmed();
	std::string expected = "one of:";
	for (std::size_t i = 0; i < n; ++i) {
		if (word == QLatin1String(keywords[i]))
			return i;
		expected += std::string(i == 0 ? " " : ", ") + keywords[i];
	}
	throwInvalidValue(text, where, owner, location, expected);
}


bool booleanValue(const QString & text, const QString & tag, const std::string & owner, const char * location) {
	static const char * const BOOLEANS[] = {"false", "true"};
	return keywordIndex(text, BOOLEANS, 2, inElement(tag), owner, location) == 1;
}


bool readBoolElement(QXmlStreamReader & reader, const std::string & owner, const char * location) {
	const QString tag = reader.name().toString();
	const QString text = readTextElement(reader);
	// a broken element ends the reading; the caller reports the reader's error
	if (reader.hasError())
		return false;
	return booleanValue(text, tag, owner, location);
}


bool ValueRange::contains(double v) const {
	if (!std::isfinite(v) || v > m_highest)
		return false;
	if (m_lowestIncluded)
		return v >= m_lowest;
	// a value that the writers round onto the bound would be refused when the file is read again
	return v > m_lowest && xmlDouble(v).toDouble() > m_lowest;
}


std::string ValueRange::expected(double v) const {
	// a value above an open bound that the writers' rounding puts onto it
	if (std::isfinite(v) && !m_lowestIncluded && v > m_lowest && v <= m_highest)
		return std::string(m_expected) + " also when rounded to the 6 significant digits the files keep";
	return m_expected;
}


double finiteNumber(const QString & text, const QString & tag, const std::string & owner, const char * location,
					const ValueRange & range)
{
	bool ok = false;
	const double v = text.toDouble(&ok);
	// Qt reads "nan" and "inf" as numbers
	if (!ok || !std::isfinite(v))
		throwInvalidValue(text, inElement(tag), owner, location, ANY_NUMBER.m_expected);
	if (!range.contains(v))
		throwInvalidValue(text, inElement(tag), owner, location, range.expected(v));
	return v;
}


double readFiniteRealElement(QXmlStreamReader & reader, const std::string & owner, const char * location,
							 const ValueRange & range)
{
	const QString tag = reader.name().toString();
	const QString text = readTextElement(reader);
	// a broken element ends the reading; the caller reports the reader's error
	if (reader.hasError())
		return 0;
	return finiteNumber(text, tag, owner, location, range);
}


namespace {

// The decimal integer up to largest in text of element tag; T(QString::*)(bool *, int) converts.
template <typename T>
T integerValue(const QString & text, const QString & tag, const std::string & owner, const char * location,
			   T (QString::*convert)(bool *, int) const, const std::string & expected, T largest)
{
	bool ok = false;
	const T v = (text.trimmed().*convert)(&ok, 10);
	if (!ok || v > largest)
		throwInvalidValue(text, inElement(tag), owner, location, expected);
	return v;
}

} // namespace


unsigned int unsignedValue(const QString & text, const QString & tag, const std::string & owner,
						   const char * location, unsigned int largest)
{
	const std::string expected = largest == std::numeric_limits<unsigned int>::max()
		? std::string("a whole number of 0 or more") : "a whole number from 0 to " + std::to_string(largest);
	return integerValue(text, tag, owner, location, &QString::toUInt, expected, largest);
}


unsigned int readUnsignedElement(QXmlStreamReader & reader, const std::string & owner, const char * location,
								 unsigned int largest)
{
	const QString tag = reader.name().toString();
	const QString text = readTextElement(reader);
	if (reader.hasError())
		return 0;
	return unsignedValue(text, tag, owner, location, largest);
}


int readIntElement(QXmlStreamReader & reader, const std::string & owner, const char * location) {
	const QString tag = reader.name().toString();
	const QString text = readTextElement(reader);
	if (reader.hasError())
		return 0;
	return integerValue(text, tag, owner, location, &QString::toInt, "a whole number", std::numeric_limits<int>::max());
}


void checkFiniteNumberList(const QString & text, const QString & tag, const std::string & owner,
						   const char * location, const ValueRange & range)
{
	for (const QString & word : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts))
		finiteNumber(word, tag, owner, location, range);
}


QString xmlDouble(double value) {
	// QString::number always uses the C locale
	return QString::number(value, 'g', 6);
}


void writeNamedDouble(QXmlStreamWriter & writer, const QString & name, double value) {
	writeNamedValue(writer, "Double", name, xmlDouble(value));
}


void writeNamedInteger(QXmlStreamWriter & writer, const QString & name, int value) {
	writeNamedValue(writer, "Integer", name, QString::number(value));
}


void writeNamedBool(QXmlStreamWriter & writer, const QString & name, bool value) {
	writeNamedValue(writer, "Bool", name, value ? "true" : "false");
}


void writeNamedString(QXmlStreamWriter & writer, const QString & name, const QString & value) {
	writeNamedValue(writer, "String", name, value);
}


void readDoubleAttribute(QXmlStreamReader & reader, const QString & name, double & value, bool optional,
						 const ValueRange & range)
{
	if (reader.hasError())
		return;
	bool ok = false;
	const QString text = reader.attributes().value(name).toString();
	const double v = text.toDouble(&ok);
	if (ok && range.contains(v))
		value = v;
	else if (ok && std::isfinite(v))
		raiseInvalidAttribute(reader, name, range.expected(v));
	// Qt reads "nan" and "inf", which no quantity of these files may be; an optional value may be
	// left out, but what stands there must be a number
	else if (reader.attributes().hasAttribute(name) || !std::isfinite(v))
		raiseInvalidAttribute(reader, name, ANY_NUMBER.m_expected);
	else if (!optional)
		raiseInvalidAttribute(reader, name, range.m_expected);
}


unsigned int readIdAttribute(QXmlStreamReader & reader, const char * name) {
	if (reader.hasError())
		return 0;
	const QStringRef text = reader.attributes().value(name);
	bool ok = false;
	const unsigned int id = text.trimmed().toUInt(&ok, 10);
	// an item that names no id is the caller's to judge, one that names a word is refused
	if (!ok && reader.attributes().hasAttribute(name))
		raiseInvalidAttribute(reader, name, "a whole number of 0 or more");
	return ok ? id : 0;
}


void readIntAttribute(QXmlStreamReader & reader, const QString & name, int & value, bool optional) {
	if (reader.hasError())
		return;
	bool ok = false;
	const int v = reader.attributes().value(name).toInt(&ok, 10);
	value = ok ? v : 0;
	if (!ok && !optional)
		raiseInvalidAttribute(reader, name, "a whole number");
}


void readBoolAttribute(QXmlStreamReader & reader, const QString & name, bool & value, bool optional) {
	if (reader.hasError())
		return;
	bool ok = false;
	const int v = reader.attributes().value(name).toInt(&ok, 10);
	if (ok)
		value = (v != 0);
	else if (!optional)
		raiseInvalidAttribute(reader, name, "a whole number, 0 for false");
}


void readNamedDouble(QXmlStreamReader & reader, QString & name, double & value) {
	if (reader.hasError())
		return;
	name = reader.attributes().value("name").toString();
	const QString text = reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
	bool ok = false;
	value = text.toDouble(&ok);
	if (!std::isfinite(value)) {
		ok = false;
		value = 0;
	}
	// an error of the element itself (a child, a cut document) says more than its text would
	if (!ok && !reader.hasError())
		reader.raiseError(tr("Invalid value '%2' for Double element '%1'.").arg(name, text));
}


void readNamedInteger(QXmlStreamReader & reader, QString & name, int & value) {
	if (reader.hasError())
		return;
	name = reader.attributes().value("name").toString();
	const QString text = reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
	bool ok = false;
	value = text.toInt(&ok, 10);
	if (!ok && !reader.hasError())
		reader.raiseError(tr("Invalid value '%2' for Integer element '%1'.").arg(name, text));
}


void readNamedString(QXmlStreamReader & reader, QString & name, QString & value) {
	if (reader.hasError())
		return;
	name = reader.attributes().value("name").toString();
	value = reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
}


void writeNamedZEBSplineData(QXmlStreamWriter & writer, const QString & name, const QString & xUnit,
							 const QString & yUnit, const ZEB::LinearSpline & spline)
{
	if (spline.m_x.empty())
		return;
	Q_ASSERT(spline.m_valid);
	Q_ASSERT(spline.m_x.size() == spline.m_y.size());
	writer.writeStartElement("LinearSpline");
	writer.writeAttribute("name", name);
	writer.writeStartElement("X");
	writer.writeAttribute("unit", xUnit);
	writer.writeCharacters(numberList(spline.m_x));
	writer.writeEndElement();
	writer.writeStartElement("Y");
	writer.writeAttribute("unit", yUnit);
	writer.writeCharacters(numberList(spline.m_y));
	writer.writeEndElement();
	writer.writeEndElement();
}


void readNamedZEBSplineData(QXmlStreamReader & reader, QString & name, QString & xUnit,
							QString & yUnit, ZEB::LinearSpline & spline, const ValueRange & yRange)
{
	if (reader.hasError())
		return;
	const char * const location = "[readNamedZEBSplineData]";
	warnUnknownAttributes(reader, LINEAR_SPLINE_NAMES, location);
	name = reader.attributes().value("name").toString();
	std::vector<double> x, y;
	while (readKnownChildElement(reader, LINEAR_SPLINE_NAMES, location)) {
		if (reader.name() == QLatin1String("X") || reader.name() == QLatin1String("Y")) {
			const bool isX = reader.name() == QLatin1String("X");
			warnUnknownAttributes(reader, isX ? SPLINE_X_NAMES : SPLINE_Y_NAMES, location);
			(isX ? xUnit : yUnit) = reader.attributes().value("unit").toString();
			const QString tag = reader.name().toString();
			const QString text = reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
			checkFiniteNumberList(text, tag, "LinearSpline '" + name.toStdString() + "'", "[readNamedZEBSplineData]",
								  isX ? ANY_NUMBER : yRange);
			(isX ? x : y) = leadingNumbers(text);
		}
		else
			readUnknownElement(reader, LINEAR_SPLINE_NAMES, location);
	}
	try {
		spline.setValues(x, y);
	}
	catch (const ZEB::Exception & ex) {
		// the spline's own words name neither the spline nor what it needs
		throw ZEB::Exception(ex, ZEB::FormatString("Invalid values in LinearSpline '%1' (%2 X and %3 Y values), expected "
												   "as many X as Y values, at least one, the X values rising.")
							 .arg(name.toStdString()).arg(static_cast<unsigned long>(x.size()))
							 .arg(static_cast<unsigned long>(y.size())), "[readNamedZEBSplineData]");
	}
}


ZEB::Unit splineUnit(const QString & text, const char * axis, const QString & spline, const char * baseUnit,
					 const char * expected, const char * location)
{
	const std::string message = ZEB::FormatString("Invalid %1 unit '%2' in linear spline '%3', expected %4 or "
												  "convertible unit.").arg(axis).arg(text.toStdString())
		.arg(spline.toStdString()).arg(expected).str();
	ZEB::Unit unit;
	try {
		unit = ZEB::Unit(text.toStdString());
	}
	catch (const ZEB::Exception & ex) {
		throw ZEB::Exception(ex, message, location);
	}
	if (unit.base_id() != ZEB::Unit(baseUnit).base_id())
		throw ZEB::Exception(message, location);
	return unit;
}


void warnUnknownSpline(const QString & name, const std::string & ownerTag, const char * location) {
	ZEB::ZEB_Message(ZEB::FormatString("Found unknown element 'LinearSpline' named '%1' in %2.")
					 .arg(name.toStdString()).arg(ownerTag), ZEB::MSG_WARNING, location, 1);
}

} // namespace RX
