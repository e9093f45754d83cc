#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "ZEB_Time.h"
#include "ZEB_Tokenizer.h"

#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "TestSupport.h"

using OVM::ClimateDataLoader;

namespace {

const std::string DATA_DIR = CALOVINDA_CLIMATE_TEST_DATA;
const std::string DENVER = DATA_DIR + "/725650TYCST.epw";
const std::string AACHEN = DATA_DIR + "/15000_20220101_20230101_Aachen-Orsbach.epw";
const char * const READ = "[ClimateDataLoader::readClimateDataEPW]";

/*! A loader holding one constant cyclic year. */
ClimateDataLoader constantYear() {
	ClimateDataLoader l;
	l.m_city = "Potsdam";
	l.m_country = "Germany";
	l.m_latitude = 52.38;
	l.m_longitude = 13.07;
	l.m_timeZone = 1;
	l.m_elevation = 81;
	const double values[ClimateDataLoader::NumClimateComponents] = {20, 50, 500, 50, 180, 3, 300, 101325, OVM::DATA_NOT_VALID};
	for (unsigned int c = 0; c < ClimateDataLoader::NumClimateComponents; ++c)
		l.m_data[c].assign(ZEB::HOURS_PER_YEAR, values[c]);
	return l;
}

/*! Line i (from 0) of a text file. */
std::string lineOf(const std::string & path, unsigned int i) {
	std::ifstream in(path);
	std::string line;
	for (unsigned int k = 0; k <= i; ++k)
		std::getline(in, line);
	return line;
}

/*! A data line of 35 fields for month, day and hour (from 1) with temperature T. */
std::string dataLine(int month, int day, int hour, double T) {
	std::ostringstream s;
	s << "2020," << month << ',' << day << ',' << hour << ",60,?," << T
	  << ",0,50,101325,9999,9999,300,9999,9999,0,999999,999999,999999,9999,180,3,99,99,9999,99999,0,999999999,999,.999,999,99,999,99";
	return s.str();
}

const char * const HEADER =
	"LOCATION,Somewhere,-,Nowhere,src,12345,50,7,1.0,100\n"
	"DESIGN CONDITIONS,No\nTYPICAL/EXTREME PERIODS,0\nGROUND TEMPERATURES,0\n"
	"HOLIDAYS/DAYLIGHT SAVINGS,No,0,0,0\nCOMMENTS 1,first\nCOMMENTS 2,second\n"
	"DATA PERIODS,1,1,Data,Tuesday,1/1,12/31\n";

/*! The whole message stack of a failed read. */
std::string readStack(ClimateDataLoader & l, const std::string & path, bool headerOnly = false) {
	const auto ex = TestSupport::thrownException([&] { l.readClimateData(path, headerOnly); });
	return ex ? ex->msgStack() : std::string("nothing thrown");
}

} // namespace


TEST(ClimateDataLoaderEPW, ReadsTheDenverTypicalYear) {
	ClimateDataLoader l;
	l.m_dataTimePoints = {0, 3600};		// replaced by the file's cyclic year
	l.readClimateData(DENVER);
	EXPECT_EQ(l.m_city, "DENVER INTL AP");
	EXPECT_EQ(l.m_wmoCode, "725650");
	EXPECT_DOUBLE_EQ(l.m_latitude, 39.83);
	EXPECT_DOUBLE_EQ(l.m_longitude, -104.65);
	EXPECT_EQ(l.m_timeZone, -7);
	EXPECT_EQ(l.m_startYear, 1995);
	EXPECT_NE(l.m_comment.find("(Generally)\n-- Ground temps"), std::string::npos);
	EXPECT_TRUE(l.m_dataTimePoints.empty());

	// the annual mean against the file's dry-bulb column, summed independently
	std::ifstream in(DENVER);
	std::string line;
	for (int i = 0; i < 8; ++i)
		std::getline(in, line);
	double fileSum = 0;
	unsigned int fileLines = 0;
	while (std::getline(in, line) && fileLines < 8760) {
		fileSum += std::stod(ZEB::explode(line, ',', -1)[6]);
		++fileLines;
	}
	ASSERT_EQ(fileLines, 8760u);
	ASSERT_EQ(l.m_data[ClimateDataLoader::Temperature].size(), 8760u);
	double sum = 0;
	for (double T : l.m_data[ClimateDataLoader::Temperature])
		sum += T;
	EXPECT_NEAR(sum/8760, fileSum/8760, 0.05);

	// first hour: 83700 Pa, 181 W/m2 sky radiation; no rain anywhere
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::AirPressure][0], 83700);
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::LongWaveCounterRadiation][0], 181);
	EXPECT_EQ(l.m_checkBits[ClimateDataLoader::Rain], 3u);
}


TEST(ClimateDataLoaderEPW, ReadsTheIrregularAachenHeaderAndBothFilesRoundTrip) {
	TestSupport::TempDirectory dir("epw");
	for (const std::string & path : {DENVER, AACHEN}) {
		ClimateDataLoader first;
		ASSERT_NO_THROW(first.readClimateData(path)) << path;
		const std::string copy = dir.file("copy.epw");
		first.writeClimateDataEPW(copy);
		ClimateDataLoader second;
		second.readClimateData(copy);
		EXPECT_EQ(second.m_comment, first.m_comment);
		EXPECT_EQ(second.m_startYear, first.m_startYear);
		EXPECT_DOUBLE_EQ(second.m_latitude, first.m_latitude);
		for (unsigned int c = 0; c < ClimateDataLoader::NumClimateComponents; ++c)
			for (unsigned int i = 0; i < 8760; ++i)
				ASSERT_NEAR(second.m_data[c][i], first.m_data[c][i], 1e-5*std::fabs(first.m_data[c][i])) << path << c << i;
	}
	ClimateDataLoader aachen;
	aachen.readClimateData(AACHEN);
	EXPECT_EQ(aachen.m_city, "Aachen-Orsbach");
	EXPECT_EQ(aachen.m_startYear, 2022);
}


TEST(ClimateDataLoaderEPW, WritesTheDataLinesOfAConstantYear) {
	TestSupport::TempDirectory dir("epw");
	ClimateDataLoader l = constantYear();
	l.m_comment = "line one\nline two";
	const std::string path = dir.file("out.epw");
	l.writeClimateDataEPW(path);
	EXPECT_EQ(lineOf(path, 0), "LOCATION,Potsdam,-,Germany,,,52.38,13.07,1,81");
	EXPECT_EQ(lineOf(path, 5), "COMMENTS 1,line one");
	EXPECT_EQ(lineOf(path, 6), "COMMENTS 2,line two");
	EXPECT_EQ(lineOf(path, 7), "DATA PERIODS,1,1,Data,Tuesday,1/1,12/31");
	EXPECT_EQ(lineOf(path, 8).substr(0, 16), "2007,1,1,1,60,B8");
	// hour 13 of 1 January: global horizontal = direct 500 at the sun's noon elevation + diffuse 50
	EXPECT_EQ(lineOf(path, 8 + 12),
			  "2007,1,1,13,60,B8E7B8B8?9?0?0?0?0?0?0B8B8B8B8?0?0F8F8A7E7,20,9.25285,50,101325,9999,9999,300,174.849,"
			  "500,50,999999,999999,999999,9999,180,3,99,99,9999,99999,0,999999999,999,.999,999,99,999,99");
	EXPECT_EQ(lineOf(path, 8 + 8759).substr(0, 16), "2007,12,31,24,60");
	// a zone of a fraction of an hour as it is
	l.m_timeZone = 5.75;
	l.writeClimateDataEPW(path);
	EXPECT_EQ(lineOf(path, 0), "LOCATION,Potsdam,-,Germany,,,52.38,13.07,5.75,81");
	// a zone of no hours without the sign a reader may have left on it
	l.m_timeZone = -0.0;
	l.writeClimateDataEPW(path);
	EXPECT_EQ(lineOf(path, 0), "LOCATION,Potsdam,-,Germany,,,52.38,13.07,0,81");

	// saturated air has its dew point at the air temperature; missing values give the missing code
	l.m_data[ClimateDataLoader::RelativeHumidity][0] = 100;
	l.m_data[ClimateDataLoader::Temperature][1] = OVM::DATA_NOT_VALID;
	l.writeClimateDataEPW(path);
	EXPECT_EQ(ZEB::explode(lineOf(path, 8), ',', -1)[7], "20");
	EXPECT_EQ(ZEB::explode(lineOf(path, 9), ',', -1)[7], "99.9");
}


TEST(ClimateDataLoaderEPW, RefusesWhatItCannotWrite) {
	TestSupport::TempDirectory dir("epw");
	ClimateDataLoader l = constantYear();
	l.m_dataTimePoints = {0, 3600};
	const std::string path = dir.file("out.epw");
	EXPECT_TRUE(TestSupport::throwsWith([&] { l.writeClimateDataEPW(path); },
			"Climate data with custom time points cannot be saved as epw.", "[ClimateDataLoader::writeClimateDataEPW]"));
	EXPECT_FALSE(std::ifstream(path).good());
	l.m_dataTimePoints.clear();
	EXPECT_EQ(TestSupport::thrown([&] { l.writeClimateDataEPW(dir.file("no/dir.epw")); }),
			  "Cannot create climate data file '" + dir.file("no/dir.epw") + "'. @ [ClimateDataLoader::writeClimateDataEPW]");
}


TEST(ClimateDataLoaderEPW, ReadsBackCommentsOfAnyNumberOfLines) {
	TestSupport::TempDirectory dir("epw");
	const std::string path = dir.file("out.epw");
	for (const std::string & comment : {std::string(), std::string("one"), std::string("one\ntwo\nthree")}) {
		ClimateDataLoader l = constantYear();
		l.m_comment = comment;
		l.writeClimateDataEPW(path);
		ClimateDataLoader back;
		back.readClimateDataEPW(path, false);
		EXPECT_EQ(back.m_comment, comment);
		EXPECT_DOUBLE_EQ(back.m_data[ClimateDataLoader::LongWaveCounterRadiation][8759], 300);
	}
}


TEST(ClimateDataLoaderEPW, ReadsHeaderFieldsAndMissingCodes) {
	TestSupport::TempDirectory dir("epw");
	const std::string path = dir.file("in.epw");
	std::string body;
	for (int i = 0; i < 8760; ++i)
		body += dataLine(1 + i/744, 1, 1 + i % 24, i == 5 ? 99.9 : 10) + "\n";
	std::ofstream(path) << std::string(HEADER) + body;
	ClimateDataLoader l;
	l.readClimateData(path);
	EXPECT_EQ(l.m_comment, "first\nsecond");
	EXPECT_EQ(l.m_data[ClimateDataLoader::Temperature][5], OVM::DATA_NOT_VALID);
	EXPECT_EQ(l.m_checkBits[ClimateDataLoader::Temperature], 2u);
	EXPECT_EQ(l.m_data[ClimateDataLoader::DirectRadiation][0], OVM::DATA_NOT_VALID);

	// a header-only read takes the location but leaves the data
	std::string header = HEADER;
	header.replace(header.find(",1.0,"), 5, ",-3.5,");
	std::ofstream(path) << header;
	l.m_data[ClimateDataLoader::Temperature][0] = 42;
	l.readClimateData(path, true);
	EXPECT_EQ(l.m_timeZone, -3.5);
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::Temperature][0], 42);

	// nine LOCATION fields are too few
	std::ofstream(path) << "LOCATION,a,b,c,d,e,1,2,3\n";
	EXPECT_EQ(readStack(l, path), "Error reading line 1, bad format. \nError reading file '" + path
			  + "'. \nError reading climate data file.");
}


TEST(ClimateDataLoaderEPW, RefusesShortLinesAndFilesAndSkipsTheLeapDay) {
	TestSupport::TempDirectory dir("epw");
	const std::string path = dir.file("in.epw");
	ClimateDataLoader l;
	TestSupport::MessageRecorder messages;

	std::string body;
	for (int i = 0; i < 100; ++i)
		body += dataLine(1, 1 + i/24, 1 + i % 24, 10) + "\n";
	std::ofstream(path) << std::string(HEADER) + body;
	EXPECT_EQ(TestSupport::thrownAt([&] { l.readClimateDataEPW(path, false); }, READ), "Error reading file '" + path + "'.");
	EXPECT_NE(readStack(l, path).find("Missing data, only got 100 data lines, expected 8760 hourly values."),
			  std::string::npos);

	std::ofstream(path) << std::string(HEADER) + "2020,1,1,1,60,?,10,0,50,101325,9999\n";
	EXPECT_NE(readStack(l, path).find("Invalid data line #1 (line 9 of the file): expected at least 22 fields, got 11."),
			  std::string::npos);

	// a leap year: 366 days, the 24 lines of 29 February are skipped
	body.clear();
	const int days[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
	for (int m = 0; m < 12; ++m)
		for (int d = 1; d <= days[m]; ++d)
			for (int h = 1; h <= 24; ++h)
				body += dataLine(m + 1, d, h, m == 1 && d == 29 ? -50 : m + 1) + "\n";
	std::ofstream(path) << std::string(HEADER) + body;
	l.readClimateData(path);
	const std::vector<double> & T = l.m_data[ClimateDataLoader::Temperature];
	ASSERT_EQ(T.size(), 8760u);
	EXPECT_DOUBLE_EQ(T[(31 + 28)*24 - 1], 2);		// last hour of February
	EXPECT_DOUBLE_EQ(T[(31 + 28)*24], 3);			// first hour of March
	EXPECT_DOUBLE_EQ(T[8759], 12);
	bool told = false;
	for (const auto & m : messages.m_messages)
		told = told || m.m_text.find("Skipped 24 data lines of 29 February") != std::string::npos;
	EXPECT_TRUE(told);
}
