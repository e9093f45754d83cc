#include "ZEB_MessageHandlerRegistry.h"

namespace ZEB {

namespace {

// The live registry, or null before its creation and from the start of its destruction on.
MessageHandlerRegistry * theRegistry = nullptr;

} // namespace


MessageHandlerRegistry & MessageHandlerRegistry::instance() {
	static MessageHandlerRegistry registry;
	return registry;
}


MessageHandlerRegistry::MessageHandlerRegistry() :
	m_msgHandler(&m_defaultMsgHandler)
{
	theRegistry = this;
}


MessageHandlerRegistry::~MessageHandlerRegistry() {
	theRegistry = nullptr;
	m_msgHandler = &m_defaultMsgHandler;
}


void MessageHandlerRegistry::handlerDestroyed(const MessageHandler * handler) {
	if (theRegistry != nullptr && theRegistry->m_msgHandler == handler)
		theRegistry->setDefaultMsgHandler();
}


void ZEB_Message(const FormatString & message, msg_type_t type, const char * location, int verboseLevel) {
	MessageHandlerRegistry & registry = MessageHandlerRegistry::instance();
	registry.currentHandler()->msg(message.str(), type, location, verboseLevel);
}

} // namespace ZEB
