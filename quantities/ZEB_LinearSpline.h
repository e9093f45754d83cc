#ifndef ZEB_LinearSplineH
#define ZEB_LinearSplineH

#include <iosfwd>
#include <string>
#include <vector>

namespace ZEB {

class ScalarFunction;

/*! An x/y table with piecewise-linear interpolation: climate series, schedules, storage functions,
	solar gain factors, shading factors.

	Build it with setValues() (or read()), then evaluate it with value(), which allocates nothing,
	changes nothing and tests nothing: the caller guarantees a made spline with at least one point.
*/
class LinearSpline {
public:
	enum ExtrapolationMethod {
		EM_CONSTANT	= 0,	///< Outside the table the nearest end value.
		EM_LINEAR	= 1		///< Outside the table the end segment continued.
	};

	/*! Number of points. */
	std::size_t size() const { return m_y.size(); }
	/*! Back to a default-constructed spline (method, step and offset included). */
	void clear();
	void swap(LinearSpline & other);

	/*! Takes the table, dropping consecutive duplicate x values (with warnings), and makes the
		spline. Resets method, step and offset: set linear extrapolation afterwards. Throws for
		empty or mismatched vectors and for x values that are not increasing. */
	void setValues(const std::vector<double> & x, const std::vector<double> & y);
	/*! Checks the points and computes the slopes; false with the reason in errmsg. */
	bool makeSpline(std::string & errmsg);
	/*! Copies the table without consecutive duplicate x values: inside a run the first y wins, at
		the end of the table the last y. Warns through the current message handler. */
	static void eliminateConsecutive(const std::vector<double> & x, const std::vector<double> & y,
									 std::vector<double> & x2, std::vector<double> & y2);

	/*! Samples f into the table so that linear interpolation meets |error| <= |f*relTol + absTol|
		with few points: intervals are bisected while their midpoint misses the chord, and
		points the chord of their neighbours reproduces are dropped, pass after pass. The range
		is widened to cover existing points; with useExistingData (and two points or more) the
		existing table is refined instead of a fresh one from xMin and xMax. Returns 0 when
		converged, 1 when a pass ended with more than maxPoints points; either way the table is
		replaced and makeSpline() must run before evaluating. Throws (table unchanged) for an
		empty or non-finite range, on intervals below the resolution of x, and when f throws. */
	int generate(const ScalarFunction & f, double xMin, double xMax, double absTol, double relTol,
				 unsigned int maxPoints, bool useExistingData);

	/*! Interpolated, or extrapolated by m_extrapolationMethod. */
	double value(double x) const;
	/*! Step function: each y holds from its x up to the next x. */
	double nonInterpolatedValue(double x) const;
	/*! Slope of the interval holding x; the end slopes outside. Throws when not made. */
	double slope(double x) const;

	/*! Parses two number lists and makes the spline; method, step and offset stay. False with the
		reason in errmsg (when not null). */
	bool read(const std::string & xdata, const std::string & ydata, std::string * errmsg);
	/*! As above; throws on failure. */
	void read(const std::string & xdata, const std::string & ydata);
	/*! Reads the text form: x values on the first line, y values on the next. */
	bool read(std::istream & in, std::string * errmsg);
	/*! Two lines (x, then y), each value left-adjusted in 15 characters and two blanks. */
	void write(std::ostream & out, unsigned int indent) const;
	/*! u32 count and the x values, then the same for y. */
	void writeBinary(std::ostream & out) const;
	/*! Replaces the x and y values (the spline is no longer made): run makeSpline() before evaluating. */
	void readBinary(std::istream & in);

	ExtrapolationMethod	m_extrapolationMethod = EM_CONSTANT;
	/*! Non-zero: the points lie at m_xOffset + i * m_xStep and value() takes a fast path. */
	double				m_xStep = 0;
	double				m_xOffset = 0;
	/*! Strictly increasing once made. */
	std::vector<double>	m_x;
	std::vector<double>	m_y;
	/*! Slope of each of the n-1 intervals. */
	std::vector<double>	m_slope;
	/*! True after a successful makeSpline(). */
	bool				m_valid = false;

private:
	/*! The index of the first point not below x, as std::lower_bound finds it. */
	std::size_t lowerBound(double x) const;

	/*! Long tables (a schedule over a year in minutes) only: for each of as many equal parts of
		[m_x.front(), m_x.back()] as there are points, the index of the first point not below the
		part's start, so that value() starts its search next to x. Made by makeSpline(). */
	std::vector<std::size_t>	m_partStart;
	/*! Parts per unit of x. */
	double						m_partsPerX = 0;
};

} // namespace ZEB

#endif // ZEB_LinearSplineH
