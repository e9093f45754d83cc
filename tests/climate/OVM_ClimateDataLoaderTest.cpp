#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "TestSupport.h"
#include "ZEB_Time.h"

using OVM::ClimateDataLoader;
using TestSupport::thrown;

namespace {

const char * const SET_TIME = "[ClimateDataLoader::setTime]";

/*! Cyclic year whose every component holds d[k] = k. */
ClimateDataLoader rampLoader() {
	ClimateDataLoader loader;
	for (std::vector<double> & d : loader.m_data) {
		d.resize(ZEB::HOURS_PER_YEAR);
		for (unsigned int k = 0; k < ZEB::HOURS_PER_YEAR; ++k)
			d[k] = k;
	}
	return loader;
}

} // namespace


TEST(ClimateDataLoader, InterpolatesCyclicHourEndAndHourMiddleValues) {
	ClimateDataLoader loader = rampLoader();
	const auto at = [&loader](int year, double t, unsigned int component) {
		loader.setTime(year, t);
		return loader.m_currentData[component];
	};
	const unsigned int T = ClimateDataLoader::Temperature;
	const unsigned int dir = ClimateDataLoader::DirectRadiation;
	EXPECT_EQ(at(2007, 0, T), 8759);
	EXPECT_EQ(at(2007, 0, dir), 4379.5);
	EXPECT_EQ(at(2007, 3600, T), 0);
	EXPECT_EQ(at(2007, 5400, T), 0.5);
	EXPECT_EQ(at(2007, 5400, dir), 1);
	EXPECT_EQ(at(2007, 8100, T), 1.25);
	EXPECT_EQ(at(2007, 8100, dir), 1.75);
	// the year makes no difference, and time wraps into the year
	EXPECT_EQ(at(2099, 31536000 + 7200, T), 1);
	EXPECT_EQ(at(2099, 31536000 + 7200, dir), 1.5);
	// hour-middle components: rain like direct radiation; across the year's end from 8759.5 h
	EXPECT_EQ(at(2007, 8100, ClimateDataLoader::Rain), 1.75);
	EXPECT_EQ(at(2007, 31534200, dir), 8759);
	EXPECT_NEAR(at(2007, 31535999, dir), 4379.5, 3);
}


TEST(ClimateDataLoader, FallsBackForMissingValuesButNotForSplines) {
	ClimateDataLoader loader = rampLoader();
	loader.m_data[ClimateDataLoader::Temperature][8759] = OVM::DATA_NOT_VALID;
	loader.m_data[ClimateDataLoader::Temperature][0] = OVM::DATA_NOT_VALID;
	loader.m_data[ClimateDataLoader::AirPressure][8759] = OVM::DATA_NOT_VALID;
	loader.m_data[ClimateDataLoader::AirPressure][0] = OVM::DATA_NOT_VALID;
	loader.m_splines[ClimateDataLoader::RelativeHumidity].setValues({0, 3600}, {-9999, -9999});
	loader.m_data[ClimateDataLoader::RelativeHumidity].clear();		// a spline needs no data vector
	loader.setTime(2007, 0);
	EXPECT_EQ(loader.m_currentData[ClimateDataLoader::Temperature], 20.0);
	EXPECT_EQ(loader.m_currentData[ClimateDataLoader::AirPressure], 101325);
	EXPECT_EQ(loader.m_currentData[ClimateDataLoader::RelativeHumidity], -9999);
	// one missing value of a pair is blended, not replaced
	loader.setTime(2007, 5400);
	EXPECT_EQ(loader.m_currentData[ClimateDataLoader::Temperature], -4999);
}


TEST(ClimateDataLoader, InterpolatesTimeSeriesAndRefusesTimesOutsideIt) {
	ClimateDataLoader loader;
	loader.m_dataTimePoints = {0, 3600};
	for (std::vector<double> & d : loader.m_data)
		d = {0, 10};
	loader.setTime(2007, 1800);
	EXPECT_EQ(loader.m_currentData[ClimateDataLoader::Temperature], 5);
	loader.setTime(2007, 0);
	EXPECT_EQ(loader.m_currentData[ClimateDataLoader::Temperature], 0);
	loader.setTime(2007, 1800);
	EXPECT_EQ(thrown([&] { loader.setTime(2007, 3601); }),
			  "Time point out of range of time points vector (2007; 1.000 h), data available for interval  0.000 s - "
			  " 1.000 h, start year of simulation 2007, start year of climate data 2007. @ [ClimateDataLoader::setTime]");
	EXPECT_EQ(loader.m_currentData[ClimateDataLoader::Temperature], 5);
	// a later year continues the series
	loader.m_dataTimePoints = {0, 31536000};
	loader.setTime(2008, 0);
	EXPECT_EQ(loader.m_currentData[ClimateDataLoader::Temperature], 10);
}


TEST(ClimateDataLoader, RefusesDataVectorsThatDoNotFitAndKeepsCurrentValues) {
	ClimateDataLoader empty;
	EXPECT_EQ(thrown([&] { empty.setTime(2007, 0); }),
			  "Mismatching sizes of data vectors, cyclic data need 8760 values per component. @ [ClimateDataLoader::setTime]");
	EXPECT_EQ(empty.m_currentData[ClimateDataLoader::Temperature], 5.0);

	ClimateDataLoader loader = rampLoader();
	loader.m_data[ClimateDataLoader::Rain].pop_back();
	EXPECT_NE(thrown([&] { loader.setTime(2007, 0); }).find(SET_TIME), std::string::npos);

	loader.m_dataTimePoints = {0, 3600};
	for (std::vector<double> & d : loader.m_data)
		d = {0, 10};
	loader.m_data[ClimateDataLoader::WindVelocity] = {0};
	EXPECT_EQ(thrown([&] { loader.setTime(2007, 0); }),
			  "Mismatching sizes of time points vector and data vectors (non-cyclic data). @ [ClimateDataLoader::setTime]");
	EXPECT_EQ(loader.m_currentData[ClimateDataLoader::RelativeHumidity], 10.0);
	loader.m_data[ClimateDataLoader::WindVelocity] = {0, 10};
	EXPECT_NE(thrown([&] { loader.setTime(2007, std::numeric_limits<double>::quiet_NaN()); }).find(SET_TIME),
			  std::string::npos);
}


TEST(ClimateDataLoader, FlagsEmptyMissingZeroAndOutOfRangeData) {
	ClimateDataLoader loader;
	loader.m_data[ClimateDataLoader::Rain].assign(10, 0.0);
	loader.m_data[ClimateDataLoader::Temperature] = {10, -9999, 11, 120, 12};
	loader.m_data[ClimateDataLoader::RelativeHumidity] = {50, 100, 0};
	loader.m_data[ClimateDataLoader::AirPressure] = {OVM::DATA_NOT_VALID, -9999.5};
	loader.updateCheckBits();
	EXPECT_EQ(loader.m_checkBits[ClimateDataLoader::Rain], 1u);
	EXPECT_EQ(loader.m_checkBits[ClimateDataLoader::Temperature], 6u);
	EXPECT_EQ(loader.m_checkIndexes[ClimateDataLoader::Temperature], std::make_pair(1u, 3u));
	EXPECT_EQ(loader.m_checkBits[ClimateDataLoader::RelativeHumidity], 0u);
	EXPECT_EQ(loader.m_checkIndexes[ClimateDataLoader::RelativeHumidity], std::make_pair(0xFFFFFFFFu, 0xFFFFFFFFu));
	EXPECT_EQ(loader.m_checkBits[ClimateDataLoader::AirPressure], 3u);
	EXPECT_EQ(loader.m_checkBits[ClimateDataLoader::WindDirection], 1u);

	loader.initDataWithDefault();
	EXPECT_EQ(loader.m_data[ClimateDataLoader::Rain], std::vector<double>(8760, -9999.0));
}


TEST(ClimateDataLoader, ChecksAndExpandsCyclicSeries) {
	const char * const check = "[ClimateDataLoader::checkForValidCyclicData]";
	const char * const expand = "[ClimateDataLoader::expandToAnnualHourlyData]";
	EXPECT_NO_THROW(ClimateDataLoader::checkForValidCyclicData({0, 3600}));
	EXPECT_NO_THROW(ClimateDataLoader::checkForValidCyclicData({3600, 31536000}));
	EXPECT_EQ(thrown([&] { ClimateDataLoader::checkForValidCyclicData({0}); }),
			  std::string("Missing data, at least two time points are required. @ ") + check);
	EXPECT_EQ(thrown([&] { ClimateDataLoader::checkForValidCyclicData({0, 31536000}); }),
			  std::string("Must not have time point 0 d and 365 d for cyclic use. @ ") + check);
	EXPECT_EQ(thrown([&] { ClimateDataLoader::checkForValidCyclicData({3600, 31536001}); }),
			  std::string("Time points must not exceed 365 d for cyclic use. @ ") + check);

	std::vector<double> t = {0, 3600, 36000};
	std::vector<double> v = {1, 2, 2};
	EXPECT_EQ(thrown([&] { ClimateDataLoader::expandToAnnualHourlyData(t, v); }),
			  std::string("Error in expansion algorithm, more than 8760 hourly values in data series. @ ") + expand);
	t = {0, 5400};
	v = {1, 1};
	EXPECT_EQ(thrown([&] { ClimateDataLoader::expandToAnnualHourlyData(t, v); }),
			  std::string("Time point '5400' is not a valid hourly value in seconds. @ ") + expand);
	t = {0, -3600, 3600};
	v = {1, 1, 1};
	EXPECT_EQ(thrown([&] { ClimateDataLoader::expandToAnnualHourlyData(t, v); }),
			  std::string("Time point '-3600' is not a valid hourly value in seconds. @ ") + expand);
	t = {0, 7200};
	v = {1, 2};
	EXPECT_EQ(thrown([&] { ClimateDataLoader::expandToAnnualHourlyData(t, v); }),
			  std::string("Missing hourly value and previous value '1' (at time point 0 s) and next value '2' differ. @ ") + expand);
	// a gap far beyond the year is refused without filling it
	t = {0, 3600.0*1e12, 7200};
	v = {1, 1, 1};
	EXPECT_NE(thrown([&] { ClimateDataLoader::expandToAnnualHourlyData(t, v); }).find("more than 8760"), std::string::npos);

	// a year starting at 0 with a gap: the value at 0 s moves to the year's end
	t = {0, 3600, 36000};
	v = {7, 2, 2};
	for (double h = 11; h < 8760; ++h) {
		t.push_back(h*3600);
		v.push_back(h);
	}
	ClimateDataLoader::expandToAnnualHourlyData(t, v);
	ASSERT_EQ(t.size(), 8760u);
	ASSERT_EQ(v.size(), 8760u);
	EXPECT_EQ(t.front(), 3600);
	EXPECT_EQ(t[8], 32400);
	EXPECT_EQ(v[8], 2);
	EXPECT_EQ(t.back(), 31536000);
	EXPECT_EQ(v.back(), 7);
}


TEST(ClimateDataLoader, InterpolatesCyclicSplinesAcrossTheYearsEnd) {
	ZEB::LinearSpline spline;
	spline.setValues({3600, 31532400}, {10, 20});
	EXPECT_EQ(ClimateDataLoader::interpolateCyclicData(spline, 3600), 10);
	EXPECT_DOUBLE_EQ(ClimateDataLoader::interpolateCyclicData(spline, 0), 15);
	EXPECT_DOUBLE_EQ(ClimateDataLoader::interpolateCyclicData(spline, 31536000), 15);
	EXPECT_DOUBLE_EQ(ClimateDataLoader::interpolateCyclicData(spline, 1800), 12.5);
}


TEST(ClimateDataLoader, MapsKeywordsAndComposesTexts) {
	EXPECT_EQ(ClimateDataLoader::componentTypeFromQuantity("VertRain"), ClimateDataLoader::Rain);
	EXPECT_EQ(ClimateDataLoader::componentTypeFromQuantity("temperature"), ClimateDataLoader::NumClimateComponents);

	const ZEB::Path f("/data/x.ccd");
	EXPECT_EQ(ClimateDataLoader::composeErrorText(ClimateDataLoader::RF_InvalidTimePoint, f, "#  7: x"),
			  "Invalid time point (non monotonic increasing or duplicate time point in line #  7: x");
	EXPECT_EQ(ClimateDataLoader::composeErrorText(ClimateDataLoader::ReadFunctionReturnValues(9), f, "5"),
			  "Unknown error in line 5\n(OVM developers should add error text here!)");

	EXPECT_EQ(OVM::valueFromParaString("LATITUDE : 51.1 Deg"), 51.1);
	EXPECT_EQ(thrown([] { OVM::valueFromParaString("LATITUDE 51.1"); }),
			  "Invalid header.\n @ [OVM::ClimateDataLoader::valueFromParaString]");
	EXPECT_EQ(thrown([] { OVM::valueFromParaString("LATITUDE : Deg"); }),
			  "Invalid header line 'LATITUDE : Deg', expected format <keyword> : <value> <unit>.\n"
			  " @ [OVM::ClimateDataLoader::valueFromParaString]");
}


TEST(ClimateDataLoader, DispatchesByExtensionAndWrapsEveryFailure) {
	ClimateDataLoader loader;
	const auto stack = [&loader](const char * fname) {
		const std::optional<ZEB::Exception> ex = TestSupport::thrownException([&] { loader.readClimateData(fname); });
		return ex ? ex->msgStack() : std::string("nothing thrown");
	};
	EXPECT_EQ(stack("/nowhere/x.txt"), "Unknown/unsupported climate data file format. \nError reading climate data file.");
	EXPECT_EQ(stack("/nowhere/x.EPW"), "Climate data file '/nowhere/x.EPW' does not exist or is not accessible. "
									   "\nError reading climate data file.");
	EXPECT_EQ(stack("/nowhere/x.c6b"), "Climate data file '/nowhere/x.c6b' does not exist or is not accessible. "
									   "\nError reading climate data file.");
}


TEST(ClimateDataLoader, ChoosesTheReaderByExtensionIgnoringCase) {
	TestSupport::TempDirectory dir("dispatch");
	const std::string data = CALOVINDA_CLIMATE_TEST_DATA;
	ClimateDataLoader source;
	source.readClimateData(data + "/725650TYCST.epw");
	const std::string c6b = dir.file("denver.C6b");
	source.writeClimateDataZEB(c6b);
	std::ofstream(dir.file("tiny.WaC")) << "WAC\n10\nTiny\n\n1\n2\n3\n1\n1.0\n8760\n4\nTA\tHREL\tISDH\tISD\n";
	std::filesystem::copy_file(data + "/725650TYCST.epw", dir.file("denver.EpW"));
	std::filesystem::copy_file(data + "/TRY2015_507931060546_Jahr.dat", dir.file("aachen.DAT"));

	const std::pair<std::string, std::string> files[] = {
		{dir.file("denver.EpW"), "DENVER INTL AP"}, {c6b, "DENVER INTL AP"},
		{dir.file("tiny.WaC"), "Tiny"}, {dir.file("aachen.DAT"), "BBSR"}
	};
	for (const auto & f : files) {
		ClimateDataLoader l;
		l.readClimateData(f.first, true);
		EXPECT_EQ(l.m_city, f.second) << f.first;
	}
}


TEST(ClimateDataLoader, EveryReaderTakesTheSameTimeZones) {
	TestSupport::TempDirectory dir("zones");
	ClimateDataLoader source;
	source.readClimateData(std::string(CALOVINDA_CLIMATE_TEST_DATA) + "/725650TYCST.epw");
	// the zone each format gives, as its reader takes it
	const auto read = [&](const std::string & format, double zone) {
		ClimateDataLoader l;
		const std::string file = dir.file("zone." + format);
		source.m_timeZone = zone;
		if (format == "epw")
			source.writeClimateDataEPW(file);
		else if (format == "c6b")
			source.writeClimateDataZEB(file);
		else if (format == "wac")
			std::ofstream(file) << "WAC\n10\nTiny\n\n1\n2\n3\n" << zone << "\n1.0\n8760\n4\nTA\tHREL\tISDH\tISD\n";
		else
			std::ofstream(file) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ClimateDataLocation>\n"
				"  <Position latitude=\"52.38\" longitude=\"13.07\" altitude=\"81\"/>\n  <TimeZone>" << zone
				<< "</TimeZone>\n  <Description langid=\"en\">Potsdam,Germany</Description>\n</ClimateDataLocation>\n";
		const std::optional<ZEB::Exception> ex = TestSupport::thrownException([&] {
			if (format == "xml")
				l.readDescriptionCCD(file);
			else
				l.readClimateData(file, true);
		});
		return ex ? std::nan("") : l.m_timeZone;
	};
	// half an hour and three quarters as written; 25 h or more from UTC is no time zone (NaN: refused)
	const double refused = std::nan("");
	const std::vector<std::pair<double, double>> zones{{5.5, 5.5}, {-3.5, -3.5}, {9.5, 9.5}, {5.75, 5.75},
		{-24.5, -24.5}, {25, refused}, {-25, refused}, {100, refused}};
	for (const std::string format : {"epw", "c6b", "wac", "xml"})
		for (const auto & [zone, expected] : zones) {
			const double taken = read(format, zone);
			if (std::isnan(expected))
				EXPECT_TRUE(std::isnan(taken)) << format << " " << zone << ": " << taken;
			else
				EXPECT_EQ(taken, expected) << format << " " << zone;
		}
}
