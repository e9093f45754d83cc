#include "InstanceData.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#include <QString>
#include <QXmlStreamReader>

#include "KADRIX_JacobianInterface.h"
#include "KADRIX_LESInterface.h"
#include "KADRIX_PrecondInterface.h"
#include "Wexil_Directories.h"
#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_Path.h"
#include "ZEB_StringUtils.h"

#include "RX_Constants.h"
#include "RX_FMU2InputOutputDefinitions.h"
#include "OVM_ClimateDataLoader.h"

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

/*! Longest directory name made from an instance name [bytes]: room for a "-<n>" suffix below
	the 255 bytes of a file name. */
const std::size_t MAX_RESULTS_NAME = 200;

/*! Candidate roots tried per base before giving up. */
const unsigned int MAX_RESULTS_ROOTS = 1000;

/*! The file in a results root whose lock marks the root as used. */
const char * const RESULTS_ROOT_LOCK = "instance.lock";

/*! The lock of root: an open file descriptor holding an exclusive lock on its lock file, -1 when
	another open file (this process's or another's) holds it, -2 when the file cannot be used, with
	the system's error number in error. flock() locks belong to the open file, so two instances of
	one process exclude each other as two processes do. */
int lockResultsRoot(const ZEB::Path & root, int & error) {
	const std::string lockFile = (root / RESULTS_ROOT_LOCK).str();
	const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
	if (fd < 0) {
		error = errno;
		return -2;
	}
	if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
		return fd;
	error = errno;
	::close(fd);
	return error == EWOULDBLOCK ? -1 : -2;
}

/*! Makes dir with every missing parent, appending each directory it makes to made (parents first).
	On failure returns false with the directory that could not be made in failed and the system's
	error number in error. */
bool makeDirectories(const std::string & dir, std::vector<std::string> & made, std::string & failed, int & error) {
	std::string text = dir;
	if (text.empty() || text.back() != '/')
		text += '/';
	for (std::size_t pos = text.find('/'); pos != std::string::npos; pos = text.find('/', pos + 1)) {
		const std::string prefix = text.substr(0, pos);
		if (prefix.empty() || prefix.back() == '/')
			continue;
		if (::mkdir(prefix.c_str(), 0755) == 0) {
			made.push_back(prefix);
			continue;
		}
		error = errno;
		// a file in the way fails the directory below it, which names the directory wanted
		struct stat info;
		const bool last = pos + 1 == text.size();
		if (error == EEXIST && ((::stat(prefix.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) || !last))
			continue;
		if (error == EEXIST)
			error = ENOTDIR;
		failed = prefix;
		return false;
	}
	return true;
}

/*! Removes the directories of made, the last made first, so that a failed start leaves nothing. */
void removeDirectories(std::vector<std::string> & made) {
	for (auto dir = made.rbegin(); dir != made.rend(); ++dir)
		::rmdir(dir->c_str());
	made.clear();
}

/*! A directory of the calling user for results when the home directory cannot take them:
	"calovinda-<uid>" in the temporary directory, made when missing; empty when it cannot be made
	or is not a plain directory of this user that only this user may write into (another could
	plant links in it that lead the results elsewhere). */
std::string privateTemporaryDirectory() {
	std::error_code error;
	const std::filesystem::path tmp = std::filesystem::temp_directory_path(error);
	if (error)
		return std::string();
	const std::string dir = (tmp / ("calovinda-" + std::to_string(::getuid()))).string();
	::mkdir(dir.c_str(), 0700);
	struct stat info;
	if (::lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
		(info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
	{
		return std::string();
	}
	return dir;
}

const std::uint64_t FNV_OFFSET = 0xcbf29ce484222325ull;

/*! Whether two times [s] agree within relative tolerance (by default, but for the rounding of one sum). */
bool sameTime(double a, double b, double tolerance = 1e-10) {
	return std::fabs(a - b) <= tolerance*std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

/*! How far a step may end past the stop time (relative): a host that sums non-binary step sizes
	(1.1 s, 3.7 s, ...) over a year ends its last step up to some 1e-9 past the stop time, where
	its own comparison says it stopped there. */
const double STOP_TIME_TOLERANCE = 1e-8;

/*! Times in messages: enough digits to tell two times apart that differ beyond rounding. */
ZEB::FormatString & argTime(ZEB::FormatString & text, double t) {
	return text.arg(InstanceDataCommon::numberText(t));
}

/*! The sections of a project text, the children of the room element, as name and text in order. */
std::vector<std::pair<std::string, std::string> > projectSections(const std::string & projectText) {
	std::vector<std::pair<std::string, std::string> > sections;
	const QString text = QString::fromUtf8(projectText.data(), static_cast<int>(projectText.size()));
	QXmlStreamReader reader(text);
	int depth = 0;
	qint64 sectionStart = 0;
	while (!reader.atEnd()) {
		const qint64 before = reader.characterOffset();
		const QXmlStreamReader::TokenType token = reader.readNext();
		if (token == QXmlStreamReader::StartElement) {
			if (++depth == 3) {
				sectionStart = before;
				sections.emplace_back(reader.name().toString().toStdString(), std::string());
			}
		}
		else if (token == QXmlStreamReader::EndElement) {
			if (depth-- == 3)
				sections.back().second = text.mid(static_cast<int>(sectionStart),
												  static_cast<int>(reader.characterOffset() - sectionStart)).toStdString();
		}
	}
	return sections;
}

} // namespace


InstanceData::InstanceData() :
	InstanceDataCommon(nullptr),
	m_fingerprint(),
	m_resultsRootLock(-1)
{
	// only now is the model constructed, so only now may its address be taken as its interface
	m_fmuModel = &m_modelFMU;
}


InstanceData::~InstanceData() {
	if (m_resultsRootLock >= 0)
		::close(m_resultsRootLock);
}


std::string InstanceData::resultsDirectoryName(const std::string & instanceName) {
	std::string name;
	for (std::size_t i = 0; i < instanceName.size();) {
		const std::size_t length = ZEB::utf8_character_length(instanceName, i);
		const unsigned char lead = static_cast<unsigned char>(instanceName[i]);
		if (name.size() + length > MAX_RESULTS_NAME)
			break;
		if (lead == '/' || lead == '\\' || lead < 0x20 || lead == 0x7f)
			name += '_';
		else
			name.append(instanceName, i, length);
		i += length;
	}
	// paths drop blanks at the ends and then "." and ".." parts: such a name would name no
	// directory of its own but the data directory or its parent
	if (name.find_first_not_of(". ") == std::string::npos)
		name.assign(std::max<std::size_t>(name.size(), 1), '_');
	return name;
}


ZEB::Path InstanceData::claimResultsRoot() {
	if (m_resultsRootLock >= 0)
		return ZEB::Path(m_resultsRootDir);
	std::vector<ZEB::Path> bases;
	if (!m_resultsRootDir.empty()) {
		const ZEB::Path asked(m_resultsRootDir);
		// another platform's drive form names no directory here
		if (!asked.drive().empty())
			throw ZEB::Exception(ZEB::FormatString("The results root '%1' names the drive %2, which paths on this "
												   "system do not have.").arg(m_resultsRootDir).arg(asked.drive()),
								 "[InstanceData::claimResultsRoot]");
		bases.push_back(asked);
	}
	else {
		// without a home Qt names the file-system root; an unusable home gives way to a temporary
		// directory of the user's own
		const std::string name = resultsDirectoryName(m_instanceName);
		const char * home = std::getenv("HOME");
		if (home != nullptr && home[0] == '/')
			bases.push_back(ZEB::Path(Wexil::Directories::userDataDir().toStdString()) / name);
		const std::string tmp = privateTemporaryDirectory();
		if (!tmp.empty())
			bases.push_back(ZEB::Path(tmp) / name);
	}
	// the first failure is the one to report: the root asked for, or the home's
	std::string what;
	std::string failedPath;
	int failure = 0;
	for (const ZEB::Path & base : bases) {
		for (unsigned int k = 1; k <= MAX_RESULTS_ROOTS; ++k) {
			const ZEB::Path root = k == 1 ? base : ZEB::Path(base.str() + "-" + std::to_string(k));
			// the results folder with the root: a root that cannot hold it is no root
			std::vector<std::string> made;
			std::string failed;
			int error = 0;
			if (!makeDirectories((root / "results").str(), made, failed, error)) {
				removeDirectories(made);
				if (failure == 0) {
					what = "output directory";
					failedPath = failed;
					failure = error;
				}
				break;
			}
			const int fd = lockResultsRoot(root, error);
			if (fd >= 0) {
				m_resultsRootLock = fd;
				m_resultsRootDir = root.str();
				return root;
			}
			removeDirectories(made);
			if (fd == -2) {
				if (failure == 0) {
					what = "lock file";
					failedPath = (root / RESULTS_ROOT_LOCK).str();
					failure = error;
				}
				break;
			}
		}
	}
	// the reason first: a host may cut a long path short
	const ZEB::FormatString text = failure != 0
		? ZEB::FormatString("%1: cannot create the results root's %2 '%3'.").arg(std::strerror(failure)).arg(what)
			.arg(failedPath)
		: ZEB::FormatString("No directory can take the results: without a home directory and a private temporary "
							"directory, cannot create output directory '%1'.").arg(resultsDirectoryName(m_instanceName));
	logger(fmi2Error, "error", text);
	throw ZEB::Exception(text, "[InstanceData::init]");
}


void InstanceData::init() {
	const char * const location = "[InstanceData::init]";
	logger(fmi2OK, "progress", "Starting initialization.");

	const ZEB::Path resourceDir = ZEB::Path::fromFileURI(m_resourceLocation);

	const ZEB::Path resultsRoot = claimResultsRoot();
	logger(fmi2OK, "progress", ZEB::FormatString("Using results root path '%1'").arg(m_resultsRootDir));

	// made with the root; a run after fmi2Reset finds it gone when the user removed it since
	std::vector<std::string> made;
	std::string failed;
	int error = 0;
	if (!makeDirectories((resultsRoot / "results").str(), made, failed, error)) {
		removeDirectories(made);
		const ZEB::FormatString text = ZEB::FormatString("%1: cannot create the results root's output directory '%2'.")
									   .arg(std::strerror(error)).arg(failed);
		logger(fmi2Error, "error", text);
		throw ZEB::Exception(text, location);
	}
	// a run after fmi2Reset goes on in the log of the runs before it
	if (!m_logFileOpen)
		setupMessageHandler(resultsRoot / "log" / "screenlog.txt");

	try {
		initModel(m_modelFMU, resourceDir);
	}
	catch (const ZEB::Exception & ex) {
		// the host sees no log: it is told why as well
		logger(fmi2Error, "error", ZEB::FormatString("Model initialization error: %1").arg(ex.msgStack()));
		throw ZEB::Exception(ex, "Model initialization error.", location);
	}

	if (m_startTimeDefined && !startsAt(m_startTime)) {
		ZEB::FormatString text("The experiment's start time %1 s differs from the project's start time %2 s; "
							   "the FMU simulates from the project's start time.");
		argTime(argTime(text, m_startTime), m_modelFMU.t0());
		logger(fmi2Error, "error", text);
		throw ZEB::Exception(text, location);
	}
	computeFingerprint(resourceDir / "calovinda_project.rmxml");

	// model exchange: values and derivatives before the host's first time are the start time's
	m_tInput = m_modelFMU.t0();
	const double * y = m_modelFMU.y0();
	const unsigned int n = m_modelFMU.n();
	if (m_modelExchange) {
		m_yInput.assign(y, y + n);
	}
	else {
		// the choice of the solver objects; its refusal of a name passes on as it is
		m_modelFMU.lesInterface();
		try {
			m_modelFMU.initIntegrator();
		}
		catch (const ZEB::Exception & ex) {
			logger(fmi2Error, "error", ZEB::FormatString("Integrator initialization error: %1").arg(ex.msgStack()));
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
	const std::string impossible = impossibleValue();
	if (!impossible.empty())
		throw ZEB::Exception(impossible, location);
}


void InstanceData::updateIfModified() {
	if (!m_modelReady)
		return;
	m_modelFMU.updateIfModified(m_tInput, m_yInput.data(), m_externalInputVarsModified);
	m_externalInputVarsModified = false;
}


bool InstanceData::getStateReal(int vr, double & value) {
	if (!m_modelReady)
		return false;
	const long long n = m_modelFMU.n();
	const long long state = static_cast<long long>(vr) - RX::FMU2_StateOffset;
	const long long derivative = static_cast<long long>(vr) - RX::FMU2_DerivativeOffset;
	if (state >= 0 && state < n)
		value = m_modelFMU.m_y[static_cast<std::size_t>(state)] - m_modelFMU.hostStateShift(static_cast<std::size_t>(state));
	else if (derivative >= 0 && derivative < n)
		value = m_modelFMU.m_ydot[static_cast<std::size_t>(derivative)];
	else
		return false;
	return true;
}


std::size_t InstanceData::numberOfStates() const {
	return m_modelReady ? m_modelFMU.n() : 0;
}


const double * InstanceData::derivatives() const {
	return m_modelReady && m_modelExchange ? m_modelFMU.m_ydot.data() : nullptr;
}


int InstanceData::interfaceFlags() const {
	return m_modelReady ? m_modelFMU.m_room.m_interfaceDefinition : InstanceDataCommon::interfaceFlags();
}


double InstanceData::integratorTime() {
	return m_modelFMU.integratorInterface()->t();
}


void InstanceData::computeFingerprint(const ZEB::Path & projectFile) {
	m_fingerprint.fill(0);
	m_fingerprint[0] = fnv1a(fnv1a(FNV_OFFSET, GUID), RX::LONG_VERSION);

	std::ifstream projectStream(projectFile.str(), std::ios::binary);
	const std::string projectText((std::istreambuf_iterator<char>(projectStream)), std::istreambuf_iterator<char>());
	m_fingerprint[1] = fnv1a(FNV_OFFSET, projectText);

	const OVM::ClimateDataLoader & climate = m_modelFMU.m_climate.m_solarRadiationModel.m_climateDataLoader;
	std::uint64_t hash = FNV_OFFSET;
	for (const std::vector<double> & component : climate.m_data)
		hash = fnv1a(fnv1a(hash, component.data(), component.size()*sizeof(double)), "|");
	hash = fnv1a(hash, climate.m_dataTimePoints.data(), climate.m_dataTimePoints.size()*sizeof(double));
	const double location[3] = {climate.m_longitude, climate.m_latitude, climate.m_elevation};
	hash = fnv1a(hash, location, sizeof(location));
	m_fingerprint[2] = fnv1a(hash, &climate.m_timeZone, sizeof(climate.m_timeZone));

	m_fingerprint[3] = fnv1a(FNV_OFFSET, m_modelFMU.m_lesSolverName + "|" + m_modelFMU.m_preconditionerName + "|" +
										 m_modelFMU.m_integratorName);
	m_fingerprint[4] = m_modelFMU.n();

	m_sectionNames.clear();
	for (const std::pair<std::string, std::string> & section : projectSections(projectText)) {
		const std::size_t k = 6 + 2*m_sectionNames.size();
		if (k >= FingerprintWords)
			break;
		m_fingerprint[k] = fnv1a(FNV_OFFSET, section.first);
		m_fingerprint[k + 1] = fnv1a(FNV_OFFSET, section.second);
		m_sectionNames.push_back(section.first);
	}
	m_fingerprint[5] = m_sectionNames.size();
}


void InstanceData::stateNominals(double * nominals) const {
	std::copy(m_modelFMU.m_nominals.begin(), m_modelFMU.m_nominals.end(), nominals);
}


bool InstanceData::completedIntegratorStep() {
	// checked before the step hook changes the controllers: a refused step leaves the instance as
	// it was, for a host that retreats and steps on
	updateIfModified();
	refuseImpossibleValue("fmi2CompletedIntegratorStep");
	InstanceDataCommon::completedIntegratorStep();
	return m_modelFMU.m_equationsChanged;
}


std::string InstanceData::impossibleValue() const {
	return m_modelReady ? m_modelFMU.impossibleTemperature() : std::string();
}


std::size_t InstanceData::numberOfEventIndicators() const {
	return m_modelReady ? m_modelFMU.numberOfSwitchingFunctions() : 0;
}


void InstanceData::eventIndicators(double * z) {
	updateIfModified();
	m_modelFMU.eventIndicators(z);
}


bool InstanceData::newDiscreteStates(double & nextEventTime) {
	nextEventTime = std::numeric_limits<double>::infinity();
	if (!m_modelReady)
		return false;
	updateIfModified();
	return m_modelFMU.newDiscreteStates(nextEventTime);
}


void InstanceData::computeFMUStateSize() {
	const char * const location = "[InstanceData::computeFMUStateSize]";
	KADRIX::IntegratorInterface * integrator = m_modelFMU.integratorInterface();
	KADRIX::LESInterface * les = m_modelFMU.lesInterface();
	KADRIX::JacobianInterface * jacobian = m_modelFMU.jacobianInterface();
	KADRIX::PrecondInterface * preconditioner = m_modelFMU.preconditionerInterface();
	m_fmuStateSize = 0;
	std::size_t size = HeaderBytes;
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
	m_fmuStateSize = size + m_modelFMU.modelVariablesSize();
	// a state of a run before fmi2Reset whose project has changed size since cannot hold this
	// run's: it is no state of the instance any more
	for (auto it = m_fmuStates.begin(); it != m_fmuStates.end();) {
		if (stateSizeWord(*it) == m_fmuStateSize) {
			++it;
			continue;
		}
		std::free(*it);
		it = m_fmuStates.erase(it);
	}
}


void InstanceData::serializeFMUstate(void * state) {
	char * pos = static_cast<char *>(state) + FingerprintOffset;
	std::memcpy(pos, m_fingerprint.data(), FingerprintWords*sizeof(std::uint64_t));
	pos += FingerprintWords*sizeof(std::uint64_t);
	// everything a later step depends on that the solver and the model do not hold
	const std::uint64_t instanceWords[InstanceWords] = {m_fmiState, m_externalInputVarsModified ? 1u : 0u};
	std::memcpy(pos, instanceWords, sizeof(instanceWords));
	void * cursor = pos + sizeof(instanceWords);
	m_modelFMU.integratorInterface()->serialize(cursor);
	if (KADRIX::LESInterface * les = m_modelFMU.lesInterface())
		les->serialize(cursor);
	if (KADRIX::JacobianInterface * jacobian = m_modelFMU.jacobianInterface())
		jacobian->serialize(cursor);
	if (KADRIX::PrecondInterface * preconditioner = m_modelFMU.preconditionerInterface())
		preconditioner->serialize(cursor);
	m_modelFMU.serializeModelVariables(cursor);
}


void InstanceData::deserializeFMUstate(void * state) {
	const char * const location = "[InstanceData::deserializeFMUstate]";
	const std::string refusal = fmuStateRefusal(state, m_fmuStateSize);
	if (!refusal.empty())
		throw ZEB::Exception(ZEB::FormatString("The FMU state does not belong to this instance: %1").arg(refusal), location);
	KADRIX::IntegratorInterface * integrator = m_modelFMU.integratorInterface();
	KADRIX::LESInterface * les = m_modelFMU.lesInterface();
	KADRIX::JacobianInterface * jacobian = m_modelFMU.jacobianInterface();
	KADRIX::PrecondInterface * preconditioner = m_modelFMU.preconditionerInterface();

	// a block refused half-way must not leave the solver objects of two different times
	std::vector<char> current(m_fmuStateSize);
	setStateSizeWord(current.data(), m_fmuStateSize);
	serializeFMUstate(current.data());
	auto restore = [&](void * buffer) {
		void * cursor = static_cast<char *>(buffer) + HeaderBytes;
		const void * end = static_cast<char *>(buffer) + m_fmuStateSize;
		integrator->deserialize(cursor, end);
		if (les != nullptr)
			les->deserialize(cursor, end);
		if (jacobian != nullptr)
			jacobian->deserialize(cursor, end);
		if (preconditioner != nullptr)
			preconditioner->deserialize(cursor, end);
		std::uint64_t inputsPending = 0;
		std::memcpy(&inputsPending, static_cast<char *>(buffer) + HeaderBytes - sizeof(inputsPending), sizeof(inputsPending));
		m_modelFMU.deserializeModelVariables(cursor, end, m_modelExchange, inputsPending != 0);
	};
	try {
		restore(state);
	}
	catch (const ZEB::Exception & ex) {
		restore(current.data());
		throw ZEB::Exception(ex, "The FMU state was refused; the instance is unchanged.", location);
	}

	std::uint64_t instanceWords[InstanceWords];
	std::memcpy(instanceWords, static_cast<const char *>(state) + InstanceWordsOffset,
				sizeof(instanceWords));
	// restored before or during the host's set-up (or saved so): the set-up calls keep the run
	const unsigned int saved = static_cast<unsigned int>(instanceWords[0]);
	const unsigned int settingUp = FMIInstantiated | FMIInitializationMode | FMIRestored;
	m_fmiState = (m_fmiState & settingUp) != 0 || (saved & settingUp & ~FMIInitializationMode) != 0 ? FMIRestored : saved;
	m_externalInputVarsModified = instanceWords[1] != 0;

	// getters before the next step see the restored time
	const double t = integrator->t();
	if (m_modelFMU.setTime(t) != KADRIX::ModelInterface::CalculationSuccess ||
		m_modelFMU.setY(integrator->yOut(t)) != KADRIX::ModelInterface::CalculationSuccess)
		throw ZEB::Exception(ZEB::FormatString("Cannot evaluate the model at time %1 s.").arg(t), location);
}


std::string InstanceData::fmuStateRefusal(const void * data, std::size_t size) const {
	if (m_fmuStateSize == 0)
		return noFMUStatesReason();
	if (data == nullptr || size < HeaderBytes)
		return ZEB::FormatString("the state of %1 bytes is too short to be a state of this FMU.")
			   .arg(static_cast<unsigned long>(data == nullptr ? 0 : size)).str();
	const char * bytes = static_cast<const char *>(data);
	const std::uint64_t sizeWord = stateSizeWord(data);
	if (sizeWord != size)
		return ZEB::FormatString("the state says it has %1 bytes, but %2 bytes were given.")
			   .arg(static_cast<unsigned long>(sizeWord)).arg(static_cast<unsigned long>(size)).str();
	std::array<std::uint64_t, FingerprintWords> fingerprint;
	std::memcpy(fingerprint.data(), bytes + FingerprintOffset, sizeof(fingerprint));
	if (fingerprint[0] != m_fingerprint[0])
		return "it was saved by another build of the FMU.";
	if (fingerprint[1] != m_fingerprint[1]) {
		// name the sections of the room that differ, as far as this project knows them
		std::string differing;
		const std::size_t count = std::min<std::uint64_t>(fingerprint[5], (FingerprintWords - 6)/2);
		std::vector<bool> seen(m_sectionNames.size(), false);
		for (std::size_t j = 0; j < count; ++j) {
			const std::size_t k = 6 + 2*j;
			std::size_t i = 0;
			while (i < m_sectionNames.size() && (seen[i] || m_fingerprint[6 + 2*i] != fingerprint[k]))
				++i;
			if (i == m_sectionNames.size()) {
				differing += (differing.empty() ? "" : ", ") + std::string("a section this project lacks");
				continue;
			}
			seen[i] = true;
			if (m_fingerprint[6 + 2*i + 1] != fingerprint[k + 1])
				differing += (differing.empty() ? "" : ", ") + m_sectionNames[i];
		}
		for (std::size_t i = 0; i < m_sectionNames.size(); ++i)
			if (!seen[i])
				differing += (differing.empty() ? "" : ", ") + m_sectionNames[i] + " (missing in the state)";
		if (differing.empty())
			return "it belongs to another project file.";
		return "it belongs to another project; differing: " + differing + ".";
	}
	if (fingerprint[2] != m_fingerprint[2])
		return "it was computed with other climate data.";
	if (fingerprint[3] != m_fingerprint[3])
		return "it was computed with another choice of solvers.";
	if (fingerprint[4] != m_fingerprint[4])
		return ZEB::FormatString("its model has %1 unknowns, this instance's model has %2.")
			   .arg(static_cast<unsigned long>(fingerprint[4])).arg(static_cast<unsigned long>(m_fingerprint[4])).str();
	if (size != m_fmuStateSize)
		return ZEB::FormatString("it has %1 bytes, a state of this instance has %2 bytes.")
			   .arg(static_cast<unsigned long>(size)).arg(static_cast<unsigned long>(m_fmuStateSize)).str();
	std::uint64_t fmiState;
	std::memcpy(&fmiState, bytes + InstanceWordsOffset, sizeof(fmiState));
	if (fmiState == 0 || fmiState > FMIRestored || (fmiState & (fmiState - 1)) != 0 ||
		(fmiState & (m_modelExchange ? FMIStepComplete : FMIEventMode | FMIContinuousTimeMode)) != 0)
		return "it holds no valid FMI state.";
	return std::string();
}


std::string InstanceData::noFMUStatesReason() const {
	if (m_modelExchange)
		return "FMU states are not supported in model exchange (its canGetAndSetFMUstate is false); "
			   "a co-simulation instance of this FMU has them.";
	return "FMU states are available once the instance is initialized (fmi2EnterInitializationMode).";
}


void InstanceData::initModel(RX::CalovindaModelFMU & model, const ZEB::Path & resourceDir) {
	model.chooseSolvers();
	// an instance writes no result files: its runs keep no output series, whatever their length
	model.m_outputManager.m_keepSeries = false;
	// the files a room reads travel in the resources, beside the project
	model.m_filesBesideProjectOnly = true;
	model.init(resourceDir / "calovinda_project.rmxml", resourceDir);
}


void InstanceData::startModel() {
	init();
	if (!m_modelExchange)
		computeFMUStateSize();
}


const std::vector<double> & InstanceData::nominalsBeforeStart() {
	if (!m_nominalsBeforeStart.empty())
		return m_nominalsBeforeStart;
	const ZEB::Path resourceDir = ZEB::Path::fromFileURI(m_resourceLocation);
	// the instance's own model must stay as fmi2Instantiate made it
	std::unique_ptr<RX::CalovindaModelFMU> model = std::make_unique<RX::CalovindaModelFMU>();
	initModel(*model, resourceDir);
	m_nominalsBeforeStart = model->m_nominals;
	return m_nominalsBeforeStart;
}


bool InstanceData::resultsRootClaimed() const {
	return m_resultsRootLock >= 0;
}


void InstanceData::renewModel() noexcept {
	// The model cannot be copied or assigned (its wall solvers point into it), and the instance
	// record holds it by value at an address the record's base keeps: it is made anew in place.
	// reset() has made sure that there is memory for it.
	m_modelFMU.~CalovindaModelFMU();
	::new (static_cast<void *>(&m_modelFMU)) RX::CalovindaModelFMU();
}


void InstanceData::reset() {
	// without memory for a new model the instance stays as it was
	std::make_unique<RX::CalovindaModelFMU>().reset();
	renewModel();
	m_fmuModel = &m_modelFMU;
	m_modelReady = false;
	m_fmiState = FMIInstantiated;
	m_tInput = 0;
	m_yInput.clear();
	m_externalInputVarsModified = false;
	// the states handed out stay the host's; new ones need the next initialisation
	m_fmuStateSize = 0;
	m_startTimeDefined = false;
	m_startTime = 0;
	m_stopTimeDefined = false;
	m_stopTime = 0;
	m_fingerprint.fill(0);
	m_sectionNames.clear();
	ZEB::ZEB_Message(ZEB::FormatString("Instance reset: the next initialisation starts the run afresh.\n"),
					 ZEB::MSG_PROGRESS, "[InstanceData::reset]", 1);
}


bool InstanceData::startsAt(double startTime) {
	if (sameTime(startTime, m_modelFMU.t0()))
		return true;
	// a host that restored a state before its set-up may start its experiment at the state's time
	return m_fmiState == FMIRestored && !m_modelExchange && sameTime(startTime, integratorTime());
}


std::string InstanceData::setupExperiment(double startTime, bool stopTimeDefined, double stopTime) {
	if (!std::isfinite(startTime))
		return ZEB::FormatString("invalid start time %1 s.").arg(startTime).str();
	if (stopTimeDefined && !(std::isfinite(stopTime) && stopTime >= startTime)) {
		ZEB::FormatString text("invalid stop time %1 s for the start time %2 s.");
		return argTime(argTime(text, stopTime), startTime).str();
	}
	if (m_modelReady && !startsAt(startTime)) {
		ZEB::FormatString text("the start time %1 s differs from the project's start time %2 s; the FMU simulates "
							   "from the project's start time.");
		return argTime(argTime(text, startTime), m_modelFMU.t0()).str();
	}
	m_startTimeDefined = true;
	m_startTime = startTime;
	m_stopTimeDefined = stopTimeDefined;
	m_stopTime = stopTime;
	return std::string();
}


std::string InstanceData::stepRefusal(double tc, double h) {
	if (!std::isfinite(tc) || !std::isfinite(h)) {
		ZEB::FormatString text("invalid communication point %1 s or step size %2 s.");
		return argTime(argTime(text, tc), h).str();
	}
	if (h < 0) {
		ZEB::FormatString text("negative communication step size %1 s.");
		return argTime(text, h).str();
	}
	const double t = integratorTime();
	if (!sameTime(tc, t)) {
		ZEB::FormatString text("the communication point %1 s differs from the FMU's time %2 s.");
		return argTime(argTime(text, tc), t).str();
	}
	if (m_stopTimeDefined && tc + h > m_stopTime && !sameTime(tc + h, m_stopTime, STOP_TIME_TOLERANCE)) {
		ZEB::FormatString text("the step to %1 s passes the stop time %2 s.");
		return argTime(argTime(text, tc + h), m_stopTime).str();
	}
	return std::string();
}
