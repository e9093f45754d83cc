#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <list>
#include <sstream>
#include <string>
#include <vector>

#include "ZEB_Exception.h"
#include "ZEB_InputOutput.h"
#include "ZEB_NotificationHandler.h"

namespace {

class ProgressRecorder : public ZEB::NotificationHandler {
public:
	void notify() override {}
	void notify(double value) override { m_values.push_back(value); }
	std::vector<double> m_values;
};

template <typename T>
std::vector<char> serialized(const std::vector<T> & vec) {
	std::vector<char> buffer(4 + vec.size() * sizeof(T));
	void * p = buffer.data();
	ZEB::serialize_vector(p, vec);
	EXPECT_EQ(static_cast<char *>(p) - buffer.data(), static_cast<std::ptrdiff_t>(buffer.size()));
	return buffer;
}

std::string binaryOf(void (*writer)(std::ostream &, const std::string &), const std::string & s) {
	std::stringstream strm;
	writer(strm, s);
	return strm.str();
}

std::vector<std::string> readLines(std::istream & in, const std::vector<std::string> & stops,
								   ProgressRecorder * progress = nullptr)
{
	std::vector<std::string> lines;
	ZEB::read_string_vector_binary(in, stops, lines, progress);
	return lines;
}

} // namespace


TEST(InputOutput, SerializesVectorsWithCountPrefix) {
	std::vector<char> buf = serialized(std::vector<double>{1.0, 2.0, 3.0});
	ASSERT_EQ(buf.size(), 28u);
	EXPECT_EQ(std::string(buf.data(), 4), std::string("\x03\x00\x00\x00", 4));
	double second;
	std::memcpy(&second, buf.data() + 12, 8);
	EXPECT_EQ(second, 2.0);

	EXPECT_EQ(serialized(std::vector<double>()), std::vector<char>(4, 0));
	EXPECT_EQ(serialized(std::vector<unsigned int>{7, 8}).size(), 12u);
	EXPECT_EQ(serialized(std::vector<long>{-1}).size(), 12u);

	// round trip of all three element types through one buffer, unaligned after the first
	std::vector<char> all(4 + 16 + 4 + 8 + 4 + 24);
	void * p = all.data();
	ZEB::serialize_vector(p, std::vector<double>{0.5, -2.25});
	ZEB::serialize_vector(p, std::vector<unsigned int>{1, 4000000000u});
	ZEB::serialize_vector(p, std::vector<long>{-5, 0, 1L << 40});
	ASSERT_EQ(static_cast<char *>(p), all.data() + all.size());

	std::vector<double> d(2);
	std::vector<unsigned int> u(2);
	std::vector<long> l;
	p = all.data();
	ZEB::deserialize_vector(p, d);
	ZEB::deserialize_vector(p, u);
	ZEB::recreate_vector(p, l);
	EXPECT_EQ(static_cast<char *>(p), all.data() + all.size());
	EXPECT_EQ(d, (std::vector<double>{0.5, -2.25}));
	EXPECT_EQ(u, (std::vector<unsigned int>{1, 4000000000u}));
	EXPECT_EQ(l, (std::vector<long>{-5, 0, 1L << 40}));
}

TEST(InputOutput, RefusesSizeMismatchWithoutMovingCursor) {
	std::vector<char> buf = serialized(std::vector<double>{1.0, 2.0, 3.0});
	std::vector<double> five(5, 9.0);
	void * p = buf.data();
	try {
		ZEB::deserialize_vector(p, five);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Invalid vector size 3, expected 5.");
		EXPECT_STREQ(ex.location(), "ZEB::deserializeVector(double)");
	}
	EXPECT_EQ(p, static_cast<void *>(buf.data()));
	EXPECT_EQ(five, std::vector<double>(5, 9.0));

	std::vector<char> ubuf = serialized(std::vector<unsigned int>{1, 2, 3, 4});
	std::vector<unsigned int> u(5);
	p = ubuf.data();
	try {
		ZEB::deserialize_vector(p, u);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.location(), "ZEB::deserializeVector(unsigned int)");
	}

	// recreate takes any size
	std::vector<double> big(5), empty{1.0};
	p = buf.data();
	ZEB::recreate_vector(p, big);
	EXPECT_EQ(big, (std::vector<double>{1.0, 2.0, 3.0}));
	std::vector<char> zero = serialized(std::vector<double>());
	p = zero.data();
	ZEB::recreate_vector(p, empty);
	EXPECT_TRUE(empty.empty());
}

TEST(InputOutput, NeverReadsPastAKnownBufferEnd) {
	std::vector<char> buf = serialized(std::vector<double>{1.0, 2.0, 3.0});
	const char * end = buf.data() + buf.size() - 1;			// one byte short
	std::vector<double> three(3), any{4.0};
	void * p = buf.data();
	EXPECT_THROW(ZEB::deserialize_vector(p, three, end), ZEB::Exception);
	EXPECT_THROW(ZEB::recreate_vector(p, any, end), ZEB::Exception);
	EXPECT_EQ(p, static_cast<void *>(buf.data()));
	EXPECT_EQ(any, std::vector<double>{4.0});

	// a corrupt count is refused before anything is allocated
	std::uint32_t huge = 0xFFFFFFF0u;
	std::memcpy(buf.data(), &huge, 4);
	EXPECT_THROW(ZEB::recreate_vector(p, any, buf.data() + buf.size()), ZEB::Exception);
	EXPECT_THROW(ZEB::recreate_vector(p, any, buf.data() + 2), ZEB::Exception);

	buf = serialized(std::vector<double>{1.0, 2.0, 3.0});
	p = buf.data();
	ZEB::deserialize_vector(p, three, buf.data() + buf.size());
	EXPECT_EQ(static_cast<char *>(p), buf.data() + buf.size());
}

TEST(InputOutput, ReadsAndWritesBinaryStrings) {
	EXPECT_EQ(binaryOf(ZEB::write_string_binary, ""), std::string(4, '\0'));
	EXPECT_EQ(binaryOf(ZEB::write_string_binary_with_termination_character, "abc"),
			  std::string("\x04\x00\x00\x00" "abc\x00", 8));

	std::stringstream strm;
	ZEB::write_string_binary(strm, "hello");
	ZEB::write_string_binary(strm, "");
	std::string s = "old";
	ZEB::read_string_binary(strm, s, 5);
	EXPECT_EQ(s, "hello");
	ZEB::read_string_binary(strm, s, 5);
	EXPECT_EQ(s, "");

	std::stringstream term(binaryOf(ZEB::write_string_binary_with_termination_character, "abc"));
	try {
		ZEB::read_string_binary_with_termination_character(term, s, 3);		// the limit counts the terminator
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "String length exceeds given maximum!");
		EXPECT_STREQ(ex.location(), "[read_string_binary_with_termination_character]");
	}
	term.seekg(0);
	ZEB::read_string_binary_with_termination_character(term, s, 4);
	EXPECT_EQ(s, "abc");

	std::stringstream zero(std::string(4, '\0'));
	EXPECT_THROW(ZEB::read_string_binary_with_termination_character(zero, s, 10), ZEB::Exception);
	std::stringstream unterminated(std::string("\x02\x00\x00\x00" "ab", 6));
	try {
		ZEB::read_string_binary_with_termination_character(unterminated, s, 10);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Invalid string format, missing termination character!");
	}

	std::stringstream tooLong(binaryOf(ZEB::write_string_binary, "abcdef"));
	s = "kept";
	EXPECT_THROW(ZEB::read_string_binary(tooLong, s, 5), ZEB::Exception);
	EXPECT_EQ(s, "kept");
}

TEST(InputOutput, RefusesTruncatedStreams) {
	std::string s = "kept";
	auto expectReadError = [](auto && read, const char * location) {
		try {
			read();
			FAIL() << "expected an exception at " << location;
		}
		catch (ZEB::Exception & ex) {
			EXPECT_STREQ(ex.what(), "Error reading from input stream!");
			EXPECT_STREQ(ex.location(), location);
		}
	};
	std::stringstream empty;
	expectReadError([&] { ZEB::read_string_binary(empty, s, 100); }, "[read_string_binary]");
	std::stringstream cut(binaryOf(ZEB::write_string_binary, "abcdef").substr(0, 7));
	expectReadError([&] { ZEB::read_string_binary(cut, s, 100); }, "[read_string_binary]");
	std::stringstream cutTerm(binaryOf(ZEB::write_string_binary_with_termination_character, "abc").substr(0, 6));
	expectReadError([&] { ZEB::read_string_binary_with_termination_character(cutTerm, s, 100); },
					"[read_string_binary_with_termination_character]");
	EXPECT_EQ(s, "kept");

	std::vector<double> vec{1.0};
	std::stringstream noCount;
	expectReadError([&] { ZEB::read_vector_binary(noCount, vec, 10); }, "[read_vector_binary]");
	std::vector<char> blob = serialized(std::vector<double>{1.0, 2.0});
	std::stringstream cutVector(std::string(blob.data(), blob.size() - 3));
	expectReadError([&] { ZEB::read_vector_binary(cutVector, vec, 10); }, "[read_vector_binary]");
	std::stringstream tooMany(std::string(blob.data(), blob.size()));
	try {
		ZEB::read_vector_binary(tooMany, vec, 1);
		FAIL() << "expected an exception";
	}
	catch (ZEB::Exception & ex) {
		EXPECT_STREQ(ex.what(), "Vector length exceeds given maximum!");
	}
	EXPECT_EQ(vec, std::vector<double>{1.0});

	std::stringstream whole(std::string(blob.data(), blob.size()));
	ZEB::read_vector_binary(whole, vec, 2);
	EXPECT_EQ(vec, (std::vector<double>{1.0, 2.0}));
}

TEST(InputOutput, ReadsLinesUpToStopPrefix) {
	std::stringstream strm(std::string("a\r\nb\nc"));
	EXPECT_EQ(readLines(strm, {}), (std::vector<std::string>{"a", "b"}));

	strm.clear();
	strm.seekg(0);
	EXPECT_EQ(readLines(strm, {"x", "b"}), (std::vector<std::string>{"a", "b"}));
	EXPECT_EQ(strm.tellg(), std::streampos(5));

	// an empty prefix stops after the first line; lines are cut at a zero byte
	std::stringstream zero(std::string("ab\0cd\nnext\n", 11));
	EXPECT_EQ(readLines(zero, {""}), std::vector<std::string>{"ab"});
	EXPECT_EQ(zero.tellg(), std::streampos(6));

	// reading starts where the stream stands, and the stop position counts from there
	std::stringstream header(std::string("skip\nHEAD 1\nDATA\n\x01\x02\x03"));
	header.seekg(5);
	std::list<std::string> lines{"before"};
	ZEB::read_string_list_binary(header, {"DATA"}, lines, nullptr);
	EXPECT_EQ(lines, (std::list<std::string>{"before", "HEAD 1", "DATA"}));
	EXPECT_EQ(header.tellg(), std::streampos(17));
	EXPECT_EQ(header.get(), 1);

	ProgressRecorder progress;
	std::stringstream empty;
	EXPECT_TRUE(readLines(empty, {}, &progress).empty());
	EXPECT_TRUE(progress.m_values.empty());
	std::stringstream consumed("a\n");
	while (consumed.get() != EOF) {}
	EXPECT_TRUE(readLines(consumed, {}, &progress).empty());
	std::stringstream broken("a\n");
	broken.setstate(std::ios_base::badbit);
	EXPECT_THROW(readLines(broken, {}), ZEB::Exception);
}

TEST(InputOutput, ReadsLongLinesWholeAcrossChunks) {
	const std::size_t chunk = 262144;
	std::string longLine(600 * 1024, 'x');
	longLine[0] = 'A';
	longLine.back() = 'Z';
	std::string text = "first\n" + longLine + "\r\n" + std::string(chunk - 3, 'y') + "\nlast\n";
	std::stringstream strm(text);
	ProgressRecorder progress;
	std::vector<std::string> lines = readLines(strm, {"last"}, &progress);
	ASSERT_EQ(lines.size(), 4u);
	EXPECT_EQ(lines[0], "first");
	EXPECT_EQ(lines[1], longLine);
	EXPECT_EQ(lines[2], std::string(chunk - 3, 'y'));
	EXPECT_EQ(lines[3], "last");

	const std::size_t chunks = (text.size() + chunk - 1) / chunk;
	ASSERT_EQ(progress.m_values.size(), chunks - 1);		// the stop line is in the last chunk
	EXPECT_DOUBLE_EQ(progress.m_values[0], 1.0 / chunks);

	std::stringstream all(text);
	progress.m_values.clear();
	readLines(all, {}, &progress);
	ASSERT_EQ(progress.m_values.size(), chunks);
	EXPECT_DOUBLE_EQ(progress.m_values.back(), 1.0);
}
