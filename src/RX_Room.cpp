#include "RX_Room.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <vector>

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Time.h"

#include "RX_Constants.h"
#include "RX_ConstructionType.h"
#include "RX_Database.h"
#include "RX_KnownNames.h"
#include "RX_Material.h"
#include "RX_ShadingType.h"
#include "RX_WindowType.h"
#include "RX_XMLHelpers.h"

namespace RX {

namespace {

const char * const READ_LOCATION = "[Room::readXML]";
const char * const SIMULATION_PARAMETERS_LOCATION = "[Room::readSimulationParametersSection]";

/*! A run starts at 0 s, as without the element, or later. */
constexpr ValueRange START_TIME{0, true, std::numeric_limits<double>::infinity(), "a time of 0 s or more"};
/*! A run ends after 0 s, whatever its start. */
constexpr ValueRange END_TIME{0, false, std::numeric_limits<double>::infinity(), "a time of more than 0 s"};
/*! Outputs come at least a second apart. */
constexpr ValueRange OUTPUT_TIME_STEP{1, true, std::numeric_limits<double>::infinity(), "a time step of 1 s or more"};

/*! Text that is no finite number within range is refused. */
double readReal(QXmlStreamReader & reader, const char * section, const char * location,
				const ValueRange & range = ANY_NUMBER)
{
	return readFiniteRealElement(reader, section, location, range);
}

double readParameter(QXmlStreamReader & reader, const ValueRange & range) {
	return readReal(reader, "SimulationParameters", SIMULATION_PARAMETERS_LOCATION, range);
}

bool readBool(QXmlStreamReader & reader) {
	return readBoolElement(reader, "SimulationParameters", SIMULATION_PARAMETERS_LOCATION);
}

/*! Times are kept to full precision, right-aligned in 25 characters. */
QString longReal(double value) {
	// QString::asprintf formats in the C locale whatever the process locale is
	return QString::asprintf("%25.20g", value);
}

void progress(const ZEB::FormatString & text) {
	ZEB::ZEB_Message(text, ZEB::MSG_PROGRESS, READ_LOCATION, 1);
}


// *** Embedded database import ***

/*! The messages of one kind of item. */
struct ImportTexts {
	const char * m_announcement;
	/*! %1 name, %2 id of the equal database item. */
	const char * m_existsAlready;
	/*! %1 name, %2 id. */
	const char * m_importedUnderOwnId;
	/*! %1 name, %2 id in the file, %3 id in the database. */
	const char * m_addedUnderNewId;
};

/*! Access to the database items of one kind. */
template <typename T>
struct ImportKind {
	const std::map<unsigned int, T> & (Database::*m_items)() const;
	const T * (Database::*m_byId)(unsigned int) const;
	unsigned int (Database::*m_add)(T &, unsigned int);
};

/*! Merges items into db and returns, from file id to database id, every item that ends up under
	another id than it has in the file. Built-in items that db holds are used as they are, equal
	items are reused (lowest id first), the others added. */
template <typename T>
std::map<unsigned int, unsigned int> importItems(QList<T> & items, Database & db, const ImportKind<T> & kind,
												 const ImportTexts & texts, bool reportReuse)
{
	std::map<unsigned int, unsigned int> replacements;
	if (items.isEmpty())
		return replacements;
	progress(ZEB::FormatString(texts.m_announcement));
	for (T & item : items) {
		ZEB::IndentationGuard indent;
		const unsigned int fileId = item.m_id;
		if (fileId < USER_ID_START && (db.*kind.m_byId)(fileId) != nullptr)
			continue;

		const T * equal = nullptr;
		for (const auto & stored : (db.*kind.m_items)()) {
			if (stored.second == item) {
				equal = &stored.second;
				break;
			}
		}
		if (equal != nullptr) {
			const unsigned int dbId = equal->m_id;
			if (reportReuse)
				progress(ZEB::FormatString("DB-Material (id #%1) has same parameters, reusing this material.\n").arg(dbId));
			if (dbId == fileId)
				continue;
			ZEB::ZEB_Message(ZEB::FormatString(texts.m_existsAlready).arg(item.name().toStdString()).arg(dbId),
							 ZEB::MSG_WARNING, READ_LOCATION, 1);
			replacements[fileId] = dbId;
			continue;
		}

		const std::string name = item.name().toStdString();
		const unsigned int dbId = (db.*kind.m_add)(item, fileId);
		if (dbId == fileId)
			progress(ZEB::FormatString(texts.m_importedUnderOwnId).arg(name).arg(fileId));
		else {
			progress(ZEB::FormatString(texts.m_addedUnderNewId).arg(name).arg(fileId).arg(dbId));
			replacements[fileId] = dbId;
		}
	}
	// an id 0 would make the reference point nowhere
	for (auto it = replacements.begin(); it != replacements.end();) {
		if (it->second == 0)
			it = replacements.erase(it);
		else
			++it;
	}
	return replacements;
}

/*! The new id of id, id itself when it was not replaced. */
unsigned int replaced(const std::map<unsigned int, unsigned int> & replacements, unsigned int id) {
	const auto it = replacements.find(id);
	return it == replacements.end() ? id : it->second;
}

} // namespace


Room::Room() {
	setTestData();
}


void Room::setTestData() {
	m_albedo = 0.2;
	m_climateLocation = "Europe/Germany/TRY2011/DE-04-TRY-2010__Potsdam__Jahr_00000K0_00081m.c6b";
	m_area = 15.0;
	m_height = 3.0;

	struct TestConstruction {
		unsigned int			m_constructionId;
		unsigned int			m_windowId;
		unsigned int			m_shadingTypeId;
		RoomConstruction::Type	m_type;
		double					m_AW;
		double					m_AF;
	};
	const TestConstruction testConstructions[] = {
		{ 7, 5, 2, RoomConstruction::Outside, 6.5, 2.5 },
		{ 11, 0, 0, RoomConstruction::Inside, m_area, 0 },
		{ 9, 0, 0, RoomConstruction::Inside, 30.0, 0 },
		{ 9, 0, 0, RoomConstruction::Inside, 9.0, 0 }
	};
	m_constructions.clear();
	for (const TestConstruction & t : testConstructions) {
		RoomConstruction c;
		c.m_orientation = 270;
		c.m_inclination = 90;
		c.m_R_ue = 0.04;
		c.m_R_ui = 0.13;
		c.m_constructionId = t.m_constructionId;
		c.m_windowId = t.m_windowId;
		c.m_shadingTypeId = t.m_shadingTypeId;
		c.m_type = t.m_type;
		c.m_AW = t.m_AW;
		c.m_AF = t.m_AF;
		m_constructions.push_back(c);
	}
	// the structural shadings belong to the constructions they replace
	m_shadingControlModel.m_structuralShadings.clear();
	adjustStructuralShadings();

	m_cyclicTwoYearSimulation = false;
	m_heatingModel.m_modelType = HeatingModel::SIMPLE;
	m_heatingModel.m_maxPower = 2500.0;
	// the test room heats to the schedule's constant 20 C all year
	m_heatingModel.m_scheduleSetPoints.m_type = Schedule::CONSTANT;
	// and nobody is present
	m_userLoads.m_scheduleOccupancy.m_constantValue = 0;
	m_additionalMassHeatCapacity = 780.0;
	m_additionalMass = 0.0;
	m_gammaHC = 1.0;
	m_gammaRad = 1.0;
	m_outputTimeSteps = 3600.0;
	m_TInitial = 20.0;
	m_RHInitial = 0.5;
	m_moistureBalanceEnabled = false;
	m_usePerezModel = false;
	m_interfaceDefinition = 0;
	m_simulationEndTime = ZEB::SECONDS_PER_YEAR;
	m_simulationStartTime = 0.0;
}


double Room::runEndTime() const {
	if (m_cyclicTwoYearSimulation)
		return 2*ZEB::SECONDS_PER_YEAR;
	return m_simulationEndTime;
}


void Room::writeXML(QXmlStreamWriter & writer, const Database * db) const {
	Q_ASSERT(db != nullptr);
	// The file's head and layout must not depend on how the caller set up the writer: an
	// auto-formatting writer would put a line break before the declaration, and the declaration
	// promises UTF-8.
	writer.setAutoFormatting(false);
	writer.setAutoFormattingIndent(4);
	writer.setCodec("UTF-8");
	// written by hand: Qt would spell the encoding "UTF-8"
	writer.writeProcessingInstruction("xml", "version=\"1.0\" encoding=\"utf-8\"");
	writer.writeDTD("\n<!DOCTYPE RoomModelProject>\n");
	writer.setAutoFormatting(true);
	writer.writeStartElement("RoomModelProject");
	writer.writeAttribute("Version", LONG_VERSION);

	writer.writeStartElement("Room");
	m_projectInformation.writeXML(writer);
	writer.writeStartElement("Geometry");
	writer.writeTextElement("Height", xmlDouble(m_height));
	writer.writeTextElement("Area", xmlDouble(m_area));
	writer.writeStartElement("Constructions");
	for (const RoomConstruction & c : m_constructions)
		if (c.m_constructionId != 0)
			c.writeXML(writer);
	writer.writeEndElement(); // Constructions
	writer.writeEndElement(); // Geometry
	writer.writeTextElement("ClimateLocation", m_climateLocation);
	m_heatingModel.writeXML(writer);
	m_coolingModel.writeXML(writer);
	m_naturalVentilationModel.writeXML(writer);
	m_mechanicalVentilationModel.writeXML(writer);
	m_moistureLoads.writeXML(writer);
	m_userLoads.writeXML(writer);
	// The file holds only the constructions with a type; their structural shadings alone go with
	// them, so that entry i still belongs to construction i of the file when it is read back.
	std::vector<RoomConstruction> writtenConstructions;
	ShadingControlModel shadingControl = m_shadingControlModel;
	shadingControl.m_structuralShadings.clear();
	for (std::size_t i = 0; i < m_constructions.size(); ++i) {
		if (m_constructions[i].m_constructionId == 0)
			continue;
		writtenConstructions.push_back(m_constructions[i]);
		if (i < m_shadingControlModel.m_structuralShadings.size())
			shadingControl.m_structuralShadings.push_back(m_shadingControlModel.m_structuralShadings[i]);
	}
	shadingControl.writeXML(writer, writtenConstructions);

	writer.writeStartElement("SimulationParameters");
	if (m_moistureBalanceEnabled) {
		writer.writeTextElement("MoistureBalanceEnabled", "true");
		writer.writeTextElement("RHInitial", xmlDouble(m_RHInitial * 100));
	}
	if (m_simulationStartTime != 0)
		writer.writeTextElement("SimulationStartTime", longReal(m_simulationStartTime));
	if (m_simulationEndTime != ZEB::SECONDS_PER_YEAR)
		writer.writeTextElement("SimulationEndTime", longReal(m_simulationEndTime));
	// both change the run: a room read back must run as the one written, while a file of a
	// default room stays as it always was
	if (m_outputTimeSteps != 3600)
		writer.writeTextElement("OutputTimeSteps", longReal(m_outputTimeSteps));
	if (m_cyclicTwoYearSimulation)
		writer.writeTextElement("CyclicTwoYearSimulation", "true");
	writer.writeTextElement("TInitial", xmlDouble(m_TInitial));
	writer.writeTextElement("Albedo", xmlDouble(m_albedo));
	writer.writeTextElement("GammaHC", xmlDouble(m_gammaHC));
	writer.writeTextElement("GammaRad", xmlDouble(m_gammaRad));
	writer.writeTextElement("AdditionalMassHeatCapacity", xmlDouble(m_additionalMassHeatCapacity));
	writer.writeTextElement("AdditionalMass", xmlDouble(m_additionalMass));
	if (m_interfaceDefinition != 0)
		writer.writeTextElement("InterfaceDefinition", QString::number(m_interfaceDefinition));
	writer.writeTextElement("UsePerezModel", m_usePerezModel ? "true" : "false");
	writer.writeEndElement(); // SimulationParameters
	writer.writeEndElement(); // Room

	// Every item the constructions use (also those not written), each once, by ascending id.
	std::map<unsigned int, const Material *> materials;
	std::map<unsigned int, const ConstructionType *> constructionTypes;
	std::map<unsigned int, const WindowType *> windowTypes;
	std::map<unsigned int, const ShadingType *> shadingTypes;
	if (db != nullptr) {
		for (const RoomConstruction & c : m_constructions) {
			if (const ConstructionType * item = db->constructionById(c.m_constructionId))
				constructionTypes[c.m_constructionId] = item;
			if (const WindowType * item = db->windowById(c.m_windowId))
				windowTypes[c.m_windowId] = item;
			if (const ShadingType * item = db->shadingTypeById(c.m_shadingTypeId))
				shadingTypes[c.m_shadingTypeId] = item;
		}
		for (const auto & construction : constructionTypes)
			for (unsigned int id : construction.second->m_materialIds)
				if (const Material * item = db->materialById(id))
					materials[id] = item;
	}
	writer.writeStartElement("EmbeddedDataBase");
	writer.writeStartElement("Materials");
	for (const auto & item : materials)
		item.second->writeXML(writer);
	writer.writeEndElement();
	writer.writeStartElement("ConstructionTypes");
	for (const auto & item : constructionTypes)
		item.second->writeXML(writer);
	writer.writeEndElement();
	writer.writeStartElement("WindowTypes");
	for (const auto & item : windowTypes)
		item.second->writeXML(writer);
	writer.writeEndElement();
	writer.writeStartElement("ShadingTypes");
	for (const auto & item : shadingTypes)
		item.second->writeXML(writer);
	writer.writeEndElement();
	writer.writeEndElement(); // EmbeddedDataBase

	writer.writeStartElement("DIN4108_2Assessment_section");
	m_din4108_2Assessment.writeXML(writer);
	writer.writeEndElement();

	writer.writeEndElement(); // RoomModelProject
	writer.writeEndDocument();
}


void Room::readXML(QXmlStreamReader & reader, Database & db) {
	m_constructions.clear();
	// Those of the room read before would otherwise stay in front of the file's and keep their
	// places when the list is cut to the constructions.
	m_shadingControlModel.m_structuralShadings.clear();

	while (!reader.atEnd() && !reader.isStartElement())
		reader.readNext();
	if (!reader.isStartElement()) {
		// a document without any element has left its error in the reader already
		adjustStructuralShadings();
		return;
	}
	if (reader.name() != QLatin1String("RoomModelProject")) {
		reader.raiseError(QString("Expected RoomModelProject-XML, found root element '%1'.").arg(reader.name()));
		adjustStructuralShadings();
		return;
	}
	warnUnknownAttributes(reader, ROOM_MODEL_PROJECT_NAMES, READ_LOCATION);

	QList<Material> materials;
	QList<ConstructionType> constructionTypes;
	QList<WindowType> windowTypes;
	QList<ShadingType> shadingTypes;

	while (!reader.atEnd()) {
		reader.readNext();
		if (!reader.isStartElement())
			continue;
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("Room"))
			readRoomSection(reader);
		else if (tag == QLatin1String("EmbeddedDataBase")) {
			warnUnknownAttributes(reader, EMBEDDED_DATABASE_NAMES, READ_LOCATION);
			while (readKnownChildElement(reader, EMBEDDED_DATABASE_NAMES, READ_LOCATION)) {
				const QString section = reader.name().toString();
				try {
					if (section == QLatin1String("Materials")) {
						warnUnknownAttributes(reader, MATERIALS_NAMES, READ_LOCATION);
						readSubSection(reader, &materials);
					}
					else if (section == QLatin1String("ConstructionTypes")) {
						warnUnknownAttributes(reader, CONSTRUCTION_TYPES_NAMES, READ_LOCATION);
						readSubSection(reader, &constructionTypes);
					}
					else if (section == QLatin1String("WindowTypes")) {
						warnUnknownAttributes(reader, WINDOW_TYPES_NAMES, READ_LOCATION);
						readSubSection(reader, &windowTypes);
					}
					else if (section == QLatin1String("ShadingTypes")) {
						warnUnknownAttributes(reader, SHADING_TYPES_NAMES, READ_LOCATION);
						readSubSection(reader, &shadingTypes);
					}
					else
						readUnknownElement(reader, EMBEDDED_DATABASE_NAMES, READ_LOCATION);
				}
				catch (const ZEB::Exception & ex) {
					throw ZEB::Exception(ex, ZEB::FormatString("Error reading '%1' database section.")
										 .arg(section.toStdString()), READ_LOCATION);
				}
			}
		}
		else if (tag == QLatin1String("DIN4108_2Assessment_section")) {
			warnUnknownAttributes(reader, DIN4108_2_ASSESSMENT_SECTION_NAMES, READ_LOCATION);
			// every child is the assessment, whatever its tag
			while (readChildElement(reader)) {
				try {
					m_din4108_2Assessment.readXML(reader);
				}
				catch (const ZEB::Exception & ex) {
					throw ZEB::Exception(ex, "Error reading 'DIN4108_2Assessment_section' section.", READ_LOCATION);
				}
			}
		}
		// any other element is transparent: its children are read as if they stood here
		else
			warnUnknownElement(reader, ROOM_MODEL_PROJECT_NAMES.m_class, READ_LOCATION);
	}

	// Only a document read to its end, of a room that can run, may change the database; a cut or
	// broken file leaves it as it was.
	if (!reader.hasError()) {
		checkSetPoints();
		importEmbeddedDatabase(db, materials, constructionTypes, windowTypes, shadingTypes);
	}
	adjustStructuralShadings();
}


void Room::readRoomSection(QXmlStreamReader & reader) {
	const char * const location = "[Room::readRoomSection]";
	warnUnknownAttributes(reader, ROOM_NAMES, location);
	while (readKnownChildElement(reader, ROOM_NAMES, location)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("ProjectInformation"))
			m_projectInformation.readXML(reader);
		else if (tag == QLatin1String("Geometry"))
			readGeometrySection(reader);
		else if (tag == QLatin1String("ClimateLocation"))
			m_climateLocation = readTextElement(reader);
		else if (tag == QLatin1String("HeatingModel"))
			m_heatingModel.readXML(reader);
		else if (tag == QLatin1String("CoolingModel"))
			m_coolingModel.readXML(reader);
		else if (tag == QLatin1String("MechanicalVentilationModel"))
			m_mechanicalVentilationModel.readXML(reader);
		else if (tag == QLatin1String("NaturalVentilationModel"))
			m_naturalVentilationModel.readXML(reader);
		else if (tag == QLatin1String("MoistureLoads"))
			m_moistureLoads.readXML(reader);
		else if (tag == QLatin1String("UserLoads"))
			m_userLoads.readXML(reader);
		else if (tag == QLatin1String("ShadingControlModel"))
			m_shadingControlModel.readXML(reader);
		else if (tag == QLatin1String("SimulationParameters"))
			readSimulationParametersSection(reader);
		else
			readUnknownElement(reader, ROOM_NAMES, location);
	}
}


void Room::readGeometrySection(QXmlStreamReader & reader) {
	const char * const location = "[Room::readGeometrySection]";
	warnUnknownAttributes(reader, GEOMETRY_NAMES, location);
	while (readKnownChildElement(reader, GEOMETRY_NAMES, location)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("Height"))
			m_height = readReal(reader, "Geometry", location, NOT_NEGATIVE);
		else if (tag == QLatin1String("Area"))
			m_area = readReal(reader, "Geometry", location, NOT_NEGATIVE);
		else if (tag == QLatin1String("Constructions")) {
			warnUnknownAttributes(reader, CONSTRUCTIONS_NAMES, location);
			while (readKnownChildElement(reader, CONSTRUCTIONS_NAMES, location)) {
				if (reader.name() == QLatin1String("RoomConstruction")) {
					RoomConstruction construction;
					try {
						construction.readXML(reader);
					}
					catch (ZEB::Exception & ex) {
						throw ZEB::Exception(ex, ZEB::FormatString("Error reading room construction #%1.")
											 .arg(static_cast<unsigned long>(m_constructions.size() + 1)), location);
					}
					// the caller reports the error; nothing after it is trusted
					if (reader.hasError())
						return;
					m_constructions.push_back(construction);
				}
				else
					readUnknownElement(reader, CONSTRUCTIONS_NAMES, location);
			}
		}
		else
			readUnknownElement(reader, GEOMETRY_NAMES, location);
	}
}


void Room::readSimulationParametersSection(QXmlStreamReader & reader) {
	warnUnknownAttributes(reader, SIMULATION_PARAMETERS_NAMES, SIMULATION_PARAMETERS_LOCATION);
	while (readKnownChildElement(reader, SIMULATION_PARAMETERS_NAMES, SIMULATION_PARAMETERS_LOCATION)) {
		const QStringRef tag = reader.name();
		if (tag == QLatin1String("MoistureBalanceEnabled"))
			m_moistureBalanceEnabled = readBool(reader);
		else if (tag == QLatin1String("RHInitial"))
			m_RHInitial = readParameter(reader, PERCENT) / 100;
		else if (tag == QLatin1String("SimulationStartTime"))
			m_simulationStartTime = readParameter(reader, START_TIME);
		else if (tag == QLatin1String("SimulationEndTime"))
			m_simulationEndTime = readParameter(reader, END_TIME);
		else if (tag == QLatin1String("OutputTimeSteps"))
			m_outputTimeSteps = readParameter(reader, OUTPUT_TIME_STEP);
		else if (tag == QLatin1String("CyclicTwoYearSimulation"))
			m_cyclicTwoYearSimulation = readBool(reader);
		else if (tag == QLatin1String("TInitial"))
			m_TInitial = readParameter(reader, CELSIUS);
		else if (tag == QLatin1String("Albedo"))
			m_albedo = readParameter(reader, FRACTION);
		else if (tag == QLatin1String("GammaHC"))
			m_gammaHC = readParameter(reader, FRACTION);
		// older files name the radiant share "GammaR"
		else if (tag == QLatin1String("GammaRad") || tag == QLatin1String("GammaR"))
			m_gammaRad = readParameter(reader, FRACTION);
		else if (tag == QLatin1String("AdditionalMassHeatCapacity"))
			m_additionalMassHeatCapacity = readParameter(reader, NOT_NEGATIVE);
		else if (tag == QLatin1String("AdditionalMass"))
			m_additionalMass = readParameter(reader, NOT_NEGATIVE);
		else if (tag == QLatin1String("InterfaceDefinition"))
			m_interfaceDefinition = readIntElement(reader, "SimulationParameters", SIMULATION_PARAMETERS_LOCATION);
		else if (tag == QLatin1String("UsePerezModel"))
			m_usePerezModel = readBool(reader);
		else
			readUnknownElement(reader, SIMULATION_PARAMETERS_NAMES, SIMULATION_PARAMETERS_LOCATION);
	}

	const auto seconds = [](double t) { return QString::number(t, 'g', 15).toStdString(); };
	if (!m_cyclicTwoYearSimulation) {
		// a run that ends before it starts has nothing to simulate, nor to report
		if (!(m_simulationEndTime > m_simulationStartTime))
			throw ZEB::Exception(ZEB::FormatString("Invalid value for 'SimulationEndTime' parameter. End time %1 s must "
												   "be after the start time %2 s.")
								 .arg(seconds(m_simulationEndTime)).arg(seconds(m_simulationStartTime)),
								 SIMULATION_PARAMETERS_LOCATION);
		return;
	}
	if (m_outputTimeSteps != 3600)
		throw ZEB::Exception(ZEB::FormatString("Invalid value %1 s for 'OutputTimeSteps' parameter. Output time step must "
											   "be exactly 3600 seconds for two-year-simulation (or not defined in "
											   "project file).").arg(seconds(m_outputTimeSteps)),
							 SIMULATION_PARAMETERS_LOCATION);
	if (m_simulationEndTime != ZEB::SECONDS_PER_YEAR)
		throw ZEB::Exception(ZEB::FormatString("Invalid value %1 s for 'SimulationEndTime' parameter. SimulationEndTime "
											   "must be exactly 365*24*3600 = 31536000 seconds for two-year-simulation "
											   "(or not defined in project file).").arg(seconds(m_simulationEndTime)),
							 SIMULATION_PARAMETERS_LOCATION);
	if (m_simulationStartTime != 0)
		throw ZEB::Exception(ZEB::FormatString("Invalid value %1 s for 'SimulationStartTime' parameter. "
											   "SimulationStartTime must be exactly 0 seconds for two-year-simulation "
											   "(or not defined in project file).").arg(seconds(m_simulationStartTime)),
							 SIMULATION_PARAMETERS_LOCATION);
}


void Room::checkSetPoints() const {
	if (m_din4108_2Assessment.m_active)
		return;
	const bool heats = m_heatingModel.m_modelType == HeatingModel::SIMPLE && m_heatingModel.m_maxPower > 0;
	// the cooler's power may depend on its set point: it is judged hour by hour
	const bool cools = m_coolingModel.m_modelType == CoolingModel::SIMPLE;
	// the supply air cools whenever the room is warmer than its set point and than the supply
	// or the outside air, whichever is colder; the outside air may be of any temperature
	const bool ventilationCools =
		m_mechanicalVentilationModel.m_modelType == MechanicalVentilationModel::MECHANICAL_VENTILATION_COOLING &&
		m_mechanicalVentilationModel.m_maxSupplyFlowRate > 0;
	if (!heats || (!cools && !ventilationCools))
		return;

	const Schedule & heating = m_heatingModel.m_scheduleSetPoints;
	const Schedule & cooling = m_coolingModel.m_scheduleSetPoints;
	const Schedule & ventilation = m_mechanicalVentilationModel.m_scheduleSetPoints;
	// Every schedule repeats each year but a time spline, which holds its last value after its
	// last point: a year past the start and past the last point of every spline in force has
	// shown every pair of set points the run will see. A run of more than a century is looked
	// at for its first century.
	const double start = m_cyclicTwoYearSimulation ? 0.0 : m_simulationStartTime;
	double lastChange = start;
	// a time spline changes within the hour: between its points it runs straight, so it lies
	// farthest above (or below) an hourly value at a point or at an end of the hour
	std::vector<double> points;
	for (const Schedule * s : {&heating, cools ? &cooling : nullptr, ventilationCools ? &ventilation : nullptr})
		if (s != nullptr && s->m_type == Schedule::DATLINEAR && s->m_datLinear.m_valid && !s->m_datLinear.m_x.empty()) {
			lastChange = std::max(lastChange, s->m_datLinear.m_x.back());
			points.insert(points.end(), s->m_datLinear.m_x.begin(), s->m_datLinear.m_x.end());
		}
	std::sort(points.begin(), points.end());
	const double firstHour = std::floor(start / 3600) * 3600;
	const double until = std::min(runEndTime(), lastChange + ZEB::SECONDS_PER_YEAR);
	// counted, so that hours too small to change a time far ahead still end the loop
	const double hours = std::min(std::ceil((until - firstHour) / 3600), 100.0*ZEB::HOURS_PER_YEAR);

	const auto crossed = [](double tHeating, double tCooling, const char * cooler, unsigned int h, double t) {
		static const char * const WEEKDAYS[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday",
												"Sunday"};
		const auto clock = [](unsigned int hour) { return QString("%1:00").arg(hour, 2, 10, QChar('0')).toStdString(); };
		return ZEB::Exception(ZEB::FormatString("The heating set point %1 C lies above the %2 set point %3 C in hour %4 "
												"of the year (%5 %6 to %7, simulation time %8 s): heating and "
												"cooling would work against each other.")
							  .arg(xmlDouble(tHeating).toStdString()).arg(cooler).arg(xmlDouble(tCooling).toStdString())
							  .arg(h).arg(WEEKDAYS[(h / 24) % 7]).arg(clock(h % 24)).arg(clock(h % 24 + 1))
							  .arg(QString::number(t, 'g', 15).toStdString()), READ_LOCATION);
	};
	const auto check = [&](double t) {
		// as the room model takes the hour of the year
		const unsigned int h = static_cast<unsigned int>(
			std::min(std::floor(std::fmod(t, ZEB::SECONDS_PER_YEAR)/3600), ZEB::HOURS_PER_YEAR - 1.0));
		const double tHeating = heating.value(h, t);
		if (cools && m_coolingModel.band(h, t, 0).m_limit > 0 && tHeating > cooling.value(h, t))
			throw crossed(tHeating, cooling.value(h, t), "cooling", h, t);
		if (ventilationCools && tHeating > ventilation.value(h, t))
			throw crossed(tHeating, ventilation.value(h, t), "mechanical ventilation's cooling", h, t);
	};
	auto point = std::upper_bound(points.begin(), points.end(), start);
	for (double i = 0; i < hours; ++i) {
		const double t = std::max(start, firstHour + 3600*i);
		check(t);
		if (points.empty())
			continue;
		// the hour's end as the last second within it, where the next hour's values do not yet hold
		const double end = std::min(firstHour + 3600*(i + 1), until);
		for (; point != points.end() && *point < end; ++point)
			if (*point > t)
				check(*point);
		if (end - 1 > t)
			check(end - 1);
	}
}


void Room::importEmbeddedDatabase(Database & db, QList<Material> & materials,
								  QList<ConstructionType> & constructionTypes,
								  QList<WindowType> & windowTypes, QList<ShadingType> & shadingTypes)
{
	const ImportKind<Material> materialKind{&Database::materials, &Database::materialById, &Database::addMaterial};
	const ImportTexts materialTexts{
		"Importing materials\n",
		"Imported material '%1'exists already in DB (with ID #%2].\n",
		"Importing material '%1' (id #%2) into material database.\n",
		"Adding material '%1' [origID #%2, newID #%3] to database.\n"
	};
	const std::map<unsigned int, unsigned int> materialIds = importItems(materials, db, materialKind, materialTexts, true);
	// construction types are compared and stored with the material ids of the database
	for (ConstructionType & construction : constructionTypes) {
		for (unsigned int & id : construction.m_materialIds) {
			const unsigned int newId = replaced(materialIds, id);
			if (newId == id)
				continue;
			progress(ZEB::FormatString("Replacing material (ID #%1 -> #%2) in construction type to be imported (ID #%3).\n")
					 .arg(id).arg(newId).arg(construction.m_id));
			id = newId;
		}
	}

	const ImportKind<ConstructionType> constructionKind{&Database::constructions, &Database::constructionById,
														&Database::addConstructionType};
	const ImportTexts constructionTexts{
		"Importing construction types\n",
		"Imported construction type '%1'exists already in DB (with ID #%2].\n",
		"Importing construction type '%1' (id #%2) into database.\n",
		"Adding construction type '%1' [origID #%2, newID #%3] to database.\n"
	};
	const std::map<unsigned int, unsigned int> constructionIds =
		importItems(constructionTypes, db, constructionKind, constructionTexts, false);
	for (RoomConstruction & c : m_constructions) {
		const unsigned int newId = replaced(constructionIds, c.m_constructionId);
		if (newId == c.m_constructionId)
			continue;
		progress(ZEB::FormatString("Replacing construction type (ID #%1 -> #%2) in room definition.\n")
				 .arg(c.m_constructionId).arg(newId));
		c.m_constructionId = newId;
	}

	// Applied once per construction after all items of the kind: renumbering 10001 -> 10002 and
	// then 10002 -> 10003 must not carry a reference along the whole chain.
	const ImportKind<WindowType> windowKind{&Database::windows, &Database::windowById, &Database::addWindowType};
	const ImportTexts windowTexts{
		"Importing window types\n",
		"Imported window type '%1'exists already in DB (with ID #%2].\n",
		"Importing window type '%1' (id #%2) into database.\n",
		"Adding window type '%1' [origID #%2, newID #%3] to database.\n"
	};
	const std::map<unsigned int, unsigned int> windowIds = importItems(windowTypes, db, windowKind, windowTexts, false);
	for (RoomConstruction & c : m_constructions)
		c.m_windowId = replaced(windowIds, c.m_windowId);

	const ImportKind<ShadingType> shadingKind{&Database::shadingTypes, &Database::shadingTypeById,
											  &Database::addShadingType};
	const ImportTexts shadingTexts{
		"Importing shading types\n",
		"Imported shading type '%1'exists already in DB (with ID #%2].\n",
		"Importing shading type '%1' (id #%2) into database.\n",
		"Adding shading type '%1' [origID #%2, newID #%3] to database.\n"
	};
	const std::map<unsigned int, unsigned int> shadingIds = importItems(shadingTypes, db, shadingKind, shadingTexts, false);
	for (RoomConstruction & c : m_constructions)
		c.m_shadingTypeId = replaced(shadingIds, c.m_shadingTypeId);
}


void Room::adjustStructuralShadings() {
	std::vector<StructuralShading> & shadings = m_shadingControlModel.m_structuralShadings;
	shadings.resize(m_constructions.size());
	for (std::size_t i = 0; i < shadings.size(); ++i)
		shadings[i].initShadingDevice(m_constructions[i]);
}


template <typename T>
void readSubSection(QXmlStreamReader & reader, QList<T> * list) {
	unsigned int count = 0;
	while (readChildElement(reader)) {
		++count;
		T item;
		item.readXML(reader);
		if (reader.hasError() || list == nullptr) {
			const ZEB::Exception ex(ZEB::FormatString("%2\nError reading XML tag #%1.")
									.arg(count).arg(reader.errorString().toStdString()), "[readSubSection]");
			// the id says which item, where the file gives one
			if (item.m_id != 0)
				throw ZEB::Exception(ex, ZEB::FormatString("Error reading database item with id %1.").arg(item.m_id),
									 "[readSubSection]");
			throw ex;
		}
		list->append(item);
	}
}

template void readSubSection<Material>(QXmlStreamReader &, QList<Material> *);
template void readSubSection<ConstructionType>(QXmlStreamReader &, QList<ConstructionType> *);
template void readSubSection<WindowType>(QXmlStreamReader &, QList<WindowType> *);
template void readSubSection<ShadingType>(QXmlStreamReader &, QList<ShadingType> *);

} // namespace RX
