#include "RX_MoistureLoads.h"

#include <QCoreApplication>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "RX_KnownNames.h"
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
	const char * const location = "MoistureLoads::readXML()";
	warnUnknownAttributes(reader, MOISTURE_LOADS_NAMES, location);
	m_name = reader.attributes().value("name").toString();
	while (readKnownChildElement(reader, MOISTURE_LOADS_NAMES, location)) {
		if (reader.name() == QLatin1String("ScheduleMoistureLoad"))
			m_scheduleMoistureLoad.readXML(reader, NOT_NEGATIVE);
		else
			readUnknownElement(reader, MOISTURE_LOADS_NAMES, location);
	}
}


void MoistureLoads::writeXML(QXmlStreamWriter & writer) const {
	writeModelStart(writer, "MoistureLoads", m_name);
	m_scheduleMoistureLoad.writeXML(writer, false);
	writer.writeEndElement();
}

} // namespace RX
