#include "RX_Polygon.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "ZEB_Constants.h"
#include "ZEB_Exception.h"
#include "ZEB_Math.h"

namespace RX {

namespace {

double length(const ZEBMK::Vector3D & v) {
	return std::sqrt(v.dot(v));
}

ZEBMK::Vector3D cross(const ZEBMK::Vector3D & a, const ZEBMK::Vector3D & b) {
	return ZEBMK::Vector3D(a.m_y * b.m_z - a.m_z * b.m_y,
						   a.m_z * b.m_x - a.m_x * b.m_z,
						   a.m_x * b.m_y - a.m_y * b.m_x);
}

ZEBMK::Vector3D apply(const ZEB::matrix<double> & M, const ZEBMK::Vector3D & p) {
	return ZEBMK::Vector3D(M[0][0] * p.m_x + M[0][1] * p.m_y + M[0][2] * p.m_z,
						   M[1][0] * p.m_x + M[1][1] * p.m_y + M[1][2] * p.m_z,
						   M[2][0] * p.m_x + M[2][1] * p.m_y + M[2][2] * p.m_z);
}

// divided by its length unless that is 0; a true division, as the collinearity test compares the
// results exactly and x * (1 / x) may round below 1
ZEBMK::Vector3D unitOrSelf(const ZEBMK::Vector3D & v) {
	const double len = length(v);
	return len != 0 ? ZEBMK::Vector3D(v.m_x / len, v.m_y / len, v.m_z / len) : v;
}

/*! Planes whose rotation axis n x (0,0,1) is at most this long are tested without rotation. */
const double ROTATION_THRESHOLD = 0.1;

} // namespace


void Polygon::removeDuplicatePoints() {
	std::size_t i = 0;
	while (m_points.size() > 1) {
		const std::size_t j = (i + 1) % m_points.size();
		if (m_points[j] == m_points[i]) {
			if (j == 0) {
				// the last point repeats the first
				m_points.pop_back();
				break;
			}
			m_points.erase(m_points.begin() + j);
			continue;
		}
		if (j == 0)
			break;
		++i;
	}
	if (m_points.size() < 3)
		throw ZEB::Exception("Polyline has less then 3 Points after removing duplicates.",
							 "[Polygon::removeDuplicatePoints]");
}


void Polygon::removePointsInLine() {
	removeDuplicatePoints();
	std::size_t i = 0;
	while (m_points.size() >= 3) {
		const std::size_t n = m_points.size();
		const std::size_t j = (i + 1) % n;
		const std::size_t k = (i + 2) % n;
		const ZEBMK::Vector3D u = unitOrSelf(m_points[j] - m_points[i]);
		const ZEBMK::Vector3D w = unitOrSelf(m_points[k] - m_points[i]);
		if (u == w) {
			m_points.erase(m_points.begin() + j);
			if (j == 0)
				break;
			continue;
		}
		if (j == 0)
			break;
		++i;
	}
	if (m_points.size() < 3)
		throw ZEB::Exception("Polyline has less then 3 Points after removing points on a line.",
							 "[Polygon::removePointsInLine]");
}


ZEBMK::Vector3D Polygon::calcNormal(bool normalise) {
	if (m_points.size() < 3)
		throw ZEB::Exception("Polyline has less then 3 Points.", "[Polygon::calcNormal]");
	removePointsInLine();
	ZEBMK::Vector3D n;
	const std::size_t count = m_points.size();
	for (std::size_t i = 0; i < count; ++i) {
		const ZEBMK::Vector3D & a = m_points[i];
		const ZEBMK::Vector3D & b = m_points[(i + 1) % count];
		n.m_x += (a.m_y - b.m_y) * (a.m_z + b.m_z);
		n.m_y += (a.m_z - b.m_z) * (a.m_x + b.m_x);
		n.m_z += (a.m_x - b.m_x) * (a.m_y + b.m_y);
	}
	if (normalise)
		n = unitOrSelf(n);
	return n;
}


double Polygon::calcSurfaceSize() {
	removePointsInLine();
	ZEBMK::Vector3D sum;
	const std::size_t count = m_points.size();
	for (std::size_t i = 0; i < count; ++i)
		sum = sum + cross(m_points[i], m_points[(i + 1) % count]);
	return 0.5 * length(sum);
}


double Polygon::distancePointToPlane(const ZEB::point3D<double> & p) {
	const ZEBMK::Vector3D n = calcNormal(true);
	const ZEBMK::Vector3D pv(p.m_x, p.m_y, p.m_z);
	return (pv.dot(n) - n.dot(m_points[0])) / length(n);
}


void Polygon::changeNormalDirection() {
	std::vector<ZEBMK::Vector3D> reversed(m_points.rbegin(), m_points.rend());
	m_points.swap(reversed);
}


ZEBMK::Vector3D Polygon::rotaMatrixMultiplyVector(const ZEB::matrix<double> & M, unsigned int i) const {
	if (i >= m_points.size())
		throw ZEB::Exception("Index is outside of polyline size.", "[Polygon::rotaMatrixMultiplyVector]");
	return apply(M, m_points[i]);
}


void Polygon::rotatePolyline(const ZEB::matrix<double> & M) {
	for (ZEBMK::Vector3D & p : m_points)
		p = apply(M, p);
}


void Polygon::rotateAndShiftPolyline(const ZEB::matrix<double> & M, const ZEBMK::Vector3D & shift) {
	rotatePolyline(M);
	if (shift == ZEBMK::Vector3D())
		return;
	for (ZEBMK::Vector3D & p : m_points)
		p = p + shift;
}


void Polygon::rotatePolyline(const ZEBMK::Vector3D & axis, double c, const ZEBMK::Vector3D & point) {
	const bool shifted = point != ZEBMK::Vector3D();
	const ZEB::matrix<double> M = rotationMatrixForStraightOrigin(c, axis, true);
	for (ZEBMK::Vector3D & p : m_points) {
		if (shifted)
			p = apply(M, p - point) + point;
		else
			p = apply(M, p);
	}
}


ZEB::matrix<double> Polygon::rotationMatrixForStraightOrigin(const double & c, const ZEBMK::Vector3D & axis,
															 bool positive)
{
	ZEB::matrix<double> M(3, 3, 0.0);
	if (axis == ZEBMK::Vector3D()) {
		M[0][0] = M[1][1] = M[2][2] = 1;
		return M;
	}
	const ZEBMK::Vector3D u = unitOrSelf(axis);
	double s = std::sqrt(std::max(0.0, 1 - c * c));
	if (!positive)
		s = -s;
	const double t = 1 - c;
	M[0][0] = u.m_x * u.m_x * t + c;
	M[0][1] = u.m_x * u.m_y * t - u.m_z * s;
	M[0][2] = u.m_x * u.m_z * t + u.m_y * s;
	M[1][0] = u.m_x * u.m_y * t + u.m_z * s;
	M[1][1] = u.m_y * u.m_y * t + c;
	M[1][2] = u.m_y * u.m_z * t - u.m_x * s;
	M[2][0] = u.m_x * u.m_z * t - u.m_y * s;
	M[2][1] = u.m_y * u.m_z * t + u.m_x * s;
	M[2][2] = u.m_z * u.m_z * t + c;
	return M;
}


ZEB::matrix<double> Polygon::rotationMatrixForStraightOrigin(const double & v, const ZEBMK::Vector3D & axis) {
	const double c = ZEB::f_sqrt(1 - v * v);
	return rotationMatrixForStraightOrigin(c, axis, true);
}


int Polygon::pointInPolygon(const ZEBMK::Vector3D & X) {
	const ZEBMK::Vector3D n = calcNormal(true);
	// the test runs on copies, so the polygon keeps its (cleaned) points
	std::vector<ZEBMK::Vector3D> points = m_points;
	ZEBMK::Vector3D x = X;
	const ZEBMK::Vector3D axis(n.m_y, -n.m_x, 0);
	if (length(axis) > ROTATION_THRESHOLD) {
		const ZEB::matrix<double> R = rotationMatrixForStraightOrigin(n.m_z, axis, true);
		for (ZEBMK::Vector3D & p : points)
			p = apply(R, p);
		x = apply(R, x);
	}
	int t = -1;
	const std::size_t count = points.size();
	for (std::size_t i = 1; i <= count && t != 0; ++i)
		t *= crossProdTest(x, points[i - 1], points[i % count]);
	return t;
}


int crossProdTest(ZEBMK::Vector3D A, ZEBMK::Vector3D B, ZEBMK::Vector3D C) {
	if (B.m_y > C.m_y)
		std::swap(B, C);
	if (A.m_y <= B.m_y || A.m_y > C.m_y)
		return 1;
	const double delta = (B.m_x - A.m_x) * (C.m_y - A.m_y) - (B.m_y - A.m_y) * (C.m_x - A.m_x);
	if (delta > 0)
		return 1;
	if (delta < 0)
		return -1;
	return 0;
}


double angleVectors(const ZEBMK::Vector3D & a, const ZEBMK::Vector3D & b) {
	double cosAngle = a.dot(b) / (length(a) * length(b));
	// rounding can push the cosine of (anti)parallel unit vectors just past 1
	if (cosAngle > 1)
		cosAngle = 1;
	else if (cosAngle < -1)
		cosAngle = -1;
	return std::acos(cosAngle) / ZEB::DEG2RAD;
}

} // namespace RX
