#include "ZEB_MessageHandlerRegistry.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace ZEB {

namespace {

// The calling thread's current handler; null stands for the default handler. Constant-initialised
// and trivially destructible, so it stays readable while threads end and statics are destroyed.
thread_local std::atomic<MessageHandler *> currentOfThread{nullptr};

// The slots of all running threads that ever made a handler current, so that a handler destroyed
// on one thread is not left current on another. Never destroyed: handlers of static storage may be
// destroyed after every other static object.
struct SlotList {
	std::mutex									m_mutex;
	std::vector<std::atomic<MessageHandler *> *>	m_slots;
};

SlotList & slotList() {
	static SlotList * const list = new SlotList;
	return *list;
}

// Enlists the calling thread's slot for its lifetime.
struct SlotEnlistment {
	SlotEnlistment() {
		SlotList & list = slotList();
		std::lock_guard<std::mutex> lock(list.m_mutex);
		list.m_slots.push_back(&currentOfThread);
	}
	~SlotEnlistment() {
		SlotList & list = slotList();
		std::lock_guard<std::mutex> lock(list.m_mutex);
		list.m_slots.erase(std::remove(list.m_slots.begin(), list.m_slots.end(), &currentOfThread), list.m_slots.end());
	}
};

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
	thread_local SlotEnlistment enlisted;
	(void)enlisted;
	currentOfThread.store(handler);
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
	SlotList & list = slotList();
	std::lock_guard<std::mutex> lock(list.m_mutex);
	for (std::atomic<MessageHandler *> * slot : list.m_slots)
		release(*slot, handler);
}


void ZEB_Message(const FormatString & message, msg_type_t type, const char * location, int verboseLevel) {
	MessageHandlerRegistry & registry = MessageHandlerRegistry::instance();
	registry.currentHandler()->msg(message.str(), type, location, verboseLevel);
}

} // namespace ZEB
