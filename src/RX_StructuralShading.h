#ifndef RX_StructuralShadingH
#define RX_StructuralShadingH

#include <utility>
#include <vector>

#include <QString>

#include "ZEB_LinearSpline.h"
#include "ZEB_Path.h"

#include "RX_SunShadingAlgorithm.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

class ClimateLocationData;
class RoomConstruction;

/*! The fixed shading of one window: an overhang and up to two side fins, a table of shading
	factors over the year from a CSV file, or both. The result is a factor 0..1 on the window's
	solar gain, zF(t), the product of the file factor and the geometric factor.

	A plain value; the shading control model holds one per room construction, in the order of
	the room's constructions (index i belongs to room construction i). Element "StructuralShading"
	of the project file. The geometric factor is computed once, by updateAll(), with the sun
	positions of a climate location that the caller keeps alive (not owned).

	The factors are periodic over the 365-day year: a time t is evaluated at its time of year, so
	every year of a multi-year run is shaded alike.
*/
class StructuralShading {
public:
	/*! Azimuth (from north towards east) and elevation of the sun [rad]. */
	typedef std::pair<double, double> SunPosition;

	/*! Takes window area, orientation and inclination of an outside construction (area and
		height 0 for any other type); a missing window height becomes the integer part of
		sqrt(area). Forgets the climate location and the geometric factor. */
	void initShadingDevice(const RoomConstruction & construction);
	/*! Reads the shading file (relative to baseDir, or, with workingDirFallback, where nothing of
		its name lies there, to the working directory) into the file factor, then computes the
		geometric factor with the sun positions of location; throws ZEB::Exception. */
	void updateAll(const ZEB::Path & baseDir, const ClimateLocationData * location, bool workingDirFallback = false);
	/*! Computes the geometric factor, one value per hour of the year; nothing without a device,
		window area or climate location. Throws ZEB::Exception. */
	void updateShadingDevice();
	/*! Puts window and obstacles into the sun shading algorithm in the wall's own frame (wall in
		y = 0, outside towards -y, x to the right seen from outside, z up), replacing what it held.
		False without window area or height. */
	bool createSouthWall();
	/*! Appends the sun positions of the 8760 hours of the year (local standard time) at the
		climate location; throws without one. */
	void createSunNormals(std::vector<SunPosition> & sunPositions) const;

	/*! Shading factor at simulation time t [s]: fileFactor(t) * geometryFactor(t). */
	double zF(double t) const;
	/*! The file's factor at the time of year of t [s]; 1 without file values. */
	double fileFactor(double t) const;
	/*! The overhang's and fins' factor at the time of year of t [s]; 1 without geometric values. */
	double geometryFactor(double t) const;
	/*! True when the file or the geometric factor holds values. */
	bool hasValues() const;
	/*! True when the overhang or a side fin is present. */
	bool hasShadingDevice() const;

	/*! Reads the element the reader stands on; unknown children are skipped with a warning,
		incomplete devices are dropped silently. */
	void readXML(QXmlStreamReader & reader);
	/*! Writes the element "StructuralShading"; only present devices and set values. */
	void writeXML(QXmlStreamWriter & writer) const;

	/*! CSV file of shading factors, "file" or "file?column" (column 1 by default, 0 is the time). */
	QString		m_shadingFileName;
	/*! [m2] from the room construction; not stored in the file. */
	double		m_windowArea = 0;
	/*! [m]; the window width is area / height. */
	double		m_windowHeight = 0;
	/*! [Deg] 0 north, 90 east, 180 south, 270 west. */
	double		m_orientation = 0;
	/*! [Deg] 0 horizontal, 90 vertical. */
	double		m_inclination = 0;

	bool		m_hasOverhang = false;
	/*! Depth by which the overhang projects from the wall [m]. */
	double		m_overhangWidth = 0;
	/*! Length along the wall [m]. */
	double		m_overhangLength = 0;
	/*! Offset of the overhang's centre from the window's centre, positive to the right seen from outside [m]. */
	double		m_overhangOffset = 0;
	/*! Height above the window's top edge [m]. */
	double		m_overhangDistance = 0;

	/*! Fin left of the window, seen from outside. */
	bool		m_hasSideFinA = false;
	/*! Depth by which the fin projects from the wall [m]. */
	double		m_sideFinAWidth = 0;
	/*! Vertical extent [m]. */
	double		m_sideFinAHeight = 0;
	/*! Height of the fin's top edge above the window's top edge [m]. */
	double		m_sideFinAOffset = 0;
	/*! Distance from the window's left edge [m]. */
	double		m_sideFinADistance = 0;

	/*! Fin right of the window; as fin A, the distance from the window's right edge. */
	bool		m_hasSideFinB = false;
	double		m_sideFinBWidth = 0;
	double		m_sideFinBHeight = 0;
	double		m_sideFinBOffset = 0;
	double		m_sideFinBDistance = 0;

	/*! Factor from the file over time [s]. */
	ZEB::LinearSpline	m_fileSpline;
	/*! Factor from overhang and fins, one point per hour of the year, x in [s]. */
	ZEB::LinearSpline	m_geometrySpline;
	/*! Whose sun positions are used; not owned. */
	const ClimateLocationData *	m_climateLocation = nullptr;
	/*! Spacing of the window's grid points [m]. */
	double				m_gridWidth = 0.1;
	/*! Sun directions closer than this [Deg] share one shading calculation. */
	double				m_sunAngleTolerance = 2.0;
	SunShadingAlgorithm	m_sunShadingAlgorithm;
};

} // namespace RX

#endif // RX_StructuralShadingH
