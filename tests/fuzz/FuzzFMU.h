#ifndef FuzzFMUH
#define FuzzFMUH

// The FMU as the FMU fuzz targets and their seed generator drive it: its fmi2 functions linked in
// (so the sanitizers see them), a host's logger, and a co-simulation instance of the example room
// (examples/room, a resource directory as it is).

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "InstanceDataCommon.h"
#include "ZEB_Path.h"
#include "fmi2Functions.h"

namespace FuzzFMU {

/*! Prints the message as every host does, as a printf format without arguments: a '%' the FMU
	did not double would make a host read arguments that are not there, and a '#' one that
	expands "#r12#" references print another text. Aborts on either. */
inline void logger(fmi2ComponentEnvironment, fmi2String instanceName, fmi2Status, fmi2String category,
				   fmi2String message, ...)
{
	if (instanceName == nullptr || category == nullptr || message == nullptr) {
		std::fprintf(stderr, "A logger call without instance name, category or message.\n");
		std::abort();
	}
	for (const char * p = message; *p != '\0'; ++p) {
		if (*p != '%' && *p != '#')
			continue;
		if (p[1] != *p) {
			std::fprintf(stderr, "A logger message with an undoubled '%c': %s\n", *p, message);
			std::abort();
		}
		++p;
	}
	char text[10000];
	va_list args;
	va_start(args, message);
	std::vsnprintf(text, sizeof(text), message, args);
	va_end(args);
}

inline const fmi2CallbackFunctions * callbacks() {
	static const fmi2CallbackFunctions functions{&logger, nullptr, nullptr, nullptr, nullptr};
	return &functions;
}

/*! Aborts with text unless ok: a fault of the FMU that the fuzzer reports as a crash. */
inline void require(bool ok, const char * text) {
	if (!ok) {
		std::fprintf(stderr, "%s\n", text);
		std::abort();
	}
}

/*! An initialised co-simulation instance of the example room, logging on, its results below
	resultsRoot; freed on destruction. */
class ExampleRoom {
public:
	/*! Communication step of the fuzz targets [s]. */
	static constexpr double STEP = 900;
	/*! The outputs every description has: value references 1001 to 1013. */
	static constexpr unsigned int OUTPUTS = 13;

	explicit ExampleRoom(const std::string & resultsRoot) {
		const std::string location = ZEB::Path(CALOVINDA_EXAMPLE_ROOM).toFileURI() + "/";
		m_c = fmi2Instantiate("example", fmi2CoSimulation, InstanceDataCommon::GUID, location.c_str(), callbacks(),
							  fmi2False, fmi2True);
		require(m_c != nullptr, "The example room cannot be instantiated.");
		const fmi2ValueReference root = 42;
		const char * rootText = resultsRoot.c_str();
		require(fmi2SetString(m_c, &root, 1, &rootText) == fmi2OK &&
				fmi2SetupExperiment(m_c, fmi2False, 0, 0, fmi2False, 0) == fmi2OK &&
				fmi2EnterInitializationMode(m_c) == fmi2OK && fmi2ExitInitializationMode(m_c) == fmi2OK,
				"The example room cannot be initialised.");
	}
	~ExampleRoom() { fmi2FreeInstance(m_c); }
	ExampleRoom(const ExampleRoom &) = delete;
	ExampleRoom & operator=(const ExampleRoom &) = delete;

	/*! The time the instance has reached [s]. */
	double time() const {
		double t = 0;
		require(fmi2GetRealStatus(m_c, fmi2LastSuccessfulTime, &t) == fmi2OK, "The FMU's time cannot be read.");
		return t;
	}
	/*! One communication step from the time reached. */
	fmi2Status step() { return fmi2DoStep(m_c, time(), STEP, fmi2False); }
	/*! The outputs into values; the status of fmi2GetReal. */
	fmi2Status outputs(std::vector<double> & values) const {
		std::vector<fmi2ValueReference> vr(OUTPUTS);
		for (unsigned int i = 0; i < OUTPUTS; ++i)
			vr[i] = 1001 + i;
		values.resize(OUTPUTS);
		return fmi2GetReal(m_c, vr.data(), OUTPUTS, values.data());
	}
	std::vector<double> outputs() const {
		std::vector<double> values;
		require(outputs(values) == fmi2OK, "The outputs cannot be read.");
		return values;
	}
	/*! The serialised form of the instance's current state, as a host saves it. */
	std::vector<char> serializedState() {
		fmi2FMUstate state = nullptr;
		std::size_t size = 0;
		require(fmi2GetFMUstate(m_c, &state) == fmi2OK && fmi2SerializedFMUstateSize(m_c, state, &size) == fmi2OK,
				"The example room's state cannot be saved.");
		std::vector<char> bytes(size);
		require(fmi2SerializeFMUstate(m_c, state, bytes.data(), size) == fmi2OK &&
				fmi2FreeFMUstate(m_c, &state) == fmi2OK, "The example room's state cannot be serialised.");
		return bytes;
	}

	fmi2Component	m_c = nullptr;
};

} // namespace FuzzFMU

#endif // FuzzFMUH
