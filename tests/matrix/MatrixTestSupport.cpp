#include "MatrixTestSupport.h"

#include <atomic>
#include <cstdlib>

// The global operator new of the test executable, with one allocation that can be made to fail.

namespace {

// Allocations to pass before the failing one; negative: none fails.
std::atomic<long> allocationsBeforeFailure{-1};
std::atomic<bool> allocationFailed{false};

} // namespace


AllocationFailure::AllocationFailure(long k) {
	allocationFailed = false;
	allocationsBeforeFailure = k;
}


AllocationFailure::~AllocationFailure() {
	allocationsBeforeFailure = -1;
}


bool AllocationFailure::failed() const {
	return allocationFailed;
}


void * operator new(std::size_t size) {
	if (allocationsBeforeFailure.load() >= 0 && allocationsBeforeFailure.fetch_sub(1) == 0) {
		allocationFailed = true;
		throw std::bad_alloc();
	}
	if (void * p = std::malloc(size == 0 ? 1 : size))
		return p;
	throw std::bad_alloc();
}


void operator delete(void * p) noexcept {
	std::free(p);
}


void operator delete(void * p, std::size_t) noexcept {
	std::free(p);
}
