#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "ZEB_Exception.h"

#include "RX_Database.h"
#include "RX_Room.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

namespace {

QByteArray written(const RX::Room & room, const RX::Database & db) {
	QByteArray bytes;
	QBuffer buffer(&bytes);
	buffer.open(QIODevice::WriteOnly);
	QXmlStreamWriter writer(&buffer);
	room.writeXML(writer, &db);
	return bytes;
}

/*! What reading a document gave: the reader's error text and the exception's message stack,
	each "" when there was none. */
struct ReadResult {
	QString		m_readerError;
	std::string	m_exception;
	bool failed() const { return !m_readerError.isEmpty() || !m_exception.empty(); }
};

ReadResult readInto(const QByteArray & xml, RX::Room & room, RX::Database & db) {
	ReadResult result;
	QXmlStreamReader reader(xml);
	try {
		room.readXML(reader, db);
	}
	catch (const ZEB::Exception & ex) {
		result.m_exception = ex.msgStack();
	}
	if (reader.hasError())
		result.m_readerError = reader.errorString();
	return result;
}

template <typename T>
bool sameItems(const std::map<unsigned int, T> & a, const std::map<unsigned int, T> & b) {
	if (a.size() != b.size())
		return false;
	for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j)
		if (i->first != j->first || !(i->second == j->second))
			return false;
	return true;
}

bool sameDatabase(const RX::Database & a, const RX::Database & b) {
	return sameItems(a.materials(), b.materials()) && sameItems(a.constructions(), b.constructions())
		&& sameItems(a.windows(), b.windows()) && sameItems(a.shadingTypes(), b.shadingTypes());
}

RX::ConstructionType constructionType(const QString & name, std::vector<unsigned int> materialIds) {
	RX::ConstructionType c;
	c.setNameString(name);
	c.m_d.assign(materialIds.size(), 0.1);
	c.m_materialIds = materialIds;
	return c;
}

/*! The items the test room refers to: construction types 7, 9, 11 of materials 1 and 2,
	window type 5, shading type 2, and an unused material 3. */
RX::Database testDatabase() {
	RX::Database db;
	RX::Material brick("en:Brick|de:Ziegel", 0.8, 1600, 850);
	RX::Material insulation("Insulation", 0.04, 30, 1500);
	RX::Material unused("Unused", 1, 1000, 1000);
	db.addMaterial(brick, 1);
	db.addMaterial(insulation, 2);
	db.addMaterial(unused, 3);
	RX::ConstructionType outside = constructionType("Outside wall", {1, 2});
	RX::ConstructionType inside = constructionType("Inside wall", {1});
	RX::ConstructionType floor = constructionType("Floor", {2, 1, 2});
	db.addConstructionType(outside, 7);
	db.addConstructionType(inside, 9);
	db.addConstructionType(floor, 11);
	RX::WindowType window("Double glazing", 0.7, 0.6, 1.3);
	db.addWindowType(window, 5);
	RX::ShadingType blind("Blind", 0.25);
	db.addShadingType(blind, 2);
	return db;
}

/*! A room with every member that the file holds away from its default. */
RX::Room variedRoom() {
	RX::Room room;
	room.m_interfaceDefinition = 0x30;
	room.m_area = 22.5;
	room.m_height = 2.75;
	room.m_additionalMassHeatCapacity = 1200;
	room.m_additionalMass = 350;
	room.m_gammaHC = 0.7;
	room.m_gammaRad = 0.45;
	room.m_TInitial = 18.5;
	room.m_RHInitial = 0.62;
	room.m_simulationStartTime = 86400;
	room.m_simulationEndTime = 63072000.5;
	room.m_moistureBalanceEnabled = true;
	room.m_usePerezModel = true;
	room.m_albedo = 0.35;
	room.m_climateLocation = "Europe/Elsewhere/station.epw";
	room.m_projectInformation.m_projectName = "Office <west> & co";
	room.m_projectInformation.m_description = "two\nlines";

	room.m_constructions[1].m_type = RX::RoomConstruction::FixedTemperature;
	room.m_constructions[1].m_zoneT = 290.15;
	room.m_constructions[1].m_zoneTCCD = ZEB::Path("zones/neighbour.ccd");
	room.m_constructions[2].m_orientation = 180;
	room.m_constructions[2].m_ad = 0.4;

	room.m_heatingModel.m_name = "Radiators";
	room.m_heatingModel.m_maxPower = 1800;
	room.m_heatingModel.m_scheduleSetPoints.m_type = RX::Schedule::DAILY_SEASONAL;
	room.m_coolingModel.m_modelType = RX::CoolingModel::SIMPLE;
	room.m_coolingModel.m_maxPower = 900;
	room.m_coolingModel.m_maxPowerCurve.setValues({293.15, 303.15}, {500, 1500});
	room.m_coolingModel.m_scheduleHumiditySetPoints.m_type = RX::Schedule::CONSTANT;
	room.m_coolingModel.m_scheduleHumiditySetPoints.m_constantValue = 60;
	room.m_naturalVentilationModel.m_modelType = RX::NaturalVentilationModel::DIN;
	room.m_naturalVentilationModel.m_baseAirChangeRate = 0.7;
	room.m_naturalVentilationModel.m_minTRoom = 24.5;
	room.m_mechanicalVentilationModel.m_modelType = RX::MechanicalVentilationModel::MECHANICAL_VENTILATION;
	room.m_mechanicalVentilationModel.m_heatRecoveryEfficiency = 0.75;
	room.m_mechanicalVentilationModel.m_scheduleVentilationRates.m_constantValue = 60;
	room.m_moistureLoads.m_name = "Kitchen";
	room.m_moistureLoads.m_scheduleMoistureLoad.m_type = RX::Schedule::DAILY_WEEK;
	room.m_moistureLoads.m_scheduleMoistureLoad.m_weekDaySchedule[12] = 0.0002;
	room.m_userLoads.m_personLoad = 95;
	room.m_userLoads.m_scheduleOccupancy.m_type = RX::Schedule::DAILY_WEEK;
	room.m_shadingControlModel.m_modelType = RX::ShadingControlModel::INTENSITY_CONTROLLED;
	room.m_shadingControlModel.m_maxRadiationIntensitySouth = 320;
	room.m_shadingControlModel.m_scheduleShadingDegree.m_constantValue = 0.5;
	room.m_shadingControlModel.m_structuralShadingDescription = "Eaves";
	RX::StructuralShading & eaves = room.m_shadingControlModel.m_structuralShadings.at(0);
	eaves.m_windowHeight = 1.25;
	eaves.m_hasOverhang = true;
	eaves.m_overhangWidth = 0.8;
	eaves.m_overhangLength = 3;
	eaves.m_overhangDistance = 0.2;
	room.m_shadingControlModel.m_structuralShadings.at(2).m_shadingFileName = "shading.csv?2";
	room.m_din4108_2Assessment.m_active = true;
	room.m_din4108_2Assessment.m_residential = false;
	room.m_din4108_2Assessment.m_climateRegion = 2;
	room.m_din4108_2Assessment.m_passiveCooling = true;
	room.m_din4108_2Assessment.m_shadingControlExplanation = "Awning";
	return room;
}

const char * const DEFAULT_SIMULATION_PARAMETERS =
	"        <SimulationParameters>\n"
	"            <TInitial>20</TInitial>\n"
	"            <Albedo>0.2</Albedo>\n"
	"            <GammaHC>1</GammaHC>\n"
	"            <GammaRad>1</GammaRad>\n"
	"            <AdditionalMassHeatCapacity>780</AdditionalMassHeatCapacity>\n"
	"            <AdditionalMass>0</AdditionalMass>\n"
	"            <UsePerezModel>false</UsePerezModel>\n"
	"        </SimulationParameters>\n";

/*! A project document of the given room children, embedded items and assessment. */
QByteArray project(const std::string & roomChildren, const std::string & embedded = "") {
	return QByteArray::fromStdString("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<RoomModelProject Version=\"3.4.1\">"
									 "<Room>" + roomChildren + "</Room><EmbeddedDataBase>" + embedded +
									 "</EmbeddedDataBase></RoomModelProject>\n");
}

} // namespace


TEST(RXRoom, FreshRoomIsTheTestRoom) {
	const RX::Room room;
	ASSERT_EQ(room.m_constructions.size(), 4u);
	const RX::RoomConstruction & outside = room.m_constructions[0];
	EXPECT_EQ(outside.m_type, RX::RoomConstruction::Outside);
	EXPECT_EQ(outside.m_constructionId, 7u);
	EXPECT_EQ(outside.m_windowId, 5u);
	EXPECT_EQ(outside.m_shadingTypeId, 2u);
	EXPECT_EQ(outside.m_AF, 2.5);
	EXPECT_EQ(room.m_constructions[1].m_AW, 15.0);
	EXPECT_EQ(room.m_constructions[3].m_constructionId, 9u);
	EXPECT_EQ(room.m_heatingModel.m_modelType, RX::HeatingModel::SIMPLE);
	EXPECT_EQ(room.m_heatingModel.m_maxPower, 2500.0);
	// a constant 20 C set point and an empty room
	EXPECT_EQ(room.m_heatingModel.m_scheduleSetPoints.value(4000, 0), 20.0);
	EXPECT_EQ(room.m_userLoads.m_scheduleOccupancy.value(4000, 0), 0.0);
	EXPECT_DOUBLE_EQ(room.volume(), 45.0);
	EXPECT_EQ(room.height(), 3.0);
	EXPECT_EQ(room.m_simulationEndTime, 31536000.0);
	EXPECT_TRUE(room.m_projectFilePath.isEmpty());
}


TEST(RXRoom, WritesTheDocumentHeadAndDefaultSimulationParameters) {
	RX::Room room;
	const RX::Database db;
	const QByteArray file = written(room, db);
	EXPECT_TRUE(file.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE RoomModelProject>\n"
								"<RoomModelProject Version=\"3.4.1\">\n    <Room>\n")) << file.left(200).toStdString();
	EXPECT_TRUE(file.contains(DEFAULT_SIMULATION_PARAMETERS)) << file.toStdString();
	EXPECT_TRUE(file.contains("    <EmbeddedDataBase>\n        <Materials/>\n        <ConstructionTypes/>\n"
							  "        <WindowTypes/>\n        <ShadingTypes/>\n    </EmbeddedDataBase>\n"));
	{
		// whatever the caller set the writer to
		QByteArray bytes;
		QBuffer buffer(&bytes);
		buffer.open(QIODevice::WriteOnly);
		QXmlStreamWriter writer(&buffer);
		writer.setAutoFormatting(true);
		writer.setAutoFormattingIndent(-1);
		writer.setCodec("ISO 8859-1");
		room.m_projectInformation.m_projectName = "Bad Dürkheim";
		room.writeXML(writer, &db);
		EXPECT_TRUE(bytes == written(room, db)) << bytes.left(100).toStdString();
		EXPECT_TRUE(bytes.contains("Bad D\xc3\xbcrkheim"));
	}

	room.m_simulationEndTime = 63072000;
	room.m_simulationStartTime = 1.5;
	QByteArray longRun;
	{
		// times stay locale-independent
		XMLTestSupport::CommaCLocale comma;
		longRun = written(room, db);
	}
	EXPECT_TRUE(longRun.contains("            <SimulationStartTime>                      1.5</SimulationStartTime>\n"
								 "            <SimulationEndTime>                 63072000</SimulationEndTime>\n"
								 "            <TInitial>20</TInitial>\n")) << longRun.toStdString();
	RX::Room back;
	RX::Database backDb;
	EXPECT_FALSE(readInto(longRun, back, backDb).failed());
	EXPECT_EQ(back.m_simulationEndTime, 63072000.0);
	EXPECT_EQ(back.m_simulationStartTime, 1.5);
}


TEST(RXRoom, WriteReadWriteGivesTheSameFile) {
	const RX::Database db = testDatabase();
	for (const RX::Room & room : {RX::Room(), variedRoom()}) {
		const QByteArray first = written(room, db);
		RX::Room back;
		RX::Database backDb;
		const ReadResult result = readInto(first, back, backDb);
		ASSERT_FALSE(result.failed()) << result.m_readerError.toStdString() << result.m_exception;
		EXPECT_EQ(written(back, backDb).toStdString(), first.toStdString());
		// every used item came along under its own id, the unused material did not
		EXPECT_EQ(backDb.materials().size(), 2u);
		EXPECT_EQ(backDb.constructions().size(), 3u);
		EXPECT_NE(backDb.windowById(5), nullptr);
		EXPECT_NE(backDb.shadingTypeById(2), nullptr);
	}
	const RX::Room varied = variedRoom();
	RX::Room back;
	RX::Database backDb;
	readInto(written(varied, db), back, backDb);
	EXPECT_EQ(back.m_RHInitial, 0.62);
	EXPECT_EQ(back.m_interfaceDefinition, 0x30);
	EXPECT_EQ(back.m_constructions[1].m_type, RX::RoomConstruction::FixedTemperature);
}


TEST(RXRoom, WritesNeitherUnusedItemsNorConstructionsWithoutType) {
	// two different materials alike in name and density must both travel with the file
	RX::Database db;
	RX::Material a("Plaster", 0.7, 1200, 1000);
	RX::Material b("Plaster", 0.35, 1200, 1000);
	db.addMaterial(a, 10001);
	db.addMaterial(b, 10002);
	RX::ConstructionType wall = constructionType("Wall", {10002, 10001});
	db.addConstructionType(wall, 10001);
	RX::Room room;
	room.m_constructions.resize(3);
	room.m_constructions[0].m_constructionId = 0;
	room.m_constructions[1].m_constructionId = 10001;
	room.m_constructions[1].m_windowId = 77;	// not in the database
	room.m_constructions[2].m_constructionId = 0;
	room.m_shadingControlModel.m_structuralShadings.resize(3);
	room.m_shadingControlModel.m_structuralShadings[0].m_shadingFileName = "dropped.csv";
	room.m_shadingControlModel.m_structuralShadings[1].m_shadingFileName = "kept.csv";
	const QByteArray file = written(room, db);
	EXPECT_EQ(file.count("<RoomConstruction>"), 1);
	EXPECT_TRUE(file.contains("<WindowTypes/>"));

	RX::Room back;
	RX::Database backDb;
	ASSERT_FALSE(readInto(file, back, backDb).failed());
	EXPECT_TRUE(sameDatabase(backDb, db));
	EXPECT_EQ(back.m_constructions.size(), 1u);
	// the written construction keeps its own structural shading
	ASSERT_EQ(back.m_shadingControlModel.m_structuralShadings.size(), 1u);
	EXPECT_EQ(back.m_shadingControlModel.m_structuralShadings[0].m_shadingFileName, "kept.csv");
}


TEST(RXRoom, KeepsOneStructuralShadingPerConstruction) {
	TestSupport::MessageRecorder quiet;
	const std::string outside = "<RoomConstruction><AF>4</AF><orientation>180</orientation></RoomConstruction>";
	const std::string inside = "<RoomConstruction><type>Inside</type><AF>4</AF></RoomConstruction>";
	const std::string shading = "<StructuralShading><ShadingFileName>f.csv</ShadingFileName></StructuralShading>";
	const auto geometry = [](const std::string & constructions) {
		return "<Geometry><Constructions>" + constructions + "</Constructions></Geometry>";
	};
	RX::Room room;
	RX::Database db;
	ASSERT_EQ(room.m_shadingControlModel.m_structuralShadings.size(), 4u);
	ASSERT_FALSE(readInto(project(geometry(outside + inside) + "<ShadingControlModel><StructuralShadings>" +
								  shading + shading + shading + "</StructuralShadings></ShadingControlModel>"),
							  room, db).failed());
	std::vector<RX::StructuralShading> & shadings = room.m_shadingControlModel.m_structuralShadings;
	ASSERT_EQ(shadings.size(), 2u);
	// the file's own shadings, not those of the room read before, each with its window
	EXPECT_EQ(shadings[0].m_shadingFileName, "f.csv");
	EXPECT_EQ(shadings[0].m_windowArea, 4.0);
	EXPECT_EQ(shadings[0].m_windowHeight, 2.0);
	EXPECT_EQ(shadings[0].m_orientation, 180.0);
	EXPECT_EQ(shadings[1].m_windowArea, 0.0);

	ASSERT_FALSE(readInto(project(geometry(outside + inside + outside)), room, db).failed());
	ASSERT_EQ(shadings.size(), 3u);
	EXPECT_EQ(shadings[2].m_windowArea, 4.0);
	EXPECT_TRUE(shadings[0].m_shadingFileName.isEmpty());
}


TEST(RXRoom, ReadsSimulationParametersAndRefusesInvalidOnes) {
	RX::Room room;
	RX::Database db;
	// a start at 0 s may also be given, as a cyclic run demands
	ReadResult result = readInto(project("<SimulationParameters><GammaR>0.3</GammaR><RHInitial> 70 </RHInitial>"
										 "<SimulationStartTime>0</SimulationStartTime>"
										 "<CyclicTwoYearSimulation>true</CyclicTwoYearSimulation>"
										 "<UsePerezModel> false </UsePerezModel><TInitial> 0 </TInitial>"
										 "</SimulationParameters>"), room, db);
	EXPECT_FALSE(result.failed());
	EXPECT_EQ(room.m_gammaRad, 0.3);
	EXPECT_EQ(room.m_RHInitial, 0.7);
	EXPECT_TRUE(room.m_cyclicTwoYearSimulation);
	EXPECT_FALSE(room.m_usePerezModel);
	EXPECT_EQ(room.m_TInitial, 0.0);

	const std::string location = "[Room::readSimulationParametersSection]";
	const auto refused = [](const std::string & parameters) {
		RX::Room r;
		RX::Database d;
		return TestSupport::thrown([&] {
			QXmlStreamReader reader(project("<SimulationParameters>" + parameters + "</SimulationParameters>"));
			r.readXML(reader, d);
		});
	};
	// each named with its text and what it should be
	EXPECT_EQ(refused("<SimulationStartTime>-1</SimulationStartTime>"),
			  "Invalid value '-1' in element 'SimulationStartTime' of SimulationParameters, expected a time of 0 s or more. @ " +
			  location);
	EXPECT_EQ(refused("<SimulationEndTime>-5</SimulationEndTime>"),
			  "Invalid value '-5' in element 'SimulationEndTime' of SimulationParameters, expected a time of more than 0 s. @ " +
			  location);
	EXPECT_EQ(refused("<OutputTimeSteps>0.5</OutputTimeSteps>"),
			  "Invalid value '0.5' in element 'OutputTimeSteps' of SimulationParameters, expected a time step of 1 s or more. "
			  "@ " + location);
	// a bound stated as it is checked: in the 6 digits a file keeps, this is absolute zero
	EXPECT_EQ(refused("<TInitial>-273.1499999</TInitial>"),
			  "Invalid value '-273.1499999' in element 'TInitial' of SimulationParameters, expected a temperature above "
			  "-273.15 C also when rounded to the 6 significant digits the files keep. @ " + location);
	EXPECT_EQ(refused("<UsePerezModel>yes</UsePerezModel>"),
			  "Invalid value 'yes' in element 'UsePerezModel' of SimulationParameters, expected one of: false, true. @ " +
			  location);
	// the two-year checks follow the whole section, so the order of the elements does not matter
	EXPECT_EQ(refused("<CyclicTwoYearSimulation>true</CyclicTwoYearSimulation><OutputTimeSteps>600</OutputTimeSteps>"),
			  "Invalid value 600 s for 'OutputTimeSteps' parameter. Output time step must be exactly 3600 seconds for "
			  "two-year-simulation (or not defined in project file). @ " + location);
	EXPECT_EQ(refused("<SimulationStartTime>3600</SimulationStartTime><CyclicTwoYearSimulation>true</CyclicTwoYearSimulation>"),
			  "Invalid value 3600 s for 'SimulationStartTime' parameter. SimulationStartTime must be exactly 0 seconds for "
			  "two-year-simulation (or not defined in project file). @ " + location);
}


TEST(RXRoom, RefusesHeatingAboveCoolingWhereBothAct) {
	const auto constant = [](const char * value) {
		return "<ScheduleSetPoints type=\"CONSTANT\"><ConstantValue>" + std::string(value) +
			   "</ConstantValue></ScheduleSetPoints>";
	};
	const auto heating = [&](const char * value, const char * power = "2500") {
		return "<HeatingModel modelType=\"SIMPLE\"><MaxPower>" + std::string(power) + "</MaxPower>" + constant(value) +
			   "</HeatingModel>";
	};
	const auto cooling = [&](const char * type, const std::string & setPoints, const char * power = "1200") {
		return "<CoolingModel modelType=\"" + std::string(type) + "\"><MaxPower>" + power + "</MaxPower>" + setPoints +
			   "</CoolingModel>";
	};
	const auto ventilation = [&](const char * value, const char * flow) {
		return "<MechanicalVentilationModel modelType=\"MECHANICAL_VENTILATION_COOLING\"><MaxSupplyFlowRate>" +
			   std::string(flow) + "</MaxSupplyFlowRate>" + constant(value) + "</MechanicalVentilationModel>";
	};
	std::string weekDay, weekEndAt13;
	for (int h = 0; h < 24; ++h) {
		weekDay += "26 ";
		weekEndAt13 += h == 13 ? "19 " : "26 ";
	}
	const std::string week = "<ScheduleSetPoints type=\"DAILY_WEEK\"><WeekDaySchedule>" + weekDay +
							 "</WeekDaySchedule><WeekEndSchedule>" + weekEndAt13 + "</WeekEndSchedule>"
							 "<WeekEndDays>Sat</WeekEndDays></ScheduleSetPoints>";
	const std::string rising = "<HeatingModel modelType=\"SIMPLE\"><ScheduleSetPoints type=\"DATLINEAR\"><LinearSpline "
							   "name=\"DatLinear\"><X unit=\"h\">0 100</X><Y unit=\"---\">20 30</Y></LinearSpline>"
							   "</ScheduleSetPoints></HeatingModel>";
	const std::string spike = "<HeatingModel modelType=\"SIMPLE\"><ScheduleSetPoints type=\"DATLINEAR\"><LinearSpline "
							  "name=\"DatLinear\"><X unit=\"min\">0 60 90 120</X><Y unit=\"---\">20 20 30 20</Y>"
							  "</LinearSpline></ScheduleSetPoints></HeatingModel>";
	const std::string fiveDays = "<SimulationParameters><SimulationEndTime>432000</SimulationEndTime></SimulationParameters>";
	const auto crossed = [](const char * heatingValue, const char * cooler, const char * coolingValue, const char * hour) {
		return "The heating set point " + std::string(heatingValue) + " C lies above the " + cooler + " set point " +
			   coolingValue + " C in hour " + hour + "): heating and cooling would work against each other.";
	};
	const std::pair<std::string, std::string> rooms[] = {
		{heating("24") + cooling("SIMPLE", constant("22")),
		 crossed("24", "cooling", "22", "0 of the year (Monday 00:00 to 01:00, simulation time 0 s")},
		// each set point as it is in force: a week's profile, a time spline
		{heating("20") + cooling("SIMPLE", week),
		 crossed("20", "cooling", "19", "133 of the year (Saturday 13:00 to 14:00, simulation time 478800 s")},
		{rising + cooling("SIMPLE", constant("26")),
		 crossed("26.1", "cooling", "26", "60 of the year (Wednesday 12:00 to 13:00, simulation time 219599 s")},
		// a time spline between the hours: above the cooling for half an hour only
		{spike + cooling("SIMPLE", constant("26")),
		 crossed("30", "cooling", "26", "1 of the year (Monday 01:00 to 02:00, simulation time 5400 s")},
		{heating("20") + ventilation("18", "40"),
		 crossed("20", "mechanical ventilation's cooling", "18",
				 "0 of the year (Monday 00:00 to 01:00, simulation time 0 s")},
		// only where both act, in the hours of the run
		{heating("20") + cooling("SIMPLE", week) + fiveDays, ""},
		{heating("24") + cooling("NONE", constant("22")), ""},
		{heating("24", "0") + cooling("SIMPLE", constant("22")), ""},
		{heating("24") + cooling("SIMPLE", constant("22"), "0"), ""},
		{heating("20") + ventilation("18", "0"), ""},
		{heating("22") + cooling("SIMPLE", constant("22")) + ventilation("22", "40"), ""},
	};
	for (const auto & [children, reason] : rooms) {
		RX::Room room;
		RX::Database db;
		EXPECT_EQ(readInto(project(children), room, db).m_exception, reason) << children;
	}
	// the summer assessment brings its own controllers
	RX::Room room;
	RX::Database db;
	const QByteArray assessed = project(heating("24") + cooling("SIMPLE", constant("22")))
		.replace("</RoomModelProject>", "<DIN4108_2Assessment_section><DIN4108_2Assessment><Active>true</Active>"
				 "</DIN4108_2Assessment></DIN4108_2Assessment_section></RoomModelProject>");
	EXPECT_FALSE(readInto(assessed, room, db).failed());
}


TEST(RXRoom, RefusesAnotherRootWithoutException) {
	TestSupport::MessageRecorder recorder;
	RX::Room room;
	RX::Database db = testDatabase();
	const RX::Database before = testDatabase();
	const ReadResult result = readInto("<?xml version=\"1.0\"?><Foo/>", room, db);
	EXPECT_EQ(result.m_readerError, "Expected RoomModelProject-XML, found root element 'Foo'.");
	EXPECT_EQ(result.m_exception, "");
	EXPECT_TRUE(sameDatabase(db, before));
}


TEST(RXRoom, SkipsUnknownElementsWithWarnings) {
	TestSupport::MessageRecorder recorder;
	RX::Room room;
	RX::Database db;
	// a wrapper at the top level is transparent: the room inside it is read
	const QByteArray xml = "<RoomModelProject><Wrapper><Room><Colour>red</Colour>"
						   "<Geometry><Height unit=\"m\">2.5</Height><Extra/><Constructions><Beam/><RoomConstruction>"
						   "<constructionId>3</constructionId></RoomConstruction></Constructions></Geometry>"
						   "<SimulationParameters><Speed>1</Speed></SimulationParameters>"
						   "<UserLoads><ScheduleOccupation type=\"CONSTANT\"><ConstantValue>4</ConstantValue>"
						   "</ScheduleOccupation></UserLoads><MoistureLoads><ScheduleMoisture/></MoistureLoads>"
						   "<ProjectInformation><Phone/></ProjectInformation>"
						   "</Room></Wrapper><EmbeddedDataBase><Furniture><Chair/></Furniture>"
						   "<Materials><Material id=\"10001\" name=\"M\" lambda=\"1\" rho=\"1\" cT=\"1\" HPCM=\"100\" "
						   "TPCMlow=\"27\"><Moisture/>"
						   "</Material></Materials><ConstructionTypes><ConstructionType id=\"10001\"><Layer materialId=\"10001\" "
						   "d=\"0.1\"/><Layers><Layer materialId=\"10001\" d=\"0.1\"><Colour/></Layer></Layers></ConstructionType>"
						   "</ConstructionTypes><WindowTypes><WindowType id=\"10001\" f=\"1\" g=\"0.5\" U=\"1\"><Frame/>"
						   "</WindowType></WindowTypes><ShadingTypes><ShadingType id=\"10001\" z=\"0.5\"><Motor/></ShadingType>"
						   "</ShadingTypes></EmbeddedDataBase></RoomModelProject>";
	EXPECT_FALSE(readInto(xml, room, db).failed());
	EXPECT_EQ(room.m_height, 2.5);
	ASSERT_EQ(room.m_constructions.size(), 1u);
	EXPECT_EQ(room.m_constructions[0].m_constructionId, 3u);
	EXPECT_EQ(recorder.texts("[Room::readRoomSection]"), std::vector<std::string>{"Found unknown element 'Colour' in Room."});
	EXPECT_EQ(recorder.texts("[Room::readGeometrySection]"),
			  (std::vector<std::string>{"Found unknown element 'Extra' in Geometry.",
										"Found unknown element 'Beam' in Constructions."}));
	EXPECT_EQ(recorder.texts("[Room::readSimulationParametersSection]"),
			  std::vector<std::string>{"Found unknown element 'Speed' in SimulationParameters."});
	// every reader names what it drops, the misspelt schedule of the persons as the wrapper
	const std::pair<const char *, std::vector<std::string>> warnings[] = {
		{"[Room::readXML]", {"Found unknown element 'Wrapper' in RoomModelProject.",
							 "Found unknown element 'Furniture' in EmbeddedDataBase."}},
		{"UserLoads::readXML()", {"Found unknown element 'ScheduleOccupation' in UserLoads."}},
		{"MoistureLoads::readXML()", {"Found unknown element 'ScheduleMoisture' in MoistureLoads."}},
		{"[ProjectInformation::readXML]", {"Found unknown element 'Phone' in ProjectInformation."}},
		{"[Material::readXML]", {"Found unknown attribute 'TPCMlow' in Material.",
								 "Found unknown element 'Moisture' in Material."}},
		// attributes of elements that hold a value are as unknown
		{"[readTextElement]", {"Found unknown attribute 'unit' in Height."}},
		{"[ConstructionType::readXML]", {"Found unknown element 'Layer' in ConstructionType.",
										 "Found unknown element 'Colour' in Layer."}},
		{"[WindowType::readXML]", {"Found unknown element 'Frame' in WindowType."}},
		{"[ShadingType::readXML]", {"Found unknown element 'Motor' in ShadingType."}}
	};
	for (const auto & w : warnings) {
		std::vector<std::string> warned;
		for (const TestSupport::MessageRecorder::Message & m : recorder.m_messages)
			if (m.m_location == w.first && m.m_type == ZEB::MSG_WARNING)
				warned.push_back(m.m_text);
		EXPECT_EQ(warned, w.second) << w.first;
	}
}


TEST(RXRoom, ReportsBrokenSectionsWithContext) {
	RX::Room room;
	RX::Database db;
	const std::string material = "<Material id=\"10001\" name=\"A\" lambda=\"1\" rho=\"1\" cT=\"1\"/>";
	const std::string broken = "<Material id=\"10002\" name=\"B\" lambda=\"x\" rho=\"1\" cT=\"1\"/>";
	const std::optional<ZEB::Exception> ex = TestSupport::thrownException([&] {
		QXmlStreamReader reader(project("", "<Materials>" + material + "</Materials><Materials>" + broken + "</Materials>"));
		room.readXML(reader, db);
	});
	ASSERT_TRUE(ex);
	EXPECT_STREQ(ex->what(), "Error reading 'Materials' database section.");
	EXPECT_STREQ(ex->location(), "[Room::readXML]");
	EXPECT_NE(ex->msgStack().find("\nError reading XML tag #1."), std::string::npos) << ex->msgStack();
	EXPECT_TRUE(db.materials().empty());

	const QByteArray din = "<RoomModelProject><DIN4108_2Assessment_section><DIN4108_2Assessment>"
						   "<ClimateRegion>7</ClimateRegion></DIN4108_2Assessment></DIN4108_2Assessment_section></RoomModelProject>";
	EXPECT_EQ(TestSupport::failure([&] { QXmlStreamReader reader(din); room.readXML(reader, db); }),
			  "[Room::readXML] Error reading 'DIN4108_2Assessment_section' section.");
}


TEST(RXRoom, ImportRenumbersAClashingMaterialAndRewritesItsLayers) {
	TestSupport::MessageRecorder recorder;
	RX::Database db;
	RX::Material concrete("Concrete", 2.0, 2400, 1000);
	db.addMaterial(concrete, 10001);
	const std::string embedded =
		"<Materials><Material id=\"10001\" name=\"Insulation\" lambda=\"0.04\" rho=\"30\" cT=\"1500\"/></Materials>"
		"<ConstructionTypes><ConstructionType id=\"10001\" name=\"Wall\"><Layers><Layer materialId=\"10001\" d=\"0.2\"/>"
		"</Layers></ConstructionType></ConstructionTypes>";
	RX::Room room;
	ASSERT_FALSE(readInto(project("", embedded), room, db).failed());
	EXPECT_EQ(recorder.texts("[Room::readXML]"),
			  (std::vector<std::string>{"Importing materials\n",
										"Adding material 'Insulation' [origID #10001, newID #10002] to database.\n",
										"Replacing material (ID #10001 -> #10002) in construction type to be imported (ID #10001).\n",
										"Importing construction types\n",
										"Importing construction type 'Wall' (id #10001) into database.\n"}));
	ASSERT_NE(db.constructionById(10001), nullptr);
	EXPECT_EQ(db.constructionById(10001)->m_materialIds, std::vector<unsigned int>{10002});
	EXPECT_EQ(db.materialById(10001)->name(), "Concrete");

	// an equal material already in the database is used instead
	TestSupport::MessageRecorder again;
	RX::Database withEqual;
	RX::Material insulation("Insulation", 0.04, 30, 1500);
	withEqual.addMaterial(concrete, 10001);
	withEqual.addMaterial(insulation, 10005);
	ASSERT_FALSE(readInto(project("", embedded), room, withEqual).failed());
	std::vector<std::string> texts;
	for (const TestSupport::MessageRecorder::Message & m : again.m_messages)
		if (m.m_location == "[Room::readXML]")
			texts.push_back(std::to_string(m.m_type) + " " + m.m_text);
	EXPECT_EQ(texts, (std::vector<std::string>{
		"0 Importing materials\n",
		"0 DB-Material (id #10005) has same parameters, reusing this material.\n",
		"2 Imported material 'Insulation'exists already in DB (with ID #10005].\n",
		"0 Replacing material (ID #10001 -> #10005) in construction type to be imported (ID #10001).\n",
		"0 Importing construction types\n",
		"0 Importing construction type 'Wall' (id #10001) into database.\n"}));
	EXPECT_EQ(withEqual.materials().size(), 2u);
	EXPECT_EQ(withEqual.constructionById(10001)->m_materialIds, std::vector<unsigned int>{10005});
}


TEST(RXRoom, ImportMovesEachReferenceOnceAndKeepsBuiltinItems) {
	TestSupport::MessageRecorder recorder;
	RX::Database db;
	RX::WindowType stored("Stored", 0.5, 0.5, 1.0);
	db.addWindowType(stored, 10001);
	RX::ConstructionType builtin = constructionType("Built-in", {});
	db.addConstructionType(builtin, 7);
	RX::ConstructionType taken = constructionType("Taken", {});
	db.addConstructionType(taken, 10001);
	const std::string constructions =
		"<Geometry><Constructions>"
		"<RoomConstruction><constructionId>7</constructionId><windowId>10001</windowId></RoomConstruction>"
		"<RoomConstruction><constructionId>10001</constructionId><windowId>10002</windowId></RoomConstruction>"
		"</Constructions></Geometry>";
	const std::string embedded =
		"<ConstructionTypes><ConstructionType id=\"7\" name=\"Changed\"/><ConstructionType id=\"10001\" name=\"Mine\"/>"
		"</ConstructionTypes><WindowTypes><WindowType id=\"10001\" name=\"First\" f=\"0.8\" g=\"0.6\" U=\"1.1\"/>"
		"<WindowType id=\"10002\" name=\"Second\" f=\"0.7\" g=\"0.5\" U=\"0.9\"/></WindowTypes>";
	RX::Room room;
	ASSERT_FALSE(readInto(project(constructions, embedded), room, db).failed());
	ASSERT_EQ(room.m_constructions.size(), 2u);
	EXPECT_EQ(room.m_constructions[0].m_constructionId, 7u);
	EXPECT_EQ(db.constructionById(7)->name(), "Built-in");
	EXPECT_EQ(room.m_constructions[1].m_constructionId, 10002u);
	EXPECT_EQ(db.constructionById(10002)->name(), "Mine");
	// First becomes 10002, which then pushes Second on to 10003
	EXPECT_EQ(room.m_constructions[0].m_windowId, 10002u);
	EXPECT_EQ(room.m_constructions[1].m_windowId, 10003u);
	EXPECT_EQ(db.windowById(10002)->name(), "First");
	EXPECT_EQ(db.windowById(10003)->name(), "Second");
	const std::vector<std::string> texts = recorder.texts("[Room::readXML]");
	ASSERT_EQ(texts.size(), 6u);
	EXPECT_EQ(texts[2], "Replacing construction type (ID #10001 -> #10002) in room definition.\n");
	EXPECT_EQ(texts[5], "Adding window type 'Second' [origID #10002, newID #10003] to database.\n");
}


TEST(RXRoom, EveryCutOfAProjectFileFailsAndLeavesTheDatabase) {
	TestSupport::MessageRecorder quiet;
	const RX::Database source = testDatabase();
	RX::Database before;
	RX::Material other("Other", 1, 1, 1);
	before.addMaterial(other, 10001);
	const QByteArray small = written(RX::Room(), source);
	const QByteArray large = written(variedRoom(), source);
	// every byte of the small file, a stride through the large one
	for (const auto & [file, stride] : {std::pair<QByteArray, int>{small, 1}, {large, 7}}) {
		const int end = file.lastIndexOf("</RoomModelProject>") + 19;
		for (int length = 0; length < end; length += stride) {
			RX::Room room;
			RX::Database db = before;
			const ReadResult result = readInto(file.left(length), room, db);
			ASSERT_TRUE(result.failed()) << "cut at " << length;
			ASSERT_TRUE(sameDatabase(db, before)) << "cut at " << length;
		}
	}
}


TEST(RXRoom, RefusesTextThatIsNoFiniteNumber) {
	const auto refused = [](const std::string & roomChildren) {
		RX::Room room;
		RX::Database db;
		return readInto(project(roomChildren), room, db).m_exception;
	};
	const auto message = [](const std::string & text, const std::string & tag, const std::string & owner) {
		return "Invalid value '" + text + "' in element '" + tag + "' of " + owner + ", expected a finite number.";
	};
	const std::string construction = "<RoomConstruction><AW>10</AW><constructionId>7</constructionId></RoomConstruction>";
	EXPECT_EQ(refused("<Geometry><Constructions>" + construction + "<RoomConstruction><AW> nan </AW></RoomConstruction>"
					  "</Constructions></Geometry>"),
			  message("nan", "AW", "RoomConstruction") + " \nError reading room construction #2.");
	EXPECT_EQ(refused("<Geometry><Constructions><RoomConstruction><orientation>-inf</orientation></RoomConstruction>"
					  "</Constructions></Geometry>"),
			  message("-inf", "orientation", "RoomConstruction") + " \nError reading room construction #1.");
	EXPECT_EQ(refused("<Geometry><Height>1e999</Height></Geometry>"), message("1e999", "Height", "Geometry"));
	EXPECT_EQ(refused("<SimulationParameters><Albedo>NaN</Albedo></SimulationParameters>"),
			  message("NaN", "Albedo", "SimulationParameters"));
	EXPECT_EQ(refused("<HeatingModel modelType=\"SIMPLE\"><MaxPower>inf</MaxPower></HeatingModel>"),
			  message("inf", "MaxPower", "HeatingModel"));
	// a schedule's constant and every number of its value lists
	EXPECT_EQ(refused("<HeatingModel><ScheduleSetPoints type=\"CONSTANT\"><ConstantValue>nan</ConstantValue>"
					  "</ScheduleSetPoints></HeatingModel>"),
			  message("nan", "ConstantValue", "schedule 'ScheduleSetPoints'"));
	EXPECT_EQ(refused("<UserLoads><ScheduleOccupancy type=\"DAILY_WEEK\"><WeekDaySchedule>0 1 inf 1</WeekDaySchedule>"
					  "</ScheduleOccupancy></UserLoads>"),
			  message("inf", "WeekDaySchedule", "schedule 'ScheduleOccupancy'"));
	EXPECT_EQ(refused("<NaturalVentilationModel><ScheduleAirChangeRates type=\"DATLINEAR\"><LinearSpline name=\"DatLinear\">"
					  "<X unit=\"h\">0 1 2</X><Y unit=\"---\">0 1 nan</Y></LinearSpline></ScheduleAirChangeRates>"
					  "</NaturalVentilationModel>"),
			  message("nan", "Y", "LinearSpline 'DatLinear'"));
	for (const char * element : {"<NaturalVentilationModel><MinTRoom>nan</MinTRoom></NaturalVentilationModel>",
								 "<MechanicalVentilationModel><SupplyTemperature>nan</SupplyTemperature></MechanicalVentilationModel>",
								 "<CoolingModel><MaxPower>nan</MaxPower></CoolingModel>",
								 "<UserLoads><PersonLoad>nan</PersonLoad></UserLoads>",
								 "<ShadingControlModel><MaxRadiationIntensityWest>nan</MaxRadiationIntensityWest></ShadingControlModel>"})
		EXPECT_NE(refused(element).find("Invalid value 'nan' in element '"), std::string::npos) << element;

	// a database item is named by its id
	RX::Room room;
	RX::Database db;
	EXPECT_EQ(readInto(project("", "<Materials><Material id=\"5\" name=\"M\" lambda=\"nan\" rho=\"2\" cT=\"3\"/>"
							   "</Materials>"), room, db).m_exception,
			  "Invalid value 'nan' in attribute 'lambda' of Material, expected a finite number.\nError reading XML tag #1. "
			  "\nError reading database item with id 5. "
			  "\nError reading 'Materials' database section.");

	// text that is no number at all, in every reader that takes one
	const std::string setPoint = "<HeatingModel><ScheduleSetPoints type=\"CONSTANT\"><ConstantValue>%</ConstantValue>"
								 "</ScheduleSetPoints></HeatingModel>";
	for (const char * text : {"twenty", "20,5", "20 C", ""})
		EXPECT_EQ(refused(QString::fromStdString(setPoint).replace("%", text).toStdString()),
				  message(text, "ConstantValue", "schedule 'ScheduleSetPoints'"));
	EXPECT_EQ(refused("<HeatingModel><MaxPower>1e5W</MaxPower></HeatingModel>"), message("1e5W", "MaxPower", "HeatingModel"));
	EXPECT_EQ(refused("<SimulationParameters><TInitial>abc</TInitial></SimulationParameters>"),
			  message("abc", "TInitial", "SimulationParameters"));
	EXPECT_EQ(refused("<Geometry><Height>2,7</Height></Geometry>"), message("2,7", "Height", "Geometry"));
	EXPECT_EQ(refused("<Geometry><Constructions><RoomConstruction><windowId>none</windowId></RoomConstruction>"
					  "</Constructions></Geometry>"),
			  "Invalid value 'none' in element 'windowId' of RoomConstruction, expected a whole number of 0 or more. "
			  "\nError reading room construction #1.");
	for (const char * element : {"<UserLoads><ScheduleOccupancy type=\"DAILY_WEEK\"><WeekDaySchedule>0 1 x 1</WeekDaySchedule>"
								 "</ScheduleOccupancy></UserLoads>",
								 "<UserLoads><ScheduleOccupancy type=\"DAILY_SEASONAL\"><SummerStartDay>May</SummerStartDay>"
								 "</ScheduleOccupancy></UserLoads>",
								 "<NaturalVentilationModel><ScheduleAirChangeRates type=\"DATLINEAR\"><LinearSpline name=\"DatLinear\">"
								 "<X unit=\"h\">0 1 2</X><Y unit=\"---\">0 1 x</Y></LinearSpline></ScheduleAirChangeRates>"
								 "</NaturalVentilationModel>",
								 "<SimulationParameters><InterfaceDefinition>x</InterfaceDefinition></SimulationParameters>",
								 "<CoolingModel><MaxPower></MaxPower></CoolingModel>",
								 "<MoistureLoads><ScheduleMoistureLoad type=\"CONSTANT\"><ConstantValue>x</ConstantValue>"
								 "</ScheduleMoistureLoad></MoistureLoads>",
								 "<NaturalVentilationModel><MinTRoom>x</MinTRoom></NaturalVentilationModel>",
								 "<MechanicalVentilationModel><SupplyTemperature>x</SupplyTemperature></MechanicalVentilationModel>",
								 "<UserLoads><PersonLoad>x</PersonLoad></UserLoads>",
								 "<ShadingControlModel><MaxRadiationIntensityWest>x</MaxRadiationIntensityWest></ShadingControlModel>",
								 "<ShadingControlModel><StructuralShadings><StructuralShading><WindowHeight>x</WindowHeight>"
								 "</StructuralShading></StructuralShadings></ShadingControlModel>"})
		EXPECT_NE(refused(element).find("Invalid value '"), std::string::npos) << element;
	for (const char * assessment : {"<ClimateRegion>one</ClimateRegion>", "<MaximumHeatingPower>lots</MaximumHeatingPower>"}) {
		RX::Room din;
		RX::Database dinDb;
		const std::string file = "<RoomModelProject><DIN4108_2Assessment_section><DIN4108_2Assessment>" +
								 std::string(assessment) + "</DIN4108_2Assessment></DIN4108_2Assessment_section></RoomModelProject>";
		EXPECT_NE(readInto(QByteArray::fromStdString(file), din, dinDb).m_exception.find("Invalid value '"), std::string::npos)
			<< assessment;
	}
	// database items: an optional value may be left out, but not be a word; the refusal names it
	const std::string number = "a finite number.";
	for (const auto & [material, reason] : {std::pair{"mu=\"a\"", "'a' in attribute 'mu' of Material, expected " + number},
											{"w50=\"a\" w80=\"100\" wsat=\"130\"",
											 "'a' in attribute 'w50' of Material, expected " + number}}) {
		RX::Room withMaterial;
		RX::Database materialDb;
		EXPECT_EQ(readInto(project("", "<Materials><Material id=\"5\" name=\"M\" lambda=\"1\" rho=\"2\" cT=\"3\" " +
										std::string(material) + "/></Materials>"), withMaterial, materialDb)
					  .m_exception.rfind("Invalid value " + reason + "\n", 0), 0u) << material;
	}
	// nor is an id or a kind a word
	const std::string whole = ", expected a whole number of 0 or more.\n";
	for (const auto & [items, reason] :
		 {std::pair{"<Materials><Material id=\"x5\" name=\"M\" lambda=\"1\" rho=\"2\" cT=\"3\"/></Materials>",
					"'x5' in attribute 'id' of Material"},
		  {"<ConstructionTypes><ConstructionType id=\"five\"/></ConstructionTypes>", "'five' in attribute 'id' of ConstructionType"},
		  {"<ConstructionTypes><ConstructionType id=\"5\"><Layers><Layer materialId=\"x5\" d=\"0.1\"/>"
		   "</Layers></ConstructionType></ConstructionTypes>", "'x5' in attribute 'materialId' of Layer"},
		  {"<WindowTypes><WindowType id=\"5a\" f=\"1\" g=\"0.5\" U=\"1\"/></WindowTypes>", "'5a' in attribute 'id' of WindowType"},
		  {"<ShadingTypes><ShadingType id=\"\" z=\"0.5\"/></ShadingTypes>", "'' in attribute 'id' of ShadingType"},
		  {"<Materials><Material id=\"5\" category=\"Insulation\" name=\"M\" lambda=\"1\" rho=\"2\" cT=\"3\"/></Materials>",
		   "'Insulation' in attribute 'category' of Material"},
		  {"<ConstructionTypes><ConstructionType id=\"5\" Insulation=\"outside\"/></ConstructionTypes>",
		   "'outside' in attribute 'Insulation' of ConstructionType"},
		  {"<ConstructionTypes><ConstructionType id=\"5\" Materials=\"\"/></ConstructionTypes>",
		   "'' in attribute 'Materials' of ConstructionType"},
		  {"<ConstructionTypes><ConstructionType id=\"5\" Construction=\"roof\"/></ConstructionTypes>",
		   "'roof' in attribute 'Construction' of ConstructionType"},
		  {"<WindowTypes><WindowType id=\"5\" f=\"1\" g=\"0.5\" U=\"1\" GlazingKind=\"double\"/></WindowTypes>",
		   "'double' in attribute 'GlazingKind' of WindowType"}}) {
		RX::Room withItem;
		RX::Database itemDb;
		EXPECT_EQ(readInto(project("", items), withItem, itemDb).m_exception.rfind("Invalid value " + std::string(reason) +
																					whole, 0), 0u) << items;
	}

	// a keyword, boolean or type that the reader does not know, in every reader that takes one
	EXPECT_EQ(refused("<HeatingModel modelType=\"None\"/>"),
			  "Invalid value 'None' in attribute 'modelType' of HeatingModel, expected one of: NONE, SIMPLE.");
	EXPECT_EQ(refused("<Geometry><Constructions><RoomConstruction><type>inside</type></RoomConstruction></Constructions>"
					  "</Geometry>"),
			  "Invalid value 'inside' in element 'type' of RoomConstruction, expected one of: Outside, Inside, "
			  "FixedTemperature. \nError reading room construction #1.");
	EXPECT_EQ(refused("<SimulationParameters><UsePerezModel>yes</UsePerezModel></SimulationParameters>"),
			  "Invalid value 'yes' in element 'UsePerezModel' of SimulationParameters, expected one of: false, true.");
	EXPECT_EQ(refused("<UserLoads><ScheduleOccupancy type=\"constant\"/></UserLoads>"),
			  "Invalid value 'constant' in attribute 'type' of schedule 'ScheduleOccupancy', expected one of: CONSTANT, "
			  "DAILY_SEASONAL, DAILY_WEEK, ANNUAL, DATLINEAR.");
	for (const char * element : {"<CoolingModel modelType=\"simple\"/>", "<NaturalVentilationModel modelType=\"\"/>",
								 "<MechanicalVentilationModel modelType=\"COOLING\"/>",
								 "<ShadingControlModel modelType=\"1\"/>",
								 "<SimulationParameters><MoistureBalanceEnabled>1</MoistureBalanceEnabled></SimulationParameters>",
								 "<SimulationParameters><CyclicTwoYearSimulation>on</CyclicTwoYearSimulation></SimulationParameters>",
								 "<UserLoads><ScheduleOccupancy type=\"DAILY_WEEK\"><WeekEndDays>Sat Sunday</WeekEndDays>"
								 "</ScheduleOccupancy></UserLoads>"})
		EXPECT_NE(refused(element).find(", expected one of: "), std::string::npos) << element;
	EXPECT_NE(readInto(QByteArray("<RoomModelProject><DIN4108_2Assessment_section><DIN4108_2Assessment><Residential>no"
								  "</Residential></DIN4108_2Assessment></DIN4108_2Assessment_section></RoomModelProject>"),
					   room, db).m_exception.find("Invalid value 'no' in element 'Residential'"), std::string::npos);
}
