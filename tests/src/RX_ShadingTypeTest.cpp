#include <gtest/gtest.h>

#include <cmath>

#include "RX_ShadingType.h"

#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

TEST(RXShadingType, WritesAndReadsIdNameAndZ) {
	EXPECT_EQ(written(RX::ShadingType()),
			  "<ShadingType id=\"0\" name=\"de:&lt;Neuer Verschattungstyp&gt;|en:&lt;New Shading Type&gt;\" z=\"1\"/>");
	RX::ShadingType s("Blind", 0.25);
	s.m_id = 10001;

	RX::ShadingType back;
	QXmlStreamReader reader("<list>" + written(s).replace("/>", "><unknown><x/></unknown></ShadingType>") + "<next/></list>");
	reader.readNextStartElement();
	reader.readNextStartElement();
	back.readXML(reader);
	EXPECT_FALSE(reader.hasError());
	EXPECT_EQ(back.m_id, 10001u);
	EXPECT_EQ(back.m_z, 0.25);
	EXPECT_EQ(back.nameString(), "Blind");
	ASSERT_TRUE(reader.readNextStartElement());
	EXPECT_EQ(reader.name(), QLatin1String("next"));

	RX::ShadingType noZ;
	EXPECT_EQ(readInto(QString("<ShadingType id=\"1\" name=\"N\"/>"), noZ),
			  "Missing attribute 'z' of ShadingType, expected a number from 0 to 1.");
	EXPECT_EQ(noZ.m_z, 1.0);
}


TEST(RXShadingType, AcceptsZFromZeroToOneAndComparesWithoutId) {
	EXPECT_TRUE(RX::ShadingType("S", 0).isValid());
	EXPECT_TRUE(RX::ShadingType("S", 1).isValid());
	EXPECT_FALSE(RX::ShadingType("S", 1.5).isValid());
	EXPECT_FALSE(RX::ShadingType("S", -0.1).isValid());
	EXPECT_FALSE(RX::ShadingType("S", std::nan("")).isValid());

	RX::ShadingType a("S", 0.5), b("S", 0.5);
	b.m_id = 3;
	EXPECT_TRUE(a == b);
	b.m_z = 0.6;
	EXPECT_FALSE(a == b);
}
