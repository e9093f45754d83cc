#include "ZEBMKC_sparse_matrix.h"

#include <algorithm>
#include <cstddef>

#include "ZEBMKC_dense_matrix.h"

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


void zebmk_spmat_csr_diagonal(unsigned int n, const unsigned int * ia, const unsigned int * ja, unsigned int * diag) {
	for (unsigned int i = 0; i < n; ++i) {
		unsigned int k = ia[i];
		while (k < ia[i + 1] && ja[k] < i)
			++k;
		diag[i] = k;
	}
}


void zebmk_spmat_csr_backsolve_diag(unsigned int n, const unsigned int * __restrict ia,
									const unsigned int * __restrict ja, const unsigned int * __restrict diag,
									const double * __restrict data, const double * __restrict rdiag,
									double * __restrict b)
{
	// Each row waits for its neighbour's result (the walls' rows are tridiagonal): that value is
	// taken from a register rather than loaded back from b just after its store, which shortens the
	// chain of dependent operations by a third. The terms are subtracted in the same order.
	// forward, L*y = b: the elements before the diagonal, then its reciprocal
	double previous = 0;
	for (unsigned int i = 0; i < n; ++i) {
		double bi = b[i];
		unsigned int kEnd = diag[i];
		const bool neighbour = kEnd > ia[i] && ja[kEnd - 1] + 1 == i;
		if (neighbour)
			--kEnd;
		for (unsigned int k = ia[i]; k < kEnd; ++k)
			bi -= data[k] * b[ja[k]];
		if (neighbour)
			bi -= data[kEnd] * previous;
		previous = bi * rdiag[i];
		b[i] = previous;
	}
	// backward, U*x = y with the unit diagonal: the elements after it
	double next = n > 0 ? b[n - 1] : 0;
	for (unsigned int i = n > 0 ? n - 1 : 0; i-- > 0;) {
		double bi = b[i];
		unsigned int k = diag[i] + 1;
		const unsigned int kEnd = ia[i + 1];
		if (k < kEnd && ja[k] == i + 1) {
			bi -= data[k] * next;
			++k;
		}
		for (; k < kEnd; ++k)
			bi -= data[k] * b[ja[k]];
		b[i] = bi;
		next = bi;
	}
}


namespace {

// The block arithmetic of the EID kernels for one block size: factor() factorises a diagonal
// block in place, solve() and solveBlock() apply its inverse to a sub-vector and to a block,
// mulSub(), vecSub() and vecAdd() compute C -= A*X, y -= A*x and y += A*x. One body per kernel
// serves every block size; constant sizes let the compiler unroll it.

// Numbers as 1 x 1 blocks, in the operation order of the CSR kernels: the ILU multiplies by the
// reciprocal pivot, the solution divides by the pivot.
struct Scalar {
	double reciprocal = 0;	// of the pivot last factorised; solveBlock() runs after factor() of its row
	static constexpr unsigned int size() { return 1; }
	void factor(double * d) { reciprocal = 1.0 / *d; }
	static void solve(const double * d, double * x) { *x /= *d; }
	void solveBlock(const double *, double * x) const { *x *= reciprocal; }
	static void mulSub(const double * a, const double * x, double * c) { *c -= *x * *a; }
	static void vecSub(const double * a, const double * x, double * y) { *y -= *a * *x; }
	static void vecAdd(const double * a, const double * x, double * y) { *y += *a * *x; }
};

// 2 x 2 blocks with the diagonal block in Crout form (L with the diagonal, unit U).
struct Block2 {
	static constexpr unsigned int size() { return 2; }
	static void factor(double * d) {
		d[2] /= d[0];
		d[3] -= d[1] * d[2];
	}
	static void solve(const double * d, double * x) {
		x[0] /= d[0];
		x[1] = (x[1] - d[1] * x[0]) / d[3];
		x[0] -= d[2] * x[1];
	}
	static void solveBlock(const double * d, double * x) {
		solve(d, x);
		solve(d, x + 2);
	}
	static void mulSub(const double * a, const double * x, double * c) { zebmk_dense_mat_mult_sub2(a, x, c); }
	static void vecSub(const double * a, const double * x, double * y) { zebmk_dense_vec_mult_sub2(a, x, y); }
	static void vecAdd(const double * a, const double * x, double * y) { dense_vec_mult_add2(a, x, y); }
};

// The 2 x 2 block ILU with every entry written out (the "Misch" member): both pivots of the Crout
// factors are kept as reciprocals, and each entry of C -= A*X takes its two mixed terms at once.
// Same factors as Block2, so Block2 solves with them.
struct Block2Entries {
	double p0 = 0, p1 = 0;	// reciprocals of the pivots of the diagonal block last factorised
	static constexpr unsigned int size() { return 2; }
	void factor(double * d) {
		p0 = 1.0 / d[0];
		d[2] *= p0;
		d[3] -= d[1] * d[2];
		p1 = 1.0 / d[3];
	}
	void solveBlock(const double * d, double * x) const {
		x[0] *= p0;
		x[2] *= p0;
		x[1] = (x[1] - d[1] * x[0]) * p1;
		x[3] = (x[3] - d[1] * x[2]) * p1;
		x[0] -= d[2] * x[1];
		x[2] -= d[2] * x[3];
	}
	static void mulSub(const double * a, const double * x, double * c) {
		c[0] -= a[0] * x[0] + a[2] * x[1];
		c[1] -= a[1] * x[0] + a[3] * x[1];
		c[2] -= a[0] * x[2] + a[2] * x[3];
		c[3] -= a[1] * x[2] + a[3] * x[3];
	}
};

// 3 x 3 blocks, factorised by the unpivoted dense LU.
struct Block3 {
	static constexpr unsigned int size() { return 3; }
	static void factor(double * d) { zebmk_dense_LU3(d); }
	static void solve(const double * d, double * x) { zebmk_dense_backsolve3(d, x); }
	static void solveBlock(const double * d, double * x) { zebmk_dense_inverse_mult3(d, x); }
	static void mulSub(const double * a, const double * x, double * c) { zebmk_dense_mat_mult_sub3(a, x, c); }
	static void vecSub(const double * a, const double * x, double * y) { zebmk_dense_vec_mult_sub3(a, x, y); }
	static void vecAdd(const double * a, const double * x, double * y) { dense_vec_mult_add3(a, x, y); }
};

// Blocks of any size b, factorised by the unpivoted dense LU.
struct BlockN {
	int b;
	unsigned int size() const { return static_cast<unsigned int>(b); }
	void factor(double * d) const { zebmk_dense_LU(b, d); }
	void solve(const double * d, double * x) const { zebmk_dense_backsolve(b, d, x); }
	void solveBlock(const double * d, double * x) const { zebmk_dense_inverse_mult(b, d, x); }
	void mulSub(const double * a, const double * x, double * c) const { zebmk_dense_mat_mult_sub(b, a, x, c); }
	void vecSub(const double * a, const double * x, double * y) const { zebmk_dense_vec_mult_sub(b, a, x, y); }
	void vecAdd(const double * a, const double * x, double * y) const { dense_vec_mult_add(b, a, x, y); }
};

// The slots of an EID row before its first padding slot.
inline unsigned int usedSlots(const unsigned int * row, unsigned int e) {
	unsigned int k = 0;
	while (k < e && (k == 0 || row[k] != row[k - 1]))
		++k;
	return k;
}

// y = A*x over block EID storage; E > 0 fixes the slots per row at compile time.
template <unsigned int E, typename Ops>
inline void eidProduct(const Ops & ops, unsigned int n, unsigned int e, const unsigned int * __restrict idx,
					   const double * __restrict values, const double * __restrict x, double * __restrict y)
{
	const unsigned int slots = E > 0 ? E : e;
	const std::size_t b = ops.size(), bb = b * b;
	for (unsigned int i = 0; i < n; ++i) {
		double * yi = y + i * b;
		std::fill_n(yi, b, 0.0);
		const std::size_t first = static_cast<std::size_t>(i) * slots;
		for (unsigned int k = 0; k < slots; ++k)
			ops.vecAdd(values + (first + k) * bb, x + idx[first + k] * b, yi);
	}
}

// Block ILU(0) over EID storage; every row's diagonal block, the last one's included, is factorised.
template <typename Ops>
void eidILU(Ops & ops, unsigned int n, unsigned int e, const unsigned int * idx, double * values) {
	const std::size_t bb = static_cast<std::size_t>(ops.size()) * ops.size();
	for (unsigned int i = 0; i < n; ++i) {
		const std::size_t rowI = static_cast<std::size_t>(i) * e;
		const unsigned int used = usedSlots(idx + rowI, e);
		const double * diag = nullptr;
		for (unsigned int k = 0; k < used; ++k) {
			const unsigned int c = idx[rowI + k];
			if (c < i)
				continue;
			double * x = values + (rowI + k) * bb;
			if (c == i) {
				ops.factor(x);
				diag = x;
				continue;
			}
			ops.solveBlock(diag, x);
			// the rows below i that hold column i are the columns of row i; padding slots are left
			// out, or a row they repeat would be updated twice
			for (unsigned int q = 0; q < used; ++q) {
				const unsigned int r = idx[rowI + q];
				if (r <= i)
					continue;
				const std::size_t rowR = static_cast<std::size_t>(r) * e;
				const double * l = nullptr;
				for (unsigned int m = 0; m < e; ++m) {
					const unsigned int col = idx[rowR + m];
					if (col == i)
						l = values + (rowR + m) * bb;
					else if (col == c) {
						if (l != nullptr)
							ops.mulSub(l, x, values + (rowR + m) * bb);
						break;
					}
					else if (col > c)
						break;	// (r, c) would be fill-in
				}
			}
		}
	}
}

// Solves L*U*x = rhs in place with the factors of eidILU().
template <typename Ops>
void eidBacksolve(const Ops & ops, unsigned int n, unsigned int e, const unsigned int * idx,
				  const double * values, double * rhs)
{
	if (n == 0)
		return;
	const std::size_t b = ops.size(), bb = b * b;
	// forward, L*y = rhs: subtract the blocks before the diagonal, then solve with it
	for (unsigned int i = 0; i < n; ++i) {
		const std::size_t row = static_cast<std::size_t>(i) * e;
		double * ri = rhs + i * b;
		for (unsigned int k = 0; k < e; ++k) {
			const unsigned int c = idx[row + k];
			if (c < i)
				ops.vecSub(values + (row + k) * bb, rhs + c * b, ri);
			else {
				if (c == i)
					ops.solve(values + (row + k) * bb, ri);
				break;
			}
		}
	}
	// backward, U*x = y with unit diagonal blocks; padding blocks add 0
	for (unsigned int i = n - 1; i-- > 0;) {
		const std::size_t row = static_cast<std::size_t>(i) * e;
		double * ri = rhs + i * b;
		for (unsigned int k = 0; k < e; ++k) {
			const unsigned int c = idx[row + k];
			if (c > i)
				ops.vecSub(values + (row + k) * bb, rhs + c * b, ri);
		}
	}
}

} // namespace


void zebmk_spmat_eid_multiply(unsigned int n, unsigned int e, const unsigned int * idx, const double * values,
							  const double * x, double * y)
{
	switch (e) {
		case 5: zebmk_spmat_eid_multiply5(n, idx, values, x, y); return;
		case 7: zebmk_spmat_eid_multiply7(n, idx, values, x, y); return;
		case 10: zebmk_spmat_eid_multiply10(n, idx, values, x, y); return;
		case 14: zebmk_spmat_eid_multiply14(n, idx, values, x, y); return;
		case 15: zebmk_spmat_eid_multiply15(n, idx, values, x, y); return;
		default: eidProduct<0>(Scalar(), n, e, idx, values, x, y);
	}
}
void zebmk_spmat_eid_multiply5(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y) {
	eidProduct<5>(Scalar(), n, 5, idx, values, x, y);
}
void zebmk_spmat_eid_multiply7(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y) {
	eidProduct<7>(Scalar(), n, 7, idx, values, x, y);
}
void zebmk_spmat_eid_multiply10(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y) {
	eidProduct<10>(Scalar(), n, 10, idx, values, x, y);
}
void zebmk_spmat_eid_multiply14(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y) {
	eidProduct<14>(Scalar(), n, 14, idx, values, x, y);
}
void zebmk_spmat_eid_multiply15(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y) {
	eidProduct<15>(Scalar(), n, 15, idx, values, x, y);
}


void zebmk_spmat_eid_ilu(unsigned int n, unsigned int e, const unsigned int * idx, double * values) {
	Scalar ops;
	eidILU(ops, n, e, idx, values);
}


void zebmk_spmat_eid_backsolve(unsigned int n, unsigned int e, const unsigned int * idx, const double * values, double * b) {
	eidBacksolve(Scalar(), n, e, idx, values, b);
}


void zebmk_blockspmat_csr_multiply(unsigned int n, unsigned int b, const double * values, const unsigned int * ia,
								   const unsigned int * ja, const double * x, double * y)
{
	if (b == 1) {
		zebmk_spmat_csr_multiply(n, values, ia, ja, x, y);
		return;
	}
	const std::size_t bb = static_cast<std::size_t>(b) * b;
	for (unsigned int i = 0; i < n; ++i) {
		double * yi = y + static_cast<std::size_t>(i) * b;
		std::fill_n(yi, b, 0.0);
		for (unsigned int k = ia[i]; k < ia[i + 1]; ++k)
			dense_vec_mult_add(static_cast<int>(b), values + k * bb, x + static_cast<std::size_t>(ja[k]) * b, yi);
	}
}


void zebmk_blockspmat_eid_multiply(unsigned int n, unsigned int e, unsigned int b, const unsigned int * idx,
								   const double * values, const double * x, double * y)
{
	switch (b) {
		case 1:
			zebmk_spmat_eid_multiply(n, e, idx, values, x, y);
			return;
		case 2:
			if (e == 5)
				zebmk_blockspmat_eid_multiply10(n, idx, values, x, y);
			else if (e == 7)
				zebmk_blockspmat_eid_multiply14(n, idx, values, x, y);
			else
				zebmk_blockspmat_eid_multiply2(n, e, idx, values, x, y);
			return;
		case 3:
			if (e == 5)
				zebmk_blockspmat_eid_multiply15(n, idx, values, x, y);
			else if (e == 7)
				zebmk_blockspmat_eid_multiply21(n, idx, values, x, y);
			else
				zebmk_blockspmat_eid_multiply3(n, e, idx, values, x, y);
			return;
		default:
			eidProduct<0>(BlockN{static_cast<int>(b)}, n, e, idx, values, x, y);
	}
}
void zebmk_blockspmat_eid_multiply2(unsigned int n, unsigned int e, const unsigned int * idx, const double * values,
									const double * x, double * y)
{
	eidProduct<0>(Block2(), n, e, idx, values, x, y);
}
void zebmk_blockspmat_eid_multiply3(unsigned int n, unsigned int e, const unsigned int * idx, const double * values,
									const double * x, double * y)
{
	eidProduct<0>(Block3(), n, e, idx, values, x, y);
}
void zebmk_blockspmat_eid_multiply10(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y) {
	eidProduct<5>(Block2(), n, 5, idx, values, x, y);
}
void zebmk_blockspmat_eid_multiply14(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y) {
	eidProduct<7>(Block2(), n, 7, idx, values, x, y);
}
void zebmk_blockspmat_eid_multiply15(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y) {
	eidProduct<5>(Block3(), n, 5, idx, values, x, y);
}
void zebmk_blockspmat_eid_multiply21(unsigned int n, const unsigned int * idx, const double * values, const double * x, double * y) {
	eidProduct<7>(Block3(), n, 7, idx, values, x, y);
}


void zebmk_blockspmat_eid_ilu(unsigned int n, unsigned int b, unsigned int e, const unsigned int * idx, double * values) {
	switch (b) {
		case 1: zebmk_spmat_eid_ilu(n, e, idx, values); return;
		case 2: zebmk_blockspmat_eid_ilu2(n, e, idx, values); return;
		case 3: zebmk_blockspmat_eid_ilu3(n, e, idx, values); return;
		default: {
			BlockN ops{static_cast<int>(b)};
			eidILU(ops, n, e, idx, values);
		}
	}
}
void zebmk_blockspmat_eid_ilu2(unsigned int n, unsigned int e, const unsigned int * idx, double * values) {
	Block2 ops;
	eidILU(ops, n, e, idx, values);
}
void zebmk_blockspmat_eid_ilu3(unsigned int n, unsigned int e, const unsigned int * idx, double * values) {
	Block3 ops;
	eidILU(ops, n, e, idx, values);
}
void zebmk_blockspmat_eid_ilu2Misch(unsigned int n, unsigned int e, const unsigned int * idx, double * values) {
	Block2Entries ops;
	eidILU(ops, n, e, idx, values);
}


void zebmk_blockspmat_eid_backsolve(unsigned int n, unsigned int b, unsigned int e, const unsigned int * idx,
									const double * values, double * rhs)
{
	switch (b) {
		case 1: zebmk_spmat_eid_backsolve(n, e, idx, values, rhs); return;
		case 2: zebmk_blockspmat_eid_backsolve2(n, e, idx, values, rhs); return;
		case 3: zebmk_blockspmat_eid_backsolve3(n, e, idx, values, rhs); return;
		default: eidBacksolve(BlockN{static_cast<int>(b)}, n, e, idx, values, rhs);
	}
}
void zebmk_blockspmat_eid_backsolve2(unsigned int n, unsigned int e, const unsigned int * idx, const double * values, double * rhs) {
	eidBacksolve(Block2(), n, e, idx, values, rhs);
}
void zebmk_blockspmat_eid_backsolve3(unsigned int n, unsigned int e, const unsigned int * idx, const double * values, double * rhs) {
	eidBacksolve(Block3(), n, e, idx, values, rhs);
}

} // namespace ZEBMK
