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

#include "RX_FMU2InputOutputDefinitions.h"
#include "RX_FMU2ModelDescription.h"

const char * const InstanceDataCommon::GUID = RX::FMU2_GUID;

namespace {

/*! Longest text sent to a host [bytes]: hosts cut or buffer messages (2048 bytes in one of them). */
const std::size_t MAX_HOST_MESSAGE = 1000;

/*! The FMI states a call is allowed in, for each kind of instance; calls not named here are
	allowed in every state. Model exchange and co-simulation share the value and setup calls. */
struct CallStates {
	const char *	m_function;
	unsigned int	m_coSimulation;
	unsigned int	m_modelExchange;
};

const unsigned int AFTER_SETUP = InstanceDataCommon::FMIInitializationMode | InstanceDataCommon::FMIStepComplete |
	InstanceDataCommon::FMIEventMode | InstanceDataCommon::FMIContinuousTimeMode | InstanceDataCommon::FMITerminated |
	InstanceDataCommon::FMIError;
const unsigned int CS_SETTABLE = InstanceDataCommon::FMIInstantiated | InstanceDataCommon::FMIInitializationMode |
	InstanceDataCommon::FMIStepComplete;
const unsigned int ME_SETTABLE = InstanceDataCommon::FMIInstantiated | InstanceDataCommon::FMIInitializationMode |
	InstanceDataCommon::FMIEventMode | InstanceDataCommon::FMIContinuousTimeMode;
const unsigned int ME_RUNNING = InstanceDataCommon::FMIEventMode | InstanceDataCommon::FMIContinuousTimeMode;

const CallStates CALL_STATES[] = {
	{"fmi2SetupExperiment",				InstanceDataCommon::FMIInstantiated,		InstanceDataCommon::FMIInstantiated},
	{"fmi2EnterInitializationMode",		InstanceDataCommon::FMIInstantiated,		InstanceDataCommon::FMIInstantiated},
	{"fmi2ExitInitializationMode",		InstanceDataCommon::FMIInitializationMode,	InstanceDataCommon::FMIInitializationMode},
	// hosts clean up with fmi2Terminate after a failure as well
	{"fmi2Terminate",	InstanceDataCommon::FMIStepComplete | InstanceDataCommon::FMIError, ME_RUNNING | InstanceDataCommon::FMIError},
	{"fmi2GetReal",						AFTER_SETUP,	AFTER_SETUP},
	{"fmi2GetInteger",					AFTER_SETUP,	AFTER_SETUP},
	{"fmi2GetBoolean",					AFTER_SETUP,	AFTER_SETUP},
	// the results root is a parameter: it has its value from the start
	{"fmi2GetString",	AFTER_SETUP | InstanceDataCommon::FMIInstantiated,	AFTER_SETUP | InstanceDataCommon::FMIInstantiated},
	{"fmi2SetReal",						CS_SETTABLE,	ME_SETTABLE},
	{"fmi2SetInteger",					CS_SETTABLE,	ME_SETTABLE},
	{"fmi2SetBoolean",					CS_SETTABLE,	ME_SETTABLE},
	{"fmi2SetString",					CS_SETTABLE,	ME_SETTABLE},
	{"fmi2DoStep",						InstanceDataCommon::FMIStepComplete,	0},
	{"fmi2SetRealInputDerivatives",		CS_SETTABLE,	0},
	{"fmi2CancelStep",					InstanceDataCommon::FMIStepInProgress,	0},
	{"fmi2EnterEventMode",				0,	ME_RUNNING},
	{"fmi2NewDiscreteStates",			0,	InstanceDataCommon::FMIEventMode},
	{"fmi2EnterContinuousTimeMode",		0,	InstanceDataCommon::FMIEventMode},
	{"fmi2CompletedIntegratorStep",		0,	InstanceDataCommon::FMIContinuousTimeMode},
	{"fmi2SetTime",						0,	ME_RUNNING},
	{"fmi2SetContinuousStates",			0,	ME_RUNNING},
	{"fmi2GetDerivatives",				0,	AFTER_SETUP},
	{"fmi2GetEventIndicators",			0,	AFTER_SETUP},
	{"fmi2GetContinuousStates",			0,	AFTER_SETUP},
};

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
	m_startedForFMUstate(false),
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


std::string InstanceDataCommon::refusalInState(const char * function) const {
	for (const CallStates & call : CALL_STATES) {
		if (std::strcmp(call.m_function, function) != 0)
			continue;
		const unsigned int allowed = m_modelExchange ? call.m_modelExchange : call.m_coSimulation;
		if (allowed == 0)
			return std::string(function) + ": not available in " + (m_modelExchange ? "model exchange." : "co-simulation.");
		// a model started for a restored FMU state still takes the host's set-up calls
		const bool setupCall = std::strcmp(function, "fmi2SetupExperiment") == 0 ||
							   std::strcmp(function, "fmi2EnterInitializationMode") == 0 ||
							   std::strcmp(function, "fmi2ExitInitializationMode") == 0;
		if ((allowed & m_fmiState) != 0 || (setupCall && m_startedForFMUstate))
			return std::string();
		return std::string(function) + ": not allowed in the FMI state '" + fmiStateName(m_fmiState) + "'.";
	}
	return std::string();
}


InstanceDataCommon::~InstanceDataCommon() {
	m_messageHandler.reset();
	for (void * state : m_fmuStates)
		std::free(state);
}


void InstanceDataCommon::setCallbacks(const fmi2CallbackFunctions & functions) {
	m_callbacks.logger = functions.logger;
	m_callbacks.allocateMemory = functions.allocateMemory;
	m_callbacks.freeMemory = functions.freeMemory;
	m_callbacks.stepFinished = functions.stepFinished;
	m_callbacks.componentEnvironment = functions.componentEnvironment;
}


std::size_t InstanceDataCommon::characterLength(const std::string & text, std::size_t i) {
	std::size_t length = 1;
	const unsigned char lead = static_cast<unsigned char>(text[i]);
	if (lead >= 0xF0)
		length = 4;
	else if (lead >= 0xE0)
		length = 3;
	else if (lead >= 0xC0)
		length = 2;
	length = std::min(length, text.size() - i);
	// a character only takes continuation bytes: a '%' or '/' behind a stray lead byte stays a mark
	for (std::size_t k = 1; k < length; ++k)
		if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
			return k;
	return length;
}


void InstanceDataCommon::sendToHost(const Callbacks & callbacks, const std::string & instanceName,
									fmi2Status status, const char * category, const std::string & text)
{
	if (callbacks.logger == nullptr)
		return;
	// Every host treats the message as a printf format, and some expand "#...#" as variable
	// references: both marks are doubled. The text is cut whole characters at a time.
	std::string message;
	message.reserve(text.size() + 8);
	std::size_t i = 0;
	while (i < text.size()) {
		const std::size_t length = characterLength(text, i);
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
	if (m_loggingOn)
		m_hostMessages.push_back(HostMessage{status, category, msg.str()});
}


void InstanceDataCommon::logger(fmi2Status status, const char * category, const char * msg) const {
	if (m_loggingOn)
		m_hostMessages.push_back(HostMessage{status, category, msg});
}


std::vector<InstanceDataCommon::HostMessage> InstanceDataCommon::takeHostMessages() {
	std::vector<HostMessage> messages;
	messages.swap(m_hostMessages);
	return messages;
}


void InstanceDataCommon::setReal(int vr, double value) {
	const char * const location = "[InstanceDataCommon::setReal]";
	// only the inputs can be set: a value sent to an output or a state would be lost unseen
	const RX::FMU2Variable * variable = RX::FMU2VariableOf(static_cast<unsigned int>(vr));
	if (variable == nullptr || variable->m_type != RX::FMU2_Real || variable->m_causality != RX::FMU2_Input) {
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
	m_fmuModel->setInteger(vr, value);
	m_externalInputVarsModified = true;
}


void InstanceDataCommon::setBoolean(int vr, bool value) {
	m_fmuModel->setBoolean(vr, value);
	m_externalInputVarsModified = true;
}


void InstanceDataCommon::setString(int vr, const char * value) {
	if (vr == static_cast<int>(RX::FMU2_ResultsRootDir))
		m_resultsRootDir = value;
	else
		m_fmuModel->setString(vr, value);
	m_externalInputVarsModified = true;
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
}


void InstanceDataCommon::getInteger(int vr, int & value) {
	requireValues("fmi2GetInteger", vr);
	if (m_modelExchange)
		updateIfModified();
	m_fmuModel->getInteger(vr, value);
}


void InstanceDataCommon::getBoolean(int vr, bool & value) {
	requireValues("fmi2GetBoolean", vr);
	if (m_modelExchange)
		updateIfModified();
	m_fmuModel->getBoolean(vr, value);
}


void InstanceDataCommon::getString(int vr, const char *& value) {
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
