#ifndef MatrixTestSupportH
#define MatrixTestSupportH

#include <gtest/gtest.h>

#include <cstddef>
#include <new>
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

/*! While alive, makes allocation number k through the global operator new from now on (0: the
	next one) throw std::bad_alloc, as an exhausted memory would. The test executable replaces the
	global operator new for this (MatrixTestSupport.cpp). */
class AllocationFailure {
public:
	explicit AllocationFailure(long k);
	~AllocationFailure();
	AllocationFailure(const AllocationFailure &) = delete;
	AllocationFailure & operator=(const AllocationFailure &) = delete;
	/*! Whether the armed allocation has failed. */
	bool failed() const;
};

// Calls change(m) with its first, second, ... allocation failing until one call runs through
// (which leaves m changed), and checks after every failed call that it threw and left the blob of
// m as it was. Returns the number of allocations tried.
template <typename MatrixT, typename Change>
long expectUnchangedWhenAllocationFails(MatrixT & m, Change change) {
	const std::vector<char> before = blob(m);
	for (long k = 0;; ++k) {
		bool threw = false, failed = false;
		{
			AllocationFailure failure(k);
			try {
				change(m);
			}
			catch (const std::bad_alloc &) {
				threw = true;
			}
			failed = failure.failed();
		}
		if (!failed)
			return k;
		EXPECT_TRUE(threw) << "allocation " << k;
		EXPECT_EQ(blob(m), before) << "allocation " << k;
	}
}

#endif // MatrixTestSupportH
