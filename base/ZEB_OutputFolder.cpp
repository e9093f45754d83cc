#include "ZEB_OutputFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>

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

} // namespace


OutputFolder::OutputFolder(const std::string & folder, const std::string & listName, const char * location) :
	m_folder(folder),
	m_listName(listName),
	m_location(location)
{
}


OutputFolder::~OutputFolder() = default;


void OutputFolder::add(const std::string & name, const std::string & content) {
	if (name.empty() || name == "." || name == ".." || name == m_listName || name.find_first_of("/\n") != std::string::npos)
		throw Exception(FormatString("Invalid file name '%1' in the folder '%2'.").arg(name).arg(m_folder), m_location);
	if (m_pending == nullptr)
		m_pending = std::make_unique<PrivateDirectory>(".calovinda-", m_folder, m_location);
	m_files.push_back(std::make_unique<OutputFile>(m_folder + "/" + name, m_location, m_pending->path()));
	OutputFile & file = *m_files.back();
	file.open();
	file.write(content.data(), content.size());
	file.finish();
	m_entries.push_back(Entry{name, content.size(), checksum(CHECKSUM_START, content.data(), content.size())});
}


void OutputFolder::commit() {
	const std::vector<Entry> previous = readList();
	std::vector<Entry> stale;
	for (const Entry & e : previous) {
		bool written = false;
		for (const Entry & n : m_entries)
			written |= n.m_name == e.m_name;
		if (!written)
			stale.push_back(e);
	}
	// A signal waits until the folder holds one whole set. Up to the end the list names every file
	// of both sets, so that a failure on the way leaves no file the next run does not know of.
	const Interruption::Hold hold;
	std::vector<Entry> both = m_entries;
	both.insert(both.end(), previous.begin(), previous.end());
	writeList(both);
	for (const std::unique_ptr<OutputFile> & file : m_files)
		file->commit();
	for (const Entry & e : stale) {
		const std::string path = m_folder + "/" + e.m_name;
		if (!unchanged(e)) {
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
	writeList(m_entries);
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
		if (name.empty() || name == "." || name == ".." || name == m_listName || name.find('/') != std::string::npos)
			continue;
		entries.push_back(Entry{name, size, sum});
	}
	return entries;
}


void OutputFolder::writeList(const std::vector<Entry> & entries) {
	if (m_pending == nullptr)
		m_pending = std::make_unique<PrivateDirectory>(".calovinda-", m_folder, m_location);
	OutputFile list(m_folder + "/" + m_listName, m_location, m_pending->path());
	list.open();
	list.print("# The files of the last run that wrote this folder (size, checksum, name). The next run\n"
			   "# removes those it does not write again, as long as they are what was written.\n");
	for (const Entry & e : entries)
		list.print("%" PRIu64 " %016" PRIx64 " %s\n", e.m_size, e.m_checksum, e.m_name.c_str());
	list.commit();
}


bool OutputFolder::unchanged(const Entry & entry) const {
	const std::string path = m_folder + "/" + entry.m_name;
	struct stat s;
	if (lstat(path.c_str(), &s) != 0 || !S_ISREG(s.st_mode) || static_cast<std::uint64_t>(s.st_size) != entry.m_size)
		return false;
	std::ifstream in(path, std::ios::binary);
	std::uint64_t sum = CHECKSUM_START;
	char buffer[65536];
	while (in) {
		in.read(buffer, sizeof(buffer));
		sum = checksum(sum, buffer, static_cast<std::size_t>(in.gcount()));
	}
	return in.eof() && sum == entry.m_checksum;
}

} // namespace ZEB
