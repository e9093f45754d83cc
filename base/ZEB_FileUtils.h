#ifndef ZEB_FileUtilsH
#define ZEB_FileUtilsH

#include <fstream>
#include <string>
#include <vector>

#include "ZEB_Path.h"

namespace ZEB {

// Files are opened by the path's text exactly as it stands: no placeholder replacement, no search.

/*! The current user's home directory; the invalid path when the user has no entry. */
Path userDirectory();

/*! The number after the last underscore of the file name without extension, as in
	"climate_12.c6b" (digits up to the first non-digit); 0 when there is none. */
unsigned int extract_ID_from_filename(const Path & fname);

/*! The file name with its number after the last underscore set to id ("run_3.tsv" gives
	"run_7.tsv"), or "_id" added before the extension ("results.tsv" gives "results_7.tsv").
	The invalid path when the file name has no extension. */
Path replace_ID_in_filename(const Path & fname, unsigned int id);

/*! The file's first line without its line feed (a carriage return before it stays). Throws
	when the file cannot be read or is empty. */
std::string read_one_line(const Path & fname);

/*! A new stream on the file, opened with mode | out; the caller owns and deletes it. Failure
	to open shows only in the stream's state. */
std::ofstream * create_ofstream(const Path & fname, std::ios_base::openmode mode = std::ios_base::out);
/*! A new stream on the file, opened with mode | in; the caller owns and deletes it. Failure
	to open shows only in the stream's state. */
std::ifstream * open_ifstream(const Path & fname, std::ios_base::openmode mode = std::ios_base::in);

/*! The whole content of the file; empty when it cannot be opened. */
std::string file2String(const Path & fname);

/*! Up to size bytes from the start of the file; errmsg is cleared, or holds the reason of an
	empty result when the file cannot be opened or read. Never blocks on a pipe. */
std::vector<unsigned char> read_some_bytes(const Path & fname, unsigned int size, std::string & errmsg);

/*! Splits a number suffix off the extension: "weather.c6b?3" gives "weather.c6b" and 3, and
	true. Without '?' in the extension fnameWithoutNumber is fname, number stays and the result
	is false. Throws when the text after '?' is not a number of int range; the outputs stay then. */
bool extract_number_suffix(const Path & fname, Path & fnameWithoutNumber, int & number);

} // namespace ZEB

#endif // ZEB_FileUtilsH
