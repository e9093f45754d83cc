#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <string>

#include <QDir>

#include "ZEB_Constants.h"
#include "ZEB_Time.h"

#include "OVM_ClimateDataLoader.h"

#include "RX_Climate.h"
#include "RX_Constants.h"

#include "TestSupport.h"

namespace {

/*! Writes a binary climate file whose temperature [C] at hour-end time point t [s] is
	temperature(t): one cyclic year without time points, or with them the time series. */
void writeClimateFile(const std::string & path, const std::function<double(double)> & temperature,
					  const std::vector<double> & timePoints = {}, int startYear = 2007)
{
	OVM::ClimateDataLoader data;
	data.m_city = "Testhausen";
	data.m_latitude = 52;
	data.m_longitude = 13;
	data.m_startYear = startYear;
	data.m_dataTimePoints = timePoints;
	const std::size_t n = timePoints.empty() ? ZEB::HOURS_PER_YEAR : timePoints.size();
	for (std::vector<double> & d : data.m_data)
		d.assign(n, 0);
	data.m_data[OVM::ClimateDataLoader::RelativeHumidity].assign(n, 50);
	data.m_data[OVM::ClimateDataLoader::AirPressure].assign(n, 101325);
	for (std::size_t i = 0; i < n; ++i)
		data.m_data[OVM::ClimateDataLoader::Temperature][i] = temperature(timePoints.empty() ? (i + 1)*3600.0
																							: timePoints[i]);
	data.writeClimateDataZEB(path);
}

// 0 C up to the end of day 1, 10 C from the first hour of day 2 on
double step(double t) {
	return t > 48*3600.0 ? 10 : 0;
}

/*! The gliding average of day d, checking that all its hours agree. */
double dayValue(const RX::Climate & climate, unsigned int d) {
	for (unsigned int h = 1; h < 24; ++h)
		EXPECT_EQ(climate.m_glidingAverageTemperature[24*d + h], climate.m_glidingAverageTemperature[24*d]);
	return climate.m_glidingAverageTemperature[24*d];
}

} // namespace


TEST(Climate, GlidingAverageOfConstantAndStepYears) {
	TestSupport::TempDirectory dir("climate");
	writeClimateFile(dir.file("constant.c6b"), [](double) { return 10.0; });
	writeClimateFile(dir.file("step.c6b"), step);
	RX::Climate climate;
	climate.parseClimateDataDir(QString::fromStdString(dir.path()), "");

	ASSERT_TRUE(climate.loadClimateData("constant.c6b"));
	ASSERT_EQ(climate.m_glidingAverageTemperature.size(), 8760u);
	for (double T : climate.m_glidingAverageTemperature)
		ASSERT_NEAR(T, 283.15, 1e-9);

	ASSERT_TRUE(climate.loadClimateData("step.c6b"));
	EXPECT_EQ(climate.m_currentClimateDataFile, "step.c6b");
	EXPECT_NEAR(dayValue(climate, 1), 273.15, 1e-9);
	EXPECT_NEAR(dayValue(climate, 2), 275.15, 1e-9);
	EXPECT_NEAR(dayValue(climate, 3), 276.75, 1e-9);
	EXPECT_NEAR(dayValue(climate, 4), 278.03, 1e-9);
	EXPECT_NEAR(dayValue(climate, 364), 283.15, 1e-9);
}


// The day-to-day filter y(d) = 0.2 m(d) + 0.8 y(d-1) answers a daily mean oscillating with angular
// frequency w per day with the gain H = 0.2/(1 - 0.8 exp(-i w)): damped by |H|, late by -arg H.
TEST(Climate, GlidingAverageLagsAndDampsDailyMeansAsTheExponentialFilter) {
	TestSupport::TempDirectory dir("climate");
	const double w = 2*ZEB::PI/20;
	const double amplitude = 8;
	// hourly values that vary within the day, so that reading the wrong hours shows
	auto temperature = [&](double t) {
		const unsigned int hour = static_cast<unsigned int>(std::lround(t/3600)) - 1;
		return 10 + amplitude*std::sin(w*(hour/24)) + 3*((hour % 24) - 11.5)/11.5;
	};
	writeClimateFile(dir.file("wave.c6b"), temperature);
	RX::Climate climate;
	climate.parseClimateDataDir(QString::fromStdString(dir.path()), "");
	ASSERT_TRUE(climate.loadClimateData("wave.c6b"));

	const std::complex<double> H = 0.2/(1.0 - 0.8*std::exp(std::complex<double>(0, -w)));
	// a real damping and a lag of more than two days, so that a slip shows
	EXPECT_LT(std::abs(H), 0.6);
	EXPECT_LT(std::arg(H), -0.7);
	// after 100 days the start has faded (0.8^100 ~ 2e-10)
	for (unsigned int d = 100; d < 365; ++d)
		EXPECT_NEAR(dayValue(climate, d), 283.15 + amplitude*std::abs(H)*std::sin(w*d + std::arg(H)), 1e-8) << d;
}


// A series of other than 8760 values is taken at the hour ends; one that does not cover the
// year is refused instead of being read past its end.
TEST(Climate, GlidingAverageOfTimeSeriesCoversTheYearOrFails) {
	TestSupport::TempDirectory dir("climate");
	std::vector<double> halfHours;
	for (unsigned int i = 0; i <= 2*8760; ++i)
		halfHours.push_back(1800.0*i);
	writeClimateFile(dir.file("halfhourly.c6b"), step, halfHours, 2021);
	writeClimateFile(dir.file("short.c6b"), step, std::vector<double>(halfHours.begin(), halfHours.begin() + 100));
	// a year of hourly values stamped at the hour starts, as measured series often are
	std::vector<double> hourStarts;
	for (unsigned int i = 0; i < 8760; ++i)
		hourStarts.push_back(3600.0*i);
	writeClimateFile(dir.file("hourstarts.c6b"), [](double) { return 10.0; }, hourStarts);
	RX::Climate climate;
	climate.parseClimateDataDir(QString::fromStdString(dir.path()), "");

	ASSERT_TRUE(climate.loadClimateData("halfhourly.c6b"));
	EXPECT_NEAR(dayValue(climate, 1), 273.15, 1e-9);
	EXPECT_NEAR(dayValue(climate, 2), 275.15, 1e-9);
	EXPECT_NEAR(dayValue(climate, 4), 278.03, 1e-9);
	// the data set's own year is the one of the time points
	climate.update(48.5*3600, false);
	EXPECT_DOUBLE_EQ(climate.m_solarRadiationModel.m_climateDataLoader.m_currentData[OVM::ClimateDataLoader::Temperature], 10);

	ASSERT_TRUE(climate.loadClimateData("hourstarts.c6b"));
	EXPECT_NEAR(climate.m_glidingAverageTemperature[8759], 283.15, 1e-9);

	TestSupport::MessageRecorder recorder;
	EXPECT_FALSE(climate.loadClimateData("short.c6b"));
	EXPECT_TRUE(climate.m_currentClimateDataFile.isEmpty());
	ASSERT_EQ(climate.m_glidingAverageTemperature.size(), 8760u);
	for (double T : climate.m_glidingAverageTemperature)
		ASSERT_EQ(T, 273.15);
	const std::vector<std::string> errors = recorder.texts("[Climate::loadClimateData]");
	ASSERT_FALSE(errors.empty());
	EXPECT_NE(errors.back().find("hourly outdoor temperatures of one year"), std::string::npos);
}


TEST(Climate, LoadsUserFileBeforeBaseFileAndReportsMissingOnes) {
	TestSupport::TempDirectory dir("climate");
	const QString base = QString::fromStdString(dir.file("base"));
	const QString user = QString::fromStdString(dir.file("user"));
	QDir().mkpath(base + "/sub");
	QDir().mkpath(user + "/sub");
	writeClimateFile(dir.file("base/sub/a.c6b"), [](double) { return 0.0; });
	writeClimateFile(dir.file("user/sub/a.c6b"), [](double) { return 20.0; });
	RX::Climate climate;
	climate.parseClimateDataDir(base, user);

	TestSupport::MessageRecorder recorder;
	ASSERT_TRUE(climate.loadClimateData("sub/a.c6b"));
	EXPECT_NEAR(climate.m_glidingAverageTemperature[100], 293.15, 1e-9);
	EXPECT_EQ(recorder.texts("[Climate::loadClimateData]"),
			  std::vector<std::string>{"Reading climate data [sub/a.c6b] from file '" + dir.file("user/sub/a.c6b") + "'\n"});

	// a file that came after the scan is named as unexpected, and read all the same
	writeClimateFile(dir.file("base/late.c6b"), [](double) { return 5.0; });
	recorder.m_messages.clear();
	EXPECT_TRUE(climate.loadClimateData("late.c6b"));
	ASSERT_FALSE(recorder.m_messages.empty());
	EXPECT_EQ(recorder.m_messages.front().m_text, "Expected climate data path 'late.c6b' in list of climate data files.");
	EXPECT_EQ(recorder.m_messages.front().m_type, ZEB::MSG_ERROR);

	EXPECT_FALSE(climate.loadClimateData("sub/none.c6b"));
	EXPECT_TRUE(climate.m_currentClimateDataFile.isEmpty());
	EXPECT_EQ(climate.m_glidingAverageTemperature[100], 273.15);
}


TEST(Climate, CorrectedSHGCFollowsTheAngularModel) {
	RX::Climate climate;
	const double deg = 1/RX::RAD2DEG;
	EXPECT_NEAR(climate.correctedSHGC(60*deg, 0, 0, 0.6, 2, 4), 0.524634, 1e-6);
	EXPECT_DOUBLE_EQ(climate.correctedSHGC(0, 0, 0, 0.6, 3, 10), 0.6);
	EXPECT_NEAR(climate.correctedSHGC(90*deg, 0, 0, 0.6, 1, 1), 0, 1e-12);
	// the transmittance only falls as the rays turn away from the normal
	for (double a = 5; a <= 90; a += 5)
		EXPECT_LE(climate.correctedSHGC(a*deg, 0, 0, 0.6, 2, 4), climate.correctedSHGC((a - 5)*deg, 0, 0, 0.6, 2, 4) + 1e-12);
	EXPECT_EQ(climate.correctedSHGC(50*deg, 0, 0, 0.7, 2, 3), climate.correctedSHGC(50*deg, 0, 0, 0.7, 2, 4));
	EXPECT_EQ(climate.correctedSHGC(50*deg, 0, 0, 0.7, 0, 6), climate.correctedSHGC(50*deg, 0, 0, 0.7, 2, 6));
	EXPECT_NE(climate.correctedSHGC(50*deg, 0, 0, 0.7, 3, 6), climate.correctedSHGC(50*deg, 0, 0, 0.7, 2, 6));
}


TEST(Climate, DescriptionFallsBackToEnglishThenToTheFirstText) {
	RX::Climate climate;
	EXPECT_TRUE(climate.climateDataFilePaths().isEmpty());
	EXPECT_EQ(climate.locationData("x.epw"), nullptr);
	EXPECT_EQ(climate.description("x.epw", "de"), QString());

	RX::ClimateLocationData record;
	record.m_descriptionTexts = {{"de", "D"}, {"en", "E1"}, {"fr", "F"}, {"en", "E2"}};
	climate.m_descriptions["a.epw"] = record;
	record.m_descriptionTexts = {{"fr", "F"}, {"de", "D"}};
	climate.m_descriptions["b.epw"] = record;
	record.m_descriptionTexts.clear();
	climate.m_descriptions["c.epw"] = record;

	EXPECT_EQ(climate.description("a.epw", "de"), "D");
	EXPECT_EQ(climate.description("a.epw", "it"), "E2");
	EXPECT_EQ(climate.description("a.epw", "EN"), "E2");
	EXPECT_EQ(climate.description("b.epw", "it"), "F");
	EXPECT_EQ(climate.description("c.epw", "de"), "");
	EXPECT_EQ(climate.description("d.epw", "de"), "");
	EXPECT_EQ(climate.climateDataFilePaths(), QStringList({"a.epw", "b.epw", "c.epw"}));
	EXPECT_EQ(climate.locationData("b.epw"), &climate.m_descriptions.find("b.epw").value());
}

TEST(Climate, TakesOnlyPlainRelativeReferences) {
	for (const char * plain : {"x.epw", "Europe/Germany/x.c6b", "a b/c..d.epw", "ünïcode/x.epw"})
		EXPECT_TRUE(RX::Climate::isPlainReference(QString::fromUtf8(plain))) << plain;
	for (const char * escaping : {"", "/x.epw", "../x.epw", "a/../../x.epw", "..\\..\\x.epw", "a\\x.epw", "./x.epw",
								  "a//x.epw", "a/", " ../x.epw", "C:/x.epw", "a\nb.epw", ".."})
		EXPECT_FALSE(RX::Climate::isPlainReference(QString::fromUtf8(escaping))) << escaping;
}
