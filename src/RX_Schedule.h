#ifndef RX_ScheduleH
#define RX_ScheduleH

#include <array>
#include <string>
#include <vector>

#include <QString>

#include "ZEB_LinearSpline.h"
#include "ZEB_Unit.h"

#include "RX_XMLHelpers.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

/*! One value for every hour of the 365-day simulation year (8760 hours, no leap days): a
	set-point, an air change rate, a load fraction, a shading degree.

	A plain value held by the room's sub-models, which set its public fields directly and
	evaluate it at every right-hand-side evaluation: value() allocates nothing and, apart from
	the spline lookup of DATLINEAR, takes constant time. In the project file a schedule is an
	element whose tag is its name.
*/
class Schedule {
public:
	/*! The kinds; their names are the texts of the "type" attribute. */
	enum ScheduleType : int {
		CONSTANT		= 0,	///< m_constantValue.
		DAILY_SEASONAL	= 1,	///< Summer or winter day profile, by start days.
		DAILY_WEEK		= 2,	///< Working-day or weekend-day profile, by weekend days.
		ANNUAL			= 3,	///< One value per hour of the year.
		DATLINEAR		= 4		///< Linear spline over simulation time.
	};

	/*! The value at hour h of the year (day h / 24, hour of day h mod 24) and simulation time t
		[s]; only DATLINEAR uses t, and only DATLINEAR ignores h. Day 0 is a Monday. Hours beyond
		the year continue the daily patterns; an annual schedule gives its last value there. */
	double value(unsigned int h, double t) const;
	/*! How fast the value moves at simulation time t [its unit per s]: a DATLINEAR spline's slope
		from t on (at a point the next interval's), as it goes on outside its points; 0 for the
		other kinds, which hold their values over the hour. */
	double rate(double t) const;

	/*! Writes the element: with asScheduleElement false its tag is the name, otherwise it is
		"Schedule" with a "name" attribute. Then the "type" attribute and the data of the kind. */
	void writeXML(QXmlStreamWriter & writer, bool asScheduleElement) const;
	/*! Reads the element the reader stands on (a start element); its tag becomes the name. Data
		of other kinds and unknown children are skipped with warnings. Throws ZEB::Exception for
		a type, weekend day or start day it does not know, for a value that is no finite number
		within range (the owner's quantity), and for a "DatLinear" spline with a unit that is not a
		time or with values that make no spline. */
	void readXML(QXmlStreamReader & reader, const ValueRange & range = ANY_NUMBER);

	/*! The schedule as a step function over the hours of the year: (0, first value), for every
		change at hour h the points (h - 1/86400, old value) and (h, new value), (8760, last value).
		Each hour is evaluated at t = 3600 h. */
	void exportLinearSpline(ZEB::LinearSpline & spline) const;

	/*! The text of the "type" attribute; empty for a value outside the kinds. */
	static QString typeName(ScheduleType type);

	/*! Name; the element tag in project files. */
	QString					m_name = "UndefinedSchedule";
	ScheduleType			m_type = DAILY_WEEK;
	/*! Value of a CONSTANT schedule, and of an ANNUAL one without a full year of values. */
	double					m_constantValue = 0;
	/*! Value of each hour of the day, 0 to 23. */
	std::array<double, 24>	m_summerSchedule = {};
	std::array<double, 24>	m_winterSchedule = {};
	std::array<double, 24>	m_weekDaySchedule = {};
	std::array<double, 24>	m_weekEndSchedule = {};
	/*! Monday to Sunday: true where the weekend profile holds. */
	std::array<bool, 7>		m_weekEndDays = {false, false, false, false, false, true, true};
	/*! First day of summer, 0-based day of the year (90 = 1 April). Summer lasts up to the day
		before m_winterStartDay, across the turn of the year when that comes first. */
	unsigned int			m_summerStartDay = 90;
	/*! First day of winter (273 = 1 October). */
	unsigned int			m_winterStartDay = 273;
	/*! One value per hour of the year; used only when it holds exactly 8760 values. */
	std::vector<double>		m_annualSchedule;
	/*! DATLINEAR values over simulation time, x in [s]. */
	ZEB::LinearSpline		m_datLinear;
	/*! Unit in which the spline's x values are written; undefined writes no spline. */
	ZEB::Unit				m_datLinearXUnit;
	/*! Name of a file with the annual values, as given in the project file; only kept. */
	std::string				m_annualScheduleCCD;
};

} // namespace RX

#endif // RX_ScheduleH
