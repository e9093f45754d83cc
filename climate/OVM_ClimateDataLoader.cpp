#include "OVM_ClimateDataLoader.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>

#include "ZEB_Constants.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Time.h"

#include "OVM_Constants.h"
#include "OVM_SolarRadiationModel.h"

namespace OVM {

const char * const ClimateDataLoader::TIME_ZONE_EXPECTED = "expected hours relative to UTC above -25 and below 25";

const char * const ClimateDataLoader::DEFAULT_UNITS[ClimateDataLoader::NumClimateComponents] = {
	"C", "%", "W/m2", "W/m2", "Deg", "m/s", "W/m2", "Pa", "l/m2h"
};

namespace {

const unsigned int NO_INDEX = 0xFFFFFFFF;

// Per component, in component order: the value used where the interpolated one is missing,
// the plausible range, and whether a cyclic value belongs to the middle of its hour (radiation
// and rain are means over the hour) rather than to its end.
const double FALLBACK_VALUES[ClimateDataLoader::NumClimateComponents] = {
	20.0, 80, 0, 0, 0, 0, 0, 101325, 0
};
const double LOWER_BOUNDS[ClimateDataLoader::NumClimateComponents] = {
	-100, 0, 0, 0, 0, 0, 0, 0, 0
};
const double UPPER_BOUNDS[ClimateDataLoader::NumClimateComponents] = {
	100, 100, 1500, 1500, 360, 120, 1500, 200000, 100
};
const bool HOUR_MIDDLE[ClimateDataLoader::NumClimateComponents] = {
	false, false, true, true, false, false, false, false, true
};

} // namespace


ClimateDataLoader::ClimateDataLoader() {
	m_currentData.fill(0);
	m_currentData[Temperature] = 5.0;
	m_currentData[RelativeHumidity] = 10.0;
	m_checkBits.fill(1);
	m_checkIndexes.fill(std::make_pair(0u, 0u));
}


void ClimateDataLoader::readClimateData(const ZEB::Path & fname, bool headerOnly) {
	const char * const location = "[ClimateDataLoader::readClimateData]";
	try {
		const std::string ext = fname.extension();
		if (ZEB::string_nocase_compare(ext, "epw"))
			readClimateDataEPW(fname, headerOnly);
		else if (ZEB::string_nocase_compare(ext, "c6b"))
			readClimateDataZEB(fname, headerOnly);
		else if (ZEB::string_nocase_compare(ext, "wac"))
			readClimateDataWAC(fname, headerOnly);
		else if (ZEB::string_nocase_compare(ext, "dat"))
			readClimateDataBBSRDat(fname, headerOnly);
		else
			throw ZEB::Exception("Unknown/unsupported climate data file format.", location);
	}
	catch (ZEB::Exception & ex) {
		throw ZEB::Exception(ex, "Error reading climate data file.", location);
	}
}


void ClimateDataLoader::setTime(int year, double t) {
	const char * const location = "[ClimateDataLoader::setTime]";
	// a time without a place in the year would index outside the data
	if (!std::isfinite(t))
		throw ZEB::Exception(ZEB::FormatString("Invalid time point %1 s.").arg(t), location);

	if (m_dataTimePoints.empty()) {
		for (unsigned int c = 0; c < NumClimateComponents; ++c)
			if (m_splines[c].size() == 0 && m_data[c].size() != ZEB::HOURS_PER_YEAR)
				throw ZEB::Exception("Mismatching sizes of data vectors, cyclic data need 8760 values per component.",
									 location);
		double t2 = t;
		if (t2 >= ZEB::SECONDS_PER_YEAR)
			t2 = std::fmod(t2, ZEB::SECONDS_PER_YEAR);

		// hour-end values: d[k] belongs to (k+1) h; before 1 h the pair spans the year's end
		unsigned int e0 = ZEB::HOURS_PER_YEAR - 1, e1 = 0;
		double we = 1 - t2/3600;
		if (t2 >= 3600) {
			const unsigned int f = std::min(static_cast<unsigned int>(t2/3600), ZEB::HOURS_PER_YEAR - 1);
			e0 = f - 1;
			e1 = f;
			we = 1 - (t2 - 3600.0*f)/3600;
		}
		// hour-middle values: d[k] belongs to (k+0.5) h; the pair spans the year's end before
		// 0.5 h and from 8759.5 h on
		const double s = t2 >= ZEB::SECONDS_PER_YEAR - 1800 ? t2 - ZEB::SECONDS_PER_YEAR : t2;
		unsigned int m0 = ZEB::HOURS_PER_YEAR - 1, m1 = 0;
		double wm = 1 - (s + 1800)/3600;
		if (s >= 1800) {
			const unsigned int f = std::min(static_cast<unsigned int>((t2 - 1800)/3600), ZEB::HOURS_PER_YEAR - 2);
			m0 = f;
			m1 = f + 1;
			wm = 1 - (t2 - 1800 - 3600.0*f)/3600;
		}

		for (unsigned int c = 0; c < NumClimateComponents; ++c) {
			if (m_splines[c].size() != 0) {
				m_currentData[c] = m_splines[c].value(t2);
				continue;
			}
			const std::vector<double> & d = m_data[c];
			const double v = HOUR_MIDDLE[c] ? wm*d[m0] + (1 - wm)*d[m1] : we*d[e0] + (1 - we)*d[e1];
			m_currentData[c] = isMissingValue(v) ? FALLBACK_VALUES[c] : v;
		}
		return;
	}

	const std::vector<double> & tp = m_dataTimePoints;
	for (unsigned int c = 0; c < NumClimateComponents; ++c)
		if (m_splines[c].size() == 0 && m_data[c].size() != tp.size())
			throw ZEB::Exception("Mismatching sizes of time points vector and data vectors (non-cyclic data).", location);
	// in double, so that no year difference overflows
	const double tt = (static_cast<double>(year) - m_startYear)*ZEB::SECONDS_PER_YEAR + t;
	if (tt < tp.front() || tt > tp.back())
		throw ZEB::Exception(ZEB::FormatString("Time point out of range of time points vector (%1;%2), data available "
											   "for interval %3 - %4, start year of simulation %5, start year of "
											   "climate data %6.")
							 .arg(year).arg(ZEB::Time::format_time_difference(t))
							 .arg(ZEB::Time::format_time_difference(tp.front()))
							 .arg(ZEB::Time::format_time_difference(tp.back()))
							 .arg(year).arg(m_startYear), location);
	const std::size_t i = static_cast<std::size_t>(std::lower_bound(tp.begin(), tp.end(), tt) - tp.begin());
	std::size_t i0 = 0, i1 = 0;
	double w = 1;
	if (i > 0) {
		i0 = i - 1;
		i1 = i;
		w = 1 - (tt - tp[i0])/(tp[i1] - tp[i0]);
	}
	for (unsigned int c = 0; c < NumClimateComponents; ++c) {
		if (m_splines[c].size() != 0) {
			m_currentData[c] = m_splines[c].value(tt);
			continue;
		}
		const std::vector<double> & d = m_data[c];
		const double v = w*d[i0] + (1 - w)*d[i1];
		m_currentData[c] = isMissingValue(v) ? FALLBACK_VALUES[c] : v;
	}
}


void ClimateDataLoader::initDataWithDefault() {
	const std::size_t n = m_dataTimePoints.empty() ? ZEB::HOURS_PER_YEAR : m_dataTimePoints.size();
	for (std::vector<double> & d : m_data)
		d.assign(n, DATA_NOT_VALID);
}


bool ClimateDataLoader::hasValidTimePoints() const {
	return firstDecreasingTimePoint(m_dataTimePoints) == 0;
}


std::size_t ClimateDataLoader::firstDecreasingTimePoint(const std::vector<double> & timePoints) {
	// written so that a NaN neighbour counts as a decrease
	for (std::size_t i = 1; i < timePoints.size(); ++i)
		if (!(timePoints[i] >= timePoints[i - 1]))
			return i;
	return 0;
}


void ClimateDataLoader::updateCheckBits() {
	for (unsigned int c = 0; c < NumClimateComponents; ++c) {
		m_checkIndexes[c] = std::make_pair(NO_INDEX, NO_INDEX);
		const std::vector<double> & d = m_data[c];
		if (d.empty()) {
			m_checkBits[c] = 1;
			continue;
		}
		std::size_t missing = 0;
		std::size_t zeros = 0;
		bool outOfRange = false;
		for (std::size_t k = 0; k < d.size(); ++k) {
			const double v = d[k];
			if (isMissingValue(v)) {
				if (missing == 0)
					m_checkIndexes[c].first = static_cast<unsigned int>(k);
				++missing;
				continue;
			}
			if (v >= -0.001 && v <= 0.001)
				++zeros;
			// a NaN counts as out of range
			if (!(v >= LOWER_BOUNDS[c] && v <= UPPER_BOUNDS[c]) && !outOfRange) {
				m_checkIndexes[c].second = static_cast<unsigned int>(k);
				outOfRange = true;
			}
		}
		unsigned int bits = (missing == d.size() || zeros == d.size()) ? 1 : 0;
		if (missing != 0)
			bits |= 2;
		if (outOfRange)
			bits |= 4;
		m_checkBits[c] = bits;
	}
}


void ClimateDataLoader::checkForValidCyclicData(const std::vector<double> & timePoints) {
	const char * const location = "[ClimateDataLoader::checkForValidCyclicData]";
	if (timePoints.size() < 2)
		throw ZEB::Exception("Missing data, at least two time points are required.", location);
	if (timePoints.back() > ZEB::SECONDS_PER_YEAR)
		throw ZEB::Exception("Time points must not exceed 365 d for cyclic use.", location);
	if (timePoints.front() == 0 && timePoints.back() == ZEB::SECONDS_PER_YEAR)
		throw ZEB::Exception("Must not have time point 0 d and 365 d for cyclic use.", location);
}


double ClimateDataLoader::interpolateCyclicData(const ZEB::LinearSpline & spline, double t) {
	if (spline.m_x.empty() || spline.m_x.size() != spline.m_y.size())
		throw ZEB::Exception("Missing data, the spline holds no values.", "[ClimateDataLoader::interpolateCyclicData]");
	const double x0 = spline.m_x.front();
	const double y0 = spline.m_y.front();
	const double xn = spline.m_x.back();
	const double yn = spline.m_y.back();
	if (t >= x0 && t <= xn)
		return spline.value(t);
	// straight line from the last point, moved back by a year, to the first point
	const double tShifted = t < x0 ? t : t - ZEB::SECONDS_PER_YEAR;
	const double a = xn - ZEB::SECONDS_PER_YEAR;
	const double w = (tShifted - a)/(x0 - a);
	return w*y0 + (1 - w)*yn;
}


void ClimateDataLoader::expandToAnnualHourlyData(std::vector<double> & timePoints, std::vector<double> & values) {
	const char * const location = "[ClimateDataLoader::expandToAnnualHourlyData]";
	checkForValidCyclicData(timePoints);
	if (values.size() != timePoints.size())
		throw ZEB::Exception(ZEB::FormatString("Mismatching sizes of time points vector (%1) and values vector (%2).")
							 .arg(static_cast<unsigned long>(timePoints.size()))
							 .arg(static_cast<unsigned long>(values.size())), location);
	const auto notHourly = [location](double t) {
		return ZEB::Exception(ZEB::FormatString("Time point '%1' is not a valid hourly value in seconds.")
							  .arg(t, 0, 'G', 10), location);
	};
	const auto tooMany = [location]() {
		return ZEB::Exception("Error in expansion algorithm, more than 8760 hourly values in data series.", location);
	};
	// the first point need not be a whole hour, but it must lie in the year
	if (!(timePoints[0] >= 0))
		throw notHourly(timePoints[0]);

	std::vector<double> outTimes;
	std::vector<double> outValues;
	outTimes.reserve(ZEB::HOURS_PER_YEAR);
	outValues.reserve(ZEB::HOURS_PER_YEAR);
	outTimes.push_back(timePoints[0]);
	outValues.push_back(values[0]);
	for (std::size_t i = 1; i < timePoints.size(); ++i) {
		const double t = timePoints[i];
		const double v = values[i];
		// fmod instead of an integer conversion: negative, huge and NaN values are refused too
		if (!(t >= 0) || std::fmod(t, 3600.0) != 0)
			throw notHourly(t);
		const double last = outTimes.back();
		if (t <= last)
			throw ZEB::Exception(ZEB::FormatString("Time point '%1' does not follow the previous time point '%2'.")
								 .arg(t, 0, 'G', 10).arg(last, 0, 'G', 10), location);
		if (t > last + 3600) {
			if (outValues.back() != v)
				throw ZEB::Exception(ZEB::FormatString("Missing hourly value and previous value '%1' (at time point %2 s) "
													   "and next value '%3' differ.")
									 .arg(outValues.back()).arg(last).arg(v), location);
			const double fill = outValues.back();
			for (double tFill = last + 3600; t > tFill; tFill += 3600) {
				// a gap longer than the year would otherwise grow the output without bound
				if (outTimes.size() >= ZEB::HOURS_PER_YEAR)
					throw tooMany();
				outTimes.push_back(tFill);
				outValues.push_back(fill);
			}
		}
		if (outTimes.size() >= ZEB::HOURS_PER_YEAR)
			throw tooMany();
		outTimes.push_back(t);
		outValues.push_back(v);
	}
	if (outTimes.size() != ZEB::HOURS_PER_YEAR)
		throw tooMany();

	if (outTimes[0] == 0) {
		// the value at 0 s is the one at the end of the year
		std::rotate(outValues.begin(), outValues.begin() + 1, outValues.end());
		std::rotate(outTimes.begin(), outTimes.begin() + 1, outTimes.end());
		outTimes.back() = ZEB::SECONDS_PER_YEAR;
	}
	timePoints.swap(outTimes);
	values.swap(outValues);
}


ClimateDataLoader::ClimateComponents ClimateDataLoader::componentTypeFromQuantity(const std::string & quantity) {
	struct Keywords {
		const char *		m_names[3];
		ClimateComponents	m_component;
	};
	static const Keywords KEYWORDS[] = {
		{{"Temperature", "TEMPER", "Temper"}, Temperature},
		{{"RelativeHumidity", "RELHUM", "RelHum"}, RelativeHumidity},
		{{"RainFluxHorizontal", "HORRAIN", "VertRain"}, Rain},
		{{"WindDirection", "WINDDIR", "WindDir"}, WindDirection},
		{{"WindVelocity", "WINDVEL", "WindVel"}, WindVelocity},
		{{"LWRadiationSkyEmission", "SKYEMISS", "SkyRad"}, LongWaveCounterRadiation},
		{{"SWRadiationDirect", "DIRRAD", "DirRad"}, DirectRadiation},
		{{"SWRadiationDiffuse", "DIFRAD", "DifRad"}, DiffuseRadiation},
		{{"GasPressure", "GASPRESS", nullptr}, AirPressure}
	};
	for (const Keywords & k : KEYWORDS)
		for (const char * name : k.m_names)
			if (name != nullptr && quantity == name)
				return k.m_component;
	return NumClimateComponents;
}


std::string ClimateDataLoader::composeErrorText(ReadFunctionReturnValues res, const ZEB::Path & fname,
												const std::string & lineText)
{
	switch (res) {
		case RF_CannotOpenFile:
			return ZEB::FormatString("Cannot open file '%1'.").arg(fname).str();
		case RF_BadHeader:
			return ZEB::FormatString("Bad header format in line %1").arg(lineText).str();
		case RF_InvalidTimePoint:
			return ZEB::FormatString("Invalid time point (non monotonic increasing or duplicate time point in line %1")
					.arg(lineText).str();
		case RF_InvalidLineFormat:
			return ZEB::FormatString("Invalid format of line %1").arg(lineText).str();
		default:
			return ZEB::FormatString("Unknown error in line %1\n(OVM developers should add error text here!)")
					.arg(lineText).str();
	}
}


void ClimateDataLoader::placeSolarRadiationModel(SolarRadiationModel & model) const {
	model.m_latitude = m_latitude*ZEB::DEG2RAD;
	model.m_longitude = m_longitude*ZEB::DEG2RAD;
	model.m_climateDataLoader.m_timeZone = m_timeZone;
}


void ClimateDataLoader::convertDirectHorizontalToNormal(SolarRadiationModel & model,
														const std::vector<double> & timePoints,
														std::vector<double> & values)
{
	for (std::size_t i = 0; i < values.size(); ++i) {
		// a missing value would come out as a plausible-looking number
		if (isMissingValue(values[i]))
			continue;
		const double t = timePoints.empty() ? 3600.0*i + 1800 : timePoints[i];
		model.convertHorizontalToNormalRadiation(t, values[i], values[i]);
	}
}


double valueFromParaString(const std::string & line) {
	const char * const location = "[OVM::ClimateDataLoader::valueFromParaString]";
	const std::string::size_type pos = line.find(':');
	if (pos == std::string::npos)
		throw ZEB::Exception("Invalid header.\n", location);
	std::istringstream strm(line.substr(pos + 1));
	strm.imbue(std::locale::classic());
	double value = 0;
	if (!(strm >> value))
		throw ZEB::Exception(ZEB::FormatString("Invalid header line '%1', expected format <keyword> : <value> <unit>.\n")
							 .arg(line), location);
	return value;
}

} // namespace OVM
