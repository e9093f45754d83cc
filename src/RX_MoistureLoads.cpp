#include "RX_MoistureLoads.h"

#include <QCoreApplication>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "RX_XMLHelpers.h"

namespace RX {

MoistureLoads::MoistureLoads() :
	m_name(QCoreApplication::translate("MoistureLoads", "Office"))
{
	m_scheduleMoistureLoad.m_name = "ScheduleMoistureLoad";
	m_scheduleMoistureLoad.m_type = Schedule::CONSTANT;
	m_scheduleMoistureLoad.m_constantValue = 20;
}


void MoistureLoads::computeLoads(unsigned int h, double t, double & moistureLoad) const {
	// g/h to kg/s
	moistureLoad = m_scheduleMoistureLoad.value(h, t) / 3600000;
}


void MoistureLoads::readXML(QXmlStreamReader & reader) {
	Q_ASSERT(reader.isStartElement());
	m_name = reader.attributes().value("name").toString();
	while (!reader.atEnd()) {
		reader.readNext();
		if (reader.isEndElement())
			break;
		if (!reader.isStartElement())
			continue;
		if (reader.name() == QLatin1String("ScheduleMoistureLoad"))
			m_scheduleMoistureLoad.readXML(reader);
		else
			readUnknownElement(reader);
	}
}


void MoistureLoads::writeXML(QXmlStreamWriter & writer) const {
	writer.writeStartElement("MoistureLoads");
	writer.writeAttribute("name", m_name);
	m_scheduleMoistureLoad.writeXML(writer, false);
	writer.writeEndElement();
}

} // namespace RX
