#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "ZEB_Constants.h"

#include "RX_SunShadingAlgorithm.h"

#include "TestSupport.h"

using ZEBMK::Vector3D;

namespace {

// A 1 m x 1 m window in the wall y = 0 facing -y, as the structural shading lays it out.
RX::SunShadingAlgorithm windowOnly() {
	RX::SunShadingAlgorithm a;
	RX::SunShadingAlgorithm::ShadingObj window;
	window.m_polygon = RX::Polygon({Vector3D(0, 0, 0), Vector3D(1, 0, 0), Vector3D(1, 0, 1), Vector3D(0, 0, 1)});
	a.m_shadingObjects.push_back(window);
	return a;
}

// An overhang of the given depth, 10 m long and centred, flush with the window's top.
RX::Polygon overhang(double depth) {
	return RX::Polygon({Vector3D(5.5, -depth, 1), Vector3D(5.5, 0, 1), Vector3D(-4.5, 0, 1), Vector3D(-4.5, -depth, 1)});
}

// Direction towards a sun at elevation e and azimuth g from the wall's normal [Deg].
Vector3D sun(double e, double g) {
	e *= ZEB::DEG2RAD;
	g *= ZEB::DEG2RAD;
	return Vector3D(std::cos(e) * std::sin(g), -std::cos(e) * std::cos(g), std::sin(e));
}

double shadedFraction(RX::SunShadingAlgorithm & a, const Vector3D & s) {
	a.calcShading(s);
	return a.m_shadingObjects.back().m_result;
}

} // namespace


TEST(RXSunShadingAlgorithm, GridPointsLieAtTheCellCentresOfTheOutline) {
	RX::SunShadingAlgorithm a = windowOnly();
	a.initializeGrid();
	const std::vector<Vector3D> & g = a.m_shadingObjects[0].m_gridPoints.m_points;
	ASSERT_EQ(g.size(), 100u);
	EXPECT_TRUE(a.m_shadingObjects[0].m_gridReady);
	double xMin = 1, xMax = 0, zMin = 1, zMax = 0;
	for (const Vector3D & p : g) {
		EXPECT_NEAR(p.m_y, 0, 1e-12);
		xMin = std::min(xMin, p.m_x);
		xMax = std::max(xMax, p.m_x);
		zMin = std::min(zMin, p.m_z);
		zMax = std::max(zMax, p.m_z);
	}
	EXPECT_NEAR(xMin, 0.05, 1e-12);
	EXPECT_NEAR(xMax, 0.95, 1e-12);
	EXPECT_NEAR(zMin, 0.05, 1e-12);
	EXPECT_NEAR(zMax, 0.95, 1e-12);

	// no cell centre inside a sliver: no grid points, and an unshaded result instead of 0/0
	RX::SunShadingAlgorithm sliver;
	sliver.m_shadingObjects.resize(1);
	sliver.m_shadingObjects[0].m_polygon = RX::Polygon({Vector3D(0, 0, 0), Vector3D(1, 0, 0), Vector3D(1, 0.01, 0)});
	sliver.m_obstacles.push_back(overhang(1));
	sliver.initializeGrid();
	EXPECT_TRUE(sliver.m_shadingObjects[0].m_gridPoints.m_points.empty());
	EXPECT_EQ(shadedFraction(sliver, Vector3D(0, 0, 1)), 0);

	RX::SunShadingAlgorithm broken;
	broken.m_shadingObjects.resize(1);
	EXPECT_TRUE(TestSupport::throwsWith([&] { broken.initializeGrid(); },
		"Polyline is not valid.", "[SunShadingAlgorithm::initializeGrid]"));
}


TEST(RXSunShadingAlgorithm, OverhangShadowDepthFollowsTheProfileAngle) {
	RX::SunShadingAlgorithm a = windowOnly();
	a.initializeGrid();
	EXPECT_EQ(shadedFraction(a, sun(45, 0)), 0);		// no obstacle

	a.m_obstacles.push_back(overhang(0.5));
	EXPECT_EQ(shadedFraction(a, Vector3D(0, -1, 1) * std::sqrt(0.5)), 0.5);

	// shadow depth = depth * tan(profile angle), tan(profile) = tan(e) / cos(g); the grid
	// resolves it to half a step
	for (double e : {10.0, 20.0, 30.0, 60.0, 75.0})
		for (double g : {0.0, 40.0, -60.0}) {
			const double tanProfile = std::tan(e * ZEB::DEG2RAD) / std::cos(g * ZEB::DEG2RAD);
			EXPECT_NEAR(shadedFraction(a, sun(e, g)), std::min(1.0, 0.5 * tanProfile), 0.05 + 1e-9)
				<< "elevation " << e << ", azimuth " << g;
		}
}


TEST(RXSunShadingAlgorithm, ObstaclesShadeOnlyTowardsTheSunAndEachPointOnce) {
	RX::SunShadingAlgorithm a = windowOnly();
	a.initializeGrid();
	// a deep fin beside the window's left edge: the sun straight in front runs parallel to it
	a.m_obstacles.push_back(RX::Polygon({Vector3D(0, 0, 1), Vector3D(0, -5, 1), Vector3D(0, -5, 0), Vector3D(0, 0, 0)}));
	EXPECT_EQ(shadedFraction(a, sun(30, 0)), 0);
	EXPECT_GT(shadedFraction(a, sun(0, -60)), 0.9);		// low sun from the fin's side
	EXPECT_EQ(shadedFraction(a, sun(0, 60)), 0);			// and from the other side

	// the overhang seen from behind the wall casts nothing on the window
	RX::SunShadingAlgorithm b = windowOnly();
	b.initializeGrid();
	b.m_obstacles.push_back(overhang(0.5));
	EXPECT_EQ(shadedFraction(b, Vector3D(0, 1, 1) * std::sqrt(0.5)), 0);
	// a second obstacle covering the same points does not count them again
	b.m_obstacles.push_back(overhang(0.5));
	b.m_obstacles.push_back(overhang(2));
	EXPECT_EQ(shadedFraction(b, Vector3D(0, -1, 1) * std::sqrt(0.5)), 1);
	b.m_obstacles.pop_back();
	EXPECT_EQ(shadedFraction(b, Vector3D(0, -1, 1) * std::sqrt(0.5)), 0.5);
}
