#ifndef TimeTestSupportH
#define TimeTestSupportH

#include <gtest/gtest.h>

#include "ZEB_Time.h"

// Success when t holds exactly this year and these seconds.
inline ::testing::AssertionResult isTime(const ZEB::Time & t, int year, double sec) {
	if (t.m_year == year && t.m_sec == sec)
		return ::testing::AssertionSuccess();
	return ::testing::AssertionFailure() << "year " << t.m_year << ", " << t.m_sec << " s";
}

#endif // TimeTestSupportH
