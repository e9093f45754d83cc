#ifndef InstanceDataCommonH
#define InstanceDataCommonH

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fmi2Functions.h"

#include "RX_FMU2InputOutputDefinitions.h"

namespace ZEB {
class FormatString;
class MessageHandler;
class Path;
}

namespace KADRIX {
class FMUModelInterface;
}

/*! Everything an FMI instance needs apart from the room model: the host's callbacks, names and
	paths, the mode flags, the model-exchange buffers, the instance's message handler and the FMU
	states handed out. The derived InstanceData adds the model, its start-up and stepping.

	The record owns its message handler and every FMU state buffer in m_fmuStates; it does not own
	m_fmuModel, which lives inside the derived record. The host's callback table is copied, so the
	host's table may go away after fmi2Instantiate.

	Messages for the host are collected while the instance works and handed to the host's logger
	only after the call's work is done (takeHostMessages, deliverToHost), so that a logger may call
	back into this or another instance. The instance writes nothing to the process's console.
*/
class InstanceDataCommon {
public:
	/*! One message for the host's logger, waiting for the end of the call's work. */
	struct HostMessage {
		fmi2Status	m_status;
		const char *	m_category;
		std::string	m_text;
	};

	/*! A progress text that a host's solver has the instance repeat at every evaluation, kept
		with the values it was made of (their bits): the columns of a difference-quotient Jacobian
		share one time and one size, so one text serves them all. */
	struct RecurringText {
		std::uint64_t	m_first = 0;
		std::uint64_t	m_second = 0;
		bool			m_made = false;
		std::string		m_text;
	};

	/*! The host's callbacks, copied from its table; only logger and componentEnvironment are used. */
	struct Callbacks {
		fmi2CallbackLogger			logger = nullptr;
		fmi2CallbackAllocateMemory	allocateMemory = nullptr;
		fmi2CallbackFreeMemory		freeMemory = nullptr;
		fmi2StepFinished			stepFinished = nullptr;
		fmi2ComponentEnvironment	componentEnvironment = nullptr;
	};

	/*! The states of the FMI 2.0 state machine an instance passes through, one bit each, so that
		the states a call is allowed in form a mask. */
	enum FMIState : unsigned int {
		FMIInstantiated			= 0x01,
		FMIInitializationMode	= 0x02,
		/*! co-simulation: every step completes within fmi2DoStep */
		FMIStepComplete			= 0x04,
		FMIEventMode			= 0x08,
		FMIContinuousTimeMode	= 0x10,
		FMITerminated			= 0x20,
		/*! a step or the initialisation failed: only a restored FMU state brings the instance back */
		FMIError				= 0x40,
		/*! co-simulation: an FMU state was restored before the host's set-up was done; the host may
			still run fmi2SetupExperiment and the initialisation, which keep the restored run */
		FMIRestored				= 0x80,
		/*! co-simulation: never entered, no step is left pending; only fmi2CancelStep asks for it */
		FMIStepInProgress		= 0x100
	};

	/*! The entry points that work on an instance, as indices into the table of the states each
		is allowed in. */
	enum FMICall : unsigned int {
		CallSetDebugLogging, CallSetupExperiment, CallEnterInitializationMode, CallExitInitializationMode,
		CallTerminate, CallReset, CallGetReal, CallGetInteger, CallGetBoolean, CallGetString, CallSetReal,
		CallSetInteger, CallSetBoolean, CallSetString, CallGetFMUstate, CallSetFMUstate, CallFreeFMUstate,
		CallSerializedFMUstateSize, CallSerializeFMUstate, CallDeSerializeFMUstate, CallGetDirectionalDerivative,
		CallEnterEventMode, CallNewDiscreteStates, CallEnterContinuousTimeMode, CallCompletedIntegratorStep,
		CallSetTime, CallSetContinuousStates, CallGetDerivatives, CallGetEventIndicators, CallGetContinuousStates,
		CallGetNominalsOfContinuousStates, CallSetRealInputDerivatives, CallGetRealOutputDerivatives, CallDoStep,
		CallCancelStep, CallGetStatus, CallGetRealStatus, CallGetIntegerStatus, CallGetBooleanStatus,
		CallGetStringStatus,
		NumFMICalls
	};

	/*! fmuModel is only stored: the model may not be constructed yet. Creates the instance's
		message handler without log file and without console output, so that messages before the
		initialisation reach no console either. */
	explicit InstanceDataCommon(KADRIX::FMUModelInterface * fmuModel);
	/*! Deletes the message handler (which makes the registry's default current where it was
		current) and frees every FMU state still handed out. */
	virtual ~InstanceDataCommon();

	InstanceDataCommon(const InstanceDataCommon &) = delete;
	InstanceDataCommon & operator=(const InstanceDataCommon &) = delete;

	/*! Model exchange: brings the model to m_tInput, m_yInput and the inputs. */
	virtual void updateIfModified() {}
	/*! Co-simulation: integrates to tCommunicationIntervalEnd [s]. */
	virtual void integrateTo(double tCommunicationIntervalEnd) { (void)tCommunicationIntervalEnd; }
	virtual void computeFMUStateSize() { m_fmuStateSize = 0; }
	/*! The size word that begins every FMU state buffer and its serialised form: the whole
		buffer's size [bytes], this word included (unsigned 64-bit, native byte order). */
	static std::uint64_t stateSizeWord(const void * state);
	static void setStateSizeWord(void * state, std::uint64_t size);
	virtual void serializeFMUstate(void * state) { (void)state; }
	virtual void deserializeFMUstate(void * state) { (void)state; }
	virtual void clearBuffers() {}
	/*! The state x[i] (value reference 10000 + i) or its derivative (20000 + i) of the model, as the
		model description declares them; false for any other reference. */
	virtual bool getStateReal(int vr, double & value) { (void)vr; (void)value; return false; }
	/*! The room's InterfaceDefinition flags, which decide the model description's variables;
		before the project is read every optional variable counts as declared. */
	virtual int interfaceFlags() const { return 0x30; }
	/*! Number of continuous states of the initialised model; 0 before. */
	virtual std::size_t numberOfStates() const { return 0; }
	/*! Model exchange: the numberOfStates() derivatives of the model's last evaluation, read in
		place (a host asks for them at every evaluation); null before the initialisation and in
		co-simulation. */
	virtual const double * derivatives() const { return nullptr; }
	/*! The integrator's time [s] in co-simulation. */
	virtual double integratorTime() { return 0; }
	/*! Whether the results root is claimed for this instance: "ResultsRootDir" cannot change then. */
	virtual bool resultsRootClaimed() const { return false; }
	/*! The nominal values of the numberOfStates() states. */
	virtual void stateNominals(double * nominals) const { (void)nominals; }
	/*! A value of the model's last evaluation that the model cannot reach, named with the value
		and the model time; empty when there is none. */
	virtual std::string impossibleValue() const { return std::string(); }
	/*! Refuses (logs "<function>: <impossibleValue()>" and throws ZEB::Exception) to hand out the
		model's values when one of them is impossible. */
	void refuseImpossibleValue(const char * function) const;

	/*! The name of the entry point call, as messages show it. */
	static const char * callName(FMICall call);
	/*! Whether call may run now; when not, the reason, naming the call and the instance's state. */
	bool admits(FMICall call, std::string & refusal) const;
	/*! The FMI state after call: error when it failed half-way (threw) where the table says so,
		the table's next state when it succeeded (fmi2OK or fmi2Warning). */
	void afterCall(FMICall call, fmi2Status status, bool threw);
	/*! A number as messages to the host show it, with 15 significant digits, "NaN" for not-a-number. */
	static std::string numberText(double value);
	/*! The name of an FMI state, as messages show it. */
	static const char * fmiStateName(unsigned int state);

	/*! Copies the host's table. */
	void setCallbacks(const fmi2CallbackFunctions & functions);

	/*! Keeps the text of msg for the host's logger while logging is on, and always for an error:
		a host that switched logging off still learns why a call failed. category must be a literal. */
	void logger(fmi2Status status, const char * category, const ZEB::FormatString & msg) const;
	void logger(fmi2Status status, const char * category, const char * msg) const;
	/*! As logger(), for a text without placeholders, taken as it is. */
	void loggerText(fmi2Status status, const char * category, std::string text) const;
	/*! The messages kept for the host since the last call, in order; the record keeps none. */
	std::vector<HostMessage> takeHostMessages();
	/*! Whether an error among the messages kept for the host after the first count of them holds
		text. */
	bool errorKeptAfter(std::size_t count, const std::string & text) const;

	void setReal(int vr, double value);
	void setInteger(int vr, int value);
	void setBoolean(int vr, bool value);
	/*! Value reference 42 sets m_resultsRootDir, once the root is claimed (by an initialisation,
		also one undone by fmi2Reset) only to the root in use or the value set before it ("fixed");
		value must not be null. */
	void setString(int vr, const char * value);
	/*! Refuses (logs and throws ZEB::Exception) the reading of variable vr by function while no
		initialisation has succeeded: the model then holds no values of the run. */
	void requireValues(const char * function, int vr) const;
	/*! Refuses (logs and throws ZEB::Exception) variable vr in function unless the instance's
		model description declares it as a variable of type. */
	void requireDeclared(const char * function, int vr, RX::FMU2BaseType type) const;
	/*! In model exchange the getters first bring the model up to date. */
	void getReal(int vr, double & value);
	void getInteger(int vr, int & value);
	void getBoolean(int vr, bool & value);
	/*! Value reference 42 gives m_resultsRootDir at once; value points into the record or the model. */
	void getString(int vr, const char *& value);

	/*! Model exchange: the model's step hook at m_tInput, m_yInput. True when the hook changed the
		model's equations, so that the host must handle an event before it integrates on. */
	virtual bool completedIntegratorStep();

	/*! Opens the instance's log file logfile (started afresh) and makes the instance's handler
		current. Throws ZEB::Exception when a log file was opened before or the log cannot be opened. */
	void setupMessageHandler(const ZEB::Path & logfile);

	/*! Sends text through the host's logger (nothing for a null logger) as a plain message:
		'%' and '#' are doubled so that no host expands them, and an overlong text is cut at a
		character boundary. Used for every message the host sees. */
	static void sendToHost(const Callbacks & callbacks, const std::string & instanceName, fmi2Status status,
						   const char * category, const std::string & text);
	/*! sendToHost() for each message in order; a failing message does not stop the others. */
	static void deliverToHost(const Callbacks & callbacks, const std::string & instanceName,
							  const std::vector<HostMessage> & messages) noexcept;

	/*! The FMU's GUID, equal to the one in the model description. */
	static const char * const GUID;

	Callbacks							m_callbacks;
	std::string							m_instanceName;
	/*! The resource location URI given to fmi2Instantiate. */
	std::string							m_resourceLocation;
	bool								m_loggingOn;
	bool								m_modelExchange;
	/*! "ResultsRootDir" (value reference 42); after initialisation the results root in use. */
	std::string							m_resultsRootDir;
	/*! "ResultsRootDir" as the host set it before the start ("" by default). */
	std::string							m_resultsRootAsked;
	/*! Model exchange: the time set by the host [s]. */
	double								m_tInput;
	/*! Model exchange: the states set by the host (n values after initialisation). */
	std::vector<double>					m_yInput;
	/*! Set by every value setter, cleared when the model has taken the inputs over. */
	bool								m_externalInputVarsModified;
	/*! The instance's handler: console output off; its log file is opened by the initialisation. */
	std::unique_ptr<ZEB::MessageHandler> m_messageHandler;
	/*! Bytes of one FMU state buffer; 0 means FMU states are not available. */
	std::size_t							m_fmuStateSize;
	/*! FMU state buffers handed out and not yet freed, each from malloc. */
	std::set<void *>					m_fmuStates;
	/*! The FMU variable interface of the model inside the derived record. */
	KADRIX::FMUModelInterface *			m_fmuModel;
	/*! True once an initialisation succeeded: only then may the model be evaluated or stepped.
		Set by the initialisation alone. */
	bool								m_modelReady;
	/*! True once setupMessageHandler opened the log file. */
	bool								m_logFileOpen;
	/*! Messages for the host's logger not yet taken by takeHostMessages(). */
	mutable std::vector<HostMessage>	m_hostMessages;
	/*! The progress texts of fmi2SetTime, fmi2SetContinuousStates, fmi2GetDerivatives and
		fmi2GetEventIndicators. */
	RecurringText						m_setTimeText;
	RecurringText						m_setStatesText;
	RecurringText						m_derivativesText;
	RecurringText						m_indicatorsText;
	/*! The instance's FMI state, one of FMIState; part of every FMU state. Changed only by
		afterCall() and by the restore of an FMU state. */
	unsigned int						m_fmiState;
	/*! The experiment of fmi2SetupExperiment: its start time [s] (checked against the project's
		at the initialisation) and, when m_stopTimeDefined, its stop time [s], past which no
		step may go. */
	bool								m_startTimeDefined;
	double								m_startTime;
	bool								m_stopTimeDefined;
	double								m_stopTime;
};

#endif // InstanceDataCommonH
