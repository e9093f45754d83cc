#include "ZEB_Interruption.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <errno.h>
#include <climits>
#include <csignal>
#include <cstring>
#include <stdexcept>

namespace ZEB {
namespace Interruption {

namespace {

/*! A path that a signal removes. m_used is written last on registration and first on removal,
	so the handler never reads a path half copied. */
struct Slot {
	volatile std::sig_atomic_t	m_used = 0;
	bool						m_tree = false;
	char						m_path[PATH_MAX] = {};
};

Slot registered[8];

const int handled[] = {SIGINT, SIGTERM, SIGHUP};

bool installed = false;

/*! The record that getdents64 fills; glibc declares none for the raw call. */
struct DirectoryEntry {
	ino64_t			d_ino;
	off64_t			d_off;
	unsigned short	d_reclen;
	unsigned char	d_type;
	char			d_name[1];
};

// deeper trees than this are not ours: the unpacked FMU and its results are a few levels deep
const int MAX_DEPTH = 64;

bool removeEntry(int parent, const char * name, int depth);

/*! Removes every entry of the directory open as fd; true when a pass finds it empty. Entries
	removed while the listing is read may shift it, hence the repeated passes. */
bool emptyDirectory(int fd, int depth) {
	if (depth > MAX_DEPTH)
		return false;
	// a folder without the owner's write permission keeps its entries otherwise
	fchmod(fd, S_IRWXU);
	for (int pass = 0; pass < 8; ++pass) {
		if (lseek(fd, 0, SEEK_SET) < 0)
			return false;
		bool found = false;
		alignas(8) char buffer[2048];
		for (;;) {
			const long n = syscall(SYS_getdents64, fd, buffer, sizeof(buffer));
			if (n < 0)
				return false;
			if (n == 0)
				break;
			for (long pos = 0; pos < n;) {
				const DirectoryEntry * entry = reinterpret_cast<const DirectoryEntry *>(buffer + pos);
				pos += entry->d_reclen;
				if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
					continue;
				found = true;
				removeEntry(fd, entry->d_name, depth);
			}
		}
		if (!found)
			return true;
	}
	return false;
}

/*! Removes the entry name of the directory open as parent: a file or link at once, a directory
	after its content. */
bool removeEntry(int parent, const char * name, int depth) {
	if (unlinkat(parent, name, 0) == 0 || errno == ENOENT)
		return true;
	// Linux says EISDIR for a directory, POSIX EPERM
	if (errno != EISDIR && errno != EPERM)
		return false;
	int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
	if (fd < 0 && errno == EACCES) {
		// a folder without search permission: not a link, openat would have said so
		fchmodat(parent, name, S_IRWXU, 0);
		fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
	}
	if (fd < 0)
		return errno == ENOENT;
	const bool emptied = emptyDirectory(fd, depth + 1);
	close(fd);
	return emptied && (unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT);
}

void onSignal(int signal) {
	const int savedErrno = errno;
	for (Slot & slot : registered) {
		if (slot.m_used == 0)
			continue;
		if (slot.m_tree)
			removeTree(slot.m_path);
		else
			unlink(slot.m_path);
	}
	// "<program>: interrupted", with calls that are safe here
	static const char text[] = ": interrupted\n";
	ssize_t written = write(STDERR_FILENO, program_invocation_short_name, std::strlen(program_invocation_short_name));
	written = write(STDERR_FILENO, text, sizeof(text) - 1);
	(void)written;
	// the handler was reset on entry: the signal, blocked until we return, then ends the process
	raise(signal);
	errno = savedErrno;
}

} // namespace


void install() {
	struct sigaction action {};
	action.sa_handler = &onSignal;
	action.sa_flags = SA_RESETHAND;
	sigemptyset(&action.sa_mask);
	for (int s : handled)
		sigaddset(&action.sa_mask, s);
	for (int s : handled)
		sigaction(s, &action, nullptr);
	installed = true;
}


int add(const std::string & path, bool tree) {
	// without the handlers no signal removes anything: nothing to register
	if (!installed)
		return -1;
	if (path.size() >= PATH_MAX)
		throw std::runtime_error("the path '" + path + "' is too long");
	for (int i = 0; i < static_cast<int>(sizeof(registered)/sizeof(registered[0])); ++i) {
		Slot & slot = registered[i];
		if (slot.m_used != 0)
			continue;
		slot.m_tree = tree;
		std::memcpy(slot.m_path, path.c_str(), path.size() + 1);
		std::atomic_signal_fence(std::memory_order_seq_cst);
		slot.m_used = 1;
		return i;
	}
	throw std::runtime_error("too many temporary files at once");
}


void remove(int slot) {
	if (slot >= 0 && slot < static_cast<int>(sizeof(registered)/sizeof(registered[0])))
		registered[slot].m_used = 0;
}


bool removeTree(const char * path) {
	const int savedErrno = errno;
	const bool removed = removeEntry(AT_FDCWD, path, 0);
	errno = savedErrno;
	return removed;
}


Hold::Hold() {
	sigset_t held;
	sigemptyset(&held);
	for (int s : handled)
		sigaddset(&held, s);
	pthread_sigmask(SIG_BLOCK, &held, &m_previous);
}


Hold::~Hold() {
	pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

} // namespace Interruption
} // namespace ZEB
