#include <gtest/gtest.h>

#include <elf.h>

#include <clocale>
#include <cstring>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <thread>

#include "FMUHost.h"
#include "RX_FMU2ModelDescription.h"

// The library as hosts see it: loaded with dlopen, driven only through its exported functions.
namespace {

using FMUHost::airStatePerKelvin;
using FMUHost::BOX_STATES;
using FMUHost::Library;
using FMUHost::real;
using FMUHost::Recorder;

const fmi2ValueReference ROOM_AIR_TEMPERATURE = 1010;
const fmi2ValueReference RESULTS_ROOT_DIR = 42;
const char * const GUID = RX::FMU2_GUID;

// Results roots default to the user's data directory: a home of the test's own.
class HomeEnvironment : public ::testing::Environment {
public:
	void SetUp() override {
		m_home = std::make_unique<TestSupport::TempDirectory>("fmuhome");
		setenv("HOME", m_home->path().c_str(), 1);
		unsetenv("XDG_DATA_HOME");
	}
	void TearDown() override { m_home.reset(); }
private:
	std::unique_ptr<TestSupport::TempDirectory> m_home;
};
const ::testing::Environment * const homeEnvironment = ::testing::AddGlobalTestEnvironment(new HomeEnvironment);

class Fmi2Test : public ::testing::Test {
protected:
	void SetUp() override { FMUHost::writeResources(m_resources.path()); }

	/*! An instance on the test's resource directory, logging on. */
	fmi2Component instantiate(const char * name, fmi2Type type, Recorder & recorder) {
		return fmi.fmi2Instantiate(name, type, GUID, FMUHost::fileURI(m_resources.path() + "/").c_str(),
								   &recorder.m_functions, fmi2False, fmi2True);
	}

	const Library &					fmi = Library::instance();
	TestSupport::TempDirectory		m_resources{"resources"};
};


// The dynamic symbols a library defines, read from its ELF file.
std::set<std::string> definedDynamicSymbols(const std::string & path) {
	std::ifstream in(path, std::ios::binary);
	const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	const char * base = image.data();
	const Elf64_Ehdr * header = reinterpret_cast<const Elf64_Ehdr *>(base);
	const Elf64_Shdr * sections = reinterpret_cast<const Elf64_Shdr *>(base + header->e_shoff);
	std::set<std::string> names;
	for (unsigned int s = 0; s < header->e_shnum; ++s) {
		if (sections[s].sh_type != SHT_DYNSYM)
			continue;
		const char * strings = base + sections[sections[s].sh_link].sh_offset;
		const Elf64_Sym * symbols = reinterpret_cast<const Elf64_Sym *>(base + sections[s].sh_offset);
		for (std::size_t i = 0; i < sections[s].sh_size/sizeof(Elf64_Sym); ++i)
			if (symbols[i].st_shndx != SHN_UNDEF && ELF64_ST_BIND(symbols[i].st_info) != STB_LOCAL)
				names.insert(strings + symbols[i].st_name);
	}
	return names;
}


TEST(Fmi2Library, ReportsVersionPlatformAndExportsExactlyTheFmi2Functions) {
	const Library & fmi = Library::instance();
	EXPECT_STREQ(fmi.fmi2GetVersion(), "2.0");
	EXPECT_STREQ(fmi.fmi2GetTypesPlatform(), "default");

	std::set<std::string> expected;
#define FMUHOST_NAME(name) expected.insert(#name);
	FMUHOST_FMI2_FUNCTIONS(FMUHOST_NAME)
#undef FMUHOST_NAME
	EXPECT_EQ(expected.size(), 44u);
	EXPECT_EQ(definedDynamicSymbols(CALOVINDA_FMU_LIBRARY), expected);
}


TEST_F(Fmi2Test, InstantiateRefusesMissingLoggerNameAndWrongGuidThroughTheLogger) {
	Recorder recorder;
	const std::string location = FMUHost::fileURI(m_resources.path());
	EXPECT_EQ(fmi.fmi2Instantiate("room1", fmi2CoSimulation, "{wrong}", location.c_str(), &recorder.m_functions,
								  fmi2False, fmi2False), nullptr);
	ASSERT_EQ(recorder.m_calls.size(), 1u);
	EXPECT_EQ(recorder.m_calls[0].m_environment, &recorder);
	EXPECT_EQ(recorder.m_calls[0].m_instanceName, "room1");
	EXPECT_EQ(recorder.m_calls[0].m_status, fmi2Error);
	EXPECT_EQ(recorder.m_calls[0].m_category, "error");
	EXPECT_EQ(recorder.m_calls[0].m_message, "fmi2Instantiate: Invalid/mismatching guid.");

	fmi2CallbackFunctions noLogger{nullptr, nullptr, nullptr, nullptr, &recorder};
	recorder.m_calls.clear();
	EXPECT_EQ(fmi.fmi2Instantiate("room1", fmi2CoSimulation, GUID, location.c_str(), &noLogger, fmi2False, fmi2True), nullptr);
	EXPECT_EQ(fmi.fmi2Instantiate("room1", fmi2CoSimulation, GUID, location.c_str(), nullptr, fmi2False, fmi2True), nullptr);
	EXPECT_TRUE(recorder.m_calls.empty());

	EXPECT_EQ(fmi.fmi2Instantiate("", fmi2CoSimulation, GUID, location.c_str(), &recorder.m_functions, fmi2False, 2), nullptr);
	// an error reaches the host with logging off as well
	EXPECT_EQ(fmi.fmi2Instantiate(nullptr, fmi2CoSimulation, GUID, location.c_str(), &recorder.m_functions, fmi2False, 0), nullptr);
	ASSERT_EQ(recorder.m_calls.size(), 2u);
	EXPECT_EQ(recorder.m_calls[1].m_message, "fmi2Instantiate: Missing instance name.");

	EXPECT_EQ(fmi.fmi2Instantiate("room1", fmi2CoSimulation, nullptr, location.c_str(), &recorder.m_functions, fmi2False, 0), nullptr);
	EXPECT_EQ(fmi.fmi2Instantiate("room1", fmi2CoSimulation, GUID, nullptr, &recorder.m_functions, fmi2False, 0), nullptr);
	EXPECT_EQ(recorder.m_calls.size(), 4u);
}


TEST_F(Fmi2Test, InitialisesIntoTheUserDataDirectoryOnceOnly) {
	Recorder recorder;
	fmi2Component c = instantiate("room1", fmi2CoSimulation, recorder);
	ASSERT_NE(c, nullptr);
	EXPECT_EQ(fmi.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2True, 3600), fmi2OK);
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << recorder.messages();
	EXPECT_EQ(fmi.fmi2ExitInitializationMode(c), fmi2OK);

	const fmi2ValueReference vr = RESULTS_ROOT_DIR;
	fmi2String root = nullptr;
	ASSERT_EQ(fmi.fmi2GetString(c, &vr, 1, &root), fmi2OK);
	const std::string expected = std::string(std::getenv("HOME")) + "/.local/share/room1";
	EXPECT_EQ(std::string(root), expected);
	EXPECT_TRUE(std::filesystem::is_directory(expected + "/results"));
	EXPECT_TRUE(std::filesystem::is_regular_file(expected + "/log/screenlog.txt"));
	EXPECT_NE(TestSupport::readFile(expected + "/log/screenlog.txt").find("Model initialization finished."), std::string::npos);
	EXPECT_TRUE(recorder.received("Using results root path '" + expected + "'"));

	recorder.m_calls.clear();
	EXPECT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2EnterInitializationMode: not allowed in the FMI state 'step complete'."))
		<< recorder.messages();
	// every call hands back the host's environment and the instance name
	for (const FMUHost::LogCall & call : recorder.m_calls) {
		EXPECT_EQ(call.m_environment, &recorder);
		EXPECT_EQ(call.m_instanceName, "room1");
	}
	// the failed second start-up left the model in service
	EXPECT_EQ(fmi.fmi2DoStep(c, 0, 3600, fmi2True), fmi2OK) << recorder.messages();
	fmi.fmi2FreeInstance(c);
}


TEST_F(Fmi2Test, DoStepRefusesAStepBackInTimeAndAcceptsAnEmptyStep) {
	Recorder recorder;
	fmi2Component c = instantiate("room1", fmi2CoSimulation, recorder);
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2ExitInitializationMode(c), fmi2OK);
	ASSERT_EQ(fmi.fmi2DoStep(c, 0, 7200, fmi2True), fmi2OK) << recorder.messages();
	const double T = real(c, ROOM_AIR_TEMPERATURE);
	EXPECT_GT(T, 273.15);
	EXPECT_LT(T, 330);

	recorder.m_calls.clear();
	EXPECT_EQ(fmi.fmi2DoStep(c, 0, 3600, fmi2True), fmi2Error);
	ASSERT_EQ(recorder.m_calls.size(), 1u);
	EXPECT_EQ(recorder.m_calls[0].m_status, fmi2Error);
	EXPECT_EQ(recorder.m_calls[0].m_category, "error");
	EXPECT_EQ(recorder.m_calls[0].m_message, "fmi2DoStep: the communication point 0 s differs from the FMU's time 7200 s.");
	EXPECT_EQ(fmi.fmi2DoStep(c, 7200, 0, fmi2True), fmi2OK);
	EXPECT_EQ(real(c, ROOM_AIR_TEMPERATURE), T);

	double t = -1;
	EXPECT_EQ(fmi.fmi2GetRealStatus(c, fmi2LastSuccessfulTime, &t), fmi2OK);
	EXPECT_EQ(t, 7200);
	fmi2Status status = fmi2Fatal;
	EXPECT_EQ(fmi.fmi2GetStatus(c, fmi2DoStepStatus, &status), fmi2OK);
	EXPECT_EQ(status, fmi2OK);
	fmi2Boolean terminated = fmi2True;
	EXPECT_EQ(fmi.fmi2GetBooleanStatus(c, fmi2Terminated, &terminated), fmi2OK);
	EXPECT_EQ(terminated, fmi2False);
	EXPECT_EQ(fmi.fmi2GetStatus(c, fmi2PendingStatus, &status), fmi2Discard);
	fmi2String text = nullptr;
	EXPECT_EQ(fmi.fmi2GetStringStatus(c, fmi2PendingStatus, &text), fmi2Discard);
	EXPECT_EQ(fmi.fmi2Terminate(c), fmi2OK);
	fmi.fmi2FreeInstance(c);
}


TEST_F(Fmi2Test, InstantiateRefusesAResourceLocationOnAnotherMachine) {
	Recorder recorder;
	// reported with logging off, as a wrong GUID is
	EXPECT_EQ(fmi.fmi2Instantiate("room1", fmi2CoSimulation, GUID, "file://localhostevil/dir", &recorder.m_functions,
								  fmi2False, fmi2False), nullptr);
	EXPECT_EQ(fmi.fmi2Instantiate("room1", fmi2CoSimulation, GUID, "http://x/dir/resources", &recorder.m_functions,
								  fmi2False, fmi2False), nullptr);
	ASSERT_EQ(recorder.m_calls.size(), 2u);
	EXPECT_EQ(recorder.m_calls[0].m_status, fmi2Error);
	EXPECT_EQ(recorder.m_calls[0].m_message, "fmi2Instantiate: Invalid resource location: Resource location "
			  "'file://localhostevil/dir' names the host 'localhostevil'; only an empty host or 'localhost' is this machine.");
	EXPECT_EQ(recorder.m_calls[1].m_message, "fmi2Instantiate: Invalid resource location: Resource location "
			  "'http://x/dir/resources' uses the scheme 'http'; only file URIs name local resources.");
}


TEST_F(Fmi2Test, LoadsAPercentEncodedResourcePathAndPrintsMessagesAsTheyAre) {
	const std::string dir = m_resources.path() + "/tmp dir %x";
	std::filesystem::create_directory(dir);
	FMUHost::writeResources(dir);
	const std::string root = m_resources.path() + "/out 100% #1";
	Recorder recorder;
	fmi2Component c = fmi.fmi2Instantiate("room1", fmi2CoSimulation, GUID, (FMUHost::fileURI(dir) + "/").c_str(),
										  &recorder.m_functions, fmi2False, fmi2True);
	ASSERT_NE(c, nullptr);
	const fmi2ValueReference vr = RESULTS_ROOT_DIR;
	const char * rootText = root.c_str();
	ASSERT_EQ(fmi.fmi2SetString(c, &vr, 1, &rootText), fmi2OK);
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << recorder.messages();
	// '%' prints as it is; '#' arrives as "##", which hosts that expand references print as '#'
	EXPECT_TRUE(recorder.received("Using results root path '" + m_resources.path() + "/out 100% ##1'"))
		<< recorder.messages();
	EXPECT_TRUE(std::filesystem::is_regular_file(root + "/log/screenlog.txt"));
	fmi.fmi2FreeInstance(c);

	// a plain absolute path, percent-encoded, without trailing slash
	Recorder second;
	c = fmi.fmi2Instantiate("room2", fmi2ModelExchange, GUID, FMUHost::fileURI(dir).substr(7).c_str(),
							&second.m_functions, fmi2False, fmi2True);
	EXPECT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << second.messages();
	fmi.fmi2FreeInstance(c);
}


TEST_F(Fmi2Test, TellsTheHostAndTheLogWhyItsClimateCannotBeRead) {
	// a year short of its last hour
	const std::string epw = m_resources.path() + "/725650TYCST.epw";
	std::string text = TestSupport::readFile(epw);
	text.erase(text.rfind('\n', text.size() - 2) + 1);
	std::ofstream(epw, std::ios::trunc) << text;
	const std::string root = m_resources.path() + "/out";
	Recorder recorder;
	fmi2Component c = instantiate("room1", fmi2CoSimulation, recorder);
	ASSERT_NE(c, nullptr);
	const fmi2ValueReference vr = RESULTS_ROOT_DIR;
	const char * rootText = root.c_str();
	ASSERT_EQ(fmi.fmi2SetString(c, &vr, 1, &rootText), fmi2OK);
	EXPECT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2Error);
	const std::string log = TestSupport::readFile(root + "/log/screenlog.txt");
	for (const std::string & told : {recorder.messages(), log}) {
		EXPECT_NE(told.find("Missing data, only got 8759 data lines"), std::string::npos) << told;
		EXPECT_NE(told.find("Climata data initialization failed."), std::string::npos) << told;
	}
	fmi.fmi2FreeInstance(c);
}


TEST_F(Fmi2Test, WritesIntoTheLogWhenTheRoomAirPassesSaturation) {
	// the box free floating, barely ventilated, with a large moisture load: its air passes 100 %
	// relative humidity within hours
	TestSupport::TempDirectory humid("resources");
	FMUHost::writeResources(humid.path(), [](RX::Room & room, RX::Database &) {
		room.m_moistureBalanceEnabled = true;
		room.m_heatingModel.m_modelType = RX::HeatingModel::NONE;
		room.m_coolingModel.m_modelType = RX::CoolingModel::NONE;
		room.m_naturalVentilationModel.m_modelType = RX::NaturalVentilationModel::SIMPLE;
		room.m_naturalVentilationModel.m_scheduleAirChangeRates.m_type = RX::Schedule::CONSTANT;
		room.m_naturalVentilationModel.m_scheduleAirChangeRates.m_constantValue = 0.1;
		room.m_moistureLoads.m_scheduleMoistureLoad.m_type = RX::Schedule::CONSTANT;
		room.m_moistureLoads.m_scheduleMoistureLoad.m_constantValue = 1000;
	});
	// the materials' storage with its point at 80 %, which a file needs
	const std::string project = humid.path() + "/calovinda_project.rmxml";
	const std::string text = QString::fromStdString(TestSupport::readFile(project))
								 .replace(" wsat=", " w80=\"8\" wsat=").toStdString();
	std::ofstream(project, std::ios::trunc) << text;
	const std::string root = humid.path() + "/out";
	Recorder recorder;
	fmi2Component c = FMUHost::instantiate("room1", fmi2CoSimulation, humid.path(), root, recorder);
	ASSERT_NE(c, nullptr);
	ASSERT_EQ(fmi.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2False, 0), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2ExitInitializationMode(c), fmi2OK) << recorder.messages();
	for (int hour = 0; hour < 6; ++hour)
		ASSERT_EQ(fmi.fmi2DoStep(c, hour*3600.0, 3600, fmi2True), fmi2OK) << recorder.messages();
	fmi.fmi2FreeInstance(c);
	const std::string log = TestSupport::readFile(root + "/log/screenlog.txt");
	EXPECT_NE(log.find("Room air relative humidity passes 100 %"), std::string::npos) << log;
}


TEST_F(Fmi2Test, PrintsMarksBehindAStrayLeadByteAsTheyAre) {
	// 0xE5 announces three bytes, but no continuation byte follows: the marks are marks
	Recorder recorder;
	EXPECT_EQ(fmi.fmi2Instantiate("room1", fmi2CoSimulation, GUID, "x\xE5%%#x", &recorder.m_functions, fmi2False,
								  fmi2False), nullptr);
	ASSERT_EQ(recorder.m_calls.size(), 1u);
	EXPECT_EQ(recorder.m_calls[0].m_message, "fmi2Instantiate: Invalid resource location: Resource location "
											 "'x\xE5%%##x' names no absolute path.");
}


TEST_F(Fmi2Test, CutsOverlongMessagesBetweenCharacters) {
	// five directories of 120 two-byte characters each
	std::string root = m_resources.path();
	for (unsigned int i = 0; i < 5; ++i) {
		root += "/";
		for (unsigned int k = 0; k < 120; ++k)
			root += "\xc3\xa4";
	}
	Recorder recorder;
	fmi2Component c = instantiate("room1", fmi2CoSimulation, recorder);
	const fmi2ValueReference vr = RESULTS_ROOT_DIR;
	const char * rootText = root.c_str();
	ASSERT_EQ(fmi.fmi2SetString(c, &vr, 1, &rootText), fmi2OK);
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << recorder.messages();
	fmi.fmi2FreeInstance(c);
	const std::string prefix = "Using results root path '" + m_resources.path() + "/";
	for (const FMUHost::LogCall & call : recorder.m_calls) {
		if (call.m_message.compare(0, prefix.size(), prefix) != 0)
			continue;
		EXPECT_LE(call.m_message.size(), 1003u);
		ASSERT_GT(call.m_message.size(), prefix.size() + 3);
		EXPECT_EQ(call.m_message.substr(call.m_message.size() - 3), "...");
		// whole characters only: the text before the dots ends with a complete one
		EXPECT_EQ(static_cast<unsigned char>(call.m_message[call.m_message.size() - 4]), 0xa4);
		return;
	}
	ADD_FAILURE() << "no message of the results root: " << recorder.messages();
}


TEST_F(Fmi2Test, RefusesCallsTheInstanceIsNotReadyForAndBadArguments) {
	Recorder recorder;
	fmi2Component c = instantiate("room1", fmi2ModelExchange, recorder);
	ASSERT_NE(c, nullptr);
	// a host that switched logging off still learns why a call failed, and only that
	ASSERT_EQ(fmi.fmi2SetDebugLogging(c, fmi2False, 0, nullptr), fmi2OK);
	recorder.m_calls.clear();
	double x[2] = {0, 0};
	fmi2Boolean enterEventMode = fmi2True, terminate = fmi2True;
	EXPECT_EQ(fmi.fmi2GetDerivatives(c, x, 0), fmi2Error);
	EXPECT_EQ(fmi.fmi2SetContinuousStates(c, x, 0), fmi2Error);
	EXPECT_EQ(fmi.fmi2GetContinuousStates(c, x, 0), fmi2Error);
	EXPECT_EQ(fmi.fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate), fmi2Error);
	EXPECT_EQ(fmi.fmi2DoStep(c, 0, 60, fmi2True), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2GetDerivatives: The model is not initialized.")) << recorder.messages();
	for (const FMUHost::LogCall & call : recorder.m_calls) {
		EXPECT_EQ(call.m_status, fmi2Error) << call.m_message;
		EXPECT_EQ(call.m_category, "error") << call.m_message;
	}
	ASSERT_EQ(fmi.fmi2SetDebugLogging(c, fmi2True, 0, nullptr), fmi2OK);

	ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2ExitInitializationMode(c), fmi2OK);
	EXPECT_EQ(fmi.fmi2DoStep(c, 0, 60, fmi2True), fmi2Error);
	EXPECT_TRUE(recorder.received("fmi2DoStep: The instance was created for model exchange."));
	// a wrong number of states copies nothing
	EXPECT_EQ(fmi.fmi2GetContinuousStates(c, x, 2), fmi2Error);
	EXPECT_EQ(x[0], 0);
	EXPECT_EQ(fmi.fmi2GetNominalsOfContinuousStates(c, x, 2), fmi2Error);
	EXPECT_EQ(fmi.fmi2SetTime(c, -1), fmi2Error);
	EXPECT_EQ(fmi.fmi2SetTime(c, NAN), fmi2Error);

	const fmi2ValueReference vr[2] = {ROOM_AIR_TEMPERATURE, 1001};
	EXPECT_EQ(fmi.fmi2GetReal(c, nullptr, 1, x), fmi2Error);
	EXPECT_EQ(fmi.fmi2GetReal(c, vr, 2, nullptr), fmi2Error);
	EXPECT_EQ(fmi.fmi2GetReal(c, nullptr, 0, nullptr), fmi2OK);
	const char * strings[1] = {nullptr};
	EXPECT_EQ(fmi.fmi2SetString(c, vr, 1, strings), fmi2Error);
	EXPECT_TRUE(recorder.received("Error in fmi2SetString() for vr=1010 and value=."));

	EXPECT_EQ(fmi.fmi2GetReal(nullptr, vr, 1, x), fmi2Error);
	EXPECT_EQ(fmi.fmi2DoStep(nullptr, 0, 1, fmi2True), fmi2Error);
	fmi.fmi2FreeInstance(nullptr);

	fmi2EventInfo info;
	std::memset(&info, 0x7f, sizeof(info));
	EXPECT_EQ(fmi.fmi2NewDiscreteStates(c, &info), fmi2OK);
	EXPECT_EQ(info.newDiscreteStatesNeeded + info.terminateSimulation + info.nominalsOfContinuousStatesChanged
			  + info.valuesOfContinuousStatesChanged, 0);
	// before a host's pace is known, a room without schedules still ends its solver's interval
	// within hours
	EXPECT_EQ(info.nextEventTimeDefined, fmi2True);
	EXPECT_EQ(fmi.fmi2GetDirectionalDerivative(c, vr, 1, vr, 1, x, x), fmi2Error);
	EXPECT_EQ(fmi.fmi2GetRealOutputDerivatives(c, vr, 1, nullptr, x), fmi2Error);
	fmi2FMUstate state = nullptr;
	EXPECT_EQ(fmi.fmi2GetFMUstate(c, &state), fmi2Error);
	EXPECT_EQ(state, nullptr);
	fmi.fmi2FreeInstance(c);
}


/*! The room air temperature at every hour of the year (of a shorter span under the sanitizers),
	stepped in hours through c. */
std::vector<double> hourlyYear(const Library & fmi, fmi2Component c) {
	std::vector<double> T;
	const fmi2ValueReference vr = ROOM_AIR_TEMPERATURE;
	for (unsigned int h = 0; h < TestSupport::YEAR_RUN_HOURS; ++h) {
		if (fmi.fmi2DoStep(c, h*3600.0, 3600, fmi2True) != fmi2OK)
			break;
		double value = 0;
		fmi.fmi2GetReal(c, &vr, 1, &value);
		T.push_back(value);
	}
	return T;
}


TEST_F(Fmi2Test, TwoInstancesGiveIdenticalYearsInOneThreadAndInTwo) {
	const std::string localeBefore = std::setlocale(LC_ALL, nullptr);
	Recorder recorders[3];
	fmi2Component c[3];
	for (unsigned int i = 0; i < 3; ++i) {
		c[i] = instantiate(("room" + std::to_string(i)).c_str(), fmi2CoSimulation, recorders[i]);
		ASSERT_EQ(fmi.fmi2EnterInitializationMode(c[i]), fmi2OK) << recorders[i].messages();
		ASSERT_EQ(fmi.fmi2ExitInitializationMode(c[i]), fmi2OK);
	}
	// the first two alternate in this thread while the third runs in another
	std::vector<double> T[3];
	std::thread other([&] { T[2] = hourlyYear(fmi, c[2]); });
	const fmi2ValueReference vr = ROOM_AIR_TEMPERATURE;
	bool failed = false;
	for (unsigned int h = 0; h < TestSupport::YEAR_RUN_HOURS && !failed; ++h)
		for (unsigned int i = 0; i < 2 && !failed; ++i) {
			failed = fmi.fmi2DoStep(c[i], h*3600.0, 3600, fmi2True) != fmi2OK;
			double value = 0;
			fmi.fmi2GetReal(c[i], &vr, 1, &value);
			T[i].push_back(value);
		}
	other.join();
	for (unsigned int i = 0; i < 3; ++i)
		fmi.fmi2FreeInstance(c[i]);

	EXPECT_FALSE(failed) << recorders[0].messages() << recorders[1].messages();
	ASSERT_EQ(T[0].size(), TestSupport::YEAR_RUN_HOURS);
	for (unsigned int i = 1; i < 3; ++i)
		EXPECT_EQ(T[i], T[0]) << "instance " << i;
	// a heated and cooled room stays between its set points, give or take the controllers' band
	for (double value : T[0]) {
		EXPECT_GT(value, 273.15 + 19);
		EXPECT_LT(value, 273.15 + 28);
	}
	EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), localeBefore);
}


/*! The room air temperature after a minute of forward Euler in 10 ms steps through the model-
	exchange functions; timeFirst sets the time before the states, trialPoints evaluates an
	earlier time with other states before each step, as implicit solvers do. */
double eulerMinute(const Library & fmi, fmi2Component c, bool timeFirst, bool trialPoints) {
	const std::size_t n = BOX_STATES;
	std::vector<double> x(n), dx(n), trial(n);
	if (fmi.fmi2GetContinuousStates(c, x.data(), n) != fmi2OK)
		return 0;
	fmi2Boolean enterEventMode, terminate;
	const double h = 0.01;
	for (unsigned int k = 0; k < 6000; ++k) {
		const double t = k*h;
		if (trialPoints && k > 0) {
			for (std::size_t i = 0; i < n; ++i)
				trial[i] = x[i]*1.001;
			fmi.fmi2SetTime(c, t - 0.5*h);
			fmi.fmi2SetContinuousStates(c, trial.data(), n);
			fmi.fmi2GetDerivatives(c, dx.data(), n);
		}
		if (timeFirst) {
			fmi.fmi2SetTime(c, t);
			fmi.fmi2SetContinuousStates(c, x.data(), n);
		}
		else {
			fmi.fmi2SetContinuousStates(c, x.data(), n);
			fmi.fmi2SetTime(c, t);
		}
		if (fmi.fmi2GetDerivatives(c, dx.data(), n) != fmi2OK)
			return 0;
		for (std::size_t i = 0; i < n; ++i)
			x[i] += h*dx[i];
		fmi.fmi2SetTime(c, t + h);
		fmi.fmi2SetContinuousStates(c, x.data(), n);
		// a host that watches no event indicators asks for none
		if (fmi.fmi2GetEventIndicators(c, nullptr, 0) != fmi2OK)
			return 0;
		if (fmi.fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate) != fmi2OK)
			return 0;
	}
	const fmi2ValueReference vr = ROOM_AIR_TEMPERATURE;
	double T = 0;
	fmi.fmi2GetReal(c, &vr, 1, &T);
	return T;
}


TEST_F(Fmi2Test, ReadsTheRoomsFilesFromItsResourcesOnlyAlsoForTheNominalsBeforeTheStart) {
	// a neighbouring zone's file that the resources lack, but the host's working directory holds
	TestSupport::TempDirectory resources("resources");
	FMUHost::writeResources(resources.path(), [](RX::Room & room, RX::Database &) {
		room.m_constructions.front().m_type = RX::RoomConstruction::FixedTemperature;
		room.m_constructions.front().m_zoneTCCD = ZEB::Path("zone.ccd");
	});
	TestSupport::TempDirectory host("host");
	std::ofstream(host.file("zone.ccd")) << "Temperature C\n0 01:00:00 40\n364 23:00:00 40\n";
	const std::filesystem::path before = std::filesystem::current_path();
	std::filesystem::current_path(host.path());
	Recorder me;
	fmi2Component c = fmi.fmi2Instantiate("me", fmi2ModelExchange, GUID, FMUHost::fileURI(resources.path() + "/").c_str(),
										  &me.m_functions, fmi2False, fmi2True);
	std::vector<double> nominals(BOX_STATES);
	EXPECT_EQ(fmi.fmi2GetNominalsOfContinuousStates(c, nominals.data(), BOX_STATES), fmi2Error);
	EXPECT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2Error);
	EXPECT_NE(me.messages().find("zone.ccd"), std::string::npos) << me.messages();
	fmi.fmi2FreeInstance(c);
	std::filesystem::current_path(before);
}


TEST_F(Fmi2Test, ModelExchangeWithForwardEulerReachesTheCoSimulationTemperature) {
	Recorder recorder;
	fmi2Component cs = instantiate("cs", fmi2CoSimulation, recorder);
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(cs), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2ExitInitializationMode(cs), fmi2OK);
	ASSERT_EQ(fmi.fmi2DoStep(cs, 0, 60, fmi2True), fmi2OK);
	const double TCoSimulation = real(cs, ROOM_AIR_TEMPERATURE);
	fmi.fmi2FreeInstance(cs);

	const bool variants[3][2] = {{false, false}, {true, false}, {false, true}};
	for (const bool * variant : variants) {
		Recorder me;
		fmi2Component c = instantiate("me", fmi2ModelExchange, me);
		// the model description declares the states, with their nominals, from the start
		std::vector<double> declared(BOX_STATES);
		ASSERT_EQ(fmi.fmi2GetNominalsOfContinuousStates(c, declared.data(), BOX_STATES), fmi2OK) << me.messages();
		ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << me.messages();
		ASSERT_EQ(fmi.fmi2SetDebugLogging(c, fmi2False, 0, nullptr), fmi2OK);
		ASSERT_EQ(fmi.fmi2ExitInitializationMode(c), fmi2OK);
		fmi2EventInfo info{};
		ASSERT_EQ(fmi.fmi2NewDiscreteStates(c, &info), fmi2OK);
		ASSERT_EQ(fmi.fmi2EnterContinuousTimeMode(c), fmi2OK);
		std::vector<double> x(BOX_STATES), nominals(BOX_STATES);
		ASSERT_EQ(fmi.fmi2GetNominalsOfContinuousStates(c, nominals.data(), BOX_STATES), fmi2OK);
		ASSERT_EQ(fmi.fmi2GetContinuousStates(c, x.data(), BOX_STATES), fmi2OK);
		// the states' magnitudes, for hosts' absolute tolerances: the room air's that of 20 K of
		// it, not 1 J
		EXPECT_NEAR(nominals[BOX_STATES - 1]/airStatePerKelvin(c, x, ROOM_AIR_TEMPERATURE), 20, 1e-6);
		EXPECT_EQ(nominals, declared);
		EXPECT_NEAR(eulerMinute(fmi, c, variant[0], variant[1]), TCoSimulation, 0.02)
			<< "time first " << variant[0] << ", trial points " << variant[1];

		// the states and derivatives by value reference are those of the state functions
		std::vector<double> dx(BOX_STATES);
		ASSERT_EQ(fmi.fmi2GetContinuousStates(c, x.data(), BOX_STATES), fmi2OK);
		ASSERT_EQ(fmi.fmi2GetDerivatives(c, dx.data(), BOX_STATES), fmi2OK);
		EXPECT_EQ(real(c, 10000 + BOX_STATES - 1), x[BOX_STATES - 1]);
		EXPECT_EQ(real(c, 20000 + 17), dx[17]);
		fmi.fmi2FreeInstance(c);
	}
}


TEST_F(Fmi2Test, CompletedStepAsksForAnEventWhereAControllerGainChanges) {
	Recorder recorder;
	fmi2Component c = instantiate("me", fmi2ModelExchange, recorder);
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2ExitInitializationMode(c), fmi2OK);
	fmi2EventInfo info;
	ASSERT_EQ(fmi.fmi2NewDiscreteStates(c, &info), fmi2OK);
	ASSERT_EQ(fmi.fmi2EnterContinuousTimeMode(c), fmi2OK);
	std::vector<double> x(BOX_STATES);
	ASSERT_EQ(fmi.fmi2GetContinuousStates(c, x.data(), BOX_STATES), fmi2OK);
	fmi2Boolean enterEventMode = fmi2True, terminate = fmi2True;
	// at the heating's set point the gain stays, and so do the equations
	ASSERT_EQ(fmi.fmi2SetTime(c, 3600), fmi2OK);
	ASSERT_EQ(fmi.fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate), fmi2OK);
	EXPECT_EQ(enterEventMode, fmi2False);
	EXPECT_EQ(terminate, fmi2False);

	// 1 K below it the heater's gain rises: a host's Jacobian no longer holds
	x[BOX_STATES - 1] -= airStatePerKelvin(c, x, ROOM_AIR_TEMPERATURE);
	ASSERT_EQ(fmi.fmi2SetContinuousStates(c, x.data(), BOX_STATES), fmi2OK);
	ASSERT_EQ(fmi.fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate), fmi2OK);
	EXPECT_EQ(enterEventMode, fmi2True);
	ASSERT_EQ(fmi.fmi2EnterEventMode(c), fmi2OK);
	std::memset(&info, 0xff, sizeof(info));
	ASSERT_EQ(fmi.fmi2NewDiscreteStates(c, &info), fmi2OK);
	EXPECT_EQ(info.newDiscreteStatesNeeded, fmi2False);
	// the states stay, but a host that restarts only when they change must restart
	EXPECT_EQ(info.valuesOfContinuousStatesChanged, fmi2True);
	EXPECT_EQ(info.nominalsOfContinuousStatesChanged, fmi2False);
	EXPECT_EQ(info.nextEventTimeDefined, fmi2False);
	EXPECT_EQ(fmi.fmi2EnterContinuousTimeMode(c), fmi2OK);
	fmi.fmi2FreeInstance(c);
}

} // namespace
