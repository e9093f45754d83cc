#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "FMUHost.h"
#include "RX_FMU2ModelDescription.h"

// The host's standard output and error belong to the host: hosts write their results there.
namespace {

using FMUHost::Library;
using FMUHost::Recorder;

/*! Sends standard output and standard error of the process to two files for its lifetime. */
class CapturedConsole {
public:
	CapturedConsole(const std::string & outFile, const std::string & errFile) {
		flush();
		m_savedOut = dup(STDOUT_FILENO);
		m_savedErr = dup(STDERR_FILENO);
		redirect(outFile, STDOUT_FILENO);
		redirect(errFile, STDERR_FILENO);
	}
	~CapturedConsole() {
		flush();
		dup2(m_savedOut, STDOUT_FILENO);
		dup2(m_savedErr, STDERR_FILENO);
		close(m_savedOut);
		close(m_savedErr);
	}
	CapturedConsole(const CapturedConsole &) = delete;
	CapturedConsole & operator=(const CapturedConsole &) = delete;

private:
	static void flush() {
		std::cout.flush();
		std::cerr.flush();
		std::fflush(nullptr);
	}
	static void redirect(const std::string & file, int stream) {
		const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		dup2(fd, stream);
		close(fd);
	}

	int m_savedOut;
	int m_savedErr;
};


TEST(FMUConsole, StaysSilentForAYearOfTheExample) {
	TestSupport::TempDirectory dir("quiet");
	// the example with an element the reader warns about
	const std::string resources = dir.file("resources");
	std::filesystem::create_directories(resources);
	std::filesystem::copy_file(CALOVINDA_EXAMPLE_DIR "/725650TYCST.epw", resources + "/725650TYCST.epw");
	{
		std::string project = TestSupport::readFile(CALOVINDA_EXAMPLE_DIR "/calovinda_project.rmxml");
		project.insert(project.find("<Geometry>") + 10, "<Unheard>1</Unheard>");
		std::ofstream(resources + "/calovinda_project.rmxml") << project;
	}
	const std::string results = dir.file("results");
	const char * resultsText = results.c_str();
	const fmi2ValueReference resultsRef = 42;
	Recorder recorder;
	fmi2Status worst = fmi2OK;
	unsigned int hours = 0;
	{
		CapturedConsole console(dir.file("stdout"), dir.file("stderr"));
		const Library & fmi = Library::instance();
		fmi2Component c = fmi.fmi2Instantiate("instance1", fmi2CoSimulation, RX::FMU2_GUID,
											  FMUHost::fileURI(resources + "/").c_str(), &recorder.m_functions,
											  fmi2False, fmi2True);
		if (c != nullptr) {
			worst = std::max(worst, fmi.fmi2SetString(c, &resultsRef, 1, &resultsText));
			worst = std::max(worst, fmi.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2True, 31536000));
			worst = std::max(worst, fmi.fmi2EnterInitializationMode(c));
			worst = std::max(worst, fmi.fmi2ExitInitializationMode(c));
			for (; worst == fmi2OK && hours < TestSupport::YEAR_RUN_HOURS; ++hours)
				worst = fmi.fmi2DoStep(c, hours*3600.0, 3600, fmi2True);
			fmi.fmi2Terminate(c);
			fmi.fmi2FreeInstance(c);
		}
		else
			worst = fmi2Fatal;
	}
	EXPECT_EQ(worst, fmi2OK) << recorder.messages();
	EXPECT_EQ(hours, TestSupport::YEAR_RUN_HOURS);
	EXPECT_EQ(TestSupport::readFile(dir.file("stdout")), "");
	EXPECT_EQ(TestSupport::readFile(dir.file("stderr")), "");
	// the warning went to the instance's log instead
	EXPECT_NE(TestSupport::readFile(results + "/log/screenlog.txt").find("Found unknown element 'Unheard' in Geometry."),
			  std::string::npos);
}

} // namespace
