#ifndef ZEBMK_BinaryBlobH
#define ZEBMK_BinaryBlobH

#include <cstddef>
#include <cstring>

#include "ZEB_Exception.h"

namespace ZEBMK {

// Scalar fields of the matrix blobs: native byte order, no padding, copied bytewise because the
// cursor is not aligned. Readers take the end of the buffer when the caller knows it (dataEnd,
// may be null) and refuse to read past it, leaving the cursor unmoved.

/*! Throws at location when fewer than bytes bytes lie between p and dataEnd (dataEnd not null). */
inline void check_blob_room(const void * p, std::size_t bytes, const void * dataEnd, const char * location) {
	if (dataEnd == nullptr)
		return;
	const char * begin = static_cast<const char *>(p);
	const char * end = static_cast<const char *>(dataEnd);
	if (begin > end || static_cast<std::size_t>(end - begin) < bytes)
		throw ZEB::Exception("Binary matrix data reaches past the end of the buffer.", location);
}

/*! Writes value at the cursor and advances it. */
template <typename T>
void write_blob_value(void *& dataPtr, T value) {
	std::memcpy(dataPtr, &value, sizeof(T));
	dataPtr = static_cast<char *>(dataPtr) + sizeof(T);
}

/*! Reads a value at the cursor and advances it. */
template <typename T>
T read_blob_value(void *& dataPtr, const void * dataEnd, const char * location) {
	check_blob_room(dataPtr, sizeof(T), dataEnd, location);
	T value;
	std::memcpy(&value, dataPtr, sizeof(T));
	dataPtr = static_cast<char *>(dataPtr) + sizeof(T);
	return value;
}

} // namespace ZEBMK

#endif // ZEBMK_BinaryBlobH
