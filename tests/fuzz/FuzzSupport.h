#ifndef FuzzSupportH
#define FuzzSupportH

// A message handler for the fuzz targets that drops everything: refused inputs would otherwise
// flood the output and slow the fuzzer down.

#include <string>

#include "ZEB_MessageHandler.h"
#include "ZEB_MessageHandlerRegistry.h"

namespace FuzzSupport {

/*! Drops every message; current handler from construction on. */
class QuietMessages : public ZEB::MessageHandler {
public:
	QuietMessages() { ZEB::MessageHandlerRegistry::instance().setMessageHandler(this); }
	void msg(const std::string &, ZEB::msg_type_t, const char *, int) override {}
};

/*! Installs a QuietMessages handler once per process. */
inline void silence() {
	static QuietMessages quiet;
	(void)quiet;
}

} // namespace FuzzSupport

#endif // FuzzSupportH
