#ifndef Wexil_DirectoriesH
#define Wexil_DirectoriesH

#include <QString>

namespace Wexil {

/*! The program's standard directories and files. Only generateTempFileName() creates anything. */
class Directories {
public:
	/*! The resources next to the executable: application directory + "/../resources". */
	static QString resourcesRootDir();
	/*! The built-in databases: the resources root. */
	static QString databasesDir();
	/*! The application's translation catalogue for langId. */
	static QString translationsFilePath(const QString & langId);
	/*! The platform's translation catalogue for langId. */
	static QString qtTranslationsFilePath(const QString & langId);
	/*! The user's data directory: home + "/.local/share/" + appname. */
	static QString userDataDir();
	static QString tmpDir();
	static QString globalLogFile();
	/*! The platform's writable download location. */
	static QString updateFilePath();

	/*! Removes the directory with everything below it; links are removed, never followed.
		False for a missing directory or at the first entry that cannot be removed. */
	static bool removeDirRecursively(const QString & dirName);
	/*! Whether a new file of that name can be created (probed by creating and removing it);
		false for an existing file, which stays untouched. */
	static bool checkForWriteAccess(const QString & fileName);
	/*! A writable temporary file name that does not exist yet ("/tmp/zeb_tmpN", else in the
		user data directory's "tmp"); empty, with an error message, when there is none. */
	static QString generateTempFileName();

	/*! Application name used in the user data path, translation and log file names. */
	static QString appname;
	static QString devdir;
	static QString packagename;
};

} // namespace Wexil

#endif // Wexil_DirectoriesH
