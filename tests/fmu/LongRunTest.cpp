#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "FMUHost.h"
#include "RX_FMU2ModelDescription.h"

// Co-simulation over several years, as hosts run it, in a child process whose memory no other
// test disturbs.
namespace {

using FMUHost::Library;
using FMUHost::Recorder;

const double YEAR = 31536000;

// the sanitizer keeps freed memory in quarantine, and a year takes a minute there: the run only
// crosses the end of the second year, where the output series used to run out
using TestSupport::SANITIZED;

/*! The peak resident set size of this process [kB], -1 when unknown. */
long peakResidentKilobytes() {
	std::ifstream status("/proc/self/status");
	std::string line;
	while (std::getline(status, line))
		if (line.compare(0, 6, "VmHWM:") == 0)
			return std::stol(line.substr(6));
	return -1;
}

/*! What the child reports of its run. */
struct LongRun {
	/*! 0 all steps done, else the failing hour + 1. */
	double	m_failedHour = -1;
	/*! Peak resident set size after the first day and at the end [kB]. */
	double	m_peakAfterDay = 0;
	double	m_peakAtEnd = 0;
	/*! Extremes of the room air temperature in the last year [K]. */
	double	m_TMin = 0;
	double	m_TMax = 0;
	/*! Difference of the mean room air temperature of the last year from that of the year before [K]. */
	double	m_yearToYear = 0;
};

/*! Steps the instance on resources hourly from t0 for hours hours and reports in a forked child. */
LongRun runInChild(const std::string & resources, const std::string & results, double t0, unsigned int hours) {
	int pipeEnds[2];
	LongRun run;
	if (pipe(pipeEnds) != 0)
		return run;
	const pid_t child = fork();
	if (child == 0) {
		close(pipeEnds[0]);
		const Library & fmi = Library::instance();
		Recorder recorder;
		fmi2Component c = fmi.fmi2Instantiate("long", fmi2CoSimulation, RX::FMU2_GUID,
			FMUHost::fileURI(resources + "/").c_str(), &recorder.m_functions, fmi2False, fmi2False);
		const fmi2ValueReference rootRef = 42, TRef = 1010;
		const char * root = results.c_str();
		LongRun result;
		std::vector<double> T(hours);
		result.m_failedHour = 0;
		if (c == nullptr || fmi.fmi2SetString(c, &rootRef, 1, &root) != fmi2OK ||
			fmi.fmi2SetupExperiment(c, fmi2False, 0, t0, fmi2False, 0) != fmi2OK ||
			fmi.fmi2EnterInitializationMode(c) != fmi2OK || fmi.fmi2ExitInitializationMode(c) != fmi2OK)
			result.m_failedHour = 1;
		for (unsigned int h = 0; h < hours && result.m_failedHour == 0; ++h) {
			if (fmi.fmi2DoStep(c, t0 + h*3600.0, 3600, fmi2True) != fmi2OK ||
				fmi.fmi2GetReal(c, &TRef, 1, &T[h]) != fmi2OK)
				result.m_failedHour = h + 1;
			if (h == 23)
				result.m_peakAfterDay = static_cast<double>(peakResidentKilobytes());
		}
		result.m_peakAtEnd = static_cast<double>(peakResidentKilobytes());
		const unsigned int lastYear = hours >= 8760 ? hours - 8760 : 0;
		result.m_TMin = *std::min_element(T.begin() + lastYear, T.end());
		result.m_TMax = *std::max_element(T.begin() + lastYear, T.end());
		for (unsigned int h = lastYear; h >= 8760 && h < hours; ++h)
			result.m_yearToYear += (T[h] - T[h - 8760])/8760;
		const ssize_t written = write(pipeEnds[1], &result, sizeof(result));
		_exit(written == static_cast<ssize_t>(sizeof(result)) ? 0 : 1);
	}
	close(pipeEnds[1]);
	if (child > 0) {
		if (read(pipeEnds[0], &run, sizeof(run)) != static_cast<ssize_t>(sizeof(run)))
			run.m_failedHour = -1;
		int status = 0;
		waitpid(child, &status, 0);
	}
	close(pipeEnds[0]);
	return run;
}


TEST(LongRun, ThreeYearsOfCoSimulationCompleteInFlatMemory) {
	TestSupport::TempDirectory resources("longres"), results("longresults");
	// under the sanitizer the project starts two days before the end of its second year
	const double t0 = SANITIZED ? 2*YEAR - 2*86400 : 0;
	const unsigned int hours = SANITIZED ? 4*24 : 3*8760;
	FMUHost::writeResources(resources.path(), [t0](RX::Room & room, RX::Database &) {
		room.m_simulationStartTime = t0;
		room.m_simulationEndTime = 3*YEAR;
	});
	const LongRun run = runInChild(resources.path(), results.path() + "/long", t0, hours);
	ASSERT_EQ(run.m_failedHour, 0) << "-1: the child died";
	// the heated and cooled room stays between its set points, give or take the controllers' band
	EXPECT_GT(run.m_TMin, 273.15 + 19);
	EXPECT_LT(run.m_TMax, 273.15 + 28);
	if (SANITIZED)
		return;
	// the same climate every year: the third year repeats the second
	EXPECT_LT(std::fabs(run.m_yearToYear), 0.01) << run.m_yearToYear;
	EXPECT_LT(run.m_peakAtEnd - run.m_peakAfterDay, 5*1024) << "peak after a day " << run.m_peakAfterDay
		<< " kB, after three years " << run.m_peakAtEnd << " kB";
}

} // namespace
