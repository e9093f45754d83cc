#include "RX_NaturalVentilationModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Constants.h"
#include "ZEB_Math.h"
#include "ZEB_MessageHandlerRegistry.h"

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

/*! Whether the held stage s lies on the step. */
bool onStep(std::uint8_t s) {
	return s != 0 && s != SmoothStep::STAGES - 1;
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


bool NaturalVentilationModel::tipping(double nBase, double nSched, double Ti, double Te, const RoomAir & air,
									   double & tipLow, double & tipHigh)
{
	tipLow = tipHigh = TRANSITION_WIDTH/2;
	if (!(nSched < nBase))
		return false;
	// The air change's loss k*n*(Ti - Te) falls with the room air on the step by k*|n'|*(Ti - Te),
	// |n'| = (nBase - nSched)*6*s*(1 - s)/width at s = x/width of the step: unstable where that
	// outweighs what holds the air, its conductance and the air change itself (near the step's
	// ends, where |n'| vanishes, at the base below and the scheduled air change above).
	const double k = ZEB::RHO_AIR*ZEB::C_AIR*air.m_volume/3600;	// [W/K per 1/h]
	const double spread = 6*(nBase - nSched)*k*(Ti - Te)/TRANSITION_WIDTH;
	if (spread > 0) {
		const double low = (air.m_conductance + k*nBase)/spread;
		const double high = (air.m_conductance + k*nSched)/spread;
		if (low < 0.25)
			tipLow = TRANSITION_WIDTH*(1 - std::sqrt(1 - 4*low))/2;
		if (high < 0.25)
			tipHigh = TRANSITION_WIDTH*(1 + std::sqrt(1 - 4*high))/2;
	}
	return true;
}


NaturalVentilationModel::HeldRise NaturalVentilationModel::rise(unsigned int h, double t, double Ti, double Te,
																 const RoomAir & air, const HeldRise * held,
																 double drift) const
{
	if (held != nullptr) {
		double z[3];
		riseSwitchingFunctions(*held, h, t, Ti, Te, air, z, drift);
		if (z[0] <= 0 && z[1] <= 0 && z[2] <= 0)
			return *held;
	}
	double nBase, nSched, roomExcess, outsideExcess, tipLow, tipHigh;
	riseTerms(h, t, Ti, Te, nBase, nSched, roomExcess, outsideExcess);
	const double excess = std::min(roomExcess, outsideExcess);
	HeldRise where;
	if (held != nullptr && tipping(nBase, nSched, Ti, Te, air, tipLow, tipHigh)) {
		// drift is the air's balance at the air change last computed; on the step itself at x
		// the air change's loss differs by k*(n - step)*(Ti - Te)
		const double k = ZEB::RHO_AIR*ZEB::C_AIR*air.m_volume/3600;
		const double step = nBase + ZEB::scale2(excess, TRANSITION_WIDTH)*(nSched - nBase);
		const double tendency = drift + k*(m_airChangeRate - step)*(Ti - Te);
		where.m_stage = SmoothStep::tippingStage(held->m_stage, excess, TRANSITION_WIDTH, tipLow, tipHigh, tendency);
	}
	else
		where.m_stage = SmoothStep::stage(excess, TRANSITION_WIDTH);
	where.m_onOutsideExcess = onStep(where.m_stage) && outsideExcess < roomExcess;
	return where;
}


void NaturalVentilationModel::riseSwitchingFunctions(const HeldRise & held, unsigned int h, double t, double Ti,
													 double Te, const RoomAir & air, double * z, double drift) const
{
	double nBase, nSched, roomExcess, outsideExcess, tipLow, tipHigh;
	riseTerms(h, t, Ti, Te, nBase, nSched, roomExcess, outsideExcess);
	const bool on = onStep(held.m_stage);
	const double excess = !on ? std::min(roomExcess, outsideExcess)
						  : held.m_onOutsideExcess ? outsideExcess : roomExcess;
	if (tipping(nBase, nSched, Ti, Te, air, tipLow, tipHigh))
		SmoothStep::tippingSwitchingFunctions(held.m_stage, excess, TRANSITION_WIDTH, tipLow, tipHigh, z[0], z[1]);
	else if (held.m_stage >= SmoothStep::STAGES)
		// held across a step that no longer tips (its rules changed): left at once
		z[0] = z[1] = 1;
	else
		// a rising air change holds the room on its step (the excesses move with the room air)
		SmoothStep::switchingFunctions(held.m_stage, excess, TRANSITION_WIDTH, z[0], z[1],
									   nSched > nBase ? SmoothStep::ENTRY_REACH : 0, nSched > nBase ? drift : 0);
	z[2] = on ? excess - (held.m_onOutsideExcess ? roomExcess : outsideExcess) - ControllerBand::SWITCH_HYSTERESIS
			  : -1;
}


void NaturalVentilationModel::computeLoads(bool moistureBalanceEnabled, unsigned int h, double t, double Ti,
										   double Te, double rhoVi, double rhoVe, double volume,
										   double & moistureFlow, double & heatFlow, const HeldRise * held,
										   double airConductance)
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
				// smoothedAirChange's step on the held stage (on the step, of the held excess), or
				// across it where it tips
				const double excess = held->m_onOutsideExcess ? outsideExcess : roomExcess;
				RoomAir air;
				air.m_volume = volume;
				air.m_conductance = airConductance;
				double tipLow, tipHigh;
				const double step = tipping(nBase, nSched, Ti, Te, air, tipLow, tipHigh)
									? SmoothStep::tippingValue(held->m_stage, excess, TRANSITION_WIDTH, tipLow, tipHigh)
									: SmoothStep::value(held->m_stage, excess, TRANSITION_WIDTH);
				m_airChangeRate = nBase + step*(nSched - nBase);
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
	heatFlow = massFlow * (rhoAe / rhoE * ZEB::C_AIR * Te + xE * (ZEB::C_VAPOR * Te + ZEB::H_EVAP)
						   - rhoAi / rhoI * ZEB::C_AIR * Ti - xI * (ZEB::C_VAPOR * Ti + ZEB::H_EVAP));
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
