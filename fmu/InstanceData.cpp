#include "InstanceData.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "KADRIX_JacobianInterface.h"
#include "KADRIX_LESInterface.h"
#include "KADRIX_PrecondInterface.h"
#include "Wexil_Directories.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Path.h"

#include "RX_Constants.h"
#include "RX_FMU2InputOutputDefinitions.h"

namespace {

/*! FNV-1a over size bytes, continuing from hash. */
std::uint64_t fnv1a(std::uint64_t hash, const void * data, std::size_t size) {
	const unsigned char * bytes = static_cast<const unsigned char *>(data);
	for (std::size_t i = 0; i < size; ++i) {
		hash ^= bytes[i];
		hash *= 0x100000001b3ull;
	}
	return hash;
}

std::uint64_t fnv1a(std::uint64_t hash, const std::string & text) {
	// the terminating zero keeps "ab" + "c" apart from "a" + "bc"
	return fnv1a(hash, text.c_str(), text.size() + 1);
}

} // namespace


InstanceData::InstanceData() :
	InstanceDataCommon(nullptr),
	m_stateFingerprint(0),
	m_fingerprintOffset(0)
{
	// only now is the model constructed, so only now may its address be taken as its interface
	m_fmuModel = &m_modelFMU;
}


InstanceData::~InstanceData() = default;


void InstanceData::init() {
	const char * const location = "[InstanceData::init]";
	logger(fmi2OK, "progress", "Starting initialization.");

	const ZEB::Path resourceDir = ZEB::Path::fromFileURI(m_resourceLocation);
	const ZEB::Path projectFile = resourceDir / "calovinda_project.rmxml";

	ZEB::Path resultsRoot;
	if (!m_resultsRootDir.empty())
		resultsRoot = ZEB::Path(m_resultsRootDir);
	else {
		// the instance name becomes one directory below the user's data directory, never more
		if (m_instanceName.find_first_of("/\\") != std::string::npos || m_instanceName == "." || m_instanceName == "..")
			throw ZEB::Exception(ZEB::FormatString("The instance name '%1' cannot name a results directory; "
												   "set ResultsRootDir.").arg(m_instanceName), location);
		resultsRoot = ZEB::Path(Wexil::Directories::userDataDir().toStdString()) / m_instanceName;
		m_resultsRootDir = resultsRoot.str();
	}
	logger(fmi2OK, "progress", ZEB::FormatString("Using results root path '%1'").arg(m_resultsRootDir));

	const ZEB::Path resultsDir = resultsRoot / "results";
	if (!ZEB::Path::makePath(resultsDir)) {
		logger(fmi2Error, "error", "Cannot create output directory.");
		throw ZEB::Exception(ZEB::FormatString("Cannot create output directory '%1'.").arg(resultsDir), location);
	}
	setupMessageHandler(resultsRoot / "log" / "screenlog.txt");

	try {
		m_modelFMU.chooseSolvers();
		m_modelFMU.init(projectFile, resourceDir);
	}
	catch (const ZEB::Exception & ex) {
		logger(fmi2Error, "error", "Model initialization error.");
		throw ZEB::Exception(ex, "Model initialization error.", location);
	}

	// the build, the project as read and the solver choice: states of anything else are refused
	std::uint64_t fingerprint = 0xcbf29ce484222325ull;
	fingerprint = fnv1a(fingerprint, GUID);
	fingerprint = fnv1a(fingerprint, RX::LONG_VERSION);
	std::ifstream projectStream(projectFile.str(), std::ios::binary);
	const std::string projectText((std::istreambuf_iterator<char>(projectStream)), std::istreambuf_iterator<char>());
	fingerprint = fnv1a(fingerprint, projectText);
	fingerprint = fnv1a(fingerprint, m_modelFMU.m_lesSolverName + "|" + m_modelFMU.m_preconditionerName + "|" +
									 m_modelFMU.m_integratorName);
	const unsigned int nStates = m_modelFMU.n();
	m_stateFingerprint = fnv1a(fingerprint, &nStates, sizeof(nStates));

	m_tInput = 0;
	const double * y = m_modelFMU.y0();
	const unsigned int n = m_modelFMU.n();
	if (m_modelExchange) {
		m_yInput.assign(y, y + n);
		m_ydot = m_modelFMU.m_ydot;
	}
	else {
		// the choice of the solver objects; its refusal of a name passes on as it is
		m_modelFMU.lesInterface();
		try {
			m_modelFMU.initIntegrator();
		}
		catch (const ZEB::Exception & ex) {
			logger(fmi2Error, "error", "Integrator initialization error.");
			throw ZEB::Exception(ex, "Initialization of Integrator failed.", location);
		}
	}
	m_modelReady = true;
	logger(fmi2OK, "progress", "Initialization complete.");
	ZEB::ZEB_Message(ZEB::FormatString("Model initialization finished.\n"), ZEB::MSG_PROGRESS, location, 1);
}


void InstanceData::integrateTo(double tEnd) {
	const char * const location = "[InstanceData::integrateTo]";
	KADRIX::IntegratorInterface * integrator = m_modelFMU.integratorInterface();
	double t = integrator->t();
	if (!std::isfinite(tEnd))
		throw ZEB::Exception(ZEB::FormatString("Error performing integration step: invalid communication interval end %1.")
							 .arg(tEnd), location);
	if (t > tEnd)
		throw ZEB::Exception(ZEB::FormatString("Error performing integration step: reset from integrator time point %1 "
											   "to the new communication interval end %2 is not  supported, yet!")
							 .arg(t).arg(tEnd), location);

	if (m_externalInputVarsModified) {
		m_modelFMU.updateFromModifiedInputQuantities();
		m_externalInputVarsModified = false;
	}
	m_modelFMU.integrateTo(tEnd);
}


void InstanceData::updateIfModified() {
	if (!m_modelReady)
		return;
	m_modelFMU.updateIfModified(m_tInput, m_yInput.data(), m_externalInputVarsModified);
	m_externalInputVarsModified = false;
	m_ydot = m_modelFMU.m_ydot;
}


bool InstanceData::getStateReal(int vr, double & value) {
	if (!m_modelReady)
		return false;
	const long long n = m_modelFMU.n();
	const long long state = static_cast<long long>(vr) - RX::FMU2_StateOffset;
	const long long derivative = static_cast<long long>(vr) - RX::FMU2_DerivativeOffset;
	if (state >= 0 && state < n)
		value = m_modelFMU.m_y[static_cast<std::size_t>(state)];
	else if (derivative >= 0 && derivative < n)
		value = m_modelFMU.m_ydot[static_cast<std::size_t>(derivative)];
	else
		return false;
	return true;
}


std::size_t InstanceData::numberOfStates() const {
	return m_modelReady ? m_modelFMU.n() : 0;
}


double InstanceData::integratorTime() {
	return m_modelFMU.integratorInterface()->t();
}


void InstanceData::computeFMUStateSize() {
	const char * const location = "[InstanceData::computeFMUStateSize]";
	KADRIX::IntegratorInterface * integrator = m_modelFMU.integratorInterface();
	KADRIX::LESInterface * les = m_modelFMU.lesInterface();
	KADRIX::JacobianInterface * jacobian = m_modelFMU.jacobianInterface();
	KADRIX::PrecondInterface * preconditioner = m_modelFMU.preconditionerInterface();
	m_fmuStateSize = 0;
	std::size_t size = 8;
	std::size_t blockSize = integrator->serializationSize();
	if (blockSize == 0)
		throw ZEB::Exception("Integrator does not support serialization.", location);
	size += blockSize;
	if (les != nullptr) {
		blockSize = les->serializationSize();
		if (blockSize == 0)
			throw ZEB::Exception("LES solver does not support serialization.", location);
		size += blockSize;
	}
	if (jacobian != nullptr) {
		blockSize = jacobian->serializationSize();
		if (blockSize == 0)
			throw ZEB::Exception("Jacobian matrix generator does not support serialization.", location);
		size += blockSize;
	}
	if (preconditioner != nullptr) {
		blockSize = preconditioner->serializationSize();
		if (blockSize == 0)
			throw ZEB::Exception("Preconditioner does not support serialization.", location);
		size += blockSize;
	}
	m_fingerprintOffset = size;
	m_fmuStateSize = size + sizeof(std::uint64_t) + m_modelFMU.modelVariablesSize();
}


void InstanceData::serializeFMUstate(void * state) {
	void * cursor = static_cast<char *>(state) + 8;
	m_modelFMU.integratorInterface()->serialize(cursor);
	if (KADRIX::LESInterface * les = m_modelFMU.lesInterface())
		les->serialize(cursor);
	if (KADRIX::JacobianInterface * jacobian = m_modelFMU.jacobianInterface())
		jacobian->serialize(cursor);
	if (KADRIX::PrecondInterface * preconditioner = m_modelFMU.preconditionerInterface())
		preconditioner->serialize(cursor);
	std::memcpy(cursor, &m_stateFingerprint, sizeof(m_stateFingerprint));
	cursor = static_cast<char *>(cursor) + sizeof(m_stateFingerprint);
	m_modelFMU.serializeModelVariables(cursor);
}


void InstanceData::deserializeFMUstate(void * state) {
	const char * const location = "[InstanceData::deserializeFMUstate]";
	if (!validFMUstate(state, m_fmuStateSize))
		throw ZEB::Exception("The FMU state does not belong to this instance.", location);
	KADRIX::IntegratorInterface * integrator = m_modelFMU.integratorInterface();
	KADRIX::LESInterface * les = m_modelFMU.lesInterface();
	KADRIX::JacobianInterface * jacobian = m_modelFMU.jacobianInterface();
	KADRIX::PrecondInterface * preconditioner = m_modelFMU.preconditionerInterface();

	// a block refused half-way must not leave the solver objects of two different times
	std::vector<char> current(m_fmuStateSize);
	std::memcpy(current.data(), &m_fmuStateSize, sizeof(std::uint64_t));
	serializeFMUstate(current.data());
	auto restore = [&](void * buffer) {
		void * cursor = static_cast<char *>(buffer) + 8;
		const void * end = static_cast<char *>(buffer) + m_fmuStateSize;
		integrator->deserialize(cursor, end);
		if (les != nullptr)
			les->deserialize(cursor, end);
		if (jacobian != nullptr)
			jacobian->deserialize(cursor, end);
		if (preconditioner != nullptr)
			preconditioner->deserialize(cursor, end);
		cursor = static_cast<char *>(cursor) + sizeof(m_stateFingerprint);
		m_modelFMU.deserializeModelVariables(cursor, end);
	};
	try {
		restore(state);
	}
	catch (const ZEB::Exception & ex) {
		restore(current.data());
		throw ZEB::Exception(ex, "The FMU state was refused; the instance is unchanged.", location);
	}

	// getters before the next step see the restored time
	const double t = integrator->t();
	if (m_modelFMU.setTime(t) != KADRIX::ModelInterface::CalculationSuccess ||
		m_modelFMU.setY(integrator->yOut(t)) != KADRIX::ModelInterface::CalculationSuccess)
		throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at time %1 s.").arg(t), location);
}


bool InstanceData::validFMUstate(const void * data, std::size_t size) const {
	if (m_fmuStateSize == 0 || data == nullptr || size != m_fmuStateSize)
		return false;
	std::uint64_t sizeWord;
	std::memcpy(&sizeWord, data, sizeof(sizeWord));
	std::uint64_t fingerprint;
	std::memcpy(&fingerprint, static_cast<const char *>(data) + m_fingerprintOffset, sizeof(fingerprint));
	return sizeWord == m_fmuStateSize && fingerprint == m_stateFingerprint;
}


void InstanceData::initializeForFMUstate() {
	if (m_modelReady || m_modelExchange)
		return;
	logger(fmi2OK, "progress", "Initializing the instance to restore an FMU state.");
	init();
	computeFMUStateSize();
}
