#ifndef RX_NaturalVentilationModelH
#define RX_NaturalVentilationModelH

#include <cstdint>

#include <QString>
#include <QTime>

#include "RX_Schedule.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! Natural air change of the room with outside air and the heat and vapour it brings in. The air
	change is none, scheduled (SIMPLE), raised from a base to the scheduled rate only while the room
	is warm and warmer than outside (MANAGED), or the same with separate day and night rules over
	the occupancy hours (DIN). The rise is a cubic step over 0.2 K, so that the flows stay smooth
	in the room temperature.

	A plain value held by the room; element "NaturalVentilationModel" of the project file.
	computeLoads runs at every right-hand-side evaluation, allocates nothing and keeps the air
	change it found in m_airChangeRate.
*/
class NaturalVentilationModel {
public:
	/*! The texts of the "modelType" attribute are the enumerator names. */
	enum ModelType : std::uint32_t {
		NONE	= 0,	///< No air change.
		SIMPLE	= 1,	///< The scheduled air change.
		MANAGED	= 2,	///< Scheduled while warm enough and warmer than outside, else the base.
		DIN		= 3		///< As MANAGED with day and night rules.
	};

	/*! Type NONE, constant schedule of 0.5 1/h, base 0.5 1/h (0.24 1/h at night), day rule above
		23 C, night rule above 20 C, day from 06:00 to 23:00. */
	NaturalVentilationModel();

	/*! The first time after t [s] at which the DIN mode's day period begins or ends; infinity in
		the other modes and when the period is empty. */
	double nextDayPeriodChange(double t) const;

	/*! At hour of year h and time t [s], with room and outside air temperatures Ti, Te [K], room
		and outside vapour densities rhoVi, rhoVe [kg/m3] and room air volume [m3]: the vapour
		flow into the room [kg/s] and the heat flow into the room [W]. Stores the air change in
		m_airChangeRate. Without moisture balance the air is dry and of constant density and the
		vapour flow is 0; with it, the enthalpy of moist air at the outside density is exchanged. */
	void computeLoads(bool moistureBalanceEnabled, unsigned int h, double t, double Ti, double Te,
					  double rhoVi, double rhoVe, double volume, double & moistureFlow, double & heatFlow);

	/*! Reads the "NaturalVentilationModel" element the reader stands on. Unknown children are
		skipped with a warning, a missing model type keeps the type, an unknown one throws as
		keywordIndex, text that is no finite number throws as readFiniteRealElement, as do
		negative air changes and room temperatures below absolute zero, an unreadable time keeps
		the time with a warning. */
	void readXML(QXmlStreamReader & reader);
	/*! Writes the element "NaturalVentilationModel"; the air change is not part of it. */
	void writeXML(QXmlStreamWriter & writer) const;

	QString		m_name;
	ModelType	m_modelType = NONE;
	/*! The scheduled, maximal air change [1/h]. */
	Schedule	m_scheduleAirChangeRates;
	/*! Air change of MANAGED and of DIN by day when the room is not warm enough [1/h]. */
	double		m_baseAirChangeRate = 0.5;
	/*! Air change of DIN at night when the room is not warm enough [1/h]. */
	double		m_baseAirChangeRateNight = 0.24;
	/*! Room temperature above which MANAGED, and DIN by day, ventilate [C]. */
	double		m_minTRoom = 23;
	/*! Excess of room over outside temperature that DIN by day requires [K]. */
	double		m_tRoomDifference = 0;
	/*! Room temperature above which DIN ventilates at night [C]. */
	double		m_setTRoom = 20;
	/*! Excess of room over outside temperature that DIN at night requires [K]. */
	double		m_tRoomDifferenceNight = 0;
	/*! Start of the DIN day, inclusive; always a valid time. */
	QTime		m_occupancyStartTime = QTime(6, 0);
	/*! End of the DIN day, exclusive; always a valid time. */
	QTime		m_occupancyEndTime = QTime(23, 0);
	/*! Air change of the last computeLoads [1/h]; 0 before the first. */
	double		m_airChangeRate = 0;
};

} // namespace RX

#endif // RX_NaturalVentilationModelH
