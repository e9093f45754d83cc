#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "ZEB_Conversions.h"

#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "OVM_SolarRadiationModel.h"
#include "TestSupport.h"

using OVM::ClimateDataLoader;

namespace {

const std::string TRY_FILE = std::string(CALOVINDA_CLIMATE_TEST_DATA) + "/TRY2015_507931060546_Jahr.dat";

const char * const HEADER =
	"Koordinatensystem : Lambert konform konisch\n"
	"Rechtswert        : 3731500 Meter\n"
	"Hochwert          : 2677500 Meter\n"
	"Hoehenlage        : 186 Meter ueber NN\n"
	"free text\n"
	"     RW      HW MM DD HH     t    p  WR   WG N    x  RF    B    D   A    E IL\n"
	"***\n";

/*! A test reference year with the given number of data lines (every fifth one followed by a blank line). */
std::string tryFile(unsigned int lines, const std::string & dataLine) {
	std::string text = HEADER;
	for (unsigned int i = 0; i < lines; ++i)
		text += dataLine + (i % 5 == 0 ? "\n  \t\n" : "\n");
	return text;
}

const std::string LINE = "3731500 2677500  1  1  1  -2.0 1013 258  1.8 6  3.2  95    0    0 223 -289  2";

std::string readStack(ClimateDataLoader & l, const std::string & path) {
	const auto ex = TestSupport::thrownException([&] { l.readClimateData(path); });
	return ex ? ex->msgStack() : std::string("nothing thrown");
}

} // namespace


TEST(ClimateDataLoaderBBSRDat, ReadsTheAachenTestReferenceYear) {
	ClimateDataLoader l;
	l.readClimateData(TRY_FILE);
	EXPECT_EQ(l.m_source, "DWD/BBSR TRY 2017");
	EXPECT_DOUBLE_EQ(l.m_elevation, 186);
	// the Lambert coordinates lie in Aachen, where the file name puts them: 50.7931 N, 6.0546 E
	EXPECT_NEAR(l.m_latitude, 50.7931, 1e-4);
	EXPECT_NEAR(l.m_longitude, 6.0546, 1e-4);
	for (unsigned int c = 0; c < ClimateDataLoader::NumClimateComponents; ++c)
		ASSERT_EQ(l.m_data[c].size(), 8760u);
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::AirPressure][0], 99900);		// 999 hPa
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::LongWaveCounterRadiation][0], 223);
	EXPECT_EQ(l.m_checkBits[ClimateDataLoader::Rain], 3u);

	// the direct radiation turned normal to the sun gives back the file's horizontal values
	// (less where the clear-sky limit caps it) when projected onto the horizontal again
	std::ifstream in(TRY_FILE);
	std::string line;
	while (std::getline(in, line) && line.find("***") == std::string::npos) {}
	OVM::SolarRadiationModel sun;
	l.placeSolarRadiationModel(sun);
	double fileSum = 0, backSum = 0;
	for (unsigned int k = 0; k < 8760 && std::getline(in, line); ++k) {
		std::vector<double> v;
		ZEB::string2valueVector(line, v);
		double back;
		sun.convertNormalToHorizontalRadiation(3600.0*k + 1800, l.m_data[ClimateDataLoader::DirectRadiation][k], back);
		ASSERT_LE(back, v[12] + 1e-9) << k;
		fileSum += v[12];
		backSum += back;
	}
	EXPECT_GT(fileSum, 0);
	EXPECT_GT(backSum, 0.9*fileSum);
}


TEST(ClimateDataLoaderBBSRDat, CountsDataLinesAndColumns) {
	TestSupport::TempDirectory dir("try");
	const std::string path = dir.file("t.dat");
	ClimateDataLoader l;

	std::ofstream(path) << tryFile(8760, LINE);
	l.readClimateData(path);
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::AirPressure][8759], 101300);
	// night-time: no direct radiation, not a missing value
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::DirectRadiation][0], 0);

	std::ofstream(path) << tryFile(8759, LINE);
	EXPECT_NE(readStack(l, path).find("Missing data, only got 8759 values, expected 8760 hourly values."),
			  std::string::npos);

	const std::string shortLine = LINE.substr(0, LINE.rfind(' '));
	std::ofstream(path) << tryFile(3, shortLine);
	EXPECT_EQ(readStack(l, path), "Invalid data line: " + shortLine + ", invalid number of columns (expected 17). \n"
			  "Error reading file '" + path + "'. \nError reading climate data file.");

	std::string noCaptions = HEADER;
	noCaptions.erase(noCaptions.find("     RW"));
	std::ofstream(path) << noCaptions;
	EXPECT_TRUE(TestSupport::throwsWith([&] { l.readClimateDataBBSRDat(path, true); },
			"Error reading file '" + path + "'.", "[ClimateDataLoader::readClimateDataBBSRDat]"));
	EXPECT_NE(readStack(l, path).find("Error reading last header line with table captions."), std::string::npos);

	// a header-only read needs no data lines
	l.m_city.clear();
	std::ofstream(path) << HEADER;
	l.readClimateDataBBSRDat(path, true);
	EXPECT_EQ(l.m_city, "BBSR");
	EXPECT_EQ(l.m_data[ClimateDataLoader::Temperature].size(), 8760u);
}
