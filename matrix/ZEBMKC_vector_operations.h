#ifndef ZEBMKC_vector_operationsH
#define ZEBMKC_vector_operationsH

/* Operations on raw arrays of n doubles owned by the caller; nothing is allocated, n <= 0 does
   nothing. Except vector_copy, the arrays may overlap exactly (x == y). */

namespace ZEBMK {

/*! v[i] = value. */
void vectorUInt_fill(int n, unsigned int * v, unsigned int value);
/*! v[i] = value. */
void vector_fill(int n, double * v, double value);
/*! dst = src; the arrays must not overlap. */
void vector_copy(unsigned int n, const double * src, double * dst);
/*! y = a x. */
void vector_scale(unsigned int n, const double * x, double * y, double a);
/*! x = a x. */
void vector_scale_by(int n, double * x, double a);
/*! y = y + a x; with a exactly 1 the multiplication is skipped. */
void vector_add(unsigned int n, const double * x, double * y, double a);
/*! y = y - x. */
void vector_sub(int n, const double * x, double * y);
/*! z = a x + b y. */
void vector_linear_sum(unsigned int n, const double * x, const double * y, double * z, double a, double b);

} // namespace ZEBMK

#endif // ZEBMKC_vector_operationsH
