#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "RX_Schedule.h"

#include "TestSupport.h"
#include "XMLTestSupport.h"

using TestSupport::MessageRecorder;

namespace {

QString written(const RX::Schedule & s, bool asScheduleElement) {
	QString text;
	QXmlStreamWriter writer(&text);
	s.writeXML(writer, asScheduleElement);
	return text;
}

// Reads the first element of xml, which must be a schedule element; throws as readXML does.
RX::Schedule readSchedule(const QString & xml, RX::Schedule s = RX::Schedule()) {
	QXmlStreamReader reader(xml);
	reader.readNextStartElement();
	s.readXML(reader);
	EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
	return s;
}

} // namespace


TEST(RXSchedule, WeekScheduleStartsTheYearOnAMonday) {
	RX::Schedule s;
	EXPECT_EQ(s.m_type, RX::Schedule::DAILY_WEEK);
	EXPECT_EQ(s.value(4711, 0), 0);
	for (unsigned int k = 0; k < 24; ++k) {
		s.m_weekDaySchedule[k] = k;
		s.m_weekEndSchedule[k] = 100 + k;
	}
	for (unsigned int h = 0; h < 24; ++h)
		EXPECT_EQ(s.value(h, 0), h);
	for (unsigned int h = 96; h < 120; ++h)
		EXPECT_EQ(s.value(h, 0), h - 96);			// Friday
	for (unsigned int h = 120; h < 168; ++h)
		EXPECT_EQ(s.value(h, 0), 100 + h % 24);		// Saturday, Sunday
	EXPECT_EQ(s.value(168, 0), 0);					// day 7, Monday again
	EXPECT_EQ(s.value(8736, 0), 0);					// day 364 is a Monday
}


TEST(RXSchedule, SeasonsFollowTheStartDaysAcrossTheTurnOfTheYear) {
	RX::Schedule s;
	s.m_type = RX::Schedule::DAILY_SEASONAL;
	s.m_summerSchedule.fill(1);
	s.m_winterSchedule.fill(2);
	auto season = [&](unsigned int day) { return s.value(24 * day + 5, 0); };
	EXPECT_EQ(season(89), 2);
	EXPECT_EQ(season(90), 1);
	EXPECT_EQ(season(272), 1);
	EXPECT_EQ(season(273), 2);

	s.m_summerStartDay = 273;
	s.m_winterStartDay = 90;
	EXPECT_EQ(season(0), 1);
	EXPECT_EQ(season(90), 2);
	EXPECT_EQ(season(272), 2);
	EXPECT_EQ(season(273), 1);

	s.m_winterStartDay = 273;
	EXPECT_EQ(season(0), 1);
	EXPECT_EQ(season(300), 1);
}


TEST(RXSchedule, AnnualScheduleNeedsAFullYearAndHoldsItsLastValueBeyond) {
	RX::Schedule s;
	s.m_type = RX::Schedule::ANNUAL;
	s.m_constantValue = -3;
	s.m_annualSchedule.assign(8759, 1.0);
	EXPECT_EQ(s.value(8758, 0), -3);
	s.m_annualSchedule.resize(8760);
	for (unsigned int h = 0; h < 8760; ++h)
		s.m_annualSchedule[h] = h;
	EXPECT_EQ(s.value(4711, 99), 4711);
	EXPECT_EQ(s.value(8760, 0), 8759);
	EXPECT_EQ(s.value(20000, 0), 8759);
	s.m_type = RX::Schedule::DATLINEAR;			// no spline yet
	EXPECT_EQ(s.value(17, 5), -3);
}


TEST(RXSchedule, ReadsATimeSplineInAnyTimeUnitAndWritesItBackInThatUnit) {
	const RX::Schedule s = readSchedule(
		"<Vent type=\"DATLINEAR\"><LinearSpline name=\"DatLinear\"><X unit=\"h\">0 1</X><Y unit=\"---\">0 10</Y>"
		"</LinearSpline></Vent>");
	EXPECT_EQ(s.m_type, RX::Schedule::DATLINEAR);
	EXPECT_EQ(s.m_datLinear.m_x, (std::vector<double>{0, 3600}));
	EXPECT_DOUBLE_EQ(s.value(0, 1800.0), 5);
	EXPECT_DOUBLE_EQ(s.value(8000, 900.0), 2.5);
	EXPECT_EQ(written(s, false), "<Vent type=\"DATLINEAR\"><LinearSpline name=\"DatLinear\"><X unit=\"h\">0 1</X>"
								 "<Y unit=\"---\">0 10</Y></LinearSpline></Vent>");
}


TEST(RXSchedule, RefusesTimeSplinesWithoutTimeUnitOrRisingTimes) {
	auto read = [](const char * xUnit, const char * x) {
		return TestSupport::thrownException([&] {
			RX::Schedule s;
			QXmlStreamReader reader(QString("<S type=\"DATLINEAR\"><LinearSpline name=\"DatLinear\"><X unit=\"%1\">%2</X>"
											"<Y unit=\"-\">0 10</Y></LinearSpline></S>").arg(xUnit, x));
			reader.readNextStartElement();
			s.readXML(reader);
		});
	};
	const auto metres = read("m", "0 1");
	ASSERT_TRUE(metres);
	EXPECT_EQ(metres->msgStack(), "Invalid x unit 'm' in linear spline 'DatLinear', expected time point in [s] or "
								  "convertible unit. \nError reading LinearSpline data in schedule.");
	EXPECT_STREQ(metres->location(), "Schedule::readXML()");

	const auto unknown = read("furlong", "0 1");
	ASSERT_TRUE(unknown);
	EXPECT_EQ(unknown->msgStack(), "Unit 'furlong' not found. \nInvalid x unit 'furlong' in linear spline 'DatLinear', "
								   "expected time point in [s] or convertible unit. \nError reading LinearSpline data in "
								   "schedule.");

	// the spline element's own failure passes as the element reports it
	const auto falling = read("h", "1 0");
	ASSERT_TRUE(falling);
	EXPECT_STREQ(falling->location(), "[readNamedZEBSplineData]");
}


TEST(RXSchedule, WritesEachKindAndReadsItBack) {
	RX::Schedule week;
	week.m_name = "ScheduleSetPoints";
	for (unsigned int k = 0; k < 24; ++k)
		week.m_weekDaySchedule[k] = 20 + 0.5 * k;
	week.m_weekEndSchedule.fill(18);
	const QString text = written(week, false);
	EXPECT_TRUE(text.startsWith("<ScheduleSetPoints type=\"DAILY_WEEK\"><WeekDaySchedule>20 20.5 21 "));
	EXPECT_TRUE(text.endsWith("31.5 </WeekDaySchedule><WeekEndSchedule>" + QString("18 ").repeated(24) +
							  "</WeekEndSchedule><WeekEndDays>Sat Sun </WeekEndDays></ScheduleSetPoints>")) << text.toStdString();
	RX::Schedule blank;
	blank.m_weekEndDays.fill(true);
	EXPECT_EQ(written(readSchedule(text, blank), false), text);

	RX::Schedule seasonal;
	seasonal.m_name = "Shading";
	seasonal.m_type = RX::Schedule::DAILY_SEASONAL;
	seasonal.m_summerSchedule[3] = 0.25;
	seasonal.m_winterSchedule[23] = 1e-7;
	seasonal.m_summerStartDay = 100;
	seasonal.m_winterStartDay = 5;
	const QString seasonalText = written(seasonal, true);
	EXPECT_TRUE(seasonalText.startsWith("<Schedule name=\"Shading\" type=\"DAILY_SEASONAL\"><SummerSchedule>0 0 0 0.25 0 "));
	EXPECT_TRUE(seasonalText.endsWith("0 1e-07 </WinterSchedule><SummerStartDay>100</SummerStartDay>"
									  "<WinterStartDay>5</WinterStartDay></Schedule>"));
	const RX::Schedule seasonalBack = readSchedule(seasonalText);
	EXPECT_EQ(seasonalBack.m_name, "Schedule");
	seasonal.m_name = "Schedule";
	EXPECT_EQ(written(seasonalBack, false), written(seasonal, false));

	// a NaN as a standard stream writes it
	RX::Schedule odd;
	odd.m_weekEndSchedule[0] = std::numeric_limits<double>::quiet_NaN();
	EXPECT_TRUE(written(odd, false).contains("<WeekEndSchedule>nan 0 "));

	RX::Schedule constant;
	constant.m_name = "C";
	constant.m_type = RX::Schedule::CONSTANT;
	constant.m_constantValue = 1234567;
	EXPECT_EQ(written(constant, false), "<C type=\"CONSTANT\"><ConstantValue>1.23457e+06</ConstantValue></C>");
	EXPECT_EQ(readSchedule(written(constant, false)).m_constantValue, 1.23457e+06);

	RX::Schedule annual;
	annual.m_name = "A";
	annual.m_type = RX::Schedule::ANNUAL;
	annual.m_annualSchedule.resize(8760);
	for (unsigned int h = 0; h < 8760; ++h)
		annual.m_annualSchedule[h] = h % 100;
	EXPECT_EQ(readSchedule(written(annual, false)).m_annualSchedule, annual.m_annualSchedule);
	annual.m_annualScheduleCCD = "profile.ccd";
	EXPECT_EQ(written(annual, false), "<A type=\"ANNUAL\"><AnnualScheduleCCD>profile.ccd</AnnualScheduleCCD></A>");
	EXPECT_EQ(readSchedule(written(annual, false)).m_annualScheduleCCD, "profile.ccd");
}


TEST(RXSchedule, WarnsAboutDataOfOtherKindsAndLeavesItUnread) {
	MessageRecorder recorder;
	RX::Schedule s;
	s.m_constantValue = 7;
	s = readSchedule("<ScheduleSetPoints type=\"DAILY_WEEK\"><ConstantValue>3</ConstantValue>"
					 "<WeekDaySchedule>1 2 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0</WeekDaySchedule></ScheduleSetPoints>", s);
	EXPECT_EQ(s.m_constantValue, 7);
	EXPECT_EQ(s.m_weekDaySchedule[1], 2);
	ASSERT_EQ(recorder.m_messages.size(), 2u);
	EXPECT_EQ(recorder.m_messages[0].m_text,
			  "ConstantValue is ignored for Schedule with name ScheduleSetPoints of type DAILY_WEEK.");
	EXPECT_EQ(recorder.m_messages[0].m_type, ZEB::MSG_WARNING);
	EXPECT_EQ(recorder.m_messages[1].m_text, "Leaving element 'ConstantValue'.\n");
	EXPECT_EQ(recorder.m_messages[1].m_type, ZEB::MSG_PROGRESS);
	EXPECT_EQ(recorder.m_messages[1].m_location, "Schedule::readXML()");
	EXPECT_EQ(recorder.m_messages[1].m_level, 1);
}


TEST(RXSchedule, RefusesProfilesOfAnotherLengthAndUnknownWeekdaysAndSkipsUnknownElements) {
	MessageRecorder recorder;
	RX::Schedule start;
	start.m_type = RX::Schedule::DAILY_SEASONAL;
	const RX::Schedule s = readSchedule(
		"<S><SummerSchedule>0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23</SummerSchedule>"
		"<SummerStartDay>0</SummerStartDay><Extra><Deep/></Extra></S>", start);
	EXPECT_EQ(s.m_type, RX::Schedule::DAILY_SEASONAL);	// no type attribute: kept
	EXPECT_EQ(s.m_summerSchedule[23], 23);
	EXPECT_EQ(s.m_summerStartDay, 0u);
	EXPECT_EQ(recorder.texts("Schedule::readXML()"), std::vector<std::string>{"Found unknown element 'Extra' in S."});

	// a value too few or too many would leave an hour at what it was or drop one unnoticed
	const auto refusal = [](const char * tag, int found, int expected, const char * period) {
		return "Invalid number of values in element '" + std::string(tag) + "' of schedule 'W': found " +
			   std::to_string(found) + ", expected " + std::to_string(expected) + ", one per hour of the " + period +
			   ". @ Schedule::readXML()";
	};
	const auto values = [](int n) {
		std::string text;
		for (int i = 0; i < n; ++i)
			text += "4 ";
		return text;
	};
	const std::pair<std::string, std::string> lengths[] = {
		{"<W type=\"DAILY_WEEK\"><WeekDaySchedule>4</WeekDaySchedule></W>", refusal("WeekDaySchedule", 1, 24, "day")},
		{"<W type=\"DAILY_WEEK\"><WeekEndSchedule>" + values(25) + "</WeekEndSchedule></W>",
		 refusal("WeekEndSchedule", 25, 24, "day")},
		{"<W type=\"DAILY_SEASONAL\"><WinterSchedule>" + values(23) + "</WinterSchedule></W>",
		 refusal("WinterSchedule", 23, 24, "day")},
		{"<W type=\"DAILY_SEASONAL\"><SummerSchedule></SummerSchedule></W>", refusal("SummerSchedule", 0, 24, "day")},
		{"<W type=\"ANNUAL\"><AnnualSchedule>" + values(8759) + "</AnnualSchedule></W>",
		 refusal("AnnualSchedule", 8759, 8760, "year")},
	};
	for (const auto & [xml, reason] : lengths)
		EXPECT_EQ(TestSupport::thrown([&] { readSchedule(QString::fromStdString(xml)); }), reason) << xml;

	// a weekday the reader does not know is refused, not passed over
	EXPECT_EQ(TestSupport::thrown([] { readSchedule("<W type=\"DAILY_WEEK\"><WeekEndDays>Sun Funday</WeekEndDays></W>"); }),
			  "Invalid value 'Funday' in element 'WeekEndDays' of schedule 'W', expected one of: Mon, Tue, Wed, Thu, Fri, "
			  "Sat, Sun. @ Schedule::readXML()");
}


TEST(RXSchedule, ExportsAStepFunctionOverTheHoursOfTheYear) {
	RX::Schedule s;
	s.m_type = RX::Schedule::ANNUAL;
	s.m_annualSchedule.assign(8760, 2.0);
	for (unsigned int h = 0; h < 8; ++h)
		s.m_annualSchedule[h] = 1;
	ZEB::LinearSpline spline;
	s.exportLinearSpline(spline);
	ASSERT_EQ(spline.size(), 4u);
	EXPECT_EQ(spline.m_x[0], 0);
	EXPECT_DOUBLE_EQ(spline.m_x[1], 7.999988425925926);
	EXPECT_EQ(spline.m_x[2], 8);
	EXPECT_EQ(spline.m_x[3], 8760);
	EXPECT_EQ(spline.m_y, (std::vector<double>{1, 1, 2, 2}));

	RX::Schedule c;
	c.m_type = RX::Schedule::CONSTANT;
	c.m_constantValue = 4;
	c.exportLinearSpline(spline);
	EXPECT_EQ(spline.m_x, (std::vector<double>{0, 8760}));
	EXPECT_EQ(spline.m_y, (std::vector<double>{4, 4}));
}
