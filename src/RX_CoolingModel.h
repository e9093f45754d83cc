#ifndef RX_CoolingModelH
#define RX_CoolingModelH

#include <cstdint>

#include <QString>

#include "ZEB_LinearSpline.h"

#include "RX_ControllerBand.h"
#include "RX_Schedule.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! Ideal cooling and dehumidification of the room air. Sensible cooling is a proportional
	controller between the scheduled set point and the room air temperature; with the room's
	moisture balance the device also removes the vapour above the scheduled relative humidity, and
	the power that takes is not available for sensible cooling. The device's power is a constant
	or a curve over the set point. The gain grows during a run like the heating's.

	A plain value held by the room; element "CoolingModel" of the project file. computeLoads runs
	at every right-hand-side evaluation and allocates nothing.
*/
class CoolingModel {
public:
	/*! The texts of the "modelType" attribute are the enumerator names. */
	enum ModelType : std::uint32_t {
		NONE	= 0,	///< No cooling.
		SIMPLE	= 1		///< Ideal cooling and dehumidification.
	};

	/*! Type NONE, 1200 W, no curve, set points 26 C (40 C outside 8-16 h and at weekends),
		humidity set points 50 % (100 % outside 8-16 h and at weekends). */
	CoolingModel();

	/*! Loads at hour of year h, time t [s], room air temperature TRoom [K] and room vapour
		density rhoVRoom [kg/m3]: sensible cooling load [W] <= 0, dehumidification moisture flow
		[kg/s] <= 0, the enthalpy flow of that moisture [W], and the power spent on
		dehumidification [W] >= 0 (an output only). Without moisture balance the last three are 0.
		With heldDehumidification (model exchange) the dehumidification stays on that piece of
		dehumidificationBand(), continued beyond the piece's ends. */
	void computeLoads(bool moistureBalanceEnabled, unsigned int h, double t, double TRoom, double rhoVRoom,
					  double & coolingLoad, double & moistureFlow, double & moistureEnthalpyFlow,
					  double & dehumidificationPower, const ControllerPiece * heldDehumidification = nullptr) const;
	/*! After an accepted step: raises the slope by 20 % (up to 500000 W/K) when the room is more
		than 0.2 K above the set point although the cooler, with load coolingLoad [W], is neither
		off nor at the limit that maxPower() leaves with dehumidificationPower [W] of the same load
		update taken from it. */
	void adjustSlope(unsigned int h, double t, double TRoom, double coolingLoad, double dehumidificationPower = 0);
	/*! The device's largest power [W] at set point TSet [K]: the curve's value there when the curve
		is valid, else m_maxPower. */
	double maxPower(double TSet) const;
	/*! The sensible cooling at hour of year h and time t [s] with dehumidificationPower [W] of
		computeLoads() taken from the device; without power for type NONE. */
	ControllerBand band(unsigned int h, double t, double dehumidificationPower) const;
	/*! The dehumidification at hour of year h, time t [s] and room air temperature TRoom [K] as a
		controller of the room's vapour density [kg/m3] above the density of the scheduled relative
		humidity: its output is minus the power it takes [W], up to the device's power; without
		power for type NONE. */
	ControllerBand dehumidificationBand(unsigned int h, double t, double TRoom) const;

	/*! Reads the "CoolingModel" element the reader stands on. Unknown children and splines are
		skipped with a warning, a missing model type keeps the type, an unknown one throws as
		keywordIndex, a power that is no finite number of 0 or more (set points: temperatures,
		humidity set points: percentages) throws as readFiniteRealElement.
		Throws ZEB::Exception for a "MaxPowerCurve" that makes no power curve over temperature; the
		curve then stays as it was. */
	void readXML(QXmlStreamReader & reader);
	/*! Writes the element "CoolingModel", the curve in C and kW; the slope is not part of it. */
	void writeXML(QXmlStreamWriter & writer) const;

	QString				m_name;
	ModelType			m_modelType = NONE;
	/*! Power of the device [W], for cooling and dehumidification together. */
	double				m_maxPower = 1200;
	/*! Power of the device [W] over the set point [K]; replaces m_maxPower for the sensible
		cooling limit when valid. */
	ZEB::LinearSpline	m_maxPowerCurve;
	/*! Cooling set point [C]. */
	Schedule			m_scheduleSetPoints;
	/*! Relative humidity set point [%]. */
	Schedule			m_scheduleHumiditySetPoints;
	/*! Controller gain [W/K]; grows only, lives only in the object. */
	double				m_slope = 5000;
	/*! The largest gain adjustSlope() raises m_slope to [W/K]. */
	static constexpr double	MAX_SLOPE = 500000;
};

} // namespace RX

#endif // RX_CoolingModelH
