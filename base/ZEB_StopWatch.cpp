#include "ZEB_StopWatch.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iomanip>
#include <locale>
#include <sstream>
#include <string>

#include <sys/time.h>

namespace ZEB {

struct StopWatch::TimeRecord {
	struct timeval m_start;
	struct timeval m_stop;
};


namespace {

double millisecondsBetween(const struct timeval & from, const struct timeval & to) {
	const std::int64_t us = (static_cast<std::int64_t>(to.tv_sec) - from.tv_sec) * 1000000
			+ (static_cast<std::int64_t>(to.tv_usec) - from.tv_usec);
	return static_cast<double>(us) / 1000.0;
}

} // namespace


StopWatch::StopWatch() :
	m_intervalLength(15.0),
	m_lastIntervalEnd(0.0),
	m_timeRecord(new TimeRecord)
{
	start();
}


StopWatch::~StopWatch() = default;


void StopWatch::start() {
	::gettimeofday(&m_timeRecord->m_start, nullptr);
	m_timeRecord->m_stop.tv_sec = 0;
	m_timeRecord->m_stop.tv_usec = 0;
	m_lastIntervalEnd = 0.0;
}


double StopWatch::stop() {
	::gettimeofday(&m_timeRecord->m_stop, nullptr);
	return millisecondsBetween(m_timeRecord->m_start, m_timeRecord->m_stop);
}


double StopWatch::difference() const {
	if (m_timeRecord->m_stop.tv_sec != 0)
		return millisecondsBetween(m_timeRecord->m_start, m_timeRecord->m_stop);
	struct timeval now;
	::gettimeofday(&now, nullptr);
	return millisecondsBetween(m_timeRecord->m_start, now);
}


bool StopWatch::intervalCompleted() {
	if (difference() / 1000.0 > m_lastIntervalEnd + m_intervalLength) {
		m_lastIntervalEnd += m_intervalLength;
		return true;
	}
	return false;
}


std::string StopWatch::diff_str() const {
	return durationText(difference());
}


std::string StopWatch::diff_str(unsigned long width) const {
	return durationText(difference(), width);
}


std::string StopWatch::durationText(double ms) {
	std::ostringstream strm;
	strm.imbue(std::locale::classic());
	if (ms < 1000)
		strm << static_cast<int>(ms) << " ms";
	else if (ms < 60000)
		strm << std::fixed << std::setprecision(3) << ms / 1000.0 << " s";
	else if (ms < 3600000)
		strm << std::fixed << ms / 60000.0 << " min";
	else
		strm << std::fixed << ms / 3600000.0 << " h";
	return strm.str();
}


std::string StopWatch::durationText(double ms, unsigned long width) {
	const char * unit;
	double value;
	if (ms < 1000) {
		unit = " ms";
		value = ms;
	}
	else if (ms < 60000) {
		unit = " s";
		value = ms / 1000.0;
	}
	else if (ms < 3600000) {
		unit = " min";
		value = ms / 60000.0;
	}
	else {
		unit = " h";
		value = ms / 3600000.0;
	}
	const unsigned long unitLength = std::char_traits<char>::length(unit);
	// a width below the unit's length must not wrap round into a huge field
	const unsigned long rest = width > unitLength ? width - unitLength : 0;
	const int field = static_cast<int>(std::min<unsigned long>(rest, INT_MAX));
	std::ostringstream strm;
	strm.imbue(std::locale::classic());
	strm << std::right;
	if (ms < 1000)
		strm << std::setw(field) << static_cast<int>(value);
	else
		strm << std::fixed << std::setprecision(3) << std::setw(field) << value;
	strm << unit;
	return strm.str();
}

} // namespace ZEB
