#ifndef ZEB_OutputFileH
#define ZEB_OutputFileH

#include <cstdio>
#include <string>

namespace ZEB {

/*! A file that appears under its name complete or not at all: it is written under a temporary
	name beside it (or in a directory given) and renamed into place by commit(). The temporary
	file goes when the object goes uncommitted; one beside the target also when a signal ends the
	process (see Interruption; a temporary directory given is its owner's to clean up). A target
	that exists and is not a regular file (a device, a pipe) is written directly, as it cannot be
	replaced; a link to a file is written through. Every failure throws ZEB::Exception
	"Cannot write file: '<name>' (<reason>)." at the location given. */
class OutputFile {
public:
	/*! name is resolved against the working directory at once; the temporary file goes into
		tempDir when one is given. Nothing is created yet. */
	explicit OutputFile(const std::string & name, const char * location = "[OutputFile]",
						const std::string & tempDir = std::string());
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
	[[noreturn]] void fail(int error);
	/*! Creates the temporary file and returns its descriptor. */
	int createTemporary();

	std::string	m_name;
	const char *m_location;
	/*! Absolute path of the target. */
	std::string	m_target;
	/*! Absolute directory of the temporary file; empty: beside the target. */
	std::string	m_tempDir;
	std::string	m_temporary;
	bool		m_direct = false;
	std::FILE *	m_file = nullptr;
	/*! The registration of the temporary file with Interruption. */
	int			m_slot = -1;
};

} // namespace ZEB

#endif // ZEB_OutputFileH
