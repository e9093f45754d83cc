#ifndef ProjectSeedsH
#define ProjectSeedsH

// The project the project-file seeds are written from: a database of the items the test room
// uses, and a room with several sub-models away from their defaults.

#include <QByteArray>
#include <QBuffer>
#include <QXmlStreamWriter>

#include "RX_Database.h"
#include "RX_Room.h"

namespace ProjectSeeds {

/*! Construction types 7, 9, 11 of materials 1 and 2, window type 5, shading type 2. */
inline RX::Database database() {
	RX::Database db;
	RX::Material brick("en:Brick|de:Ziegel", 0.8, 1600, 850);
	RX::Material insulation("Insulation", 0.04, 30, 1500);
	db.addMaterial(brick, 1);
	db.addMaterial(insulation, 2);
	const auto construction = [&](const char * name, std::vector<unsigned int> materialIds, unsigned int id) {
		RX::ConstructionType c;
		c.setNameString(name);
		c.m_d.assign(materialIds.size(), 0.1);
		c.m_materialIds = materialIds;
		db.addConstructionType(c, id);
	};
	construction("Outside wall", {1, 2}, 7);
	construction("Inside wall", {1}, 9);
	construction("Floor", {2, 1, 2}, 11);
	RX::WindowType window("Double glazing", 0.7, 0.6, 1.3);
	db.addWindowType(window, 5);
	RX::ShadingType blind("Blind", 0.25);
	db.addShadingType(blind, 2);
	return db;
}

/*! The test room with heating, cooling, ventilation, loads and shading control set. */
inline RX::Room variedRoom() {
	RX::Room room;
	room.m_area = 22.5;
	room.m_moistureBalanceEnabled = true;
	room.m_usePerezModel = true;
	room.m_climateLocation = "Europe/Elsewhere/station.epw";
	room.m_constructions[1].m_type = RX::RoomConstruction::FixedTemperature;
	room.m_constructions[1].m_zoneT = 290.15;
	room.m_heatingModel.m_scheduleSetPoints.m_type = RX::Schedule::DAILY_SEASONAL;
	room.m_coolingModel.m_modelType = RX::CoolingModel::SIMPLE;
	room.m_coolingModel.m_maxPowerCurve.setValues({293.15, 303.15}, {500, 1500});
	room.m_naturalVentilationModel.m_modelType = RX::NaturalVentilationModel::DIN;
	room.m_mechanicalVentilationModel.m_modelType = RX::MechanicalVentilationModel::MECHANICAL_VENTILATION;
	room.m_moistureLoads.m_scheduleMoistureLoad.m_type = RX::Schedule::DAILY_WEEK;
	room.m_userLoads.m_scheduleOccupancy.m_type = RX::Schedule::DAILY_WEEK;
	room.m_shadingControlModel.m_modelType = RX::ShadingControlModel::INTENSITY_CONTROLLED;
	room.m_shadingControlModel.m_structuralShadings.at(0).m_hasOverhang = true;
	room.m_din4108_2Assessment.m_active = true;
	return room;
}

/*! The project document of room with the items of db it uses. */
inline QByteArray document(const RX::Room & room, const RX::Database & db) {
	QByteArray bytes;
	QBuffer buffer(&bytes);
	buffer.open(QIODevice::WriteOnly);
	QXmlStreamWriter writer(&buffer);
	room.writeXML(writer, &db);
	return bytes;
}

} // namespace ProjectSeeds

#endif // ProjectSeedsH
