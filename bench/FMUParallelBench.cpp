// Two instances of the example room (examples/room/calovinda_project.rmxml, Denver), a year each in
// hourly co-simulation steps through the FMI 2.0 functions: first one after the other in this
// thread, then both at once on two threads. Prints both wall times and their ratio (parallel /
// one after the other; 0.5 is a perfect speed-up, 1 none) and whether all four runs gave the
// same hourly room air temperatures bit for bit.
// A measurement, run by hand on an otherwise idle machine with two free cores:
//   build/bench/calovinda_fmu_parallel [serial|threads]
// With an argument it runs only that half, so that the two can be timed pair by pair from outside.

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "RX_FMU2ModelDescription.h"
#include "fmi2Functions.h"

namespace {

void logger(fmi2ComponentEnvironment, fmi2String, fmi2Status, fmi2String, fmi2String, ...) {}

const fmi2CallbackFunctions CALLBACKS = {&logger, nullptr, nullptr, nullptr, nullptr};

/*! CPU time of the calling thread [s]. */
double threadSeconds() {
	timespec t;
	clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
	return t.tv_sec + 1e-9*t.tv_nsec;
}

/*! A year of the example into root: the room air temperature of every hour, empty on failure;
	cpu is the CPU time the year took in the calling thread [s]. */
std::vector<double> year(const std::string & root, double & cpu) {
	const double cpuStart = threadSeconds();
	std::vector<double> T;
	const std::string resources = "file://" CALOVINDA_EXAMPLE_DIR "/";
	fmi2Component c = fmi2Instantiate("instance1", fmi2CoSimulation, RX::FMU2_GUID, resources.c_str(), &CALLBACKS,
									  fmi2False, fmi2False);
	if (c == nullptr)
		return T;
	const fmi2ValueReference rootRef = 42;
	const fmi2String rootText = root.c_str();
	const fmi2ValueReference TRoomRef = 1010;
	bool ok = fmi2SetString(c, &rootRef, 1, &rootText) == fmi2OK &&
			  fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2True, 31536000) == fmi2OK &&
			  fmi2EnterInitializationMode(c) == fmi2OK && fmi2ExitInitializationMode(c) == fmi2OK;
	for (unsigned int h = 0; ok && h < 8760; ++h) {
		double value = 0;
		ok = fmi2DoStep(c, h*3600.0, 3600, fmi2True) == fmi2OK && fmi2GetReal(c, &TRoomRef, 1, &value) == fmi2OK;
		T.push_back(value);
	}
	fmi2Terminate(c);
	fmi2FreeInstance(c);
	if (!ok)
		T.clear();
	cpu = threadSeconds() - cpuStart;
	return T;
}

double seconds(std::chrono::steady_clock::time_point start) {
	return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char * argv[]) {
	const std::string only = argc > 1 ? argv[1] : "";
	if (!only.empty() && only != "serial" && only != "threads") {
		std::fprintf(stderr, "usage: calovinda_fmu_parallel [serial|threads]\n");
		return 2;
	}
	std::string dir = (std::filesystem::temp_directory_path() / "calovinda_fmu_parallelXXXXXX").string();
	if (mkdtemp(&dir[0]) == nullptr) {
		std::fprintf(stderr, "cannot create a results directory\n");
		return 1;
	}
	std::vector<double> T[4];
	double cpu[4] = {0, 0, 0, 0};
	double oneAfterTheOther = 0;
	double parallel = 0;

	if (only != "threads") {
		const auto start = std::chrono::steady_clock::now();
		T[0] = year(dir + "/a", cpu[0]);
		T[1] = year(dir + "/b", cpu[1]);
		oneAfterTheOther = seconds(start);
	}
	if (only != "serial") {
		const auto start = std::chrono::steady_clock::now();
		std::thread other([&] { T[3] = year(dir + "/d", cpu[3]); });
		T[2] = year(dir + "/c", cpu[2]);
		other.join();
		parallel = seconds(start);
	}
	std::filesystem::remove_all(dir);
	if (!only.empty()) {
		const unsigned int first = only == "serial" ? 0 : 2;
		const bool same = !T[first].empty() && T[first + 1] == T[first];
		std::printf("%s: %.3f s, results %s\n", only.c_str(), only == "serial" ? oneAfterTheOther : parallel,
					same ? "identical" : "DIFFERENT");
		return same ? 0 : 1;
	}

	bool identical = !T[0].empty();
	for (unsigned int i = 1; i < 4; ++i)
		identical = identical && T[i] == T[0];

	std::printf("Example room through the FMU, two years in hourly communication steps\n");
	// a thread that waited for a lock or a core shows wall time above its CPU time
	std::printf("  one after the other   %.3f s (CPU %.3f s + %.3f s)\n", oneAfterTheOther, cpu[0], cpu[1]);
	std::printf("  on two threads        %.3f s (CPU %.3f s and %.3f s)\n", parallel, cpu[2], cpu[3]);
	std::printf("  ratio                 %.3f (target <= 0.6)\n", parallel/oneAfterTheOther);
	std::printf("  results               %s\n", identical ? "identical" : "DIFFERENT");
	return identical ? 0 : 1;
}
