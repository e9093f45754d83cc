// Writes the seed corpora of the fuzz targets: valid blobs and snapshots, one file each, into
// DIR/<target>/ (the committed ones are tests/fuzz/corpus; every build also writes them into its
// fuzz-seeds folder). Run it again after a change of a blob or snapshot layout:
//   make_fuzz_corpus tests/fuzz/corpus
// The text file seeds of the file readers are committed as they are; this writes the binary
// climate files and the project documents, which come from the writers, and the FMU states of the
// example room, which come from real runs: run it again after a change of the FMU state, the
// example room or the FMU's build fingerprint.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "BlobFuzzing.h"
#include "FuzzFMU.h"
#include "FuzzFiles.h"
#include "FuzzHeatChain.h"
#include "FuzzSupport.h"
#include "IntegratorSnapshotRig.h"
#include "KADRIX_JacobianDense.h"
#include "KADRIX_JacobianSparseCSR.h"
#include "MatrixSeeds.h"
#include "OVM_ClimateDataLoader.h"
#include "ProjectSeeds.h"

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

/*! The configuration byte and the file. */
std::vector<std::uint8_t> withConfig(unsigned char config, const std::vector<std::uint8_t> & file) {
	std::vector<std::uint8_t> bytes(1 + file.size(), config);
	std::copy(file.begin(), file.end(), bytes.begin() + 1);
	return bytes;
}

/*! A binary climate file of two days of hourly values, the whole file and for the header only. */
void climateSeeds() {
	OVM::ClimateDataLoader loader;
	loader.m_city = "Potsdam";
	loader.m_country = "Germany";
	loader.m_latitude = 52.38;
	loader.m_longitude = 13.07;
	loader.m_timeZone = 1;
	const unsigned int hours = 48;
	for (unsigned int i = 0; i < hours; ++i) {
		loader.m_dataTimePoints.push_back(3600.0*i);
		for (unsigned int c = 0; c < OVM::ClimateDataLoader::NumClimateComponents; ++c)
			loader.m_data[c].push_back(c == OVM::ClimateDataLoader::AirPressure ? 101325 : 10.0*c + i % 24);
	}
	const std::filesystem::path file = std::filesystem::path(FuzzFiles::directory()) / "make_fuzz_corpus.c6b";
	loader.writeClimateDataZEB(file.string());
	// a seed the reader refuses would fuzz nothing but the refusal
	OVM::ClimateDataLoader back;
	back.readClimateData(file.string());
	std::ifstream in(file, std::ios::binary);
	const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
	std::filesystem::remove(file);
	write("climate_file", "c6b-series", withConfig('0', bytes));
	write("climate_file", "c6b-header", withConfig('8', bytes));
}

/*! The project documents of the default room, read into an empty database, and of a varied room,
	read into one that holds its items already; the four database files of the room's items. */
void projectSeeds() {
	const RX::Database db = ProjectSeeds::database();
	const QByteArray plain = ProjectSeeds::document(RX::Room(), db);
	const QByteArray varied = ProjectSeeds::document(ProjectSeeds::variedRoom(), db);
	const auto bytes = [](const QByteArray & a) { return std::vector<std::uint8_t>(a.begin(), a.end()); };
	write("project_file", "default-room", withConfig('0', bytes(plain)));
	write("project_file", "varied-room-into-filled-database", withConfig('1', bytes(varied)));

	const std::filesystem::path dir = std::filesystem::path(FuzzFiles::directory()) / "make_fuzz_corpus-db";
	db.writeDatabase(QString::fromStdString(dir.string()));
	const char * const files[] = {"db_materials.xml", "db_constructions.xml", "db_shadingTypes.xml", "db_windows.xml"};
	for (unsigned char kind = 0; kind < 4; ++kind) {
		std::ifstream in(dir / files[kind], std::ios::binary);
		const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
		if (file.empty())
			throw std::runtime_error(std::string("no database file ") + files[kind]);
		write("project_file", files[kind], withConfig(static_cast<unsigned char>('2' + kind), file));
	}
	std::filesystem::remove_all(dir);
}

/*! Writes a state of the example room, checked to restore into a fresh instance that then steps
	on: a seed the target refuses would fuzz nothing but the refusal. */
void fmuState(const std::string & name, const std::vector<char> & state, const std::string & resultsRoot) {
	FuzzFMU::ExampleRoom fresh(resultsRoot);
	fmi2FMUstate s = nullptr;
	if (fmi2DeSerializeFMUstate(fresh.m_c, state.data(), state.size(), &s) != fmi2OK ||
		fmi2SetFMUstate(fresh.m_c, s) != fmi2OK || fmi2FreeFMUstate(fresh.m_c, &s) != fmi2OK || fresh.step() != fmi2OK)
		throw std::runtime_error("the example room does not go on from its state " + name);
	write("fmu_state", name, std::vector<std::uint8_t>(state.begin(), state.end()));
}

/*! States of the example room from real runs: at the start, after an hour, and after a day
	with a convective load of 2 kW. */
void fmuStateSeeds() {
	const std::filesystem::path dir = std::filesystem::path(FuzzFiles::directory()) / "make_fuzz_corpus-fmu";
	const std::string resultsRoot = (dir / "results").string();
	{
		FuzzFMU::ExampleRoom room(resultsRoot);
		fmuState("start", room.serializedState(), resultsRoot);
		for (int i = 0; i < 4; ++i)
			if (room.step() != fmi2OK)
				throw std::runtime_error("the example room does not step");
		fmuState("after-1-hour", room.serializedState(), resultsRoot);
		const fmi2ValueReference convective = 2001;
		const double load = 2000;
		if (fmi2SetReal(room.m_c, &convective, 1, &load) != fmi2OK)
			throw std::runtime_error("the example room takes no load");
		for (int i = 0; i < 4*23; ++i)
			if (room.step() != fmi2OK)
				throw std::runtime_error("the example room does not step");
		fmuState("after-1-day-with-2-kW-load", room.serializedState(), resultsRoot);
	}
	std::filesystem::remove_all(dir);
}

/*! The configuration byte, the instance name, a zero byte and the resource location. */
void instantiateSeed(const std::string & file, unsigned char config, const std::string & name, const std::string & location) {
	std::vector<std::uint8_t> bytes(1, config);
	bytes.insert(bytes.end(), name.begin(), name.end());
	bytes.push_back(0);
	bytes.insert(bytes.end(), location.begin(), location.end());
	write("fmu_instantiate", file, bytes);
}

/*! The names and locations hosts send, and the kinds of location the FMU refuses. */
void instantiateSeeds() {
	instantiateSeed("cs-instance1", 2, "instance1", "file:///tmp/room/resources/");
	instantiateSeed("me-checker", 3, "Test FMI 2.0 ME", "file:///tmp/r%C3%A4ume%20%25x/resources");
	instantiateSeed("localhost-plain-path", 0, "CalovindaFMI2", "/tmp/100%25%20#1/resources");
	instantiateSeed("localhost", 2, "room", "file://localhost/tmp/res");
	instantiateSeed("other-host", 2, "room%s#r12#", "file://localhostevil/dir");
	instantiateSeed("other-scheme", 2, "room", "http://x/dir/resources");
	instantiateSeed("no-name", 2, "", "file:///tmp");
	instantiateSeed("escaped-slash", 2, "instance1", "file:///tmp/res/a%2Fb");
	// found by fuzzing: a path above the root, and marks behind a lead byte without continuation
	instantiateSeed("above-the-root", 0, "CalovindaFMI2", "/..//t10/resources");
	instantiateSeed("blank-before-parent", 0, "CalovindaFMI2", "/t/a /b/../");
	instantiateSeed("stray-lead-byte", 3, "Test FMI 2.0 ME", "fil\xE5%21%25x/resources");
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
		climateSeeds();
		projectSeeds();
		fmuStateSeeds();
		instantiateSeeds();
	}
	catch (ZEB::Exception & ex) {
		std::fprintf(stderr, "%s\n", ex.msgStack().c_str());
		return 1;
	}
	catch (std::exception & ex) {
		std::fprintf(stderr, "%s\n", ex.what());
		return 1;
	}
	return 0;
}
