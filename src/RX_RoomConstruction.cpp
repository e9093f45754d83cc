#include "RX_RoomConstruction.h"

#include <iterator>

#include <QCoreApplication>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Constants.h"
#include "ZEB_MessageHandlerRegistry.h"

#include "RX_Database.h"
#include "RX_KnownNames.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

const char * const READ_LOCATION = "RoomConstruction::readXML()";
// by Type
const char * const TYPE_TEXTS[] = {"Outside", "Inside", "FixedTemperature"};

QString tr(const char * text) {
	return QCoreApplication::translate("RoomConstruction", text);
}

double readReal(QXmlStreamReader & reader, const ValueRange & range = ANY_NUMBER) {
	return readFiniteRealElement(reader, "RoomConstruction", READ_LOCATION, range);
}

unsigned int readId(QXmlStreamReader & reader) {
	return readUnsignedElement(reader, "RoomConstruction", READ_LOCATION);
}

} // namespace


void RoomConstruction::readXML(QXmlStreamReader & reader) {
	Q_ASSERT(reader.isStartElement());
	warnUnknownAttributes(reader, ROOM_CONSTRUCTION_NAMES, READ_LOCATION);
	while (readKnownChildElement(reader, ROOM_CONSTRUCTION_NAMES, READ_LOCATION)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("orientation"))
			m_orientation = readReal(reader);
		else if (tag == QLatin1String("inclination"))
			m_inclination = readReal(reader);
		else if (tag == QLatin1String("R_ue"))
			m_R_ue = readReal(reader);
		else if (tag == QLatin1String("R_ui"))
			m_R_ui = readReal(reader);
		else if (tag == QLatin1String("beta_e"))
			m_beta_e = readReal(reader, NOT_NEGATIVE);
		else if (tag == QLatin1String("beta_i"))
			m_beta_i = readReal(reader, NOT_NEGATIVE);
		else if (tag == QLatin1String("ad"))
			m_ad = readReal(reader, FRACTION);
		else if (tag == QLatin1String("zoneT"))
			m_zoneT = readReal(reader, CELSIUS) + ZEB::KELVIN_OFFSET;
		else if (tag == QLatin1String("zoneTCCD"))
			m_zoneTCCD = ZEB::Path(readTextElement(reader).toStdString());
		else if (tag == QLatin1String("zoneRH"))
			m_zoneRH = readReal(reader, PERCENT) / 100;
		else if (tag == QLatin1String("AW"))
			m_AW = readReal(reader, NOT_NEGATIVE);
		else if (tag == QLatin1String("AF"))
			m_AF = readReal(reader, NOT_NEGATIVE);
		else if (tag == QLatin1String("constructionId"))
			m_constructionId = readId(reader);
		else if (tag == QLatin1String("windowId"))
			m_windowId = readId(reader);
		else if (tag == QLatin1String("shadingTypeId"))
			m_shadingTypeId = readId(reader);
		else if (tag == QLatin1String("type")) {
			const QString text = readTextElement(reader);
			// a broken element ends the reading; the caller reports the reader's error
			if (!reader.hasError())
				m_type = static_cast<Type>(keywordIndex(text, TYPE_TEXTS, std::size(TYPE_TEXTS), "element 'type'",
														"RoomConstruction", READ_LOCATION));
		}
		else
			readUnknownElement(reader, ROOM_CONSTRUCTION_NAMES, READ_LOCATION);
	}
}


void RoomConstruction::writeXML(QXmlStreamWriter & writer) const {
	writer.writeStartElement("RoomConstruction");
	writer.writeTextElement("orientation", xmlDouble(m_orientation));
	writer.writeTextElement("inclination", xmlDouble(m_inclination));
	writer.writeTextElement("R_ue", xmlDouble(m_R_ue));
	writer.writeTextElement("R_ui", xmlDouble(m_R_ui));
	writer.writeTextElement("beta_e", xmlDouble(m_beta_e));
	writer.writeTextElement("beta_i", xmlDouble(m_beta_i));
	writer.writeTextElement("ad", xmlDouble(m_ad));
	writer.writeTextElement("zoneT", xmlDouble(m_zoneT - ZEB::KELVIN_OFFSET));
	if (m_zoneTCCD.isValid())
		writer.writeTextElement("zoneTCCD", QString::fromStdString(m_zoneTCCD.str()));
	writer.writeTextElement("zoneRH", xmlDouble(m_zoneRH * 100));
	writer.writeTextElement("AW", xmlDouble(m_AW));
	writer.writeTextElement("AF", xmlDouble(m_AF));
	writer.writeTextElement("constructionId", QString::number(m_constructionId));
	writer.writeTextElement("windowId", QString::number(m_windowId));
	writer.writeTextElement("shadingTypeId", QString::number(m_shadingTypeId));
	Q_ASSERT(m_type >= Outside && m_type <= FixedTemperature);
	writer.writeTextElement("type", TYPE_TEXTS[m_type]);
	writer.writeEndElement();
}


bool RoomConstruction::isValid(const Database * db, QString & errmsg) const {
	const ConstructionType * construction = db->constructionById(m_constructionId);
	if (construction == nullptr) {
		errmsg = tr("Missing or invalid construction type Id. Please select a valid construction type!");
		return false;
	}
	if (!construction->isValid(db)) {
		errmsg = tr("Error in construction type definition. Open the database and check the construction input data!");
		return false;
	}
	if (m_windowId != 0) {
		const WindowType * window = db->windowById(m_windowId);
		if (window == nullptr) {
			errmsg = tr("Unknown or undefined window type. Please select a different window for this construction!");
			return false;
		}
		if (!window->isValid()) {
			errmsg = tr("Error in definition of the window used in this construction. Open the database and check "
						"the input data for this window type!");
			return false;
		}
	}
	if (m_shadingTypeId != 0) {
		const ShadingType * shading = db->shadingTypeById(m_shadingTypeId);
		if (shading == nullptr) {
			errmsg = tr("Unknown or undefined shading type. Please select a different shading type for this "
						"construction!");
			return false;
		}
		if (!shading->isValid()) {
			errmsg = tr("Error in definition of the shading type used in this construction. Open the database and "
						"check the input data for this shading type!");
			return false;
		}
	}
	if (m_AW < 0) {
		errmsg = tr("The total wall area cannot be negative.");
		return false;
	}
	if (m_AF < 0) {
		errmsg = tr("The window area cannot be negative.");
		return false;
	}
	return true;
}


QString RoomConstruction::typeToString(Type type) {
	switch (type) {
		case Outside:			return tr("Outside wall/roof");
		case Inside:			return tr("Inside wall/construction");
		case FixedTemperature:	return tr("Construction to other thermal zone");
	}
	Q_ASSERT(false);
	return QString();
}


ZEB::Path referencedFile(const ZEB::Path & path, const ZEB::Path & projectDir, bool workingDirFallback) {
	if (path.isAbsolute())
		return path;
	const ZEB::Path besideProject = projectDir / path;
	if (!besideProject.exists() && workingDirFallback && path.exists())
		return path;
	return besideProject;
}

} // namespace RX
