#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "FMUHost.h"
#include "InstanceData.h"
#include "RX_FMU2ModelDescription.h"

// FMU states as hosts use them: saved and restored in place, serialised, and carried into a
// fresh instance of another process.
namespace {

using FMUHost::Library;
using FMUHost::Recorder;

const char * const INVALID_FREE = "fmi2FreeFMUstate is called with invalid FMUstate (unknown or already released pointer).";

/*! The host-visible real outputs. */
const std::vector<fmi2ValueReference> OUTPUTS = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010,
												 1011, 1012, 1013};

class FMUstateTest : public ::testing::Test {
protected:
	void SetUp() override { FMUHost::writeResources(m_resources.path()); }

	/*! A co-simulation instance on resources with its own results root, not initialised. */
	fmi2Component instantiate(const char * name, Recorder & recorder, const std::string & resources,
							  fmi2Type type = fmi2CoSimulation)
	{
		return FMUHost::instantiate(name, type, resources, m_results.path() + "/" + name, recorder);
	}

	/*! instantiate() and its initialisation. */
	fmi2Component initialised(const char * name, Recorder & recorder) {
		fmi2Component c = instantiate(name, recorder, m_resources.path());
		if (c != nullptr && (fmi.fmi2EnterInitializationMode(c) != fmi2OK || fmi.fmi2ExitInitializationMode(c) != fmi2OK))
			return nullptr;
		return c;
	}

	/*! The outputs' bits; empty when they cannot be read. */
	std::vector<double> outputs(fmi2Component c) const {
		std::vector<double> values(OUTPUTS.size());
		if (fmi.fmi2GetReal(c, OUTPUTS.data(), OUTPUTS.size(), values.data()) != fmi2OK)
			values.clear();
		return values;
	}

	const Library &					fmi = Library::instance();
	TestSupport::TempDirectory		m_resources{"stateres"};
	TestSupport::TempDirectory		m_results{"stateresults"};
};


TEST_F(FMUstateTest, GetHandsOutOneBufferWithItsSizeWordAndFreeReleasesItOnce) {
	Recorder recorder, otherRecorder;
	fmi2Component c = initialised("room1", recorder);
	fmi2Component other = initialised("room2", otherRecorder);
	ASSERT_NE(c, nullptr) << recorder.messages();
	ASSERT_NE(other, nullptr) << otherRecorder.messages();

	fmi2FMUstate s = nullptr;
	ASSERT_EQ(fmi.fmi2GetFMUstate(c, &s), fmi2OK) << recorder.messages();
	ASSERT_NE(s, nullptr);
	std::size_t size = 0;
	ASSERT_EQ(fmi.fmi2SerializedFMUstateSize(c, s, &size), fmi2OK);
	std::uint64_t sizeWord = 0;
	std::memcpy(&sizeWord, s, sizeof(sizeWord));
	EXPECT_EQ(sizeWord, size);
	fmi2FMUstate first = s;
	ASSERT_EQ(fmi.fmi2DoStep(c, 0, 3600, fmi2False), fmi2OK);
	EXPECT_EQ(fmi.fmi2GetFMUstate(c, &s), fmi2OK);
	EXPECT_EQ(s, first);

	// a buffer belongs to its instance
	EXPECT_EQ(fmi.fmi2SetFMUstate(other, s), fmi2Error);
	EXPECT_TRUE(otherRecorder.received("fmi2SetFMUstate is called with invalid FMUstate (unknown or already "
									   "released pointer).")) << otherRecorder.messages();

	EXPECT_EQ(fmi.fmi2FreeFMUstate(c, &s), fmi2OK);
	EXPECT_EQ(s, nullptr);
	// nothing to free is no error, a buffer freed before is
	EXPECT_EQ(fmi.fmi2FreeFMUstate(c, &s), fmi2OK);
	EXPECT_EQ(fmi.fmi2FreeFMUstate(c, nullptr), fmi2OK);
	fmi2FMUstate freed = first;
	EXPECT_EQ(fmi.fmi2FreeFMUstate(c, &freed), fmi2Error);
	EXPECT_TRUE(recorder.received(INVALID_FREE)) << recorder.messages();
	EXPECT_EQ(fmi.fmi2SetFMUstate(c, freed), fmi2Error);
	EXPECT_EQ(fmi.fmi2SerializedFMUstateSize(c, freed, &size), fmi2Error);
	// a state left behind is freed with its instance (the sanitizer build checks)
	EXPECT_EQ(fmi.fmi2GetFMUstate(c, &s), fmi2OK);
	fmi.fmi2FreeInstance(c);
	fmi.fmi2FreeInstance(other);
}


TEST_F(FMUstateTest, RolledBackRunRepeatsBitIdenticalInPlaceThroughBytesAndInAFreshProcess) {
	Recorder recorder;
	fmi2Component c = initialised("room1", recorder);
	ASSERT_NE(c, nullptr) << recorder.messages();
	// a day first, so that the controllers have adapted and the outputs have a history
	for (unsigned int h = 0; h < 24; ++h)
		ASSERT_EQ(fmi.fmi2DoStep(c, h*3600.0, 3600, fmi2False), fmi2OK) << recorder.messages();
	const double tSaved = 24*3600.0;
	fmi2FMUstate s = nullptr;
	ASSERT_EQ(fmi.fmi2GetFMUstate(c, &s), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2DoStep(c, tSaved, 3600, fmi2False), fmi2OK);
	const std::vector<double> reference = outputs(c);
	ASSERT_EQ(reference.size(), OUTPUTS.size()) << recorder.messages();

	ASSERT_EQ(fmi.fmi2SetFMUstate(c, s), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2DoStep(c, tSaved, 3600, fmi2False), fmi2OK) << recorder.messages();
	std::vector<double> again = outputs(c);
	ASSERT_EQ(again.size(), reference.size());
	EXPECT_EQ(std::memcmp(again.data(), reference.data(), reference.size()*sizeof(double)), 0);

	std::size_t size = 0;
	ASSERT_EQ(fmi.fmi2SerializedFMUstateSize(c, s, &size), fmi2OK);
	std::vector<char> bytes(size);
	EXPECT_EQ(fmi.fmi2SerializeFMUstate(c, s, bytes.data(), size - 1), fmi2Error);
	ASSERT_EQ(fmi.fmi2SerializeFMUstate(c, s, bytes.data(), size), fmi2OK);
	ASSERT_EQ(fmi.fmi2FreeFMUstate(c, &s), fmi2OK);
	ASSERT_EQ(fmi.fmi2DeSerializeFMUstate(c, bytes.data(), size, &s), fmi2OK) << recorder.messages();
	ASSERT_NE(s, nullptr);
	EXPECT_EQ(std::memcmp(s, bytes.data(), size), 0);
	ASSERT_EQ(fmi.fmi2SetFMUstate(c, s), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2FreeFMUstate(c, &s), fmi2OK);
	ASSERT_EQ(fmi.fmi2DoStep(c, tSaved, 3600, fmi2False), fmi2OK) << recorder.messages();
	again = outputs(c);
	ASSERT_EQ(again.size(), reference.size());
	EXPECT_EQ(std::memcmp(again.data(), reference.data(), reference.size()*sizeof(double)), 0);
	fmi.fmi2FreeInstance(c);

	// another process: instantiate, deserialise, set, free, step on, with nothing else before
	const pid_t child = fork();
	ASSERT_NE(child, -1);
	if (child == 0) {
		Recorder childRecorder;
		fmi2Component fresh = instantiate("fresh", childRecorder, m_resources.path());
		fmi2FMUstate restored = nullptr;
		int code = 1;
		if (fresh != nullptr && fmi.fmi2DeSerializeFMUstate(fresh, bytes.data(), bytes.size(), &restored) == fmi2OK &&
			fmi.fmi2SetFMUstate(fresh, restored) == fmi2OK && fmi.fmi2FreeFMUstate(fresh, &restored) == fmi2OK &&
			fmi.fmi2DoStep(fresh, tSaved, 3600, fmi2False) == fmi2OK)
		{
			const std::vector<double> values = outputs(fresh);
			code = values.size() == reference.size() &&
				   std::memcmp(values.data(), reference.data(), reference.size()*sizeof(double)) == 0 ? 0 : 2;
		}
		if (code != 0)
			std::fputs(childRecorder.messages().c_str(), stderr);
		_exit(code);
	}
	int status = -1;
	ASSERT_EQ(waitpid(child, &status, 0), child);
	ASSERT_TRUE(WIFEXITED(status));
	EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the restore failed, 2: other outputs";
}


TEST_F(FMUstateTest, RefusesCorruptShortAndForeignStatesAndStaysUsable) {
	// another room: the same box, its heating set one degree higher
	TestSupport::TempDirectory otherResources("stateother");
	FMUHost::writeResources(otherResources.path());
	const std::string projectFile = otherResources.path() + "/calovinda_project.rmxml";
	std::string project;
	{
		std::ifstream in(projectFile, std::ios::binary);
		project.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
	}
	const std::size_t setPoint = project.find("<ConstantValue>20</ConstantValue>");
	ASSERT_NE(setPoint, std::string::npos) << project;
	project.replace(setPoint, std::strlen("<ConstantValue>20</ConstantValue>"), "<ConstantValue>21</ConstantValue>");
	std::ofstream(projectFile, std::ios::binary) << project;

	Recorder recorder, otherRecorder;
	fmi2Component c = initialised("room1", recorder);
	ASSERT_NE(c, nullptr) << recorder.messages();
	fmi2Component other = instantiate("room2", otherRecorder, otherResources.path());
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(other), fmi2OK) << otherRecorder.messages();
	ASSERT_EQ(fmi.fmi2ExitInitializationMode(other), fmi2OK);
	ASSERT_EQ(fmi.fmi2DoStep(c, 0, 3600, fmi2False), fmi2OK);
	ASSERT_EQ(fmi.fmi2DoStep(other, 0, 3600, fmi2False), fmi2OK);
	const std::vector<char> bytes = FMUHost::serializedState(c);
	const std::vector<char> foreign = FMUHost::serializedState(other);
	ASSERT_FALSE(bytes.empty()) << recorder.messages();
	ASSERT_EQ(foreign.size(), bytes.size());

	fmi2FMUstate s = nullptr;
	std::vector<char> corrupt = bytes;
	corrupt[1] ^= 0x10;
	EXPECT_EQ(fmi.fmi2DeSerializeFMUstate(c, corrupt.data(), corrupt.size(), &s), fmi2Error);
	EXPECT_EQ(fmi.fmi2DeSerializeFMUstate(c, bytes.data(), bytes.size() - 1, &s), fmi2Error);
	EXPECT_EQ(fmi.fmi2DeSerializeFMUstate(c, foreign.data(), foreign.size(), &s), fmi2Error);
	EXPECT_EQ(s, nullptr);
	// a pointer that is no live state stays an error, even with good bytes
	fmi2FMUstate stranger = corrupt.data();
	EXPECT_EQ(fmi.fmi2DeSerializeFMUstate(c, bytes.data(), bytes.size(), &stranger), fmi2Error);

	// model values no run reaches, or that contradict the interface or each other, made by an
	// instance of this test's own on the same room; the refusal names the value
	InstanceData maker;
	maker.m_instanceName = "maker";
	maker.m_resourceLocation = m_resources.path();
	maker.m_resultsRootDir = m_results.path() + "/maker";
	maker.m_modelExchange = false;
	maker.startModel();
	maker.m_fmiState = InstanceDataCommon::FMIStepComplete;
	RX::CalovindaModelFMU & model = maker.m_modelFMU;
	const auto stateOf = [&maker]() {
		std::vector<char> state(maker.m_fmuStateSize);
		const std::uint64_t sizeWord = state.size();
		std::memcpy(state.data(), &sizeWord, sizeof(sizeWord));
		maker.serializeFMUstate(state.data());
		return state;
	};
	std::vector<char> sound = stateOf();
	const std::vector<std::pair<std::function<void()>, std::string>> impossible = {
		{[&] { model.m_room.m_heatingModel.m_slope = std::nan(""); }, "values that are not finite"},
		{[&] { model.m_room.m_heatingModel.m_slope = -1e300; }, "the heating's gain is out of its range"},
		{[&] { model.m_room.m_heatingModel.m_slope = 1e300; }, "the heating's gain is out of its range"},
		{[&] { model.m_inputCache.m_convectiveThermalLoad = std::nan(""); }, "values that are not finite"},
		// a model-exchange heating piece held at full power: in co-simulation the room would heat
		// without end
		{[&] { model.m_switchesHeld = true; model.m_heldPieces.m_heating = RX::PIECE_LIMITED; },
		 "holding the pieces and stages is model exchange's alone"},
		{[&] { model.m_heldPieces.m_heating = RX::PIECE_LIMITED; }, "the held heating piece is held, but the state "
		 "holds nothing"},
		{[&] { model.m_heldPieces.m_naturalVentilationRise.m_stage = 1; }, "the rise of the natural ventilation is held"},
		{[&] { model.m_nextRuleChange = 7200; }, "the announced time event is model exchange's alone"},
		{[&] { model.m_room.m_din4108_2Assessment.m_airChange = 1e-3; },
		 "the assessment's air change and its last ventilation update disagree"},
		// 100 kW that no input asks for, which co-simulation would heat the room with to the end
		{[&] { model.m_externalHeatInput = 1e5; }, "the inputs the room balance takes differ from the inputs set"}};
	for (const auto & [corrupt, named] : impossible) {
		corrupt();
		const std::vector<char> bad = stateOf();
		maker.deserializeFMUstate(sound.data());
		fmi2FMUstate restored = nullptr;
		ASSERT_EQ(fmi.fmi2DeSerializeFMUstate(c, bad.data(), bad.size(), &restored), fmi2OK) << recorder.messages();
		EXPECT_EQ(fmi.fmi2SetFMUstate(c, restored), fmi2Error) << named;
		EXPECT_NE(recorder.messages().find(named), std::string::npos) << named << "\n" << recorder.messages();
		fmi.fmi2FreeFMUstate(c, &restored);
	}

	ASSERT_EQ(fmi.fmi2DoStep(c, 3600, 3600, fmi2False), fmi2OK) << recorder.messages();
	const std::vector<double> values = outputs(c);
	ASSERT_EQ(values.size(), OUTPUTS.size());
	EXPECT_GT(values[9], 273.15 + 19);
	EXPECT_LT(values[9], 273.15 + 28);
	fmi.fmi2FreeInstance(c);
	fmi.fmi2FreeInstance(other);
}


TEST_F(FMUstateTest, RollbackAfterSetRealRepeatsBitForBit) {
	Recorder recorder;
	fmi2Component c = initialised("room1", recorder);
	ASSERT_NE(c, nullptr) << recorder.messages();
	for (unsigned int h = 0; h < 6; ++h)
		ASSERT_EQ(fmi.fmi2DoStep(c, h*3600.0, 3600, fmi2True), fmi2OK) << recorder.messages();
	const double tSaved = 6*3600.0;
	const std::vector<double> before = outputs(c);
	// a pending input, not yet seen by the model, belongs to the saved state
	const fmi2ValueReference load = 2001;
	const double heat = 20000;
	ASSERT_EQ(fmi.fmi2SetReal(c, &load, 1, &heat), fmi2OK);
	fmi2FMUstate s = nullptr;
	ASSERT_EQ(fmi.fmi2GetFMUstate(c, &s), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2DoStep(c, tSaved, 3600, fmi2False), fmi2OK);
	const std::vector<double> reference = outputs(c);
	ASSERT_EQ(reference.size(), OUTPUTS.size());
	// 20 kW more in an hour warm the room well past its cooling set point
	EXPECT_GT(reference[9], before[9] + 2);

	for (unsigned int retry = 0; retry < 2; ++retry) {
		ASSERT_EQ(fmi.fmi2SetFMUstate(c, s), fmi2OK) << recorder.messages();
		ASSERT_EQ(fmi.fmi2DoStep(c, tSaved, 3600, fmi2False), fmi2OK) << recorder.messages();
		const std::vector<double> again = outputs(c);
		ASSERT_EQ(again.size(), reference.size());
		EXPECT_EQ(std::memcmp(again.data(), reference.data(), reference.size()*sizeof(double)), 0) << "retry " << retry;
	}
	fmi.fmi2FreeFMUstate(c, &s);
	fmi.fmi2FreeInstance(c);
}


TEST_F(FMUstateTest, RefusedStateNamesTheDifferingSectionsOrClimate) {
	// the example room heated and cooled, free floating, and heated with a climate one degree warmer
	const std::string example = CALOVINDA_EXAMPLE_DIR;
	const std::string climate = "/725650TYCST.epw";
	TestSupport::TempDirectory heated("stateheated"), floating("statefloating"), warmer("statewarmer");
	for (const TestSupport::TempDirectory * dir : {&heated, &floating, &warmer})
		std::filesystem::copy_file(example + climate, dir->path() + climate);
	std::filesystem::copy_file(example + "/calovinda_project.rmxml", heated.file("calovinda_project.rmxml"));
	std::filesystem::copy_file(example + "/calovinda_project.rmxml", warmer.file("calovinda_project.rmxml"));
	std::filesystem::copy_file(example + "/free_floating.rmxml", floating.file("calovinda_project.rmxml"));
	{
		// the first data row's dry-bulb temperature (the seventh field)
		std::ifstream in(warmer.path() + climate, std::ios::binary);
		std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
		std::size_t row = 0;
		for (unsigned int line = 0; line < 8; ++line)
			row = text.find('\n', row) + 1;
		std::size_t field = row;
		for (unsigned int k = 0; k < 6; ++k)
			field = text.find(',', field) + 1;
		const std::size_t end = text.find(',', field);
		const double T = std::stod(text.substr(field, end - field));
		text.replace(field, end - field, std::to_string(T + 1));
		std::ofstream(warmer.path() + climate, std::ios::binary) << text;
	}

	Recorder recorder;
	fmi2Component c = instantiate("heated", recorder, heated.path());
	ASSERT_NE(c, nullptr);
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << recorder.messages();
	ASSERT_EQ(fmi.fmi2ExitInitializationMode(c), fmi2OK);
	for (const TestSupport::TempDirectory * dir : {&floating, &warmer}) {
		Recorder otherRecorder;
		fmi2Component other = instantiate(dir == &floating ? "floating" : "warmer", otherRecorder, dir->path());
		ASSERT_EQ(fmi.fmi2EnterInitializationMode(other), fmi2OK) << otherRecorder.messages();
		const std::vector<char> foreign = FMUHost::serializedState(other);
		ASSERT_FALSE(foreign.empty()) << otherRecorder.messages();
		fmi.fmi2FreeInstance(other);
		fmi2FMUstate s = nullptr;
		EXPECT_EQ(fmi.fmi2DeSerializeFMUstate(c, foreign.data(), foreign.size(), &s), fmi2Error);
		EXPECT_EQ(s, nullptr);
	}
	EXPECT_TRUE(recorder.received("fmi2DeSerializeFMUstate: the serialized state is not a state of this FMU "
								  "instance: it belongs to another project; differing: HeatingModel, CoolingModel."))
		<< recorder.messages();
	EXPECT_TRUE(recorder.received("fmi2DeSerializeFMUstate: the serialized state is not a state of this FMU "
								  "instance: it was computed with other climate data.")) << recorder.messages();
	fmi.fmi2FreeInstance(c);
}


TEST_F(FMUstateTest, ModelExchangeHasNoStates) {
	Recorder recorder;
	fmi2Component c = instantiate("room1", recorder, m_resources.path(), fmi2ModelExchange);
	ASSERT_NE(c, nullptr);
	ASSERT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << recorder.messages();
	fmi2FMUstate s = nullptr;
	EXPECT_EQ(fmi.fmi2GetFMUstate(c, &s), fmi2Error);
	// the refusal gives the true reason: the instance is set up, its interface has no states
	const std::string messages = recorder.messages();
	EXPECT_NE(messages.find("fmi2GetFMUstate: FMU states are not supported in model exchange"), std::string::npos)
		<< messages;
	EXPECT_EQ(messages.find("not yet completely set up"), std::string::npos) << messages;
	const char bytes[16] = {};
	EXPECT_EQ(fmi.fmi2DeSerializeFMUstate(c, bytes, sizeof(bytes), &s), fmi2Error);
	EXPECT_EQ(s, nullptr);
	fmi.fmi2FreeInstance(c);
}


TEST_F(FMUstateTest, AnIntegratorWithoutSnapshotsLeavesStatesUnavailable) {
	InstanceData d;
	d.m_instanceName = "room1";
	d.m_resourceLocation = m_resources.path();
	d.m_resultsRootDir = m_results.path() + "/euler";
	d.m_modelFMU.m_integratorName = "ImplicitEuler";
	d.init();
	EXPECT_TRUE(TestSupport::throwsWith([&] { d.computeFMUStateSize(); }, "Integrator does not support serialization.",
										"[InstanceData::computeFMUStateSize]"));
	EXPECT_EQ(d.m_fmuStateSize, 0u);
}

} // namespace
