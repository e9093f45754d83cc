#ifndef RX_RoomConstructionH
#define RX_RoomConstructionH

#include <QString>

#include "ZEB_LinearSpline.h"
#include "ZEB_Path.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

class ConstructionType;
class Database;
class ShadingType;
class WindowType;

/*! One enclosing surface of the room: an outside wall or roof, an inside construction, or a
	construction towards another zone of given temperature and humidity. It names its
	construction, window and shading types by database id (0 = none) and holds orientation,
	surface transfer coefficients and areas. A plain value, read and written as one
	"RoomConstruction" element of text children.
*/
class RoomConstruction {
public:
	enum Type {
		Outside				= 0,	///< Exposed to the outdoor climate.
		Inside				= 1,	///< Both sides in the room.
		FixedTemperature	= 2		///< Towards another zone of given climate.
	};

	/*! Reads the children of the "RoomConstruction" element the reader stands on, in any
		order, up to its end element. Text that is no number throws as readFiniteRealElement
		(ids: readUnsignedElement), as does a value no construction can have (negative areas and
		transfer coefficients, ad outside 0..1, zoneRH outside 0..100 %, zoneT below absolute
		zero); a type other than "Outside", "Inside" and "FixedTemperature" throws as
		keywordIndex; unknown children are skipped with a warning; absent children leave their
		members. */
	void readXML(QXmlStreamReader & reader);
	/*! Writes the element; zoneT in C, zoneRH in %, zoneTCCD only when set. */
	void writeXML(QXmlStreamWriter & writer) const;

	/*! Checks the ids against db, the referenced items' own validity and the areas; at the
		first failure stores a translated reason in errmsg and returns false. */
	bool isValid(const Database * db, QString & errmsg) const;

	/*! Translated display text of a type. */
	static QString typeToString(Type type);

	/*! Construction type id; 0 = none. */
	unsigned int			m_constructionId = 0;
	/*! Window type id; 0 = no window. */
	unsigned int			m_windowId = 0;
	/*! Shading type id; 0 = no shading. */
	unsigned int			m_shadingTypeId = 0;
	Type					m_type = Outside;
	/*! Orientation [Deg], from north clockwise. */
	double					m_orientation = 270.0;
	/*! Inclination [Deg] against the horizontal. */
	double					m_inclination = 90.0;
	/*! Outside surface resistance [m2K/W]. */
	double					m_R_ue = 0.04;
	/*! Inside surface resistance [m2K/W]. */
	double					m_R_ui = 0.13;
	/*! Inside vapour transfer coefficient [s/m]. */
	double					m_beta_i = 3e-08;
	/*! Outside vapour transfer coefficient [s/m]. */
	double					m_beta_e = 2e-07;
	/*! Short-wave absorption coefficient of the outside surface [0..1]. */
	double					m_ad = 0.7;
	/*! File with the other zone's temperatures; empty for none. */
	ZEB::Path				m_zoneTCCD;
	/*! The other zone's temperature [K] over time [s]; filled by the room model, not stored. */
	ZEB::LinearSpline		m_zoneTSpline;
	/*! The other zone's temperature [K]. */
	double					m_zoneT = 285.15;
	/*! The other zone's relative humidity [0..1]. */
	double					m_zoneRH = 0.5;
	/*! Opaque wall area [m2], without the window: the window's area is m_AF. */
	double					m_AW = 10.0;
	/*! Window area [m2]. */
	double					m_AF = 0.0;

	/*! The database items of the ids, set by the room model (null for id 0); not owned. */
	const ConstructionType *	m_constructionType = nullptr;
	const WindowType *			m_windowType = nullptr;
	const ShadingType *			m_shadingType = nullptr;
	/*! Id of this construction's surface in the solar radiation model, set by the room model;
		-1 before it is registered. */
	int							m_solarSurfaceId = -1;
};

/*! The file that a project names by path (a zone temperature or shading factor file): an
	absolute path as it is; a relative one beside the project, in projectDir, or, only where
	nothing of that name lies there and workingDirFallback is set, in the working directory.
	Without such a file, the path beside the project, for the caller's message. */
ZEB::Path referencedFile(const ZEB::Path & path, const ZEB::Path & projectDir, bool workingDirFallback);

} // namespace RX

#endif // RX_RoomConstructionH
