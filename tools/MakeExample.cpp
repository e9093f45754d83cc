// Writes the example projects with the project writer:
//   calovinda_make_example DIR
// DIR/calovinda_project.rmxml (heated below 20 C, cooled above 27 C) and
// DIR/free_floating.rmxml (the same room without heating and cooling).

#include <cstdio>
#include <string>

#include <QByteArray>
#include <QXmlStreamWriter>

#include "RX_ConstructionType.h"
#include "RX_Database.h"
#include "RX_Material.h"
#include "RX_Room.h"
#include "RX_RoomConstruction.h"
#include "RX_WindowType.h"
#include "ZEB_Exception.h"
#include "ZEB_OutputFile.h"
#include "ZEB_Time.h"

namespace {

void addMaterial(RX::Database & db, unsigned int id, const char * name, double lambda, double rho, double cT) {
	RX::Material m(name, lambda, rho, cT);
	db.addMaterial(m, id);
}

void addConstructionType(RX::Database & db, unsigned int id, const char * name, const std::vector<double> & d,
						 const std::vector<unsigned int> & materials)
{
	RX::ConstructionType ct;
	ct.setNameString(name);
	ct.m_d = d;
	ct.m_materialIds = materials;
	db.addConstructionType(ct, id);
}

RX::RoomConstruction surface(unsigned int type, double AW, double orientation, double inclination, double ad) {
	RX::RoomConstruction rc;
	rc.m_constructionId = type;
	rc.m_type = RX::RoomConstruction::Outside;
	rc.m_AW = AW;
	rc.m_orientation = orientation;
	rc.m_inclination = inclination;
	rc.m_R_ue = 0.034;
	rc.m_R_ui = 0.121;
	rc.m_ad = ad;
	return rc;
}

void constant(RX::Schedule & s, double value) {
	s.m_type = RX::Schedule::CONSTANT;
	s.m_constantValue = value;
}

bool write(const std::string & fileName, bool conditioned) {
	RX::Database db;
	RX::Room room;
	room.m_constructions.clear();
	room.m_shadingControlModel.m_structuralShadings.clear();

	addMaterial(db, 10001, "en:Wood siding", 0.14, 530, 900);
	addMaterial(db, 10002, "en:Glass-fibre insulation", 0.04, 12, 840);
	addMaterial(db, 10003, "en:Plasterboard", 0.16, 950, 840);
	addMaterial(db, 10004, "en:Timber flooring", 0.14, 650, 1200);
	addConstructionType(db, 10001, "en:Lightweight wall", {0.009, 0.066, 0.012}, {10001, 10002, 10003});
	addConstructionType(db, 10002, "en:Lightweight roof", {0.019, 0.1118, 0.010}, {10001, 10002, 10003});
	addConstructionType(db, 10003, "en:Lightweight floor", {0.025}, {10004});

	RX::WindowType window("en:Clear double glazing", 1.0, 0.77, 3.0);
	window.m_glazingKind = RX::WindowType::GK_DOUBLE_GLAZING;
	// relative solar heat gain of clear double glazing over the angle of incidence
	window.m_relativeSHGC.setValues({0, 10, 20, 30, 40, 50, 60, 70, 80, 90},
									{1.0, 1.0, 0.99, 0.98, 0.95, 0.9, 0.79, 0.58, 0.28, 0});
	db.addWindowType(window, 10001);

	room.m_area = 48;
	room.m_height = 2.7;
	const double areas[4] = {21.6, 16.2, 21.6, 16.2};
	for (unsigned int i = 0; i < 4; ++i)
		room.m_constructions.push_back(surface(10001, areas[i], 90.0*i, 90, 0.6));
	room.m_constructions.push_back(surface(10002, 48, 0, 0, 0.6));
	room.m_constructions.push_back(surface(10003, 48, 0, 180, 0));
	// the floor's 1.003 m of insulation has no mass: exactly a resistance in series with the
	// outside surface's, 1/29.3 + 1.003/0.04 m2K/W beneath the timber
	room.m_constructions.back().m_R_ue = 25.109;
	// two 3 m x 2 m panes in the south wall
	RX::RoomConstruction & south = room.m_constructions[2];
	south.m_windowId = 10001;
	south.m_AF = 12;
	south.m_AW = 21.6 - 12;
	room.m_shadingControlModel.m_structuralShadings.resize(room.m_constructions.size());

	room.m_naturalVentilationModel.m_modelType = RX::NaturalVentilationModel::SIMPLE;
	constant(room.m_naturalVentilationModel.m_scheduleAirChangeRates, 0.5);
	constant(room.m_userLoads.m_scheduleOccupancy, 0);
	constant(room.m_userLoads.m_scheduleEquipmentLoad, 200.0/48);
	// the room's defaults heat; the free-floating room has neither heater nor cooler
	room.m_heatingModel.m_modelType = RX::HeatingModel::NONE;
	room.m_coolingModel.m_modelType = RX::CoolingModel::NONE;
	if (conditioned) {
		room.m_heatingModel.m_modelType = RX::HeatingModel::SIMPLE;
		room.m_heatingModel.m_maxPower = 1e5;
		constant(room.m_heatingModel.m_scheduleSetPoints, 20);
		room.m_coolingModel.m_modelType = RX::CoolingModel::SIMPLE;
		room.m_coolingModel.m_maxPower = 1e5;
		constant(room.m_coolingModel.m_scheduleSetPoints, 27);
	}
	room.m_moistureBalanceEnabled = false;
	room.m_climateLocation = "725650TYCST.epw";
	room.m_simulationStartTime = 0;
	room.m_simulationEndTime = ZEB::SECONDS_PER_YEAR;
	room.m_outputTimeSteps = 3600;

	QByteArray text;
	QXmlStreamWriter writer(&text);
	writer.setAutoFormatting(true);
	room.writeXML(writer, &db);
	// the project takes its name only when written whole
	try {
		ZEB::OutputFile file(fileName);
		file.open();
		file.write(text.constData(), static_cast<std::size_t>(text.size()));
		file.commit();
	}
	catch (const ZEB::Exception & ex) {
		std::fprintf(stderr, "%s\n", ex.what());
		return false;
	}
	return true;
}

} // namespace

int main(int argc, char * argv[]) {
	if (argc != 2) {
		std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
		return 2;
	}
	const std::string dir = argv[1];
	return write(dir + "/calovinda_project.rmxml", true) && write(dir + "/free_floating.rmxml", false) ? 0 : 1;
}
