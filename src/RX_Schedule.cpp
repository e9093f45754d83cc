#include "RX_Schedule.h"

#include <algorithm>
#include <iterator>
#include <locale>
#include <sstream>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Time.h"
#include "ZEB_UnitVector.h"

#include "RX_KnownNames.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

const char * const FUNC_ID = "Schedule::readXML()";
const char * const WEEKDAY_NAMES[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
// by ScheduleType
const char * const TYPE_NAMES[] = {"CONSTANT", "DAILY_SEASONAL", "DAILY_WEEK", "ANNUAL", "DATLINEAR"};
// the last day of the year, 0-based
const unsigned int LAST_DAY = ZEB::HOURS_PER_YEAR/24 - 1;

// Every value as a default stream writes it, each followed by one blank.
template <typename Container>
QString valueList(const Container & values) {
	std::ostringstream strm;
	strm.imbue(std::locale::classic());
	for (double v : values)
		strm << v << ' ';
	return QString::fromStdString(strm.str());
}

// Fills values from the front for as long as numbers can be read; the rest stays.
template <typename Iterator>
void readValues(const QString & text, Iterator first, Iterator last) {
	std::istringstream strm(text.toStdString());
	strm.imbue(std::locale::classic());
	for (Iterator it = first; it != last; ++it) {
		double v;
		if (!(strm >> v))
			break;
		*it = v;
	}
}

} // namespace


double Schedule::value(unsigned int h, double t) const {
	const unsigned int d = h / 24;
	const unsigned int k = h % 24;
	switch (m_type) {
		case CONSTANT:
			return m_constantValue;
		case DAILY_SEASONAL: {
			const bool summer = m_summerStartDay < m_winterStartDay
					? (d >= m_summerStartDay && d < m_winterStartDay)
					: !(d >= m_winterStartDay && d < m_summerStartDay);
			return summer ? m_summerSchedule[k] : m_winterSchedule[k];
		}
		case DAILY_WEEK:
			// 1 January of the simulation year is a Monday; the year has no leap day
			return m_weekEndDays[d % 7] ? m_weekEndSchedule[k] : m_weekDaySchedule[k];
		case ANNUAL:
			if (m_annualSchedule.size() != ZEB::HOURS_PER_YEAR)
				return m_constantValue;
			return m_annualSchedule[h < ZEB::HOURS_PER_YEAR ? h : ZEB::HOURS_PER_YEAR - 1];
		case DATLINEAR:
			// an owner may have left the spline unmade; its value() would read past its ends
			if (!m_datLinear.m_valid || m_datLinear.m_x.empty())
				return m_constantValue;
			return m_datLinear.value(t);
	}
	return m_constantValue;
}


double Schedule::rate(double t) const {
	const std::vector<double> & x = m_datLinear.m_x;
	if (m_type != DATLINEAR || !m_datLinear.m_valid || x.size() < 2)
		return 0;
	const std::size_t i = static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), t) - x.begin());
	if (i == 0 || i == x.size())
		return m_datLinear.m_extrapolationMethod == ZEB::LinearSpline::EM_LINEAR
			   ? m_datLinear.m_slope[i == 0 ? 0 : i - 2] : 0;
	return m_datLinear.m_slope[i - 1];
}


QString Schedule::typeName(ScheduleType type) {
	const int i = type;
	return i >= 0 && i < static_cast<int>(std::size(TYPE_NAMES)) ? TYPE_NAMES[i] : QString();
}


void Schedule::writeXML(QXmlStreamWriter & writer, bool asScheduleElement) const {
	if (asScheduleElement) {
		writer.writeStartElement("Schedule");
		writer.writeAttribute("name", m_name);
	}
	else
		writer.writeStartElement(m_name);
	const QString typestr = typeName(m_type);
	Q_ASSERT(!typestr.isEmpty());
	writer.writeAttribute("type", typestr);

	switch (m_type) {
		case CONSTANT:
			writer.writeTextElement("ConstantValue", QString::number(m_constantValue, 'g', 6));
			break;
		case DAILY_SEASONAL:
			writer.writeTextElement("SummerSchedule", valueList(m_summerSchedule));
			writer.writeTextElement("WinterSchedule", valueList(m_winterSchedule));
			writer.writeTextElement("SummerStartDay", QString::number(m_summerStartDay));
			writer.writeTextElement("WinterStartDay", QString::number(m_winterStartDay));
			break;
		case DAILY_WEEK: {
			writer.writeTextElement("WeekDaySchedule", valueList(m_weekDaySchedule));
			writer.writeTextElement("WeekEndSchedule", valueList(m_weekEndSchedule));
			QString days;
			for (unsigned int i = 0; i < 7; ++i)
				if (m_weekEndDays[i])
					days += QString(WEEKDAY_NAMES[i]) + " ";
			writer.writeTextElement("WeekEndDays", days);
			break;
		}
		case ANNUAL:
			if (m_annualScheduleCCD.empty() && m_annualSchedule.size() == ZEB::HOURS_PER_YEAR)
				writer.writeTextElement("AnnualSchedule", valueList(m_annualSchedule));
			else
				writer.writeTextElement("AnnualScheduleCCD", QString::fromStdString(m_annualScheduleCCD));
			break;
		case DATLINEAR:
			if (!m_datLinear.m_x.empty() && m_datLinear.m_valid && m_datLinearXUnit.id() != 0) {
				ZEB::UnitVector x;
				x.m_data = m_datLinear.m_x;
				x.m_unit = ZEB::Unit("s");
				x.convert(m_datLinearXUnit);
				// the converted times of a valid spline still rise: the writer only reads the values
				ZEB::LinearSpline written;
				written.m_x = x.m_data;
				written.m_y = m_datLinear.m_y;
				written.m_valid = true;
				writeNamedZEBSplineData(writer, "DatLinear", QString::fromStdString(m_datLinearXUnit.name()),
										"---", written);
			}
			break;
	}
	writer.writeEndElement();
}


void Schedule::readXML(QXmlStreamReader & reader, const ValueRange & range) {
	Q_ASSERT(reader.isStartElement());
	m_name = reader.name().toString();
	const std::string name = m_name.toStdString();
	const std::string owner = "schedule '" + name + "'";
	warnUnknownAttributes(reader, SCHEDULE_NAMES, name, FUNC_ID);
	const QString typeText = reader.attributes().value("type").toString();
	if (reader.attributes().hasAttribute("type"))
		m_type = static_cast<ScheduleType>(keywordIndex(typeText, TYPE_NAMES, std::size(TYPE_NAMES),
														"attribute 'type'", owner, FUNC_ID));

	// A list's numbers into its hours, refusing any that is not finite or outside range, and a list
	// of another length: a value too few or too many would shift or drop an hour unnoticed.
	auto readList = [&](auto first, auto last, const char * hours) {
		const QString tag = reader.name().toString();
		const QString text = readTextElement(reader);
		checkFiniteNumberList(text, tag, owner, FUNC_ID, range);
		const auto expected = std::distance(first, last);
		const auto found = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
		if (found != expected)
			throw ZEB::Exception(ZEB::FormatString("Invalid number of values in element '%1' of %2: found %3, expected "
												   "%4, one per hour of the %5.").arg(tag.toStdString()).arg(owner)
								 .arg(static_cast<unsigned long>(found)).arg(static_cast<unsigned long>(expected)).arg(hours), FUNC_ID);
		readValues(text, first, last);
	};
	// true when the element belongs to the schedule's kind; otherwise warns and skips it
	auto accepted = [&](ScheduleType kind, const char * tag) {
		if (m_type == kind)
			return true;
		ZEB::ZEB_Message(ZEB::FormatString(std::string(tag) + " is ignored for Schedule with name %1 of type %2.")
						 .arg(name).arg(typeText.toStdString()), ZEB::MSG_WARNING, FUNC_ID, 1);
		readUnknownElement(reader);
		ZEB::ZEB_Message(ZEB::FormatString("Leaving element '%1'.\n").arg(tag), ZEB::MSG_PROGRESS, FUNC_ID, 1);
		return false;
	};

	// its children are warned of in the schedule's tag, which names it
	while (readChildElement(reader)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("ConstantValue")) {
			if (accepted(CONSTANT, "ConstantValue"))
				m_constantValue = readFiniteRealElement(reader, owner, FUNC_ID, range);
		}
		else if (tag == QLatin1String("SummerSchedule")) {
			if (accepted(DAILY_SEASONAL, "SummerSchedule"))
				readList(m_summerSchedule.begin(), m_summerSchedule.end(), "day");
		}
		else if (tag == QLatin1String("WinterSchedule")) {
			if (accepted(DAILY_SEASONAL, "WinterSchedule"))
				readList(m_winterSchedule.begin(), m_winterSchedule.end(), "day");
		}
		else if (tag == QLatin1String("SummerStartDay")) {
			if (accepted(DAILY_SEASONAL, "SummerStartDay"))
				m_summerStartDay = readUnsignedElement(reader, owner, FUNC_ID, LAST_DAY);
		}
		else if (tag == QLatin1String("WinterStartDay")) {
			if (accepted(DAILY_SEASONAL, "WinterStartDay"))
				m_winterStartDay = readUnsignedElement(reader, owner, FUNC_ID, LAST_DAY);
		}
		else if (tag == QLatin1String("WeekDaySchedule")) {
			if (accepted(DAILY_WEEK, "WeekDaySchedule"))
				readList(m_weekDaySchedule.begin(), m_weekDaySchedule.end(), "day");
		}
		else if (tag == QLatin1String("WeekEndSchedule")) {
			if (accepted(DAILY_WEEK, "WeekEndSchedule"))
				readList(m_weekEndSchedule.begin(), m_weekEndSchedule.end(), "day");
		}
		else if (tag == QLatin1String("WeekEndDays")) {
			if (accepted(DAILY_WEEK, "WeekEndDays")) {
				m_weekEndDays.fill(false);
				const QString text = readTextElement(reader);
				for (const QString & word : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts))
					m_weekEndDays[keywordIndex(word, WEEKDAY_NAMES, 7, "element 'WeekEndDays'", owner, FUNC_ID)] = true;
			}
		}
		else if (tag == QLatin1String("AnnualSchedule")) {
			if (accepted(ANNUAL, "AnnualSchedule")) {
				m_annualSchedule.resize(ZEB::HOURS_PER_YEAR, 0.0);
				readList(m_annualSchedule.begin(), m_annualSchedule.end(), "year");
			}
		}
		else if (tag == QLatin1String("AnnualScheduleCCD")) {
			if (accepted(ANNUAL, "AnnualScheduleCCD"))
				m_annualScheduleCCD = readTextElement(reader).toStdString();
		}
		else if (tag == QLatin1String("LinearSpline")) {
			QString splineName, xUnit, yUnit;
			ZEB::LinearSpline spline;
			readNamedZEBSplineData(reader, splineName, xUnit, yUnit, spline, range);
			if (splineName != QLatin1String("DatLinear")) {
				warnUnknownSpline(splineName, name, FUNC_ID);
				continue;
			}
			try {
				const ZEB::Unit unit = splineUnit(xUnit, "x", splineName, "s", "time point in [s]", FUNC_ID);
				ZEB::UnitVector x;
				x.m_data = spline.m_x;
				x.m_unit = unit;
				x.convert(unit.base_unit());
				m_datLinear.setValues(x.m_data, spline.m_y);
				m_datLinearXUnit = unit;
				if (!m_datLinear.m_valid)
					throw ZEB::Exception(ZEB::FormatString("Invalid data in linear spline '%1', cannot create "
														   "monotonically increasing spline.").arg(splineName.toStdString()), FUNC_ID);
			}
			catch (const ZEB::Exception & ex) {
				throw ZEB::Exception(ex, "Error reading LinearSpline data in schedule.", FUNC_ID);
			}
		}
		else {
			warnUnknownElement(reader, name, FUNC_ID);
			readUnknownElement(reader);
		}
	}
}


void Schedule::exportLinearSpline(ZEB::LinearSpline & spline) const {
	double prev = value(0, 0.0);
	std::vector<double> x{0.0}, y{prev};
	for (unsigned int h = 0; h < ZEB::HOURS_PER_YEAR; ++h) {
		const double v = value(h, 3600.0 * h);
		if (v == prev)
			continue;
		x.push_back(h - 1.0 / 86400);
		y.push_back(prev);
		x.push_back(h);
		y.push_back(v);
		prev = v;
	}
	x.push_back(ZEB::HOURS_PER_YEAR);
	y.push_back(prev);
	spline.setValues(x, y);
}

} // namespace RX
