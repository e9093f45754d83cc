#ifndef OutputFileH
#define OutputFileH

#include <cstdio>
#include <string>

/*! A file the tool writes, which appears under its name complete or not at all: it is written
	under a temporary name beside it and renamed into place by commit(). The temporary file goes
	when the object goes uncommitted, and when a signal ends the process (see Interruption). A
	target that exists and is not a regular file (a device, a pipe) is written directly, as it
	cannot be replaced. Every write is checked: a failure throws std::runtime_error naming the file and
	the reason. */
class OutputFile {
public:
	/*! name is resolved against the working directory at once. Nothing is created yet. */
	explicit OutputFile(const std::string & name);
	~OutputFile();
	OutputFile(const OutputFile &) = delete;
	OutputFile & operator=(const OutputFile &) = delete;

	/*! Creates the temporary file (or opens the target directly) for writing. */
	void open();
	/*! Creates the temporary file for another writer, which writes it by path(). Refuses a
		target that is not a regular file. */
	void reserve();
	/*! Formatted output to the file opened by open(). */
	void print(const char * format, ...) __attribute__((format(printf, 2, 3)));
	/*! Raw bytes to the file opened by open(). */
	void write(const char * data, std::size_t size);
	/*! Flushes and closes the file: every write failure shows here at the latest. */
	void finish();
	/*! Finishes the file and puts it under its name. */
	void commit();

	/*! The name as given. */
	const std::string & name() const { return m_name; }
	/*! The file being written: the temporary file, or the target when written directly. */
	const std::string & path() const { return m_direct ? m_target : m_temporary; }

private:
	[[noreturn]] void fail(const std::string & what, int error) const;
	/*! Creates the temporary file beside the target and returns its descriptor. */
	int createTemporary();

	std::string	m_name;
	/*! Absolute path of the target. */
	std::string	m_target;
	std::string	m_temporary;
	bool		m_direct = false;
	std::FILE *	m_file = nullptr;
	/*! The registration of the temporary file with Interruption. */
	int			m_slot = -1;
};

/*! True when both paths name one existing file (same device and inode, so also through links). */
bool sameFile(const std::string & a, const std::string & b);

/*! True when path exists and lies inside the directory dir (after resolving links). */
bool insideDirectory(const std::string & path, const std::string & dir);

#endif // OutputFileH
