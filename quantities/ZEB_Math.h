#ifndef ZEB_MathH
#define ZEB_MathH

#include <vector>

namespace ZEB {

// Domain-checked versions of the math functions: a domain error throws ZEB::Exception naming
// the offending value instead of giving a silent NaN. A NaN argument passes every check.

/*! base^exponent; throws for base < 0 and exponent > 50. */
double f_pow(double base, double exponent);
/*! base^exponent; throws for base < 0 and exponent > 50. */
double f_pow(double base, int exponent);
/*! 10^x; throws for x > 50. */
double f_pow10(double x);
/*! Natural logarithm; throws for x <= 0. */
double f_log(double x);
/*! Decimal logarithm; throws for x <= 0. */
double f_log10(double x);
/*! Square root; throws for x < 0. */
double f_sqrt(double x);
double f_exp(double x);

/*! Smooth ramp 3x^2 - 2x^3 (not clamped). */
double scale(double x);
/*! Smooth ramp from 0 at x <= 0 to 1 at x >= limit. */
double scale2(double x, double limit);
/*! Approximation of erf(x) (three-term rational form, absolute error below 3e-5). */
double error_function(double x);

/*! Smallest and largest of values; NaN values are passed over. An empty vector gives the largest
	double and the lowest double. */
void min_max_values(const std::vector<double> & values, double & minVal, double & maxVal);

/*! Lambert conformal conic projection (standard parallels 35 N and 65 N, origin 52 N 10 E,
	GRS80): longitude and latitude [Deg] to easting x and northing y [m]. */
void transformWSG84ToLambertProjection(double lon, double lat, double & x, double & y);
/*! Inverse of transformWSG84ToLambertProjection. */
void transformLambertProjectionToWSG84(double x, double y, double & lon, double & lat);

} // namespace ZEB

#endif // ZEB_MathH
