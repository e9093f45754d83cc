#include <gtest/gtest.h>

#include <vector>

#include "RX_UserLoads.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using XMLTestSupport::readInto;
using XMLTestSupport::written;

TEST(RXUserLoads, PersonsAndEquipmentFollowTheirSchedules) {
	RX::UserLoads u;
	double persons, personLoad, equipment;
	auto at = [&](unsigned int h) {
		u.computeLoads(h, 3600.0 * h, 20, persons, personLoad, equipment);
		return std::vector<double>{persons, personLoad, equipment};
	};
	EXPECT_EQ(at(20), (std::vector<double>{4, 320, 0}));
	u.m_scheduleOccupancy.m_type = RX::Schedule::DAILY_WEEK;
	u.m_scheduleEquipmentLoad.m_type = RX::Schedule::DAILY_WEEK;
	EXPECT_EQ(at(10), (std::vector<double>{4, 320, 200}));		// Monday 10:00, 20 m2
	EXPECT_EQ(at(20), (std::vector<double>{0, 0, 0}));
	EXPECT_EQ(at(5 * 24 + 10), (std::vector<double>{0, 0, 0}));	// Saturday
}


TEST(RXUserLoads, ReadsBackEqualAndSkipsUnknownChildrenWithAWarning) {
	RX::UserLoads u;
	EXPECT_EQ(u.m_name, "Office");
	u.m_personLoad = 95.5;
	u.m_scheduleOccupancy.m_type = RX::Schedule::DAILY_WEEK;
	const QString text = written(u);
	EXPECT_TRUE(text.startsWith("<UserLoads name=\"Office\"><PersonLoad>95.5</PersonLoad><ScheduleOccupancy "
								"type=\"DAILY_WEEK\">"));
	RX::UserLoads back;
	back.m_scheduleEquipmentLoad.m_constantValue = 3;
	EXPECT_EQ(readInto(text, back), "");
	EXPECT_EQ(written(back), text);

	TestSupport::MessageRecorder recorder;
	EXPECT_EQ(readInto(QString("<UserLoads><Lights><PersonLoad>1</PersonLoad></Lights><PersonLoad>70</PersonLoad>"
							   "</UserLoads>"), back), "");
	EXPECT_EQ(back.m_name, "");
	EXPECT_EQ(back.m_personLoad, 70);
	EXPECT_EQ(recorder.texts("UserLoads::readXML()"),
			  std::vector<std::string>{"Found unknown element 'Lights' in UserLoads."});
}
