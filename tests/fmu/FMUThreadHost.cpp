// A host without Qt or anything else of ours, as a C program or a scripting language loads the FMU:
// it runs one sequence of instances on threads, loading and unloading the library itself.
//   fmu_thread_host LIBRARY GUID RESOURCE_URI SEQUENCE
// SEQUENCE is one of
//   parallel   three threads run an instance each at once (all named alike); each is freed by
//              another thread than the one that made it
//   handover   an instance made in the main thread, initialised and stepped in one worker, stepped
//              in a second, freed in the main thread after both ended; then one made and stepped
//              in a worker and freed in another
//   reload     three times: load the library, run an instance in a worker, unload after the worker
//              ended (and check that it is gone); then once more in the main thread
// Exit code 0 when every call succeeded and equal lives gave equal temperatures; a crash is a crash.

#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "fmi2Functions.h"

namespace {

const fmi2ValueReference ROOM_AIR_TEMPERATURE = 1010;

/*! The functions this host calls, from the library it loaded; unloaded by the destructor. */
struct Library {
	explicit Library(const char * path) {
		m_handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
		if (m_handle == nullptr) {
			std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
			return;
		}
		resolve(instantiate, "fmi2Instantiate");
		resolve(setupExperiment, "fmi2SetupExperiment");
		resolve(enterInitializationMode, "fmi2EnterInitializationMode");
		resolve(exitInitializationMode, "fmi2ExitInitializationMode");
		resolve(doStep, "fmi2DoStep");
		resolve(getReal, "fmi2GetReal");
		resolve(terminate, "fmi2Terminate");
		resolve(freeInstance, "fmi2FreeInstance");
	}
	~Library() {
		if (m_handle != nullptr)
			dlclose(m_handle);
	}
	Library(const Library &) = delete;
	Library & operator=(const Library &) = delete;

	template <typename F>
	void resolve(F & function, const char * name) {
		function = reinterpret_cast<F>(dlsym(m_handle, name));
		m_complete = m_complete && function != nullptr;
	}
	bool usable() const { return m_handle != nullptr && m_complete; }

	void *									m_handle = nullptr;
	bool									m_complete = true;
	decltype(&::fmi2Instantiate)					instantiate = nullptr;
	decltype(&::fmi2SetupExperiment)				setupExperiment = nullptr;
	decltype(&::fmi2EnterInitializationMode)		enterInitializationMode = nullptr;
	decltype(&::fmi2ExitInitializationMode)		exitInitializationMode = nullptr;
	decltype(&::fmi2DoStep)						doStep = nullptr;
	decltype(&::fmi2GetReal)						getReal = nullptr;
	decltype(&::fmi2Terminate)						terminate = nullptr;
	decltype(&::fmi2FreeInstance)					freeInstance = nullptr;
};

void quietLogger(fmi2ComponentEnvironment, fmi2String, fmi2Status, fmi2String, fmi2String, ...) {}

const fmi2CallbackFunctions CALLBACKS = {&quietLogger, nullptr, nullptr, nullptr, nullptr};

std::string g_resources;
const char * g_guid = nullptr;

fmi2Component make(const Library & lib) {
	return lib.instantiate("instance1", fmi2CoSimulation, g_guid, g_resources.c_str(), &CALLBACKS, fmi2False,
						   fmi2False);
}

bool initialise(const Library & lib, fmi2Component c) {
	return c != nullptr && lib.setupExperiment(c, fmi2False, 0, 0, fmi2False, 0) == fmi2OK &&
		   lib.enterInitializationMode(c) == fmi2OK && lib.exitInitializationMode(c) == fmi2OK;
}

/*! Three hourly steps from hour; the room air temperature after them [K], NaN on failure. */
double stepHours(const Library & lib, fmi2Component c, unsigned int hour) {
	for (unsigned int h = hour; h < hour + 3; ++h)
		if (lib.doStep(c, h*3600.0, 3600, fmi2True) != fmi2OK)
			return std::nan("");
	double T = std::nan("");
	const fmi2ValueReference vr = ROOM_AIR_TEMPERATURE;
	if (lib.getReal(c, &vr, 1, &T) != fmi2OK)
		return std::nan("");
	return T;
}

/*! A whole life in the calling thread: the temperature after three hours, NaN on failure. */
double life(const Library & lib) {
	fmi2Component c = make(lib);
	const double T = initialise(lib, c) ? stepHours(lib, c, 0) : std::nan("");
	if (c != nullptr) {
		lib.terminate(c);
		lib.freeInstance(c);
	}
	return T;
}

bool sameValues(const std::vector<double> & T) {
	for (double value : T)
		if (!(value == T.front()) || !std::isfinite(value))
			return false;
	return !T.empty();
}

bool parallel(const Library & lib) {
	const unsigned int n = 3;
	std::vector<fmi2Component> c(n, nullptr);
	std::vector<double> T(n, std::nan(""));
	std::vector<std::thread> threads;
	for (unsigned int i = 0; i < n; ++i)
		threads.emplace_back([&, i] {
			c[i] = make(lib);
			if (initialise(lib, c[i]))
				T[i] = stepHours(lib, c[i], 0);
		});
	for (std::thread & t : threads)
		t.join();
	threads.clear();
	// each instance goes in a thread of its own, none in the one that made it
	for (unsigned int i = 0; i < n; ++i)
		threads.emplace_back([&, i] {
			if (c[(i + 1) % n] != nullptr)
				lib.freeInstance(c[(i + 1) % n]);
		});
	for (std::thread & t : threads)
		t.join();
	return sameValues(T);
}

bool handover(const Library & lib) {
	fmi2Component c = make(lib);
	if (c == nullptr)
		return false;
	double T[2] = {std::nan(""), std::nan("")};
	std::thread([&] {
		if (initialise(lib, c))
			T[0] = stepHours(lib, c, 0);
	}).join();
	std::thread([&] { T[1] = stepHours(lib, c, 3); }).join();
	lib.freeInstance(c);

	fmi2Component other = nullptr;
	double TOther = std::nan("");
	std::thread([&] {
		other = make(lib);
		if (initialise(lib, other))
			TOther = stepHours(lib, other, 0);
	}).join();
	std::thread([&] {
		if (other != nullptr)
			lib.freeInstance(other);
	}).join();
	return std::isfinite(T[0]) && std::isfinite(T[1]) && TOther == T[0];
}

bool reload(const char * path) {
	std::vector<double> T;
	for (unsigned int k = 0; k < 3; ++k) {
		{
			Library lib(path);
			if (!lib.usable())
				return false;
			double value = std::nan("");
			std::thread([&] { value = life(lib); }).join();
			T.push_back(value);
		}
		// gone for real, so that the next load starts it afresh
		if (void * stillLoaded = dlopen(path, RTLD_NOW | RTLD_NOLOAD)) {
			dlclose(stillLoaded);
			std::fprintf(stderr, "the library stayed loaded after dlclose\n");
			return false;
		}
	}
	Library lib(path);
	if (!lib.usable())
		return false;
	T.push_back(life(lib));
	return sameValues(T);
}

} // namespace

int main(int argc, char * argv[]) {
	if (argc != 5) {
		std::fprintf(stderr, "usage: fmu_thread_host LIBRARY GUID RESOURCE_URI parallel|handover|reload\n");
		return 2;
	}
	g_guid = argv[2];
	g_resources = argv[3];
	const std::string sequence = argv[4];
	bool ok = false;
	if (sequence == "reload")
		ok = reload(argv[1]);
	else {
		Library lib(argv[1]);
		if (!lib.usable())
			return 1;
		if (sequence == "parallel")
			ok = parallel(lib);
		else if (sequence == "handover")
			ok = handover(lib);
	}
	if (!ok)
		std::fprintf(stderr, "sequence %s failed\n", sequence.c_str());
	return ok ? 0 : 1;
}
