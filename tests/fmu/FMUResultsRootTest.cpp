#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "FMUHost.h"
#include "RX_FMU2ModelDescription.h"

// Every instance writes into a results tree of its own, whatever its name and wherever it runs.
namespace {

using FMUHost::Library;
using FMUHost::Recorder;

const fmi2ValueReference RESULTS_ROOT_DIR = 42;

/*! Sets an environment variable for its lifetime (unsets it for a null value). */
class ScopedEnvironment {
public:
	ScopedEnvironment(const char * name, const char * value) : m_name(name) {
		if (const char * old = std::getenv(name))
			m_old = old;
		if (value != nullptr)
			setenv(name, value, 1);
		else
			unsetenv(name);
	}
	~ScopedEnvironment() {
		if (m_old)
			setenv(m_name.c_str(), m_old->c_str(), 1);
		else
			unsetenv(m_name.c_str());
	}
	ScopedEnvironment(const ScopedEnvironment &) = delete;
	ScopedEnvironment & operator=(const ScopedEnvironment &) = delete;

private:
	std::string					m_name;
	std::optional<std::string>	m_old;
};

class FMUResultsRoot : public ::testing::Test {
protected:
	void SetUp() override { FMUHost::writeResources(m_resources.path()); }

	/*! A co-simulation instance named name, initialised, with rootDir as "ResultsRootDir" unless
		empty; null when the initialisation failed. */
	fmi2Component start(const std::string & name, const std::string & rootDir = std::string()) {
		fmi2Component c = fmi.fmi2Instantiate(name.c_str(), fmi2CoSimulation, RX::FMU2_GUID,
											  FMUHost::fileURI(m_resources.path() + "/").c_str(),
											  &m_recorder.m_functions, fmi2False, fmi2True);
		if (c == nullptr)
			return nullptr;
		const fmi2ValueReference vr = RESULTS_ROOT_DIR;
		const char * rootText = rootDir.c_str();
		if ((!rootDir.empty() && fmi.fmi2SetString(c, &vr, 1, &rootText) != fmi2OK) ||
			fmi.fmi2EnterInitializationMode(c) != fmi2OK)
		{
			fmi.fmi2FreeInstance(c);
			return nullptr;
		}
		return c;
	}

	std::string resultsRoot(fmi2Component c) {
		const fmi2ValueReference vr = RESULTS_ROOT_DIR;
		fmi2String root = nullptr;
		EXPECT_EQ(fmi.fmi2GetString(c, &vr, 1, &root), fmi2OK);
		return root != nullptr ? root : "";
	}

	bool initialisedInto(const std::string & root) {
		return TestSupport::readFile(root + "/log/screenlog.txt").find("Model initialization finished.")
			   != std::string::npos;
	}

	const Library &				fmi = Library::instance();
	TestSupport::TempDirectory	m_resources{"resources"};
	TestSupport::TempDirectory	m_home{"home"};
	ScopedEnvironment			m_homeVariable{"HOME", m_home.path().c_str()};
	ScopedEnvironment			m_dataHome{"XDG_DATA_HOME", nullptr};
	Recorder					m_recorder;
};


TEST_F(FMUResultsRoot, GivesInstancesNamedAlikeTwoResultsTreesAndTwoLogs) {
	const std::string dataDir = m_home.path() + "/.local/share/";
	fmi2Component first = start("instance1");
	fmi2Component second = start("instance1");
	ASSERT_NE(first, nullptr) << m_recorder.messages();
	ASSERT_NE(second, nullptr) << m_recorder.messages();
	EXPECT_EQ(resultsRoot(first), dataDir + "instance1");
	EXPECT_EQ(resultsRoot(second), dataDir + "instance1-2");
	EXPECT_TRUE(m_recorder.received("Using results root path '" + dataDir + "instance1-2'"));
	EXPECT_TRUE(initialisedInto(dataDir + "instance1"));
	EXPECT_TRUE(initialisedInto(dataDir + "instance1-2"));

	// a root asked for by the host is shared no more than a default one
	const std::string asked = m_home.path() + "/asked";
	fmi2Component third = start("a", asked);
	fmi2Component fourth = start("b", asked);
	ASSERT_NE(third, nullptr);
	ASSERT_NE(fourth, nullptr);
	EXPECT_EQ(resultsRoot(third), asked);
	EXPECT_EQ(resultsRoot(fourth), asked + "-2");
	// fixed once the instance started: another root is refused, the one in use stays; the one
	// asked for (a host's start values set again after a restore) is no change
	const fmi2ValueReference vr = RESULTS_ROOT_DIR;
	const std::string other = m_home.path() + "/other", inUse = asked + "-2";
	const char * texts[3] = {other.c_str(), inUse.c_str(), asked.c_str()};
	EXPECT_EQ(fmi.fmi2SetString(fourth, &vr, 1, &texts[0]), fmi2Error);
	EXPECT_EQ(fmi.fmi2SetString(fourth, &vr, 1, &texts[1]), fmi2OK);
	EXPECT_EQ(fmi.fmi2SetString(fourth, &vr, 1, &texts[2]), fmi2OK);
	EXPECT_EQ(resultsRoot(fourth), inUse);

	// a freed instance's root is free again
	fmi.fmi2FreeInstance(first);
	fmi2Component fifth = start("instance1");
	ASSERT_NE(fifth, nullptr);
	EXPECT_EQ(resultsRoot(fifth), dataDir + "instance1");
	for (fmi2Component c : {second, third, fourth, fifth})
		fmi.fmi2FreeInstance(c);
}


TEST_F(FMUResultsRoot, LeavesARootHeldByAnotherProcess) {
	const std::string root = m_home.path() + "/shared";
	std::filesystem::create_directories(root);
	int locked[2];
	int release[2];
	ASSERT_EQ(pipe(locked), 0);
	ASSERT_EQ(pipe(release), 0);
	const pid_t pid = fork();
	ASSERT_GE(pid, 0);
	if (pid == 0) {
		// another process running an instance on the root: it holds the root's lock until told
		close(release[1]);
		const int fd = open((root + "/instance.lock").c_str(), O_RDWR | O_CREAT, 0644);
		const char ok = (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ? 1 : 0;
		char byte = 0;
		if (write(locked[1], &ok, 1) != 1 || read(release[0], &byte, 1) < 0)
			_exit(1);
		_exit(0);
	}
	close(release[0]);
	char ok = 0;
	const bool childLocked = read(locked[0], &ok, 1) == 1 && ok == 1;
	fmi2Component c = childLocked ? start("room", root) : nullptr;
	close(release[1]);
	waitpid(pid, nullptr, 0);
	close(locked[0]);
	close(locked[1]);
	ASSERT_TRUE(childLocked);
	ASSERT_NE(c, nullptr) << m_recorder.messages();
	EXPECT_EQ(resultsRoot(c), root + "-2");
	EXPECT_FALSE(std::filesystem::exists(root + "/log"));
	fmi.fmi2FreeInstance(c);
}


TEST_F(FMUResultsRoot, MakesAResultsTreeBelowTheDataDirectoryOfAnyInstanceName) {
	const std::string dataDir = m_home.path() + "/.local/share/";
	fmi2Component dots = start("../room");
	fmi2Component overlong = start(std::string(300, 'x'));
	ASSERT_NE(dots, nullptr) << m_recorder.messages();
	ASSERT_NE(overlong, nullptr) << m_recorder.messages();
	EXPECT_EQ(resultsRoot(dots), dataDir + ".._room");
	EXPECT_EQ(resultsRoot(overlong), dataDir + std::string(200, 'x'));
	EXPECT_TRUE(initialisedInto(dataDir + ".._room"));
	EXPECT_FALSE(std::filesystem::exists(m_home.path() + "/.local/room"));
	fmi.fmi2FreeInstance(dots);
	fmi.fmi2FreeInstance(overlong);
}


TEST_F(FMUResultsRoot, FallsBackToATemporaryDirectoryWithoutAUsableHome) {
	TestSupport::TempDirectory tmp("tmp");
	ScopedEnvironment tmpVariable("TMPDIR", tmp.path().c_str());
	const std::string fallback = tmp.path() + "/calovinda-" + std::to_string(getuid()) + "/room";
	{
		ScopedEnvironment noHome("HOME", nullptr);
		fmi2Component c = start("room");
		ASSERT_NE(c, nullptr) << m_recorder.messages();
		EXPECT_EQ(resultsRoot(c), fallback);
		EXPECT_TRUE(initialisedInto(fallback));
		fmi.fmi2FreeInstance(c);
	}
	// a home that is a file cannot hold directories
	const std::string fileHome = m_home.file("file");
	std::fclose(std::fopen(fileHome.c_str(), "w"));
	ScopedEnvironment badHome("HOME", fileHome.c_str());
	fmi2Component c = start("room");
	ASSERT_NE(c, nullptr) << m_recorder.messages();
	EXPECT_EQ(resultsRoot(c), fallback);
	fmi.fmi2FreeInstance(c);

	// nor one that others may write into: they could have linked the root elsewhere
	std::filesystem::permissions(std::filesystem::path(fallback).parent_path(), std::filesystem::perms::all);
	EXPECT_EQ(start("room"), nullptr);
	EXPECT_TRUE(m_recorder.received("Not a directory: cannot create the results root's output directory '" +
									fileHome + "/.local'.")) << m_recorder.messages();
}


TEST_F(FMUResultsRoot, TellsAHostThatDoesNotListenWhyARootCannotBeUsed) {
	// roots of another platform, and a root below a file: no log file can tell why; then the
	// system's reason first and whole, what could not be made, and nothing left behind: a lock file
	// in the way, and a root whose fifth new folder has too long a name, which makes the message
	// longer than the 1000 bytes a host is given
	const std::string file = m_home.file("file");
	std::fclose(std::fopen(file.c_str(), "w"));
	const std::string locked = m_home.file("locked");
	std::filesystem::create_directories(locked + "/instance.lock");
	std::string deep = m_home.file("new");
	for (int i = 0; i < 4; ++i)
		deep += "/" + std::string(250, 'd');
	const std::pair<std::string, std::string> roots[] = {
		{"c:\\rr", ""},
		{"D:/abs", ""},
		{file + "/root", "Not a directory: cannot create the results root's output directory '" + file + "/root'."},
		{locked, "Is a directory: cannot create the results root's lock file '" + locked + "/instance.lock'."},
		{deep + "/" + std::string(300, 'x'), "File name too long: cannot create the results root's output directory '" +
											  m_home.file("new") + "/ddd"}
	};
	for (const auto & [root, reason] : roots) {
		Recorder recorder;
		fmi2Component c = fmi.fmi2Instantiate("room", fmi2CoSimulation, RX::FMU2_GUID,
											  FMUHost::fileURI(m_resources.path() + "/").c_str(),
											  &recorder.m_functions, fmi2False, fmi2False);
		ASSERT_NE(c, nullptr);
		const fmi2ValueReference vr = RESULTS_ROOT_DIR;
		const char * rootText = root.c_str();
		ASSERT_EQ(fmi.fmi2SetString(c, &vr, 1, &rootText), fmi2OK);
		EXPECT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2Error);
		EXPECT_TRUE(recorder.received("Model initialization failed.")) << recorder.messages();
		ASSERT_FALSE(recorder.m_calls.empty());
		if (!reason.empty()) {
			EXPECT_EQ(recorder.m_calls.front().m_message.substr(0, reason.size()), reason) << recorder.messages();
		}
		bool told = false;
		for (const FMUHost::LogCall & call : recorder.m_calls)
			told = told || (call.m_status == fmi2Error && call.m_message.find(root.substr(0, 100)) != std::string::npos);
		EXPECT_TRUE(told) << root << ":\n" << recorder.messages();
		fmi.fmi2FreeInstance(c);
	}
	EXPECT_FALSE(std::filesystem::exists(m_home.file("new")));
	EXPECT_EQ(std::distance(std::filesystem::directory_iterator(locked), std::filesystem::directory_iterator()), 1);
}

} // namespace
