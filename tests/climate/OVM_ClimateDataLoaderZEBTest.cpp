#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>

#include "OVM_ClimateDataLoader.h"
#include "OVM_Constants.h"
#include "TestSupport.h"
#include "ZEB_Time.h"

using OVM::ClimateDataLoader;
using TestSupport::thrown;

namespace {

const char * const READ = "[ClimateDataLoader::readClimateDataZEB]";

/*! The bytes of a binary climate file, composed field by field. */
struct FileBytes {
	std::string m_bytes;

	FileBytes & word(std::uint32_t w) {
		m_bytes.append(reinterpret_cast<const char *>(&w), 4);
		return *this;
	}
	FileBytes & text(const std::string & s) {
		word(static_cast<std::uint32_t>(s.size()));
		m_bytes += s;
		return *this;
	}
	FileBytes & values(const std::vector<double> & v) {
		word(static_cast<std::uint32_t>(v.size()));
		m_bytes.append(reinterpret_cast<const char *>(v.data()), v.size()*sizeof(double));
		return *this;
	}
	void write(const std::string & path, std::size_t length = std::string::npos) const {
		std::ofstream(path, std::ios_base::binary) << m_bytes.substr(0, length);
	}
};

/*! A file with the given headers, nine data vectors of one value per time point, and the time points. */
FileBytes climateFile(const std::vector<std::string> & headers, const std::vector<double> & timePoints,
					  std::uint32_t version = 1)
{
	FileBytes f;
	f.word(OVM::MAGIC_FIRST_NUMBER).word(OVM::MAGIC_SECOND_NUMBER).word(version).word(0);
	f.word(static_cast<std::uint32_t>(headers.size()));
	for (const std::string & h : headers)
		f.text(h);
	for (unsigned int c = 0; c < ClimateDataLoader::NumClimateComponents; ++c) {
		std::vector<double> v(timePoints.size());
		for (std::size_t i = 0; i < v.size(); ++i)
			v[i] = 10.0*c + i;
		f.values(v);
	}
	f.values(timePoints);
	return f;
}

std::string readStack(ClimateDataLoader & loader, const std::string & path) {
	const std::optional<ZEB::Exception> ex = TestSupport::thrownException([&] { loader.readClimateData(path); });
	return ex ? ex->msgStack() : std::string("nothing thrown");
}

} // namespace


TEST(ClimateDataLoaderZEB, WritesTheFileLayoutAndReadsItBackIdentical) {
	TestSupport::TempDirectory dir("c6b");
	ClimateDataLoader out;
	out.m_country = "DE";
	out.m_city = "Potsdam";
	out.m_timeZone = 1;
	out.m_latitude = 52.38;
	out.m_longitude = 13.07;
	out.m_elevation = 81;
	for (unsigned int c = 0; c < ClimateDataLoader::NumClimateComponents; ++c)
		for (unsigned int k = 0; k < ZEB::HOURS_PER_YEAR; ++k)
			out.m_data[c].push_back(c + (k % 24)/7.0);
	out.writeClimateDataZEB(dir.file("potsdam.C6B"));

	const std::string bytes = TestSupport::readFile(dir.file("potsdam.C6B"));
	EXPECT_EQ(bytes.size(), 630926u);
	const unsigned char start[20] = {0x43, 0x4C, 0x44, 0x46, 0x52, 0x4C, 0x5A, 0x21, 1, 0, 0, 0, 0, 0, 0, 0, 0x0A, 0, 0, 0};
	EXPECT_EQ(bytes.substr(0, 20), std::string(reinterpret_cast<const char *>(start), 20));

	ClimateDataLoader in;
	in.readClimateData(dir.file("potsdam.C6B"));
	EXPECT_EQ(in.m_country, "DE");
	EXPECT_EQ(in.m_city, "Potsdam");
	EXPECT_EQ(in.m_wmoCode, "");
	EXPECT_EQ(in.m_timeZone, 1);
	// a zone of a fraction of an hour as it is
	out.m_timeZone = 5.75;
	out.writeClimateDataZEB(dir.file("kathmandu.c6b"));
	ClimateDataLoader nepal;
	nepal.readClimateData(dir.file("kathmandu.c6b"), true);
	EXPECT_EQ(nepal.m_timeZone, 5.75);
	// a zone of no hours without the sign a reader may have left on it
	out.m_timeZone = -0.0;
	out.writeClimateDataZEB(dir.file("london.c6b"));
	EXPECT_NE(TestSupport::readFile(dir.file("london.c6b")).find("TIMEZONE=0"), std::string::npos);
	EXPECT_EQ(in.m_latitude, 52.38);
	EXPECT_EQ(in.m_longitude, 13.07);
	EXPECT_EQ(in.m_startYear, 2007);
	EXPECT_EQ(in.m_elevation, 81);
	EXPECT_EQ(in.m_data, out.m_data);
	EXPECT_TRUE(in.m_dataTimePoints.empty());
	EXPECT_EQ(in.m_checkBits[ClimateDataLoader::Temperature], 0u);
}


TEST(ClimateDataLoaderZEB, ReadsHeaderStringsByTheirRules) {
	TestSupport::TempDirectory dir("c6b");
	const std::string path = dir.file("x.c6b");
	climateFile({"COUNTRY=DE", "COMMENT=a==b", "ELEVATION=123.7", "FOO=1", "TIMEZONE=-3.5", "LATITUDE = 52.5",
				 "STARTYEAR=2010"}, {0, 3600, 7200}).write(path);
	ClimateDataLoader loader;
	loader.m_data[ClimateDataLoader::Rain] = {1, 2};
	{
		TestSupport::MessageRecorder recorder;
		loader.readClimateDataZEB(path, true);
		ASSERT_EQ(recorder.m_messages.size(), 1u);
		EXPECT_EQ(recorder.m_messages[0].m_text, "Missing CITY name.");
		EXPECT_EQ(recorder.m_messages[0].m_type, ZEB::MSG_WARNING);
		EXPECT_EQ(recorder.m_messages[0].m_location, READ);
		EXPECT_EQ(recorder.m_messages[0].m_level, -1);
	}
	EXPECT_EQ(loader.m_city, "---");
	EXPECT_EQ(loader.m_comment, "a=b");
	EXPECT_EQ(loader.m_elevation, 123);
	EXPECT_EQ(loader.m_timeZone, -3.5);
	EXPECT_EQ(loader.m_latitude, 52.5);
	EXPECT_EQ(loader.m_startYear, 2010);
	EXPECT_EQ(loader.m_data[ClimateDataLoader::Rain], std::vector<double>({1, 2}));	// header only

	loader.readClimateDataZEB(path, false);
	EXPECT_EQ(loader.m_dataTimePoints, std::vector<double>({0, 3600, 7200}));
	EXPECT_EQ(loader.m_data[ClimateDataLoader::Rain], std::vector<double>({80, 81, 82}));

	climateFile({"CITY=x", "COMMENT"}, {}).write(path);
	loader.readClimateDataZEB(path, true);
	EXPECT_EQ(loader.m_comment, "");
	climateFile({"CITY"}, {}).write(path);
	EXPECT_EQ(thrown([&] { loader.readClimateDataZEB(path, true); }), std::string("Invalid key-value format. @ ") + READ);
	// failures of the base utilities' readers and conversions are the reader's too
	climateFile({"CITY=x", "STARTYEAR=y"}, {}).write(path);
	EXPECT_EQ(thrown([&] { loader.readClimateDataZEB(path, true); }),
			  std::string("Could not convert 'y' into value. @ ") + READ);
	climateFile({"CITY=x", "COMMENT=" + std::string(2000, 'c')}, {}).write(path);
	EXPECT_EQ(thrown([&] { loader.readClimateDataZEB(path, true); }),
			  std::string("String length exceeds given maximum! @ ") + READ);
}


TEST(ClimateDataLoaderZEB, RefusesForeignAndInconsistentFiles) {
	TestSupport::TempDirectory dir("c6b");
	const std::string path = dir.file("x.c6b");
	const std::string wrapped = " \nError reading climate data file.";
	ClimateDataLoader loader;

	FileBytes f = climateFile({"CITY=x"}, {0, 3600});
	f.m_bytes[3] = 'X';
	f.write(path);
	EXPECT_EQ(readStack(loader, path), "Wrong first magic number!" + wrapped);

	climateFile({"CITY=x"}, {0, 3600}, 0x0101).write(path);
	EXPECT_EQ(readStack(loader, path), "nothing thrown");
	climateFile({"CITY=x"}, {0, 3600}, 2).write(path);
	EXPECT_EQ(readStack(loader, path), "Unsupported file version." + wrapped);

	// vector #3 one value short
	f = FileBytes();
	f.word(OVM::MAGIC_FIRST_NUMBER).word(OVM::MAGIC_SECOND_NUMBER).word(1).word(0).word(1).text("CITY=x");
	for (unsigned int c = 0; c < ClimateDataLoader::NumClimateComponents; ++c)
		f.values(std::vector<double>(c == 3 ? 8759 : 8760, 1.0));
	f.values({});
	f.write(path);
	EXPECT_EQ(readStack(loader, path), "Error reading data file, data vector #3 has length 8759, but should have "
									   "length 8760 as all previous vectors." + wrapped);

	// decreasing time points are refused and the previous data stay
	const std::vector<double> before = loader.m_data[ClimateDataLoader::Temperature];
	climateFile({"CITY=x"}, {0, 7200, 3600}).write(path);
	EXPECT_EQ(readStack(loader, path), "Invalid time point (non monotonic increasing or duplicate time point in "
									   "line #2 (time point 3600 s)" + wrapped);
	EXPECT_EQ(loader.m_data[ClimateDataLoader::Temperature], before);
	EXPECT_EQ(loader.m_dataTimePoints, std::vector<double>({0, 3600}));
}


TEST(ClimateDataLoaderZEB, RefusesFilesCutAtEveryLength) {
	TestSupport::TempDirectory dir("c6b");
	const std::string path = dir.file("x.c6b");
	const FileBytes f = climateFile({"CITY=Potsdam", "COMMENT=cut"}, {0, 3600, 7200});
	ClimateDataLoader loader;
	f.write(path);
	loader.readClimateDataZEB(path, false);
	const ClimateDataLoader complete = loader;

	for (std::size_t length = 0; length < f.m_bytes.size(); ++length) {
		f.write(path, length);
		const std::optional<ZEB::Exception> ex = TestSupport::thrownException([&] { loader.readClimateDataZEB(path, false); });
		ASSERT_TRUE(ex) << length;
		EXPECT_STREQ(ex->location(), READ) << length;
		EXPECT_EQ(loader.m_data, complete.m_data) << length;
	}

	// a count far beyond the file is refused before anything is reserved for it
	FileBytes huge;
	huge.word(OVM::MAGIC_FIRST_NUMBER).word(OVM::MAGIC_SECOND_NUMBER).word(1).word(0).word(1).text("CITY=x");
	huge.word(9999999).word(0);
	huge.write(path);
	EXPECT_EQ(thrown([&] { loader.readClimateDataZEB(path, false); }),
			  std::string("Climate data file is truncated: data vector #0 needs 79999996 bytes, but only 8 remain. @ ") + READ);
}


TEST(ClimateDataLoaderZEB, ReportsAFileThatCannotBeCreatedOrWritten) {
	TestSupport::TempDirectory dir("c6b");
	ClimateDataLoader out;
	out.initDataWithDefault();
	const char * const WRITE = "[ClimateDataLoader::writeClimateDataZEB]";
	const std::string missingDir = dir.file("no/such/dir.c6b");
	EXPECT_EQ(thrown([&] { out.writeClimateDataZEB(missingDir); }),
			  "Cannot create climate data file '" + missingDir + "'. @ " + WRITE);
	// a device that accepts the open but no byte of data: the disk-full case
	if (std::ifstream("/dev/full")) {
		EXPECT_EQ(thrown([&] { out.writeClimateDataZEB(std::string("/dev/full")); }),
				  std::string("Error writing climate data file '/dev/full'. @ ") + WRITE);
	}
}
