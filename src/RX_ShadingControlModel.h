#ifndef RX_ShadingControlModelH
#define RX_ShadingControlModelH

#include <cstdint>
#include <vector>

#include <QString>

#include "RX_Schedule.h"
#include "RX_StructuralShading.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

class RoomConstruction;
class ShadingType;

/*! How far the movable shading of each window (blind, awning, shutter of a database shading
	type) is closed, as a factor on the window's solar gain between the type's z (closed) and 1
	(open): always closed, by schedule, or closed while the radiation on the window exceeds a
	threshold that depends on the window's orientation. No memory, no hysteresis.

	A plain value held by the room; element "ShadingControlModel" of the project file, which also
	holds the room's structural shadings, one per room construction.
*/
class ShadingControlModel {
public:
	/*! The texts of the "modelType" attribute are the enumerator names. */
	enum ModelType : std::uint32_t {
		CONSTANT				= 0,	///< Always closed.
		SCHEDULED				= 1,	///< Closed by the degree of the schedule.
		INTENSITY_CONTROLLED	= 2		///< Closed above the radiation threshold.
	};

	/*! Type CONSTANT, thresholds 250 W/m2, a constant schedule of 1 (closed). */
	ShadingControlModel();

	/*! Factor on the solar gain of a window with shading type shadingType (not null) at hour of
		year h, time t [s], total radiation on the window's surface [W/m2], orientation and
		inclination [Deg]. */
	double unshadedWindowPercentage(const ShadingType * shadingType, unsigned int h, double t,
									double radiation, double orientation, double inclination) const;
	/*! Radiation on a window of the orientation and inclination given [Deg] above which the
		shading closes [W/m2]: infinity unless the model type switches on the radiation
		(INTENSITY_CONTROLLED). */
	double radiationLimit(double orientation, double inclination) const;

	/*! Reads the element the reader stands on, with its structural shadings (appended). Unknown
		children are skipped with a warning, a structural shading that breaks the reader is
		dropped with a warning, a missing model type keeps the type, an unknown one throws as
		keywordIndex, text that is no finite number of 0 or more (degrees of closure: 0 to 1)
		throws as readFiniteRealElement. */
	void readXML(QXmlStreamReader & reader);
	/*! Writes the element; constructions are the room's, in the order of the structural shadings. */
	void writeXML(QXmlStreamWriter & writer, const std::vector<RoomConstruction> & constructions) const;

	QString		m_name;
	ModelType	m_modelType = CONSTANT;
	/*! Threshold for inclinations below 45 deg [W/m2]. */
	double		m_maxRadiationIntensityHorizontal = 250;
	/*! Threshold for orientations 225..315 deg [W/m2]. */
	double		m_maxRadiationIntensityWest = 250;
	/*! Threshold for orientations 315..360 and 0..45 deg [W/m2]. */
	double		m_maxRadiationIntensityNorth = 250;
	/*! Threshold for orientations 135..225 deg [W/m2]. */
	double		m_maxRadiationIntensitySouth = 250;
	/*! Threshold for orientations 45..135 deg [W/m2]. */
	double		m_maxRadiationIntensityEast = 250;
	/*! Degree of closure, 0 open to 1 closed; used by SCHEDULED. */
	Schedule	m_scheduleShadingDegree;
	/*! Index i belongs to room construction i. */
	std::vector<StructuralShading>	m_structuralShadings;
	QString		m_structuralShadingDescription;
};

} // namespace RX

#endif // RX_ShadingControlModelH
