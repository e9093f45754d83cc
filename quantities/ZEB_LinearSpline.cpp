#include "ZEB_LinearSpline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <istream>
#include <ostream>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_InputOutput.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_ScalarFunction.h"

namespace ZEB {

namespace {

const unsigned int MAX_POINTS = 10000;

void writeValues(std::ostream & out, const std::vector<double> & values) {
	const std::uint32_t count = static_cast<std::uint32_t>(values.size());
	out.write(reinterpret_cast<const char *>(&count), sizeof(count));
	if (count != 0)
		out.write(reinterpret_cast<const char *>(values.data()), static_cast<std::streamsize>(count * sizeof(double)));
}

} // namespace


void LinearSpline::clear() {
	*this = LinearSpline();
}


void LinearSpline::swap(LinearSpline & other) {
	std::swap(m_extrapolationMethod, other.m_extrapolationMethod);
	std::swap(m_xStep, other.m_xStep);
	std::swap(m_xOffset, other.m_xOffset);
	m_x.swap(other.m_x);
	m_y.swap(other.m_y);
	m_slope.swap(other.m_slope);
	std::swap(m_valid, other.m_valid);
	m_partStart.swap(other.m_partStart);
	std::swap(m_partsPerX, other.m_partsPerX);
}


void LinearSpline::setValues(const std::vector<double> & x, const std::vector<double> & y) {
	const char * const location = "[LinearSpline::setValues]";
	if (x.size() != y.size())
		throw Exception("X and Y vector size mismatch.", location);
	if (x.empty())
		throw Exception("Input vectors are empty.", location);
	std::vector<double> x2, y2;
	eliminateConsecutive(x, y, x2, y2);
	clear();
	m_x.swap(x2);
	m_y.swap(y2);
	std::string errmsg;
	m_valid = makeSpline(errmsg);
	if (!errmsg.empty())
		throw Exception(FormatString("Error generating spline for linear interpolation: %1").arg(errmsg), location);
}


bool LinearSpline::makeSpline(std::string & errmsg) {
	m_valid = false;
	m_slope.clear();
	m_partStart.clear();
	m_partsPerX = 0;
	if (m_x.empty() || m_x.size() != m_y.size()) {
		errmsg = "Invalid vector dimensions.";
		return false;
	}
	const std::size_t n = m_x.size();
	for (std::size_t k = 0; k + 1 < n; ++k) {
		if (m_x[k] >= m_x[k + 1]) {
			errmsg = FormatString("X values are not strictly monotonic increasing (at position/index %1).")
					 .arg(static_cast<unsigned int>(k)).str();
			return false;
		}
	}
	m_slope.reserve(n - 1);
	for (std::size_t i = 0; i + 1 < n; ++i)
		m_slope.push_back((m_y[i + 1] - m_y[i]) / (m_x[i + 1] - m_x[i]));
	// a binary search over a long table costs more than the interpolation; short ones keep it
	const std::size_t LONG_TABLE = 64;
	const double range = m_x.back() - m_x.front();
	if (n >= LONG_TABLE && std::isfinite(range)) {
		m_partsPerX = static_cast<double>(n) / range;
		m_partStart.resize(n);
		std::size_t i = 0;
		for (std::size_t part = 0; part < n; ++part) {
			const double start = m_x.front() + static_cast<double>(part) / m_partsPerX;
			while (i < n && m_x[i] < start)
				++i;
			m_partStart[part] = i;
		}
	}
	m_valid = true;
	return true;
}


std::size_t LinearSpline::lowerBound(double x) const {
	const auto first = m_x.begin();
	if (m_partStart.empty())
		return static_cast<std::size_t>(std::lower_bound(first, m_x.end(), x) - first);
	// x's part holds the answer; where its points crowd (a table dense in one season) a binary
	// search within the part keeps the cost that of the crowd's logarithm. Where the part's
	// rounding put x just outside it, the search takes the rest of the table on that side.
	const double part = (x - m_x.front()) * m_partsPerX;
	const std::size_t parts = m_partStart.size();
	const std::size_t p = part > 0 ? (part < static_cast<double>(parts) ? static_cast<std::size_t>(part) : parts - 1) : 0;
	std::size_t lo = m_partStart[p];
	std::size_t hi = p + 1 < parts ? m_partStart[p + 1] : m_x.size();
	if (lo > 0 && m_x[lo - 1] >= x)
		lo = 0;
	if (hi < m_x.size() && m_x[hi] < x)
		hi = m_x.size();
	// a part holds a point or two where the table is even: a few steps find it
	std::size_t i = lo;
	const std::size_t walked = std::min(hi, lo + 4);
	while (i < walked && m_x[i] < x)
		++i;
	if (i < walked || i == hi)
		return i;
	return static_cast<std::size_t>(std::lower_bound(first + i, first + hi, x) - first);
}


void LinearSpline::eliminateConsecutive(const std::vector<double> & x, const std::vector<double> & y,
										std::vector<double> & x2, std::vector<double> & y2)
{
	const char * const location = "[LinearSpline::eliminateConsecutive]";
	x2.clear();
	y2.clear();
	if (x.empty())
		return;
	x2.push_back(x[0]);
	y2.push_back(y[0]);
	unsigned int skipped = 0;
	bool warned = false;
	double lastWarned = 0;
	for (std::size_t i = 1; i < x.size(); ++i) {
		if (x[i] != x2.back()) {
			x2.push_back(x[i]);
			y2.push_back(y[i]);
			continue;
		}
		++skipped;
		if (!warned || x[i] != lastWarned) {
			ZEB_Message(FormatString("Duplicate x-value %1 found (and skipped).").arg(x[i]), MSG_WARNING, location, 3);
			warned = true;
			lastWarned = x[i];
		}
	}
	if (x.back() == x2.back() && y.back() != y2.back()) {
		ZEB_Message(FormatString("Duplicate x-value found at the end. End y value %1 copied to the new spline "
								 "(old y value: %2.").arg(y.back()).arg(y2.back()), MSG_WARNING, location, 3);
		y2.back() = y.back();
	}
	if (skipped > 0)
		ZEB_Message(FormatString("Skipped a total of %1 values because of duplicate x-values.").arg(skipped),
					MSG_WARNING, location, 3);
}


double LinearSpline::value(double x) const {
	if (m_xStep != 0) {
		// below the offset the first interval continues; the index is bounded before the
		// conversion, since huge or infinite quotients have no integer value
		const double q = (x - m_xOffset) / m_xStep;
		if (q >= static_cast<double>(m_slope.size()))
			return m_y.back();
		const std::size_t i = q > 0 ? static_cast<std::size_t>(q) : 0;
		return m_y[i] + (x - (m_xOffset + static_cast<double>(i) * m_xStep)) * m_slope[i];
	}
	const std::size_t n = m_x.size();
	if (n == 1)
		return m_y[0];
	if (x > m_x.back()) {
		if (m_extrapolationMethod == EM_LINEAR)
			return m_y.back() + (x - m_x.back()) * m_slope.back();
		return m_y.back();
	}
	const std::size_t i = lowerBound(x);
	if (i == 0) {
		if (m_extrapolationMethod == EM_LINEAR)
			return m_y[0] + (x - m_x[0]) * m_slope[0];
		return m_y[0];
	}
	const double t = (x - m_x[i - 1]) / (m_x[i] - m_x[i - 1]);
	return t * m_y[i] + (1 - t) * m_y[i - 1];
}


double LinearSpline::nonInterpolatedValue(double x) const {
	if (m_x.size() == 1 || x > m_x.back())
		return m_y.back();
	const std::size_t i = lowerBound(x);
	if (i == 0 || x == m_x[i])
		return m_y[i];
	return m_y[i - 1];
}


double LinearSpline::slope(double x) const {
	if (!m_valid)
		throw Exception("Linear spline not properly initialized!", "[LinearSpline::value]");
	const std::size_t n = m_x.size();
	if (n == 1)
		return 0;
	const std::size_t i = static_cast<std::size_t>(std::lower_bound(m_x.begin(), m_x.end(), x) - m_x.begin());
	if (i < 2)
		return m_slope[0];
	if (i >= n - 1)
		return m_slope.back();
	return m_slope[i - 1];
}


bool LinearSpline::read(const std::string & xdata, const std::string & ydata, std::string * errmsg) {
	std::vector<double> x, y;
	string2valueVector(xdata, x);
	string2valueVector(ydata, y);
	if (x.empty()) {
		if (errmsg != nullptr)
			*errmsg = "Missing data to read!";
		return false;
	}
	if (x.size() != y.size()) {
		if (errmsg != nullptr)
			*errmsg = "Number of x [" + val2string(x.size()) + "] and y [" + val2string(y.size()) + "] values differs!";
		return false;
	}
	eliminateConsecutive(x, y, m_x, m_y);
	std::string msg;
	m_valid = makeSpline(msg);
	if (!m_valid && errmsg != nullptr)
		*errmsg = msg;
	return m_valid;
}


void LinearSpline::read(const std::string & xdata, const std::string & ydata) {
	std::string errmsg;
	if (!read(xdata, ydata, &errmsg))
		throw Exception(errmsg, "[LinearSpline::read]");
}


bool LinearSpline::read(std::istream & in, std::string * errmsg) {
	std::string xdata, ydata;
	std::getline(in, xdata);
	std::getline(in, ydata);
	return read(xdata, ydata, errmsg);
}


void LinearSpline::write(std::ostream & out, unsigned int indent) const {
	const std::string blanks(indent, ' ');
	for (const std::vector<double> * values : {&m_x, &m_y}) {
		out << blanks;
		for (double v : *values)
			out << std::setw(15) << std::left << v << "  ";
		out << std::endl;
	}
}


void LinearSpline::writeBinary(std::ostream & out) const {
	writeValues(out, m_x);
	writeValues(out, m_y);
}


void LinearSpline::readBinary(std::istream & in) {
	read_vector_binary(in, m_x, MAX_POINTS);
	read_vector_binary(in, m_y, MAX_POINTS);
	// the slopes and parts belong to the old table: slope() must not trust them before makeSpline()
	m_valid = false;
	m_partStart.clear();
}

int LinearSpline::generate(const ScalarFunction & f, double xMin, double xMax, double absTol, double relTol,
						   unsigned int maxPoints, bool useExistingData)
{
	const char * const location = "[LinearSplineGenerator::generate]";
	if (!m_x.empty()) {
		xMin = std::min(xMin, m_x.front());
		xMax = std::max(xMax, m_x.back());
		ZEB_Message(FormatString("Spline data already existing in generator, using min/max values: %1/%2")
					.arg(xMin).arg(xMax), MSG_PROGRESS, location, 3);
	}
	if (!(xMin < xMax) || !std::isfinite(xMin) || !std::isfinite(xMax))
		throw Exception(FormatString("Invalid interval (xMin must be < than xMax)!"), location);

	// Working table; flags[i] is 1 while the interval [xs[i], xs[i+1]] is still to be examined.
	// Each pass writes the refined table into the second set of vectors, and coarsening copies
	// it back, so no pass inserts into or erases from the middle of a vector.
	const std::size_t capacity = std::min<std::size_t>(maxPoints, 1u << 20) + 1;
	std::vector<double> xs, ys, xr, yr;
	std::vector<unsigned int> flags, flagsr;
	for (std::vector<double> * v : {&xs, &ys, &xr, &yr})
		v->reserve(capacity);
	flags.reserve(capacity);
	flagsr.reserve(capacity);

	unsigned int fEvals = 0;
	if (useExistingData && m_x.size() >= 2) {
		if (m_y.size() != m_x.size())
			throw Exception(FormatString("Spline holds %1 x values but %2 y values.")
							.arg(static_cast<unsigned int>(m_x.size())).arg(static_cast<unsigned int>(m_y.size())), location);
		xs.assign(m_x.begin(), m_x.end());
		ys.assign(m_y.begin(), m_y.end());
		flags.assign(xs.size() - 1, 1);
	}
	else {
		xs = {xMin, xMax};
		ys = {f(xMin), f(xMax)};
		flags = {1};
		fEvals = 2;
	}
	ZEB_Message(FormatString("Starting spline generation with %1 points, reltol = %2, abstol = %3.\n")
				.arg(static_cast<unsigned int>(xs.size())).arg(relTol).arg(absTol), MSG_PROGRESS, location, 3);

	for (;;) {
		// refinement: bisect every interval whose midpoint the chord misses
		unsigned int examined = 0;
		double maxErr = absTol;
		xr.clear();
		yr.clear();
		flagsr.clear();
		for (std::size_t i = 0; i < flags.size(); ++i) {
			xr.push_back(xs[i]);
			yr.push_back(ys[i]);
			if (flags[i] == 0) {
				flagsr.push_back(0);
				continue;
			}
			++examined;
			const double xm = (xs[i + 1] + xs[i]) * 0.5;
			if (xm == xs[i])
				throw Exception(FormatString("Division by zero while adding spline points!"), location);
			const double fm = f(xm);
			++fEvals;
			const double err = fm - (ys[i] + ys[i + 1]) * 0.5;
			// compared as a product: a zero tolerance accepts an exact chord instead of dividing 0 by 0
			if (std::fabs(err) <= std::fabs(fm * relTol + absTol)) {
				flagsr.push_back(0);
				continue;
			}
			maxErr = std::max(maxErr, std::fabs(err));
			// too narrow for the resolution of x: accepted as it is (magnitudes, so that negative
			// x values are refined like positive ones)
			const double halfWidth = std::min(std::fabs(xm - xs[i + 1]), std::fabs(xm - xs[i]));
			if (halfWidth <= 1e-11 * std::max(std::fabs(xs[i + 1]), std::fabs(xs[i]))) {
				flagsr.push_back(0);
				continue;
			}
			flagsr.push_back(1);
			xr.push_back(xm);
			yr.push_back(fm);
			flagsr.push_back(1);
		}
		xr.push_back(xs.back());
		yr.push_back(ys.back());
		ZEB_Message(FormatString("  Intervals refined = %1, max abs. error = %2, fEvals = %4, current spline size of %3")
					.arg(examined).arg(maxErr).arg(static_cast<unsigned int>(xr.size())).arg(fEvals),
					MSG_PROGRESS, location, 3);

		// Coarsening: drop points that the chord of their neighbours reproduces. Only points
		// between two accepted intervals go, and the merged interval stays accepted: dropping a
		// point of a pending interval would bring its midpoint back next pass, for ever.
		xs.clear();
		ys.clear();
		flags.clear();
		xs.push_back(xr[0]);
		ys.push_back(yr[0]);
		std::size_t last = 0;					// index in xr of the last point kept
		unsigned int lastFlag = flagsr[0];		// flag of the interval starting there
		for (std::size_t j = 1; j + 1 < xr.size(); ++j) {
			if (lastFlag == 0 && flagsr[j] == 0) {
				const double yl = (xr[j] - xr[last]) / (xr[j + 1] - xr[last]) * (yr[j + 1] - yr[last]) + yr[last];
				if (std::fabs(yl - yr[j]) < std::fabs(yl * relTol + absTol))
					continue;
			}
			flags.push_back(lastFlag);
			xs.push_back(xr[j]);
			ys.push_back(yr[j]);
			last = j;
			lastFlag = flagsr[j];
		}
		flags.push_back(lastFlag);
		xs.push_back(xr.back());
		ys.push_back(yr.back());
		ZEB_Message(FormatString(" [%1]\n").arg(static_cast<unsigned int>(xs.size())), MSG_PROGRESS, location, 3);

		if (examined == 0 || xs.size() > maxPoints) {
			m_x.swap(xs);
			m_y.swap(ys);
			// the slopes belong to the old table: makeSpline() must run before evaluating
			m_valid = false;
			return examined == 0 ? 0 : 1;
		}
	}
}


} // namespace ZEB
