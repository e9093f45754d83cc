#include "sundials_serialization.h"

#include <sunmatrix/sunmatrix_band.h>
#include <sunmatrix/sunmatrix_dense.h>

namespace {

// Number of stored doubles and the data of a dense or band matrix; false for other kinds.
bool matrixData(SUNMatrix A, sunindextype & ldata, realtype *& data) {
	switch (SUNMatGetID(A)) {
		case SUNMATRIX_DENSE :
			ldata = SUNDenseMatrix_LData(A);
			data = SUNDenseMatrix_Data(A);
			return true;
		case SUNMATRIX_BAND :
			ldata = SM_LDATA_B(A);
			data = SUNBandMatrix_Data(A);
			return true;
		default :
			return false;
	}
}

} // namespace


namespace KADRIX {

void SerializationWalker::nvector(N_Vector v) {
	if (m_error != 0)
		return;
	const sunindextype length = N_VGetLength_Serial(v);
	identity<std::uint64_t>(length);
	array<double>(N_VGetArrayPointer_Serial(v), static_cast<std::size_t>(length));
}


void SerializationWalker::matrix(SUNMatrix A) {
	if (m_error != 0)
		return;
	sunindextype ldata = 0;
	realtype * data = nullptr;
	if (!matrixData(A, ldata, data)) {
		m_error = -3;
		return;
	}
	identity<std::uint64_t>(ldata);
	array<double>(data, static_cast<std::size_t>(ldata));
}

} // namespace KADRIX


namespace {

// Runs one walk and advances the caller's pointer by what it walked; a failed read moves nothing.
template <typename F>
long walk(int mode, void ** dataPtr, F && fields) {
	KADRIX::SerializationWalker w(mode, dataPtr != nullptr ? *dataPtr : nullptr);
	fields(w);
	if (w.error() != 0)
		return w.error();
	if (dataPtr != nullptr && mode != KADRIX::SerializationWalker::Size)
		*dataPtr = static_cast<char *>(*dataPtr) + w.bytes();
	return w.bytes();
}

} // namespace


extern "C" {

long SerializeNVector(void ** dataPtr, N_Vector v) {
	return walk(KADRIX::SerializationWalker::Write, dataPtr, [v](KADRIX::SerializationWalker & w) { w.nvector(v); });
}


long DeSerializeNVector(void ** dataPtr, N_Vector v) {
	// the length is checked before anything is changed
	return walk(KADRIX::SerializationWalker::Read, dataPtr, [v](KADRIX::SerializationWalker & w) { w.nvector(v); });
}


long SerializeDlsMatSize(SUNMatrix A) {
	const long size = walk(KADRIX::SerializationWalker::Size, nullptr, [A](KADRIX::SerializationWalker & w) { w.matrix(A); });
	return size < 0 ? -1 : size;
}


long SerializeDlsMat(void ** dataPtr, SUNMatrix A) {
	const long size = walk(KADRIX::SerializationWalker::Write, dataPtr, [A](KADRIX::SerializationWalker & w) { w.matrix(A); });
	return size < 0 ? -1 : size;
}


long DeSerializeDlsMat(void ** dataPtr, SUNMatrix A) {
	return walk(KADRIX::SerializationWalker::Read, dataPtr, [A](KADRIX::SerializationWalker & w) { w.matrix(A); });
}

} // extern "C"
