#ifndef KADRIX_FMUModelInterfaceH
#define KADRIX_FMUModelInterfaceH

namespace KADRIX {

/*! The FMU variable access of a model, by value reference. Every operation does nothing by
	default and leaves its output untouched, except getString(), which gives an empty text. */
class FMUModelInterface {
public:
	virtual ~FMUModelInterface() = default;

	virtual void setReal(int valueReference, double value) { (void)valueReference; (void)value; }
	virtual void setInteger(int valueReference, int value) { (void)valueReference; (void)value; }
	virtual void setString(int valueReference, const char * value) { (void)valueReference; (void)value; }
	virtual void setBoolean(int valueReference, bool value) { (void)valueReference; (void)value; }
	virtual void getReal(int valueReference, double & value) { (void)valueReference; (void)value; }
	virtual void getInteger(int valueReference, int & value) { (void)valueReference; (void)value; }
	/*! value points to text owned by the model (by default a static empty text). */
	virtual void getString(int valueReference, const char *& value) { (void)valueReference; value = ""; }
	virtual void getBoolean(int valueReference, bool & value) { (void)valueReference; (void)value; }
	virtual void startCommunicationInterval(double t) { (void)t; }
	virtual void completeCommunicationInterval() {}
	virtual void completedIntegratorStep(double t, const double * y) { (void)t; (void)y; }
};

} // namespace KADRIX

#endif // KADRIX_FMUModelInterfaceH
