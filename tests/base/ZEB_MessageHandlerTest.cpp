#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "ZEB_Exception.h"
#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace {

const std::string WARN_COLOR = "\033[01;33m";
const std::string ERROR_COLOR = "\033[01;31m";
const std::string DEBUG_COLOR = "\033[01;35m";
const std::string RESET_COLOR = "\033[22;37m";

std::string readFile(const std::string & path) {
	std::ifstream in(path);
	std::stringstream strm;
	strm << in.rdbuf();
	return strm.str();
}

// Captures both standard streams and gives each test its own directory for log files.
class MessageHandlerTest : public ::testing::Test {
protected:
	void SetUp() override {
		m_oldOut = std::cout.rdbuf(m_out.rdbuf());
		m_oldErr = std::cerr.rdbuf(m_err.rdbuf());
	}
	void TearDown() override {
		std::cout.rdbuf(m_oldOut);
		std::cerr.rdbuf(m_oldErr);
	}
	std::string out() { std::string s = m_out.str(); m_out.str(""); return s; }
	std::string err() { std::string s = m_err.str(); m_err.str(""); return s; }

	// A handler writing into log file name, without time stamps so lines can be compared.
	void openLog(ZEB::MessageHandler & h, const std::string & name, int locationWidth = 10) {
		h.setTimeStampFormat("");
		h.m_locationWidth = locationWidth;
		std::string errmsg;
		ASSERT_TRUE(h.openLogFile(m_tmp.file(name), false, errmsg)) << errmsg;
	}
	std::string log(const std::string & name) { return readFile(m_tmp.file(name)); }

	TestSupport::TempDirectory	m_tmp{"msghandler"};
	const std::string			m_dir = m_tmp.path();
	std::stringstream			m_out;
	std::stringstream			m_err;
	std::streambuf *			m_oldOut = nullptr;
	std::streambuf *			m_oldErr = nullptr;
};

// Lets threads wait for each other's steps, without timing.
class Steps {
public:
	void reach(int step) {
		std::lock_guard<std::mutex> lock(m_mutex);
		m_step = step;
		m_changed.notify_all();
	}
	void waitFor(int step) {
		std::unique_lock<std::mutex> lock(m_mutex);
		m_changed.wait(lock, [&] { return m_step >= step; });
	}
private:
	std::mutex				m_mutex;
	std::condition_variable	m_changed;
	int						m_step = 0;
};

} // namespace


TEST_F(MessageHandlerTest, WritesExactLineHead) {
	ZEB::MessageHandler h;
	openLog(h, "a.txt");
	h.msg("x", ZEB::MSG_WARNING, "[A::f]", 1);
	EXPECT_EQ(log("a.txt"), "[Warning ]\t[A::f]    \tx\n");
	EXPECT_EQ(out(), WARN_COLOR + "x\n" + RESET_COLOR);
	EXPECT_EQ(err(), WARN_COLOR + RESET_COLOR);

	h.msg("p\n", ZEB::MSG_PROGRESS, nullptr, 1);
	h.msg(" more\n", ZEB::MSG_CONTINUED, "[ignored]", 1);
	h.msg("long", ZEB::MSG_ERROR, "[AVeryLongLocation::f]", 1);
	h.msg("dbg", ZEB::MSG_DEBUG, "", 99);
	EXPECT_EQ(log("a.txt"),
			  "[Warning ]\t[A::f]    \tx\n"
			  "[Progress]\t          \tp\n"
			  " more\n"
			  "[Error   ]\t[AVeryLongLocation::f]\tlong\n"
			  "[Debug   ]\t          \tdbg\n");
	// colour sequences go to both streams, the text only to its own
	EXPECT_EQ(out(), "p\n more\n" + ERROR_COLOR + RESET_COLOR + DEBUG_COLOR + "dbg\n" + RESET_COLOR);
	EXPECT_EQ(err(), ERROR_COLOR + "long\n" + RESET_COLOR + DEBUG_COLOR + RESET_COLOR);

	// values outside the message types write nothing
	h.msg("?", static_cast<ZEB::msg_type_t>(7), "[A::f]", -1);
	EXPECT_EQ(out(), "");
	EXPECT_EQ(err(), "");
	EXPECT_EQ(log("a.txt").find('?'), std::string::npos);
}

TEST_F(MessageHandlerTest, DefaultHeadHasTimeStampAndPaddedLocation) {
	ZEB::MessageHandler h;
	std::string errmsg;
	ASSERT_TRUE(h.openLogFile(m_dir + "/ts.txt", false, errmsg));
	h.m_indentation = 1;
	h.msg("a\nb", ZEB::MSG_WARNING, "[A::f]", 1);
	std::string text = log("ts.txt");
	// "YYYY-MM-DD HH:MM:SS" then the head, repeated for the second line
	const std::string head = "\t[Warning ]\t[A::f]" + std::string(34, ' ') + "\t  ";
	ASSERT_EQ(text.size(), 2 * (19 + head.size()) + 4);
	EXPECT_EQ(text.substr(19, head.size() + 2), head + "a\n");
	EXPECT_EQ(text.substr(4, 1), "-");
	EXPECT_EQ(text.substr(19 + head.size() + 2 + 19), head + "b\n");
	EXPECT_EQ(out(), WARN_COLOR + "  a\nb\n" + RESET_COLOR);
	EXPECT_EQ(err(), WARN_COLOR + RESET_COLOR);
}

TEST_F(MessageHandlerTest, FiltersByVerbosity) {
	ZEB::MessageHandler h;			// console level 4, log level 2
	openLog(h, "v.txt", 0);
	h.msg("three\n", ZEB::MSG_PROGRESS, "", 3);
	h.msg("five\n", ZEB::MSG_PROGRESS, "", 5);
	h.msg("one\n", ZEB::MSG_PROGRESS, "", 1);
	h.msg("zero\n", ZEB::MSG_PROGRESS, "", 0);
	h.msg("w0", ZEB::MSG_WARNING, "", 0);
	h.msg("always\n", ZEB::MSG_PROGRESS, "", -1);
	h.msg("err", ZEB::MSG_ERROR, "", 99);
	EXPECT_EQ(log("v.txt"),
			  "[Progress]\t\tone\n"
			  "[Progress]\t\talways\n"
			  "[Error   ]\t\terr\n");
	EXPECT_EQ(out(), "three\none\nzero\n" + WARN_COLOR + "w0\n" + RESET_COLOR + "always\n" + ERROR_COLOR + RESET_COLOR);
	EXPECT_EQ(err(), WARN_COLOR + RESET_COLOR + ERROR_COLOR + "err\n" + RESET_COLOR);

	// continued text follows the progress rules: level 0 reaches the console only
	h.msg("c0", ZEB::MSG_CONTINUED, "", 0);
	h.msg("c1", ZEB::MSG_CONTINUED, "", 1);
	h.msg("c3", ZEB::MSG_CONTINUED, "", 3);
	EXPECT_EQ(out(), "c0c1c3");
	EXPECT_EQ(log("v.txt").substr(log("v.txt").size() - 2), "c1");

	h.setConsoleVerbosityLevel(-1);
	h.setLogfileVerbosityLevel(-1);
	h.msg("gone\n", ZEB::MSG_PROGRESS, "", 0);
	h.msg("kept\n", ZEB::MSG_PROGRESS, "", -1);
	EXPECT_EQ(out(), "kept\n");
	EXPECT_EQ(log("v.txt").substr(log("v.txt").size() - 17), "[Progress]\t\tkept\n");
}

TEST_F(MessageHandlerTest, WritesOnlyTheLogFileWithTheConsoleOff) {
	ZEB::MessageHandler h;
	h.setConsoleOutput(false);
	openLog(h, "quiet.txt", 0);
	h.msg("w\n", ZEB::MSG_WARNING, "", -1);
	h.msg("e", ZEB::MSG_ERROR, "", 99);
	h.msg("d", ZEB::MSG_DEBUG, "", 99);
	h.msg("p\n", ZEB::MSG_PROGRESS, "", 0);
	EXPECT_EQ(log("quiet.txt"), "[Warning ]\t\tw\n\n[Error   ]\t\te\n[Debug   ]\t\td\n");
	EXPECT_EQ(out(), "");
	EXPECT_EQ(err(), "");
}


TEST_F(MessageHandlerTest, WritesExceptionStackAsErrorLines) {
	ZEB::MessageHandler h;
	openLog(h, "e.txt", 8);
	ZEB::MessageHandlerRegistry::instance().setMessageHandler(&h);
	ZEB::Exception inner("disk full", "[W::w]");
	ZEB::Exception(inner, "saving failed", "").writeMsgStackToError();
	EXPECT_EQ(log("e.txt"),
			  "[Error   ]\t[W::w]  \tdisk full\n"
			  "[Error   ]\t        \tsaving failed\n");
	EXPECT_EQ(err(), ERROR_COLOR + "disk full\n" + RESET_COLOR + ERROR_COLOR + "saving failed\n" + RESET_COLOR);
}

TEST_F(MessageHandlerTest, RepeatsHeadOnEveryLine) {
	ZEB::MessageHandler h;
	openLog(h, "m.txt", 0);
	h.m_indentation = 2;
	h.msg("l1\nl2\nl3\n", ZEB::MSG_PROGRESS, nullptr, 1);
	const std::string head = "[Progress]\t\t    ";
	EXPECT_EQ(log("m.txt"), head + "l1\n" + head + "l2\n" + head + "l3\n");
	EXPECT_EQ(out(), "    l1\nl2\nl3\n");
}

TEST_F(MessageHandlerTest, OpensTruncatesAndAppendsLogFiles) {
	ZEB::MessageHandler h;
	std::string errmsg;
	EXPECT_TRUE(h.openLogFile("", false, errmsg));
	h.msg("nowhere", ZEB::MSG_ERROR, "", 1);		// console only, no crash

	openLog(h, "log.txt", 0);
	h.msg("old", ZEB::MSG_ERROR, "", 1);
	ASSERT_TRUE(h.openLogFile(m_dir + "/log.txt", true, errmsg));
	h.msg("new", ZEB::MSG_ERROR, "", 1);
	EXPECT_EQ(log("log.txt"),
			  "[Error   ]\t\told\n"
			  "\n----------- continued -------------\n\n"
			  "[Error   ]\t\tnew\n");

	ASSERT_TRUE(h.openLogFile(m_dir + "/log.txt", false, errmsg));
	h.closeLogFile();
	EXPECT_EQ(log("log.txt"), "");

	h.setLogfileVerbosityLevel(0);
	EXPECT_TRUE(h.openLogFile(m_dir + "/never.txt", false, errmsg));
	std::ifstream never(m_dir + "/never.txt");
	EXPECT_FALSE(never.good());

	h.setLogfileVerbosityLevel(2);
	const std::string bad = m_dir + "/missing/dir/log.txt";
	EXPECT_FALSE(h.openLogFile(bad, false, errmsg));
	EXPECT_EQ(errmsg, "Cannot open/create logfile '" + bad + "'.");
	h.msg("console only", ZEB::MSG_ERROR, "", 1);
	EXPECT_EQ(err().find("console only") != std::string::npos, true);
}

TEST_F(MessageHandlerTest, RegistryRoutesToCurrentHandler) {
	ZEB::MessageHandlerRegistry & reg = ZEB::MessageHandlerRegistry::instance();
	reg.setDefaultMsgHandler();
	ZEB::MessageHandler * def = reg.currentHandler();
	ASSERT_NE(def, nullptr);
	ZEB::ZEB_Message(ZEB::FormatString("w %1"), ZEB::MSG_WARNING, "[X::y]", 2);
	EXPECT_EQ(out(), WARN_COLOR + "w %1\n" + RESET_COLOR);

	{
		ZEB::MessageHandler h1;
		openLog(h1, "r.txt", 0);
		{
			ZEB::MessageHandler h2;
			reg.setMessageHandler(&h1);
			reg.setMessageHandler(&h2);
			EXPECT_EQ(reg.currentHandler(), &h2);
		}
		// destroying the current handler falls back to the default
		EXPECT_EQ(reg.currentHandler(), def);

		reg.setMessageHandler(&h1);
		{
			ZEB::MessageHandler h3;
		}
		EXPECT_EQ(reg.currentHandler(), &h1);
		{
			ZEB::IndentationGuard guard;
			ZEB::ZEB_Message(ZEB::FormatString("in %1\n").arg(1), ZEB::MSG_PROGRESS, nullptr, 1);
		}
		ZEB::ZEB_Message(ZEB::FormatString("out\n"), ZEB::MSG_PROGRESS, nullptr, 1);
		EXPECT_EQ(log("r.txt"), "[Progress]\t\t  in 1\n[Progress]\t\tout\n");
	}
	EXPECT_EQ(reg.currentHandler(), def);

	// a call's own handler made current and the thread's given back, the default as null
	ZEB::MessageHandler h4;
	EXPECT_EQ(reg.exchangeMessageHandler(&h4), nullptr);
	EXPECT_EQ(reg.currentHandler(), &h4);
	EXPECT_EQ(reg.exchangeMessageHandler(def), &h4);
	EXPECT_EQ(reg.currentHandler(), def);
	EXPECT_EQ(reg.exchangeMessageHandler(nullptr), nullptr);
}

TEST(MessageHandlerRegistry, EachThreadKeepsItsOwnCurrentHandler) {
	ZEB::MessageHandlerRegistry & reg = ZEB::MessageHandlerRegistry::instance();
	ZEB::MessageHandler * const mainHandler = reg.currentHandler();
	Steps steps;
	std::vector<std::string> seen[2];
	// both install their handler before either sends: a shared pointer would route all to the last
	auto run = [&](int id) {
		steps.waitFor(id);
		TestSupport::MessageRecorder recorder;
		steps.reach(id + 1);
		steps.waitFor(2);
		for (int i = 0; i < 50; ++i)
			ZEB::ZEB_Message(ZEB::FormatString("%1:%2").arg(id).arg(i), ZEB::MSG_PROGRESS, "[T::run]", 1);
		EXPECT_EQ(reg.currentHandler(), &recorder);
		seen[id] = recorder.texts("[T::run]");
	};
	std::thread first(run, 0);
	std::thread second(run, 1);
	first.join();
	second.join();
	for (int id = 0; id < 2; ++id) {
		ASSERT_EQ(seen[id].size(), 50u) << id;
		for (int i = 0; i < 50; ++i)
			EXPECT_EQ(seen[id][i], std::to_string(id) + ":" + std::to_string(i));
	}
	EXPECT_EQ(reg.currentHandler(), mainHandler);
}

TEST(MessageHandlerRegistry, HandlerDestroyedElsewhereLeavesNoThreadPointingToIt) {
	ZEB::MessageHandlerRegistry & reg = ZEB::MessageHandlerRegistry::instance();
	auto handler = std::make_unique<ZEB::MessageHandler>();
	ZEB::MessageHandler * defaultHandler = nullptr;
	ZEB::MessageHandler * afterwards = nullptr;
	Steps steps;
	std::thread user([&] {
		reg.setDefaultMsgHandler();
		defaultHandler = reg.currentHandler();
		reg.setMessageHandler(handler.get());
		steps.reach(1);
		steps.waitFor(2);
		afterwards = reg.currentHandler();
	});
	steps.waitFor(1);
	handler.reset();
	steps.reach(2);
	user.join();
	EXPECT_EQ(afterwards, defaultHandler);
}

TEST_F(MessageHandlerTest, IndentationGuardUnwindsOnException) {
	ZEB::MessageHandler * h = ZEB::MessageHandlerRegistry::instance().currentHandler();
	const int before = h->m_indentation;
	try {
		ZEB::IndentationGuard guard;
		EXPECT_EQ(h->m_indentation, before + 1);
		throw ZEB::Exception("x", "[T::t]");
	}
	catch (ZEB::Exception &) {}
	EXPECT_EQ(h->m_indentation, before);
}

TEST_F(MessageHandlerTest, SelectsConsoleColors) {
	ZEB::set_console_text_color(ZEB::CC_YELLOW);
	ZEB::set_console_text_color(static_cast<ZEB::ConsoleColor>(25));	// half of it: 12
	ZEB::set_console_text_color(static_cast<ZEB::ConsoleColor>(40));	// undefined: nothing
	EXPECT_EQ(out(), WARN_COLOR + ERROR_COLOR);
	EXPECT_EQ(err(), WARN_COLOR + ERROR_COLOR);
	EXPECT_STREQ(ZEB::TERMINAL_CODES[ZEB::CC_BLACK], "\033[22;30m");
	EXPECT_STREQ(ZEB::TERMINAL_CODES[ZEB::CC_WHITE], "\033[01;37m");
}
