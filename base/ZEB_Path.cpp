#include "ZEB_Path.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <fstream>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ZEB_Exception.h"
#include "ZEB_MessageHandlerRegistry.h"
#include "ZEB_PathPlaceholders.h"
#include "ZEB_StringUtils.h"
#include "ZEB_Tokenizer.h"

namespace ZEB {

namespace {

void reportError(const FormatString & message, const char * location) {
	ZEB_Message(message, MSG_ERROR, location, -1);
}

bool startsWith(const std::string & s, const char * prefix) {
	return s.compare(0, std::strlen(prefix), prefix) == 0;
}

} // namespace


Path::Path(const std::string & p) {
	set(p);
}


Path::Path(const char * p) {
	set(std::string(p));
}


Path & Path::operator=(const std::string & p) {
	set(p);
	return *this;
}


Path & Path::operator=(const char * p) {
	set(std::string(p));
	return *this;
}


void Path::set(const std::string & p) {
	std::string text = trim_copy(p);
	// backslashes separate names only in the drive form of another platform's stored paths;
	// here they are ordinary characters of a name
	if (text.size() >= 2 && text[1] == ':' && std::isalpha(static_cast<unsigned char>(text[0])))
		std::replace(text.begin(), text.end(), '\\', '/');
	remove_trailing_slash(text);
	m_path.swap(text);
	removeRelativeParts();
	if (m_path.size() > 2 && startsWith(m_path, "./"))
		m_path.erase(0, 2);
	if (m_path.size() >= 2 && m_path[1] == ':')
		m_path = firstCharToUpperUtf8(m_path);
}


bool Path::isAbsolute() const {
	if (m_path.empty())
		return false;
	return m_path[0] == '/' || (m_path.size() >= 2 && m_path[1] == ':');
}


std::string Path::drive() const {
	if (m_path.size() >= 2 && m_path[1] == ':')
		return m_path.substr(0, 2);
	return std::string();
}


bool Path::hasPlaceholder() const {
	if (m_path.find('{') != std::string::npos && m_path.find('}') != std::string::npos)
		return true;
	return m_path.find("$(") != std::string::npos && m_path.find(')') != std::string::npos;
}


Path & Path::operator/=(const Path & p) {
	if (p.m_path.empty() || p.m_path == "." || p.m_path == "/")
		return *this;
	if (p.m_path[0] != '/')
		m_path += '/';
	m_path += p.m_path;
	if (startsWith(m_path, "./"))
		m_path.erase(0, 2);
	return *this;
}


Path & Path::operator/=(const std::string & p) {
	if (p.empty())
		return *this;
	return operator/=(Path(p));
}


Path Path::operator+(const std::string & s) const {
	return Path(m_path + trim_copy(s));
}


Path Path::operator+(const char * s) const {
	return operator+(std::string(s));
}


void Path::makeFatCompatible() {
	for (const char * c : {":", "&", "?", "*"})
		m_path = replace_string(m_path, c, "_", REPLACE_ALL);
}


void Path::removeRelativeParts() {
	if (m_path.empty() || m_path.find("/../") == std::string::npos || !isAbsolute() || hasPlaceholder())
		return;
	std::vector<std::string> comps = components();
	removeRelativeParts(comps);
	if (comps.empty()) {
		m_path.clear();
		return;
	}
	std::string text;
	std::size_t i = 0;
	if (m_path[0] != '/')
		text = comps[i++];				// the drive
	for (; i < comps.size(); ++i)
		text += "/" + comps[i];
	m_path.swap(text);
}


void Path::removeRelativeParts(std::vector<std::string> & components) {
	for (;;) {
		std::vector<std::string>::iterator it = std::find(components.begin(), components.end(), "..");
		if (it == components.end())
			return;
		if (it == components.begin()) {	// above the root
			components.clear();
			return;
		}
		components.erase(it - 1, it + 1);
	}
}


Path Path::fromURI(std::string uri) {
	if (uri.find("file:/") == std::string::npos)
		return Path(uri);
	uri.erase(0, uri.find("file:///") != std::string::npos ? 8 : 6);
	trim(uri);
	if (uri.size() < 3 || uri[1] == ':')
		return Path(uri);
	return Path("/" + uri);
}


Path Path::fromFileURI(const std::string & location) {
	const char * const where = "[Path::fromFileURI]";
	std::string path = location;
	// a scheme is letters, digits, '+', '-' and '.' from a letter up to the first ':'
	std::size_t schemeEnd = 0;
	if (!path.empty() && std::isalpha(static_cast<unsigned char>(path[0]))) {
		schemeEnd = 1;
		while (schemeEnd < path.size() && (std::isalnum(static_cast<unsigned char>(path[schemeEnd]))
				|| path[schemeEnd] == '+' || path[schemeEnd] == '-' || path[schemeEnd] == '.'))
			++schemeEnd;
		if (schemeEnd == path.size() || path[schemeEnd] != ':')
			schemeEnd = 0;
	}
	if (schemeEnd != 0) {
		const std::string scheme = path.substr(0, schemeEnd);
		std::string lower = scheme;
		for (char & c : lower)
			c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
		if (lower != "file")
			throw Exception(FormatString("Resource location '%1' uses the scheme '%2'; only file URIs name local "
										 "resources.").arg(location).arg(scheme), where);
		path.erase(0, schemeEnd + 1);
	}
	if (startsWith(path, "//")) {
		const std::size_t pathStart = path.find('/', 2);
		const std::string host = path.substr(2, pathStart == std::string::npos ? std::string::npos : pathStart - 2);
		// a host name that merely begins with "localhost" may be any machine
		if (!host.empty() && host != "localhost")
			throw Exception(FormatString("Resource location '%1' names the host '%2'; only an empty host or "
										 "'localhost' is this machine.").arg(location).arg(host), where);
		path.erase(0, pathStart == std::string::npos ? path.size() : pathStart);
	}
	if (path.empty() || path[0] != '/')
		throw Exception(FormatString("Resource location '%1' names no absolute path.").arg(location), where);

	const auto hexValue = [](char c) {
		if (c >= '0' && c <= '9')
			return c - '0';
		if (c >= 'a' && c <= 'f')
			return c - 'a' + 10;
		if (c >= 'A' && c <= 'F')
			return c - 'A' + 10;
		return -1;
	};
	std::string decoded;
	decoded.reserve(path.size());
	for (std::size_t i = 0; i < path.size(); ++i) {
		if (path[i] == '%' && i + 2 < path.size() && hexValue(path[i + 1]) >= 0 && hexValue(path[i + 2]) >= 0) {
			decoded += static_cast<char>(hexValue(path[i + 1])*16 + hexValue(path[i + 2]));
			i += 2;
			// an escaped '/' belongs to one name, which no local file name can hold: decoded, it
			// would split that name and so name another directory than the one given
			if (decoded.back() == '/')
				throw Exception(FormatString("Resource location '%1' holds an escaped '/' inside a name, which no "
											 "local file name can hold.").arg(location), where);
		}
		else
			decoded += path[i];
		const unsigned char c = static_cast<unsigned char>(decoded.back());
		// a zero byte would cut the path short, and so name another directory than the one given
		if (c < 0x20 || c == 0x7F)
			throw Exception(FormatString("Resource location '%1' holds a control character, which no "
										 "local path here can keep.").arg(location), where);
	}
	// trailing separators all name the same directory (set() would drop only one)
	while (decoded.size() > 1 && decoded.back() == '/')
		decoded.pop_back();
	Path result(decoded);
	// ".." above the root empties a path
	if (!result.isAbsolute())
		throw Exception(FormatString("Resource location '%1' names no absolute path.").arg(location), where);
	// set() trims a final blank, and one that ".." brings to the end would be trimmed next time
	if (decoded.back() == ' ' || result.str().back() == ' ')
		throw Exception(FormatString("Resource location '%1' ends in a blank, which no local path here can keep.")
						.arg(location), where);
	return result;
}


std::string Path::toFileURI() const {
	std::string uri = "file://";
	for (unsigned char c : m_path) {
		if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~')
			uri += static_cast<char>(c);
		else {
			const char * const hex = "0123456789ABCDEF";
			uri += '%';
			uri += hex[c >> 4];
			uri += hex[c & 15];
		}
	}
	return uri;
}


void Path::remove_trailing_slash(std::string & s) const {
	if (s.size() > 1 && s.back() == '/')
		s.pop_back();
}


std::string Path::remove_trailing_slash_copy(const std::string & s) const {
	std::string copy = s;
	remove_trailing_slash(copy);
	return copy;
}


std::string Path::firstCharToUpperUtf8(const std::string & s) const {
	if (s.empty())
		return s;
	const unsigned char first = static_cast<unsigned char>(s[0]);
	if (first >= 1 && first <= 127) {
		std::string result = s;
		result[0] = static_cast<char>(std::toupper(first));
		return result;
	}
	// a first byte that does not start a valid character of the locale stays as it is
	std::mbstate_t state{};
	wchar_t wc = 0;
	std::size_t used = std::mbrtowc(&wc, s.data(), std::min<std::size_t>(s.size(), MB_CUR_MAX), &state);
	if (used == 0 || used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2))
		return s;
	char buffer[MB_LEN_MAX];
	std::mbstate_t outState{};
	std::size_t written = std::wcrtomb(buffer, static_cast<wchar_t>(std::towupper(static_cast<wint_t>(wc))), &outState);
	if (written == static_cast<std::size_t>(-1))
		return s;
	return std::string(buffer, written) + s.substr(used);
}


std::vector<std::string> Path::components() const {
	std::vector<std::string> comps;
	for (const std::string & piece : explode(m_path, '/', -1))
		comps.push_back(piece);
	return comps;
}


// components and absolute form

unsigned int Path::branchCount() const {
	if (m_path.empty())
		return 0;
	unsigned int count = 1;
	for (std::size_t i = 0; i + 1 < m_path.size(); ++i)
		if (m_path[i] == '/')
			++count;
	return count;
}


Path Path::subBranch(unsigned int start, unsigned int count) const {
	if (start == 0 && count == 0)
		return *this;
	if (m_path.empty())
		throw Exception(FormatString("Invalid path: '%1'").arg(m_path), "[Path::subBranch]");
	std::vector<std::string> comps = components();
	if (m_path[0] == '/')
		comps.insert(comps.begin(), "/");
	const unsigned int n = branchCount();
	if (count > n)
		throw Exception("Insufficient branches for given count.", "[Path::subBranch]");
	if (start > n - 1)
		throw Exception("Illegal index for branch start.", "[Path::subBranch]");
	if (count != 0 && static_cast<unsigned long>(start) + count > n)
		throw Exception("Start index or count too large.", "[Path::subBranch]");
	const std::size_t end = count != 0 ? static_cast<std::size_t>(start) + count : n;
	// the count includes empty pieces ("a//b") that the component list drops
	if (end > comps.size())
		throw Exception("Start index or count too large.", "[Path::subBranch]");
	Path result(comps[start]);
	for (std::size_t i = start + 1; i < end; ++i)
		result /= comps[i];
	return result;
}


Path Path::parentPath() const {
	if (m_path.empty())
		throw Exception(FormatString("Invalid path: '%1'").arg(m_path), "[Path::parentPath]");
	if (m_path.size() == 2 && m_path.find(':') != std::string::npos)
		throw Exception("No parent possible.", "[Path::parentPath]");
	std::string::size_type pos = m_path.rfind('/');
	if (pos == std::string::npos)
		return Path(".");
	return Path(m_path.substr(0, pos));
}


Path Path::filename() const {
	if (m_path.empty())
		throw Exception(FormatString("Invalid path: '%1'").arg(m_path), "[Path::filename]");
	if (m_path.size() == 1)
		return (m_path == "." || m_path == "/") ? Path() : *this;
	if (m_path.size() == 2 && (m_path[1] == ':' || m_path == "./"))
		return Path();
	std::string::size_type pos = m_path.rfind('/');
	if (pos == std::string::npos)
		return *this;
	return Path(m_path.substr(pos + 1));
}


std::string Path::extension() const {
	if (m_path.empty())
		return std::string();
	const std::string name = filename().str();
	std::string::size_type pos = name.rfind('.');
	return pos == std::string::npos ? std::string() : name.substr(pos + 1);
}


Path Path::withoutExtension() const {
	if (m_path.empty() || filename().str().find('.') == std::string::npos)
		return *this;
	return Path(m_path.substr(0, m_path.rfind('.')));
}


void Path::addExtension(const std::string & ext) {
	const std::string e = trim_copy(ext);
	if (e.empty() || e == ".")
		return;
	if (e[0] != '.')
		m_path += '.';
	m_path += e;
}


Path Path::absolutePath() const {
	if (m_path.empty())
		return Path();
	Path copy(m_path);
	if (copy.hasPlaceholder())
		return copy;
	copy.removeRelativeParts();
	if (copy.isAbsolute())
		return copy;
	// without a working directory there is no absolute form; re-rooting at "/" would name another file
	const Path cwd = current();
	if (!cwd.isValid())
		return Path();
	std::string text = copy.m_path;
	if (text.size() > 1 && startsWith(text, "./"))
		text.erase(0, 2);
	Path result = cwd / text;
	result.removeRelativeParts();
	return result;
}


Path Path::current() {
	std::vector<char> buffer(4096, '\0');
	if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
		ZEB_Message(FormatString("Couldn't deduce user directory. "), MSG_ERROR, "[current()]", -1);
		return Path();
	}
	return Path(std::string(buffer.data()));
}


// placeholders and relative paths

std::string Path::placeholderString() const {
	const std::pair<char, char> brackets = placeholderBrackets(m_path);
	if (brackets.first == '\0')
		return std::string();
	const std::string::size_type open = m_path.find(brackets.first);
	if (open == std::string::npos)
		return std::string();
	const std::string::size_type close = m_path.find(brackets.second, open);
	if (close == std::string::npos)
		return std::string();
	return m_path.substr(open + 1, close - open - 1);
}


bool Path::insertPlaceholder(const std::string & name, const Path & placeholderPath) {
	const std::string & prefix = placeholderPath.m_path;
	// an empty prefix would match every path
	if (prefix.empty() || m_path.compare(0, prefix.size(), prefix) != 0)
		return false;
	std::string rest;
	if (m_path.size() > prefix.size()) {
		if (prefix.back() == '/')					// the root
			rest = m_path.substr(prefix.size());
		else if (m_path[prefix.size()] == '/')
			rest = m_path.substr(prefix.size() + 1);
		else
			return false;							// "/home/u" is no leading part of "/home/user"
	}
	m_path = "${" + name + "}";
	if (!rest.empty())
		m_path += "/" + rest;
	return true;
}


bool Path::extractPlaceholder(std::string & name, Path & relativePath) const {
	const std::string::size_type open = m_path.find('{');
	const std::string::size_type close = open == std::string::npos ? std::string::npos : m_path.find('}', open);
	if (close == std::string::npos) {
		name.clear();
		relativePath = *this;
		return false;
	}
	name = m_path.substr(open + 1, close - open - 1);
	// the rest starts after the "}/" expected there
	relativePath.set(close + 2 < m_path.size() ? m_path.substr(close + 2) : std::string());
	return !name.empty();
}


Path Path::withReplacedPlaceholders(const std::map<std::string, Path> & placeholders) const {
	const char * const location = "[Path::withReplacedPlaceholders]";
	Path result(m_path);
	const std::pair<char, char> brackets = placeholderBrackets(m_path);
	if (brackets.first == '\0')
		return result;
	const std::string opening = std::string("$") + brackets.first;
	std::map<std::string, std::map<std::string, Path>::const_iterator> byKey;
	for (std::map<std::string, Path>::const_iterator it = placeholders.begin(); it != placeholders.end(); ++it)
		byKey.emplace(opening + it->first + brackets.second, it);

	// Without a cycle each pass resolves one level of nesting, and a chain of replacements has
	// at most one level per table entry: a pass beyond that still replacing means a cycle.
	const std::size_t maxPasses = placeholders.size() + 1;
	bool rooted = false;
	for (std::size_t pass = 0; pass < maxPasses; ++pass) {
		if (!result.m_path.empty() && result.m_path[0] == '/')
			rooted = true;
		const std::vector<std::string> comps = result.components();
		result.clear();
		bool replaced = false;
		auto append = [&](const Path & part) {
			if (!result.m_path.empty())
				result /= part;
			else if (rooted && part.drive().empty())
				result /= part;			// gives the leading '/'
			else
				result = part;
		};
		for (const std::string & comp : comps) {
			const auto found = byKey.find(comp);
			if (found == byKey.end()) {
				append(Path(comp));
				continue;
			}
			const Path & replacement = found->second->second;
			if (replacement.m_path.empty())
				throw Exception(FormatString("Path for placeholder '%1' is empty.").arg(found->second->first), location);
			replaced = true;
			if (replacement.isAbsolute()) {
				if (!result.m_path.empty())
					throw Exception(FormatString("Cannot add absolute path '%1' (from replacing placeholder '%2') to path part '%3'.")
									.arg(replacement.m_path).arg(comp).arg(result.m_path), location);
				result = replacement;
			}
			else
				append(replacement);
		}
		if (!replaced)
			break;
	}

	const std::string::size_type start = result.m_path.find(opening);
	if (start == std::string::npos)
		return result;
	const std::string::size_type close = result.m_path.find(brackets.second, start);
	const std::string unknown = close == std::string::npos ? result.m_path.substr(start)
														   : result.m_path.substr(start, close - start + 1);
	std::string known;
	for (const std::pair<const std::string, Path> & entry : placeholders) {
		if (!known.empty())
			known += "\n";
		known += opening + entry.first + brackets.second + " = " + entry.second.absolutePath().m_path;
	}
	throw Exception(FormatString("Unknown or undefined path placeholder '%1'. Known placeholders are:\n%2")
					.arg(unknown).arg(known), "[Project::replacePlaceHolders]");
}


bool Path::canCreateRelativePath(const Path & other, std::string & errmsg) const {
	if (!isValid()) {
		errmsg = "Empty/invalid path.";
		return false;
	}
	if (!other.isValid()) {
		errmsg = "Other path argument is an empty/invalid path.";
		return false;
	}
	const Path thisAbs = absolutePath();
	const Path otherAbs = other.absolutePath();
	if (!thisAbs.isValid() || !otherAbs.isValid()) {
		errmsg = "Cannot create absolute path.";
		return false;
	}
	if (thisAbs.m_path == otherAbs.m_path)
		return true;
	if (thisAbs.drive() != otherAbs.drive()) {
		errmsg = "Different drives.";
		return false;
	}
	return true;
}


Path Path::relativePath(const Path & toPath) const {
	std::string errmsg;
	if (!canCreateRelativePath(toPath, errmsg))
		throw Exception(errmsg, "[Path::relativePath]");
	const Path a = absolutePath();
	const Path b = toPath.absolutePath();
	if (a.m_path == b.m_path)
		return *this;
	try {
		std::vector<std::string> compsA = a.components();
		if (a.m_path[0] == '/')
			compsA.insert(compsA.begin(), "/");
		std::vector<std::string> compsB = b.components();
		if (b.m_path[0] == '/')
			compsB.insert(compsB.begin(), "/");
		std::size_t common = 0;
		while (common < compsA.size() && common < compsB.size() && compsA[common] == compsB[common])
			++common;
		Path result;
		if (compsB.size() > common) {
			for (std::size_t i = common; i < compsB.size(); ++i)
				result /= "..";
		}
		else if (a.m_path[0] == '/')
			result = Path(".");
		// joined component by component: "a//b" has fewer components than separators
		for (std::size_t i = common; i < compsA.size(); ++i)
			result /= compsA[i];
		if (!result.m_path.empty() && result.m_path[0] == '/')
			result.m_path.erase(0, 1);
		return result;
	}
	catch (const Exception & ex) {
		throw Exception(ex, "Error while creating final path", "[Path::relativePath]");
	}
}


// file system

int Path::directoryExists(const std::string & path) const {
	const std::string p = remove_trailing_slash_copy(path);
	struct stat st;
	if (::stat(p.c_str(), &st) == 0)
		return S_ISDIR(st.st_mode) ? 0 : 1;
	if (errno == EACCES)
		reportError(FormatString("Cannot access file/directory '%1'!").arg(path), nullptr);
	return 2;
}


bool Path::exists() const {
	return directoryExists(m_path) != 2;
}


bool Path::isFile() const {
	return directoryExists(m_path) == 1;
}


bool Path::isDirectory() const {
	return directoryExists(m_path) == 0;
}


std::int64_t Path::fileSize() const {
	if (!isFile())
		return -1;
	// non-blocking, so that a named pipe without writer cannot hang the caller
	int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return 0;
	off_t size = ::lseek(fd, 0, SEEK_END);
	::close(fd);
	return size < 0 ? 0 : static_cast<std::int64_t>(size);
}


std::time_t Path::lastWriteTime() const {
	struct stat st;
	if (::stat(m_path.c_str(), &st) != 0)
		return 0;
	return st.st_mtime;
}


bool Path::makePath(const Path & p) {
	if (!p.isValid())
		return false;
	switch (p.directoryExists(p.m_path)) {
		case 0 : return true;
		case 1 : return false;
		default : break;
	}
	const Path parent = p.parentPath();
	if (parent.isValid() && !parent.isDirectory() && !makePath(parent))
		return false;
	std::string text = p.m_path;
	if (text.back() != '/')
		text += '/';
	for (std::string::size_type pos = text.find('/'); pos != std::string::npos; pos = text.find('/', pos + 1)) {
		const std::string prefix = text.substr(0, pos);
		if (prefix.empty())
			continue;
		if (::mkdir(prefix.c_str(), 0755) == 0 || errno == EEXIST)
			continue;
		const char * const loc = "[ZEB_Path::makePath]";
		switch (errno) {
			case EACCES : reportError(FormatString("Cannot create directory %1, access denied!").arg(p), loc); break;
			case ENOENT : reportError(FormatString("Cannot create directory %1, some component of the path doesn't exist!").arg(p), loc); break;
			case ENOTDIR : reportError(FormatString("Cannot create directory %1, invalid path!").arg(p), loc); break;
			case EFAULT : reportError(FormatString("EFAULT"), loc); break;
			case ENAMETOOLONG : reportError(FormatString("ENAMETOOLONG"), loc); break;
			case ELOOP : reportError(FormatString("ELOOP"), loc); break;
			case ENOMEM : reportError(FormatString("ENOMEM"), loc); break;
			default : break;
		}
		return false;
	}
	return p.isDirectory();
}


namespace {

// Depth-first: entries before their directory; links are removed as links (FTW_PHYS).
int removeEntry(const char * path, const struct stat *, int typeflag, struct FTW *) {
	if (typeflag == FTW_DP)
		return ::rmdir(path);
	return ::unlink(path);
}

// Deletes the entry abs (absolute) with everything below it; a missing entry is no failure.
bool removeTree(const std::string & abs) {
	struct stat st;
	if (::lstat(abs.c_str(), &st) != 0)
		return errno == ENOENT;
	if (!S_ISDIR(st.st_mode))
		return ::unlink(abs.c_str()) == 0;
	return ::nftw(abs.c_str(), removeEntry, 32, FTW_DEPTH | FTW_PHYS) == 0;
}

// The path with its links resolved as far as it exists; the invalid path when that fails.
Path resolvedForm(const Path & p) {
	const Path abs = p.absolutePath();
	if (!abs.isValid())
		return Path();
	std::error_code ec;
	const std::filesystem::path resolved = std::filesystem::weakly_canonical(abs.str(), ec);
	return ec ? Path() : Path(resolved.string());
}

bool sameEntry(const Path & a, const Path & b) {
	struct stat sa, sb;
	return ::stat(a.str().c_str(), &sa) == 0 && ::stat(b.str().c_str(), &sb) == 0 &&
		   sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// A free name beside the entry abs, where a replaced target waits until the move has succeeded;
// empty when none is found.
std::string asideName(const std::string & abs) {
	static std::atomic<unsigned int> counter{0};
	// short, so that a long target name cannot make it too long
	const std::string prefix = abs.substr(0, abs.rfind('/') + 1) + ".replaced-" + std::to_string(::getpid()) + "-";
	for (int attempt = 0; attempt < 100; ++attempt) {
		const std::string candidate = prefix + std::to_string(counter++);
		struct stat st;
		if (::lstat(candidate.c_str(), &st) != 0 && errno == ENOENT)
			return candidate;
	}
	return std::string();
}

bool writeAll(int fd, const char * data, std::size_t size) {
	while (size > 0) {
		const ssize_t written = ::write(fd, data, size);
		if (written < 0 && errno == EINTR)
			continue;
		if (written <= 0)
			return false;
		data += written;
		size -= static_cast<std::size_t>(written);
	}
	return true;
}

bool copyFileContent(const std::string & source, const std::string & target, const struct stat & st) {
	const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
	if (in < 0)
		return false;
	const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
	if (out < 0) {
		::close(in);
		return false;
	}
	std::vector<char> buffer(1 << 16);
	bool ok = true;
	for (;;) {
		const ssize_t got = ::read(in, buffer.data(), buffer.size());
		if (got < 0 && errno == EINTR)
			continue;
		if (got <= 0) {
			ok = got == 0;
			break;
		}
		if (!writeAll(out, buffer.data(), static_cast<std::size_t>(got))) {
			ok = false;
			break;
		}
	}
	const struct timespec times[2] = {st.st_atim, st.st_mtim};
	ok = ok && ::fchmod(out, st.st_mode & 07777) == 0 && ::futimens(out, times) == 0;
	::close(in);
	// a failed close may be the first sign of a full disk
	return ::close(out) == 0 && ok;
}

// Copies the entry source to target, which must not exist: files with their content, permission
// bits and times, links as links, directories with everything below. Any other kind, or any
// failure, stops the copy with false and leaves what was made for the caller to remove.
bool copyEntry(const std::string & source, const std::string & target) {
	struct stat st;
	if (::lstat(source.c_str(), &st) != 0)
		return false;
	if (S_ISREG(st.st_mode))
		return copyFileContent(source, target, st);
	if (S_ISLNK(st.st_mode)) {
		std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
		const ssize_t len = ::readlink(source.c_str(), link.data(), link.size());
		if (len < 0 || static_cast<std::size_t>(len) >= link.size())
			return false;
		return ::symlink(std::string(link.data(), static_cast<std::size_t>(len)).c_str(), target.c_str()) == 0;
	}
	if (!S_ISDIR(st.st_mode)) {
		errno = ENOTSUP;
		return false;
	}
	if (::mkdir(target.c_str(), 0700) != 0)
		return false;
	DIR * dir = ::opendir(source.c_str());
	if (dir == nullptr)
		return false;
	std::vector<std::string> names;
	errno = 0;
	while (const struct dirent * entry = ::readdir(dir)) {
		const std::string name = entry->d_name;
		if (name != "." && name != "..")
			names.push_back(name);
	}
	const bool listed = errno == 0;
	::closedir(dir);
	if (!listed)
		return false;
	for (const std::string & name : names)
		if (!copyEntry(source + "/" + name, target + "/" + name))
			return false;
	const struct timespec times[2] = {st.st_atim, st.st_mtim};
	return ::chmod(target.c_str(), st.st_mode & 07777) == 0 &&
		   ::utimensat(AT_FDCWD, target.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace


bool Path::remove(const Path & p, bool /*flag*/) {
	if (!p.isValid())
		return false;
	// the root, "." and ".." name whole trees or the caller's own place: never removed
	const std::vector<std::string> comps = p.components();
	if (comps.empty() || comps.back() == "." || comps.back() == ".." || (p.m_path.size() == 2 && p.m_path[1] == ':'))
		return false;
	// removed by its absolute form; the working directory is the process's, never changed here,
	// even when it lies inside p
	const Path abs = p.absolutePath();
	if (!abs.isValid() || abs.components().empty())
		return false;
	return removeTree(abs.m_path);
}


bool Path::move(const Path & source, const Path & target) {
	const char * const loc = "[Path::move]";
	const auto reportFailure = [&target, loc](int error) {
		switch (error) {
			case EPERM : reportError(FormatString("Cannot move to %1, not enough permissions!").arg(target), loc); break;
			case ENOENT : reportError(FormatString("Cannot move to %1, some component of the path doesn't exist!").arg(target), loc); break;
			case EACCES : reportError(FormatString("Cannot move to %1, access denied!").arg(target), loc); break;
			case EROFS : reportError(FormatString("Cannot move to %1, read only file system!").arg(target), loc); break;
			default : break;
		}
	};
	// both named by their absolute forms: what the texts name now is what is moved and replaced
	const Path from = source.absolutePath();
	const Path to = target.absolutePath();
	struct stat st;
	if (!from.isAbsolute() || !to.isAbsolute() || to.components().empty()) {
		reportFailure(ENOENT);
		return false;
	}
	// a missing source must not cost the target
	if (::lstat(from.m_path.c_str(), &st) != 0) {
		reportFailure(errno);
		return false;
	}
	// the working directory must not be carried away, also when source is given relative to it;
	// getcwd gives the form without links
	if (S_ISDIR(st.st_mode)) {
		const Path real = resolvedForm(from);
		const Path cwd = current();
		if (real.isValid() && cwd.isValid() && real.components().size() <= cwd.components().size() &&
			isRootPath(real, cwd))
		{
			return false;
		}
	}
	// replacing the target would delete the source too: one entry, or one inside the other, also
	// through links
	if (sameEntry(from, to) || isRootPath(resolvedForm(from), resolvedForm(to)))
		return false;

	// an existing target waits aside until the source is in its place, and returns on failure
	std::string aside;
	if (::lstat(to.m_path.c_str(), &st) == 0) {
		aside = asideName(to.m_path);
		if (aside.empty() || ::rename(to.m_path.c_str(), aside.c_str()) != 0) {
			reportError(FormatString("Cannot remove override target %1, probably access denied!").arg(target), loc);
			return false;
		}
	}
	bool moved = ::rename(from.m_path.c_str(), to.m_path.c_str()) == 0;
	int error = errno;
	if (!moved && error == EXDEV) {
		// another file system: a complete copy first; the source goes only once the copy is whole
		moved = copyEntry(from.m_path, to.m_path);
		error = errno;
		if (moved && ::lstat(from.m_path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
			moved = ::unlink(from.m_path.c_str()) == 0;
			error = errno;
		}
		if (!moved) {
			removeTree(to.m_path);
			reportError(FormatString("Cannot move %1 to %2 on another file system: %3. Both stay as they were.")
				.arg(source).arg(target).arg(std::strerror(error)), loc);
			error = 0;
		}
		else if (!removeTree(from.m_path)) {
			// the copy is complete; a tree that cannot be removed in full stays in part
			reportError(FormatString("Moved %1 to %2 by copying, but could not remove all of the source.")
				.arg(source).arg(target), loc);
		}
	}
	if (!moved) {
		if (!aside.empty() && ::rename(aside.c_str(), to.m_path.c_str()) != 0)
			reportError(FormatString("Cannot restore the target %1, it remains as %2!").arg(target).arg(aside), loc);
		reportFailure(error);
		return false;
	}
	if (!aside.empty() && !removeTree(aside))
		reportError(FormatString("Cannot remove override target %1, probably access denied!").arg(aside), loc);
	return true;
}


bool Path::copy(const Path & source, const Path & target) {
	if (!source.exists())
		return false;
	// compared with links resolved: a tree must not be copied into itself or over its own ancestor
	if (isRootPath(resolvedForm(target), resolvedForm(source)))
		return false;
	if (source.isDirectory()) {
		if (target.exists() && !target.isDirectory())
			return false;
		DIR * dir = ::opendir(source.absolutePath().m_path.c_str());
		if (dir == nullptr)
			return false;
		std::vector<std::string> names;
		while (const struct dirent * entry = ::readdir(dir)) {
			const std::string name = entry->d_name;
			if (name != "." && name != "..")
				names.push_back(name);
		}
		::closedir(dir);
		if (!target.exists() && ::mkdir(target.absolutePath().m_path.c_str(), 0755) != 0)
			return false;
		for (const std::string & name : names)
			copy(source / name, target / name);
		return true;
	}
	const Path destination = target.isDirectory() ? target / source.filename() : target;
	// only regular files are copied (a named pipe would block), and never onto themselves
	struct stat st;
	if (::stat(source.m_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || sameEntry(source, destination))
		return false;
	// the source is opened first: a source that cannot be read leaves the destination alone
	std::ifstream in(source.absolutePath().m_path, std::ios_base::binary);
	if (!in)
		return false;
	std::ofstream out(destination.absolutePath().m_path, std::ios_base::binary | std::ios_base::trunc);
	if (!out)
		return false;
	// an empty source transfers nothing, which streaming would report as a failure
	if (in.peek() != std::ifstream::traits_type::eof())
		out << in.rdbuf();
	out.flush();
	return out.good() && !in.bad();
}


bool Path::setFileTime(const Path & p, int hour, int minute, int second, int day, int month, int year) {
	struct tm t{};
	t.tm_sec = second;
	t.tm_min = minute;
	t.tm_hour = hour;
	t.tm_mday = day;
	t.tm_mon = month - 1;
	t.tm_year = year - 1900;
	t.tm_isdst = -1;			// let the C library decide on daylight saving
	const std::time_t modTime = std::mktime(&t);
	// the access time is left exactly as it is
	struct timespec times[2];
	times[0].tv_sec = 0;
	times[0].tv_nsec = UTIME_OMIT;
	times[1].tv_sec = modTime;
	times[1].tv_nsec = 0;
	if (::utimensat(AT_FDCWD, p.absolutePath().m_path.c_str(), times, 0) == 0)
		return true;
	const char * const loc = "[Path::setFileTime]";
	switch (errno) {
		case EPERM : reportError(FormatString("Cannot set file time to %1, not enough permissions!").arg(p), loc); break;
		case ENOENT : reportError(FormatString("Cannot set file time to %1, some component of the path doesn't exist!").arg(p), loc); break;
		case EACCES : reportError(FormatString("Cannot set file time to %1, access denied!").arg(p), loc); break;
		case EROFS : reportError(FormatString("Cannot set file time to %1, read only file system!").arg(p), loc); break;
		default : break;
	}
	return false;
}


bool Path::setCurrent(const Path & p) {
	return ::chdir(p.m_path.c_str()) == 0;
}


bool Path::isRootPath(const Path & p1, const Path & p2) {
	const std::vector<std::string> c1 = p1.components();
	const std::vector<std::string> c2 = p2.components();
	const std::size_t n = std::min(c1.size(), c2.size());
	for (std::size_t i = 0; i < n; ++i)
		if (c1[i] != c2[i])
			return false;
	return true;
}


bool Path::isRootPath(const Path & p) {
	return isRootPath(current(), p);
}


Path operator/(const Path & a, const Path & b) {
	Path result = a;
	result /= b;
	return result;
}


Path operator/(const Path & a, const std::string & b) {
	return a / Path(b);
}


Path operator/(const std::string & a, const Path & b) {
	return Path(a) / b;
}

} // namespace ZEB
