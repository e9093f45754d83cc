#include "ZEB_OutputFolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <utility>

#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_Interruption.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_OutputFile.h"
#include "ZEB_PrivateDirectory.h"

namespace ZEB {

namespace {

const std::uint64_t CHECKSUM_START = 14695981039346656037ull;

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

} // namespace


OutputFolder::OutputFolder(const std::string & folder, const std::string & listName, const char * location,
						   std::function<bool(const std::string &)> commandWrites) :
	m_folder(folder),
	m_listName(listName),
	m_location(location),
	m_commandWrites(std::move(commandWrites))
{
}


OutputFolder::~OutputFolder() = default;


void OutputFolder::add(const std::string & name, const std::string & content) {
	if (!plainName(name) || name == m_listName)
		throw Exception(FormatString("Invalid file name '%1' in the folder '%2'.").arg(name).arg(m_folder), m_location);
	m_files.push_back(std::make_unique<OutputFile>(m_folder + "/" + name, m_location, pendingPath()));
	OutputFile & file = *m_files.back();
	file.open();
	file.write(content.data(), content.size());
	file.finish();
	m_entries.push_back(Entry{name, content.size(), checksum(CHECKSUM_START, content.data(), content.size())});
}


void OutputFolder::commit() {
	struct stat listStat;
	const bool listed = lstat((m_folder + "/" + m_listName).c_str(), &listStat) == 0;
	const std::vector<Entry> previous = readList();
	// the previous set's files of names the command writes that this one does not write, with
	// what the list records of each (a list written on the way of a failed run holds a name twice)
	std::map<std::string, std::vector<Entry> > stale;
	for (const Entry & e : previous)
		if (m_commandWrites(e.m_name) &&
			std::none_of(m_entries.begin(), m_entries.end(), [&e](const Entry & n) { return n.m_name == e.m_name; }))
		{
			stale[e.m_name].push_back(e);
		}
	// A signal waits until the folder holds one whole set. Up to the end the list names every file
	// of both sets, so that a failure on the way leaves no file the next run does not know of.
	const Interruption::Hold hold;
	std::vector<Entry> both = m_entries;
	both.insert(both.end(), previous.begin(), previous.end());
	writeList(both);
	for (const std::unique_ptr<OutputFile> & file : m_files)
		file->commit();
	for (const auto & records : stale) {
		const std::string path = m_folder + "/" + records.first;
		if (!holdsOneOf(path, records.second)) {
			struct stat s;
			if (lstat(path.c_str(), &s) == 0)
				ZEB_Message(FormatString("Kept '%1', which an earlier run wrote there and this one does not: it has "
										 "changed since.\n").arg(path), MSG_WARNING, m_location, 1);
			continue;
		}
		if (unlink(path.c_str()) != 0 && errno != ENOENT)
			throw Exception(FormatString("Cannot remove the file '%1' of an earlier run (%2).")
							.arg(path).arg(std::strerror(errno)), m_location);
	}
	if (!listed)
		warnOfUnlisted();
	writeList(m_entries);
}


void OutputFolder::warnOfUnlisted() const {
	DIR * dir = opendir(m_folder.c_str());
	if (dir == nullptr)
		return;
	std::vector<std::string> names;
	while (const struct dirent * entry = readdir(dir))
		names.push_back(entry->d_name);
	closedir(dir);
	std::sort(names.begin(), names.end());
	for (const std::string & name : names) {
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
	if (m_pending == nullptr)
		m_pending = std::make_unique<PrivateDirectory>(".calovinda-", m_folder, m_location);
	return m_pending->path();
}


std::vector<OutputFolder::Entry> OutputFolder::readList() const {
	std::vector<Entry> entries;
	std::ifstream in(m_folder + "/" + m_listName);
	std::string line;
	while (std::getline(in, line)) {
		// "<size> <checksum> <name>"; anything else is no entry
		unsigned long long size = 0;
		unsigned long long sum = 0;
		int nameStart = 0;
		if (std::sscanf(line.c_str(), "%llu %16llx %n", &size, &sum, &nameStart) < 2 || nameStart == 0)
			continue;
		const std::string name = line.substr(static_cast<std::size_t>(nameStart));
		if (plainName(name) && name != m_listName)
			entries.push_back(Entry{name, size, sum});
	}
	return entries;
}


void OutputFolder::writeList(const std::vector<Entry> & entries) {
	OutputFile list(m_folder + "/" + m_listName, m_location, pendingPath());
	list.open();
	list.print("# The files of the last run that wrote this folder (size, checksum, name). The next run\n"
			   "# removes those it does not write again, as long as they are what was written.\n");
	for (const Entry & e : entries)
		list.print("%" PRIu64 " %016" PRIx64 " %s\n", e.m_size, e.m_checksum, e.m_name.c_str());
	list.commit();
}


bool OutputFolder::holdsOneOf(const std::string & path, const std::vector<Entry> & records) {
	struct stat s;
	if (lstat(path.c_str(), &s) != 0 || !S_ISREG(s.st_mode))
		return false;
	const std::uint64_t size = static_cast<std::uint64_t>(s.st_size);
	if (std::none_of(records.begin(), records.end(), [size](const Entry & e) { return e.m_size == size; }))
		return false;
	std::ifstream in(path, std::ios::binary);
	std::uint64_t sum = CHECKSUM_START;
	char buffer[65536];
	while (in) {
		in.read(buffer, sizeof(buffer));
		sum = checksum(sum, buffer, static_cast<std::size_t>(in.gcount()));
	}
	return in.eof() && std::any_of(records.begin(), records.end(),
								   [size, sum](const Entry & e) { return e.m_size == size && e.m_checksum == sum; });
}

} // namespace ZEB
