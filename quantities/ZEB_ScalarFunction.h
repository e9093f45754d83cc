#ifndef ZEB_ScalarFunctionH
#define ZEB_ScalarFunctionH

namespace ZEB {

/*! A scalar function y = f(x), as sampled by LinearSpline::generate(). */
class ScalarFunction {
public:
	virtual ~ScalarFunction() = default;
	virtual double operator()(double x) const = 0;
};

} // namespace ZEB

#endif // ZEB_ScalarFunctionH
