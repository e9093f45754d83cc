#include <gtest/gtest.h>

#include "RX_MoistureLoads.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

TEST(RXMoistureLoads, SourceInKilogramPerSecondReadsBackEqual) {
	RX::MoistureLoads m;
	double g = -1;
	m.computeLoads(4000, 4000 * 3600.0, g);
	EXPECT_NEAR(g, 5.5556e-6, 1e-10);

	m.m_scheduleMoistureLoad.m_type = RX::Schedule::DAILY_WEEK;
	m.m_scheduleMoistureLoad.m_weekDaySchedule[12] = 250;
	const QString text = written(m);
	EXPECT_TRUE(text.startsWith("<MoistureLoads name=\"Office\"><ScheduleMoistureLoad type=\"DAILY_WEEK\">"));
	RX::MoistureLoads back;
	TestSupport::MessageRecorder recorder;
	EXPECT_EQ(readInto(QString(text).replace("<ScheduleMoistureLoad", "<Plants><a/></Plants><ScheduleMoistureLoad"),
					   back), "");
	EXPECT_EQ(written(back), text);
	EXPECT_EQ(recorder.texts("MoistureLoads::readXML()"),
			  std::vector<std::string>{"Found unknown element 'Plants' in MoistureLoads."});
	back.computeLoads(12, 43200, g);
	EXPECT_DOUBLE_EQ(g, 250 / 3.6e6);
}
