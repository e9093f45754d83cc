#ifndef RX_MechanicalVentilationModelH
#define RX_MechanicalVentilationModelH

#include <cstdint>

#include <QString>

#include "RX_ControllerBand.h"
#include "RX_Schedule.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! Mechanical supply of outside air. MECHANICAL_VENTILATION blows a scheduled flow through a heat
	recovery unit that is bypassed smoothly within +-0.3 K of its set point; with the room's
	moisture balance, vapour above saturation at the supply temperature condenses in the unit.
	MECHANICAL_VENTILATION_COOLING blows cooled air whenever the room is warmer than the cooling set
	point, 10000 m3/h per K of excess up to a maximum; the power to cool the outside air down to
	the supply temperature is reported but does not enter the room.

	A plain value held by the room; element "MechanicalVentilationModel" of the project file.
	computeLoads runs at every right-hand-side evaluation and allocates nothing.
*/
class MechanicalVentilationModel {
public:
	/*! The texts of the "modelType" attribute are the enumerator names. */
	enum ModelType : std::uint32_t {
		NONE							= 0,	///< No mechanical ventilation.
		MECHANICAL_VENTILATION			= 1,	///< Scheduled supply with heat recovery.
		MECHANICAL_VENTILATION_COOLING	= 2		///< Cooled supply above the set point.
	};

	/*! Type NONE, supply 16 C, at most 40 m3/h, no heat recovery (efficiency 0, set point 22 C),
		the cooling model's set-point schedules, constant ventilation rate 0 m3/h. */
	MechanicalVentilationModel();

	/*! At hour of year h and time t [s], with room and outside air temperatures Ti, Te [K] and
		room and outside vapour densities rhoVi, rhoVe [kg/m3]: the vapour flow into the room
		[kg/s] (0 without moisture balance and in the cooling mode), the supply volume flow
		[m3/s], the heat flow into the room [W] and the power for cooling the supply air [W] <= 0.
		The flows do not depend on the room volume [m3]. With heldBypass (model exchange) the heat
		recovery's bypass stays on that stage of its step (bypassStage()), continued beyond its
		ends. */
	void computeLoads(bool moistureBalanceEnabled, unsigned int h, double t, double Ti, double Te,
					  double rhoVi, double rhoVe, double volume, double & moistureFlow,
					  double & supplyFlow, double & heatFlow, double & coolingPower,
					  const std::uint8_t * heldBypass = nullptr) const;
	/*! Whether the ventilation mode recovers heat, which it bypasses over a smooth step of the
		room air around the recovery's set point. */
	bool bypasses() const { return m_modelType == MECHANICAL_VENTILATION && m_heatRecoveryEfficiency > 0; }
	/*! The SmoothStep stage of the bypass at room air temperature Ti [K]: the recovery in full,
		on the lower or upper half of the bypass's step, or bypassed; with held, the held stage
		while Ti lies within its reach (SmoothStep::next(), the room air's point of rest restShift
		[K] from Ti). */
	std::uint8_t bypassStage(double Ti, const std::uint8_t * held = nullptr, double restShift = 0) const;
	/*! The switching functions [K] of the bypass held on stage s at room air temperature Ti [K]
		whose point of rest lies restShift [K] from it (SmoothStep::switchingFunctions()). */
	void bypassSwitchingFunctions(std::uint8_t s, double Ti, double restShift, double & zBelow, double & zAbove) const;
	/*! The cooling mode's supply flow as a controller of the room air at hour h and time t [s]:
		its output is minus the supply flow [m3/h]; without output in the other modes. */
	ControllerBand coolingBand(unsigned int h, double t) const;
	/*! The cooling mode's flows for a supply of flow [m3/h] at room and outside air temperatures
		Ti, Te [K]: the supply volume flow [m3/s], the heat flow into the room [W] and the power for
		cooling the supply air [W], all 0 without flow or when neither the supply air nor the
		outside air is colder than the room. A negative flow continues the law, as a held
		controller piece does. */
	void coolingFlows(double flow, double Ti, double Te, double & supplyFlow, double & heatFlow,
					  double & coolingPower) const;

	/*! Reads the "MechanicalVentilationModel" element the reader stands on. Unknown children are
		skipped with a warning, a missing model type keeps the type, an unknown one throws as
		keywordIndex, text that is no finite number throws as readFiniteRealElement, as do set
		points that are no temperatures, humidities outside 0..100 % and negative flow rates;
		a supply temperature below -273.15 C becomes -100 C (-273.15 C itself throws), a negative
		maximum flow 0.1 m3/h, the efficiency is held in 0..1. */
	void readXML(QXmlStreamReader & reader);
	/*! Writes the element "MechanicalVentilationModel". */
	void writeXML(QXmlStreamWriter & writer) const;

	QString		m_name;
	ModelType	m_modelType = NONE;
	/*! Supply air temperature of the cooling mode [C]. */
	double		m_supplyTemperature = 16;
	/*! Largest supply flow of the cooling mode [m3/h]. */
	double		m_maxSupplyFlowRate = 40;
	/*! Heat recovery efficiency [-], 0..1. */
	double		m_heatRecoveryEfficiency = 0;
	/*! Room temperature around which the heat recovery is bypassed [C]. */
	double		m_heatRecoverySetpoint = 22;
	/*! Cooling set point of the cooling mode [C]. */
	Schedule	m_scheduleSetPoints;
	/*! Relative humidity set point [%]; kept and written, not used. */
	Schedule	m_scheduleHumiditySetPoints;
	/*! Supply flow of the ventilation mode [m3/h]. */
	Schedule	m_scheduleVentilationRates;
};

} // namespace RX

#endif // RX_MechanicalVentilationModelH
