#include <gtest/gtest.h>

#include <string>

#include "ZEB_StopWatch.h"

using ZEB::StopWatch;

TEST(StopWatch, FreezesTheDifferenceWhenStopped) {
	StopWatch watch;
	const double first = watch.difference();
	EXPECT_GE(first, 0.0);
	EXPECT_GE(watch.difference(), first);
	const double stopped = watch.stop();
	EXPECT_EQ(watch.difference(), stopped);
	EXPECT_EQ(watch.difference(), stopped);
	watch.start();
	EXPECT_GE(watch.difference(), 0.0);
}


TEST(StopWatch, FormatsDurationsInTheirUnit) {
	EXPECT_EQ(StopWatch::durationText(999.9), "999 ms");
	EXPECT_EQ(StopWatch::durationText(1500), "1.500 s");
	EXPECT_EQ(StopWatch::durationText(90000), "1.500000 min");
	EXPECT_EQ(StopWatch::durationText(5400000), "1.500000 h");

	EXPECT_EQ(StopWatch::durationText(1500, 10), "   1.500 s");
	EXPECT_EQ(StopWatch::durationText(90000, 10), " 1.500 min");
	EXPECT_EQ(StopWatch::durationText(5400000, 10), "   1.500 h");
	EXPECT_EQ(StopWatch::durationText(12, 9), "    12 ms");
	EXPECT_EQ(StopWatch::durationText(12, 5), "12 ms");
}


TEST(StopWatch, ClampsWidthsBelowTheUnitLength) {
	EXPECT_EQ(StopWatch::durationText(12, 0), "12 ms");
	EXPECT_EQ(StopWatch::durationText(12, 2), "12 ms");
	EXPECT_EQ(StopWatch::durationText(90000, 3), "1.500 min");
	EXPECT_EQ(StopWatch::durationText(1500, 1), "1.500 s");

	StopWatch watch;
	watch.stop();
	const std::string text = watch.diff_str(0);
	ASSERT_FALSE(text.empty());
	EXPECT_NE(text[0], ' ');
	EXPECT_LT(text.size(), 20u);
}


TEST(StopWatch, CompletesNoIntervalBeforeItsEnd) {
	StopWatch watch;
	watch.setIntervalLength(3600);
	EXPECT_FALSE(watch.intervalCompleted());
	// a negative length puts the interval end behind: one completion per call, catching up
	watch.setIntervalLength(-1);
	EXPECT_TRUE(watch.intervalCompleted());
	EXPECT_TRUE(watch.intervalCompleted());
	watch.start();
	watch.setIntervalLength(3600);
	EXPECT_FALSE(watch.intervalCompleted());
}
