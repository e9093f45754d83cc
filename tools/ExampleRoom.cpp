#include "ExampleRoom.h"

#include "RX_ConstructionType.h"
#include "RX_Material.h"
#include "RX_RoomConstruction.h"
#include "RX_WindowType.h"

namespace ExampleRoom {

namespace {

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

} // namespace


void addBox(RX::Room & room, RX::Database & db, const std::function<void(RX::Material &)> & adjustMaterial) {
	const auto addMaterial = [&](unsigned int id, const char * name, double lambda, double rho, double cT) {
		RX::Material m(name, lambda, rho, cT);
		if (adjustMaterial)
			adjustMaterial(m);
		db.addMaterial(m, id);
	};
	addMaterial(10001, "en:Wood siding", 0.14, 530, 900);
	addMaterial(10002, "en:Glass-fibre insulation", 0.04, 12, 840);
	addMaterial(10003, "en:Plasterboard", 0.16, 950, 840);
	addMaterial(10004, "en:Timber flooring", 0.14, 650, 1200);
	const auto addConstructionType = [&](unsigned int id, const char * name, const std::vector<double> & d,
										 const std::vector<unsigned int> & materials)
	{
		RX::ConstructionType ct;
		ct.setNameString(name);
		ct.m_d = d;
		ct.m_materialIds = materials;
		db.addConstructionType(ct, id);
	};
	addConstructionType(10001, "en:Lightweight wall", {0.009, 0.066, 0.012}, {10001, 10002, 10003});
	addConstructionType(10002, "en:Lightweight roof", {0.019, 0.1118, 0.010}, {10001, 10002, 10003});
	addConstructionType(10003, "en:Lightweight floor", {0.025}, {10004});

	RX::WindowType window("en:Clear double glazing", 1.0, 0.77, 3.0);
	window.m_glazingKind = RX::WindowType::GK_DOUBLE_GLAZING;
	// relative solar heat gain of clear double glazing over the angle of incidence
	window.m_relativeSHGC.setValues({0, 10, 20, 30, 40, 50, 60, 70, 80, 90},
									{1.0, 1.0, 0.99, 0.98, 0.95, 0.9, 0.79, 0.58, 0.28, 0});
	db.addWindowType(window, 10001);

	room.m_area = 48;
	room.m_height = 2.7;
	room.m_constructions.clear();
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
	room.m_shadingControlModel.m_structuralShadings.clear();
	room.m_shadingControlModel.m_structuralShadings.resize(room.m_constructions.size());
}

} // namespace ExampleRoom
