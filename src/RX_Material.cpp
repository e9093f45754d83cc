#include "RX_Material.h"

#include <cmath>
#include <map>

#include <QCoreApplication>
#include <QTextStream>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Constants.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"

#include "RX_KnownNames.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

bool nearlyEqual(double a, double b) {
	return a + ZEB::NEAR_ZERO >= b && b + ZEB::NEAR_ZERO >= a;
}

// An attribute's number; ok false when it is no number or one that is not finite.
double finiteOrZero(const QStringRef & text, bool & ok) {
	bool read = false;
	const double v = text.toDouble(&read);
	if (!read || !std::isfinite(v)) {
		ok = false;
		return 0;
	}
	return v;
}

bool isDescriptiveText(Material::TextType type) {
	return type >= Material::TT_COMMENT && type <= Material::TT_PRODUCTID;
}

// The attribute names of the descriptive texts, by text type.
const char * const TEXT_ATTRIBUTES[] = { "name", "comment", "source", "producer", "productID" };

} // namespace


Material::Material(const QString & encodedName, double lambda, double rho, double cT) :
	AbstractDatabaseItem(0, encodedName),
	m_lambda(lambda),
	m_rho(rho),
	m_cT(cT)
{
}


bool Material::isValid() const {
	return firstInvalidValue().empty();
}


std::string Material::firstInvalidValue() const {
	const auto invalid = [](const char * attribute, double value, const char * unit, const char * expected) {
		return ZEB::FormatString("%1 = %2 %3, expected %4").arg(attribute).arg(xmlDouble(value).toStdString())
			.arg(unit).arg(expected).str();
	};
	if (!(m_lambda > 1e-6 && m_lambda <= 10000))
		return invalid("lambda", m_lambda, "W/mK", "above 1e-06 and at most 10000 W/mK");
	if (!(m_rho >= 1 && m_rho <= 100000))
		return invalid("rho", m_rho, "kg/m3", "from 1 to 100000 kg/m3");
	if (!(m_cT >= 1 && m_cT <= 10000))
		return invalid("cT", m_cT, "J/kgK", "from 1 to 10000 J/kgK");
	if (!(m_HPCM >= 0))
		return invalid("HPCM", m_HPCM, "J/kg", "0 J/kg or more");
	// the phase change starts there: -1 C would hold the material melted at any room temperature
	if (m_HPCM > 0 && !(m_TPCMLow >= 0 && m_TPCMLow <= 100))
		return invalid("TPCMLow", m_TPCMLow, "C", "from 0 to 100 C for a material with a phase change (HPCM above 0)");
	return std::string();
}


bool Material::operator==(const Material & other) const {
	return nameString() == other.nameString()
		&& nearlyEqual(m_lambda, other.m_lambda)
		&& nearlyEqual(m_rho, other.m_rho)
		&& nearlyEqual(m_cT, other.m_cT)
		&& nearlyEqual(m_TPCMLow, other.m_TPCMLow)
		&& nearlyEqual(m_HPCM, other.m_HPCM);
}


bool Material::operator<(const Material & other) const {
	const QString n = name();
	const QString otherName = other.name();
	if (n != otherName)
		return n < otherName;
	return m_rho < other.m_rho;
}


const QMap<QString, QString> & Material::textMapping(TextType type) const {
	static const QMap<QString, QString> NO_TEXTS;
	return isDescriptiveText(type) ? m_texts[type - 1] : NO_TEXTS;
}


QMap<QString, QString> & Material::textMapping(TextType type) {
	if (isDescriptiveText(type))
		return m_texts[type - 1];
	thread_local QMap<QString, QString> scratch;
	scratch.clear();
	return scratch;
}


QString Material::textString(TextType type) const {
	if (type == TT_NAME)
		return nameString();
	return encodeLanguageTexts(textMapping(type));
}


void Material::setTextString(TextType type, const QString & encoded) {
	if (type == TT_NAME)
		setNameString(encoded);
	else if (isDescriptiveText(type))
		decodeLanguageTexts(encoded, m_texts[type - 1]);
}


QString Material::text(TextType type) const {
	if (type == TT_NAME)
		return name();
	return displayText(textMapping(type));
}


QString Material::text(TextType type, const QString & langId) const {
	if (type == TT_NAME)
		return name(langId);
	return textMapping(type).value(langId);
}


void Material::setText(TextType type, const QString & langId, const QString & text) {
	if (type == TT_NAME)
		setName(langId, text);
	else if (isDescriptiveText(type))
		m_texts[type - 1][langId] = text;
}


void Material::init(const std::vector<double> & x, const std::vector<double> & y) {
	const char * const location = "[Material::init]";
	// set without setValues, so that the checks below report what is wrong with the points; a
	// repeated point is dropped with a warning all the same (equal water contents at the top of
	// the isotherm are a usable function)
	m_sorptionIsotherm.clear();
	m_reversedSorptionIsotherm.clear();
	if (x.size() == y.size()) {
		ZEB::LinearSpline::eliminateConsecutive(x, y, m_sorptionIsotherm.m_x, m_sorptionIsotherm.m_y);
		ZEB::LinearSpline::eliminateConsecutive(y, x, m_reversedSorptionIsotherm.m_x, m_reversedSorptionIsotherm.m_y);
	}
	else {
		m_sorptionIsotherm.m_x = x;
		m_sorptionIsotherm.m_y = y;
		m_reversedSorptionIsotherm.m_x = y;
		m_reversedSorptionIsotherm.m_y = x;
	}
	std::string errmsg;
	if (!m_sorptionIsotherm.makeSpline(errmsg)) {
		m_sorptionIsotherm.clear();
		m_reversedSorptionIsotherm.clear();
		throw ZEB::Exception(ZEB::FormatString("Error initializing Sorption Isotherm spline for material '%1': %2.")
							 .arg(name().toStdString()).arg(errmsg), location);
	}
	if (!m_reversedSorptionIsotherm.makeSpline(errmsg)) {
		m_sorptionIsotherm.clear();
		m_reversedSorptionIsotherm.clear();
		throw ZEB::Exception(ZEB::FormatString("Error initializing reversed Sorption Isotherm spline for material '%1': %2")
							 .arg(name().toStdString()).arg(errmsg), location);
	}
}


void Material::readXML(QXmlStreamReader & reader) {
	Q_ASSERT(reader.isStartElement());
	const QXmlStreamAttributes attributes = reader.attributes();
	warnUnknownAttributes(reader, MATERIAL_NAMES, "[Material::readXML]");
	m_id = readIdAttribute(reader, "id");
	m_category = MaterialCategory(static_cast<MaterialCategory::Category>(readIdAttribute(reader, "category")));
	setNameString(attributes.value("name").toString());

	readDoubleAttribute(reader, "lambda", m_lambda, false, NOT_NEGATIVE);
	readDoubleAttribute(reader, "rho", m_rho, false, NOT_NEGATIVE);
	readDoubleAttribute(reader, "cT", m_cT, false, NOT_NEGATIVE);
	readDoubleAttribute(reader, "mu", m_mu, true, NOT_NEGATIVE);
	double w80 = 0;
	double wsat = 0;
	readDoubleAttribute(reader, "w80", w80, true, NOT_NEGATIVE);
	readDoubleAttribute(reader, "wsat", wsat, true, NOT_NEGATIVE);
	readDoubleAttribute(reader, "HPCM", m_HPCM, true, NOT_NEGATIVE);
	readDoubleAttribute(reader, "TPCMLow", m_TPCMLow, true, CELSIUS);
	for (int t = TT_COMMENT; t <= TT_PRODUCTID; ++t)
		setTextString(static_cast<TextType>(t), attributes.value(TEXT_ATTRIBUTES[t]).toString());

	// further points: "w50"="12.5" is 12.5 kg/m3 at 50 %
	std::map<double, double> points;
	for (const QXmlStreamAttribute & a : attributes) {
		const QStringRef attrName = a.name();
		if (!attrName.startsWith('w') || attrName == QLatin1String("w80") || attrName == QLatin1String("wsat"))
			continue;
		// the name holds the relative humidity [%], the value the water content [kg/m3]
		bool ok = true;
		const double percent = finiteOrZero(attrName.mid(1), ok);
		if (!ok || !PERCENT.contains(percent)) {
			reader.raiseError(QCoreApplication::translate("Material", "Invalid attribute '%1' of Material, expected 'w' "
														  "and a relative humidity from 0 to 100 [%], as in 'w50'.")
							  .arg(attrName.toString()));
			return;
		}
		double w = 0;
		readDoubleAttribute(reader, attrName.toString(), w, false, NOT_NEGATIVE);
		if (reader.hasError())
			return;
		points[percent / 100] = w;
	}

	readUntilEndElement(reader, MATERIAL_NAMES, "[Material::readXML]");
	if (reader.hasError())
		return;

	if (std::fabs(w80) < ZEB::NEAR_ZERO || std::fabs(wsat) < ZEB::NEAR_ZERO)
		return; // no moisture storage
	bool highPoints = false;
	for (const auto & p : points)
		if (p.first >= 0.92)
			highPoints = true;
	if (!highPoints) {
		double w92 = w80 / 0.8 * 0.92;
		// keep the water content rising towards saturation
		if (std::fabs(wsat - w92) <= ZEB::NEAR_ZERO)
			w92 *= 0.99;
		else if (!(wsat > w92)) {
			reader.raiseError(QCoreApplication::translate("Material",
				"Invalid sorption isotherm data for material name '%1': wsat '%2' lies below the %3 that w80 gives at "
				"92 % (w80 / 0.8 * 0.92), expected at least that or a point at 92 % or more.")
				.arg(name(), xmlDouble(wsat), xmlDouble(w92)));
			return;
		}
		points[0.92] = w92;
	}
	points[0] = 0;
	points[0.8] = w80;
	points[1.0] = wsat;

	std::vector<double> x, y;
	for (const auto & p : points) {
		x.push_back(p.first);
		y.push_back(p.second);
	}
	if (highPoints || points.size() > 4) {
		for (const auto & p : points)
			ZEB::ZEB_Message(ZEB::FormatString("%1 %    %2 kg/m3\n").arg(100 * p.first, 4, 'f', 0).arg(p.second),
							 ZEB::MSG_PROGRESS, "[Material::readXML]", 4);
	}
	init(x, y);
}


void Material::writeXML(QXmlStreamWriter & writer) const {
	writer.writeStartElement("Material");
	writer.writeAttribute("id", QString::number(m_id));
	writer.writeAttribute("category", QString::number(m_category.m_category));
	writer.writeAttribute("name", nameString());
	writer.writeAttribute("lambda", xmlDouble(m_lambda));
	writer.writeAttribute("rho", xmlDouble(m_rho));
	writer.writeAttribute("cT", xmlDouble(m_cT));
	writer.writeAttribute("mu", xmlDouble(m_mu));
	const ZEB::LinearSpline & isotherm = m_sorptionIsotherm;
	if (!isotherm.m_x.empty() && isotherm.m_x.size() == isotherm.m_y.size()) {
		// 0 and 1 are implied by wsat, 0.92 is derived from w80 when read
		// Points that round to the same percentage would repeat an attribute, which no reader
		// accepts: of those, the point nearest to the percentage is written.
		std::map<double, std::pair<double, double>> named; // percentage -> distance, water content
		for (std::size_t i = 0; i < isotherm.m_x.size(); ++i) {
			const double rh = isotherm.m_x[i];
			if (std::fabs(rh) < ZEB::NEAR_ZERO || std::fabs(rh - 0.92) < ZEB::NEAR_ZERO || std::fabs(rh - 1.0) < ZEB::NEAR_ZERO)
				continue;
			const double percent = std::floor(100 * rh + 0.5);
			const double distance = std::fabs(100 * rh - percent);
			const auto it = named.find(percent);
			if (it == named.end() || distance < it->second.first)
				named[percent] = std::make_pair(distance, isotherm.m_y[i]);
		}
		for (const auto & n : named)
			writer.writeAttribute("w" + xmlDouble(n.first), xmlDouble(n.second.second));
		writer.writeAttribute("wsat", xmlDouble(isotherm.m_y.back()));
	}
	writer.writeAttribute("HPCM", xmlDouble(m_HPCM));
	writer.writeAttribute("TPCMLow", xmlDouble(m_TPCMLow));
	for (int t = TT_COMMENT; t <= TT_PRODUCTID; ++t)
		writer.writeAttribute(TEXT_ATTRIBUTES[t], textString(static_cast<TextType>(t)));
	writer.writeEndElement();
}


QString Material::fullText() const {
	QString result;
	QTextStream strm(&result);
	strm.setFieldAlignment(QTextStream::AlignLeft);
	strm.setFieldWidth(30);
	strm << name() << "|" << m_category.toString() << "|";
	strm.setFieldAlignment(QTextStream::AlignRight);
	strm.setFieldWidth(5);
	strm.setRealNumberNotation(QTextStream::FixedNotation);
	strm.setRealNumberPrecision(0);
	strm << m_rho << " kg/m3 ";
	strm.setRealNumberPrecision(3);
	strm << m_lambda << " W/mK";
	strm.flush();
	return result;
}

} // namespace RX
