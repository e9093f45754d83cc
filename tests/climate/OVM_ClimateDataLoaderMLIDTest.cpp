#include <gtest/gtest.h>

#include <fstream>

#include "OVM_ClimateDataLoader.h"
#include "TestSupport.h"

using OVM::ClimateDataLoader;

namespace {

const char * const WHERE = "[ClimateDataLoader::fillWMOCodeFromMLID]";

/*! A station record of 31 fields: country in field 2, city in 5, code in 24, coordinates in 29 and 30. */
std::string record(const std::string & country, const std::string & city, const std::string & wmo,
				   const std::string & latitude, const std::string & longitude)
{
	std::string r;
	for (int i = 0; i < 31; ++i) {
		const std::string field = i == 2 ? country : i == 5 ? city : i == 24 ? wmo : i == 29 ? latitude
								: i == 30 ? longitude : "f" + std::to_string(i);
		r += (i ? "," : "") + field;
	}
	return r;
}

/*! A loader at 52.4 N 13.1 E with English names, as read from a description file. */
ClimateDataLoader potsdam() {
	ClimateDataLoader l;
	l.m_city = "DE: Potsdam |EN: Potsdam";
	l.m_country = "DE: Deutschland |EN: Germany";
	l.m_latitude = 52.4;
	l.m_longitude = 13.1;
	return l;
}

} // namespace


TEST(ClimateDataLoaderMLID, TakesTheCodeOfTheNearbyStationOfCityAndCountry) {
	TestSupport::TempDirectory dir("mlid");
	TestSupport::MessageRecorder messages;
	const std::string path = dir.file("mlid.csv");
	std::ofstream(path) << record("France", "Paris", "07150", "48.7", "2.4") << "\n"
						<< "x,,y,Germany\n"
						<< record("Germany", "Potsdam", "10379", "52.5", "13.1") << "\n"		// 0.1 N: too far
						<< record("Germany", "Potsdam", "10380", "52.4", "13.2") << "\n"		// 0.1 E: too far
						<< record("Germany", "Potsdam", " 10378 ", "52.45", "13.05") << "\n"
						<< record("Germany", "Potsdam", "10377", "52.4", "13.1") << "\n"
						<< record("Poland", "Potsdam", "1", "52.4", "13.1") << "\n";
	ClimateDataLoader l = potsdam();
	EXPECT_TRUE(l.fillWMOCodeFromMLID(path));
	EXPECT_EQ(l.m_wmoCode, "10378");

	// a code that is set stays; one station 0.1 degree east is not the location
	EXPECT_FALSE(l.fillWMOCodeFromMLID(path));
	EXPECT_EQ(l.m_wmoCode, "10378");
	EXPECT_EQ(messages.texts(WHERE).back(), "Ignore request for finding WMO code inside data base " + path
			  + ": We defined a valid WMO already.");
	l = potsdam();
	std::ofstream(path) << "x,,y,Germany\n" << record("Germany", "Potsdam", "10379", "52.5", "13.1") << "\n";
	EXPECT_FALSE(l.fillWMOCodeFromMLID(path));
	EXPECT_EQ(messages.texts(WHERE).back(), "Ignore request for finding WMO code inside data base " + path
			  + ": Location with latitude 52.4 and longitude 13.1 is unknown.");
	EXPECT_EQ(messages.m_messages.back().m_level, 2);

	// plain names have no English text
	l.m_city = "Potsdam";
	l.m_country = "Germany";
	EXPECT_FALSE(l.fillWMOCodeFromMLID(path));
	EXPECT_EQ(messages.texts(WHERE).back(), "Ignore request for finding WMO code inside data base " + path
			  + ": We need a valid country name (in english language).");
	EXPECT_TRUE(l.m_wmoCode.empty());
}


TEST(ClimateDataLoaderMLID, RefusesMalformedRecords) {
	TestSupport::TempDirectory dir("mlid");
	TestSupport::MessageRecorder messages;
	const std::string path = dir.file("mlid.csv");
	ClimateDataLoader l = potsdam();
	EXPECT_TRUE(TestSupport::throwsWith([&] { l.fillWMOCodeFromMLID(path); }, path + " - not available", WHERE));
	std::ofstream(path) << "x,,y,Germany\n" << record("Germany", "Potsdam", "1", "north", "13.1") << "\n";
	EXPECT_TRUE(TestSupport::throwsWith([&] { l.fillWMOCodeFromMLID(path); },
			"Invalid MLID data format in file " + path + ".", WHERE));
	std::ofstream(path) << "x,,y,Germany\nGermany,Berlin\n";
	EXPECT_FALSE(l.fillWMOCodeFromMLID(path));
	EXPECT_EQ(messages.texts(WHERE).back(), "Ignore request for finding WMO code inside data base " + path
			  + ": City name Potsdam is unknown.");
	EXPECT_TRUE(l.m_wmoCode.empty());
}
