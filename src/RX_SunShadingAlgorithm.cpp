#include "RX_SunShadingAlgorithm.h"

#include <algorithm>
#include <cmath>

#include "ZEB_Exception.h"

namespace RX {

namespace {

/*! As in the point-in-polygon test: nearly horizontal outlines are gridded unrotated. */
const double ROTATION_THRESHOLD = 0.1;

} // namespace


void SunShadingAlgorithm::initializeGrid() {
	if (!(m_gridWidth > 0))
		throw ZEB::Exception(ZEB::FormatString("Grid step must be positive, got %1.").arg(m_gridWidth),
							 "[SunShadingAlgorithm::initializeGrid]");
	for (ShadingObj & obj : m_shadingObjects) {
		if (obj.m_polygon.m_points.size() < 3)
			throw ZEB::Exception("Polyline is not valid.", "[SunShadingAlgorithm::initializeGrid]");
		Polygon outline = obj.m_polygon;
		const ZEBMK::Vector3D n = outline.calcNormal(true);

		// grid in a horizontal plane, then back into the outline's plane
		const ZEBMK::Vector3D axis(n.m_y, -n.m_x, 0);
		const bool rotated = std::sqrt(axis.dot(axis)) > ROTATION_THRESHOLD;
		ZEB::matrix<double> backRotation;
		if (rotated) {
			outline.rotatePolyline(Polygon::rotationMatrixForStraightOrigin(n.m_z, axis, true));
			backRotation = Polygon::rotationMatrixForStraightOrigin(n.m_z, axis, false);
		}

		double xMin = outline.m_points[0].m_x, xMax = xMin;
		double yMin = outline.m_points[0].m_y, yMax = yMin;
		for (const ZEBMK::Vector3D & p : outline.m_points) {
			xMin = std::min(xMin, p.m_x);
			xMax = std::max(xMax, p.m_x);
			yMin = std::min(yMin, p.m_y);
			yMax = std::max(yMax, p.m_y);
		}
		const unsigned int nx = (unsigned int)std::ceil((xMax - xMin) / m_gridWidth);
		const unsigned int ny = (unsigned int)std::ceil((yMax - yMin) / m_gridWidth);
		const double z0 = outline.m_points[0].m_z;

		Polygon grid;
		if (nx == 0)
			grid = outline;
		for (unsigned int i = 0; i < nx; ++i)
			for (unsigned int j = 0; j < ny; ++j) {
				const ZEBMK::Vector3D candidate(xMin + (i + 0.5) * m_gridWidth, yMin + (j + 0.5) * m_gridWidth, z0);
				if (outline.pointInPolygon(candidate) >= 0)
					grid.m_points.push_back(candidate);
			}
		if (rotated)
			grid.rotatePolyline(backRotation);

		obj.m_gridPoints = grid;
		obj.m_gridReady = true;
	}
}


void SunShadingAlgorithm::calcShading(const ZEBMK::Vector3D & sunNormal) {
	calcShadingOneElement(sunNormal);
}


void SunShadingAlgorithm::calcShadingOneElement(const ZEBMK::Vector3D & sunNormal) {
	for (ShadingObj & obj : m_shadingObjects) {
		std::vector<ZEBMK::Vector3D> points = obj.m_gridPoints.m_points;
		const std::size_t count = points.size();
		std::size_t shaded = 0;
		for (Polygon & obstacle : m_obstacles) {
			const ZEBMK::Vector3D m = obstacle.calcNormal(true);
			const double ms = m.dot(sunNormal);
			// rays parallel to the obstacle's plane never meet it
			if (ms == 0)
				continue;
			const double d = m.dot(obstacle.m_points[0]);
			std::vector<ZEBMK::Vector3D> unshaded;
			unshaded.reserve(points.size());
			for (const ZEBMK::Vector3D & g : points) {
				const double t = (d - m.dot(g)) / ms;
				if (t > 0 && obstacle.pointInPolygon(g + sunNormal * t) >= 0)
					++shaded;
				else
					unshaded.push_back(g);
			}
			// a point shaded by several obstacles counts once
			points.swap(unshaded);
		}
		obj.m_result = count == 0 ? 0.0 : double(shaded) / double(count);
	}
}


void SunShadingAlgorithm::clear() {
	m_shadingObjects.clear();
	m_obstacles.clear();
}

} // namespace RX
