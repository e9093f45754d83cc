#include "RX_NaturalVentilationModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Constants.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Time.h"

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

// The share of the step from the base to the scheduled air change at the excess x [K]: linear
// from 0 to TRANSITION_WIDTH. A smooth (cubic) step has no slope at its ends, where a host's
// solver restarts as the room enters it: its Jacobian then lacks the step's gain of kilowatts
// per kelvin, its Newton iterations bounced across the step and were accepted beyond it, and the
// room entered and left the step again and again (a tenth more events at 1e-4 than at 1e-6).
double stepShare(double x) {
	return std::min(1.0, std::max(0.0, x/TRANSITION_WIDTH));
}

// The share of the held step at the excess x [K]: the step continued at its gain as far as the
// step is held beyond its ends (NaturalVentilationModel::STEP_REACH). A host restarts as the room
// enters the step, and its first step after that may be as long as several of the room air's
// time constants on the step (some 20 s where the air change rises by kilowatts per kelvin): its
// predictor lands beyond the step's ends, and on a step continued flat there its Newton iterations,
// with the Jacobian of the step's gain, bounced across the step, were accepted 0.1 K beyond it,
// and the room left the step and entered it again every minute while its balance lay on the step.
// Continued at its gain, the held step is linear wherever a host iterates on it. A step that
// falls as the room warms tips the room across it; beyond its ends the air change, flat there,
// steadies the room again, and continued at the step's gain it would carry the tipping on
// (exheat at 1e-5: 0.61 K off for hours, 0.10 K without): such a step stays flat beyond its ends.
double heldStepShare(double x, bool rising) {
	if (!rising)
		return stepShare(x);
	const double reach = NaturalVentilationModel::STEP_REACH/TRANSITION_WIDTH;
	return std::min(1 + reach, std::max(-reach, x/TRANSITION_WIDTH));
}

// The base air change, raised towards the scheduled one as the smaller of the two excess
// temperatures grows from 0 to TRANSITION_WIDTH.
double smoothedAirChange(double nBase, double nSched, double deltaT1, double deltaT2) {
	return nBase + stepShare(std::min(deltaT1, deltaT2)) * (nSched - nBase);
}

// The stage at the excess x [K].
std::uint8_t riseStage(double x) {
	if (x <= 0)
		return NaturalVentilationModel::RISE_BASE;
	return x < TRANSITION_WIDTH ? NaturalVentilationModel::RISE_STEP : NaturalVentilationModel::RISE_SCHEDULED;
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


double NaturalVentilationModel::fallingStepStart() const {
	const double nan = std::numeric_limits<double>::quiet_NaN();
	if (!rises())
		return nan;
	// the least scheduled air change of the hours in which each rule holds for a while
	const double start = secondsOfDay(m_occupancyStartTime);
	const double end = secondsOfDay(m_occupancyEndTime);
	const auto within = [](double s, double a) { return s > a && s < a + 3600; };
	double leastByDay = std::numeric_limits<double>::infinity();
	double leastByNight = leastByDay;
	for (unsigned int h = 0; h < ZEB::HOURS_PER_YEAR; ++h) {
		const double scheduled = m_scheduleAirChangeRates.value(h, 3600.0*h);
		const double a = 3600.0*(h % 24);
		const bool dayAtStart = m_modelType == MANAGED || inDayPeriod(a, start, end);
		if (dayAtStart || (m_modelType == DIN && within(start, a)))
			leastByDay = std::min(leastByDay, scheduled);
		if (m_modelType == DIN && (!dayAtStart || within(end, a)))
			leastByNight = std::min(leastByNight, scheduled);
	}
	if (m_baseAirChangeRate > leastByDay)
		return m_minTRoom;
	if (m_baseAirChangeRateNight > leastByNight)
		return m_setTRoom;
	return nan;
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


double NaturalVentilationModel::steepestRise() const {
	double steepest = 0;
	if (!rises())
		return steepest;
	for (unsigned int h = 0; h < ZEB::HOURS_PER_YEAR; ++h)
		for (const double t : {3600.0*h, 3600.0*h + 1800}) {
			double nBase, nSched, roomExcess, outsideExcess;
			riseTerms(h, t, ZEB::KELVIN_OFFSET, ZEB::KELVIN_OFFSET, nBase, nSched, roomExcess, outsideExcess);
			steepest = std::max(steepest, (nSched - nBase)/TRANSITION_WIDTH);
		}
	return steepest;
}


NaturalVentilationModel::HeldRise NaturalVentilationModel::rise(unsigned int h, double t, double Ti, double Te,
																 const HeldRise * held, double restShift) const
{
	if (held != nullptr) {
		double z[3];
		riseSwitchingFunctions(*held, h, t, Ti, Te, z, restShift);
		if (z[0] <= 0 && z[1] <= 0 && z[2] <= 0)
			return *held;
	}
	double nBase, nSched, roomExcess, outsideExcess;
	riseTerms(h, t, Ti, Te, nBase, nSched, roomExcess, outsideExcess);
	HeldRise where;
	where.m_stage = riseStage(std::min(roomExcess, outsideExcess));
	where.m_onOutsideExcess = where.m_stage == RISE_STEP && outsideExcess < roomExcess;
	return where;
}


void NaturalVentilationModel::riseSwitchingFunctions(const HeldRise & held, unsigned int h, double t, double Ti,
													 double Te, double * z, double restShift) const
{
	double nBase, nSched, roomExcess, outsideExcess;
	riseTerms(h, t, Ti, Te, nBase, nSched, roomExcess, outsideExcess);
	const bool onStep = held.m_stage == RISE_STEP;
	const double excess = !onStep ? std::min(roomExcess, outsideExcess)
						  : held.m_onOutsideExcess ? outsideExcess : roomExcess;
	// A stage is left once the room air and the point where it would rest both lie past the
	// stage's end, so that a host restarts where the step begins or ends as the room goes there,
	// while its error on the room air (some hundredths of a kelvin at 1e-4) does not switch a room
	// that rests near an end back and forth; or once the room air alone lies as far past it as the
	// stage may be held: the base and the scheduled rate are not the step's value on it, and the
	// step continued at its gain is not the air change beyond its ends.
	const double hysteresis = ControllerBand::SWITCH_HYSTERESIS;
	// how far [K] the room air and its point of rest lie past an end, the former beyond by beyond
	const auto past = [hysteresis, restShift](double beyond, double sign, double reach) {
		return std::max(std::min(beyond, beyond + sign*restShift) - hysteresis, beyond - reach);
	};
	const double w = TRANSITION_WIDTH;
	z[0] = held.m_stage == RISE_BASE ? -1
		   : held.m_stage == RISE_STEP ? past(-excess, -1, STEP_REACH) : past(w - excess, -1, CONSTANT_REACH);
	z[1] = held.m_stage == RISE_SCHEDULED ? -1
		   : held.m_stage == RISE_STEP ? past(excess - w, 1, STEP_REACH) : past(excess, 1, CONSTANT_REACH);
	z[2] = onStep ? excess - (held.m_onOutsideExcess ? roomExcess : outsideExcess) - hysteresis : -1;
}


double NaturalVentilationModel::steepestFall(const HeldRise & held, unsigned int h, double t, double Ti,
											 double Te) const
{
	if (held.m_stage != RISE_STEP)
		return 0;
	double nBase, nSched, roomExcess, outsideExcess;
	riseTerms(h, t, Ti, Te, nBase, nSched, roomExcess, outsideExcess);
	// both excesses grow with the room air alike
	return nSched < nBase ? (nBase - nSched)/TRANSITION_WIDTH : 0;
}


double NaturalVentilationModel::stepDistance(unsigned int h, double t, double Ti, double Te) const {
	double nBase, nSched, roomExcess, outsideExcess;
	riseTerms(h, t, Ti, Te, nBase, nSched, roomExcess, outsideExcess);
	const double excess = std::min(roomExcess, outsideExcess);
	return excess <= 0 ? -excess : excess >= TRANSITION_WIDTH ? TRANSITION_WIDTH - excess : 0;
}


void NaturalVentilationModel::computeLoads(bool moistureBalanceEnabled, unsigned int h, double t, double Ti,
										   double Te, double rhoVi, double rhoVe, double volume,
										   double & moistureFlow, double & heatFlow, const HeldRise * held)
{
	double continued = 0;
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
				const double share = held->m_stage == RISE_BASE ? 0 : held->m_stage == RISE_STEP ? heldStepShare(excess, nSched > nBase) : 1;
				// Continued below its base end, the step asks for less than no air change within a
				// twentieth of its reach where the base is small against the scheduled rate (0.2
				// against 4 per hour: 0.01 K). Cut off at none there, it had a kink where a host's
				// iterations with the step's gain in their Jacobian landed: a heavy room cooling
				// through the step after its evening setback was carried 0.1 K below it, left the
				// step for its base while it would rest on it, and entered it again a minute later.
				// Within the reach the step goes on linearly, and the air it then lets in warms the
				// room back towards the step, as the step itself does.
				m_airChangeRate = nBase + share*(nSched - nBase);
				if (held->m_stage == RISE_STEP)
					continued = m_airChangeRate - (nBase + stepShare(excess)*(nSched - nBase));
			}
			break;
		}
	}
	m_continuedAirChange = continued;
	m_continuedMoistureFlow = m_continuedHeatFlow = 0;
	if (continued != 0) {
		// what the step continued beyond its ends adds to the flows of the air change there
		const double volumeFlow = continued * volume / 3600;
		if (moistureBalanceEnabled)
			moistAirExchange(volumeFlow, Ti, Te, rhoVi, rhoVe, m_continuedMoistureFlow, m_continuedHeatFlow);
		else
			m_continuedHeatFlow = volumeFlow * (Te - Ti) * ZEB::C_AIR * ZEB::RHO_AIR;
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
