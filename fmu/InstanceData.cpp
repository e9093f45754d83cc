#include "InstanceData.h"

#include <cctype>
#include <cmath>

#include "KADRIX_IntegratorErrorControlled.h"
#include "Wexil_Directories.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Path.h"

#include "RX_FMU2InputOutputDefinitions.h"

namespace {

/*! The value of a hexadecimal digit, -1 for another character. */
int hexValue(char c) {
	if (c >= '0' && c <= '9')
		return c - '0';
	if (c >= 'a' && c <= 'f')
		return c - 'a' + 10;
	if (c >= 'A' && c <= 'F')
		return c - 'A' + 10;
	return -1;
}

/*! Whether text starts with prefix, ignoring the case of ASCII letters. */
bool startsWithNoCase(const std::string & text, const std::string & prefix) {
	if (text.size() < prefix.size())
		return false;
	for (std::size_t i = 0; i < prefix.size(); ++i)
		if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
			return false;
	return true;
}

} // namespace


InstanceData::InstanceData() :
	InstanceDataCommon(nullptr),
	m_initialOutputWritten(false)
{
	// only now is the model constructed, so only now may its address be taken as its interface
	m_fmuModel = &m_modelFMU;
}


InstanceData::~InstanceData() = default;


ZEB::Path InstanceData::resourceDirectory(const std::string & location) {
	const char * const where = "[InstanceData::resourceDirectory]";
	std::string path = location;
	if (startsWithNoCase(path, "file:")) {
		path.erase(0, 5);
		if (path.compare(0, 2, "//") == 0) {
			// an authority: empty ("file:///path") or this machine
			const std::size_t pathStart = path.find('/', 2);
			const std::string host = path.substr(2, pathStart == std::string::npos ? std::string::npos : pathStart - 2);
			if (!host.empty() && !startsWithNoCase(host, "localhost"))
				throw ZEB::Exception(ZEB::FormatString("Resource location '%1' names another host.").arg(location), where);
			path.erase(0, pathStart == std::string::npos ? path.size() : pathStart);
		}
	}
	std::string decoded;
	decoded.reserve(path.size());
	for (std::size_t i = 0; i < path.size(); ++i) {
		if (path[i] == '%' && i + 2 < path.size() && hexValue(path[i + 1]) >= 0 && hexValue(path[i + 2]) >= 0) {
			decoded += static_cast<char>(hexValue(path[i + 1])*16 + hexValue(path[i + 2]));
			i += 2;
		}
		else
			decoded += path[i];
	}
	if (decoded.empty())
		throw ZEB::Exception(ZEB::FormatString("Missing resource location ('%1').").arg(location), where);
	return ZEB::Path(decoded);
}


void InstanceData::init() {
	const char * const location = "[InstanceData::init]";
	logger(fmi2OK, "progress", "Starting initialization.");

	const ZEB::Path resourceDir = resourceDirectory(m_resourceLocation);
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
		// GMRES with the ILU preconditioner: without one, GMRES converges so badly that the
		// Jacobian is rebuilt almost every step (a year of the test box took 89 s instead of 5.6 s)
		m_modelFMU.m_lesSolverName = "GMRES";
		m_modelFMU.m_preconditionerName = "ILU";
		m_modelFMU.init(projectFile, resourceDir);
	}
	catch (const ZEB::Exception & ex) {
		logger(fmi2Error, "error", "Model initialization error.");
		throw ZEB::Exception(ex, "Model initialization error.", location);
	}

	m_tInput = 0;
	const double * y = m_modelFMU.y0();
	const unsigned int n = m_modelFMU.n();
	if (m_modelExchange) {
		m_yInput.assign(y, y + n);
		m_ydot = m_modelFMU.m_ydot;
	}
	else {
		KADRIX::IntegratorInterface * integrator = m_modelFMU.integratorInterface();
		KADRIX::LESInterface * les = m_modelFMU.lesInterface();
		KADRIX::PrecondInterface * preconditioner = m_modelFMU.preconditionerInterface();
		KADRIX::JacobianInterface * jacobian = m_modelFMU.jacobianInterface();
		try {
			integrator->init(&m_modelFMU, m_modelFMU.t0(), y, les, preconditioner, jacobian);
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

	KADRIX::IntegratorErrorControlled * controlled = dynamic_cast<KADRIX::IntegratorErrorControlled *>(integrator);
	if (controlled != nullptr)
		controlled->m_stopTime = tEnd;

	if (t == m_modelFMU.t0() && !m_initialOutputWritten) {
		m_modelFMU.writeOutputs(m_modelFMU.t0(), m_modelFMU.y0());
		m_initialOutputWritten = true;
	}
	if (m_externalInputVarsModified) {
		m_modelFMU.updateFromModifiedInputQuantities();
		m_externalInputVarsModified = false;
	}

	double tOut = m_modelFMU.nextOutputTime(t);
	// time of the model's last evaluation by the loop; -1 while the loop has not evaluated it
	double tModel = -1;
	while (tEnd > t) {
		if (integrator->step() != KADRIX::IntegratorInterface::StepSuccess)
			throw ZEB::Exception("Integrator step failed!", location);
		t = integrator->t();
		m_modelFMU.stepCompleted(t, integrator->yOut(t));
		tModel = t;
		while (t >= tOut) {
			m_modelFMU.writeOutputs(tOut, integrator->yOut(tOut));
			tModel = tOut;
			const double tNext = m_modelFMU.nextOutputTime(tOut);
			if (tNext <= tOut)
				throw ZEB::Exception(ZEB::FormatString("Output scheduler returned output time %1, which is <= last "
													   "output time %2.").arg(tNext).arg(tOut), location);
			tOut = tNext;
			if (tNext > tEnd*1.0000000001)
				break;
		}
	}
	// the outputs belong to the communication point, not to an earlier output time
	if (tModel != -1 && tModel != t) {
		if (m_modelFMU.setTime(t) != KADRIX::ModelInterface::CalculationSuccess ||
			m_modelFMU.setY(integrator->yOut(t)) != KADRIX::ModelInterface::CalculationSuccess)
			throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at time %1 s.").arg(t), location);
	}
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
