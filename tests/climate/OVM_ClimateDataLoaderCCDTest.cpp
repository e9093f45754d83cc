#include <gtest/gtest.h>

#include <fstream>

#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "OVM_SolarRadiationModel.h"
#include "TestSupport.h"

using OVM::ClimateDataLoader;

namespace {

/*! The result of readCCDFile and what it delivered; outputs start with recognisable contents. */
struct CCDResult {
	ClimateDataLoader::ReadFunctionReturnValues	m_res;
	std::vector<double>							m_timePoints{-1};
	std::vector<double>							m_values{-1};
	std::string									m_comment = "old comment";
	std::string									m_quantity = "old";
	ZEB::Unit									m_unit;
	std::string									m_errmsg;
};

CCDResult readCCD(const std::string & path) {
	CCDResult r;
	r.m_res = ClimateDataLoader::readCCDFile(path, r.m_timePoints, r.m_values, r.m_comment, r.m_quantity, r.m_unit,
											 r.m_errmsg);
	return r;
}

/*! A CCD file of one constant value over the year in unit. */
void constantFile(const std::string & path, const std::string & unit, double value) {
	std::ofstream(path) << "Quantity " << unit << "\n0 01:00:00 " << value << "\n365 00:00:00 " << value << "\n";
}

const char * const DESCRIPTION_HEAD =
	"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ClimateDataLocation>\n"
	"  <Position latitude=\"52.38\" longitude=\" 13.07\"";

} // namespace


TEST(ClimateDataLoaderCCD, ReadsCommentsQuantityAndDataLines) {
	TestSupport::TempDirectory dir("ccd");
	const std::string path = dir.file("t.ccd");
	std::ofstream(path) << "#  note\n#   \n \t\nTemperature\n";
	CCDResult r = readCCD(path);
	EXPECT_EQ(r.m_res, ClimateDataLoader::RF_BadHeader);
	EXPECT_EQ(r.m_errmsg, "#  4: Temperature");
	EXPECT_EQ(r.m_comment, "note\n");
	EXPECT_EQ(r.m_values, std::vector<double>{-1});

	std::ofstream(path) << "#  note\n#   \nTemperature   C  extra\n\n0 01:00:00 5.3 # measured\n# 1 00:00:00 99\n"
						   "1 00:00:00 6\n1 01 00 00 7\n30000 00:00:00 8\n";
	r = readCCD(path);
	EXPECT_EQ(r.m_res, ClimateDataLoader::RF_OK);
	EXPECT_EQ(r.m_comment, "note\n");
	EXPECT_EQ(r.m_quantity, "Temperature");
	EXPECT_EQ(r.m_unit.name(), "C");
	// the last time passes 32 bits
	EXPECT_EQ(r.m_timePoints, (std::vector<double>{3600, 86400, 90000, 2592000000.0}));
	EXPECT_EQ(r.m_values, (std::vector<double>{5.3, 6, 7, 8}));

}


TEST(ClimateDataLoaderCCD, ReportsBadLinesByResultCode) {
	TestSupport::TempDirectory dir("ccd");
	const std::string path = dir.file("t.ccd");
	CCDResult r = readCCD(path);
	EXPECT_EQ(r.m_res, ClimateDataLoader::RF_CannotOpenFile);
	EXPECT_EQ(r.m_comment, "old comment");

	std::ofstream(path) << "# c\nTemperature C\n\n0 01:00:00 5\n\n0 02:00:00 5\n0 01:00:00 5.3 x\n";
	r = readCCD(path);
	EXPECT_EQ(r.m_res, ClimateDataLoader::RF_InvalidLineFormat);
	EXPECT_EQ(r.m_errmsg, "#  7: 0 01:00:00 5.3 x");
	EXPECT_EQ(r.m_values, (std::vector<double>{5, 5}));

	std::ofstream(path) << "Temperature C\n0 01:00:00 5\n0 01:00:00 6\n";
	r = readCCD(path);
	EXPECT_EQ(r.m_res, ClimateDataLoader::RF_InvalidTimePoint);
	EXPECT_EQ(r.m_errmsg, "#  3: 0 01:00:00 6");

}


TEST(ClimateDataLoaderCCD, ReadsADirectoryAsCyclicYearInTheComponentsUnits) {
	TestSupport::TempDirectory dir("ccd");
	TestSupport::MessageRecorder messages;
	{
		std::ofstream out(dir.file("Temperature.ccd"));
		out << "Temperature K\n";
		for (unsigned int h = 1; h <= 8760; ++h)
			out << (h - 1)/24 << ' ' << (h - 1) % 24 + 1 << ":00:00 " << (h == 5 ? -9999.0 : 293.15) << '\n';
	}
	constantFile(dir.file("RelativeHumidity.ccd"), "%", 60);
	constantFile(dir.file("DirectRadiation.ccd"), "W/m2", 100);
	constantFile(dir.file("DiffuseRadiation.ccd"), "W/m2", -9999);
	constantFile(dir.file("WindDirection.ccd"), "Rad", 3.14159265358979);
	constantFile(dir.file("WindVelocity.ccd"), "m/s", 2);
	constantFile(dir.file("SkyRadiation.ccd"), "W/m2", 300);
	constantFile(dir.file("TotalPressure.ccd"), "hPa", 1013.25);

	OVM::SolarRadiationModel sun;
	ClimateDataLoader l;
	l.m_latitude = 52.38;
	l.m_longitude = 13.07;
	l.m_timeZone = 1;
	l.placeSolarRadiationModel(sun);
	std::string missing = "earlier\n";
	l.readClimateDataCCDDirectory(dir.path(), sun, missing);
	EXPECT_EQ(missing, "earlier\n" + dir.file("VerticalRain.ccd") + "\n");
	for (unsigned int c = 0; c < ClimateDataLoader::NumClimateComponents; ++c)
		ASSERT_EQ(l.m_data[c].size(), 8760u) << c;
	EXPECT_NEAR(l.m_data[ClimateDataLoader::Temperature][0], 20, 1e-9);
	EXPECT_EQ(l.m_data[ClimateDataLoader::Temperature][4], OVM::DATA_NOT_VALID);
	EXPECT_EQ(l.m_data[ClimateDataLoader::DiffuseRadiation][100], OVM::DATA_NOT_VALID);
	EXPECT_NEAR(l.m_data[ClimateDataLoader::WindDirection][0], 180, 1e-3);
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::AirPressure][0], 101325);
	EXPECT_EQ(l.m_checkBits[ClimateDataLoader::Rain], 3u);
	// direct radiation normal to the sun at each hour's end: nothing at midnight, more than
	// the horizontal value at noon (value i belongs to 3600 (i + 1) s)
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::DirectRadiation][23], 0);
	double noon;
	sun.convertHorizontalToNormalRadiation(180*86400 + 12*3600, 100, noon);
	EXPECT_GT(noon, 100);
	EXPECT_DOUBLE_EQ(l.m_data[ClimateDataLoader::DirectRadiation][180*24 + 11], noon);

	// a temperature in m/s: the message, the file's and the directory's context; data as they were
	constantFile(dir.file("Temperature.ccd"), "m/s", 2);
	const auto ex = TestSupport::thrownException([&] { l.readClimateDataCCDDirectory(dir.path(), sun, missing); });
	ASSERT_TRUE(ex);
	EXPECT_EQ(ex->msgStack(), "Incompatible units in file '" + dir.file("Temperature.ccd") + "'. Expected 'C', got 'm/s'. \n"
			  "Error importing CCD file '" + dir.file("Temperature.ccd") + "'. \n"
			  "Error importing CCD files from climate data directory.");
	EXPECT_NEAR(l.m_data[ClimateDataLoader::Temperature][0], 20, 1e-9);
}


TEST(ClimateDataLoaderCCD, ReadsTheLocationDescription) {
	TestSupport::TempDirectory dir("ccd");
	TestSupport::MessageRecorder messages;
	const std::string path = dir.file("description.xml");
	const char * const WHERE = "[ClimateDataLoader::readDescriptionCCD]";
	ClimateDataLoader l;

	std::ofstream(path) << DESCRIPTION_HEAD << " altitude=\"81\"/>\n  <TimeZone>5.5</TimeZone>\n"
		"  <Description langid=\"en\">Potsdam , Germany,extra</Description>\n"
		"  <Description langid=\"de\">Potsdam, Deutschland</Description>\n"
		"  <Source>DWD</Source>\n  <Comment>test data</Comment>\n</ClimateDataLocation>\n";
	l.readDescriptionCCD(path);
	EXPECT_DOUBLE_EQ(l.m_latitude, 52.38);
	EXPECT_DOUBLE_EQ(l.m_longitude, 13.07);
	EXPECT_EQ(l.m_timeZone, 5.5);
	EXPECT_EQ(l.m_city, "DE: Potsdam |EN: Potsdam");
	EXPECT_EQ(l.m_country, "DE: Deutschland |EN: Germany");
	EXPECT_EQ(l.m_source, "DWD");
	EXPECT_TRUE(messages.texts(WHERE).empty());

	// empty elements count as absent
	std::ofstream(path) << DESCRIPTION_HEAD << "/>\n  <TimeZone/>\n  <Description langid=\"en\">Potsdam,Germany</Description>\n"
		"  <Source></Source>\n</ClimateDataLocation>\n";
	l.readDescriptionCCD(path);
	EXPECT_EQ(l.m_timeZone, 1);
	EXPECT_DOUBLE_EQ(l.m_elevation, 0);
	EXPECT_EQ(l.m_source, dir.path());
	EXPECT_EQ(messages.texts(WHERE).size(), 2u);

	std::ofstream(path) << "<ClimateDataLocation><Position latitude=\"10\"/></ClimateDataLocation>";
	EXPECT_TRUE(TestSupport::throwsWith([&] { l.readDescriptionCCD(path); },
			"Expected attribute 'longitude' in 'Position' tag in description XML file " + path + ".", WHERE));
	EXPECT_DOUBLE_EQ(l.m_latitude, 10);
	std::ofstream(path) << "<ClimateDataLocation>\n<Position>\n";
	EXPECT_EQ(TestSupport::thrownAt([&] { l.readDescriptionCCD(path); }, WHERE)
			  .rfind("Error in line 3 of project file '" + path + "':\nError", 0), 0u);
}


TEST(ClimateDataLoaderCCD, RefusesDescriptionsThatAreNoUTF8Text) {
	TestSupport::TempDirectory dir("ccd");
	TestSupport::MessageRecorder messages;
	const std::string path = dir.file("description.xml");
	const char * const WHERE = "[ClimateDataLoader::readDescriptionCCD]";
	ClimateDataLoader l;

	// UTF-8 with Windows line ends reads as it is
	std::ofstream(path, std::ios::binary) << DESCRIPTION_HEAD << "/>\r\n<TimeZone>1</TimeZone>\r\n"
		"<Description langid=\"en\">Z\xC3\xBCrich,Schweiz</Description>\r\n</ClimateDataLocation>\r\n";
	l.readDescriptionCCD(path);
	EXPECT_EQ(l.m_city, "EN: Z\xC3\xBCrich");

	// a multi-byte character cut by the end of the file, a Latin-1 byte, a NUL byte
	const std::string refused[] = {
		std::string("<ClimateDataLocation>\n<Description langid=\"en\">Z\xC3"),
		std::string("<ClimateDataLocation>\r\n<Description\r\nlangid=\"en\">Z\xFCrich"),
		std::string("<ClimateDataLocation>\n\n<Source>a\0b</Source>", 37),
		std::string("<ClimateDataLocation>\n\n<Source>\xF0\x9F\x98</Source>")
	};
	const unsigned int lines[] = {2, 3, 3, 3};
	for (unsigned int i = 0; i < 4; ++i) {
		std::ofstream(path, std::ios::binary) << refused[i];
		EXPECT_TRUE(TestSupport::throwsWith([&] { l.readDescriptionCCD(path); }, "Invalid UTF-8 text in line "
				+ std::to_string(lines[i]) + " of description XML file " + path + ".", WHERE)) << i;
	}
}
