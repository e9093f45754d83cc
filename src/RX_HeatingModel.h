#ifndef RX_HeatingModelH
#define RX_HeatingModelH

#include <cstdint>

#include <QString>

#include "RX_ControllerBand.h"
#include "RX_Schedule.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! Ideal heating of the room air: a proportional controller between the scheduled set point and
	the room air temperature, limited to 0..m_maxPower. The controller's gain grows during a run
	(adjustSlope) while the room stays clearly below the set point, so that the room follows the
	set point more closely.

	A plain value held by the room; element "HeatingModel" of the project file. computeLoads runs
	at every right-hand-side evaluation and allocates nothing.
*/
class HeatingModel {
public:
	/*! The texts of the "modelType" attribute are the enumerator names. */
	enum ModelType : std::uint32_t {
		NONE	= 0,	///< No heating.
		SIMPLE	= 1		///< Ideal proportional heating.
	};

	/*! Type NONE, 800 W, the default week profile of set points (16/20 C, 20 C at weekends). */
	HeatingModel();

	/*! Heating load [W] >= 0 at hour of year h, time t [s] and room air temperature TRoom [K]. */
	void computeLoads(unsigned int h, double t, double TRoom, double & heatingLoad) const;
	/*! After an accepted step: raises the slope by 20 % (up to 500000 W/K) when the room is more
		than 0.2 K below the set point although the heater, with load heatingLoad [W], is
		neither off nor saturated. */
	void adjustSlope(unsigned int h, double t, double TRoom, double heatingLoad);
	/*! The controller at hour of year h and time t [s], the load computeLoads() limits; without
		power for type NONE. */
	ControllerBand band(unsigned int h, double t) const;

	/*! Reads the "HeatingModel" element the reader stands on. Unknown children are skipped with a
		warning, a missing model type keeps the type, an unknown one throws as keywordIndex, a
		power that is no finite number of 0 or more (set points: temperatures) throws as
		readFiniteRealElement. */
	void readXML(QXmlStreamReader & reader);
	/*! Writes the element "HeatingModel"; the slope is not part of it. */
	void writeXML(QXmlStreamWriter & writer) const;

	QString		m_name;
	ModelType	m_modelType = NONE;
	/*! Upper limit of the heating load [W]. */
	double		m_maxPower = 800;
	/*! Heating set point [C] for every hour of the year. */
	Schedule	m_scheduleSetPoints;
	/*! Controller gain [W/K]; grows only, lives only in the object. */
	double		m_slope = 5000;
	/*! The largest gain adjustSlope() raises m_slope to [W/K]. */
	static constexpr double	MAX_SLOPE = 500000;
};

} // namespace RX

#endif // RX_HeatingModelH
