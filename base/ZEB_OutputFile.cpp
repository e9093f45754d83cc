#include "ZEB_OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"
#include "ZEB_Interruption.h"

namespace ZEB {

namespace {

/*! name against the working directory; empty when that is unknown. */
std::string absolute(const std::string & name) {
	if (!name.empty() && name[0] == '/')
		return name;
	char cwd[PATH_MAX];
	if (getcwd(cwd, sizeof(cwd)) == nullptr)
		return std::string();
	return std::string(cwd) + "/" + name;
}

std::string canonical(const std::string & path) {
	char resolved[PATH_MAX];
	return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

} // namespace


OutputFile::OutputFile(const std::string & name, const char * location, const std::string & tempDir) :
	m_name(name),
	m_location(location),
	m_target(absolute(name)),
	m_tempDir(tempDir.empty() ? std::string() : absolute(tempDir))
{
	if (m_target.empty() || (!tempDir.empty() && m_tempDir.empty()))
		fail(errno);
	// a link to a file is written through, as opening it would, not replaced by a file
	struct stat s;
	if (lstat(m_target.c_str(), &s) == 0 && S_ISLNK(s.st_mode)) {
		const std::string target = canonical(m_target);
		if (!target.empty())
			m_target = target;
	}
}


OutputFile::~OutputFile() {
	if (m_file != nullptr)
		std::fclose(m_file);
	if (!m_temporary.empty())
		unlink(m_temporary.c_str());
	Interruption::remove(m_slot);
}


void OutputFile::open() {
	struct stat s;
	if (stat(m_target.c_str(), &s) == 0 && !S_ISREG(s.st_mode)) {
		if (S_ISDIR(s.st_mode))
			fail(EISDIR);
		m_direct = true;
		m_file = std::fopen(m_target.c_str(), "w");
		if (m_file == nullptr)
			fail(errno);
		return;
	}
	const int fd = createTemporary();
	m_file = fdopen(fd, "w");
	if (m_file == nullptr) {
		const int error = errno;
		close(fd);
		fail(error);
	}
}


void OutputFile::reserve() {
	struct stat s;
	if (stat(m_target.c_str(), &s) == 0 && !S_ISREG(s.st_mode))
		fail(S_ISDIR(s.st_mode) ? EISDIR : EINVAL);
	close(createTemporary());
}


void OutputFile::print(const char * format, ...) {
	va_list args;
	va_start(args, format);
	const int written = std::vfprintf(m_file, format, args);
	va_end(args);
	if (written < 0)
		fail(errno);
}


void OutputFile::write(const char * data, std::size_t size) {
	if (std::fwrite(data, 1, size, m_file) != size)
		fail(errno);
}


void OutputFile::finish() {
	if (m_file != nullptr) {
		std::FILE * file = m_file;
		m_file = nullptr;
		// a full disk may show only when the buffers reach it
		const bool flushed = std::fflush(file) == 0 && (m_direct || fsync(fileno(file)) == 0);
		const int error = errno;
		if (std::fclose(file) != 0 || !flushed)
			fail(flushed ? errno : error);
	}
}


void OutputFile::commit() {
	finish();
	if (m_direct)
		return;
	if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0)
		fail(errno);
	m_temporary.clear();
	Interruption::remove(m_slot);
	m_slot = -1;
}


int OutputFile::createTemporary() {
	const std::string::size_type slash = m_target.rfind('/');
	const std::string dir = m_tempDir.empty() ? m_target.substr(0, slash + 1) : m_tempDir + "/";
	std::string pattern = dir + "." + m_target.substr(slash + 1) + ".XXXXXX";
	int fd = -1;
	{
		const Interruption::Hold hold;
		fd = mkostemp(&pattern[0], O_CLOEXEC);
		if (fd < 0)
			fail(errno);
		m_temporary = pattern;
		if (m_tempDir.empty())
			m_slot = Interruption::add(m_temporary, false);
	}
	// the permissions that creating the file under its name would have given it
	struct stat s;
	mode_t mode = 0;
	if (stat(m_target.c_str(), &s) == 0)
		mode = s.st_mode & 07777;
	else {
		const mode_t mask = umask(0);
		umask(mask);
		mode = 0666 & ~mask;
	}
	if (fchmod(fd, mode) != 0) {
		const int error = errno;
		close(fd);
		fail(error);
	}
	return fd;
}


void OutputFile::fail(int error) {
	throw Exception(FormatString("Cannot write file: '%1' (%2).").arg(m_name).arg(std::strerror(error)), m_location);
}

} // namespace ZEB
