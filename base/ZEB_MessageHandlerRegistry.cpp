#include "ZEB_MessageHandlerRegistry.h"

#include <atomic>
#include <mutex>

namespace ZEB {

namespace {

// The calling thread's current handler; null stands for the default handler. Constant-initialised
// and trivially destructible, so it stays readable while threads end and statics are destroyed.
thread_local std::atomic<MessageHandler *> currentOfThread{nullptr};

// The slots of all running threads that ever made a handler current, so that a handler destroyed
// on one thread is not left current on another: a list through the threads' own enlistments, so
// that nothing is allocated. The mutex and the head are constant-initialised and trivially
// destructible: handlers of static storage may be destroyed after every other static object, and
// a library unloaded with dlclose leaves nothing behind.
struct Enlistment {
	std::atomic<MessageHandler *> *	m_slot;
	Enlistment *					m_next;
	Enlistment *					m_previous;
};

std::mutex		enlistedMutex;
Enlistment *	enlisted = nullptr;

// Enlists the calling thread's slot for its lifetime.
struct SlotEnlistment {
	SlotEnlistment() : m_node{&currentOfThread, nullptr, nullptr} {
		std::lock_guard<std::mutex> lock(enlistedMutex);
		m_node.m_next = enlisted;
		if (enlisted != nullptr)
			enlisted->m_previous = &m_node;
		enlisted = &m_node;
	}
	~SlotEnlistment() {
		std::lock_guard<std::mutex> lock(enlistedMutex);
		if (m_node.m_previous != nullptr)
			m_node.m_previous->m_next = m_node.m_next;
		else
			enlisted = m_node.m_next;
		if (m_node.m_next != nullptr)
			m_node.m_next->m_previous = m_node.m_previous;
	}
	SlotEnlistment(const SlotEnlistment &) = delete;
	SlotEnlistment & operator=(const SlotEnlistment &) = delete;

	Enlistment	m_node;
};

// Enlists the calling thread's slot, once, before a handler other than the default goes there.
void enlistThread() {
	thread_local SlotEnlistment enlisted;
	(void)enlisted;
}

// Resets slot to the default when it still holds handler; a handler made current meanwhile stays.
void release(std::atomic<MessageHandler *> & slot, const MessageHandler * handler) {
	MessageHandler * expected = const_cast<MessageHandler *>(handler);
	slot.compare_exchange_strong(expected, nullptr);
}

} // namespace


MessageHandlerRegistry & MessageHandlerRegistry::instance() {
	static MessageHandlerRegistry registry;
	return registry;
}


MessageHandlerRegistry::~MessageHandlerRegistry() {
	currentOfThread.store(nullptr);
}


void MessageHandlerRegistry::setMessageHandler(MessageHandler * handler) {
	if (handler == &m_defaultMsgHandler) {
		setDefaultMsgHandler();
		return;
	}
	enlistThread();
	currentOfThread.store(handler);
}


MessageHandler * MessageHandlerRegistry::exchangeMessageHandler(MessageHandler * handler) {
	if (handler == &m_defaultMsgHandler)
		handler = nullptr;
	if (handler != nullptr)
		enlistThread();
	return currentOfThread.exchange(handler);
}


void MessageHandlerRegistry::setDefaultMsgHandler() {
	currentOfThread.store(nullptr);
}


MessageHandler * MessageHandlerRegistry::currentHandler() const {
	MessageHandler * handler = currentOfThread.load();
	// the registry hands out its default handler for writing, as any other current one
	return handler != nullptr ? handler : const_cast<MessageHandler *>(&m_defaultMsgHandler);
}


void MessageHandlerRegistry::handlerDestroyed(const MessageHandler * handler) {
	// the own slot directly: at process exit it may already have left the list
	release(currentOfThread, handler);
	std::lock_guard<std::mutex> lock(enlistedMutex);
	for (Enlistment * node = enlisted; node != nullptr; node = node->m_next)
		release(*node->m_slot, handler);
}


void ZEB_Message(const FormatString & message, msg_type_t type, const char * location, int verboseLevel) {
	MessageHandlerRegistry & registry = MessageHandlerRegistry::instance();
	registry.currentHandler()->msg(message.str(), type, location, verboseLevel);
}

} // namespace ZEB
