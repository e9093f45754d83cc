#include <gtest/gtest.h>

#include <map>

#include "RX_ConstructionType.h"
#include "RX_Material.h"

#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

namespace {

// Stands in for the database: all the construction type asks of it is materialById.
struct MaterialStore {
	const RX::Material * materialById(unsigned int id) const {
		auto it = m_materials.find(id);
		return it == m_materials.end() ? nullptr : &it->second;
	}
	std::map<unsigned int, RX::Material> m_materials = {
		{1, RX::Material("Concrete", 2.0, 2400, 1000)},
		{2, RX::Material("Insulation", 0.04, 30, 1500)}
	};
};

RX::ConstructionType wall() {
	RX::ConstructionType ct;
	ct.setNameString("Wall");
	ct.m_materialIds = {1, 2};
	ct.m_d = {0.2, 0.1};
	return ct;
}

} // namespace


TEST(RXConstructionType, ComputesUValueMassAndHeatCapacity) {
	const MaterialStore db;
	const RX::ConstructionType ct = wall();
	EXPECT_TRUE(ct.isValid(&db));
	double U = 0, m = 0, C = 0;
	ASSERT_TRUE(ct.calculateUValue(U, &db, 0.13, 0.04));
	EXPECT_DOUBLE_EQ(U, 0.36101083032490977);	// 1 / (0.13 + 0.04 + 0.2/2 + 0.1/0.04)
	ASSERT_TRUE(ct.calculateRhoCValue(m, C, &db));
	EXPECT_DOUBLE_EQ(m, 483);
	EXPECT_DOUBLE_EQ(C, 484500);

	// a single layer: U = 1 / (Rsi + d/lambda + Rse)
	RX::ConstructionType single;
	single.m_materialIds = {2};
	single.m_d = {0.12};
	ASSERT_TRUE(single.calculateUValue(U, &db, 0.13, 0.04));
	EXPECT_DOUBLE_EQ(U, 1 / (0.13 + 0.12 / 0.04 + 0.04));

	const RX::ConstructionType empty;
	EXPECT_TRUE(empty.isValid(&db));
	ASSERT_TRUE(empty.calculateUValue(U, &db, 0.13, 0.04));
	EXPECT_DOUBLE_EQ(U, 1 / 0.17);
	ASSERT_TRUE(empty.calculateRhoCValue(m, C, &db));
	EXPECT_EQ(m + C, 0);
}


TEST(RXConstructionType, RefusesLayersItCannotUse) {
	MaterialStore db;
	double U = -1, m = -1, C = -1;
	auto refused = [&](const RX::ConstructionType & ct) {
		return !ct.isValid(&db) && !ct.calculateUValue(U, &db, 0.13, 0.04) && !ct.calculateRhoCValue(m, C, &db);
	};
	RX::ConstructionType ct = wall();
	ct.m_d[1] = 0;
	EXPECT_TRUE(refused(ct));
	ct = wall();
	ct.m_materialIds[0] = 0;
	EXPECT_TRUE(refused(ct));
	ct = wall();
	ct.m_d.pop_back();	// layer vectors of different lengths
	EXPECT_TRUE(refused(ct));
	EXPECT_FALSE(wall().isValid(static_cast<const MaterialStore *>(nullptr)));
	db.m_materials[2].m_rho = 0;
	db.m_materials[2].m_lambda = 0;
	EXPECT_TRUE(refused(wall()));
	EXPECT_EQ(U + m + C, -3);	// outputs untouched on failure
}


TEST(RXConstructionType, WritesAndReadsTheLayers) {
	RX::ConstructionType ct = wall();
	ct.m_id = 12;
	ct.m_constructionKind = RX::ConstructionType::CK_FLOOR_TO_CELLAR;
	ct.m_userKey2 = "K2";
	const QString text = written(ct);
	EXPECT_EQ(text, "<ConstructionType name=\"Wall\" id=\"12\" Insulation=\"4\" Materials=\"6\" Construction=\"5\" UserKey2=\"K2\">"
					"<Layers><Layer materialId=\"1\" d=\"0.2\"/><Layer materialId=\"2\" d=\"0.1\"/></Layers></ConstructionType>");

	RX::ConstructionType back;
	back.m_userKey1 = "kept";
	ASSERT_EQ(readInto(text, back), "");
	EXPECT_TRUE(back == ct);
	EXPECT_EQ(back.m_id, 12u);
	EXPECT_EQ(back.m_constructionKind, RX::ConstructionType::CK_FLOOR_TO_CELLAR);
	EXPECT_EQ(back.m_userKey1 + back.m_userKey2, "keptK2");
	EXPECT_EQ(written(RX::ConstructionType()), "<ConstructionType name=\"unnamed\" id=\"0\" Insulation=\"4\" Materials=\"6\" "
											  "Construction=\"8\"><Layers/></ConstructionType>");
}


TEST(RXConstructionType, ClampsKindsAndReadsEveryLayerChild) {
	RX::ConstructionType ct;
	ASSERT_EQ(readInto(QString("<ConstructionType id=\"3\" name=\"X\" Insulation=\"7\" Materials=\"0\" Construction=\"12\">"
							   "<Other><Layer d=\"9\"/></Other><Layers><Slice materialId=\"4\" d=\"0.3\"><x/></Slice>"
							   "<Layer d=\"0.1\"/></Layers></ConstructionType><After/>"), ct), "");
	EXPECT_EQ(ct.m_insulationKind, RX::ConstructionType::IK_MISCELLANEOUS);
	EXPECT_EQ(ct.m_materialKind, RX::ConstructionType::MK_BRICK_MASONRY);
	EXPECT_EQ(ct.m_constructionKind, RX::ConstructionType::CK_MISCELLANEOUS);
	EXPECT_EQ(ct.m_materialIds, (std::vector<unsigned int>{4, 0}));
	EXPECT_EQ(ct.m_d, (std::vector<double>{0.3, 0.1}));
	EXPECT_EQ(RX::ConstructionType::constructionKindString(ct.m_constructionKind), "Miscellaneous");
	EXPECT_EQ(RX::ConstructionType::materialKindString(static_cast<RX::ConstructionType::MaterialKind>(7)), "Unknown");

	RX::ConstructionType bad;
	EXPECT_EQ(readInto(QString("<ConstructionType><Layers><Layer materialId=\"1\"/></Layers></ConstructionType>"), bad),
			  "Missing attribute 'd' of Layer, expected a number of 0 or more.");
	EXPECT_TRUE(bad.m_d.empty());
	// a kind is a number, not a word
	EXPECT_EQ(readInto(QString("<ConstructionType Materials=\"abc\"/>"), bad),
			  "Invalid value 'abc' in attribute 'Materials' of ConstructionType, expected a whole number of 0 or more.");
}


TEST(RXConstructionType, ComparesNameAndLayersOnly) {
	RX::ConstructionType a = wall(), b = wall();
	b.m_id = 4;
	b.m_insulationKind = RX::ConstructionType::IK_CORE_INSULATED;
	b.m_userKey1 = "x";
	EXPECT_TRUE(a == b);
	b.m_d[1] = 0.10001;
	EXPECT_FALSE(a == b);
	b = wall();
	b.m_d.push_back(0.1);	// one thickness more than ids
	EXPECT_FALSE(a == b);
}
