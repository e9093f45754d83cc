#ifndef RX_PolygonH
#define RX_PolygonH

#include <vector>

#include "ZEBMK_Vector3D.h"
#include "ZEB_Matrix.h"
#include "ZEB_Point3D.h"

namespace RX {

/*! A plane polygon in space, closed implicitly (the last point connects to the first, which is
	not repeated), with what the sun shading needs: Newell normal, area, point-in-polygon test and
	rotations.

	Points are compared exactly. calcNormal(), calcSurfaceSize(), distancePointToPlane() and
	pointInPolygon() first drop repeated and collinear corners for good, so a polygon may hold
	fewer points afterwards. Rotation matrices are 3 x 3, three rows; M applied to p is
	(row 0 . p, row 1 . p, row 2 . p).
*/
class Polygon {
public:
	Polygon() = default;
	explicit Polygon(const std::vector<ZEBMK::Vector3D> & points) : m_points(points) {}

	/*! Drops every point equal to its predecessor (the last one also when equal to the first).
		Throws when fewer than 3 points remain. */
	void removeDuplicatePoints();
	/*! removeDuplicatePoints(), then drops points that lie on the ray from their predecessor
		through their successor. Throws when fewer than 3 points remain. */
	void removePointsInLine();
	/*! Newell normal of the cleaned polygon, of unit length when normalise (unless zero);
		points counter-clockwise towards a viewer give a normal pointing at the viewer. Throws for
		fewer than 3 points. */
	ZEBMK::Vector3D calcNormal(bool normalise);
	/*! Area [m2] of the cleaned polygon. */
	double calcSurfaceSize();
	/*! Signed distance of p from the plane, positive on the side the normal points to. */
	double distancePointToPlane(const ZEB::point3D<double> & p);
	/*! Reverses the point order and so the normal. */
	void changeNormalDirection();

	/*! M applied to point i; throws for i out of range. */
	ZEBMK::Vector3D rotaMatrixMultiplyVector(const ZEB::matrix<double> & M, unsigned int i) const;
	/*! Applies M to every point. */
	void rotatePolyline(const ZEB::matrix<double> & M);
	/*! Applies M to every point, then adds shift. */
	void rotateAndShiftPolyline(const ZEB::matrix<double> & M, const ZEBMK::Vector3D & shift);
	/*! Rotates about the straight line through point with direction axis by the angle whose
		cosine is c (right-handed). */
	void rotatePolyline(const ZEBMK::Vector3D & axis, double c, const ZEBMK::Vector3D & point);

	/*! Right-handed rotation by the angle with cosine c about axis through the origin (the
		inverse rotation when not positive); identity for a zero axis. With c = n_z and
		axis = n x (0,0,1) for a unit normal n, the positive rotation turns n onto (0,0,1). */
	static ZEB::matrix<double> rotationMatrixForStraightOrigin(const double & c, const ZEBMK::Vector3D & axis,
															   bool positive);
	/*! As above, positive, with c = sqrt(1 - v^2); throws for |v| > 1. */
	static ZEB::matrix<double> rotationMatrixForStraightOrigin(const double & v, const ZEBMK::Vector3D & axis);

	/*! +1 when X lies inside, 0 on an edge, -1 outside; X is taken in the polygon's plane. Planes
		tilted more than about 5.7 deg from the horizontal are turned horizontal first; the
		polygon keeps only its cleaning. */
	int pointInPolygon(const ZEBMK::Vector3D & X);

	std::vector<ZEBMK::Vector3D>	m_points;
};

/*! Edge test of the point-in-polygon algorithm in x and y: -1 when the horizontal ray from A
	towards smaller x crosses the edge B-C (lower end excluded, upper end included), 0 when A
	lies on it, +1 otherwise. */
int crossProdTest(ZEBMK::Vector3D A, ZEBMK::Vector3D B, ZEBMK::Vector3D C);

/*! Angle between a and b [Deg]. */
double angleVectors(const ZEBMK::Vector3D & a, const ZEBMK::Vector3D & b);

} // namespace RX

#endif // RX_PolygonH
