#include "ZEBMKC_sparse_matrix.h"

namespace ZEBMK {

namespace {

// ILU(0) with the rows below row i that hold column i listed in lowerRows[lowerStart[i] ...
// lowerStart[i+1]-1] (entries <= i are skipped): the columns of row i for a symmetric pattern,
// the transposed index otherwise.
void iluCSR(unsigned int n, const unsigned int * ia, const unsigned int * ja,
			const unsigned int * lowerStart, const unsigned int * lowerRows, double * data)
{
	if (n < 2)
		return;
	for (unsigned int i = 0; i + 1 < n; ++i) {
		double p = 0;
		for (unsigned int k = ia[i]; k < ia[i + 1]; ++k) {
			const unsigned int c = ja[k];
			if (c < i)
				continue;
			if (c == i) {
				p = 1.0 / data[k];
				continue;
			}
			data[k] *= p;
			const double u = data[k];
			for (unsigned int q = lowerStart[i]; q < lowerStart[i + 1]; ++q) {
				const unsigned int r = lowerRows[q];
				if (r <= i)
					continue;
				// column i comes before column c in row r; a missing (r, c) is fill-in and dropped
				double l = 0;
				for (unsigned int m = ia[r]; m < ia[r + 1]; ++m) {
					const unsigned int col = ja[m];
					if (col == i)
						l = data[m];
					else if (col == c) {
						data[m] -= u * l;
						break;
					}
					else if (col > c)
						break;
				}
			}
		}
	}
}

} // namespace


void zebmk_spmat_csr_multiply(unsigned int n, const double * data, const unsigned int * ia,
							  const unsigned int * ja, const double * b, double * res)
{
	for (unsigned int i = 0; i < n; ++i) {
		double sum = 0;
		for (unsigned int k = ia[i]; k < ia[i + 1]; ++k)
			sum += data[k] * b[ja[k]];
		res[i] = sum;
	}
}


void zebmk_spmat_csr_ilu_symm(unsigned int n, const unsigned int * ia, const unsigned int * ja, double * data) {
	iluCSR(n, ia, ja, ia, ja, data);
}


void zebmk_spmat_csr_ilu_asymm(unsigned int n, const unsigned int * ia, const unsigned int * ja,
							   const unsigned int * iaT, const unsigned int * jaT, double * data)
{
	iluCSR(n, ia, ja, iaT, jaT, data);
}


void zebmk_spmat_csr_backsolve(unsigned int n, const unsigned int * ia, const unsigned int * ja,
							   const double * data, double * b)
{
	// forward, L*y = b: subtract the columns before the diagonal, then divide by it
	for (unsigned int i = 0; i < n; ++i) {
		double bi = b[i];
		for (unsigned int k = ia[i]; k < ia[i + 1]; ++k) {
			const unsigned int c = ja[k];
			if (c < i)
				bi -= data[k] * b[c];
			else {
				if (c == i)
					bi /= data[k];
				break;
			}
		}
		b[i] = bi;
	}
	// backward, U*x = y with the unit diagonal
	for (unsigned int i = n > 0 ? n - 1 : 0; i-- > 0;) {
		double bi = b[i];
		for (unsigned int k = ia[i]; k < ia[i + 1]; ++k) {
			const unsigned int c = ja[k];
			if (c > i)
				bi -= data[k] * b[c];
		}
		b[i] = bi;
	}
}

} // namespace ZEBMK
