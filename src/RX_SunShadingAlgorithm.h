#ifndef RX_SunShadingAlgorithmH
#define RX_SunShadingAlgorithmH

#include <vector>

#include "ZEBMK_Vector3D.h"

#include "RX_Polygon.h"

namespace RX {

/*! Which part of a plane surface (a window) plane obstacles (overhang, fins) shade for one sun
	direction: the surface is covered with a grid of points at the centres of square cells, and a
	point is shaded when its ray towards the sun meets an obstacle.

	A plain value; the structural shading owns one and fills it in the wall's own frame. Lay the
	grids once (initializeGrid), then ask calcShading for each sun direction and read the result
	of the last shading object.
*/
class SunShadingAlgorithm {
public:
	/*! A surface whose shading is computed. */
	struct ShadingObj {
		/*! Grid points on the surface, laid by initializeGrid(). */
		Polygon	m_gridPoints;
		bool	m_gridReady = false;
		/*! The surface's corner points. */
		Polygon	m_polygon;
		/*! Shaded fraction of the last calculation, 0 unshaded to 1 fully shaded; 0 without grid points. */
		double	m_result = 0;
	};

	/*! Lays the grid of every shading object; throws for an outline of fewer than 3 points and
		passes on the polygon errors. */
	void initializeGrid();
	/*! Computes the result of every shading object for sunNormal, pointing from the surface
		towards the sun, in the frame of the polygons. Obstacles lose their collinear corners. */
	void calcShading(const ZEBMK::Vector3D & sunNormal);
	/*! The calculation calcShading() runs: the result of every shading object in turn. */
	void calcShadingOneElement(const ZEBMK::Vector3D & sunNormal);
	/*! Drops all shading objects and obstacles, so that a set-up can be repeated. */
	void clear();

	std::vector<ShadingObj>	m_shadingObjects;
	/*! Plane polygons that cast shade. */
	std::vector<Polygon>	m_obstacles;
	/*! Spacing of the grid points [m]. */
	double					m_gridWidth = 0.1;
};

} // namespace RX

#endif // RX_SunShadingAlgorithmH
