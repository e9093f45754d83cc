#include "RX_WindowType.h"

#include <QCoreApplication>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Exception.h"
#include "ZEB_UnitVector.h"

#include "RX_KnownNames.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

QString tr(const char * text) {
	return QCoreApplication::translate("WindowType", text);
}

// 0 <= v <= 1; a NaN is not
bool isFraction(double v) {
	return v >= 0 && v <= 1;
}

} // namespace


WindowType::WindowType() :
	AbstractDatabaseItem(0, "en:<New Window Type>|de:<Neuer Fenstertyp>")
{
}


WindowType::WindowType(const QString & encodedName, double f, double g, double U) :
	AbstractDatabaseItem(0, encodedName),
	m_f(f),
	m_g(g),
	m_U(U)
{
}


void WindowType::writeXML(QXmlStreamWriter & writer) const {
	writer.writeStartElement("WindowType");
	writer.writeAttribute("id", QString::number(m_id));
	writer.writeAttribute("name", nameString());
	writer.writeAttribute("f", xmlDouble(m_f));
	writer.writeAttribute("g", xmlDouble(m_g));
	writer.writeAttribute("U", xmlDouble(m_U));
	writer.writeAttribute("GlazingKind", QString::number(m_glazingKind));
	const std::pair<const char *, const QString *> texts[] = {
		{"UserKey", &m_userKey}, {"Producer", &m_producer}, {"DataSource", &m_dataSource}, {"ProductID", &m_productID}
	};
	for (const auto & t : texts)
		if (!t.second->isEmpty())
			writer.writeAttribute(t.first, *t.second);
	if (!m_relativeSHGC.m_x.empty()) {
		// in the file the curve is in percent
		ZEB::LinearSpline percent = m_relativeSHGC;
		for (double & y : percent.m_y)
			y *= 100;
		std::string errmsg;
		percent.makeSpline(errmsg);
		writeNamedZEBSplineData(writer, "RelativeSHGC", "Deg", "%", percent);
	}
	writer.writeEndElement();
}


void WindowType::readXML(QXmlStreamReader & reader) {
	Q_ASSERT(reader.isStartElement());
	const char * const location = "[WindowType::readXML]";
	const QXmlStreamAttributes attributes = reader.attributes();
	warnUnknownAttributes(reader, WINDOW_TYPE_NAMES, location);
	m_id = readIdAttribute(reader, "id");
	setNameString(attributes.value("name").toString());
	readDoubleAttribute(reader, "f", m_f, false, FRACTION);
	readDoubleAttribute(reader, "g", m_g, false, FRACTION);
	readDoubleAttribute(reader, "U", m_U, false, NOT_NEGATIVE);
	for (const QXmlStreamAttribute & a : attributes) {
		const QStringRef n = a.name();
		if (n == QLatin1String("GlazingKind"))
			m_glazingKind = static_cast<GlazingKind>(readIdAttribute(reader, "GlazingKind"));
		else if (n == QLatin1String("UserKey"))
			m_userKey = a.value().toString();
		else if (n == QLatin1String("Producer"))
			m_producer = a.value().toString();
		else if (n == QLatin1String("DataSource"))
			m_dataSource = a.value().toString();
		else if (n == QLatin1String("ProductID"))
			m_productID = a.value().toString();
	}
	if (reader.hasError())
		return;

	// the spline is its one child
	while (readKnownChildElement(reader, WINDOW_TYPE_NAMES, location)) {
		QString splineName, xUnit, yUnit;
		ZEB::LinearSpline spline;
		try {
			readNamedZEBSplineData(reader, splineName, xUnit, yUnit, spline, PERCENT);
		}
		catch (const ZEB::Exception & ex) {
			ex.writeMsgStackToError();
			// the reason first, as in a message stack
			reader.raiseError(QString::fromStdString(ex.msgStack()) + "\n" +
							  tr("Error reading LinearSpline data from WindowType parameter with id='%1'.").arg(m_id));
			return;
		}
		if (reader.hasError())
			return;
		if (splineName != QLatin1String("RelativeSHGC")) {
			reader.raiseError(tr("Invalid name '%2' of the LinearSpline of WindowType with id='%1', expected "
								 "'RelativeSHGC'.").arg(QString::number(m_id), splineName));
			return;
		}
		if (xUnit != QLatin1String("Deg")) {
			reader.raiseError(tr("Invalid x-value unit '%1' for LinearSpline of RelativeSHGC parameter, expected 'Deg'.")
							  .arg(xUnit));
			return;
		}
		if (yUnit != QLatin1String("%")) {
			reader.raiseError(tr("Invalid y-value unit '%1' for LinearSpline of RelativeSHGC parameter, expected '%'.")
							  .arg(yUnit));
			return;
		}
		ZEB::UnitVector fractions;
		fractions.m_unit.set(yUnit.toStdString());
		fractions.m_data = spline.m_y;
		fractions.convert(ZEB::Unit("---"));
		m_relativeSHGC.setValues(spline.m_x, fractions.m_data);
	}
}


bool WindowType::isValid() const {
	if (!isFraction(m_f) || !isFraction(m_g) || !(m_U > 0))
		return false;
	const ZEB::LinearSpline & shgc = m_relativeSHGC;
	if (shgc.m_x.empty())
		return true;
	if (!shgc.m_valid || shgc.size() < 2 || shgc.m_y.size() != shgc.m_x.size())
		return false;
	const double y0 = shgc.m_y.front();
	if (!isFraction(y0))
		return false;
	for (std::size_t i = 1; i < shgc.m_y.size(); ++i)
		if (!isFraction(shgc.m_y[i]) || shgc.m_y[i] > y0)
			return false;
	return true;
}


bool WindowType::operator==(const WindowType & other) const {
	return nameString() == other.nameString() && m_f == other.m_f && m_g == other.m_g && m_U == other.m_U;
}


QString WindowType::glazingKindString(GlazingKind kind) {
	switch (kind) {
		case GK_SINGLE_GLAZING:		return tr("Single glazing");
		case GK_DOUBLE_GLAZING:		return tr("Double glazing");
		case GK_TRIPLE_GLAZING:		return tr("Triple glazing");
		case GK_QUADRUPLE_GLAZING:	return tr("Quadrouple glazing");
		case GK_BOX_WINDOW:			return tr("Box window");
		default:					return tr("Miscellaneous");
	}
}


void WindowType::generateShgcSplineData(std::vector<double> & x, std::vector<double> & y) const {
	x.clear();
	y.clear();
	if (!m_relativeSHGC.m_x.empty()) {
		x = m_relativeSHGC.m_x;
		y = m_relativeSHGC.m_y;
	}
	else {
		x = {0, 90};
		y = {1, 1};
	}
}

} // namespace RX
