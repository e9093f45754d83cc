#ifndef RX_DIN4108_2AssessmentH
#define RX_DIN4108_2AssessmentH

#include <cmath>

#include <QString>

#include "RX_ControllerBand.h"
#include "ZEB_Time.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

class Room;
class ShadingType;

/*! The summer heat-protection assessment of DIN 4108-2.

	While m_active is set, the room model takes inner loads, heating, passive cooling, ventilation
	and window shading from here instead of from the room's own sub-models, and the output manager
	evaluates the over-temperature degree hours against referenceRoomTemperature() and
	overtemperatureHours(). A plain value held by the room; the room reads and writes it as the
	element "DIN4108_2Assessment".

	Times t are hours since the start of the simulation year; temperatures called theta are in C,
	those called T in K. Air changes: the enhanced day and night values are per hour, as users give
	them and the standard limits them; m_airChange, which the room model uses, is per second.

	The forms that take the room use only its height; each has a form that takes the height [m]
	directly. The room must not be null.
*/
class DIN4108_2Assessment {
public:
	/*! Ventilation class of the enhanced night ventilation; it sets the largest air change the
		assessment credits (maxEnhancedNightVentilation). */
	enum VentilationType {
		VT_ENHANCED		= 0,	///< up to 2 1/h
		VT_HIGH			= 1,	///< up to 5 1/h
		VT_UNLIMITED	= 2		///< no limit
	};

	/*! Room air temperature above which the enhanced day ventilation may run [C]. */
	static constexpr double EnhancedDayVentilationTemperature = 23.0;
	/*! Largest enhanced day air change the assessment credits [1/h]. */
	static constexpr double MaxEnhancedDayVentilation = 3.0;

	DIN4108_2Assessment() = default;

	void writeXML(QXmlStreamWriter & writer) const;
	/*! Reads the children of "DIN4108_2Assessment" (reader just past its start tag) up to its end
		tag. Throws ZEB::Exception for a value out of range and for a flag that is neither "true"
		nor "false"; unknown children are skipped with a warning. An enhanced air change above its
		limit is lowered to the limit with a warning. */
	void readXML(QXmlStreamReader & reader);

	void setNightVentilationType(VentilationType type) { m_nightVentilationType = type; }
	VentilationType nightVentilationType() const { return m_nightVentilationType; }
	/*! Largest enhanced night air change credited for type [1/h]; 0 for an unknown value. */
	static double maxEnhancedNightVentilation(VentilationType type);
	double maxEnhancedNightVentilation() const { return maxEnhancedNightVentilation(m_nightVentilationType); }

	/*! value [1/h] from 0 to MaxEnhancedDayVentilation; throws ZEB::Exception otherwise. */
	void setEnhancedDayVentilationValue(double value);
	double enhancedDayVentilationValue() const { return m_enhancedDayVentilationValue; }
	/*! value [1/h] from 0 to maxEnhancedNightVentilation(); throws ZEB::Exception otherwise. */
	void setEnhancedNightVentilationValue(double value);
	double enhancedNightVentilationValue() const { return m_enhancedNightVentilationValue; }

	// Time rules, t in hours; day 0 is a Monday.

	/*! Saturday or Sunday. */
	static bool isWeekEnd(double t);
	/*! Weekdays 7 to 18 h, both included. */
	static bool usageTimeNonResidential(double t);
	/*! Day window on every day: 6 to 23 h residential, 7 to 18 h otherwise (bounds included). */
	bool residentialTime(double t) const;
	/*! Always for a residential room, else usageTimeNonResidential. */
	bool usageTime(double t) const;
	/*! Whether rule 0 may close the shading: always residential, else on weekdays, and on weekends
		only under rule 2. */
	bool isShadingPossible(double t) const;
	/*! A time [h] at which the time rules hold as they do just after t [h]: they change only on
		whole hours (at 23 h, for instance, the day window still holds, and not a moment later). */
	static double timeRulesAfter(double t) { return std::floor(t) + 0.5; }
	/*! The first whole hour after t [h] at which a time rule in force changes a load, the basic
		air change, the window of the enhanced ventilation or what rule 0 may shade; infinity when
		none ever does. roomHeight [m] as for basicVentilationValue. */
	double nextTimeRuleChange(double t, double roomHeight) const;

	// Loads and controllers

	/*! Inner heat gain [W/m2 floor area]. */
	double innerLoads(double t) const;
	/*! Ideal heating towards the set point [W], from 0 to m_maximumHeatingPower; T in K. */
	double heatingLoad(double T) const;
	/*! Passive cooling towards the reference temperature [W], from -m_maximumPassiveCoolingPower
		to 0; T in K. */
	double coolingLoad(double T) const;
	/*! 20 C residential, 21 C otherwise. */
	double roomHeatingSetPointTemperature() const;
	/*! 25, 26 or 27 C for climate region 0, 1 or 2. */
	double referenceRoomTemperature() const;
	/*! After a completed step: raises m_slopeHeating by 20 % (up to 500000 W/K) while the heating
		runs unsaturated and the room is still more than 0.2 K below the set point. */
	void adjustSlope(double T, double heatingLoad);
	/*! The same for m_slopeCooling and the reference temperature; coolingLoad <= 0. */
	void adjustSlopeCooling(double T, double coolingLoad);
	/*! The heating as heatingLoad() limits it. */
	ControllerBand heatingBand() const;
	/*! The passive cooling as coolingLoad() limits it; without power unless m_passiveCooling. */
	ControllerBand coolingBand() const;

	/*! Factor of the window's solar gain that the shading leaves (1 = unshaded) under rule
		m_shadingControlType; q is direct plus diffuse radiation on the window [W/m2], orientation
		and inclination in degrees. Without a shading type the window is unshaded. Throws
		ZEB::Exception for a rule other than 0 to 3. */
	double unshadedWindowPercentage(const ShadingType * shadingType, double t, double q,
									double orientation, double inclination) const;
	/*! Radiation on the window above which rule 2 closes the shading [W/m2]; orientation in
		degrees, any turn. */
	double normalRadiationLimit(double orientation) const;
	/*! Radiation on a window with a shading type above which the shading closes [W/m2]
		(orientation and inclination in degrees): infinity where the rule in force does not
		switch on the radiation (rules 0, 1 and 3, and flat windows under rule 2). */
	double radiationLimit(double orientation, double inclination) const;

	// Ventilation; air changes returned by these are in 1/s unless said otherwise.

	/*! Basic air change for the room's use. */
	double basicVentilationSetting(bool residential, bool usageTime, const Room * room) const;
	/*! As above for a room of height roomHeight [m]; the height must be positive when it is
		needed (non-residential usage time), else ZEB::Exception. */
	double basicVentilationSetting(bool residential, bool usageTime, double roomHeight) const;
	/*! Basic air change of this assessment's use at time t. */
	double basicVentilationValue(double t, const Room * room) const;
	double basicVentilationValue(double t, double roomHeight) const;

	bool hasEnhancedDayVentilation(double thetaRoom, double thetaOut, double t) const;
	/*! m_enhancedDayVentilationValue [1/h] while hasEnhancedDayVentilation, else 0. */
	double enhancedDayVentilation(double thetaRoom, double thetaOut, double t) const;
	bool hasEnhancedNightVentilation(double thetaRoom, double thetaOut, double t) const;
	/*! m_enhancedNightVentilationValue [1/h] while hasEnhancedNightVentilation, else 0. */
	double enhancedNightVentilation(double thetaRoom, double thetaOut, double t) const;
	/*! Whether an enhanced ventilation, by day or by night, can ever run. */
	bool hasEnhancedVentilation() const;
	/*! The room air temperature [C] above which the enhanced ventilation of the window in force
		at time t [h] runs (while the outside is cooler than the room); NaN when none can run then. */
	double enhancedVentilationThreshold(double t) const;

	/*! Whether the air change, once changed, still holds at time t [s]: for VENTILATION_DWELL
		after its last change (m_lastVentilationUpdate), and not before the first update. */
	bool ventilationDwelling(double t) const {
		return m_lastVentilationUpdate != -1.0 && !(t > m_lastVentilationUpdate + VENTILATION_DWELL);
	}
	/*! The same just after time t [s] (the end of the dwell itself already lies beyond it). */
	bool ventilationDwellingAfter(double t) const {
		return m_lastVentilationUpdate != -1.0 && !(t >= m_lastVentilationUpdate + VENTILATION_DWELL);
	}
	/*! How long a changed air change holds before the next update may change it [s]. */
	static constexpr double VENTILATION_DWELL = 1800.0;
	/*! Sets m_airChange [1/s]: enhanced day ventilation, else enhanced night ventilation, else
		the basic air change. */
	void updateVentilationAirChange(double thetaRoom, double thetaOut, double t, const Room * room);
	void updateVentilationAirChange(double thetaRoom, double thetaOut, double t, double roomHeight);
	/*! The air change the room works with [1/s]: m_airChange once it has been updated, before that
		the basic air change at time t. */
	double airChange(double t, const Room * room) const;
	double airChange(double t, double roomHeight) const;

	// Results

	/*! Hours of a year counted by the assessment: 8760 residential, 2871 otherwise. */
	int totalUsingHours() const { return m_residential ? static_cast<int>(ZEB::HOURS_PER_YEAR) : 2871; }
	/*! Limit of over-temperature degree hours [Kh/a]: 1200 residential, 500 otherwise. */
	int overtemperatureHours() const { return m_residential ? 1200 : 500; }

	/*! The assessment replaces the room's loads, heating, cooling and ventilation. */
	bool			m_active = false;
	bool			m_residential = true;
	/*! Summer climate region 0, 1 or 2. */
	int				m_climateRegion = 1;
	bool			m_enhancedDayVentilation = false;
	bool			m_enhancedNightVentilation = false;
	/*! Apply coolingLoad. */
	bool			m_passiveCooling = false;
	/*! Window shading rule: 0 closed whenever possible, 1 never, 2 above the radiation limit,
		3 the room's own shading control. */
	int				m_shadingControlType = 2;
	QString			m_enhancedDayVentilationExplanation;
	QString			m_enhancedNightVentilationExplanation;
	/*! [W] */
	double			m_maximumHeatingPower = 10000.0;
	/*! [W] */
	double			m_maximumPassiveCoolingPower = 10000.0;
	QString			m_shadingControlExplanation;
	QString			m_passiveCoolingExplanation;
	/*! Current air change [1/s]; -1 until the first updateVentilationAirChange (see airChange). */
	double			m_airChange = -1.0;
	/*! Time of the last ventilation update [s]; -1 = none yet. Kept by the solver adaptor. */
	double			m_lastVentilationUpdate = -1.0;
	VentilationType	m_nightVentilationType = VT_ENHANCED;
	/*! [1/h] */
	double			m_enhancedDayVentilationValue = 0.0;
	/*! [1/h] */
	double			m_enhancedNightVentilationValue = 0.0;
	/*! Gain of the ideal heating [W/K]. */
	double			m_slopeHeating = 5000.0;
	/*! Gain of the passive cooling [W/K]. */
	double			m_slopeCooling = 5000.0;
	/*! The largest gain the slope adjustments raise m_slopeHeating and m_slopeCooling to [W/K]. */
	static constexpr double	SLOPE_LIMIT = 500000.0;
};

} // namespace RX

#endif // RX_DIN4108_2AssessmentH
