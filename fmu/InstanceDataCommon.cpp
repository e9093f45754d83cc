#include "InstanceDataCommon.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <locale>
#include <sstream>

#include "KADRIX_FMUModelInterface.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Path.h"
#include "ZEB_StringUtils.h"

#include "RX_FMU2InputOutputDefinitions.h"
#include "RX_FMU2ModelDescription.h"

const char * const InstanceDataCommon::GUID = RX::FMU2_GUID;

namespace {

/*! Longest text sent to a host [bytes]: hosts cut or buffer messages (2048 bytes in one of them). */
const std::size_t MAX_HOST_MESSAGE = 1000;

typedef InstanceDataCommon IDC;

/*! The FMI states a call is allowed in, for each kind of instance (0: not in this kind), whether
	it needs an initialised model, the state it leaves when it succeeds (0: the state stays) and
	whether a failure half-way leaves the error state. Rows in the order of FMICall. */
struct CallRow {
	const char *	m_function;
	unsigned int	m_coSimulation, m_modelExchange;
	bool			m_needsModel;
	unsigned int	m_coSimulationAfter, m_modelExchangeAfter;
	bool			m_failureIsError;
};

enum : unsigned int {
	INST = InstanceDataCommon::FMIInstantiated, INIT = InstanceDataCommon::FMIInitializationMode,
	STEP = InstanceDataCommon::FMIStepComplete, EVENT = InstanceDataCommon::FMIEventMode,
	CONT = InstanceDataCommon::FMIContinuousTimeMode, TERM = InstanceDataCommon::FMITerminated,
	ERR = InstanceDataCommon::FMIError, REST = InstanceDataCommon::FMIRestored,
	PEND = InstanceDataCommon::FMIStepInProgress,
	ANY = INST | INIT | STEP | EVENT | CONT | TERM | ERR | REST | PEND,
	AFTER_SETUP = INIT | STEP | EVENT | CONT | TERM | ERR | REST,
	CS_SET = INST | INIT | STEP | REST, ME_SET = INST | INIT | EVENT | CONT, ME_RUN = EVENT | CONT
};

const CallRow CALLS[] = {
	{"fmi2SetDebugLogging",					ANY, ANY, false, 0, 0, false},
	{"fmi2SetupExperiment",					INST | REST, INST, false, 0, 0, false},
	{"fmi2EnterInitializationMode",			INST | REST, INST, false, INIT, INIT, true},
	{"fmi2ExitInitializationMode",			INIT | REST, INIT, false, STEP, EVENT, false},
	// hosts clean up with fmi2Terminate after a failure as well
	{"fmi2Terminate",						STEP | ERR | REST, ME_RUN | ERR, false, TERM, TERM, false},
	{"fmi2Reset",							ANY, ANY, false, INST, INST, false},
	{"fmi2GetReal",							AFTER_SETUP, AFTER_SETUP, false, 0, 0, false},
	{"fmi2GetInteger",						AFTER_SETUP, AFTER_SETUP, false, 0, 0, false},
	{"fmi2GetBoolean",						AFTER_SETUP, AFTER_SETUP, false, 0, 0, false},
	// the results root is a parameter: it has its value from the start
	{"fmi2GetString",						AFTER_SETUP | INST, AFTER_SETUP | INST, false, 0, 0, false},
	{"fmi2SetReal",							CS_SET, ME_SET, false, 0, 0, false},
	{"fmi2SetInteger",						CS_SET, ME_SET, false, 0, 0, false},
	{"fmi2SetBoolean",						CS_SET, ME_SET, false, 0, 0, false},
	{"fmi2SetString",						CS_SET, ME_SET, false, 0, 0, false},
	{"fmi2GetFMUstate",						ANY, ANY, false, 0, 0, false},
	{"fmi2SetFMUstate",						ANY, ANY, false, 0, 0, false},
	{"fmi2FreeFMUstate",					ANY, ANY, false, 0, 0, false},
	{"fmi2SerializedFMUstateSize",			ANY, ANY, false, 0, 0, false},
	{"fmi2SerializeFMUstate",				ANY, ANY, false, 0, 0, false},
	// a failed start of the model for the restore is a failed initialisation
	{"fmi2DeSerializeFMUstate",				ANY, ANY, false, 0, 0, true},
	{"fmi2GetDirectionalDerivative",		ANY, ANY, false, 0, 0, false},
	{"fmi2EnterEventMode",					0, ME_RUN, false, 0, EVENT, false},
	{"fmi2NewDiscreteStates",				0, EVENT, false, 0, 0, false},
	{"fmi2EnterContinuousTimeMode",			0, EVENT, false, 0, CONT, false},
	{"fmi2CompletedIntegratorStep",			0, CONT, true, 0, 0, false},
	{"fmi2SetTime",							0, ME_RUN, false, 0, 0, false},
	{"fmi2SetContinuousStates",				0, ME_RUN, true, 0, 0, false},
	{"fmi2GetDerivatives",					0, AFTER_SETUP, true, 0, 0, false},
	{"fmi2GetEventIndicators",				0, AFTER_SETUP, false, 0, 0, false},
	{"fmi2GetContinuousStates",				0, AFTER_SETUP, true, 0, 0, false},
	{"fmi2GetNominalsOfContinuousStates",	ANY, ANY, false, 0, 0, false},
	{"fmi2SetRealInputDerivatives",			CS_SET, 0, false, 0, 0, false},
	{"fmi2GetRealOutputDerivatives",		ANY, ANY, false, 0, 0, false},
	// a step that fails half-way leaves the model between two times
	{"fmi2DoStep",							STEP | REST, 0, true, STEP, 0, true},
	{"fmi2CancelStep",						PEND, 0, false, 0, 0, false},
	{"fmi2GetStatus",						ANY, ANY, false, 0, 0, false},
	{"fmi2GetRealStatus",					ANY, ANY, false, 0, 0, false},
	{"fmi2GetIntegerStatus",				ANY, ANY, false, 0, 0, false},
	{"fmi2GetBooleanStatus",				ANY, ANY, false, 0, 0, false},
	{"fmi2GetStringStatus",					ANY, ANY, false, 0, 0, false}
};
static_assert(sizeof(CALLS)/sizeof(CALLS[0]) == InstanceDataCommon::NumFMICalls, "one row per entry point");

} // namespace


InstanceDataCommon::InstanceDataCommon(KADRIX::FMUModelInterface * fmuModel) :
	m_loggingOn(false),
	m_modelExchange(true),
	m_tInput(0),
	m_externalInputVarsModified(false),
	m_fmuStateSize(0),
	m_fmuModel(fmuModel),
	m_modelReady(false),
	m_logFileOpen(false),
	m_fmiState(FMIInstantiated),
	m_startTimeDefined(false),
	m_startTime(0),
	m_stopTimeDefined(false),
	m_stopTime(0)
{
	// the console belongs to the host
	m_messageHandler = std::make_unique<ZEB::MessageHandler>();
	m_messageHandler->setConsoleOutput(false);
	m_messageHandler->setLogfileVerbosityLevel(1);
	m_messageHandler->m_locationWidth = 48;
}


const char * InstanceDataCommon::fmiStateName(unsigned int state) {
	switch (state) {
		case FMIInstantiated:		return "instantiated";
		case FMIInitializationMode:	return "initialization mode";
		case FMIStepComplete:		return "step complete";
		case FMIEventMode:			return "event mode";
		case FMIContinuousTimeMode:	return "continuous time mode";
		case FMITerminated:			return "terminated";
		case FMIError:				return "error";
		case FMIRestored:			return "restored";
		case FMIStepInProgress:		return "step in progress";
		default:					return "unknown";
	}
}


std::string InstanceDataCommon::numberText(double value) {
	if (std::isnan(value))
		return "NaN";
	// FormatString's general format has six digits: a year in seconds would lose its last ones
	std::ostringstream text;
	text.imbue(std::locale::classic());
	text << std::setprecision(15) << value;
	return text.str();
}


const char * InstanceDataCommon::callName(FMICall call) {
	return call < NumFMICalls ? CALLS[call].m_function : "unknown function";
}


bool InstanceDataCommon::admits(FMICall call, std::string & refusal) const {
	if (call >= NumFMICalls) {
		refusal = "Unknown function.";
		return false;
	}
	const CallRow & row = CALLS[call];
	const unsigned int allowed = m_modelExchange ? row.m_modelExchange : row.m_coSimulation;
	if ((allowed & m_fmiState) != 0 && (m_modelReady || !row.m_needsModel))
		return true;
	if (row.m_needsModel && !m_modelReady)
		refusal = std::string(row.m_function) + ": The model is not initialized.";
	else if (allowed == 0)
		refusal = std::string(row.m_function) + ": The instance was created for " +
				  (m_modelExchange ? "model exchange." : "co-simulation.");
	else
		refusal = std::string(row.m_function) + ": not allowed in the FMI state '" + fmiStateName(m_fmiState) + "'.";
	return false;
}


void InstanceDataCommon::afterCall(FMICall call, fmi2Status status, bool threw) {
	if (call >= NumFMICalls)
		return;
	const CallRow & row = CALLS[call];
	const unsigned int next = m_modelExchange ? row.m_modelExchangeAfter : row.m_coSimulationAfter;
	if (threw) {
		if (row.m_failureIsError)
			m_fmiState = FMIError;
	}
	else if (next != 0 && (status == fmi2OK || status == fmi2Warning))
		m_fmiState = next;
}


InstanceDataCommon::~InstanceDataCommon() {
	m_messageHandler.reset();
	for (void * state : m_fmuStates)
		std::free(state);
}


std::uint64_t InstanceDataCommon::stateSizeWord(const void * state) {
	// a serialised state from a host need not be aligned for a 64-bit read
	std::uint64_t size = 0;
	std::memcpy(&size, state, sizeof(size));
	return size;
}


void InstanceDataCommon::setStateSizeWord(void * state, std::uint64_t size) {
	std::memcpy(state, &size, sizeof(size));
}


void InstanceDataCommon::setCallbacks(const fmi2CallbackFunctions & functions) {
	m_callbacks.logger = functions.logger;
	m_callbacks.allocateMemory = functions.allocateMemory;
	m_callbacks.freeMemory = functions.freeMemory;
	m_callbacks.stepFinished = functions.stepFinished;
	m_callbacks.componentEnvironment = functions.componentEnvironment;
}


void InstanceDataCommon::sendToHost(const Callbacks & callbacks, const std::string & instanceName,
									fmi2Status status, const char * category, const std::string & text)
{
	if (callbacks.logger == nullptr)
		return;
	// the messages of the calls of a host's solver pass as they are
	if (text.size() <= MAX_HOST_MESSAGE && std::none_of(text.begin(), text.end(), [](char c) { return c == '%' || c == '#'; })) {
		callbacks.logger(callbacks.componentEnvironment, instanceName.c_str(), status, category, text.c_str());
		return;
	}
	// Every host treats the message as a printf format, and some expand "#...#" as variable
	// references: both marks are doubled. The text is cut whole characters at a time.
	std::string message;
	message.reserve(text.size() + 8);
	std::size_t i = 0;
	while (i < text.size()) {
		const std::size_t length = ZEB::utf8_character_length(text, i);
		const char lead = text[i];
		const bool doubled = lead == '%' || lead == '#';
		if (message.size() + length + (doubled ? 1 : 0) > MAX_HOST_MESSAGE) {
			message += "...";
			break;
		}
		if (doubled)
			message += text[i];
		message.append(text, i, length);
		i += length;
	}
	callbacks.logger(callbacks.componentEnvironment, instanceName.c_str(), status, category, message.c_str());
}


void InstanceDataCommon::deliverToHost(const Callbacks & callbacks, const std::string & instanceName,
									   const std::vector<HostMessage> & messages) noexcept
{
	for (const HostMessage & message : messages) {
		try {
			sendToHost(callbacks, instanceName, message.m_status, message.m_category, message.m_text);
		}
		catch (...) {
			// out of memory while preparing the text: the call's status still tells the host
		}
	}
}


void InstanceDataCommon::logger(fmi2Status status, const char * category, const ZEB::FormatString & msg) const {
	if (m_loggingOn || status == fmi2Error || status == fmi2Fatal)
		m_hostMessages.push_back(HostMessage{status, category, msg.str()});
}


void InstanceDataCommon::logger(fmi2Status status, const char * category, const char * msg) const {
	if (m_loggingOn || status == fmi2Error || status == fmi2Fatal)
		m_hostMessages.push_back(HostMessage{status, category, msg});
}


void InstanceDataCommon::loggerText(fmi2Status status, const char * category, std::string text) const {
	if (m_loggingOn || status == fmi2Error || status == fmi2Fatal)
		m_hostMessages.push_back(HostMessage{status, category, std::move(text)});
}


std::vector<InstanceDataCommon::HostMessage> InstanceDataCommon::takeHostMessages() {
	std::vector<HostMessage> messages;
	messages.swap(m_hostMessages);
	return messages;
}


bool InstanceDataCommon::errorKeptAfter(std::size_t count, const std::string & text) const {
	for (std::size_t i = count; i < m_hostMessages.size(); ++i)
		if (m_hostMessages[i].m_status == fmi2Error && m_hostMessages[i].m_text.find(text) != std::string::npos)
			return true;
	return false;
}


void InstanceDataCommon::setReal(int vr, double value) {
	const char * const location = "[InstanceDataCommon::setReal]";
	requireDeclared("fmi2SetReal", vr, RX::FMU2_Real);
	// only the inputs can be set: a value sent to an output or a state would be lost unseen
	const RX::FMU2Variable * variable = RX::FMU2VariableOf(static_cast<unsigned int>(vr));
	if (variable == nullptr || variable->m_causality != RX::FMU2_Input) {
		const ZEB::FormatString text = ZEB::FormatString("fmi2SetReal: variable %1 is not an input.").arg(vr);
		logger(fmi2Error, "error", text);
		throw ZEB::Exception(text, location);
	}
	if (!std::isfinite(value)) {
		const ZEB::FormatString text = ZEB::FormatString("fmi2SetReal: the value %1 of input %2 is not finite.")
									   .arg(numberText(value)).arg(vr);
		logger(fmi2Error, "error", text);
		throw ZEB::Exception(text, location);
	}
	m_fmuModel->setReal(vr, value);
	m_externalInputVarsModified = true;
}


void InstanceDataCommon::setInteger(int vr, int value) {
	requireDeclared("fmi2SetInteger", vr, RX::FMU2_Integer);
	m_fmuModel->setInteger(vr, value);
	m_externalInputVarsModified = true;
}


void InstanceDataCommon::setBoolean(int vr, bool value) {
	requireDeclared("fmi2SetBoolean", vr, RX::FMU2_Boolean);
	m_fmuModel->setBoolean(vr, value);
	m_externalInputVarsModified = true;
}


void InstanceDataCommon::setString(int vr, const char * value) {
	requireDeclared("fmi2SetString", vr, RX::FMU2_String);
	if (vr == static_cast<int>(RX::FMU2_ResultsRootDir)) {
		if (m_modelReady || resultsRootClaimed()) {
			// the initialisation made its directories there and keeps its log there; a host that
			// restores a state in a new process sets the start values after it, so the value asked
			// for before the start is taken again as it was
			if (m_resultsRootDir != value && m_resultsRootAsked != value) {
				const ZEB::FormatString text = ZEB::FormatString("fmi2SetString: \"ResultsRootDir\" is fixed after "
					"the initialisation; the results stay in '%1'.").arg(m_resultsRootDir);
				// the restore started the model before the host could set its start values: its
				// restore must not fail on them, so the root in use is only reported
				if (m_fmiState == FMIRestored) {
					logger(fmi2Warning, "warning", text);
					return;
				}
				logger(fmi2Error, "error", text);
				throw ZEB::Exception(text, "[InstanceDataCommon::setString]");
			}
		}
		else
			m_resultsRootDir = m_resultsRootAsked = value;
	}
	else
		m_fmuModel->setString(vr, value);
	m_externalInputVarsModified = true;
}


void InstanceDataCommon::requireDeclared(const char * function, int vr, RX::FMU2BaseType type) const {
	if (vr >= 0 && RX::FMU2Declares(static_cast<unsigned int>(vr), type, interfaceFlags(), numberOfStates()))
		return;
	static const char * const TYPE_NAMES[] = {"Real", "Integer", "Boolean", "String"};
	const ZEB::FormatString text = ZEB::FormatString("%1: variable %2 is not a %3 variable of this FMU.")
								   .arg(function).arg(static_cast<unsigned int>(vr)).arg(TYPE_NAMES[type]);
	logger(fmi2Error, "error", text);
	throw ZEB::Exception(text, "[InstanceDataCommon::requireDeclared]");
}


void InstanceDataCommon::requireValues(const char * function, int vr) const {
	if (m_modelReady)
		return;
	const ZEB::FormatString text = ZEB::FormatString("%1: variable %2 has no value in the FMI state '%3'.")
								   .arg(function).arg(vr).arg(fmiStateName(m_fmiState));
	logger(fmi2Error, "error", text);
	throw ZEB::Exception(text, "[InstanceDataCommon::requireValues]");
}


void InstanceDataCommon::getReal(int vr, double & value) {
	// a model whose initialisation failed has only the values of its construction
	requireValues("fmi2GetReal", vr);
	requireDeclared("fmi2GetReal", vr, RX::FMU2_Real);
	if (m_modelExchange)
		updateIfModified();
	bool provided = getStateReal(vr, value);
	if (!provided) {
		m_fmuModel->getReal(vr, value);
		const RX::FMU2Variable * variable = RX::FMU2VariableOf(static_cast<unsigned int>(vr));
		provided = variable != nullptr && variable->m_causality == RX::FMU2_Output;
	}
	// a model driven out of its range must not hand the host a value that looks like a result
	if (provided && !std::isfinite(value)) {
		const ZEB::FormatString text = ZEB::FormatString("fmi2GetReal: variable %1 is not finite (%2).")
									   .arg(vr).arg(numberText(value));
		logger(fmi2Error, "error", text);
		throw ZEB::Exception(text, "[InstanceDataCommon::getReal]");
	}
	if (provided)
		refuseImpossibleValue("fmi2GetReal");
}


void InstanceDataCommon::refuseImpossibleValue(const char * function) const {
	const std::string what = impossibleValue();
	if (what.empty())
		return;
	const ZEB::FormatString text = ZEB::FormatString("%1: %2").arg(function).arg(what);
	logger(fmi2Error, "error", text);
	throw ZEB::Exception(text, "[InstanceDataCommon::refuseImpossibleValue]");
}


void InstanceDataCommon::getInteger(int vr, int & value) {
	requireValues("fmi2GetInteger", vr);
	requireDeclared("fmi2GetInteger", vr, RX::FMU2_Integer);
	if (m_modelExchange)
		updateIfModified();
	m_fmuModel->getInteger(vr, value);
}


void InstanceDataCommon::getBoolean(int vr, bool & value) {
	requireValues("fmi2GetBoolean", vr);
	requireDeclared("fmi2GetBoolean", vr, RX::FMU2_Boolean);
	if (m_modelExchange)
		updateIfModified();
	m_fmuModel->getBoolean(vr, value);
}


void InstanceDataCommon::getString(int vr, const char *& value) {
	requireDeclared("fmi2GetString", vr, RX::FMU2_String);
	if (vr == static_cast<int>(RX::FMU2_ResultsRootDir)) {
		value = m_resultsRootDir.c_str();
		return;
	}
	// before the initialisation only the parameter has a value
	requireValues("fmi2GetString", vr);
	if (m_modelExchange)
		updateIfModified();
	m_fmuModel->getString(vr, value);
}


bool InstanceDataCommon::completedIntegratorStep() {
	updateIfModified();
	m_fmuModel->completedIntegratorStep(m_tInput, m_yInput.data());
	return false;
}


void InstanceDataCommon::setupMessageHandler(const ZEB::Path & logfile) {
	const char * const location = "[InstanceDataCommon::setupMessageHandler]";
	if (m_logFileOpen)
		throw ZEB::Exception("Message handler must not be created/initialized twice.", location);
	const ZEB::Path logDir = logfile.parentPath();
	if (!ZEB::Path::makePath(logDir))
		throw ZEB::Exception(ZEB::FormatString("Error creating log directory '%1'.").arg(logDir.absolutePath()),
							 location);
	std::string errmsg;
	if (!m_messageHandler->openLogFile(logfile.str(), false, errmsg))
		throw ZEB::Exception(ZEB::FormatString("Error opening logfile '%1': %2").arg(logfile).arg(errmsg), location);
	m_logFileOpen = true;
	ZEB::MessageHandlerRegistry::instance().setMessageHandler(m_messageHandler.get());
}
