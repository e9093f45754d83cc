#ifndef MatrixTestSupportH
#define MatrixTestSupportH

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZEB_Exception.h"

// The blob of a matrix; checks that serialize() fills exactly serializationSize() bytes.
template <typename MatrixT>
std::vector<char> blob(const MatrixT & m) {
	std::vector<char> buffer(m.serializationSize());
	void * p = buffer.data();
	m.serialize(p);
	EXPECT_EQ(static_cast<char *>(p), buffer.data() + buffer.size());
	return buffer;
}

// "location message" of the ZEB::Exception f throws, or "no exception".
template <typename F>
std::string failure(F f) {
	try {
		f();
	}
	catch (ZEB::Exception & ex) {
		return std::string(ex.location()) + " " + ex.what();
	}
	return "no exception";
}

#endif // MatrixTestSupportH
