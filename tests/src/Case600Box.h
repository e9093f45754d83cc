#ifndef Case600BoxH
#define Case600BoxH

#include <vector>

#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "RX_ConstructionType.h"
#include "RX_Database.h"
#include "RX_Material.h"
#include "RX_Room.h"
#include "RX_RoomConstruction.h"
#include "RX_WindowType.h"

// The lightweight validation box of the room model's tests and benchmarks.
namespace Case600 {

/*! A material that can also carry moisture (linear storage, 10 kg/m3 at saturation). */
inline void addMaterial(RX::Database & db, unsigned int id, double lambda, double rho, double cT) {
	RX::Material m("en:Test", lambda, rho, cT);
	m.m_mu = 20;
	m.init({0.0, 1.0}, {0.0, 10.0});
	db.addMaterial(m, id);
}

/*! Construction type id from layers (width [m], material id), outer face first. */
inline void addConstructionType(RX::Database & db, unsigned int id, const std::vector<double> & d,
								const std::vector<unsigned int> & materials)
{
	RX::ConstructionType ct;
	ct.m_d = d;
	ct.m_materialIds = materials;
	db.addConstructionType(ct, id);
}

/*! Appends rc to the room's constructions, with a structural shading of its own. */
inline void addConstruction(RX::Room & room, const RX::RoomConstruction & rc) {
	room.m_constructions.push_back(rc);
	room.m_shadingControlModel.m_structuralShadings.resize(room.m_constructions.size());
}

/*! Floor 8 m x 6 m, height 2.7 m; walls 0.009 wood / 0.066 glass fibre / 0.012 plasterboard,
	facing north, east, south, west; roof 0.019 / 0.1118 / 0.010; floor 1.003 insulation under
	0.025 timber, facing down without solar absorption. Materials 1-4, construction types 1-3. */
inline void addBox(RX::Room & room, RX::Database & db) {
	addMaterial(db, 1, 0.14, 530, 900);
	addMaterial(db, 2, 0.04, 12, 840);
	addMaterial(db, 3, 0.16, 950, 840);
	addMaterial(db, 4, 0.14, 650, 1200);
	addConstructionType(db, 1, {0.009, 0.066, 0.012}, {1, 2, 3});
	addConstructionType(db, 2, {0.019, 0.1118, 0.010}, {1, 2, 3});
	addConstructionType(db, 3, {1.003, 0.025}, {2, 4});
	room.m_area = 48;
	room.m_height = 2.7;
	const double areas[4] = {21.6, 16.2, 21.6, 16.2};
	const auto surface = [](unsigned int type, double AW, double orientation, double inclination, double ad) {
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
	};
	for (unsigned int i = 0; i < 4; ++i)
		addConstruction(room, surface(1, areas[i], 90.0*i, 90, 0.6));
	addConstruction(room, surface(2, 48, 0, 0, 0.6));
	addConstruction(room, surface(3, 48, 0, 180, 0));
}

/*! The box's south wall (construction 2) gets a 12 m2 window, U 3, g 0.77 (window type 1). */
inline void addWindow(RX::Room & room, RX::Database & db) {
	RX::WindowType w("en:Double", 1.0, 0.77, 3.0);
	db.addWindowType(w, 1);
	RX::RoomConstruction & south = room.m_constructions[2];
	south.m_windowId = 1;
	south.m_AF = 12;
	south.m_AW = 21.6 - 12;
}

/*! Ideal heating to 20 C and cooling to 27 C of 10 kW each, under the Denver climate. */
inline void addDenverHeatingAndCooling(RX::Room & room) {
	room.m_climateLocation = "725650TYCST.epw";
	room.m_heatingModel.m_modelType = RX::HeatingModel::SIMPLE;
	room.m_heatingModel.m_maxPower = 1e4;
	room.m_heatingModel.m_scheduleSetPoints.m_type = RX::Schedule::CONSTANT;
	room.m_heatingModel.m_scheduleSetPoints.m_constantValue = 20;
	room.m_coolingModel.m_modelType = RX::CoolingModel::SIMPLE;
	room.m_coolingModel.m_maxPower = 1e4;
	room.m_coolingModel.m_scheduleSetPoints.m_type = RX::Schedule::CONSTANT;
	room.m_coolingModel.m_scheduleSetPoints.m_constantValue = 27;
}

/*! The box with its south window in Denver: heating to 20 C, cooling to 27 C, natural ventilation
	and two persons. */
inline void addDenverBox(RX::Room & room, RX::Database & db) {
	addBox(room, db);
	addWindow(room, db);
	addDenverHeatingAndCooling(room);
	room.m_gammaHC = 0.5;
	room.m_gammaRad = 0.6;
	room.m_naturalVentilationModel.m_modelType = RX::NaturalVentilationModel::SIMPLE;
	room.m_userLoads.m_scheduleOccupancy.m_constantValue = 2;
}

/*! A year of constant temperature [C] and relative humidity [%] at standard pressure, 40 N,
	105 W, UTC-7; every other column zero. */
inline OVM::ClimateDataLoader constantClimate(double T, double RH) {
	OVM::ClimateDataLoader data;
	data.m_city = "Testhausen";
	data.m_latitude = 40;
	data.m_longitude = -105;
	data.m_timeZone = -7;
	for (std::vector<double> & d : data.m_data)
		d.assign(OVM::HOURS_PER_YEAR, 0);
	data.m_data[OVM::ClimateDataLoader::Temperature].assign(OVM::HOURS_PER_YEAR, T);
	data.m_data[OVM::ClimateDataLoader::RelativeHumidity].assign(OVM::HOURS_PER_YEAR, RH);
	data.m_data[OVM::ClimateDataLoader::AirPressure].assign(OVM::HOURS_PER_YEAR, 101325);
	return data;
}

} // namespace Case600

#endif // Case600BoxH
