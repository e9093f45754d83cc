#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "FMUHost.h"
#include "RX_FMU2ModelDescription.h"

// Instances on several threads and a library unloaded and loaded again, run by fmu_thread_host, a
// host with nothing of ours (and no Qt) linked in. Each run is a process of its own, so that a
// crash fails its test only; each sequence runs 20 times, as races show in some runs only.
// A logger that calls back into the FMU runs in this process.
namespace {

using FMUHost::Library;

const fmi2ValueReference ROOM_AIR_TEMPERATURE = 1010;
const unsigned int RUNS = 20;

class FMUThreads : public ::testing::Test {
protected:
	void SetUp() override { FMUHost::writeResources(m_resources.path()); }

	/*! Runs the host with sequence RUNS times; one line per failed run. */
	std::string runHost(const char * sequence) {
		const std::string uri = FMUHost::fileURI(m_resources.path() + "/");
		std::string failures;
		for (unsigned int run = 0; run < RUNS; ++run) {
			const pid_t pid = fork();
			if (pid == 0) {
				setenv("HOME", m_home.path().c_str(), 1);
				unsetenv("XDG_DATA_HOME");
				execl(CALOVINDA_FMU_THREAD_HOST, CALOVINDA_FMU_THREAD_HOST, CALOVINDA_FMU_LIBRARY, RX::FMU2_GUID,
					  uri.c_str(), sequence, static_cast<char *>(nullptr));
				_exit(127);
			}
			int status = 0;
			if (pid < 0 || waitpid(pid, &status, 0) != pid)
				return "cannot run the host";
			if (WIFSIGNALED(status))
				failures += "run " + std::to_string(run) + ": signal " + std::to_string(WTERMSIG(status)) + "\n";
			else if (WEXITSTATUS(status) != 0)
				failures += "run " + std::to_string(run) + ": exit code " + std::to_string(WEXITSTATUS(status)) + "\n";
		}
		return failures;
	}

	TestSupport::TempDirectory	m_resources{"resources"};
	TestSupport::TempDirectory	m_home{"home"};
};


TEST_F(FMUThreads, RunsInstancesOnSeveralThreadsAtOnceAndFreesThemFromOthers) {
	EXPECT_EQ(runHost("parallel"), "");
}


TEST_F(FMUThreads, KeepsAnInstanceUsableAfterTheThreadsThatMadeAndSteppedItEnded) {
	EXPECT_EQ(runHost("handover"), "");
}


TEST_F(FMUThreads, UnloadsAndLoadsTheLibraryAgainBetweenInstances) {
	EXPECT_EQ(runHost("reload"), "");
}


/*! A host whose logger reads the room air temperature of an instance, as hosts may. */
struct ReadingLogger {
	ReadingLogger() : m_functions{&ReadingLogger::logger, nullptr, nullptr, nullptr, this} {}
	ReadingLogger(const ReadingLogger &) = delete;
	ReadingLogger & operator=(const ReadingLogger &) = delete;

	static void logger(fmi2ComponentEnvironment environment, fmi2String, fmi2Status, fmi2String, fmi2String message, ...) {
		ReadingLogger & self = *static_cast<ReadingLogger *>(environment);
		self.m_messages += std::string(message) + "\n";
		if (self.m_read == nullptr)
			return;
		const fmi2ValueReference vr = ROOM_AIR_TEMPERATURE;
		double value = 0;
		if (Library::instance().fmi2GetReal(self.m_read, &vr, 1, &value) == fmi2OK)
			self.m_values.push_back(value);
	}

	fmi2CallbackFunctions	m_functions;
	/*! The instance the logger reads; null: none. */
	fmi2Component			m_read = nullptr;
	std::vector<double>		m_values;
	std::string				m_messages;
};


TEST(FMUCallbacks, LoggerMayReadThisAndAnotherInstance) {
	TestSupport::TempDirectory resources("resources");
	FMUHost::writeResources(resources.path());
	const Library & fmi = Library::instance();
	const std::string uri = FMUHost::fileURI(resources.path() + "/");
	ReadingLogger recorder[2];
	fmi2Component c[2];
	for (unsigned int i = 0; i < 2; ++i) {
		c[i] = fmi.fmi2Instantiate(("reader" + std::to_string(i)).c_str(), fmi2CoSimulation, RX::FMU2_GUID,
								   uri.c_str(), &recorder[i].m_functions, fmi2False, fmi2True);
		ASSERT_NE(c[i], nullptr);
		ASSERT_EQ(fmi.fmi2EnterInitializationMode(c[i]), fmi2OK) << recorder[i].m_messages;
		ASSERT_EQ(fmi.fmi2ExitInitializationMode(c[i]), fmi2OK);
	}
	// the first reads the other, the second itself, each from the message of fmi2Terminate
	recorder[0].m_read = c[1];
	recorder[1].m_read = c[1];
	for (unsigned int i = 0; i < 2; ++i) {
		ASSERT_EQ(fmi.fmi2DoStep(c[i], 0, 3600, fmi2True), fmi2OK);
		EXPECT_EQ(fmi.fmi2Terminate(c[i]), fmi2OK);
		ASSERT_FALSE(recorder[i].m_values.empty()) << "instance " << i;
		// a room of 20 C and up to 27 C
		EXPECT_GT(recorder[i].m_values.back(), 273.15 + 19) << "instance " << i;
		EXPECT_LT(recorder[i].m_values.back(), 273.15 + 28) << "instance " << i;
	}
	recorder[0].m_read = nullptr;
	recorder[1].m_read = nullptr;
	for (unsigned int i = 0; i < 2; ++i)
		fmi.fmi2FreeInstance(c[i]);
}

} // namespace
