// calovinda: the command-line front end of the room model and its FMU.
//
//   calovinda simulate PROJECT [--results DIR]
//   calovinda export-modelica PROJECT DIR
//   calovinda export-fmu PROJECT OUT.fmu [--library DIR]
//   calovinda run-fmu FMU [--interface cs|me] [--solver euler|cvode] [--tolerance TOL] [--max-steps N] [--step S]
//                         [--stop T] [--output out.csv] [--save-state FILE] [--restore-state FILE]
//   calovinda --version
//
// Every failure ends the program with exit code 1 and one line on the standard error stream;
// a wrong command line ends it with exit code 2.

#include <dlfcn.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include "Calovinda.h"
#include "FMUArchive.h"
#include "KADRIX_IntegratorInterface.h"
#include "ModelExchangeCVODE.h"
#include "RX_CalovindaModelFMU.h"
#include "RX_Constants.h"
#include "RX_FMU2InputOutputDefinitions.h"
#include "ZEB_Exception.h"
#include "ZEB_Interruption.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_OutputFile.h"
#include "ZEB_Path.h"
#include "ZEB_PrivateDirectory.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Time.h"
#include "fmi2Functions.h"

namespace {

/*! A failure the user must see: one line, exit code 1. */
struct Failure : std::runtime_error {
	using std::runtime_error::runtime_error;
};

/*! A wrong command line: the message, then the command's usage; exit code 2. */
struct UsageError : std::runtime_error {
	using std::runtime_error::runtime_error;
};

const char * const usageText =
	"usage: calovinda COMMAND ARGUMENTS (calovinda COMMAND --help for one command)\n"
	"  simulate PROJECT [--results DIR]     simulate a project stand-alone and summarise the year\n"
	"  export-modelica PROJECT DIR          write the initialised room as a Modelica package\n"
	"  export-fmu PROJECT OUT.fmu [--library DIR]\n"
	"                                       pack the project as an FMI 2.0 FMU archive\n"
	"  run-fmu FMU [--interface cs|me] [--solver euler|cvode] [--tolerance TOL] [--max-steps N] [--step S]\n"
	"              [--stop T] [--output out.csv] [--save-state FILE] [--restore-state FILE]\n"
	"                                       run an FMU through its FMI 2.0 functions\n"
	"  --version                            print the version of the model and its FMU\n";

const std::map<std::string, const char *> commandHelp = {
	{"simulate",
	 "usage: calovinda simulate PROJECT [--results DIR]\n"
	 "Simulates the project (its climate file beside it) from its start to its end time with the\n"
	 "FMU's solver settings (CVODE, GMRES with ILU preconditioner), writes the result files into DIR\n"
	 "(made with its parents; default: calovinda-results in the working directory) and prints the\n"
	 "annual summary, followed by the DIN 4108-2 summer assessment's report when it is active.\n"
	 "The result files are written as one set: none takes its name before all are complete, and\n"
	 "they take their names all or nothing, so a failed or interrupted run leaves the earlier\n"
	 "results as they were, and no temporary file. A second run into DIR waits while the first puts\n"
	 "its files in place; what a killed run left there, the next run clears. A link or a pipe in a\n"
	 "result file's place is replaced, never written through. Result files of an earlier run that\n"
	 "this one does not write (the humidity of a moisture run, say) are removed, unless they changed\n"
	 "since; DIR's other files stay. In a DIR that an older version wrote (without the list\n"
	 ".calovinda-results) such a file cannot be told from the user's: it stays, with a warning.\n"
	 "DIR's name must be valid UTF-8.\n"},
	{"export-modelica",
	 "usage: calovinda export-modelica PROJECT DIR\n"
	 "Initialises the project's room and writes it as a Modelica package into DIR, as one set:\n"
	 "a failed or interrupted export leaves an earlier package there as it was (a second run into\n"
	 "DIR waits while the first puts its files in place, and a link or a pipe in a file's place is\n"
	 "replaced, never written through), and the files of an earlier export that this one does not\n"
	 "write (a wall the room no longer has) are removed, unless they changed since; DIR's other\n"
	 "files stay. In a DIR that an older version wrote (without the list .calovinda-package) such a\n"
	 "file cannot be told from the user's: it stays, with a warning.\n"},
	{"export-fmu",
	 "usage: calovinda export-fmu PROJECT OUT.fmu [--library DIR]\n"
	 "Initialises the project's room and packs it as an FMI 2.0 FMU archive: the FMU library\n"
	 "CalovindaFMI2.so from DIR (default: the build's fmu folder beside the tool's folder), the project\n"
	 "and the climate file beside it that simulate uses.\n"},
	{"run-fmu",
	 "usage: calovinda run-fmu FMU [--interface cs|me] [--solver euler|cvode] [--tolerance TOL] [--max-steps N] [--step S]\n"
	 "                             [--stop T] [--output out.csv] [--save-state FILE] [--restore-state FILE]\n"
	 "Unpacks the FMU archive (or takes an unpacked FMU directory) into a private temporary\n"
	 "directory, loads it through its FMI 2.0 functions as any host would, runs it from the\n"
	 "project's start (the model description's start time) to T (default: the model description's\n"
	 "stop time, the project's end), writes time and outputs as CSV (default: the\n"
	 "FMU's name with .csv in the working directory; the FMU may print its own messages; it is\n"
	 "instantiated with logging off, as simulators do, so its errors reach standard error; the\n"
	 "model's own warnings, as the project reader's, reach no host: they go to the FMU's log file\n"
	 "in that directory, and export-fmu and simulate print them) and removes the temporary\n"
	 "directory. cs co-simulates in communication steps S (default 3600 s);\n"
	 "me integrates the model-exchange interface with forward Euler in steps S (default 0.1 s;\n"
	 "stable only for steps well below a second, so meant for short checks), or with --solver cvode\n"
	 "as CVODE-based hosts do: BDF with a dense difference-quotient Jacobian, relative tolerance TOL\n"
	 "(default: the model description's) and absolute tolerances of nominal x TOL, output points every\n"
	 "S seconds (default 3600 s) with one completed integrator step each and as many internal steps\n"
	 "towards each as it takes (at most N with --max-steps N; CVODE-based hosts commonly give up\n"
	 "after 500), and events (roots of the event indicators, the FMU's time events, at which the\n"
	 "solver's interval ends, or asked for by a completed step) each followed by event mode and a\n"
	 "restart of the solver; it prints the solver's statistics.\n"
	 "--save-state FILE saves the FMU state at the end of a co-simulation (its time, then the\n"
	 "serialised state); --restore-state FILE continues such a run from its time in a fresh\n"
	 "instance, writing the rows after it.\n"
	 "The archive is checked before anything is unpacked: links, entries outside the directory or\n"
	 "more than 32 levels deep, more than 10000 entries or more than 1 GiB in all are refused.\n"
	 "The CSV and the state file take their names only when complete (missing folders above them\n"
	 "are made), and never the name of an input; a failed or interrupted run leaves neither them\n"
	 "nor the temporary directory behind.\n"},
};

/*! Keeps the model's messages off the console: failures reach the user as one line from main(),
	warnings as plain lines; progress and the model's own error trail stay silent, except the
	summer assessment's report, which is kept for the end of the run. */
class QuietHandler : public ZEB::MessageHandler {
public:
	void msg(const std::string & text, ZEB::msg_type_t type, const char * location, int) override {
		if (type == ZEB::MSG_PROGRESS && location != nullptr
			&& std::strcmp(location, "[OutputManager::computeDIN4108_2Results]") == 0)
			m_assessmentReport += text;
		std::string line = text;
		while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
			line.pop_back();
		// a text that says its type itself ("Warning: Window specified for inside/floor
		// construction ...", as the log file shows it behind its own type) is printed behind one
		if (type == ZEB::MSG_WARNING && line.size() > WARNING.size()
			&& strncasecmp(line.c_str(), WARNING.data(), WARNING.size()) == 0)
			line.erase(0, line.find_first_not_of(' ', WARNING.size()));
		if (type == ZEB::MSG_WARNING && !line.empty())
			std::fprintf(stderr, "warning: %s\n", line.c_str());
		if (type == ZEB::MSG_ERROR && !line.empty())
			m_lastError = line;
	}

	/*! The last error message, for functions that report failure by their result. */
	std::string m_lastError;
	/*! The DIN 4108-2 assessment's lines, as its evaluation sent them. */
	std::string m_assessmentReport;

private:
	static constexpr std::string_view WARNING = "warning:";
};

QuietHandler * quietHandler = nullptr;

/*! Makes the missing folders above the file name, under the bytes of the name as given (a Qt
	path would make a folder of a substituted name where a byte is not UTF-8, in the name or in
	the working directory's); a failure shows when the file is written. */
void makeParentDirectory(const std::string & name) {
	const std::filesystem::path parent = std::filesystem::path(name).parent_path();
	std::error_code error;
	if (!parent.empty())
		std::filesystem::create_directories(parent, error);
}

/*! Refuses a relative path where the working directory's name is not valid UTF-8: the Qt paths
	that the model reads and writes through would take it below a folder of a substituted name,
	and so fail where the user sees the file, or find another one. */
void checkWorkingDirectory(const std::string & path, const char * what) {
	if (path.empty() || path[0] == '/')
		return;
	std::error_code error;
	const std::string cwd = std::filesystem::current_path(error).string();
	if (!error && !ZEB::is_valid_utf8_string(cwd))
		throw Failure(std::string("the ") + what + " '" + path + "' is relative to the working directory '" + cwd +
					  "', whose name is not valid UTF-8: give its absolute path");
}

/*! True when both paths name one existing file (same device and inode, so also through links). */
bool sameFile(const std::string & a, const std::string & b) {
	struct stat sa, sb;
	return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

/*! True when path exists and lies inside the directory dir (after resolving links). */
bool insideDirectory(const std::string & path, const std::string & dir) {
	const auto canonical = [](const std::string & name) {
		char resolved[PATH_MAX];
		return realpath(name.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
	};
	const std::string p = canonical(path);
	const std::string d = canonical(dir);
	return !p.empty() && !d.empty() && p.size() > d.size() && p.compare(0, d.size(), d) == 0
		   && (d == "/" || p[d.size()] == '/');
}

/*! An exception's messages on one line, outermost first. */
std::string oneLine(const ZEB::Exception & ex) {
	std::string stack = ex.msgStack();
	std::vector<std::string> parts;
	std::string part;
	for (char c : stack + "\n") {
		if (c == '\n') {
			while (!part.empty() && std::isspace(static_cast<unsigned char>(part.back())))
				part.pop_back();
			if (!part.empty())
				parts.push_back(part);
			part.clear();
		}
		else
			part += c;
	}
	std::string line;
	for (auto it = parts.rbegin(); it != parts.rend(); ++it)
		line += (line.empty() ? "" : " - ") + *it;
	return line;
}

double parseNumber(const std::string & option, const std::string & text) {
	char * end = nullptr;
	const double value = std::strtod(text.c_str(), &end);
	if (text.empty() || *end != '\0' || !std::isfinite(value) || value <= 0)
		throw UsageError(option + " needs a positive number, not '" + text + "'");
	return value;
}

/*! Positional arguments and "--name value" options of one command. */
struct Arguments {
	std::vector<std::string>			m_positional;
	std::map<std::string, std::string>	m_options;

	Arguments(int argc, char * argv[], const std::vector<std::string> & options) {
		for (int i = 0; i < argc; ++i) {
			const std::string arg = argv[i];
			if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
				bool known = false;
				for (const std::string & o : options)
					known |= (o == arg);
				if (!known)
					throw UsageError("unknown option " + arg);
				if (i + 1 >= argc)
					throw UsageError(arg + " needs a value");
				m_options[arg] = argv[++i];
			}
			else
				m_positional.push_back(arg);
		}
	}

	std::string option(const std::string & name, const std::string & fallback) const {
		auto it = m_options.find(name);
		return it == m_options.end() ? fallback : it->second;
	}
};

/*! Makes sure the project file exists and can be read, before the model reports it less plainly. */
void checkProjectFile(const std::string & project) {
	QFileInfo info(QString::fromStdString(project));
	if (!info.exists())
		throw Failure("project file '" + project + "' does not exist");
	if (!info.isFile() || !info.isReadable())
		throw Failure("project file '" + project + "' cannot be read");
}

/*! Reads the project and its climate (the project file's folder: every command of the tool takes
	a project's climate from there) and initialises the model with the FMU's solver settings. */
void initModel(RX::CalovindaModelFMU & model, const std::string & project) {
	checkProjectFile(project);
	model.chooseSolvers();
	const QFileInfo info(QString::fromStdString(project));
	try {
		model.init(ZEB::Path(info.absoluteFilePath().toStdString()), ZEB::Path(info.absolutePath().toStdString()));
	}
	catch (const ZEB::Exception &) {
		// the room knows its file only once the project was read whole
		const bool projectRead = model.m_room.m_projectFilePath == info.absoluteFilePath();
		const QString climate = model.m_room.m_climateLocation;
		if (projectRead && RX::Climate::isPlainReference(climate) && !QFileInfo(info.absoluteDir(), climate).exists())
			throw Failure("the climate file '" + QFileInfo(info.absoluteDir(), climate).filePath().toStdString() +
						  "' that the project names does not exist (a project's climate lies beside it)");
		throw;
	}
}

/*! Progress of a run: a bar redrawn in place on a terminal, else a line every tenth. */
class Progress {
public:
	Progress(double t0, double t1) : m_t0(t0), m_t1(t1), m_terminal(isatty(STDERR_FILENO) != 0) {}

	void update(double t) {
		const double fraction = m_t1 > m_t0 ? std::min(1.0, (t - m_t0)/(m_t1 - m_t0)) : 1.0;
		if (m_terminal) {
			const int percent = static_cast<int>(fraction*100);
			if (percent == m_last)
				return;
			m_last = percent;
			const int width = 40;
			const int filled = static_cast<int>(fraction*width);
			std::fprintf(stderr, "\r[%s%s] %3d %%  day %3d", std::string(filled, '#').c_str(),
						 std::string(width - filled, ' ').c_str(), percent, static_cast<int>(t/86400));
			std::fflush(stderr);
		}
		else {
			const int tenth = static_cast<int>(fraction*10);
			if (tenth == m_last)
				return;
			m_last = tenth;
			std::fprintf(stderr, "progress: %3d %% (day %d)\n", tenth*10, static_cast<int>(t/86400));
		}
	}

	void finish() {
		if (m_terminal)
			std::fprintf(stderr, "\n");
	}

private:
	double	m_t0;
	double	m_t1;
	bool	m_terminal;
	int		m_last = -1;
};

/*! The annual summary of a run, from the output manager's series of the reported year: the
	whole run, or the second year of a cyclic two-year run, whose series restart at its start. */
struct Summary {
	double	m_heatingEnergy = 0;	// J
	double	m_coolingEnergy = 0;	// J
	double	m_peakHeating = 0;		// W
	double	m_peakCooling = 0;		// W
	double	m_januaryHeating = 0;	// J
	double	m_julyHeating = 0;		// J
	double	m_TMin = 0;				// C
	double	m_TMax = 0;				// C
	double	m_TMean = 0;			// C
	double	m_hoursAbove26 = 0;
	double	m_hoursAbove27 = 0;

	explicit Summary(const RX::OutputManager & out) {
		const std::vector<double> & time = out.m_stateSeries[RX::OutputManager::S_TIME];	// d
		const std::vector<double> & T = out.m_stateSeries[RX::OutputManager::S_ROOM_AIR_TEMPERATURE];
		const std::vector<double> & heating = out.m_fluxSeries[RX::OutputManager::F_HEATING_LOAD];
		const std::vector<double> & cooling = out.m_fluxSeries[RX::OutputManager::F_COOLING_LOAD];
		const std::vector<double> & heatingIntegral = out.m_fluxIntegralSeries[RX::OutputManager::F_HEATING_LOAD];
		const std::vector<double> & coolingIntegral = out.m_fluxIntegralSeries[RX::OutputManager::F_COOLING_LOAD];
		const std::size_t n = std::min({time.size(), T.size(), heating.size(), cooling.size(),
										heatingIntegral.size(), coolingIntegral.size()});
		if (n == 0)
			return;
		// the energies as the result files' integrals give them, not as loads times the output step
		m_heatingEnergy = heatingIntegral[n - 1] - heatingIntegral[0];
		// the cooling load is negative
		m_coolingEnergy = coolingIntegral[0] - coolingIntegral[n - 1];
		// the figures of flux_month_integrals.tsv
		m_januaryHeating = out.monthIntegral(RX::OutputManager::F_HEATING_LOAD, 1);
		m_julyHeating = out.monthIntegral(RX::OutputManager::F_HEATING_LOAD, 7);

		// Every row after the first closes one output interval; the first row is the start state
		// (TInitial, or the end of the warm-up year of a cyclic run), which no interval of the
		// reported period holds. The mean weighs each interval by its length.
		if (n < 2)
			return;
		m_TMin = m_TMax = T[1];
		double weightedSum = 0;
		for (std::size_t i = 1; i < n; ++i) {
			m_TMin = std::min(m_TMin, T[i]);
			m_TMax = std::max(m_TMax, T[i]);
			m_peakHeating = std::max(m_peakHeating, heating[i]);
			m_peakCooling = std::max(m_peakCooling, -cooling[i]);
			const double hours = (time[i] - time[i - 1])*24;
			weightedSum += T[i]*hours;
			if (T[i] > 26)
				m_hoursAbove26 += hours;
			if (T[i] > 27)
				m_hoursAbove27 += hours;
		}
		m_TMean = weightedSum/((time[n - 1] - time[0])*24);
	}

	void print() const {
		std::printf("Annual summary\n");
		std::printf("  heating energy            %10.1f kWh\n", m_heatingEnergy/3.6e6);
		std::printf("  cooling energy            %10.1f kWh\n", m_coolingEnergy/3.6e6);
		std::printf("  peak heating power        %10.3f kW\n", m_peakHeating/1000);
		std::printf("  peak cooling power        %10.3f kW\n", m_peakCooling/1000);
		printMonth("heating in January", m_januaryHeating);
		printMonth("heating in July", m_julyHeating);
		std::printf("  minimum room temperature  %10.2f C\n", m_TMin);
		std::printf("  maximum room temperature  %10.2f C\n", m_TMax);
		std::printf("  mean room temperature     %10.2f C\n", m_TMean);
		std::printf("  hours above 26 C          %10.0f h\n", m_hoursAbove26);
		std::printf("  hours above 27 C          %10.0f h\n", m_hoursAbove27);
	}

private:
	/*! One monthly figure [J] in kWh; a month the run does not cover whole has none. */
	static void printMonth(const char * label, double energy) {
		if (std::isnan(energy))
			std::printf("  %-24s  not covered (the run does not hold the whole month)\n", label);
		else
			std::printf("  %-24s  %10.1f kWh\n", label, energy/3.6e6);
	}
};

/*! Refuses a results directory where a result file would replace the project file. (A climate
	file cannot be one: the result files' extensions are none of a climate file's.) */
void checkResultsTarget(const std::string & project, const QString & resultsDir) {
	std::vector<const char *> names(RX::OutputManager::RESULT_FILES.begin(), RX::OutputManager::RESULT_FILES.end());
	names.push_back(RX::OutputManager::RESULT_LIST);
	for (const char * name : names) {
		const std::string result = (resultsDir + "/" + name).toStdString();
		if (sameFile(result, project))
			throw Failure("the result file '" + result + "' would replace the project file '" + project + "'");
	}
}

int simulate(const Arguments & args) {
	if (args.m_positional.size() != 1)
		throw UsageError("simulate needs one project file");
	const std::string project = args.m_positional[0];
	const std::string resultsName = args.option("--results", "calovinda-results");
	// the result files are written through a Qt text, which would substitute such bytes
	if (!ZEB::is_valid_utf8_string(resultsName))
		throw Failure("the results folder name '" + resultsName + "' is not valid UTF-8");
	checkWorkingDirectory(project, "project file");
	checkWorkingDirectory(resultsName, "results folder");
	const QString resultsDir = QString::fromStdString(resultsName);

	checkResultsTarget(project, resultsDir);
	RX::CalovindaModelFMU model;
	initModel(model, project);
	// a place the results cannot go is told before the year is simulated, not after
	std::error_code error;
	std::filesystem::create_directories(QFile::encodeName(resultsDir).toStdString(), error);
	if (!error && ::access(QFile::encodeName(resultsDir).constData(), W_OK | X_OK) != 0)
		error = std::error_code(errno, std::generic_category());
	if (error)
		throw Failure("cannot write the results into '" + resultsDir.toStdString() + "' (" + error.message() + ")");
	const double t0 = model.t0();
	const double tEnd = model.tEnd();
	model.initIntegrator();

	const auto integrateTo = [&model](double t) {
		try {
			model.integrateTo(t);
		}
		catch (const ZEB::Exception & ex) {
			throw Failure("the integration failed at t = " + std::to_string(model.integratorInterface()->t()) +
						  " s: " + oneLine(ex));
		}
	};
	Progress progress(t0, tEnd);
	// the start row
	integrateTo(t0);
	// as a co-simulation master with communication points on the output grid drives the FMU, so
	// that both runs take the same steps
	double tLastOut = t0;
	while (tLastOut < tEnd) {
		const double tOut = std::min(tEnd, model.nextOutputTime(tLastOut));
		integrateTo(tOut);
		tLastOut = tOut;
		progress.update(tOut);
	}
	progress.finish();

	// the comfort counters and the summer assessment, whose over-temperature column the state
	// table carries
	model.m_outputManager.updateAggregatedOutputs();
	model.m_outputManager.writeOutputFiles(resultsDir);
	std::printf("Results in %s\n", QDir(resultsDir).absolutePath().toStdString().c_str());
	Summary(model.m_outputManager).print();
	if (!quietHandler->m_assessmentReport.empty())
		std::printf("\n%s", quietHandler->m_assessmentReport.c_str());
	return 0;
}

/*! Refuses a package directory where the Modelica export would write over the project file. */
void checkModelicaTarget(const std::string & project, const std::string & dir) {
	const QFileInfo info(QString::fromStdString(project));
	const std::string name = info.fileName().toStdString();
	const bool written = RX::CalovindaModelInterface::isPackageFile(name) || name == RX::CalovindaModelInterface::PACKAGE_LIST;
	if (written && sameFile(dir, info.absolutePath().toStdString()))
		throw Failure("the package in '" + dir + "' would overwrite the project file '" + project + "'");
}

int exportModelica(const Arguments & args) {
	if (args.m_positional.size() != 2)
		throw UsageError("export-modelica needs a project file and a directory");
	checkWorkingDirectory(args.m_positional[0], "project file");
	checkWorkingDirectory(args.m_positional[1], "package folder");
	checkModelicaTarget(args.m_positional[0], args.m_positional[1]);
	RX::CalovindaModelFMU model;
	initModel(model, args.m_positional[0]);
	model.export2Modelica(ZEB::Path(args.m_positional[1]));
	std::printf("Modelica package written to %s\n", args.m_positional[1].c_str());
	return 0;
}

int exportFMU(const Arguments & args) {
	if (args.m_positional.size() != 2)
		throw UsageError("export-fmu needs a project file and the FMU file to write");
	const std::string fmuName = args.m_positional[1];
	if (!ZEB::is_valid_utf8_string(fmuName))
		throw Failure("the FMU file name '" + fmuName + "' is not valid UTF-8");
	checkWorkingDirectory(args.m_positional[0], "project file");
	checkWorkingDirectory(fmuName, "FMU file");
	if (sameFile(fmuName, args.m_positional[0]))
		throw Failure("the FMU file '" + fmuName + "' is the project file itself");
	const std::string libraryDir = args.option("--library",
		(QCoreApplication::applicationDirPath() + "/../fmu").toStdString());
	if (sameFile(fmuName, libraryDir + "/CalovindaFMI2.so"))
		throw Failure("the FMU file '" + fmuName + "' is the FMU library itself");
	RX::CalovindaModelFMU model;
	initModel(model, args.m_positional[0]);
	const QFileInfo project(QString::fromStdString(args.m_positional[0]));
	if (sameFile(fmuName, QFileInfo(project.absoluteDir(), model.m_room.m_climateLocation).filePath().toStdString()))
		throw Failure("the FMU file '" + fmuName + "' is the project's climate file itself");
	// the archive is packed beside its target and takes the target's name only when complete;
	// its climate is the one simulate uses, so that the FMU runs on it too
	makeParentDirectory(fmuName);
	ZEB::OutputFile fmu(fmuName);
	fmu.reserve();
	// the archive's tree is built in a directory that a signal removes
	const ZEB::PrivateDirectory work("calovinda-export-");
	if (!model.export2FMU(ZEB::Path(libraryDir), ZEB::Path(project.absoluteFilePath().toStdString()),
						  ZEB::Path(fmu.path()), ZEB::Path(), ZEB::Path(project.absolutePath().toStdString()),
						  ZEB::Path(work.path())))
		throw Failure("cannot export the FMU '" + fmuName + "': " + quietHandler->m_lastError);
	fmu.commit();
	std::printf("FMU written to %s\n", fmuName.c_str());
	return 0;
}

// ---- run-fmu: an independent FMI 2.0 host ----

/*! What the host needs of the model description. */
struct ModelDescription {
	std::string					m_guid;
	std::string					m_modelIdentifier;
	double						m_startTime = 0;
	double						m_stopTime = ZEB::SECONDS_PER_YEAR;
	/*! The DefaultExperiment's, else what hosts take without one. */
	double						m_tolerance = 1e-4;
	unsigned int				m_nStates = 0;
	unsigned int				m_nEventIndicators = 0;
	std::vector<std::string>	m_outputNames;
	std::vector<fmi2ValueReference>	m_outputRefs;
};

/*! True for a model identifier that names a library inside binaries/linux64/ and nothing else. */
bool plainLibraryName(const std::string & name) {
	return !name.empty() && name.find('/') == std::string::npos && name.find("..") == std::string::npos;
}

/*! The model description of the FMU fmu unpacked into dir, with the model identifier of the
	interface to run: model exchange when modelExchange is set, else co-simulation. */
ModelDescription readModelDescription(const QString & dir, const std::string & fmu, bool modelExchange) {
	QFile file(dir + "/modelDescription.xml");
	if (!file.exists())
		throw Failure("not an FMU: modelDescription.xml is missing in '" + fmu + "'");
	if (!file.open(QIODevice::ReadOnly))
		throw Failure("cannot read the modelDescription.xml of '" + fmu + "'");
	ModelDescription md;
	// the two interfaces may name different libraries
	const QLatin1String interfaceElement(modelExchange ? "ModelExchange" : "CoSimulation");
	bool interfaceFound = false;
	QXmlStreamReader xml(&file);
	while (!xml.atEnd()) {
		if (xml.readNext() != QXmlStreamReader::StartElement)
			continue;
		const QXmlStreamAttributes a = xml.attributes();
		if (xml.name() == QLatin1String("fmiModelDescription")) {
			md.m_guid = a.value("guid").toString().toStdString();
			md.m_nEventIndicators = a.value("numberOfEventIndicators").toUInt();
		}
		else if (xml.name() == interfaceElement) {
			interfaceFound = true;
			md.m_modelIdentifier = a.value("modelIdentifier").toString().toStdString();
			if (!plainLibraryName(md.m_modelIdentifier))
				throw Failure("not an FMU: the model identifier '" + md.m_modelIdentifier + "' in '" + fmu +
							  "' is not a plain library name");
		}
		else if (xml.name() == QLatin1String("DefaultExperiment")) {
			if (a.hasAttribute("startTime"))
				md.m_startTime = a.value("startTime").toDouble();
			if (a.hasAttribute("stopTime"))
				md.m_stopTime = a.value("stopTime").toDouble();
			if (a.hasAttribute("tolerance"))
				md.m_tolerance = a.value("tolerance").toDouble();
		}
		else if (xml.name() == QLatin1String("ScalarVariable")) {
			if (a.value("causality") == QLatin1String("output")) {
				md.m_outputNames.push_back(a.value("name").toString().toStdString());
				md.m_outputRefs.push_back(a.value("valueReference").toUInt());
			}
			else if (a.value("name").startsWith(QLatin1String("x[")))
				++md.m_nStates;
		}
	}
	if (xml.hasError())
		throw Failure("not an FMU: the modelDescription.xml of '" + fmu + "' is malformed (" +
					  xml.errorString().toStdString() + ")");
	if (!interfaceFound)
		throw Failure("the FMU '" + fmu + "' offers no " + (modelExchange ? "model exchange" : "co-simulation") +
					  " (its modelDescription.xml has no " + interfaceElement.data() + " element)");
	if (md.m_guid.empty() || md.m_modelIdentifier.empty())
		throw Failure("not an FMU: the modelDescription.xml of '" + fmu + "' names no GUID or model identifier");
	return md;
}

void logger(fmi2ComponentEnvironment, fmi2String instanceName, fmi2Status status, fmi2String category,
			fmi2String message, ...)
{
	char text[4096];
	va_list args;
	va_start(args, message);
	std::vsnprintf(text, sizeof(text), message, args);
	va_end(args);
	// an FMU writes a '#' of its text as "##", since "#r1001#" would name a variable
	char * to = text;
	for (const char * from = text; *from != '\0'; ++from) {
		*to++ = *from;
		if (from[0] == '#' && from[1] == '#')
			++from;
	}
	*to = '\0';
	// progress is chatter; warnings and errors are the host's business
	if (status >= fmi2Warning)
		std::fprintf(stderr, "%s [%s]: %s\n", instanceName != nullptr ? instanceName : "",
					 category != nullptr ? category : "", text);
}

#define CALOVINDA_HOST_FUNCTIONS(X) \
	X(fmi2Instantiate) X(fmi2FreeInstance) X(fmi2SetupExperiment) X(fmi2EnterInitializationMode) \
	X(fmi2ExitInitializationMode) X(fmi2Terminate) X(fmi2GetReal) X(fmi2SetString) X(fmi2DoStep) \
	X(fmi2NewDiscreteStates) X(fmi2EnterContinuousTimeMode) X(fmi2SetTime) X(fmi2SetContinuousStates) \
	X(fmi2GetContinuousStates) X(fmi2GetDerivatives) X(fmi2CompletedIntegratorStep) X(fmi2GetFMUstate) \
	X(fmi2GetEventIndicators) X(fmi2GetNominalsOfContinuousStates) X(fmi2EnterEventMode) \
	X(fmi2SetFMUstate) X(fmi2FreeFMUstate) X(fmi2SerializedFMUstateSize) X(fmi2SerializeFMUstate) \
	X(fmi2DeSerializeFMUstate)

/*! The functions the host calls, from a library loaded for this run. */
struct FMULibrary {
#define CALOVINDA_HOST_MEMBER(name) decltype(&::name) name = nullptr;
	CALOVINDA_HOST_FUNCTIONS(CALOVINDA_HOST_MEMBER)
#undef CALOVINDA_HOST_MEMBER
	void * m_handle = nullptr;

	explicit FMULibrary(const std::string & file) {
		m_handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
		if (m_handle == nullptr)
			throw Failure(std::string("cannot load the FMU's library: ") + dlerror());
#define CALOVINDA_HOST_RESOLVE(name) \
		name = reinterpret_cast<decltype(&::name)>(dlsym(m_handle, #name)); \
		if (name == nullptr) { dlclose(m_handle); throw Failure("the FMU's library lacks " #name); }
		CALOVINDA_HOST_FUNCTIONS(CALOVINDA_HOST_RESOLVE)
#undef CALOVINDA_HOST_RESOLVE
	}
	~FMULibrary() { dlclose(m_handle); }
	FMULibrary(const FMULibrary &) = delete;
	FMULibrary & operator=(const FMULibrary &) = delete;
};

void check(fmi2Status status, const char * call) {
	if (status != fmi2OK && status != fmi2Warning)
		throw Failure(std::string(call) + " failed");
}

/*! A saved state file: "CALOVINDA-FMUSTATE 1", the time [s] as 8 bytes, the state's bytes. */
const char stateMagic[] = "CALOVINDA-FMUSTATE 1\n";

void writeState(ZEB::OutputFile & out, double t, const std::vector<char> & bytes) {
	out.open();
	out.write(stateMagic, sizeof(stateMagic) - 1);
	out.write(reinterpret_cast<const char *>(&t), sizeof(t));
	out.write(bytes.data(), bytes.size());
}

/*! One CSV field as RFC 4180 writes it: quoted, with its quotes doubled, when it holds a comma,
	a quote or a line break. */
std::string csvField(const std::string & text) {
	if (text.find_first_of(",\"\r\n") == std::string::npos)
		return text;
	std::string field = "\"";
	for (char c : text)
		field += c == '"' ? std::string("\"\"") : std::string(1, c);
	return field + "\"";
}

/*! Refuses outputs of run-fmu that would write over one of its inputs, or over each other. */
void checkRunOutputs(const std::string & fmu, const std::string & restoreFile, const std::string & outputFile,
					 const std::string & saveFile)
{
	const bool fmuIsDirectory = QFileInfo(QString::fromStdString(fmu)).isDir();
	for (const std::string & out : {outputFile, saveFile}) {
		if (out.empty())
			continue;
		if (sameFile(out, fmu))
			throw Failure("the output file '" + out + "' is the FMU '" + fmu + "' itself");
		if (fmuIsDirectory && insideDirectory(out, fmu))
			throw Failure("the output file '" + out + "' is a file of the FMU directory '" + fmu + "'");
		if (!restoreFile.empty() && sameFile(out, restoreFile))
			throw Failure("the output file '" + out + "' is the state file to restore '" + restoreFile + "'");
	}
	const auto absolute = [](const std::string & name) {
		return QDir::cleanPath(QFileInfo(QString::fromStdString(name)).absoluteFilePath());
	};
	if (!saveFile.empty() && (sameFile(outputFile, saveFile) || absolute(outputFile) == absolute(saveFile)))
		throw Failure("the output file '" + outputFile + "' is also the state file to save");
}

double readState(const std::string & fileName, std::vector<char> & bytes) {
	std::ifstream in(fileName, std::ios::binary);
	if (!in)
		throw Failure("cannot read the state file '" + fileName + "'");
	std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	const std::size_t head = sizeof(stateMagic) - 1;
	double t = 0;
	if (all.size() <= head + sizeof(t) || all.compare(0, head, stateMagic) != 0)
		throw Failure("'" + fileName + "' is not a state file of run-fmu");
	std::memcpy(&t, all.data() + head, sizeof(t));
	if (!std::isfinite(t) || t < 0)
		throw Failure("'" + fileName + "' holds no valid time");
	bytes.assign(all.begin() + static_cast<std::ptrdiff_t>(head + sizeof(t)), all.end());
	return t;
}

int runFMU(const Arguments & args, ModelExchangeCVODE::Restart restart) {
	if (args.m_positional.size() != 1)
		throw UsageError("run-fmu needs one FMU");
	const std::string fmu = args.m_positional[0];
	const std::string interface = args.option("--interface", "cs");
	if (interface != "cs" && interface != "me")
		throw UsageError("--interface is cs or me, not '" + interface + "'");
	const bool me = interface == "me";
	const std::string solver = args.option("--solver", "euler");
	if (solver != "euler" && solver != "cvode")
		throw UsageError("--solver is euler or cvode, not '" + solver + "'");
	if (!me && (args.m_options.count("--solver") || args.m_options.count("--tolerance")))
		throw UsageError("--solver and --tolerance need --interface me");
	const bool cvode = solver == "cvode";
	if (!cvode && args.m_options.count("--tolerance"))
		throw UsageError("--tolerance needs --solver cvode");
	if (!cvode && args.m_options.count("--max-steps"))
		throw UsageError("--max-steps needs --solver cvode");
	const double step = parseNumber("--step", args.option("--step", me && !cvode ? "0.1" : "3600"));
	// 0: the model description's
	const double givenTolerance = args.m_options.count("--tolerance")
								  ? parseNumber("--tolerance", args.option("--tolerance", "")) : 0;
	// 0: no limit
	const double maxSteps = args.m_options.count("--max-steps")
							? parseNumber("--max-steps", args.option("--max-steps", "")) : 0;
	if (maxSteps != std::floor(maxSteps) || maxSteps > 1e9)
		throw UsageError("--max-steps needs a whole number of steps, not '" + args.option("--max-steps", "") + "'");
	const std::string saveFile = args.option("--save-state", "");
	const std::string restoreFile = args.option("--restore-state", "");
	if (me && !(saveFile.empty() && restoreFile.empty()))
		throw UsageError("--save-state and --restore-state need --interface cs");
	checkWorkingDirectory(fmu, "FMU");

	const QFileInfo info(QString::fromStdString(fmu));
	if (!info.exists())
		throw Failure("FMU '" + fmu + "' does not exist");
	const std::string outputFile = args.option("--output", info.completeBaseName().toStdString() + ".csv");
	checkRunOutputs(fmu, restoreFile, outputFile, saveFile);
	makeParentDirectory(outputFile);
	if (!saveFile.empty())
		makeParentDirectory(saveFile);
	// both resolved now: the model may change the working directory
	ZEB::OutputFile out(outputFile);
	std::unique_ptr<ZEB::OutputFile> stateOut(saveFile.empty() ? nullptr : new ZEB::OutputFile(saveFile));

	// the unpacked FMU, its log and results go to a private directory (owner only) that goes
	// with the run
	ZEB::PrivateDirectory work("calovinda-run-");
	QString dir = info.absoluteFilePath();
	if (!info.isDir()) {
		const std::string unpacked = work.path() + "/fmu";
		if (mkdir(unpacked.c_str(), S_IRWXU) != 0)
			throw Failure("cannot create a temporary directory '" + unpacked + "'");
		FMUArchive::unpack(info.absoluteFilePath().toStdString(), unpacked);
		dir = QString::fromStdString(unpacked);
	}
	const ModelDescription md = readModelDescription(dir, fmu, me);
	const double stop = args.m_options.count("--stop") ? parseNumber("--stop", args.option("--stop", ""))
													   : md.m_stopTime;
	const double tolerance = givenTolerance > 0 ? givenTolerance : md.m_tolerance;
	out.open();

	FMULibrary lib(dir.toStdString() + "/binaries/linux64/" + md.m_modelIdentifier + ".so");
	fmi2CallbackFunctions functions{&logger, nullptr, nullptr, nullptr, nullptr};
	const std::string resources = ZEB::Path(dir.toStdString() + "/resources").toFileURI() + "/";
	// logging off, as simulators instantiate unless asked: the FMU then makes no progress texts,
	// of which a model-exchange host would receive several per evaluation, and reports its errors
	fmi2Component c = lib.fmi2Instantiate("calovinda", me ? fmi2ModelExchange : fmi2CoSimulation,
										  md.m_guid.c_str(), resources.c_str(), &functions, fmi2False, fmi2False);
	if (c == nullptr)
		throw Failure("fmi2Instantiate failed");
	struct Freer {
		const FMULibrary & lib;
		fmi2Component c;
		~Freer() { lib.fmi2FreeInstance(c); }
	} freer{lib, c};

	const std::string resultsRoot = work.path() + "/results";
	const fmi2ValueReference resultsRootRef = RX::FMU2_ResultsRootDir;
	const fmi2String resultsRootValue = resultsRoot.c_str();
	check(lib.fmi2SetString(c, &resultsRootRef, 1, &resultsRootValue), "fmi2SetString");
	double t = md.m_startTime;
	if (restoreFile.empty()) {
		check(lib.fmi2SetupExperiment(c, fmi2False, 0, t, fmi2True, stop), "fmi2SetupExperiment");
		check(lib.fmi2EnterInitializationMode(c), "fmi2EnterInitializationMode");
		check(lib.fmi2ExitInitializationMode(c), "fmi2ExitInitializationMode");
	}
	else {
		// a fresh instance takes everything from the state: no initialisation before it
		std::vector<char> bytes;
		t = readState(restoreFile, bytes);
		fmi2FMUstate state = nullptr;
		check(lib.fmi2DeSerializeFMUstate(c, bytes.data(), bytes.size(), &state), "fmi2DeSerializeFMUstate");
		const fmi2Status set = lib.fmi2SetFMUstate(c, state);
		lib.fmi2FreeFMUstate(c, &state);
		check(set, "fmi2SetFMUstate");
		if (!(stop > t))
			throw Failure("the stop time " + std::to_string(stop) + " s is not after the saved state's time " +
						  std::to_string(t) + " s");
	}

	out.print("time");
	for (const std::string & name : md.m_outputNames)
		out.print(",%s", csvField(name).c_str());
	out.print("\n");
	std::vector<double> values(md.m_outputRefs.size());
	const auto writeRow = [&](double t) {
		if (!values.empty())
			check(lib.fmi2GetReal(c, md.m_outputRefs.data(), values.size(), values.data()), "fmi2GetReal");
		out.print("%.17g", t);
		for (double v : values)
			out.print(",%.17g", v);
		out.print("\n");
	};

	Progress progress(t, stop);
	std::string solverStatistics;
	if (restoreFile.empty())
		writeRow(t);
	if (!me) {
		const double t0 = t;
		for (unsigned long i = 1; t < stop; ++i) {
			const double tNext = std::min(stop, t0 + i*step);
			check(lib.fmi2DoStep(c, t, tNext - t, fmi2True), "fmi2DoStep");
			t = tNext;
			writeRow(t);
			progress.update(t);
		}
	}
	else if (cvode) {
		ModelExchangeFunctions functions;
#define CALOVINDA_HOST_TAKE(name) functions.name = lib.name;
		CALOVINDA_HOST_TAKE(fmi2SetTime) CALOVINDA_HOST_TAKE(fmi2SetContinuousStates)
		CALOVINDA_HOST_TAKE(fmi2GetContinuousStates) CALOVINDA_HOST_TAKE(fmi2GetNominalsOfContinuousStates)
		CALOVINDA_HOST_TAKE(fmi2GetDerivatives) CALOVINDA_HOST_TAKE(fmi2GetEventIndicators)
		CALOVINDA_HOST_TAKE(fmi2CompletedIntegratorStep) CALOVINDA_HOST_TAKE(fmi2EnterEventMode)
		CALOVINDA_HOST_TAKE(fmi2NewDiscreteStates) CALOVINDA_HOST_TAKE(fmi2EnterContinuousTimeMode)
#undef CALOVINDA_HOST_TAKE
		ModelExchangeCVODE host(functions, c, md.m_nStates, md.m_nEventIndicators, t, stop, tolerance,
								static_cast<long>(maxSteps), restart);
		const double t0 = t;
		for (unsigned long i = 1; t < stop; ++i) {
			t = std::min(stop, t0 + i*step);
			host.advance(t);
			writeRow(t);
			progress.update(t);
		}
		solverStatistics = "cvode: " + host.statistics();
	}
	else {
		fmi2EventInfo event{};
		check(lib.fmi2NewDiscreteStates(c, &event), "fmi2NewDiscreteStates");
		check(lib.fmi2EnterContinuousTimeMode(c), "fmi2EnterContinuousTimeMode");
		std::vector<double> x(md.m_nStates), dx(md.m_nStates);
		check(lib.fmi2GetContinuousStates(c, x.data(), x.size()), "fmi2GetContinuousStates");
		const double t0 = t;
		for (unsigned long i = 1; t < stop; ++i) {
			check(lib.fmi2GetDerivatives(c, dx.data(), dx.size()), "fmi2GetDerivatives");
			const double tNext = std::min(stop, t0 + i*step);
			for (std::size_t k = 0; k < x.size(); ++k)
				x[k] += (tNext - t)*dx[k];
			t = tNext;
			check(lib.fmi2SetTime(c, t), "fmi2SetTime");
			check(lib.fmi2SetContinuousStates(c, x.data(), x.size()), "fmi2SetContinuousStates");
			fmi2Boolean enterEventMode = fmi2False, terminate = fmi2False;
			check(lib.fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate),
				  "fmi2CompletedIntegratorStep");
			writeRow(t);
			progress.update(t);
		}
	}
	progress.finish();
	if (!solverStatistics.empty())
		std::fprintf(stderr, "%s\n", solverStatistics.c_str());
	if (!saveFile.empty()) {
		fmi2FMUstate state = nullptr;
		check(lib.fmi2GetFMUstate(c, &state), "fmi2GetFMUstate");
		std::size_t size = 0;
		std::vector<char> bytes;
		fmi2Status status = lib.fmi2SerializedFMUstateSize(c, state, &size);
		if (status == fmi2OK) {
			bytes.resize(size);
			status = lib.fmi2SerializeFMUstate(c, state, bytes.data(), size);
		}
		lib.fmi2FreeFMUstate(c, &state);
		check(status, "fmi2SerializeFMUstate");
		writeState(*stateOut, t, bytes);
	}
	check(lib.fmi2Terminate(c), "fmi2Terminate");
	// both files complete before either takes its name
	out.finish();
	if (stateOut)
		stateOut->finish();
	out.commit();
	if (stateOut)
		stateOut->commit();
	return 0;
}

} // namespace

int calovindaMain(int argc, char * argv[], ModelExchangeCVODE::Restart restart) {
	if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
		std::fputs(usageText, argc < 2 ? stderr : stdout);
		return argc < 2 ? 2 : 0;
	}
	const std::string command = argv[1];
	if (command == "--version") {
		// the version the FMU reports in its log and its model description
		std::printf("calovinda %s\n", RX::LONG_VERSION);
		return 0;
	}
	const auto help = commandHelp.find(command);
	if (help == commandHelp.end()) {
		std::fprintf(stderr, "calovinda: unknown command '%s'\n%s", command.c_str(), usageText);
		return 2;
	}
	for (int i = 2; i < argc; ++i) {
		if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
			std::fputs(help->second, stdout);
			return 0;
		}
	}
	// Qt finds the program's directories (the FMU library, the climate database) through the
	// application object; the numbers we print keep the C locale whatever the environment says
	int qtArgc = 1;
	QCoreApplication app(qtArgc, argv);
	std::setlocale(LC_ALL, "C");
	ZEB::Interruption::install();
	QuietHandler quiet;
	quietHandler = &quiet;
	ZEB::MessageHandlerRegistry::instance().setMessageHandler(&quiet);
	try {
		const Arguments args(argc - 2, argv + 2, command == "simulate" ? std::vector<std::string>{"--results"}
												 : command == "export-fmu" ? std::vector<std::string>{"--library"}
												 : command == "run-fmu"
												 ? std::vector<std::string>{"--interface", "--solver", "--tolerance", "--max-steps", "--step",
																		   "--stop", "--output", "--save-state", "--restore-state"}
												 : std::vector<std::string>{});
		if (command == "simulate")
			return simulate(args);
		if (command == "export-modelica")
			return exportModelica(args);
		if (command == "export-fmu")
			return exportFMU(args);
		return runFMU(args, restart);
	}
	catch (const UsageError & ex) {
		std::fprintf(stderr, "calovinda %s: %s\n%s", command.c_str(), ex.what(), help->second);
		return 2;
	}
	catch (const Failure & ex) {
		std::fprintf(stderr, "calovinda %s: %s\n", command.c_str(), ex.what());
	}
	catch (const ZEB::Exception & ex) {
		std::fprintf(stderr, "calovinda %s: %s\n", command.c_str(), oneLine(ex).c_str());
	}
	catch (const std::exception & ex) {
		std::fprintf(stderr, "calovinda %s: %s\n", command.c_str(), ex.what());
	}
	return 1;
}
