#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "ZEB_Constants.h"
#include "ZEB_Exception.h"
#include "ZEB_Math.h"
#include "ZEB_Matrix.h"

namespace {

void expectThrow(double (*f)(double), double x, const std::string & text, const char * location) {
	try {
		f(x);
		FAIL() << "expected an exception for " << x;
	}
	catch (ZEB::Exception & ex) {
		EXPECT_EQ(ex.what(), text);
		EXPECT_STREQ(ex.location(), location);
	}
}

} // namespace


TEST(Math, ChecksDomains) {
	try {
		ZEB::f_pow(2.0, 50.5);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Exponent too large in power function, exponent = 50.5");
		EXPECT_STREQ(ex.location(), "[ZEB::f_pow]");
	}
	EXPECT_EQ(ZEB::f_pow(2.0, 50.0), std::pow(2.0, 50.0));
	EXPECT_EQ(ZEB::f_pow(2.0, 50), std::pow(2.0, 50));
	try {
		ZEB::f_pow(2.0, 51);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Exponent too large in power function, exponent = 51.");
	}
	try {
		ZEB::f_pow(-2.0, 2);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Negative base in power function, base = -2.");
	}
	EXPECT_THROW(ZEB::f_pow(-0.5, 2.0), ZEB::Exception);

	expectThrow(ZEB::f_sqrt, -1, "Negative value in sqrt function, x = -1", "[ZEB::f_sqrt]");
	expectThrow(ZEB::f_log, 0, "Negative or zero value in log function, x = 0", "[ZEB::f_log]");
	expectThrow(ZEB::f_log, -0.0, "Negative or zero value in log function, x = -0", "[ZEB::f_log]");
	expectThrow(ZEB::f_log10, 0, "Negative or zero value in log function, x = 0", "[ZEB::f_log10]");
	expectThrow(ZEB::f_pow10, 50.1, "Exponent too large in power function, exponent = 50.1", "[ZEB::f_pow10]");
	EXPECT_EQ(ZEB::f_sqrt(0), 0);
	EXPECT_EQ(ZEB::f_sqrt(-0.0), 0);
	EXPECT_DOUBLE_EQ(ZEB::f_pow10(2), 100);
	EXPECT_DOUBLE_EQ(ZEB::f_log10(1000), 3);
	EXPECT_TRUE(std::isnan(ZEB::f_sqrt(std::numeric_limits<double>::quiet_NaN())));
}

TEST(Math, RampsAndErrorFunction) {
	EXPECT_EQ(ZEB::scale2(-1, 2), 0);
	EXPECT_DOUBLE_EQ(ZEB::scale2(1, 2), 0.5);
	EXPECT_EQ(ZEB::scale2(3, 2), 1);
	EXPECT_DOUBLE_EQ(ZEB::scale(0.5), 0.5);
	EXPECT_DOUBLE_EQ(ZEB::scale(2), -4);			// not clamped

	EXPECT_EQ(ZEB::error_function(0), 0);
	for (double x : {0.1, 0.5, 1.0, 2.5}) {
		EXPECT_EQ(ZEB::error_function(-x), -ZEB::error_function(x));
		EXPECT_NEAR(ZEB::error_function(x), std::erf(x), 3e-5);
	}
}

TEST(Math, FindsMinimumAndMaximum) {
	double lo, hi;
	ZEB::min_max_values({3, -1, std::numeric_limits<double>::quiet_NaN(), 7}, lo, hi);
	EXPECT_EQ(lo, -1);
	EXPECT_EQ(hi, 7);
	ZEB::min_max_values({-5, -2, -9}, lo, hi);
	EXPECT_EQ(lo, -9);
	EXPECT_EQ(hi, -2);
	ZEB::min_max_values({}, lo, hi);
	EXPECT_EQ(lo, std::numeric_limits<double>::max());
}

TEST(Math, ProjectsAndInvertsLambertCoordinates) {
	double x, y, lon, lat;
	ZEB::transformWSG84ToLambertProjection(10, 52, x, y);
	EXPECT_NEAR(x, 4000000, 1e-6);
	EXPECT_NEAR(y, 2800000, 1e-3);
	ZEB::transformLambertProjectionToWSG84(x, y, lon, lat);
	EXPECT_NEAR(lon, 10, 1e-9);
	EXPECT_NEAR(lat, 52, 1e-4);

	ZEB::transformWSG84ToLambertProjection(13.4, 52.5, x, y);		// east of the central meridian
	EXPECT_GT(x, 4000000);
	ZEB::transformLambertProjectionToWSG84(x, y, lon, lat);
	EXPECT_NEAR(lon, 13.4, 1e-9);
	EXPECT_NEAR(lat, 52.5, 1e-4);
}

TEST(Math, BuildsMatrixOfRows) {
	ZEB::matrix<double> m(3, 2, 1.5);
	ASSERT_EQ(m.m_data.size(), 2u);
	EXPECT_EQ(m.m_data[1], std::vector<double>(3, 1.5));
	EXPECT_EQ(m.rows(), 2u);
	EXPECT_EQ(m.cols(), 3u);
	m[1][2] = 4;
	EXPECT_EQ(m.m_data[1][2], 4);
	EXPECT_TRUE(ZEB::matrix<double>(3, 0).m_data.empty());
	EXPECT_EQ(ZEB::DEG2RAD, 0.01745329252);
	EXPECT_STREQ(ZEB::VERSION, "5.0.0");
}
