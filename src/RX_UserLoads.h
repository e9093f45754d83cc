#ifndef RX_UserLoadsH
#define RX_UserLoadsH

#include <QString>

#include "RX_Schedule.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! Internal heat gains of the room's users: persons present times a gain per person, and an
	equipment load per floor area, both from schedules.

	A plain value held by the room; element "UserLoads" of the project file. computeLoads runs at
	every right-hand-side evaluation and allocates nothing.
*/
class UserLoads {
public:
	/*! Name "Office" (translated), 80 W per person, constant 4 persons and 0 W/m2 equipment; the
		week profiles (4 persons, 10 W/m2 from 8 to 16 h on working days) are set but unused. */
	UserLoads();

	/*! At hour of year h and time t [s] in a room of floor area [m2]: the persons present, their
		heat gain [W] and the equipment load [W]. */
	void computeLoads(unsigned int h, double t, double floorArea,
					  double & persons, double & personLoad, double & equipmentLoad) const;

	/*! Reads the "UserLoads" element the reader stands on, up to its end element; unknown
		children are skipped with a warning, a person load, persons or equipment load that is no
		finite number of 0 or more throws as readFiniteRealElement. */
	void readXML(QXmlStreamReader & reader);
	/*! Writes the element "UserLoads". */
	void writeXML(QXmlStreamWriter & writer) const;

	QString		m_name;
	/*! Equipment load per floor area [W/m2]. */
	Schedule	m_scheduleEquipmentLoad;
	/*! Number of persons present. */
	Schedule	m_scheduleOccupancy;
	/*! Heat gain per person [W]. */
	double		m_personLoad = 80;
};

} // namespace RX

#endif // RX_UserLoadsH
