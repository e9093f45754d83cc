#ifndef ZEB_MessageHandlerH
#define ZEB_MessageHandlerH

#include <fstream>
#include <memory>
#include <string>

namespace ZEB {

/*! Message types; what each looks like on the console and in the log file is MessageHandler::msg. */
enum msg_type_t {
	MSG_PROGRESS	= 0,	///< Progress or information; the text carries its own line end.
	MSG_CONTINUED	= 1,	///< Continues the line of the previous message; written without line head.
	MSG_WARNING		= 2,
	MSG_ERROR		= 3,	///< Shown whatever the verbosity levels.
	MSG_DEBUG		= 4		///< Shown whatever the verbosity levels.
};

/*! The 16 terminal colours; the value indexes TERMINAL_CODES. */
enum ConsoleColor {
	CC_BLACK			= 0,
	CC_BLUE				= 1,
	CC_GREEN			= 2,
	CC_CYAN				= 3,
	CC_RED				= 4,
	CC_MAGENTA			= 5,
	CC_BROWN			= 6,
	CC_GREY				= 7,	///< The reset colour.
	CC_DARK_GREY		= 8,
	CC_BRIGHT_BLUE		= 9,
	CC_BRIGHT_GREEN		= 10,
	CC_BRIGHT_CYAN		= 11,
	CC_BRIGHT_RED		= 12,	///< Errors.
	CC_BRIGHT_MAGENTA	= 13,	///< Debug messages.
	CC_YELLOW			= 14,	///< Warnings.
	CC_WHITE			= 15
};

/*! ANSI select-graphic-rendition sequences, indexed by ConsoleColor. */
extern const char * const TERMINAL_CODES[16];

/*! Writes the colour's sequence to standard error, then to standard output (no flush).
	Values 16 to 31 select colour value / 2; other values write nothing. */
void set_console_text_color(ConsoleColor color);

/*! Writes text to standard output and flushes. */
void printUtf8(const std::string & text);
/*! Writes text to standard error and flushes. */
void printErrorUtf8(const std::string & text);


/*! The sink for every message: the console and, when one is open, a log file, each with its
	own verbosity level.

	Progress, continued and warning messages reach a destination only when their level is not
	above that destination's level, and never the log file at level 0; errors and debug messages
	always reach both. Log lines start with a head: time stamp, type prefix, padded location,
	indentation. The handler owns its log file stream.
*/
class MessageHandler {
public:
	MessageHandler();
	/*! Closes the log file; when this handler is the registry's current one, makes the default current. */
	virtual ~MessageHandler();

	MessageHandler(const MessageHandler &) = delete;
	MessageHandler & operator=(const MessageHandler &) = delete;

	/*! Writes one message; location (e.g. "[InstanceData::init]") may be null. Never throws
		apart from memory exhaustion. */
	virtual void msg(const std::string & text, msg_type_t type, const char * location, int verboseLevel);

	/*! Opens the log file, truncating or appending (with a "continued" marker). An empty name
		or a log-file level of 0 opens nothing and returns true. On failure returns false with
		the reason in errmsg and leaves the handler without log file. */
	virtual bool openLogFile(const std::string & logfile, bool append, std::string & errmsg);

	void closeLogFile();

	void setConsoleVerbosityLevel(int level) { m_consoleVerbosityLevel = level; }
	void setLogfileVerbosityLevel(int level) { m_logfileVerbosityLevel = level; }
	void setTimeStampFormat(const std::string & format) { m_timeStampFormat = format; }
	/*! Off: nothing reaches standard output or standard error, whatever the type and level, for
		handlers of code that runs inside another program (the FMU). */
	void setConsoleOutput(bool on) { m_consoleOutput = on; }
	/*! Nothing to do on Linux: terminals take UTF-8 as they are. */
	void setupUtf8Console() {}

	int consoleVerbosityLevel() const { return m_consoleVerbosityLevel; }
	int logfileVerbosityLevel() const { return m_logfileVerbosityLevel; }
	bool consoleOutput() const { return m_consoleOutput; }

	/*! Width of the location column of log lines; longer locations are written in full. */
	int								m_locationWidth = 40;

private:
	/*! Highest level of progress, continued and warning messages shown on the console. */
	int								m_consoleVerbosityLevel = 4;
	/*! Highest level of progress, continued and warning messages written to the log file;
		0 when openLogFile is called means no log file. */
	int								m_logfileVerbosityLevel = 2;
	/*! The open log file; null when none. */
	std::unique_ptr<std::ofstream>	m_logfile;
	/*! strftime format of the time-stamp column; empty means no time-stamp column. */
	std::string						m_timeStampFormat = "%Y-%m-%d %H:%M:%S";
	/*! False when nothing may be written to the console. */
	bool							m_consoleOutput = true;

public:
	/*! Indentation level of log and console text, two blanks per level; see IndentationGuard. */
	int								m_indentation = 0;
};


/*! Raises the current handler's indentation by one for its lifetime, also when an exception
	leaves the nested work. The handler must outlive the guard. */
class IndentationGuard {
public:
	IndentationGuard();
	~IndentationGuard();
	IndentationGuard(const IndentationGuard &) = delete;
	IndentationGuard & operator=(const IndentationGuard &) = delete;
private:
	MessageHandler * m_handler;
};

} // namespace ZEB

#endif // ZEB_MessageHandlerH
