#ifndef OVM_ClimateDataLoaderH
#define OVM_ClimateDataLoaderH

#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "ZEB_LinearSpline.h"
#include "ZEB_Path.h"
#include "ZEB_Unit.h"

#include "OVM_Constants.h"

namespace OVM {

class SolarRadiationModel;

/*! The climate of one location: a location header and nine climate components, either one cyclic
	year of hourly values (no time points, 8760 values per component) or a time series on explicit
	time points (as many values per component as time points, points never decreasing).

	Filled by one file reader, then queried with setTime() at every evaluation of the room
	model's equations: setTime() allocates nothing, and for cyclic data it does not search.
	Times are seconds from 1 January 0:00 of a 365-day year. Cyclic values belong to the end of
	their hour, except direct and diffuse radiation and rain, which belong to its middle.
	A missing value is DATA_NOT_VALID (-9999). The loader owns all its members by value.
*/
class ClimateDataLoader {
public:
	/*! The components in their fixed order; the index is used for data vectors, splines, current
		values, check flags and file columns. */
	enum ClimateComponents {
		Temperature,				///< Outdoor air temperature [C].
		RelativeHumidity,			///< Relative humidity of the outdoor air [%].
		DirectRadiation,			///< Direct solar radiation on a surface normal to the sun [W/m2].
		DiffuseRadiation,			///< Diffuse solar radiation on a horizontal surface [W/m2].
		WindDirection,				///< [Deg].
		WindVelocity,				///< [m/s].
		LongWaveCounterRadiation,	///< Long-wave counter (sky) radiation [W/m2].
		AirPressure,				///< [Pa].
		Rain,						///< Rain on a horizontal surface [l/m2h].
		NumClimateComponents
	};

	/*! Results of the single-file readers of time series. */
	enum ReadFunctionReturnValues {
		RF_OK					= 0,
		RF_CannotOpenFile		= 1,
		RF_BadHeader			= 2,
		RF_InvalidTimePoint		= 3,
		RF_InvalidLineFormat	= 4
	};

	/*! Unit names of the components, in component order. */
	static const char * const DEFAULT_UNITS[NumClimateComponents];

	/*! Empty: no data, no time points, every check flag 1 ("no usable data"). */
	ClimateDataLoader();

	/*! Reads a climate file, choosing the reader by the extension (case-insensitive): "epw",
		"c6b", "wac", "dat" (test reference year). With headerOnly only the location header is
		read. Every failure is thrown as "Error reading climate data file." on top of the
		reader's own message. */
	void readClimateData(const ZEB::Path & fname, bool headerOnly = false);

	/*! Interpolates all nine components at time t [s] of year into m_currentData. Components with
		a spline take the spline's value; others fall back to the component's default where the
		interpolated value is missing. Cyclic data ignore the year. Throws, leaving m_currentData
		unchanged, when t is not finite, when a data vector does not match the time points (or
		the 8760 hours of cyclic data) and when a time series does not cover the time. */
	void setTime(int year, double t);

	/*! Every data vector becomes n missing values: n is the number of time points, or 8760. */
	void initDataWithDefault();

	/*! True when the time points never decrease; equal neighbours are accepted. */
	bool hasValidTimePoints() const;
	/*! Index of the first time point that lies before its predecessor (or is not a number); 0
		when the time points never decrease. Every reader of a time series refuses such points:
		setTime's binary search needs them in order. */
	static std::size_t firstDecreasingTimePoint(const std::vector<double> & timePoints);

	/*! Recomputes m_checkBits and m_checkIndexes from the data vectors. */
	void updateCheckBits();

	/*! Throws unless timePoints [s] can describe one cyclic year. */
	static void checkForValidCyclicData(const std::vector<double> & timePoints);

	/*! Value of the cyclic series spline at t [s]: inside the spline's range the spline's value,
		outside it the straight line across the year's end from the last to the first point. */
	static double interpolateCyclicData(const ZEB::LinearSpline & spline, double t);

	/*! Expands an hourly series [s] whose gaps hold a constant value into the 8760 points
		3600 s ... 31536000 s; both vectors are replaced. Throws for anything else. */
	static void expandToAnnualHourlyData(std::vector<double> & timePoints, std::vector<double> & values);

	/*! The component named by a file keyword (case-sensitive); NumClimateComponents when unknown. */
	static ClimateComponents componentTypeFromQuantity(const std::string & quantity);

	/*! The message for a result code of a single-file reader; lineText names the offending line. */
	static std::string composeErrorText(ReadFunctionReturnValues res, const ZEB::Path & fname,
										const std::string & lineText);

	/*! True for a time zone [h] that a climate file may give, fractions of an hour included:
		less than 25 hours from UTC either way (a NaN is none). Every reader with a time zone
		refuses others alike. */
	static bool isTimeZone(double hours) {
		return hours > -25 && hours < 25;
	}
	/*! What a refusal of a time zone says is expected. */
	static const char * const TIME_ZONE_EXPECTED;
	/*! True for a value that marks missing data: one that truncates toward zero to DATA_NOT_VALID. */
	static bool isMissingValue(double v) {
		// a range, since converting a double beyond int's range to int is undefined
		return v > DATA_NOT_VALID - 1.0 && v <= DATA_NOT_VALID;
	}

	/*! Places model at this loader's latitude and longitude (in radians) with its time zone. */
	void placeSolarRadiationModel(SolarRadiationModel & model) const;

	/*! Turns direct radiation on the horizontal [W/m2] into direct radiation normal to the sun,
		value i at timePoints[i] or, without time points, at the middle of hour i + 1; missing
		values stay missing. Moves model's sun. */
	static void convertDirectHorizontalToNormal(SolarRadiationModel & model, const std::vector<double> & timePoints,
												std::vector<double> & values);

	// Readers and writers; each format lives in its own source file.

	/*! Native binary climate file (c6b); the writer throws when it cannot create or write the file. */
	void readClimateDataZEB(const ZEB::Path & fname, bool headerOnly);
	void writeClimateDataZEB(const ZEB::Path & fname) const;

	/*! EnergyPlus weather file, read as one cyclic year (earlier time points are dropped). The
		header ends at the "DATA PERIODS" line; the lines between line 5 and it are comment
		lines. The 24 data lines of 29 February of a leap year are skipped. */
	void readClimateDataEPW(const ZEB::Path & fname, bool headerOnly);
	/*! Writes one cyclic year as EnergyPlus weather file, one COMMENTS line per comment line.
		Throws for data with time points or without 8760 values per component (before the file
		is opened) and when the file cannot be created or written. */
	void writeClimateDataEPW(const ZEB::Path & fname) const;

	/*! WAC climate file: an annual hourly table (cyclic year) or a time series. */
	void readClimateDataWAC(const ZEB::Path & fname, bool headerOnly);

	/*! Test reference year file of 2017 (".dat"): cyclic year, location from its Lambert coordinates. */
	void readClimateDataBBSRDat(const ZEB::Path & fname, bool headerOnly);

	/*! One column of a tab-separated table as time series: the time in column 0 (converted to
		seconds), the values in column 1 or in the column N selected by a suffix "?N" of the
		file name. quantity and valueUnit come from the column's caption "name [unit]". Never
		throws: RF_CannotOpenFile for a missing file, RF_BadHeader for a missing column or
		unknown unit (errmsg says which), RF_InvalidTimePoint for a time before its predecessor
		(errmsg "#line (time point t s)"), RF_InvalidLineFormat for any other failure (whose
		message stack goes to the error output). */
	static ReadFunctionReturnValues readCSVFile(const ZEB::Path & fname, std::vector<double> & timePoints,
												std::vector<double> & values, std::string & quantity,
												ZEB::Unit & valueUnit, std::string & errmsg);
	/*! Writes all components as one tab-separated table for inspection, every value followed by
		a tab; throws when the file cannot be written or a vector does not fit the time points. */
	void writeClimateDataTSV(const ZEB::Path & fname) const;

	/*! One CCD file: comment lines ('#' in column 1) before the line "quantity unit" go to
		comment, then lines "day hh:mm:ss value" with strictly increasing times [s]. Returns
		RF_CannotOpenFile (outputs untouched), RF_BadHeader, RF_InvalidTimePoint or
		RF_InvalidLineFormat with errmsg "#  7: <line>", else RF_OK. An unknown unit throws. */
	static ReadFunctionReturnValues readCCDFile(const ZEB::Path & fname, std::vector<double> & timePoints,
												std::vector<double> & values, std::string & comment,
												std::string & quantity, ZEB::Unit & unit, std::string & errmsg);
	/*! Reads the nine fixed CCD files of a climate data directory as one cyclic year in the
		components' units; direct radiation is read on the horizontal and turned normal to the
		sun with solarModel, which must be placed at the data's location. A file that cannot be
		opened gives a component of missing values and its path, with a line feed, appended to
		missingFiles. Throws, leaving the data as they were, for any other failure. */
	void readClimateDataCCDDirectory(const ZEB::Path & directory, SolarRadiationModel & solarModel,
									 std::string & missingFiles);
	/*! Reads the location from the XML description file of a climate data directory; city and
		country in the multi-language encoded form. */
	void readDescriptionCCD(const ZEB::Path & fname);

	/*! Sets m_wmoCode from the station of an MLID station list whose English country and city
		names contain the loader's and whose coordinates lie within 0.1 degree; false, with a
		warning, when no station fits or a code is set already. Throws for an unreadable file
		or a malformed record. */
	bool fillWMOCodeFromMLID(const ZEB::Path & fname);


	// Location header

	/*! [Deg], east positive. */
	double				m_longitude = 0;
	/*! [Deg], north positive. */
	double				m_latitude = 0;
	/*! [m] */
	double				m_elevation = 0;
	/*! Hours relative to UTC, as the file gives them: India's 5.5 and Nepal's 5.75 too. */
	double				m_timeZone = 0;
	std::string			m_city;
	std::string			m_country;
	/*! The station code as text. */
	std::string			m_wmoCode;
	std::string			m_source;
	std::string			m_comment;

	// Data

	/*! One vector per component, in component order. */
	std::array<std::vector<double>, NumClimateComponents>	m_data;
	/*! Time points [s] from 1 January 0:00 of m_startYear; empty for one cyclic year. */
	std::vector<double>			m_dataTimePoints;
	/*! Calendar year of time point 0. */
	int							m_startYear = 2007;
	/*! A component whose spline holds points takes its value from the spline, at the time of
		the year [s] (cyclic) or at the time since m_startYear (time series). */
	std::array<ZEB::LinearSpline, NumClimateComponents>		m_splines;

	/*! Component values of the last setTime(), in the components' units. */
	std::array<double, NumClimateComponents>				m_currentData;
	/*! Plausibility flags per component: 1 no usable data, 2 contains missing values, 4 contains
		values out of the plausible range. */
	std::array<unsigned int, NumClimateComponents>			m_checkBits;
	/*! Per component the index of the first missing and of the first out-of-range value;
		0xFFFFFFFF for none. */
	std::array<std::pair<unsigned int, unsigned int>, NumClimateComponents>	m_checkIndexes;
};


/*! The number of a header line "keyword : value unit"; throws when there is no ':' or no number. */
double valueFromParaString(const std::string & line);

} // namespace OVM

#endif // OVM_ClimateDataLoaderH
