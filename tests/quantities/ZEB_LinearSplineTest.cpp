#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "ZEB_Exception.h"
#include "ZEB_LinearSpline.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"

using ZEB::LinearSpline;

namespace {

class WarningRecorder : public ZEB::MessageHandler {
public:
	WarningRecorder() { ZEB::MessageHandlerRegistry::instance().setMessageHandler(this); }
	void msg(const std::string & text, ZEB::msg_type_t type, const char * location, int level) override {
		EXPECT_EQ(type, ZEB::MSG_WARNING);
		EXPECT_STREQ(location, "[LinearSpline::eliminateConsecutive]");
		EXPECT_EQ(level, 3);
		m_texts.push_back(text);
	}
	std::vector<std::string> m_texts;
};

LinearSpline spline(const std::vector<double> & x, const std::vector<double> & y,
					LinearSpline::ExtrapolationMethod method = LinearSpline::EM_CONSTANT)
{
	LinearSpline s;
	s.setValues(x, y);
	s.m_extrapolationMethod = method;
	return s;
}

} // namespace


TEST(LinearSpline, InterpolatesAndExtrapolates) {
	LinearSpline lin = spline({0, 1, 3}, {0, 1, 5}, LinearSpline::EM_LINEAR);
	EXPECT_DOUBLE_EQ(lin.value(2), 3);
	EXPECT_DOUBLE_EQ(lin.value(4), 7);
	EXPECT_DOUBLE_EQ(lin.value(-1), -1);
	EXPECT_DOUBLE_EQ(lin.slope(2), 2);
	EXPECT_EQ(lin.value(1), 1);			// table points exactly

	LinearSpline con = spline({0, 1, 3}, {0, 1, 5});
	EXPECT_DOUBLE_EQ(con.value(4), 5);
	EXPECT_DOUBLE_EQ(con.value(-1), 0);
	EXPECT_DOUBLE_EQ(con.value(0.5), 0.5);

	LinearSpline two = spline({0, 10}, {0, 10});
	EXPECT_EQ(two.value(-5), 0);
	EXPECT_EQ(two.value(15), 10);
	two.m_extrapolationMethod = LinearSpline::EM_LINEAR;
	EXPECT_EQ(two.value(-5), -5);
	EXPECT_EQ(two.value(15), 15);
	EXPECT_EQ(two.value(2.5), 2.5);

	// setValues resets the method, so owners set it afterwards
	two.setValues({0, 10}, {0, 10});
	EXPECT_EQ(two.m_extrapolationMethod, LinearSpline::EM_CONSTANT);

	// a long table, its points crowded at one end: every point, every midpoint and the ends
	std::vector<double> x, y;
	for (int k = 0; k < 300; ++k) {
		x.push_back(static_cast<double>(k)*k*k);
		y.push_back(k % 7);
	}
	const LinearSpline lon = spline(x, y);
	for (std::size_t k = 0; k < x.size(); ++k) {
		EXPECT_EQ(lon.value(x[k]), y[k]) << k;
		EXPECT_EQ(lon.nonInterpolatedValue(x[k]), y[k]) << k;
		if (k + 1 < x.size()) {
			const double mid = (x[k] + x[k + 1])/2, t = (mid - x[k])/(x[k + 1] - x[k]);
			EXPECT_EQ(lon.value(mid), t*y[k + 1] + (1 - t)*y[k]) << k;
			EXPECT_EQ(lon.nonInterpolatedValue(mid), y[k]) << k;
		}
	}
	EXPECT_EQ(lon.value(-1), y.front());
	EXPECT_EQ(lon.value(x.back() + 1), y.back());

	LinearSpline one = spline({4}, {7});
	EXPECT_EQ(one.value(-100), 7);
	EXPECT_EQ(one.nonInterpolatedValue(100), 7);
	EXPECT_EQ(one.slope(3), 0);
}

TEST(LinearSpline, GivesStepValuesAndSlopes) {
	LinearSpline s = spline({0, 10, 20}, {1, 2, 3});
	EXPECT_EQ(s.nonInterpolatedValue(9.9), 1);
	EXPECT_EQ(s.nonInterpolatedValue(10), 2);
	EXPECT_EQ(s.nonInterpolatedValue(25), 3);
	EXPECT_EQ(s.nonInterpolatedValue(-1), 1);

	LinearSpline t = spline({0, 1, 3}, {0, 1, 5});
	EXPECT_EQ(t.slope(0.5), 1);
	EXPECT_EQ(t.slope(1), 1);
	EXPECT_EQ(t.slope(2), 2);
	EXPECT_EQ(t.slope(10), 2);
	EXPECT_EQ(t.slope(-4), 1);

	LinearSpline unmade;
	try {
		unmade.slope(1);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Linear spline not properly initialized!");
		EXPECT_STREQ(ex.location(), "[LinearSpline::value]");
	}
}

TEST(LinearSpline, EquidistantModeUsesFirstIntervalBelowOffset) {
	LinearSpline s = spline({10, 12, 14, 16}, {0, 2, 6, 12});
	s.m_xOffset = 10;
	s.m_xStep = 2;
	EXPECT_DOUBLE_EQ(s.value(11), 1);
	EXPECT_DOUBLE_EQ(s.value(15), 9);
	EXPECT_DOUBLE_EQ(s.value(16), 12);
	EXPECT_DOUBLE_EQ(s.value(30), 12);
	EXPECT_DOUBLE_EQ(s.value(9), -1);
	EXPECT_DOUBLE_EQ(s.value(-1e6), -1e6 - 10);
	// quotients beyond any index end on the last value
	EXPECT_EQ(s.value(4e19), 12);
	EXPECT_EQ(s.value(std::numeric_limits<double>::infinity()), 12);
}

TEST(LinearSpline, SkipsDuplicateXValuesWithWarnings) {
	WarningRecorder rec;
	LinearSpline s = spline({0, 1, 1, 1, 2}, {0, 5, 6, 7, 9});
	EXPECT_EQ(s.m_x, (std::vector<double>{0, 1, 2}));
	EXPECT_EQ(s.m_y, (std::vector<double>{0, 5, 9}));
	EXPECT_EQ(rec.m_texts, (std::vector<std::string>{
		"Duplicate x-value 1 found (and skipped).",
		"Skipped a total of 2 values because of duplicate x-values."}));

	rec.m_texts.clear();
	s.setValues({0, 1, 1}, {0, 5, 6});
	EXPECT_EQ(s.m_x, (std::vector<double>{0, 1}));
	EXPECT_EQ(s.m_y, (std::vector<double>{0, 6}));
	ASSERT_EQ(rec.m_texts.size(), 3u);
	EXPECT_EQ(rec.m_texts[1], "Duplicate x-value found at the end. End y value 6 copied to the new spline (old y value: 5.");
}

TEST(LinearSpline, RefusesBadTables) {
	auto expectThrow = [](const std::vector<double> & x, const std::vector<double> & y, const std::string & text) {
		LinearSpline s;
		try {
			s.setValues(x, y);
			FAIL() << "expected an exception for " << text;
		}
		catch (ZEB::Exception & ex) {
			EXPECT_EQ(ex.what(), text);
			EXPECT_STREQ(ex.location(), "[LinearSpline::setValues]");
		}
		EXPECT_FALSE(s.m_valid);
	};
	expectThrow({0, 1}, {0}, "X and Y vector size mismatch.");
	expectThrow({}, {}, "Input vectors are empty.");
	expectThrow({0, 2, 1}, {0, 1, 2}, "Error generating spline for linear interpolation: "
				"X values are not strictly monotonic increasing (at position/index 1).");

	LinearSpline s;
	std::string errmsg = "untouched";
	EXPECT_FALSE(s.makeSpline(errmsg));
	EXPECT_EQ(errmsg, "Invalid vector dimensions.");
}

TEST(LinearSpline, ReadsTextKeepingMethod) {
	LinearSpline s;
	s.m_extrapolationMethod = LinearSpline::EM_LINEAR;
	std::string errmsg;
	EXPECT_TRUE(s.read("0 1 3", "0\t1 5", &errmsg));
	EXPECT_EQ(s.m_extrapolationMethod, LinearSpline::EM_LINEAR);
	EXPECT_DOUBLE_EQ(s.value(4), 7);

	EXPECT_FALSE(s.read("", "1", &errmsg));
	EXPECT_EQ(errmsg, "Missing data to read!");
	EXPECT_FALSE(s.read("1 2", "1", &errmsg));
	EXPECT_EQ(errmsg, "Number of x [2] and y [1] values differs!");
	EXPECT_FALSE(s.read("2 1", "1 1", nullptr));
	EXPECT_FALSE(s.m_valid);
	EXPECT_THROW(s.read("2 1", "1 1"), ZEB::Exception);
	EXPECT_THROW(s.read("1 x", "1 1", &errmsg), ZEB::Exception);		// unparsable numbers throw

	// the text form reads back
	LinearSpline orig = spline({0, 0.25, 100}, {1, -2, 3.5});
	std::stringstream strm;
	orig.write(strm, 2);
	const std::string text = strm.str();
	EXPECT_EQ(text.substr(0, 19), "  0                ");
	LinearSpline back;
	EXPECT_TRUE(back.read(strm, &errmsg));
	EXPECT_EQ(back.m_x, orig.m_x);
	EXPECT_EQ(back.m_y, orig.m_y);
}

TEST(LinearSpline, RoundTripsBinaryForm) {
	LinearSpline orig = spline({0, 1, 3}, {0, 1, 5});
	std::stringstream strm;
	orig.writeBinary(strm);
	EXPECT_EQ(strm.str().size(), 4 + 24 + 4 + 24u);
	LinearSpline back = spline({0, 5}, {1, 2});
	back.readBinary(strm);
	EXPECT_EQ(back.m_x, orig.m_x);
	EXPECT_EQ(back.m_y, orig.m_y);
	EXPECT_FALSE(back.m_valid);				// the old slopes are gone; the owner makes the spline
	std::string errmsg;
	EXPECT_TRUE(back.makeSpline(errmsg));

	auto blobOfCount = [](std::uint32_t count) {
		std::string blob(4 + 8 * count + 4, '\0');
		std::memcpy(&blob[0], &count, 4);
		return blob;
	};
	std::stringstream tooMany(blobOfCount(10001));
	EXPECT_THROW(back.readBinary(tooMany), ZEB::Exception);
	std::stringstream limit(blobOfCount(10000));
	back.readBinary(limit);
	EXPECT_EQ(back.m_x.size(), 10000u);
	EXPECT_TRUE(back.m_y.empty());
}
