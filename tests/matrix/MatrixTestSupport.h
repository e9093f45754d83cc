#ifndef MatrixTestSupportH
#define MatrixTestSupportH

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "TestSupport.h"

using TestSupport::failure;

// The blob of a matrix; checks that serialize() fills exactly serializationSize() bytes.
template <typename MatrixT>
std::vector<char> blob(const MatrixT & m) {
	std::vector<char> buffer(m.serializationSize());
	void * p = buffer.data();
	m.serialize(p);
	EXPECT_EQ(static_cast<char *>(p), buffer.data() + buffer.size());
	return buffer;
}

// Same size, and every element within tolerance of the expected one.
inline void expectNear(const std::vector<double> & actual, const std::vector<double> & expected, double tolerance) {
	ASSERT_EQ(actual.size(), expected.size());
	for (std::size_t i = 0; i < actual.size(); ++i)
		EXPECT_NEAR(actual[i], expected[i], tolerance) << "at " << i;
}

#endif // MatrixTestSupportH
