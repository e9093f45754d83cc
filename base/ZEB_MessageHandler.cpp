#include "ZEB_MessageHandler.h"

#include <ctime>
#include <iostream>
#include <sstream>
#include <vector>

#include "ZEB_MessageHandlerRegistry.h"

namespace ZEB {

const char * const TERMINAL_CODES[16] = {
	"\033[22;30m", "\033[22;34m", "\033[22;32m", "\033[22;36m",
	"\033[22;31m", "\033[22;35m", "\033[22;33m", "\033[22;37m",
	"\033[01;30m", "\033[01;34m", "\033[01;32m", "\033[01;36m",
	"\033[01;31m", "\033[01;35m", "\033[01;33m", "\033[01;37m"
};


void set_console_text_color(ConsoleColor color) {
	int index = static_cast<int>(color);
	if (index >= 16 && index < 32)
		index /= 2;
	else if (index < 0 || index >= 16)
		return;
	std::cerr << TERMINAL_CODES[index];
	std::cout << TERMINAL_CODES[index];
}


void printUtf8(const std::string & text) {
	std::cout << text << std::flush;
}


void printErrorUtf8(const std::string & text) {
	std::cerr << text << std::flush;
}


MessageHandler::MessageHandler() = default;


MessageHandler::~MessageHandler() {
	closeLogFile();
	MessageHandlerRegistry::handlerDestroyed(this);
}


void MessageHandler::msg(const std::string & text, msg_type_t type, const char * location, int verboseLevel) {
	if (type != MSG_ERROR && type != MSG_DEBUG && verboseLevel > m_logfileVerbosityLevel &&
		(!m_consoleOutput || verboseLevel > m_consoleVerbosityLevel))
	{
		return;
	}
	const bool toConsole = m_consoleOutput;
	if (!toConsole && m_logfile == nullptr)
		return;

	std::string head;
	if (!m_timeStampFormat.empty()) {
		std::time_t now = std::time(nullptr);
		std::tm local{};
		localtime_r(&now, &local);
		std::vector<char> buffer(m_timeStampFormat.size() + 500);
		std::size_t len = std::strftime(buffer.data(), buffer.size(), m_timeStampFormat.c_str(), &local);
		head.assign(buffer.data(), len);
		head += '\t';
	}
	switch (type) {
		case MSG_PROGRESS	: head += "[Progress]\t"; break;
		case MSG_WARNING	: head += "[Warning ]\t"; break;
		case MSG_ERROR		: head += "[Error   ]\t"; break;
		case MSG_DEBUG		: head += "[Debug   ]\t"; break;
		default				: head += "[Invalid ]\t"; break;
	}
	const std::size_t width = m_locationWidth > 0 ? static_cast<std::size_t>(m_locationWidth) : 0;
	std::string loc = location != nullptr ? location : "";
	if (loc.size() < width)
		loc.append(width - loc.size(), ' ');
	head += loc;
	head += '\t';
	const std::string indent(m_indentation > 0 ? 2 * static_cast<std::size_t>(m_indentation) : 0, ' ');
	head += indent;

	// every line of a multi-line message starts with the full head; a final line feed stays as it is
	std::string logText;
	logText.reserve(text.size());
	for (std::size_t i = 0; i < text.size(); ++i) {
		logText += text[i];
		if (text[i] == '\n' && i + 1 < text.size())
			logText += head;
	}

	const bool toLog = m_logfile != nullptr;
	const bool filteredToLog = toLog && verboseLevel != 0 && verboseLevel <= m_logfileVerbosityLevel;
	const bool filteredToConsole = toConsole && verboseLevel <= m_consoleVerbosityLevel;

	switch (type) {
		case MSG_PROGRESS :
			if (filteredToLog)
				*m_logfile << head << logText;
			if (filteredToConsole)
				printUtf8(indent + text);
			break;

		case MSG_CONTINUED :
			if (filteredToLog)
				*m_logfile << text;
			if (filteredToConsole)
				printUtf8(text);
			break;

		case MSG_WARNING :
			if (filteredToLog)
				*m_logfile << head << logText << std::endl;
			if (filteredToConsole) {
				set_console_text_color(CC_YELLOW);
				printUtf8(indent + text + '\n');
				set_console_text_color(CC_GREY);
			}
			break;

		case MSG_ERROR :
			if (toLog)
				*m_logfile << head << logText << std::endl;
			if (toConsole) {
				set_console_text_color(CC_BRIGHT_RED);
				printErrorUtf8(indent + text + '\n');
				set_console_text_color(CC_GREY);
			}
			break;

		case MSG_DEBUG :
			if (toLog)
				*m_logfile << head << logText << std::endl;
			if (toConsole) {
				set_console_text_color(CC_BRIGHT_MAGENTA);
				printUtf8(indent + text + '\n');
				set_console_text_color(CC_GREY);
			}
			break;

		default :
			break;
	}
	if (toLog)
		m_logfile->flush();
}


bool MessageHandler::openLogFile(const std::string & logfile, bool append, std::string & errmsg) {
	closeLogFile();
	if (logfile.empty() || m_logfileVerbosityLevel == 0)
		return true;
	const std::ios_base::openmode mode = append ? (std::ios_base::out | std::ios_base::app) : std::ios_base::out;
	m_logfile = std::make_unique<std::ofstream>(logfile, mode);
	if (append)
		*m_logfile << "\n----------- continued -------------\n" << std::endl;
	if (m_logfile->good())
		return true;
	closeLogFile();
	errmsg = "Cannot open/create logfile '" + logfile + "'.";
	return false;
}


void MessageHandler::closeLogFile() {
	if (m_logfile == nullptr)
		return;
	if (m_logfile->is_open())
		m_logfile->close();
	m_logfile.reset();
}


IndentationGuard::IndentationGuard() :
	m_handler(MessageHandlerRegistry::instance().currentHandler())
{
	++m_handler->m_indentation;
}


IndentationGuard::~IndentationGuard() {
	--m_handler->m_indentation;
}

} // namespace ZEB
