// Fuzz target of the Jacobian blobs (JacobianDense, JacobianSparseCSR): every input is
// deserialized into a Jacobian of the seed's shape bound to a model, and recreated into a fresh
// one. An accepted Jacobian must round-trip (the dense one; the sparse one may gain a transposed
// index) and then compute: a product, and after init() for the restored size a new setup().

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "BlobFuzzing.h"
#include "FuzzHeatChain.h"
#include "FuzzSupport.h"
#include "KADRIX_JacobianDense.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "MatrixSeeds.h"

using BlobFuzzing::readBlob;
using FuzzSupport::HeatChain;

namespace {

/*! Restored Jacobians up to this size are driven by a model: setup() costs n model evaluations. */
const unsigned int MAX_DRIVEN_SIZE = 64;

/*! Product and a fresh setup() at the model's initial state; setup() must succeed. */
void drive(KADRIX::JacobianInterface & jacobian, HeatChain & model) {
	const unsigned int n = model.n();
	std::vector<double> v(n, 1.0), Jv(n), ydot(n);
	jacobian.jacTimesVec(v.data(), Jv.data());
	model.setY(model.y0());
	model.ydot(ydot.data());
	if (jacobian.setup(0, model.y0(), ydot.data(), nullptr, 0.1) != 0)
		std::abort();
}

void dense(const std::vector<std::uint8_t> & input) {
	HeatChain seedModel(MatrixSeeds::dense().n());
	KADRIX::JacobianDense bound;
	bound.init(&seedModel);
	const std::vector<std::uint8_t> boundBlob = BlobFuzzing::blobOf(bound);
	if (readBlob(input, bound, [&](void *& p, const void * end) { bound.deserialize(p, end); }, &boundBlob) != 0)
		drive(bound, seedModel);

	KADRIX::JacobianDense restored;
	const std::vector<std::uint8_t> emptyBlob = BlobFuzzing::blobOf(restored);
	const std::size_t consumed =
		readBlob(input, restored, [&](void *& p, const void * end) { restored.recreate(p, end); }, &emptyBlob);
	if (consumed == 0)
		return;
	BlobFuzzing::expectRoundTrip(input, consumed, restored);
	std::vector<double> v(restored.n(), 1.0), Jv(restored.n());
	restored.jacTimesVec(v.data(), Jv.data());
	if (restored.n() == 0 || restored.n() > MAX_DRIVEN_SIZE)
		return;
	// a recreated Jacobian of another size is refused until init() binds a model of its size
	HeatChain model(restored.n());
	KADRIX::JacobianDense sameSize;
	sameSize.init(&model);
	if (readBlob(input, sameSize, [&](void *& p, const void * end) { sameSize.deserialize(p, end); }) != consumed)
		std::abort();
	drive(sameSize, model);
}

void sparse(const std::vector<std::uint8_t> & input) {
	std::vector<unsigned int> ia, ja;
	MatrixSeeds::tridiagonalPattern(ia, ja);
	const unsigned int n = static_cast<unsigned int>(ia.size() - 1);
	HeatChain seedModel(n);
	KADRIX::JacobianSparseCSR bound(n, static_cast<unsigned int>(ja.size()), ia.data(), ja.data());
	bound.init(&seedModel);
	const std::vector<std::uint8_t> boundBlob = BlobFuzzing::blobOf(bound);
	if (readBlob(input, bound, [&](void *& p, const void * end) { bound.deserialize(p, end); }, &boundBlob) != 0) {
		// colour groups and storage positions were made for the pattern, which must not change
		if (bound.jacobian()->ia() != ia || bound.jacobian()->ja() != ja)
			std::abort();
		drive(bound, seedModel);
	}

	KADRIX::JacobianSparseCSR restored(n, static_cast<unsigned int>(ja.size()), ia.data(), ja.data());
	const std::vector<std::uint8_t> seedBlob = BlobFuzzing::blobOf(restored);
	if (readBlob(input, restored, [&](void *& p, const void * end) { restored.recreate(p, end); }, &seedBlob) == 0)
		return;
	const unsigned int restoredN = restored.jacobian()->n();
	std::vector<double> v(restoredN, 1.0), Jv(restoredN);
	restored.jacTimesVec(v.data(), Jv.data());
	if (restoredN > MAX_DRIVEN_SIZE)
		return;
	HeatChain model(restoredN);
	restored.init(&model);
	drive(restored, model);
}

} // namespace


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size) {
	FuzzSupport::silence();
	const std::vector<std::uint8_t> input(data, data + size);
	dense(input);
	sparse(input);
	return 0;
}
