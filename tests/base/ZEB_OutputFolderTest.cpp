#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"
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

/*! In a child process: sends every message into a pipe, "W" before a warning's text, "-" before
	another's. */
class PipeHandler : public ZEB::MessageHandler {
public:
	explicit PipeHandler(int fd) : m_fd(fd) { ZEB::MessageHandlerRegistry::instance().setMessageHandler(this); }
	void msg(const std::string & text, ZEB::msg_type_t type, const char *, int) override {
		const std::string sent = (type == ZEB::MSG_WARNING ? "W" : "-") + text;
		if (write(m_fd, sent.data(), sent.size()) < 0)
			_exit(3);
	}

private:
	int m_fd;
};

/*! In a child process: ends it by SIGKILL at the first warning. */
class KillAtWarning : public ZEB::MessageHandler {
public:
	KillAtWarning() { ZEB::MessageHandlerRegistry::instance().setMessageHandler(this); }
	void msg(const std::string &, ZEB::msg_type_t type, const char *, int) override {
		if (type == ZEB::MSG_WARNING)
			raise(SIGKILL);
	}
};

/*! Runs f in a child process and returns its wait status; f's failure exits with 1. */
int inChild(const std::function<void()> & f) {
	const pid_t pid = fork();
	if (pid == 0) {
		try {
			f();
		}
		catch (...) {
			_exit(1);
		}
		_exit(0);
	}
	int status = 0;
	waitpid(pid, &status, 0);
	return status;
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


TEST(ZEBOutputFolder, WaitsWhileAnotherHoldsTheFolder) {
	TestSupport::TempDirectory tmp("folder");
	const std::string dir = tmp.file("out");
	fs::create_directory(dir);
	writeSet(dir, {{"a", "first"}});
	const int held = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	ASSERT_EQ(flock(held, LOCK_EX), 0);

	int told[2];
	ASSERT_EQ(pipe(told), 0);
	const pid_t pid = fork();
	if (pid == 0) {
		// the lock belongs to the open folder, which the child shares until it closes it
		close(held);
		close(told[0]);
		PipeHandler handler(told[1]);
		try {
			writeSet(dir, {{"a", "second"}});
		}
		catch (...) {
			_exit(1);
		}
		_exit(0);
	}
	close(told[1]);
	// the second run says that it waits, as a warning, which a command line shows (or ends, which
	// closes the pipe)
	char text[256];
	const ssize_t n = read(told[0], text, sizeof(text));
	EXPECT_GT(n, 0);
	EXPECT_TRUE(n > 0 && text[0] == 'W') << std::string(text, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
	EXPECT_EQ(contents(dir)["a"], "first");
	close(held);
	int status = 0;
	waitpid(pid, &status, 0);
	close(told[0]);
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
	EXPECT_EQ(contents(dir)["a"], "second");
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


TEST(ZEBOutputFolder, ClearsWhatKilledRunsLeftAndPutsBackAnUnfinishedCommit) {
	TestSupport::TempDirectory tmp("folder");
	const std::string dir = tmp.file("out");
	fs::create_directory(dir);
	writeSet(dir, {{"a", "1"}, {"b", "1"}, {"c", "1"}});
	// c has become the user's: a run without it keeps it, with a warning
	std::ofstream(dir + "/c") << "changed";
	std::map<std::string, std::string> expected = contents(dir);

	// a run killed while it writes its files
	int status = inChild([&] {
		ZEB::OutputFolder folder(dir, LIST, LOCATION, oneLetter);
		folder.add("a", "2");
		raise(SIGKILL);
	});
	EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
	// a run killed while it puts its files in place: at its warning of c, after a and b
	status = inChild([&] {
		KillAtWarning handler;
		writeSet(dir, {{"a", "2"}, {"b", "2"}});
	});
	EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
	// the user's file takes the place of one that the killed run put there: it stays
	std::ofstream(dir + "/b") << "mine";
	// the process id of the run killed while it put its files in place (the first one's directory
	// went with that run's commit) names a live process now, used again: its directory goes all the
	// same
	std::vector<std::string> left;
	for (const fs::directory_entry & entry : fs::directory_iterator(dir))
		if (entry.path().filename().string().rfind(".calovinda-", 0) == 0)
			left.push_back(entry.path().filename().string());
	EXPECT_EQ(left.size(), 1u);
	for (const std::string & name : left)
		fs::rename(dir + "/" + name, dir + "/.calovinda-1-" + name.substr(name.size() - 6));
	// a live run whose process id names no process here (one of another container): its
	// directory stays
	const pid_t ended = fork();
	if (ended == 0)
		_exit(0);
	waitpid(ended, nullptr, 0);
	const std::string live = ".calovinda-" + std::to_string(ended) + "-Live00";
	fs::create_directories(dir + "/" + live + "/new");
	const int held = open((dir + "/" + live).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	EXPECT_EQ(flock(held, LOCK_EX), 0);

	// the next run of any command in the folder
	TestSupport::MessageRecorder messages;
	writeSet(dir, {{"x", "3"}}, ".other", [](const std::string & name) { return name == "x"; });
	close(held);
	expected[live] = "<folder>";
	expected["b"] = "mine";
	expected["x"] = "3";
	expected[".other"] = TestSupport::readFile(dir + "/.other");
	EXPECT_EQ(contents(dir), expected);
	ASSERT_EQ(messages.m_messages.size(), 1u);
	EXPECT_EQ(messages.m_messages[0].m_type, ZEB::MSG_WARNING);
}
