#ifndef ZEB_OutputFolderH
#define ZEB_OutputFolderH

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ZEB {

class PrivateDirectory;

/*! The files that one command writes into a folder, put there as one set. Each file is written
	whole in a private directory inside the folder, ".calovinda-<process id>-XXXXXX", before any
	of them takes its name; commit() puts them in place and removes the files of the command's
	previous set there that this set does not hold. Which files those are, the command's list in
	the folder says (the file listName, with each file's size and checksum): a file it names whose
	content is no longer what was written there has become someone else's and stays, with a
	warning; a file it does not name, and one of a name the command never writes, is never touched.
	So a user's own files in the folder stay, also those that carry a name the command could
	write. A folder without the list (written before the command kept one) cannot tell an earlier
	run's files from the user's: there a file of a name the command writes (commandWrites) that
	this set does not hold stays, with a warning.
	An entry of the folder that carries the name of a file of the set is replaced, never written
	through: a link (to a file anywhere) or a pipe there gives way to the new file. The list is
	read only where it is a regular file.
	commit() holds the folder while it works: it takes an exclusive flock() on the folder itself,
	and a run that finds the lock taken (another run's commit, or another program that takes the
	same lock) waits for it. Under the lock it first clears what runs that died left in the
	folder: their private directories go, and where one died while putting its files in place, the
	files it replaced are put back, with a warning (a file put in one's place since stays). The commit is all or nothing: a failure on the way puts back every entry that it
	has replaced or removed, and a process that dies on the way leaves what the next commit in the
	folder puts back. Until then the folder keeps the files it held: a file or list that cannot be
	written, or a signal, leaves it as it was. Every failure throws ZEB::Exception at the location
	given. */
class OutputFolder {
public:
	/*! folder must exist when the first file is added; nothing is created before. commandWrites
		tells the names of the files that the command writes in any of its runs. */
	OutputFolder(const std::string & folder, const std::string & listName, const char * location,
				 std::function<bool(const std::string &)> commandWrites);
	~OutputFolder();
	OutputFolder(const OutputFolder &) = delete;
	OutputFolder & operator=(const OutputFolder &) = delete;

	/*! Writes the file name (a plain file name) of the set, complete, under a temporary name. */
	void add(const std::string & name, const std::string & content);
	/*! Puts the set in place, removes what the previous set held and this one does not, and
		records this set in the list. */
	void commit();

	/*! The folder as given. */
	const std::string & folder() const { return m_folder; }

private:
	/*! A file of a set as the list records it. */
	struct Entry {
		std::string		m_name;
		std::uint64_t	m_size;
		std::uint64_t	m_checksum;
	};

	/*! The private directory inside the folder, made on first use. */
	const std::string & pendingPath();
	/*! Lets go of the private directory's lock. */
	void releasePending();
	/*! Writes content as the file path of the private directory, for the target name's file. */
	void writeFile(const std::string & path, const std::string & name, const std::string & content) const;
	/*! The entries of the folder's list; none when it is missing, unreadable or no regular file
		(listed says which). */
	std::vector<Entry> readList(bool & listed) const;
	/*! Moves the new file name into place, the entry it replaces aside. */
	void putInPlace(const std::string & name);
	/*! Removes what runs that are no longer alive left in the folder, putting back the files of
		a commit that one of them did not finish. A run holds a flock() on its private directory
		from its making on, made under the folder's lock, which the caller holds: a directory that
		no one holds is a dead run's, whatever process its name gives now (a process id is used
		again, and means another process in another container). Where the file system has no such
		locks, the process named tells. */
	void clearDeadRuns() const;
	/*! Warns of every file in the folder of a name the command writes that this set does not
		hold. */
	void warnOfUnlisted() const;
	/*! Throws "Cannot write file: '<folder>/<name>' (<reason of error>)." */
	[[noreturn]] void fail(const std::string & name, int error) const;
	/*! True when path is a regular file that holds what one of the records says was written. */
	static bool holdsOneOf(const std::string & path, const std::vector<Entry> & records);

	std::string								m_folder;
	std::string								m_listName;
	const char *							m_location;
	std::function<bool(const std::string &)>	m_commandWrites;
	/*! Where the files wait for commit(); made with the first one. */
	std::unique_ptr<PrivateDirectory>		m_pending;
	/*! The open private directory, whose flock() says that its run is alive; -1 where none. */
	int										m_pendingLock = -1;
	std::vector<Entry>						m_entries;
};

} // namespace ZEB

#endif // ZEB_OutputFolderH
