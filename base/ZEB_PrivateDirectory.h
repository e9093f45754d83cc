#ifndef ZEB_PrivateDirectoryH
#define ZEB_PrivateDirectoryH

#include <string>

namespace ZEB {

/*! A fresh directory of the owner alone below the system's temporary directory (or another
	parent), removed with all it holds when the object goes, also when an exception passes, when
	folders inside it were made read-only, and when a signal ends the process (see
	Interruption). */
class PrivateDirectory {
public:
	/*! Creates "<parent>/<prefix>XXXXXX", parent by default the temporary directory; throws
		ZEB::Exception "Cannot create directory: '<pattern>' (<reason>)." at location when it cannot. */
	explicit PrivateDirectory(const std::string & prefix, const std::string & parent = std::string(),
							  const char * location = "[PrivateDirectory]");
	~PrivateDirectory();
	PrivateDirectory(const PrivateDirectory &) = delete;
	PrivateDirectory & operator=(const PrivateDirectory &) = delete;

	/*! Leaves the directory with what it holds: neither the object's end nor a signal removes it
		any more, and path() is empty. */
	void keep();

	/*! Absolute path, without trailing slash. */
	const std::string & path() const { return m_path; }

private:
	std::string	m_path;
	/*! The registration with Interruption. */
	int			m_slot = -1;
};

} // namespace ZEB

#endif // ZEB_PrivateDirectoryH
