#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Version.h"

using ZEB::Version;

namespace {

const unsigned int BIN1 = 0x11223344;
const unsigned int BIN2 = 0x55667788;
const unsigned int ASC1 = 0x41424344;
const unsigned int ASC2 = 0x45464748;

std::string header(bool binary, unsigned int major, unsigned int minor) {
	std::ostringstream out;
	Version::write(out, BIN1, BIN2, ASC1, ASC2, binary, major, minor);
	return out.str();
}

std::string word(unsigned int w) {
	return std::string(reinterpret_cast<const char *>(&w), 4);
}

// Message of the exception that reading text throws.
std::string readError(const std::string & text) {
	std::istringstream in(text);
	bool isBinary;
	unsigned int major, minor;
	try {
		Version::read(in, BIN1, BIN2, ASC1, ASC2, isBinary, major, minor);
	}
	catch (const ZEB::Exception & ex) {
		EXPECT_STREQ(ex.location(), "[Version::read]");
		return ex.what();
	}
	return "nothing thrown";
}

// Each recorded message as "type level location: text".
std::vector<std::string> lines(const TestSupport::MessageRecorder & recorder) {
	std::vector<std::string> result;
	for (const TestSupport::MessageRecorder::Message & m : recorder.m_messages)
		result.push_back(std::to_string(m.m_type) + " " + std::to_string(m.m_level) + " " + m.m_location + ": "
						 + m.m_text);
	return result;
}

} // namespace


TEST(Version, PacksMajorAndMinorInBothLayouts) {
	EXPECT_EQ(ZEB::versionNumberBinary(3, 1), 0x0103u);
	EXPECT_EQ(ZEB::versionNumberASCII(3, 1), 0x0301u);
	EXPECT_EQ(ZEB::majorMaskBinary | ZEB::minorMaskBinary, ZEB::majorMaskASCII | ZEB::minorMaskASCII);
	EXPECT_EQ(ZEB::majorFromVersionBinary(0x0103), 3u);
	EXPECT_EQ(ZEB::minorFromVersionBinary(0x0103), 1u);
	EXPECT_EQ(ZEB::majorFromVersionASCII(0x0301), 3u);
	EXPECT_EQ(ZEB::minorFromVersionASCII(0x0301), 1u);

	unsigned int first, second;
	Version::toASCIIEncoding(ZEB::versionNumberASCII(255, 7), first, second);
	EXPECT_EQ(word(first) + word(second), " 255.007");
	EXPECT_EQ(Version::fromASCIIEncoding(first, second), ZEB::versionNumberASCII(255, 7));
}


TEST(Version, WritesAndReadsBinaryAndTextHeaders) {
	EXPECT_EQ(header(true, 1, 5), word(BIN1) + word(BIN2) + std::string("\x01\x05\x00\x00\x00\x00\x00\x00", 8));
	EXPECT_EQ(header(false, 12, 0), word(ASC1) + word(ASC2) + " 012.000");

	for (bool binary : {true, false}) {
		std::istringstream in(header(binary, 12, 0) + "rest");
		bool isBinary = !binary;
		unsigned int major = 99, minor = 99;
		Version::read(in, BIN1, BIN2, ASC1, ASC2, isBinary, major, minor);
		EXPECT_EQ(isBinary, binary);
		EXPECT_EQ(major, 12u);
		EXPECT_EQ(minor, 0u);
		EXPECT_EQ(in.tellg(), 16);
	}
	// a word that matches both first magic numbers is read as binary
	std::istringstream both(word(BIN1) + word(BIN2) + std::string("\x02\x03\x00\x00\x00\x00\x00\x00", 8));
	bool isBinary = false;
	unsigned int major = 0, minor = 0;
	Version::read(both, BIN1, BIN2, BIN1, ASC2, isBinary, major, minor);
	EXPECT_TRUE(isBinary);
	EXPECT_EQ(major, 2u);
	EXPECT_EQ(minor, 3u);
}


TEST(Version, RejectsBadHeaders) {
	std::istringstream in("abcdefgh");
	bool isBinary;
	unsigned int major, minor;
	EXPECT_THROW(Version::read(in, BIN1, BIN2, ASC1, ASC2, isBinary, major, minor), ZEB::Exception);
	EXPECT_EQ(in.tellg(), 4);

	EXPECT_EQ(readError("abcdefghijklmnop"), "Invalid magic header or unknown file format.");
	EXPECT_EQ(readError(word(BIN1) + word(ASC2) + "12345678"), "Wrong second magic number!");
	EXPECT_EQ(readError(word(ASC1) + word(BIN2) + "12345678"), "Wrong second magic number!");
	EXPECT_EQ(readError(""), "Invalid magic header or unknown file format.");
	// a header that ends early or holds no version text is no version 0.0
	EXPECT_EQ(readError(word(BIN1) + word(BIN2) + "\x01"), "Incomplete file header.");
	EXPECT_EQ(readError(word(ASC1) + word(ASC2) + " 012"), "Incomplete file header.");
	EXPECT_EQ(readError(word(ASC1) + word(ASC2) + " 0x2.000"), "Invalid version number in file header.");
	EXPECT_EQ(readError(word(ASC1) + word(ASC2) + " 300.000"), "Invalid version number in file header.");

	std::ostringstream out;
	EXPECT_THROW(Version::write(out, BIN1, BIN2, ASC1, ASC2, false, 256, 0), ZEB::Exception);
	EXPECT_THROW(Version::write(out, BIN1, BIN2, ASC1, ASC2, true, 1, 256), ZEB::Exception);
	EXPECT_TRUE(out.str().empty());
}


TEST(Version, ParsesAndComparesVersionTexts) {
	unsigned int major = 0, minor = 0, patch = 42;
	EXPECT_TRUE(Version::extractMajorMinorVersionNumber("5.0.0", major, minor));
	EXPECT_EQ(major, 5u);
	EXPECT_EQ(minor, 0u);
	EXPECT_FALSE(Version::extractMajorMinorVersionNumber("5", major, minor));
	major = 0;
	EXPECT_FALSE(Version::extractMajorMinorVersionNumber("5.x", major, minor));
	EXPECT_EQ(major, 5u);

	EXPECT_TRUE(Version::extractMajorMinorPatchVersionNumber("1.2.3.4", major, minor, patch));
	EXPECT_EQ(patch, 3u);
	patch = 42;
	EXPECT_FALSE(Version::extractMajorMinorPatchVersionNumber("1.2", major, minor, patch));
	EXPECT_FALSE(Version::extractMajorMinorPatchVersionNumber("1.2.x", major, minor, patch));
	EXPECT_EQ(patch, 42u);

	EXPECT_TRUE(Version::lesserVersionNumber("5.0.1", "5.1.0"));
	EXPECT_FALSE(Version::lesserVersionNumber("5.1.0", "5.0.1"));
	EXPECT_FALSE(Version::lesserVersionNumber("5.1.0", "5.1.0"));
	EXPECT_TRUE(Version::lesserVersionNumber("5.1.2", "5.1.10"));
	try {
		Version::lesserVersionNumber("5.1", "5.1.0");
		FAIL() << "nothing thrown";
	}
	catch (const ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Bad version numbers.");
		EXPECT_STREQ(ex.location(), "[Version::lesserVersionNumber]");
	}
}


TEST(Version, SendsTheCompilerBannerAsOneProgressMessage) {
	TestSupport::MessageRecorder handler;
	Version::printCompilerVersion();
	ZEB::MessageHandlerRegistry::instance().setDefaultMsgHandler();

	const std::string version = std::to_string(__GNUC__) + "." + std::to_string(__GNUC_MINOR__) + "."
			+ std::to_string(__GNUC_PATCHLEVEL__);
	EXPECT_EQ(lines(handler), std::vector<std::string>{"0 1 [Version::printCompilerVersion]: Compiled with GCC"
													   + std::string(32, ' ') + version + "\n"});
}
