#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "TestSupport.h"
#include "ZEB_OutputFolder.h"

namespace fs = std::filesystem;

namespace {

const char * const LIST = ".list";
const char * const LOCATION = "[test]";

/*! The command of these tests writes files of one letter. */
bool oneLetter(const std::string & name) {
	return name.size() == 1;
}

/*! Writes files (name and content) into dir as one set of the command listed in list. */
void writeSet(const std::string & dir, const std::map<std::string, std::string> & files, const char * list = LIST,
			  std::function<bool(const std::string &)> commandWrites = oneLetter)
{
	ZEB::OutputFolder folder(dir, list, LOCATION, commandWrites);
	for (const auto & file : files)
		folder.add(file.first, file.second);
	folder.commit();
}

/*! Every entry of dir: a regular file's content, else what it is. */
std::map<std::string, std::string> contents(const std::string & dir) {
	std::map<std::string, std::string> found;
	for (const fs::directory_entry & entry : fs::directory_iterator(dir)) {
		const fs::file_status status = entry.symlink_status();
		found[entry.path().filename().string()] = fs::is_symlink(status) ? "<link>" :
			fs::is_directory(status) ? "<folder>" :
			fs::is_regular_file(status) ? TestSupport::readFile(entry.path().string()) : "<other>";
	}
	return found;
}

} // namespace


TEST(ZEBOutputFolder, ReplacesWhatStandsInTheWayAndRemovesOnlyItsOwnFiles) {
	struct Case {
		const char *	m_what;
		/*! Prepares the folder, given it and a file outside it. */
		std::function<void(const std::string &, const std::string &)>	m_prepare;
		/*! What the folder holds after the set {a} besides a and the list. */
		std::map<std::string, std::string>	m_kept;
	};
	const std::vector<Case> cases = {
		{"a link in a file's place", [](const std::string & dir, const std::string & outside) {
			fs::create_symlink(outside, dir + "/a");
		}, {}},
		{"a link in the list's place", [](const std::string & dir, const std::string & outside) {
			fs::create_symlink(outside, dir + "/" + LIST);
		}, {}},
		// the list names a user's file, with its size and checksum, that the command never writes
		{"a list that names a file of another name", [](const std::string & dir, const std::string &) {
			writeSet(dir, {{"b", "mine"}});
			std::string list = TestSupport::readFile(dir + "/" + LIST);
			list.replace(list.find(" b\n"), 3, " mine.txt\n");
			std::ofstream(dir + "/" + LIST) << list;
			fs::rename(dir + "/b", dir + "/mine.txt");
		}, {{"mine.txt", "mine"}}},
		// read, a pipe would wait for a writer for ever
		{"a pipe in the list's place", [](const std::string & dir, const std::string &) {
			ASSERT_EQ(mkfifo((dir + "/" + LIST).c_str(), 0600), 0);
		}, {}},
	};
	for (const Case & c : cases) {
		TestSupport::TempDirectory tmp("folder");
		const std::string dir = tmp.file("out");
		const std::string outside = tmp.file("outside.txt");
		fs::create_directory(dir);
		std::ofstream(outside) << "outside";
		c.m_prepare(dir, outside);

		writeSet(dir, {{"a", "new"}});
		std::map<std::string, std::string> found = contents(dir);
		EXPECT_NE(found[LIST], "<link>") << c.m_what;
		EXPECT_NE(found[LIST], "<other>") << c.m_what;
		found.erase(LIST);
		std::map<std::string, std::string> expected = c.m_kept;
		expected["a"] = "new";
		EXPECT_EQ(found, expected) << c.m_what;
		EXPECT_EQ(TestSupport::readFile(outside), "outside") << c.m_what;
	}
}


TEST(ZEBOutputFolder, PutsTheEarlierFilesBackWhenACommitFails) {
	TestSupport::TempDirectory tmp("folder");
	const std::string dir = tmp.file("out");
	fs::create_directory(dir);
	writeSet(dir, {{"a", "1"}, {"b", "1"}, {"c", "1"}});
	std::map<std::string, std::string> expected = contents(dir);
	{
		ZEB::OutputFolder next(dir, LIST, LOCATION, oneLetter);
		for (const char * name : {"a", "b", "c"})
			next.add(name, "2");
		// a folder of the user's takes the place of the last file after it was written
		fs::remove(dir + "/c");
		fs::create_directories(dir + "/c/inside");
		EXPECT_NE(TestSupport::thrownAt([&] { next.commit(); }, LOCATION).find(dir + "/c'"), std::string::npos);
	}
	expected["c"] = "<folder>";
	EXPECT_EQ(contents(dir), expected);
}
