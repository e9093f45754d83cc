#include "ZEB_LinearSpline.h"

#include <algorithm>
#include <cstdint>
#include <iomanip>
#include <istream>
#include <ostream>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"
#include "ZEB_InputOutput.h"
#include "ZEB_MessageHandlerRegistry.h"

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
	m_valid = true;
	return true;
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
		// below the offset the first interval continues
		const double q = (x - m_xOffset) / m_xStep;
		const std::size_t i = q > 0 ? static_cast<std::size_t>(q) : 0;
		if (i < m_slope.size())
			return m_y[i] + (x - (m_xOffset + static_cast<double>(i) * m_xStep)) * m_slope[i];
		return m_y.back();
	}
	const std::size_t n = m_x.size();
	if (n == 1)
		return m_y[0];
	if (x > m_x.back()) {
		if (m_extrapolationMethod == EM_LINEAR)
			return m_y.back() + (x - m_x.back()) * m_slope.back();
		return m_y.back();
	}
	const std::size_t i = static_cast<std::size_t>(std::lower_bound(m_x.begin(), m_x.end(), x) - m_x.begin());
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
	const std::size_t i = static_cast<std::size_t>(std::lower_bound(m_x.begin(), m_x.end(), x) - m_x.begin());
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
}

} // namespace ZEB
