#ifndef ZEB_NotificationHandlerH
#define ZEB_NotificationHandlerH

namespace ZEB {

/*! Progress notifications of long-running work. Components take a pointer to one (not owned)
	and call it when it is not null. */
class NotificationHandler {
public:
	virtual ~NotificationHandler() = default;
	/*! A progress tick without value. */
	virtual void notify() = 0;
	/*! A progress tick with a value; by default the value is ignored. */
	virtual void notify(double value) { (void)value; notify(); }
};

} // namespace ZEB

#endif // ZEB_NotificationHandlerH
