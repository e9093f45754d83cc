#include "RX_CoolingModel.h"

#include <algorithm>
#include <cmath>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Constants.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Unit.h"
#include "ZEB_UnitVector.h"

#include "RX_Constants.h"
#include "RX_KnownNames.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

/*! A room closer than this to the set point [K] counts as controlled well enough. */
const double SLOPE_ADJUST_THRESHOLD = 0.2;
/*! Gain of the vapour removal [m3/s]: kg/s removed per kg/m3 of vapour above the set point. */
const double DEHUMIDIFICATION_RATE = 10.0;

const char * const FUNC_ID = "[CoolingModel::readXML]";
const char * const MODEL_TYPE_NAMES[] = {"NONE", "SIMPLE"};

// Converts the values from unit from into unit to (same base unit).
std::vector<double> converted(const std::vector<double> & values, ZEB::Unit from, ZEB::Unit to) {
	ZEB::UnitVector v;
	v.m_data = values;
	v.m_unit = from;
	v.convert(to);
	return v.m_data;
}

} // namespace


CoolingModel::CoolingModel() {
	m_scheduleSetPoints.m_name = "ScheduleSetPoints";
	m_scheduleSetPoints.m_type = Schedule::DAILY_WEEK;
	m_scheduleSetPoints.m_constantValue = 26;
	m_scheduleHumiditySetPoints.m_name = "ScheduleHumiditySetPoints";
	m_scheduleHumiditySetPoints.m_type = Schedule::DAILY_WEEK;
	m_scheduleHumiditySetPoints.m_constantValue = 50;
	for (unsigned int k = 0; k < 24; ++k) {
		const bool workingHours = k >= 8 && k <= 16;
		m_scheduleSetPoints.m_weekDaySchedule[k] = workingHours ? 26 : 40;
		m_scheduleSetPoints.m_weekEndSchedule[k] = 40;
		m_scheduleSetPoints.m_summerSchedule[k] = workingHours ? 26 : 40;
		m_scheduleSetPoints.m_winterSchedule[k] = 40;
		m_scheduleHumiditySetPoints.m_weekDaySchedule[k] = workingHours ? 50 : 100;
		m_scheduleHumiditySetPoints.m_weekEndSchedule[k] = 100;
		m_scheduleHumiditySetPoints.m_summerSchedule[k] = workingHours ? 50 : 100;
		m_scheduleHumiditySetPoints.m_winterSchedule[k] = 100;
	}
}


void CoolingModel::computeLoads(bool moistureBalanceEnabled, unsigned int h, double t, double TRoom, double rhoVRoom,
								double & coolingLoad, double & moistureFlow, double & moistureEnthalpyFlow,
								double & dehumidificationPower, const ControllerPiece * heldDehumidification) const
{
	coolingLoad = 0;
	moistureFlow = 0;
	moistureEnthalpyFlow = 0;
	dehumidificationPower = 0;
	if (m_modelType != SIMPLE)
		return;

	if (moistureBalanceEnabled && heldDehumidification != nullptr) {
		dehumidificationPower = -dehumidificationBand(h, t, TRoom).load(*heldDehumidification, rhoVRoom);
		moistureFlow = -dehumidificationPower / ZEB::H_EVAP;
	}
	else if (moistureBalanceEnabled) {
		const double phiSet = m_scheduleHumiditySetPoints.value(h, t) / 100;
		const double rhoVSet = phiSet * p_sat(TRoom) / (ZEB::R_VAPOR * TRoom);
		const double g = (rhoVSet - rhoVRoom) * DEHUMIDIFICATION_RATE;
		if (g < 0) {
			moistureFlow = g;
			dehumidificationPower = -g * ZEB::H_EVAP;
		}
		// the device's nominal power bounds the removal, also when a curve bounds the cooling
		if (dehumidificationPower > m_maxPower) {
			dehumidificationPower = m_maxPower;
			moistureFlow = -m_maxPower / ZEB::H_EVAP;
		}
	}

	const double TSet = m_scheduleSetPoints.value(h, t) + ZEB::KELVIN_OFFSET;
	coolingLoad = std::min(0.0, (TSet - TRoom) * m_slope);
	const double available = maxPower(TSet) - dehumidificationPower;
	coolingLoad = available > 0 ? std::max(-available, coolingLoad) : 0.0;
	moistureEnthalpyFlow = vaporEnthalpy(TRoom) * moistureFlow;
}


double CoolingModel::maxPower(double TSet) const {
	return m_maxPowerCurve.m_valid ? m_maxPowerCurve.value(TSet) : m_maxPower;
}


ControllerBand CoolingModel::band(unsigned int h, double t, double dehumidificationPower) const {
	ControllerBand b;
	b.m_TSet = m_scheduleSetPoints.value(h, t) + ZEB::KELVIN_OFFSET;
	b.m_setPointRate = m_scheduleSetPoints.rate(t);
	b.m_slope = m_slope;
	b.m_limit = m_modelType == SIMPLE ? maxPower(b.m_TSet) - dehumidificationPower : 0;
	b.m_takenPower = m_modelType == SIMPLE ? dehumidificationPower : 0;
	b.m_cooling = true;
	if (m_slope < MAX_SLOPE)
		b.m_raiseDepth = SLOPE_ADJUST_THRESHOLD;
	return b;
}


ControllerBand CoolingModel::dehumidificationBand(unsigned int h, double t, double TRoom) const {
	ControllerBand b;
	// the density of the vapour at the set point, as computeLoads has it, and its slope over the
	// room air from its values a hundredth of a Kelvin about it
	const double phiSet = m_scheduleHumiditySetPoints.value(h, t) / 100;
	const auto setPoint = [phiSet](double T) { return phiSet * p_sat(T) / (ZEB::R_VAPOR * T); };
	b.m_TSet = setPoint(TRoom);
	const double dT = 0.01;
	b.m_setPointSlope = (setPoint(TRoom + dT) - setPoint(TRoom - dT)) / (2 * dT);
	b.m_slope = DEHUMIDIFICATION_RATE * ZEB::H_EVAP;
	b.m_limit = m_modelType == SIMPLE ? m_maxPower : 0;
	b.m_cooling = true;
	// the vapour whose heat of evaporation is that of the room air's hysteresis: a watt or so
	b.m_hysteresis = ControllerBand::SWITCH_HYSTERESIS * ZEB::RHO_AIR * ZEB::C_AIR / ZEB::H_EVAP;
	return b;
}


void CoolingModel::adjustSlope(unsigned int h, double t, double TRoom, double coolingLoad, double dehumidificationPower) {
	// an idle or saturated cooler is not a question of the gain, nor one that cools with all the
	// power its dehumidification leaves it: raised at every completed step, its gain would climb
	// to the limit in steps of a minute and stay far lower in steps of an hour, and at 500 kW/K
	// the room air swung by a degree about a switch in co-simulation. Under a curve the device
	// saturates at the curve's power: tested against the nominal power, the gain of a small room's
	// cooler climbed to the limit and co-simulation's room air hung on its communication step.
	const double TSet = m_scheduleSetPoints.value(h, t) + ZEB::KELVIN_OFFSET;
	if (coolingLoad == 0 || coolingLoad <= -(maxPower(TSet) - dehumidificationPower))
		return;
	const double deltaT = TRoom - TSet;
	if (!(deltaT > SLOPE_ADJUST_THRESHOLD) || m_slope >= MAX_SLOPE)
		return;
	m_slope = std::min(1.2 * m_slope, MAX_SLOPE);
	if (ZEB::MessageHandlerRegistry::instance().currentHandler()->consoleVerbosityLevel() >= 2)
		ZEB::ZEB_Message(ZEB::FormatString("SlopeIdealCooling = %1 W/K\n").arg(m_slope),
						 ZEB::MSG_PROGRESS, "[CoolingModel::adjustSlope]", 2);
}


void CoolingModel::readXML(QXmlStreamReader & reader) {
	warnUnknownAttributes(reader, COOLING_MODEL_NAMES, FUNC_ID);
	readModelAttributes(reader, m_name, MODEL_TYPE_NAMES, m_modelType, FUNC_ID);

	while (readKnownChildElement(reader, COOLING_MODEL_NAMES, FUNC_ID)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("MaxPower")) {
			m_maxPower = readFiniteRealElement(reader, "CoolingModel", FUNC_ID, NOT_NEGATIVE);
		}
		else if (tag == QLatin1String("LinearSpline")) {
			QString name, xUnit, yUnit;
			ZEB::LinearSpline spline;
			// rejected values pass out as the spline reports them
			readNamedZEBSplineData(reader, name, xUnit, yUnit, spline, NOT_NEGATIVE);
			if (name != QLatin1String("MaxPowerCurve")) {
				warnUnknownSpline(name, "CoolingModel", FUNC_ID);
				continue;
			}
			try {
				const ZEB::Unit xu = splineUnit(xUnit, "x", name, "K", "temperature in [K]", FUNC_ID);
				const ZEB::Unit yu = splineUnit(yUnit, "y", name, "J/s", "power in [W]", FUNC_ID);
				const ZEB::Unit kelvin("K");
				const ZEB::Unit power("J/s");
				// a rejected curve must not destroy the one the model had
				ZEB::LinearSpline curve;
				curve.setValues(converted(spline.m_x, xu, kelvin), converted(spline.m_y, yu, power));
				if (!curve.m_valid)
					throw ZEB::Exception(ZEB::FormatString("Invalid data in linear spline '%1', cannot create "
														   "monotonically increasing spline.").arg(name.toStdString()), FUNC_ID);
				m_maxPowerCurve.swap(curve);
			}
			catch (const ZEB::Exception & ex) {
				throw ZEB::Exception(ex, "Error reading cooling model data.", FUNC_ID);
			}
		}
		else if (tag == QLatin1String("ScheduleSetPoints"))
			m_scheduleSetPoints.readXML(reader, CELSIUS);
		else if (tag == QLatin1String("ScheduleHumiditySetPoints"))
			m_scheduleHumiditySetPoints.readXML(reader, PERCENT);
		else
			readUnknownElement(reader, COOLING_MODEL_NAMES, FUNC_ID);
	}
}


void CoolingModel::writeXML(QXmlStreamWriter & writer) const {
	writeModelStart(writer, "CoolingModel", m_name, MODEL_TYPE_NAMES, m_modelType);
	writer.writeTextElement("MaxPower", xmlDouble(m_maxPower));
	if (!m_maxPowerCurve.m_x.empty() && m_maxPowerCurve.m_valid) {
		// the file holds C and kW; only the values are written, the converted x still rise
		ZEB::LinearSpline written;
		written.m_x = converted(m_maxPowerCurve.m_x, ZEB::Unit("K"), ZEB::Unit("C"));
		written.m_y = converted(m_maxPowerCurve.m_y, ZEB::Unit("W"), ZEB::Unit("kW"));
		written.m_valid = true;
		writeNamedZEBSplineData(writer, "MaxPowerCurve", "C", "kW", written);
	}
	m_scheduleSetPoints.writeXML(writer, false);
	m_scheduleHumiditySetPoints.writeXML(writer, false);
	writer.writeEndElement();
}

} // namespace RX
