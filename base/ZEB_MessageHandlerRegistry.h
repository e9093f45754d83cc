#ifndef ZEB_MessageHandlerRegistryH
#define ZEB_MessageHandlerRegistryH

#include "ZEB_FormatString.h"
#include "ZEB_MessageHandler.h"

namespace ZEB {

/*! The process-wide holder of the current message handler.

	It owns a default handler (console only) and points to the handler currently in use, which
	it does not own: a handler made current must stay alive until another one is made current or
	its own destructor resets the registry. Created on first use.

	The current handler is per thread: a handler made current on one thread receives the messages
	of that thread only, and a thread that never made one current uses the default handler, which
	all threads share. So two instances driven from two threads each keep their own handler
	current around their calls without a lock, and neither sees the other's messages. A handler's
	destructor makes the default current in every thread where it is still current, so a handler
	may be destroyed on another thread than the one that made it current; it must not be destroyed
	while another thread is still sending messages to it. The default handler writes only to the
	console and is safe for concurrent messages; its indentation (IndentationGuard) is not, so
	concurrent threads indent their own handlers only.
*/
class MessageHandlerRegistry {
public:
	/*! The one registry, created on the first call. */
	static MessageHandlerRegistry & instance();

	/*! Makes handler current for the calling thread (not owned, not null). */
	void setMessageHandler(MessageHandler * handler);
	/*! Makes the default handler current again for the calling thread. */
	void setDefaultMsgHandler();
	/*! The calling thread's current handler. */
	MessageHandler * currentHandler() const;
	/*! Makes handler current for the calling thread and returns the one that was current; null
		stands for the default handler both ways. What currentHandler() and setMessageHandler()
		do together, in one look at the thread's slot: for a call that makes its own handler
		current and gives the thread back its own on the way out (every FMI function call). */
	MessageHandler * exchangeMessageHandler(MessageHandler * handler);

	~MessageHandlerRegistry();

	MessageHandlerRegistry(const MessageHandlerRegistry &) = delete;
	MessageHandlerRegistry & operator=(const MessageHandlerRegistry &) = delete;

private:
	friend class MessageHandler;

	MessageHandlerRegistry() = default;

	/*! Called by every handler's destructor: a destroyed handler must not stay current in any
		thread. Safe before the registry exists and after it is gone (static handlers may outlive
		it). */
	static void handlerDestroyed(const MessageHandler * handler);

	MessageHandler		m_defaultMsgHandler;
};

/*! Sends message, rendered, to the calling thread's current handler's msg(); the filtering is the
	handler's. */
void ZEB_Message(const FormatString & message, msg_type_t type, const char * location, int verboseLevel);

} // namespace ZEB

#endif // ZEB_MessageHandlerRegistryH
