#ifndef ZEB_InputOutputH
#define ZEB_InputOutputH

#include <iosfwd>
#include <list>
#include <string>
#include <vector>

namespace ZEB {

class NotificationHandler;

// Byte-buffer serialisation of vectors (FMU states): an unsigned 32-bit count, then the
// elements in host representation, no padding. The cursor dataPtr points into a buffer the
// caller owns and has sized; each call leaves it just past what it wrote or read. Elements are
// copied bytewise since they are not aligned. Where the caller knows the end of the buffer it
// passes dataEnd: a count whose data would reach past it is refused, with the cursor unmoved.

/*! Writes vec at the cursor: 4 + n * sizeof(T) bytes. */
void serialize_vector(void *& dataPtr, const std::vector<double> & vec);
void serialize_vector(void *& dataPtr, const std::vector<unsigned int> & vec);
void serialize_vector(void *& dataPtr, const std::vector<long> & vec);

/*! Reads a serialised vector into vec, which must already have the stored size (its storage is
	overwritten in place). Throws on a size mismatch; then vec and the cursor are unchanged. */
void deserialize_vector(void *& dataPtr, std::vector<double> & vec, const void * dataEnd = nullptr);
void deserialize_vector(void *& dataPtr, std::vector<unsigned int> & vec, const void * dataEnd = nullptr);
void deserialize_vector(void *& dataPtr, std::vector<long> & vec, const void * dataEnd = nullptr);

/*! Reads a serialised vector into vec, resized to the stored count. */
void recreate_vector(void *& dataPtr, std::vector<double> & vec, const void * dataEnd = nullptr);
void recreate_vector(void *& dataPtr, std::vector<unsigned int> & vec, const void * dataEnd = nullptr);
void recreate_vector(void *& dataPtr, std::vector<long> & vec, const void * dataEnd = nullptr);


// Binary strings and vectors on streams: an unsigned 32-bit count, then the data. Readers throw
// when the count exceeds maxLength or the stream fails; the target is unchanged then, except that
// a string without its termination character has been read into str.

void write_string_binary(std::ostream & out, const std::string & str);
void read_string_binary(std::istream & in, std::string & str, unsigned int maxLength);
/*! Count = size + 1, then the bytes and a terminating zero byte. */
void write_string_binary_with_termination_character(std::ostream & out, const std::string & str);
/*! maxLength counts the terminator. */
void read_string_binary_with_termination_character(std::istream & in, std::string & str, unsigned int maxLength);

template <typename T>
void read_vector_binary(std::istream & in, std::vector<T> & vec, unsigned int maxLength);

template <>
void read_vector_binary<double>(std::istream & in, std::vector<double> & vec, unsigned int maxLength);


/*! Appends the lines of the stream, from its position to its end, to lines (not cleared).

	Lines end at a line feed; a carriage return before it is dropped and the line is cut at its
	first zero byte. Text after the last line feed is not delivered. A line that begins with one
	of stopPrefixes is delivered and ends the reading, leaving the stream just after that line
	(binary data after a text header). The stream is read in large chunks; notify, when not null,
	gets the fraction read after each chunk.
*/
void read_string_list_binary(std::istream & in, const std::vector<std::string> & stopPrefixes,
							 std::list<std::string> & lines, NotificationHandler * notify);
void read_string_vector_binary(std::istream & in, const std::vector<std::string> & stopPrefixes,
							   std::vector<std::string> & lines, NotificationHandler * notify);


// Text forms of double arrays. Values use the stream's own precision and floating-point flags;
// the writers set only the field width (before every value) and the adjustment flags, which
// they leave as last set. A line end is '\n' and a flush. A null name sets the stream's bad state.

/*! Each value right-aligned in width characters, no separator, then a line end. */
void write_vector(std::ostream & out, unsigned int n, const double * vec, unsigned int width);
/*! name left-aligned and a TAB, then each value followed by a TAB; no line end. */
std::ostream & write_vector(std::ostream & out, const std::string & name, const std::vector<double> & vec);
/*! name left-aligned and a TAB, then each value right-aligned in width characters, then a line end. */
void write_vector(std::ostream & out, const char * name, unsigned int n, const double * vec, unsigned int width);
/*! name and ":" on a line, then one line "[ value ]" per value, right-aligned in width characters. */
void dump_vector(std::ostream & out, const char * name, unsigned int n, const double * vec, unsigned int width);

/*! Parses white-space separated numbers ('.' as decimal point) into vec (cleared first; the
	numbers before a failure stay). False, with the reason in errmsg when not null, for text
	that is not a number and for fewer than two numbers. */
bool read_vector(const std::string & data, std::vector<double> & vec, std::string * errmsg);

} // namespace ZEB

#endif // ZEB_InputOutputH
