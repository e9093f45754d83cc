#ifndef FMUHostH
#define FMUHostH

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <QFile>
#include <QXmlStreamWriter>

#include "Case600Box.h"
#include "RX_Database.h"
#include "RX_FMU2ModelDescription.h"
#include "RX_Room.h"
#include "TestSupport.h"
#include "ZEB_Path.h"
#include "fmi2Functions.h"

// A small FMI 2.0 host, as an importer drives the FMU: it loads the built library with dlopen,
// finds the functions by name and records every logger call.
namespace FMUHost {

#define FMUHOST_FMI2_FUNCTIONS(X) \
	X(fmi2GetTypesPlatform) X(fmi2GetVersion) X(fmi2SetDebugLogging) X(fmi2Instantiate) X(fmi2FreeInstance) \
	X(fmi2SetupExperiment) X(fmi2EnterInitializationMode) X(fmi2ExitInitializationMode) X(fmi2Terminate) \
	X(fmi2Reset) X(fmi2GetReal) X(fmi2GetInteger) X(fmi2GetBoolean) X(fmi2GetString) X(fmi2SetReal) \
	X(fmi2SetInteger) X(fmi2SetBoolean) X(fmi2SetString) X(fmi2GetFMUstate) X(fmi2SetFMUstate) \
	X(fmi2FreeFMUstate) X(fmi2SerializedFMUstateSize) X(fmi2SerializeFMUstate) X(fmi2DeSerializeFMUstate) \
	X(fmi2GetDirectionalDerivative) X(fmi2EnterEventMode) X(fmi2NewDiscreteStates) \
	X(fmi2EnterContinuousTimeMode) X(fmi2CompletedIntegratorStep) X(fmi2SetTime) X(fmi2SetContinuousStates) \
	X(fmi2GetDerivatives) X(fmi2GetEventIndicators) X(fmi2GetContinuousStates) \
	X(fmi2GetNominalsOfContinuousStates) X(fmi2SetRealInputDerivatives) X(fmi2GetRealOutputDerivatives) \
	X(fmi2DoStep) X(fmi2CancelStep) X(fmi2GetStatus) X(fmi2GetRealStatus) X(fmi2GetIntegerStatus) \
	X(fmi2GetBooleanStatus) X(fmi2GetStringStatus)

/*! The 44 functions of the library, loaded once per process and never unloaded. */
struct Library {
#define FMUHOST_MEMBER(name) decltype(&::name) name = nullptr;
	FMUHOST_FMI2_FUNCTIONS(FMUHOST_MEMBER)
#undef FMUHOST_MEMBER

	static const Library & instance() {
		static Library library;
		return library;
	}

private:
	Library() {
		void * handle = dlopen(CALOVINDA_FMU_LIBRARY, RTLD_NOW | RTLD_LOCAL);
		if (handle == nullptr)
			throw std::runtime_error(std::string("cannot load the FMU: ") + dlerror());
#define FMUHOST_RESOLVE(name) \
		name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name)); \
		if (name == nullptr) throw std::runtime_error("missing " #name);
		FMUHOST_FMI2_FUNCTIONS(FMUHOST_RESOLVE)
#undef FMUHOST_RESOLVE
	}
};

/*! One logger call as a host sees it, the message printed with vsnprintf. */
struct LogCall {
	void *		m_environment;
	std::string	m_instanceName;
	fmi2Status	m_status;
	std::string	m_category;
	std::string	m_message;
};

/*! The host's side of one instance: its callback table, whose component environment is the
	recorder itself, and every logger call it received. */
struct Recorder {
	Recorder() : m_functions{&Recorder::logger, nullptr, nullptr, nullptr, this} {}
	Recorder(const Recorder &) = delete;
	Recorder & operator=(const Recorder &) = delete;

	static void logger(fmi2ComponentEnvironment environment, fmi2String instanceName, fmi2Status status,
					   fmi2String category, fmi2String message, ...)
	{
		char text[10000];
		va_list args;
		va_start(args, message);
		std::vsnprintf(text, sizeof(text), message, args);
		va_end(args);
		static_cast<Recorder *>(environment)->m_calls.push_back(
			LogCall{environment, instanceName != nullptr ? instanceName : "<null>", status,
					category != nullptr ? category : "<null>", text});
	}

	/*! Whether some call carried exactly this message. */
	bool received(const std::string & message) const {
		for (const LogCall & call : m_calls)
			if (call.m_message == message)
				return true;
		return false;
	}

	/*! The messages received, one per line, for failure output. */
	std::string messages() const {
		std::string all;
		for (const LogCall & call : m_calls)
			all += call.m_message + "\n";
		return all;
	}

	fmi2CallbackFunctions	m_functions;
	std::vector<LogCall>	m_calls;
};

/*! States of the box without the moisture balance: 157 wall cells and, last, the room air's
	energy. */
const unsigned int BOX_STATES = 158;

/*! An FMU resource directory below dir: the example's box with its south window in Denver,
	heated to 20 C and cooled at 27 C, a year from 0 s with hourly outputs; changed by adjust,
	when given, before it is written. */
inline void writeResources(const std::string & dir,
						   const std::function<void(RX::Room &, RX::Database &)> & adjust = {}) {
	RX::Database db;
	RX::Room room;
	Case600::addBox(room, db);
	Case600::addDenverHeatingAndCooling(room);
	room.m_simulationStartTime = 0;
	room.m_simulationEndTime = 31536000;
	room.m_outputTimeSteps = 3600;
	if (adjust)
		adjust(room, db);

	QFile file(QString::fromStdString(dir + "/calovinda_project.rmxml"));
	if (!file.open(QIODevice::WriteOnly))
		throw std::runtime_error("cannot write the project file in " + dir);
	QXmlStreamWriter writer(&file);
	room.writeXML(writer, &db);
	file.close();
	if (!QFile::copy(CALOVINDA_CLIMATE_TEST_DATA "/725650TYCST.epw", QString::fromStdString(dir + "/725650TYCST.epw")))
		throw std::runtime_error("cannot copy the climate file into " + dir);
}

/*! The URI of path as a host sends it, with path's trailing slash. */
inline std::string fileURI(const std::string & path) {
	return ZEB::Path(path).toFileURI() + (!path.empty() && path.back() == '/' ? "/" : "");
}

/*! An instance of the library on resources, logging on, whose results root is resultsRoot; not
	initialised; null when it cannot be made. */
inline fmi2Component instantiate(const char * name, fmi2Type type, const std::string & resources,
								 const std::string & resultsRoot, Recorder & recorder)
{
	const Library & fmi = Library::instance();
	fmi2Component c = fmi.fmi2Instantiate(name, type, RX::FMU2_GUID, fileURI(resources + "/").c_str(),
										  &recorder.m_functions, fmi2False, fmi2True);
	const fmi2ValueReference vr = 42;
	const char * value = resultsRoot.c_str();
	if (c != nullptr && fmi.fmi2SetString(c, &vr, 1, &value) != fmi2OK) {
		fmi.fmi2FreeInstance(c);
		return nullptr;
	}
	return c;
}

/*! The real variable vr of c, read as a host reads it; -1 (and a failed expectation) when the
	read fails. */
inline double real(fmi2Component c, fmi2ValueReference vr) {
	double value = -1;
	EXPECT_EQ(Library::instance().fmi2GetReal(c, &vr, 1, &value), fmi2OK);
	return value;
}

/*! How far a host's room air state (the last of x, c's states as they are) moves per kelvin of
	room air (variable air): measured by a step of it, after which x is set again. */
inline double airStatePerKelvin(fmi2Component c, const std::vector<double> & x, fmi2ValueReference air) {
	const Library & fmi = Library::instance();
	const double T = real(c, air);
	std::vector<double> moved = x;
	moved.back() += 1e4;
	EXPECT_EQ(fmi.fmi2SetContinuousStates(c, moved.data(), moved.size()), fmi2OK);
	const double perKelvin = 1e4/(real(c, air) - T);
	EXPECT_EQ(fmi.fmi2SetContinuousStates(c, x.data(), x.size()), fmi2OK);
	return perKelvin;
}

/*! The serialised form of a new FMU state of c; empty when it cannot be made. */
inline std::vector<char> serializedState(fmi2Component c) {
	const Library & fmi = Library::instance();
	fmi2FMUstate s = nullptr;
	std::size_t size = 0;
	std::vector<char> bytes;
	if (fmi.fmi2GetFMUstate(c, &s) == fmi2OK && fmi.fmi2SerializedFMUstateSize(c, s, &size) == fmi2OK) {
		bytes.resize(size);
		if (fmi.fmi2SerializeFMUstate(c, s, bytes.data(), size) != fmi2OK)
			bytes.clear();
	}
	fmi.fmi2FreeFMUstate(c, &s);
	return bytes;
}

} // namespace FMUHost

#endif // FMUHostH
