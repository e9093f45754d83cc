#include "ZEB_FileUtils.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <iterator>
#include <locale>
#include <sstream>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include "ZEB_Conversions.h"
#include "ZEB_Exception.h"

namespace ZEB {

namespace {

// Start of the file name within a path text (after the last '/').
std::string::size_type fileNameStart(const std::string & text) {
	const std::string::size_type slash = text.rfind('/');
	return slash == std::string::npos ? 0 : slash + 1;
}

} // namespace


Path userDirectory() {
	long bufSize = ::sysconf(_SC_GETPW_R_SIZE_MAX);
	std::vector<char> buffer(bufSize > 0 ? static_cast<std::size_t>(bufSize) : 1024);
	struct passwd entry;
	struct passwd * result = nullptr;
	for (;;) {
		const int err = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result);
		if (err == ERANGE && buffer.size() < (1u << 20)) {
			buffer.resize(buffer.size() * 2);
			continue;
		}
		if (err != 0 || result == nullptr || result->pw_dir == nullptr)
			return Path();
		return Path(std::string(result->pw_dir));
	}
}


unsigned int extract_ID_from_filename(const Path & fname) {
	const std::string text = fname.withoutExtension().str();
	// an underscore in a directory name is no part of the file's id
	const std::string::size_type pos = text.rfind('_');
	if (pos == std::string::npos || pos < fileNameStart(text))
		return 0;
	std::string::size_type first = text.find_first_not_of(" \t\r\n\f\v", pos + 1);
	// a sign would make the stream wrap "-5" into a huge unsigned number
	if (first == std::string::npos || !std::isdigit(static_cast<unsigned char>(text[first])))
		return 0;
	std::istringstream strm(text.substr(first));
	strm.imbue(std::locale::classic());
	unsigned int id = 0;
	if (!(strm >> id))
		return 0;
	return id;
}


Path replace_ID_in_filename(const Path & fname, unsigned int id) {
	const std::string & text = fname.str();
	const std::string::size_type nameStart = fileNameStart(text);
	const std::string::size_type dot = text.rfind('.');
	if (dot == std::string::npos || dot < nameStart)
		return Path();
	const std::string extension = text.substr(dot + 1);
	std::string::size_type underscore = dot == 0 ? std::string::npos : text.rfind('_', dot - 1);
	if (underscore == std::string::npos || underscore < nameStart)
		underscore = dot;	// no number yet: "_id" goes before the extension
	return Path(text.substr(0, underscore) + "_" + std::to_string(id) + "." + extension);
}


std::string read_one_line(const Path & fname) {
	std::ifstream in(fname.str());
	std::string line;
	if (!std::getline(in, line))
		throw Exception("Error reading file '" + fname.str() + "'", "[ZEB::readFirstLine]");
	return line;
}


std::ofstream * create_ofstream(const Path & fname, std::ios_base::openmode mode) {
	return new std::ofstream(fname.str(), mode | std::ios_base::out);
}


std::ifstream * open_ifstream(const Path & fname, std::ios_base::openmode mode) {
	return new std::ifstream(fname.str(), mode | std::ios_base::in);
}


std::string file2String(const Path & fname) {
	std::ifstream in(fname.str(), std::ios_base::binary);
	if (!in)
		return std::string();
	return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}


std::vector<unsigned char> read_some_bytes(const Path & fname, unsigned int size, std::string & errmsg) {
	errmsg.clear();
	// non-blocking: a pipe delivers what it holds now instead of waiting for a writer
	const int fd = ::open(fname.str().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0) {
		errmsg = "Cannot open file";
		return std::vector<unsigned char>();
	}
	std::vector<unsigned char> bytes(size);
	std::size_t count = 0;
	while (count < bytes.size()) {
		const ssize_t n = ::read(fd, bytes.data() + count, bytes.size() - count);
		if (n > 0) {
			count += static_cast<std::size_t>(n);
			continue;
		}
		if (n < 0 && errno == EINTR)
			continue;
		if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
			errmsg = "Cannot read file";	// a directory, for instance
		break;
	}
	::close(fd);
	bytes.resize(count);
	return bytes;
}


bool extract_number_suffix(const Path & fname, Path & fnameWithoutNumber, int & number) {
	const std::string extension = fname.extension();
	const std::string::size_type pos = extension.find('?');
	if (pos == std::string::npos) {
		fnameWithoutNumber = fname;
		return false;
	}
	const std::string numberText = extension.substr(pos + 1);
	const unsigned int value = string2val<unsigned int>(numberText);
	if (value > static_cast<unsigned int>(INT_MAX))
		throw Exception(FormatString("Number suffix '%1' is out of range.").arg(numberText),
						"[ZEB::extract_number_suffix]");
	number = static_cast<int>(value);
	fnameWithoutNumber = Path(fname.withoutExtension().str() + "." + extension.substr(0, pos));
	return true;
}

} // namespace ZEB
