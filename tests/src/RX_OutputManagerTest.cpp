#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "Case600Box.h"
#include "RX_CalovindaModel.h"
#include "RX_Database.h"
#include "RX_OutputManager.h"
#include "TestSupport.h"

namespace {

const double YEAR = 31536000;

std::vector<std::string> lines(const std::string & text) {
	std::vector<std::string> result;
	std::istringstream in(text);
	for (std::string line; std::getline(in, line); )
		result.push_back(line);
	return result;
}

::testing::AssertionResult startsWith(const std::string & text, const std::string & prefix) {
	if (text.compare(0, prefix.size(), prefix) == 0)
		return ::testing::AssertionSuccess();
	return ::testing::AssertionFailure() << "'" << text.substr(0, 200) << "' does not start with '" << prefix << "'";
}

::testing::AssertionResult endsWith(const std::string & text, const std::string & suffix) {
	if (text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
		return ::testing::AssertionSuccess();
	return ::testing::AssertionFailure() << "'..." << text.substr(text.size() > 200 ? text.size() - 200 : 0)
										 << "' does not end with '" << suffix << "'";
}

/*! The Case-600-like box with its window in the Denver climate, and an output manager on it. */
struct OutputSetup {
	explicit OutputSetup(bool moisture = false) {
		RX::Room & room = m_model.m_room;
		room.m_moistureBalanceEnabled = moisture;
		Case600::addBox(room, m_db);
		room.m_climateLocation = "725650TYCST.epw";
		room.m_projectFilePath = QString::fromStdString(m_dir.file("project.rmxml"));
		room.m_userLoads.m_scheduleOccupancy.m_type = RX::Schedule::CONSTANT;
		room.m_userLoads.m_scheduleOccupancy.m_constantValue = 1;
		m_model.initClimate(CALOVINDA_CLIMATE_TEST_DATA, QString());
		m_model.init(m_db);
		m_outputs.m_model = &m_model;
		m_outputs.initOutputs();
	}

	/*! The model's update chain at t [s], at its initial states. */
	void evaluate(double t) {
		m_model.m_t = t;
		m_model.m_hourOfYear = std::floor(std::fmod(t, YEAR)/3600);
		m_model.updateClimate();
		m_model.updateStates();
		m_model.updateLoads();
		m_model.updateDerivatives();
	}

	/*! Steps and outputs every dt [s] as the solver adaptor takes them, the first output at t0. */
	void runHourly(double t0, double t1, double dt = 3600) {
		evaluate(t0);
		m_outputs.appendOutputs();
		for (double t = t0 + dt; t <= t1; t += dt) {
			evaluate(t);
			m_outputs.integrateOutputs(t);
			m_outputs.appendOutputs();
		}
	}

	std::string file(const std::string & name) const { return TestSupport::readFile(m_dir.file("results/" + name)); }

	TestSupport::MessageRecorder	m_messages;
	TestSupport::TempDirectory		m_dir{"outputs"};
	RX::Database					m_db;
	RX::CalovindaModel				m_model;
	RX::OutputManager				m_outputs;
};

} // namespace


TEST(RXOutputManager, IntegratesFluxesExactlyAndTakesTheLastStepBackToTheOutputTime) {
	OutputSetup s;
	RX::OutputManager & out = s.m_outputs;
	for (const std::vector<double> & series : out.m_fluxIntegralSeries)
		EXPECT_EQ(series, std::vector<double>{0.0});
	for (const auto & kind : out.m_wallFluxIntegralSeries)
		for (const std::vector<double> & series : kind)
			EXPECT_EQ(series, std::vector<double>{0.0});
	ASSERT_EQ(out.m_wallFluxIntegralSeries[0].size(), 6u);

	// the fluxes are held over each step at their end value: a known step series whose
	// integral is exact: 1000 W up to 1800 s, then 400 W; 0.5 air changes per hour throughout
	const auto at = [&](double t) {
		s.evaluate(t);
		s.m_model.m_heatingLoad = t <= 1800 ? 1000 : 400;
		s.m_model.m_airChangeRate = 0.5;
		s.m_model.m_constructionSolvers[2].m_innerConvectiveFlux = t <= 1800 ? 10 : -5;
	};
	at(0);
	out.appendOutputs();
	EXPECT_EQ(out.m_fluxIntegralSeries[1], std::vector<double>{0.0}) << "no step completed yet";
	EXPECT_EQ(out.m_fluxSeries[1].size(), 1u);

	for (double t : {900.0, 1800.0, 3000.0}) {
		at(t);
		out.integrateOutputs(t);
	}
	// output at 2500 s, inside the step that ends at 3000 s
	at(2500);
	out.appendOutputs();
	EXPECT_DOUBLE_EQ(out.m_fluxIntegralSeries[1].back(), 1000*1800 + 400*700);
	EXPECT_DOUBLE_EQ(out.m_wallFluxIntegralSeries[0][2].back(), 10*1800 - 5*700);

	at(3600);
	out.integrateOutputs(3600);
	out.appendOutputs();
	EXPECT_DOUBLE_EQ(out.m_fluxIntegralSeries[1].back(), 1000*1800 + 400*1800);
	// the rate series in 1/h, its integral in air changes
	EXPECT_DOUBLE_EQ(out.m_fluxSeries[12].back(), 0.5);
	EXPECT_DOUBLE_EQ(out.m_fluxIntegralSeries[12].back(), 0.5);
	for (const std::vector<double> & series : out.m_fluxIntegralSeries)
		EXPECT_EQ(series.size(), out.m_stateSeries[0].size());

	// an output after the last completed step is refused and appends nothing
	s.m_model.m_t = 3601;
	EXPECT_TRUE(TestSupport::throwsWith([&] { out.appendOutputs(); }, "m_model->m_t <= m_tStepCompleted",
										"[OutputManager::appendOutputs]"));
	EXPECT_EQ(out.m_stateSeries[0].size(), 3u);
	EXPECT_EQ(out.m_fluxIntegralSeries[0].size(), 3u);
	// one in the third year of a run is an output like any other
	out.m_tStepCompleted = 3*YEAR;
	s.m_model.m_t = 3*YEAR;
	out.appendOutputs();
	ASSERT_EQ(out.m_stateSeries[0].size(), 4u);
	EXPECT_EQ(out.m_stateSeries[0].back(), 3*365);
	EXPECT_EQ(out.m_fluxIntegralSeries[0].size(), 4u);

	// a run from day 1 integrates from its start
	out.initOutputs();
	at(86400);
	out.appendOutputs();
	at(86400 + 900);
	out.integrateOutputs(86400 + 900);
	out.appendOutputs();
	EXPECT_EQ(out.m_fluxIntegralSeries[1], (std::vector<double>{0, 400*900}));
}


TEST(RXOutputManager, FillsTheTablesFromTheModelWithoutMoistureValues) {
	OutputSetup s;
	RX::OutputManager & out = s.m_outputs;
	EXPECT_EQ(out.m_stateDescriptions[14], "Operative temperature [C]");
	EXPECT_EQ(out.m_fluxDescriptions[12], "Ventilation rate (infiltration) [1/h]");
	EXPECT_EQ(out.m_wallStateDescriptions[8], "Wall inside surface relative humidity [%]");
	EXPECT_EQ(out.m_wallFluxDescriptions[8], "Convective heat transfer flux through window in wall (wrt to wall area) [W/m2] ");

	s.evaluate(180*86400 + 12*3600);
	out.updateOutputQuantities();
	const RX::CalovindaModel & m = s.m_model;
	EXPECT_DOUBLE_EQ(out.m_states[0], 180.5);
	EXPECT_DOUBLE_EQ(out.m_states[5], m.m_climate.m_solarRadiationModel.m_elevation*57.2962109060791);
	EXPECT_DOUBLE_EQ(out.m_states[8], out.m_states[9] + out.m_states[10]);
	EXPECT_DOUBLE_EQ(out.m_states[14], m.m_TOperative - 273.15);
	EXPECT_EQ(out.m_states[15], 1);
	EXPECT_DOUBLE_EQ(out.m_fluxes[10], m.m_solarGains*m.m_room.m_gammaRad);
	for (unsigned int k = RX::OutputManager::S_FIRST_MOISTURE_STATE; k < RX::OutputManager::NUM_STATES; ++k)
		EXPECT_EQ(out.m_states[k], 0);
	// the south window: its gain per window area and its transmission per kelvin
	EXPECT_GT(out.m_wallFluxes[7][2], 0);
	EXPECT_DOUBLE_EQ(out.m_wallFluxes[7][2], m.m_windowSolarGain[2]/12);
	EXPECT_DOUBLE_EQ(out.m_wallFluxes[8][2], (m.m_TOut - m.m_TRoom)*3);
	EXPECT_EQ(out.m_wallFluxes[7][0], 0);
	for (unsigned int c = 0; c < 6; ++c)
		EXPECT_EQ(out.m_wallStates[8][c], 0);

	OutputSetup wet(true);
	wet.evaluate(180*86400);
	wet.m_outputs.updateOutputQuantities();
	const RX::CalovindaModel & w = wet.m_model;
	EXPECT_GT(w.m_RHRoom, 0.1);
	EXPECT_DOUBLE_EQ(wet.m_outputs.m_states[17], w.m_RHRoom*100);
	EXPECT_DOUBLE_EQ(wet.m_outputs.m_states[23], w.m_rhoVRoom/w.m_rhoDryAir);
	EXPECT_DOUBLE_EQ(wet.m_outputs.m_wallStates[8][3], w.m_constructionSolvers[3].roomSurfaceRelativeHumidity()*100);

	RX::OutputManager unbound;
	EXPECT_TRUE(TestSupport::throwsWith([&] { unbound.initOutputs(); }, "No room model to take outputs from.",
										"[OutputManager::initOutputs]"));
}


TEST(RXOutputManager, RestartsEverySeriesAtTheEndOfTheFirstCyclicYear) {
	OutputSetup s;
	s.m_model.m_room.m_cyclicTwoYearSimulation = true;
	RX::OutputManager & out = s.m_outputs;
	s.runHourly(0, YEAR - 3600);
	const double heatingBefore = out.m_fluxIntegralSeries[1].back();
	const double * timeData = out.m_stateSeries[0].data();

	s.evaluate(YEAR);
	out.integrateOutputs(YEAR);
	const double heatingYear = out.m_fluxIntegrals[1];
	out.appendOutputs();
	EXPECT_EQ(s.m_messages.texts("[OutputManager::appendOutputs]"),
			  std::vector<std::string>{"Starting second year of calculation.\n"});
	for (const std::vector<double> & series : out.m_stateSeries)
		EXPECT_EQ(series.size(), 1u);
	for (const std::vector<double> & series : out.m_fluxSeries)
		EXPECT_EQ(series.size(), 1u);
	for (const std::vector<double> & series : out.m_fluxIntegralSeries)
		EXPECT_EQ(series.size(), 1u);
	for (const auto & kinds : {&out.m_wallStateSeries, &out.m_wallFluxSeries, &out.m_wallFluxIntegralSeries})
		for (const auto & kind : *kinds)
			for (const std::vector<double> & series : kind)
				EXPECT_EQ(series.size(), 1u);
	EXPECT_EQ(out.m_stateSeries[0][0], 0);
	EXPECT_DOUBLE_EQ(out.m_fluxIntegralSeries[1][0], heatingYear);
	EXPECT_GE(heatingYear, heatingBefore);

	s.evaluate(YEAR + 3600);
	out.integrateOutputs(YEAR + 3600);
	out.appendOutputs();
	ASSERT_EQ(out.m_stateSeries[0].size(), 2u);
	EXPECT_DOUBLE_EQ(out.m_stateSeries[0][1], 3600.0/86400);
	// the year fitted into the capacity reserved at the start
	EXPECT_EQ(out.m_stateSeries[0].data(), timeData);
}


TEST(RXOutputManager, EvaluatesTheSummerAssessmentAsCountedByHand) {
	OutputSetup s;
	RX::OutputManager & out = s.m_outputs;
	RX::DIN4108_2Assessment & din = s.m_model.m_room.m_din4108_2Assessment;
	din.m_active = true;
	din.m_residential = true;
	din.m_climateRegion = 1;
	out.m_stateSeries[0] = {0, 1.0/24};
	out.m_stateSeries[14] = {26.0, 28.0};
	out.m_stateSeries[16] = {5, 5};
	out.computeDIN4108_2Results();
	EXPECT_EQ(out.m_overtemperatureDegreeHours, 1.0);
	EXPECT_EQ(out.m_overtemperatureDegreeHours2K, 0);
	EXPECT_EQ(out.m_overtemperatureDegreeHours4K, 0);
	EXPECT_TRUE(out.m_verificationFulfilled);
	EXPECT_EQ(out.m_stateSeries[16], (std::vector<double>{0, 1.0}));
	EXPECT_EQ(s.m_messages.texts("[OutputManager::computeDIN4108_2Results]"), (std::vector<std::string>{
		"DIN 4108-2 Assessment\n",
		"---------------------\n",
		"Occupancy hours                      : 8760 h\n",
		"Reference operative room temperature : 26 \xC2\xB0""C\n",
		"Region                               : B\n\n",
		"*** Verification fullfilled ***\n",
		"Over-temperature hours               : 1 < 1200 Kh/a\n",
		"Over-temperature hours (+ 2K op. T.) : 0 Kh/a\n",
		"Over-temperature hours (+ 4K op. T.) : 0 Kh/a\n"}));

	// non-residential, a week from Monday at a constant 29 C: only the eleven hourly intervals
	// from 7:00 to 18:00 of the five weekdays count, 3 K each
	din.m_residential = false;
	out.m_stateSeries[0].clear();
	for (unsigned int h = 0; h <= 7*24; ++h)
		out.m_stateSeries[0].push_back(h/24.0);
	out.m_stateSeries[14].assign(out.m_stateSeries[0].size(), 29.0);
	out.m_stateSeries[16].assign(out.m_stateSeries[0].size(), 0.0);
	out.computeDIN4108_2Results();
	// hours held in days are not exact; the sums still floor to whole tenths
	EXPECT_EQ(out.m_overtemperatureDegreeHours, 165);
	EXPECT_EQ(out.m_overtemperatureDegreeHours2K, 55);
	EXPECT_EQ(out.m_overtemperatureDegreeHours4K, 0);
	EXPECT_TRUE(out.m_verificationFulfilled);
	EXPECT_EQ(out.m_stateSeries[16][7], 0) << "6:00-7:00";
	EXPECT_NEAR(out.m_stateSeries[16][8], 3, 1e-12) << "7:00-8:00";
	EXPECT_NEAR(out.m_stateSeries[16][18], 3, 1e-12) << "17:00-18:00";
	EXPECT_EQ(out.m_stateSeries[16][19], 0) << "18:00-19:00";

	// 1234.56 Kh is floored to 1234.5 and fails the residential limit
	din.m_residential = true;
	out.m_stateSeries[0] = {0, 1};
	out.m_stateSeries[14] = {26 + 1234.56/24, 26 + 1234.56/24};
	s.m_messages.m_messages.clear();
	out.computeDIN4108_2Results();
	EXPECT_DOUBLE_EQ(out.m_overtemperatureDegreeHours, 1234.5);
	EXPECT_FALSE(out.m_verificationFulfilled);
	const std::vector<std::string> texts = s.m_messages.texts("[OutputManager::computeDIN4108_2Results]");
	ASSERT_EQ(texts.size(), 9u);
	EXPECT_EQ(texts[5], "!!! Verification failed !!!\n");
	EXPECT_EQ(texts[6], "Over-temperature hours               : 1234.5 >= 1200 Kh/a\n");
}


TEST(RXOutputManager, AggregatesComfortHoursAndOverTemperatureAsCountedByHand) {
	OutputSetup s;
	RX::OutputManager & out = s.m_outputs;
	// comfort temperature: 0.33*20 + 18.8 = 25.4 (deviation 2.6), 23 at 30 C and at 10 C
	out.m_stateSeries[0] = {0, 1.0/24, 2.0/24, 3.0/24};
	out.m_stateSeries[2] = {20, 20, 30, 10};
	out.m_stateSeries[14] = {26, 28, 27.5, 23};
	out.m_stateSeries[15] = {0, 0, 0, 0};
	out.m_maxRoomAirTemperature = 28.5;
	out.updateAggregatedOutputs();
	EXPECT_EQ(out.m_occupiedHours, 0u);
	EXPECT_EQ(out.m_hoursAbove2K, 2u);
	EXPECT_EQ(out.m_hoursAbove3K, 1u);
	EXPECT_EQ(out.m_hoursAbove4K, 1u);
	EXPECT_EQ(out.m_occupiedHoursAbove2K, 2u) << "an empty room counts as always occupied";
	EXPECT_EQ(out.m_occupiedHoursAbove4K, 1u);
	EXPECT_EQ(s.m_messages.texts("[OutputManager::updateAggregatedOutputs]")[0], "Max. room air temperature: 28.5 C\n");
	// basic evaluation: (27 - 26) K for 1 h, (27.75 - 26) K for 1 h
	EXPECT_DOUBLE_EQ(out.m_basicOvertemperatureDegreeHours, 2.75);
	EXPECT_EQ(out.m_maxOperativeTemperature, 28);

	out.m_stateSeries[15] = {1, 1, 0, 0};
	out.updateAggregatedOutputs();
	EXPECT_EQ(out.m_occupiedHours, 2u);
	EXPECT_EQ(out.m_hoursAbove2K, 2u) << "counted afresh";
	EXPECT_EQ(out.m_occupiedHoursAbove2K, 1u);
	EXPECT_EQ(out.m_occupiedHoursAbove4K, 0u);

	out.m_stateSeries[0] = {0};
	out.m_stateSeries[14] = {31};
	out.computeBasicResults();
	EXPECT_EQ(out.m_basicOvertemperatureDegreeHours, 0);
	EXPECT_EQ(out.m_maxOperativeTemperature, 31);
}


TEST(RXOutputManager, WritesTheResultFilesOfAYear) {
	OutputSetup s;
	RX::OutputManager & out = s.m_outputs;
	s.runHourly(0, YEAR);
	ASSERT_EQ(out.m_stateSeries[0].size(), 8761u);
	out.writeOutputFiles(QString::fromStdString(s.m_dir.file("results")));
	out.writeLECOutputs(QString::fromStdString(s.m_dir.file("results/lec.txt")));

	const std::vector<std::string> ccd = lines(s.file("RoomTemperature.ccd"));
	ASSERT_EQ(ccd.size(), 4u + 8760u);
	EXPECT_EQ(ccd[0], "# Room temperature");
	EXPECT_EQ(ccd[1], "# Type: Temperature");
	EXPECT_EQ(ccd[2], "TEMPER\tC");
	EXPECT_EQ(ccd[3], "");
	EXPECT_TRUE(startsWith(ccd[4], "  0\t01:00:00\t"));
	EXPECT_TRUE(startsWith(ccd.back(), "365\t00:00:00\t"));
	std::ostringstream row;
	row << "  0\t01:00:00\t" << std::setw(10) << out.m_stateSeries[12][1] << std::string(9, ' ');
	EXPECT_EQ(ccd[4], row.str());
	EXPECT_FALSE(std::filesystem::exists(s.m_dir.file("results/RoomRelativeHumidity.ccd")));

	const std::vector<std::string> states = lines(s.file("states.tsv"));
	ASSERT_EQ(states.size(), 8762u);
	EXPECT_TRUE(startsWith(states[0], "Time [d]\tAmbient temperature [C]\t"));
	EXPECT_TRUE(endsWith(states[0], "\tOvertemperature hours [Kh]\t"));
	EXPECT_TRUE(startsWith(states[8761], "365\t"));

	const std::vector<std::string> fluxes = lines(s.file("fluxes.tsv"));
	EXPECT_TRUE(endsWith(fluxes[0], "\tVentilation rate (infiltration) [1/h]\t"));
	const std::vector<std::string> integrals = lines(s.file("flux_integrals.tsv"));
	EXPECT_NE(integrals[0].find("\tHeating loads [J] * 1e-6\t"), std::string::npos) << integrals[0];

	const std::vector<std::string> months = lines(s.file("flux_month_integrals.tsv"));
	ASSERT_EQ(months.size(), 13u);
	EXPECT_TRUE(startsWith(months[0], "Month\tNatural ventilation heat loss/gain [kWh]\tHeating loads [kWh]\t"));
	std::ostringstream january;
	january << "1\t" << (out.m_fluxIntegralSeries[0][744] - out.m_fluxIntegralSeries[0][0])/3.6e6 << "\t";
	EXPECT_TRUE(startsWith(months[1], january.str()));
	EXPECT_TRUE(startsWith(months[12], "12\t"));
	EXPECT_EQ(months[12].find("NaN"), std::string::npos);

	const std::vector<std::string> wallStates = lines(s.file("wall_states.tsv"));
	EXPECT_TRUE(startsWith(wallStates[0], "Time [d]\tWall 0.Wall inside surface temperatures [C]\tWall 1."));
	EXPECT_EQ(wallStates[0].find("relative humidity"), std::string::npos);
	const std::vector<std::string> wallFluxes = lines(s.file("wall_fluxes.tsv"));
	EXPECT_NE(wallFluxes[0].find("\tWall 5.Convective heat transfer flux through window in wall (wrt to wall area) [W/m2] \t"),
			  std::string::npos);
	EXPECT_EQ(lines(s.file("wall_flux_integrals.tsv")).size(), 8762u);

	std::ostringstream lec;
	lec << "Heating demand [kWh/a]         = " << out.m_fluxIntegralSeries[1].back()/3.6e6 << "\n"
		<< "Cooling demand [kWh/a]         = " << out.m_fluxIntegralSeries[2].back()/3.6e6 << "\n"
		<< "Window radiation gains [kWh/a] = " << out.m_fluxIntegralSeries[9].back()/3.6e6 << "\n";
	EXPECT_EQ(s.file("lec.txt"), lec.str());
	EXPECT_GT(out.m_fluxIntegralSeries[9].back(), 0);
}


TEST(RXOutputManager, CutsTheMonthsAtTheirSimulationTimes) {
	const unsigned int gains = RX::OutputManager::F_WINDOW_SOLAR_GAINS;
	// the window's solar gains of each month [kWh] as flux_month_integrals.tsv gives them
	const auto monthlyGains = [gains](const OutputSetup & s) {
		s.m_outputs.writeOutputFiles(QString::fromStdString(s.m_dir.file("results")));
		std::vector<double> values;
		for (const std::string & row : lines(s.file("flux_month_integrals.tsv"))) {
			std::istringstream cells(row);
			std::string cell;
			for (unsigned int j = 0; j <= gains + 1; ++j)
				std::getline(cells, cell, '\t');
			values.push_back(values.empty() && row.compare(0, 5, "Month") == 0 ? 0 : std::stod(cell));
		}
		values.erase(values.begin());
		return values;
	};
	std::vector<double> january;
	for (double dt : {3600.0, 1800.0}) {
		OutputSetup s;
		s.runHourly(0, YEAR, dt);
		const std::vector<double> months = monthlyGains(s);
		ASSERT_EQ(months.size(), 12u);
		// the months add up to the year, whatever the output step (six digits each)
		const std::vector<double> & integral = s.m_outputs.m_fluxIntegralSeries[gains];
		double sum = 0;
		for (double m : months)
			sum += m;
		EXPECT_NEAR(sum, (integral.back() - integral.front())/3.6e6, 1e-5*sum) << dt;
		january.push_back(months[0]);
	}
	// the sun of a January sampled every half hour instead of every hour
	EXPECT_NEAR(january[1], january[0], 0.02*january[0]);

	// a run from 1 February to 1 April covers February and March only
	OutputSetup s;
	s.runHourly(31*86400.0, 90*86400.0);
	const std::vector<double> months = monthlyGains(s);
	const std::vector<double> & integral = s.m_outputs.m_fluxIntegralSeries[gains];
	EXPECT_TRUE(std::isnan(months[0]));
	EXPECT_NEAR(months[1], (integral[28*24] - integral[0])/3.6e6, 1e-5*months[1]);
	EXPECT_NEAR(months[2], (integral[59*24] - integral[28*24])/3.6e6, 1e-5*months[2]);
	EXPECT_TRUE(std::isnan(months[3]));
	EXPECT_EQ(s.m_outputs.monthIntegral(gains, 2), integral[28*24] - integral[0]);

	// a run from day 400 to day 462 covers March of its second year (days 424 to 455) whole
	OutputSetup second;
	second.runHourly(400*86400.0, 462*86400.0);
	const std::vector<double> later = monthlyGains(second);
	const std::vector<double> & laterIntegral = second.m_outputs.m_fluxIntegralSeries[gains];
	EXPECT_TRUE(std::isnan(later[1]));
	EXPECT_NEAR(later[2], (laterIntegral[55*24] - laterIntegral[24*24])/3.6e6, 1e-5*later[2]);
	EXPECT_TRUE(std::isnan(later[3]));
}


TEST(RXOutputManager, WritesTimeStampsNaNAndMoistureColumnsOfShortRuns) {
	OutputSetup s;
	RX::OutputManager & out = s.m_outputs;
	const QString dir = QString::fromStdString(s.m_dir.file("results"));
	// one output: the climate-data file holds its header only
	s.runHourly(0, 0);
	out.writeOutputFiles(dir);
	EXPECT_EQ(s.file("RoomTemperature.ccd"), "# Room temperature\n# Type: Temperature\nTEMPER\tC\n\n");

	s.m_model.m_room.m_moistureBalanceEnabled = true;
	out.m_stateSeries[0] = {0, 0.5, (3600 - 1e-6)/86400, 1.0/86400};
	out.m_stateSeries[12] = {20, 21.5, 22, -0.000123456};
	out.m_stateSeries[17] = {50, 55};
	out.writeOutputFiles(dir);
	EXPECT_EQ(s.file("RoomTemperature.ccd"), "# Room temperature\n# Type: Temperature\nTEMPER\tC\n\n"
			  "  0\t12:00:00\t      21.5         \n"
			  "  0\t01:00:00\t        22         \n"
			  "  0\t00:00:01\t-0.000123456         \n");
	EXPECT_EQ(s.file("RoomRelativeHumidity.ccd"), "# Room relative humidity\n# Type: Relative humidity\nRELHUM\t%\n\n"
			  "  0\t12:00:00\t        55         \n"
			  "  0\t01:00:00\t       NaN         \n"
			  "  0\t00:00:01\t       NaN         \n");
	const std::vector<std::string> states = lines(s.file("states.tsv"));
	ASSERT_EQ(states.size(), 5u);
	EXPECT_TRUE(endsWith(states[0], "\tRoom air water content (mass vapor/mass dry air) [kg/kg]\t"));
	EXPECT_TRUE(startsWith(states[2], "0.5\t"));
	EXPECT_TRUE(startsWith(states[3], "0.04166666666\tNaN\t"));
	EXPECT_NE(s.file("flux_integrals.tsv").find("Natural ventilation moisture loss/gain [kg] * 1e-6\t\n"), std::string::npos);
	const std::vector<std::string> months = lines(s.file("flux_month_integrals.tsv"));
	ASSERT_EQ(months.size(), 13u);
	EXPECT_EQ(months[3], "3\t" + [] { std::string r; for (int j = 0; j < 21; ++j) r += "NaN\t"; return r; }());
	EXPECT_NE(s.file("wall_states.tsv").find("\tWall 5.Wall inside surface relative humidity [%]\t\n"), std::string::npos);

	out.writeLECOutputs(QString::fromStdString(s.m_dir.file("results/lec.txt")));
	EXPECT_FALSE(std::filesystem::exists(s.m_dir.file("results/lec.txt")));
	EXPECT_EQ(s.m_messages.texts("[OutputManager::writeLECOutputs]"),
			  std::vector<std::string>{"Simulation aborted before computing 8760 hours."});
	EXPECT_EQ(s.m_messages.m_messages.back().m_type, ZEB::MSG_ERROR);

	EXPECT_TRUE(TestSupport::throwsWith([&] { out.writeOutputFiles(QString()); }, "!outputDir.isEmpty()",
										"[OutputManager::writeOutputFiles]"));
	for (std::vector<double> & series : out.m_fluxSeries)
		series.resize(8761);

	// the second year of a cyclic run starts from the first year's totals: only its own count
	for (unsigned int j : {1u, 2u, 9u})
		out.m_fluxIntegralSeries[j] = {100*3.6e6, 150*3.6e6};
	out.writeLECOutputs(QString::fromStdString(s.m_dir.file("results/lec.txt")));
	EXPECT_EQ(s.file("lec.txt"), "Heating demand [kWh/a]         = 50\n"
								 "Cooling demand [kWh/a]         = 50\n"
								 "Window radiation gains [kWh/a] = 50\n");

	// a thermal run into the results of the moisture run: no humidities of that run stay as if
	// they were this one's, and the files that are not the results' stay
	s.m_model.m_room.m_moistureBalanceEnabled = false;
	out.writeOutputFiles(dir);
	EXPECT_FALSE(std::filesystem::exists(s.m_dir.file("results/RoomRelativeHumidity.ccd")));
	EXPECT_TRUE(std::filesystem::exists(s.m_dir.file("results/lec.txt")));
	// results of a version that listed no files: a humidity file may be that run's or the user's,
	// so it stays, but not in silence
	std::filesystem::remove(s.m_dir.file("results/") + RX::OutputManager::RESULT_LIST);
	std::ofstream(s.m_dir.file("results/RoomRelativeHumidity.ccd")) << "older\n";
	s.m_messages.m_messages.clear();
	out.writeOutputFiles(dir);
	EXPECT_EQ(s.file("RoomRelativeHumidity.ccd"), "older\n");
	ASSERT_EQ(s.m_messages.texts("[OutputManager::writeOutputFiles]").size(), 1u);
	EXPECT_EQ(s.m_messages.m_messages.back().m_type, ZEB::MSG_WARNING);
}


TEST(RXOutputManager, ReportsAResultFileItCannotWriteAndLeavesNoPartOfIt) {
	namespace fs = std::filesystem;
	OutputSetup s;
	RX::OutputManager & out = s.m_outputs;
	s.runHourly(0, 24*3600);
	const char * const location = "[OutputManager::writeOutputFiles]";

	// missing parents are made
	const std::string nested = s.m_dir.file("a/b/results");
	out.writeOutputFiles(QString::fromStdString(nested));
	EXPECT_TRUE(fs::is_regular_file(nested + "/wall_flux_integrals.tsv"));

	// a directory in a result file's place: named, and no file of the run takes its name
	const std::string blocked = s.m_dir.file("blocked");
	fs::create_directories(blocked + "/fluxes.tsv");
	EXPECT_EQ(TestSupport::thrownAt([&] { out.writeOutputFiles(QString::fromStdString(blocked)); }, location),
			  "Cannot write file: '" + blocked + "/fluxes.tsv' (Is a directory).");
	std::vector<std::string> left;
	for (const fs::directory_entry & entry : fs::directory_iterator(blocked))
		left.push_back(entry.path().filename().string());
	EXPECT_EQ(left, std::vector<std::string>{"fluxes.tsv"});

	const std::string file = s.m_dir.file("file");
	std::ofstream(file) << "x";
	EXPECT_EQ(TestSupport::thrownAt([&] { out.writeOutputFiles(QString::fromStdString(file + "/results")); }, location),
			  "Cannot create output directory '" + file + "/results' (Not a directory).");

	for (std::vector<double> & series : out.m_fluxSeries)
		series.resize(8761);
	out.writeLECOutputs(QString::fromStdString(blocked + "/fluxes.tsv"));
	EXPECT_EQ(s.m_messages.texts("[OutputManager::writeLECOutputs]").back(),
			  "Cannot write file: '" + blocked + "/fluxes.tsv' (Is a directory).");
}
