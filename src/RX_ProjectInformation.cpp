#include "RX_ProjectInformation.h"

#include <QSettings>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "RX_KnownNames.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

const char * const SETTINGS_GROUP = "DefaultProjectSettings";

} // namespace


void ProjectInformation::writeXML(QXmlStreamWriter & writer) const {
	writer.writeStartElement("ProjectInformation");
	writer.writeTextElement("ProjectName", m_projectName);
	writer.writeTextElement("ConstructionID", m_constructionID);
	writer.writeTextElement("UserName", m_userName);
	writer.writeTextElement("Company", m_company);
	writer.writeTextElement("Location", m_location);
	writer.writeTextElement("Description", m_description);
	writer.writeTextElement("DisclaimerText", m_disclaimerText);
	writer.writeEndElement();
}


void ProjectInformation::readXML(QXmlStreamReader & reader) {
	Q_ASSERT(reader.isStartElement());
	const char * const location = "[ProjectInformation::readXML]";
	warnUnknownAttributes(reader, PROJECT_INFORMATION_NAMES, location);
	while (readKnownChildElement(reader, PROJECT_INFORMATION_NAMES, location)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("ProjectName"))
			m_projectName = readTextElement(reader);
		else if (tag == QLatin1String("ConstructionID"))
			m_constructionID = readTextElement(reader);
		else if (tag == QLatin1String("UserName"))
			m_userName = readTextElement(reader);
		else if (tag == QLatin1String("Company"))
			m_company = readTextElement(reader);
		else if (tag == QLatin1String("Location"))
			m_location = readTextElement(reader);
		else if (tag == QLatin1String("Description"))
			m_description = readTextElement(reader);
		else if (tag == QLatin1String("DisclaimerText"))
			m_disclaimerText = readTextElement(reader);
		else
			readUnknownElement(reader, PROJECT_INFORMATION_NAMES, location);
	}
}


void ProjectInformation::readSettings(QSettings & settings) {
	settings.beginGroup(SETTINGS_GROUP);
	m_projectName = settings.value("ProjectName").toString();
	m_constructionID = settings.value("ConstructionID").toString();
	m_userName = settings.value("UserName").toString();
	m_company = settings.value("Company").toString();
	m_location = settings.value("Location").toString();
	m_description = settings.value("Description").toString();
	m_disclaimerText = settings.value("DisclaimerText").toString();
	settings.endGroup();
}


void ProjectInformation::writeSettings(QSettings & settings) const {
	settings.beginGroup(SETTINGS_GROUP);
	settings.setValue("ProjectName", m_projectName);
	settings.setValue("ConstructionID", m_constructionID);
	settings.setValue("UserName", m_userName);
	settings.setValue("Company", m_company);
	settings.setValue("Location", m_location);
	settings.setValue("Description", m_description);
	settings.setValue("DisclaimerText", m_disclaimerText);
	settings.endGroup();
}

} // namespace RX
