#include <gtest/gtest.h>

#include "RX_Database.h"
#include "RX_RoomConstruction.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using TestSupport::MessageRecorder;
using XMLTestSupport::readInto;
using XMLTestSupport::written;

TEST(RXRoomConstruction, DefaultWritesItsChildrenInOrderAndReadsBackEqual) {
	const RX::RoomConstruction c;
	const QString text = written(c);
	EXPECT_EQ(text, "<RoomConstruction><orientation>270</orientation><inclination>90</inclination>"
					"<R_ue>0.04</R_ue><R_ui>0.13</R_ui><beta_e>2e-07</beta_e><beta_i>3e-08</beta_i><ad>0.7</ad>"
					"<zoneT>12</zoneT><zoneRH>50</zoneRH><AW>10</AW><AF>0</AF><constructionId>0</constructionId>"
					"<windowId>0</windowId><shadingTypeId>0</shadingTypeId><type>Outside</type></RoomConstruction>");

	RX::RoomConstruction back;
	back.m_zoneT = 0;
	back.m_zoneRH = 0;
	back.m_type = RX::RoomConstruction::Inside;
	EXPECT_EQ(readInto(text, back), "");
	EXPECT_DOUBLE_EQ(back.m_zoneT, 285.15);
	EXPECT_DOUBLE_EQ(back.m_zoneRH, 0.5);
	EXPECT_EQ(written(back), text);
}


TEST(RXRoomConstruction, ReadsTolerantlyAndKeepsWhatIsAbsent) {
	MessageRecorder recorder;
	RX::RoomConstruction c;
	c.m_AW = 7;
	EXPECT_EQ(readInto(QString("<RoomConstruction><constructionId> 0 </constructionId><windowId>12</windowId>"
							   "<zoneTCCD>dir\\zone.ccd </zoneTCCD><AF>0</AF><Phone>1<b/></Phone>"
							   "<type>FixedTemperature</type><zoneT>-5</zoneT></RoomConstruction>"), c), "");
	EXPECT_EQ(c.m_constructionId, 0u);
	EXPECT_EQ(c.m_windowId, 12u);
	EXPECT_EQ(c.m_zoneTCCD.str(), "dir\\zone.ccd");
	EXPECT_EQ(c.m_AF, 0);
	EXPECT_EQ(c.m_AW, 7);
	EXPECT_DOUBLE_EQ(c.m_zoneT, 268.15);
	EXPECT_EQ(c.m_type, RX::RoomConstruction::FixedTemperature);
	EXPECT_EQ(recorder.texts("RoomConstruction::readXML()"),
			  std::vector<std::string>{"Found unknown element 'Phone' in RoomConstruction."});
	EXPECT_TRUE(written(c).contains("<zoneT>-5</zoneT><zoneTCCD>dir\\zone.ccd</zoneTCCD><zoneRH>"));

	// only the exact words: a type in other letters is no default
	for (const char * text : {"outside", "inside", "Wall"}) {
		RX::RoomConstruction t;
		t.m_type = RX::RoomConstruction::Inside;
		EXPECT_EQ(TestSupport::thrown([&] { readInto(QString("<RoomConstruction><type>%1</type></RoomConstruction>").arg(text), t); }),
				  "Invalid value '" + std::string(text) + "' in element 'type' of RoomConstruction, expected one of: "
				  "Outside, Inside, FixedTemperature. @ RoomConstruction::readXML()");
		EXPECT_EQ(t.m_type, RX::RoomConstruction::Inside) << text;
	}
}


TEST(RXRoomConstruction, ChecksReferencesBeforeAreas) {
	RX::Database db;
	RX::Material m("M", 1, 1000, 800);
	db.addMaterial(m, 1);
	RX::ConstructionType good, bad;
	good.m_d = {0.2};
	good.m_materialIds = {1};
	bad.m_d = {0.2};
	bad.m_materialIds = {2};
	db.addConstructionType(good, 10);
	db.addConstructionType(bad, 11);
	RX::WindowType window, badWindow;
	badWindow.m_g = 2;
	db.addWindowType(window, 20);
	db.addWindowType(badWindow, 21);
	RX::ShadingType shading("S", 0.5), badShading("B", -1);
	db.addShadingType(shading, 30);
	db.addShadingType(badShading, 31);

	auto check = [&](RX::RoomConstruction c) {
		QString errmsg = "unchanged";
		const bool ok = c.isValid(&db, errmsg);
		EXPECT_EQ(ok, errmsg == "unchanged");
		return errmsg;
	};
	RX::RoomConstruction c;
	EXPECT_EQ(check(c), "Missing or invalid construction type Id. Please select a valid construction type!");
	c.m_constructionId = 11;
	EXPECT_EQ(check(c), "Error in construction type definition. Open the database and check the construction input data!");
	c.m_constructionId = 10;
	c.m_windowId = 22;
	c.m_shadingTypeId = 32;
	c.m_AW = -1;
	EXPECT_EQ(check(c), "Unknown or undefined window type. Please select a different window for this construction!");
	c.m_windowId = 21;
	EXPECT_EQ(check(c), "Error in definition of the window used in this construction. Open the database and check the "
						"input data for this window type!");
	c.m_windowId = 20;
	EXPECT_EQ(check(c), "Unknown or undefined shading type. Please select a different shading type for this construction!");
	c.m_shadingTypeId = 31;
	EXPECT_EQ(check(c), "Error in definition of the shading type used in this construction. Open the database and "
						"check the input data for this shading type!");
	c.m_shadingTypeId = 30;
	c.m_AF = -1;
	EXPECT_EQ(check(c), "The total wall area cannot be negative.");
	c.m_AW = 10;
	EXPECT_EQ(check(c), "The window area cannot be negative.");
	c.m_AF = 2;
	EXPECT_EQ(check(c), "unchanged");
}
