#ifndef FuzzFilesH
#define FuzzFilesH

// Temporary files for the fuzz targets of file readers, which take paths: one directory per
// process (libFuzzer's jobs are processes), removed when the process ends normally.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <unistd.h>

namespace FuzzFiles {

/*! A directory made on construction and removed with its files on destruction. */
class TempDirectory {
public:
	TempDirectory() : m_path((std::filesystem::temp_directory_path() / "calovinda-fuzz-XXXXXX").string()) {
		if (mkdtemp(&m_path[0]) == nullptr)
			throw std::runtime_error("cannot create temporary directory " + m_path);
	}
	~TempDirectory() {
		std::error_code ec;
		std::filesystem::remove_all(m_path, ec);
	}
	TempDirectory(const TempDirectory &) = delete;
	TempDirectory & operator=(const TempDirectory &) = delete;
	const std::string & path() const { return m_path; }

private:
	std::string m_path;
};

/*! The process's own temporary directory, made on first use. */
inline const std::string & directory() {
	static const TempDirectory dir;
	return dir.path();
}

/*! Writes size bytes into the file name of the process's directory, replacing it; returns its path. */
inline std::string write(const std::string & name, const std::uint8_t * data, std::size_t size) {
	const std::string path = directory() + "/" + name;
	std::ofstream out(path, std::ios::binary | std::ios::trunc);
	if (size != 0)
		out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
	out.close();
	if (!out)
		throw std::runtime_error("cannot write " + path);
	return path;
}

} // namespace FuzzFiles

#endif // FuzzFilesH
