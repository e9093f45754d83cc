#include "KADRIX_ModelInterface.h"

#include "ZEB_Time.h"

namespace KADRIX {

ModelInterface::~ModelInterface() = default;

void ModelInterface::writeOutputs(double, const double *) {}

void ModelInterface::writeFinalOutputs() {}

std::string ModelInterface::simTime2DateTimeString(double t) const {
	return ZEB::Time(0, t).toShortDateFormat();
}

void ModelInterface::stepCompleted(double, const double *) {}

LESInterface * ModelInterface::lesInterface() { return nullptr; }

IntegratorInterface * ModelInterface::integratorInterface() { return nullptr; }

PrecondInterface * ModelInterface::preconditionerInterface() { return nullptr; }

JacobianInterface * ModelInterface::jacobianInterface() { return nullptr; }

OutputScheduler * ModelInterface::outputScheduler() { return nullptr; }

ModelInterface::CalculationResult ModelInterface::calculateErrorWeights(const double *, double *) {
	return CalculationAbort;
}

bool ModelInterface::hasErrorWeightsFunction() { return false; }

std::size_t ModelInterface::serializationSize() const { return 0; }

void ModelInterface::serialize(void *&) const {}

void ModelInterface::deserialize(void *&, const void *) {}

void ModelInterface::writeMetrics(double, std::ostream *) {}

bool ModelInterface::takeJacobianUpdateRequest() { return false; }

void ModelInterface::jacobianBuilt(double, const double *) {}

unsigned int ModelInterface::equationsOffMatrixPiece(double, const double *, unsigned int *) { return 0; }

} // namespace KADRIX
