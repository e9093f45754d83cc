#include "ZEB_Exception.h"

#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace ZEB {

Exception::Exception(const std::string & what, const std::string & loc) {
	m_msgStack.push_back(MsgInfo{what, loc});
}


Exception::Exception(const FormatString & what, const std::string & loc) {
	m_msgStack.push_back(MsgInfo{what.str(), loc});
}


Exception::Exception(const std::exception & ex, const FormatString & what, const std::string & loc) {
	m_msgStack.push_back(MsgInfo{ex.what(), loc});
	m_msgStack.push_back(MsgInfo{what.str(), loc});
}


Exception::Exception(const Exception & old, const FormatString & what, const std::string & loc) :
	m_msgStack(old.m_msgStack)
{
	m_msgStack.push_back(MsgInfo{what.str(), loc});
}


Exception::Exception(const Exception & old, const std::string & what, const std::string & loc) :
	m_msgStack(old.m_msgStack)
{
	m_msgStack.push_back(MsgInfo{what, loc});
}


const char * Exception::what() const noexcept {
	return m_msgStack.empty() ? "" : m_msgStack.back().m_what.c_str();
}


const char * Exception::location() const {
	return m_msgStack.empty() ? "" : m_msgStack.back().m_location.c_str();
}


std::string Exception::msgStack() const {
	std::string result;
	bool first = true;
	for (const MsgInfo & info : m_msgStack) {
		if (!first)
			result += " \n";
		result += info.m_what;
		first = false;
	}
	return result;
}


void Exception::writeMsgStackToError() const {
	MessageHandler * handler = MessageHandlerRegistry::instance().currentHandler();
	for (const MsgInfo & info : m_msgStack)
		handler->msg(info.m_what, MSG_ERROR, info.m_location.c_str(), 1);
}

} // namespace ZEB
