#ifndef ZEB_PathH
#define ZEB_PathH

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace ZEB {

/*! A file-system path with '/' as separator; a plain value holding its text.

	Texts are normalised when set: trimmed of blanks, tabs and carriage returns, backslashes
	turned into '/' in the drive form only (elsewhere a backslash is an ordinary character of a
	name), one trailing separator dropped, ".." resolved in absolute paths that hold
	"/../" and no placeholder, a leading "./" dropped. Joins are not normalised again. An empty
	path is invalid. Paths are absolute when they start with '/' or a drive ("C:"); the drive
	form is kept as a value, though this platform never produces it.

	Operations that touch the file system never throw on file-system failures: they return
	false (or a code) and send error messages to the current message handler.
*/
class Path {
public:
	Path() = default;
	Path(const std::string & p);
	Path(const char * p);

	Path & operator=(const std::string & p);
	Path & operator=(const char * p);

	/*! Replaces the text by the normalised form of p. */
	void set(const std::string & p);
	void clear() { m_path.clear(); }
	void swap(Path & other) { m_path.swap(other.m_path); }

	const std::string & str() const { return m_path; }
	/*! The text in the platform's native form: the same text here. */
	const std::string & osStr() const { return m_path; }
	bool isValid() const { return !m_path.empty(); }
	bool isAbsolute() const;
	/*! "C:" for a drive path, else empty. */
	std::string drive() const;
	/*! True when the text holds '{' and '}', or "$(" and ')'. */
	bool hasPlaceholder() const;

	/*! Appends p as sub-path: inserts '/' unless p starts with one; ".", "/" and empty p change
		nothing; a leading "./" of the result is dropped. The left side is not inspected: an
		empty path joined with "a" gives "/a", the root gives "//a". */
	Path & operator/=(const Path & p);
	Path & operator/=(const std::string & p);
	Path & operator/=(const char * p) { return operator/=(std::string(p)); }
	Path & addPath(const Path & p) { return operator/=(p); }
	/*! The path of text + s (s trimmed), without separator: "/data" + ".bak" is "/data.bak". */
	Path operator+(const std::string & s) const;
	Path operator+(const char * s) const;

	/*! Replaces ':', '&', '?' and '*' by '_'. */
	void makeFatCompatible();
	/*! Resolves ".." components of an absolute path without placeholder that holds "/../";
		".." above the root empties the path. */
	void removeRelativeParts();
	/*! Removes every ".." with the component before it; a leading ".." empties the list. */
	static void removeRelativeParts(std::vector<std::string> & components);

	/*! Path of a "file:" URI ("file:///home/u" gives "/home/u") or of a plain path text. No host
		part is interpreted and percent escapes stay. */
	static Path fromURI(std::string uri);
	/*! The local path a resource location names, strictly: a "file:" URI whose authority is
		empty or exactly "localhost" ("file:///p", "file:/p", "file://localhost/p"), or an
		absolute path without scheme; percent escapes are decoded ("%" without two hex digits
		stays as it is). Throws ZEB::Exception for another scheme, another host, a relative or
		empty path, and an escape that gives a control character or '/', so that no location is read
		as some other local directory. */
	static Path fromFileURI(const std::string & location);
	/*! "file://" and the text, every byte outside the unreserved set and '/' percent-encoded;
		fromFileURI() gives the path back. */
	std::string toFileURI() const;

	/*! Drops one trailing '/' or '\' of a text longer than one character. */
	void remove_trailing_slash(std::string & s) const;
	std::string remove_trailing_slash_copy(const std::string & s) const;
	/*! s with its first (possibly multi-byte) character upper-cased. */
	std::string firstCharToUpperUtf8(const std::string & s) const;

	// components and absolute form

	/*! Number of components: "/a/b" has 3 ("/", "a", "b"), "a/b" 2, "/" 1, "" 0. */
	unsigned int branchCount() const;
	/*! count components from index start ("/" is component 0 of an absolute path); count 0
		means up to the last one. Throws when the range does not fit the path. */
	Path subBranch(unsigned int start, unsigned int count) const;
	/*! The text before the last '/' ("/a" and "/" give the invalid path), or "." without '/'.
		Throws for an invalid path and for a bare drive. */
	Path parentPath() const;
	/*! The last component; "." and "/" give the invalid path. Throws for an invalid path. */
	Path filename() const;
	/*! The file name's text after its last '.', without the dot; empty when there is none. */
	std::string extension() const;
	/*! The path up to the file name's last '.'. */
	Path withoutExtension() const;
	/*! Appends ext (trimmed) with a dot in front unless it has one; "" and "." change nothing. */
	void addExtension(const std::string & ext);
	/*! The absolute form against the working directory, ".." resolved; paths with placeholders
		are returned unchanged; the invalid path when the working directory is unknown. */
	Path absolutePath() const;
	/*! The working directory; the invalid path (and an error message) when it cannot be read. */
	static Path current();

	// placeholders and relative paths

	/*! The name inside the first placeholder brackets ("Project Directory" of
		"${Project Directory}/x"); empty when there is none. */
	std::string placeholderString() const;
	/*! Replaces a leading placeholderPath (whole components) by "${name}": "/home/u/data" with
		"/home/u" becomes "${name}/data", "/home/u" itself "${name}". False, and the path
		unchanged, when it does not begin with placeholderPath or that is invalid. */
	bool insertPlaceholder(const std::string & name, const Path & placeholderPath);
	/*! Splits "${name}/rest" into name and the relative path rest (empty when nothing follows);
		false when the name is empty or there are no braces (then relativePath is this path). */
	bool extractPlaceholder(std::string & name, Path & relativePath) const;
	/*! The path with every component that is exactly a placeholder of the table ("${N}", or
		"$(N)" in a parenthesis-form text) replaced, repeatedly while replacements bring new
		placeholders. An absolute replacement may only stand first. Throws for an empty table
		path, an absolute path in mid-path, and a placeholder left over (unknown, inside a
		component, or never resolved because the table's entries refer to each other in a cycle). */
	Path withReplacedPlaceholders(const std::map<std::string, Path> & placeholders) const;
	/*! Whether relativePath(other) can be built; otherwise false with the reason in errmsg. */
	bool canCreateRelativePath(const Path & other, std::string & errmsg) const;
	/*! This path as seen from the directory toPath ("/a/b/file" from "/a/c" is "../b/file");
		this path unchanged when both are one. Throws when canCreateRelativePath fails. */
	Path relativePath(const Path & toPath) const;

	// file system

	/*! 0 for an existing directory, 1 for another existing entry, 2 for none or no access. */
	int directoryExists(const std::string & path) const;
	bool exists() const;
	/*! Any existing entry that is not a directory counts as a file. */
	bool isFile() const;
	bool isDirectory() const;
	/*! Size in bytes [Byte]; -1 when not a file, 0 when it cannot be opened. */
	std::int64_t fileSize() const;
	/*! Modification time in seconds since the epoch; 0 when the entry cannot be examined. */
	std::time_t lastWriteTime() const;
	std::time_t fileTime() const { return lastWriteTime(); }

	/*! Creates the directory p with all missing parents; true when it exists afterwards. */
	static bool makePath(const Path & p);
	/*! Deletes the entry p, named by its absolute form, a directory with all below it; links are
		removed, never followed. A missing entry is no failure; an invalid path, the root, "." and
		".." give false. flag has no effect. Never changes the working directory, also when it lies
		inside p (the process then stays in a removed directory). */
	static bool remove(const Path & p, bool flag = false);
	/*! Renames source to target, both taken by their absolute forms, replacing an existing
		target. The target is never lost: it is put aside first and removed only once the source
		is in its place, else put back. Across file systems the source is copied whole (files,
		directories, links; anything else fails) and removed only after the copy is complete; a
		failed copy leaves both as they were. False, with nothing changed, when source is missing,
		when source is the working directory or one of its ancestors (links resolved), or when
		source and target are one entry or one contains the other. A working directory above the
		source is no obstacle. */
	static bool move(const Path & source, const Path & target);
	/*! Copies a file (into target, or into the directory target under its own name) or merges a
		directory tree into target. False when source is missing or the two lie on one branch. */
	static bool copy(const Path & source, const Path & target);
	/*! Sets the modification time to the local time given (month and day 1-based); the access
		time stays. */
	static bool setFileTime(const Path & p, int hour, int minute, int second, int day, int month, int year);
	/*! Changes the working directory. */
	static bool setCurrent(const Path & p);
	/*! True when the component lists agree on every index both have: one path is a leading
		part of the other (textually), or they are equal. */
	static bool isRootPath(const Path & p1, const Path & p2);
	/*! isRootPath(current(), p). */
	static bool isRootPath(const Path & p);

	bool operator==(const Path & other) const { return m_path == other.m_path; }
	bool operator!=(const Path & other) const { return m_path != other.m_path; }

private:
	/*! The text split at '/' with empty pieces dropped. */
	std::vector<std::string> components() const;

	std::string		m_path;
};

Path operator/(const Path & a, const Path & b);
Path operator/(const Path & a, const std::string & b);
Path operator/(const std::string & a, const Path & b);
inline Path operator/(const Path & a, const char * b) { return a / std::string(b); }
inline Path operator/(const char * a, const Path & b) { return std::string(a) / b; }

} // namespace ZEB

#endif // ZEB_PathH
