#include "sundials_btridiag.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "ZEBMKC_tridiag_matrix.h"

namespace {

// The kernels count in int: N*M values per vector and M*M per block must fit.
bool validSizes(long N, long M) {
	return N >= 1 && M >= 1 && N <= INT_MAX / M && M <= INT_MAX / M;
}

std::size_t blockSize(long M) {
	return static_cast<std::size_t>(M) * static_cast<std::size_t>(M);
}

std::size_t valueCount(long N, long M) {
	return 3 * static_cast<std::size_t>(N) * blockSize(M);
}

bool isBTridiag(SUNDlsMat A) {
	return A != nullptr && A->type == SUNDIALS_BTRIDIAG;
}

// Element (i, j) of a record when it is stored; false outside the structure.
bool storedElement(SUNDlsMat A, long i, long j, double & value) {
	switch (A->type) {
		case SUNDIALS_DENSE :
			value = A->cols[j][i];
			return true;
		case SUNDIALS_BAND :
			if (i < j - A->mu || i > j + A->ml)
				return false;
			value = A->cols[j][i - j + A->s_mu];
			return true;
		default : {
			const long N = A->N;
			const long M = A->M;
			const long I = i / M;
			const long J = j / M;
			long block = -1;
			if (J == I)
				block = N + I;
			else if (J == I - 1 || (I == 0 && J == 2 && N >= 3))
				block = I;
			else if (J == I + 1 || (I == N - 1 && J == N - 3 && N >= 3))
				block = 2 * N + I;
			if (block < 0)
				return false;
			value = A->cols[block][(j % M) * M + i % M];
			return true;
		}
	}
}

long rowCount(SUNDlsMat A) {
	return A->type == SUNDIALS_BTRIDIAG ? A->N * A->M : A->M;
}

long columnCount(SUNDlsMat A) {
	return A->type == SUNDIALS_BTRIDIAG ? A->N * A->M : A->N;
}

void writeMatrix(std::FILE * out, SUNDlsMat A, const char * filler) {
	std::fprintf(out, "\n");
	const long rows = rowCount(A);
	const long columns = columnCount(A);
	for (long i = 0; i < rows; ++i) {
		long last = -1;
		double value = 0;
		for (long j = columns - 1; j >= 0 && last < 0; --j)
			if (storedElement(A, i, j, value))
				last = j;
		for (long j = 0; j <= last; ++j) {
			if (storedElement(A, i, j, value))
				std::fprintf(out, "%12g  ", value);
			else
				std::fprintf(out, "%12s  ", filler);
		}
		std::fprintf(out, "\n");
	}
	std::fprintf(out, "\n");
}

} // namespace


extern "C" {

realtype ** newBTridiagMat(long N, long M) {
	if (!validSizes(N, M))
		return nullptr;
	realtype ** cols = static_cast<realtype **>(std::malloc(3 * static_cast<std::size_t>(N) * sizeof(realtype *)));
	if (cols == nullptr)
		return nullptr;
	cols[0] = static_cast<realtype *>(std::calloc(valueCount(N, M), sizeof(realtype)));
	if (cols[0] == nullptr) {
		std::free(cols);
		return nullptr;
	}
	for (long k = 1; k < 3 * N; ++k)
		cols[k] = cols[0] + static_cast<std::size_t>(k) * blockSize(M);
	return cols;
}


void destroyBTridiagMat(realtype ** cols) {
	if (cols == nullptr)
		return;
	std::free(cols[0]);
	std::free(cols);
}


SUNDlsMat NewBTridiagMat(long N, long M) {
	SUNDlsMat A = static_cast<SUNDlsMat>(std::malloc(sizeof(*A)));
	if (A == nullptr)
		return nullptr;
	A->cols = newBTridiagMat(N, M);
	if (A->cols == nullptr) {
		std::free(A);
		return nullptr;
	}
	A->type = SUNDIALS_BTRIDIAG;
	A->M = M;
	A->N = N;
	A->ldim = 0;
	A->mu = 0;
	A->ml = 0;
	A->s_mu = 0;
	A->data = A->cols[0];
	A->ldata = static_cast<sunindextype>(valueCount(N, M));
	return A;
}


void DestroyBTridiagMat(SUNDlsMat A) {
	if (A == nullptr)
		return;
	destroyBTridiagMat(A->cols);
	std::free(A);
}


void BTridiagSetToZero(SUNDlsMat A) {
	std::fill(A->data, A->data + A->ldata, 0.0);
}


void btridiagAddIdentity(realtype ** cols, long N, long M) {
	for (long k = 0; k < N; ++k)
		for (long i = 0; i < M; ++i)
			cols[N + k][i * M + i] += 1.0;
}


void BTridiagAddIdentity(SUNDlsMat A) {
	btridiagAddIdentity(A->cols, A->N, A->M);
}


void btridiagCopy(realtype ** a, realtype ** b, long N, long M) {
	std::copy(a[0], a[0] + valueCount(N, M), b[0]);
}


void BTridiagCopy(SUNDlsMat A, SUNDlsMat B) {
	btridiagCopy(A->cols, B->cols, A->N, A->M);
}


void btridiagScale(realtype ** cols, long N, long M, realtype c) {
	realtype * const end = cols[0] + valueCount(N, M);
	for (realtype * v = cols[0]; v != end; ++v)
		*v *= c;
}


void BTridiagScale(SUNDlsMat A, realtype c) {
	btridiagScale(A->cols, A->N, A->M, c);
}


void btridiagMult(realtype ** cols, long N, long M, const realtype * x, realtype * y) {
	if (!validSizes(N, M))
		return;
	ZEBMK::zebmk_btridiag_vec_mult(static_cast<int>(N), static_cast<int>(M), cols, cols + N, cols + 2 * N, x, y);
}


void BTridiagMult(SUNDlsMat A, const realtype * x, realtype * y) {
	btridiagMult(A->cols, A->N, A->M, x, y);
}


int btridiagBTTRF(realtype ** cols, long N, long M, long * p) {
	if (!validSizes(N, M))
		return -1;
	const int n = static_cast<int>(N);
	const int m = static_cast<int>(M);
	if (p == nullptr)
		return ZEBMK::zebmk_btridiag_LU(n, m, cols, cols + N, cols + 2 * N);
	return ZEBMK::zebmk_btridiag_LU_pivot(n, m, cols, cols + N, cols + 2 * N, p);
}


int BTridiagBTTRF(SUNDlsMat A, long * p) {
	if (!isBTridiag(A))
		return -1;
	return btridiagBTTRF(A->cols, A->N, A->M, p);
}


void btridiagBTTRS(realtype ** cols, long N, long M, const long * p, realtype * b) {
	if (!validSizes(N, M))
		return;
	const int n = static_cast<int>(N);
	const int m = static_cast<int>(M);
	if (p == nullptr)
		ZEBMK::zebmk_btridiag_backsolve(n, m, cols, cols + N, cols + 2 * N, b);
	else
		ZEBMK::zebmk_btridiag_backsolve_pivot(n, m, cols, cols + N, cols + 2 * N, p, b);
}


void BTridiagBTTRS(SUNDlsMat A, const long * p, realtype * b) {
	if (!isBTridiag(A))
		return;
	btridiagBTTRS(A->cols, A->N, A->M, p, b);
}


int tridiagGTTRF(realtype ** cols, long N) {
	return btridiagBTTRF(cols, N, 1, nullptr);
}


void tridiagGTTRS(realtype ** cols, long N, realtype * b) {
	btridiagBTTRS(cols, N, 1, nullptr, b);
}


void BTridiagPrintMat(SUNDlsMat A) {
	writeMatrix(stdout, A, "");
}


int SaveMat(SUNDlsMat A, const char * fileName) {
	if (A == nullptr || A->type < SUNDIALS_DENSE || A->type > SUNDIALS_BTRIDIAG || fileName == nullptr)
		return -1;
	std::FILE * out = std::fopen(fileName, "w");
	if (out == nullptr)
		return -1;
	writeMatrix(out, A, "0");
	std::fclose(out);
	return 0;
}

} // extern "C"
