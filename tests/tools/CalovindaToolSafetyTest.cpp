#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <JlCompress.h>
#include <quazip.h>
#include <quazipfile.h>

#include "TestSupport.h"

// What the tool writes, and where: outputs appear complete or not at all, never over an input,
// and an FMU archive from anywhere unpacks into the run's private directory or not at all.

namespace {

namespace fs = std::filesystem;

const std::string example = CALOVINDA_EXAMPLE_DIR "/calovinda_project.rmxml";

struct ToolRun {
	int			m_exitCode;
	std::string	m_err;
};

/*! Runs the tool with its temporary directory tmp; standard output is dropped (the FMU writes
	its warnings there). */
ToolRun runTool(const std::string & arguments, const std::string & tmp, const TestSupport::TempDirectory & dir) {
	const std::string err = dir.file("stderr");
	const int status = std::system(("TMPDIR='" + tmp + "' " CALOVINDA_TOOL " " + arguments + " >/dev/null 2>" + err).c_str());
	return ToolRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, TestSupport::readFile(err)};
}

/*! The names in directory dir. */
std::vector<std::string> listing(const std::string & dir) {
	std::vector<std::string> names;
	for (const fs::directory_entry & e : fs::directory_iterator(dir))
		names.push_back(e.path().filename().string());
	return names;
}

/*! Expects a failed run: exit code 1 and the failure told in one line, the last one (progress
	and the model's warnings may come before it), that holds every text of texts. */
void expectOneLineFailure(const ToolRun & run, const std::vector<std::string> & texts, const std::string & what) {
	EXPECT_EQ(run.m_exitCode, 1) << what << ": " << run.m_err;
	const std::size_t start = run.m_err.rfind('\n', run.m_err.size() - 2);
	const std::string last = run.m_err.substr(start == std::string::npos ? 0 : start + 1);
	EXPECT_EQ(last.rfind("calovinda ", 0), 0u) << what << ": " << run.m_err;
	EXPECT_EQ(run.m_err.find("calovinda "), run.m_err.size() - last.size()) << what << ": " << run.m_err;
	for (const std::string & text : texts)
		EXPECT_NE(last.find(text), std::string::npos) << what << ": " << run.m_err;
}

/*! An archive entry: a Unix mode in the external attributes, and for a declared size other
	than 0 the data stored raw under that uncompressed size, as a crafted archive claims it. */
struct ZipEntry {
	std::string		m_name;
	std::string		m_data;
	unsigned int	m_mode = 0;
	unsigned long	m_declaredSize = 0;
};

void writeZip(const std::string & fileName, const std::vector<ZipEntry> & entries) {
	QuaZip zip(QString::fromStdString(fileName));
	ASSERT_TRUE(zip.open(QuaZip::mdCreate));
	for (const ZipEntry & e : entries) {
		QuaZipNewInfo info(QString::fromStdString(e.m_name));
		info.externalAttr = e.m_mode << 16;
		QuaZipFile out(&zip);
		if (e.m_declaredSize != 0) {
			info.uncompressedSize = e.m_declaredSize;
			ASSERT_TRUE(out.open(QIODevice::WriteOnly, info, nullptr, 0, Z_DEFLATED, Z_DEFAULT_COMPRESSION, true));
		}
		else
			// stored: the tests write many archives of some megabytes
			ASSERT_TRUE(out.open(QIODevice::WriteOnly, info, nullptr, 0, 0, 0));
		out.write(e.m_data.data(), static_cast<qint64>(e.m_data.size()));
		out.close();
		ASSERT_EQ(out.getZipError(), 0) << e.m_name;
	}
	zip.close();
}

std::vector<ZipEntry> readZip(const std::string & fileName) {
	std::vector<ZipEntry> entries;
	QuaZip zip(QString::fromStdString(fileName));
	if (!zip.open(QuaZip::mdUnzip))
		throw std::runtime_error("cannot read " + fileName);
	for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
		QuaZipFileInfo64 info;
		zip.getCurrentFileInfo(&info);
		QuaZipFile in(&zip);
		in.open(QIODevice::ReadOnly);
		const QByteArray data = in.readAll();
		entries.push_back(ZipEntry{info.name.toStdString(), data.toStdString(), info.externalAttr >> 16, 0});
	}
	return entries;
}

/*! The example exported once as an FMU, its entries, and a directory per test. */
class ToolSafety : public ::testing::Test {
protected:
	static void SetUpTestSuite() {
		m_shared = new TestSupport::TempDirectory("toolsafety");
		const std::string tmp = m_shared->file("tmp");
		fs::create_directory(tmp);
		const ToolRun run = runTool("export-fmu " + example + " " + m_shared->file("example.fmu"), tmp, *m_shared);
		if (run.m_exitCode != 0)
			throw std::runtime_error("export-fmu failed: " + run.m_err);
		m_fmuEntries = new std::vector<ZipEntry>(readZip(m_shared->file("example.fmu")));
	}
	static void TearDownTestSuite() {
		delete m_fmuEntries;
		delete m_shared;
	}

	void SetUp() override {
		fs::create_directory(m_tmp);
		fs::create_directory(m_outside);
	}

	ToolRun run(const std::string & arguments) const { return runTool(arguments, m_tmp, m_dir); }

	/*! The example's entries with extra ones before them and the model identifier replaced. */
	std::vector<ZipEntry> fmuWith(const std::vector<ZipEntry> & extra, const std::string & modelIdentifier = "") const {
		std::vector<ZipEntry> entries = extra;
		for (ZipEntry e : *m_fmuEntries) {
			if (e.m_name == "modelDescription.xml" && !modelIdentifier.empty()) {
				const std::string from = "modelIdentifier=\"CalovindaFMI2\"";
				for (std::size_t pos = e.m_data.find(from); pos != std::string::npos; pos = e.m_data.find(from, pos))
					e.m_data.replace(pos, from.size(), "modelIdentifier=\"" + modelIdentifier + "\"");
			}
			entries.push_back(e);
		}
		return entries;
	}

	static TestSupport::TempDirectory *	m_shared;
	static std::vector<ZipEntry> *		m_fmuEntries;
	TestSupport::TempDirectory			m_dir{"toolsafety"};
	/*! The tool's temporary directory, empty whenever the tool has ended. */
	const std::string					m_tmp = m_dir.file("tmp");
	/*! Where a hostile archive aims. */
	const std::string					m_outside = m_dir.file("outside");
};

TestSupport::TempDirectory * ToolSafety::m_shared = nullptr;
std::vector<ZipEntry> * ToolSafety::m_fmuEntries = nullptr;


TEST_F(ToolSafety, RefusesHostileArchivesBeforeWritingAnything) {
	const std::string depth = "../../../" + fs::path(m_outside).filename().string();
	std::string deep;
	for (int i = 0; i < 40; ++i)
		deep += "d/";
	std::vector<ZipEntry> many;
	for (int i = 0; i <= 10000; ++i)
		many.push_back(ZipEntry{"resources/many/" + std::to_string(i), ""});
	const std::vector<std::pair<std::vector<ZipEntry>, std::string>> archives = {
		// a link into the outside, then an entry written through it
		{fmuWith({{"resources/out", m_outside, 0120777}, {"resources/out/pwned.txt", "pwned"}}),
		 "entry 'resources/out' is a symbolic link"},
		{fmuWith({{depth + "/dotdot.txt", "pwned"}}), "leads outside the directory it is unpacked into"},
		{fmuWith({{m_outside + "/absolute.txt", "pwned"}}), "leads outside the directory it is unpacked into"},
		{fmuWith({{"resources\\..\\..\\backslash.txt", "pwned"}}), "is not a plain relative path"},
		{fmuWith({{"resources/fifo", "", 0010644}}), "is a special file"},
		{fmuWith({{deep + "deep.txt", "deep"}}), "is nested more than 32 levels deep"},
		// 2 GB declared in the central directory, a few bytes stored
		{fmuWith({{"resources/bomb.bin", std::string(1000, 'x'), 0100644, 2000000000ul}}),
		 "its entries unpack to more than 1024 MiB"},
		{fmuWith(many), "it holds more than 10000 entries"},
		{fmuWith({}, "../" + depth + "/evil"), "the model identifier '../" + depth + "/evil'"},
		{fmuWith({}, "lib/evil"), "is not a plain library name"},
	};
	for (std::size_t i = 0; i < archives.size(); ++i) {
		const std::string fmu = m_dir.file("hostile" + std::to_string(i) + ".fmu");
		writeZip(fmu, archives[i].first);
		const ToolRun r = run("run-fmu " + fmu + " --stop 3600 --output " + m_dir.file("out.csv"));
		expectOneLineFailure(r, {archives[i].second, fmu}, archives[i].second);
		EXPECT_TRUE(listing(m_outside).empty()) << archives[i].second;
		EXPECT_TRUE(listing(m_tmp).empty()) << archives[i].second;
		EXPECT_FALSE(fs::exists(m_dir.file("out.csv"))) << archives[i].second;
	}
	// an entry whose stored bytes no longer match its checksum is caught while unpacking
	const std::string damaged = m_dir.file("damaged.fmu");
	const std::string data = "bytes whose checksum the archive keeps";
	writeZip(damaged, fmuWith({{"resources/damaged.txt", data}}));
	std::string bytes = TestSupport::readFile(damaged);
	ASSERT_NE(bytes.find(data), std::string::npos);
	bytes[bytes.find(data)] = 'B';
	std::ofstream(damaged, std::ios::binary) << bytes;
	expectOneLineFailure(run("run-fmu " + damaged + " --stop 3600 --output " + m_dir.file("out.csv")),
						 {"entry 'resources/damaged.txt' of '" + damaged + "': its data are damaged"}, "damaged");
	EXPECT_TRUE(listing(m_tmp).empty());
	EXPECT_FALSE(fs::exists(m_dir.file("out.csv")));

	// the untouched archive runs
	writeZip(m_dir.file("plain.fmu"), fmuWith({}));
	const ToolRun plain = run("run-fmu " + m_dir.file("plain.fmu") + " --stop 3600 --output " + m_dir.file("out.csv"));
	EXPECT_EQ(plain.m_exitCode, 0) << plain.m_err;
	EXPECT_TRUE(listing(m_tmp).empty());
}


TEST_F(ToolSafety, InterruptedRunLeavesNeitherTemporaryDirectoryNorOutput) {
	for (int signal : {SIGINT, SIGTERM}) {
		int pipeEnds[2];
		ASSERT_EQ(pipe(pipeEnds), 0);
		const std::string fmu = m_shared->file("example.fmu");
		const std::string out = m_dir.file("out.csv");
		// ten years: a run that is still going when the signal comes
		const pid_t pid = fork();
		ASSERT_GE(pid, 0);
		if (pid == 0) {
			dup2(pipeEnds[1], STDERR_FILENO);
			const int null = open("/dev/null", O_WRONLY);
			dup2(null, STDOUT_FILENO);
			setenv("TMPDIR", m_tmp.c_str(), 1);
			execl(CALOVINDA_TOOL, CALOVINDA_TOOL, "run-fmu", fmu.c_str(), "--stop", "315360000", "--output",
				  out.c_str(), static_cast<char *>(nullptr));
			_exit(127);
		}
		close(pipeEnds[1]);
		// the first progress line comes after the first rows are written
		std::string err;
		char c;
		while (err.find("progress:") == std::string::npos && read(pipeEnds[0], &c, 1) == 1)
			err += c;
		ASSERT_NE(err.find("progress:"), std::string::npos) << err;
		kill(pid, signal);
		int status = 0;
		ASSERT_EQ(waitpid(pid, &status, 0), pid);
		close(pipeEnds[0]);
		EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
		EXPECT_TRUE(listing(m_tmp).empty());
		for (const std::string & name : listing(m_dir.path()))
			EXPECT_EQ(name.find("out.csv"), std::string::npos) << name;
	}
}


/*! Watches dir and every folder made below it; true once a file (not a folder) is there. A
	folder is searched after its watch is added, so that nothing made before the watch is missed. */
bool watchTree(int inotifyFd, const std::string & dir, std::map<int, std::string> & watched) {
	const int wd = inotify_add_watch(inotifyFd, dir.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
	if (wd < 0)
		return false;
	watched[wd] = dir;
	std::error_code error;
	for (const fs::directory_entry & e : fs::directory_iterator(dir, error)) {
		if (!e.is_directory(error))
			return true;
		if (watchTree(inotifyFd, e.path().string(), watched))
			return true;
	}
	return false;
}

/*! Runs the tool with arguments (its temporary directory tmp) and sends it SIGINT as soon as a
	file appears anywhere below dir; the wait status, or -1 when the tool ended before it made one. */
int interruptOnFirstFile(const std::vector<std::string> & arguments, const std::string & tmp, const std::string & dir) {
	const int inotifyFd = inotify_init1(IN_CLOEXEC);
	if (inotifyFd < 0)
		return -1;
	std::map<int, std::string> watched;
	watchTree(inotifyFd, dir, watched);
	int pipeEnds[2];
	if (pipe2(pipeEnds, O_CLOEXEC) != 0)
		return -1;
	const pid_t pid = fork();
	if (pid == 0) {
		dup2(pipeEnds[1], STDOUT_FILENO);
		dup2(pipeEnds[1], STDERR_FILENO);
		setenv("TMPDIR", tmp.c_str(), 1);
		std::vector<char *> argv{const_cast<char *>(CALOVINDA_TOOL)};
		for (const std::string & a : arguments)
			argv.push_back(const_cast<char *>(a.c_str()));
		argv.push_back(nullptr);
		execv(CALOVINDA_TOOL, argv.data());
		_exit(127);
	}
	close(pipeEnds[1]);
	bool interrupted = false;
	// the tool's output is drained until it ends, which closes the pipe
	for (bool open = true; open && !interrupted;) {
		pollfd fds[2] = {{pipeEnds[0], POLLIN, 0}, {inotifyFd, POLLIN, 0}};
		if (poll(fds, 2, -1) < 0)
			continue;
		if (fds[1].revents & POLLIN) {
			alignas(inotify_event) char buffer[4096];
			const ssize_t n = read(inotifyFd, buffer, sizeof(buffer));
			for (ssize_t pos = 0; pos < n && !interrupted;) {
				const inotify_event * e = reinterpret_cast<const inotify_event *>(buffer + pos);
				pos += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
				const std::string path = watched[e->wd] + "/" + e->name;
				interrupted = !(e->mask & IN_ISDIR) || watchTree(inotifyFd, path, watched);
			}
			if (interrupted)
				kill(pid, SIGINT);
		}
		char text[4096];
		if (fds[0].revents & (POLLIN | POLLHUP))
			open = read(pipeEnds[0], text, sizeof(text)) > 0;
	}
	int status = 0;
	waitpid(pid, &status, 0);
	close(pipeEnds[0]);
	close(inotifyFd);
	return interrupted && !(WIFEXITED(status) && WEXITSTATUS(status) == 0) ? status : -1;
}

/*! Expects the tool, run with arguments up to three times, to be interrupted while it writes
	below dir and to leave nothing there; a run that ends before the signal proves nothing. */
void expectInterruptedRunLeavesNothing(const std::vector<std::string> & arguments, const std::string & tmp,
									   const std::string & dir)
{
	for (int attempt = 0; attempt < 3; ++attempt) {
		const int status = interruptOnFirstFile(arguments, tmp, dir);
		if (status == -1)
			continue;
		EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
		EXPECT_TRUE(listing(dir).empty());
		return;
	}
	ADD_FAILURE() << "no run was interrupted while it wrote below " << dir;
}

TEST_F(ToolSafety, InterruptedSimulateLeavesNoTemporaryResultFile) {
	std::string text = TestSupport::readFile(example);
	const std::string section = "<SimulationParameters>";
	text.insert(text.find(section) + section.size(), "<SimulationEndTime>864000</SimulationEndTime>");
	const std::string project = m_dir.file("days.rmxml");
	std::ofstream(project) << text;
	fs::copy_file(CALOVINDA_EXAMPLE_DIR "/725650TYCST.epw", m_dir.file("725650TYCST.epw"));
	const std::string results = m_dir.file("results");
	fs::create_directory(results);
	expectInterruptedRunLeavesNothing({"simulate", project, "--results", results}, m_tmp, results);
}

TEST_F(ToolSafety, InterruptedExportLeavesNoTemporaryTree) {
	const std::string fmu = m_dir.file("out/example.fmu");
	fs::create_directory(m_dir.file("out"));
	expectInterruptedRunLeavesNothing({"export-fmu", example, fmu}, m_tmp, m_tmp);
	EXPECT_TRUE(listing(m_dir.file("out")).empty());
}


/*! The example's entries with its model description changed by edit. */
std::vector<ZipEntry> withDescription(std::vector<ZipEntry> entries, const std::function<void(std::string &)> & edit) {
	for (ZipEntry & e : entries)
		if (e.m_name == "modelDescription.xml")
			edit(e.m_data);
	return entries;
}

TEST_F(ToolSafety, LoadsTheLibraryOfTheInterfaceItRuns) {
	// co-simulation names a library the archive lacks; model exchange the one it holds
	const std::string fmu = m_dir.file("two.fmu");
	writeZip(fmu, withDescription(*m_fmuEntries, [](std::string & md) {
		const std::size_t pos = md.find("modelIdentifier=\"CalovindaFMI2\"", md.find("<CoSimulation"));
		md.replace(pos, std::strlen("modelIdentifier=\"CalovindaFMI2\""), "modelIdentifier=\"Absent\"");
	}));
	const std::string out = m_dir.file("out.csv");
	const ToolRun me = run("run-fmu " + fmu + " --interface me --stop 1 --output " + out);
	EXPECT_EQ(me.m_exitCode, 0) << me.m_err;
	expectOneLineFailure(run("run-fmu " + fmu + " --interface cs --stop 3600 --output " + out), {"Absent.so"}, "cs");
}

TEST_F(ToolSafety, PrintsTheFMUsMessagesAsTheTextMeans) {
	// a climate file the FMU's reader refuses: its reason names the line with a '#', which the FMU
	// writes as "##" for its host
	std::vector<ZipEntry> entries = *m_fmuEntries;
	for (ZipEntry & e : entries)
		if (e.m_name == "resources/725650TYCST.epw") {
			std::size_t pos = 0;
			for (int line = 1; line < 20; ++line)
				pos = e.m_data.find('\n', pos) + 1;
			for (int field = 0; field < 6; ++field)
				pos = e.m_data.find(',', pos) + 1;
			e.m_data.insert(pos, "abc");
		}
	const std::string fmu = m_dir.file("badclimate.fmu");
	writeZip(fmu, entries);
	const ToolRun r = run("run-fmu " + fmu + " --stop 3600 --output " + m_dir.file("out.csv"));
	EXPECT_EQ(r.m_exitCode, 1) << r.m_err;
	EXPECT_NE(r.m_err.find("Invalid data line #12 (line 20 of the file)"), std::string::npos) << r.m_err;
	EXPECT_EQ(r.m_err.find("##"), std::string::npos) << r.m_err;
}

TEST_F(ToolSafety, RefusesAnInterfaceTheFMULacks) {
	const std::string fmu = m_dir.file("cs-only.fmu");
	writeZip(fmu, withDescription(*m_fmuEntries, [](std::string & md) {
		const std::size_t begin = md.find("<ModelExchange");
		md.erase(begin, md.find("/>", begin) + 2 - begin);
	}));
	const std::string out = m_dir.file("out.csv");
	expectOneLineFailure(run("run-fmu " + fmu + " --interface me --stop 1 --output " + out),
						 {"the FMU '" + fmu + "' offers no model exchange (its modelDescription.xml has no ModelExchange element)"},
						 "me");
	EXPECT_FALSE(fs::exists(out));
	EXPECT_TRUE(listing(m_tmp).empty());
	const ToolRun cs = run("run-fmu " + fmu + " --stop 3600 --output " + out);
	EXPECT_EQ(cs.m_exitCode, 0) << cs.m_err;
}


TEST_F(ToolSafety, FailedWritesExitWithOneLineAndLeaveNoOutput) {
	const std::string fmu = m_shared->file("example.fmu");
	std::ofstream(m_dir.file("file")) << "x";
	const std::vector<std::pair<std::string, std::string>> cases = {
		{"/dev/full", "No space left on device"},
		{m_dir.file("file/out.csv"), "Not a directory"},
		{m_dir.path(), "Is a directory"},
	};
	for (const auto & c : cases)
		expectOneLineFailure(run("run-fmu " + fmu + " --stop 7200 --output " + c.first), {"'" + c.first + "'", c.second},
							 c.first);
	expectOneLineFailure(run("run-fmu " + fmu + " --stop 7200 --output " + m_dir.file("out.csv") + " --save-state /dev/full"),
						 {"'/dev/full'", "No space left on device"}, "state");
	EXPECT_FALSE(fs::exists(m_dir.file("out.csv")));
	EXPECT_TRUE(listing(m_tmp).empty());
}


/*! A 64 KiB file system mounted for the test, unmounted on destruction. */
struct SmallFileSystem {
	explicit SmallFileSystem(const std::string & dir) : m_dir(dir) {
		fs::create_directory(dir);
		m_mounted = mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0;
	}
	~SmallFileSystem() {
		if (m_mounted)
			umount2(m_dir.c_str(), MNT_DETACH);
	}
	std::string	m_dir;
	bool		m_mounted = false;
};

TEST_F(ToolSafety, FullDiskKeepsThePreviousOutput) {
	SmallFileSystem small(m_dir.file("small"));
	if (!small.m_mounted)
		GTEST_SKIP() << "mounting a small file system needs root";
	const std::string out = small.m_dir + "/out.csv";
	std::ofstream(out) << "the previous run\n";
	// a month of hourly rows: some 270 kB
	expectOneLineFailure(run("run-fmu " + m_shared->file("example.fmu") + " --stop 2592000 --output " + out),
						 {"'" + out + "'", "No space left on device"}, "full disk");
	EXPECT_EQ(TestSupport::readFile(out), "the previous run\n");
	EXPECT_EQ(listing(small.m_dir), std::vector<std::string>{"out.csv"});
	EXPECT_TRUE(listing(m_tmp).empty());
}


/*! Exit code of command run by the shell as an ordinary user: as it is when the tests do not
	run as root, else as "nobody" in a child process; -1 when it cannot be run so. */
int runAsOrdinaryUser(const std::string & command) {
	if (geteuid() != 0) {
		const int status = std::system(command.c_str());
		return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
	}
	const passwd * nobody = getpwnam("nobody");
	if (nobody == nullptr)
		return -1;
	const uid_t uid = nobody->pw_uid;
	const gid_t gid = nobody->pw_gid;
	const pid_t pid = fork();
	if (pid < 0)
		return -1;
	if (pid == 0) {
		if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
			_exit(126);
		execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
		_exit(127);
	}
	int status = 0;
	if (waitpid(pid, &status, 0) != pid)
		return -1;
	return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/*! Opens the test's directory to an ordinary user; false when the tool cannot run as one. */
bool prepareOrdinaryUser(const TestSupport::TempDirectory & dir, const std::string & tmp) {
	fs::permissions(dir.path(), fs::perms::all);
	fs::permissions(tmp, fs::perms::all);
	return runAsOrdinaryUser(CALOVINDA_TOOL " --help >/dev/null 2>&1") == 0;
}

TEST_F(ToolSafety, RemovesItsDirectoryAlsoWhenTheArchiveHoldsReadOnlyFolders) {
	if (!prepareOrdinaryUser(m_dir, m_tmp))
		GTEST_SKIP() << "the tool cannot run as an ordinary user here";
	const std::string fmu = m_dir.file("readonly.fmu");
	// the folder's mode after its content, as an archiver that restores modes would apply it
	writeZip(fmu, fmuWith({{"resources/locked/data.txt", "data", 0100400}, {"resources/locked/", "", 040500}}));
	fs::permissions(fmu, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
	const std::string out = m_dir.file("out.csv");
	const int exitCode = runAsOrdinaryUser("TMPDIR='" + m_tmp + "' " CALOVINDA_TOOL " run-fmu " + fmu +
										   " --stop 3600 --output " + out + " >/dev/null 2>&1");
	EXPECT_EQ(exitCode, 0);
	EXPECT_TRUE(fs::exists(out));
	EXPECT_TRUE(listing(m_tmp).empty());
}

TEST_F(ToolSafety, RefusesAnOutputDirectoryWithoutWritePermission) {
	if (!prepareOrdinaryUser(m_dir, m_tmp))
		GTEST_SKIP() << "the tool cannot run as an ordinary user here";
	const std::string readOnly = m_dir.file("readonly");
	fs::create_directory(readOnly);
	fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
							  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
	const std::string fmu = m_dir.file("example.fmu");
	fs::copy_file(m_shared->file("example.fmu"), fmu);
	fs::permissions(fmu, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
	const std::string out = readOnly + "/out.csv";
	const int exitCode = runAsOrdinaryUser("TMPDIR='" + m_tmp + "' " CALOVINDA_TOOL " run-fmu " + fmu +
										   " --stop 3600 --output " + out + " >/dev/null 2>" + m_dir.file("err"));
	const ToolRun r{exitCode, TestSupport::readFile(m_dir.file("err"))};
	expectOneLineFailure(r, {"'" + out + "'", "Permission denied"}, "read-only directory");
	EXPECT_TRUE(listing(readOnly).empty());
	EXPECT_TRUE(listing(m_tmp).empty());
}


TEST_F(ToolSafety, RefusesOutputsThatAreItsInputs) {
	const std::string fmu = m_dir.file("example.fmu");
	fs::copy_file(m_shared->file("example.fmu"), fmu);
	const std::string fmuBytes = TestSupport::readFile(fmu);
	fs::create_hard_link(fmu, m_dir.file("hardlink.fmu"));
	fs::create_symlink(fmu, m_dir.file("symlink.fmu"));
	std::ofstream(m_dir.file("state")) << "state";
	const std::string unpacked = m_dir.file("unpacked");
	JlCompress::extractDir(QString::fromStdString(fmu), QString::fromStdString(unpacked));
	const std::string project = m_dir.file("project.rmxml");
	fs::copy_file(example, project);
	const std::string projectBytes = TestSupport::readFile(project);
	const std::string climate = m_dir.file("725650TYCST.epw");
	fs::copy_file(CALOVINDA_EXAMPLE_DIR "/725650TYCST.epw", climate);
	const std::string climateBytes = TestSupport::readFile(climate);
	fs::create_directory(m_dir.file("pkg"));
	fs::copy_file(example, m_dir.file("pkg/package.mo"));
	// a project under a result file's name
	fs::create_directory(m_dir.file("tsv"));
	fs::copy_file(example, m_dir.file("tsv/states.tsv"));
	fs::copy_file(climate, m_dir.file("tsv/725650TYCST.epw"));

	const std::vector<std::pair<std::string, std::string>> cases = {
		{"run-fmu " + fmu + " --output " + fmu, "the output file '" + fmu + "' is the FMU"},
		{"run-fmu " + fmu + " --output " + m_dir.file("hardlink.fmu"), "is the FMU"},
		{"run-fmu " + fmu + " --output " + m_dir.file("symlink.fmu"), "is the FMU"},
		{"run-fmu " + fmu + " --save-state " + fmu, "is the FMU"},
		{"run-fmu " + fmu + " --restore-state " + m_dir.file("state") + " --output " + m_dir.file("state"),
		 "is the state file to restore"},
		{"run-fmu " + fmu + " --output " + m_dir.file("x.csv") + " --save-state " + m_dir.file("x.csv"),
		 "is also the state file to save"},
		{"run-fmu " + unpacked + " --output " + unpacked + "/modelDescription.xml", "is a file of the FMU directory"},
		{"export-fmu " + project + " " + project, "is the project file itself"},
		{"export-fmu " + project + " " + climate, "is the project's climate file itself"},
		{"export-modelica " + m_dir.file("pkg/package.mo") + " " + m_dir.file("pkg"), "would overwrite the project file"},
		{"simulate " + m_dir.file("tsv/states.tsv") + " --results " + m_dir.file("tsv"), "would replace the project file"},
	};
	for (const auto & c : cases)
		expectOneLineFailure(run(c.first), {c.second}, c.first);
	EXPECT_EQ(TestSupport::readFile(fmu), fmuBytes);
	EXPECT_EQ(TestSupport::readFile(project), projectBytes);
	EXPECT_EQ(TestSupport::readFile(climate), climateBytes);
	EXPECT_EQ(TestSupport::readFile(m_dir.file("tsv/states.tsv")), projectBytes);
	EXPECT_EQ(TestSupport::readFile(m_dir.file("state")), "state");
	EXPECT_EQ(TestSupport::readFile(m_dir.file("pkg/package.mo")), projectBytes);
	EXPECT_FALSE(fs::exists(m_dir.file("x.csv")));
	EXPECT_TRUE(listing(m_tmp).empty());
}


/*! The fields of one CSV line as RFC 4180 reads them. */
std::vector<std::string> csvFields(const std::string & line) {
	std::vector<std::string> fields(1);
	bool quoted = false;
	for (std::size_t i = 0; i < line.size(); ++i) {
		const char c = line[i];
		if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"')
			fields.back() += line[++i];
		else if (c == '"')
			quoted = !quoted;
		else if (c == ',' && !quoted)
			fields.emplace_back();
		else
			fields.back() += c;
	}
	return fields;
}

TEST_F(ToolSafety, QuotesHeaderFieldsAsRFC4180Says) {
	const std::string unpacked = m_dir.file("unpacked");
	JlCompress::extractDir(QString::fromStdString(m_shared->file("example.fmu")), QString::fromStdString(unpacked));
	std::string description = TestSupport::readFile(unpacked + "/modelDescription.xml");
	for (const auto & rename : std::vector<std::pair<std::string, std::string>>{
			 {"name=\"AmbientTemperature\"", "name=\"T[1,2]\""}, {"name=\"WindVelocity\"", "name=\"say &quot;hi&quot;\""}}) {
		const std::size_t pos = description.find(rename.first);
		ASSERT_NE(pos, std::string::npos);
		description.replace(pos, rename.first.size(), rename.second);
	}
	std::ofstream(unpacked + "/modelDescription.xml") << description;
	const ToolRun r = run("run-fmu " + unpacked + " --stop 7200 --output " + m_dir.file("out.csv"));
	ASSERT_EQ(r.m_exitCode, 0) << r.m_err;

	std::ifstream in(m_dir.file("out.csv"));
	std::string header, row;
	std::getline(in, header);
	const std::vector<std::string> names = csvFields(header);
	EXPECT_EQ(names.at(1), "T[1,2]");
	EXPECT_EQ(names.at(7), "say \"hi\"");
	while (std::getline(in, row))
		EXPECT_EQ(csvFields(row).size(), names.size());
}


TEST_F(ToolSafety, RefusesClimateLocationsThatLeaveTheirFolder) {
	const std::string text = TestSupport::readFile(example);
	const std::string from = "<ClimateLocation>725650TYCST.epw</ClimateLocation>";
	ASSERT_NE(text.find(from), std::string::npos);
	for (const std::string location : {"..\\..\\725650TYCST.epw", "../room/725650TYCST.epw", "/tmp/725650TYCST.epw"}) {
		std::string project = text;
		project.replace(project.find(from), from.size(), "<ClimateLocation>" + location + "</ClimateLocation>");
		const std::string file = m_dir.file("project.rmxml");
		std::ofstream(file) << project;
		const std::string message = "Climate location '" + location + "' in '" + file + "' is not a relative path";
		expectOneLineFailure(run("simulate " + file + " --results " + m_dir.file("results")), {message}, location);
		expectOneLineFailure(run("export-fmu " + file + " " + m_dir.file("x.fmu")), {message}, location);
		EXPECT_FALSE(fs::exists(m_dir.file("x.fmu")));
	}
	EXPECT_TRUE(listing(m_tmp).empty());
}


TEST_F(ToolSafety, WritesExportsUnderTheNamesGivenOrRefusesThem) {
	const ToolRun fmu = run("export-fmu " + example + " '" + m_dir.file("bad\xff.fmu") + "'");
	expectOneLineFailure(fmu, {"is not valid UTF-8"}, "invalid UTF-8");
	// an output in a folder whose name is not UTF-8 goes there, and no folder of another name is made
	const std::string csv = m_dir.file("out\xff/run.csv");
	const ToolRun csvRun = run("run-fmu " + m_shared->file("example.fmu") + " --stop 3600 --output '" + csv + "'");
	EXPECT_EQ(csvRun.m_exitCode, 0) << csvRun.m_err;
	EXPECT_TRUE(fs::is_regular_file(csv));
	EXPECT_FALSE(fs::exists(m_dir.file("out\xef\xbf\xbd")));
	for (const std::string name : {"my \"pkg\"", "1pkg", "model", "my.pkg"}) {
		const std::string dir = m_dir.file("mo/" + name);
		expectOneLineFailure(run("export-modelica " + example + " '" + dir + "'"), {"'" + dir + "'", "is not a Modelica name"},
							 name);
	}
	EXPECT_FALSE(fs::exists(m_dir.file("mo")));
	for (const std::string & name : listing(m_dir.path()))
		EXPECT_EQ(name.find("bad"), std::string::npos) << name;

	// a quote in the folder's path is escaped inside the Modelica strings
	const std::string dir = m_dir.file("a \"quoted\" folder/Pkg");
	const ToolRun mo = run("export-modelica " + example + " '" + dir + "'");
	ASSERT_EQ(mo.m_exitCode, 0) << mo.m_err;
	EXPECT_NE(TestSupport::readFile(dir + "/Climate.mo").find("fileName = \"" + m_dir.file("a \\\"quoted\\\" folder/Pkg") +
															 "/climate_data.txt\""), std::string::npos);

	// a backslash is an ordinary character of a name: of the project's folder, the archive and
	// the package's folder
	const std::string folder = m_dir.file("p\\q");
	fs::create_directory(folder);
	fs::copy_file(example, folder + "/project.rmxml");
	fs::copy_file(CALOVINDA_EXAMPLE_DIR "/725650TYCST.epw", folder + "/725650TYCST.epw");
	const std::string archive = m_dir.file("c\\d.fmu");
	const ToolRun packed = run("export-fmu '" + folder + "/project.rmxml' '" + archive + "'");
	ASSERT_EQ(packed.m_exitCode, 0) << packed.m_err;
	EXPECT_EQ(readZip(archive).size(), m_fmuEntries->size());
	const std::string package = m_dir.file("we\"ird\\dir/Pkg");
	const ToolRun odd = run("export-modelica '" + folder + "/project.rmxml' '" + package + "'");
	ASSERT_EQ(odd.m_exitCode, 0) << odd.m_err;
	EXPECT_NE(TestSupport::readFile(package + "/Climate.mo").find("fileName = \"" + m_dir.file("we\\\"ird\\\\dir/Pkg") +
																 "/climate_data.txt\""), std::string::npos);
	for (const char * split : {"p", "c", ".c", "we\"ird"})
		EXPECT_FALSE(fs::exists(m_dir.file(split))) << split;
}

} // namespace
