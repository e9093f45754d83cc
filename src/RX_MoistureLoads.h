#ifndef RX_MoistureLoadsH
#define RX_MoistureLoadsH

#include <QString>

#include "RX_Schedule.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! A scheduled vapour source in the room air, evaluated only with the room's moisture balance.

	A plain value held by the room; element "MoistureLoads" of the project file. computeLoads runs
	at every right-hand-side evaluation and allocates nothing.
*/
class MoistureLoads {
public:
	/*! Name "Office" (translated), constant 20 g/h. */
	MoistureLoads();

	/*! The vapour source [kg/s] at hour of year h and time t [s]. */
	void computeLoads(unsigned int h, double t, double & moistureLoad) const;

	/*! Reads the "MoistureLoads" element the reader stands on, up to its end element; unknown
		children are skipped with a warning, a negative source throws as readFiniteRealElement. */
	void readXML(QXmlStreamReader & reader);
	/*! Writes the element "MoistureLoads". */
	void writeXML(QXmlStreamWriter & writer) const;

	QString		m_name;
	/*! Vapour production [g/h]. */
	Schedule	m_scheduleMoistureLoad;
};

} // namespace RX

#endif // RX_MoistureLoadsH
