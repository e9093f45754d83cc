#include "ZEB_Math.h"

#include <cmath>
#include <limits>

#include "ZEB_Constants.h"
#include "ZEB_Exception.h"

namespace ZEB {

double f_pow(double base, double exponent) {
	if (base < 0)
		throw Exception(FormatString("Negative base in power function, base = %1").arg(base), "[ZEB::f_pow]");
	if (exponent > 50)
		throw Exception(FormatString("Exponent too large in power function, exponent = %1").arg(exponent), "[ZEB::f_pow]");
	return std::pow(base, exponent);
}


double f_pow(double base, int exponent) {
	if (base < 0)
		throw Exception(FormatString("Negative base in power function, base = %1.").arg(base), "[ZEB::f_pow]");
	if (exponent > 50)
		throw Exception(FormatString("Exponent too large in power function, exponent = %1.").arg(exponent), "[ZEB::f_pow]");
	return std::pow(base, exponent);
}


double f_pow10(double x) {
	if (x > 50)
		throw Exception(FormatString("Exponent too large in power function, exponent = %1").arg(x), "[ZEB::f_pow10]");
	return std::pow(10.0, x);
}


double f_log(double x) {
	if (x <= 0)
		throw Exception(FormatString("Negative or zero value in log function, x = %1").arg(x), "[ZEB::f_log]");
	return std::log(x);
}


double f_log10(double x) {
	if (x <= 0)
		throw Exception(FormatString("Negative or zero value in log function, x = %1").arg(x), "[ZEB::f_log10]");
	return std::log10(x);
}


double f_sqrt(double x) {
	if (x < 0)
		throw Exception(FormatString("Negative value in sqrt function, x = %1").arg(x), "[ZEB::f_sqrt]");
	return std::sqrt(x);
}


double f_exp(double x) {
	return std::exp(x);
}


double scale(double x) {
	const double t = 1 - x;
	return 1 + (2 * t - 3) * t * t;
}


double scale2(double x, double limit) {
	if (x <= 0)
		return 0;
	if (x >= limit)
		return 1;
	const double t = 1 - x / limit;
	return 1 + t * t * (2 * t - 3);
}


double error_function(double x) {
	const double a = std::fabs(x);
	const double t = 1 / (1 + 0.47047 * a);
	const double sign = (x > 0) ? 1 : (x < 0 ? -1 : 0);
	return sign * (1 - (0.3480242 * t - 0.0958798 * t * t + 0.7478556 * t * t * t) * std::exp(-a * a));
}


void min_max_values(const std::vector<double> & values, double & minVal, double & maxVal) {
	// starting at the lowest double, an all-negative vector reports its true maximum
	minVal = std::numeric_limits<double>::max();
	maxVal = std::numeric_limits<double>::lowest();
	for (double v : values) {
		if (v < minVal)
			minVal = v;
		if (v > maxVal)
			maxVal = v;
	}
}


namespace {

// Lambert conformal conic projection, standard parallels 35 N and 65 N, origin 52 N 10 E, GRS80.
const double LCC_E = 0.08181919104281579;			// eccentricity
const double LCC_N = 0.7753815998754331;			// cone constant
const double LCC_AF = 11157488.56668877;			// scaled radius a*F [m]
const double LCC_RHO0 = 4901418.870196237;			// radius at the latitude of origin [m]
const double LCC_LAMBDA0 = 0.17453292519943295;		// central meridian 10 Deg [rad]
const double LCC_FALSE_EASTING = 4000000;
const double LCC_FALSE_NORTHING = 2800000;
const double LCC_INV_N = 1.2896875553413343;
const double FULL_DEG2RAD = 0.017453292519943295;	// full precision, unlike DEG2RAD

} // namespace


void transformWSG84ToLambertProjection(double lon, double lat, double & x, double & y) {
	const double phi = lat * FULL_DEG2RAD;
	const double lambda = lon * FULL_DEG2RAD;
	const double esin = LCC_E * std::sin(phi);
	const double t = std::tan(PI / 4 - phi / 2) / std::pow((1 - esin) / (1 + esin), LCC_E / 2);
	const double rho = LCC_AF * std::pow(t, LCC_N);
	const double theta = LCC_N * (lambda - LCC_LAMBDA0);
	x = rho * std::sin(theta) + LCC_FALSE_EASTING;
	y = LCC_FALSE_NORTHING + LCC_RHO0 - rho * std::cos(theta);
}


void transformLambertProjectionToWSG84(double x, double y, double & lon, double & lat) {
	const double dx = x - LCC_FALSE_EASTING;
	const double dy = LCC_RHO0 - (y - LCC_FALSE_NORTHING);
	const double t = std::pow(std::sqrt(dx * dx + dy * dy) / LCC_AF, LCC_INV_N);
	const double theta = std::atan2(dx, dy);
	double phiPrev = 0;
	double phi = PI / 2 - 2 * std::atan(t);
	for (int k = 1; k <= 100 && std::fabs(phi - phiPrev) > 1e-5; ++k) {
		phiPrev = phi;
		const double esin = LCC_E * std::sin(phiPrev);
		phi = PI / 2 - 2 * std::atan(t * std::pow((1 - esin) / (1 + esin), LCC_E / 2));
	}
	lat = phi * 180 / PI;
	lon = (theta / LCC_N + LCC_LAMBDA0) * 180 / PI;
}

} // namespace ZEB
