#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZEB_Exception.h"
#include "ZEB_LinearSpline.h"
#include "ZEB_ScalarFunction.h"

using ZEB::LinearSpline;

namespace {

// Wraps a lambda and counts its evaluations.
class Counted : public ZEB::ScalarFunction {
public:
	explicit Counted(std::function<double(double)> f) : m_f(f) {}
	double operator()(double x) const override {
		++m_evals;
		return m_f(x);
	}
	std::function<double(double)>	m_f;
	mutable unsigned int			m_evals = 0;
};

// Keeps the generator's progress messages off the console and records them.
class Generate : public ::testing::Test {
protected:
	// True when every message came from the generator at level 3.
	bool allFromGenerator() const {
		for (const TestSupport::MessageRecorder::Message & m : m_handler.m_messages)
			if (m.m_level != 3 || m.m_location != "[LinearSplineGenerator::generate]")
				return false;
		return true;
	}

	// Largest deviation of the made spline from f at many points, relative to the tolerance.
	static double worstError(LinearSpline & spline, const std::function<double(double)> & f,
							 double absTol, double relTol)
	{
		std::string errmsg;
		EXPECT_TRUE(spline.makeSpline(errmsg)) << errmsg;
		double worst = 0;
		const double x0 = spline.m_x.front();
		const double x1 = spline.m_x.back();
		for (int k = 0; k <= 1000; ++k) {
			const double x = x0 + (x1 - x0) * k / 1000.0;
			worst = std::max(worst, std::fabs(spline.value(x) - f(x)) / (std::fabs(f(x)) * relTol + absTol));
		}
		return worst;
	}

	TestSupport::MessageRecorder m_handler;
};

} // namespace


TEST_F(Generate, TakesTwoPointsForALinearFunction) {
	Counted f([](double x) { return 2 * x + 1; });
	LinearSpline spline;
	EXPECT_EQ(spline.generate(f, 0, 10, 1e-6, 1e-3, 100, false), 0);
	EXPECT_EQ(spline.m_x, (std::vector<double>{0, 10}));
	EXPECT_EQ(spline.m_y, (std::vector<double>{1, 21}));
	EXPECT_EQ(f.m_evals, 3u);
	EXPECT_FALSE(spline.m_valid);
	ASSERT_FALSE(m_handler.m_messages.empty());
	EXPECT_EQ(m_handler.m_messages[0].m_text, "Starting spline generation with 2 points, reltol = 0.001, abstol = 1e-06.\n");
	EXPECT_TRUE(allFromGenerator());
}


TEST_F(Generate, MeetsTheToleranceForCurvedFunctions) {
	const std::function<double(double)> square = [](double x) { return x * x; };
	for (double lo : {1.0, -3.0, -1.0}) {
		Counted f(square);
		LinearSpline spline;
		EXPECT_EQ(spline.generate(f, lo, lo + 2, 1e-6, 1e-3, 10000, false), 0) << lo;
		EXPECT_GT(spline.size(), 10u) << lo;
		EXPECT_LT(worstError(spline, square, 1e-6, 1e-3), 1.5) << lo;
	}
	// negative values: the tolerance is a magnitude
	const std::function<double(double)> negative = [](double x) { return -std::exp(x); };
	Counted f(negative);
	LinearSpline spline;
	EXPECT_EQ(spline.generate(f, 0, 3, 1e-6, 1e-3, 10000, false), 0);
	EXPECT_GT(spline.size(), 10u);
	EXPECT_LT(worstError(spline, negative, 1e-6, 1e-3), 1.5);
	// a zero function with a purely relative tolerance needs no refinement
	Counted zero([](double) { return 0.0; });
	EXPECT_EQ(spline.generate(zero, 0, 1, 0, 1e-3, 100, false), 0);
	EXPECT_EQ(spline.size(), 2u);
}


TEST_F(Generate, EndsWhenCoarseningAndRefinementDisagree) {
	// The midpoint misses the chord by more than |f(1)|*0.5 = 0.3 but less than the chord's
	// |1|*0.5: refined, then dropped once both halves are accepted, instead of for ever.
	Counted f([](double x) { return 0.6 + 0.4 * std::fabs(x - 1); });
	LinearSpline spline;
	EXPECT_EQ(spline.generate(f, 0, 2, 0, 0.5, 100, false), 0);
	EXPECT_EQ(spline.m_x, (std::vector<double>{0, 2}));
	EXPECT_EQ(f.m_evals, 5u);
}


TEST_F(Generate, StopsBeyondThePointLimit) {
	Counted f([](double x) { return std::sin(x); });
	LinearSpline spline;
	EXPECT_EQ(spline.generate(f, 0, 6, 1e-9, 1e-9, 10, false), 1);
	EXPECT_GT(spline.size(), 10u);
	EXPECT_LT(spline.size(), 30u);
	EXPECT_EQ(spline.m_x.front(), 0);
	EXPECT_EQ(spline.m_x.back(), 6);
}


TEST_F(Generate, WidensTheRangeToExistingPoints) {
	Counted f([](double x) { return 3 * x; });
	LinearSpline spline;
	spline.setValues({0, 10}, {5, 5});
	EXPECT_EQ(spline.generate(f, 2, 5, 1e-6, 1e-3, 100, false), 0);
	EXPECT_EQ(spline.m_x, (std::vector<double>{0, 10}));
	EXPECT_EQ(spline.m_y, (std::vector<double>{0, 30}));
	EXPECT_EQ(m_handler.m_messages[0].m_text, "Spline data already existing in generator, using min/max values: 0/10");

	// with the existing data the table is refined where it misses f
	spline.setValues({0, 4, 10}, {0, 12, 30});
	Counted g([](double x) { return x <= 4 ? 3 * x : 12 + 3 * (x - 4) + (x - 4) * (x - 4); });
	EXPECT_EQ(spline.generate(g, 0, 10, 1e-6, 1e-3, 1000, true), 0);
	EXPECT_EQ(spline.m_x.front(), 0);
	EXPECT_EQ(spline.m_x.back(), 10);
	EXPECT_EQ(spline.m_y.back(), 30);		// existing values are kept, not evaluated again
	EXPECT_GT(spline.size(), 5u);
}


TEST_F(Generate, LeavesTheTableAloneOnFailure) {
	Counted f([](double x) { return x; });
	LinearSpline spline;
	EXPECT_THROW(spline.generate(f, 1, 1, 1e-6, 1e-3, 100, false), ZEB::Exception);
	EXPECT_THROW(spline.generate(f, NAN, 1, 1e-6, 1e-3, 100, false), ZEB::Exception);
	EXPECT_THROW(spline.generate(f, 0, INFINITY, 1e-6, 1e-3, 100, false), ZEB::Exception);
	EXPECT_EQ(spline.size(), 0u);

	spline.setValues({0, 1}, {7, 8});
	Counted throwing([](double x) -> double { if (x > 0.4) throw std::runtime_error("f fails"); return x; });
	EXPECT_THROW(spline.generate(throwing, 0, 1, 1e-6, 1e-3, 100, true), std::runtime_error);
	EXPECT_EQ(spline.m_x, (std::vector<double>{0, 1}));
	EXPECT_EQ(spline.m_y, (std::vector<double>{7, 8}));

	// a jump at 0 cannot be resolved: refinement ends in an error, not in a hang
	Counted step([](double x) { return x < 0 ? 0.0 : 1.0; });
	spline.clear();
	try {
		spline.generate(step, -1, 1, 1e-6, 1e-3, 1000000, false);
		ADD_FAILURE() << "nothing thrown";
	}
	catch (const ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Division by zero while adding spline points!");
	}
	EXPECT_EQ(spline.size(), 0u);
}
