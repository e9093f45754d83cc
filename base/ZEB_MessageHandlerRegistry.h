#ifndef ZEB_MessageHandlerRegistryH
#define ZEB_MessageHandlerRegistryH

#include "ZEB_FormatString.h"
#include "ZEB_MessageHandler.h"

namespace ZEB {

/*! The process-wide holder of the current message handler.

	It owns a default handler (console only) and points to the handler currently in use, which
	it does not own: a handler made current must stay alive until another one is made current or
	its own destructor resets the registry. Created on first use, never locked.
*/
class MessageHandlerRegistry {
public:
	/*! The one registry, created on the first call. */
	static MessageHandlerRegistry & instance();

	/*! Makes handler current (not owned, not null). */
	void setMessageHandler(MessageHandler * handler) { m_msgHandler = handler; }
	/*! Makes the default handler current again. */
	void setDefaultMsgHandler() { m_msgHandler = &m_defaultMsgHandler; }
	MessageHandler * currentHandler() const { return m_msgHandler; }

	~MessageHandlerRegistry();

	MessageHandlerRegistry(const MessageHandlerRegistry &) = delete;
	MessageHandlerRegistry & operator=(const MessageHandlerRegistry &) = delete;

private:
	friend class MessageHandler;

	MessageHandlerRegistry();

	/*! Called by every handler's destructor: a destroyed handler must not stay current. Safe
		before the registry exists and after it is gone (static handlers may outlive it). */
	static void handlerDestroyed(const MessageHandler * handler);

	MessageHandler		m_defaultMsgHandler;
	MessageHandler *	m_msgHandler;
};

/*! Sends message, rendered, to the current handler's msg(); the filtering is the handler's. */
void ZEB_Message(const FormatString & message, msg_type_t type, const char * location, int verboseLevel);

} // namespace ZEB

#endif // ZEB_MessageHandlerRegistryH
