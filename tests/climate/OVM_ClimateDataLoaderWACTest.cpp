#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "OVM_SolarRadiationModel.h"
#include "TestSupport.h"

using OVM::ClimateDataLoader;

namespace {

const char * const LOCATION = "[ClimateDataLoader::readClimateDataWAC]";

/*! A WAC file with ten header lines: time zone, time step, line count, column count, captions
	and one data line repeated. */
struct WACFile {
	std::string	m_timeZone = "1";
	std::string	m_timeStep = "1.0";
	unsigned int m_lines = 8760;
	unsigned int m_columns = 4;
	std::string m_captions = "TA\tHREL\tISGH\tISD";
	std::string m_dataLine = "10\t0.5\t300\t100";
	/*! When set, the data line for line k (from 0) instead of m_dataLine. */
	std::function<std::string(unsigned int)> m_lineOf;

	void write(const std::string & path, unsigned int dataLines) const {
		std::ofstream out(path);
		out << "WAC climate file\n10\n  Potsdam \t\nsome comment\n13.07\tlongitude\n52.38\n81\n" << m_timeZone
			<< "\t[h]\n" << m_timeStep << "\n" << m_lines << "\n" << m_columns << "\n" << m_captions << "\n";
		for (unsigned int k = 0; k < dataLines; ++k)
			out << (m_lineOf ? m_lineOf(k) : m_dataLine) << "\r\n";
	}
	void write(const std::string & path) const { write(path, m_lines); }
};

/*! The message next below "Error reading file ..." of a failed read. */
std::string innerMessage(ClimateDataLoader & l, const std::string & path, bool headerOnly = false) {
	const auto ex = TestSupport::thrownException([&] { l.readClimateDataWAC(path, headerOnly); });
	if (!ex)
		return "nothing thrown";
	EXPECT_EQ(std::string(ex->what()), "Error reading file '" + path + "'.");
	EXPECT_STREQ(ex->location(), LOCATION);
	const std::string stack = ex->msgStack();
	const std::string::size_type end = stack.rfind(" \n");
	const std::string::size_type begin = stack.rfind(" \n", end - 1);
	return stack.substr(begin == std::string::npos ? 0 : begin + 2, end - (begin == std::string::npos ? 0 : begin + 2));
}

} // namespace


TEST(ClimateDataLoaderWAC, ReadsAnAnnualFileWithGlobalRadiation) {
	TestSupport::TempDirectory dir("wac");
	const std::string path = dir.file("a.wac");
	WACFile f;
	f.m_columns = 5;
	f.m_captions = "TA\tHREL\tISGH\tISD\tPSTA";
	f.m_lineOf = [](unsigned int k) {
		// global 300 and diffuse 100 around noon, nothing at night
		const bool day = k % 24 >= 10 && k % 24 < 14;
		return std::string("10\t0.5\t") + (day ? "300\t100" : "0\t0") + "\t1013.25";
	};
	f.write(path);
	ClimateDataLoader l;
	l.m_startYear = 1999;
	l.readClimateData(path);
	EXPECT_EQ(l.m_city, "Potsdam");
	EXPECT_DOUBLE_EQ(l.m_longitude, 13.07);
	EXPECT_EQ(l.m_startYear, 2007);
	EXPECT_TRUE(l.m_dataTimePoints.empty());
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::RelativeHumidity][0], 50);
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::AirPressure][0], 101325);
	for (unsigned int c : {ClimateDataLoader::WindDirection, ClimateDataLoader::WindVelocity,
						   ClimateDataLoader::LongWaveCounterRadiation, ClimateDataLoader::Rain})
		EXPECT_EQ(l.m_checkBits[c], 3u) << c;

	// direct = global - diffuse = 200 on the horizontal, turned normal to the sun at the hour's middle
	OVM::SolarRadiationModel sun;
	l.placeSolarRadiationModel(sun);
	double expected;
	sun.convertHorizontalToNormalRadiation(24*3600*180 + 11*3600 + 1800, 200, expected);
	EXPECT_GT(expected, 200);
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::DirectRadiation][24*180 + 11], expected);
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::DirectRadiation][24*180], 0);

	// the same file with half-hour steps needs a time column
	f.m_timeStep = "0.5";
	f.write(path);
	EXPECT_EQ(innerMessage(l, path), "WAC files without time column must be annual climate data files with 8760 values "
			  "spaced at 1 h time difference.");
}


TEST(ClimateDataLoaderWAC, ReadsATimeSeriesWithTimeColumn) {
	TestSupport::TempDirectory dir("wac");
	const std::string path = dir.file("a.wac");
	WACFile f;
	f.m_lines = 3;
	f.m_columns = 5;
	f.m_timeZone = "13";
	f.m_captions = "TIME\tTA\tHREL\tISDH\tISD";
	f.m_lineOf = [](unsigned int k) {
		// missing values stay missing, neither scaled nor turned normal to the sun
		return "2021-03-0" + std::to_string(k + 1) + " 12:00\t" + std::to_string(k) + (k == 2 ? "\t-9999\t-9999" : "\t0.4\t0")
				+ "\t-9999";
	};
	f.write(path);
	ClimateDataLoader l;
	l.readClimateData(path);
	EXPECT_EQ(l.m_timeZone, -11);
	// a zone of a fraction of an hour as it is
	f.m_timeZone = "-3.5";
	f.write(path);
	l.readClimateData(path, true);
	EXPECT_EQ(l.m_timeZone, -3.5);
	EXPECT_EQ(l.m_startYear, 2021);
	const double march1Noon = (59 + 0.5)*86400;
	EXPECT_EQ(l.m_dataTimePoints, (std::vector<double>{march1Noon, march1Noon + 86400, march1Noon + 2*86400}));
	EXPECT_EQ(l.m_data[ClimateDataLoader::Temperature], (std::vector<double>{0, 1, 2}));
	EXPECT_EQ(l.m_data[ClimateDataLoader::DiffuseRadiation][0], OVM::DATA_NOT_VALID);
	EXPECT_EQ(l.m_data[ClimateDataLoader::RelativeHumidity], (std::vector<double>{40, 40, OVM::DATA_NOT_VALID}));
	EXPECT_EQ(l.m_data[ClimateDataLoader::DirectRadiation], (std::vector<double>{0, 0, OVM::DATA_NOT_VALID}));
	l.setTime(2021, march1Noon + 43200);
	EXPECT_DOUBLE_EQ(l.m_currentData[ClimateDataLoader::Temperature], 0.5);

	f.m_lineOf = [](unsigned int) { return std::string("2021-13-01 12:00\t1\t0.4\t0\t0"); };
	f.write(path);
	EXPECT_EQ(innerMessage(l, path), "Error parsing date/time entry in line #1 (total line #11)");
}


TEST(ClimateDataLoaderWAC, RefusesMalformedHeadersAndLines) {
	TestSupport::TempDirectory dir("wac");
	const std::string path = dir.file("a.wac");
	ClimateDataLoader l;
	WACFile f;

	std::ofstream(path) << "WAC\n9\na\nb\nc\nd\ne\nf\ng\nh\n";
	EXPECT_EQ(innerMessage(l, path), "Missing header lines, expected at least 9 lines.");
	std::ofstream(path) << "WAC\n4294967295\na\n";
	EXPECT_EQ(innerMessage(l, path), "Expected header lines (offset) 4294967295, but got an error reading line #4.");

	f.m_dataLine = "10\t0.5\t300\t100\t7";
	f.write(path, 1);
	EXPECT_EQ(innerMessage(l, path), "Error reading data line #1 (total line #11); not enough columns (expected 4 "
			  "columns, got 5 columns)!");
	f.m_dataLine = "10\t0.5\t99\t100";
	f.write(path, 1);
	EXPECT_EQ(innerMessage(l, path), "Error in line #1 (total line #11): global radiation intensity must not be smaller "
			  "than diffuse radiation intensity!");
	f.m_dataLine = "10\t0.5\t100\t100";
	f.write(path, 2);
	EXPECT_EQ(innerMessage(l, path), "Error reading data line #3 (total line #13), last successfully read line was "
			  "'10\t0.5\t100\t100\r'.");
	// equal global and diffuse values are no error: the header-only read needs no data lines
	f.write(path, 0);
	l.m_data[0].assign(1, 42);
	EXPECT_NO_THROW(l.readClimateDataWAC(path, true));
	EXPECT_EQ(l.m_data[0], std::vector<double>(1, 42));

	f.m_captions = "TA\tHREL\tISD\tWD";
	f.write(path, 0);
	EXPECT_EQ(innerMessage(l, path, true), "Missing direct radiation or global radiation, either must be present!");
	f.m_captions = "TA\tISDH\tISD\tWD";
	f.write(path, 0);
	EXPECT_EQ(innerMessage(l, path, true), "Missing required column 'HREL'.");
	f.m_captions = "TA\tHREL\tISDH\tISD\tWS";
	f.write(path, 0);
	EXPECT_EQ(innerMessage(l, path, true), "Missing required column 'WS'.");
}


TEST(ClimateDataLoaderWAC, RefusesTimePointsOutOfOrder) {
	TestSupport::TempDirectory dir("wac");
	const std::string path = dir.file("a.wac");
	WACFile f;
	f.m_lines = 4;
	f.m_columns = 5;
	f.m_captions = "TIME\tTA\tHREL\tISDH\tISD";
	const char * hours[] = {"07:30", "08:30", "09:30", "10:30"};
	const char * temperatures[] = {"5", "6", "20", "8"};
	f.m_lineOf = [&](unsigned int k) {
		return std::string("2021-01-01 ") + hours[k] + "\t" + temperatures[k] + "\t0.5\t0\t0";
	};
	f.write(path);
	ClimateDataLoader l;
	l.readClimateData(path);
	// linear between the points: 5 / 5.5 / 6 / 13 C at 07:30 / 08:00 / 08:30 / 09:00
	const double expected[] = {5, 5.5, 6, 13};
	for (unsigned int i = 0; i < 4; ++i) {
		l.setTime(2021, 7.5*3600 + i*1800);
		EXPECT_DOUBLE_EQ(l.m_currentData[ClimateDataLoader::Temperature], expected[i]) << i;
	}

	// the same lines with 08:30 and 09:30 swapped
	std::swap(hours[1], hours[2]);
	std::swap(temperatures[1], temperatures[2]);
	f.write(path);
	const std::vector<double> before = l.m_dataTimePoints;
	EXPECT_EQ(innerMessage(l, path), "Invalid time point (non monotonic increasing or duplicate time point in line "
			  "#3 (total line #13)");
	EXPECT_EQ(l.m_dataTimePoints, before);
}
