#include <gtest/gtest.h>

#include <vector>

#include <nvector/nvector_serial.h>
#include <sundials/sundials_context.h>
#include <sunmatrix/sunmatrix_dense.h>

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
