#include "RX_HeatingModel.h"

#include <algorithm>
#include <cmath>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Constants.h"
#include "ZEB_MessageHandlerRegistry.h"

#include "RX_KnownNames.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

/*! A room closer than this to the set point [K] counts as controlled well enough. */
const double SLOPE_ADJUST_THRESHOLD = 0.2;

const char * const MODEL_TYPE_NAMES[] = {"NONE", "SIMPLE"};

} // namespace


HeatingModel::HeatingModel() {
	m_scheduleSetPoints.m_name = "ScheduleSetPoints";
	m_scheduleSetPoints.m_type = Schedule::DAILY_WEEK;
	m_scheduleSetPoints.m_constantValue = 20;
	for (unsigned int k = 0; k < 24; ++k) {
		const bool day = k >= 6 && k <= 21;
		m_scheduleSetPoints.m_weekDaySchedule[k] = day ? 20 : 16;
		m_scheduleSetPoints.m_weekEndSchedule[k] = 20;
		m_scheduleSetPoints.m_summerSchedule[k] = 8;
		m_scheduleSetPoints.m_winterSchedule[k] = day ? 20 : 16;
	}
}


void HeatingModel::computeLoads(unsigned int h, double t, double TRoom, double & heatingLoad) const {
	if (m_modelType != SIMPLE) {
		heatingLoad = 0;
		return;
	}
	const double TSet = m_scheduleSetPoints.value(h, t) + ZEB::KELVIN_OFFSET;
	heatingLoad = std::min(m_maxPower, std::max(0.0, (TSet - TRoom) * m_slope));
}


void HeatingModel::adjustSlope(unsigned int h, double t, double TRoom, double heatingLoad) {
	// an idle or saturated heater is not a question of the gain, nor one whose output model
	// exchange continues past its power
	if (heatingLoad == 0 || heatingLoad >= m_maxPower)
		return;
	const double deltaT = m_scheduleSetPoints.value(h, t) + ZEB::KELVIN_OFFSET - TRoom;
	if (!(deltaT > SLOPE_ADJUST_THRESHOLD) || m_slope >= MAX_SLOPE)
		return;
	m_slope = std::min(1.2 * m_slope, MAX_SLOPE);
	if (ZEB::MessageHandlerRegistry::instance().currentHandler()->consoleVerbosityLevel() >= 2)
		ZEB::ZEB_Message(ZEB::FormatString("SlopeIdealHeating = %1 W/K\n").arg(m_slope),
						 ZEB::MSG_PROGRESS, "[HeatingModel::adjustSlope]", 2);
}


ControllerBand HeatingModel::band(unsigned int h, double t) const {
	ControllerBand b;
	b.m_TSet = m_scheduleSetPoints.value(h, t) + ZEB::KELVIN_OFFSET;
	b.m_setPointRate = m_scheduleSetPoints.rate(t);
	b.m_slope = m_slope;
	b.m_limit = m_modelType == SIMPLE ? m_maxPower : 0;
	if (m_slope < MAX_SLOPE)
		b.m_raiseDepth = SLOPE_ADJUST_THRESHOLD;
	return b;
}


void HeatingModel::readXML(QXmlStreamReader & reader) {
	const char * const location = "HeatingModel::readXML()";
	warnUnknownAttributes(reader, HEATING_MODEL_NAMES, location);
	readModelAttributes(reader, m_name, MODEL_TYPE_NAMES, m_modelType, location);

	while (readKnownChildElement(reader, HEATING_MODEL_NAMES, location)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("MaxPower")) {
			m_maxPower = readFiniteRealElement(reader, "HeatingModel", location, NOT_NEGATIVE);
		}
		else if (tag == QLatin1String("ScheduleSetPoints"))
			m_scheduleSetPoints.readXML(reader, CELSIUS);
		else
			readUnknownElement(reader, HEATING_MODEL_NAMES, location);
	}
}


void HeatingModel::writeXML(QXmlStreamWriter & writer) const {
	writeModelStart(writer, "HeatingModel", m_name, MODEL_TYPE_NAMES, m_modelType);
	writer.writeTextElement("MaxPower", xmlDouble(m_maxPower));
	m_scheduleSetPoints.writeXML(writer, false);
	writer.writeEndElement();
}

} // namespace RX
