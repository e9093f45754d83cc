// Writes the example projects with the project writer:
//   calovinda_make_example DIR
// DIR/calovinda_project.rmxml (heated below 20 C, cooled above 27 C) and
// DIR/free_floating.rmxml (the same room without heating and cooling).

#include <cstdio>
#include <string>

#include <QByteArray>
#include <QXmlStreamWriter>

#include "ExampleRoom.h"
#include "RX_Database.h"
#include "RX_Room.h"
#include "ZEB_Exception.h"
#include "ZEB_OutputFile.h"
#include "ZEB_Time.h"

namespace {

void constant(RX::Schedule & s, double value) {
	s.m_type = RX::Schedule::CONSTANT;
	s.m_constantValue = value;
}

bool write(const std::string & fileName, bool conditioned) {
	RX::Database db;
	RX::Room room;
	ExampleRoom::addBox(room, db);

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
