#ifndef ZEB_InterruptionH
#define ZEB_InterruptionH

#include <csignal>
#include <string>

// What an interrupted run leaves behind: nothing. SIGINT, SIGTERM and SIGHUP remove every
// registered temporary file and directory tree, then end the process by the same signal, so the
// caller (a shell, a build) sees the interruption. Without install() (a library inside a host)
// nothing is registered and no signal is touched.
namespace ZEB {
namespace Interruption {

/*! Installs the handlers of SIGINT, SIGTERM and SIGHUP; once per process, before the first add. */
void install();

/*! Registers an absolute path that a signal removes: a tree when tree is set, else one file.
	Returns the slot to give to remove (-1 before install(): nothing is registered); throws
	std::runtime_error when all slots are taken. */
int add(const std::string & path, bool tree);

/*! Forgets a slot (a negative slot is ignored); the path itself stays. */
void remove(int slot);

/*! Removes the directory tree path (absolute) with everything below it, also where folders of
	it lack the owner's write or search permission; never follows a symbolic link. True when
	nothing of it is left. Safe inside a signal handler. */
bool removeTree(const char * path);

/*! Holds SIGINT, SIGTERM and SIGHUP back while it lives, so that a path created and then
	registered meanwhile is never left behind by a signal that comes between the two. */
class Hold {
public:
	Hold();
	~Hold();
	Hold(const Hold &) = delete;
	Hold & operator=(const Hold &) = delete;

private:
	sigset_t	m_previous;
};

} // namespace Interruption
} // namespace ZEB

#endif // ZEB_InterruptionH
