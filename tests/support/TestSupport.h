#ifndef TestSupportH
#define TestSupportH

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ZEB_Exception.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"

// Helpers the tests of all folders share.
namespace TestSupport {

/*! True in the build with the sanitizers, which runs the model some ten times slower than the
	release build: a test that runs a year there runs a shorter span, so that it keeps within a
	quarter of its timeout on a busy machine of two cores. */
#if defined(__SANITIZE_ADDRESS__)
constexpr bool SANITIZED = true;
#else
constexpr bool SANITIZED = false;
#endif

/*! The hours that a test of a year's run covers: the year, four weeks under the sanitizers. */
constexpr unsigned int YEAR_RUN_HOURS = SANITIZED ? 28*24 : 8760;

/*! A fresh directory below the test temp dir, named prefix plus six random characters; removed
	with its content on destruction. Throws when it cannot be made, which fails the test. */
class TempDirectory {
public:
	explicit TempDirectory(const std::string & prefix = "test") {
		std::string pattern = ::testing::TempDir() + prefix + "XXXXXX";
		if (mkdtemp(&pattern[0]) == nullptr)
			throw std::runtime_error("cannot create temporary directory " + pattern);
		m_path = std::filesystem::canonical(pattern).string();
	}
	~TempDirectory() {
		std::error_code ec;
		std::filesystem::remove_all(m_path, ec);
	}
	TempDirectory(const TempDirectory &) = delete;
	TempDirectory & operator=(const TempDirectory &) = delete;

	/*! Absolute path without links and without trailing slash. */
	const std::string & path() const { return m_path; }
	/*! Path of name (which may hold subdirectories) inside the directory. */
	std::string file(const std::string & name) const { return m_path + "/" + name; }

private:
	std::string m_path;
};


/*! Records every message instead of writing it. Current handler from construction on; the base
	class destructor makes the default current again. A null location is recorded as "<null>". */
class MessageRecorder : public ZEB::MessageHandler {
public:
	struct Message {
		std::string		m_text;
		ZEB::msg_type_t	m_type;
		std::string		m_location;
		int				m_level;
	};

	MessageRecorder() { ZEB::MessageHandlerRegistry::instance().setMessageHandler(this); }
	void msg(const std::string & text, ZEB::msg_type_t type, const char * location, int verboseLevel) override {
		m_messages.push_back(Message{text, type, location != nullptr ? location : "<null>", verboseLevel});
	}

	/*! The texts of the messages from location, in order. */
	std::vector<std::string> texts(const std::string & location) const {
		std::vector<std::string> result;
		for (const Message & m : m_messages)
			if (m.m_location == location)
				result.push_back(m.m_text);
		return result;
	}

	std::vector<Message> m_messages;
};


/*! The ZEB::Exception that f throws, none when f returns; other exceptions pass. */
template <typename F>
std::optional<ZEB::Exception> thrownException(F f) {
	try {
		f();
	}
	catch (const ZEB::Exception & ex) {
		return ex;
	}
	return std::nullopt;
}

/*! "message @ location" of the ZEB::Exception that f throws, "nothing thrown" when f returns. */
template <typename F>
std::string thrown(F f) {
	const std::optional<ZEB::Exception> ex = thrownException(f);
	return ex ? std::string(ex->what()) + " @ " + ex->location() : "nothing thrown";
}

/*! "location message" of the ZEB::Exception that f throws, "no exception" when f returns. */
template <typename F>
std::string failure(F f) {
	const std::optional<ZEB::Exception> ex = thrownException(f);
	return ex ? std::string(ex->location()) + " " + ex->what() : "no exception";
}

/*! The message of the ZEB::Exception that f throws, "no exception" when f returns; adds a failure
	when the exception comes from another location. */
template <typename F>
std::string thrownAt(F f, const char * location) {
	const std::optional<ZEB::Exception> ex = thrownException(f);
	if (!ex)
		return "no exception";
	EXPECT_STREQ(ex->location(), location);
	return ex->what();
}

/*! Success when f throws a ZEB::Exception with exactly this message and location. */
template <typename F>
::testing::AssertionResult throwsWith(F f, const std::string & what, const std::string & where) {
	try { f(); }
	catch (const ZEB::Exception & ex) {
		if (what == ex.what() && where == ex.location())
			return ::testing::AssertionSuccess();
		return ::testing::AssertionFailure() << "threw '" << ex.what() << "' at '" << ex.location() << "'";
	}
	catch (...) { return ::testing::AssertionFailure() << "threw a foreign exception"; }
	return ::testing::AssertionFailure() << "did not throw";
}

/*! Success when f throws a std::runtime_error with exactly this message. */
template <typename F>
::testing::AssertionResult throwsRuntimeError(F f, const std::string & what) {
	try { f(); }
	catch (const std::runtime_error & ex) {
		if (what == ex.what())
			return ::testing::AssertionSuccess();
		return ::testing::AssertionFailure() << "threw '" << ex.what() << "'";
	}
	catch (...) { return ::testing::AssertionFailure() << "threw a foreign exception"; }
	return ::testing::AssertionFailure() << "did not throw";
}


/*! The whole content of a file; empty when it cannot be read. */
inline std::string readFile(const std::string & path) {
	std::ifstream in(path);
	std::stringstream strm;
	strm << in.rdbuf();
	return strm.str();
}


/*! For its lifetime, a global locale with decimal comma and thousands grouping, as many user
	locales have. */
class GlobalCommaLocale {
public:
	GlobalCommaLocale() : m_old(std::locale::global(std::locale(std::locale::classic(), new CommaPunct))) {}
	~GlobalCommaLocale() { std::locale::global(m_old); }
	GlobalCommaLocale(const GlobalCommaLocale &) = delete;
	GlobalCommaLocale & operator=(const GlobalCommaLocale &) = delete;

private:
	struct CommaPunct : std::numpunct<char> {
		char do_decimal_point() const override { return ','; }
		char do_thousands_sep() const override { return '.'; }
		std::string do_grouping() const override { return "\3"; }
	};
	std::locale m_old;
};

} // namespace TestSupport

#endif // TestSupportH
