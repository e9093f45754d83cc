#ifndef RX_RoomH
#define RX_RoomH

#include <vector>

#include <QList>
#include <QString>

#include "RX_CoolingModel.h"
#include "RX_DIN4108_2Assessment.h"
#include "RX_HeatingModel.h"
#include "RX_MechanicalVentilationModel.h"
#include "RX_MoistureLoads.h"
#include "RX_NaturalVentilationModel.h"
#include "RX_ProjectInformation.h"
#include "RX_RoomConstruction.h"
#include "RX_ShadingControlModel.h"
#include "RX_UserLoads.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace RX {

class ConstructionType;
class Database;
class Material;
class ShadingType;
class WindowType;

/*! The root of a project: the one simulated room with its geometry, constructions, climate
	location, load and control sub-models, summer assessment, project information and simulation
	parameters.

	A plain value that owns everything by value. A fresh room is a complete, simulatable test
	room (setTestData). The project file ("RoomModelProject" document) stores the room together
	with the database items its constructions use; readXML merges those items into a database,
	renumbering ids that clash, and points the constructions at them.
*/
class Room {
public:
	/*! Sub-models with their own defaults, then setTestData(). */
	Room();

	/*! Overwrites the room with the test room: four constructions (an outside wall with window
		and shading, three inside constructions) with one structural shading each, 15 m2 floor,
		3 m height, heating SIMPLE with 2500 W and a constant set point, nobody present, one year
		from 0 s. */
	void setTestData();

	/*! Room air volume [m3]. */
	double volume() const { return m_area * m_height; }
	/*! Room height [m]. */
	double height() const { return m_height; }
	/*! Where a run of the room ends [s]: after two years (63072000 s) for a cyclic run, whatever
		the end time says, else at the end time. */
	double runEndTime() const;

	/*! Writes the complete project document: declaration, document type, the room, the database
		items of db that the constructions use (and the materials of their construction types),
		the assessment. db must not be null; without one no items are embedded. */
	void writeXML(QXmlStreamWriter & writer, const Database * db) const;

	/*! Reads a complete project document from a reader positioned before its root element and
		merges the embedded database items into db. Elements that the file lacks leave their
		members unchanged, apart from the constructions and their structural shadings, which are
		always replaced.
		A root other than "RoomModelProject" and malformed XML leave an error in the reader (no
		exception); the caller must test it. Invalid simulation parameters and values of the
		sub-models (no number, a value no room can have, a keyword the reader does not know)
		throw ZEB::Exception; unknown elements are skipped with a warning (those at the top level
		are transparent). db is changed only when the whole document has been read without
		error. Afterwards there is one structural shading per construction. */
	void readXML(QXmlStreamReader & reader, Database & db);

	/*! Read the children of the "Room", "Geometry" and "SimulationParameters" elements; the
		reader stands on the start element and is left on the matching end element. */
	void readRoomSection(QXmlStreamReader & reader);
	void readGeometrySection(QXmlStreamReader & reader);
	/*! Throws ZEB::Exception for a start time below 0 s, an end time <= 0 or not after the
		start, an output step below 1 s, and, for a cyclic two-year simulation, anything but
		3600 s steps over exactly one year from 0 s. */
	void readSimulationParametersSection(QXmlStreamReader & reader);

	/*! Throws ZEB::Exception naming the hour and both set points when, at the start of some hour
		of the run, the heating set point lies above the cooling set point of the cooling or of
		the mechanical ventilation while both of them act (neither of type NONE nor without
		power or flow; the summer assessment, when active, brings its own controllers): heater
		and cooler would work against each other at full power. readXML() checks it. */
	void checkSetPoints() const;

	/*! Option bits of the FMU interface; only stored here. */
	int							m_interfaceDefinition;
	/*! Floor area [m2]. */
	double						m_area;
	/*! Room height [m]. */
	double						m_height;
	/*! Specific heat capacity of the additional mass in the room [J/kgK]. */
	double						m_additionalMassHeatCapacity;
	/*! Additional mass in the room (furniture) [kg]. */
	double						m_additionalMass;
	/*! Share of the heating load given to the room air [0..1]. */
	double						m_gammaHC;
	/*! Share of the window solar gain given to the room air [0..1]. */
	double						m_gammaRad;
	/*! Initial room temperature [C]. */
	double						m_TInitial;
	/*! Initial relative humidity [0..1]; "RHInitial" in % in the file. */
	double						m_RHInitial;
	/*! Output step [s]; read, never written. */
	double						m_outputTimeSteps;
	/*! Two years, the first to settle; read, never written. */
	bool						m_cyclicTwoYearSimulation;
	/*! [s] */
	double						m_simulationEndTime;
	/*! [s] */
	double						m_simulationStartTime;
	/*! Solve the room's moisture balance beside its heat balance. */
	bool						m_moistureBalanceEnabled;
	/*! Diffuse radiation on inclined surfaces by the Perez model. */
	bool						m_usePerezModel;

	HeatingModel				m_heatingModel;
	CoolingModel				m_coolingModel;
	MechanicalVentilationModel	m_mechanicalVentilationModel;
	NaturalVentilationModel		m_naturalVentilationModel;
	MoistureLoads				m_moistureLoads;
	UserLoads					m_userLoads;
	/*! Movable shading of the windows, and the structural shadings, one per construction. */
	ShadingControlModel			m_shadingControlModel;

	std::vector<RoomConstruction>	m_constructions;
	DIN4108_2Assessment			m_din4108_2Assessment;

	/*! Ground reflectance [0..1]. */
	double						m_albedo;
	/*! The climate data file, relative to the climate data directories. */
	QString						m_climateLocation;
	ProjectInformation			m_projectInformation;

	/*! Absolute path of the project file the room was read from; set by whoever reads the file,
		never stored in it. Relative paths of the project (zone temperature files, shading
		tables) are resolved against its directory. */
	QString						m_projectFilePath;

private:
	/*! Merges the embedded items into db and points the constructions at the ids they got.
		Every decision goes to the message handler. Construction types may have their layer
		material ids rewritten. */
	void importEmbeddedDatabase(Database & db, QList<Material> & materials,
								QList<ConstructionType> & constructionTypes,
								QList<WindowType> & windowTypes, QList<ShadingType> & shadingTypes);
	/*! One structural shading per construction, each with its construction's window. */
	void adjustStructuralShadings();
};


/*! Reads every child element of the reader's current element as one T (T() and T::readXML)
	and appends it to list; returns on the current element's end element. A reader error after
	an item, or a null list, throws ZEB::Exception naming the item's position (from 1). */
template <typename T>
void readSubSection(QXmlStreamReader & reader, QList<T> * list);

} // namespace RX

#endif // RX_RoomH
