// Fuzz target of the matrix blobs (dense, band, sparse CSR, block-tridiagonal): every input goes
// to each matrix's recreate() (any shape) and deserialize() (the seed shape; the tag byte picks
// the reader that gets past its first check). An accepted matrix must round-trip and survive
// its kernels: product, and back-substitution with the restored pivots, LU and solution.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "BlobFuzzing.h"
#include "FuzzSupport.h"
#include "MatrixSeeds.h"

using BlobFuzzing::expectRoundTrip;
using BlobFuzzing::readBlob;

namespace {

template <typename M>
auto recreateInto(M & m) {
	return [&m](void *& p, const void * end) { m.recreate(p, end); };
}

template <typename M>
auto deserializeInto(M & m) {
	return [&m](void *& p, const void * end) { m.deserialize(p, end); };
}

/*! Deserializes into a matrix of a seed's shape; a refused blob must leave it unchanged when the
	reader promises that (keepsValues). */
template <typename M>
void deserializeSeedShape(const std::vector<std::uint8_t> & input, M seedShape, bool keepsValues) {
	const std::vector<std::uint8_t> seedBlob = BlobFuzzing::blobOf(seedShape);
	readBlob(input, seedShape, deserializeInto(seedShape), keepsValues ? &seedBlob : nullptr);
}

/*! Recreates into the empty matrix m and, when that succeeds, deserializes the same bytes into a
	copy of it, which must succeed too. Returns the row count (blocks for the block-tridiagonal
	matrix) of the restored matrix, or -1 when the blob was refused. */
template <typename M>
long recreate(const std::vector<std::uint8_t> & input, M & m) {
	const std::vector<std::uint8_t> emptyBlob = BlobFuzzing::blobOf(m);
	const std::size_t consumed = readBlob(input, m, recreateInto(m), &emptyBlob);
	if (consumed == 0)
		return -1;
	expectRoundTrip(input, consumed, m);
	M sameShape(m);
	if (readBlob(input, sameShape, deserializeInto(sameShape)) != consumed)
		std::abort();
	expectRoundTrip(input, consumed, sameShape);
	return static_cast<long>(m.n());
}

void dense(const std::vector<std::uint8_t> & input) {
	// a failed deserialize may have overwritten values (documented), so only the shape is kept
	deserializeSeedShape(input, MatrixSeeds::dense(), false);
	ZEBMK::DenseMatrix m;
	const long n = recreate(input, m);
	if (n < 0)
		return;
	std::vector<double> b(static_cast<std::size_t>(n), 1.0), res(static_cast<std::size_t>(n));
	m.multiply(b.data(), res.data());
	m.backsolve(b.data());
	if (m.lu() == 0)
		m.backsolve(res.data());
}

void band(const std::vector<std::uint8_t> & input) {
	deserializeSeedShape(input, MatrixSeeds::band(), true);
	ZEBMK::BandMatrix m;
	const long n = recreate(input, m);
	if (n < 0)
		return;
	std::vector<double> b(static_cast<std::size_t>(n), 1.0), res(static_cast<std::size_t>(n));
	m.multiply(b.data(), res.data());
	m.backsolve(b.data());
	try {
		if (m.lu() == 0)
			m.backsolve(res.data());
	}
	catch (ZEB::Exception &) {
		// an empty matrix or too little fill-in room: refused by lu()
	}
}

void sparse(const std::vector<std::uint8_t> & input) {
	deserializeSeedShape(input, MatrixSeeds::sparse(), true);
	deserializeSeedShape(input, MatrixSeeds::sparseTransposed(), true);
	ZEBMK::SparseMatrixCSR m;
	const long n = recreate(input, m);
	if (n < 0)
		return;
	std::vector<double> b(static_cast<std::size_t>(n), 1.0), res(static_cast<std::size_t>(n));
	m.multiply(b.data(), res.data());
}

void blockTridiag(const std::vector<std::uint8_t> & input) {
	deserializeSeedShape(input, MatrixSeeds::blockTridiag(), true);
	ZEBMK::BlockTridiagMatrix m;
	if (recreate(input, m) < 0)
		return;
	const std::size_t rows = static_cast<std::size_t>(m.n()) * m.m();
	std::vector<double> b(rows, 1.0), res(rows);
	m.multiply(b.data(), res.data());
	if (m.lu() == 0)
		m.backsolve(res.data());
}

} // namespace


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size) {
	FuzzSupport::silence();
	const std::vector<std::uint8_t> input(data, data + size);
	dense(input);
	band(input);
	sparse(input);
	blockTridiag(input);
	return 0;
}
