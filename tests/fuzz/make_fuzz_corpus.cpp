// Writes the seed corpora of the fuzz targets: valid blobs and snapshots, one file each, into
// DIR/<target>/ (the committed ones are tests/fuzz/corpus). Run it again after a change of a blob
// or snapshot layout:  make_fuzz_corpus tests/fuzz/corpus

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BlobFuzzing.h"
#include "FuzzHeatChain.h"
#include "FuzzSupport.h"
#include "IntegratorSnapshotRig.h"
#include "KADRIX_JacobianDense.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "MatrixSeeds.h"

namespace {

std::filesystem::path g_root;

void write(const std::string & target, const std::string & name, const std::vector<std::uint8_t> & bytes) {
	const std::filesystem::path dir = g_root / target;
	std::filesystem::create_directories(dir);
	std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
	out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
	if (!out)
		throw std::runtime_error("cannot write " + (dir / name).string());
}

void matrixSeeds() {
	using BlobFuzzing::blobOf;
	ZEBMK::DenseMatrix dense = MatrixSeeds::dense();
	write("matrix_blob", "dense", blobOf(dense));
	dense.lu();
	write("matrix_blob", "dense-factorised", blobOf(dense));
	ZEBMK::BandMatrix band = MatrixSeeds::band();
	write("matrix_blob", "band", blobOf(band));
	band.lu();
	write("matrix_blob", "band-factorised", blobOf(band));
	write("matrix_blob", "sparse", blobOf(MatrixSeeds::sparse()));
	write("matrix_blob", "sparse-transposed", blobOf(MatrixSeeds::sparseTransposed()));
	write("matrix_blob", "block-tridiagonal", blobOf(MatrixSeeds::blockTridiag()));
}

void jacobianSeeds() {
	FuzzSupport::HeatChain model(3);
	std::vector<double> ydot(3);
	model.ydot(ydot.data());
	KADRIX::JacobianDense dense;
	dense.init(&model);
	dense.setup(0, model.y0(), ydot.data(), nullptr, 0.1);
	write("jacobian_blob", "dense", BlobFuzzing::blobOf(dense));

	std::vector<unsigned int> ia, ja;
	MatrixSeeds::tridiagonalPattern(ia, ja);
	FuzzSupport::HeatChain four(4);
	ydot.resize(4);
	four.ydot(ydot.data());
	KADRIX::JacobianSparseCSR sparse(4, static_cast<unsigned int>(ja.size()), ia.data(), ja.data());
	sparse.init(&four);
	sparse.setup(0, four.y0(), ydot.data(), nullptr, 0.1);
	write("jacobian_blob", "sparse", BlobFuzzing::blobOf(sparse));
}

/*! The configuration byte and the rig's snapshot, checked to restore into a fresh rig, which must
	then step on: a seed the target refuses would fuzz nothing but the refusal. */
std::vector<std::uint8_t> snapshot(IntegratorSnapshotRig & rig, unsigned char config) {
	std::vector<std::uint8_t> bytes(1 + rig.size(), config);
	void * p = bytes.data() + 1;
	rig.save(p);
	if (p != bytes.data() + bytes.size())
		throw std::runtime_error("snapshot size differs from the bytes written");
	IntegratorSnapshotRig fresh(config);
	p = bytes.data() + 1;
	fresh.restore(p, bytes.data() + bytes.size());
	if (p != bytes.data() + bytes.size() || fresh.integrator().step() != 1)
		throw std::runtime_error("a fresh integrator does not go on from the snapshot");
	return bytes;
}

void snapshotSeeds() {
	const char * names[] = {"dense", "band", "gmres", "gmres-band-precond"};
	for (unsigned char config = 0; config < 4; ++config) {
		IntegratorSnapshotRig rig(config);
		if (config <= IntegratorSnapshotRig::V_BAND)
			write("integrator_snapshot", std::string(names[config]) + "-initial", snapshot(rig, config));
		for (int i = 0; i < 10; ++i)
			if (rig.integrator().step() != 1)
				throw std::runtime_error("a seed run failed");
		write("integrator_snapshot", std::string(names[config]) + "-10-steps", snapshot(rig, config));
	}
	const unsigned char config = IntegratorSnapshotRig::V_GMRES | IntegratorSnapshotRig::STAB_LIM_DET;
	IntegratorSnapshotRig rig(config);
	for (int i = 0; i < 10; ++i)
		rig.integrator().step();
	write("integrator_snapshot", "gmres-stability-limit-detection-10-steps", snapshot(rig, config));
}

} // namespace


int main(int argc, char * argv[]) {
	if (argc != 2) {
		std::fprintf(stderr, "Usage: %s DIR\nWrites the fuzz targets' seed corpora into DIR/<target>/.\n", argv[0]);
		return 2;
	}
	FuzzSupport::silence();
	g_root = argv[1];
	try {
		matrixSeeds();
		jacobianSeeds();
		snapshotSeeds();
	}
	catch (std::exception & ex) {
		std::fprintf(stderr, "%s\n", ex.what());
		return 1;
	}
	return 0;
}
