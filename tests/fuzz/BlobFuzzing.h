#ifndef BlobFuzzingH
#define BlobFuzzingH

// Checks that every reader of a binary blob must pass, whatever the bytes: a refused blob throws
// ZEB::Exception and leaves cursor and object as they were; an accepted one advances the cursor
// by exactly the blob's size, within the buffer, and writes back the very bytes it read. A broken
// promise aborts, which the fuzzer and the corpus replay report as a crash.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "ZEB_Exception.h"

namespace BlobFuzzing {

/*! The object's blob as written by serialize(); aborts when serialize() writes more or less than
	serializationSize(). */
template <typename T>
std::vector<std::uint8_t> blobOf(const T & object) {
	std::vector<std::uint8_t> blob(object.serializationSize());
	void * p = blob.data();
	object.serialize(p);
	if (static_cast<std::uint8_t *>(p) != blob.data() + blob.size())
		std::abort();
	return blob;
}

/*! Calls read(cursor, end) on a copy of input, the way a restore reads from a buffer it holds.
	Returns the bytes consumed, or 0 when read threw ZEB::Exception; then the cursor must be
	unmoved and, when unchanged is not null, its blob must still equal *unchanged. */
template <typename T, typename Read>
std::size_t readBlob(const std::vector<std::uint8_t> & input, T & object, Read read,
					 const std::vector<std::uint8_t> * unchanged = nullptr)
{
	// exactly the input's size, and never null (a null end would mean "unbounded")
	const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[input.size()]);
	if (!input.empty())
		std::memcpy(buffer.get(), input.data(), input.size());
	void * p = buffer.get();
	const void * end = buffer.get() + input.size();
	try {
		read(p, end);
	}
	catch (ZEB::Exception &) {
		if (p != buffer.get())
			std::abort();
		if (unchanged != nullptr && blobOf(object) != *unchanged)
			std::abort();
		return 0;
	}
	const std::uint8_t * q = static_cast<const std::uint8_t *>(p);
	if (q < buffer.get() || q > buffer.get() + input.size())
		std::abort();
	return static_cast<std::size_t>(q - buffer.get());
}

/*! Aborts unless the first consumed bytes of input are the object's blob. */
template <typename T>
void expectRoundTrip(const std::vector<std::uint8_t> & input, std::size_t consumed, const T & object) {
	const std::vector<std::uint8_t> blob = blobOf(object);
	if (blob.size() != consumed || std::memcmp(blob.data(), input.data(), consumed) != 0)
		std::abort();
}

} // namespace BlobFuzzing

#endif // BlobFuzzingH
