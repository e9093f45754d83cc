#include "ZEB_OutputFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_Interruption.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_PrivateDirectory.h"

namespace ZEB {

namespace {

const std::uint64_t CHECKSUM_START = 14695981039346656037ull;

/*! The private directories: ".calovinda-<process id>-" and six characters of mkdtemp. */
const char * const PENDING_PREFIX = ".calovinda-";
/*! In a private directory: the new files under their names, the entries that they replaced or
	that the commit removed, and the journal of a commit under way (each new file as the list
	records it, size, checksum and name, one a line), there from before the first file moves
	until the list is in place. */
const char * const NEW_FILES = "/new";
const char * const OLD_FILES = "/old";
const char * const JOURNAL = "/commit";

/*! FNV-1a over data, continuing from checksum: enough to tell a file that someone else has put
	under a name from the one written there. */
std::uint64_t checksum(std::uint64_t checksum, const char * data, std::size_t size) {
	for (std::size_t i = 0; i < size; ++i)
		checksum = (checksum ^ static_cast<unsigned char>(data[i]))*1099511628211ull;
	return checksum;
}

/*! True for the name of a file right in the folder. */
bool plainName(const std::string & name) {
	return !name.empty() && name != "." && name != ".." && name.find_first_of("/\n") == std::string::npos;
}

/*! Opens path for reading when it is a regular file (not through a link, and never waiting for a
	pipe's writer); -1 otherwise. */
int openRegular(const std::string & path, struct stat & s) {
	const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return -1;
	if (fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) {
		close(fd);
		return -1;
	}
	return fd;
}

/*! Hands what is left to read of fd to take, piece by piece; false when reading fails. */
template <typename Take>
bool readToEnd(int fd, Take take) {
	char buffer[65536];
	ssize_t n = 0;
	while ((n = read(fd, buffer, sizeof(buffer))) > 0 || (n < 0 && errno == EINTR))
		if (n > 0)
			take(buffer, static_cast<std::size_t>(n));
	return n == 0;
}

/*! The content of the regular file path; false when it is none or cannot be read. */
bool readRegular(const std::string & path, std::string & text) {
	struct stat s;
	const int fd = openRegular(path, s);
	if (fd < 0)
		return false;
	text.clear();
	const bool complete = readToEnd(fd, [&text](const char * data, std::size_t size) { text.append(data, size); });
	close(fd);
	return complete;
}

/*! The names in directory dir, "." and ".." left out, sorted; none when it cannot be read. */
std::vector<std::string> entries(const std::string & dir) {
	std::vector<std::string> names;
	DIR * d = opendir(dir.c_str());
	if (d == nullptr)
		return names;
	while (const struct dirent * entry = readdir(d))
		if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
			names.push_back(entry->d_name);
	closedir(d);
	std::sort(names.begin(), names.end());
	return names;
}

bool exists(const std::string & path) {
	struct stat s;
	return lstat(path.c_str(), &s) == 0;
}

/*! Reads a line "<size> <checksum> <name>" of a list or a journal; false for anything else. */
bool parseRecord(const std::string & line, std::uint64_t & size, std::uint64_t & sum, std::string & name) {
	unsigned long long n = 0;
	unsigned long long checksumRead = 0;
	int nameStart = 0;
	if (std::sscanf(line.c_str(), "%llu %16llx %n", &n, &checksumRead, &nameStart) < 2 || nameStart == 0)
		return false;
	size = n;
	sum = checksumRead;
	name = line.substr(static_cast<std::size_t>(nameStart));
	return true;
}

/*! True when path is a regular file of size bytes whose checksum is sum. */
bool holds(const std::string & path, std::uint64_t size, std::uint64_t sum) {
	struct stat s;
	const int fd = openRegular(path, s);
	if (fd < 0)
		return false;
	std::uint64_t found = CHECKSUM_START;
	const bool read = static_cast<std::uint64_t>(s.st_size) == size &&
		readToEnd(fd, [&found](const char * data, std::size_t n) { found = checksum(found, data, n); });
	close(fd);
	return read && found == sum;
}

/*! Puts back what a commit that the private directory pending journals left half done in folder:
	the new files that took their names go back into pending, and the entries that they replaced
	or that the commit removed come back. Only what the commit did is undone: a file goes back
	into pending only while it holds what the journal says was written, and an entry comes back
	only where its name is free then, so that a file put there since (the user's, or a later
	run's where the run cut off was taken for alive) stays. Done in this order, a second attempt
	after one cut off finds nothing to do twice. True when all is back; the journal then goes.
	error holds the reason of the first failure. */
bool putBack(const std::string & folder, const std::string & pending, int & error) {
	std::string journal;
	if (!readRegular(pending + JOURNAL, journal))
		return true;
	bool complete = true;
	const auto failed = [&complete, &error] {
		if (complete)
			error = errno;
		complete = false;
	};
	std::size_t start = 0;
	for (std::size_t end; (end = journal.find('\n', start)) != std::string::npos; start = end + 1) {
		std::uint64_t size = 0;
		std::uint64_t sum = 0;
		std::string name;
		if (!parseRecord(journal.substr(start, end - start), size, sum, name) || !plainName(name))
			continue;
		const std::string placed = folder + "/" + name;
		const std::string waiting = pending + NEW_FILES + "/" + name;
		if (!exists(waiting) && holds(placed, size, sum) && rename(placed.c_str(), waiting.c_str()) != 0 &&
			errno != ENOENT)
		{
			failed();
		}
	}
	for (const std::string & name : entries(pending + OLD_FILES)) {
		const std::string target = folder + "/" + name;
		// where the entry was put aside beside a second name of it, the name holds it still
		if (!exists(target) && rename((pending + OLD_FILES + "/" + name).c_str(), target.c_str()) != 0)
			failed();
	}
	if (complete && unlink((pending + JOURNAL).c_str()) != 0 && errno != ENOENT)
		failed();
	return complete;
}

/*! An exclusive flock() on a folder while it lives; waits for another holder, telling so as a
	warning, which a command line shows (a run stopped while it holds the folder would otherwise
	keep the next one waiting without a word). A folder whose file system has no such locks is
	not held. */
class FolderLock {
public:
	FolderLock(const std::string & folder, const char * location) {
		m_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
		if (m_fd < 0)
			return;
		if (flock(m_fd, LOCK_EX | LOCK_NB) == 0)
			return;
		if (errno == EWOULDBLOCK) {
			ZEB_Message(FormatString("Waiting for another run to finish writing into '%1'.\n").arg(folder),
						MSG_WARNING, location, 1);
			while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {}
		}
	}
	~FolderLock() {
		if (m_fd >= 0)
			close(m_fd);
	}
	FolderLock(const FolderLock &) = delete;
	FolderLock & operator=(const FolderLock &) = delete;

private:
	int m_fd = -1;
};

} // namespace


OutputFolder::OutputFolder(const std::string & folder, const std::string & listName, const char * location,
						   std::function<bool(const std::string &)> commandWrites) :
	m_folder(folder),
	m_listName(listName),
	m_location(location),
	m_commandWrites(std::move(commandWrites))
{
}


OutputFolder::~OutputFolder() {
	// the directory goes while it is still held
	m_pending.reset();
	releasePending();
}


void OutputFolder::releasePending() {
	if (m_pendingLock >= 0)
		close(m_pendingLock);
	m_pendingLock = -1;
}


void OutputFolder::add(const std::string & name, const std::string & content) {
	if (!plainName(name) || name == m_listName)
		throw Exception(FormatString("Invalid file name '%1' in the folder '%2'.").arg(name).arg(m_folder), m_location);
	const std::string path = pendingPath() + NEW_FILES + "/" + name;
	writeFile(path, name, content);
	const Entry entry{name, content.size(), checksum(CHECKSUM_START, content.data(), content.size())};
	const auto same = std::find_if(m_entries.begin(), m_entries.end(), [&name](const Entry & e) { return e.m_name == name; });
	if (same != m_entries.end())
		*same = entry;
	else
		m_entries.push_back(entry);
}


void OutputFolder::commit() {
	// made before the folder is held: making it takes the folder's lock for a moment
	pendingPath();
	const FolderLock lock(m_folder, m_location);
	clearDeadRuns();
	bool listed = false;
	const std::vector<Entry> previous = readList(listed);
	// the previous set's files of names the command writes that this set does not hold, with what
	// the list records of each (a list written by a failed run of an older version holds a name
	// twice)
	std::map<std::string, std::vector<Entry> > stale;
	for (const Entry & e : previous)
		if (m_commandWrites(e.m_name) &&
			std::none_of(m_entries.begin(), m_entries.end(), [&e](const Entry & n) { return n.m_name == e.m_name; }))
		{
			stale[e.m_name].push_back(e);
		}
	std::string list = "# The files of the last run that wrote this folder (size, checksum, name). The next run\n"
					   "# removes those it does not write again, as long as they are what was written.\n";
	const auto record = [](std::uint64_t size, std::uint64_t sum, const std::string & name) {
		char line[64];
		std::snprintf(line, sizeof(line), "%" PRIu64 " %016" PRIx64 " ", size, sum);
		return line + name + "\n";
	};
	std::string journal;
	for (const Entry & e : m_entries)
		journal += record(e.m_size, e.m_checksum, e.m_name);
	list += journal;
	const std::string & pending = pendingPath();
	writeFile(pending + NEW_FILES + "/" + m_listName, m_listName, list);
	journal += record(list.size(), checksum(CHECKSUM_START, list.data(), list.size()), m_listName);
	if (mkdir((pending + OLD_FILES).c_str(), 0700) != 0)
		fail(m_listName, errno);
	writeFile(pending + JOURNAL, m_listName, journal);

	// A signal waits until the folder holds one whole set; a failure puts the earlier one back.
	const Interruption::Hold hold;
	try {
		for (const Entry & e : m_entries)
			putInPlace(e.m_name);
		for (const auto & records : stale) {
			const std::string path = m_folder + "/" + records.first;
			if (!holdsOneOf(path, records.second)) {
				if (exists(path))
					ZEB_Message(FormatString("Kept '%1', which an earlier run wrote there and this one does not: it has "
											 "changed since.\n").arg(path), MSG_WARNING, m_location, 1);
				continue;
			}
			if (rename(path.c_str(), (pending + OLD_FILES + "/" + records.first).c_str()) != 0 && errno != ENOENT)
				throw Exception(FormatString("Cannot remove the file '%1' of an earlier run (%2).")
								.arg(path).arg(std::strerror(errno)), m_location);
		}
		if (!listed)
			warnOfUnlisted();
		putInPlace(m_listName);
		if (unlink((pending + JOURNAL).c_str()) != 0)
			fail(m_listName, errno);
	}
	catch (...) {
		int error = 0;
		if (putBack(m_folder, pending, error))
			throw;
		// the earlier files that could not go back stay where they are, for the next run to try
		const std::string kept = pending;
		m_pending->keep();
		releasePending();
		const FormatString text = FormatString("Cannot put back the earlier files in '%1' (%2); they are in '%3'.")
								  .arg(m_folder).arg(std::strerror(error)).arg(kept);
		try {
			throw;
		}
		catch (const Exception & ex) {
			throw Exception(ex, text, m_location);
		}
		catch (...) {
			throw Exception(text, m_location);
		}
	}
	// the files that the set replaced go with the private directory
	m_pending.reset();
	releasePending();
}


void OutputFolder::writeFile(const std::string & path, const std::string & name, const std::string & content) const {
	// the permissions of the file that this one replaces, else those that creating it would give
	struct stat s;
	const bool replaces = lstat((m_folder + "/" + name).c_str(), &s) == 0;
	if (replaces && S_ISDIR(s.st_mode))
		fail(name, EISDIR);
	const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
	if (fd < 0)
		fail(name, errno);
	const char * data = content.data();
	std::size_t left = content.size();
	int error = 0;
	if (replaces && S_ISREG(s.st_mode) && fchmod(fd, s.st_mode & 07777) != 0)
		error = errno;
	while (error == 0 && left > 0) {
		const ssize_t n = write(fd, data, left);
		if (n < 0 && errno != EINTR)
			error = errno;
		else if (n > 0) {
			data += n;
			left -= static_cast<std::size_t>(n);
		}
	}
	// a full disk may show only when the data reach it
	if (error == 0 && fsync(fd) != 0)
		error = errno;
	if (close(fd) != 0 && error == 0)
		error = errno;
	if (error != 0)
		fail(name, error);
}


void OutputFolder::putInPlace(const std::string & name) {
	const std::string target = m_folder + "/" + name;
	const std::string aside = pendingPath() + OLD_FILES + "/" + name;
	struct stat s;
	if (lstat(target.c_str(), &s) == 0) {
		if (S_ISDIR(s.st_mode))
			fail(name, EISDIR);
		// a second name for what is there keeps the name taken all along; where the file system
		// has no such names, it moves aside
		if (linkat(AT_FDCWD, target.c_str(), AT_FDCWD, aside.c_str(), 0) != 0 &&
			rename(target.c_str(), aside.c_str()) != 0)
		{
			fail(name, errno);
		}
	}
	if (rename((pendingPath() + NEW_FILES + "/" + name).c_str(), target.c_str()) != 0)
		fail(name, errno);
}


void OutputFolder::clearDeadRuns() const {
	const std::string prefix = PENDING_PREFIX;
	for (const std::string & name : entries(m_folder)) {
		// ".calovinda-<pid>-XXXXXX": a directory of a process that is gone
		if (name.compare(0, prefix.size(), prefix) != 0)
			continue;
		const std::string rest = name.substr(prefix.size());
		const std::size_t dash = rest.find('-');
		if (dash == 0 || dash == std::string::npos || rest.find_first_not_of("0123456789") != dash ||
			rest.size() != dash + 7 || dash > 9)
		{
			continue;
		}
		const pid_t pid = static_cast<pid_t>(std::stol(rest.substr(0, dash)));
		const std::string path = m_folder + "/" + name;
		// held open until it is gone, so that no run takes it for its own meanwhile
		const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
		if (fd < 0)
			continue;
		bool gone = flock(fd, LOCK_EX | LOCK_NB) == 0;
		if (!gone && errno != EWOULDBLOCK)
			gone = pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH;
		if (!gone) {
			close(fd);
			continue;
		}
		if (exists(path + JOURNAL)) {
			int error = 0;
			if (!putBack(m_folder, path, error)) {
				close(fd);
				throw Exception(FormatString("Cannot put back the files in '%1' that a run cut off while it put its "
											 "own in place replaced (%2); they are in '%3'.")
								.arg(m_folder).arg(std::strerror(error)).arg(path), m_location);
			}
			ZEB_Message(FormatString("A run that wrote into '%1' was cut off while it put its files in place; the "
									 "files it had replaced or removed are back.\n").arg(m_folder),
						MSG_WARNING, m_location, 1);
		}
		Interruption::removeTree(path.c_str());
		close(fd);
	}
}


void OutputFolder::warnOfUnlisted() const {
	for (const std::string & name : entries(m_folder)) {
		if (!m_commandWrites(name) ||
			std::any_of(m_entries.begin(), m_entries.end(), [&name](const Entry & e) { return e.m_name == name; }))
			continue;
		const std::string path = m_folder + "/" + name;
		struct stat s;
		if (lstat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode))
			ZEB_Message(FormatString("Kept '%1', which this run does not write: the folder lists no files of an "
									 "earlier run, and it may be one of them.\n").arg(path), MSG_WARNING, m_location, 1);
	}
}


const std::string & OutputFolder::pendingPath() {
	if (m_pending == nullptr) {
		// made and held under the folder's lock, so that a run clearing what dead runs left, which
		// holds that lock, never finds it made but not yet held
		const FolderLock lock(m_folder, m_location);
		m_pending = std::make_unique<PrivateDirectory>(PENDING_PREFIX + std::to_string(getpid()) + "-", m_folder,
													   m_location);
		m_pendingLock = open(m_pending->path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
		if (m_pendingLock >= 0 && flock(m_pendingLock, LOCK_EX | LOCK_NB) != 0)
			releasePending();
		if (mkdir((m_pending->path() + NEW_FILES).c_str(), 0700) != 0)
			throw Exception(FormatString("Cannot create directory: '%1' (%2).")
							.arg(m_pending->path() + NEW_FILES).arg(std::strerror(errno)), m_location);
	}
	return m_pending->path();
}


std::vector<OutputFolder::Entry> OutputFolder::readList(bool & listed) const {
	std::vector<Entry> entries;
	std::string text;
	listed = readRegular(m_folder + "/" + m_listName, text);
	std::size_t start = 0;
	for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
		std::uint64_t size = 0;
		std::uint64_t sum = 0;
		std::string name;
		if (parseRecord(text.substr(start, end - start), size, sum, name) && plainName(name) && name != m_listName)
			entries.push_back(Entry{name, size, sum});
	}
	return entries;
}


void OutputFolder::fail(const std::string & name, int error) const {
	throw Exception(FormatString("Cannot write file: '%1' (%2).").arg(m_folder + "/" + name).arg(std::strerror(error)),
					m_location);
}


bool OutputFolder::holdsOneOf(const std::string & path, const std::vector<Entry> & records) {
	return std::any_of(records.begin(), records.end(),
					   [&path](const Entry & e) { return holds(path, e.m_size, e.m_checksum); });
}

} // namespace ZEB
