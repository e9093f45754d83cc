#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "RX_Polygon.h"

#include "TestSupport.h"

using ZEBMK::Vector3D;

namespace {

RX::Polygon unitSquare() {
	return RX::Polygon({Vector3D(0, 0, 0), Vector3D(1, 0, 0), Vector3D(1, 1, 0), Vector3D(0, 1, 0)});
}

void expectNear(const Vector3D & a, const Vector3D & b) {
	EXPECT_NEAR(a.m_x, b.m_x, 1e-12);
	EXPECT_NEAR(a.m_y, b.m_y, 1e-12);
	EXPECT_NEAR(a.m_z, b.m_z, 1e-12);
}

} // namespace


TEST(RXPolygon, CleaningDropsRepeatedAndCollinearCornersForGood) {
	RX::Polygon closed({Vector3D(0, 0, 0), Vector3D(1, 0, 0), Vector3D(1, 1, 0), Vector3D(0, 1, 0), Vector3D(0, 0, 0)});
	EXPECT_DOUBLE_EQ(closed.calcSurfaceSize(), 1);
	EXPECT_EQ(closed.m_points.size(), 4u);
	expectNear(closed.calcNormal(true), Vector3D(0, 0, 1));

	RX::Polygon midEdge({Vector3D(0, 0, 0), Vector3D(1, 0, 0), Vector3D(2, 0, 0), Vector3D(2, 1, 0), Vector3D(0, 1, 0)});
	midEdge.removePointsInLine();
	EXPECT_EQ(midEdge.m_points,
			  std::vector<Vector3D>({Vector3D(0, 0, 0), Vector3D(2, 0, 0), Vector3D(2, 1, 0), Vector3D(0, 1, 0)}));

	RX::Polygon line({Vector3D(0, 0, 0), Vector3D(1, 0, 0), Vector3D(2, 0, 0)});
	EXPECT_TRUE(TestSupport::throwsWith([&] { line.calcNormal(false); },
		"Polyline has less then 3 Points after removing points on a line.", "[Polygon::removePointsInLine]"));
	// 49 * (1 / 49) rounds below 1, 49 / 49 does not: the directions are divided by their lengths
	RX::Polygon farLine({Vector3D(0, 0, 0), Vector3D(1, 0, 0), Vector3D(49, 0, 0)});
	EXPECT_THROW(farLine.removePointsInLine(), ZEB::Exception);
	RX::Polygon twice({Vector3D(0, 0, 0), Vector3D(0, 0, 0), Vector3D(1, 0, 0)});
	EXPECT_TRUE(TestSupport::throwsWith([&] { twice.removeDuplicatePoints(); },
		"Polyline has less then 3 Points after removing duplicates.", "[Polygon::removeDuplicatePoints]"));
}


TEST(RXPolygon, NewellNormalPointsTowardsACounterClockwiseViewer) {
	// a window 2 m wide and 1.5 m high in the wall y = 0, seen from y < 0
	RX::Polygon window({Vector3D(0, 0, 0), Vector3D(2, 0, 0), Vector3D(2, 0, 1.5), Vector3D(0, 0, 1.5)});
	expectNear(window.calcNormal(true), Vector3D(0, -1, 0));
	expectNear(window.calcNormal(false), Vector3D(0, -6, 0));		// twice the area
	EXPECT_DOUBLE_EQ(window.calcSurfaceSize(), 3);
	EXPECT_DOUBLE_EQ(window.distancePointToPlane(ZEB::point3D<double>(5, -2, 7)), 2);

	const std::vector<Vector3D> original = window.m_points;
	window.changeNormalDirection();
	expectNear(window.calcNormal(true), Vector3D(0, 1, 0));
	window.changeNormalDirection();
	EXPECT_EQ(window.m_points, original);
}


TEST(RXPolygon, PointInPolygonTellsInsideEdgeAndOutsideInAnyPlane) {
	RX::Polygon square = unitSquare();
	EXPECT_EQ(square.pointInPolygon(Vector3D(0.5, 0.5, 0)), 1);
	EXPECT_EQ(square.pointInPolygon(Vector3D(1, 0.5, 0)), 0);
	EXPECT_EQ(square.pointInPolygon(Vector3D(1.5, 0.5, 0)), -1);

	RX::Polygon wall({Vector3D(0, 0, 0), Vector3D(2, 0, 0), Vector3D(2, 0, 1), Vector3D(0, 0, 1)});
	EXPECT_EQ(wall.pointInPolygon(Vector3D(1.5, 0, 0.5)), 1);
	EXPECT_EQ(wall.pointInPolygon(Vector3D(2.5, 0, 0.5)), -1);
	EXPECT_EQ(wall.pointInPolygon(Vector3D(1, 0, 1.5)), -1);
	EXPECT_EQ(wall.m_points.size(), 4u);
}


TEST(RXPolygon, RotationMatrixTurnsRightHandedAboutTheAxis) {
	using RX::Polygon;
	RX::Polygon p({Vector3D(1, 0, 0)});
	expectNear(p.rotaMatrixMultiplyVector(Polygon::rotationMatrixForStraightOrigin(0.0, Vector3D(0, 0, 1), true), 0),
			   Vector3D(0, 1, 0));
	expectNear(p.rotaMatrixMultiplyVector(Polygon::rotationMatrixForStraightOrigin(0.0, Vector3D(0, 0, 1), false), 0),
			   Vector3D(0, -1, 0));
	EXPECT_TRUE(TestSupport::throwsWith([&] { p.rotaMatrixMultiplyVector(Polygon::rotationMatrixForStraightOrigin(
		1.0, Vector3D()), 1); }, "Index is outside of polyline size.", "[Polygon::rotaMatrixMultiplyVector]"));
	EXPECT_THROW(Polygon::rotationMatrixForStraightOrigin(1.5, Vector3D(0, 0, 1)), ZEB::Exception);

	// the rotation of the shading geometry: a tilted unit normal n is turned onto +z
	const double r = std::sqrt(0.5);
	const Vector3D n(0.5, -0.5, r);
	RX::Polygon normal({n});
	normal.rotatePolyline(Polygon::rotationMatrixForStraightOrigin(n.m_z, Vector3D(n.m_y, -n.m_x, 0), true));
	expectNear(normal.m_points[0], Vector3D(0, 0, 1));

	// about a line through (1, 1, 0) parallel to z by a quarter turn
	RX::Polygon shifted({Vector3D(2, 1, 5)});
	shifted.rotatePolyline(Vector3D(0, 0, 1), 0.0, Vector3D(1, 1, 0));
	expectNear(shifted.m_points[0], Vector3D(1, 2, 5));
}


TEST(RXPolygon, AngleBetweenVectorsInDegrees) {
	EXPECT_NEAR(RX::angleVectors(Vector3D(1, 0, 0), Vector3D(0, 1, 0)), 90, 1e-9);
	EXPECT_EQ(RX::angleVectors(Vector3D(1, 0, 0), Vector3D(1, 0, 0)), 0);
	// a vector whose cosine with itself rounds to just above 1 must not give NaN
	const Vector3D v(0.08282494558699316, 0.8782983255570211, -0.23759152462357513);
	EXPECT_EQ(RX::angleVectors(v, v), 0);
	EXPECT_NEAR(RX::angleVectors(v, v * -1), 180, 1e-6);
}
