#include <gtest/gtest.h>

#include <vector>

#include "ZEBMKC_vector_operations.h"

using namespace ZEBMK;

TEST(VectorOperations, UpdatesEveryElementOnce) {
	// 13 = 5 leading elements and one block of eight
	const unsigned int n = 13;
	std::vector<double> x(n), y(n), z(n, -1);
	for (unsigned int i = 0; i < n; ++i) {
		x[i] = i + 1.0;
		y[i] = 100.0 * i;
	}
	vector_add(n, x.data(), y.data(), 1.0);
	for (unsigned int i = 0; i < n; ++i)
		EXPECT_EQ(y[i], 100.0 * i + i + 1.0) << i;
	vector_add(n, x.data(), y.data(), -2.0);
	vector_sub(static_cast<int>(n), x.data(), y.data());
	for (unsigned int i = 0; i < n; ++i)
		EXPECT_EQ(y[i], 100.0 * i - 2.0 * (i + 1.0)) << i;

	vector_linear_sum(n, x.data(), y.data(), z.data(), 2.0, 0.5);
	vector_scale(n, x.data(), y.data(), 3.0);
	vector_scale_by(static_cast<int>(n), x.data(), -1.0);
	for (unsigned int i = 0; i < n; ++i) {
		EXPECT_EQ(z[i], 2.0 * (i + 1.0) + 0.5 * (100.0 * i - 2.0 * (i + 1.0))) << i;
		EXPECT_EQ(y[i], 3.0 * (i + 1.0));
		EXPECT_EQ(x[i], -(i + 1.0));
	}

	std::vector<unsigned int> u(9, 1);
	vectorUInt_fill(9, u.data(), 7);
	EXPECT_EQ(u, std::vector<unsigned int>(9, 7));
	vector_fill(static_cast<int>(n), z.data(), 0.25);
	EXPECT_EQ(z, std::vector<double>(n, 0.25));
}

TEST(VectorOperations, IgnoresEmptyAndNegativeCounts) {
	std::vector<double> x{1, 2}, y{3, 4};
	vector_copy(0, x.data(), y.data());
	vector_fill(-3, y.data(), 9);
	vector_scale_by(0, y.data(), 9);
	vector_sub(-1, x.data(), y.data());
	EXPECT_EQ(y, (std::vector<double>{3, 4}));
	vector_copy(2, x.data(), y.data());
	EXPECT_EQ(y, x);
}
