#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZEB_Exception.h"
#include "ZEB_FileUtils.h"

using ZEB::Path;

namespace {

class FileUtils : public ::testing::Test {
protected:
	std::string file(const std::string & name, const std::string & content) const {
		const std::string path = m_tmp.file(name);
		std::ofstream(path, std::ios_base::binary) << content;
		return path;
	}
	TestSupport::TempDirectory	m_tmp{"fileutils_"};
	const std::string			m_dir = m_tmp.path();
};

} // namespace


TEST(FileNames, ReadsAndReplacesIdsOfFileNamesOnly) {
	EXPECT_EQ(ZEB::extract_ID_from_filename(Path("data/climate_12.c6b")), 12u);
	EXPECT_EQ(ZEB::extract_ID_from_filename(Path("data/climate.c6b")), 0u);
	EXPECT_EQ(ZEB::extract_ID_from_filename(Path("data/run_12a.txt")), 12u);
	EXPECT_EQ(ZEB::extract_ID_from_filename(Path("data/run_x.txt")), 0u);
	EXPECT_EQ(ZEB::extract_ID_from_filename(Path("data/run_-5.txt")), 0u);
	// an underscore of a directory is no id of the file
	EXPECT_EQ(ZEB::extract_ID_from_filename(Path("data_5/run.txt")), 0u);
	EXPECT_EQ(ZEB::extract_ID_from_filename(Path()), 0u);

	EXPECT_EQ(ZEB::replace_ID_in_filename(Path("data/run_3.tsv"), 7).str(), "data/run_7.tsv");
	EXPECT_EQ(ZEB::replace_ID_in_filename(Path("data/run_3a.tsv"), 7).str(), "data/run_7.tsv");
	EXPECT_EQ(ZEB::replace_ID_in_filename(Path("data/results.tsv"), 7).str(), "data/results_7.tsv");
	EXPECT_FALSE(ZEB::replace_ID_in_filename(Path("data/results"), 7).isValid());
	EXPECT_EQ(ZEB::replace_ID_in_filename(Path("my_data/results.tsv"), 7).str(), "my_data/results_7.tsv");
	EXPECT_FALSE(ZEB::replace_ID_in_filename(Path("my.data/results"), 7).isValid());
}


TEST(FileNames, SplitsNumberSuffixOffTheExtension) {
	Path plain;
	int number = -1;
	EXPECT_TRUE(ZEB::extract_number_suffix(Path("weather.c6b?3"), plain, number));
	EXPECT_EQ(plain.str(), "weather.c6b");
	EXPECT_EQ(number, 3);

	number = -1;
	EXPECT_FALSE(ZEB::extract_number_suffix(Path("dir/weather.c6b"), plain, number));
	EXPECT_EQ(plain.str(), "dir/weather.c6b");
	EXPECT_EQ(number, -1);

	plain = Path("unchanged");
	EXPECT_THROW(ZEB::extract_number_suffix(Path("weather.c6b?x"), plain, number), ZEB::Exception);
	EXPECT_THROW(ZEB::extract_number_suffix(Path("weather.c6b?-3"), plain, number), ZEB::Exception);
	EXPECT_EQ(plain.str(), "unchanged");
	EXPECT_EQ(number, -1);
}


TEST_F(FileUtils, ReadsFirstLinesAndWholeFiles) {
	const std::string crlf = file("crlf.txt", "first\r\nsecond\n");
	EXPECT_EQ(ZEB::read_one_line(Path(crlf)), "first\r");
	EXPECT_EQ(ZEB::read_one_line(Path(file("noend.txt", "only"))), "only");
	EXPECT_EQ(ZEB::file2String(Path(crlf)), "first\r\nsecond\n");

	const std::string missing = m_dir + "/missing.txt";
	try {
		ZEB::read_one_line(Path(missing));
		FAIL() << "nothing thrown";
	}
	catch (const ZEB::Exception & ex) {
		EXPECT_EQ(std::string(ex.what()), "Error reading file '" + missing + "'");
		EXPECT_EQ(std::string(ex.location()), "[ZEB::readFirstLine]");
	}
	EXPECT_THROW(ZEB::read_one_line(Path(file("empty.txt", ""))), ZEB::Exception);
	EXPECT_EQ(ZEB::file2String(Path(missing)), "");
}


TEST_F(FileUtils, ReadsSomeBytesWithinTheFile) {
	const std::string data = file("data.bin", std::string("ab\0cd", 5));
	std::string errmsg = "old";
	EXPECT_EQ(ZEB::read_some_bytes(Path(data), 3, errmsg), (std::vector<unsigned char>{'a', 'b', 0}));
	EXPECT_EQ(errmsg, "");
	EXPECT_EQ(ZEB::read_some_bytes(Path(data), 100, errmsg).size(), 5u);
	EXPECT_TRUE(ZEB::read_some_bytes(Path(data), 0, errmsg).empty());
	EXPECT_EQ(errmsg, "");

	EXPECT_TRUE(ZEB::read_some_bytes(Path(m_dir + "/missing"), 10, errmsg).empty());
	EXPECT_EQ(errmsg, "Cannot open file");
	// a directory opens but cannot be read: no success without data
	EXPECT_TRUE(ZEB::read_some_bytes(Path(m_dir), 10, errmsg).empty());
	EXPECT_EQ(errmsg, "Cannot read file");
}


TEST_F(FileUtils, OpensStreamsOwnedByTheCaller) {
	const Path name(m_dir + "/out.txt");
	std::unique_ptr<std::ofstream>(ZEB::create_ofstream(name, std::ios_base::trunc))->write("x\n", 2);
	std::unique_ptr<std::ofstream>(ZEB::create_ofstream(name, std::ios_base::app))->write("y\n", 2);
	EXPECT_EQ(ZEB::read_one_line(name), "x");
	EXPECT_EQ(ZEB::file2String(name), "x\ny\n");
	std::unique_ptr<std::ifstream> in(ZEB::open_ifstream(name, std::ios_base::binary));
	EXPECT_EQ(in->get(), 'x');

	std::unique_ptr<std::ofstream> bad(ZEB::create_ofstream(Path(m_dir + "/no/such/dir/f"), std::ios_base::out));
	EXPECT_TRUE(bad->fail());
	std::unique_ptr<std::ifstream> badIn(ZEB::open_ifstream(Path(m_dir + "/missing"), std::ios_base::in));
	EXPECT_TRUE(badIn->fail());
}


TEST(FileUtilsHome, FindsTheUsersHomeDirectory) {
	const Path home = ZEB::userDirectory();
	ASSERT_TRUE(home.isValid());
	EXPECT_TRUE(home.isAbsolute());
}
