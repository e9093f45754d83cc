#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <nvector/nvector_serial.h>
#include <sundials/sundials_context.h>
#include <sunmatrix/sunmatrix_dense.h>

#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_LESBand.h"
#include "KADRIX_LESGMRES.h"
#include "SolverTestModels.h"
#include "TestSupport.h"
#include "ZEB_Exception.h"
#include "cvode_serialization.h"
#include "sundials_serialization.h"

namespace {

// A SUNDIALS context for the test's own objects.
class Context {
public:
	Context() { SUNContext_Create(nullptr, &m_ctx); }
	~Context() { SUNContext_Free(&m_ctx); }
	SUNContext m_ctx = nullptr;
};

} // namespace

TEST(SundialsSerialization, WritesVectorsAndMatrices) {
	Context c;
	N_Vector v = N_VNew_Serial(3, c.m_ctx);
	for (int i = 0; i < 3; ++i)
		NV_Ith_S(v, i) = i + 0.5;
	std::vector<char> buf(8 + 24);
	void * p = buf.data();
	EXPECT_EQ(SerializeNVector(&p, v), 32);
	EXPECT_EQ(static_cast<char *>(p), buf.data() + 32);

	N_Vector back = N_VNew_Serial(3, c.m_ctx);
	p = buf.data();
	EXPECT_EQ(DeSerializeNVector(&p, back), 32);
	EXPECT_EQ(NV_Ith_S(back, 2), 2.5);

	// a vector of another length is refused untouched
	N_Vector other = N_VNew_Serial(4, c.m_ctx);
	N_VConst(9.0, other);
	p = buf.data();
	EXPECT_EQ(DeSerializeNVector(&p, other), -3);
	EXPECT_EQ(p, static_cast<void *>(buf.data()));
	EXPECT_EQ(NV_Ith_S(other, 0), 9.0);

	SUNMatrix A = SUNDenseMatrix(3, 3, c.m_ctx);
	SM_ELEMENT_D(A, 1, 2) = 4.0;
	EXPECT_EQ(SerializeDlsMatSize(A), 80);
	std::vector<char> mbuf(80);
	p = mbuf.data();
	EXPECT_EQ(SerializeDlsMat(&p, A), 80);
	SUNMatrix B = SUNDenseMatrix(3, 3, c.m_ctx);
	p = mbuf.data();
	EXPECT_EQ(DeSerializeDlsMat(&p, B), 80);
	EXPECT_EQ(SM_ELEMENT_D(B, 1, 2), 4.0);
	SUNMatrix C = SUNDenseMatrix(2, 2, c.m_ctx);
	p = mbuf.data();
	EXPECT_EQ(DeSerializeDlsMat(&p, C), -3);

	for (N_Vector x : {v, back, other})
		N_VDestroy_Serial(x);
	for (SUNMatrix M : {A, B, C})
		SUNMatDestroy(M);
}


// Restoring corrupted integrator states: every field of a valid state set to an extreme value
// must be refused, leaving the objects as they were, or integrate on without a crash or a hang.

namespace {

enum Kind { U32, I32, I64, F64 };

std::size_t bytesOf(Kind kind) {
	return (kind == U32 || kind == I32) ? 4 : 8;
}

struct Field {
	std::string	name;
	std::size_t	offset;
	Kind		kind;
};

// The fields of a block in their stored order.
class Layout {
public:
	void add(Kind kind, const std::string & name, int count = 1) {
		for (int i = 0; i < count; ++i) {
			m_fields.push_back(Field{count > 1 ? name + "[" + std::to_string(i) + "]" : name, m_size, kind});
			m_size += bytesOf(kind);
		}
	}
	void names(Kind kind, std::initializer_list<const char *> names) {
		for (const char * name : names)
			add(kind, name);
	}
	/*! Length and values. */
	void vector(const std::string & name, int n) {
		add(I64, name + ".length");
		add(F64, name, n);
	}

	std::vector<Field>	m_fields;
	std::size_t			m_size = 0;
};

// The CVODE integrator's block for BDF, scalar tolerances and no roots, then the state vector,
// t and dt of the integrator object.
Layout integratorLayout(int n) {
	Layout L;
	L.names(U32, {"magic", "version"});
	L.add(F64, "uround");
	L.names(I32, {"lmm", "iter", "itol"});
	L.names(F64, {"reltol", "Sabstol"});
	for (int j = 0; j < 6; ++j)
		L.vector("zn[" + std::to_string(j) + "]", n);
	for (const char * v : {"ewt", "acor", "tempv", "ftemp"})
		L.vector(v, n);
	L.add(I32, "tstopset");
	L.add(F64, "tstop");
	L.names(I32, {"q", "qprime", "next_q", "qwait", "L"});
	L.names(F64, {"hin", "h", "hprime", "next_h", "eta", "hscale", "tn", "tretlast"});
	L.add(F64, "tau", 7);
	L.add(F64, "tq", 6);
	L.add(F64, "l", 6);
	L.names(F64, {"rl1", "gamma", "gammap", "gamrat", "crate", "acnrm", "nlscoef"});
	L.names(I32, {"mnewt", "qmax"});
	L.add(I64, "mxstep");
	L.names(I32, {"maxcor", "mxhnil", "maxnef", "maxncf"});
	L.names(F64, {"hmin", "hmax_inv", "etamax"});
	L.names(I64, {"nst", "nfe", "ncfn", "netf", "nni", "nsetups"});
	L.add(I32, "nhnil");
	L.names(F64, {"etaqm1", "etaq", "etaqp1"});
	L.names(I64, {"lrw1", "liw1", "lrw", "liw"});
	L.add(I32, "qu");
	L.add(I64, "nstlp");
	L.names(F64, {"h0u", "hu", "saved_tq5"});
	L.add(I32, "jcur");
	L.add(F64, "tolsf");
	L.names(I32, {"qmax_alloc", "indx_acor", "setupNonNull", "sldeton"});
	L.add(F64, "ssdat", 4);
	L.add(I32, "nscon");
	L.add(I64, "nor");
	L.add(I32, "nrtfn");
	for (const char * block : {"root1.", "root2."}) {
		for (const char * f : {"tlo", "thi", "trout", "toutc", "ttol"})
			L.add(F64, std::string(block) + f);
		L.add(I32, std::string(block) + "taskc");
		L.add(I32, std::string(block) + "irfnd");
		L.add(I64, std::string(block) + "nge");
	}
	L.add(I32, "root2.mxgnull");
	L.vector("y", n);
	L.names(F64, {"t", "dt"});
	return L;
}

Layout krylovLayout() {
	Layout L;
	L.names(F64, {"nrmfac", "eplifac", "deltar", "delta"});
	L.names(I64, {"nstlpre", "npe", "nli", "nps", "ncfl", "njtimes", "nfes", "last_flag"});
	return L;
}

Layout directLayout(int n, int ldata) {
	Layout L;
	L.names(I64, {"n", "ml", "mu", "smu"});
	L.add(I32, "jacDQ");
	L.vector("M", ldata);
	L.vector("savedJ", ldata);
	L.add(I32, "pivots32", n);
	L.add(I64, "pivots", n);
	L.names(I64, {"nstlj", "nje", "nfeDQ", "last_flag"});
	return L;
}

template <typename T>
void put(std::vector<char> & blob, std::size_t offset, T value) {
	std::memcpy(blob.data() + offset, &value, sizeof(T));
}

// Every extreme value of a field, written into a copy of blob.
std::vector<std::vector<char> > extremes(const std::vector<char> & blob, std::size_t offset, Kind kind) {
	std::vector<std::vector<char> > result;
	auto variant = [&](auto value) {
		result.push_back(blob);
		put(result.back(), offset, value);
	};
	const double big = std::numeric_limits<double>::max();
	switch (kind) {
		case U32 :
			for (std::uint32_t v : {0u, 1u, 0xFFFFFFFFu})
				variant(v);
			break;
		case I32 :
			for (std::int32_t v : {0, -1, 1, 2, 6, 15, 100, INT32_MAX, INT32_MIN})
				variant(v);
			break;
		case I64 :
			for (std::int64_t v : {std::int64_t(0), std::int64_t(-1), std::int64_t(1), std::int64_t(3),
								   std::int64_t(INT32_MAX), INT64_MAX, INT64_MIN})
				variant(v);
			break;
		case F64 :
			for (double v : {0.0, -1.0, 2147483647.0, std::nan(""), HUGE_VAL, -HUGE_VAL, big, -big, 5e-324})
				variant(v);
			break;
	}
	return result;
}

// A 2-cell model with CVODE and one linear equation solver (GMRES or band).
struct Rig {
	explicit Rig(bool band) : model(2) {
		if (band)
			les.reset(new KADRIX::LESBand(1, 1));
		else
			les.reset(new KADRIX::LESGMRES);
		integrator.init(&model, model.t0(), model.y0(), les.get(), nullptr, nullptr);
	}
	static std::vector<char> save(const KADRIX::IntegratorInterface & i) {
		std::vector<char> blob(i.serializationSize());
		void * p = blob.data();
		i.serialize(p);
		return blob;
	}
	static std::vector<char> save(const KADRIX::LESInterface & l) {
		std::vector<char> blob(l.serializationSize());
		void * p = blob.data();
		l.serialize(p);
		return blob;
	}
	std::vector<char> save() const {
		std::vector<char> blob = save(integrator), block = save(*les);
		blob.insert(blob.end(), block.begin(), block.end());
		return blob;
	}
	void restore(const std::vector<char> & blob) {
		void * p = const_cast<char *>(blob.data());
		const char * end = blob.data() + blob.size();
		integrator.deserialize(p, end);
		les->deserialize(p, end);
	}

	SolverTest::HeatChain						model;
	KADRIX::IntegratorSundialsCVODE				integrator;
	std::unique_ptr<KADRIX::LESInterface>		les;
};

// Restores each variant into a fresh and into a stepped integrator; a refused block leaves its
// object as it was, an accepted one integrates on for at most 20 steps (a hang inside one step
// shows as a test that never ends). Returns the refusals.
int restoreEveryExtreme(const std::vector<char> & valid, bool band, const Layout & layout, std::size_t start,
						std::size_t integratorSize)
{
	int refused = 0;
	for (const Field & f : layout.m_fields) {
		for (const std::vector<char> & blob : extremes(valid, start + f.offset, f.kind)) {
			for (bool stepped : {false, true}) {
				Rig rig(band);
				if (stepped)
					rig.restore(valid);
				const std::vector<char> before = rig.save();
				const bool inIntegrator = start + f.offset < integratorSize;
				try {
					rig.restore(blob);
				}
				catch (ZEB::Exception &) {
					++refused;
					// the object that refused is unchanged
					const std::vector<char> after = rig.save();
					const std::size_t from = inIntegrator ? 0 : integratorSize;
					const std::size_t to = inIntegrator ? integratorSize : after.size();
					EXPECT_TRUE(std::equal(after.begin() + from, after.begin() + to, before.begin() + from))
						<< f.name << (stepped ? " (stepped)" : " (fresh)");
				}
				for (int i = 0; i < 20 && rig.integrator.step() == 1; ++i) {
					// dense output within the last step reads the same history
					try {
						rig.integrator.yOut(rig.integrator.t() - 0.5 * rig.integrator.dt());
					}
					catch (ZEB::Exception &) {}
				}
			}
		}
	}
	return refused;
}

} // namespace


TEST(CVodeSerialization, RefusesOrSurvivesEveryFieldAtAnExtremeValue) {
	TestSupport::MessageRecorder quiet;
	for (bool band : {false, true}) {
		for (int steps : {0, 10}) {
			Rig rig(band);
			for (int i = 0; i < steps; ++i)
				ASSERT_EQ(rig.integrator.step(), 1);
			const std::vector<char> valid = rig.save();
			const std::size_t integratorSize = rig.integrator.serializationSize();
			const Layout integrator = integratorLayout(2);
			ASSERT_EQ(integrator.m_size, integratorSize);
			Layout solver = krylovLayout();
			if (band)
				solver = directLayout(2, static_cast<int>((valid.size() - integratorSize - 36 - 16 - 24 - 32) / 16));
			ASSERT_EQ(integratorSize + solver.m_size, valid.size());

			// the solver blocks are walked with the band solver only, the integrator's with GMRES
			const int refused = band ? restoreEveryExtreme(valid, band, solver, integratorSize, integratorSize)
									 : restoreEveryExtreme(valid, band, integrator, 0, integratorSize) +
									   restoreEveryExtreme(valid, band, solver, integratorSize, integratorSize);
			EXPECT_GT(refused, 0);
		}
	}
}


namespace {

std::size_t offsetOf(const Layout & layout, const std::string & name) {
	for (const Field & f : layout.m_fields)
		if (f.name == name)
			return f.offset;
	ADD_FAILURE() << "no field " << name;
	return 0;
}

// Leaves freed blocks full of a pattern where the next allocations are likely to land.
void scribbleOnTheHeap() {
	std::vector<void *> blocks;
	for (std::size_t size = 8; size <= 512; size += 8)
		for (int i = 0; i < 16; ++i) {
			blocks.push_back(std::malloc(size));
			std::memset(blocks.back(), 0xA5, size);
		}
	for (void * b : blocks)
		std::free(b);
}

} // namespace


TEST(CVodeSerialization, TwoSavesOfOneStateAreByteIdentical) {
	TestSupport::MessageRecorder quiet;
	for (bool band : {false, true}) {
		for (int steps : {0, 10}) {
			Rig first(band);
			for (int i = 0; i < steps; ++i)
				ASSERT_EQ(first.integrator.step(), 1);
			scribbleOnTheHeap();
			Rig second(band);
			for (int i = 0; i < steps; ++i)
				ASSERT_EQ(second.integrator.step(), 1);
			EXPECT_TRUE(first.save() == second.save()) << (band ? "band, " : "GMRES, ") << steps << " steps";
			EXPECT_TRUE(first.save() == first.save());
		}
	}
	// before the first step CVODE's work vectors hold zeros, not what the heap held
	Rig fresh(false);
	const std::vector<char> blob = fresh.save();
	const Layout layout = integratorLayout(2);
	for (const char * v : {"zn[1]", "zn[2]", "zn[3]", "zn[4]", "zn[5]", "ewt", "acor", "tempv", "ftemp"}) {
		for (int i = 0; i < 2; ++i) {
			double x = 1;
			std::memcpy(&x, blob.data() + offsetOf(layout, std::string(v) + "[" + std::to_string(i) + "]"), sizeof(x));
			EXPECT_EQ(x, 0.0) << v;
		}
	}
}


TEST(CVodeSerialization, RefusesTheStatesFoundByFuzzing) {
	TestSupport::MessageRecorder quiet;
	const Layout layout = integratorLayout(2);
	// the C readers report a value out of range as -5 and change nothing
	auto readerResult = [&](int steps, std::initializer_list<std::pair<const char *, double> > doubles,
							std::initializer_list<std::pair<const char *, std::int64_t> > integers) {
		Rig rig(false);
		for (int i = 0; i < steps; ++i)
			EXPECT_EQ(rig.integrator.step(), 1);
		std::vector<char> blob = rig.save();
		for (const auto & d : doubles)
			put(blob, offsetOf(layout, d.first), d.second);
		for (const auto & v : integers) {
			const std::size_t offset = offsetOf(layout, v.first);
			for (const Field & f : layout.m_fields)
				if (f.offset == offset && f.kind == I32)
					put(blob, offset, static_cast<std::int32_t>(v.second));
				else if (f.offset == offset)
					put(blob, offset, v.second);
		}
		void * p = blob.data();
		const long result = CVodeDeserialize(rig.integrator.cvodeMem(), &p);
		EXPECT_EQ(p, static_cast<void *>(blob.data()));
		return result;
	};
	EXPECT_EQ(readerResult(10, {}, {{"q", 100}}), -5);
	EXPECT_EQ(readerResult(10, {}, {{"qmax", 15}}), -6);
	EXPECT_EQ(readerResult(10, {{"zn[0][0]", std::nan("")}}, {{"maxcor", INT32_MAX}}), -5);
	EXPECT_EQ(readerResult(0, {}, {{"nst", 1}}), -5);
	EXPECT_EQ(readerResult(10, {}, {{"lrw1", INT64_MAX}}), -3);
	EXPECT_EQ(readerResult(10, {}, {{"liw1", INT64_MAX}}), -3);
	// step sizes that overflow or vanish when the next step rescales (each stepped for ever),
	// and a Nordsieck vector that the growth of the next steps makes infinite
	EXPECT_EQ(readerResult(10, {{"hprime", 6e273}, {"eta", 2.9e250}, {"hscale", 3.4e201}}, {}), -5);
	EXPECT_EQ(readerResult(10, {{"hprime", 2.5e-6}, {"eta", 1.9e255}, {"hscale", 4.1e225}}, {}), -5);
	EXPECT_EQ(readerResult(10, {{"hprime", 4.4e-117}, {"eta", 8e-320}}, {}), -5);
	EXPECT_EQ(readerResult(10, {{"hscale", 5.8e-322}}, {}), -5);
	EXPECT_EQ(readerResult(10, {{"zn[2][0]", 1e307}}, {}), -5);

	// a band pivot outside the band, and one above its row
	Rig rig(true);
	for (int i = 0; i < 10; ++i)
		ASSERT_EQ(rig.integrator.step(), 1);
	const std::vector<char> valid = Rig::save(*rig.les);
	const std::size_t pivots = valid.size() - 32 - 16;
	for (std::int64_t p0 : {std::int64_t(-1), std::int64_t(2), INT64_MAX}) {
		std::vector<char> blob = valid;
		put(blob, pivots, p0);
		void * p = blob.data();
		EXPECT_EQ(CVDlsDeserialize(rig.integrator.cvodeMem(), &p), -5) << p0;
	}
	std::vector<char> blob = valid;
	put(blob, pivots + 8, std::int64_t(0));
	void * p = blob.data();
	EXPECT_EQ(CVDlsDeserialize(rig.integrator.cvodeMem(), &p), -5);
	EXPECT_TRUE(Rig::save(*rig.les) == valid);
}


TEST(CVodeSerialization, RefusesAStateWhoseSettingsDifferFromTheIntegrators) {
	TestSupport::MessageRecorder quiet;
	Rig rig(false);
	for (int i = 0; i < 10; ++i)
		ASSERT_EQ(rig.integrator.step(), 1);
	const std::vector<char> valid = rig.save();
	const std::size_t integratorSize = rig.integrator.serializationSize();
	const Layout integrator = integratorLayout(2);
	const auto get = [&](std::size_t offset, auto value) {
		std::memcpy(&value, valid.data() + offset, sizeof(value));
		return value;
	};
	// each setting a little off, as an edited state would carry it (1e6 as the inverse maximum
	// step made an hour of co-simulation take longer than two minutes)
	for (const char * name : {"reltol", "Sabstol", "hin", "nlscoef", "hmin", "hmax_inv"}) {
		std::vector<char> blob = valid;
		const std::size_t at = offsetOf(integrator, name);
		put(blob, at, name == std::string("hmax_inv") ? 1e6 : get(at, 0.0) * 1.5 + 1e-3);
		void * p = blob.data();
		EXPECT_EQ(CVodeDeserialize(rig.integrator.cvodeMem(), &p), -6) << name;
		EXPECT_EQ(p, static_cast<void *>(blob.data()));
	}
	for (const char * name : {"qmax", "maxcor", "mxhnil", "maxnef", "maxncf"}) {
		std::vector<char> blob = valid;
		const std::size_t at = offsetOf(integrator, name);
		put(blob, at, get(at, std::int32_t(0)) - 1);
		void * p = blob.data();
		EXPECT_EQ(CVodeDeserialize(rig.integrator.cvodeMem(), &p), -6) << name;
	}
	std::vector<char> blob = valid;
	put(blob, offsetOf(integrator, "mxstep"), get(offsetOf(integrator, "mxstep"), std::int64_t(0)) * 2);
	EXPECT_TRUE(TestSupport::throwsWith([&] { rig.restore(blob); }, "Invalid integrator state data: its tolerances, "
										"step bounds or iteration limits differ from this integrator's settings.",
										"[IntegratorSundialsCVODE::deserialize]"));
	// the Krylov solver's norm factor (an edited one made every step 200 times as slow) and its
	// linear tolerance factor
	const Layout krylov = krylovLayout();
	for (const char * name : {"nrmfac", "eplifac"}) {
		blob = valid;
		const std::size_t at = integratorSize + offsetOf(krylov, name);
		put(blob, at, get(at, 0.0) * 100);
		EXPECT_TRUE(TestSupport::throwsWith([&] { rig.restore(blob); }, "Invalid linear equation solver state data: its "
											"norm factor or linear tolerance factor differs from this solver's settings.",
											"[LESInterfaceIterative::deserialize]")) << name;
	}
	// the state as it was saved is still taken
	rig.restore(valid);
	EXPECT_EQ(rig.integrator.step(), 1);
}


TEST(CVodeSerialization, RefusesAStateWhoseToleranceVectorDiffersFromTheIntegrators) {
	TestSupport::MessageRecorder quiet;
	SolverTest::HeatChain model(2);
	KADRIX::LESGMRES les;
	KADRIX::IntegratorSundialsCVODE integrator;
	integrator.m_absTolVec = {1e-6, 2e-6};
	integrator.init(&model, model.t0(), model.y0(), &les, nullptr, nullptr);
	for (int i = 0; i < 5; ++i)
		ASSERT_EQ(integrator.step(), 1);
	const std::vector<char> valid = Rig::save(integrator);
	// reltol, then the vector: its length and its values
	const std::size_t second = offsetOf(integratorLayout(2), "reltol") + 8 + 8 + 8;
	double stored = 0;
	std::memcpy(&stored, valid.data() + second, sizeof(stored));
	ASSERT_EQ(stored, 2e-6);
	std::vector<char> blob = valid;
	put(blob, second, 2e-2);
	void * p = blob.data();
	EXPECT_EQ(CVodeDeserialize(integrator.cvodeMem(), &p), -6);
	p = const_cast<char *>(valid.data());
	EXPECT_GT(CVodeDeserialize(integrator.cvodeMem(), &p), 0);
	EXPECT_EQ(integrator.step(), 1);
}


TEST(CVodeSerialization, NeverWritesOrReadsThroughNull) {
	TestSupport::MessageRecorder quiet;
	Rig krylov(false), band(true);
	void * none = nullptr;
	for (void ** data : {static_cast<void **>(nullptr), &none}) {
		EXPECT_EQ(CVodeSerialize(krylov.integrator.cvodeMem(), data), -4);
		EXPECT_EQ(CVodeDeserialize(krylov.integrator.cvodeMem(), data), -4);
		EXPECT_EQ(CVSpilsSerialize(krylov.integrator.cvodeMem(), data), -4);
		EXPECT_EQ(CVSpilsDeserialize(krylov.integrator.cvodeMem(), data), -4);
		EXPECT_EQ(CVDlsSerialize(band.integrator.cvodeMem(), data), -4);
		EXPECT_EQ(CVDlsDeserialize(band.integrator.cvodeMem(), data), -4);
	}
	EXPECT_EQ(CVodeSerialize(nullptr, &none), -4);
}


TEST(CVodeSerialization, SolverObjectsNeverReadPastTheEndOfTheirBuffer) {
	TestSupport::MessageRecorder quiet;
	for (bool band : {false, true}) {
		Rig rig(band);
		for (int i = 0; i < 10; ++i)
			ASSERT_EQ(rig.integrator.step(), 1);
		const std::vector<char> valid = rig.save();
		const std::size_t integratorSize = rig.integrator.serializationSize();
		// every shorter buffer, exactly as long as it claims to be (200 bytes among them)
		for (std::size_t length = 0; length < valid.size(); ++length) {
			const bool integrator = length < integratorSize;
			const std::size_t start = integrator ? 0 : integratorSize;
			std::vector<char> buffer(valid.begin() + static_cast<long>(start), valid.begin() + static_cast<long>(length));
			void * p = buffer.data();
			const void * end = buffer.data() + buffer.size();
			if (integrator)
				EXPECT_THROW(rig.integrator.deserialize(p, end), ZEB::Exception) << length;
			else
				EXPECT_THROW(rig.les->deserialize(p, end), ZEB::Exception) << length;
			EXPECT_EQ(p, static_cast<void *>(buffer.data()));
		}
		// without the end nothing is read
		void * p = const_cast<char *>(valid.data());
		EXPECT_THROW(rig.integrator.deserialize(p, nullptr), ZEB::Exception);
		p = const_cast<char *>(valid.data() + integratorSize);
		EXPECT_THROW(rig.les->deserialize(p, nullptr), ZEB::Exception);
		EXPECT_EQ(rig.integrator.step(), 1);
	}
}
