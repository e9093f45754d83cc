#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>
#include <vector>

#include "RX_Mesh.h"

TEST(RXMesh, TwoSidedWidthsAreSymmetricAndFineAtBothEnds) {
	const RX::Mesh mesh(RX::Mesh::TWO_SIDED, 2.0, 1.0);
	std::vector<double> w;
	mesh.generate(3, w);
	ASSERT_EQ(w.size(), 3u);
	EXPECT_NEAR(w[0], 0.288921, 1e-6);
	EXPECT_NEAR(w[1], 0.422158, 1e-6);
	EXPECT_NEAR(w[2], 0.288921, 1e-6);
	mesh.generate(4, w);
	ASSERT_EQ(w.size(), 4u);
	EXPECT_NEAR(w[0], 0.196612, 1e-6);
	EXPECT_NEAR(w[1], 0.303388, 1e-6);
	EXPECT_NEAR(w[2], 0.303388, 1e-6);
	EXPECT_NEAR(w[3], 0.196612, 1e-6);
	mesh.generate(1, w);
	EXPECT_EQ(w, std::vector<double>{1.0});
}

TEST(RXMesh, UniformAndOneSidedWidths) {
	std::vector<double> w;
	RX::Mesh(RX::Mesh::UNIFORM, 0, 0).generate(5, w);
	for (double wi : w)
		EXPECT_NEAR(wi, 0.2, 1e-15);
	RX::Mesh(RX::Mesh::ONE_SIDED, 2.0, 1.0).generate(6, w);
	EXPECT_DOUBLE_EQ(std::accumulate(w.begin(), w.end(), 0.0), 1.0);
	for (std::size_t i = 1; i < w.size(); ++i)
		EXPECT_GT(w[i], w[i - 1]);
}

TEST(RXMesh, PhysicalGridAscendsAlsoForBackwardInterval) {
	const RX::Mesh mesh(RX::Mesh::TWO_SIDED, 2.0, 0.5);		// asymmetric, to see the reversal
	std::vector<double> forwardW, forwardC, backwardW, backwardC;
	mesh.generate(7, 1.0, 1.3, forwardW, forwardC);
	mesh.generate(7, 1.3, 1.0, backwardW, backwardC);
	EXPECT_NEAR(std::accumulate(forwardW.begin(), forwardW.end(), 0.0), 0.3, 1e-15);
	EXPECT_NEAR(std::accumulate(backwardW.begin(), backwardW.end(), 0.0), 0.3, 1e-15);
	double x = 1.0;
	for (std::size_t i = 0; i < forwardW.size(); ++i) {
		EXPECT_NEAR(forwardC[i], x + 0.5*forwardW[i], 1e-14);
		x += forwardW[i];
	}
	x = 1.0;
	for (std::size_t i = 0; i < backwardW.size(); ++i) {
		EXPECT_GT(backwardW[i], 0);
		EXPECT_NEAR(backwardC[i], x + 0.5*backwardW[i], 1e-14);
		x += backwardW[i];
	}
	EXPECT_NE(forwardW.front(), backwardW.front());
}

TEST(RXMesh, RejectsUnknownTypeAndEmptyGrid) {
	std::vector<double> w;
	const RX::Mesh bad(static_cast<RX::Mesh::MeshType>(3), 2.0, 1.0);
	try {
		bad.generate(2, w);
		FAIL() << "no exception";
	}
	catch (const std::runtime_error & ex) {
		EXPECT_STREQ(ex.what(), "Invalid mesh type");
	}
	EXPECT_NO_THROW(bad.generate(1, w));
	EXPECT_THROW(RX::Mesh(RX::Mesh::UNIFORM, 0, 0).generate(0, w), std::runtime_error);
}

TEST(RXMesh, StretchFindsRootOfResidual) {
	const double s = RX::Mesh::stretch(10, 0.01, 0.01);
	const double B = 1.0/(10*0.01);
	EXPECT_LT(std::abs(RX::f(s, B)), 1e-4);
	EXPECT_GT(s, 0);
}
