#include "sundials_serialization.h"

#include <algorithm>
#include <cmath>

#include <sunmatrix/sunmatrix_band.h>
#include <sunmatrix/sunmatrix_dense.h>

#include "ZEB_Exception.h"

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

void SerializationWalker::checkReals(std::size_t n, bool nonNegative, double & largest) {
	largest = 0;
	for (std::size_t i = 0; i < n; ++i) {
		double x;
		std::memcpy(&x, m_pos + 8 * i, sizeof(double));
		if (!std::isfinite(x) || (nonNegative && x < 0)) {
			m_error = -5;
			return;
		}
		largest = std::max(largest, std::fabs(x));
	}
}


void SerializationWalker::nvector(N_Vector v, bool nonNegative, double * largest) {
	if (m_error != 0)
		return;
	const sunindextype length = N_VGetLength_Serial(v);
	identity<std::uint64_t>(length);
	if (m_error != 0)
		return;
	if (m_mode == Check) {
		double magnitude = 0;
		checkReals(static_cast<std::size_t>(length), nonNegative, magnitude);
		if (largest != nullptr)
			*largest = magnitude;
		if (m_error == 0)
			advance(8 * static_cast<std::size_t>(length));
		return;
	}
	array<double>(N_VGetArrayPointer_Serial(v), static_cast<std::size_t>(length));
}


void SerializationWalker::settingVector(N_Vector v) {
	if (m_error != 0)
		return;
	const sunindextype length = N_VGetLength_Serial(v);
	identity<std::uint64_t>(length);
	const double * own = N_VGetArrayPointer_Serial(v);
	for (sunindextype i = 0; i < length; ++i)
		setting<double>(own[i]);
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
	if (m_error != 0)
		return;
	if (m_mode == Check) {
		double largest = 0;
		checkReals(static_cast<std::size_t>(ldata), false, largest);
		if (m_error == 0)
			advance(8 * static_cast<std::size_t>(ldata));
		return;
	}
	array<double>(data, static_cast<std::size_t>(ldata));
}


void checkSnapshotRoom(const void * dataPtr, std::size_t bytes, const void * dataEnd, const char * location) {
	if (dataPtr == nullptr || dataEnd == nullptr)
		throw ZEB::Exception("Missing state data or the end of its buffer.", location);
	const char * begin = static_cast<const char *>(dataPtr);
	const char * end = static_cast<const char *>(dataEnd);
	if (begin > end || static_cast<std::size_t>(end - begin) < bytes)
		throw ZEB::Exception("State data reaches past the end of the buffer.", location);
}


bool allFinite(const double * values, std::size_t n) {
	for (std::size_t i = 0; i < n; ++i)
		if (!std::isfinite(values[i]))
			return false;
	return true;
}

} // namespace KADRIX


namespace {

// Runs one walk and advances the caller's pointer by what it walked; a failed read moves nothing.
template <typename F>
long walk(int mode, void ** dataPtr, F && fields) {
	if (mode != KADRIX::SerializationWalker::Size && (dataPtr == nullptr || *dataPtr == nullptr))
		return -4;
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
	// checked whole before anything is changed
	void * p = (dataPtr != nullptr) ? *dataPtr : nullptr;
	const long check = walk(KADRIX::SerializationWalker::Check, &p, [v](KADRIX::SerializationWalker & w) { w.nvector(v); });
	if (check < 0)
		return check;
	return walk(KADRIX::SerializationWalker::Read, dataPtr, [v](KADRIX::SerializationWalker & w) { w.nvector(v); });
}


long SerializeDlsMatSize(SUNMatrix A) {
	const long size = walk(KADRIX::SerializationWalker::Size, nullptr, [A](KADRIX::SerializationWalker & w) { w.matrix(A); });
	return size < 0 ? -1 : size;
}


long SerializeDlsMat(void ** dataPtr, SUNMatrix A) {
	const long size = walk(KADRIX::SerializationWalker::Write, dataPtr, [A](KADRIX::SerializationWalker & w) { w.matrix(A); });
	return size == -3 ? -1 : size;
}


long DeSerializeDlsMat(void ** dataPtr, SUNMatrix A) {
	void * p = (dataPtr != nullptr) ? *dataPtr : nullptr;
	const long check = walk(KADRIX::SerializationWalker::Check, &p, [A](KADRIX::SerializationWalker & w) { w.matrix(A); });
	if (check < 0)
		return check;
	return walk(KADRIX::SerializationWalker::Read, dataPtr, [A](KADRIX::SerializationWalker & w) { w.matrix(A); });
}

} // extern "C"
