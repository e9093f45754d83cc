#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "ZEB_Constants.h"

#include "RX_ClimateLocationData.h"
#include "RX_RoomConstruction.h"
#include "RX_StructuralShading.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

namespace {

const double YEAR = 31536000;
const char * const INIT = "[ShadingControlModel::StructuralShading::init]";

// Denver Intl. Airport, the location of the TMY3 file among the climate test data.
RX::ClimateLocationData denver() {
	RX::ClimateLocationData d;
	d.m_latitude = 39.83;
	d.m_longitude = -104.65;
	d.m_timeZone = -7;
	return d;
}

// 1 m x 1 m window of an outside wall.
RX::StructuralShading window(double orientation) {
	RX::RoomConstruction c;
	c.m_type = RX::RoomConstruction::Outside;
	c.m_AF = 1;
	c.m_orientation = orientation;
	c.m_inclination = 90;
	RX::StructuralShading s;
	s.initShadingDevice(c);
	return s;
}

double hour(unsigned int day, unsigned int h) { return (day * 24 + h) * 3600.0; }

} // namespace


TEST(RXStructuralShading, ReadingDropsIncompleteDevicesAndWarnsOfThoseWithoutAWindowHeight) {
	TestSupport::MessageRecorder recorder;
	RX::StructuralShading s;
	EXPECT_EQ(readInto("<StructuralShading><WindowHeight>1.2</WindowHeight><OverhangWidth>0.8</OverhangWidth>"
					   "<OverhangLength>3</OverhangLength><SideFinALength>1</SideFinALength>"
					   "<SideFinBWidth>0.3</SideFinBWidth><SideFinBHeight>0</SideFinBHeight></StructuralShading>", s), "");
	EXPECT_TRUE(s.m_hasOverhang);				// distance 0 is enough
	EXPECT_EQ(s.m_overhangDistance, 0);
	EXPECT_FALSE(s.m_hasSideFinB);				// height 0
	EXPECT_EQ(recorder.texts("[ShadingControlModel::StructuralShading::readXML]"),
			  std::vector<std::string>{"Found unknown element 'SideFinALength' in StructuralShading."});
	EXPECT_EQ(written(s), "<StructuralShading><WindowHeight>1.2</WindowHeight><OverhangWidth>0.8</OverhangWidth>"
						  "<OverhangLength>3</OverhangLength><OverhangOffset>0</OverhangOffset>"
						  "<OverhangDistance>0</OverhangDistance></StructuralShading>");

	// without a window height nothing is kept, whatever area the window gets later, and the user
	// learns of it
	RX::StructuralShading noHeight;
	EXPECT_EQ(readInto("<StructuralShading><ShadingFileName>f.csv</ShadingFileName><OverhangWidth>1</OverhangWidth>"
					   "<OverhangLength>3</OverhangLength></StructuralShading>", noHeight), "");
	EXPECT_FALSE(noHeight.hasShadingDevice());
	EXPECT_EQ(recorder.texts("[ShadingControlModel::StructuralShading::readXML]").size(), 2u);
	EXPECT_EQ(written(noHeight), "<StructuralShading><ShadingFileName>f.csv</ShadingFileName></StructuralShading>");
}


TEST(RXStructuralShading, WindowHeightFromTheAreaOfOutsideConstructionsOnly) {
	EXPECT_EQ(window(180).m_windowHeight, 1);
	RX::RoomConstruction c;
	c.m_AF = 2.5;
	RX::StructuralShading s;
	s.initShadingDevice(c);
	EXPECT_EQ(s.m_windowHeight, 1);
	EXPECT_EQ(s.m_orientation, 270);
	c.m_type = RX::RoomConstruction::Inside;
	s.initShadingDevice(c);
	EXPECT_EQ(s.m_windowArea, 0);
	EXPECT_EQ(s.m_windowHeight, 0);

	// 0.5 m2 gives no height, so a device cannot be laid out
	c.m_type = RX::RoomConstruction::Outside;
	c.m_AF = 0.5;
	s.initShadingDevice(c);
	EXPECT_EQ(s.m_windowHeight, 0);
	s.m_hasOverhang = true;
	s.m_overhangWidth = s.m_overhangLength = 1;
	const RX::ClimateLocationData location;
	EXPECT_TRUE(TestSupport::throwsWith([&] { s.updateAll(ZEB::Path("/"), &location); },
		"Cannot create base wall.", "[ShadingControlModel::StructuralShading::update]"));

	// a sliver of a height makes a window kilometres wide, too wide to lay a grid on
	c.m_AF = 12;
	s.initShadingDevice(c);
	s.m_windowHeight = 1e-9;
	EXPECT_TRUE(TestSupport::throwsWith([&] { s.updateAll(ZEB::Path("/"), &location); },
		"Invalid value '1e-09' in element 'WindowHeight' of StructuralShading, expected a height that gives the "
		"window of 12 m2 (1.2e+10 m wide) a grid of at most 1000000 cells of 0.1 m.",
		"[ShadingControlModel::StructuralShading::update]"));
}


TEST(RXStructuralShading, ShadingFileGivesTheFactorOfItsColumn) {
	TestSupport::TempDirectory dir("shading");
	std::ofstream(dir.file("f.csv")) << "Time [h]\tA [%]\tB [---]\n0\t50\t0.2\n4380\t100\t0.4\n8760\t50\t0.2\n";
	const ZEB::Path base(dir.path());

	RX::StructuralShading s;
	s.updateAll(base, nullptr);
	EXPECT_FALSE(s.hasValues());
	EXPECT_EQ(s.zF(0), 1);
	EXPECT_EQ(s.zF(1e7), 1);

	s.m_shadingFileName = "f.csv";
	s.updateAll(base, nullptr);
	EXPECT_DOUBLE_EQ(s.zF(0), 0.5);
	EXPECT_DOUBLE_EQ(s.zF(2190 * 3600.0), 0.75);
	EXPECT_DOUBLE_EQ(s.zF(YEAR + 2190 * 3600.0), 0.75);	// the second year like the first
	s.m_shadingFileName = QString::fromStdString(dir.file("f.csv")) + "?2";
	s.updateAll(ZEB::Path("/elsewhere"), nullptr);
	EXPECT_DOUBLE_EQ(s.zF(4380 * 3600.0), 0.4);

	auto failureWith = [&](const QString & name) {
		s.m_shadingFileName = name;
		return TestSupport::thrownAt([&] { s.updateAll(base, nullptr); }, INIT);
	};
	EXPECT_EQ(failureWith("f.csv?0"), "Invalid column index '0'. CSV-file only has 3 columns and index must be > 0.");
	EXPECT_EQ(failureWith("f.csv?3"), "Invalid column index '3'. CSV-file only has 3 columns and index must be > 0.");
	EXPECT_EQ(failureWith("f.csv?x"), "Expected column index after '?' in shading file name, got 'x'.");
	EXPECT_EQ(failureWith("f.csv?"), "Expected column index after '?' in shading file name, got ''.");
	EXPECT_EQ(failureWith("g.csv"), "Cannot find shading file '" + dir.file("g.csv") + "'.");

	std::ofstream(dir.file("bad.csv")) << "Time [h]\tA [W]\n0\t1\n1\t2\n";
	EXPECT_EQ(failureWith("bad.csv"), "Error extracting column 1 from csv-file.");
	std::ofstream(dir.file("back.csv")) << "Time [h]\tA [---]\n5\t1\n1\t2\n";
	EXPECT_EQ(failureWith("back.csv"), "Invalid data in csv-file.");
	// a factor is a fraction: 150 % would give more than the sun
	std::ofstream(dir.file("more.csv")) << "Time [h]\tA [%]\n0\t50\n4380\t150\n";
	EXPECT_NE(failureWith("more.csv").find("1.5 at t = 15768000 s in column 1"), std::string::npos);
}


TEST(RXStructuralShading, DeepOverhangShadesASouthWindowOnlyWhileTheSunIsInFront) {
	const RX::ClimateLocationData location = denver();
	RX::StructuralShading s = window(180);
	s.m_hasOverhang = true;
	s.m_overhangWidth = 10;
	s.m_overhangLength = 1;
	s.updateAll(ZEB::Path("/"), &location);
	ASSERT_EQ(s.m_geometrySpline.size(), 8760u);

	const unsigned int june21 = 171;
	EXPECT_LT(s.zF(hour(june21, 12)), 0.05);
	EXPECT_EQ(s.zF(hour(june21, 0)), 1);		// night
	EXPECT_EQ(s.zF(hour(june21, 6)), 1);		// sun in the north-east, behind the wall
	EXPECT_EQ(s.zF(YEAR + hour(june21, 12)), s.zF(hour(june21, 12)));

	// a repeated set-up replaces the window and the overhang instead of adding them again
	const std::vector<double> first = s.m_geometrySpline.m_y;
	s.updateAll(ZEB::Path("/"), &location);
	EXPECT_EQ(s.m_sunShadingAlgorithm.m_shadingObjects.size(), 1u);
	EXPECT_EQ(s.m_sunShadingAlgorithm.m_obstacles.size(), 1u);
	EXPECT_EQ(s.m_geometrySpline.m_y, first);
}


TEST(RXStructuralShading, DevicesOfTurnedAndTiltedWindowsShadeAsTheirProfileAnglesSay) {
	// Each hour's sun of three days against the analytic shaded fraction of a long overhang or a
	// tall fin, from the sun direction s in the window's axes: outward normal n, up the wall u,
	// right seen from outside r (shadow depth = device depth * (s.u) / (s.n)).
	const RX::ClimateLocationData location = denver();
	// side: 0 an overhang, 1 fin A, -1 fin B
	auto checkYear = [&](RX::StructuralShading & s, double depth, int side) {
		s.updateAll(ZEB::Path("/"), &location);
		std::vector<RX::StructuralShading::SunPosition> sun;
		s.createSunNormals(sun);
		ASSERT_EQ(sun.size(), 8760u);
		const double o = s.m_orientation * ZEB::DEG2RAD, i = s.m_inclination * ZEB::DEG2RAD;
		const ZEBMK::Vector3D n(std::sin(o) * std::sin(i), std::cos(o) * std::sin(i), std::cos(i));
		const ZEBMK::Vector3D u(-std::sin(o) * std::cos(i), -std::cos(o) * std::cos(i), std::sin(i));
		const ZEBMK::Vector3D r(-std::cos(o), std::sin(o), 0);
		unsigned int checked = 0;
		unsigned int shaded = 0;
		for (unsigned int day : {20u, 171u, 300u})
			for (unsigned int h = 0; h < 24; ++h) {
				const unsigned int k = day * 24 + h;
				const double a = sun[k].first, e = sun[k].second;
				const ZEBMK::Vector3D sv(std::sin(a) * std::cos(e), std::cos(a) * std::cos(e), std::sin(e));
				if (sv.m_z < 0 || sv.dot(n) < 0) {		// night, or the sun behind the window
					EXPECT_EQ(s.zF(k * 3600.0), 1) << "day " << day << " hour " << h;
					continue;
				}
				if (sv.m_z < 0.01 || sv.dot(n) < 0.1)		// grazing
					continue;
				// fin A stands on the left edge seen from outside, so it catches suns from the left;
				// fin B on the right edge catches those from the right
				const double shadow = depth * (side == 0 ? sv.dot(u) : -side * sv.dot(r)) / sv.dot(n);
				// half a grid step, and the 2 deg by which an hour's sun may differ from its group's
				EXPECT_NEAR(1 - s.zF(k * 3600.0), std::min(1.0, std::max(0.0, shadow)), 0.1)
					<< "day " << day << " hour " << h;
				++checked;
				if (shadow > 0.3)
					++shaded;
			}
		EXPECT_GT(checked, 20u);
		EXPECT_GT(shaded, 3u);
	};

	RX::StructuralShading overhang = window(200);
	overhang.m_hasOverhang = true;
	overhang.m_overhangWidth = 0.3;
	overhang.m_overhangLength = 30;
	checkYear(overhang, 0.3, 0);

	RX::StructuralShading fin = window(200);
	fin.m_hasSideFinA = true;
	fin.m_sideFinAWidth = 0.5;
	fin.m_sideFinAOffset = 20;
	fin.m_sideFinAHeight = 40;
	checkYear(fin, 0.5, 1);

	RX::StructuralShading finB = window(200);
	finB.m_hasSideFinB = true;
	finB.m_sideFinBWidth = 0.5;
	finB.m_sideFinBOffset = 20;
	finB.m_sideFinBHeight = 40;
	checkYear(finB, 0.5, -1);

	RX::StructuralShading tilted = window(160);
	tilted.m_inclination = 60;
	tilted.m_hasOverhang = true;
	tilted.m_overhangWidth = 0.3;
	tilted.m_overhangLength = 30;
	checkYear(tilted, 0.3, 0);
}
