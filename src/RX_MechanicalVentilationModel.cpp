#include "RX_MechanicalVentilationModel.h"

#include <algorithm>
#include <cmath>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Constants.h"
#include "ZEB_Math.h"
#include "ZEB_MessageHandlerRegistry.h"

#include "RX_Constants.h"
#include "RX_CoolingModel.h"
#include "RX_KnownNames.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

/*! Half width of the heat recovery bypass around its set point [K]. */
const double BYPASS_HALF_WIDTH = 0.3;
/*! Rise of the cooling supply flow with the room's excess over the set point [m3/h per K]. */
const double COOLING_FLOW_PER_KELVIN = 10000;

const char * const FUNC_ID = "MechanicalVentilationModel::readXML";
const char * const OWNER = "MechanicalVentilationModel";
const char * const MODEL_TYPE_NAMES[] = {"NONE", "MECHANICAL_VENTILATION", "MECHANICAL_VENTILATION_COOLING"};

} // namespace


MechanicalVentilationModel::MechanicalVentilationModel() {
	// the cooling mode shares the ideal cooling's set points
	const CoolingModel cooling;
	m_scheduleSetPoints = cooling.m_scheduleSetPoints;
	m_scheduleHumiditySetPoints = cooling.m_scheduleHumiditySetPoints;
	m_scheduleVentilationRates.m_name = "ScheduleVentilationRates";
	m_scheduleVentilationRates.m_type = Schedule::CONSTANT;
	m_scheduleVentilationRates.m_constantValue = 0;
}


void MechanicalVentilationModel::computeLoads(bool moistureBalanceEnabled, unsigned int h, double t, double Ti,
											  double Te, double rhoVi, double rhoVe, double /*volume*/,
											  double & moistureFlow, double & supplyFlow, double & heatFlow,
											  double & coolingPower, const std::uint8_t * heldBypass) const
{
	moistureFlow = 0;
	supplyFlow = 0;
	heatFlow = 0;
	coolingPower = 0;

	if (m_modelType == MECHANICAL_VENTILATION) {
		supplyFlow = m_scheduleVentilationRates.value(h, t) / 3600;
		const double THr = m_heatRecoverySetpoint + ZEB::KELVIN_OFFSET;
		double efficiency = m_heatRecoveryEfficiency;
		// bypass the recovery smoothly as the room reaches the set point: halved at it, none from +0.3 K
		if (heldBypass != nullptr)
			efficiency *= 1 - SmoothStep::value(*heldBypass, Ti - (THr - BYPASS_HALF_WIDTH), 2 * BYPASS_HALF_WIDTH);
		else if (Ti > THr - BYPASS_HALF_WIDTH) {
			const double s = (std::min(Ti, THr + BYPASS_HALF_WIDTH) - (THr - BYPASS_HALF_WIDTH)) / (2 * BYPASS_HALF_WIDTH);
			efficiency *= 1 - ZEB::scale(s);
		}
		const double Ts = Ti - (1 - efficiency) * (Ti - Te);
		if (!moistureBalanceEnabled) {
			heatFlow = supplyFlow * ZEB::RHO_AIR * ZEB::C_AIR * (Ts - Ti);
			return;
		}
		const double pVe = rhoVe * ZEB::R_VAPOR * Te;
		const double rhoAe = (ZEB::GASPRESS_REF - pVe) / (ZEB::R_AIR * Te);
		const double rhoE = rhoAe + rhoVe;
		double massFlow = supplyFlow * rhoE;
		double xE = rhoVe / rhoE;
		const double aE = rhoAe / rhoE;
		// only air that passes the recovery unit is cooled down to the supply temperature
		if (efficiency > 0) {
			const double xSat = p_sat(Ts) / (ZEB::R_VAPOR * Ts) / rhoE;
			if (xE > xSat) {
				massFlow -= massFlow * (xE - xSat);
				xE = xSat;
			}
		}
		const double pVi = rhoVi * ZEB::R_VAPOR * Ti;
		const double rhoAi = (ZEB::GASPRESS_REF - pVi) / (ZEB::R_AIR * Ti);
		const double rhoI = rhoAi + rhoVi;
		const double xI = rhoVi / rhoI;
		const double aI = rhoAi / rhoI;
		moistureFlow = massFlow * (xE - xI);
		heatFlow = massFlow * (aE * ZEB::C_AIR * Ts + xE * vaporEnthalpy(Ts)
							   - aI * ZEB::C_AIR * Ti - xI * vaporEnthalpy(Ti));
	}
	else if (m_modelType == MECHANICAL_VENTILATION_COOLING) {
		const ControllerBand band = coolingBand(h, t);
		coolingFlows(-band.load(band.piece(Ti), Ti), Ti, Te, supplyFlow, heatFlow, coolingPower);
	}
}


std::uint8_t MechanicalVentilationModel::bypassStage(double Ti, const std::uint8_t * held, double restShift) const {
	const double THr = m_heatRecoverySetpoint + ZEB::KELVIN_OFFSET;
	const double x = Ti - (THr - BYPASS_HALF_WIDTH);
	return held != nullptr ? SmoothStep::next(*held, x, 2 * BYPASS_HALF_WIDTH, restShift)
						   : SmoothStep::stage(x, 2 * BYPASS_HALF_WIDTH);
}


void MechanicalVentilationModel::bypassSwitchingFunctions(std::uint8_t s, double Ti, double restShift, double & zBelow,
														  double & zAbove) const
{
	const double THr = m_heatRecoverySetpoint + ZEB::KELVIN_OFFSET;
	SmoothStep::switchingFunctions(s, Ti - (THr - BYPASS_HALF_WIDTH), 2 * BYPASS_HALF_WIDTH, zBelow, zAbove, restShift);
}


ControllerBand MechanicalVentilationModel::coolingBand(unsigned int h, double t) const {
	ControllerBand b;
	b.m_TSet = m_scheduleSetPoints.value(h, t) + ZEB::KELVIN_OFFSET;
	b.m_setPointRate = m_scheduleSetPoints.rate(t);
	b.m_slope = COOLING_FLOW_PER_KELVIN;
	b.m_limit = m_modelType == MECHANICAL_VENTILATION_COOLING ? m_maxSupplyFlowRate : 0;
	b.m_cooling = true;
	return b;
}


void MechanicalVentilationModel::coolingFlows(double flow, double Ti, double Te, double & supplyFlow,
											  double & heatFlow, double & coolingPower) const
{
	supplyFlow = 0;
	heatFlow = 0;
	coolingPower = 0;
	const double TSup = m_supplyTemperature + ZEB::KELVIN_OFFSET;
	// Outside air already colder than the supply temperature enters as it is, so it also cools a
	// room that lies between its set point and a supply temperature above that. Switching off
	// at the supply temperature instead would make the heat flow jump there by the supply's
	// whole excess over the outside air: the room air slides along the jump, a difference-quotient
	// Jacobian taken there turns the jump into a vast gain, and integrators accept steps in which
	// the room air runs away to 200 C against the cooling.
	const double TIn = std::min(Te, TSup);
	if (flow == 0 || TIn >= Ti)
		return;
	supplyFlow = flow / 3600;
	heatFlow = -ZEB::RHO_AIR * ZEB::C_AIR * supplyFlow * (Ti - TIn);
	coolingPower = -ZEB::RHO_AIR * ZEB::C_AIR * supplyFlow * std::max(0.0, Te - TSup);
}


void MechanicalVentilationModel::readXML(QXmlStreamReader & reader) {
	warnUnknownAttributes(reader, MECHANICAL_VENTILATION_MODEL_NAMES, FUNC_ID);
	readModelAttributes(reader, m_name, MODEL_TYPE_NAMES, m_modelType, FUNC_ID);

	// the supply values and the efficiency are corrected below rather than refused
	auto readNumber = [&reader](const ValueRange & range) {
		return readFiniteRealElement(reader, OWNER, FUNC_ID, range);
	};

	while (readKnownChildElement(reader, MECHANICAL_VENTILATION_MODEL_NAMES, FUNC_ID)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("ScheduleSetPoints"))
			m_scheduleSetPoints.readXML(reader, CELSIUS);
		else if (tag == QLatin1String("ScheduleHumiditySetPoints"))
			m_scheduleHumiditySetPoints.readXML(reader, PERCENT);
		else if (tag == QLatin1String("ScheduleVentilationRates"))
			m_scheduleVentilationRates.readXML(reader, NOT_NEGATIVE);
		else if (tag == QLatin1String("SupplyTemperature")) {
			const QString text = readTextElement(reader);
			// below absolute zero the supply falls back to -100 C; absolute zero itself (also as the
			// writer rounds it) would pass that and supply air at 0 K, so it is refused as every
			// temperature no room has
			if (!reader.hasError())
				m_supplyTemperature = finiteNumber(text, "SupplyTemperature", OWNER, FUNC_ID) < -ZEB::KELVIN_OFFSET
					? -100 : finiteNumber(text, "SupplyTemperature", OWNER, FUNC_ID, CELSIUS);
		}
		else if (tag == QLatin1String("MaxSupplyFlowRate")) {
			m_maxSupplyFlowRate = readNumber(ANY_NUMBER);
			if (m_maxSupplyFlowRate < 0)
				m_maxSupplyFlowRate = 0.1;
		}
		else if (tag == QLatin1String("HeatRecoveryEfficiency"))
			m_heatRecoveryEfficiency = std::min(1.0, std::max(0.0, readNumber(ANY_NUMBER)));
		else if (tag == QLatin1String("HeatRecoverySetpoint"))
			m_heatRecoverySetpoint = readNumber(CELSIUS);
		else
			readUnknownElement(reader, MECHANICAL_VENTILATION_MODEL_NAMES, FUNC_ID);
	}
}


void MechanicalVentilationModel::writeXML(QXmlStreamWriter & writer) const {
	writeModelStart(writer, "MechanicalVentilationModel", m_name, MODEL_TYPE_NAMES, m_modelType);
	writer.writeTextElement("SupplyTemperature", xmlDouble(m_supplyTemperature));
	writer.writeTextElement("MaxSupplyFlowRate", xmlDouble(m_maxSupplyFlowRate));
	writer.writeTextElement("HeatRecoveryEfficiency", xmlDouble(m_heatRecoveryEfficiency));
	writer.writeTextElement("HeatRecoverySetpoint", xmlDouble(m_heatRecoverySetpoint));
	m_scheduleSetPoints.writeXML(writer, false);
	m_scheduleHumiditySetPoints.writeXML(writer, false);
	m_scheduleVentilationRates.writeXML(writer, false);
	writer.writeEndElement();
}

} // namespace RX
