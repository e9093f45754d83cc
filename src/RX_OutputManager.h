#ifndef RX_OutputManagerH
#define RX_OutputManagerH

#include <array>
#include <vector>

#include <QString>

namespace RX {

class CalovindaModel;

/*! Collects the room model's results in memory and writes them as result files.

	At every output time appendOutputs() takes a snapshot of 24 room states, 21 room fluxes and,
	per construction, 9 wall states and 9 wall fluxes and appends it to the series; after every
	completed integrator step integrateOutputs() integrates the fluxes, so that every output also
	gets the flux integrals up to its time. At the end of a run the aggregated results and the
	result files are computed from the series.

	The manager reads the model through m_model (not owned; set by the owner before
	initOutputs(), which sizes everything, and valid while outputs are taken). Series grow by one
	entry per output time within the capacity reserved by initOutputs(); integrateOutputs()
	allocates nothing. All members are public for the owner (the solver adaptor keeps the running
	extremes) and for result readers.

	Temperatures are in C, relative humidities in %, angles in degrees and the time in days.
*/
class OutputManager {
public:
	/*! Number of room states, room fluxes, wall state kinds and wall flux kinds. */
	static constexpr unsigned int NUM_STATES = 24;
	static constexpr unsigned int NUM_FLUXES = 21;
	static constexpr unsigned int NUM_WALL_STATES = 9;
	static constexpr unsigned int NUM_WALL_FLUXES = 9;
	/*! The file in the results directory that lists the result files written there. */
	static constexpr const char * RESULT_LIST = ".calovinda-results";
	/*! The files that writeOutputFiles writes, in any run. */
	static constexpr std::array<const char *, 9> RESULT_FILES = {"states.tsv", "fluxes.tsv", "flux_integrals.tsv",
		"flux_month_integrals.tsv", "wall_states.tsv", "wall_fluxes.tsv", "wall_flux_integrals.tsv",
		"RoomTemperature.ccd", "RoomRelativeHumidity.ccd"};
	/*! Room states that need a name of their own. */
	static constexpr unsigned int S_TIME = 0;
	static constexpr unsigned int S_GLIDING_AVERAGE_TEMPERATURE = 2;
	static constexpr unsigned int S_ROOM_AIR_TEMPERATURE = 12;
	static constexpr unsigned int S_OPERATIVE_TEMPERATURE = 14;
	static constexpr unsigned int S_OCCUPANCY = 15;
	static constexpr unsigned int S_OVERTEMPERATURE_HOURS = 16;
	static constexpr unsigned int S_RELATIVE_HUMIDITY = 17;
	/*! States from here on are filled only with the moisture balance. */
	static constexpr unsigned int S_FIRST_MOISTURE_STATE = 17;
	/*! Room fluxes that need a name of their own. */
	static constexpr unsigned int F_HEATING_LOAD = 1;
	static constexpr unsigned int F_COOLING_LOAD = 2;
	static constexpr unsigned int F_WINDOW_SOLAR_GAINS = 9;
	static constexpr unsigned int F_VENTILATION_RATE = 12;
	/*! Fluxes from here on are written only with the moisture balance. */
	static constexpr unsigned int F_FIRST_MOISTURE_FLUX = 13;
	/*! The wall state filled only with the moisture balance. */
	static constexpr unsigned int WS_SURFACE_RELATIVE_HUMIDITY = 8;

	/*! Per kind a vector of one entry per construction. */
	typedef std::vector<std::vector<double> >	PerConstruction;
	/*! Per kind and construction a series. */
	typedef std::vector<std::vector<std::vector<double> > >	PerConstructionSeries;

	/*! Unbound: every container empty, every number zero, every description empty. */
	OutputManager();
	/*! As above, bound to model (not owned). */
	explicit OutputManager(const CalovindaModel * model);

	/*! Sizes and resets everything for the bound, initialised model: the descriptions, zero
		values, every integral series [0], capacity for the run's outputs. Throws ZEB::Exception
		without a model. */
	void initOutputs();
	/*! The current state, flux, wall state and wall flux values from the model's last evaluation. */
	void updateOutputQuantities();
	/*! After every completed step, t its end time [s]: takes the values at t and adds value * step
		length to every flux integral (the end value held over the whole step). Allocates nothing. */
	void integrateOutputs(double t);
	/*! At every output time, after the model was brought to that time and state: appends one
		entry to every series; the integrals are taken back linearly from the last completed step
		to the output time. At the end of the first year of a cyclic two-year run every series
		restarts with its last entry, at time 0. Throws ZEB::Exception, appending nothing, when the
		output time lies after the last completed step. */
	void appendOutputs();

	/*! Over-temperature degree hours above 26 C and the maximum operative temperature of the
		whole series. */
	void computeBasicResults();
	/*! The DIN 4108-2 evaluation of the operative temperature series: the three degree-hour sums
		of the usage time, state series 16, and the verification, reported as progress messages. */
	void computeDIN4108_2Results();
	/*! Comfort counters and the running extremes (reported), then the DIN 4108-2 evaluation when
		the assessment is active, else the basic one. */
	void updateAggregatedOutputs();

	/*! The integral of flux j over month m (1 to 12) of the 365-day year [the flux's unit * s]:
		the difference of its integral series at the month's first and last instant (interpolated
		between output times that do not fall on them), in the last year of the run that holds the
		whole month; NaN when the series holds it whole in no year. */
	double monthIntegral(unsigned int j, unsigned int m) const;

	/*! Writes the tables and climate-data files of the series into outputDir, which is created
		with its missing parents, as one set (ZEB::OutputFolder, listed in RESULT_LIST): every
		file is written in full under a temporary name before any takes its own, so that a failed
		run leaves the earlier results as they were, and the result files of an earlier run that
		this one does not write (the humidity of a moisture run, say) go. Throws ZEB::Exception
		for an empty directory name, a directory that cannot be created and a file that cannot
		be written, naming it and the reason. */
	void writeOutputFiles(const QString & outputDir) const;
	/*! Writes the annual heating, cooling and window-gain demand to fileName, as the result
		files are written; reports, as error, a series that does not hold the 8761 hourly entries
		of a year or a file that cannot be written (naming the reason), and then writes nothing. */
	void writeLECOutputs(const QString & fileName) const;

	/*! The model read from; not owned. */
	const CalovindaModel *					m_model;
	/*! Number of room constructions. */
	unsigned int							m_nConstructions;

	/*! Current values, index as in the tables of descriptions. */
	std::array<double, NUM_STATES>			m_states;
	std::array<double, NUM_FLUXES>			m_fluxes;
	/*! Per kind, one value per construction. */
	PerConstruction							m_wallStates;
	PerConstruction							m_wallFluxes;

	/*! End of the last completed step seen by integrateOutputs() [s]; before the first, the time
		of the first output (0 until then). */
	double									m_tStepCompleted;
	/*! Time integrals of the fluxes up to m_tStepCompleted [unit*s]. */
	std::array<double, NUM_FLUXES>			m_fluxIntegrals;
	/*! Flux values of the last integration step. */
	std::array<double, NUM_FLUXES>			m_lastFluxes;
	/*! Per kind and construction, like the room's. */
	PerConstruction							m_wallFluxIntegrals;
	PerConstruction							m_lastWallFluxes;

	/*! One entry per output time; the integral series one more before the first step. */
	std::array<std::vector<double>, NUM_STATES>	m_stateSeries;
	std::array<QString, NUM_STATES>				m_stateDescriptions;
	std::array<std::vector<double>, NUM_FLUXES>	m_fluxSeries;
	std::array<QString, NUM_FLUXES>				m_fluxDescriptions;
	std::array<std::vector<double>, NUM_FLUXES>	m_fluxIntegralSeries;
	PerConstructionSeries					m_wallStateSeries;
	std::array<QString, NUM_WALL_STATES>	m_wallStateDescriptions;
	PerConstructionSeries					m_wallFluxSeries;
	std::array<QString, NUM_WALL_FLUXES>	m_wallFluxDescriptions;
	PerConstructionSeries					m_wallFluxIntegralSeries;

	/*! False for a run whose series nobody reads (the FMU): then appendOutputs() appends
		nothing and initOutputs() reserves nothing, so that a run of any length keeps its memory
		and is not bound to the series' two years. Set before initOutputs(). */
	bool									m_keepSeries = true;

	/*! Running extremes of the room air temperature [C] and the air change rate [1/h], kept by
		the owner after every completed step. */
	double									m_minRoomAirTemperature;
	double									m_maxRoomAirTemperature;
	double									m_minAirChangeRate;
	double									m_maxAirChangeRate;

	/*! Comfort counters of updateAggregatedOutputs(): occupied hours; hours whose operative
		temperature deviates from the comfort temperature by more than 2, 3 and 4 K; the same
		counted only in occupied hours. */
	unsigned int							m_occupiedHours;
	unsigned int							m_hoursAbove2K;
	unsigned int							m_hoursAbove3K;
	unsigned int							m_hoursAbove4K;
	unsigned int							m_occupiedHoursAbove2K;
	unsigned int							m_occupiedHoursAbove3K;
	unsigned int							m_occupiedHoursAbove4K;

	/*! DIN 4108-2: over-temperature degree hours [Kh/a] above the reference temperature, above
		it + 2 K and + 4 K, each rounded down to 0.1; whether the limit is kept. */
	double									m_overtemperatureDegreeHours;
	double									m_overtemperatureDegreeHours2K;
	double									m_overtemperatureDegreeHours4K;
	bool									m_verificationFulfilled;

	/*! Without assessment: degree hours above 26 C [Kh] and maximum operative temperature [C]. */
	double									m_basicOvertemperatureDegreeHours;
	double									m_maxOperativeTemperature;
};

} // namespace RX

#endif // RX_OutputManagerH
