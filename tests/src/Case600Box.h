#ifndef Case600BoxH
#define Case600BoxH

#include <vector>

#include "ExampleRoom.h"
#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "RX_ConstructionType.h"
#include "RX_Database.h"
#include "RX_Material.h"
#include "RX_Room.h"
#include "RX_RoomConstruction.h"
#include "ZEB_Time.h"

// The example room and the other rooms of the room model's tests and benchmarks.
namespace Case600 {

/*! Makes a material able to carry moisture: linear storage, 10 kg/m3 at saturation. */
inline void addMoistureStorage(RX::Material & m) {
	m.m_mu = 20;
	m.init({0.0, 1.0}, {0.0, 10.0});
}

/*! A material that can also carry moisture. */
inline void addMaterial(RX::Database & db, unsigned int id, double lambda, double rho, double cT) {
	RX::Material m("en:Test", lambda, rho, cT);
	addMoistureStorage(m);
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

/*! The example's lightweight box with its 12 m2 of glazing in the south wall (construction 2),
	its materials able to carry moisture (ExampleRoom::addBox). */
inline void addBox(RX::Room & room, RX::Database & db) {
	ExampleRoom::addBox(room, db, addMoistureStorage);
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

/*! The box in Denver: heating to 20 C, cooling to 27 C, natural ventilation and two persons. */
inline void addDenverBox(RX::Room & room, RX::Database & db) {
	addBox(room, db);
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
		d.assign(ZEB::HOURS_PER_YEAR, 0);
	data.m_data[OVM::ClimateDataLoader::Temperature].assign(ZEB::HOURS_PER_YEAR, T);
	data.m_data[OVM::ClimateDataLoader::RelativeHumidity].assign(ZEB::HOURS_PER_YEAR, RH);
	data.m_data[OVM::ClimateDataLoader::AirPressure].assign(ZEB::HOURS_PER_YEAR, 101325);
	return data;
}

} // namespace Case600

#endif // Case600BoxH
