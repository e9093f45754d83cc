#include "RX_ShadingControlModel.h"

#include <cmath>
#include <limits>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_MessageHandlerRegistry.h"

#include "RX_Constants.h"
#include "RX_KnownNames.h"
#include "RX_RoomConstruction.h"
#include "RX_ShadingType.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

const char * const MODEL_TYPE_NAMES[] = {"CONSTANT", "SCHEDULED", "INTENSITY_CONTROLLED"};
const char * const READ_LOCATION = "[ShadingControlModel::readXML]";

double readNumber(QXmlStreamReader & reader) {
	return readFiniteRealElement(reader, "ShadingControlModel", READ_LOCATION, NOT_NEGATIVE);
}


} // namespace


ShadingControlModel::ShadingControlModel() {
	m_scheduleShadingDegree.m_name = "ScheduleShadingDegree";
	m_scheduleShadingDegree.m_type = Schedule::CONSTANT;
	m_scheduleShadingDegree.m_constantValue = 1.0;
	for (unsigned int k = 0; k < 24; ++k) {
		const bool day = k >= 8 && k <= 18;
		m_scheduleShadingDegree.m_summerSchedule[k] = day ? 1.0 : 0.0;
		m_scheduleShadingDegree.m_weekDaySchedule[k] = day ? 1.0 : 0.0;
		m_scheduleShadingDegree.m_winterSchedule[k] = 0;
		m_scheduleShadingDegree.m_weekEndSchedule[k] = 0;
	}
}


double ShadingControlModel::unshadedWindowPercentage(const ShadingType * shadingType, unsigned int h, double t,
													 double radiation, double orientation, double inclination) const
{
	Q_ASSERT(shadingType != nullptr);
	const double z = shadingType->m_z;
	switch (m_modelType) {
		case CONSTANT :
			return z;
		case SCHEDULED : {
			const double s = m_scheduleShadingDegree.value(h, t);
			return 1 - s * (1 - z);
		}
		case INTENSITY_CONTROLLED :
			return radiation > radiationLimit(orientation, inclination) ? z : 1.0;
	}
	return 1.0;
}


double ShadingControlModel::radiationLimit(double orientation, double inclination) const {
	if (m_modelType != INTENSITY_CONTROLLED)
		return std::numeric_limits<double>::infinity();
	if (inclination < 45)
		return m_maxRadiationIntensityHorizontal;
	// sector bounds belong to the sector above them
	const double phi = normalizedOrientation(orientation);
	const double o = phi < 45 ? phi + 360 : phi;
	if (o < 135)
		return m_maxRadiationIntensityEast;
	if (o < 225)
		return m_maxRadiationIntensitySouth;
	if (o < 315)
		return m_maxRadiationIntensityWest;
	return m_maxRadiationIntensityNorth;
}


void ShadingControlModel::readXML(QXmlStreamReader & reader) {
	warnUnknownAttributes(reader, SHADING_CONTROL_MODEL_NAMES, READ_LOCATION);
	readModelAttributes(reader, m_name, MODEL_TYPE_NAMES, m_modelType, READ_LOCATION);

	while (readKnownChildElement(reader, SHADING_CONTROL_MODEL_NAMES, READ_LOCATION)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("ScheduleShadingDegree"))
			m_scheduleShadingDegree.readXML(reader, FRACTION);
		else if (tag == QLatin1String("MaxRadiationIntensityHorizontal"))
			m_maxRadiationIntensityHorizontal = readNumber(reader);
		else if (tag == QLatin1String("MaxRadiationIntensityWest"))
			m_maxRadiationIntensityWest = readNumber(reader);
		else if (tag == QLatin1String("MaxRadiationIntensitySouth"))
			m_maxRadiationIntensitySouth = readNumber(reader);
		else if (tag == QLatin1String("MaxRadiationIntensityNorth"))
			m_maxRadiationIntensityNorth = readNumber(reader);
		else if (tag == QLatin1String("MaxRadiationIntensityEast"))
			m_maxRadiationIntensityEast = readNumber(reader);
		else if (tag == QLatin1String("StructuralShadingDescription"))
			m_structuralShadingDescription = readTextElement(reader);
		else if (tag == QLatin1String("StructuralShadings")) {
			warnUnknownAttributes(reader, STRUCTURAL_SHADINGS_NAMES, READ_LOCATION);
			while (readKnownChildElement(reader, STRUCTURAL_SHADINGS_NAMES, READ_LOCATION)) {
				if (reader.name() == QLatin1String("StructuralShading")) {
					StructuralShading shading;
					shading.readXML(reader);
					if (reader.hasError())
						ZEB::ZEB_Message(ZEB::FormatString("Invalid data in StructuralShading tag."),
										 ZEB::MSG_WARNING, READ_LOCATION, 1);
					else
						m_structuralShadings.push_back(shading);
				}
				else
					readUnknownElement(reader, STRUCTURAL_SHADINGS_NAMES, READ_LOCATION);
			}
		}
		else
			readUnknownElement(reader, SHADING_CONTROL_MODEL_NAMES, READ_LOCATION);
	}
}


void ShadingControlModel::writeXML(QXmlStreamWriter & writer, const std::vector<RoomConstruction> & constructions) const {
	writeModelStart(writer, "ShadingControlModel", m_name, MODEL_TYPE_NAMES, m_modelType);
	writer.writeTextElement("MaxRadiationIntensityHorizontal", xmlDouble(m_maxRadiationIntensityHorizontal));
	writer.writeTextElement("MaxRadiationIntensityWest", xmlDouble(m_maxRadiationIntensityWest));
	writer.writeTextElement("MaxRadiationIntensitySouth", xmlDouble(m_maxRadiationIntensitySouth));
	writer.writeTextElement("MaxRadiationIntensityNorth", xmlDouble(m_maxRadiationIntensityNorth));
	writer.writeTextElement("MaxRadiationIntensityEast", xmlDouble(m_maxRadiationIntensityEast));
	if (!m_structuralShadings.empty()) {
		writer.writeStartElement("StructuralShadings");
		// one entry per room construction, also for those without a construction type, so that
		// entry i still belongs to construction i when the file is read back
		for (std::size_t i = 0; i < m_structuralShadings.size() && i < constructions.size(); ++i)
			m_structuralShadings[i].writeXML(writer);
		writer.writeEndElement();
	}
	writer.writeTextElement("StructuralShadingDescription", m_structuralShadingDescription);
	m_scheduleShadingDegree.writeXML(writer, false);
	writer.writeEndElement();
}

} // namespace RX
