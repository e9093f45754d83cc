#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <QDir>

#include "OVM_ClimateDataLoader.h"

#include "RX_Climate.h"
#include "RX_ClimateLocationData.h"

#include "TestSupport.h"
#include "ZEB_Time.h"

namespace {

typedef QList<QPair<QString, QString> > Texts;

/*! Writes an EnergyPlus weather file of a mild year at the given place. */
void writeEPW(const std::string & path, const std::string & city, const std::string & country,
			  double latitude = 52.5, double longitude = 13.4, int timeZone = 1)
{
	OVM::ClimateDataLoader data;
	data.m_city = city;
	data.m_country = country;
	data.m_latitude = latitude;
	data.m_longitude = longitude;
	data.m_timeZone = timeZone;
	for (std::vector<double> & d : data.m_data)
		d.assign(ZEB::HOURS_PER_YEAR, 0);
	data.m_data[OVM::ClimateDataLoader::Temperature].assign(ZEB::HOURS_PER_YEAR, 10);
	data.m_data[OVM::ClimateDataLoader::RelativeHumidity].assign(ZEB::HOURS_PER_YEAR, 50);
	data.m_data[OVM::ClimateDataLoader::AirPressure].assign(ZEB::HOURS_PER_YEAR, 101325);
	data.writeClimateDataEPW(path);
}

void copyRealFile(const std::string & name, const std::string & target) {
	std::filesystem::copy_file(std::string(CALOVINDA_CLIMATE_TEST_DATA) + "/" + name, target);
}

} // namespace


TEST(ClimateLocationData, RecordHoldsHeaderAndOneTextPerCityLanguage) {
	TestSupport::TempDirectory dir("catalogue");
	QDir().mkpath(QString::fromStdString(dir.file("sub")));
	writeEPW(dir.file("sub/x.epw"), "en:Berlin|de:Berlin", "en:Germany|de:Deutschland", 52.52, 13.41, 1);
	writeEPW(dir.file("plain.epw"), "Paris", "en:France|de:Frankreich", 48.85, 2.35, 1);
	writeEPW(dir.file("onlyde.epw"), "de:Wien", "en:Austria", 48.2, 16.37, 1);

	QMap<QString, RX::ClimateLocationData> map;
	const QString root = QString::fromStdString(dir.path());
	RX::ClimateLocationData::gatherClimateLocationInfo(root, root, map);
	ASSERT_EQ(map.size(), 3);
	// keys are absolute paths
	const RX::ClimateLocationData & berlin = map[root + "/sub/x.epw"];
	EXPECT_EQ(berlin.m_descriptionTexts, Texts({{"de", "[sub/x.epw] Berlin, Deutschland"},
												{"en", "[sub/x.epw] Berlin, Germany"}}));
	EXPECT_EQ(berlin.m_city, "en:Berlin|de:Berlin");
	EXPECT_EQ(berlin.m_country, "en:Germany|de:Deutschland");
	EXPECT_DOUBLE_EQ(berlin.m_latitude, 52.52);
	EXPECT_DOUBLE_EQ(berlin.m_longitude, 13.41);
	EXPECT_EQ(berlin.m_timeZone, 1);
	// a plain city keeps both texts as stored; a country without the city's language stays empty
	EXPECT_EQ(map[root + "/plain.epw"].m_descriptionTexts,
			  Texts({{"en", "[plain.epw] Paris, en:France|de:Frankreich"}}));
	EXPECT_EQ(map[root + "/onlyde.epw"].m_descriptionTexts, Texts({{"de", "[onlyde.epw] Wien, "}}));
}


TEST(ClimateLocationData, CatalogueListsRealFilesAndSkipsBrokenAndForeignOnes) {
	TestSupport::TempDirectory dir("catalogue");
	const QString base = QString::fromStdString(dir.file("base"));
	QDir().mkpath(base + "/us/co");
	copyRealFile("725650TYCST.epw", dir.file("base/us/co/725650TYCST.epw"));
	copyRealFile("15000_20220101_20230101_Aachen-Orsbach.epw", dir.file("base/Aachen.EPW"));
	copyRealFile("TRY2015_507931060546_Jahr.dat", dir.file("base/try.dat"));
	std::ofstream(dir.file("base/us/broken.epw")) << "LOCATION,nowhere\n";
	std::ofstream(dir.file("base/table.csv")) << "Time [h]\tTemperature [C]\n";
	std::ofstream(dir.file("base/us/plot.dat")) << "# t T\n0 20\n1 21\n2 22\n";

	TestSupport::MessageRecorder recorder;
	RX::Climate climate;
	climate.parseClimateDataDir(base, "");
	EXPECT_EQ(climate.climateDataFilePaths(), QStringList({"Aachen.EPW", "try.dat", "us/co/725650TYCST.epw"}));

	const RX::ClimateLocationData * denver = climate.locationData("us/co/725650TYCST.epw");
	ASSERT_NE(denver, nullptr);
	EXPECT_EQ(denver->m_city, "DENVER INTL AP");
	EXPECT_EQ(denver->m_country, "USA");
	EXPECT_DOUBLE_EQ(denver->m_latitude, 39.83);
	EXPECT_DOUBLE_EQ(denver->m_longitude, -104.65);
	EXPECT_EQ(denver->m_timeZone, -7);
	EXPECT_EQ(climate.description("us/co/725650TYCST.epw", "de"), "[us/co/725650TYCST.epw] DENVER INTL AP, USA");
	EXPECT_EQ(climate.locationData("Aachen.EPW")->m_city, "Aachen-Orsbach");
	EXPECT_EQ(climate.locationData("Aachen.EPW")->m_country, "country");

	const std::string broken = dir.file("base/us/broken.epw");
	EXPECT_EQ(recorder.texts("[ClimateLocationData::gatherClimateLocationInfo]"),
			  std::vector<std::string>{"Error reading climate data file '" + broken + "'."});
	EXPECT_EQ(recorder.texts("[Climate::parseClimateDataDir]"),
			  std::vector<std::string>{"Parsing climate base directory '" + base.toStdString() + "'.\n"});

	EXPECT_TRUE(climate.loadClimateData("us/co/725650TYCST.epw"));
	EXPECT_TRUE(climate.loadClimateData("try.dat"));
	EXPECT_FALSE(climate.loadClimateData("us/broken.epw"));
	EXPECT_FALSE(climate.loadClimateData("missing.epw"));
}


TEST(ClimateLocationData, UserFilesReplaceBaseFilesOfTheSameKey) {
	TestSupport::TempDirectory dir("catalogue");
	const QString base = QString::fromStdString(dir.file("base"));
	const QString user = QString::fromStdString(dir.file("not/yet/user"));
	QDir().mkpath(base + "/de");
	writeEPW(dir.file("base/de/city.epw"), "Berlin", "Germany");
	writeEPW(dir.file("base/other.epw"), "Potsdam", "Germany");

	RX::Climate climate;
	climate.parseClimateDataDir(base, user);
	EXPECT_TRUE(QDir(user).exists());
	QDir().mkpath(user + "/de");
	writeEPW(dir.file("not/yet/user/de/city.epw"), "Hamburg", "Germany", 53.55, 10.0, 1);
	climate.parseClimateDataDir(base, user);

	EXPECT_EQ(climate.climateDataFilePaths(), QStringList({"de/city.epw", "other.epw"}));
	EXPECT_EQ(climate.locationData("de/city.epw")->m_city, "Hamburg");
	EXPECT_DOUBLE_EQ(climate.locationData("de/city.epw")->m_latitude, 53.55);
	EXPECT_EQ(climate.m_userClimateDir, user);
	EXPECT_EQ(climate.m_climateBaseDir, base);
}


TEST(ClimateLocationData, LinkBackToAScannedDirectoryEndsTheScan) {
	TestSupport::TempDirectory dir("catalogue");
	QDir().mkpath(QString::fromStdString(dir.file("a/b")));
	writeEPW(dir.file("a/b/x.epw"), "Berlin", "Germany");
	std::filesystem::create_directory_symlink(dir.file("a"), dir.file("a/b/up"));

	RX::Climate climate;
	climate.parseClimateDataDir(QString::fromStdString(dir.path()), "");
	EXPECT_EQ(climate.climateDataFilePaths(), QStringList({"a/b/x.epw"}));
}
