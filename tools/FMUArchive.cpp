#include "FMUArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipfileinfo.h>

namespace FMUArchive {

namespace {

/*! Why the entry name cannot be unpacked as it stands; empty when it can. A trailing '/' marks
	a folder. */
std::string nameProblem(const std::string & name) {
	if (name.empty())
		return "has no name";
	if (name[0] == '/')
		return "leads outside the directory it is unpacked into";
	for (unsigned char c : name)
		if (c < 0x20 || c == 0x7f || c == '\\')
			return "is not a plain relative path";
	std::string::size_type start = 0;
	const std::string::size_type end = name.back() == '/' ? name.size() - 1 : name.size();
	for (unsigned int depth = 1; start <= end; ++depth) {
		if (depth > MAX_DEPTH)
			return "is nested more than " + std::to_string(MAX_DEPTH) + " levels deep";
		std::string::size_type slash = name.find('/', start);
		if (slash == std::string::npos || slash > end)
			slash = end;
		const std::string part = name.substr(start, slash - start);
		if (part == "..")
			return "leads outside the directory it is unpacked into";
		if (part.empty() || part == ".")
			return "is not a plain relative path";
		start = slash + 1;
	}
	return std::string();
}

/*! An entry as the central directory describes it. */
struct Entry {
	std::string		m_name;
	bool			m_folder;
	std::uint64_t	m_size;
};

[[noreturn]] void refuse(const std::string & archive, const std::string & reason) {
	throw std::runtime_error("unsafe FMU archive '" + archive + "': " + reason);
}

/*! The entries of the archive's central directory, each checked; nothing is unpacked. */
std::vector<Entry> checkedEntries(QuaZip & zip, const std::string & archive) {
	std::vector<Entry> entries;
	std::uint64_t total = 0;
	for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
		if (entries.size() == MAX_ENTRIES)
			refuse(archive, "it holds more than " + std::to_string(MAX_ENTRIES) + " entries");
		QuaZipFileInfo64 info;
		if (!zip.getCurrentFileInfo(&info))
			throw std::runtime_error("not an FMU: '" + archive + "' has a damaged zip directory");
		const std::string name = info.name.toUtf8().toStdString();
		const std::string problem = nameProblem(name);
		if (!problem.empty())
			refuse(archive, "entry '" + name + "' " + problem);
		// the Unix file type in the upper half of the external attributes, where an archiver
		// records links and devices
		const unsigned int type = (info.externalAttr >> 16) & S_IFMT;
		if (type == S_IFLNK)
			refuse(archive, "entry '" + name + "' is a symbolic link");
		if (type != 0 && type != S_IFREG && type != S_IFDIR)
			refuse(archive, "entry '" + name + "' is a special file");
		if ((info.flags & 1) != 0)
			refuse(archive, "entry '" + name + "' is encrypted");
		const bool folder = name.back() == '/' || type == S_IFDIR;
		if (folder && info.uncompressedSize != 0)
			refuse(archive, "folder entry '" + name + "' holds data");
		total += info.uncompressedSize;
		if (info.uncompressedSize > MAX_BYTES || total > MAX_BYTES)
			refuse(archive, "its entries unpack to more than " + std::to_string(MAX_BYTES >> 20) + " MiB");
		entries.push_back(Entry{name, folder, info.uncompressedSize});
	}
	if (zip.getZipError() != UNZ_OK)
		throw std::runtime_error("not an FMU: '" + archive + "' has a damaged zip directory");
	return entries;
}

/*! Creates the folders of path below dir, up to its last '/'. */
void makeFolders(const std::string & dir, const std::string & path, const std::string & archive) {
	for (std::string::size_type slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
		const std::string folder = dir + "/" + path.substr(0, slash);
		struct stat s;
		if (mkdir(folder.c_str(), S_IRWXU) != 0 && !(errno == EEXIST && lstat(folder.c_str(), &s) == 0 && S_ISDIR(s.st_mode)))
			throw std::runtime_error("cannot unpack '" + archive + "': folder '" + path.substr(0, slash) + "': " +
									 std::strerror(errno == EEXIST ? ENOTDIR : errno));
	}
}

/*! Writes the current entry of zip to the new file target (never an existing one). */
void unpackFile(QuaZip & zip, const Entry & entry, const std::string & target, const std::string & archive) {
	const auto failed = [&](const std::string & reason) {
		return std::runtime_error("cannot unpack entry '" + entry.m_name + "' of '" + archive + "': " + reason);
	};
	QuaZipFile in(&zip);
	if (!in.open(QIODevice::ReadOnly))
		throw failed("it cannot be read");
	const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
	if (fd < 0)
		throw failed(errno == EEXIST ? "it appears twice" : std::strerror(errno));
	std::uint64_t written = 0;
	std::vector<char> buffer(1 << 16);
	for (;;) {
		const qint64 n = in.read(buffer.data(), static_cast<qint64>(buffer.size()));
		if (n < 0) {
			close(fd);
			throw failed("its data are damaged");
		}
		if (n == 0)
			break;
		written += static_cast<std::uint64_t>(n);
		if (written > entry.m_size) {
			close(fd);
			throw failed("it holds more data than the archive says");
		}
		for (qint64 done = 0; done < n;) {
			const ssize_t w = ::write(fd, buffer.data() + done, static_cast<std::size_t>(n - done));
			if (w < 0) {
				const int error = errno;
				close(fd);
				throw failed(std::strerror(error));
			}
			done += w;
		}
	}
	in.close();
	if (close(fd) != 0)
		throw failed(std::strerror(errno));
	// the checksum is compared when the entry is closed
	if (in.getZipError() != UNZ_OK || written != entry.m_size)
		throw failed("its data are damaged");
}

} // namespace


void unpack(const std::string & archive, const std::string & dir) {
	QuaZip zip(QString::fromStdString(archive));
	if (!zip.open(QuaZip::mdUnzip))
		throw std::runtime_error("not an FMU: '" + archive + "' is not a zip archive or is empty");
	const std::vector<Entry> entries = checkedEntries(zip, archive);
	if (entries.empty())
		throw std::runtime_error("not an FMU: '" + archive + "' is not a zip archive or is empty");

	std::size_t i = 0;
	for (bool more = zip.goToFirstFile(); more && i < entries.size(); more = zip.goToNextFile(), ++i) {
		const Entry & entry = entries[i];
		if (entry.m_folder) {
			makeFolders(dir, entry.m_name.back() == '/' ? entry.m_name : entry.m_name + "/", archive);
			continue;
		}
		makeFolders(dir, entry.m_name, archive);
		unpackFile(zip, entry, dir + "/" + entry.m_name, archive);
	}
	if (i != entries.size())
		throw std::runtime_error("not an FMU: '" + archive + "' has a damaged zip directory");
}

} // namespace FMUArchive
