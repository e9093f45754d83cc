#include "RX_NaturalVentilationModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Constants.h"
#include "ZEB_Math.h"
#include "ZEB_MessageHandlerRegistry.h"

#include "RX_Constants.h"
#include "RX_ControllerBand.h"
#include "RX_KnownNames.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

/*! Width of the step from the base to the scheduled air change [K]. */
const double TRANSITION_WIDTH = 0.2;

const char * const FUNC_ID = "[NaturalVentilationModel::readXML]";
const char * const MODEL_TYPE_NAMES[] = {"NONE", "SIMPLE", "MANAGED", "DIN"};
const char * const TIME_FORMAT = "hh:mm:ss";

// The base air change, raised smoothly towards the scheduled one as the smaller of the two
// excess temperatures grows from 0 to TRANSITION_WIDTH.
double smoothedAirChange(double nBase, double nSched, double deltaT1, double deltaT2) {
	if (deltaT1 > 0 && deltaT2 > 0)
		return nBase + ZEB::scale2(std::min(deltaT1, deltaT2), TRANSITION_WIDTH) * (nSched - nBase);
	return nBase;
}

// Seconds from midnight to the time's hour and minute; its seconds play no part.
double secondsOfDay(const QTime & time) {
	return 3600.0 * time.hour() + 60.0 * time.minute();
}

/*! Whether the second s of the day lies in the day period from start to before end [s of the day];
	a period that ends before it starts runs across midnight (occupied at night). */
bool inDayPeriod(double s, double start, double end) {
	return start <= end ? start <= s && s < end : start <= s || s < end;
}

} // namespace


NaturalVentilationModel::NaturalVentilationModel() {
	m_scheduleAirChangeRates.m_name = "ScheduleAirChangeRates";
	m_scheduleAirChangeRates.m_type = Schedule::CONSTANT;
	m_scheduleAirChangeRates.m_constantValue = 0.5;
	m_scheduleAirChangeRates.m_summerSchedule.fill(0.75);
	m_scheduleAirChangeRates.m_winterSchedule.fill(0.25);
	m_scheduleAirChangeRates.m_weekDaySchedule.fill(0.5);
	m_scheduleAirChangeRates.m_weekDaySchedule[7] = 1.2;
	m_scheduleAirChangeRates.m_weekDaySchedule[20] = 1.2;
	m_scheduleAirChangeRates.m_weekEndSchedule.fill(0.5);
}


double NaturalVentilationModel::nextDayPeriodChange(double t) const {
	const double start = secondsOfDay(m_occupancyStartTime);
	const double end = secondsOfDay(m_occupancyEndTime);
	if (m_modelType != DIN || start == end)
		return std::numeric_limits<double>::infinity();
	// whole seconds of the day, as computeLoads compares them
	const double day = t - std::fmod(t, 86400.0);
	const double first = std::min(start, end);
	for (const double change : {day + first, day + std::max(start, end)})
		if (change > t)
			return change;
	return day + 86400.0 + first;
}


void NaturalVentilationModel::riseTerms(unsigned int h, double t, double Ti, double Te, double & nBase,
										double & nSched, double & roomExcess, double & outsideExcess) const
{
	nSched = m_scheduleAirChangeRates.value(h, t);
	if (m_modelType == MANAGED) {
		nBase = m_baseAirChangeRate;
		roomExcess = Ti - (m_minTRoom + ZEB::KELVIN_OFFSET);
		outsideExcess = Ti - Te;
		return;
	}
	// in seconds, where the remainder is exact: a fraction of a day scaled back to hours puts
	// 23:00 on half the days of the year a hair before 23:00
	double s = std::fmod(t, 86400.0);
	if (s < 0)
		s += 86400.0;
	if (inDayPeriod(s, secondsOfDay(m_occupancyStartTime), secondsOfDay(m_occupancyEndTime))) {
		nBase = m_baseAirChangeRate;
		roomExcess = Ti - (m_minTRoom + ZEB::KELVIN_OFFSET);
		outsideExcess = Ti - (Te + m_tRoomDifference);
	}
	else {
		nBase = m_baseAirChangeRateNight;
		roomExcess = Ti - (m_setTRoom + ZEB::KELVIN_OFFSET);
		outsideExcess = Ti - (Te + m_tRoomDifferenceNight);
	}
}


NaturalVentilationModel::HeldRise NaturalVentilationModel::rise(unsigned int h, double t, double Ti, double Te,
																 const HeldRise * held) const
{
	if (held != nullptr) {
		double z[3];
		riseSwitchingFunctions(*held, h, t, Ti, Te, z);
		if (z[0] <= 0 && z[1] <= 0 && z[2] <= 0)
			return *held;
	}
	double nBase, nSched, roomExcess, outsideExcess;
	riseTerms(h, t, Ti, Te, nBase, nSched, roomExcess, outsideExcess);
	HeldRise where;
	where.m_stage = SmoothStep::stage(std::min(roomExcess, outsideExcess), TRANSITION_WIDTH);
	where.m_onOutsideExcess = (where.m_stage == 1 || where.m_stage == 2) && outsideExcess < roomExcess;
	return where;
}


void NaturalVentilationModel::riseSwitchingFunctions(const HeldRise & held, unsigned int h, double t, double Ti,
													 double Te, double * z) const
{
	double nBase, nSched, roomExcess, outsideExcess;
	riseTerms(h, t, Ti, Te, nBase, nSched, roomExcess, outsideExcess);
	const bool onStep = held.m_stage == 1 || held.m_stage == 2;
	const double excess = !onStep ? std::min(roomExcess, outsideExcess)
						  : held.m_onOutsideExcess ? outsideExcess : roomExcess;
	SmoothStep::switchingFunctions(held.m_stage, excess, TRANSITION_WIDTH, z[0], z[1]);
	z[2] = onStep ? excess - (held.m_onOutsideExcess ? roomExcess : outsideExcess) - ControllerBand::SWITCH_HYSTERESIS
				  : -1;
}


double NaturalVentilationModel::steepestFall(const HeldRise & held, unsigned int h, double t, double Ti,
											 double Te) const
{
	if (held.m_stage != 1 && held.m_stage != 2)
		return 0;
	double nBase, nSched, roomExcess, outsideExcess;
	riseTerms(h, t, Ti, Te, nBase, nSched, roomExcess, outsideExcess);
	// both excesses grow with the room air alike; the cubic step is steepest at its middle, at 1.5
	// times its mean slope
	return nSched < nBase ? 1.5*(nBase - nSched)/TRANSITION_WIDTH : 0;
}


void NaturalVentilationModel::computeLoads(bool moistureBalanceEnabled, unsigned int h, double t, double Ti,
										   double Te, double rhoVi, double rhoVe, double volume,
										   double & moistureFlow, double & heatFlow, const HeldRise * held)
{
	switch (m_modelType) {
		case NONE:
			m_airChangeRate = 0;
			break;
		case SIMPLE:
			m_airChangeRate = m_scheduleAirChangeRates.value(h, t);
			break;
		case MANAGED:
		case DIN: {
			double nBase, nSched, roomExcess, outsideExcess;
			riseTerms(h, t, Ti, Te, nBase, nSched, roomExcess, outsideExcess);
			if (held == nullptr)
				m_airChangeRate = smoothedAirChange(nBase, nSched, roomExcess, outsideExcess);
			else {
				// smoothedAirChange's step on the held stage (on the step, of the held excess)
				const double excess = held->m_onOutsideExcess ? outsideExcess : roomExcess;
				m_airChangeRate = nBase + SmoothStep::value(held->m_stage, excess, TRANSITION_WIDTH)*(nSched - nBase);
			}
			break;
		}
	}

	const double volumeFlow = m_airChangeRate * volume / 3600;	// [m3/s]
	if (!moistureBalanceEnabled) {
		moistureFlow = 0;
		heatFlow = volumeFlow * (Te - Ti) * ZEB::C_AIR * ZEB::RHO_AIR;
		return;
	}
	moistAirExchange(volumeFlow, Ti, Te, rhoVi, rhoVe, moistureFlow, heatFlow);
}


void NaturalVentilationModel::moistAirExchange(double volumeFlow, double Ti, double Te, double rhoVi, double rhoVe,
											   double & moistureFlow, double & heatFlow)
{
	const double pVe = rhoVe * ZEB::R_VAPOR * Te;
	const double pVi = rhoVi * ZEB::R_VAPOR * Ti;
	const double rhoAe = (ZEB::GASPRESS_REF - pVe) / (ZEB::R_AIR * Te);
	const double rhoAi = (ZEB::GASPRESS_REF - pVi) / (ZEB::R_AIR * Ti);
	const double rhoE = rhoAe + rhoVe;
	const double rhoI = rhoAi + rhoVi;
	// the same mass leaves as enters; counted at the outside density
	const double massFlow = volumeFlow * rhoE;
	const double xE = rhoVe / rhoE;
	const double xI = rhoVi / rhoI;
	moistureFlow = massFlow * (xE - xI);
	heatFlow = massFlow * (rhoAe / rhoE * ZEB::C_AIR * Te + xE * vaporEnthalpy(Te)
						   - rhoAi / rhoI * ZEB::C_AIR * Ti - xI * vaporEnthalpy(Ti));
}


void NaturalVentilationModel::readXML(QXmlStreamReader & reader) {
	warnUnknownAttributes(reader, NATURAL_VENTILATION_MODEL_NAMES, FUNC_ID);
	readModelAttributes(reader, m_name, MODEL_TYPE_NAMES, m_modelType, FUNC_ID);

	auto readNumber = [&reader](double & value, const ValueRange & range) {
		value = readFiniteRealElement(reader, "NaturalVentilationModel", FUNC_ID, range);
	};
	// an unreadable time would place the day anywhere: keep the one we have
	auto readTime = [&reader](QTime & time) {
		const QString tag = reader.name().toString();
		const QString text = readTextElement(reader).trimmed();
		const QTime read = QTime::fromString(text, TIME_FORMAT);
		if (read.isValid())
			time = read;
		else if (!reader.hasError())
			ZEB::ZEB_Message(ZEB::FormatString("Invalid time '%1' in element '%2' of NaturalVentilationModel tag, "
											   "keeping %3.").arg(text.toStdString()).arg(tag.toStdString())
							 .arg(time.toString(TIME_FORMAT).toStdString()), ZEB::MSG_WARNING, FUNC_ID, 1);
	};

	while (readKnownChildElement(reader, NATURAL_VENTILATION_MODEL_NAMES, FUNC_ID)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("ScheduleAirChangeRates"))
			m_scheduleAirChangeRates.readXML(reader, NOT_NEGATIVE);
		else if (tag == QLatin1String("MinTRoom"))
			readNumber(m_minTRoom, CELSIUS);
		else if (tag == QLatin1String("SetTRoom"))
			readNumber(m_setTRoom, CELSIUS);
		else if (tag == QLatin1String("TRoomDifference"))
			readNumber(m_tRoomDifference, ANY_NUMBER);
		else if (tag == QLatin1String("TRoomDifferenceNight"))
			readNumber(m_tRoomDifferenceNight, ANY_NUMBER);
		else if (tag == QLatin1String("BaseAirChangeRate"))
			readNumber(m_baseAirChangeRate, NOT_NEGATIVE);
		else if (tag == QLatin1String("BaseAirChangeRateNight"))
			readNumber(m_baseAirChangeRateNight, NOT_NEGATIVE);
		else if (tag == QLatin1String("OccupancyStartTime"))
			readTime(m_occupancyStartTime);
		else if (tag == QLatin1String("OccupancyEndTime"))
			readTime(m_occupancyEndTime);
		else
			readUnknownElement(reader, NATURAL_VENTILATION_MODEL_NAMES, FUNC_ID);
	}
}


void NaturalVentilationModel::writeXML(QXmlStreamWriter & writer) const {
	writeModelStart(writer, "NaturalVentilationModel", m_name, MODEL_TYPE_NAMES, m_modelType);
	m_scheduleAirChangeRates.writeXML(writer, false);
	writer.writeTextElement("MinTRoom", xmlDouble(m_minTRoom));
	writer.writeTextElement("TRoomDifference", xmlDouble(m_tRoomDifference));
	writer.writeTextElement("SetTRoom", xmlDouble(m_setTRoom));
	writer.writeTextElement("TRoomDifferenceNight", xmlDouble(m_tRoomDifferenceNight));
	writer.writeTextElement("BaseAirChangeRate", xmlDouble(m_baseAirChangeRate));
	writer.writeTextElement("BaseAirChangeRateNight", xmlDouble(m_baseAirChangeRateNight));
	writer.writeTextElement("OccupancyStartTime", m_occupancyStartTime.toString(TIME_FORMAT));
	writer.writeTextElement("OccupancyEndTime", m_occupancyEndTime.toString(TIME_FORMAT));
	writer.writeEndElement();
}

} // namespace RX
