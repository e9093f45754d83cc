#ifndef InstanceDataH
#define InstanceDataH

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "InstanceDataCommon.h"
#include "RX_CalovindaModelFMU.h"

namespace ZEB {
class Path;
}

/*! The FMI instance behind each fmi2Component: the instance record plus its FMU model, held by
	value. Initialised once by fmi2EnterInitializationMode, then stepped (co-simulation) or
	evaluated through the model-exchange buffers. The model is destroyed before the record's
	base, so the instance's message handler outlives it.
*/
class InstanceData : public InstanceDataCommon {
public:
	InstanceData();
	/*! Releases the results root. */
	~InstanceData() override;

	/*! Model exchange: applies m_tInput, m_yInput and new inputs to the model; nothing before a
		successful initialisation. */
	void updateIfModified() override;
	/*! Co-simulation: lets the integrator step up to tCommunicationIntervalEnd [s] exactly and
		writes every output time on the way. Throws ZEB::Exception for a time before the
		integrator's and for any failure on the way. */
	void integrateTo(double tCommunicationIntervalEnd) override;
	bool getStateReal(int vr, double & value) override;
	std::size_t numberOfStates() const override;
	const double * derivatives() const override;
	int interfaceFlags() const override;
	double integratorTime() override;
	void stateNominals(double * nominals) const override;
	/*! Also refuses a step that ends at an impossible value, before the step hook runs: the
		instance then stays as it was. */
	bool completedIntegratorStep() override;
	std::string impossibleValue() const override;
	/*! Model exchange: the number of event indicators, the room model's switching functions
		(0 before a successful initialisation). */
	std::size_t numberOfEventIndicators() const;
	/*! Model exchange: numberOfEventIndicators() values at m_tInput, m_yInput into z. */
	void eventIndicators(double * z);
	/*! Model exchange, event mode: holds what switches where the room air lies; true when the
		right-hand side changed at this event; nextEventTime [s] the next time event, infinity for
		none (RX::CalovindaModelFMU::newDiscreteStates()). */
	bool newDiscreteStates(double & nextEventTime);

	/*! Sets m_fmuStateSize: the size word, the instance's fingerprint, its FMI state and pending
		inputs, the solver objects' blocks and the model's own variables. Throws ZEB::Exception
		when a solver object present cannot be serialised. */
	void computeFMUStateSize() override;
	/*! Writes everything behind the size word. */
	void serializeFMUstate(void * state) override;
	/*! Restores the FMI state, the pending inputs, the solver objects and the model from a buffer
		that fmuStateRefusal() accepts and evaluates the model at the restored time. When a block
		is refused (ZEB::Exception), the instance is put back as it was before the call. */
	void deserializeFMUstate(void * state) override;
	/*! Why size bytes at data cannot be a state of this instance, naming the first difference
		(size, build, project and its differing sections, climate data, solver choice, number of
		unknowns); empty when they can. Touches nothing. */
	std::string fmuStateRefusal(const void * data, std::size_t size) const;
	/*! Why the instance has no FMU states (m_fmuStateSize 0): model exchange declares none, a
		co-simulation instance has them from its initialisation on. */
	std::string noFMUStatesReason() const;
	/*! The initialisation of fmi2EnterInitializationMode, run once per run, also for a state
		restored into a fresh or reset instance: init() and, in co-simulation, the size of the FMU
		states. */
	void startModel();
	/*! fmi2Reset: the instance as fmi2Instantiate made it, so that the next run repeats the first
		bit for bit. Everything a run changed goes: the model (made anew), the FMI state, the
		experiment, the inputs, the model-exchange buffers. The resource location, the results
		root with its lock, the log (which goes on), the logging switch and the FMU states handed
		out stay. Throws std::bad_alloc, with the instance unchanged, when no new model can be
		made. */
	void reset();
	bool resultsRootClaimed() const override;
	/*! The nominal values of the states that the model description declares, before the
		initialisation: those the initialisation gives, taken from a model of their own made from
		the project and its climate (no results root, no log); made once, kept through fmi2Reset.
		Throws ZEB::Exception when the model cannot be made. */
	const std::vector<double> & nominalsBeforeStart();

	/*! Takes the experiment of fmi2SetupExperiment (times in [s]); the reason for refusing it,
		empty when it is taken. The start time must be the project's (or, after a restore, the
		restored time); it is checked at once when the model runs already, else by init(). */
	std::string setupExperiment(double startTime, bool stopTimeDefined, double stopTime);
	/*! Why fmi2DoStep(tc, h) cannot run (times in [s]): a communication point other than the
		integrator's time, a negative or non-finite step, an end past the stop time; empty when
		it can. */
	std::string stepRefusal(double tc, double h);

	/*! Results and log directories, message handler, solver choice, model start-up and, in
		co-simulation, the integrator's start-up. Throws ZEB::Exception. */
	void init();

	/*! A results root of this instance alone, "ResultsRootDir" or else the user's data directory
		(a temporary one without a usable home) joined with the instance name made fit for a file
		name; the first of root, root-2, root-3, ... that no instance of any process holds. Held
		until the instance is destroyed; a second call gives the same root. Throws ZEB::Exception
		when no root can be created or "ResultsRootDir" names a drive ("C:/data"). */
	ZEB::Path claimResultsRoot();
	/*! The instance name as one directory name: '/', '\\' and control characters become '_', a
		name of dots and blanks only becomes underscores, and a long name is cut at a character
		boundary. */
	static std::string resultsDirectoryName(const std::string & instanceName);

	RX::CalovindaModelFMU	m_modelFMU;

private:
	/*! Words of the fingerprint: build, project, climate, solver choice, number of unknowns,
		number of project sections, then per section the hashes of its name and its text. */
	static const std::size_t FingerprintWords = 6 + 2*32;
	/*! Words of the instance's own block: FMI state, pending-inputs flag. */
	static const std::size_t InstanceWords = 2;
	/*! Where the fingerprint begins in a state buffer [bytes]: behind the size word. */
	static const std::size_t FingerprintOffset = sizeof(std::uint64_t);
	/*! Where the instance's words begin in a state buffer [bytes]: behind the size word and the
		fingerprint. */
	static const std::size_t InstanceWordsOffset = FingerprintOffset + FingerprintWords*sizeof(std::uint64_t);
	/*! Where the solver objects' blocks begin in a state buffer [bytes]. */
	static const std::size_t HeaderBytes = InstanceWordsOffset + InstanceWords*sizeof(std::uint64_t);

	/*! Initialises model on the project in resourceDir as every model of an instance is: the
		instance's solvers, no output series, the room's files taken beside the project only. */
	static void initModel(RX::CalovindaModelFMU & model, const ZEB::Path & resourceDir);
	/*! Destroys the model and constructs it anew in its place. */
	void renewModel() noexcept;
	/*! Whether the project starts at startTime [s] (or, after a restore, the run stands there). */
	bool startsAt(double startTime);
	/*! The fingerprint of the build, the project as read, its climate data and the solver choice. */
	void computeFingerprint(const ZEB::Path & projectFile);

	/*! Identifies the build, the project and its climate in the instance's FMU states, so that a
		state of another room is refused, naming the difference, before its blocks are read. */
	std::array<std::uint64_t, FingerprintWords>	m_fingerprint;
	/*! The project's sections (children of the room element) in fingerprint order, to name them. */
	std::vector<std::string>	m_sectionNames;
	/*! nominalsBeforeStart(), empty until asked for. */
	std::vector<double>		m_nominalsBeforeStart;
	/*! The open, locked lock file of the results root; -1 before claimResultsRoot(). */
	int						m_resultsRootLock;
};

#endif // InstanceDataH
