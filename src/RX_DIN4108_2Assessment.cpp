#include "RX_DIN4108_2Assessment.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <tuple>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Constants.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"

#include "RX_Constants.h"
#include "RX_KnownNames.h"
#include "RX_Room.h"
#include "RX_ShadingType.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

const double SLOPE_FACTOR = 1.2;
// Controllers are only sharpened while the room stays this far from its target [K].
const double SLOPE_DEVIATION = 0.2;

// Day of the week, 0 = Monday, and hour of the day (fractional) of t [h]. The day stays a
// double: a time that is no number must not reach an integer conversion.
double weekDay(double t) {
	const double d = std::fmod(std::floor(t / 24.0), 7.0);
	return d < 0 ? d + 7.0 : d;
}

double hourOfDay(double t) {
	return t - 24.0 * std::floor(t / 24.0);
}

const char * const READ_LOCATION = "[DIN4108_2Assessment::readXML]";

const char * const OWNER = "DIN4108_2Assessment";

// Reads a choice from 0 to largest; other text ends the project.
int choice(const QString & text, const QString & tag, unsigned int largest) {
	return static_cast<int>(unsignedValue(text, tag, OWNER, READ_LOCATION, largest));
}

// Reads a non-negative, finite real; other text ends the project.
double nonNegative(const QString & text, const char * tag) {
	return finiteNumber(text, tag, OWNER, READ_LOCATION, NOT_NEGATIVE);
}

// Lowers an enhanced air change [1/h] read from a file to the largest the assessment credits.
void limitAirChange(double & value, double limit, const char * tag) {
	if (value <= limit)
		return;
	ZEB::ZEB_Message(ZEB::FormatString("'%1' = %2 1/h exceeds the limit %3 1/h of the assessment; %3 1/h is used.")
					 .arg(tag).arg(value).arg(limit), ZEB::MSG_WARNING, READ_LOCATION, 1);
	value = limit;
}

void writeBool(QXmlStreamWriter & writer, const char * tag, bool value) {
	writer.writeTextElement(tag, value ? "true" : "false");
}

} // namespace


void DIN4108_2Assessment::writeXML(QXmlStreamWriter & writer) const {
	writer.writeStartElement("DIN4108_2Assessment");
	if (m_active)
		writeBool(writer, "Active", true);
	writeBool(writer, "Residential", m_residential);
	writer.writeTextElement("ClimateRegion", QString::number(m_climateRegion));
	if (m_enhancedDayVentilation)
		writeBool(writer, "EnhancedDayVentilation", true);
	if (m_enhancedNightVentilation)
		writeBool(writer, "EnhancedNightVentilation", true);
	writer.writeTextElement("ShadingControlType", QString::number(m_shadingControlType));
	writer.writeTextElement("VentilationType", QString::number(m_nightVentilationType));
	writer.writeTextElement("EnhancedDayVentilationValue", xmlDouble(m_enhancedDayVentilationValue));
	writer.writeTextElement("EnhancedNightVentilationValue", xmlDouble(m_enhancedNightVentilationValue));
	writer.writeTextElement("EnhancedDayVentilationExplanation", m_enhancedDayVentilationExplanation);
	writer.writeTextElement("EnhancedNightVentilationExplanation", m_enhancedNightVentilationExplanation);
	writer.writeTextElement("ShadingControlExplanation", m_shadingControlExplanation);
	writer.writeTextElement("MaximumHeatingPower", xmlDouble(m_maximumHeatingPower));
	if (m_passiveCooling)
		writeBool(writer, "PassiveCooling", true);
	writer.writeTextElement("MaximumPassiveCoolingPower", xmlDouble(m_maximumPassiveCoolingPower));
	writer.writeTextElement("PassiveCoolingExplanation", m_passiveCoolingExplanation);
	writer.writeEndElement();
}


void DIN4108_2Assessment::readXML(QXmlStreamReader & reader) {
	auto flag = [](bool & member, const char * tag) {
		return [&member, tag](const QString & value) { member = booleanValue(value, tag, OWNER, READ_LOCATION); };
	};
	auto text = [](QString & member) {
		return [&member](const QString & value) { member = value; };
	};
	auto nonNegativeValue = [](double & member, const char * tag) {
		return [&member, tag](const QString & value) { member = nonNegative(value, tag); };
	};
	// what each child does with its text
	const std::map<QString, std::function<void(const QString &)> > children = {
		{"Active", flag(m_active, "Active")},
		{"Residential", flag(m_residential, "Residential")},
		{"ClimateRegion", [this](const QString & t) {
			m_climateRegion = choice(t, "ClimateRegion", 2);
		}},
		{"EnhancedDayVentilation", flag(m_enhancedDayVentilation, "EnhancedDayVentilation")},
		{"EnhancedNightVentilation", flag(m_enhancedNightVentilation, "EnhancedNightVentilation")},
		{"ShadingControlType", [this](const QString & t) {
			m_shadingControlType = choice(t, "ShadingControlType", 3);
		}},
		{"VentilationType", [this](const QString & t) {
			m_nightVentilationType = static_cast<VentilationType>(choice(t, "VentilationType", 2));
		}},
		{"EnhancedDayVentilationValue", nonNegativeValue(m_enhancedDayVentilationValue, "EnhancedDayVentilationValue")},
		{"EnhancedNightVentilationValue", nonNegativeValue(m_enhancedNightVentilationValue, "EnhancedNightVentilationValue")},
		{"EnhancedDayVentilationExplanation", text(m_enhancedDayVentilationExplanation)},
		{"EnhancedNightVentilationExplanation", text(m_enhancedNightVentilationExplanation)},
		{"ShadingControlExplanation", text(m_shadingControlExplanation)},
		{"MaximumHeatingPower", nonNegativeValue(m_maximumHeatingPower, "MaximumHeatingPower")},
		{"PassiveCooling", flag(m_passiveCooling, "PassiveCooling")},
		{"MaximumPassiveCoolingPower", nonNegativeValue(m_maximumPassiveCoolingPower, "MaximumPassiveCoolingPower")},
		{"PassiveCoolingExplanation", text(m_passiveCoolingExplanation)}
	};

	warnUnknownAttributes(reader, DIN4108_2_ASSESSMENT_NAMES, READ_LOCATION);
	while (readKnownChildElement(reader, DIN4108_2_ASSESSMENT_NAMES, READ_LOCATION)) {
		const auto child = children.find(reader.name().toString());
		if (child == children.end()) {
			readUnknownElement(reader, DIN4108_2_ASSESSMENT_NAMES, READ_LOCATION);
			continue;
		}
		const QString value = readTextElement(reader);
		// a broken element ends the reading; the caller reports the reader's error
		if (reader.hasError())
			return;
		child->second(value);
	}
	if (reader.hasError())
		return;
	// The night limit depends on the ventilation type, which may come after the value; the
	// assessment never credits more air change than the standard allows.
	limitAirChange(m_enhancedDayVentilationValue, MaxEnhancedDayVentilation, "EnhancedDayVentilationValue");
	limitAirChange(m_enhancedNightVentilationValue, maxEnhancedNightVentilation(), "EnhancedNightVentilationValue");
}


double DIN4108_2Assessment::maxEnhancedNightVentilation(VentilationType type) {
	switch (type) {
		case VT_ENHANCED:	return 2.0;
		case VT_HIGH:		return 5.0;
		case VT_UNLIMITED:	return std::numeric_limits<double>::max();
	}
	return 0.0;
}


void DIN4108_2Assessment::setEnhancedDayVentilationValue(double value) {
	if (!(value >= 0 && value <= MaxEnhancedDayVentilation))
		throw ZEB::Exception(ZEB::FormatString("Enhanced day ventilation %1 1/h is outside 0 to %2 1/h.")
							 .arg(value).arg(MaxEnhancedDayVentilation),
							 "[DIN4108_2Assessment::setEnhancedDayVentilationValue]");
	m_enhancedDayVentilationValue = value;
}


void DIN4108_2Assessment::setEnhancedNightVentilationValue(double value) {
	if (!(value >= 0 && value <= maxEnhancedNightVentilation()))
		throw ZEB::Exception(ZEB::FormatString("Enhanced night ventilation %1 1/h is outside 0 to %2 1/h.")
							 .arg(value).arg(maxEnhancedNightVentilation()),
							 "[DIN4108_2Assessment::setEnhancedNightVentilationValue]");
	m_enhancedNightVentilationValue = value;
}


bool DIN4108_2Assessment::isWeekEnd(double t) {
	const double d = weekDay(t);
	return d == 5.0 || d == 6.0;
}


bool DIN4108_2Assessment::usageTimeNonResidential(double t) {
	if (isWeekEnd(t))
		return false;
	const double h = hourOfDay(t);
	return h >= 7.0 && h <= 18.0;
}


bool DIN4108_2Assessment::residentialTime(double t) const {
	const double h = hourOfDay(t);
	if (m_residential)
		return h >= 6.0 && h <= 23.0;
	return h >= 7.0 && h <= 18.0;
}


bool DIN4108_2Assessment::usageTime(double t) const {
	return m_residential || usageTimeNonResidential(t);
}


bool DIN4108_2Assessment::isShadingPossible(double t) const {
	return m_residential || !isWeekEnd(t) || m_shadingControlType == 2;
}


double DIN4108_2Assessment::innerLoads(double t) const {
	if (m_residential)
		return 100.0 / 24.0;
	return usageTime(t) ? 144.0 / 11.0 : 0.0;
}


double DIN4108_2Assessment::heatingLoad(double T) const {
	if (m_maximumHeatingPower <= 0)
		return 0.0;
	const double deltaT = roomHeatingSetPointTemperature() + ZEB::KELVIN_OFFSET - T;
	if (deltaT <= 0)
		return 0.0;
	return std::min(m_maximumHeatingPower, deltaT * m_slopeHeating);
}


double DIN4108_2Assessment::coolingLoad(double T) const {
	if (m_maximumPassiveCoolingPower <= 0)
		return 0.0;
	const double deltaT = referenceRoomTemperature() + ZEB::KELVIN_OFFSET - T;
	if (deltaT >= 0)
		return 0.0;
	return std::max(-m_maximumPassiveCoolingPower, deltaT * m_slopeCooling);
}


ControllerBand DIN4108_2Assessment::heatingBand() const {
	ControllerBand b;
	b.m_TSet = roomHeatingSetPointTemperature() + ZEB::KELVIN_OFFSET;
	b.m_slope = m_slopeHeating;
	b.m_limit = m_maximumHeatingPower;
	if (m_slopeHeating < SLOPE_LIMIT)
		b.m_raiseDepth = SLOPE_DEVIATION;
	return b;
}


ControllerBand DIN4108_2Assessment::coolingBand() const {
	ControllerBand b;
	b.m_TSet = referenceRoomTemperature() + ZEB::KELVIN_OFFSET;
	b.m_slope = m_slopeCooling;
	b.m_limit = m_passiveCooling ? m_maximumPassiveCoolingPower : 0;
	b.m_cooling = true;
	if (m_slopeCooling < SLOPE_LIMIT)
		b.m_raiseDepth = SLOPE_DEVIATION;
	return b;
}


double DIN4108_2Assessment::roomHeatingSetPointTemperature() const {
	return m_residential ? 20.0 : 21.0;
}


double DIN4108_2Assessment::referenceRoomTemperature() const {
	switch (m_climateRegion) {
		case 1:		return 26.0;
		case 2:		return 27.0;
		default:	return 25.0;
	}
}


void DIN4108_2Assessment::adjustSlope(double T, double heatingLoad) {
	// off or saturated (or continued past its power by model exchange): a steeper controller
	// would change nothing
	if (heatingLoad == 0.0 || heatingLoad >= m_maximumHeatingPower)
		return;
	if (!(roomHeatingSetPointTemperature() + ZEB::KELVIN_OFFSET - T > SLOPE_DEVIATION))
		return;
	if (m_slopeHeating >= SLOPE_LIMIT)
		return;
	m_slopeHeating = std::min(SLOPE_FACTOR * m_slopeHeating, SLOPE_LIMIT);
	if (ZEB::MessageHandlerRegistry::instance().currentHandler()->consoleVerbosityLevel() >= 2)
		ZEB::ZEB_Message(ZEB::FormatString("SlopeIdealHeating = %1 W/K\n").arg(m_slopeHeating),
						 ZEB::MSG_PROGRESS, "[DIN4108_2Assessment::adjustSlope]", 2);
}


void DIN4108_2Assessment::adjustSlopeCooling(double T, double coolingLoad) {
	if (coolingLoad == 0.0 || coolingLoad <= -m_maximumPassiveCoolingPower)
		return;
	if (!(T - (referenceRoomTemperature() + ZEB::KELVIN_OFFSET) > SLOPE_DEVIATION))
		return;
	if (m_slopeCooling >= SLOPE_LIMIT)
		return;
	m_slopeCooling = std::min(SLOPE_FACTOR * m_slopeCooling, SLOPE_LIMIT);
	if (ZEB::MessageHandlerRegistry::instance().currentHandler()->consoleVerbosityLevel() >= 2)
		ZEB::ZEB_Message(ZEB::FormatString("SlopeIdealCooling = %1 W/K\n").arg(m_slopeCooling),
						 ZEB::MSG_PROGRESS, "[DIN4108_2Assessment::adjustSlopeCooling]", 2);
}


double DIN4108_2Assessment::unshadedWindowPercentage(const ShadingType * shadingType, double t, double q,
													 double orientation, double inclination) const
{
	switch (m_shadingControlType) {
		case 0:
			if (shadingType == nullptr || !isShadingPossible(t))
				return 1.0;
			return shadingType->m_z;
		case 1:
			return 1.0;
		case 2:
			if (shadingType == nullptr || !(q > radiationLimit(orientation, inclination)))
				return 1.0;
			return shadingType->m_z;
		case 3:
			// the room's own shading control decides
			return 1.0;
	}
	throw ZEB::Exception(ZEB::FormatString("Invalid shading control type %1.").arg(m_shadingControlType),
						 "[DIN4108_2Assessment::unshadedWindowPercentage]");
}


double DIN4108_2Assessment::normalRadiationLimit(double orientation) const {
	const double phi = normalizedOrientation(orientation);
	if (phi > 45.0 && phi < 315.0)
		return m_residential ? 300.0 : 200.0;
	// windows facing north-east to north-west
	return m_residential ? 200.0 : 150.0;
}


double DIN4108_2Assessment::radiationLimit(double orientation, double inclination) const {
	// flat windows are not shaded under rule 2, whatever the radiation
	if (m_shadingControlType != 2 || inclination < 45.0)
		return std::numeric_limits<double>::infinity();
	return normalRadiationLimit(orientation);
}


double DIN4108_2Assessment::basicVentilationSetting(bool residential, bool usageTime, double roomHeight) const {
	if (residential)
		return 0.5 / 3600.0;
	if (!usageTime)
		return 0.24 / 3600.0;
	// 4 m3/h of outside air per m2 of floor area
	if (!(roomHeight > 0) || !std::isfinite(roomHeight))
		throw ZEB::Exception(ZEB::FormatString("Invalid room height %1 m; the basic air change needs a positive height.")
							 .arg(roomHeight), "[DIN4108_2Assessment::basicVentilationSetting]");
	return 4.0 / roomHeight / 3600.0;
}


double DIN4108_2Assessment::basicVentilationValue(double t, double roomHeight) const {
	return basicVentilationSetting(m_residential, usageTime(t), roomHeight);
}


bool DIN4108_2Assessment::hasEnhancedDayVentilation(double thetaRoom, double thetaOut, double t) const {
	return m_enhancedDayVentilation && residentialTime(t) && thetaRoom > EnhancedDayVentilationTemperature
		&& thetaOut < thetaRoom && m_enhancedDayVentilationValue > 0;
}


double DIN4108_2Assessment::enhancedDayVentilation(double thetaRoom, double thetaOut, double t) const {
	return hasEnhancedDayVentilation(thetaRoom, thetaOut, t) ? m_enhancedDayVentilationValue : 0.0;
}


bool DIN4108_2Assessment::hasEnhancedNightVentilation(double thetaRoom, double thetaOut, double t) const {
	return m_enhancedNightVentilation && !residentialTime(t) && thetaRoom > roomHeatingSetPointTemperature()
		&& thetaOut < thetaRoom && m_enhancedNightVentilationValue > 0;
}


double DIN4108_2Assessment::enhancedNightVentilation(double thetaRoom, double thetaOut, double t) const {
	return hasEnhancedNightVentilation(thetaRoom, thetaOut, t) ? m_enhancedNightVentilationValue : 0.0;
}


bool DIN4108_2Assessment::hasEnhancedVentilation() const {
	return (m_enhancedDayVentilation && m_enhancedDayVentilationValue > 0)
		|| (m_enhancedNightVentilation && m_enhancedNightVentilationValue > 0);
}


double DIN4108_2Assessment::enhancedVentilationThreshold(double t) const {
	if (residentialTime(t)) {
		if (m_enhancedDayVentilation && m_enhancedDayVentilationValue > 0)
			return EnhancedDayVentilationTemperature;
	}
	else if (m_enhancedNightVentilation && m_enhancedNightVentilationValue > 0)
		return roomHeatingSetPointTemperature();
	return std::numeric_limits<double>::quiet_NaN();
}


double DIN4108_2Assessment::nextTimeRuleChange(double t, double roomHeight) const {
	// what the rules in force give between two whole hours; they repeat every week
	const bool ventilationWindow = hasEnhancedVentilation();
	const bool shadingDays = m_shadingControlType == 0;
	const auto rules = [&](double h) {
		return std::make_tuple(innerLoads(h), basicVentilationValue(h, roomHeight), ventilationWindow && residentialTime(h),
							   shadingDays && isShadingPossible(h));
	};
	const double hour = std::floor(t);
	auto before = rules(hour + 0.5);
	for (int k = 1; k <= 7*24; ++k) {
		const auto after = rules(hour + k + 0.5);
		if (after != before)
			return hour + k;
		before = after;
	}
	return std::numeric_limits<double>::infinity();
}


void DIN4108_2Assessment::updateVentilationAirChange(double thetaRoom, double thetaOut, double t, double roomHeight) {
	// the enhanced values are per hour, the room model's air change per second
	if (hasEnhancedDayVentilation(thetaRoom, thetaOut, t))
		m_airChange = m_enhancedDayVentilationValue / 3600.0;
	else if (hasEnhancedNightVentilation(thetaRoom, thetaOut, t))
		m_airChange = m_enhancedNightVentilationValue / 3600.0;
	else
		m_airChange = basicVentilationValue(t, roomHeight);
}


double DIN4108_2Assessment::airChange(double t, double roomHeight) const {
	// -1 marks "not updated yet" and is no rate
	if (m_airChange < 0)
		return basicVentilationValue(t, roomHeight);
	return m_airChange;
}


double DIN4108_2Assessment::basicVentilationSetting(bool residential, bool usageTime, const Room * room) const {
	return basicVentilationSetting(residential, usageTime, room->height());
}


double DIN4108_2Assessment::basicVentilationValue(double t, const Room * room) const {
	return basicVentilationValue(t, room->height());
}


void DIN4108_2Assessment::updateVentilationAirChange(double thetaRoom, double thetaOut, double t, const Room * room) {
	updateVentilationAirChange(thetaRoom, thetaOut, t, room->height());
}


double DIN4108_2Assessment::airChange(double t, const Room * room) const {
	return airChange(t, room->height());
}

} // namespace RX
