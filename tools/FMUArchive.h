#ifndef FMUArchiveH
#define FMUArchiveH

#include <cstdint>
#include <string>

// Unpacking an FMU archive that anybody may have made. The central directory is checked whole
// before the first byte is written: an archive with a link or special-file entry, an entry that
// would land outside the target directory (absolute, "..", '\\', control characters) or lies
// more than MAX_DEPTH levels deep, more entries than MAX_ENTRIES or more than MAX_BYTES declared
// in all is refused. Entries are then written as plain files and folders of the owner alone (the
// archive's permissions are not taken over), never through an existing entry, each checked
// against its size and checksum.
namespace FMUArchive {

/*! The most entries an archive may hold. */
const unsigned int		MAX_ENTRIES = 10000;
/*! The most names in an entry's path (the removal of the directory reaches deeper). */
const unsigned int		MAX_DEPTH = 32;
/*! The most bytes [B] its entries may unpack to, in all. */
const std::uint64_t		MAX_BYTES = std::uint64_t(1) << 30;

/*! Unpacks the zip archive into the existing, empty directory dir. Throws std::runtime_error
	naming the archive and the reason; what was unpacked before a failure stays in dir. */
void unpack(const std::string & archive, const std::string & dir);

} // namespace FMUArchive

#endif // FMUArchiveH
