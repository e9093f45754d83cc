#include "ZEB_InputOutput.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <istream>
#include <locale>
#include <ostream>
#include <sstream>

#include "ZEB_Exception.h"
#include "ZEB_NotificationHandler.h"

namespace ZEB {

namespace {

const std::size_t COUNT_SIZE = sizeof(std::uint32_t);

// The buffer between p and dataEnd (when known) must hold bytes more bytes.
void checkRoom(const char * p, std::size_t bytes, const void * dataEnd, std::uint32_t count, const char * location) {
	if (dataEnd == nullptr)
		return;
	const char * end = static_cast<const char *>(dataEnd);
	if (p > end || static_cast<std::size_t>(end - p) < bytes)
		throw Exception(FormatString("Vector of size %1 reaches past the end of the buffer.").arg(count), location);
}

std::uint32_t readCount(const void * dataPtr, const void * dataEnd, const char * location) {
	if (dataEnd != nullptr && (dataPtr >= dataEnd ||
		static_cast<std::size_t>(static_cast<const char *>(dataEnd) - static_cast<const char *>(dataPtr)) < COUNT_SIZE))
	{
		throw Exception("Vector size reaches past the end of the buffer.", location);
	}
	std::uint32_t count;
	std::memcpy(&count, dataPtr, COUNT_SIZE);
	return count;
}

template <typename T>
void serializeVector(void *& dataPtr, const std::vector<T> & vec) {
	const std::uint32_t count = static_cast<std::uint32_t>(vec.size());
	char * p = static_cast<char *>(dataPtr);
	std::memcpy(p, &count, COUNT_SIZE);
	p += COUNT_SIZE;
	if (!vec.empty()) {
		std::memcpy(p, vec.data(), vec.size() * sizeof(T));
		p += vec.size() * sizeof(T);
	}
	dataPtr = p;
}

template <typename T>
void deserializeVector(void *& dataPtr, std::vector<T> & vec, const void * dataEnd, const char * location) {
	const std::uint32_t count = readCount(dataPtr, dataEnd, location);
	if (count != vec.size())
		throw Exception(FormatString("Invalid vector size %1, expected %2.").arg(count)
						.arg(static_cast<unsigned long>(vec.size())), location);
	const char * p = static_cast<const char *>(dataPtr) + COUNT_SIZE;
	checkRoom(p, count * sizeof(T), dataEnd, count, location);
	if (count != 0)
		std::memcpy(vec.data(), p, count * sizeof(T));
	dataPtr = const_cast<char *>(p + count * sizeof(T));
}

template <typename T>
void recreateVector(void *& dataPtr, std::vector<T> & vec, const void * dataEnd, const char * location) {
	const std::uint32_t count = readCount(dataPtr, dataEnd, location);
	const char * p = static_cast<const char *>(dataPtr) + COUNT_SIZE;
	// checked before resizing: a corrupt count must not allocate or read beyond the buffer
	checkRoom(p, static_cast<std::size_t>(count) * sizeof(T), dataEnd, count, location);
	vec.resize(count);
	if (count != 0)
		std::memcpy(vec.data(), p, count * sizeof(T));
	dataPtr = const_cast<char *>(p + static_cast<std::size_t>(count) * sizeof(T));
}

// A count that cannot be read fails the stream, which the callers test.
std::uint32_t readStreamCount(std::istream & in) {
	std::uint32_t count = 0;
	in.read(reinterpret_cast<char *>(&count), COUNT_SIZE);
	return count;
}

void writeStreamCount(std::ostream & out, std::uint32_t count) {
	out.write(reinterpret_cast<const char *>(&count), COUNT_SIZE);
}

void throwReadError(const char * location) {
	throw Exception("Error reading from input stream!", location);
}

} // namespace


void serialize_vector(void *& dataPtr, const std::vector<double> & vec) {
	serializeVector(dataPtr, vec);
}

void serialize_vector(void *& dataPtr, const std::vector<unsigned int> & vec) {
	serializeVector(dataPtr, vec);
}

void serialize_vector(void *& dataPtr, const std::vector<long> & vec) {
	serializeVector(dataPtr, vec);
}


void deserialize_vector(void *& dataPtr, std::vector<double> & vec, const void * dataEnd) {
	deserializeVector(dataPtr, vec, dataEnd, "ZEB::deserializeVector(double)");
}

void deserialize_vector(void *& dataPtr, std::vector<unsigned int> & vec, const void * dataEnd) {
	deserializeVector(dataPtr, vec, dataEnd, "ZEB::deserializeVector(unsigned int)");
}

void deserialize_vector(void *& dataPtr, std::vector<long> & vec, const void * dataEnd) {
	deserializeVector(dataPtr, vec, dataEnd, "ZEB::deserializeVector(long)");
}


void recreate_vector(void *& dataPtr, std::vector<double> & vec, const void * dataEnd) {
	recreateVector(dataPtr, vec, dataEnd, "ZEB::recreateVector(double)");
}

void recreate_vector(void *& dataPtr, std::vector<unsigned int> & vec, const void * dataEnd) {
	recreateVector(dataPtr, vec, dataEnd, "ZEB::recreateVector(unsigned int)");
}

void recreate_vector(void *& dataPtr, std::vector<long> & vec, const void * dataEnd) {
	recreateVector(dataPtr, vec, dataEnd, "ZEB::recreateVector(long)");
}


void write_string_binary(std::ostream & out, const std::string & str) {
	writeStreamCount(out, static_cast<std::uint32_t>(str.size()));
	if (!str.empty())
		out.write(str.data(), static_cast<std::streamsize>(str.size()));
}


void read_string_binary(std::istream & in, std::string & str, unsigned int maxLength) {
	const char * const location = "[read_string_binary]";
	const std::uint32_t count = readStreamCount(in);
	if (!in)
		throwReadError(location);
	if (count > maxLength)
		throw Exception("String length exceeds given maximum!", location);
	std::string text(count, '\0');
	if (count != 0) {
		in.read(&text[0], count);
		if (!in)
			throwReadError(location);
	}
	str.swap(text);
}


void write_string_binary_with_termination_character(std::ostream & out, const std::string & str) {
	writeStreamCount(out, static_cast<std::uint32_t>(str.size() + 1));
	out.write(str.c_str(), static_cast<std::streamsize>(str.size() + 1));
}


void read_string_binary_with_termination_character(std::istream & in, std::string & str, unsigned int maxLength) {
	const char * const location = "[read_string_binary_with_termination_character]";
	const std::uint32_t count = readStreamCount(in);
	if (!in)
		throwReadError(location);
	if (count > maxLength)
		throw Exception("String length exceeds given maximum!", location);
	if (count == 0)
		throw Exception("Invalid string length, must be > 0!", location);
	std::string text(count - 1, '\0');
	if (count > 1)
		in.read(&text[0], count - 1);
	char terminator = 1;
	in.read(&terminator, 1);
	if (!in)
		throwReadError(location);
	str.swap(text);
	if (terminator != 0)
		throw Exception("Invalid string format, missing termination character!", location);
}


template <>
void read_vector_binary<double>(std::istream & in, std::vector<double> & vec, unsigned int maxLength) {
	const char * const location = "[read_vector_binary]";
	const std::uint32_t count = readStreamCount(in);
	if (!in)
		throwReadError(location);
	if (count > maxLength)
		throw Exception("Vector length exceeds given maximum!", location);
	std::vector<double> values(count);
	if (count != 0) {
		in.read(reinterpret_cast<char *>(values.data()), static_cast<std::streamsize>(count * sizeof(double)));
		if (!in)
			throwReadError(location);
	}
	vec.swap(values);
}


namespace {

const std::size_t LINE_CHUNK_SIZE = 262144;

template <typename Container>
void readLines(std::istream & in, const std::vector<std::string> & stopPrefixes, Container & lines,
			   NotificationHandler * notify, const char * location)
{
	// a stream at its end delivers nothing; one that failed elsewhere cannot be read
	if (in.eof() && !in.bad())
		return;
	if (in.bad() || in.fail())
		throw Exception("Couldn't read string something is wrong.", location);
	const std::streamoff start = in.tellg();
	in.seekg(0, std::ios_base::end);
	const std::streamoff end = in.tellg();
	in.seekg(start);
	if (start < 0 || end < 0 || !in)
		throw Exception("Couldn't read string something is wrong.", location);
	if (end <= start)
		return;
	std::streamoff remaining = end - start;
	const std::streamoff chunkCount = (remaining + LINE_CHUNK_SIZE - 1) / LINE_CHUNK_SIZE;
	std::vector<char> buffer(static_cast<std::size_t>(std::min<std::streamoff>(remaining, LINE_CHUNK_SIZE)));
	std::string line;
	bool carry = false;			// line holds the unfinished end of the chunks before
	std::streamoff consumedBefore = 0;
	for (std::streamoff k = 0; remaining > 0; ++k) {
		const std::size_t size = static_cast<std::size_t>(std::min<std::streamoff>(remaining, LINE_CHUNK_SIZE));
		in.read(buffer.data(), static_cast<std::streamsize>(size));
		if (in.fail() || in.bad())
			throw Exception("Couldn't read string something is wrong.", location);
		const char * const data = buffer.data();
		std::size_t s = 0;
		while (const char * lf = static_cast<const char *>(std::memchr(data + s, '\n', size - s))) {
			const std::size_t i = static_cast<std::size_t>(lf - data);
			if (carry)
				line.append(data + s, i - s);
			else
				line.assign(data + s, i - s);
			carry = false;
			if (!line.empty() && line.back() == '\r')
				line.pop_back();
			const std::string::size_type zero = line.find('\0');
			if (zero != std::string::npos)
				line.erase(zero);
			s = i + 1;
			for (const std::string & prefix : stopPrefixes) {
				if (line.compare(0, prefix.size(), prefix) == 0) {
					lines.push_back(line);
					in.seekg(start + consumedBefore + static_cast<std::streamoff>(s));
					return;
				}
			}
			lines.push_back(line);
		}
		// lines longer than a chunk grow across as many chunks as they need
		if (carry)
			line.append(data + s, size - s);
		else
			line.assign(data + s, size - s);
		carry = true;
		if (notify != nullptr)
			notify->notify(static_cast<double>(k + 1) / static_cast<double>(chunkCount));
		remaining -= static_cast<std::streamoff>(size);
		consumedBefore += static_cast<std::streamoff>(size);
	}
}

} // namespace


void read_string_list_binary(std::istream & in, const std::vector<std::string> & stopPrefixes,
							 std::list<std::string> & lines, NotificationHandler * notify)
{
	readLines(in, stopPrefixes, lines, notify, "[read_string_list_binary]");
}


void read_string_vector_binary(std::istream & in, const std::vector<std::string> & stopPrefixes,
							   std::vector<std::string> & lines, NotificationHandler * notify)
{
	readLines(in, stopPrefixes, lines, notify, "[read_string_vector_binary]");
}


// text vector input and output

namespace {

void lineEnd(std::ostream & out) {
	out << '\n';
	out.flush();
}

// The stream's rule for a null character pointer, without handing it the null pointer.
bool writeName(std::ostream & out, const char * name) {
	if (name == nullptr) {
		out.setstate(std::ios_base::badbit);
		return false;
	}
	out << name;
	return true;
}

void writeRightAligned(std::ostream & out, unsigned int n, const double * vec, unsigned int width) {
	out.setf(std::ios_base::right, std::ios_base::adjustfield);
	for (unsigned int i = 0; i < n; ++i) {
		out.width(width);
		out << vec[i];
	}
}

} // namespace


void write_vector(std::ostream & out, unsigned int n, const double * vec, unsigned int width) {
	writeRightAligned(out, n, vec, width);
	lineEnd(out);
}


std::ostream & write_vector(std::ostream & out, const std::string & name, const std::vector<double> & vec) {
	out.setf(std::ios_base::left, std::ios_base::adjustfield);
	out << name << '\t';
	for (double v : vec)
		out << v << '\t';
	return out;
}


void write_vector(std::ostream & out, const char * name, unsigned int n, const double * vec, unsigned int width) {
	out.setf(std::ios_base::left, std::ios_base::adjustfield);
	if (!writeName(out, name))
		return;
	out << '\t';
	writeRightAligned(out, n, vec, width);
	lineEnd(out);
}


void dump_vector(std::ostream & out, const char * name, unsigned int n, const double * vec, unsigned int width) {
	if (!writeName(out, name))
		return;
	out << ":";
	lineEnd(out);
	out.setf(std::ios_base::right, std::ios_base::adjustfield);
	for (unsigned int i = 0; i < n; ++i) {
		out << "[ ";
		out.width(width);
		out << vec[i] << " ]";
		lineEnd(out);
	}
}


bool read_vector(const std::string & data, std::vector<double> & vec, std::string * errmsg) {
	vec.clear();
	std::istringstream in(data);
	in.imbue(std::locale::classic());
	for (;;) {
		in >> std::ws;
		if (in.eof())
			break;
		double value;
		// a failed number, even one cut off by the end of the text ("3e"), is invalid data
		if (!(in >> value)) {
			if (errmsg != nullptr)
				*errmsg = FormatString("Couldn't read a vector from string '%1': string contains invalid data.").arg(data).str();
			return false;
		}
		vec.push_back(value);
	}
	if (vec.size() < 2) {
		if (errmsg != nullptr)
			*errmsg = FormatString("Couldn't read a vector from string '%1'.").arg(data).str();
		return false;
	}
	return true;
}

} // namespace ZEB
