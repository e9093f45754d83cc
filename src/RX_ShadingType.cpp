#include "RX_ShadingType.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "RX_KnownNames.h"
#include "RX_XMLHelpers.h"

namespace RX {

ShadingType::ShadingType() :
	AbstractDatabaseItem(0, "en:<New Shading Type>|de:<Neuer Verschattungstyp>")
{
}


ShadingType::ShadingType(const QString & encodedName, double z) :
	AbstractDatabaseItem(0, encodedName),
	m_z(z)
{
}


void ShadingType::writeXML(QXmlStreamWriter & writer) const {
	writer.writeStartElement("ShadingType");
	writer.writeAttribute("id", QString::number(m_id));
	writer.writeAttribute("name", nameString());
	writer.writeAttribute("z", xmlDouble(m_z));
	writer.writeEndElement();
}


void ShadingType::readXML(QXmlStreamReader & reader) {
	Q_ASSERT(reader.isStartElement());
	warnUnknownAttributes(reader, SHADING_TYPE_NAMES, "[ShadingType::readXML]");
	m_id = readIdAttribute(reader, "id");
	setNameString(reader.attributes().value("name").toString());
	readDoubleAttribute(reader, "z", m_z, false, FRACTION);
	readUntilEndElement(reader, SHADING_TYPE_NAMES, "[ShadingType::readXML]");
}


bool ShadingType::isValid() const {
	return m_z >= 0 && m_z <= 1;
}


bool ShadingType::operator==(const ShadingType & other) const {
	return nameString() == other.nameString() && m_z == other.m_z;
}

} // namespace RX
