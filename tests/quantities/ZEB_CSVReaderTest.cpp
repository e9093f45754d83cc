#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZEB_CSVReader.h"
#include "ZEB_Exception.h"

using ZEB::CSVReader;

namespace {

std::string failureOf(CSVReader & reader, const std::string & text) {
	try {
		reader.parse(text, false, true);
	}
	catch (ZEB::Exception & ex) {
		return ex.msgStack();
	}
	return "no exception";
}

class CSVReaderFiles : public ::testing::Test {
protected:
	ZEB::Path file(const std::string & name, const std::string & content) {
		std::ofstream(m_tmp.file(name)) << content;
		return ZEB::Path(m_tmp.file(name));
	}
	TestSupport::TempDirectory	m_tmp{"csv"};
	const std::string			m_dir = m_tmp.path();
};

} // namespace


TEST(CSVReader, ReadsCaptionsUnitsAndColumns) {
	CSVReader r;
	r.parse("Time [h]\tValue [W/m2]\n0\t1\n\n1\t2\n", false, true);
	EXPECT_EQ(r.m_captions, (std::vector<std::string>{"Time", "Value"}));
	EXPECT_EQ(r.m_units, (std::vector<std::string>{"h", "W/m2"}));
	EXPECT_EQ(r.m_nColumns, 2u);
	EXPECT_EQ(r.m_nRows, 2u);
	EXPECT_EQ(r.colData(1), (std::vector<double>{1, 2}));

	CSVReader odd;
	odd.parse("Name]x[\t\"Q [kWh]\"\tPlain\tOpen [h", true, true);
	EXPECT_EQ(odd.m_captions, (std::vector<std::string>{"Name]x[", "Q", "Plain", "Open"}));
	EXPECT_EQ(odd.m_units, (std::vector<std::string>{"", "kWh", "", "h"}));
	EXPECT_TRUE(odd.m_values.empty());

	CSVReader noUnits;
	noUnits.parse("a [m]\tb\n1\t2\n", false, false);
	EXPECT_EQ(noUnits.m_captions[0], "a [m]");
	EXPECT_TRUE(noUnits.m_units.empty());

	CSVReader empty;
	empty.parse("", false, true);
	EXPECT_TRUE(empty.m_captions.empty());
	EXPECT_EQ(empty.m_nRows, 0u);
}

TEST(CSVReader, SplitsCommaFilesTrimmingQuotes) {
	CSVReader r;
	r.m_separationCharacter = ',';
	r.parse("\"x\",\"y\"\n1,\"2\"\n 3 ,,4\n", false, false);
	EXPECT_EQ(r.m_captions, (std::vector<std::string>{"\"x\"", "\"y\""}));
	EXPECT_EQ(r.m_values, (std::vector<std::vector<double>>{{1, 2}, {3, 4}}));

	CSVReader tab;
	EXPECT_NE(failureOf(tab, "a\tb\n1\t\"2\"\n").find("Error reading value in column 1 in line #2."), std::string::npos);
}

TEST(CSVReader, ReportsLineOfBadRows) {
	CSVReader r;
	EXPECT_EQ(failureOf(r, "Time [h]\tValue [W/m2]\n0\t1\n1\t2\t3\n"),
			  "Wrong number of columns in line #3! \nError parsing data.");
	EXPECT_EQ(r.m_values.size(), 1u);							// rows before the failure stay
	EXPECT_EQ(r.m_nRows, 1u);

	CSVReader blank;
	EXPECT_EQ(failureOf(blank, "a\tb\n \t\r\n\n1\t2\n1\n"), "Wrong number of columns in line #5! \nError parsing data.");
	CSVReader bad;
	EXPECT_EQ(failureOf(bad, "a\tb\n1\tx\n"),
			  "Could not convert 'x' into value. \nError reading value in column 1 in line #2. \nError parsing data.");

	// a second parse appends its rows
	CSVReader twice;
	twice.parse("a\n1\n", false, false);
	twice.parse("b\n2\n", false, false);
	EXPECT_EQ(twice.colData(0), (std::vector<double>{1, 2}));
	EXPECT_EQ(twice.m_nRows, 2u);
}

TEST(CSVReader, ChecksColumnIndexes) {
	CSVReader r;
	EXPECT_TRUE(r.colData(5).empty());
	r.parse("a\tb\n1\t2\n", false, false);
	r.m_values.push_back({3});
	try {
		r.colData(2);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Column index 2 out of range. Only have 2 columns in file.");
		EXPECT_STREQ(ex.location(), "[CSVReader::colData]");
	}
	try {
		r.colData(1);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Column index 1 out of range in row 1 (only 1 columns in this row).");
	}
}

TEST_F(CSVReaderFiles, DetectsSeparatorAndReadsFiles) {
	EXPECT_TRUE(CSVReader::haveTabSeparationChar(file("t.tsv", "a\tb\n1\t2\n")));
	EXPECT_FALSE(CSVReader::haveTabSeparationChar(file("c.csv", "a,b\n1,2\n")));
	auto flavourError = [](const ZEB::Path & p) {
		try {
			CSVReader::haveTabSeparationChar(p);
		}
		catch (ZEB::Exception & ex) {
			return std::string(ex.what());
		}
		return std::string("no exception");
	};
	EXPECT_EQ(flavourError(file("one.csv", "a\n1\n")).substr(0, 34), "Unable to determine csv flavour - ");
	EXPECT_EQ(flavourError(file("short.csv", "a\tb\n")), "Error reading first two lines of data file.");
	EXPECT_EQ(flavourError(ZEB::Path(m_dir + "/missing.csv")), "File doesn't exist or cannot open/access file.");

	CSVReader r;
	r.read(file("r.tsv", "t [s]\tv\n0\t5\n"), false, true);
	EXPECT_EQ(r.colData(1), std::vector<double>{5});
	try {
		CSVReader missing;
		missing.read(ZEB::Path(m_dir + "/none.tsv"), false, true);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_EQ(ex.msgStack(), "File doesn't exist or cannot open/access file. \nError reading file '" + m_dir + "/none.tsv'.");
	}
}
