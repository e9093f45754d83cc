#include <gtest/gtest.h>

#include <fstream>

#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "TestSupport.h"

using OVM::ClimateDataLoader;

namespace {

/*! The result of readCSVFile and what it delivered. */
struct CSVResult {
	ClimateDataLoader::ReadFunctionReturnValues	m_res;
	std::vector<double>							m_timePoints;
	std::vector<double>							m_values;
	std::string									m_quantity;
	ZEB::Unit									m_unit;
	std::string									m_errmsg = "untouched";
};

CSVResult readCSV(const std::string & path) {
	CSVResult r;
	r.m_res = ClimateDataLoader::readCSVFile(path, r.m_timePoints, r.m_values, r.m_quantity, r.m_unit, r.m_errmsg);
	return r;
}

} // namespace


TEST(ClimateDataLoaderCSV, ReadsAColumnAsTimeSeries) {
	TestSupport::TempDirectory dir("csv");
	const std::string path = dir.file("zone.tsv");
	std::ofstream(path) << "Time [h]\tTemperature [C]\tHumidity [%]\n0\t20\t50\n1\t21\t55\n2\t22.5\t60\n";
	CSVResult r = readCSV(path);
	EXPECT_EQ(r.m_res, ClimateDataLoader::RF_OK);
	EXPECT_EQ(r.m_timePoints, (std::vector<double>{0, 3600, 7200}));
	EXPECT_EQ(r.m_values, (std::vector<double>{20, 21, 22.5}));
	EXPECT_EQ(r.m_quantity, "Temperature");
	EXPECT_EQ(r.m_unit.name(), "C");

	r = readCSV(path + "?2");
	EXPECT_EQ(r.m_values, (std::vector<double>{50, 55, 60}));
}


TEST(ClimateDataLoaderCSV, ReportsFailuresByResultCode) {
	TestSupport::TempDirectory dir("csv");
	TestSupport::MessageRecorder messages;
	const std::string path = dir.file("zone.tsv");
	EXPECT_EQ(readCSV(path).m_res, ClimateDataLoader::RF_CannotOpenFile);
	EXPECT_EQ(readCSV(path).m_errmsg, "untouched");

	std::ofstream(path) << "Time [h]\tTemperature [C]\n0\t20\n";
	CSVResult r = readCSV(path + "?2");
	EXPECT_EQ(r.m_res, ClimateDataLoader::RF_BadHeader);
	// the message composed from errmsg names the faulty line: here the captions
	EXPECT_EQ(r.m_errmsg.substr(0, 2), "1 ");

	std::ofstream(path) << "Time [h]\tTemperature [Grad]\n0\t20\n";
	r = readCSV(path);
	EXPECT_EQ(r.m_res, ClimateDataLoader::RF_BadHeader);
	EXPECT_EQ(r.m_errmsg, "Undefined/unknown value unit.");

	// a malformed row and a time column that is no time: the message stack goes to the error output
	std::ofstream(path) << "Time [h]\tTemperature [C]\n0\t20\n1\tx\n";
	r = readCSV(path);
	EXPECT_EQ(r.m_res, ClimateDataLoader::RF_InvalidLineFormat);
	EXPECT_NE(r.m_errmsg.find("line #3"), std::string::npos) << r.m_errmsg;
	std::ofstream(path) << "Time [m]\tTemperature [C]\n0\t20\n";
	r = readCSV(path);
	EXPECT_EQ(r.m_res, ClimateDataLoader::RF_InvalidLineFormat);
	EXPECT_EQ(r.m_errmsg.substr(0, 2), "1 ");
	EXPECT_FALSE(messages.m_messages.empty());
	EXPECT_EQ(messages.m_messages.back().m_type, ZEB::MSG_ERROR);
}


TEST(ClimateDataLoaderCSV, WritesCyclicYearsAndTimeSeriesAsTables) {
	TestSupport::TempDirectory dir("tsv");
	const std::string path = dir.file("out.tsv");
	ClimateDataLoader l;
	l.initDataWithDefault();
	l.m_data[ClimateDataLoader::Temperature][0] = 1.5;
	l.writeClimateDataTSV(path);
	std::ifstream in(path);
	std::vector<std::string> lines;
	for (std::string line; std::getline(in, line);)
		lines.push_back(line);
	ASSERT_EQ(lines.size(), 8761u);
	EXPECT_EQ(lines[0], "Hour of year\tDate/Time\tTemperature [C]\tRelative Humidity [%]\tDirectRadiationNormal [W/m2]\t"
			  "DiffuseRadiationHorizontal [W/m2]\tWindDirection [deg]\tWindVelocity [m/s]\t"
			  "LongWaveCounterRadiation [W/m2]\tAirPressure [Pa]\tRain [l/m2h]");
	EXPECT_EQ(lines[1], "1\t01.01.00  1:00:00\t1.5\t-9999\t-9999\t-9999\t-9999\t-9999\t-9999\t-9999\t-9999\t");
	EXPECT_EQ(lines[8760].substr(0, 23), "8760\t01.01.01  0:00:00\t");

	l.m_dataTimePoints = {0, 86400};
	l.initDataWithDefault();
	l.writeClimateDataTSV(path);
	EXPECT_EQ(TestSupport::readFile(path).substr(0, 18), "Time [d]\tTemperatu");
	EXPECT_NE(TestSupport::readFile(path).find("\n0\t-9999\t"), std::string::npos);
	EXPECT_NE(TestSupport::readFile(path).find("\n1\t-9999\t"), std::string::npos);

}


TEST(ClimateDataLoaderCSV, RefusesTimePointsOutOfOrder) {
	TestSupport::TempDirectory dir("csv");
	const std::string path = dir.file("zone.tsv");
	std::ofstream(path) << "Time [h]\tTemperature [C]\n0\t20\n2\t22\n1\t21\n";
	const CSVResult r = readCSV(path);
	EXPECT_EQ(r.m_res, ClimateDataLoader::RF_InvalidTimePoint);
	EXPECT_EQ(r.m_errmsg, "#4 (time point 3600 s)");
	EXPECT_TRUE(r.m_timePoints.empty());
	EXPECT_EQ(ClimateDataLoader::composeErrorText(r.m_res, path, r.m_errmsg),
			  "Invalid time point (non monotonic increasing or duplicate time point in line #4 (time point 3600 s)");
}
