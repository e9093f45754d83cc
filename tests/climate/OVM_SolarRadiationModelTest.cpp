#include <gtest/gtest.h>

#include <cmath>

#include "OVM_Constants.h"
#include "OVM_SolarRadiationModel.h"
#include "OVM_SunPositionModel.h"
#include "TestSupport.h"
#include "ZEB_Time.h"

using OVM::ClimateDataLoader;
using OVM::SolarRadiationModel;

namespace {

const double PI = 3.141592653589793;
/*! A time in the late morning of 21 June (local standard time, time zone 1) [s]. */
const double JUNE_MORNING = 14819400;

/*! A model at the default location in time zone 1 with constant direct normal and diffuse
	horizontal radiation [W/m2]. */
SolarRadiationModel constantSky(double directNormal, double diffuseHorizontal) {
	SolarRadiationModel model;
	ClimateDataLoader & climate = model.m_climateDataLoader;
	climate.m_timeZone = 1;
	for (std::vector<double> & d : climate.m_data)
		d.assign(ZEB::HOURS_PER_YEAR, 10);
	climate.m_data[ClimateDataLoader::DirectRadiation].assign(ZEB::HOURS_PER_YEAR, directNormal);
	climate.m_data[ClimateDataLoader::DiffuseRadiation].assign(ZEB::HOURS_PER_YEAR, diffuseHorizontal);
	climate.m_data[ClimateDataLoader::AirPressure].assign(ZEB::HOURS_PER_YEAR, 101325);
	return model;
}

struct Load {
	double m_direct, m_diffuse, m_incidence;
};

Load load(const SolarRadiationModel & model, unsigned int id) {
	Load l;
	model.radiationLoad(id, l.m_direct, l.m_diffuse, l.m_incidence);
	return l;
}

} // namespace


TEST(SunPositionModel, PlacesTheSunAtTheReferenceTimes) {
	OVM::SunPositionModel sun;
	EXPECT_NEAR(sun.m_declination, -0.4029251578231931, 1e-9);
	EXPECT_NEAR(sun.m_elevation, -1.08185823684609, 1e-9);
	EXPECT_NEAR(sun.m_azimuth, 0, 1e-9);
	sun.setTime(14904000);
	EXPECT_NEAR(sun.m_declination, 0.40927591955591713, 1e-9);
	EXPECT_NEAR(sun.m_elevation, 1.088208998578814, 1e-9);
	EXPECT_NEAR(sun.m_azimuth, PI, 1e-9);
}


TEST(SunPositionModel, StandsAtNinetyDegreesMinusLatitudePlusDeclinationAtSolarNoon) {
	OVM::SunPositionModel sun;
	const double latitude = sun.m_latitude;
	struct Day { double m_day, m_declination, m_tolerance; };
	// equinoxes and solstices, each at solar noon
	const Day days[] = {{80, 0, 0.01}, {172, 0.409279709594, 1e-4}, {263, 0, 0.01}, {355, -0.409279709594, 1e-4}};
	for (const Day & d : days) {
		sun.setTime((d.m_day + 0.5)*86400);
		EXPECT_NEAR(sun.m_declination, d.m_declination, d.m_tolerance) << d.m_day;
		EXPECT_NEAR(sun.m_elevation, PI/2 - latitude + sun.m_declination, 1e-12) << d.m_day;
		EXPECT_NEAR(sun.m_azimuth, PI, 1e-9) << d.m_day;
	}
	// morning sun in the east, evening sun in the west
	sun.setTime(172.3*86400);
	EXPECT_GT(sun.m_azimuth, 0.25*PI);
	EXPECT_LT(sun.m_azimuth, 0.75*PI);
	sun.setTime(172.7*86400);
	EXPECT_GT(sun.m_azimuth, 1.25*PI);
	EXPECT_LT(sun.m_azimuth, 1.75*PI);
}


TEST(SolarRadiationModel, ComputesReferenceRadiationOnHorizontalAndSouthSurfaces) {
	SolarRadiationModel model = constantSky(800, 100);
	EXPECT_EQ(model.addSurface(0, 0), 0u);
	EXPECT_EQ(model.addSurface(0, 0.000005), 0u);
	EXPECT_EQ(model.addSurface(PI, PI/2), 1u);
	model.setTime(2007, JUNE_MORNING);

	const Load horizontal = load(model, 0);
	EXPECT_NEAR(horizontal.m_direct, 706.2157034192875, 1e-9);
	EXPECT_EQ(horizontal.m_diffuse, 100);
	EXPECT_NEAR(horizontal.m_incidence, 0.4890711278717119, 1e-9);
	const Load south = load(model, 1);
	EXPECT_NEAR(south.m_direct, 368.2901144218098, 1e-9);
	EXPECT_NEAR(south.m_diffuse, 130.62157034192876, 1e-9);

	model.m_usePerezModel = true;
	model.setTime(2007, JUNE_MORNING);
	EXPECT_NEAR(load(model, 1).m_diffuse, 147.8357017900638, 1e-9);
	EXPECT_EQ(load(model, 0).m_diffuse, 100);		// the horizontal keeps the measured diffuse value

	EXPECT_TRUE(TestSupport::throwsWith([&] { load(model, 2); }, "Invalid surface ID 2.",
										"[SolarRadiationModel::radiationLoad]"));
}


TEST(SolarRadiationModel, GivesNormalRadiationToASurfaceFacingTheSunAndNoneToOneFacingAway) {
	SolarRadiationModel model = constantSky(800, 100);
	model.setTime(2007, JUNE_MORNING);
	const unsigned int facing = model.addSurface(model.m_azimuth, PI/2 - model.m_elevation);
	const unsigned int away = model.addSurface(model.m_azimuth - PI, PI/2);
	model.setTime(2007, JUNE_MORNING);
	EXPECT_NEAR(load(model, facing).m_direct, 800, 1e-9);
	EXPECT_NEAR(load(model, facing).m_incidence, 0, 1e-7);
	EXPECT_EQ(load(model, away).m_direct, 0);
	EXPECT_EQ(load(model, away).m_incidence, 1.570796327);
	EXPECT_GT(load(model, away).m_diffuse, 50);		// sky and ground still
}


TEST(SolarRadiationModel, KeepsDiffuseSkyAtNightOnlyForTheIsotropicSky) {
	SolarRadiationModel model = constantSky(800, 50);
	model.addSurface(0, 0);
	model.addSurface(PI, PI/2);
	model.setTime(2007, 0);
	EXPECT_EQ(load(model, 0).m_direct, 0);
	EXPECT_EQ(load(model, 0).m_diffuse, 50);
	EXPECT_NEAR(load(model, 1).m_diffuse, 30, 1e-12);
	EXPECT_EQ(load(model, 1).m_incidence, 1.570796327);
	model.m_usePerezModel = true;
	model.setTime(2007, 0);
	EXPECT_EQ(load(model, 1).m_diffuse, 0);
}


TEST(SolarRadiationModel, ConvertsBetweenHorizontalAndNormalRadiation) {
	SolarRadiationModel model = constantSky(0, 0);
	double normal = 0;
	model.convertHorizontalToNormalRadiation(JUNE_MORNING, 500, normal);
	EXPECT_NEAR(normal, 566.3991866271429, 1e-9);
	model.convertHorizontalToNormalRadiation(JUNE_MORNING, 1000, normal);
	EXPECT_NEAR(normal, 1048.0660373770893, 1e-9);		// clear-sky cap
	EXPECT_NEAR(OVM::calcExtraTerrRad(1), 1414.9395789990217, 1e-9);

	// below the extraterrestrial cap the two conversions undo each other
	model.m_normalRadiationLimit = 1;
	double horizontal = 0;
	model.convertNormalToHorizontalRadiation(JUNE_MORNING, 900, horizontal);
	model.convertHorizontalToNormalRadiation(JUNE_MORNING, horizontal, normal);
	EXPECT_NEAR(normal, 900, 1e-9);
	model.convertNormalToHorizontalRadiation(0, 900, horizontal);
	EXPECT_EQ(horizontal, 0);
}


TEST(SolarRadiationModel, ShiftsStandardToLocalMeanTime) {
	EXPECT_NEAR(SolarRadiationModel::localMeanTimeFromLocalStandardTime(1000, 1, 13.7), 688, 1e-6);
	EXPECT_NEAR(SolarRadiationModel::localMeanTimeFromLocalStandardTime(100, 1, 13.7), 31535788, 1e-6);
	EXPECT_NEAR(SolarRadiationModel::localMeanTimeFromLocalStandardTime(1000, 12, -178), 1480, 1e-6);
	EXPECT_NEAR(SolarRadiationModel::localMeanTimeFromLocalStandardTime(1000, -12, 178), 520, 1e-6);
}
