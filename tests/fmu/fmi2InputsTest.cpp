#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "FMUHost.h"
#include "RX_Constants.h"
#include "RX_FMU2InputOutputDefinitions.h"
#include "RX_FMU2ModelDescription.h"
#include "ZEB_Constants.h"

// The FMU's inputs as a host sets them: through the library loaded with dlopen, in the standard
// call sequence.
namespace {

using FMUHost::Library;
using FMUHost::real;
using FMUHost::Recorder;

/*! States of the box; with the moisture balance each cell and the room have two. */
const std::size_t N_THERMAL = FMUHost::BOX_STATES;
const std::size_t N_MOISTURE = 2*N_THERMAL;

class Fmi2InputsTest : public ::testing::Test {
protected:
	void writeResources(const std::function<void(RX::Room &, RX::Database &)> & adjust) {
		FMUHost::writeResources(m_resources.path(), adjust);
	}

	/*! A room with the moisture balance and the moisture inputs, its materials with a sorption
		isotherm through their water content at 80 %, as a project file keeps it. */
	void writeMoistRoomResources() {
		writeResources([](RX::Room & room, RX::Database & db) {
			room.m_moistureBalanceEnabled = true;
			room.m_interfaceDefinition = 0x20;
			const std::map<unsigned int, RX::Material> materials = db.materials();
			for (const auto & [id, material] : materials) {
				RX::Material m = material;
				m.init({0.0, 0.8, 1.0}, {0.0, 8.0, 10.0});
				db.deleteMaterial(id);
				db.addMaterial(m, id);
			}
		});
	}

	/*! Instantiated, experiment set up from 0 s to a day, initialised; logging on. */
	fmi2Component start(const char * name, fmi2Type type, Recorder & recorder) {
		fmi2Component c = fmi.fmi2Instantiate(name, type, RX::FMU2_GUID,
											  FMUHost::fileURI(m_resources.path() + "/").c_str(),
											  &recorder.m_functions, fmi2False, fmi2True);
		EXPECT_NE(c, nullptr) << recorder.messages();
		EXPECT_EQ(fmi.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2True, 86400), fmi2OK);
		EXPECT_EQ(fmi.fmi2EnterInitializationMode(c), fmi2OK) << recorder.messages();
		EXPECT_EQ(fmi.fmi2ExitInitializationMode(c), fmi2OK) << recorder.messages();
		return c;
	}

	/*! Model exchange in continuous-time mode at time 0 with the initial states. */
	fmi2Component startContinuousTime(const char * name, Recorder & recorder, std::size_t n) {
		fmi2Component c = start(name, fmi2ModelExchange, recorder);
		fmi2EventInfo info{};
		EXPECT_EQ(fmi.fmi2NewDiscreteStates(c, &info), fmi2OK);
		EXPECT_EQ(fmi.fmi2EnterContinuousTimeMode(c), fmi2OK);
		std::vector<double> x(n);
		EXPECT_EQ(fmi.fmi2GetContinuousStates(c, x.data(), n), fmi2OK);
		EXPECT_EQ(fmi.fmi2SetTime(c, 0), fmi2OK);
		EXPECT_EQ(fmi.fmi2SetContinuousStates(c, x.data(), n), fmi2OK);
		return c;
	}

	std::vector<double> derivatives(fmi2Component c, std::size_t n) {
		std::vector<double> dx(n);
		EXPECT_EQ(fmi.fmi2GetDerivatives(c, dx.data(), n), fmi2OK);
		return dx;
	}

	void setReal(fmi2Component c, fmi2ValueReference vr, double value) {
		EXPECT_EQ(fmi.fmi2SetReal(c, &vr, 1, &value), fmi2OK);
	}

	/*! The start value that the model description declares for the input vr. */
	static double declaredStart(fmi2ValueReference vr) {
		const std::string text = RX::FMU2ModelDescription(nullptr).text(0x20);
		const std::size_t variable = text.find("valueReference=\"" + std::to_string(vr) + "\"");
		EXPECT_NE(variable, std::string::npos) << vr;
		return std::stod(text.substr(text.find("start=\"", variable) + 7));
	}

	const Library &					fmi = Library::instance();
	TestSupport::TempDirectory		m_resources{"inputs"};
};

} // namespace


TEST_F(Fmi2InputsTest, TwoThermalLoadsAddTheirSumToTheRoomsEnergyRateAndWarmIt) {
	// without its window, so that the sun does not warm the box
	writeResources([](RX::Room & room, RX::Database &) {
		RX::RoomConstruction & south = room.m_constructions[2];
		south.m_windowId = 0;
		south.m_AF = 0;
		south.m_AW = 21.6;
	});

	// model exchange: at the same time and state the room air's energy rate rises by the loads
	Recorder me;
	fmi2Component c = startContinuousTime("me", me, N_THERMAL);
	const std::vector<double> before = derivatives(c, N_THERMAL);
	// a host that never sets the inputs runs on the start values the description declares
	for (const fmi2ValueReference vr : {RX::FMU2_ConvectiveThermalLoad, RX::FMU2_RadiantThermalLoad}) {
		EXPECT_EQ(real(c, vr), declaredStart(vr)) << vr;
		setReal(c, vr, declaredStart(vr));
	}
	EXPECT_EQ(derivatives(c, N_THERMAL), before);
	setReal(c, RX::FMU2_ConvectiveThermalLoad, 2000);
	setReal(c, RX::FMU2_RadiantThermalLoad, 2000);
	const std::vector<double> after = derivatives(c, N_THERMAL);
	EXPECT_NEAR(after[N_THERMAL - 1] - before[N_THERMAL - 1], 4000, 1e-6);
	for (std::size_t i = 0; i + 1 < N_THERMAL; ++i)
		EXPECT_EQ(after[i], before[i]) << i;
	EXPECT_EQ(real(c, RX::FMU2_ConvectiveThermalLoad), 2000);
	EXPECT_EQ(real(c, RX::FMU2_RadiantThermalLoad), 2000);

	// the FMU has no integer or boolean variables: setting them is refused and changes nothing,
	// reading them leaves the host's slot
	const fmi2ValueReference vr = RX::FMU2_ConvectiveThermalLoad;
	const fmi2Integer count = 7;
	const fmi2Boolean on = fmi2True;
	EXPECT_EQ(fmi.fmi2SetInteger(c, &vr, 1, &count), fmi2Error);
	EXPECT_EQ(fmi.fmi2SetBoolean(c, &vr, 1, &on), fmi2Error);
	fmi2Integer slot = 4711;
	EXPECT_EQ(fmi.fmi2GetInteger(c, &vr, 1, &slot), fmi2Error);
	EXPECT_EQ(slot, 4711);
	EXPECT_EQ(derivatives(c, N_THERMAL), after);
	EXPECT_EQ(real(c, RX::FMU2_ConvectiveThermalLoad), 2000);
	fmi.fmi2FreeInstance(c);

	// co-simulation of a January day: the box is held at its heating set point of 20 C; with 4 kW
	// more it warms up to its cooling set point of 27 C
	Recorder reference, loaded;
	fmi2Component cold = start("reference", fmi2CoSimulation, reference);
	fmi2Component warm = start("loaded", fmi2CoSimulation, loaded);
	setReal(warm, RX::FMU2_ConvectiveThermalLoad, 2000);
	setReal(warm, RX::FMU2_RadiantThermalLoad, 2000);
	double TCold = 0, TWarm = 0;
	for (unsigned int h = 0; h < 24; ++h) {
		ASSERT_EQ(fmi.fmi2DoStep(cold, 3600.0*h, 3600, fmi2True), fmi2OK) << reference.messages();
		ASSERT_EQ(fmi.fmi2DoStep(warm, 3600.0*h, 3600, fmi2True), fmi2OK) << loaded.messages();
		TCold = real(cold, RX::FMU2_ZoneMeanAirTemperature);
		TWarm = real(warm, RX::FMU2_ZoneMeanAirTemperature);
		EXPECT_NEAR(TCold, 293.15, 0.3) << h;
		EXPECT_GT(TWarm, TCold + 1) << h;
	}
	EXPECT_NEAR(TWarm, 300.15, 0.3);
	EXPECT_EQ(real(warm, RX::FMU2_RadiantThermalLoad), 2000);
	EXPECT_EQ(fmi.fmi2Terminate(cold), fmi2OK);
	EXPECT_EQ(fmi.fmi2Terminate(warm), fmi2OK);
	fmi.fmi2FreeInstance(cold);
	fmi.fmi2FreeInstance(warm);
}


TEST_F(Fmi2InputsTest, MoistureInputsFeedTheRoomAirsVapourAndEnergyBalances) {
	writeMoistRoomResources();
	Recorder me;
	fmi2Component c = startContinuousTime("me", me, N_MOISTURE);
	const std::vector<double> before = derivatives(c, N_MOISTURE);
	setReal(c, RX::FMU2_LiquidWaterMassFlowRate, 3e-4);
	// the vapour inputs share the outputs' names: no description declares them, no host sets them
	for (const fmi2ValueReference vr : {RX::FMU2_WaterVaporMassFlowRateIn, RX::FMU2_WaterVaporEnthalpyFlowIn}) {
		const double value = 500;
		EXPECT_EQ(fmi.fmi2SetReal(c, &vr, 1, &value), fmi2Error);
	}
	const std::vector<double> after = derivatives(c, N_MOISTURE);
	// the room's states are its energy and its vapour mass, the last two; the water brings the
	// enthalpy of liquid at room temperature, its vapour's less the latent heat of its evaporation
	const double T = real(c, RX::FMU2_ZoneMeanAirTemperature);
	EXPECT_NEAR(after[N_MOISTURE - 2] - before[N_MOISTURE - 2],
				3e-4*(T*ZEB::C_VAPOR + ZEB::H_EVAP - RX::latentHeat(T)), 1e-6);
	EXPECT_NEAR(after[N_MOISTURE - 1] - before[N_MOISTURE - 1], 3e-4, 1e-15);
	EXPECT_DOUBLE_EQ(real(c, RX::FMU2_WaterVaporMassFlowRateOut), 3e-4);
	EXPECT_EQ(real(c, RX::FMU2_WaterVaporEnthalpyFlowOut), 0);
	EXPECT_EQ(real(c, RX::FMU2_LiquidWaterMassFlowRate), 3e-4);
	fmi.fmi2FreeInstance(c);

	// a co-simulated hour with 0.36 kg of water more leaves the room air more humid
	Recorder dry, wet;
	fmi2Component a = start("dry", fmi2CoSimulation, dry);
	fmi2Component b = start("wet", fmi2CoSimulation, wet);
	setReal(b, RX::FMU2_LiquidWaterMassFlowRate, 1e-4);
	ASSERT_EQ(fmi.fmi2DoStep(a, 0, 3600, fmi2True), fmi2OK) << dry.messages();
	ASSERT_EQ(fmi.fmi2DoStep(b, 0, 3600, fmi2True), fmi2OK) << wet.messages();
	EXPECT_GT(real(b, RX::FMU2_ZoneMeanAirRelativeHumidity), real(a, RX::FMU2_ZoneMeanAirRelativeHumidity) + 0.01);
	EXPECT_EQ(real(b, RX::FMU2_WaterVaporMassFlowRateOut), 1e-4);
	fmi.fmi2FreeInstance(a);
	fmi.fmi2FreeInstance(b);
}


TEST_F(Fmi2InputsTest, EveryDeclaredInputGivesTheSameRunWhicheverStateItWasSetIn) {
	writeMoistRoomResources();
	const fmi2ValueReference inputs[3] = {RX::FMU2_ConvectiveThermalLoad, RX::FMU2_RadiantThermalLoad,
										  RX::FMU2_LiquidWaterMassFlowRate};
	const double values[3] = {300, 200, 1e-4};
	enum Phase { Instantiated, InitializationMode, Running };
	// co-simulation: the room after an hour; model exchange: the derivatives at the start; both
	// with the inputs read back
	const auto run = [&](fmi2Type type, Phase phase) {
		Recorder recorder;
		fmi2Component c = fmi.fmi2Instantiate("inputs", type, RX::FMU2_GUID,
											  FMUHost::fileURI(m_resources.path() + "/").c_str(),
											  &recorder.m_functions, fmi2False, fmi2True);
		std::vector<double> result;
		const auto setInputs = [&](Phase now) { return now != phase || fmi.fmi2SetReal(c, inputs, 3, values) == fmi2OK; };
		fmi2EventInfo info{};
		bool ok = c != nullptr && setInputs(Instantiated) &&
				  fmi.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2True, 86400) == fmi2OK &&
				  fmi.fmi2EnterInitializationMode(c) == fmi2OK && setInputs(InitializationMode) &&
				  fmi.fmi2ExitInitializationMode(c) == fmi2OK;
		if (ok && type == fmi2CoSimulation) {
			ok = setInputs(Running) && fmi.fmi2DoStep(c, 0, 3600, fmi2True) == fmi2OK;
		}
		else if (ok) {
			std::vector<double> x(N_MOISTURE);
			result.resize(N_MOISTURE);
			ok = fmi.fmi2NewDiscreteStates(c, &info) == fmi2OK && fmi.fmi2EnterContinuousTimeMode(c) == fmi2OK &&
				 setInputs(Running) && fmi.fmi2GetContinuousStates(c, x.data(), N_MOISTURE) == fmi2OK &&
				 fmi.fmi2SetTime(c, 0) == fmi2OK && fmi.fmi2SetContinuousStates(c, x.data(), N_MOISTURE) == fmi2OK &&
				 fmi.fmi2GetDerivatives(c, result.data(), N_MOISTURE) == fmi2OK;
		}
		for (const fmi2ValueReference vr : std::vector<fmi2ValueReference>{RX::FMU2_ZoneMeanAirTemperature, RX::FMU2_ZoneMeanAirRelativeHumidity,
											RX::FMU2_WaterVaporMassFlowRateOut, inputs[0], inputs[1], inputs[2]}) {
			double value = -1;
			ok = ok && fmi.fmi2GetReal(c, &vr, 1, &value) == fmi2OK;
			result.push_back(value);
		}
		EXPECT_TRUE(ok) << type << " " << phase << "\n" << recorder.messages();
		fmi.fmi2FreeInstance(c);
		return result;
	};
	for (const fmi2Type type : {fmi2CoSimulation, fmi2ModelExchange}) {
		const std::vector<double> reference = run(type, InitializationMode);
		ASSERT_FALSE(reference.empty());
		EXPECT_EQ(reference.back(), values[2]);
		for (const Phase phase : {Instantiated, Running}) {
			const std::vector<double> other = run(type, phase);
			ASSERT_EQ(other.size(), reference.size());
			EXPECT_EQ(std::memcmp(other.data(), reference.data(), reference.size()*sizeof(double)), 0)
				<< type << " " << phase;
		}
	}
}


TEST_F(Fmi2InputsTest, AnswersEveryStatusKindOfACoSimulation) {
	writeResources([](RX::Room &, RX::Database &) {});
	Recorder recorder;
	fmi2Component c = start("status", fmi2CoSimulation, recorder);
	ASSERT_EQ(fmi.fmi2DoStep(c, 0, 600, fmi2True), fmi2OK);
	for (const fmi2StatusKind kind : {fmi2DoStepStatus, fmi2PendingStatus, fmi2LastSuccessfulTime, fmi2Terminated}) {
		SCOPED_TRACE(kind);
		fmi2Status status = fmi2Fatal;
		fmi2Real t = -1;
		fmi2Integer i = -1;
		fmi2Boolean b = -1;
		fmi2String s = nullptr;
		// only the status of the last step, its time and whether it ended the run are known
		EXPECT_EQ(fmi.fmi2GetStatus(c, kind, &status), kind == fmi2DoStepStatus ? fmi2OK : fmi2Discard);
		EXPECT_EQ(fmi.fmi2GetRealStatus(c, kind, &t), kind == fmi2LastSuccessfulTime ? fmi2OK : fmi2Discard);
		EXPECT_EQ(fmi.fmi2GetIntegerStatus(c, kind, &i), fmi2Discard);
		EXPECT_EQ(fmi.fmi2GetBooleanStatus(c, kind, &b), kind == fmi2Terminated ? fmi2OK : fmi2Discard);
		EXPECT_EQ(fmi.fmi2GetStringStatus(c, kind, &s), fmi2Discard);
	}
	fmi2Real t = -1;
	EXPECT_EQ(fmi.fmi2GetRealStatus(c, fmi2LastSuccessfulTime, &t), fmi2OK);
	EXPECT_EQ(t, 600);
	EXPECT_STREQ(fmi.fmi2GetTypesPlatform(), "default");
	EXPECT_TRUE(recorder.received("fmi2GetIntegerStatus: get integer status."));
	fmi.fmi2FreeInstance(c);
}
