#include "RX_UserLoads.h"

#include <cmath>

#include <QCoreApplication>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "RX_KnownNames.h"
#include "RX_XMLHelpers.h"

namespace RX {

UserLoads::UserLoads() :
	m_name(QCoreApplication::translate("UserLoads", "Office"))
{
	m_scheduleEquipmentLoad.m_name = "ScheduleEquipmentLoad";
	m_scheduleEquipmentLoad.m_type = Schedule::CONSTANT;
	m_scheduleEquipmentLoad.m_constantValue = 0;
	m_scheduleOccupancy.m_name = "ScheduleOccupancy";
	m_scheduleOccupancy.m_type = Schedule::CONSTANT;
	m_scheduleOccupancy.m_constantValue = 4;
	for (unsigned int k = 8; k <= 16; ++k) {
		m_scheduleEquipmentLoad.m_weekDaySchedule[k] = 10;
		m_scheduleOccupancy.m_weekDaySchedule[k] = 4;
	}
}


void UserLoads::computeLoads(unsigned int h, double t, double floorArea,
							 double & persons, double & personLoad, double & equipmentLoad) const
{
	persons = m_scheduleOccupancy.value(h, t);
	personLoad = persons * m_personLoad;
	equipmentLoad = m_scheduleEquipmentLoad.value(h, t) * floorArea;
}


void UserLoads::readXML(QXmlStreamReader & reader) {
	Q_ASSERT(reader.isStartElement());
	const char * const location = "UserLoads::readXML()";
	warnUnknownAttributes(reader, USER_LOADS_NAMES, location);
	m_name = reader.attributes().value("name").toString();
	while (readKnownChildElement(reader, USER_LOADS_NAMES, location)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("PersonLoad"))
			m_personLoad = readFiniteRealElement(reader, "UserLoads", location, NOT_NEGATIVE);
		else if (tag == QLatin1String("ScheduleOccupancy"))
			m_scheduleOccupancy.readXML(reader, NOT_NEGATIVE);
		else if (tag == QLatin1String("ScheduleEquipmentLoad"))
			m_scheduleEquipmentLoad.readXML(reader, NOT_NEGATIVE);
		else
			readUnknownElement(reader, USER_LOADS_NAMES, location);
	}
}


void UserLoads::writeXML(QXmlStreamWriter & writer) const {
	writeModelStart(writer, "UserLoads", m_name);
	writer.writeTextElement("PersonLoad", xmlDouble(m_personLoad));
	m_scheduleOccupancy.writeXML(writer, false);
	m_scheduleEquipmentLoad.writeXML(writer, false);
	writer.writeEndElement();
}

} // namespace RX
